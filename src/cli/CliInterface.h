// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <CLI/CLI.hpp>

#include <expected>
#include <string>
#include <utility>
#include <vector>

namespace brenvik::cli {

// The companion's interface as its definitions on the command line hold it. The help of every
// command, the options of the manual page and the bash completion are all made from it, so an
// option added with its description shows up in all three.

// An option or an argument of one command.
struct InterfaceItem {
    std::vector<std::string> names; // "-h", "--help"; an argument's own name ("FILE")
    std::string value;              // what the option takes ("DIR", "3d|pl3"); empty for a flag
    std::string description;        // a phrase, lower case, as the help shows it
    bool optional = false;          // an argument the command does without
};

// How a usage line names an argument: "FILE", or "[FILE]" when it may be left out.
std::string argumentText(const InterfaceItem& argument);

struct CommandInterface {
    std::vector<std::string> path; // empty for the program itself; {"log", "add"}
    std::string description;
    std::vector<InterfaceItem> arguments;
    std::vector<InterfaceItem> options;     // in the order they were added, the help last
    std::vector<InterfaceItem> subcommands; // log: add, list, withdraw
};

// The program and then every command, each followed by its own commands, in the order they were
// added. Hidden options are left out.
std::vector<CommandInterface> interfaceOf(const CLI::App& program);

// "follow", "log add".
std::string pathText(const CommandInterface& command);

// `text` broken into lines of at most `width` columns (a Chinese character takes two) and a line
// end each, the lines after the first indented by `indent` blanks more. A word longer than a line
// stays whole.
std::string wrapText(const std::string& text, std::size_t width, std::size_t indent);
// The same for words that are not to be broken up, such as "[--home DIR]".
std::string wrapWords(const std::vector<std::string>& words, std::size_t width, std::size_t indent);

// What `brenvik3d-cli [COMMAND] --help` prints. The program's help lists its commands and ends
// with `notes`.
std::string commandHelp(const CommandInterface& command);
std::string programHelp(const std::vector<CommandInterface>& all, const std::string& notes);

// The SYNOPSIS lines and the option lists (a subsection per command) of the manual page, in roff.
std::string manSynopsis(const std::vector<CommandInterface>& all);
std::string manOptions(const std::vector<CommandInterface>& all);

// The tables of the bash completion: the commands, the options of each, the values an option
// takes and the files an argument names.
std::string completionTables(const std::vector<CommandInterface>& all);

// `text` with each line equal to a marker replaced by its part; the error names a marker that
// `text` lacks.
std::expected<std::string, std::string>
fillMarkers(const std::string& text, const std::vector<std::pair<std::string, std::string>>& parts);

} // namespace brenvik::cli
