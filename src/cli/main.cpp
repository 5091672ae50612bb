// The command-line companion of the window: the same history database, the same searches.
#include "CliOptions.h"
#include "CombinationSearch.h"
#include "FolderLock.h"
#include "FollowSearch.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "IssueNumber.h"
#include "MatchedDraws.h"
#include "PatternSource.h"
#include "Tally.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace brenvik;
using namespace brenvik::cli;

namespace {

constexpr int kFailed = 1;
constexpr int kUsageError = 2;
const char* const kUsageHint = "usage: brenvik3d-cli --help\n";

// The folder the window uses when $BRENVIK3D_HOME is not set: the per-user application data folder.
std::filesystem::path defaultHome() {
    if (const char* home = std::getenv("BRENVIK3D_HOME"); home && *home)
        return home;
    std::filesystem::path data;
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg)
        data = xdg;
    else if (const char* h = std::getenv("HOME"); h && *h)
        data = std::filesystem::path(h) / ".local" / "share";
    else
        data = ".";
    return data / "Brenvik3D" / "Brenvik3D";
}

int failWith(const std::string& message) {
    std::cerr << message << '\n';
    return kFailed;
}

// Width of UTF-8 text on a terminal: Chinese characters take two columns.
std::size_t displayWidth(const std::string& s) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        width += len >= 3 ? 2 : 1;
        i += len;
    }
    return width;
}

std::string pad(const std::string& s, std::size_t width) {
    const std::size_t w = displayWidth(s);
    return std::string(w < width ? width - w : 0, ' ') + s;
}

void printTable(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) {
            if (widths.size() <= c)
                widths.push_back(0);
            widths[c] = std::max(widths[c], displayWidth(row[c]));
        }
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c)
            line += (c ? "  " : "") + pad(row[c], widths[c]);
        std::cout << line << '\n';
    }
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        if (static_cast<unsigned char>(c) < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
            continue;
        }
        out += c;
    }
    return out + "\"";
}

struct Opened {
    FolderLock lock; // held for a change, until the companion exits
    std::unique_ptr<HistoryStore> store;
    SnapshotPtr snapshot;
};

std::filesystem::path homeOf(const Options& o) {
    return o.home.empty() ? defaultHome() : std::filesystem::path(o.home);
}

Result<Opened> openStore(const Options& o, FolderLock lock) {
    const std::filesystem::path home = homeOf(o);
    std::error_code ec;
    std::filesystem::create_directories(home, ec);
    auto store = HistoryStore::open(home / kDatabaseFile);
    if (!store)
        return std::unexpected(store.error());
    // A file found empty and set up anew is said once, whatever the command.
    if (!(*store)->notice().empty() && !(*store)->readOnly())
        std::cerr << (*store)->notice() << '\n';
    auto snapshot = (*store)->loadSnapshot();
    if (!snapshot)
        return std::unexpected(snapshot.error());
    return Opened{std::move(lock), std::move(*store), std::move(*snapshot)};
}

// Searches and exports read the history while a window or another companion works on it.
Result<Opened> openToRead(const Options& o) {
    return openStore(o, FolderLock());
}

// Every command that changes the history or the folder opens it through here: it takes the
// folder's lock first, and when another program holds it the command changes nothing.
Result<Opened> openToChange(const Options& o) {
    const std::filesystem::path home = homeOf(o);
    std::error_code ec;
    std::filesystem::create_directories(home, ec);
    auto lock = FolderLock::take(home, LockHolder::Companion);
    if (!lock) {
        Error busy = lock.error();
        if (busy.code == ErrorCode::Busy)
            busy.message += "，未作改动。";
        return std::unexpected(busy);
    }
    return openStore(o, std::move(*lock));
}

int runImport(const Options& o) {
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    // The file is read completely before the stored history is touched.
    auto counts = importHistoryFile(*opened->store, o.arguments[0], o.segment);
    if (!counts)
        return failWith(counts.error().message);
    std::cout << "读入 " << counts->stored << " 期，跳过 " << counts->skipped << " 行";
    if (counts->duplicates > 0)
        std::cout << "，重复期号 " << counts->duplicates << " 行";
    std::cout << "。\n";
    return 0;
}

int runExport(const Options& o) {
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error().message);
    const auto draws = drawLinesOf(opened->snapshot->rows());
    if (auto r = writeHistoryFile(o.arguments[0], draws); !r)
        return failWith(r.error().message);
    std::cout << "导出 " << draws.size() << " 期到 " << o.arguments[0] << "。\n";
    return 0;
}

int runAdd(const Options& o) {
    const auto issue = parseIssue(o.arguments[0]);
    const std::string& d = o.arguments[1];
    if (!issue || d.size() != 3 || d.find_first_not_of("0123456789") != std::string::npos) {
        std::cerr << "add needs a seven-digit ISSUE and three digits DDD, e.g. add 2024150 507\n"
                  << kUsageHint;
        return kUsageError;
    }
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    const DrawLine draw{*issue, {d[0] - '0', d[1] - '0', d[2] - '0'}};
    if (auto r = opened->store->appendDraws(std::span(&draw, 1), o.segment); !r)
        return failWith(r.error().message);
    std::cout << "已保存第 " << *issue << " 期：" << d << "\n";
    return 0;
}

