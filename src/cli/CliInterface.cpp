// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliInterface.h"

#include "CliOutput.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>

namespace brenvik::cli {

namespace {

// The help is laid out for a terminal of 100 columns, the descriptions starting in column 30.
constexpr std::size_t kWidth = 100;
constexpr std::size_t kColumn = 30;

InterfaceItem itemOf(const CLI::Option& o) {
    InterfaceItem item;
    for (const std::string& s : o.get_snames())
        item.names.push_back("-" + s);
    for (const std::string& l : o.get_lnames())
        item.names.push_back("--" + l);
    if (o.get_items_expected_max() > 0)
        item.value = o.get_type_name();
    item.description = o.get_description();
    return item;
}

void collect(const CLI::App& app, const std::vector<std::string>& path, const ExitStatusTable& statuses,
             std::vector<CommandInterface>& out) {
    CommandInterface c;
    c.path = path;
    c.description = app.get_description();
    if (const auto declared = statuses.find(&app); declared != statuses.end())
        c.statuses = declared->second;
    const CLI::Option* help = app.get_help_ptr();
    for (const CLI::Option* o : app.get_options()) {
        if (o == help || o->get_group().empty())
            continue;
        if (o->nonpositional())
            c.options.push_back(itemOf(*o));
        else if (const std::string name = o->get_name(true); o->get_required())
            c.arguments.push_back({{name}, "", o->get_description()});
        else
            c.arguments.push_back({{"[" + name + "]"}, "", o->get_description()});
    }
    if (help != nullptr)
        c.options.push_back(itemOf(*help));
    const auto subcommands = app.get_subcommands([](const CLI::App*) { return true; });
    for (const CLI::App* s : subcommands)
        c.subcommands.push_back({{s->get_name()}, "", s->get_description()});
    out.push_back(std::move(c));
    for (const CLI::App* s : subcommands) {
        auto below = path;
        below.push_back(s->get_name());
        collect(*s, below, statuses, out);
    }
}

std::string joined(const std::vector<std::string>& words, const std::string& between) {
    std::string out;
    for (const std::string& w : words)
        out += (out.empty() ? "" : between) + w;
    return out;
}

std::string label(const InterfaceItem& item) {
    return joined(item.names, ", ") + (item.value.empty() ? "" : " " + item.value);
}

// One line of a list: the label, then its description from kColumn on.
std::string row(const std::string& label, const std::string& description) {
    std::string line = "  " + label;
    const std::size_t used = displayWidth(line);
    line += used + 2 > kColumn ? "\n" + std::string(kColumn, ' ') : std::string(kColumn - used, ' ');
    return line + wrapText(description, kWidth - kColumn, kColumn);
}

std::string section(const std::string& title, const std::vector<InterfaceItem>& items) {
    if (items.empty())
        return {};
    std::string out = "\n" + title + ":\n";
    for (const InterfaceItem& item : items)
        out += row(label(item), item.description);
    return out;
}

// The statuses of a list, each once, in the order they first come.
std::vector<int> distinctStatuses(const std::vector<ExitStatus>& statuses) {
    std::vector<int> out;
    for (const ExitStatus& s : statuses)
        if (std::ranges::find(out, s.status) == out.end())
            out.push_back(s.status);
    return out;
}

// The meanings of a status as one text.
std::string meaningText(int status, const std::vector<ExitStatus>& statuses) {
    std::vector<std::string> meanings;
    for (const ExitStatus& s : statuses)
        if (s.status == status)
            meanings.push_back(s.meaning);
    return joined(meanings, "; ");
}

// One row per status, its meanings joined, after `prefix` ("undo ").
std::string statusRows(const std::vector<ExitStatus>& statuses, const std::string& prefix) {
    std::string out;
    for (const int status : distinctStatuses(statuses))
        out += row(prefix + std::to_string(status), meaningText(status, statuses));
    return out;
}

// Text in roff: a backslash printed as one, a minus sign where an option's dashes stand, and no
// line taken for a request.
std::string roff(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        const char before = i == 0 ? ' ' : text[i - 1];
        if (c == '\\')
            out += "\\e";
        else if (c == '-' &&
                 (before == ' ' || before == '-' || before == '(' || before == '[' || before == '|'))
            out += "\\-";
        else
            out += c;
    }
    if (!out.empty() && (out[0] == '.' || out[0] == '\''))
        out.insert(0, "\\&");
    return out;
}

// A help phrase as a sentence of the manual.
std::string sentence(std::string phrase) {
    if (!phrase.empty() && std::islower(static_cast<unsigned char>(phrase[0])))
        phrase[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(phrase[0])));
    if (!phrase.empty() && phrase.back() != '.')
        phrase += '.';
    return roff(phrase);
}

