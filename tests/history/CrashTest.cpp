// SPDX-License-Identifier: GPL-3.0-or-later
// Kills a process in the middle of an import, a rebuild and a compaction, and checks that the
// database it leaves is sound and holds exactly the old history or exactly the new one. And kills
// every change the window makes at each of its renames and commits, and checks that the undo
// backup is in step: once the change has committed it holds the history from just before it,
// and until then the backup from before the change.
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "PredictionLog.h"
#include "SafeWrite.h"
#include "SampleHistory.h"
#include "TestFolder.h"
#include "UndoBackup.h"

#include <SQLiteCpp/Database.h>
#include <SQLiteCpp/Statement.h>
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <random>
#include <stdexcept>
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

// What a history looks like from outside: its size, sums over every draw (its segment codes
// among them), and a few rows with the summary of the draw before them.
struct Fingerprint {
    long long count = 0;
    long long issueSum = 0;
    long long weightedSum = 0;
    long long segmentSum = 0;
    std::vector<std::string> samples;
    bool operator==(const Fingerprint&) const = default;
};

std::vector<long long> sampleOffsets(long long count) {
    return {0, 1, count / 3, count / 2, count - 1};
}

std::string sampleRow(std::int32_t issue, const std::array<int, 3>& d, const std::string& before) {
    return std::to_string(issue) + " " + std::to_string(d[0] * 100 + d[1] * 10 + d[2]) + " [" + before + "]";
}

// The fingerprint of the history that holds `draws` coded with `segmentParam`.
Fingerprint fingerprintOf(const std::vector<DrawLine>& draws, int segmentParam = 1) {
    Fingerprint f;
    f.count = static_cast<long long>(draws.size());
    for (const DrawLine& d : draws) {
        f.issueSum += d.issue;
        f.weightedSum += (d.issue % 9973) * (d.digits[0] * 100 + d.digits[1] * 10 + d.digits[2] + 1);
        for (const int digit : d.digits)
            f.segmentSum += digit / 2 + segmentParam;
    }
    if (f.count == 0)
        return f;
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
    SQLite::Statement sums(db, "SELECT count(*), coalesce(sum(SQQH), 0),"
                               " coalesce(sum((SQQH % 9973) * (L1A * 100 + L2A * 10 + L3A + 1)), 0),"
                               " coalesce(sum(L1F + L2F + L3F), 0) FROM Lishi");
    sums.executeStep();
    f.count = sums.getColumn(0).getInt64();
    f.issueSum = sums.getColumn(1).getInt64();
    f.weightedSum = sums.getColumn(2).getInt64();
    f.segmentSum = sums.getColumn(3).getInt64();
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

// What the undo backup of a history holds; count -1 when there is none.
Fingerprint backupOf(const HistoryStore& store) {
    if (auto backup = readUndoBackup(store); backup && *backup)
        return fingerprintOf((*backup)->draws, (*backup)->segmentParam);
    Fingerprint none;
    none.count = -1;
    return none;
}

struct Outcome {
    bool killed = false;
    std::string integrity;
    Fingerprint found;
    Fingerprint backup;
};

Outcome examine(const std::filesystem::path& database, bool killed) {
    // Opening it the way the program does also replays or drops what the log holds.
    Fingerprint backup;
    {
        auto store = HistoryStore::open(database);
        EXPECT_TRUE(store.has_value());
        backup = store ? backupOf(**store) : Fingerprint{};
    }
    SQLite::Database db(database.string(), SQLite::OPEN_READWRITE);
    return {killed, db.execAndGet("PRAGMA integrity_check").getString(), fingerprintOf(db), backup};
}

struct Run {
    bool killed = false;                 // false when the child had finished before the signal
    std::chrono::microseconds working{}; // from its "go" to its end
};

// Starts the helper, waits for its "go", lets it work for `delay` and kills it. With `killAt`
// ("rename:2"), the helper kills itself there instead, and `delay` is not waited.
Run runAndKill(const std::vector<std::string>& args, std::chrono::microseconds delay,
               const std::string& killAt = {}) {
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
    std::vector<std::string> environment;
    for (char** e = environ; *e; ++e)
        environment.emplace_back(*e);
    if (!killAt.empty())
        environment.push_back("BRENVIK_CRASH_AT=" + killAt);
    std::vector<char*> envp;
    for (auto& e : environment)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, BRENVIK_CRASH_CHILD, &actions, nullptr, argv.data(), envp.data());
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
    if (delay.count() < 0 && killAt.empty()) {
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the uninterrupted run failed";
    }
    return {WIFSIGNALED(status) != 0, working};
}