int runSearch(const Options& o) {
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error().message);
    const HistorySnapshot& h = *opened->snapshot;
    if (h.empty() && !o.range)
        return failWith("历史号码为空，无法检索。");

    const bool lastDraw = !o.back;
    const int n = o.back.value_or(2);
    const Kind kind = static_cast<Kind>(o.type);

    // Pattern and range as the window would set them for these options.
    Pattern pattern{};
    std::int32_t start = h.empty() ? 0 : rangeStart(h.first()->sqqh, lastDraw, n);
    std::int32_t end = h.empty() ? 0 : h.last()->sqqh;
    if (o.pattern) {
        pattern = *o.pattern;
    } else if (o.before) {
        const auto before = patternBeforeIssue(h, *o.before, lastDraw, n, kind);
        if (!before)
            return failWith("第 " + std::to_string(*o.before) + " 期之前没有历史号码。");
        end = h[before->reached].sqqh;
        if (before->pattern)
            pattern = *before->pattern;
    } else if (auto fromHistory = patternFromHistory(h, lastDraw, n, kind)) {
        pattern = *fromHistory;
    }
    if (o.range) {
        start = o.range->first;
        end = o.range->second;
    }

    SearchQuery base;
    base.freePositions = o.freePositions;
    base.lastDraw = lastDraw;
    base.n = n;
    base.searchType = kind;
    base.pattern = pattern;
    base.rangeStart = start;
    base.rangeEnd = end;
    const SearchIndex index(opened->snapshot);
    Selection s;
    if (o.command == Command::Follow) {
        FollowQuery q{base};
        q.checked = o.check;
        s = followSearch(index, q);
    } else {
        CombinationQuery q{base};
        q.size = o.size;
        s = combinationSearch(index, q);
    }
    const Kind resultKind = static_cast<Kind>(o.resultType);
    const Tally tally = tallyOutcomes(h, s.rows, resultKind, o.resultPosition, o.group, o.segment);

    if (o.json) {
        std::ostringstream j;
        j << "{\"matched\": " << tally.matched << ", \"denominator\": " << tally.denominator
          << ", \"pattern\": [" << pattern[0] << ", " << pattern[1] << ", " << pattern[2] << "], \"range\": ["
          << start << ", " << end << "], \"tally\": [";
        for (std::size_t i = 0; i < tally.ranked.size(); ++i) {
            const TallyRow& r = tally.ranked[i];
            j << (i ? ", " : "") << "{\"outcome\": " << r.outcome << ", \"label\": " << jsonString(r.label)
              << ", \"count\": " << r.count << ", \"percent\": ";
            if (auto p = tally.percent(r.count)) {
                char buf[32];
                std::snprintf(buf, sizeof buf, "%.12g", *p);
                j << buf;
            } else {
                j << "null";
            }
            j << "}";
        }
        j << "]";
        if (o.matched) {
            j << ", \"draws\": [";
            for (std::size_t i = 0; i < s.rows.size(); ++i)
                j << (i ? ", " : "") << index.issue(s.rows[i]);
            j << "]";
        }
        j << "}\n";
        std::cout << j.str();
        return 0;
    }

    std::cout << "找到 " << tally.matched << " 期，统计 " << tally.denominator << " 个结果；条件 "
              << pattern[0] << "," << pattern[1] << "," << pattern[2] << "，期号 " << start << "～" << end
              << "。\n";
    std::vector<std::vector<std::string>> grid = {{"序号", "结果", "出现次数", "百分比"}};
    for (std::size_t i = 0; i < tally.ranked.size(); ++i) {
        const TallyRow& r = tally.ranked[i];
        grid.push_back({std::to_string(i + 1), r.label, std::to_string(r.count), tally.percentText(r.count)});
    }
    printTable(grid);
    if (o.matched) {
        std::cout << '\n';
        std::vector<std::vector<std::string>> draws = {
            {"期号", "第1位", "第2位", "第3位", lastDraw ? "上期开奖" : "前期开奖"}};
        for (const MatchedRow& m : matchedRowsOf(index, s.rows, resultKind, lastDraw, n))
            draws.push_back({std::to_string(m.issue), std::to_string(m.codes[0]), std::to_string(m.codes[1]),
                             std::to_string(m.codes[2]), m.earlier});
        printTable(draws);
    }
    return 0;
}

} // namespace

int main(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParseResult parsed = parseCommandLine(args);
    if (!parsed.options) {
        std::cerr << "brenvik3d-cli: " << parsed.error << "\n" << kUsageHint;
        return kUsageError;
    }
    const Options& o = *parsed.options;
    if (o.help) {
        std::cout << kUsage;
        return 0;
    }
    switch (o.command) {
    case Command::Import:
        return runImport(o);
    case Command::Export:
        return runExport(o);
    case Command::Add:
        return runAdd(o);
    case Command::Follow:
    case Command::Combo:
        return runSearch(o);
    }
    return kUsageError;
}
