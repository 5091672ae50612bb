// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliInterface.h"
#include "DrawSource.h"
#include "Game.h"

#include <CLI/CLI.hpp>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace brenvik::cli {

// What the command line chose. Commands of their own files may keep further options of their own.
struct Options {
    std::string home;                   // empty: the window's default data folder
    bool quiet = false;                 // no progress lines, only errors and the result
    Game game = Game::Fc3d;             // whose history every command works on; never the saved setting
    std::vector<std::string> arguments; // FILE, or ISSUE and DDD

    // Search options, the window's first-run defaults.
    bool combination = false; // combo rather than follow
    bool freePositions = true;
    std::optional<int> back; // N of "前    期"; none for "上期"
    int type = 0;            // search type 0..3
    std::optional<std::array<int, 3>> pattern;
    std::optional<std::int32_t> before; // chosen issue, as the third tab with its limit ticked
    std::array<bool, 3> check{true, true, true};
    int size = 2;
    int resultType = 0;
    int resultPosition = 1;
    bool group = false;
    std::optional<std::pair<std::int32_t, std::int32_t>> range;
    int segment = 1;
    bool segmentGiven = false;
    bool json = false;
    bool matched = false;

    // Online update: none means the stored setting.
    std::optional<std::string> site;
    std::optional<std::string> feed; // a mirror of the operator's feed: scheme and host
    std::optional<DrawSource> source;
    std::optional<int> pauseMs; // between two page requests
    std::optional<int> years;
    bool yes = false;   // update: the retention rule may remove old draws; undo: do it, not only say what
    bool force = false; // import: also a file whose draws disagree with the history's
};

// The companion's command line: the options every command takes and one subcommand per command.
// Each command file has one function that adds its commands here (see main.cpp).
class Commands {
public:
    using Run = std::function<int(const Options&)>;

    Commands();

    // Adds a command: `description` is what its help, the overall help and the manual page say
    // of it; `run` runs it once the whole command line has been read. The command takes --home
    // and --game; its own options are added to the returned subcommand, each with the phrase
    // that its help, the manual page and the completion show (see CliInterface.h).
    CLI::App& add(const std::string& name, const std::string& description, Run run);

    // Declares what exit status `status` of `command` (a command, or a command of a command such
    // as log add) means besides what it means for every command. Its help, the manual page and
    // docs/json.md list it; the phrase is lower case, without a semicolon.
    void exitStatus(const CLI::App& command, int status, const std::string& meaning);

    // Once every command is added: the help command, and --quiet for the program and every command.
    void finish();

    Options& options() { return options_; }
    const CLI::App& app() const { return app_; }
    // The interface the help, the manual page and the completion are made from.
    std::vector<CommandInterface> interface() const { return interfaceOf(app_, statuses_); }

    // The overall help, printed by --help.
    std::string usage() const;

    // Reads the command line and runs its command. Returns the exit status: 2 for a mistake on the
    // command line, after which nothing was written.
    int run(int argc, const char* const* argv);

private:
    struct Command {
        CLI::App* app;
        Run run;
    };
    int printHelp(const Options& o) const;

    Options options_;
    CLI::App app_;
    bool version_ = false;
    std::vector<Command> commands_;
    ExitStatusTable statuses_;
    std::vector<std::string> helpWords_; // help COMMAND: the words that name the command
};

// Every command of the companion, in the order of the overall help, and finish().
void addCompanionCommands(Commands& commands);

// The line after a mistake's message.
extern const char* const kUsageHint;

// A mistake in an option's value: `message` is the line printed.
[[noreturn]] void refuse(const std::string& message);

// An option with a value, which `read` checks and stores, calling refuse() on a mistake. Given
// twice, the last one counts.
CLI::Option* addValue(CLI::App& command, const std::string& name, const std::string& valueName,
                      const std::string& description, std::function<void(const std::string&)> read);

// --home and --game, which every command takes before it or after it.
void addHomeAndGame(CLI::App& command, Options& o);

// --segment 0|1: the segment parameter of the stored rows and of segment outcomes; `byDefault`
// says what counts without it.
void addSegment(CLI::App& command, Options& o, const std::string& byDefault);

// --range START:END, two whole numbers, START not after END; `description` says what it limits.
CLI::Option* addRange(CLI::App& command, Options& o, const std::string& description);

// The command's arguments, each named and described, all required, kept in Options::arguments
// in their order.
void addArguments(CLI::App& command, Options& o,
                  const std::vector<std::pair<std::string, std::string>>& arguments);

} // namespace brenvik::cli
