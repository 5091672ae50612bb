// SPDX-License-Identifier: GPL-3.0-or-later
// The command-line companion run as a process, as a script would run it.
#include "Backtest.h"
#include "Chance.h"
#include "ChartPages.h"
#include "FolderLock.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "Omission.h"
#include "PredictionLog.h"
#include "SampleHistory.h"
#include "SearchIndex.h"
#include "TallyStatistics.h"
#include "TestFolder.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <random>
#include <ranges>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

extern char** environ;

using namespace brenvik;
using brenvik::test::TestFolder;

namespace {

struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

CliRun run(std::vector<std::string> all, const std::filesystem::path& input = {}) {
    TestFolder capture;
    const auto outFile = capture / "out";
    const auto errFile = capture / "err";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (!input.empty())
        posix_spawn_file_actions_addopen(&actions, 0, input.c_str(), O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::vector<char*> argv;
    for (auto& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    CliRun r;
    if (posix_spawn(&pid, all[0].c_str(), &actions, nullptr, argv.data(), environ) == 0) {
        // A companion that hangs is killed after half a minute and counts as failed.
        int status = 0;
        for (int waited = 0; waitpid(pid, &status, WNOHANG) == 0; ++waited) {
            if (waited == 3000)
                kill(pid, SIGKILL);
            usleep(10000);
        }
        r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    posix_spawn_file_actions_destroy(&actions);
    r.out = test::readFile(outFile);
    r.err = test::readFile(errFile);
    return r;
}

// `heldToBits`: the companion is held to the permission bits even when the tests run as root.
CliRun cli(const std::vector<std::string>& args, bool heldToBits = false,
           const std::filesystem::path& input = {}) {
    std::vector<std::string> all = {BRENVIK_CLI};
    all.insert(all.end(), args.begin(), args.end());
    return run(heldToBits ? test::heldToPermissionBits(all) : all, input);
}

std::size_t storedDraws(const std::filesystem::path& home) {
    auto store = HistoryStore::open(home / kDatabaseFile);
    return store ? (*(*store)->loadSnapshot())->size() : 0;
}

// Ten draws in which the draw after 1 2 3 is known (as in the window's search tests).
void writeSmallHistory(const std::filesystem::path& home) {
    test::writeDatabase(home, {{2013001, {1, 2, 3}},
                               {2013002, {4, 5, 6}},
                               {2013003, {0, 0, 0}},
                               {2013004, {1, 2, 3}},
                               {2013005, {4, 7, 6}},
                               {2013006, {9, 9, 9}},
                               {2013007, {3, 2, 1}},
                               {2013008, {4, 5, 9}},
                               {2013009, {8, 8, 8}},
                               {2013010, {1, 2, 3}}});
}

// ASCII text as a file saved with a UTF-16 byte order mark.
std::string utf16(std::string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text)
        bytes += bigEndian ? std::string{'\0', c} : std::string{c, '\0'};
    return bytes;
}

} // namespace

TEST(Cli, HelpPrintsTheInterface) {
    const CliRun r = cli({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out.rfind("Usage: brenvik3d-cli [OPTIONS] COMMAND", 0), 0u) << r.out;
    // Every command with its arguments and what it does, the options before a command, the notes.
    for (const char* line :
         {"\n  import FILE                 Replace the history with the draws of a history text file.\n",
          "\n  export FILE                 Write the history as a history text file",
          "\n  add ISSUE DDD               Append one draw, e.g. add 2024150 507.\n",
          "\n  undo                        Restore the history as it was before its last change.\n",
          "\n  follow                      Run a follow search:", "\n  combo                       Run a",
          "\n  backtest                    Walk the follow search", "\n  log add                     Record",
          "\n  log list                    List the predictions", "\n  log withdraw ID             Remove",
          "\n  update                      Add the new draws", "\n  omission                    Print the",
          "\n  filter                      Narrow the numbers", "\n  --home DIR                  data folder",
          "\n  --version                   print the version\n",
          "\n  help [COMMAND]              Print the help",
          "\nExit status:\n  0                           success\n",
          "\n  undo 1                      there is"})
        EXPECT_NE(r.out.find(line), std::string::npos) << line;
}

TEST(Cli, HelpCommandPrintsWhatHelpOptionPrints) {
    const std::vector<std::pair<std::vector<std::string>, std::vector<std::string>>> same = {
        {{"help"}, {"--help"}},
        {{"help", "update"}, {"update", "--help"}},
        {{"help", "log"}, {"log", "--help"}},
        {{"--home", "/nonexistent", "help", "log", "add"}, {"log", "add", "--help"}}};
    for (const auto& [asked, option] : same) {
        const CliRun r = cli(asked);
        EXPECT_EQ(r.status, 0) << asked.back();
        EXPECT_EQ(r.out, cli(option).out) << asked.back();
        EXPECT_TRUE(r.err.empty()) << r.err;
    }
    for (const std::string unknown : {"nosuch", "log nosuch", "follow add"}) {
        std::vector<std::string> args = {"help"};
        for (std::istringstream words(unknown); std::string w : std::views::istream<std::string>(words))
            args.push_back(w);
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, 2) << unknown;
        EXPECT_EQ(r.err, "brenvik3d-cli: unknown command " + unknown + "\nusage: brenvik3d-cli --help\n");
    }
}

// The statuses a command's help declares are those it exits with: each run below ends with a
// status whose row in the help of its command says why.
TEST(Cli, EachCommandExitsWithAStatusItsHelpDeclares) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    ASSERT_TRUE(writeHistoryFile(home / "b.txt", test::syntheticDraws(3, 4, 2020001)));
    ASSERT_EQ(cli({"--home", h, "import", (home / "b.txt").string()}).status, 0);
    const std::vector<std::tuple<std::vector<std::string>, int, std::string>> runs = {
        {{"undo"}, 1, "--yes was not given"},
        {{"restore", (home / "b.txt").string()}, 1, "needs no restore"},
        {{"add", "2020002", "123"}, 1, "not after the newest"},
        {{"follow", "--before", "2020001"}, 1, "too few draws come before --before"},
        {{"backtest", "--range", "2030001:2030009"}, 1, "holds no stored draw"},
        {{"log", "withdraw", "7"}, 1, "no prediction has that ID"},
        {{"omission", "--range", "2030001:2030009"}, 1, "holds no draw"},
        {{"omission", "--last", "0"}, 2, "a mistake on the command line"},
        {{"export", (home / "out.txt").string()}, 0, "success"}};
    for (const auto& [args, status, says] : runs) {
        std::vector<std::string> all = {"--home", h};
        all.insert(all.end(), args.begin(), args.end());
        EXPECT_EQ(cli(all).status, status) << args[0];
        // The command's words, without its arguments and options.
        std::vector<std::string> help = {"help", args[0]};
        if (args[0] == "log")
            help.push_back(args[1]);
        std::string text = cli(help).out;
        text = text.substr(text.find("\nExit status:\n"));
        text = std::regex_replace(text, std::regex("\n {30}"), " ");
        std::smatch row;
        const std::regex rowOfStatus("\n  " + std::to_string(status) + " +(.*)");
        ASSERT_TRUE(std::regex_search(text, row, rowOfStatus)) << args[0] << ": " << text;
        EXPECT_NE(row.str(1).find(says), std::string::npos) << args[0] << ": " << text;
    }
}

TEST(Cli, ImportExportRoundTripOfBothRealHistories) {
    for (const char* name : {"fc3d-history.txt", "pl3-history.txt"}) {
        TestFolder home;
        const CliRun imported =
            cli({"--home", home.path().string(), "import", test::sampleFile(name).string()});
        ASSERT_EQ(imported.status, 0) << imported.err;
        EXPECT_NE(imported.out.find(name[0] == 'f' ? "7731" : "7699"), std::string::npos);
        const auto exported = home / "out.txt";
        const CliRun r = cli({"--home", home.path().string(), "export", exported.string()});
        ASSERT_EQ(r.status, 0) << r.err;
        // The samples are written exactly as the export writes: byte for byte the same.
        EXPECT_EQ(test::readFile(exported), test::readFile(test::sampleFile(name)));
    }
}

TEST(Cli, AddAppendsAfterTheLastDraw) {
    TestFolder home;
    writeSmallHistory(home.path());
    CliRun r = cli({"--home", home.path().string(), "add", "2013011", "507"});
    ASSERT_EQ(r.status, 0) << r.err;
    auto store = HistoryStore::open(home / kDatabaseFile);
    auto s = *(*store)->loadSnapshot();
    ASSERT_EQ(s->size(), 11u);
    EXPECT_EQ(s->last()->digit(1), 5);
    EXPECT_EQ(s->last()->digit(2), 0);
    EXPECT_EQ(s->last()->last[0], "123") << "the running state follows the stored history";

    r = cli({"--home", home.path().string(), "add", "2013005", "111"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("2013011"), std::string::npos);
    for (auto bad :
         std::vector<std::vector<std::string>>{{"2013012", "12"}, {"2013012", "1a3"}, {"201301", "123"}}) {
        r = cli({"--home", home.path().string(), "add", bad[0], bad[1]});
        EXPECT_EQ(r.status, 2) << bad[0] << " " << bad[1];
    }
    EXPECT_EQ(storedDraws(home.path()), 11u);
}

TEST(Cli, FollowSearchAsTableAndJson) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    CliRun r = cli({"--home", h, "follow", "--positions", "fixed", "--result-pos", "2", "--format", "json",
                    "--matched"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.rfind("{\"format\": 1, \"matched\": 2, \"denominator\": 2, \"pattern\": [1, 2, 3], "
                          "\"range\": [2013002, 2013010], "
                          "\"tally\": [{\"outcome\": 5, \"label\": \"5\", \"count\": 1, \"percent\": 50, ",
                          0),
              0u)
        << r.out;
    EXPECT_NE(r.out.find("\"draws\": [2013002, 2013005]}"), std::string::npos);

    r = cli({"--home", h, "follow", "--positions", "fixed", "--result-type", "bigsmall", "--result-pos", "3",
             "--group"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("序号  结果  出现次数   百分比"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("   1    大         4  66.667%"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("   2    小         2  33.333%"), std::string::npos) << r.out;

    // A typed pattern that nothing matches: every outcome listed, no percentage.
    r = cli({"--home", h, "follow", "--pattern", "7,7,7", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"matched\": 0, \"denominator\": 0"), std::string::npos);
    EXPECT_NE(r.out.find("\"count\": 0, \"percent\": null"), std::string::npos);

    // The draw before a chosen issue, N back, and the range the window would set.
    r = cli(
        {"--home", h, "follow", "--before", "2013009", "--back", "2", "--check", "1", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"pattern\": [3, 2, 1], \"range\": [2013003, 2013008]"), std::string::npos)
        << r.out;
    // Too few draws before it for the draw N back: no pattern to search with, not 0,0,0.
    r = cli({"--home", h, "follow", "--before", "2013003", "--back", "3"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty()) << r.out;
    EXPECT_NE(r.err.find("第 2013003 期之前没有足够的历史号码，无法取前 3 期的检索号码。"), std::string::npos)
        << r.err;
}

// The number after `"key": ` at or after `from`.
double jsonValue(const std::string& out, const std::string& key, std::size_t& from) {
    from = out.find("\"" + key + "\": ", from);
    if (from == std::string::npos)
        return -1;
    from += key.size() + 4;
    return std::strtod(out.c_str() + from, nullptr);
}

TEST(Cli, TallyComparedWithChanceAndSegmentsLeftOut) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    // Following draws 4 5 6 and 4 7 6: outcomes 5 and 7 once each of two codes, counted exactly.
    CliRun r = cli({"--home", h, "follow", "--positions", "fixed", "--result-pos", "2", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const std::vector<int> counts = {1, 1, 0, 0, 0, 0, 0, 0, 0, 0};
    const auto expected = stats::tallyStatistics(counts);
    ASSERT_TRUE(expected);
    std::size_t at = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        // Numbers are written so that they read back as the very same doubles.
        EXPECT_EQ(jsonValue(r.out, "expected", at), expected->expected);
        EXPECT_EQ(jsonValue(r.out, "low95", at), expected->intervals[i].low * 100) << i;
        EXPECT_EQ(jsonValue(r.out, "high95", at), expected->intervals[i].high * 100) << i;
    }
    EXPECT_EQ(jsonValue(r.out, "statistic", at), expected->statistic);
    EXPECT_EQ(jsonValue(r.out, "p", at), expected->p);
    EXPECT_NE(r.out.find("\"method\": \"exact\"}, \"dropped\": 0}"), std::string::npos) << r.out;
    r = cli({"--home", h, "follow", "--positions", "fixed", "--result-pos", "2"});
    EXPECT_NE(r.out.find("\n" + stats::verdictLine(expected, 1) + "\n"), std::string::npos) << r.out;

    // Stored under segment parameter 1, tallied under 0: the 9 of 459 (segment 5) is no outcome of 0..4.
    r = cli({"--home", h, "follow", "--result-type", "segment", "--result-pos", "3", "--segment", "0",
             "--format", "json"});
    EXPECT_NE(r.out.find("\"test\": null, \"dropped\": 1}"), std::string::npos) << r.out;
}

TEST(Cli, CombinationSearch) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    CliRun r =
        cli({"--home", h, "combo", "--pattern", "1,4,9", "--size", "2", "--format", "json", "--matched"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\"draws\": [2013009]"), std::string::npos) << r.out;
    r = cli({"--home", h, "combo", "--pattern", "1,4,9", "--size", "1", "--format", "json", "--matched"});
    EXPECT_NE(r.out.find("\"draws\": [2013002, 2013003, 2013005, 2013006, 2013007, 2013008, 2013009]"),
              std::string::npos)
        << r.out;
    r = cli({"--home", h, "combo", "--pattern", "7,7,7", "--size", "3", "--matched"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("找到 0 期"), std::string::npos);
    EXPECT_NE(r.out.find("期号  第1位  第2位  第3位  上期开奖"), std::string::npos) << r.out;
}

// The JSON of a backtest holds what the library computes, and only what was asked for.
TEST(Cli, BacktestAsJson) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    auto store = HistoryStore::open(home.path() / kDatabaseFile);
    ASSERT_TRUE(store);
    const SearchIndex index(*(*store)->loadSnapshot());
    struct Case {
        std::vector<std::string> args;
        stats::BacktestOptions options;
    } cases[] = {
        {{}, {}},
        {{"--positions", "fixed", "--check", "1", "--pick", "3", "--twins", "0", "--rows"},
         {.freePositions = false, .checked = {true, false, false}, .picks = 3, .twins = 0}},
        {{"--back", "2", "--type", "oddeven", "--result-type", "bigsmall", "--result-pos", "3", "--range",
          "2013004:2013008", "--twins", "5", "--seed", "18446744073709551615", "--rows"},
         {.lastDraw = false,
          .searchType = Kind::OddEven,
          .resultKind = Kind::BigSmall,
          .resultPosition = 3,
          .targetStart = 2013004,
          .targetEnd = 2013008,
          .twins = 5,
          .seed = 18446744073709551615ULL}},
        // Nothing before the first two draws to predict from: no rate to speak of.
        {{"--range", "2013001:2013002", "--twins", "0", "--rows"},
         {.targetStart = 2013001, .targetEnd = 2013002, .twins = 0}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--home", h, "backtest", "--format", "json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        const auto expected = stats::runBacktest(index, c.options);
        ASSERT_TRUE(expected);
        EXPECT_EQ(j["targets"], expected->targets);
        EXPECT_EQ(j["predictions"], expected->predictions);
        EXPECT_EQ(j["hits"], expected->hits);
        // Fractions, not percentages; none without a prediction.
        const auto share = [&](double v) {
            return expected->predictions > 0 ? nlohmann::json(v) : nlohmann::json();
        };
        EXPECT_EQ(j["rate"], share(expected->rate));
        EXPECT_EQ(j["low95"], share(expected->low95));
        EXPECT_EQ(j["high95"], share(expected->high95));
        EXPECT_EQ(j["chance"], expected->chance);
        EXPECT_EQ(j["p"], expected->p);
        EXPECT_EQ(j.contains("twins"), c.options.twins > 0);
        if (c.options.twins > 0) {
            EXPECT_EQ(j["twins"]["count"], c.options.twins);
            EXPECT_EQ(j["twins"]["seed"], c.options.seed);
            EXPECT_EQ(j["twins"]["rank"], expected->rank);
            for (std::size_t i = 0; i < expected->twins.size(); ++i)
                EXPECT_EQ(j["twins"]["rates"][i], expected->twins[i].rate);
        }
        const bool rows = std::ranges::count(c.args, "--rows") > 0;
        EXPECT_EQ(j.contains("rows"), rows);
        if (!rows)
            continue;
        ASSERT_EQ(j["rows"].size(), expected->rows.size());
        for (std::size_t i = 0; i < expected->rows.size(); ++i) {
            const stats::BacktestRow& e = expected->rows[i];
            const auto& row = j["rows"][i];
            EXPECT_EQ(row["issue"], e.issue);
            EXPECT_EQ(row["pattern"], e.pattern ? nlohmann::json(*e.pattern) : nlohmann::json());
            EXPECT_EQ(row["matched"], e.matched);
            EXPECT_EQ(row["actual"], e.actual);
            const bool predicted = e.verdict != stats::Verdict::NoPrediction;
            EXPECT_EQ(row["picks"],
                      predicted ? nlohmann::json(std::vector<int>(e.picked().begin(), e.picked().end()))
                                : nlohmann::json());
            EXPECT_EQ(row["hit"],
                      predicted ? nlohmann::json(e.verdict == stats::Verdict::Hit) : nlohmann::json());
        }
        EXPECT_TRUE(std::ranges::any_of(expected->rows, [](const stats::BacktestRow& e) {
            return e.verdict == stats::Verdict::NoPrediction;
        }));
    }

    // A range without a stored draw has nothing to predict.
    const CliRun r = cli({"--home", h, "backtest", "--range", "2014001:2014100"});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.out.empty());
}

TEST(Cli, OmissionTableOfARangeAsJson) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    const auto snapshot = *(*HistoryStore::open(home / kDatabaseFile))->loadSnapshot();
    const SearchIndex index(snapshot);
    struct Case {
        std::vector<std::string> args;
        int status;
        stats::RowRange rows;
    } cases[] = {
        {{}, 0, {0, 10}}, // fewer than the default 100 draws: all of them
        {{"--last", "3"}, 0, {7, 10}},
        {{"--range", "2013002:2013004"}, 0, {1, 4}},
        {{"--range", "2013004:2013002"}, 2, {}},
        {{"--range", "2014001:2014100"}, 1, {}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--home", h, "omission", "--format", "json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = cli(args);
        SCOPED_TRACE(args.back());
        ASSERT_EQ(r.status, c.status) << r.err;
        if (c.status != 0) {
            EXPECT_TRUE(r.out.empty());
            continue;
        }
        const auto j = nlohmann::json::parse(r.out);
        EXPECT_EQ(j["range"], nlohmann::json({index.issue(c.rows.first), index.issue(c.rows.last - 1)}));
        EXPECT_EQ(j["draws"], c.rows.size());
        const stats::OmissionTable t = stats::omissionTable(stats::drawDigits(index), c.rows);
        // Every entry, named as scripts read them, as the figures of the library.
        auto same = [](const nlohmann::json& e, const char* key, const nlohmann::json& value,
                       const stats::OmissionFigures& f) {
            const nlohmann::json want = {{key, value},
                                         {"count", f.count},
                                         {"current", f.current},
                                         {"max", f.max},
                                         {"average", f.average},
                                         {"streak", f.streak},
                                         {"expected", f.expected},
                                         {"low95", f.observed.low * 100},
                                         {"high95", f.observed.high * 100},
                                         {"marked", f.marked}};
            EXPECT_EQ(e, want);
        };
        ASSERT_EQ(j["positions"].size(), 3u);
        for (std::size_t p = 0; p < 3; ++p) {
            ASSERT_EQ(j["positions"][p].size(), 10u);
            for (std::size_t d = 0; d < 10; ++d)
                same(j["positions"][p][d], "digit", d, t.positions[p][d]);
        }
        ASSERT_EQ(j["sum"].size(), 28u);
        for (std::size_t v = 0; v < 28; ++v)
            same(j["sum"][v], "value", v, t.sum[v]);
        ASSERT_EQ(j["span"].size(), 10u);
        for (std::size_t v = 0; v < 10; ++v)
            same(j["span"][v], "value", v, t.span[v]);
        ASSERT_EQ(j["form"].size(), 3u);
        for (std::size_t v = 0; v < 3; ++v)
            same(j["form"][v], "value", std::string(stats::kFormCaptions[v]), t.form[v]);
    }
    // An empty history has no table either, and a folder without a database is left without one.
    TestFolder empty;
    test::writeDatabase(empty.path(), {});
    EXPECT_EQ(cli({"--home", empty.path().string(), "omission"}).status, 1);
    const auto none = empty / "none";
    EXPECT_EQ(cli({"--home", none.string(), "omission"}).status, 1);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST(Cli, FilterKeepsNumbersAndCountsTheirRecord) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    // 和值 6 and 组六: the orders of 015, 024 and 123; 123 came three times and 321 once.
    const std::vector<std::string> sixDistinct = {"--sum", "6", "--form", "zuliu"};
    struct Case {
        std::vector<std::string> args;
        int kept, draws, hits;
        nlohmann::json range;
    } cases[] = {
        {sixDistinct, 18, 10, 4, {2013001, 2013010}},
        {{"--sum", "6", "--form", "zuliu", "--range", "2013004:2013007"}, 18, 4, 2, {2013004, 2013007}},
        {{"--sum", "6", "--form", "zuliu", "--range", "2014001:2014009"}, 18, 0, 0, {2014001, 2014009}},
        {{"--dan", "1,2", "--dan-all", "--kill", "3", "--pos1", "1"}, 17, 10, 0, {2013001, 2013010}},
        {{"--sum", "27", "--form", "zuliu"}, 0, 10, 0, {2013001, 2013010}},
        {{}, 1000, 10, 10, {2013001, 2013010}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--home", h, "filter", "--list", "--format", "json"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto j = nlohmann::json::parse(r.out);
        SCOPED_TRACE(r.out.substr(0, 200));
        EXPECT_EQ(j["kept"], c.kept);
        EXPECT_EQ(j["share"], c.kept / 1000.0);
        EXPECT_EQ(j["numbers"].size(), static_cast<std::size_t>(c.kept));
        const auto& rec = j["record"];
        EXPECT_EQ(rec["range"], c.range);
        EXPECT_EQ(rec["draws"], c.draws);
        EXPECT_EQ(rec["hits"], c.hits);
        EXPECT_EQ(rec["cost"], 2 * c.kept * c.draws);
        EXPECT_EQ(rec["won"], 1040 * c.hits);
        EXPECT_EQ(rec["net"], 1040 * c.hits - 2 * c.kept * c.draws);
        if (c.draws == 0) {
            for (const char* key : {"rate", "low95", "high95", "p"})
                EXPECT_TRUE(rec[key].is_null()) << key;
            continue;
        }
        EXPECT_DOUBLE_EQ(rec["rate"].get<double>(), static_cast<double>(c.hits) / c.draws);
        EXPECT_DOUBLE_EQ(rec["low95"].get<double>(), stats::wilsonInterval(c.hits, c.draws).low);
        EXPECT_DOUBLE_EQ(rec["p"].get<double>(), stats::binomialUpperTail(c.draws, c.kept / 1000.0, c.hits));
    }
    EXPECT_EQ(nlohmann::json::parse(
                  cli({"--home", h, "filter", "--list", "--format", "json", "--sum", "6", "--form", "zuliu"})
                      .out)["numbers"][5],
              "123");
    // The table says the same in Chinese; a folder without a history is left without one.
    const CliRun table = cli({"--home", h, "filter", "--sum", "6", "--form", "zuliu"});
    EXPECT_NE(table.out.find(
                  "福彩3D 缩水：和值 6；形态 组六\n统计范围：第 2013001～2013010 期，共 10 期，命中 4 期。\n"
                  "保留 18 注（1.8%）；历史上命中 40.0%"),
              std::string::npos)
        << table.out;
    const auto none = home / "none";
    EXPECT_EQ(cli({"--home", none.string(), "filter", "--sum", "6"}).status, 0);
    EXPECT_FALSE(std::filesystem::exists(none));
}

TEST(Cli, MistakesOnTheCommandLine) {
    TestFolder home;
    const auto folder = home / "data";
    const std::string h = folder.string();
    const std::vector<std::vector<std::string>> mistakes = {
        {"frobnicate"},
        {},
        {"follow", "--colour", "red"},
        {"follow", "--back", "0"},
        {"follow", "--back", "10"},
        {"follow", "--positions", "loose"},
        {"follow", "--type", "colour"},
        {"follow", "--check", "4"},
        {"follow", "--pattern", "1,2"},
        {"follow", "--pattern", "1,2,40000"},
        {"follow", "--range", "2013001"},
        {"follow", "--result-pos", "4"},
        {"follow", "--segment", "2"},
        {"follow", "--format", "xml"},
        {"follow", "--before", "20130"},
        {"combo", "--size", "0"},
        {"combo", "--size", "4"},
        {"combo", "--check", "1"},
        {"import"},
        {"import", "a.txt", "b.txt"},
        {"export", "x.txt", "--positions", "fixed"},
        {"add", "2013001"},
        {"update", "--years", "1"},
        {"update", "--years", "0"},
        {"update", "--years", "101"},
        {"export", (home / "h.xls").string()},
        {"export", (home / "h.ODS").string()},
        {"update", "--site", "ftp://host"},
        {"update", "--site", "abc"},
        {"update", "--feed", "http://127.0.0.1:1/path"},
        {"update", "--site", "http://127.0.0.1:1", "--feed", "http://127.0.0.1:2"},
        {"update", "--source", "web"},
        {"update", "--pause", "-1"},
        {"update", "now"},
        {"follow", "--yes"},
        {"undo", "now"},
        {"import", "a.txt", "--yes"},
        {"backtest", "--group"},
        {"backtest", "--pattern", "1,2,3"},
        {"backtest", "--pick", "10"},
        {"backtest", "--result-type", "segment", "--pick", "5"},
        {"backtest", "--twins", "1001"},
        {"backtest", "--seed", "-1"},
        {"backtest", "--range", "2013005:2013004"},
        {"follow", "--rows"},
        {"omission", "--last", "0"},
        {"omission", "--last", "5", "--range", "2013001:2013009"},
        {"omission", "--check", "1"},
        {"omission", "extra"},
        {"follow", "--last", "5"},
        {"log"},
        {"log", "edit"},
        {"log", "add", "--before", "2013005"},
        {"log", "play", "--ticket", "zuxuan"},
        {"log", "play", "--pick", "2"},
        {"log", "add", "--pick", "0"},
        {"log", "add", "--pick", "3", "--result-type", "oddeven"},
        {"log", "add", "--issue", "201401"},
        {"log", "list", "--pick", "2"},
        {"log", "list", "--back", "2"},
        {"log", "withdraw"},
        {"log", "withdraw", "first"},
        {"follow", "--pick", "2"},
        {"filter", "--sum", "28"},
        {"filter", "--odd", "4"},
        {"filter", "--dan", "12"},
        {"filter", "--form", "round"},
        {"filter", "--pos2", "3-1"},
        {"filter", "--range", "2013005:2013004"},
        // All the outcomes of the kind are a hit for certain.
        {"log", "add", "--pick", "10"},
        {"log", "add", "--pick", "2", "--result-type", "bigsmall"},
        // A range that starts after its end, refused alike by every command that takes one.
        {"follow", "--range", "2013010:2013001"},
        {"combo", "--range", "2013010:2013001"},
        {"omission", "--range", "2013010:2013001"},
        {"log", "add", "--range", "2013010:2013001"},
    };
    for (auto args : mistakes) {
        args.insert(args.begin(), {"--home", h});
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, 2) << args.size();
        EXPECT_TRUE(r.out.empty());
        // One line saying what is wrong, then the usage hint.
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 2) << r.err;
        EXPECT_NE(r.err.find("--help"), std::string::npos);
    }
    EXPECT_FALSE(std::filesystem::exists(folder)) << "nothing is written on a mistake";
}

TEST(Cli, LogRecordsBeforeTheDrawAndScoresAfterIt) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    // After each 1 2 3 came 4 5 6 and 4 7 6: at the second position 5 and 7, once each.
    const std::vector<std::string> search = {"--positions", "fixed", "--result-pos", "2"};
    const auto logAdd = [&](std::vector<std::string> more) {
        std::vector<std::string> args = {"--home", h, "log", "add"};
        args.insert(args.end(), search.begin(), search.end());
        args.insert(args.end(), more.begin(), more.end());
        return cli(args);
    };
    const std::int32_t next = proposedIssue(2013010, chinaYear(std::chrono::system_clock::now()));
    CliRun r = logAdd({"--pick", "2", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto added = nlohmann::json::parse(r.out);
    EXPECT_EQ(added["issue"], next);
    EXPECT_EQ(added["picks"], nlohmann::json({5, 7}));
    r = logAdd({"--issue", "2020001"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("已记录第 2020001 期的预测（编号 2）：5"), std::string::npos) << r.out;
    r = logAdd({"--issue", "2013010"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("该期已开奖，不能再记录预测"), std::string::npos) << r.err;

    // The first entry's draw comes: 7 at the second position is among its picks.
    ASSERT_EQ(cli({"--home", h, "add", std::to_string(next), "171"}).status, 0);
    r = cli({"--home", h, "log", "list", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto listed = nlohmann::json::parse(r.out);
    const std::string conditions = added["conditions"];
    EXPECT_NE(conditions.find("固定位，上期，号码 1 2 3"), std::string::npos) << conditions;
    const auto entry = [&](int id, std::int32_t issue, std::vector<int> picks, nlohmann::json actual,
                           nlohmann::json hit, nlohmann::json drawn) {
        return nlohmann::json{{"id", id},
                              {"recorded", listed["entries"][id - 1]["recorded"]},
                              {"issue", issue},
                              {"conditions", conditions},
                              {"resultType", 0},
                              {"resultPos", 2},
                              {"pick", picks.size()},
                              {"picks", picks},
                              {"actual", actual},
                              {"hit", hit},
                              {"scoredDraw", drawn},
                              {"scoredAt", listed["entries"][id - 1]["scoredAt"]},
                              {"drawNow", drawn},
                              {"drawChanged", false}};
    };
    const nlohmann::json expected = {
        {"format", 1},
        {"entries",
         {entry(1, next, {5, 7}, 7, true, "171"), entry(2, 2020001, {5}, nullptr, nullptr, nullptr)}},
        {"summary", {{"scored", 1}, {"hits", 1}, {"expected", 0.2}, {"p", 0.2}}},
        {"plays", nlohmann::json::array()},
        {"playSummary",
         {{"scored", 0},
          {"cost", 0},
          {"won", 0},
          {"net", 0},
          {"hits", 0},
          {"expected", 0},
          {"p", nullptr},
          {"open", 0},
          {"openCost", 0}}}};
    EXPECT_EQ(listed, expected) << listed.dump(1);
    EXPECT_EQ(std::string(listed["entries"][0]["recorded"]).back(), 'Z');

    // Only an entry whose draw is not stored may be withdrawn.
    r = cli({"--home", h, "log", "withdraw", "1"});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("不能撤回"), std::string::npos) << r.err;
    EXPECT_EQ(cli({"log", "withdraw", "2", "--home", h}).status, 0) << "--home after the command too";
    r = cli({"--home", h, "log", "list"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("已计分 1 条，命中 1 次，随机期望 0.20 次，p=0.2"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("2020001"), std::string::npos) << r.out;
    // The other game's logbook is its own.
    r = cli({"--home", h, "--game", "pl3", "log", "list", "--format", "json"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(nlohmann::json::parse(r.out)["entries"].empty());
}

// Record, draw, delete, withdraw, retype, undo: the entry keeps the score its draw gave it
// when first stored, and each listing, a program of its own, says what became of that draw.
TEST(Cli, AScoredPredictionKeepsItsScoreWhateverBecomesOfItsDraw) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    const auto withoutTheDraw = home / "before.txt";
    ASSERT_TRUE(writeHistoryFile(withoutTheDraw, test::storedDraws(home / kDatabaseFile)));
    // After each 1 2 3 came 4 5 6 and 4 7 6: 4 at the first position.
    CliRun r = cli({"--home", h, "log", "add", "--positions", "fixed", "--issue", "2013011"});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_NE(r.out.find("：4\n"), std::string::npos) << r.out;
    struct Step {
        std::vector<std::string> args;
        int status;
        nlohmann::json drawNow;
        const char* note; // in the table
    };
    const Step steps[] = {
        {{"add", "2013011", "137"}, 0, "137", ""},
        {{"import", withoutTheDraw.string()}, 0, nullptr, "（开奖号码已变：记录时 137，现已删除）"},
        {{"log", "withdraw", "1"}, 1, nullptr, "（开奖号码已变：记录时 137，现已删除）"},
        {{"add", "2013011", "438"}, 0, "438", "（开奖号码已变：记录时 137，现为 438）"},
        {{"undo", "--yes"}, 0, "137", ""},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.args[0]);
        std::vector<std::string> args = {"--home", h};
        args.insert(args.end(), s.args.begin(), s.args.end());
        r = cli(args);
        EXPECT_EQ(r.status, s.status) << r.err;
        r = cli({"--home", h, "log", "list", "--format", "json"});
        ASSERT_EQ(r.status, 0) << r.err;
        const auto entry = nlohmann::json::parse(r.out)["entries"].at(0);
        EXPECT_EQ(entry["hit"], false);
        EXPECT_EQ(entry["actual"], 1);
        EXPECT_EQ(entry["scoredDraw"], "137");
        EXPECT_EQ(entry["drawNow"], s.drawNow);
        EXPECT_EQ(entry["drawChanged"], s.drawNow != "137");
        r = cli({"--home", h, "log", "list"});
        EXPECT_NE(r.out.find(std::string("未中") + s.note + "\n"), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("已计分 1 条，命中 0 次"), std::string::npos) << r.out;
    }
}

// log add records the top of the tally that follow or combo prints for the same options.
TEST(Cli, LogAddRecordsTheTallyOfTheSearchItNames) {
    TestFolder home;
    test::writeDatabase(home.path(), test::sampleDraws("fc3d-history.txt"));
    const std::string h = home.path().string();
    struct Case {
        const char* search;
        std::vector<std::string> options;
        int pick;
    };
    const Case cases[] = {
        {"follow", {}, 3},
        {"combo", {"--size", "2"}, 3},
        {"combo", {"--size", "1", "--positions", "fixed", "--result-pos", "2", "--type", "bigsmall"}, 4},
        {"follow", {"--back", "2", "--check", "1,3", "--result-type", "oddeven"}, 1},
        {"combo", {"--pattern", "1,2,3", "--group", "--result-pos", "2", "--range", "2020001:2026224"}, 2},
    };
    std::vector<nlohmann::json> recorded;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.search + std::to_string(c.options.size()));
        std::vector<std::string> search = {"--home", h, c.search};
        search.insert(search.end(), c.options.begin(), c.options.end());
        const CliRun table = cli(search);
        search.insert(search.end(), {"--format", "json"});
        const CliRun shown = cli(search);
        ASSERT_EQ(shown.status, 0) << shown.err;
        nlohmann::json top = nlohmann::json::array();
        for (int i = 0; i < c.pick; ++i)
            top.push_back(nlohmann::json::parse(shown.out)["tally"][i]["outcome"]);
        std::vector<std::string> add = {"--home",   h,        "log",    "add",
                                        "--search", c.search, "--pick", std::to_string(c.pick),
                                        "--format", "json"};
        add.insert(add.end(), c.options.begin(), c.options.end());
        const CliRun r = cli(add);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto entry = nlohmann::json::parse(r.out);
        EXPECT_EQ(entry["picks"], top);
        EXPECT_EQ(entry["conditions"].get<std::string>() + "\n",
                  table.out.substr(0, table.out.find('\n') + 1));
        recorded.push_back(entry["picks"]);
    }
    // On the real history the two searches from the newest draw disagree, so a record of the wrong
    // one would show.
    EXPECT_NE(recorded[0], recorded[1]);
    // Each search keeps its own way of matching positions.
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--search", "combo", "--check", "1"},
          {"--size", "2"},
          {"--search", "backtest"}}) {
        std::vector<std::string> args = {"--home", h, "log", "add"};
        args.insert(args.end(), wrong.begin(), wrong.end());
        EXPECT_EQ(cli(args).status, 2) << wrong[0];
    }
}

// log play records the tickets the filter keeps for the next issue; its money comes with the draw.
TEST(Cli, LogPlayRecordsTheKeptTicketsAndPricesThemAfterTheDraw) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    const std::int32_t next = proposedIssue(2013010, chinaYear(std::chrono::system_clock::now()));
    // 和值 6, 组三 and 组六: 27 numbers in 6 groups.
    const std::vector<std::string> sum6 = {"--sum", "6", "--form", "zusan,zuliu"};
    struct Case {
        const char* ticket;
        int tickets;
        int won;
    };
    const Case cases[] = {{"group", 6, 346}, {"direct", 27, 1040}};
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--home",   h,        "log",      "play",
                                         "--ticket", c.ticket, "--format", "json"};
        args.insert(args.end(), sum6.begin(), sum6.end());
        const CliRun r = cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        const auto play = nlohmann::json::parse(r.out);
        EXPECT_EQ(play["issue"], next);
        EXPECT_EQ(play["ticket"], c.ticket);
        EXPECT_EQ(play["tickets"], c.tickets);
        EXPECT_EQ(play["cost"], 2 * c.tickets);
        EXPECT_TRUE(play["won"].is_null());
    }
    EXPECT_EQ(nlohmann::json::parse(
                  cli({"--home", h, "log", "list", "--format", "json"}).out)["plays"][0]["numbers"],
              nlohmann::json({"006", "015", "024", "033", "114", "123"}));
    const CliRun none = cli({"--home", h, "log", "play", "--form", "baozi", "--ticket", "group"});
    EXPECT_EQ(none.status, 1);
    EXPECT_NE(none.err.find("豹子不能买组选"), std::string::npos) << none.err;

    // 060 is a 组三 of the group 006, and one of the 27 numbers.
    ASSERT_EQ(cli({"--home", h, "add", std::to_string(next), "060"}).status, 0);
    const auto listed = nlohmann::json::parse(cli({"--home", h, "log", "list", "--format", "json"}).out);
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const auto& play = listed["plays"][i];
        EXPECT_EQ(play["hit"], true);
        EXPECT_EQ(play["won"], cases[i].won);
        EXPECT_EQ(play["net"], cases[i].won - 2 * cases[i].tickets);
        EXPECT_EQ(play["scoredDraw"], "060");
    }
    EXPECT_EQ(listed["playSummary"]["cost"], 66);
    EXPECT_EQ(listed["playSummary"]["won"], 1386);
    EXPECT_EQ(listed["playSummary"]["net"], 1320);
    EXPECT_EQ(listed["playSummary"]["hits"], 2);
    const CliRun table = cli({"--home", h, "log", "list"});
    EXPECT_NE(table.out.find("投注：已开奖 2 次：花费 66 元，中奖 1,386 元，净赚 1,320 元；命中 2 次"),
              std::string::npos)
        << table.out;

    // The filter's record of 组选 tickets: 123 came three times and 321 once, each a 组六 of 123.
    const auto group = nlohmann::json::parse(
        cli({"--home", h, "filter", "--sum", "6", "--form", "zuliu", "--ticket", "group", "--format", "json"})
            .out);
    EXPECT_EQ(group["kept"], 18);
    EXPECT_EQ(group["ticket"], "group");
    EXPECT_EQ(group["tickets"], 3);
    EXPECT_EQ(group["share"], 0.018);
    EXPECT_EQ(group["record"]["hits"], 4);
    EXPECT_EQ(group["record"]["cost"], 2 * 3 * 11);
    EXPECT_EQ(group["record"]["won"], 4 * 173);
}

TEST(Cli, AnEmptyTallyRecordsNoPrediction) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        // 2013003 followed 4 5 6, not 1 2 3.
        {{"--positions", "fixed", "--range", "2013003:2013003"}, 1, "检索没有找到任何一期，无法记录预测"},
        {{"--result-type", "segment", "--pick", "4"}, 0, "已记录第"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--home", h, "log", "add"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = cli(args);
        EXPECT_EQ(r.status, c.status) << c.args[0];
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    }
    const CliRun r = cli({"--home", h, "log", "list", "--format", "json"});
    EXPECT_EQ(nlohmann::json::parse(r.out)["entries"].size(), 1u) << "only the tally that counted draws";
}

// Typed, imported or restored, an issue that can name no draw is refused: one of a year that has
// not begun in China among them.
TEST(Cli, ImpossibleIssuesAreRefusedForWhatIsWrongWithThem) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    const int year = chinaYear(std::chrono::system_clock::now());
    const std::string years = "超出 2002–" + std::to_string(year);
    struct Case {
        std::string issue;
        std::string says;
    };
    const Case cases[] = {
        {"2013000", "期号 2013000 的序号 000 超出 001–366"},
        {"2013367", "期号 2013367 的序号 367 超出 001–366"},
        {"2001360", "期号 2001360 的年份 2001 " + years},
        {std::to_string(year + 1) + "001", "的年份 " + std::to_string(year + 1) + " " + years},
        {std::to_string(year + 2) + "001", "的年份 " + std::to_string(year + 2) + " " + years},
    };
    for (const Case& c : cases) {
        const CliRun r = cli({"--home", h, "add", c.issue, "123"});
        EXPECT_EQ(r.status, 2) << c.issue;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    }
    EXPECT_EQ(storedDraws(home.path()), 10u);
    ASSERT_EQ(cli({"--home", h, "add", "2013366", "123"}).status, 0) << "the last possible sequence";
    // The import takes the possible issues and counts the others with the lines it skips.
    std::string text;
    for (const Case& c : cases)
        text += c.issue + " 555\r\n";
    test::writeFile(home / "a.txt", text + "2013001 123\r\n2014001 456\r\n");
    const CliRun r = cli({"--home", h, "import", (home / "a.txt").string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("读入 2 期，跳过 5 行"), std::string::npos) << r.out;
    const std::vector<DrawLine> possible{{2013001, {1, 2, 3}}, {2014001, {4, 5, 6}}};
    EXPECT_EQ(test::storedDraws(home / kDatabaseFile), possible);
    // A restore reads its file as the import does.
    test::writeFile(home / kDatabaseFile, "not a history any more");
    ASSERT_EQ(cli({"--home", h, "restore", (home / "a.txt").string()}).status, 0);
    EXPECT_EQ(test::storedDraws(home / kDatabaseFile), possible);
}

// A change killed after it wrote its undo backup aside leaves the temporary file; the next
// command of the companion removes it, and the undo still brings back the change before.
TEST(Cli, TheTemporaryOfAKilledChangeIsRemoved) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    ASSERT_TRUE(writeHistoryFile(home / "a.txt", test::syntheticDraws(3, 4, 2020001)));
    ASSERT_EQ(cli({"--home", h, "import", (home / "a.txt").string()}).status, 0);
    ::setenv("BRENVIK_CRASH_AT", "rename:1", 1);
    const CliRun killed =
        run({BRENVIK_CRASH_CHILD, "import-undo", (home / kDatabaseFile).string(), (home / "a.txt").string()});
    ::unsetenv("BRENVIK_CRASH_AT");
    EXPECT_EQ(killed.status, -1) << "killed at its first rename";
    const auto temporaries = [&] {
        return std::ranges::count_if(std::filesystem::directory_iterator(home.path()),
                                     [](const auto& e) { return e.path().extension() == ".tmp"; });
    };
    ASSERT_EQ(temporaries(), 1);
    EXPECT_EQ(cli({"--home", h, "follow"}).status, 0);
    EXPECT_EQ(temporaries(), 0);
    const CliRun undo = cli({"--home", h, "undo"});
    EXPECT_NE(undo.out.find("读入 a.txt"), std::string::npos) << undo.out;
    EXPECT_NE(undo.out.find("之前的 10 期"), std::string::npos) << undo.out;
}