constexpr std::chrono::microseconds kNoKill{-1};

// The undo backups a change may leave: the one it starts with, and the one of the history it
// starts from.
struct UndoExpectation {
    Fingerprint earlier;
    Fingerprint before;
};

// One kind of change on a copy of a pristine data folder, run once to its end and then killed
// at several moments.
class CrashRun {
public:
    CrashRun(std::filesystem::path pristine, std::vector<std::string> args, Fingerprint before,
             Fingerprint after, std::optional<UndoExpectation> undo = std::nullopt)
        : m_pristine(std::move(pristine)), m_args(std::move(args)), m_before(std::move(before)),
          m_after(std::move(after)), m_undo(std::move(undo)) {}

    // Kills at moments of a fixed seed, up to a little past the whole run to catch its commit.
    void run(int kills, std::uint32_t seed) {
        const auto full = runOnce(kNoKill, {}, "uninterrupted").working;
        std::mt19937 gen(seed);
        std::uniform_int_distribution<long long> moment(0, full.count() * 21 / 20);
        int interrupted = 0;
        for (int i = 0; i < kills; ++i)
            interrupted +=
                runOnce(std::chrono::microseconds(moment(gen)), {}, "kill " + std::to_string(i)).killed;
        EXPECT_GT(interrupted, 0) << "no kill landed while the change ran";
    }

    // Kills at every rename, and just before and just after every commit, the change makes; at
    // least `moments` of them.
    void runToEachRenameAndCommit(int moments) {
        runOnce(kNoKill, {}, "uninterrupted");
        int killed = 0;
        for (const char* moment : {"rename", "commit", "committed"})
            for (int n = 1; runOnce(kNoKill, moment + (":" + std::to_string(n)), "").killed; ++n)
                ++killed;
        EXPECT_GE(killed, moments);
    }

private:
    Run runOnce(std::chrono::microseconds delay, const std::string& killAt, std::string label) {
        if (label.empty())
            label = "at " + killAt;
        SCOPED_TRACE(label + " after " + std::to_string(delay.count()) + " us");
        TestFolder dir;
        std::filesystem::copy(m_pristine, dir.path(), std::filesystem::copy_options::recursive);
        const auto database = dir / kDatabaseFile;
        auto args = m_args;
        for (auto& a : args)
            if (a == "DATABASE")
                a = database.string();
        const Run r = runAndKill(args, delay, killAt);
        const bool killed = r.killed;
        const Outcome o = examine(database, killed);
        std::printf("%s: %s, %s history\n", label.c_str(), killed ? "killed" : "finished",
                    o.found == m_after    ? "new"
                    : o.found == m_before ? "old"
                                          : "broken");
        EXPECT_EQ(o.integrity, "ok");
        EXPECT_TRUE(o.found == m_before || o.found == m_after)
            << "found " << o.found.count << " draws, expected " << m_before.count << " or " << m_after.count;
        if (!killed) {
            EXPECT_TRUE(o.found == m_after) << "a finished change must be there";
        }
        if (m_undo) {
            // Committed, the change can be undone; not committed, the change before it still can.
            const Fingerprint& expected = o.found == m_after ? m_undo->before : m_undo->earlier;
            EXPECT_TRUE(o.backup == expected)
                << o.backup.count << " draws in the undo backup, expected " << expected.count;
        }
        // A writer killed half-way leaves its temporary file; the next program removes it.
        removeAbandonedTemporaries(dir.path(), std::chrono::hours(1));
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            EXPECT_FALSE(entry.path().filename().string().ends_with(".tmp")) << entry.path();
        return r;
    }

    std::filesystem::path m_pristine;
    std::vector<std::string> m_args;
    Fingerprint m_before;
    Fingerprint m_after;
    std::optional<UndoExpectation> m_undo;
};

// A data folder whose history holds `stored`, with the undo backup of a change that replaced
// `earlier` by it, as the program leaves them.
std::filesystem::path writeFolderWithUndo(const std::filesystem::path& folder,
                                          const std::vector<DrawLine>& earlier,
                                          const std::vector<DrawLine>& stored) {
    std::filesystem::create_directories(folder);
    test::writeDatabase(folder, earlier);
    auto store = HistoryStore::open(folder / kDatabaseFile);
    HistoryFile file;
    file.draws = stored;
    if (!store || !changeWithUndo(**store, "earlier change", [&] { return importHistory(**store, file, 1); }))
        throw std::runtime_error("cannot write the history and its undo backup");
    return folder;
}

