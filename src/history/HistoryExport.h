// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Game.h"
#include "HistorySnapshot.h"
#include "HistoryText.h"
#include "Progress.h"
#include "SafeWrite.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace brenvik {

// Why an export may not write `target`: it is, or a link leads to, one of the files the program
// keeps for either game in the data folder `folder` (a history database, its log, the log's index
// or its seal, the compaction's copy, the undo backups, the backup file lsbf.txt) or the folder's
// lock. An export over one of them would destroy the history it was made from. Nothing for any
// other target.
std::optional<Error> ownFileTarget(const std::filesystem::path& target, const std::filesystem::path& folder);
// The same for a file already open (the standard output), by what it is; `shown` names it.
std::optional<Error> ownFileTarget(const FileStatus& opened, const std::string& shown,
                                   const std::filesystem::path& folder);

// The name of the text export of `history`, a history of `game` (textExportFileName).
std::string exportFileName(Game game, const HistorySnapshot& history);

// The issue numbers and digits of stored rows, in the rows' order.
std::vector<DrawLine> drawLinesOf(std::span<const DrawRow> rows);
// The draws of rows [first, last) of a history; to its end when `last` is past it.
std::vector<DrawLine> drawLinesOf(const HistorySnapshot& history, std::size_t first = 0,
                                  std::size_t last = SIZE_MAX);
inline std::vector<DrawLine> drawLinesOf(const HistorySnapshot::Rows& rows) {
    return drawLinesOf(rows.snapshot());
}

// The content of a history text file: one draw line per draw, each ended by CR LF.
std::string historyText(std::span<const DrawLine> draws);

// Writes a history text file; an earlier file of that name is replaced only by a complete one.
Result<void> writeHistoryFile(const std::filesystem::path& file, std::span<const DrawLine> draws);

// Writes the draw lines of `history` to `out` and commits it. `progress` is told the lines
// written and may stop the export before the commit (ErrorCode::Cancelled): a file in the place
// of a regular one then stays as it was.
Result<void> writeHistoryText(OutputFile& out, const HistorySnapshot& history, const Progress& progress = {});

// The first row of the history workbook: whose history it is and how far it reaches,
// "福彩3D历史号码：第 2004001 期至第 2026224 期，共 7,731 期".
std::string historySheetTitle(Game game, const HistorySnapshot& history);

// Writes the history workbook as the window writes its history grid (lishi.xlsx): the title
// row, the grid's header row (期号, 第1位, 第2位, 第3位), then a row of numbers per draw; and
// commits `out`. `progress` is told the rows written and may stop it before the commit.
Result<void> writeHistorySheet(OutputFile& out, Game game, const HistorySnapshot& history,
                               const Progress& progress = {});

// Writes the text export of `history`, a history of `game`, into `folder` and returns the path
// of the file written.
Result<std::filesystem::path> exportHistory(const std::filesystem::path& folder, Game game,
                                            const HistorySnapshot& history);

} // namespace brenvik
