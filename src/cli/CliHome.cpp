// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliHome.h"

#include "DataFolderUpgrade.h"
#include "SafeWrite.h"
#include "StoredSettings.h"

#include <chrono>
#include <cstdlib>
#include <iostream>

namespace brenvik::cli {

namespace {

// The folder the window uses when $BRENVIK3D_HOME is not set: the per-user application data folder.
std::filesystem::path defaultHome() {
    if (const char* home = std::getenv("BRENVIK3D_HOME"); home && *home)
        return home;
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char* h = std::getenv("HOME"); h && *h)
        data = std::filesystem::path(h) / ".local" / "share";
    else
        data = ".";
    return data / "Brenvik3D" / "Brenvik3D";
}

// A folder written before each game kept its own history is upgraded by whoever holds its lock,
// with the game the window had chosen. A command that only reads takes the lock for that
// moment; while another program holds it, that program upgrades the folder, and opening a
// history before then could mark it with the wrong game.
Result<void> upgradeFolder(const std::filesystem::path& home, const FolderLock& held) {
    FolderLock forUpgrade;
    if (!held.held()) {
        if (!upgradeNeeded(home))
            return {};
        auto lock = FolderLock::take(home, LockHolder::Companion);
        if (!lock) {
            Error busy = lock.error();
            busy.message += "，旧版本的历史数据库尚未升级，请稍后再试。";
            return std::unexpected(busy);
        }
        forUpgrade = std::move(*lock);
    }
    auto upgraded = upgradeDataFolder(home, storedSettings().GsZl);
    if (!upgraded)
        return std::unexpected(upgraded.error());
    if (!upgraded->empty())
        std::cerr << *upgraded << '\n';
    return {};
}

Result<Opened> openStore(const Options& o, FolderLock lock, Load load) {
    const std::filesystem::path home = homeOf(o);
    std::error_code ec;
    std::filesystem::create_directories(home, ec);
    if (auto upgraded = upgradeFolder(home, lock); !upgraded)
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
    if (load == Load::StoreOnly)
        return Opened{std::move(lock), std::move(*store), nullptr};
    auto snapshot = (*store)->loadSnapshot();
    if (!snapshot)
        return std::unexpected(snapshot.error());
    return Opened{std::move(lock), std::move(*store), std::move(*snapshot)};
}

} // namespace

std::filesystem::path homeOf(const Options& o) {
    return o.home.empty() ? defaultHome() : std::filesystem::path(o.home);
}

Result<Opened> openToRead(const Options& o, Load load) {
    return openStore(o, FolderLock(), load);
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
    return openStore(o, std::move(*lock), load);
}

} // namespace brenvik::cli