// The tag line of an option in the manual: names in bold; a placeholder such as DIR in italics,
// the words to type as they are.
std::string manTag(const InterfaceItem& item) {
    std::vector<std::string> names;
    for (const std::string& n : item.names)
        names.push_back(roff(n));
    if (item.value.empty())
        return names.size() == 1 ? ".B " + names[0] : ".BR " + joined(names, " \", \" ");
    const bool placeholder = std::ranges::any_of(item.value, [](char c) { return std::isupper(c); });
    return (names.size() == 1 && placeholder ? ".BI " : ".BR ") + joined(names, " \", \" ") + " \" " +
           roff(item.value) + "\"";
}

// An argument in italics, the brackets of an optional one upright.
std::string manArgument(const InterfaceItem& argument) {
    const std::string& name = argument.names.front();
    return name.starts_with('[') ? ".RI [ " + name.substr(1, name.size() - 2) + " ]" : ".I " + name;
}

// The words a value may be, for the completion: "@dir" and "@file" for a folder and a file,
// "@command" for the name of a command, the alternatives of a value such as 3d|pl3 (or the items of
// a list such as baozi,zusan,zuliu), and nothing for a value the user makes up (N, START:END).
std::string completionWords(std::string value) {
    if (value.starts_with('[') && value.ends_with(']'))
        value = value.substr(1, value.size() - 2);
    if (value == "DIR" || value == "FILE" || value == "COMMAND")
        return value == "DIR" ? "@dir" : value == "FILE" ? "@file" : "@command";
    if (std::ranges::any_of(value, [](char c) { return std::isupper(c); }))
        return {};
    const char separator = value.find('|') == std::string::npos ? ',' : '|';
    std::ranges::replace(value, separator, ' ');
    return value;
}

// What every shell's completion is told, a command at a time, named by the words typed for it
// (the program's own first).
struct CompletedOption {
    std::string shortName; // "-h"; empty when there is none
    std::string name;      // "--help"
    bool takesValue = false;
    std::string values; // as completionWords() gives them
    std::string description;
};

struct CompletedCommand {
    std::string words;                                            // "brenvik3d-cli log add"
    std::vector<std::pair<std::string, std::string>> subcommands; // name, description
    std::vector<CompletedOption> options;
    std::string argument; // what the first argument naming a file, folder or command is: "@file"
};

std::vector<CompletedCommand> completed(const std::vector<CommandInterface>& all) {
    std::vector<CompletedCommand> out;
    for (const CommandInterface& c : all) {
        CompletedCommand command;
        command.words = c.path.empty() ? "brenvik3d-cli" : "brenvik3d-cli " + joined(c.path, " ");
        for (const InterfaceItem& s : c.subcommands)
            command.subcommands.emplace_back(s.names.front(), s.description);
        for (const InterfaceItem& o : c.options) {
            CompletedOption option;
            for (const std::string& n : o.names)
                (n.starts_with("--") ? option.name : option.shortName) = n;
            if (option.name.empty())
                continue;
            option.takesValue = !o.value.empty();
            option.values = option.takesValue ? completionWords(o.value) : "";
            option.description = o.description;
            command.options.push_back(std::move(option));
        }
        for (const InterfaceItem& a : c.arguments)
            if (const std::string what = completionWords(a.names.front()); what.starts_with('@')) {
                command.argument = what;
                break;
            }
        out.push_back(std::move(command));
    }
    return out;
}