TEST(Cli, AnUnreadableFileKeepsTheHistory) {
    TestFolder home;
    writeSmallHistory(home.path());
    const CliRun r = cli({"--home", home.path().string(), "import", (home / "missing.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing.txt"), std::string::npos);
    EXPECT_EQ(storedDraws(home.path()), 10u);

    // A database that is not ours is reported and left alone.
    TestFolder other;
    test::writeFile(other / kDatabaseFile, "not a database at all");
    const CliRun s = cli({"--home", other.path().string(), "follow"});
    EXPECT_EQ(s.status, 1);
    EXPECT_EQ(test::readFile(other / kDatabaseFile), "not a database at all");
}

TEST(Cli, ImportRefusesWhatHoldsNoDraw) {
    TestFolder home;
    writeSmallHistory(home.path());
    test::writeFile(home / "csv.txt", "2013001,1,2,3\r\n2013002,4,5,6\r\n");
    test::writeFile(home / "junk.txt", "福彩3D 历史号码\r\n开奖日期 号码\r\n");
    test::writeFile(home / "notepad.txt", utf16("Issue Digits\r\n", false));
    ASSERT_EQ(mkfifo((home / "fifo.txt").c_str(), 0644), 0);
    const std::vector<std::pair<std::filesystem::path, std::string>> files = {
        {home / "csv.txt", kNoDrawsInFile},      {home / "junk.txt", kNoDrawsInFile},
        {home / "notepad.txt", kNoDrawsInFile},  {home / "fifo.txt", "fifo.txt”不是普通文件"},
        {"/dev/null", "/dev/null”不是普通文件"},
    };
    for (const auto& [file, says] : files) {
        const CliRun r = cli({"--home", home.path().string(), "import", file.string()});
        EXPECT_EQ(r.status, 1) << file;
        EXPECT_NE(r.err.find(says), std::string::npos) << r.err;
        EXPECT_EQ(storedDraws(home.path()), 10u) << file;
    }
}

TEST(Cli, ImportStoresTheDrawsInIssueOrderInAnyEncoding) {
    // Across a year end, shuffled, with an issue repeated after its first line.
    const auto draws = test::syntheticDraws(40, 9, 2013340);
    auto shuffled = draws;
    std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(5));
    std::string text = historyText(shuffled);
    text += formatDrawLine(shuffled[3].issue, {9, 9, 9}) + "\r\n";
    const auto expected = rowsFromDraws(draws, 1);
    for (const std::string& content : {text, utf16(text, false), utf16(text, true)}) {
        TestFolder home;
        test::writeFile(home / "a.txt", content);
        const CliRun r = cli({"--home", home.path().string(), "import", (home / "a.txt").string()});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find("重复期号 1 行"), std::string::npos) << r.out;
        auto store = HistoryStore::open(home / kDatabaseFile);
        const auto rows = (*(*store)->loadSnapshot())->rows();
        ASSERT_EQ(rows.size(), expected.size());
        for (std::size_t i = 0; i < rows.size(); ++i)
            EXPECT_TRUE(rows[i].sqqh == expected[i].sqqh && rows[i].own == expected[i].own &&
                        rows[i].prev == expected[i].prev && rows[i].back == expected[i].back &&
                        rows[i].last == expected[i].last)
                << i;
    }
}

