// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"
#include "Error.h"
#include "FolderLock.h"
#include "HistorySnapshot.h"
#include "HistoryStore.h"

#include <filesystem>
#include <memory>

namespace brenvik::cli {

// The data folder of a command: --home, else $BRENVIK3D_HOME, else the window's per-user folder.
std::filesystem::path homeOf(const Options& o);

// The history a command works on, with the folder's lock when it changes it.
struct Opened {
    FolderLock lock; // held for a change, until the companion exits
    std::unique_ptr<HistoryStore> store;
    SnapshotPtr snapshot; // loaded only for a command that asked for it
};

// What a command needs of the history besides the store: a command that reads the database
// itself (add, export, import) does not pay for loading every draw into a snapshot.
enum class Load { Snapshot, StoreOnly };

// Searches and exports read the history while a window or another companion works on it. No
// answer comes from a file that is not proven sound: one that holds the bytes of its seal, or
// that passes the whole check. A file another program changed while it was read is read again.
Result<Opened> openToRead(const Options& o, Load load = Load::Snapshot);

// How many times in all a reader reads a history that other programs keep changing under it,
// before it asks the user to try again.
inline constexpr int kReadAttempts = 5;
void pauseBeforeReadingAgain(int attempt);

// Runs `read` again while it fails because another program changed the history as it was read
// (ErrorCode::Busy), up to kReadAttempts times in all.
template <typename Read> auto readingAgainWhenChanged(Read read) -> decltype(read()) {
    for (int attempt = 1;; ++attempt) {
        auto result = read();
        if (result || result.error().code != ErrorCode::Busy || attempt == kReadAttempts)
            return result;
        pauseBeforeReadingAgain(attempt);
    }
}

// Every command that changes the history or the folder opens it through here: it takes the
// folder's lock first, and when another program holds it the command changes nothing.
Result<Opened> openToChange(const Options& o, Load load = Load::Snapshot);

} // namespace brenvik::cli
