#include "UndoBackup.h"

#include "HistoryExport.h"
#include "IssueNumber.h"

#include <ctime>
#include <system_error>

namespace brenvik {

namespace {

// The first line of a backup: a mark, then key=value fields separated by tabs, change last.
constexpr std::string_view kMark = "#Brenvik3D undo";

std::string localTimeNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

// The parameter the stored rows' segments were derived with; the newest row tells what the
// history was last written with.
int segmentParamOf(const DrawRow* last) {
    if (!last)
        return 1;
    const int p = last->own[0][static_cast<int>(Kind::Segment)] - last->digit(1) / 2;
    return p == 0 ? 0 : 1;
}

std::string headerLine(const UndoBackup& b, std::size_t draws) {
    std::string change = b.change;
    // A file name may hold anything; the line must stay one line of fields.
    for (char& c : change)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return std::string(kMark) + "\tsegment=" + std::to_string(b.segmentParam) +
           "\tdraws=" + std::to_string(draws) + "\twhen=" + b.when + "\tchange=" + change;
}

struct Header {
    UndoBackup backup;
    long long draws = -1;
};

std::optional<Header> parseHeader(std::string_view line) {
    if (!line.starts_with(kMark))
        return std::nullopt;
    line.remove_prefix(kMark.size());
    Header h;
    bool segment = false, change = false;
    while (line.starts_with('\t')) {
        line.remove_prefix(1);
        const auto end = line.find('\t');
        const std::string_view field = line.substr(0, end);
        line.remove_prefix(end == std::string_view::npos ? line.size() : end);
        const auto eq = field.find('=');
        if (eq == std::string_view::npos)
            return std::nullopt;
        const std::string_view key = field.substr(0, eq), value = field.substr(eq + 1);
        if (key == "segment" && (value == "0" || value == "1")) {
            h.backup.segmentParam = value == "1";
            segment = true;
        } else if (key == "draws") {
            h.draws = parseWholeNumber(value, 0, INT32_MAX).value_or(-1);
        } else if (key == "when") {
            h.backup.when = value;
        } else if (key == "change") {
            h.backup.change = value;
            change = true;
        }
    }
    if (!line.empty() || !segment || !change || h.draws < 0)
        return std::nullopt;
    return h;
}

} // namespace

std::filesystem::path undoFileFor(const std::filesystem::path& databaseFile) {
    if (const auto game = gameOfDatabaseFile(databaseFile))
        return databaseFile.parent_path() / undoFileName(*game);
    // A database under a name of its own keeps its backup under that name.
    auto name = databaseFile.stem();
    name += "Undo.txt";
    return databaseFile.parent_path() / name;
}

std::string groupedCount(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return count < 0 ? "-" + digits : digits;
}

std::string describeUndo(const UndoBackup& backup) {
    std::string text = backup.change;
    if (!backup.when.empty())
        text += "（" + backup.when + "）";
    return text + "之前的 " + groupedCount(static_cast<long long>(backup.draws.size())) + " 期";
}

HistoryDraws HistoryDraws::of(const HistorySnapshot& history) {
    return {drawLinesOf(history), segmentParamOf(history.last())};
}

Result<HistoryDraws> HistoryDraws::of(const HistoryStore& store) {
    auto draws = store.loadDraws();
    if (!draws)
        return std::unexpected(draws.error());
    auto last = store.lastRow();
    if (!last)
        return std::unexpected(last.error());
    return HistoryDraws{std::move(*draws), segmentParamOf(*last ? &**last : nullptr)};
}

Result<PendingUndo> PendingUndo::prepare(const HistoryStore& store, const HistorySnapshot& history,
                                         std::string_view change) {
    return prepare(store, HistoryDraws::of(history), change);
}

Result<PendingUndo> PendingUndo::prepare(const HistoryStore& store, const HistoryDraws& history,
                                         std::string_view change) {
    UndoBackup b;
    b.change = change;
    b.when = localTimeNow();
    b.segmentParam = history.segmentParam;
    const auto& draws = history.draws;
    auto file = PendingFile::create(undoFileFor(store.file()));
    const auto failed = [](const Error& e) {
        return fail(e.code, "无法保存撤销备份，历史号码未改动：" + e.message);
    };
    if (!file)
        return failed(file.error());
    if (auto written = file->write(headerLine(b, draws.size()) + "\r\n" + historyText(draws)); !written)
        return failed(written.error());
    if (auto flushed = file->flush(); !flushed)
        return failed(flushed.error());
    return PendingUndo(std::move(*file));
}

Result<void> PendingUndo::keep() {
    return m_file.commit();
}

Result<std::optional<UndoBackup>> readUndoBackup(const std::filesystem::path& databaseFile) {
    const auto file = undoFileFor(databaseFile);
    std::error_code ec;
    if (!std::filesystem::exists(file, ec))
        return std::nullopt;
    auto read = readHistoryFile(file);
    if (!read)
        return std::unexpected(read.error());
    auto header = parseHeader(read->firstLine);
    if (!header || header->draws != static_cast<long long>(read->draws.size()) || read->skipped != 1 ||
        read->duplicates != 0)
        return fail(ErrorCode::Invalid, "撤销备份 " + shownPath(file) + " 不完整或已损坏，无法撤销。");
    header->backup.draws = std::move(read->draws);
    return std::move(header->backup);
}

Result<StoredCounts> undoLastChange(HistoryStore& store, const HistorySnapshot& current,
                                    const UndoBackup& backup) {
    return undoLastChange(store, HistoryDraws::of(current), backup);
}

Result<StoredCounts> undoLastChange(HistoryStore& store, const HistoryDraws& current, const UndoBackup& backup) {
    return changeWithUndo(store, current, "撤销上次更改", [&]() -> Result<StoredCounts> {
        if (auto stored = storeRebuilt(store, backup.draws, backup.segmentParam); !stored)
            return std::unexpected(stored.error());
        return StoredCounts{static_cast<long long>(backup.draws.size()), 0, 0};
    });
}

} // namespace brenvik
