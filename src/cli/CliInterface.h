// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>

#include <expected>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace brenvik::cli {

// The companion's interface as its definitions on the command line hold it. The help of every
// command, the options and exit statuses of the manual page and the bash, zsh and fish completion
// are all made from it, so an option or a status added with its description shows up in each.

// An option or an argument of one command.
struct InterfaceItem {
    std::vector<std::string> names; // "-h", "--help"; an argument's own name ("FILE", "[COMMAND]")
    std::string value;              // what the option takes ("DIR", "3d|pl3"); empty for a flag
    std::string description;        // a phrase, lower case, as the help shows it
};

// What an exit status means. A status may have several meanings, each a phrase without a
// semicolon, which the help joins with "; ".
struct ExitStatus {
    int status = 0;
    std::string meaning; // lower case, as the help shows it
};

// The statuses declared for each command; those of the program are those of every command.
using ExitStatusTable = std::map<const CLI::App*, std::vector<ExitStatus>>;

struct CommandInterface {
    std::vector<std::string> path; // empty for the program itself; {"log", "add"}
    std::string description;
    std::vector<InterfaceItem> arguments;
    std::vector<InterfaceItem> options;     // in the order they were added, the help last
    std::vector<InterfaceItem> subcommands; // log: add, list, withdraw
    std::vector<ExitStatus> statuses;       // its own, besides the program's; in the order declared
};

// The program and then every command, each followed by its own commands, in the order they were
// added. Hidden options are left out.
std::vector<CommandInterface> interfaceOf(const CLI::App& program, const ExitStatusTable& statuses);

// Every status `command` exits with, in order: the program's, each with the meanings the command
// adds to it, and those of the command alone.
std::vector<ExitStatus> statusesOf(const CommandInterface& command, const CommandInterface& program);

// "follow", "log add".
std::string pathText(const CommandInterface& command);

// `text` broken into lines of at most `width` columns (a Chinese character takes two) and a line
// end each, the lines after the first indented by `indent` blanks more. A word longer than a line
// stays whole.
std::string wrapText(const std::string& text, std::size_t width, std::size_t indent);
// The same for words that are not to be broken up, such as "[--home DIR]".
std::string wrapWords(const std::vector<std::string>& words, std::size_t width, std::size_t indent);

// What `brenvik3d-cli [COMMAND] --help` prints, `program` being the first of interfaceOf(). The
// program's help lists its commands, then `notes`, then the exit statuses of every command.
std::string commandHelp(const CommandInterface& command, const CommandInterface& program);
std::string programHelp(const std::vector<CommandInterface>& all, const std::string& notes);

// The SYNOPSIS lines, the option lists (a subsection per command) and the exit statuses (the
// program's, then each command's own under its name) of the manual page, in roff.
std::string manSynopsis(const std::vector<CommandInterface>& all);
std::string manOptions(const std::vector<CommandInterface>& all);
std::string manExitStatus(const std::vector<CommandInterface>& all);

// The tables of the bash and zsh completion: the commands, the options of each, the values an
// option takes and the files an argument names; zsh's with the descriptions it shows beside them.
std::string bashCompletionTables(const std::vector<CommandInterface>& all);
std::string zshCompletionTables(const std::vector<CommandInterface>& all);
// The fish completion: its table of commands and a `complete` line per option and argument.
std::string fishCompletionTables(const std::vector<CommandInterface>& all);

// `text` with each line equal to a marker replaced by its part; the error names a marker that
// `text` lacks.
std::expected<std::string, std::string>
fillMarkers(const std::string& text, const std::vector<std::pair<std::string, std::string>>& parts);

} // namespace brenvik::cli