// A word in double quotes for bash.
std::string bashWord(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// A word for zsh in $'...', which holds any text: line ends stand as \n.
std::string zshWord(const std::string& s) {
    std::string out = "$'";
    for (const char c : s) {
        if (c == '\n') {
            out += "\\n";
            continue;
        }
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

// A word in single quotes for fish.
std::string fishWord(const std::string& s) {
    std::string out = "'";
    for (const char c : s) {
        if (c == '\'' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "'";
}

using Table = std::vector<std::pair<std::string, std::string>>;

std::string shellTable(const std::string& name, const Table& rows, bool zsh) {
    std::string out = "    local -A " + name + "=(\n";
    for (const auto& [key, value] : rows)
        out += zsh ? "        " + zshWord(key) + " " + zshWord(value) + "\n"
                   : "        [" + bashWord(key) + "]=" + bashWord(value) + "\n";
    return out + "    )\n";
}

// The four tables both shells use: the commands of a command, its options, the values of an
// option and what its arguments name. zsh's lists hold "name:description", a line each.
std::string completionTables(const std::vector<CommandInterface>& all, bool zsh) {
    Table commands, options, values, arguments;
    for (const CompletedCommand& c : completed(all)) {
        std::vector<std::string> names;
        for (const auto& [name, description] : c.subcommands)
            names.push_back(zsh ? name + ":" + description : name);
        if (!names.empty())
            commands.emplace_back(c.words, joined(names, zsh ? "\n" : " "));
        names.clear();
        for (const CompletedOption& o : c.options) {
            names.push_back(zsh ? o.name + ":" + o.description : o.name);
            if (o.takesValue)
                values.emplace_back(c.words + " " + o.name, o.values);
        }
        options.emplace_back(c.words, joined(names, zsh ? "\n" : " "));
        if (!c.argument.empty())
            arguments.emplace_back(c.words, c.argument);
    }
    // zsh keeps its own commands and options under those names.
    const std::string suffix = zsh ? "_table" : "";
    return shellTable("commands" + suffix, commands, zsh) + shellTable("options" + suffix, options, zsh) +
           shellTable("values" + suffix, values, zsh) + shellTable("arguments" + suffix, arguments, zsh);
}

} // namespace

std::vector<CommandInterface> interfaceOf(const CLI::App& program, const ExitStatusTable& statuses) {
    std::vector<CommandInterface> all;
    collect(program, {}, statuses, all);
    return all;
}

std::vector<ExitStatus> statusesOf(const CommandInterface& command, const CommandInterface& program) {
    std::vector<ExitStatus> all = program.statuses;
    if (&command != &program)
        all.insert(all.end(), command.statuses.begin(), command.statuses.end());
    std::ranges::stable_sort(all, {}, &ExitStatus::status);
    return all;
}

std::string pathText(const CommandInterface& command) {
    return joined(command.path, " ");
}

std::string wrapText(const std::string& text, std::size_t width, std::size_t indent) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string word; in >> word;)
        words.push_back(word);
    return wrapWords(words, width, indent);
}

std::string wrapWords(const std::vector<std::string>& words, std::size_t width, std::size_t indent) {
    std::string out, line;
    for (const std::string& word : words) {
        if (!line.empty() && displayWidth(line) + 1 + displayWidth(word) > width) {
            out += line + "\n" + std::string(indent, ' ');
            line.clear();
        }
        line += (line.empty() ? "" : " ") + word;
    }
    return out + line + "\n";
}

std::string commandHelp(const CommandInterface& command, const CommandInterface& program) {
    std::string usage = "Usage: brenvik3d-cli " + pathText(command);
    if (!command.options.empty())
        usage += " [OPTIONS]";
    for (const InterfaceItem& argument : command.arguments)
        usage += " " + argument.names.front();
    if (!command.subcommands.empty())
        usage += " COMMAND";
    return usage + "\n\n" + wrapText(command.description, kWidth, 0) +
           section("Arguments", command.arguments) + section("Commands", command.subcommands) +
           section("Options", command.options) + "\nExit status:\n" +
           statusRows(statusesOf(command, program), "");
}

std::string programHelp(const std::vector<CommandInterface>& all, const std::string& notes) {
    std::string out = "Usage: brenvik3d-cli [OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n\nCommands:\n";
    for (const CommandInterface& c : all) {
        if (c.path.empty() || !c.subcommands.empty())
            continue;
        std::string name = pathText(c);
        for (const InterfaceItem& argument : c.arguments)
            name += " " + argument.names.front();
        out += row(name, c.description);
        // Then the options of its own, those it shares with the program (--home, --game) aside.
        std::vector<std::string> own;
        for (const InterfaceItem& option : c.options)
            if (!std::ranges::any_of(all.front().options,
                                     [&](const InterfaceItem& o) { return o.names == option.names; }))
                own.push_back("[" + label(option) + "]");
        if (!own.empty())
            out += std::string(kColumn, ' ') + wrapWords(own, kWidth - kColumn, kColumn);
    }
    out += section("Options", all.front().options) + "\n" + notes + "\nExit status:\n" +
           statusRows(all.front().statuses, "");
    // Then what a command adds, under its name.
    for (const CommandInterface& c : all)
        if (!c.path.empty())
            out += statusRows(c.statuses, pathText(c) + " ");
    return out;
}

std::string manSynopsis(const std::vector<CommandInterface>& all) {
    std::string out;
    for (const CommandInterface& c : all) {
        if (c.path.empty() || !c.subcommands.empty())
            continue;
        out += ".B brenvik3d-cli\n.B " + pathText(c) + "\n.RI [ OPTIONS ]\n";
        for (const InterfaceItem& argument : c.arguments)
            out += manArgument(argument) + "\n";
        out += ".br\n";
    }
    return out + ".B brenvik3d-cli\n.RI [ COMMAND ]\n.B \\-\\-help\n.br\n.B brenvik3d-cli \\-\\-version\n";
}

std::string manExitStatus(const std::vector<CommandInterface>& all) {
    std::string out;
    for (const CommandInterface& c : all)
        for (const int status : distinctStatuses(c.statuses))
            out += ".TP\n.B \"" + (c.path.empty() ? "" : pathText(c) + " ") + std::to_string(status) +
                   "\"\n" + sentence(meaningText(status, c.statuses)) + "\n";
    return out;
}

std::string manOptions(const std::vector<CommandInterface>& all) {
    std::string out;
    for (const CommandInterface& c : all) {
        out += ".SS \"brenvik3d-cli" + (c.path.empty() ? "" : " " + pathText(c)) + "\"\n";
        for (const InterfaceItem& argument : c.arguments)
            out += ".TP\n" + manArgument(argument) + "\n" + sentence(argument.description) + "\n";
        for (const InterfaceItem& option : c.options)
            out += ".TP\n" + manTag(option) + "\n" + sentence(option.description) + "\n";
    }
    return out;
}

std::string bashCompletionTables(const std::vector<CommandInterface>& all) {
    return completionTables(all, false);
}

std::string zshCompletionTables(const std::vector<CommandInterface>& all) {
    return completionTables(all, true);
}

std::string fishCompletionTables(const std::vector<CommandInterface>& all) {
    const auto commands = completed(all);
    std::vector<std::string> paths, valued;
    for (const CompletedCommand& c : commands) {
        if (c.words != "brenvik3d-cli")
            paths.push_back(fishWord(c.words));
        for (const CompletedOption& o : c.options)
            if (o.takesValue)
                valued.push_back(fishWord(c.words + " " + o.name));
    }
    std::string out = "set -g __brenvik3d_cli_commands " + joined(paths, " ") + "\n" +
                      "set -g __brenvik3d_cli_valued " + joined(valued, " ") + "\n";
    for (const CompletedCommand& c : commands) {
        const std::string at =
            "complete -c brenvik3d-cli -n " + fishWord("__brenvik3d_cli_at " + fishWord(c.words));
        for (const auto& [name, description] : c.subcommands)
            out += at + " -f -a " + fishWord(name) + " -d " + fishWord(description) + "\n";
        for (const CompletedOption& o : c.options) {
            out +=
                at + (o.shortName.empty() ? "" : " -s " + o.shortName.substr(1)) + " -l " + o.name.substr(2);
            if (o.values == "@file")
                out += " -r -F";
            else if (o.values == "@dir")
                out += " -x -a " + fishWord("(__fish_complete_directories (commandline -ct))");
            else if (o.takesValue)
                out += " -x" + (o.values.empty() ? "" : " -a " + fishWord(o.values));
            out += " -d " + fishWord(o.description) + "\n";
        }
        if (c.argument == "@file")
            out += at + " -F\n";
        else if (c.argument == "@dir")
            out += at + " -f -a " + fishWord("(__fish_complete_directories (commandline -ct))") + "\n";
        else if (c.argument == "@command")
            out += at + " -f -a " + fishWord("(__brenvik3d_cli_named)") + "\n";
    }
    return out;
}

std::expected<std::string, std::string>
fillMarkers(const std::string& text, const std::vector<std::pair<std::string, std::string>>& parts) {
    std::istringstream lines(text);
    std::string out, line;
    std::set<std::string> found;
    while (std::getline(lines, line)) {
        const auto part = std::ranges::find(parts, line, &std::pair<std::string, std::string>::first);
        if (part == parts.end()) {
            out += line + "\n";
        } else {
            out += part->second;
            found.insert(line);
        }
    }
    for (const auto& [marker, part] : parts)
        if (!found.contains(marker))
            return std::unexpected("no line \"" + marker + "\" to put it in");
    return out;
}

} // namespace brenvik::cli
