// SPDX-License-Identifier: GPL-3.0-or-later
// Kills a process in the middle of an import, a rebuild and a compaction, and checks that the
// database it leaves is sound and holds exactly the old history or exactly the new one, and that
// an undo backup beside it is complete and is the old backup or the new one.
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "TestFolder.h"
#include "UndoBackup.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>

#include <chrono>
#include <random>
#include <thread>

#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace brenvik;
using test::TestFolder;
using Clock = std::chrono::steady_clock;

extern char** environ;

namespace {

// What a history looks like from outside: its size, two sums over every draw, and a few rows
// with the summary of the draw before them.
struct Fingerprint {
    long long count = 0;
    long long issueSum = 0;
    long long weightedSum = 0;
    std::vector<std::string> samples;
    bool operator==(const Fingerprint&) const = default;
};

std::vector<long long> sampleOffsets(long long count) {
    return {0, 1, count / 3, count / 2, count - 1};
}

std::string sampleRow(std::int32_t issue, const std::array<int, 3>& d, const std::string& before) {
    return std::to_string(issue) + " " + std::to_string(d[0] * 100 + d[1] * 10 + d[2]) + " [" + before + "]";
}

Fingerprint fingerprintOf(const std::vector<DrawLine>& draws) {
    Fingerprint f;
    f.count = static_cast<long long>(draws.size());
    for (const DrawLine& d : draws) {
        f.issueSum += d.issue;
        f.weightedSum += (d.issue % 9973) * (d.digits[0] * 100 + d.digits[1] * 10 + d.digits[2] + 1);
    }
    for (long long i : sampleOffsets(f.count)) {
        const auto& d = draws[static_cast<std::size_t>(i)];
        const std::string before =
            i == 0 ? "" : formatDrawLine(0, draws[static_cast<std::size_t>(i - 1)].digits).substr(8);
        f.samples.push_back(sampleRow(d.issue, d.digits, before));
    }
    return f;
}

Fingerprint fingerprintOf(SQLite::Database& db) {
    Fingerprint f;
    SQLite::Statement sums(db,
                           "SELECT count(*), coalesce(sum(SQQH), 0),"
                           " coalesce(sum((SQQH % 9973) * (L1A * 100 + L2A * 10 + L3A + 1)), 0) FROM Lishi");
    sums.executeStep();
    f.count = sums.getColumn(0).getInt64();
    f.issueSum = sums.getColumn(1).getInt64();
    f.weightedSum = sums.getColumn(2).getInt64();
    if (f.count == 0)
        return f;
    SQLite::Statement row(db,
                          "SELECT SQQH, L1A, L2A, L3A, txtHisLst FROM Lishi ORDER BY SQQH LIMIT 1 OFFSET ?");
    for (long long i : sampleOffsets(f.count)) {
        row.bind(1, static_cast<std::int64_t>(i));
        row.executeStep();
        f.samples.push_back(
            sampleRow(row.getColumn(0).getInt(),
                      {row.getColumn(1).getInt(), row.getColumn(2).getInt(), row.getColumn(3).getInt()},
                      row.getColumn(4).getString()));
        row.reset();
    }
    return f;
}

struct Outcome {
    bool killed = false;
    std::string integrity;
    Fingerprint found;
};

Outcome examine(const std::filesystem::path& database, bool killed) {
    // Opening it the way the program does also replays or drops what the log holds.
    EXPECT_TRUE(HistoryStore::open(database).has_value());
    SQLite::Database db(database.string(), SQLite::OPEN_READWRITE);
    return {killed, db.execAndGet("PRAGMA integrity_check").getString(), fingerprintOf(db)};
}

struct Run {
    bool killed = false;                 // false when the child had finished before the signal
    std::chrono::microseconds working{}; // from its "go" to its end
};

// Starts the helper, waits for its "go", lets it work for `delay` and kills it.
Run runAndKill(const std::vector<std::string>& args, std::chrono::microseconds delay) {
    int out[2];
    if (pipe(out) != 0)
        throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(BRENVIK_CRASH_CHILD));
    for (const auto& a : args)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, BRENVIK_CRASH_CHILD, &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        throw std::runtime_error("cannot start the crash helper");
    }
    char go[3] = {};
    const bool started = read(out[0], go, sizeof go) == 3;
    const auto wentOff = Clock::now();
    close(out[0]);
    if (started && delay.count() >= 0)
        std::this_thread::sleep_for(delay);
    if (delay.count() >= 0)
        kill(pid, SIGKILL);
    int status = 0;
    waitpid(pid, &status, 0);
    const auto working = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - wentOff);
    EXPECT_TRUE(started) << "the helper did not start";
    if (delay.count() < 0) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the uninterrupted run failed";
    }
    return {WIFSIGNALED(status) != 0, working};
}

constexpr std::chrono::microseconds kNoKill{-1};

// The undo backup a change starts with, and the histories it may hold afterwards.
struct UndoExpectation {
    std::filesystem::path pristine;
    Fingerprint before;
    Fingerprint after;
};

// One kind of change, run once to its end and then killed at several moments of fixed seeds.
class CrashRun {
public:
    CrashRun(std::filesystem::path pristine, std::vector<std::string> args, Fingerprint before,
             Fingerprint after, std::optional<UndoExpectation> undo = std::nullopt)
        : m_pristine(std::move(pristine)), m_args(std::move(args)), m_before(std::move(before)),
          m_after(std::move(after)), m_undo(std::move(undo)) {}

