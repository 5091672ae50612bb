// SPDX-License-Identifier: GPL-3.0-or-later
#include "ChartPage.h"

#include <array>
#include <charconv>
#include <memory>
#include <utility>

namespace brenvik {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// The sequence number of the marker of `year` that a cell holds and nothing else, 0 when it
// holds none.
int markerSequence(std::string_view cell, int year) {
    const std::string prefix = std::to_string(year) + "-";
    if (cell.size() != prefix.size() + 3 || !cell.starts_with(prefix))
        return 0;
    const char* s = cell.data() + prefix.size();
    if (!isDigit(s[0]) || !isDigit(s[1]) || !isDigit(s[2]))
        return 0;
    const int k = (s[0] - '0') * 100 + (s[1] - '0') * 10 + (s[2] - '0');
    return k <= kChartLastSequence ? k : 0;
}

// The digits of a cell that holds digits and blanks only; nothing for any other cell, an empty
// one included.
std::optional<std::string> digitsOfCell(std::string_view cell) {
    std::string digits;
    for (char c : cell) {
        if (isDigit(c))
            digits += c;
        else if (c != ' ')
            return std::nullopt;
    }
    if (digits.empty())
        return std::nullopt;
    return digits;
}

// The draw in the cells right after the marker cell `at`: three cells of one digit each, or
// one cell of three digits. Anything else (empty cells, dashes) is an issue not drawn yet, and
// the cells further on (trial numbers, sums, spans) are never looked at in its place.
std::optional<std::array<int, 3>> drawAfter(const PageRow& row, std::size_t at) {
    std::string digits;
    if (at + 1 < row.size())
        digits = digitsOfCell(row[at + 1]).value_or("");
    if (digits.size() == 1) {
        for (std::size_t c = at + 2; c <= at + 3 && c < row.size(); ++c) {
            const auto more = digitsOfCell(row[c]);
            if (!more || more->size() != 1)
                return std::nullopt;
            digits += *more;
        }
    }
    if (digits.size() != 3)
        return std::nullopt;
    return std::array<int, 3>{digits[0] - '0', digits[1] - '0', digits[2] - '0'};
}

struct MarkerCell {
    std::size_t row;
    std::size_t cell;
};

// The first cell in each row that holds a marker of `year`, by sequence number; the first row
// that names an issue is the one that counts.
std::array<std::optional<MarkerCell>, kChartLastSequence + 1> markerCells(std::span<const PageRow> rows,
                                                                          int year) {
    std::array<std::optional<MarkerCell>, kChartLastSequence + 1> found{};
    for (std::size_t r = 0; r < rows.size(); ++r)
        for (std::size_t c = 0; c < rows[r].size(); ++c)
            if (const int k = markerSequence(rows[r][c], year); k > 0) {
                if (!found[k])
                    found[k] = MarkerCell{r, c};
                break;
            }
    return found;
}

} // namespace

RowFilter chartRowFilter(int year) {
    return [year, named = std::make_shared<std::array<bool, kChartLastSequence + 1>>()](const PageRow& row) {
        for (const std::string& cell : row)
            if (const int k = markerSequence(cell, year); k > 0)
                return !std::exchange((*named)[static_cast<std::size_t>(k)], true);
        return false;
    };
}