// A folder holding only the database of `draws`.
std::filesystem::path writeFolder(const std::filesystem::path& folder, const std::vector<DrawLine>& draws) {
    std::filesystem::create_directories(folder);
    test::writeDatabase(folder, draws);
    return folder;
}

class Crash : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_dir = new TestFolder;
        s_old = test::syntheticDraws(2000, 31);
        writeFolder(s_dir->path() / "old", s_old);
    }
    static void TearDownTestSuite() {
        delete s_dir;
        s_dir = nullptr;
    }

    static std::filesystem::path oldFolder() { return s_dir->path() / "old"; }

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
    CrashRun run(oldFolder(), {"import", "DATABASE", file.string(), "1"}, fingerprintOf(s_old),
                 fingerprintOf(draws));
    run.run(5, 101);
}

TEST_F(Crash, KilledRebuildLeavesTheOldOrTheNewHistory) {
    const auto draws = test::syntheticDraws(300'000, 33);
    const auto backup = s_dir->path() / kBackupFile;
    ASSERT_TRUE(writeHistoryFile(backup, draws));
    CrashRun run(oldFolder(), {"rebuild", "DATABASE", backup.string(), "0"}, fingerprintOf(s_old),
                 fingerprintOf(draws, 0));
    run.run(4, 202);
}

TEST_F(Crash, KilledCompactionLeavesTheHistoryWhole) {
    // A database with room to give back, so the compaction has real work to do.
    const auto kept = test::syntheticDraws(150'000, 34);
    const auto folder = s_dir->path() / "compact";
    writeFolder(folder, test::syntheticDraws(300'000, 35));
    test::writeDatabase(folder, kept);
    const auto f = fingerprintOf(kept);
    CrashRun run(folder, {"compact", "DATABASE"}, f, f);
    run.run(5, 303);
}

TEST_F(Crash, KilledImportLeavesItsUndoBackupAndTheHistoryEachOldOrNew) {
    // A large history makes its backup take a while to write, so kills land there too.
    const auto stored = test::syntheticDraws(100'000, 36);
    const auto earlier = test::syntheticDraws(50, 37);
    const auto draws = test::syntheticDraws(80'000, 38);
    const auto file = s_dir->path() / "import-undo.txt";
    ASSERT_TRUE(writeHistoryFile(file, draws));
    CrashRun run(writeFolderWithUndo(s_dir->path() / "undo-import", earlier, stored),
                 {"import-undo", "DATABASE", file.string()}, fingerprintOf(stored), fingerprintOf(draws),
                 UndoExpectation{fingerprintOf(earlier), fingerprintOf(stored)});
    run.run(5, 404);
}

// Each change the window makes, killed at each of its renames and commits (of the undo backup,
// the deletions' backup file, the history and the compaction).
TEST_F(Crash, KilledAtEachRenameAndCommitEveryChangeKeepsItsUndoBackupInStep) {
    const auto earlier = test::syntheticDraws(50, 37);
    const auto pristine = writeFolderWithUndo(s_dir->path() / "each-moment", earlier, s_old);
    const auto imported = s_dir->path() / "each-import.txt";
    ASSERT_TRUE(writeHistoryFile(imported, test::syntheticDraws(1500, 39)));
    const auto newer = s_dir->path() / "each-update.txt";
    ASSERT_TRUE(writeHistoryFile(newer, test::syntheticDraws(20, 40, nextIssueProposal(s_old.back().issue))));
    const auto cutYear = std::to_string(s_old.back().issue / 1000 + 4);
    struct Change {
        std::vector<std::string> args;
        bool backedUp; // whether it keeps an undo backup of the history it starts from
    };
    const std::vector<Change> changes = {
        {{"import-undo", "DATABASE", imported.string()}, true},
        {{"undo", "DATABASE"}, true},
        {{"delete-last", "DATABASE"}, true},
        {{"delete-to", "DATABASE", std::to_string(s_old[1499].issue)}, true},
        {{"delete-last-n", "DATABASE", "300"}, true},
        {{"clear", "DATABASE"}, true},
        {{"segment-rebuild", "DATABASE", "0"}, true},
        {{"retention", "DATABASE", cutYear}, true},
        {{"update", "DATABASE", newer.string()}, false},
    };
    const Fingerprint before = fingerprintOf(s_old), earlierPrint = fingerprintOf(earlier);
    for (const Change& c : changes) {
        SCOPED_TRACE(c.args[0]);
        // What the change makes of the history, from a run of it to its end.
        TestFolder finished;
        std::filesystem::copy(pristine, finished.path(), std::filesystem::copy_options::recursive);
        auto args = c.args;
        args[1] = (finished / kDatabaseFile).string();
        ASSERT_FALSE(runAndKill(args, kNoKill).killed);
        const Fingerprint after = examine(finished / kDatabaseFile, false).found;
        ASSERT_FALSE(after == before);
        CrashRun run(pristine, c.args, before, after,
                     UndoExpectation{earlierPrint, c.backedUp ? before : earlierPrint});
        // A backup is renamed twice (the one before it goes aside), and every change commits.
        run.runToEachRenameAndCommit(c.backedUp ? 4 : 2);
    }
}

// A restore killed at any moment (at random, and at each of its renames and commits) leaves the
// damaged file as it was, under the history's name or a name of its own, and the history either
// not yet restored or restored whole, logbook included.
TEST_F(Crash, KilledRestoreLeavesTheDamagedFileAsItWasAndTheHistoryNotYetRestoredOrWhole) {
    const auto pristine = writeFolder(s_dir->path() / "damaged", s_old);
    {
        auto store = HistoryStore::open(pristine / kDatabaseFile);
        ASSERT_TRUE(store);
        LogEntry entry;
        entry.issue = nextIssueProposal(s_old.back().issue);
        entry.picks = {1, 2};
        ASSERT_TRUE(PredictionLog::record(**store, entry));
    }
    // A stored digit out of range: the file reads, and the whole check calls it damaged.
    SQLite::Database(pristine / kDatabaseFile, SQLite::OPEN_READWRITE)
        .exec("UPDATE Lishi SET L2A = 20 WHERE SQQH = " + std::to_string(s_old[700].issue));
    const std::string damaged = test::readFile(pristine / kDatabaseFile);
    const auto draws = test::syntheticDraws(3000, 41);
    const auto source = s_dir->path() / "restore-from.txt";
    ASSERT_TRUE(writeHistoryFile(source, draws));
    const Fingerprint restored = fingerprintOf(draws);

    const auto runOnce = [&](std::chrono::microseconds delay, const std::string& killAt) -> ::Run {
        SCOPED_TRACE(killAt.empty() ? "after " + std::to_string(delay.count()) + " us" : "at " + killAt);
        TestFolder dir;
        std::filesystem::copy(pristine, dir.path(), std::filesystem::copy_options::recursive);
        const auto database = dir / kDatabaseFile;
        const auto r = runAndKill({"restore", database.string(), source.string()}, delay, killAt);
        int copies = 0;
        for (const auto& entry : std::filesystem::directory_iterator(dir.path()))
            if (entry.path().filename().string().starts_with(std::string(kDatabaseFile) + ".damaged-")) {
                EXPECT_EQ(test::readFile(entry.path()), damaged) << "the damaged file keeps its bytes";
                ++copies;
            }
        const bool done = test::readFile(database) != damaged;
        if (!r.killed) {
            EXPECT_TRUE(done) << "a finished restore must be there";
        }
        if (done) {
            EXPECT_EQ(copies, 1);
            auto store = HistoryStore::open(database);
            const auto entries = store ? PredictionLog::entries(**store) : std::unexpected(store.error());
            EXPECT_TRUE(store && (*store)->checkWhole());
            EXPECT_EQ(entries ? entries->size() : 0u, 1u) << "the logbook is carried over";
            SQLite::Database db(database.string(), SQLite::OPEN_READONLY);
            EXPECT_TRUE(fingerprintOf(db) == restored);
        }
        removeAbandonedTemporaries(dir.path(), std::chrono::hours(1));
        for (const auto& name : test::folderContents(dir.path()))
            EXPECT_FALSE(name.find(".tmp") != std::string::npos) << name;
        return r;
    };
    const auto full = runOnce(kNoKill, {}).working;
    std::mt19937 gen(505);
    std::uniform_int_distribution<long long> moment(0, full.count() * 21 / 20);
    int killed = 0;
    for (int i = 0; i < 6; ++i)
        killed += runOnce(std::chrono::microseconds(moment(gen)), {}).killed;
    for (const char* point : {"rename", "commit", "committed"})
        for (int n = 1; runOnce(kNoKill, point + (":" + std::to_string(n))).killed; ++n)
            ++killed;
    EXPECT_GE(killed, 5);
}