    void run(int kills, std::uint32_t seed) {
        const auto full = runOnce(kNoKill, "uninterrupted").working;
        std::mt19937 gen(seed);
        // A little past the whole run too, to catch the end of the commit.
        std::uniform_int_distribution<long long> moment(0, full.count() * 21 / 20);
        int interrupted = 0;
        for (int i = 0; i < kills; ++i)
            interrupted +=
                runOnce(std::chrono::microseconds(moment(gen)), "kill " + std::to_string(i)).killed;
        EXPECT_GT(interrupted, 0) << "no kill landed while the change ran";
    }

private:
    Run runOnce(std::chrono::microseconds delay, const std::string& label) {
        SCOPED_TRACE(label + " after " + std::to_string(delay.count()) + " us");
        TestFolder dir;
        const auto database = dir / kDatabaseFile;
        std::filesystem::copy_file(m_pristine, database);
        if (m_undo)
            std::filesystem::copy_file(m_undo->pristine, undoFileFor(database));
        auto args = m_args;
        for (auto& a : args)
            if (a == "DATABASE")
                a = database.string();
        const Run r = runAndKill(args, delay);
        const bool killed = r.killed;
        const Outcome o = examine(database, killed);
        std::printf("%s: %s, %s history\n", label.c_str(), killed ? "killed" : "finished",
                    o.found == m_after    ? "new"
                    : o.found == m_before ? "old"
                                          : "broken");
        EXPECT_EQ(o.integrity, "ok");
        EXPECT_TRUE(o.found == m_before || o.found == m_after)
            << "found " << o.found.count << " draws, expected " << m_before.count << " or " << m_after.count;
        if (!killed || delay.count() < 0) {
            EXPECT_TRUE(o.found == m_after) << "a finished change must be there";
        }
        if (m_undo) {
            auto backup = readUndoBackup(database);
            const Fingerprint kept = backup && *backup ? fingerprintOf((*backup)->draws) : Fingerprint{-1};
            EXPECT_TRUE(kept == m_undo->before || kept == m_undo->after)
                << kept.count << " draws in the backup";
            EXPECT_TRUE(killed || kept == m_undo->after) << "a finished change has its backup";
        }
        return r;
    }

    std::filesystem::path m_pristine;
    std::vector<std::string> m_args;
    Fingerprint m_before;
    Fingerprint m_after;
    std::optional<UndoExpectation> m_undo;
};

// An undo backup of `draws` for the database in `folder`, as the program writes one.
std::filesystem::path writeUndoBackup(const std::filesystem::path& folder,
                                      const std::vector<DrawLine>& draws) {
    std::filesystem::create_directories(folder);
    test::writeDatabase(folder, draws);
    auto store = HistoryStore::open(folder / kDatabaseFile);
    auto pending = PendingUndo::prepare(**store, **(*store)->loadSnapshot(), "earlier change");
    if (!pending || !pending->keep())
        throw std::runtime_error("cannot write the undo backup");
    return undoFileFor(folder / kDatabaseFile);
}

class Crash : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TestFolder;
        s_old = test::syntheticDraws(2000, 31);
        std::filesystem::create_directory(s_dir->path() / "old");
        test::writeDatabase(s_dir->path() / "old", s_old);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static std::filesystem::path oldDatabase() { return s_dir->path() / "old" / kDatabaseFile; }

    static TestFolder* s_dir;
    static std::vector<DrawLine> s_old;
};

TestFolder* Crash::s_dir = nullptr;
std::vector<DrawLine> Crash::s_old;

} // namespace

TEST_F(Crash, KilledImportOfAMillionLinesLeavesTheOldOrTheNewHistory) {
    const auto draws = test::syntheticDraws(1'000'000, 32);
    const auto file = s_dir->path() / "million.txt";
    ASSERT_TRUE(writeHistoryFile(file, draws));
    CrashRun run(oldDatabase(), {"import", "DATABASE", file.string(), "1"}, fingerprintOf(s_old),
                 fingerprintOf(draws));
    run.run(5, 101);
}

TEST_F(Crash, KilledRebuildLeavesTheOldOrTheNewHistory) {
    const auto draws = test::syntheticDraws(300'000, 33);
    const auto backup = s_dir->path() / kBackupFile;
    ASSERT_TRUE(writeHistoryFile(backup, draws));
    CrashRun run(oldDatabase(), {"rebuild", "DATABASE", backup.string(), "0"}, fingerprintOf(s_old),
                 fingerprintOf(draws));
    run.run(4, 202);
}

TEST_F(Crash, KilledCompactionLeavesTheHistoryWhole) {
    // A database with room to give back, so the compaction has real work to do.
    const auto kept = test::syntheticDraws(150'000, 34);
    const auto folder = s_dir->path() / "compact";
    std::filesystem::create_directory(folder);
    test::writeDatabase(folder, test::syntheticDraws(300'000, 35));
    test::writeDatabase(folder, kept);
    const auto f = fingerprintOf(kept);
    CrashRun run(folder / kDatabaseFile, {"compact", "DATABASE"}, f, f);
    run.run(5, 303);
}

TEST_F(Crash, KilledImportLeavesItsUndoBackupAndTheHistoryEachOldOrNew) {
    // A large history makes its backup take a while to write, so kills land there too.
    const auto stored = test::syntheticDraws(100'000, 36);
    const auto folder = s_dir->path() / "undo-import";
    std::filesystem::create_directory(folder);
    test::writeDatabase(folder, stored);
    const auto earlier = test::syntheticDraws(50, 37);
    const auto draws = test::syntheticDraws(80'000, 38);
    const auto file = s_dir->path() / "import-undo.txt";
    ASSERT_TRUE(writeHistoryFile(file, draws));
    CrashRun run(folder / kDatabaseFile, {"import-undo", "DATABASE", file.string(), "1"},
                 fingerprintOf(stored), fingerprintOf(draws),
                 UndoExpectation{writeUndoBackup(s_dir->path() / "earlier", earlier), fingerprintOf(earlier),
                                 fingerprintOf(stored)});
    run.run(5, 404);
}
