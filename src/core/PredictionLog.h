// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawCodes.h"
#include "Error.h"
#include "Game.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace SQLite {
class Database;
}

namespace brenvik {

class HistoryStore;

// The draw an entry was scored against: the digits its issue had when they were first stored,
// and when that was. Kept for good, whatever becomes of that draw afterwards.
struct EntryScore {
    std::array<int, 3> digits{};
    std::string scored; // UTC, as LogEntry::recorded
    bool operator==(const EntryScore&) const = default;
};

// One entry of the logbook of predictions: the top picks of a follow search, recorded for an
// issue before its draw was stored. An entry is never changed once stored.
struct LogEntry {
    long long id = 0;
    std::string recorded; // UTC, ISO 8601: "2026-12-08T05:21:01Z"
    Game game = Game::Fc3d;
    std::int32_t issue = 0; // the draw the picks are for
    std::string conditions; // the search's condition line, as the result grids show it
    Kind resultKind = Kind::Number;
    int resultPosition = 1;
    int segmentParam = 1;   // which segments the picks of a segment tally name
    std::vector<int> picks; // K outcomes, in the result grid's order
    // Read with the entry: its score, once its draw was stored (record() ignores it).
    std::optional<EntryScore> score;

    bool operator==(const LogEntry&) const = default;
};

// How a play's numbers are bought: 直选, each number one ticket in its order, or 组选, each group of
// digits (a 组三 or 组六, in any order) one ticket. A 豹子 cannot be bought as 组选.
enum class Ticket { Direct = 0, Group = 1 };

// "直选", "组选"; the companion's names "direct", "group" (also the JSON's).
std::string_view ticketCaption(Ticket ticket);
std::string_view ticketId(Ticket ticket);
std::optional<Ticket> ticketOfId(std::string_view id);

// The ticket that stands for a number: the number itself (直选), or its digits in ascending order
// read as a number (组选: 321 and 213 are both 123). A 豹子 has no 组选 ticket.
std::optional<int> ticketOf(Ticket ticket, int number);

// One play (投注): the numbers bought for an issue before its draw was stored, as 缩水 kept them.
// Stored once and never changed, scored as a prediction is.
struct Play {
    long long id = 0;
    std::string recorded; // UTC, as LogEntry::recorded
    Game game = Game::Fc3d;
    std::int32_t issue = 0;
    std::string conditions; // the 缩水 conditions, in the window's words
    Ticket ticket = Ticket::Direct;
    std::vector<int> numbers; // the tickets, ascending, each as ticketOf gives it
    // Read with the play: the draw it was scored against (recordPlay ignores it).
    std::optional<EntryScore> score;

    bool operator==(const Play&) const = default;
};

// Everything the logbook keeps: what a restore carries from one file to another.
struct LogbookRecords {
    std::vector<LogEntry> entries;
    std::vector<Play> plays;

    bool empty() const { return entries.empty() && plays.empty(); }
    std::size_t size() const { return entries.size() + plays.size(); }
};

// The logbook's spreadsheets (predictions, plays), named per game as the grids' are (sheetFileName).
inline constexpr const char* kLogbookSheetFile = "Yuce.xlsx";
inline constexpr const char* kPlaysSheetFile = "Touzhu.xlsx";

// What a refused entry says: its draw is already known.
inline constexpr const char* kAlreadyDrawn = "该期已开奖，不能再记录预测";

// The logbook lives in the tables Yuce (predictions) and Touzhu (plays) of the game's history
// database, so it goes wherever the history goes (compaction, copies of the file) and each game
// keeps its own.
class PredictionLog {
public:
    // The tables and the guards that refuse any change of a stored entry, play or score, and the
    // withdrawal of a scored one; part of every history database's schema.
    static std::string schemaSql();
    // Scores, for good, every entry and play whose draw is stored in `db` and that has no score
    // yet, stamped `when`. Every change of the draws runs it inside its transaction.
    static void scoreDrawn(SQLite::Database& db, const std::string& when);

    // Stores `entry` in one transaction and returns it with its id (and the time, when it has
    // none). Refused, storing nothing, when a draw at or after its issue is stored: such a draw
    // is known, and a record made after it proves nothing.
    static Result<LogEntry> record(HistoryStore& store, LogEntry entry);
    // Stores `play` as record() stores an entry, with the same refusals; also refused when it
    // holds no ticket, or a ticket its kind cannot have.
    static Result<Play> recordPlay(HistoryStore& store, Play play);
    // Every entry, oldest first.
    static Result<std::vector<LogEntry>> entries(const HistoryStore& store);
    // Every play, oldest first.
    static Result<std::vector<Play>> plays(const HistoryStore& store);
    // The entries and plays, with their ids and scores, of the history file `file` read as it
    // lies, without opening it as a history: what a restore carries over from a damaged file. An
    // error when the file no longer yields them.
    static Result<LogbookRecords> entriesIn(const std::filesystem::path& file);
    // Stores what entriesIn read, ids and scores as they were, in one transaction, into a history
    // that has none yet.
    static Result<void> carry(HistoryStore& store, const LogbookRecords& records);
    // Removes an entry, or a play, that has not been scored. A scored one stays, also once its
    // draw was deleted again.
    static Result<void> withdraw(HistoryStore& store, long long id);
    static Result<void> withdrawPlay(HistoryStore& store, long long id);
};

// The time in UTC as an entry records it.
std::string utcTimestamp(std::int64_t secondsSinceEpoch);

} // namespace brenvik
