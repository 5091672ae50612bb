// SPDX-License-Identifier: GPL-3.0-or-later
#include "UndoBackup.h"

#include "HistoryExport.h"
#include "IssueNumber.h"
#include "Platform.h"
#include "SystemError.h"

#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <random>
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

std::string headerLine(const UndoBackup& b, std::size_t draws, const std::string& mark) {
    std::string change = b.change;
    // A file name may hold anything; the line must stay one line of fields.
    for (char& c : change)
        if (static_cast<unsigned char>(c) < 0x20)
            c = ' ';
    return std::string(kMark) + "\tsegment=" + std::to_string(b.segmentParam) +
           "\tdraws=" + std::to_string(draws) + "\twhen=" + b.when + "\tmark=" + mark + "\tchange=" + change;
}

struct Header {
    UndoBackup backup;
    long long draws = -1;
    std::string mark; // empty in a backup of an earlier version, as in its database
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
        } else if (key == "mark") {
            h.mark = value;
        } else if (key == "change") {
            h.backup.change = value;
            change = true;
        }
    }
    if (!line.empty() || !segment || !change || h.draws < 0)
        return std::nullopt;
    return h;
}

// The first line of a backup file; nothing when it has none that a backup starts with.
std::optional<Header> headerOf(const std::filesystem::path& file) {
    // A pipe in the backup's place would hold the window until something wrote into it.
    if (fileStatus(file).kind != FileKind::Regular)
        return std::nullopt;
    // A first line is short; more than this is no backup's.
    std::ifstream in(file, std::ios::binary);
    std::string head(4096, '\0');
    in.read(head.data(), static_cast<std::streamsize>(head.size()));
    head.resize(static_cast<std::size_t>(in.gcount()));
    const auto end = head.find_first_of("\r\n");
    if (end == std::string::npos)
        return std::nullopt;
    return parseHeader(std::string_view(head).substr(0, end));
}

// A mark no other change has stored: the backup written for a change names it, and the change
// stores it in the database in its own transaction.
std::string freshMark() {
    std::random_device random;
    char text[17];
    std::snprintf(text, sizeof text, "%08x%08x", random(), random());
    return text;
}

// Which of the two backup files belongs to the history whose last change stored `mark`.
std::optional<std::filesystem::path> backupInStep(const std::filesystem::path& databaseFile,
                                                  const std::string& mark) {
    for (const auto& file : {undoFileFor(databaseFile), previousUndoFileFor(databaseFile)})
        if (const auto header = headerOf(file); header && header->mark == mark)
            return file;
    return std::nullopt;
}

} // namespace

std::filesystem::path previousUndoFileFor(const std::filesystem::path& databaseFile) {
    auto file = undoFileFor(databaseFile);
    file.replace_extension();
    file += "Prev.txt";
    return file;
}

std::filesystem::path undoFileFor(const std::filesystem::path& databaseFile) {
    if (const auto game = gameOfDatabaseFile(databaseFile))
        return databaseFile.parent_path() / undoFileName(*game);
    // A database under a name of its own keeps its backup under that name.
    auto name = databaseFile.stem();
    name += "Undo.txt";
    return databaseFile.parent_path() / name;
}

std::string describeUndo(const UndoBackup& backup) {
    std::string text = backup.change;
    if (!backup.when.empty())
        text += "（" + backup.when + "）";
    return text + "之前的 " + groupedCount(static_cast<long long>(backup.draws.size())) + " 期";
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

UndoKeeper::UndoKeeper(HistoryStore& store, std::string_view change)
    : m_store(store), m_change(change), m_file(undoFileFor(store.file())),
      m_previous(previousUndoFileFor(store.file())) {
    store.keepBeforeNextChange(this);
}

UndoKeeper::~UndoKeeper() {
    // A change that never reached its transaction must not take this keeper into a later one.
    m_store.keepBeforeNextChange(nullptr);
}

Result<std::string> UndoKeeper::keep(const HistoryStore& store) {
    const auto failed = [](const Error& e) {
        return fail(e.code, "无法保存撤销备份，历史号码未改动：" + e.message);
    };
    const auto renameFailed = [&](const std::filesystem::path& from, int error) {
        return failed(
            Error{ErrorCode::Io, "无法改名文件 " + shownPath(from) + "：" + systemErrorText(error) + "。"});
    };
    auto mark = store.changeMark();
    if (!mark)
        return failed(mark.error());
    // Read inside the change's transaction: exactly the history the change starts from.
    auto history = HistoryDraws::of(store);
    if (!history)
        return failed(history.error());
    const std::optional<std::filesystem::path> inStep = backupInStep(store.file(), *mark);

    UndoBackup b;
    b.change = m_change;
    b.when = localTimeNow();
    b.segmentParam = history->segmentParam;
    const std::string newMark = freshMark();
    auto file = PendingFile::create(m_file);
    if (!file)
        return failed(file.error());
    if (auto written =
            file->write(headerLine(b, history->draws.size(), newMark) + "\r\n" + historyText(history->draws));
        !written)
        return failed(written.error());
    if (auto flushed = file->flush(); !flushed)
        return failed(flushed.error());

    // The backup in step so far waits beside the new one until the change has committed.
    std::error_code ec;
    if (inStep == m_file) {
        if (const int error = replaceFile(m_file, m_previous); error != 0)
            return renameFailed(m_file, error);
        m_earlierAside = true;
    } else if (inStep == m_previous) {
        m_earlierAside = true;
    } else {
        std::filesystem::remove(m_previous, ec);
    }
    if (auto placed = file->commit(); !placed)
        return failed(placed.error());
    m_newInPlace = true;
    return newMark;
}

void UndoKeeper::finished(bool committed) {
    std::error_code ec;
    if (committed) {
        std::filesystem::remove(m_previous, ec);
    } else if (m_earlierAside) {
        // Nothing changed, so the backup of the change before is the one to undo with again.
        replaceFile(m_previous, m_file);
    } else if (m_newInPlace) {
        std::filesystem::remove(m_file, ec);
    }
    m_earlierAside = m_newInPlace = false;
}

bool hasUndoBackup(const HistoryStore& store) {
    const auto mark = store.changeMark();
    return mark && backupInStep(store.file(), *mark).has_value();
}

Result<std::optional<UndoBackup>> readUndoBackup(const HistoryStore& store) {
    auto mark = store.changeMark();
    if (!mark)
        return std::unexpected(mark.error());
    const auto file = backupInStep(store.file(), *mark);
    if (!file)
        return std::nullopt;
    auto read = readHistoryFile(*file);
    if (!read)
        return std::unexpected(read.error());
    auto header = parseHeader(read->firstLine);
    if (!header || header->mark != *mark || header->draws != static_cast<long long>(read->draws.size()) ||
        read->skipped != 1 || read->duplicates != 0)
        return fail(ErrorCode::Invalid, "撤销备份 " + shownPath(*file) + " 不完整或已损坏，无法撤销。");
    header->backup.draws = std::move(read->draws);
    return std::move(header->backup);
}

Result<StoredCounts> undoLastChange(HistoryStore& store, const UndoBackup& backup, const Progress& progress) {
    return changeWithUndo(store, "撤销上次更改", [&]() -> Result<StoredCounts> {
        if (auto stored = storeRebuilt(store, backup.draws, backup.segmentParam, progress); !stored)
            return std::unexpected(stored.error());
        return StoredCounts{static_cast<long long>(backup.draws.size()), 0, 0};
    });
}

} // namespace brenvik
