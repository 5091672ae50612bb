// The command-line companion of the window: the same history database, the same searches.
#include "BuildInfo.h"
#include "CliHome.h"
#include "CliOptions.h"
#include "CombinationSearch.h"
#include "FollowSearch.h"
#include "GameCheck.h"
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "HistoryText.h"
#include "IssueNumber.h"
#include "MatchedDraws.h"
#include "OmissionCommand.h"
#include "PatternSource.h"
#include "SearchConditions.h"
#include "Tally.h"
#include "TallyStatistics.h"
#include "UndoBackup.h"
#include "UpdateCommand.h"

#include <nlohmann/json.hpp>

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

int failWith(const std::string& message) {
    std::cerr << message << '\n';
    return kFailed;
}

// Width of UTF-8 text on a terminal: Chinese characters take two columns, the dashes and other
// general punctuation (U+2000..U+206F, three bytes from E2 80 or E2 81) one.
std::size_t displayWidth(const std::string& s) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        const std::size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
        const bool punctuation = len == 3 && c == 0xE2 && i + 1 < s.size() &&
                                 (static_cast<unsigned char>(s[i + 1]) & 0xFE) == 0x80;
        width += len >= 3 && !punctuation ? 2 : 1;
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

// A double as the JSON library writes it: the shortest text that reads back as the same number
// ("4.0", "0.4133209359917561", "1e-05"), so the output stays the same once the whole document is
// written by the library.
std::string jsonNumber(double v) {
    return nlohmann::json(v).dump();
}

int runImport(const Options& o) {
    // The file is read completely, and refused when it holds no draw, before the database is touched.
    auto read = readImportFile(o.arguments[0]);
    if (!read)
        return failWith(read.error().message);
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    if (const auto issues = compareIssues(*opened->snapshot, read->draws);
        issues.looksLikeOtherGame() && !o.force)
        return failWith(otherGameNotice(o.game, issues) + "加 --force 才会导入；历史号码未改动。");
    const std::string what = "读入 " + std::filesystem::path(o.arguments[0]).filename().string();
    auto counts = changeWithUndo(*opened->store, *opened->snapshot, what,
                                 [&] { return importHistory(*opened->store, *read, o.segment); });
    if (!counts)
        return failWith(counts.error().message);
    std::cout << "读入 " << counts->stored << " 期，跳过 " << counts->skipped << " 行";
    if (counts->duplicates > 0)
        std::cout << "，重复期号 " << counts->duplicates << " 行";
    std::cout << "。\n";
    return 0;
}

int runExport(const Options& o) {
    // Without a database there is no history to write, only an empty file to mislead.
    const auto database = homeOf(o) / databaseFileName(o.game);
    if (std::error_code ec; !std::filesystem::exists(database, ec))
        return failWith("没有历史数据库 " + shownPath(database) + "，未导出。");
    auto opened = openToRead(o);
    if (!opened)
        return failWith(opened.error().message);
    const auto draws = drawLinesOf(opened->snapshot->rows());
    if (auto r = writeHistoryFile(o.arguments[0], draws); !r)
        return failWith(r.error().message);
    std::cout << "导出 " << draws.size() << " 期到 " << o.arguments[0] << "。\n";
    return 0;
}

