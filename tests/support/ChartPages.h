// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryText.h"

#include <string>
#include <string_view>
#include <vector>

namespace brenvik::test {

// How a chart page of the tests writes a draw row.
// Every row is marker, draw, trial number (试机号), sum and span cells.
enum class ChartLayout {
    SeparateCells, // one cell per digit; an issue not drawn yet has three empty cells
    JoinedCell,    // one cell holding "123"; an issue not drawn yet has "待开奖" there
    SpacedCell,    // one cell holding "1 2 3"; an issue not drawn yet has an empty cell
};

enum class PageEncoding { Utf8, Gbk };

struct ChartPageOptions {
    ChartLayout layout = ChartLayout::SeparateCells;
    PageEncoding encoding = PageEncoding::Utf8;
    bool metaCharset = false;     // declare the charset in a meta tag of the page
    std::vector<int> notDrawnYet; // sequences listed after the draws, the last without a trial number
};

// A chart page of one year listing `draws` (all of that year), written the way chart sites
// write them: a head with a script and a style, a heading and a row whose marker stands in a
// script (all naming issue 001 with other digits), Chinese captions, a table of rows ending in
// footer rows of counts. The bytes are in the chosen encoding.
std::string chartPage(int year, const std::vector<DrawLine>& draws, const ChartPageOptions& options = {});

// Draws year*1000+from .. year*1000+to with digits that vary from issue to issue.
std::vector<DrawLine> drawsOf(int year, int from, int to);

// UTF-8 text re-encoded as GBK.
std::string toGbk(std::string_view utf8);

} // namespace brenvik::test
