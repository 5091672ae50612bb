// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryExport.h"

#include "FolderLock.h"
#include "IssueNumber.h"
#include "SafeWrite.h"
#include "Spreadsheet.h"
#include "UndoBackup.h"

#include <algorithm>

namespace brenvik {

namespace {

// Every file of the program in a data folder that an export must never write over.
std::vector<std::filesystem::path> ownFilesIn(const std::filesystem::path& folder) {
    std::vector<std::filesystem::path> files{folder / kLockFile};
    for (const Game game : kGames) {
        const auto database = folder / databaseFileName(game);
        for (const auto& file : {database, folder / compactTempFileName(game)})
            for (const char* beside : {"", "-wal", "-shm", "-journal", "-seal"}) {
                auto named = file;
                named += beside;
                files.push_back(named);
            }
        files.push_back(undoFileFor(database));
        files.push_back(previousUndoFileFor(database));
        files.push_back(folder / rebuildBackupFileName(game));
    }
    return files;
}

// Where a path finally leads, through every link, also one whose end is not there yet.
std::filesystem::path resolved(std::filesystem::path path) {
    std::error_code ec;
    path = std::filesystem::absolute(path, ec);
    for (int hop = 0; hop < 40 && linkStatus(path).kind == FileKind::Link; ++hop) {
        const auto next = std::filesystem::read_symlink(path, ec);
        if (ec)
            break;
        path = next.is_absolute() ? next : path.parent_path() / next;
    }
    auto end = std::filesystem::weakly_canonical(path, ec);
    return ec ? path.lexically_normal() : end;
}

} // namespace

namespace {

std::optional<Error> ownFileProblem(const FileStatus& written, const std::filesystem::path& end,
                                    const std::string& shown, const std::filesystem::path& folder) {
    const auto there = [](const FileStatus& f) { return f.kind != FileKind::Missing && f.error == 0; };
    for (const auto& own : ownFilesIn(folder)) {
        const FileStatus status = fileStatus(own);
        // The same file under another name (a hard link) is the same file; a name not there yet
        // is the file it would become.
        const bool same = there(written) || there(status)
                              ? there(written) && there(status) && written.device == status.device &&
                                    written.node == status.node
                              : !end.empty() && end == resolved(own);
        if (same)
            return Error{ErrorCode::Invalid, "不能导出到 " + shown + "：它是本程序在数据文件夹中的文件 " +
                                                 shownPath(own.filename()) +
                                                 "，写入会毁掉历史数据，未作任何改动。"};
    }
    return std::nullopt;
}

} // namespace

std::optional<Error> ownFileTarget(const std::filesystem::path& target, const std::filesystem::path& folder) {
    return ownFileProblem(fileStatus(target), resolved(target), shownPath(target), folder);
}

std::optional<Error> ownFileTarget(const FileStatus& opened, const std::string& shown,
                                   const std::filesystem::path& folder) {
    return ownFileProblem(opened, {}, shown, folder);
}

std::string exportFileName(Game game, const HistorySnapshot& history) {
    return textExportFileName(game, history.empty() ? std::nullopt : std::optional(history.last()->sqqh));
}

std::vector<DrawLine> drawLinesOf(std::span<const DrawRow> rows) {
    std::vector<DrawLine> draws;
    draws.reserve(rows.size());
    for (const DrawRow& r : rows)
        draws.push_back({r.sqqh, {r.digit(1), r.digit(2), r.digit(3)}});
    return draws;
}

std::vector<DrawLine> drawLinesOf(const HistorySnapshot& history, std::size_t first, std::size_t last) {
    last = std::min(last, history.size());
    std::vector<DrawLine> draws;
    draws.reserve(last > first ? last - first : 0);
    for (std::size_t i = first; i < last; ++i)
        draws.push_back({history.issue(i), history.digits(i)});
    return draws;
}

std::string historyText(std::span<const DrawLine> draws) {
    std::string text;
    text.reserve(draws.size() * 13);
    for (const DrawLine& d : draws) {
        text += formatDrawLine(d.issue, d.digits);
        text += "\r\n";
    }
    return text;
}

Result<void> writeHistoryFile(const std::filesystem::path& file, std::span<const DrawLine> draws) {
    return writeFileSafely(file, historyText(draws));
}

Result<void> writeHistoryText(OutputFile& out, const HistorySnapshot& history, const Progress& progress) {
    const auto total = static_cast<long long>(history.size());
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (progress && i % kProgressEvery == 0 && !progress(static_cast<long long>(i), total))
            return fail(ErrorCode::Cancelled, "已停止导出，" + out.shownName() + " 未写完。");
        std::string line = formatDrawLine(history.issue(i), history.digits(i));
        line += "\r\n";
        if (auto written = out.write(line); !written)
            return written;
    }
    if (progress)
        progress(total, total);
    return out.commit();
}

Result<std::filesystem::path> exportHistory(const std::filesystem::path& folder, Game game,
                                            const HistorySnapshot& history) {
    const auto file = folder / utf8Path(exportFileName(game, history));
    auto out = OutputFile::open(file);
    if (!out)
        return std::unexpected(out.error());
    if (auto written = writeHistoryText(*out, history); !written)
        return std::unexpected(written.error());
    return file;
}

std::string historySheetTitle(Game game, const HistorySnapshot& history) {
    std::string title = std::string(displayName(game)) + "历史号码";
    if (!history.empty())
        title += "：第 " + std::to_string(history.first()->sqqh) + " 期至第 " +
                 std::to_string(history.last()->sqqh) + " 期，共 " +
                 groupedCount(static_cast<long long>(history.size())) + " 期";
    return title;
}

Result<void> writeHistorySheet(OutputFile& out, Game game, const HistorySnapshot& history,
                               const Progress& progress) {
    constexpr long long kAbove = 2; // the title and the header
    const long long total = kAbove + static_cast<long long>(history.size());
    long long next = 0;
    const SheetRows rows = [&](std::vector<SheetCell>& row) {
        const long long r = next++;
        if (r == 0)
            row.emplace_back(historySheetTitle(game, history));
        else if (r == 1)
            row = {"期号", "第1位", "第2位", "第3位"};
        else if (r < total) {
            const auto i = static_cast<std::size_t>(r - kAbove);
            row.push_back(SheetCell::number(history.issue(i)));
            for (int p = 1; p <= 3; ++p)
                row.push_back(SheetCell::number(history.digit(i, p)));
        } else
            return false;
        return true;
    };
    return writeSpreadsheet(out, rows, total, progress);
}

} // namespace brenvik
