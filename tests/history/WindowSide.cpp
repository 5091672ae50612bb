// What the window does to the history, in a loop, as another process: a rebuild through the
// backup file that keeps every draw, then a compaction. Each round holds the folder's lock, as
// the window does while it runs.
//   window_side <folder> <seconds>
// Prints the number of rounds done and of rounds that failed; a failure is told on stderr and
// the loop goes on, as the window goes on after telling the user.
#include "Compaction.h"
#include "FolderLock.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace brenvik;
using Clock = std::chrono::steady_clock;

namespace {

// One round under the lock; false when another program held the folder.
Result<bool> oneRound(const std::filesystem::path& folder) {
    auto lock = FolderLock::take(folder, LockHolder::Window);
    if (!lock)
        return lock.error().code == ErrorCode::Busy ? Result<bool>(false) : std::unexpected(lock.error());
    auto store = HistoryStore::open(folder / kDatabaseFile);
    if (!store)
        return std::unexpected(store.error());
    auto history = (*store)->loadSnapshot();
    if (!history)
        return std::unexpected(history.error());
    if (!(*history)->empty())
        if (auto kept = deleteDownTo(**store, folder, (*history)->last()->sqqh, 1); !kept)
            return std::unexpected(kept.error());
    if (auto compacted = compactAndReopen(*store); !compacted)
        return std::unexpected(compacted.error());
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fputs("usage: window_side <folder> <seconds>\n", stderr);
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    const auto end = Clock::now() + std::chrono::seconds(std::atoi(argv[2]));
    int rounds = 0;
    int failed = 0;
    while (Clock::now() < end) {
        auto done = oneRound(folder);
        if (!done) {
            std::fprintf(stderr, "%s\n", done.error().message.c_str());
            ++failed;
        }
        rounds += done.value_or(true);
        // Between rounds the lock is free, as between two of the user's actions.
        std::this_thread::sleep_for(std::chrono::milliseconds(done.value_or(true) ? 10 : 1));
    }
    std::printf("%d %d\n", rounds, failed);
    return 0;
}