TEST(Cli, ExportNeedsADatabaseAndTakesTheLongestNames) {
    TestFolder home;
    const auto none = home / "none";
    CliRun r = cli({"--home", none.string(), "export", (home / "x.txt").string()});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(kDatabaseFile), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(home / "x.txt"));
    EXPECT_FALSE(std::filesystem::exists(none)) << "nothing is created to export";

    writeSmallHistory(home.path());
    for (std::size_t length : {237, 255}) {
        const auto file = home / (std::string(length - 4, 'a') + ".txt");
        r = cli({"--home", home.path().string(), "export", file.string()});
        ASSERT_EQ(r.status, 0) << length << r.err;
        EXPECT_EQ(test::readFile(file), historyText(test::storedDraws(home / kDatabaseFile)));
    }
}

// A name a workbook goes by gets the workbook the window writes of its history grid, never text.
TEST(Cli, ExportToAWorkbookNameWritesTheHistoryWorkbook) {
    TestFolder home;
    writeSmallHistory(home.path());
    const auto book = home / "h.XLSX";
    const CliRun r = cli({"--home", home.path().string(), "export", book.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("导出 10 期到 "), std::string::npos) << r.out;
    // As an independent reader of workbooks sees it.
    const CliRun read = run({"/usr/bin/python3", "-c",
                             "import sys, openpyxl\n"
                             "for row in openpyxl.load_workbook(open(sys.argv[1], 'rb'))['Sheet1'].values:\n"
                             "    print('\\t'.join('' if v is None else str(v) for v in row))",
                             book.string()});
    ASSERT_EQ(read.status, 0) << read.err;
    std::string rows =
        "福彩3D历史号码：第 2013001 期至第 2013010 期，共 10 期\t\t\t\n期号\t第1位\t第2位\t第3位\n";
    for (const DrawLine& d : test::storedDraws(home / kDatabaseFile))
        rows += std::to_string(d.issue) + "\t" + std::to_string(d.digits[0]) + "\t" +
                std::to_string(d.digits[1]) + "\t" + std::to_string(d.digits[2]) + "\n";
    EXPECT_EQ(read.out, rows);
}

// Whatever FILE names, export and import treat it as any Unix tool does: "-" is the standard
// stream, a link is followed and its target replaced, a FIFO or a device takes the bytes as they
// are, a folder or a socket is refused. Every case is made here, in a folder of the test.
TEST(Cli, ExportAndImportTakeFilesAsAnyUnixTool) {
    TestFolder home, place;
    writeSmallHistory(home.path());
    const std::string text = historyText(test::storedDraws(home / kDatabaseFile));
    std::filesystem::create_directory(place / "sub");
    test::writeFile(place / "sub" / "old.txt", "old");
    std::filesystem::create_symlink("sub/old.txt", place / "link");
    std::filesystem::create_symlink("sub/new.txt", place / "dangling");
    ::mkfifo((place / "fifo").c_str(), 0644);
    std::filesystem::create_directory(place / "folder");
    const int socket = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, (place / "socket").c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    // A device that takes nothing, as a full disk does, where this system lets the test make one.
    const bool devices = ::mknod((place / "full").c_str(), S_IFCHR | 0644, makedev(1, 7)) == 0;

    const auto typeOf = [](const std::filesystem::path& p) {
        return std::filesystem::symlink_status(p).type();
    };
    using Type = std::filesystem::file_type;
    struct Case {
        std::string target;
        int status;
        const char* says;
        std::function<void()> check;
    };
    std::string fromFifo;
    const std::vector<Case> cases = {
        {"-", 0, "到 标准输出", [] {}},
        {(place / "link").string(), 0, "导出 10 期",
         [&] {
             EXPECT_EQ(typeOf(place / "link"), Type::symlink);
             EXPECT_EQ(test::readFile(place / "sub" / "old.txt"), text);
             EXPECT_EQ(test::folderContents(place / "sub"), std::vector<std::string>{"old.txt"});
         }},
        {(place / "dangling").string(), 0, "导出 10 期",
         [&] { EXPECT_EQ(test::readFile(place / "sub" / "new.txt"), text); }},
        {(place / "fifo").string(), 0, "导出 10 期",
         [&] {
             EXPECT_EQ(fromFifo, text);
             EXPECT_EQ(typeOf(place / "fifo"), Type::fifo);
         }},
        {(place / "full").string(), 1, "磁盘已满",
         [&] { EXPECT_EQ(typeOf(place / "full"), Type::character); }},
        {(place / "folder").string(), 1, "是文件夹",
         [&] { EXPECT_TRUE(test::folderContents(place / "folder").empty()); }},
        {(place / "socket").string(), 1, "是套接字",
         [&] { EXPECT_EQ(typeOf(place / "socket"), Type::socket); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.target);
        if (c.target.ends_with("full") && !devices)
            continue;
        // The FIFO's reader is there before the export starts; the draws fit in its buffer.
        const int reader = c.target.ends_with("fifo") ? ::open(c.target.c_str(), O_RDONLY | O_NONBLOCK) : -1;
        const CliRun r = cli({"--home", home.path().string(), "export", c.target});
        if (reader >= 0) {
            char buffer[4096];
            for (ssize_t n; (n = ::read(reader, buffer, sizeof buffer)) > 0;)
                fromFifo.append(buffer, static_cast<std::size_t>(n));
            ::close(reader);
        }
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
        if (c.target == "-") {
            EXPECT_EQ(r.out, text) << "nothing but the draws on the standard output";
        }
        c.check();
    }
    ::close(socket);

    // "-" reads the draws from the standard input.
    TestFolder other;
    const CliRun r = cli({"--home", other.path().string(), "import", "-"}, false, place / "sub" / "old.txt");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(historyText(test::storedDraws(other / kDatabaseFile)), text);
}

TEST(Cli, UndoBringsBackTheHistoryBeforeTheLastImport) {
    TestFolder home;
    writeSmallHistory(home.path());
    const auto database = home / kDatabaseFile;
    const auto original = test::storedDraws(database);
    const std::string h = home.path().string();
    ASSERT_TRUE(writeHistoryFile(home / "b.txt", test::syntheticDraws(3, 4, 2020001)));
    ASSERT_EQ(cli({"--home", h, "import", (home / "b.txt").string()}).status, 0);
    CliRun r = cli({"--home", h, "undo"});
    EXPECT_EQ(r.status, 1) << "asked, not done";
    EXPECT_NE(r.out.find("读入 b.txt"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("之前的 10 期"), std::string::npos) << r.out;
    EXPECT_EQ(test::storedDraws(database).size(), 3u);
    r = cli({"--home", h, "undo", "--yes"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(test::storedDraws(database), original);
    EXPECT_EQ((*(*HistoryStore::open(database))->loadSnapshot())->last()->last[0], "888")
        << "the rows are derived again";
}

TEST(Cli, DamagedReadOnlyAndFullFoldersAreToldApart) {
    // A writer still at work keeps its last changes in the log beside its database (as one killed
    // after its commit, before folding it into the file, leaves them).
    TestFolder other;
    test::writeDatabase(other.path(), test::syntheticDraws(3300, 5));
    SQLite::Database writer(other / kDatabaseFile, SQLite::OPEN_READWRITE);
    writer.exec("PRAGMA wal_autocheckpoint=0;"
                " DELETE FROM Lishi WHERE SQQH IN (SELECT SQQH FROM Lishi ORDER BY SQQH DESC LIMIT 300)");
    const std::string log = std::string(kDatabaseFile) + "-wal";
    const std::string big = (other / "big.txt").string();
    ASSERT_TRUE(writeHistoryFile(big, test::syntheticDraws(20000, 6)));
    using Spoil = std::function<void(const std::filesystem::path&)>;
    const auto copied = [&other](std::vector<std::string> names, bool readOnly) -> Spoil {
        return [&other, names, readOnly](const std::filesystem::path& home) {
            if (std::ranges::find(names, kDatabaseFile) == names.end())
                writeSmallHistory(home);
            for (const auto& name : names)
                std::filesystem::copy_file(other / name, home / name);
            if (readOnly)
                ::chmod(home.c_str(), 0555);
        };
    };
    const Spoil damaged = [](const std::filesystem::path& home) {
        test::writeDatabase(home, test::syntheticDraws(3000, 9));
        std::string bytes = test::readFile(home / kDatabaseFile);
        for (std::size_t i = 8192; i < bytes.size(); i += 7)
            bytes[i] = static_cast<char>(0xA5);
        test::writeFile(home / kDatabaseFile, bytes);
    };
    const std::vector<std::string> add = {"add", "2020001", "123"};
    struct Case {
        const char* name;
        Spoil spoil;
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const std::vector<Case> cases = {
        {"a damaged page", damaged, add, 1, "lsbf.txt"},
        {"the log of another folder", copied({log}, false), {"follow"}, 1, "不相符"},
        {"a read-only folder",
         copied({}, true),
         {"follow", "--positions", "fixed", "--format", "json"},
         0,
         "\"matched\": 2"},
        {"a read-only folder", copied({}, true), add, 1, "数据文件夹只读"},
        {"a read-only folder holding a log",
         copied({kDatabaseFile, log, log.substr(0, log.size() - 3) + "shm"}, true),
         {"export", (other / "out.txt").string()},
         0,
         "导出 3000 期"},
        {"a read-only file",
         [](const auto& home) { writeSmallHistory(home), ::chmod((home / kDatabaseFile).c_str(), 0444); },
         add, 1, "数据库文件只读"},
        {"a full disk", writeSmallHistory, {"import", big, "--force"}, 1, "磁盘已满"},
        {"an empty file", [](const auto& home) { test::writeFile(home / kDatabaseFile, ""); }, add, 0,
         "0 字节"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder home;
        c.spoil(home.path());
        const auto files = std::pair(test::readFile(home / kDatabaseFile), test::readFile(home / log));
        std::vector<std::string> args = {"--home", home.path().string()};
        args.insert(args.end(), c.args.begin(), c.args.end());
        std::optional<test::FileSizeLimit> disk;
        if (c.args[0] == "import")
            disk.emplace(1 << 20);
        const CliRun r = cli(args, true);
        disk.reset();
        EXPECT_EQ(r.status, c.status) << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
        if (c.status != 0) {
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
            EXPECT_TRUE(files == std::pair(test::readFile(home / kDatabaseFile), test::readFile(home / log)))
                << "neither the database nor its log is written";
        }
        ::chmod(home.path().c_str(), 0755);
    }
}

// The window's rebuilds and compactions in one process against the companion's appends, for a
// few seconds: every save the companion reported survives, each row describes the row before
// it, and the file is sound.
TEST(Stress, EveryReportedSaveSurvivesTheWindowsRebuildsAndCompactions) {
    TestFolder home;
    test::writeDatabase(home.path(), test::syntheticDraws(300, 41));
    const std::string h = home.path().string();
    std::atomic<bool> windowDone = false;
    CliRun window;
    std::thread side([&] {
        window = run({BRENVIK_CRASH_CHILD, "window-side", h, "3"});
        windowDone = true;
    });
    std::map<std::int32_t, std::string> saved;
    std::mt19937 gen(7);
    for (std::int32_t issue = 2010001; !windowDone;) {
        const std::string digits = std::to_string(1000 + gen() % 1000).substr(1);
        const CliRun r = cli({"--home", h, "add", std::to_string(issue), digits});
        EXPECT_TRUE(r.status == 0 || r.err.find("正被另一个 Brenvik") != std::string::npos) << r.err;
        if (r.status == 0)
            saved[issue] = digits, issue = nextIssueProposal(issue);
    }
    side.join();
    EXPECT_EQ(window.status, 0);
    int rounds = 0, failed = -1;
    std::istringstream(window.out) >> rounds >> failed;
    EXPECT_GT(rounds, 0);
    EXPECT_EQ(failed, 0) << window.err;
    EXPECT_FALSE(saved.empty());

    EXPECT_EQ(SQLite::Database(h + "/" + kDatabaseFile).execAndGet("PRAGMA integrity_check").getString(),
              "ok");
    const auto history = *(*HistoryStore::open(home / kDatabaseFile))->loadSnapshot();
    std::map<std::int32_t, std::string> found;
    std::string before;
    for (const DrawRow& r : history->rows()) {
        const std::string digits = {char('0' + r.digit(1)), char('0' + r.digit(2)), char('0' + r.digit(3))};
        ASSERT_EQ(r.last[0], before) << "row " << r.sqqh << " describes another draw than the one before it";
        before = digits;
        if (r.sqqh >= 2010001)
            found[r.sqqh] = digits;
    }
    EXPECT_EQ(found, saved);
}

TEST(Cli, EveryCommandPrintsItsOwnHelp) {
    // The command, an option that it takes and one that it does not take (and its help does not list).
    const std::vector<std::tuple<std::vector<std::string>, std::string, std::string>> commands = {
        {{"import"}, "--force", "--yes"},
        {{"export"}, "--game", "--segment"},
        {{"add"}, "DDD", "--force"},
        {{"undo"}, "--yes", "--segment"},
        {{"follow"}, "--check", "--size"},
        {{"combo"}, "--size", "--check"},
        {{"backtest"}, "--check", "--matched"},
        {{"log", "add"}, "--search", "--before"},
        {{"log", "play"}, "--ticket", "--check"},
        {{"log", "list"}, "--format", "--check"},
        {{"update"}, "--years", "--format"}};
    for (const auto& [command, option, other] : commands) {
        std::vector<std::string> args = command;
        args.push_back("--help");
        const CliRun r = cli(args);
        const std::string name = command.size() == 1 ? command[0] : command[0] + " " + command[1];
        EXPECT_EQ(r.status, 0) << name;
        EXPECT_TRUE(r.err.empty()) << r.err;
        EXPECT_EQ(r.out.rfind("Usage: brenvik3d-cli " + name + " ", 0), 0u) << r.out;
        EXPECT_NE(r.out.find("\n  " + option + " "), std::string::npos) << r.out;
        EXPECT_EQ(r.out.find(other), std::string::npos) << r.out;
    }
}

TEST(Cli, MistakesInTheOptionsEveryCommandTakes) {
    TestFolder home;
    const auto folder = home / "data";
    const std::vector<std::pair<std::vector<std::string>, std::string>> mistakes = {
        {{"--home", "", "follow"}, "--home needs a folder"},
        {{"--game", "ssq", "follow"}, "--game must be 3d or pl3, not ssq"},
        {{"follow", "--game", "ssq"}, "--game must be 3d or pl3, not ssq"},
        {{"follow", "--pattern", "1,2,3", "--before", "2013005"}, "cannot be used together"},
        {{"undo", "--segment", "1"}, "option --segment is not for the undo command"},
        {{"update", "--force"}, "option --force is not for the update command"},
        {{"follow", "--size", "2"}, "option --size is not for the follow command"},
        {{"combo", "--home"}, "--home: 1 required DIR missing"},
        {{"--format", "json", "follow"}, "option --format comes after the command"},
    };
    for (const auto& [args, says] : mistakes) {
        std::vector<std::string> all = {"--home", folder.string()};
        all.insert(all.end(), args.begin(), args.end());
        const CliRun r = cli(all);
        EXPECT_EQ(r.status, 2) << says;
        EXPECT_TRUE(r.out.empty()) << r.out;
        EXPECT_EQ(r.err.rfind("brenvik3d-cli: ", 0), 0u) << r.err;
        EXPECT_NE(r.err.find(says + "\nusage: brenvik3d-cli --help\n"), std::string::npos) << r.err;
    }
    EXPECT_FALSE(std::filesystem::exists(folder)) << "nothing is written on a mistake";
}

// ---------------------------------------------------------------------------------------------
// Damaged, odd and hostile input

namespace {

// Every file of a folder and its bytes, but the folder's lock, which a change command makes.
std::map<std::string, std::string> folderState(const std::filesystem::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec))
        if (entry.path().filename() != kLockFile)
            files[entry.path().filename().string()] =
                entry.is_regular_file() ? test::readFile(entry.path()) : "";
    return files;
}

// The real 福彩3D history with one prediction in its logbook, as a user's folder holds it.
void writeRealHistory(const std::filesystem::path& home) {
    const auto draws = test::sampleDraws("fc3d-history.txt");
    test::writeDatabase(home, draws);
    auto store = HistoryStore::open(home / kDatabaseFile);
    LogEntry entry;
    entry.issue = nextIssueProposal(draws.back().issue);
    entry.picks = {3, 5};
    ASSERT_TRUE(store && PredictionLog::record(**store, entry));
    Play play;
    play.issue = entry.issue;
    play.ticket = Ticket::Group;
    play.numbers = {123, 447};
    ASSERT_TRUE(PredictionLog::recordPlay(**store, play));
}

// Changes bits in the middle of a leaf page of `table` (a table or an index) of a history file.
void flipBitsInPage(const std::filesystem::path& file, const char* table) {
    long long offset = 0;
    {
        SQLite::Database db("file:" + file.string() + "?immutable=1",
                            SQLite::OPEN_READONLY | SQLite::OPEN_URI);
        SQLite::Statement q(db, "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat"
                                " WHERE name = ? AND pagetype = 'leaf' ORDER BY pageno");
        q.bind(1, table);
        std::vector<std::pair<long long, long long>> pages;
        while (q.executeStep())
            pages.emplace_back(q.getColumn(0).getInt64(), q.getColumn(1).getInt64());
        ASSERT_FALSE(pages.empty());
        const auto [page, size] = pages[pages.size() / 2];
        offset = (page - 1) * size + size - 200;
    }
    std::string bytes = test::readFile(file);
    bytes[static_cast<std::size_t>(offset)] =
        static_cast<char>(bytes[static_cast<std::size_t>(offset)] ^ 0x04);
    test::writeFile(file, bytes);
}

} // namespace

// Both change commands and the export call a damaged history damaged, in the same words, before
// they write anything; restore rebuilds it and keeps the damaged file, and the logbook with it
// where the file still yields it.
TEST(Cli, DamageIsFoundBeforeAnyChangeOrExportAndRestoredKeepingTheDamagedFile) {
    using Spoil = std::function<void(const std::filesystem::path&)>;
    const auto bytes = [](auto change) -> Spoil {
        return [change](const std::filesystem::path& file) {
            std::string b = test::readFile(file);
            change(b);
            test::writeFile(file, b);
        };
    };
    struct Case {
        const char* name;
        Spoil spoil;
        const char* says;
        bool logbookKept;
    };
    const std::vector<Case> cases = {
        {"a header byte", bytes([](std::string& b) { b[0] ^= 0x01; }), "不是数据库文件", false},
        {"the file format byte", bytes([](std::string& b) { b[47] = 9; }), "不是数据库文件", false},
        {"a bit of an index page", [](const auto& file) { flipBitsInPage(file, "LishiDraws"); },
         "索引与表中的数据不符", true},
        {"a digit out of range",
         [](const auto& file) {
             SQLite::Database(file, SQLite::OPEN_READWRITE)
                 .exec("UPDATE Lishi SET L2A = 20 WHERE SQQH = 2024001");
         },
         "第 2024001 期存的号码不是三个 0～9 的数字", true},
        {"a cut file", bytes([](std::string& b) { b.resize(b.size() / 2); }), "内容残缺或有误", false},
    };
    const std::string sample = test::sampleFile("fc3d-history.txt").string();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder home;
        writeRealHistory(home.path());
        const auto database = home / kDatabaseFile;
        c.spoil(database);
        const auto before = folderState(home.path());
        const std::string damaged = test::readFile(database);
        const std::string h = home.path().string();
        const auto out = home.path().parent_path() / (home.path().filename().string() + "-out.txt");
        const CliRun exported = cli({"--home", h, "export", out.string()});
        EXPECT_EQ(exported.status, 1);
        EXPECT_NE(exported.err.find("已损坏"), std::string::npos) << exported.err;
        EXPECT_NE(exported.err.find(c.says), std::string::npos) << exported.err;
        EXPECT_NE(exported.err.find("brenvik3d-cli restore"), std::string::npos) << exported.err;
        EXPECT_FALSE(std::filesystem::exists(out)) << "nothing is exported from a damaged file";
        for (const std::vector<std::string>& change : {std::vector<std::string>{"add", "2026225", "123"},
                                                       {"import", sample},
                                                       {"log", "withdraw", "1"}}) {
            const CliRun r = cli({"--home", h, change[0], change[1], change.size() > 2 ? change[2] : "--"});
            EXPECT_EQ(r.status, 1) << change[0];
            EXPECT_EQ(r.err, exported.err) << "one verdict, in the same words: " << change[0];
        }
        EXPECT_EQ(folderState(home.path()), before) << "nothing written, nothing made beside it";

        const CliRun restored = cli({"--home", h, "restore", sample});
        ASSERT_EQ(restored.status, 0) << restored.err;
        EXPECT_NE(restored.out.find("7,731 期"), std::string::npos) << restored.out;
        int copies = 0;
        for (const auto& [name, content] : folderState(home.path()))
            if (name.starts_with(std::string(kDatabaseFile) + ".damaged-"))
                copies += content == damaged;
        EXPECT_EQ(copies, 1) << "the damaged file is kept as it was";
        EXPECT_EQ(test::storedDraws(database), test::sampleDraws("fc3d-history.txt"));
        const CliRun logbook = cli({"--home", h, "log", "list", "--format", "json"});
        ASSERT_EQ(logbook.status, 0) << logbook.err;
        EXPECT_EQ(nlohmann::json::parse(logbook.out)["entries"].size(), c.logbookKept ? 1u : 0u);
        EXPECT_EQ(nlohmann::json::parse(logbook.out)["plays"].size(), c.logbookKept ? 1u : 0u);
        EXPECT_EQ(cli({"--home", h, "restore", sample}).status, 1) << "a sound history is not restored";
    }
}

// Searches, tables, exports and listings create, rename and write nothing in the data folder,
// whatever it holds; what only a change may put right is said, with what to do.
TEST(Cli, ReadCommandsLeaveTheFolderAsItIs) {
    using Fill = std::function<void(const std::filesystem::path&)>;
    const auto other = [](const std::filesystem::path& home) {
        test::writeDatabase(home, test::sampleDraws("pl3-history.txt"), 1, Game::Pl3);
        std::filesystem::rename(home / databaseFileName(Game::Pl3), home / kDatabaseFile);
    };
    const auto older = [](const std::filesystem::path& home) {
        test::writeDatabase(home, test::syntheticDraws(500, 3));
        SQLite::Database(home / kDatabaseFile, SQLite::OPEN_READWRITE)
            .exec("DROP TABLE YuceScore; PRAGMA user_version = 3");
    };
    const std::vector<std::tuple<const char*, Fill, const char*>> folders = {
        {"the other game's history under this game's name", other, "改名为 kestrelPL3.mdb"},
        {"a history of the first version",
         [](const auto& home) { test::writeUnmarkedDatabase(home, test::syntheticDraws(500, 3)); },
         "打开窗口一次"},
        {"a history of an earlier version", older, "打开窗口一次"},
        {"another format's file at the history's place",
         [](const auto& home) { test::writeFile(home / kDatabaseFile, "Standard Jet DB"); }, "已损坏"},
        {"an empty file", [](const auto& home) { test::writeFile(home / kDatabaseFile, ""); }, "0 字节"},
        {"no history", [](const auto&) {}, "没有历史数据库"},
        {"a sound history", [](const auto& home) { test::writeDatabase(home, test::syntheticDraws(500, 3)); },
         ""},
    };
    for (const auto& [name, fill, says] : folders) {
        SCOPED_TRACE(name);
        TestFolder home;
        fill(home.path());
        const auto before = folderState(home.path());
        const std::string h = home.path().string();
        const auto out = home.path().parent_path() / (home.path().filename().string() + "-out.txt");
        for (const std::vector<std::string>& command : {std::vector<std::string>{"follow"},
                                                        {"export", out.string()},
                                                        {"omission"},
                                                        {"backtest"},
                                                        {"log", "list"},
                                                        {"filter"}}) {
            std::vector<std::string> args = {"--home", h};
            args.insert(args.end(), command.begin(), command.end());
            const CliRun r = cli(args);
            // The logbook and the number filter answer for a game without a history too.
            const bool answersWithout =
                std::string_view(name) == "no history" && (command[0] == "log" || command[0] == "filter");
            if (*says && !answersWithout) {
                EXPECT_NE(r.err.find(says), std::string::npos) << command[0] << ": " << r.err;
            }
            EXPECT_EQ(folderState(home.path()), before) << command[0];
            EXPECT_FALSE(std::filesystem::exists(home / kLockFile)) << command[0];
        }
        std::filesystem::remove(out);
    }
}

// A pipe, a folder or a socket where the history or its log should be is refused at once, by
// every command; a folder whose name is not UTF-8 is used as it is named.
TEST(Cli, WhatIsNotAFileIsRefusedAtOnce) {
    using Make = std::function<void(const std::filesystem::path&)>;
    const auto socketAt = [](const std::filesystem::path& path) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0) << path;
        ::close(fd);
    };
    const std::vector<std::pair<const char*, Make>> odd = {
        {"a pipe", [](const auto& home) { ::mkfifo((home / kDatabaseFile).c_str(), 0644); }},
        {"a folder", [](const auto& home) { std::filesystem::create_directory(home / kDatabaseFile); }},
        {"a socket", [&](const auto& home) { socketAt(home / kDatabaseFile); }},
        {"a pipe as the log",
         [](const auto& home) {
             writeSmallHistory(home);
             ::mkfifo((home / (std::string(kDatabaseFile) + "-wal")).c_str(), 0644);
         }},
    };
    const std::string sample = test::sampleFile("fc3d-history.txt").string();
    for (const auto& [name, make] : odd) {
        SCOPED_TRACE(name);
        TestFolder home;
        make(home.path());
        const std::string h = home.path().string();
        for (const std::vector<std::string>& command : {std::vector<std::string>{"follow"},
                                                        {"export", (home / "out.txt").string()},
                                                        {"add", "2026225", "123"},
                                                        {"import", sample},
                                                        {"restore", sample},
                                                        {"undo"},
                                                        {"log", "list"}}) {
            std::vector<std::string> args = {"--home", h};
            args.insert(args.end(), command.begin(), command.end());
            const auto started = std::chrono::steady_clock::now();
            const CliRun r = cli(args);
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << command[0];
            EXPECT_EQ(r.status, 1) << command[0];
            EXPECT_NE(r.err.find("不是普通文件"), std::string::npos) << command[0] << ": " << r.err;
        }
    }

    // A folder name that is not UTF-8 names that folder, and no other.
    TestFolder parent;
    const std::filesystem::path home = parent.path() / std::string("\xB2\xCA\xC6\xB1\xff", 5);
    ASSERT_EQ(cli({"--home", home.string(), "import", sample}).status, 0);
    const CliRun found = cli({"--home", home.string(), "follow", "--format", "json"});
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(test::folderContents(parent.path()), std::vector<std::string>{home.filename().string()});
    EXPECT_EQ(test::storedDraws(home / kDatabaseFile).size(), 7731u);
}

// On a full disk the history is read, searched and exported to another disk as ever; a change is
// refused with that reason and the folder stays as it was. The disk is a small file system of a
// mount namespace of the test's own (skipped where the system allows none).
TEST(Cli, AFullDiskIsReadAndRefusesChangesWithThatReason) {
    if (run({"/usr/bin/unshare", "-rm", "true"}).status != 0)
        GTEST_SKIP() << "no mount namespace of the test's own here";
    TestFolder dir;
    std::filesystem::create_directories(dir / "source");
    writeRealHistory(dir / "source");
    std::filesystem::create_directories(dir / "disk");
    std::filesystem::create_directories(dir / "out");
    const std::vector<std::vector<std::string>> commands = {
        {"follow"},
        {"export", (dir / "out" / "all.txt").string()},
        {"log", "list"},
        {"omission"},
        {"add", "2026225", "123"},
        {"import", test::sampleFile("pl3-history.txt").string(), "--force"}};
    // Everything runs inside the namespace, where the small disk is; results land in out/.
    std::string script = "set -e; mount -t tmpfs -o size=4m tmpfs \"$1\"; cp \"$2\"/* \"$1\"/;"
                         " dd if=/dev/zero of=\"$1\"/fill bs=4k 2>/dev/null || true; set +e;"
                         " cksum \"$1\"/kestrel3D* > \"$3\"/before;";
    for (std::size_t i = 0; i < commands.size(); ++i) {
        script += " \"$4\" --home \"$1\"";
        for (const auto& word : commands[i])
            script += " '" + word + "'";
        script += " >\"$3\"/" + std::to_string(i) + ".out 2>\"$3\"/" + std::to_string(i) +
                  ".err; echo $? >\"$3\"/" + std::to_string(i) + ".status;";
    }
    script += " cksum \"$1\"/kestrel3D* > \"$3\"/after";
    const CliRun r = run({"/usr/bin/unshare", "-rm", "/bin/sh", "-c", script, "sh", (dir / "disk").string(),
                          (dir / "source").string(), (dir / "out").string(), BRENVIK_CLI});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto result = [&](std::size_t i, const char* what) {
        return test::readFile(dir / "out" / (std::to_string(i) + what));
    };
    for (std::size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(commands[i][0]);
        const bool change = commands[i][0] == "add" || commands[i][0] == "import";
        EXPECT_EQ(result(i, ".status"), change ? "1\n" : "0\n") << result(i, ".err");
        if (change) {
            EXPECT_NE(result(i, ".err").find("磁盘已满"), std::string::npos) << result(i, ".err");
        }
    }
    EXPECT_EQ(test::readFile(dir / "out" / "all.txt"), historyText(test::sampleDraws("fc3d-history.txt")));
    EXPECT_EQ(test::readFile(dir / "out" / "before"), test::readFile(dir / "out" / "after"));
}

// The system's common errors are said in the program's words; any other follows in brackets.
TEST(Cli, SystemErrorsAreSaidInChinese) {
    TestFolder home;
    writeSmallHistory(home.path());
    const std::string h = home.path().string();
    test::writeFile(home / "locked.txt", "2013011 123\r\n");
    ::chmod((home / "locked.txt").c_str(), 0);
    std::filesystem::create_symlink("loop", home / "loop");
    std::filesystem::create_symlink("loop", home / "loop2");
    std::filesystem::remove(home / "loop");
    std::filesystem::create_symlink("loop2", home / "loop");
    test::writeFile(home / "plain", "");
    std::string header = test::readFile(home / kDatabaseFile);
    const struct {
        std::vector<std::string> args;
        const char* says;
    } cases[] = {
        {{"import", (home / "missing.txt").string()}, "：没有这个文件或文件夹"},
        {{"import", (home / "locked.txt").string()}, "：没有权限"},
        {{"import", (home / std::string(300, 'a')).string()}, "：文件名太长"},
        {{"import", (home / "loop").string()}, "：系统报告错误（Too many levels of symbolic links）"},
        {{"--home", (home / "plain" / "sub").string(), "add", "2013011", "123"}, "：没有这个文件或文件夹"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--home", h};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliRun r = cli(args, true);
        EXPECT_EQ(r.status, 1) << c.says;
        EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        for (const char* english : {"No such", "denied", "too long", "not a database", "unsupported"})
            EXPECT_EQ(r.err.find(english), std::string::npos) << r.err;
    }
    header[0] = 'X';
    test::writeFile(home / kDatabaseFile, header);
    const CliRun damaged = cli({"--home", h, "follow"});
    EXPECT_NE(damaged.err.find("（不是数据库文件）"), std::string::npos) << damaged.err;
}

namespace {

// Spoils a history file and puts its time back, as a tool that edits files in place may: only
// its bytes tell.
void spoilKeepingTime(const std::filesystem::path& file,
                      const std::function<void(const std::filesystem::path&)>& spoil) {
    const auto time = std::filesystem::last_write_time(file);
    spoil(file);
    std::filesystem::last_write_time(file, time);
}

// The bit of a leaf page's header that holds the number of its cells.
void flipCellCount(const std::filesystem::path& file, const char* table) {
    long long offset = 0;
    {
        SQLite::Database db("file:" + file.string() + "?immutable=1",
                            SQLite::OPEN_READONLY | SQLite::OPEN_URI);
        SQLite::Statement q(db, "SELECT pageno, (SELECT page_size FROM pragma_page_size) FROM dbstat"
                                " WHERE name = ? AND pagetype = 'leaf' ORDER BY pageno");
        q.bind(1, table);
        std::vector<std::pair<long long, long long>> pages;
        while (q.executeStep())
            pages.emplace_back(q.getColumn(0).getInt64(), q.getColumn(1).getInt64());
        ASSERT_FALSE(pages.empty());
        const auto [page, size] = pages[pages.size() / 2];
        offset = (page - 1) * size + 4;
    }
    std::string bytes = test::readFile(file);
    bytes[static_cast<std::size_t>(offset)] =
        static_cast<char>(bytes[static_cast<std::size_t>(offset)] ^ 0x01);
    test::writeFile(file, bytes);
}

void setDigit(const std::filesystem::path& file, const char* value) {
    SQLite::Database(file, SQLite::OPEN_READWRITE)
        .exec(std::string("UPDATE Lishi SET L1A = ") + value + " WHERE SQQH = 2020100");
}

} // namespace

// Every command that reads the history answers from a damaged file as from the sound one, or
// says it is damaged and exits with 1: never a wrong answer. A sealed file is known by its bytes,
// whatever time it shows; the engine's own words come only with --verbose.
TEST(Cli, ReadsAnswerSoundlyOrNotAtAll) {
    using Spoil = std::function<void(const std::filesystem::path&)>;
    const std::vector<std::pair<const char*, Spoil>> damages = {
        {"a bit of an index page", [](const auto& f) { flipBitsInPage(f, "LishiDraws"); }},
        {"a bit of a table page", [](const auto& f) { flipBitsInPage(f, "Lishi"); }},
        {"the cell count of an index page", [](const auto& f) { flipCellCount(f, "LishiDraws"); }},
        {"a digit stored as a letter", [](const auto& f) { setDigit(f, "'x'"); }},
        {"a digit stored as 3.5", [](const auto& f) { setDigit(f, "3.5"); }},
    };
    const std::vector<std::vector<std::string>> reads = {
        {"follow"},
        {"combo", "--size", "1"},
        {"filter", "--sum", "10-17"},
        {"backtest", "--range", "2026100:2026224"},
        {"omission"},
        {"omission", "--range", "2020001:2020351"},
        {"log", "list"},
        {"export", "-"},
    };
    TestFolder sound;
    writeRealHistory(sound.path());
    // A change seals the file, as a user's own last change did.
    ASSERT_EQ(cli({"--home", sound.path().string(), "add", "2026225", "123"}).status, 0);
    std::vector<CliRun> answers;
    for (const auto& read : reads) {
        std::vector<std::string> args = {"--home", sound.path().string()};
        args.insert(args.end(), read.begin(), read.end());
        answers.push_back(cli(args));
        ASSERT_EQ(answers.back().status, 0) << read[0] << answers.back().err;
    }
    for (const auto& [name, spoil] : damages) {
        SCOPED_TRACE(name);
        TestFolder home;
        for (const auto& entry : std::filesystem::directory_iterator(sound.path()))
            std::filesystem::copy(entry.path(), home / entry.path().filename().string());
        spoilKeepingTime(home / kDatabaseFile, spoil);
        for (std::size_t i = 0; i < reads.size(); ++i) {
            std::vector<std::string> args = {"--home", home.path().string()};
            args.insert(args.end(), reads[i].begin(), reads[i].end());
            const CliRun r = cli(args);
            if (r.status == 0) {
                EXPECT_EQ(r.out, answers[i].out) << reads[i][0] << ": an answer is the sound one";
            } else {
                EXPECT_EQ(r.status, 1) << reads[i][0];
                EXPECT_NE(r.err.find("已损坏"), std::string::npos) << reads[i][0] << r.err;
                EXPECT_EQ(r.out, "") << reads[i][0];
            }
        }
        const CliRun plain = cli({"--home", home.path().string(), "follow"});
        const CliRun verbose = cli({"--home", home.path().string(), "--verbose", "follow"});
        EXPECT_EQ(verbose.err.rfind(plain.err, 0), 0u) << "the same message first";
        const std::string detail = verbose.err.substr(plain.err.size());
        if (std::string_view(name).starts_with("a digit")) {
            EXPECT_EQ(detail, "") << "the program's own finding is said whole in its message";
        } else {
            EXPECT_TRUE(detail.starts_with("详细信息：")) << verbose.err;
            const std::string words = detail.substr(std::string("详细信息：").size());
            ASSERT_GT(words.size(), 1u);
            EXPECT_EQ(plain.err.find(words.substr(0, words.size() - 1)), std::string::npos)
                << "the engine's words are not in the message: " << plain.err;
        }
    }
}

// An export never writes over a file the program keeps in its data folder, named or reached by
// a link, there or not yet: the database, its log, index and seal, either game's, the backups,
// the lock.
TEST(Cli, NothingIsExportedOverTheProgramsOwnFiles) {
    TestFolder home;
    writeRealHistory(home.path());
    const std::string h = home.path().string();
    ASSERT_EQ(cli({"--home", h, "import", test::sampleFile("fc3d-history.txt").string()}).status, 0);
    test::writeFile(home / kBackupFile, "2013001 123\r\n");
    TestFolder links;
    const std::vector<std::string> owns = {
        kDatabaseFile, "kestrel3D.mdb-wal", "kestrel3D.mdb-shm", "kestrel3D.mdb-seal", "kestrel3DUndo.txt",
        kBackupFile,   kLockFile,           "kestrelPL3.mdb",    "lsbfPL3.txt"};
    std::filesystem::create_hard_link(home / kDatabaseFile, links / "hard.mdb");
    const auto before = folderState(home.path());
    std::vector<std::filesystem::path> targets = {links / "hard.mdb"};
    for (const std::string& own : owns) {
        targets.push_back(home / own);
        targets.push_back(links / (own + ".link"));
        std::filesystem::create_symlink(home / own, targets.back());
        targets.push_back(home.path() / "." / "sub" / ".." / own);
    }
    std::filesystem::create_directories(home / "sub");
    for (const auto& target : targets) {
        const CliRun r = cli({"--home", h, "export", target.string()});
        EXPECT_EQ(r.status, 1) << target;
        EXPECT_NE(r.err.find("不能导出到"), std::string::npos) << target << r.err;
    }
    std::filesystem::remove(home / "sub");
    EXPECT_EQ(folderState(home.path()), before) << "nothing changed, nothing made beside";
    for (const std::string& own : owns)
        EXPECT_TRUE(std::filesystem::is_symlink(links / (own + ".link"))) << own;
    ASSERT_EQ(cli({"--home", h, "export", (links / "mine.txt").string()}).status, 0) << "any other file";
}

// Whatever lies at the history's place (zeros over its first pages, text, a picture, one byte,
// another program's database), a change says so and offers the restore, which keeps the file
// aside, rebuilds the history and leaves nothing else beside it.
TEST(Cli, RestoreRebuildsWhateverLiesAtTheHistorysPlace) {
    using Fill = std::function<void(const std::filesystem::path&)>;
    const auto zeros = [](const std::filesystem::path& file) {
        std::string bytes = test::readFile(file);
        std::fill_n(bytes.begin(), std::min<std::size_t>(bytes.size(), 40 * 16384), '\0');
        test::writeFile(file, bytes);
    };
    const auto sqlite = [](int applicationId) {
        return [applicationId](const std::filesystem::path& file) {
            std::filesystem::remove(file);
            SQLite::Database db(file, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
            db.exec("PRAGMA application_id=" + std::to_string(applicationId) +
                    "; CREATE TABLE notes(x); INSERT INTO notes VALUES ('mine')");
        };
    };
    const std::vector<std::tuple<const char*, Fill, const char*>> cases = {
        {"zeros", zeros, "已损坏（不是数据库文件）"},
        {"text", [](const auto& f) { test::writeFile(f, std::string(5000, 'a')); },
         "已损坏（不是数据库文件）"},
        {"a picture",
         [](const auto& f) { test::writeFile(f, "\x89PNG\r\n\x1a\n" + std::string(900, '\x07')); },
         "已损坏（不是数据库文件）"},
        {"one byte", [](const auto& f) { test::writeFile(f, "x"); }, "已损坏（文件里没有历史号码的表）"},
        {"another SQLite file", sqlite(0), "已损坏（文件里存的不是本程序的历史号码）"},
        {"another program's database", sqlite(0x12345678), "不是本程序的历史数据库"},
    };
    const std::string sample = test::sampleFile("fc3d-history.txt").string();
    for (const auto& [name, fill, says] : cases) {
        SCOPED_TRACE(name);
        TestFolder home;
        writeRealHistory(home.path());
        const auto database = home / kDatabaseFile;
        fill(database);
        const std::string old = test::readFile(database);
        const std::string h = home.path().string();
        const CliRun add = cli({"--home", h, "add", "2026225", "123"});
        EXPECT_EQ(add.status, 1);
        EXPECT_NE(add.err.find(says), std::string::npos) << add.err;
        EXPECT_EQ(test::readFile(database), old) << "never a new history in it";
        const CliRun restored = cli({"--home", h, "restore", sample});
        ASSERT_EQ(restored.status, 0) << restored.err;
        EXPECT_EQ(test::storedDraws(database), test::sampleDraws("fc3d-history.txt"));
        std::vector<std::string> names = test::folderContents(home.path());
        ASSERT_EQ(names.size(), 4u) << testing::PrintToString(names);
        EXPECT_EQ(names[0], kLockFile);
        EXPECT_EQ(names[1], kDatabaseFile);
        EXPECT_EQ(names[2], std::string(kDatabaseFile) + "-seal");
        EXPECT_TRUE(names[3].starts_with(std::string(kDatabaseFile) + ".damaged-"));
        EXPECT_EQ(test::readFile(home / names[3]), old) << "the old file kept as it was";
    }
}

// restore --salvage keeps every draw the damaged file still holds, read past its damaged pages,
// alone or completing a backup; where the two disagree the backup's draw is kept and named. The
// logbook comes with it.
TEST(Cli, SalvageKeepsEveryReadableDraw) {
    using Spoil = std::function<void(const std::filesystem::path&)>;
    struct Case {
        const char* name;
        Spoil spoil;
        bool withBackup;
        bool pageLost;    // some draws are gone with a page of the table
        const char* says; // in the restore's line
    };
    const Spoil index = [](const auto& f) { flipBitsInPage(f, "LishiDraws"); };
    const std::vector<Case> cases = {
        {"an index page damaged", index, false, false, "7,732 期"},
        {"a table page damaged", [](const auto& f) { flipCellCount(f, "Lishi"); }, false, true,
         "恢复历史号码"},
        {"a typed draw newer than the backup", index, true, false, "其中比它新的 1 期取自损坏的文件"},
        {"an issue the two disagree on",
         [&](const auto& f) {
             SQLite::Database(f, SQLite::OPEN_READWRITE)
                 .exec("UPDATE Lishi SET L3A = (L3A + 1) % 10 WHERE SQQH = 2024001");
             index(f);
         },
         true, false, "第 2024001 期损坏的文件中号码不同，保留了 fc3d-history.txt 中的号码"},
    };
    const auto sample = test::sampleDraws("fc3d-history.txt");
    auto typed = sample;
    typed.push_back({2026225, {1, 2, 3}});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestFolder home;
        writeRealHistory(home.path());
        const std::string h = home.path().string();
        ASSERT_EQ(cli({"--home", h, "add", "2026225", "123"}).status, 0);
        c.spoil(home / kDatabaseFile);
        std::vector<std::string> args = {"--home", h, "restore", "--salvage"};
        if (c.withBackup)
            args.push_back(test::sampleFile("fc3d-history.txt").string());
        const CliRun r = cli(args);
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << r.out;
        EXPECT_NE(r.out.find("保留了 1 条预测记录、1 条投注记录"), std::string::npos) << r.out;
        const auto stored = test::storedDraws(home / kDatabaseFile);
        if (!c.pageLost) {
            EXPECT_EQ(stored, typed);
            continue;
        }
        // What is stored is what was stored, less the draws of the lost page.
        EXPECT_LT(stored.size(), typed.size());
        EXPECT_GT(stored.size(), typed.size() - 200);
        EXPECT_TRUE(std::ranges::includes(typed, stored, {}, &DrawLine::issue, &DrawLine::issue));
        for (const DrawLine& d : stored)
            EXPECT_EQ(d, *std::ranges::find(typed, d.issue, &DrawLine::issue));
        EXPECT_EQ(stored.back(), typed.back()) << "the typed draw is kept";
    }
}

// A read that meets another program's change reads again by itself: none of many reads, made
// while the history changes every few milliseconds, asks the user to try again.
TEST(Cli, ReadsDuringChangesTryAgainByThemselves) {
    TestFolder home;
    test::writeDatabase(home.path(), test::syntheticDraws(2000, 5));
    std::atomic<bool> done{false};
    std::atomic<int> changes{0};
    std::thread writer([&] {
        auto store = HistoryStore::open(home / kDatabaseFile);
        ASSERT_TRUE(store);
        std::int32_t issue = 2010001;
        while (!done) {
            const DrawLine d{issue++, {1, 2, 3}};
            if ((*store)->appendDraws(std::span(&d, 1), 1))
                ++changes;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    });
    int failed = 0;
    for (int i = 0; i < 60; ++i) {
        const CliRun r = cli({"--home", home.path().string(), "follow", "--format", "json"});
        failed += r.status != 0;
        EXPECT_EQ(r.status, 0) << r.err;
    }
    done = true;
    writer.join();
    EXPECT_GT(changes, 10);
    EXPECT_EQ(failed, 0);
}

namespace {

// A chart site on 127.0.0.1 that answers every chart address with five draws of the year it
// names, until it goes.
class LoopbackChartSite {
public:
    LoopbackChartSite() : m_listener(::socket(AF_INET, SOCK_STREAM, 0)) {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 4) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no loopback port");
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { serve(); });
    }
    ~LoopbackChartSite() {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }
    std::string address() const { return "http://127.0.0.1:" + std::to_string(m_port); }

private:
    void serve() {
        for (int client; (client = ::accept(m_listener, nullptr, nullptr)) >= 0; ::close(client)) {
            std::string request;
            char buffer[4096];
            for (ssize_t n; request.find("\r\n\r\n") == std::string::npos &&
                            (n = ::read(client, buffer, sizeof buffer)) > 0;)
                request.append(buffer, static_cast<std::size_t>(n));
            const auto span = request.find("span=");
            const int year = span == std::string::npos ? 0 : std::atoi(request.substr(span + 5, 4).c_str());
            const std::string page = test::chartPage(year, test::drawsOf(year, 1, 5));
            const std::string reply = "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n"
                                      "Content-Length: " +
                                      std::to_string(page.size()) + "\r\nConnection: close\r\n\r\n" + page;
            [[maybe_unused]] const ssize_t sent = ::write(client, reply.data(), reply.size());
        }
    }

    int m_listener;
    int m_port = 0;
    std::thread m_thread;
};

} // namespace

// Installed anywhere, the companion finds its plugins from its own folder, and says which one it
// could not load and why.
TEST(Cli, PluginsAreLoadedFromBesideTheProgram) {
    LoopbackChartSite site;
    TestFolder tree;
    const auto program = tree / "bin" / "brenvik3d-cli";
    const auto plugins = (program.parent_path() / BRENVIK_PLUGINS_FROM_BIN).lexically_normal();
    std::filesystem::create_directories(program.parent_path());
    std::filesystem::create_directories(plugins);
    std::filesystem::copy_file(BRENVIK_CLI, program);
    const std::filesystem::path built = BRENVIK_PLUGINS;
    const auto html = plugins / "brenvik3d-html.so";
    const auto http = plugins / "brenvik3d-http.so";
    const auto place = [](const std::filesystem::path& from, const std::filesystem::path& to) {
        std::filesystem::remove(to);
        if (from == "garbage")
            test::writeFile(to, "not a library");
        else if (!from.empty())
            std::filesystem::copy_file(from, to);
    };
    const struct {
        const char* htmlFrom;
        const char* httpFrom;
        int status;
        std::string says;
    } cases[] = {
        {"", "", 1, "网络错误：无法载入网络组件 " + http.string() + "：没有这个文件"},
        {"", "brenvik3d-http.so", 1, "无法载入网页组件 " + html.string() + "：没有这个文件，网页未读取。"},
        {"garbage", "brenvik3d-http.so", 1,
         "网页组件 " + html.string() + "：文件已损坏，或它要用的库未安装（"},
        {"brenvik3d-http.so", "brenvik3d-http.so", 1,
         "网页组件 " + html.string() + "：它不是这一版本程序的组件"},
        {"brenvik3d-html.so", "brenvik3d-http.so", 0, "新增 15 期"},
    };
    for (const auto& c : cases) {
        place(*c.htmlFrom && std::string(c.htmlFrom) != "garbage" ? built / c.htmlFrom : c.htmlFrom, html);
        place(*c.httpFrom ? built / c.httpFrom : "", http);
        TestFolder home;
        const CliRun r = run({program.string(), "--home", home.path().string(), "--game", "pl3", "update",
                              "--site", site.address(), "--years", "2", "--pause", "0"});
        EXPECT_EQ(r.status, c.status) << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.says), std::string::npos) << r.out << r.err;
    }
}
