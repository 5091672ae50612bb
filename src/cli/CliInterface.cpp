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

void collect(const CLI::App& app, const std::vector<std::string>& path, std::vector<CommandInterface>& out) {
    CommandInterface c;
    c.path = path;
    c.description = app.get_description();
    const CLI::Option* help = app.get_help_ptr();
    for (const CLI::Option* o : app.get_options()) {
        if (o == help || o->get_group().empty())
            continue;
        if (o->nonpositional())
            c.options.push_back(itemOf(*o));
        else
            c.arguments.push_back({{o->get_name(true)}, "", o->get_description(), !o->get_required()});
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
        collect(*s, below, out);
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

// The words a value may be, for the completion: "@dir" and "@file" for a folder and a file, the
// alternatives of a value such as 3d|pl3 (or the items of a list such as baozi,zusan,zuliu), and
// nothing for a value the user makes up (N, START:END).
std::string completionWords(const std::string& value) {
    if (value == "DIR" || value == "FILE")
        return value == "DIR" ? "@dir" : "@file";
    if (std::ranges::any_of(value, [](char c) { return std::isupper(c); }))
        return {};
    const char separator = value.find('|') == std::string::npos ? ',' : '|';
    std::string words = value;
    std::ranges::replace(words, separator, ' ');
    return words;
}

std::string bashWord(const std::string& s) {
    std::string out = "\"";
    for (const char c : s) {
        if (c == '"' || c == '\\' || c == '$' || c == '`')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// The completion names a command by the words typed for it, the program's own first.
std::string commandWords(const CommandInterface& c) {
    return c.path.empty() ? "brenvik3d-cli" : "brenvik3d-cli " + joined(c.path, " ");
}

std::string bashTable(const std::string& name, const std::vector<std::pair<std::string, std::string>>& rows) {
    std::string out = "    local -A " + name + "=(\n";
    for (const auto& [key, value] : rows)
        out += "        [" + key + "]=" + value + "\n";
    return out + "    )\n";
}

} // namespace

std::vector<CommandInterface> interfaceOf(const CLI::App& program) {
    std::vector<CommandInterface> all;
    collect(program, {}, all);
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

std::string argumentText(const InterfaceItem& argument) {
    return argument.optional ? "[" + argument.names.front() + "]" : argument.names.front();
}

std::string commandHelp(const CommandInterface& command) {
    std::string usage = "Usage: brenvik3d-cli " + pathText(command);
    if (!command.options.empty())
        usage += " [OPTIONS]";
    for (const InterfaceItem& argument : command.arguments)
        usage += " " + argumentText(argument);
    if (!command.subcommands.empty())
        usage += " COMMAND";
    return usage + "\n\n" + wrapText(command.description, kWidth, 0) +
           section("Arguments", command.arguments) + section("Commands", command.subcommands) +
           section("Options", command.options);
}

std::string programHelp(const std::vector<CommandInterface>& all, const std::string& notes) {
    std::string out = "Usage: brenvik3d-cli [OPTIONS] COMMAND [ARGUMENTS] [OPTIONS]\n\nCommands:\n";
    for (const CommandInterface& c : all) {
        if (c.path.empty() || !c.subcommands.empty())
            continue;
        std::string name = pathText(c);
        for (const InterfaceItem& argument : c.arguments)
            name += " " + argumentText(argument);
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
    return out + section("Options", all.front().options) + "\n" + notes;
}

std::string manSynopsis(const std::vector<CommandInterface>& all) {
    std::string out;
    for (const CommandInterface& c : all) {
        if (c.path.empty() || !c.subcommands.empty())
            continue;
        out += ".B brenvik3d-cli\n.B " + pathText(c) + "\n.RI [ OPTIONS ]\n";
        for (const InterfaceItem& argument : c.arguments)
            out += (argument.optional ? ".RI [ " + argument.names.front() + " ]"
                                      : ".I " + argument.names.front()) +
                   "\n";
        out += ".br\n";
    }
    return out + ".B brenvik3d-cli\n.RI [ COMMAND ]\n.B \\-\\-help\n.br\n.B brenvik3d-cli \\-\\-version\n";
}

std::string manOptions(const std::vector<CommandInterface>& all) {
    std::string out;
    for (const CommandInterface& c : all) {
        out += ".SS \"brenvik3d-cli" + (c.path.empty() ? "" : " " + pathText(c)) + "\"\n";
        for (const InterfaceItem& argument : c.arguments)
            out += ".TP\n.I " + argument.names.front() + "\n" + sentence(argument.description) + "\n";
        for (const InterfaceItem& option : c.options)
            out += ".TP\n" + manTag(option) + "\n" + sentence(option.description) + "\n";
    }
    return out;
}

std::string completionTables(const std::vector<CommandInterface>& all) {
    std::vector<std::pair<std::string, std::string>> commands, options, values, arguments;
    for (const CommandInterface& c : all) {
        const std::string words = commandWords(c);
        const std::string key = bashWord(words);
        std::vector<std::string> names;
        for (const InterfaceItem& s : c.subcommands)
            names.push_back(s.names.front());
        if (!names.empty())
            commands.emplace_back(key, bashWord(joined(names, " ")));
        names.clear();
        for (const InterfaceItem& o : c.options)
            for (const std::string& n : o.names) {
                if (!n.starts_with("--"))
                    continue;
                names.push_back(n);
                if (!o.value.empty())
                    values.emplace_back(bashWord(words + " " + n), bashWord(completionWords(o.value)));
            }
        options.emplace_back(key, bashWord(joined(names, " ")));
        for (const InterfaceItem& a : c.arguments)
            if (const std::string what = completionWords(a.names.front()); what.starts_with('@')) {
                arguments.emplace_back(key, bashWord(what));
                break;
            }
    }
    return bashTable("commands", commands) + bashTable("options", options) + bashTable("values", values) +
           bashTable("arguments", arguments);
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
