// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryRebuild.h"

#include "HistoryExport.h"
#include "IssueNumber.h"
#include "SafeWrite.h"

#include <algorithm>

namespace brenvik {

namespace {

// Derives the rows of a history that holds exactly `draws`, one at a time, from an empty
// running state: storing a million draws never needs a million rows in memory.
class RowDeriver {
public:
    RowDeriver(std::span<const DrawLine> draws, int segmentParam, bool fillBack, Progress progress = {})
        : m_draws(draws), m_segmentParam(segmentParam), m_fillBack(fillBack),
          m_progress(std::move(progress)) {}

    bool next(DrawRow& row) {
        if (m_progress && (m_index % kProgressEvery == 0 || m_index == m_draws.size()))
            m_progress(static_cast<long long>(m_index), static_cast<long long>(m_draws.size()));
        if (m_index == m_draws.size())
            return false;
        const DrawLine& d = m_draws[m_index++];
        row = appendDraw(d.issue, d.digits, m_segmentParam, m_state);
        if (m_fillBack) {
            row.pre = m_twoBack;
            m_twoBack = row.last;
        }
        return true;
    }

private:
    std::span<const DrawLine> m_draws;
    std::size_t m_index = 0;
    int m_segmentParam;
    bool m_fillBack;
    Progress m_progress;
    RunningState m_state = RunningState::empty();
    Summaries m_twoBack; // the summaries of the draw two back from the next row
};

Error withNote(Error e, std::string_view note) {
    if (!e.message.ends_with("。"))
        e.message += "，";
    e.message += note;
    return e;
}

Result<void> checkSegmentParam(int segmentParam) {
    if (segmentParam != 0 && segmentParam != 1)
        return fail(ErrorCode::Invalid, "段数参数只能是 0 或 1。");
    return {};
}

Result<void> storeRows(HistoryStore& store, std::span<const DrawLine> draws, int segmentParam, bool fillBack,
                       const Progress& progress = {}) {
    if (auto checked = checkSegmentParam(segmentParam); !checked)
        return checked;
    RowDeriver rows(draws, segmentParam, fillBack, progress);
    // The old rows are deleted in the same transaction that stores the new ones.
    if (auto replaced = store.replaceAll([&rows](DrawRow& next) { return rows.next(next); }); !replaced)
        return std::unexpected(withNote(replaced.error(), "历史号码未改动。"));
    return {};
}

Result<StoredCounts> storeFile(HistoryStore& store, const HistoryFile& file, int segmentParam, bool fillBack,
                               const Progress& progress = {}) {
    if (auto stored = storeRows(store, file.draws, segmentParam, fillBack, progress); !stored)
        return std::unexpected(stored.error());
    return StoredCounts{static_cast<long long>(file.draws.size()), file.skipped, file.duplicates};
}

Result<StoredCounts> keepOnly(HistoryStore& store, const std::filesystem::path& folder,
                              std::span<const DrawLine> kept, int segmentParam, const Progress& progress) {
    if (auto checked = checkSegmentParam(segmentParam); !checked)
        return std::unexpected(checked.error());
    const auto backup = folder / rebuildBackupFileName(store.game());
    if (auto written = writeHistoryFile(backup, kept); !written)
        return std::unexpected(withNote(written.error(), "历史号码未改动。"));
    return rebuildFromBackup(store, backup, segmentParam, progress);
}

} // namespace

std::vector<DrawRow> rebuiltRows(std::span<const DrawLine> draws, int segmentParam) {
    std::vector<DrawRow> rows;
    rows.reserve(draws.size());
    RowDeriver deriver(draws, segmentParam, true);
    DrawRow row;
    while (deriver.next(row))
        rows.push_back(row);
    return rows;
}

namespace {

Result<HistoryFile> checkedImport(Result<HistoryFile> read, int currentYear) {
    if (!read)
        return std::unexpected(read.error().code == ErrorCode::Cancelled
                                   ? read.error()
                                   : withNote(read.error(), "历史号码未改动。"));
    // An impossible issue stored once would stand before every real one to be appended.
    read->skipped += std::erase_if(read->draws, [currentYear](const DrawLine& d) {
        return issueProblem(d.issue, currentYear).has_value();
    });
    if (read->draws.empty())
        return fail(ErrorCode::Empty, kNoDrawsInFile);
    return read;
}

} // namespace

Result<HistoryFile> readImportFile(const std::filesystem::path& file, int currentYear,
                                   const Progress& progress) {
    return checkedImport(readHistoryFile(file, progress), currentYear);
}

Result<HistoryFile> readImportInput(int currentYear) {
    return checkedImport(readHistoryInput(), currentYear);
}

Result<StoredCounts> importHistory(HistoryStore& store, const HistoryFile& file, int segmentParam,
                                   const Progress& progress) {
    if (file.draws.empty())
        return fail(ErrorCode::Empty, kNoDrawsInFile);
    return storeFile(store, file, segmentParam, false, progress);
}

Result<StoredCounts> importHistoryFile(HistoryStore& store, const std::filesystem::path& file,
                                       int segmentParam) {
    auto read = readHistoryFile(file);
    if (!read)
        return std::unexpected(withNote(read.error(), "历史号码未改动。"));
    return importHistory(store, *read, segmentParam);
}

Result<void> storeRebuilt(HistoryStore& store, std::span<const DrawLine> draws, int segmentParam,
                          const Progress& progress) {
    return storeRows(store, draws, segmentParam, true, progress);
}

Result<StoredCounts> rebuildFromBackup(HistoryStore& store, const std::filesystem::path& backupFile,
                                       int segmentParam, const Progress& progress) {
    if (auto checked = checkSegmentParam(segmentParam); !checked)
        return std::unexpected(checked.error());
    auto read = readHistoryFile(backupFile);
    if (!read)
        return std::unexpected(withNote(read.error(), "历史号码未改动。"));
    return storeFile(store, *read, segmentParam, true, progress);
}

Result<std::vector<DrawLine>> drawsUpTo(const HistorySnapshot& history, std::int32_t lastKept) {
    if (history.empty())
        return fail(ErrorCode::Empty, "没有历史号码，未删除。");
    const std::int32_t first = history.first()->sqqh, last = history.last()->sqqh;
    if (lastKept < first || lastKept > last)
        return fail(ErrorCode::Invalid, "期号 " + std::to_string(lastKept) + " 不在已有历史号码的范围（" +
                                            std::to_string(first) + "～" + std::to_string(last) +
                                            "）内，历史号码未改动。");
    // Every draw up to T: the issues ascend.
    const auto end = history.lastAtOrBefore(lastKept);
    return drawLinesOf(history, 0, end ? *end + 1 : 0);
}

std::vector<DrawLine> drawsWithoutLast(const HistorySnapshot& history, long long count) {
    const auto size = static_cast<long long>(history.size());
    const auto keep = static_cast<std::size_t>(std::clamp(size - count, 0LL, size));
    return drawLinesOf(history, 0, keep);
}

Result<StoredCounts> deleteDownTo(HistoryStore& store, const std::filesystem::path& folder,
                                  std::int32_t lastKept, int segmentParam, const Progress& progress) {
    auto history = store.loadSnapshot();
    if (!history)
        return std::unexpected(history.error());
    auto kept = drawsUpTo(**history, lastKept);
    if (!kept)
        return std::unexpected(kept.error());
    return keepOnly(store, folder, *kept, segmentParam, progress);
}

Result<StoredCounts> deleteLastDraws(HistoryStore& store, const std::filesystem::path& folder,
                                     long long count, int segmentParam, const Progress& progress) {
    if (count < 1)
        return fail(ErrorCode::Invalid, "要删除的期数必须大于 0，历史号码未改动。");
    auto history = store.loadSnapshot();
    if (!history)
        return std::unexpected(history.error());
    return keepOnly(store, folder, drawsWithoutLast(**history, count), segmentParam, progress);
}

} // namespace brenvik
