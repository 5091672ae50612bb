// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"

#include <cstddef>
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

// The text a reader sees in the body of an HTML page, as UTF-8, laid out the way a browser lays
// out its inner text: table cells separated by a tab, rows and blocks by a line end, hidden parts
// (head, script, style ...) left out, runs of blanks in running text made one blank.
// The page is decoded by `headerCharset` when the server named one, else by its meta tag; a page
// that declares nothing is read as UTF-8 when it is valid UTF-8, else as GBK (what Chinese pages
// without a declaration are written in). Fails for a page over kMaxPageBytes.
Result<std::string> pageText(std::string_view html, std::string_view headerCharset = {});

// One row of a table: the text of each of its cells, blanks collapsed and trimmed.
using PageRow = std::vector<std::string>;

// The rows of every table of a page, in the order they stand, decoded as pageText decodes. Only
// what a reader sees in a cell counts: hidden parts, scripts and headings are left out.
Result<std::vector<PageRow>> pageRows(std::string_view html, std::string_view headerCharset = {});

} // namespace brenvik
