#include "CliOptions.h"

#include "ChartPage.h"
#include "IssueNumber.h"

#include <map>
#include <set>
#include <sstream>

namespace brenvik::cli {

const char* const kUsage =
    "brenvik3d-cli [--home DIR] import FILE        replace the history with the draws of a history text "
    "file\n"
    "brenvik3d-cli [--home DIR] export FILE        write the history as a history text file\n"
    "brenvik3d-cli [--home DIR] add ISSUE DDD      append one draw, e.g. add 2024150 507\n"
    "brenvik3d-cli [--home DIR] undo [--yes]       restore the history as it was before its last change\n"
    "brenvik3d-cli [--home DIR] follow [OPTIONS]   run a follow search, print the tally\n"
    "brenvik3d-cli [--home DIR] combo  [OPTIONS]   run a combination search, print the tally\n"
    "brenvik3d-cli [--home DIR] update [--site URL] [--years N] [--yes]\n"
    "                                             add the new draws from the chart site, as the window's\n"
    "                                             online update does\n"
    "brenvik3d-cli [--home DIR] omission [--range START:END | --last N] [--format table|json]\n"
    "                                             print the omission table of a range of draws, as the\n"
    "                                             window's trend chart shows it\n"
    "\n"
    "Every command works on the history of one game:\n"
    "  --game 3d|pl3                 3d: 福彩3D (kestrel3D.mdb), pl3: 体彩排列3 (kestrelPL3.mdb);\n"
    "                                default 3d, whichever game the window has chosen\n"
    "\n"
    "Import option:\n"
    "  --force                       import a file even when more than half of the issues it shares\n"
    "                                with the history were drawn with other digits (without it such a\n"
    "                                file, most likely of the other game, is refused)\n"
    "\n"
    "Search options (defaults are the window's first-run defaults):\n"
    "  --positions fixed|free        how positions are matched (default free)\n"
    "  --back N                      the pattern lies N draws back, N in 1..9 (default: the last draw)\n"
    "  --type number|bigsmall|oddeven|segment   search type (default number)\n"
    "  --pattern A,B,C               a typed pattern, as on the second tab\n"
    "  --before ISSUE                the draw before ISSUE, as the third tab with its limit ticked\n"
    "  --check 1,2,3|none            follow search: positions to match (default all three)\n"
    "  --size K                      combination size, 1..32767 (default 2)\n"
    "  --result-type number|bigsmall|oddeven|segment   what is counted (default number)\n"
    "  --result-pos 1|2|3            which position is counted (default 1)\n"
    "  --group                       count positions 1 up to the result position\n"
    "  --range START:END             issue range (default: as the window sets it)\n"
    "  --segment 0|1                 segment parameter for import, add and segment outcomes (default 1),\n"
    "                                and for update (default: the stored DsIni)\n"
    "  --format table|json           output (default table)\n"
    "  --matched                     also list the matched draws\n"
    "  --home DIR                    data folder (default: $BRENVIK3D_HOME, else the per-user data folder)\n"
    "  --help, --version             print this help, or the version\n"
    "\n"
    "Update options (defaults are the window's stored settings):\n"
    "  --site URL                    chart site, scheme and host (default: the stored strZstHost)\n"
    "  --years N                     years of history to keep, 2..16 (default: the stored IniSerchDay, else "
    "6)\n"
    "  --yes                         remove the draws older than the years kept; without it the update\n"
    "                                says what it would remove and changes nothing\n"
    "\n"
    "Omission options:\n"
    "  --range START:END             the draws whose issue lies in START..END\n"
    "  --last N                      the newest N draws, N in 1..10000000 (default 100)\n"
    "  --format table|json           output (default table)\n"
    "\n"
    "Exit status: 0 success, 1 a file or the database could not be used (nothing changed),\n"
    "or an update that stopped early (the years read before are kept) or needs --yes,\n"
    "2 a mistake on the command line (nothing written).\n";

namespace {

std::optional<int> kindNamed(const std::string& s) {
    static const std::map<std::string, int> names = {
        {"number", 0}, {"bigsmall", 1}, {"oddeven", 2}, {"segment", 3}};
    auto it = names.find(s);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> split(const std::string& s, char sep) {
    std::vector<std::string> out;
    std::string part;
    std::istringstream in(s);
    while (std::getline(in, part, sep))
        out.push_back(part);
    if (!s.empty() && s.back() == sep)
        out.push_back("");
    return out;
}

} // namespace

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    Options o;
    std::optional<std::string> command;
    std::set<std::string> searchOnly;
    std::set<std::string> updateOnly;
    std::set<std::string> omissionOnly;
    auto err = [](std::string m) { return ParseResult{std::nullopt, std::move(m)}; };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--help" || a == "-h") {
            o.help = true;
            return {o, {}};
        }
        if (a == "--version") {
            o.version = true;
            return {o, {}};
        }
        if (a.rfind("--", 0) != 0) {
            if (!command)
                command = a;
            else
                o.arguments.push_back(a);
            continue;
        }
        if (a == "--yes" || a == "--force") {
            (a == "--yes" ? o.yes : o.force) = true;
            continue;
        }
        // Every other option takes a value, except the switches.
        if (a == "--group" || a == "--matched") {
            (a == "--group" ? o.group : o.matched) = true;
            searchOnly.insert(a);
            continue;
        }
        static const std::set<std::string> withValue = {
            "--home",   "--positions", "--back",        "--type",       "--pattern", "--before",
            "--check",  "--size",      "--result-type", "--result-pos", "--range",   "--segment",
            "--format", "--site",      "--years",       "--game",       "--last"};
        if (!withValue.count(a))
            return err("unknown option " + a);
        if (i + 1 >= args.size())
            return err("option " + a + " needs a value");
        const std::string v = args[++i];
        if (a == "--site" || a == "--years")
            updateOnly.insert(a);
        else if (a == "--last")
            omissionOnly.insert(a);
        else if (a != "--home" && a != "--segment" && a != "--game")
            searchOnly.insert(a);

