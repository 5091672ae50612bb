// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawRow.h"
#include "Error.h"
#include "Progress.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// The line test of the one reader of history text files (imports, restores, the backups, the
// shipped samples): a seven-digit issue, one to four blanks and three digits, with blanks after
// them allowed. The line is given without its line end. Anything else (headers, blank lines, an
// eighth digit, a fourth one, a sign, a letter) gives nothing and is skipped by the callers.
std::optional<DrawLine> parseDrawLine(std::string_view line);

// The line the writers produce for a draw, without the line end.
std::string formatDrawLine(std::int32_t issue, const std::array<int, 3>& digits);

struct HistoryFile {
    std::vector<DrawLine> draws; // in ascending issue order, whatever the order of the lines
    long long lines = 0;         // lines read
    long long skipped = 0;       // lines that are not draw lines
    long long duplicates = 0;    // draw lines whose issue came earlier in the file
    std::string firstLine;       // the first line when it is not a draw line (its first 1 KB)
};

// Reads a history text file: CR LF or LF line ends, UTF-8 with or without a byte order mark,
// UTF-16 LE or BE with one; any other line skipped. A draw line repeating an issue met earlier
// in the file is skipped too. Fails when the file cannot be opened or read, and at once for
// anything but a regular file (a FIFO or a device would keep the reader waiting). `progress` is
// told the bytes read of the file's size, and may stop the reading (ErrorCode::Cancelled).
Result<HistoryFile> readHistoryFile(const std::filesystem::path& file, const Progress& progress = {});
// The same from the standard input, whatever it is (a pipe, a file, a terminal), to its end.
Result<HistoryFile> readHistoryInput();
// What the messages call the standard input.
inline constexpr const char* kStandardInputName = "标准输入";
HistoryFile parseHistoryText(std::string_view text);

// The rows of a history that holds exactly `draws`, in this order, derived from an empty
// running state with segment parameter `segmentParam`.
std::vector<DrawRow> rowsFromDraws(std::span<const DrawLine> draws, int segmentParam);

} // namespace brenvik
