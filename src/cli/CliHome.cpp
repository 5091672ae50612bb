// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliHome.h"

#include "DataFolderUpgrade.h"
#include "Platform.h"
#include "SafeWrite.h"
#include "StoredSettings.h"

#include <chrono>
#include <iostream>
#include <thread>

namespace brenvik::cli {

namespace {

// A folder written before each game kept its own history is upgraded by whoever holds its lock,
// with the game the window had chosen.
Result<void> upgradeFolder(const std::filesystem::path& home, const FolderLock& held) {
    if (!held.held())
        return {};
    auto upgraded = upgradeDataFolder(home, storedSettings().GsZl);
    if (!upgraded)
        return std::unexpected(upgraded.error());
    if (!upgraded->empty())
        std::cerr << *upgraded << '\n';
    return {};
}

Result<Opened> loaded(std::unique_ptr<HistoryStore> store, FolderLock lock, Load load) {
    if (load == Load::StoreOnly)
        return Opened{std::move(lock), std::move(store), nullptr};
    auto snapshot = store->loadSnapshot();
    if (!snapshot)
        return std::unexpected(snapshot.error());
    return Opened{std::move(lock), std::move(store), std::move(*snapshot)};
}

} // namespace

std::filesystem::path homeOf(const Options& o) {
    return o.home.empty() ? dataFolderPath() : std::filesystem::path(o.home);
}

Result<Opened> openToRead(const Options& o, Load load) {
    // A command that only reads creates, renames and writes nothing in the folder: what only a
    // change may do there is left to the next change, and said.
    const std::filesystem::path home = homeOf(o);
    const auto database = home / databaseFileName(o.game);
    if (o.game == Game::Fc3d || fileStatus(database).kind == FileKind::Missing)
        if (const auto notice = upgradeNotice(home))
            return fail(ErrorCode::Invalid, "数据文件夹 " + shownPath(home) + " 里的 " + *notice);
    // What killed writes left behind is removed, as the window clears it when it starts: a writer
    // still at work holds its file locked and keeps it.
    removeAbandonedTemporaries(home, std::chrono::hours(1));
    return readingAgainWhenChanged([&]() -> Result<Opened> {
        auto store = HistoryStore::open(database, o.game, HistoryStore::Access::Read);
        if (!store)
            return std::unexpected(store.error());
        if (auto sound = (*store)->requireSound(); !sound)
            return std::unexpected(sound.error());
        return loaded(std::move(*store), FolderLock(), load);
    });
}

void pauseBeforeReadingAgain(int attempt) {
    // A change of the history takes milliseconds; the pauses grow so that a long one is outwaited.
    std::this_thread::sleep_for(std::chrono::milliseconds(10 << attempt));
}

Result<Opened> openToChange(const Options& o, Load load) {
    const std::filesystem::path home = homeOf(o);
    std::error_code ec;
    std::filesystem::create_directories(home, ec);
    auto lock = FolderLock::take(home, LockHolder::Companion);
    if (!lock) {
        Error busy = lock.error();
        if (busy.code == ErrorCode::Busy)
            busy.message += "，未作改动。";
        return std::unexpected(busy);
    }
    if (auto upgraded = upgradeFolder(home, *lock); !upgraded)
        return std::unexpected(upgraded.error());
    // What killed writes left behind, as the window clears it when it starts; a writer still at
    // work holds its file locked and keeps it.
    removeAbandonedTemporaries(home, std::chrono::hours(1));
    auto store = HistoryStore::open(home / databaseFileName(o.game), o.game);
    if (!store)
        return std::unexpected(store.error());
    // A file found empty and set up anew is said once, whatever the command.
    if (!(*store)->notice().empty() && !(*store)->readOnly())
        std::cerr << (*store)->notice() << '\n';
    // The whole file is checked before the first change, whatever the command goes on to do, so
    // that a damaged history is called damaged by every command and by the window alike.
    if (auto sound = (*store)->requireSound(); !sound)
        return std::unexpected(sound.error());
    return loaded(std::move(*store), std::move(*lock), load);
}

} // namespace brenvik::cli
