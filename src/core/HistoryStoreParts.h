// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the four parts of the history store share: the table's columns, the files beside the
// database, statements run through the engine's own calls, and the checks the opening, the reading
// and the writing all ask for. Only HistoryStore*.cpp include it.

#include "DrawRow.h"
#include "Error.h"
#include "HistoryStore.h"

#include <SQLiteCpp/Database.h>
#include <sqlite3.h>

#include <exception>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::storage {

// Columns read and written for a draw, in this order: SQQH, QQH, strQQH, the 36 code columns
// (own, S, P; position by position, kinds A B E F), the five txtHisLst columns, the five
// txtHisPreLst columns.
constexpr int kCodeColumnsStart = 3;
constexpr int kLastStart = kCodeColumnsStart + 36;
constexpr int kPreStart = kLastStart + kSummaryCount;
constexpr int kDrawColumnCount = kPreStart + kSummaryCount;

const std::vector<std::string>& drawColumns();
// The draw columns, bracketed and joined by commas, for a SELECT or an INSERT.
std::string joinedColumns();

// The columns the snapshot reads, in the order it reads them.
inline constexpr const char* kDrawsIndex = "LishiDraws";
inline constexpr const char* kDrawsIndexColumns =
    "SQQH, QQH, strQQH, L1A, L2A, L3A, L1F, txtHisLst, txtHisPreLst";

std::filesystem::path folderOf(const std::filesystem::path& file);
// The log (`-wal`) and the log's index (`-shm`) the engine keeps beside the database.
std::filesystem::path logOf(const std::filesystem::path& file);
std::filesystem::path indexOf(const std::filesystem::path& file);
// A log with anything in it holds committed changes that the file alone does not show.
bool hasLog(const std::filesystem::path& file);
// The file as a URI the engine opens with `query` ("mode=ro", "immutable=1").
std::string uriOf(const std::filesystem::path& file, const char* query);

// Why the engine must not be given `file`: a pipe, a folder or a device at its place or at its
// log's or index's, or a path longer than the engine takes. Nothing when it may be opened.
std::optional<Error> refusedPath(const std::filesystem::path& file);

// Whether `file` is named as a game's history database (kestrel3D.mdb, kestrelPL3.mdb): whatever
// lies there and is no history of another program is what is left of a history.
bool atHistoryPlace(const std::filesystem::path& file);

// Whether `file` was changed within the last second (or its time cannot be read): a change after
// this moment need not show in its time, which the system keeps to a tick of its clock.
bool changedJustNow(const std::filesystem::path& file);

// What a reader says of a file that another program changed while it was read as it lies.
Error changedWhileRead(const std::filesystem::path& file);

using StatementPtr = std::unique_ptr<sqlite3_stmt, int (*)(sqlite3_stmt*)>;
StatementPtr prepare(sqlite3* db, const std::string& sql);

// What refused a change before the engine was asked (the change's keeper, or a file found
// damaged): it reaches the caller as it was said.
struct StoreRefusal : std::exception {
    explicit StoreRefusal(Error e) : error(std::move(e)) {}
    const char* what() const noexcept override { return error.message.c_str(); }
    Error error;
};

// What a row whose digits are not three digits says of the file.
std::string digitFault(long long issue);
// The first fault of the whole file, in the engine's words or ours; empty when it has none.
std::string faultIn(SQLite::Database& db);
// The error of a file whose whole check found `verdict`.
Error failedCheck(const std::filesystem::path& file, const std::string& verdict);

// Scores, for good, every logbook entry whose draw is stored now and that has no score yet.
void scoreDrawnPredictions(SQLite::Database& db);

// A row of the draw columns as selected by "SELECT <joinedColumns()>".
DrawRow readRow(sqlite3_stmt* st);

} // namespace brenvik::storage