int runUndo(const Options& o) {
    auto opened = openToChange(o);
    if (!opened)
        return failWith(opened.error().message);
    auto backup = readUndoBackup(opened->store->file());
    if (!backup)
        return failWith(backup.error().message);
    if (!*backup)
        return failWith("没有可撤销的更改。");
    const std::string what = describeUndo(**backup);
    if (!o.yes) {
        std::cout << "将历史号码恢复为" << what << "。加 --yes 执行撤销，历史号码未改动。\n";
        return kFailed;
    }
    auto restored = undoLastChange(*opened->store, *opened->snapshot, **backup);
    if (!restored)
        return failWith(restored.error().message);
    std::cout << "已撤销：恢复到" << what << "历史号码。\n";
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
        // Too few draws before the issue for the draw N back is no pattern either, not 0,0,0.
        const auto before = patternBeforeIssue(h, *o.before, lastDraw, n, kind);
        if (!before || !before->pattern)
            return failWith(noPatternBefore(*o.before, lastDraw, n));
        end = h[before->reached].sqqh;
        pattern = *before->pattern;
    } else if (auto fromHistory = patternFromHistory(h, lastDraw, n, kind)) {
        pattern = *fromHistory;
    }
    if (o.range) {
        start = o.range->first;
        end = o.range->second;
    }

    SearchConditions c;
    c.game = displayName(o.game);
    c.combination = o.command == Command::Combo;
    c.freePositions = o.freePositions;
    c.lastDraw = lastDraw;
    c.n = lastDraw ? 1 : n;
    c.searchType = kind;
    for (std::size_t p = 0; p < 3; ++p)
        c.pattern[p] = pattern[p];
    c.before = o.pattern ? std::nullopt : o.before;
    if (c.combination)
        c.size = o.size;
    else
        c.checked = o.check;
    c.rangeStart = start;
    c.rangeEnd = end;
    c.resultKind = static_cast<Kind>(o.resultType);
    c.resultPosition = o.resultPosition;
    c.group = o.group;
    c.segmentParam = o.segment;
    const SearchIndex index(opened->snapshot);
    const Selection s =
        c.combination ? combinationSearch(index, c.combinationQuery()) : followSearch(index, c.followQuery());
    const Kind resultKind = c.resultKind;
    const Tally tally = tallyOutcomes(h, s.rows, resultKind, o.resultPosition, o.group, o.segment);

    const auto chance = stats::tallyStatistics(tally);
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
            if (chance)
                j << ", \"expected\": " << jsonNumber(chance->expected)
                  << ", \"low95\": " << jsonNumber(chance->intervals[i].low * 100)
                  << ", \"high95\": " << jsonNumber(chance->intervals[i].high * 100);
            else
                j << ", \"expected\": null, \"low95\": null, \"high95\": null";
            j << "}";
        }
        j << "], \"test\": ";
        if (chance)
            j << "{\"statistic\": " << jsonNumber(chance->statistic) << ", \"df\": " << chance->df
              << ", \"p\": " << jsonNumber(chance->p) << ", \"method\": \""
              << stats::methodName(chance->method) << "\"}";
        else
            j << "null";
        j << ", \"dropped\": " << tally.dropped;
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

    std::cout << conditionSummary(c, tally.matched) << '\n';
    std::cout << "找到 " << tally.matched << " 期，统计 " << tally.denominator << " 个结果；条件 "
              << pattern[0] << "," << pattern[1] << "," << pattern[2] << "，期号 " << start << "～" << end
              << "。\n";
    std::vector<std::vector<std::string>> grid = {
        {"序号", "结果", "出现次数", "百分比", "随机期望", "95%区间"}};
    for (std::size_t i = 0; i < tally.ranked.size(); ++i) {
        const TallyRow& r = tally.ranked[i];
        grid.push_back({std::to_string(i + 1), r.label, std::to_string(r.count), tally.percentText(r.count),
                        chance ? stats::expectedText(chance->expected) : "-",
                        chance ? stats::intervalText(chance->intervals[i]) : "-"});
    }
    printTable(grid);
    if (tally.dropped > 0)
        std::cout << droppedNote(tally) << '\n';
    // One search per run of the companion: the level is not shared out.
    std::cout << stats::verdictLine(chance, 1) << '\n';
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
    if (o.version) {
        std::cout << "brenvik3d-cli " << productVersion() << '\n';
        return 0;
    }
    switch (o.command) {
    case Command::Import:
        return runImport(o);
    case Command::Export:
        return runExport(o);
    case Command::Add:
        return runAdd(o);
    case Command::Undo:
        return runUndo(o);
    case Command::Follow:
    case Command::Combo:
        return runSearch(o);
    case Command::Update:
        return runUpdate(o);
    case Command::Omission:
        return runOmission(o);
    }
    return kUsageError;
}