        if (a == "--home") {
            if (v.empty())
                return err("--home needs a folder");
            o.home = v;
        } else if (a == "--game") {
            const auto game = gameOfCompanionId(v);
            if (!game)
                return err("--game must be 3d or pl3, not " + v);
            o.game = *game;
        } else if (a == "--positions") {
            if (v != "fixed" && v != "free")
                return err("--positions must be fixed or free, not " + v);
            o.freePositions = v == "free";
        } else if (a == "--back") {
            auto n = parseWholeNumber(v, 1, 9);
            if (!n)
                return err("--back must be a whole number from 1 to 9, not " + v);
            o.back = static_cast<int>(*n);
        } else if (a == "--type" || a == "--result-type") {
            auto k = kindNamed(v);
            if (!k)
                return err(a + " must be number, bigsmall, oddeven or segment, not " + v);
            (a == "--type" ? o.type : o.resultType) = *k;
        } else if (a == "--pattern") {
            auto parts = split(v, ',');
            if (parts.size() != 3)
                return err("--pattern needs three whole numbers A,B,C, not " + v);
            std::array<int, 3> p{};
            for (int k = 0; k < 3; ++k) {
                auto n = parseWholeNumber(parts[static_cast<std::size_t>(k)], -32768, 32767);
                if (!n)
                    return err("--pattern values must be whole numbers from -32768 to 32767, not " + v);
                p[static_cast<std::size_t>(k)] = static_cast<int>(*n);
            }
            o.pattern = p;
        } else if (a == "--before") {
            auto issue = parseIssue(v);
            if (!issue)
                return err("--before must be a seven-digit issue number, not " + v);
            o.before = *issue;
        } else if (a == "--check") {
            o.checkGiven = true;
            o.check = {false, false, false};
            if (v != "none") {
                for (const std::string& part : split(v, ',')) {
                    auto p = parseWholeNumber(part, 1, 3);
                    if (!p)
                        return err("--check must list positions 1, 2, 3 or be none, not " + v);
                    o.check[static_cast<std::size_t>(*p - 1)] = true;
                }
            }
        } else if (a == "--size") {
            auto n = parseWholeNumber(v, 1, 32767);
            if (!n)
                return err("--size must be a whole number from 1 to 32767, not " + v);
            o.size = static_cast<int>(*n);
        } else if (a == "--result-pos") {
            auto n = parseWholeNumber(v, 1, 3);
            if (!n)
                return err("--result-pos must be 1, 2 or 3, not " + v);
            o.resultPosition = static_cast<int>(*n);
        } else if (a == "--range") {
            auto parts = split(v, ':');
            std::optional<long long> s, e;
            if (parts.size() == 2) {
                s = parseWholeNumber(parts[0], INT32_MIN, INT32_MAX);
                e = parseWholeNumber(parts[1], INT32_MIN, INT32_MAX);
            }
            if (!s || !e)
                return err("--range must be START:END with two whole numbers, not " + v);
            o.range = std::pair{static_cast<std::int32_t>(*s), static_cast<std::int32_t>(*e)};
        } else if (a == "--segment") {
            if (v != "0" && v != "1")
                return err("--segment must be 0 or 1, not " + v);
            o.segment = v == "1";
            o.segmentGiven = true;
        } else if (a == "--site") {
            if (!normalizeChartHost(v))
                return err(
                    "--site must be an http:// or https:// address of a host (with a port at most), not " +
                    v);
            o.site = v;
        } else if (a == "--years") {
            auto n = parseWholeNumber(v, 2, 16);
            if (!n)
                return err("--years must be a whole number from 2 to 16, not " + v);
            o.years = static_cast<int>(*n);
        } else if (a == "--last") {
            auto n = parseWholeNumber(v, 1, 10000000);
            if (!n)
                return err("--last must be a whole number from 1 to 10000000, not " + v);
            o.last = static_cast<std::size_t>(*n);
        } else if (a == "--format") {
            if (v != "table" && v != "json")
                return err("--format must be table or json, not " + v);
            o.json = v == "json";
        }
    }

    if (!command)
        return err("no command given");
    static const std::map<std::string, Command> commands = {
        {"import", Command::Import}, {"export", Command::Export},     {"add", Command::Add},
        {"follow", Command::Follow}, {"combo", Command::Combo},       {"update", Command::Update},
        {"undo", Command::Undo},     {"omission", Command::Omission},
    };
    auto it = commands.find(*command);
    if (it == commands.end())
        return err("unknown command " + *command);
    o.command = it->second;

    const bool search = o.command == Command::Follow || o.command == Command::Combo;
    // The omission table takes a range and a format as the searches do, and nothing else of theirs.
    const bool omission = o.command == Command::Omission;
    if (omission) {
        searchOnly.erase("--range");
        searchOnly.erase("--format");
    }
    if (!search && !searchOnly.empty())
        return err("option " + *searchOnly.begin() + " is not for the " + *command + " command");
    if (!omission && !omissionOnly.empty())
        return err("option --last is only for the omission command");
    if (o.range && o.last)
        return err("--range and --last cannot be used together");
    if (omission && o.segmentGiven)
        return err("option --segment is not for the omission command");
    if (o.command != Command::Update && !updateOnly.empty())
        return err("option " + *updateOnly.begin() + " is only for the update command");
    if (o.yes && o.command != Command::Undo && o.command != Command::Update)
        return err("option --yes is not for the " + *command + " command");
    if (o.force && o.command != Command::Import)
        return err("option --force is only for the import command");
    if ((o.command == Command::Export || o.command == Command::Undo) && o.segmentGiven)
        return err("option --segment is not for the " + *command + " command");
    if (o.command == Command::Combo && o.checkGiven)
        return err("option --check is not for the combo command: it always uses all three positions");
    if (o.pattern && o.before)
        return err("--pattern and --before cannot be used together");
    const std::size_t wanted =
        o.command == Command::Add                                                          ? 2
        : search || omission || o.command == Command::Update || o.command == Command::Undo ? 0
                                                                                           : 1;
    if (o.arguments.size() != wanted) {
        if (o.arguments.size() > wanted)
            return err("unexpected argument " + o.arguments[wanted]);
        return err(*command + (o.command == Command::Add ? " needs ISSUE and DDD" : " needs FILE"));
    }
    return {o, {}};
}

} // namespace brenvik::cli
