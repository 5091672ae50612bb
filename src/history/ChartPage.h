// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

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

// The address of the chart page of one year: the host, the game's fixed path and query, the span
// Y001_Y365 and the fixed tail.
std::string chartPageAddress(std::string_view host, Game game, int year);

// The draws of `year` in the table rows of its chart page, from sequence `firstSequence` on, in
// ascending order. An issue is named by a cell that holds its marker ("2013-001") alone, in the
// first row that names it; the scan ends at the first issue no row names. The digits are those
// of the cells right after the marker cell: three cells of one digit, or one cell of three digits
// (blanks between them allowed). A row whose draw cells hold anything else is an issue not drawn
// yet: it is passed over and the scan goes on. Markers outside table rows (headings, scripts,
// running text) name nothing.
std::vector<DrawLine> scanYear(std::span<const PageRow> rows, int year, int firstSequence);

// Whether any row names an issue of `year` (001 to 365), drawn or not: a chart page of a past
// year that names none is no chart page.
bool listsIssuesOf(std::span<const PageRow> rows, int year);

} // namespace brenvik
