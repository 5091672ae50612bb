// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// No page the program reads may be larger than this; the fetcher stops at the same size.
inline constexpr std::size_t kMaxPageBytes = 16u * 1024u * 1024u;

// The charset named by an HTTP Content-Type value ("text/html; charset=GBK" gives "GBK"),
// empty when it names none.
std::string charsetOfContentType(std::string_view contentType);

// The charset a page declares in its own meta tag, empty when it declares none.
std::string charsetOfMeta(std::string_view html);

// What reading one page may cost. Parsing builds no tree of the page: it costs about what the
// page's text takes, however many elements it has. A page that would take longer, or whose
// table rows kept would hold more, is given up with a message.
struct PageLimits {
    std::chrono::milliseconds time{5000};
    std::size_t heldBytes = 16u << 20;
};

// The text a reader sees in the body of an HTML page, as UTF-8, laid out the way a browser lays
// out its inner text: table cells separated by a tab, rows and blocks by a line end, hidden parts
// (head, script, style ...) left out, runs of blanks in running text made one blank.
// The page is decoded by `headerCharset` when the server named one, else by its meta tag; a page
// that declares nothing is read as UTF-8 when it is valid UTF-8, else as GBK (what Chinese pages
// without a declaration are written in). Fails for a page over kMaxPageBytes, for one with a tag
// of hundreds of attributes, and for one that takes longer than `limits` allow.
Result<std::string> pageText(std::string_view html, std::string_view headerCharset = {},
                             const PageLimits& limits = {});

// One row of a table: the text of each of its cells, blanks collapsed and trimmed.
using PageRow = std::vector<std::string>;

// Whether a row (its cells tidied) is worth keeping.
using RowFilter = std::function<bool(const PageRow&)>;

// The rows of every table of a page, in the order they begin, decoded and bounded as pageText.
// Only what a reader sees in a cell counts: hidden parts, scripts and headings are left out. With
// `keep`, only the rows it takes are kept, each judged when it ends.
Result<std::vector<PageRow>> pageRows(std::string_view html, std::string_view headerCharset = {},
                                      const RowFilter& keep = {}, const PageLimits& limits = {});

} // namespace brenvik
