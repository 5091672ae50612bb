// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawSource.h"
#include "Error.h"
#include "Game.h"
#include "HistoryText.h"
#include "PageText.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// The highest sequence number a chart page is read for: one page spans Y001 to Y365.
inline constexpr int kChartLastSequence = 365;
// The earliest year the online update starts from when it continues a stored history.
inline constexpr int kChartFirstYear = 2003;

// The user's chart site as "scheme://host[:port]": blanks around it and slashes after it are
// dropped, "http://" is assumed when no scheme is given. Nothing for text that is not an http or
// https address of a host alone (no path, query, user name or blanks).
std::optional<std::string> normalizeChartHost(std::string_view text);

// A site address the user gives (the chart site, a mirror of the feeds), in the form
// normalizeChartHost gives it, when its host is a domain name with a dot, "localhost" or an IP
// address: a word such as "abc" is a slip, not a site. The error says what is wrong, in Chinese.
Result<std::string> checkedSiteAddress(std::string_view text);

// The address of the chart page of one year: the host, the game's fixed path and query, the span
// Y001_Y365 and the fixed tail.
std::string chartPageAddress(std::string_view host, Game game, int year);

// Every issue of `year` the table rows of its chart page name, in ascending order, with its draw,
// or with none where its row holds no draw (an issue not drawn yet, or a row that cannot be
// read). An issue is named by a cell that holds its marker ("2013-001") alone, in the first row
// that names it. The digits are those of the cells right after the marker cell: three cells of
// one digit, or one cell of three digits (blanks between them allowed); the cells further on
// (trial numbers, sums, spans) are never read in their place. Markers outside table rows
// (headings, scripts, running text) name nothing.
std::vector<SourceItem> chartItems(std::span<const PageRow> rows, int year);

// The rows of a chart page of `year` that chartItems reads: the first row that names each issue.
// Reading a page with it keeps at most one row an issue, however many the page has.
RowFilter chartRowFilter(int year);

} // namespace brenvik
