// SPDX-License-Identifier: GPL-3.0-or-later
#include "DataFolderUpgrade.h"

#include "FileSeal.h"
#include "Game.h"
#include "HistoryStore.h"
#include "Platform.h"
#include "SystemError.h"

#include <system_error>

namespace brenvik {

namespace {

bool present(const std::filesystem::path& p) {
    std::error_code ec;
    return std::filesystem::exists(p, ec);
}

// A log or index beside the file means another connection still has it open.
bool inUse(const std::filesystem::path& file) {
    auto wal = file, shm = file;
    wal += "-wal";
    shm += "-shm";
    return present(wal) || present(shm);
}

struct Found {
    bool readable = false;    // there is a file and it is a history of ours
    std::optional<Game> mark; // its mark, when it has one
};

// A file that is missing or not a sound history of ours is the opening's to report.
Found look(const std::filesystem::path& old) {
    if (!present(old))
        return {};
    auto mark = HistoryStore::markOf(old);
    return mark ? Found{true, *mark} : Found{};
}

} // namespace

bool upgradeNeeded(const std::filesystem::path& folder) {
    const Found f = look(folder / databaseFileName(Game::Fc3d));
    if (!f.readable)
        return false;
    return !f.mark || (*f.mark == Game::Pl3 && !present(folder / databaseFileName(Game::Pl3)));
}

std::optional<std::string> upgradeNotice(const std::filesystem::path& folder) {
    if (!upgradeNeeded(folder))
        return std::nullopt;
    const std::string oldName = databaseFileName(Game::Fc3d);
    const std::string byChange = "打开窗口一次，或运行一次修改历史的命令（如 brenvik3d-cli update）";
    if (!look(folder / oldName).mark)
        return oldName + " 是旧版本的历史数据库，尚未标明彩种，只读的命令不改动它，未作任何改动。请" +
               byChange + "，程序会按当时选择的彩种标明它。";
    return oldName + " 存的是体彩排列3的历史号码，未作任何改动。请把它改名为 " + databaseFileName(Game::Pl3) +
           "；或" + byChange + "，程序会替您改名。";
}

Result<std::string> upgradeDataFolder(const std::filesystem::path& folder, int gsZl) {
    const auto old = folder / databaseFileName(Game::Fc3d);
    const auto pl3 = folder / databaseFileName(Game::Pl3);
    const Found f = look(old);
    if (!f.readable)
        return std::string();
    const std::string oldName = databaseFileName(Game::Fc3d), pl3Name = databaseFileName(Game::Pl3);
    const Game game = f.mark.value_or(gameOfGsZl(gsZl));
    const bool move = game == Game::Pl3 && !present(pl3);
    if (f.mark && !move)
        return std::string();
    {
        // Marks the history when it has no mark. Closing the only connection folds the log into
        // the file and removes it with its index, so that the file can be renamed alone.
        auto store = HistoryStore::open(old, game);
        if (!store)
            return std::unexpected(store.error());
        // Nothing can be marked where nothing may be written; the history is read as it is.
        if ((*store)->readOnly())
            return std::string();
    }
    std::string notice;
    if (!f.mark)
        notice = oldName + " 是旧版本的历史数据库，已按当时选择的彩种标明为" +
                 std::string(displayName(game)) + "的历史";
    if (!move)
        return game == Game::Pl3 ? notice + "；" + pl3Name + " 已存在，未改名。" : notice + "。";
    if (inUse(old))
        return fail(ErrorCode::Busy, oldName + " 存的是体彩排列3的历史号码，但正被其他程序使用，无法改名为 " +
                                         pl3Name + "。请关闭其他程序后重新打开。");
    if (const int error = renameNoReplace(old, pl3); error != 0)
        return fail(ErrorCode::Io, oldName + " 存的是体彩排列3的历史号码，无法改名为 " + pl3Name + "：" +
                                       systemErrorText(error) + "。");
    // Its seal goes with it: the same bytes under their new name.
    if (fileStatus(sealFileOf(old)).kind != FileKind::Missing &&
        replaceFile(sealFileOf(old), sealFileOf(pl3)) != 0)
        removeSeal(old);
    return (notice.empty() ? oldName + " 存的是体彩排列3的历史号码" : notice) + "，已改名为 " + pl3Name +
           "。";
}

} // namespace brenvik
