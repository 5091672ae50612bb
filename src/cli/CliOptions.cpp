// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOptions.h"

#include "BuildInfo.h"
#include "CliInterface.h"
#include "CliOutput.h"
#include "IssueNumber.h"

#include <iostream>

namespace brenvik::cli {

namespace {

// What the overall help says besides the commands and options.
const char* const kNotes =
    "Every command takes --home, --game, --quiet and --verbose, before it or after it; brenvik3d-cli\n"
    "help COMMAND (or COMMAND --help) lists the options and exit statuses of a command. The search options default\n"
    "to the window's first-run defaults, never to its saved settings, so a script gives the same answer\n"
    "on every machine.\n";

// The help of every command is made from the same definitions as the manual page and the completion.
class HelpFormatter : public CLI::Formatter {
public:
    explicit HelpFormatter(const Commands& commands) : commands_(commands) {}
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        if (app->get_parent() == nullptr)
            return commands_.usage();
        std::vector<std::string> path;
        for (const CLI::App* a = app; a->get_parent() != nullptr; a = a->get_parent())
            path.insert(path.begin(), a->get_name());
        const auto all = commands_.interface();
        return commandHelp(*std::ranges::find(all, path, &CommandInterface::path), all.front());
    }

private:
    const Commands& commands_;
};

// The one line said about a mistake: the library's words, or ours for a word nobody expects.
std::string mistake(const CLI::App& root, const CLI::ParseError& e) {
    // The innermost command given that was left words it does not take (log add is one in log).
    const CLI::App* inner = &root;
    for (auto chosen = root.get_subcommands(); !chosen.empty(); chosen = chosen.front()->get_subcommands())
        if (!chosen.front()->remaining().empty())
            inner = chosen.front();
    const CLI::App& at = *inner;
    const std::string name = at.get_parent() && at.get_parent() != &root
                                 ? at.get_parent()->get_name() + " " + at.get_name()
                                 : at.get_name();
    if (dynamic_cast<const CLI::ExtrasError*>(&e)) {
        const auto rest = at.remaining();
        if (!rest.empty()) {
            const std::string& word = rest.front();
            if (word.rfind('-', 0) != 0)
                return (&at == &root ? "unknown command " : "unexpected argument ") + word;
            const bool known = std::ranges::any_of(
                root.get_subcommands([](const CLI::App*) { return true; }),
                [&](const CLI::App* c) { return c->get_option_no_throw(word) != nullptr; });
            if (known && &at != &root)
                return "option " + word + " is not for the " + name + " command";
            if (known)
                return "option " + word + " comes after the command";
            return "unknown option " + word;
        }
    }
    std::string line = e.what();
    for (char& c : line)
        if (c == '\n')
            c = ' ';
    return line;
}

} // namespace

const char* const kUsageHint = "usage: brenvik3d-cli --help\n";

[[noreturn]] void refuse(const std::string& message) {
    throw CLI::ValidationError(message);
}

CLI::Option* addValue(CLI::App& command, const std::string& name, const std::string& valueName,
                      const std::string& description, std::function<void(const std::string&)> read) {
    return command.add_option_function<std::string>(name, std::move(read), description)
        ->type_name(valueName)
        ->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
}

void addSegment(CLI::App& command, Options& o, const std::string& byDefault) {
    addValue(command, "--segment", "0|1",
             "segment parameter: a digit's segment is half the digit plus 0 or 1 (default " + byDefault + ")",
             [&o](const std::string& v) {
                 if (v != "0" && v != "1")
                     refuse("--segment must be 0 or 1, not " + v);
                 o.segment = v == "1";
                 o.segmentGiven = true;
             });
}

void addHomeAndGame(CLI::App& command, Options& o) {
    addValue(command, "--home", "DIR",
             "data folder (default: $BRENVIK3D_HOME, else the per-user data folder)",
             [&o](const std::string& v) {
                 if (v.empty())
                     refuse("--home needs a folder");
                 o.home = v;
             });
    addValue(
        command, "--game", "3d|pl3",
        "the game whose history is used: 3d 福彩3D, pl3 体彩排列3 (default 3d, whichever game the window has "
        "chosen)",
        [&o](const std::string& v) {
            const auto game = gameOfCompanionId(v);
            if (!game)
                refuse("--game must be 3d or pl3, not " + v);
            o.game = *game;
        });
    command.add_flag_callback(
        "--verbose", [] { setVerbose(true); },
        "after a failure's message, what the library that failed said in its own words (the database "
        "engine's verdict on a damaged history)");
}