std::optional<std::string> normalizeChartHost(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n' || text.back() == '/'))
        text.remove_suffix(1);
    if (text.empty() || text.size() > 300)
        return std::nullopt;

    std::string scheme = "http";
    if (const auto sep = text.find("://"); sep != std::string_view::npos) {
        scheme.clear();
        for (char c : text.substr(0, sep))
            scheme += c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        text.remove_prefix(sep + 3);
    }
    if (scheme != "http" && scheme != "https")
        return std::nullopt;
    if (text.empty())
        return std::nullopt;
    for (char c : text) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || isDigit(c) || c == '.' ||
                        c == '-' || c == '_' || c == ':' || c == '[' || c == ']';
        if (!ok)
            return std::nullopt;
    }

    std::string_view hostPart = text;
    std::string_view port;
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos || close == 1)
            return std::nullopt;
        hostPart = text.substr(0, close + 1);
        const std::string_view after = text.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':')
                return std::nullopt;
            port = after.substr(1);
            if (port.empty())
                return std::nullopt;
        }
    } else {
        const auto colon = text.find(':');
        if (colon != std::string_view::npos) {
            hostPart = text.substr(0, colon);
            port = text.substr(colon + 1);
            if (port.empty())
                return std::nullopt;
        }
        if (hostPart.find_first_of("[]") != std::string_view::npos)
            return std::nullopt;
    }
    if (hostPart.empty())
        return std::nullopt;
    if (!port.empty()) {
        int number = 0;
        const auto [end, ec] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (ec != std::errc() || end != port.data() + port.size() || number < 1 || number > 65535)
            return std::nullopt;
    }
    return scheme + "://" + std::string(text);
}

std::string chartPageAddress(std::string_view host, Game game, int year) {
    while (host.ends_with('/'))
        host.remove_suffix(1);
    const bool fc3d = game == Game::Fc3d;
    const std::string_view path = fc3d ? "/zst/sd/?lotId=210053&chartType=zhx&spanType=3&span="
                                       : "/zst/p3?lotId=110033&chartType=zhx&spanType=3&span=";
    const std::string_view tail =
        fc3d ? "365&r=0.13125970074906945#roll_132" : "365&r=0.7355243056081235#roll_132";
    const std::string y = std::to_string(year);
    std::string address;
    address.reserve(host.size() + path.size() + tail.size() + 16);
    address.append(host).append(path).append(y).append("001_").append(y).append(tail);
    return address;
}

std::vector<SourceItem> chartItems(std::span<const PageRow> rows, int year) {
    std::vector<SourceItem> items;
    if (year < 1000 || year > 9999)
        return items;
    const auto markers = markerCells(rows, year);
    for (int k = 1; k <= kChartLastSequence; ++k)
        if (markers[k])
            items.push_back({year * 1000 + k, drawAfter(rows[markers[k]->row], markers[k]->cell)});
    return items;
}

Result<std::string> checkedSiteAddress(std::string_view text) {
    const auto normal = normalizeChartHost(text);
    const auto refuse = [&](const std::string& why) {
        return fail(ErrorCode::Invalid, "“" + shortQuote(text, 40) + "”不是可用的网站地址：" + why);
    };
    const std::string_view kHint = "须为 http:// 或 https:// 加主机名（如 www.example.com 或 127.0.0.1），"
                                   "可带端口，不能带路径或空格。";
    if (!normal)
        return refuse(std::string(kHint));
    std::string_view host = std::string_view(*normal).substr(normal->find("://") + 3);
    if (host.starts_with('['))
        return *normal;
    host = host.substr(0, host.find(':'));
    if (host == "localhost")
        return *normal;
    // Labels of letters, digits and hyphens, at least two of them; all-digit labels only as the
    // four numbers of an IP address.
    std::vector<std::string_view> labels;
    for (std::size_t from = 0;;) {
        const auto dot = host.find('.', from);
        labels.push_back(host.substr(from, dot - from));
        if (dot == std::string_view::npos)
            break;
        from = dot + 1;
    }
    bool numeric = true;
    for (std::string_view label : labels) {
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
            return refuse(std::string(kHint));
        for (char c : label)
            if (!isDigit(c) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '-')
                return refuse(std::string(kHint));
        numeric = numeric && label.find_first_not_of("0123456789") == std::string_view::npos;
    }
    if (labels.size() < 2)
        return refuse("主机名“" + std::string(host) + "”不像网站，" + std::string(kHint));
    if (numeric) {
        if (labels.size() != 4)
            return refuse(std::string(kHint));
        for (std::string_view label : labels)
            if (label.size() > 3 || std::stoi(std::string(label)) > 255)
                return refuse(std::string(kHint));
    } else if (labels.back().find_first_not_of("0123456789") == std::string_view::npos) {
        return refuse(std::string(kHint));
    }
    return *normal;
}

} // namespace brenvik
