#pragma once

#include "HistoryText.h"

#include <string>
#include <string_view>
#include <vector>

namespace brenvik::test {

// How a chart page of the tests writes a draw row.
enum class ChartLayout {
    SeparateCells, // marker, then one table cell per digit, then the sum and the span
    JoinedCell,    // marker, then one cell holding "123"
    SpacedDigits,  // one block per draw: "2013-001  开奖 1 2 3"
};

enum class PageEncoding { Utf8, Gbk };

struct ChartPageOptions {
    ChartLayout layout = ChartLayout::SeparateCells;
    PageEncoding encoding = PageEncoding::Utf8;
    bool metaCharset = false;     // declare the charset in a meta tag of the page
    std::vector<int> notDrawnYet; // sequences listed after the draws with "--" for digits
};

// A chart page of one year listing `draws` (all of that year), written the way chart sites
// write them: a head with a script and a style that mention markers too, Chinese captions, a
// table of rows. The bytes are in the chosen encoding.
std::string chartPage(int year, const std::vector<DrawLine>& draws, const ChartPageOptions& options = {});

// Draws year*1000+from .. year*1000+to with digits that vary from issue to issue.
std::vector<DrawLine> drawsOf(int year, int from, int to);

// UTF-8 text re-encoded as GBK.
std::string toGbk(std::string_view utf8);

} // namespace brenvik::test