CLI::Option* addRange(CLI::App& command, Options& o, const std::string& description) {
    return addValue(command, "--range", "START:END", description, [&o](const std::string& v) {
        const auto colon = v.find(':');
        std::optional<long long> start, end;
        if (colon != std::string::npos && v.find(':', colon + 1) == std::string::npos) {
            start = parseWholeNumber(v.substr(0, colon), INT32_MIN, INT32_MAX);
            end = parseWholeNumber(v.substr(colon + 1), INT32_MIN, INT32_MAX);
        }
        if (!start || !end)
            refuse("--range must be START:END with two whole numbers, not " + v);
        // Read backwards it would find nothing, and an empty answer would look like a real one.
        if (*start > *end)
            refuse("--range START:END must not start after its end, not " + v);
        o.range = std::pair{static_cast<std::int32_t>(*start), static_cast<std::int32_t>(*end)};
    });
}

void addArguments(CLI::App& command, Options& o,
                  const std::vector<std::pair<std::string, std::string>>& arguments) {
    for (const auto& [name, description] : arguments)
        command
            .add_option_function<std::string>(
                name, [&o](const std::string& v) { o.arguments.push_back(v); }, description)
            ->type_name("")
            ->required();
}

Commands::Commands() : app_("", "brenvik3d-cli") {
    app_.formatter(std::make_shared<HelpFormatter>(*this));
    app_.set_help_flag("-h,--help", "print this help; after a command, the help of that command");
    app_.require_subcommand(0, 1);
    addHomeAndGame(app_, options_);
    app_.add_flag("--version", version_, "print the version");
    exitStatus(app_, 0, "success");
    exitStatus(app_, kFailed, "a file, the database or the data folder could not be used (nothing changed)");
    exitStatus(app_, kUsageError, "a mistake on the command line (nothing written)");
}

void Commands::exitStatus(const CLI::App& command, int status, const std::string& meaning) {
    statuses_[&command].push_back({status, meaning});
}

void Commands::finish() {
    CLI::App& help = add("help", "Print the help of the program, or of COMMAND, as --help does.",
                         [this](const Options& o) { return printHelp(o); });
    help.add_option("COMMAND", helpWords_, "the command whose help to print, e.g. follow or log add")
        ->type_name("")
        ->expected(0, 2);
    // Scripts and the evening timer want the result, not the way there; every command takes it,
    // before it or after it, like --home.
    const auto addQuiet = [this](CLI::App& command, const auto& self) -> void {
        command.add_flag("--quiet", options_.quiet, "print no progress, only errors and the result line");
        for (CLI::App* below : command.get_subcommands([](const CLI::App*) { return true; }))
            self(*below, self);
    };
    addQuiet(app_, addQuiet);
}

int Commands::printHelp(const Options&) const {
    const CLI::App* command = &app_;
    std::string named;
    for (const std::string& word : helpWords_) {
        named += (named.empty() ? "" : " ") + word;
        const auto below =
            command->get_subcommands([&word](const CLI::App* a) { return a->get_name() == word; });
        if (below.empty()) {
            std::cerr << "brenvik3d-cli: unknown command " << named << "\n" << kUsageHint;
            return kUsageError;
        }
        command = below.front();
    }
    std::cout << (command == &app_ ? usage() : command->help());
    return 0;
}

CLI::App& Commands::add(const std::string& name, const std::string& description, Run run) {
    CLI::App& command = *app_.add_subcommand(name, description);
    command.set_help_flag("-h,--help", "print the help of this command");
    addHomeAndGame(command, options_);
    commands_.push_back({&command, std::move(run)});
    return command;
}

std::string Commands::usage() const {
    return programHelp(interface(), kNotes);
}

int Commands::run(int argc, const char* const* argv) {
    try {
        app_.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app_.help();
        return 0;
    } catch (const CLI::ParseError& e) {
        std::cerr << "brenvik3d-cli: " << mistake(app_, e) << "\n" << kUsageHint;
        return kUsageError;
    }
    setQuiet(options_.quiet);
    if (version_) {
        std::cout << "brenvik3d-cli " << productVersion() << '\n';
        return 0;
    }
    for (const Command& c : commands_)
        if (c.app->parsed())
            return c.run(options_);
    std::cerr << "brenvik3d-cli: no command given\n" << kUsageHint;
    return kUsageError;
}

} // namespace brenvik::cli
