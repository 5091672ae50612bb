// SPDX-License-Identifier: GPL-3.0-or-later
// The process the crash tests kill: it runs one change of the history and is killed at a
// moment the test picks. It says "go" on its standard output once the database is open, so the
// delay the test waits is spent inside the change itself.
//   crash_child import  <database> <history file> <segment parameter>
//   crash_child rebuild <database> <backup file>  <segment parameter>
//   crash_child compact <database>
//   crash_child import-undo <database> <history file> <segment parameter>   (with its undo backup)
// It also plays the window against the companion: for <seconds>, rounds of a rebuild that keeps
// every draw and a compaction, each under the folder's lock; prints the rounds and the failures.
//   crash_child window-side <folder> <seconds>
#include "Compaction.h"
#include "FolderLock.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "UndoBackup.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <thread>

using namespace brenvik;

namespace {

int usage() {
    std::fputs("usage: crash_child import|rebuild|import-undo|compact|undo <database> [file segment]\n"
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

int main(int argc, char** argv) {
    if (argc < 3)
        return usage();
    const std::string_view mode = argv[1];
    if (mode == "window-side" && argc == 4)
        return windowSide(argv[2], std::atoi(argv[3]));
    const std::filesystem::path database = argv[2];
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
    if (argc < 5 || (mode != "import" && mode != "rebuild" && mode != "import-undo"))
        return usage();
    const int segment = std::atoi(argv[4]);
    sayGo();
    if (mode == "import-undo") {
        auto counts = changeWithUndo(**store, **snapshot, "读入",
                                     [&] { return importHistoryFile(**store, argv[3], segment); });
        return counts ? 0 : report(counts.error());
    }
    auto counts = mode == "import" ? importHistoryFile(**store, argv[3], segment)
                                   : rebuildFromBackup(**store, argv[3], segment);
    return counts ? 0 : report(counts.error());
}
