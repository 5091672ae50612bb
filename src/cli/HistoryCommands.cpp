// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryCommands.h"

#include "CliHome.h"
#include "CliOutput.h"
#include "GameCheck.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryRestore.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "IssueNumber.h"
#include "UndoBackup.h"

#include <chrono>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <span>

namespace brenvik::cli {

namespace {

// "-" names the standard input of import and the standard output of export, as for any Unix tool.
bool isStandardStream(const std::string& argument) {
    return argument == "-";
}

int runImport(const Options& o) {
    // The file is read completely, and refused when it holds no draw, before the database is touched.
    const int year = chinaYear(std::chrono::system_clock::now());
    const bool standardInput = isStandardStream(o.arguments[0]);
    auto read = standardInput ? readImportInput(year) : readImportFile(o.arguments[0], year);
    if (!read)
        return failWith(read.error());
    auto opened = openToChange(o, Load::StoreOnly);
    if (!opened)
        return failWith(opened.error());
    auto stored = HistoryDraws::of(*opened->store);
    if (!stored)
        return failWith(stored.error());
    if (const auto issues = compareIssues(stored->draws, read->draws);
        issues.looksLikeOtherGame() && !o.force)
        return failWith(otherGameNotice(o.game, issues) + "加 --force 才会导入；历史号码未改动。");
    const std::string what =
        "读入 " + (standardInput ? std::string(kStandardInputName)
                                 : std::filesystem::path(o.arguments[0]).filename().string());
    auto counts =
        changeWithUndo(*opened->store, what, [&] { return importHistory(*opened->store, *read, o.segment); });
    if (!counts)
        return failWith(counts.error());
    std::cout << "读入 " << counts->stored << " 期，跳过 " << counts->skipped << " 行";
    if (counts->duplicates > 0)
        std::cout << "，重复期号 " << counts->duplicates << " 行";
    std::cout << "。\n";
    return 0;
}

// What a file name asks export for: a workbook under ".xlsx", whatever the case; a name of
// another spreadsheet format, which a workbook would not open as, is a mistake; anything else
// gets the history text.
enum class ExportKind { Text, Workbook, WrongWorkbook };
ExportKind exportKind(const std::string& argument) {
    std::string extension = std::filesystem::path(argument).extension().string();
    for (char& c : extension)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    if (extension == ".xlsx")
        return ExportKind::Workbook;
    for (const char* other : {".xls", ".xlsm", ".xlsb", ".xltx", ".ods", ".et"})
        if (extension == other)
            return ExportKind::WrongWorkbook;
    return ExportKind::Text;
}

// An export never writes over the files the program keeps in its data folder (the databases, their
// logs and seals, the backups, the lock): an export over the database would destroy the history it
// was made from.
Result<void> checkExportTarget(const Options& o, const std::string& argument) {
    const auto own = isStandardStream(argument)
                         ? ownFileTarget(SystemFile::standardOutput().status(), "标准输出", homeOf(o))
                         : ownFileTarget(argument, homeOf(o));
    if (own)
        return std::unexpected(*own);
    return {};
}

// Writes the draws of the history to `out` as they are read from the database: a history of any
// size needs the memory of one line. Returns how many were written.
Result<long long> writeDraws(const Options& o, OutputFile& out) {
    auto opened = openToRead(o, Load::StoreOnly);
    if (!opened)
        return std::unexpected(opened.error());
    Result<void> written;
    const auto count = opened->store->forEachDraw([&](const DrawLine& d) {
        written = out.write(formatDrawLine(d.issue, d.digits) + "\r\n");
        return written.has_value();
    });
    if (!count)
        return count;
    if (written)
        written = out.commit();
    if (!written)
        return std::unexpected(written.error());
    return count;
}

// The history workbook, as the window exports its history grid. Returns how many draws it holds.
Result<long long> writeWorkbook(const Options& o, OutputFile& out) {
    auto opened = openToRead(o);
    if (!opened)
        return std::unexpected(opened.error());
    if (auto written = writeHistorySheet(out, o.game, *opened->snapshot); !written)
        return std::unexpected(written.error());
    return static_cast<long long>(opened->snapshot->size());
}

int runExport(const Options& o) {
    const ExportKind kind = isStandardStream(o.arguments[0]) ? ExportKind::Text : exportKind(o.arguments[0]);
    if (kind == ExportKind::WrongWorkbook) {
        std::cerr << "brenvik3d-cli: export writes a workbook only to a name ending in .xlsx, not "
                  << o.arguments[0] << "\n"
                  << kUsageHint;
        return kUsageError;
    }
    // Without a database there is no history to write, only an empty file to mislead.
    const auto database = homeOf(o) / databaseFileName(o.game);
    if (std::error_code ec; !std::filesystem::exists(database, ec))
        return failWith("没有历史数据库 " + shownPath(database) + "，未导出。");
    if (auto allowed = checkExportTarget(o, o.arguments[0]); !allowed)
        return failWith(allowed.error());
    const bool standardOutput = isStandardStream(o.arguments[0]);
    std::cout.flush();
    Result<long long> count;
    std::string shown;
    for (int attempt = 1;; ++attempt) {
        // A FIFO waits for its reader, as it does for any command.
        auto out = standardOutput ? OutputFile::standardOutput()
                                  : OutputFile::open(o.arguments[0], OutputFile::WhenNoReader::Wait);
        if (!out)
            return failWith(out.error());
        shown = out->shownName();
        const bool stream = out->temporary() == nullptr;
        count = kind == ExportKind::Workbook ? writeWorkbook(o, *out) : writeDraws(o, *out);
        // A file is written again from the start when another program changed the history while
        // it was read; what went into a stream cannot be taken back.
        if (count || count.error().code != ErrorCode::Busy || stream || attempt == kReadAttempts)
            break;
        pauseBeforeReadingAgain(attempt);
    }
    if (!count)
        return failWith(count.error());
    // The draws themselves may be on the standard output: the count goes beside them.
    (standardOutput ? std::cerr : std::cout) << "导出 " << *count << " 期到 " << shown << "。\n";
    return 0;
}

int runUndo(const Options& o) {
    auto opened = openToChange(o, Load::StoreOnly);
    if (!opened)
        return failWith(opened.error());
    auto backup = readUndoBackup(*opened->store);
    if (!backup)
        return failWith(backup.error());
    if (!*backup)
        return failWith("没有可撤销的更改。");
    const std::string what = describeUndo(**backup);
    if (!o.yes) {
        std::cout << "将历史号码恢复为" << what << "。加 --yes 执行撤销，历史号码未改动。\n";
        return kFailed;
    }
    auto restored = undoLastChange(*opened->store, **backup);
    if (!restored)
        return failWith(restored.error());
    std::cout << "已撤销：恢复到" << what << "历史号码。\n";
    return 0;
}

int runAdd(const Options& o) {
    const std::string& d = o.arguments[1];
    const bool sevenDigits = o.arguments[0].size() == 7 && o.arguments[0][0] != '0' &&
                             o.arguments[0].find_first_not_of("0123456789") == std::string::npos;
    if (!sevenDigits || d.size() != 3 || d.find_first_not_of("0123456789") != std::string::npos) {
        std::cerr << "add needs a seven-digit ISSUE and three digits DDD, e.g. add 2024150 507\n"
                  << kUsageHint;
        return kUsageError;
    }
    // An impossible issue stored once would stand before every real one to be appended.
    const auto issue = readIssue(o.arguments[0], chinaYear(std::chrono::system_clock::now()));
    if (!issue) {
        std::cerr << "brenvik3d-cli: " << issue.error().message << "，未保存。\n" << kUsageHint;
        return kUsageError;
    }
    auto opened = openToChange(o, Load::StoreOnly);
    if (!opened)
        return failWith(opened.error());
    const DrawLine draw{*issue, {d[0] - '0', d[1] - '0', d[2] - '0'}};
    if (auto r = opened->store->appendDraws(std::span(&draw, 1), o.segment); !r)
        return failWith(r.error());
    std::cout << "已保存第 " << *issue << " 期：" << d << "\n";
    return 0;
}

struct RestoreArgs {
    std::optional<std::string> file; // a history text file to rebuild from
    bool salvage = false;            // keep what the damaged file still yields
};

int runRestore(const Options& o, const RestoreArgs& a) {
    if (!a.file && !a.salvage) {
        std::cerr << "brenvik3d-cli: restore needs a FILE to rebuild from, or --salvage\n" << kUsageHint;
        return kUsageError;
    }
    const int year = chinaYear(std::chrono::system_clock::now());
    // A file is read whole before anything else, as an import reads it.
    HistoryFile backup;
    if (a.file) {
        auto read = readImportFile(*a.file, year);
        if (!read)
            return failWith(read.error());
        backup = std::move(*read);
    }
    const std::filesystem::path home = homeOf(o);
    auto lock = FolderLock::take(home, LockHolder::Companion);
    if (!lock)
        return failWith(lock.error().message + (lock.error().code == ErrorCode::Busy ? "，未作改动。" : ""));
    // Only what is not a sound history is put aside: a sound one is replaced by an import, with its
    // undo. Whatever else lies at the history's place (a damaged history, zeros, text, one byte,
    // another program's file) is kept aside and the history rebuilt.
    const auto database = home / databaseFileName(o.game);
    const auto needed = needsRestore(database);
    if (!needed)
        return failWith(needed.error());
    if (!*needed)
        return failWith("历史数据库 " + shownPath(database) +
                        " 完好，不需要恢复，未作任何改动。要换成文件中的历史号码，请用 import。");
    const auto salvaged = a.salvage ? salvageSource(database, year) : std::nullopt;
    if (a.salvage && !salvaged) {
        if (!a.file)
            return failWith("损坏的数据库文件 " + shownPath(database) +
                            " 中读不出任何一期，未作任何改动。请从备份恢复：brenvik3d-cli restore 文件。");
        std::cout << "损坏的数据库文件中读不出任何一期，只用 "
                  << shownPath(std::filesystem::path(*a.file).filename()) << " 恢复。\n";
    }
    const RestorePlan plan = completedBy(backup.draws, salvaged ? std::span<const DrawLine>(salvaged->draws)
                                                                : std::span<const DrawLine>());
    auto restored = restoreHistory(database, o.game, plan, o.segment, std::chrono::system_clock::now());
    if (!restored)
        return failWith(restored.error());
    std::cout << restoredLine(*restored, a.file ? std::filesystem::path(*a.file).filename().string() : "")
              << '\n';
    return 0;
}

} // namespace

void addHistoryCommands(Commands& commands) {
    Options& o = commands.options();

    CLI::App& import =
        commands.add("import", "Replace the history with the draws of a history text file.", runImport);
    addArguments(
        import, o,
        {{"FILE", "the history text file: one draw a line, e.g. 2013001 123; - for the standard input"}});
    addSegment(import, o, "1");
    import.add_flag("--force", o.force,
                    "import a file even when more than half of the issues it shares with the history were "
                    "drawn with other digits (without it such a file, most likely of the other game, is "
                    "refused)");
    commands.exitStatus(import, kFailed,
                        "the file looks like the other game's history and --force was not given (nothing "
                        "changed)");

    CLI::App& exported = commands.add(
        "export", "Write the history as a history text file, or as the window's history workbook.",
        runExport);
    addArguments(
        exported, o,
        {{"FILE", "the history text file to write; - for the standard output; a name ending in .xlsx "
                  "gets the workbook"}});

    CLI::App& add = commands.add("add", "Append one draw, e.g. add 2024150 507.", runAdd);
    addArguments(add, o,
                 {{"ISSUE", "the seven-digit issue number, e.g. 2024150"},
                  {"DDD", "the three digits drawn, e.g. 507"}});
    addSegment(add, o, "1");
    commands.exitStatus(add, kFailed, "the issue is not after the newest stored one (nothing stored)");

    CLI::App& undo = commands.add("undo", "Restore the history as it was before its last change.", runUndo);
    undo.add_flag("--yes", o.yes, "restore the history; without it, only say what it would become");
    commands.exitStatus(undo, kFailed,
                        "there is no change to undo, or --yes was not given and it only said what the "
                        "history would become (nothing changed)");

    auto restoreArgs = std::make_shared<RestoreArgs>();
    CLI::App& restore = commands.add(
        "restore",
        "Rebuild a history that is not sound (damaged, or any other file at its place) from a history text "
        "file, the draws the damaged file still holds, or both, keeping the old file aside.",
        [restoreArgs](const Options& opts) { return runRestore(opts, *restoreArgs); });
    restore
        .add_option_function<std::string>(
            "FILE", [restoreArgs](const std::string& v) { restoreArgs->file = v; },
            "the history text file to rebuild from: the undo backup, lsbf.txt or a sample; with --salvage, "
            "the damaged file's draws after its last one are added")
        ->type_name("");
    restore.add_flag_callback(
        "--salvage", [restoreArgs] { restoreArgs->salvage = true; },
        "keep every draw the damaged file still holds, read row by row without its indexes (with FILE, "
        "those after FILE's last draw; where the two differ, FILE's draw is kept and the issue named)");
    addSegment(restore, o, "1");
    commands.exitStatus(restore, kFailed, "the history is sound and needs no restore (nothing changed)");
}

} // namespace brenvik::cli
