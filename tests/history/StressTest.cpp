// Two programs on one data folder for a few seconds: the window's rebuilds and compactions in
// one process, the companion's appends in others. Every append the companion reported as saved
// must be there afterwards, each row must describe the row before it, and the file must be sound.
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <sstream>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace brenvik;
using test::TestFolder;

namespace {

pid_t start(std::vector<std::string> args, const std::filesystem::path& out,
            const std::filesystem::path& err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        throw std::runtime_error("cannot start " + args[0]);
    return pid;
}

int exitStatus(int status) {
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(Stress, EveryReportedSaveSurvivesTheWindowsRebuildsAndCompactions) {
    TestFolder home;
    TestFolder capture;
    test::writeDatabase(home.path(), test::syntheticDraws(300, 41));
    const std::string h = home.path().string();
    const pid_t window = start({BRENVIK_WINDOW_SIDE, h, "3"}, capture / "rounds", capture / "window");

    std::map<std::int32_t, std::array<int, 3>> saved;
    int refused = 0;
    std::int32_t issue = 2030001;
    std::mt19937 gen(7);
    int windowStatus = 0;
    while (waitpid(window, &windowStatus, WNOHANG) == 0) {
        const std::array<int, 3> d = {int(gen() % 10), int(gen() % 10), int(gen() % 10)};
        const std::string digits = std::to_string(d[0]) + std::to_string(d[1]) + std::to_string(d[2]);
        int status = 0;
        waitpid(start({BRENVIK_CLI, "--home", h, "add", std::to_string(issue), digits}, capture / "out",
                      capture / "err"),
                &status, 0);
        if (exitStatus(status) == 0) {
            saved[issue] = d;
            issue = nextIssueProposal(issue);
        } else {
            // Refused while the window held the folder, and nothing else.
            ASSERT_EQ(exitStatus(status), 1);
            ASSERT_NE(test::readFile(capture / "err").find("正被另一个 Brenvik"), std::string::npos)
                << test::readFile(capture / "err");
            ++refused;
        }
    }
    ASSERT_EQ(exitStatus(windowStatus), 0) << test::readFile(capture / "window");
    int rounds = 0, failed = 0;
    std::istringstream(test::readFile(capture / "rounds")) >> rounds >> failed;
    std::printf("%d rounds of the window, %zu saves and %d refusals of the companion\n", rounds, saved.size(),
                refused);
    EXPECT_GT(rounds, 0);
    EXPECT_EQ(failed, 0) << test::readFile(capture / "window");
    EXPECT_GT(saved.size(), 0u);

    {
        SQLite::Database db(h + "/" + kDatabaseFile);
        EXPECT_EQ(db.execAndGet("PRAGMA integrity_check").getString(), "ok");
    }
    auto store = HistoryStore::open(home / kDatabaseFile);
    ASSERT_TRUE(store);
    const auto history = *(*store)->loadSnapshot();
    ASSERT_EQ(history->size(), 300 + saved.size());
    std::map<std::int32_t, std::array<int, 3>> found;
    for (std::size_t i = 0; i < history->size(); ++i) {
        const DrawRow& r = (*history)[i];
        if (r.sqqh >= 2030001)
            found[r.sqqh] = {r.digit(1), r.digit(2), r.digit(3)};
        if (i > 0) {
            const DrawRow& before = (*history)[i - 1];
            const std::string digitsBefore = {char('0' + before.digit(1)), char('0' + before.digit(2)),
                                              char('0' + before.digit(3))};
            ASSERT_EQ(r.last[0], digitsBefore)
                << "row " << r.sqqh << " describes another draw than the one before it";
        }
    }
    EXPECT_EQ(found, saved);
}
