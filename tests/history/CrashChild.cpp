// SPDX-License-Identifier: GPL-3.0-or-later
// The process the crash tests kill: it runs one change of the history and is killed at a
// moment the test picks. It says "go" on its standard output once the database is open, so the
// delay the test waits is spent inside the change itself.
//   crash_child import  <database> <history file> <segment parameter>
//   crash_child rebuild <database> <backup file>  <segment parameter>
//   crash_child compact <database>
// And the changes as the window makes them, each with its undo backup:
//   crash_child import-undo <database> <history file> <segment parameter>
//   crash_child undo <database>
//   crash_child delete-last <database>                (then compacts, as the window does)
//   crash_child delete-to <database> <issue>          (then compacts)
//   crash_child delete-last-n <database> <count>      (then compacts)
//   crash_child clear <database>
//   crash_child segment-rebuild <database> <segment parameter>
//   crash_child retention <database> <current year>   (keeps 6 years)
//   crash_child update <database> <history file>      (appends the file's newer draws)
// And the restore of a damaged history, which never opens it as a history:
//   crash_child restore <database> <history file>
// With BRENVIK_CRASH_AT set to rename:N, commit:N or committed:N it kills itself instead: at its
// Nth rename before the file is renamed, or just before or just after its Nth commit of the
// database. It exits normally when the change has fewer such moments.
// It also plays the window against the companion: for <seconds>, rounds of a rebuild that keeps
// every draw and a compaction, each under the folder's lock; prints the rounds and the failures.
//   crash_child window-side <folder> <seconds>
#include "Compaction.h"
#include "FolderLock.h"
#include "HistoryRebuild.h"
#include "HistoryRestore.h"
#include "HistoryStore.h"
#include "OnlineMerge.h"
#include "UndoBackup.h"

#include <sqlite3.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <thread>

#include <fcntl.h>

using namespace brenvik;

namespace {

enum class KillAt { Nowhere, Rename, Commit, Committed };
KillAt g_killAt = KillAt::Nowhere;
int g_killAtCount = 0;
int g_seen = 0;

void passing(KillAt moment) {
    if (g_killAt == moment && ++g_seen == g_killAtCount)
        std::raise(SIGKILL);
}

int afterCommit(void*, sqlite3*, const char*, int) {
    passing(KillAt::Committed);
    return SQLITE_OK;
}

int beforeCommit(void* db) {
    passing(KillAt::Commit);
    // Set here, not when the connection opens: opening sets the engine's own hook after ours.
    sqlite3_wal_hook(static_cast<sqlite3*>(db), afterCommit, nullptr);
    return 0;
}

// Every connection of the process, the compaction's included, reports its commits.
int watchCommits(sqlite3* db, const char**, const sqlite3_api_routines*) {
    sqlite3_commit_hook(db, beforeCommit, db);
    return SQLITE_OK;
}

void readKillPoint() {
    const char* at = std::getenv("BRENVIK_CRASH_AT");
    if (!at)
        return;
    const std::string_view point = at;
    const auto colon = point.find(':');
    const std::string_view kind = point.substr(0, colon);
    g_killAt = kind == "rename" ? KillAt::Rename : kind == "commit" ? KillAt::Commit : KillAt::Committed;
    g_killAtCount = std::atoi(at + colon + 1);
    sqlite3_auto_extension(reinterpret_cast<void (*)()>(watchCommits));
}

int usage() {
    std::fputs(
        "usage: crash_child import|rebuild|compact <database> [file segment]\n"
        "       crash_child import-undo|undo|delete-last|delete-to|delete-last-n|clear|segment-rebuild|\n"
        "                   retention|update <database> [argument]\n"
        "       crash_child restore <database> <history file>\n"
        "       crash_child window-side <folder> <seconds>\n",
        stderr);
    return 2;
}

void sayGo() {
    std::fputs("go\n", stdout);
    std::fflush(stdout);
}

int report(const Error& e) {
    std::fprintf(stderr, "%s\n", e.message.c_str());
    return 1;
}

// One round; false when another program held the folder.
Result<bool> windowRound(const std::filesystem::path& folder) {
    auto lock = FolderLock::take(folder, LockHolder::Window);
    if (!lock)
        return lock.error().code == ErrorCode::Busy ? Result<bool>(false) : std::unexpected(lock.error());
    auto store = HistoryStore::open(folder / databaseFileName(Game::Fc3d));
    auto history = store ? (*store)->loadSnapshot() : std::unexpected(store.error());
    if (!history)
        return std::unexpected(history.error());
    if (const DrawRow* last = (*history)->last())
        if (auto kept = deleteDownTo(**store, folder, last->sqqh, 1); !kept)
            return std::unexpected(kept.error());
    if (auto compacted = compactAndReopen(*store); !compacted)
        return std::unexpected(compacted.error());
    return true;
}

int windowSide(const std::filesystem::path& folder, int seconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    int rounds = 0, failed = 0;
    while (std::chrono::steady_clock::now() < end) {
        auto done = windowRound(folder);
        if (!done)
            std::fprintf(stderr, "%s\n", done.error().message.c_str());
        failed += !done;
        rounds += done.value_or(true);
        // The lock is free between rounds, as between two of the user's actions.
        std::this_thread::sleep_for(std::chrono::milliseconds(done.value_or(true) ? 10 : 1));
    }
    std::printf("%d %d\n", rounds, failed);
    return 0;
}

} // namespace

