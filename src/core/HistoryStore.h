#pragma once

#include "DrawRow.h"
#include "Error.h"
#include "HistorySnapshot.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace SQLite {
class Database;
}

namespace brenvik {

// File names the program keeps in its data folder.
inline constexpr const char* kDatabaseFile = "kestrel3D.mdb";
inline constexpr const char* kCompactTempFile = "kestrel3DTmp.mdb";

// The history database: table Lishi (one row per draw) and the tally table Carcu.
// Every change is one transaction; a failure leaves the file as it was.
class HistoryStore {
public:
    static constexpr int kApplicationId = 0x4252334B; // marks the file as ours
    static constexpr int kSchemaVersion = 1;

    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the database file, creating it with both tables when it does not exist. A file that
    // exists but cannot be read, is damaged or is not ours is reported and left untouched.
    static Result<std::unique_ptr<HistoryStore>> open(const std::filesystem::path& file);

    const std::filesystem::path& file() const { return m_file; }

    // Every draw, in issue order.
    Result<SnapshotPtr> loadSnapshot() const;

    // Fills in the next row to store and returns true, or returns false after the last one.
    // Lets a writer derive rows while they are stored, so a large import never holds a million
    // rows in memory at once.
    using RowSource = std::function<bool(DrawRow& next)>;

    Result<void> append(std::span<const DrawRow> rows);
    // Deletes every draw and stores `rows` in their place, as one transaction.
    Result<void> replaceAll(std::span<const DrawRow> rows);
    Result<void> replaceAll(const RowSource& next);
    // Deletes the draw with the highest issue number and returns its issue; nothing when there
    // was none.
    Result<std::optional<std::int32_t>> deleteLast();
    // Deletes every draw; returns how many were deleted.
    Result<long long> deleteAll();

    // Replaces the tally table by (outcome, count) rows. Scratch data: not synced to disk.
    Result<void> writeTally(std::span<const std::pair<int, int>> rows);
    Result<std::vector<std::pair<int, int>>> readTally() const;

private:
    HistoryStore(std::filesystem::path file, std::unique_ptr<SQLite::Database> db);
    void insertRows(const RowSource& next);

    std::filesystem::path m_file;
    std::unique_ptr<SQLite::Database> m_db;
};

} // namespace brenvik
