#pragma once

#include "HistoryText.h"

#include <cstdint>
#include <optional>
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
// Y001_Y365 and the fixed tail. Lottery type 53 is 福彩3D, any other value 体彩排列3.
std::string chartPageAddress(std::string_view host, int lotteryType, int year);

// The draws of `year` in the text of its chart page, from sequence `firstSequence` on, in
// ascending order. Each issue is looked for by its marker ("2013-001") at its first occurrence;
// the scan ends at the first issue whose marker is missing. After the marker the separators up
// to the first digit are passed over (16 characters at most), then three digits are read, which
// may stand apart by blanks or tabs. An issue whose marker is not followed by three such digits
// is passed over and the scan goes on: a dash, star or question mark where the digits should be
// (an issue not drawn yet), running text, or digits that run on into a longer number.
std::vector<DrawLine> scanYear(std::string_view text, int year, int firstSequence);

// Whether the text lists any issue of `year` at all (a marker from 001 to 365), drawn or not:
// a chart page of a past year that lists none is no chart page.
bool listsIssuesOf(std::string_view text, int year);

} // namespace brenvik
