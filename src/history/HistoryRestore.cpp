// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryRestore.h"

#include "FileSeal.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "Platform.h"
#include "PredictionLog.h"
#include "SafeWrite.h"
#include "SystemError.h"
#include "UndoBackup.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <system_error>

namespace brenvik {

namespace {

std::optional<RestoreSource> readSource(std::string kind, const std::filesystem::path& file,
                                        int currentYear) {
    if (fileStatus(file).kind != FileKind::Regular)
        return std::nullopt;
    auto read = readImportFile(file, currentYear);
    if (!read || read->draws.empty())
        return std::nullopt;
    return RestoreSource{std::move(kind), file, static_cast<long long>(read->draws.size()),
                         read->draws.back().issue};
}

std::filesystem::path withSuffix(const std::filesystem::path& file, const std::string& suffix) {
    auto p = file;
    p += suffix;
    return p;
}

// A second name for `from` that keeps its bytes once `from` names another file; a copy where the
// file system has no second names.
int keepUnder(const std::filesystem::path& from, const std::filesystem::path& to) {
    const int error = linkNoReplace(from, to);
    if (error != EPERM && error != EOPNOTSUPP && error != EMLINK)
        return error;
    if (fileStatus(to).kind != FileKind::Missing)
        return EEXIST;
    auto copied = copyFileSafely(from, to);
    return copied ? 0 : EIO;
}

// Gives the damaged file, and the log beside it, names of their own; returns the file's.
Result<std::filesystem::path> keepDamagedAside(const std::filesystem::path& database,
                                               std::chrono::system_clock::time_point now) {
    const std::string stamp = ".damaged-" + localTimeStamp(now);
    for (int n = 1; n <= 99; ++n) {
        const auto aside = withSuffix(database, stamp + (n == 1 ? "" : "-" + std::to_string(n)));
        if (fileStatus(aside).kind != FileKind::Missing ||
            fileStatus(withSuffix(aside, "-wal")).kind != FileKind::Missing)
            continue;
        if (const int error = keepUnder(database, aside); error == EEXIST) {
            continue;
        } else if (error != 0) {
            return fail(ErrorCode::Io, "无法把损坏的数据库文件 " + shownPath(database) + " 另存为 " +
                                           shownPath(aside.filename()) + "：" + systemErrorText(error) +
                                           "，历史未恢复。");
        }
        // A log left beside the history's name would be read into the restored file.
        const auto log = withSuffix(database, "-wal");
        if (fileStatus(log).kind == FileKind::Regular) {
            if (const int error = keepUnder(log, withSuffix(aside, "-wal")); error != 0)
                return fail(ErrorCode::Io, "无法另存损坏的数据库的日志文件 " + shownPath(log.filename()) +
                                               "：" + systemErrorText(error) + "，历史未恢复。");
            std::error_code ec;
            std::filesystem::remove(log, ec);
            if (ec)
                return fail(ErrorCode::Io, "无法移开损坏的数据库的日志文件 " + shownPath(log.filename()) +
                                               "：" + systemErrorText(ec.value()) + "，历史未恢复。");
        }
        // The old file's index and seal describe nothing the new file holds.
        std::error_code ec;
        std::filesystem::remove(withSuffix(database, "-shm"), ec);
        removeSeal(database);
        return aside;
    }
    return fail(ErrorCode::Io,
                "损坏的数据库文件 " + shownPath(database) + " 的另存名称都已被占用，历史未恢复。");
}

} // namespace

std::optional<SalvageSource> salvageSource(const std::filesystem::path& database, int currentYear) {
    if (fileStatus(database).kind != FileKind::Regular)
        return std::nullopt;
    auto salvaged = HistoryStore::salvage(database, currentYear);
    if (!salvaged || salvaged->draws.empty())
        return std::nullopt;
    SalvageSource s;
    s.source = RestoreSource{kSalvageKind, database, static_cast<long long>(salvaged->draws.size()),
                             salvaged->draws.back().issue};
    s.draws = std::move(salvaged->draws);
    return s;
}

std::vector<RestoreSource> restoreSources(const std::filesystem::path& folder, Game game,
                                          const std::filesystem::path& sample, int currentYear) {
    std::vector<RestoreSource> sources;
    const auto database = folder / databaseFileName(game);
    for (auto&& source : {readSource("撤销备份", undoFileFor(database), currentYear),
                          readSource("备份文件", folder / rebuildBackupFileName(game), currentYear),
                          readSource("附带的样本", sample, currentYear)})
        if (source)
            sources.push_back(*source);
    return sources;
}

std::string describeSource(const RestoreSource& s) {
    if (s.kind == kSalvageKind)
        return s.kind + " " + groupedCount(s.count) + " 期" +
               (s.lastIssue ? "（最新 " + std::to_string(*s.lastIssue) + "）" : std::string());
    std::string text = s.kind + " " + shownPath(s.file.filename()) + "：" + groupedCount(s.count) + " 期";
    if (s.lastIssue)
        text += "，最后一期 " + std::to_string(*s.lastIssue);
    return text;
}

RestorePlan completedBy(std::span<const DrawLine> backup, std::span<const DrawLine> salvaged) {
    RestorePlan plan;
    plan.draws.assign(backup.begin(), backup.end());
    const std::int32_t last = backup.empty() ? std::numeric_limits<std::int32_t>::min() : backup.back().issue;
    // Both are in issue order: one walk compares what they share.
    auto kept = backup.begin();
    for (const DrawLine& d : salvaged) {
        if (d.issue > last) {
            plan.draws.push_back(d);
            ++plan.fromDamaged;
            continue;
        }
        kept = std::lower_bound(kept, backup.end(), d.issue,
                                [](const DrawLine& b, std::int32_t issue) { return b.issue < issue; });
        if (kept != backup.end() && kept->issue == d.issue && kept->digits != d.digits)
            plan.disagreeing.push_back(d.issue);
    }
    return plan;
}

Result<bool> needsRestore(const std::filesystem::path& database) {
    if (auto refused = HistoryStore::unopenable(database))
        return std::unexpected(*refused);
    auto checked = HistoryStore::checkFile(database);
    if (checked)
        return false;
    const ErrorCode c = checked.error().code;
    if (c == ErrorCode::Damaged || c == ErrorCode::NotOurs || c == ErrorCode::Empty)
        return true;
    return std::unexpected(checked.error());
}

Result<Restored> restoreHistory(const std::filesystem::path& database, Game game, const RestorePlan& plan,
                                int segmentParam, std::chrono::system_clock::time_point now) {
    if (plan.draws.empty())
        return fail(ErrorCode::Empty, std::string(kNoDrawsInFile) + "。");
    if (fileStatus(database).kind != FileKind::Regular)
        return fail(ErrorCode::Io, "没有要恢复的历史数据库 " + shownPath(database) + "。");
    Restored restored;
    auto entries = PredictionLog::entriesIn(database);
    restored.entriesLost = !entries && entries.error().code != ErrorCode::NotOurs;
    auto pending = PendingFile::create(database);
    if (!pending)
        return std::unexpected(pending.error());
    // The store closes before this returns, which folds the new file's log into it.
    const auto build = [&]() -> Result<void> {
        auto store = HistoryStore::open(pending->temporary(), game);
        if (!store)
            return std::unexpected(store.error());
        if (entries && !entries->empty()) {
            if (auto carried = PredictionLog::carry(**store, *entries); !carried)
                return carried;
            restored.entries = static_cast<long long>(entries->entries.size());
            restored.plays = static_cast<long long>(entries->plays.size());
        }
        return storeRebuilt(**store, plan.draws, segmentParam);
    };
    auto built = build();
    auto aside = built ? keepDamagedAside(database, now) : std::unexpected(built.error());
    if (!aside) {
        // The temporary goes with the pending file; the seal taken of it goes here.
        removeSeal(pending->temporary());
        return std::unexpected(aside.error());
    }
    restored.damaged = *aside;
    // The seal was taken of the new file under its temporary name: the same bytes, about to be the
    // history's. Moved first, so that nothing named after the temporary outlives it; until the
    // file follows, the seal holds for no file there and proves nothing.
    if (replaceFile(sealFileOf(pending->temporary()), sealFileOf(database)) != 0)
        removeSeal(pending->temporary());
    if (auto placed = pending->commit(); !placed)
        return std::unexpected(placed.error());
    restored.draws = static_cast<long long>(plan.draws.size());
    restored.fromDamaged = plan.fromDamaged;
    restored.disagreeing = plan.disagreeing;
    return restored;
}

std::string restoredLine(const Restored& r, const std::string& from) {
    std::string line = from.empty()
                           ? "已从损坏的文件中读出的各期恢复历史号码 " + groupedCount(r.draws) + " 期"
                           : "已从 " + from + " 恢复历史号码 " + groupedCount(r.draws) + " 期";
    if (!from.empty() && r.fromDamaged > 0)
        line += "，其中比它新的 " + groupedCount(r.fromDamaged) + " 期取自损坏的文件";
    if (!r.disagreeing.empty()) {
        std::string issues;
        constexpr std::size_t kNamed = 10;
        for (std::size_t i = 0; i < std::min(r.disagreeing.size(), kNamed); ++i)
            issues += (i ? "、" : "") + std::to_string(r.disagreeing[i]);
        if (r.disagreeing.size() > kNamed)
            issues += " 等 " + groupedCount(static_cast<long long>(r.disagreeing.size())) + " 期";
        line += "；第 " + issues + " 期损坏的文件中号码不同，保留了 " + from + " 中的号码";
    }
    line += "；损坏的数据库文件已另存为 " + shownPath(r.damaged.filename()) + "（未删除）";
    if (r.entries > 0 || r.plays > 0) {
        line += "；保留了";
        if (r.entries > 0)
            line += " " + std::to_string(r.entries) + " 条预测记录";
        if (r.entries > 0 && r.plays > 0)
            line += "、";
        if (r.plays > 0)
            line += (r.entries > 0 ? "" : " ") + std::to_string(r.plays) + " 条投注记录";
    }
    if (r.entriesLost)
        line += "；损坏的文件中的预测记录未能读出";
    return line + "。";
}

} // namespace brenvik