// Every rename of the process passes here: the libraries' own and the standard library's.
extern "C" int rename(const char* from, const char* to) noexcept {
    passing(KillAt::Rename);
    return ::renameat(AT_FDCWD, from, AT_FDCWD, to);
}

namespace {

// The changes the window makes with an undo backup, as it makes them.
Result<void> windowChange(std::string_view mode, std::unique_ptr<HistoryStore>& store,
                          const HistorySnapshot& history, const char* argument) {
    HistoryStore& s = *store;
    const auto folder = s.file().parent_path();
    const auto done = [](const auto& result) -> Result<void> {
        if (!result)
            return std::unexpected(result.error());
        return {};
    };
    const auto compacted = [&](const auto& result) -> Result<void> {
        if (!result)
            return std::unexpected(result.error());
        return compactAndReopen(store);
    };
    if (mode == "import-undo")
        return done(changeWithUndo(s, "读入", [&] { return importHistoryFile(s, argument, 1); }));
    if (mode == "undo") {
        auto backup = readUndoBackup(s);
        if (!backup || !*backup)
            return fail(ErrorCode::Invalid, "no undo backup");
        return done(undoLastChange(s, **backup));
    }
    if (mode == "delete-last")
        return compacted(changeWithUndo(s, "删除最后一期", [&] { return s.deleteLast(); }));
    if (mode == "delete-to")
        return compacted(
            changeWithUndo(s, "删除到", [&] { return deleteDownTo(s, folder, std::atoi(argument), 1); }));
    if (mode == "delete-last-n")
        return compacted(changeWithUndo(s, "删除最后",
                                        [&] { return deleteLastDraws(s, folder, std::atoll(argument), 1); }));
    if (mode == "clear")
        return done(changeWithUndo(s, "清空历史号码", [&] { return s.deleteAll(); }));
    if (mode == "segment-rebuild")
        return done(changeWithUndo(
            s, "重建", [&] { return deleteDownTo(s, folder, history.last()->sqqh, std::atoi(argument)); }));
    if (mode == "retention") {
        const auto cut = retentionCut(history, std::atoi(argument), 6);
        if (!cut)
            return fail(ErrorCode::Invalid, "nothing to remove");
        return removeYearsBefore(s, history, *cut, 1);
    }
    if (mode == "update") {
        auto file = readHistoryFile(argument);
        if (!file || file->draws.empty())
            return fail(ErrorCode::Invalid, "no draws to update with");
        const int year = file->draws.back().issue / 1000;
        OnlineMerge merge(history, year, 6, 1);
        merge.addDraws(year, file->draws);
        return done(merge.commit(s));
    }
    return fail(ErrorCode::Invalid, "unknown change");
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    readKillPoint();
    const std::string_view mode = argv[1];
    if (mode == "window-side" && argc == 4)
        return windowSide(argv[2], std::atoi(argv[3]));
    const std::filesystem::path database = argv[2];
    if (mode == "restore" && argc == 4) {
        auto source = readHistoryFile(argv[3]);
        if (!source)
            return report(source.error());
        sayGo();
        auto restored = restoreHistory(database, Game::Fc3d, completedBy(source->draws, {}), 1,
                                       std::chrono::system_clock::now());
        return restored ? 0 : report(restored.error());
    }
    if (mode == "compact") {
        sayGo();
        auto compacted = compactDatabase(database);
        return compacted ? 0 : report(compacted.error());
    }
    auto store = HistoryStore::open(database);
    if (!store)
        return report(store.error());
    // The window holds its snapshot before a change begins.
    auto snapshot = (*store)->loadSnapshot();
    if (!snapshot)
        return report(snapshot.error());
    if (mode != "import" && mode != "rebuild") {
        sayGo();
        auto changed = windowChange(mode, *store, **snapshot, argc > 3 ? argv[3] : "");
        return changed ? 0 : report(changed.error());
    }
    if (argc < 5)
        return usage();
    const int segment = std::atoi(argv[4]);
    sayGo();
    auto counts = mode == "import" ? importHistoryFile(**store, argv[3], segment)
                                   : rebuildFromBackup(**store, argv[3], segment);
    return counts ? 0 : report(counts.error());
}
