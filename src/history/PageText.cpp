// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageText.h"

#include "HtmlPlugin.h"
#include "Platform.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <optional>

namespace brenvik {

namespace {

// The page parser and the Unicode libraries it draws in take a millisecond to load, as long as
// a whole search of the real history. Only reading a chart page needs them, so their plugin is
// loaded then, once, and stays loaded for the rest of the process.
const Result<const BrenvikHtmlPlugin*>& htmlPlugin() {
    static const Result<const BrenvikHtmlPlugin*> plugin = []() -> Result<const BrenvikHtmlPlugin*> {
        const auto file = pluginFile(kHtmlPluginName);
        auto loaded = loadPlugin(file, kHtmlPluginEntry, kHtmlPluginVersion);
        if (!loaded)
            return fail(ErrorCode::Io,
                        "无法载入网页组件 " + shownPath(file) + "：" + loaded.error() + "，网页未读取。");
        return static_cast<const BrenvikHtmlPlugin*>(*loaded);
    }();
    return plugin;
}

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), lower);
    return out;
}

bool isLabelChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':';
}

// Reads the value that follows "charset" in a lower-cased header or tag: blanks, "=", an optional
// quote, then the label itself.
std::string charsetAfter(std::string_view text, std::size_t from) {
    for (std::size_t at = text.find("charset", from); at != std::string_view::npos;
         at = text.find("charset", at + 1)) {
        std::size_t i = at + 7;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
            ++i;
        if (i >= text.size() || text[i] != '=')
            continue;
        ++i;
        while (i < text.size() && (text[i] == ' ' || text[i] == '\t' || text[i] == '"' || text[i] == '\''))
            ++i;
        std::size_t end = i;
        while (end < text.size() && end - i < 40 && isLabelChar(text[end]))
            ++end;
        if (end > i)
            return std::string(text.substr(i, end - i));
    }
    return {};
}

// The decoder for a declared label, by the labels browsers accept; empty when the label names
// nothing this machine can decode. Pages labelled gb2312 routinely hold GBK characters, and GB18030
// reads all of GBK, so the whole family is read as GB18030 the way browsers do.
std::string encodingOfLabel(std::string_view label) {
    const std::string l = lowered(label);
    if (l.empty())
        return {};
    if (l == "utf-8" || l == "utf8" || l == "unicode-1-1-utf-8")
        return "UTF-8";
    static constexpr std::array<std::string_view, 11> gbk = {"gbk",      "gb2312",  "gb_2312", "gb_2312-80",
                                                             "x-gbk",    "cp936",   "ms936",   "windows-936",
                                                             "csgb2312", "chinese", "gb18030"};
    if (std::find(gbk.begin(), gbk.end(), l) != gbk.end())
        return "GB18030";
    if (l == "iso-8859-1" || l == "latin1" || l == "l1" || l == "us-ascii" || l == "ascii" ||
        l == "windows-1252" || l == "cp1252")
        return "WINDOWS-1252";
    if (l == "big5" || l == "big5-hkscs" || l == "cn-big5" || l == "x-x-big5")
        return "BIG5-HKSCS";
    std::string upper = l;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; });
    return canDecode(upper) ? upper : std::string();
}

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at the start of `s`, 0 when there is none.
std::size_t utf8SequenceAt(std::string_view s) {
    const auto c = static_cast<unsigned char>(s[0]);
    if (c < 0x80)
        return 1;
    std::size_t extra;
    unsigned char low = 0x80, high = 0xBF; // bounds of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
        extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
        extra = 2;
        if (c == 0xE0)
            low = 0xA0;
        if (c == 0xED)
            high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        extra = 3;
        if (c == 0xF0)
            low = 0x90;
        if (c == 0xF4)
            high = 0x8F;
    } else {
        return 0;
    }
    if (s.size() <= extra)
        return 0;
    for (std::size_t k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[k]);
        if (k == 1 ? (b < low || b > high) : (b & 0xC0) != 0x80)
            return 0;
    }
    return extra + 1;
}

bool validUtf8(std::string_view s) {
    for (std::size_t i = 0, n; i < s.size(); i += n)
        if ((n = utf8SequenceAt(s.substr(i))) == 0)
            return false;
    return true;
}

// UTF-8 as the parser wants it: every ill-formed byte and every NUL becomes U+FFFD, as browsers
// show them. libxml2 left to itself gives up on a page at its first bad byte or reads the rest
// as Latin-1.
std::string cleanUtf8(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t n = utf8SequenceAt(s.substr(i));
        if (n == 0 || s[i] == '\0') {
            out += kReplacement;
            ++i;
        } else {
            out.append(s.substr(i, n));
            i += n;
        }
    }
    return out;
}

// The page decoded from `encoding` to UTF-8, bytes that do not decode replaced as above.
std::string decodeToUtf8(std::string_view s, const std::string& encoding) {
    if (encoding == "UTF-8")
        return cleanUtf8(s);
    const auto decoded = decodeText(s, encoding, kReplacement);
    return cleanUtf8(decoded ? *decoded : s);
}

// How the element takes part in the layout of the text.
enum class Role { Inline, Hidden, Block, Paragraph, Row, Cell, Break, Preformatted };

bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool says(const char* value, std::string_view needle) {
    std::string compact;
    for (const char* p = value; p && *p && compact.size() < 4096; ++p)
        if (!isHtmlSpace(*p))
            compact += lower(*p);
    return compact.find(needle) != std::string::npos;
}

// `attributes` as the parser hands them over: name, value (none for a bare name), ..., null.
Role roleOf(std::string_view name, const char* const* attributes) {
    static constexpr std::array<std::string_view, 13> hidden = {
        "head",     "title", "script", "style", "noscript", "template", "iframe",
        "textarea", "embed", "audio",  "video", "canvas",   "datalist"};
    if (std::find(hidden.begin(), hidden.end(), name) != hidden.end())
        return Role::Hidden;
    // Whatever a page hides by itself is not part of what the reader sees either.
    for (const char* const* a = attributes; a && a[0]; a += 2) {
        const std::string_view attribute = a[0];
        if (attribute == "hidden" || (attribute == "style" && says(a[1], "display:none")))
            return Role::Hidden;
    }
    if (name == "br")
        return Role::Break;
    if (name == "td" || name == "th")
        return Role::Cell;
    if (name == "tr")
        return Role::Row;
    if (name == "p")
        return Role::Paragraph;
    if (name == "pre" || name == "listing" || name == "xmp" || name == "plaintext")
        return Role::Preformatted;
    static constexpr std::array<std::string_view, 40> blocks = {
        "html",    "body",   "address",  "article", "aside",   "blockquote", "center",   "dd",
        "details", "dialog", "dir",      "div",     "dl",      "dt",         "fieldset", "figcaption",
        "figure",  "footer", "form",     "h1",      "h2",      "h3",         "h4",       "h5",
        "h6",      "header", "hgroup",   "hr",      "legend",  "li",         "main",     "menu",
        "nav",     "ol",     "optgroup", "option",  "section", "summary",    "ul",       "table"};
    if (std::find(blocks.begin(), blocks.end(), name) != blocks.end() || name == "caption")
        return Role::Block;
    return Role::Inline;
}

bool isHeading(std::string_view name) {
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

// An element as the reader meets it; `depth` tells it apart from the others open.
struct Element {
    std::string_view name;
    Role role;
    std::size_t depth;
};

// What is made of a page while the parser reads it, element by element, never holding the page's
// tree: a page of millions of elements costs no more than its text.
class PageReader {
public:
    virtual ~PageReader() = default;
    // Returns whether what the element holds is read. `leave` follows for every element entered.
    virtual bool enter(const Element& e) = 0;
    virtual void leave(const Element& e) = 0;
    virtual void text(std::string_view s) = 0;
    // Set once the reader holds more than it may.
    std::optional<Error> failure;
};

// Collects the text with the line breaks a layout would give. Line breaks that blocks ask for
// are held back and merged, so that nested and empty blocks give one line end, and none at the
// start or the end of the text. Table cells are separated by a tab, given when the next cell of
// the same row begins.
class TextLayout : public PageReader {
public:
    bool enter(const Element& e) override {
        const bool cellBefore = !m_open.empty() && m_open.back();
        m_open.push_back(false);
        switch (e.role) {
        case Role::Hidden:
            return false;
        case Role::Break:
            literal('\n');
            return false;
        case Role::Block:
        case Role::Row:
            boundary(1);
            break;
        case Role::Paragraph:
            boundary(2);
            break;
        case Role::Preformatted:
            boundary(1);
            ++m_preformatted;
            break;
        case Role::Cell:
            if (cellBefore)
                literal('\t');
            // A cell starts a line of its own as far as blanks go: leading blanks vanish.
            boundary(0);
            break;
        case Role::Inline:
            break;
        }
        return true;
    }

    void leave(const Element& e) override {
        m_open.pop_back();
        switch (e.role) {
        case Role::Block:
        case Role::Row:
            boundary(1);
            break;
        case Role::Paragraph:
            boundary(2);
            break;
        case Role::Preformatted:
            --m_preformatted;
            boundary(1);
            break;
        case Role::Cell:
            boundary(0);
            if (!m_open.empty())
                m_open.back() = true;
            break;
        default:
            break;
        }
    }

    void text(std::string_view s) override {
        if (m_preformatted > 0) {
            raw(s);
            return;
        }
        for (char c : s) {
            if (isHtmlSpace(c)) {
                if (!m_atLineStart)
                    m_pendingSpace = true;
                continue;
            }
            flushBreaks();
            if (m_pendingSpace)
                m_out += ' ';
            m_pendingSpace = false;
            m_out += c;
            m_atLineStart = false;
        }
    }

    std::string take() { return std::move(m_out); }

private:
    void boundary(int lineBreaks) {
        m_pendingSpace = false;
        m_atLineStart = true;
        m_pendingBreaks = std::max(m_pendingBreaks, lineBreaks);
    }

    void literal(char c) {
        m_pendingSpace = false;
        flushBreaks();
        m_out += c;
        m_atLineStart = true;
    }

    void raw(std::string_view s) {
        if (s.empty())
            return;
        flushBreaks();
        if (m_pendingSpace)
            m_out += ' ';
        m_pendingSpace = false;
        for (char c : s) {
            // CR LF, and a CR alone, end a line; the text may come in pieces between the two.
            if (c == '\n' && m_afterCR) {
                m_afterCR = false;
                continue;
            }
            m_afterCR = c == '\r';
            m_out += m_afterCR ? '\n' : c;
        }
        m_atLineStart = m_out.ends_with('\n');
    }

    void flushBreaks() {
        if (m_pendingBreaks > 0 && !m_out.empty())
            m_out.append(static_cast<std::size_t>(m_pendingBreaks), '\n');
        m_pendingBreaks = 0;
    }

    std::string m_out;
    int m_pendingBreaks = 0;
    bool m_pendingSpace = false;
    bool m_atLineStart = true;
    bool m_afterCR = false;
    int m_preformatted = 0;
    std::vector<bool> m_open; // per open element: whether a cell among its children has ended
};

// Text of a cell as a reader sees it: every run of blanks, line ends and no-break or ideographic
// spaces one blank, none at either end.
std::string tidyCell(std::string_view raw) {
    std::string out;
    bool blank = false;
    for (std::size_t i = 0; i < raw.size();) {
        std::size_t len = 0;
        if (isHtmlSpace(raw[i]))
            len = 1;
        else if (raw.substr(i).starts_with("\xC2\xA0"))
            len = 2;
        else if (raw.substr(i).starts_with("\xE3\x80\x80"))
            len = 3;
        if (len > 0) {
            blank = !out.empty();
            i += len;
            continue;
        }
        if (blank)
            out += ' ';
        blank = false;
        out += raw[i++];
    }
    return out;
}

// Collects the rows of every table. A row's cells are the cells whose nearest row is that row,
// so a table nested in a cell gives rows of its own. What a reader does not see (hidden parts,
// scripts) and headings are no part of any cell. A row is kept once it ends when `keep` takes
// it; what the kept and the open rows hold is counted against `limit`.
class RowCollector : public PageReader {
public:
    RowCollector(const RowFilter& keep, std::size_t limit) : m_keep(keep), m_limit(limit) {}

    bool enter(const Element& e) override {
        if (e.role == Role::Hidden || isHeading(e.name))
            return false;
        if (e.role == Role::Row) {
            m_rows.emplace_back();
            m_open.push_back({e.depth, std::nullopt, m_rows.size() - 1});
            count(sizeof(PageRow));
        } else if (e.role == Role::Cell && !m_open.empty() && !m_open.back().cell) {
            m_rows[m_open.back().index].emplace_back();
            m_open.back().cell = e.depth;
            count(sizeof(std::string));
        } else if (e.role == Role::Break) {
            text(" ");
        }
        return true;
    }

    void leave(const Element& e) override {
        if (m_open.empty())
            return;
        Open& open = m_open.back();
        if (open.cell == e.depth) {
            open.cell.reset();
        } else if (open.row == e.depth) {
            finishRow(open.index);
            m_open.pop_back();
        }
    }

    void text(std::string_view s) override {
        if (m_open.empty() || !m_open.back().cell)
            return;
        m_rows[m_open.back().index].back().append(s);
        count(s.size());
    }

    std::vector<PageRow> take() {
        // Rows left out after a later row was kept are left as gaps until here.
        std::erase_if(m_rows, [this](const PageRow& row) { return isGap(row); });
        return std::move(m_rows);
    }

private:
    struct Open {
        std::size_t row;
        std::optional<std::size_t> cell;
        std::size_t index;
    };

    void count(std::size_t bytes) {
        m_held += bytes;
        if (m_held > m_limit && !failure)
            failure = Error{ErrorCode::Invalid, "网页上的表格超过 " + std::to_string(m_limit >> 20) +
                                                    " MB，不像走势图，已放弃读取。"};
    }

    static std::size_t bytesOf(const PageRow& row) {
        std::size_t bytes = sizeof(PageRow);
        for (const std::string& cell : row)
            bytes += sizeof(std::string) + cell.size();
        return bytes;
    }

    // A row left out but followed by a kept one: an empty row marked by a capacity of one.
    static bool isGap(const PageRow& row) { return row.empty() && row.capacity() == 1; }

    void finishRow(std::size_t index) {
        PageRow& row = m_rows[index];
        const std::size_t before = bytesOf(row);
        for (std::string& cell : row)
            cell = tidyCell(cell);
        if (!m_keep || m_keep(row)) {
            m_held = m_held - before + bytesOf(row);
            return;
        }
        m_held -= before;
        if (index + 1 == m_rows.size()) {
            m_rows.pop_back();
        } else {
            PageRow gap;
            gap.reserve(1);
            row.swap(gap);
        }
    }

    const RowFilter& m_keep;
    std::size_t m_limit;
    std::size_t m_held = 0;
    std::vector<PageRow> m_rows;
    std::vector<Open> m_open;
};

// A tag that carries thousands of attributes costs the parser time that grows with the square
// of their number; no page a person reads has such a tag. Counted over the page as the parser
// will read it: text, comments and the content of scripts and styles hold no tags.
constexpr std::size_t kMostAttributes = 256;

bool hasTagWithTooManyAttributes(std::string_view page) {
    const auto startsTag = [&](std::size_t i) {
        return i + 1 < page.size() && page[i] == '<' &&
               ((page[i + 1] >= 'a' && page[i + 1] <= 'z') || (page[i + 1] >= 'A' && page[i + 1] <= 'Z'));
    };
    std::size_t i = 0;
    while (i < page.size()) {
        if (page.substr(i, 4) == "<!--") {
            const std::size_t end = page.find("-->", i + 4);
            i = end == std::string_view::npos ? page.size() : end + 3;
            continue;
        }
        if (!startsTag(i)) {
            ++i;
            continue;
        }
        std::size_t nameEnd = i + 1;
        while (nameEnd < page.size() && !isHtmlSpace(page[nameEnd]) && page[nameEnd] != '>' &&
               page[nameEnd] != '/')
            ++nameEnd;
        const std::string name = lowered(page.substr(i + 1, nameEnd - i - 1));
        std::size_t attributes = 0;
        bool blank = true;
        std::size_t at = nameEnd;
        while (at < page.size() && page[at] != '>') {
            const char c = page[at];
            if (c == '=') {
                // A quoted value may hold blanks and ">" alike.
                std::size_t v = at + 1;
                while (v < page.size() && isHtmlSpace(page[v]))
                    ++v;
                if (v < page.size() && (page[v] == '"' || page[v] == '\'')) {
                    const std::size_t close = page.find(page[v], v + 1);
                    at = close == std::string_view::npos ? page.size() : close + 1;
                    blank = false;
                    continue;
                }
            }
            if (isHtmlSpace(c)) {
                blank = true;
            } else if (blank) {
                blank = false;
                if (++attributes > kMostAttributes)
                    return true;
            }
            ++at;
        }
        i = at;
        // A script's or a style's content is read as it stands, up to its end tag.
        if (name == "script" || name == "style") {
            const std::size_t end = lowered(page.substr(i, std::string_view::npos)).find("</" + name);
            i = end == std::string::npos ? page.size() : i + end;
        }
    }
    return false;
}

// Nesting beyond this is cut off with what it holds, as every page that is read nests less.
constexpr std::size_t kDeepestNesting = 256;

// The parser's state while it reads one page: which elements are open, how much time is left.
class Reading {
public:
    Reading(PageReader& reader, std::chrono::milliseconds time)
        : m_reader(reader), m_deadline(std::chrono::steady_clock::now() + time), m_time(time) {}

    // What the parser calls as it reads; each says whether to stop.
    BrenvikHtmlEvents events() { return {this, &started, &ended, &characters}; }

    std::optional<Error> failure() const {
        if (m_timedOut) {
            const auto tenths = m_time.count() / 100;
            const std::string seconds =
                std::to_string(tenths / 10) + (tenths % 10 ? "." + std::to_string(tenths % 10) : "");
            return Error{ErrorCode::Invalid, "网页过于复杂，读了 " + seconds + " 秒还没读完，已放弃读取。"};
        }
        return m_reader.failure;
    }

private:
    static int started(void* reading, const char* name, const char* const* attributes) {
        Reading& r = *static_cast<Reading*>(reading);
        r.start(name, attributes);
        return r.m_stopped;
    }
    static int ended(void* reading) {
        Reading& r = *static_cast<Reading*>(reading);
        r.end();
        return r.m_stopped;
    }
    static int characters(void* reading, const char* text, std::size_t length) {
        Reading& r = *static_cast<Reading*>(reading);
        if (r.goOn() && r.m_skipping == 0)
            r.m_reader.text(std::string_view(text, length));
        return r.m_stopped;
    }

    // Whether reading goes on; the clock is looked at every few hundred events.
    bool goOn() {
        if (m_stopped)
            return false;
        if (++m_events % 256 == 0 && std::chrono::steady_clock::now() > m_deadline)
            m_timedOut = true;
        if (m_timedOut || m_reader.failure)
            stop();
        return !m_stopped;
    }

    void stop() { m_stopped = true; }

    void start(std::string_view name, const char* const* attributes) {
        if (!goOn())
            return;
        if (m_open.size() >= kDeepestNesting) {
            stop();
            return;
        }
        if (m_skipping > 0) {
            m_open.push_back({{name, Role::Hidden, m_open.size()}, false});
            ++m_skipping;
            return;
        }
        const Element e{name, roleOf(name, attributes), m_open.size()};
        const bool read = m_reader.enter(e);
        // The name lives as long as the parser's dictionary, the whole page.
        m_open.push_back({e, true});
        if (!read)
            ++m_skipping;
    }

    void end() {
        if (m_stopped || m_open.empty())
            return;
        const auto [e, visited] = m_open.back();
        m_open.pop_back();
        if (m_skipping > 0)
            --m_skipping;
        if (visited)
            m_reader.leave(e);
    }

    struct Open {
        Element element;
        bool visited; // entered, so it is left as well
    };

    PageReader& m_reader;
    std::chrono::steady_clock::time_point m_deadline;
    std::chrono::milliseconds m_time;
    std::vector<Open> m_open;
    int m_skipping = 0; // open elements whose content is not read
    long long m_events = 0;
    bool m_timedOut = false;
    bool m_stopped = false;
};

} // namespace

std::string charsetOfContentType(std::string_view contentType) {
    const std::string l = lowered(contentType.substr(0, 1024));
    const auto semicolon = l.find(';');
    if (semicolon == std::string::npos)
        return {};
    return charsetAfter(l, semicolon);
}

std::string charsetOfMeta(std::string_view html) {
    // Pages put the declaration near the top; looking further would only find text of the body.
    const std::string l = lowered(html.substr(0, 64 * 1024));
    for (std::size_t at = l.find("<meta"); at != std::string::npos; at = l.find("<meta", at + 5)) {
        const std::size_t end = l.find('>', at);
        const std::string_view tag =
            std::string_view(l).substr(at, end == std::string::npos ? std::string::npos : end - at);
        if (tag.size() > 5 && !isHtmlSpace(tag[5]) && tag[5] != '/')
            continue;
        if (std::string cs = charsetAfter(tag, 5); !cs.empty())
            return cs;
    }
    return {};
}

namespace {

// Decodes and parses the page, handing what it holds to `reader`.
Result<void> readPage(std::string_view html, std::string_view headerCharset, PageReader& reader,
                      const PageLimits& limits) {
    if (html.size() > kMaxPageBytes)
        return fail(ErrorCode::Invalid, "网页内容超过 16 MB，未读取。");

    std::string encoding;
    if (html.starts_with("\xEF\xBB\xBF")) {
        html.remove_prefix(3);
        encoding = "UTF-8";
    } else if (html.starts_with("\xFF\xFE")) {
        html.remove_prefix(2);
        encoding = "UTF-16LE";
    } else if (html.starts_with("\xFE\xFF")) {
        html.remove_prefix(2);
        encoding = "UTF-16BE";
    }
    if (encoding.empty())
        encoding = encodingOfLabel(headerCharset);
    if (encoding.empty()) {
        encoding = encodingOfLabel(charsetOfMeta(html));
        // A page cannot be UTF-16 by its own ASCII meta tag; browsers read such pages as UTF-8.
        if (encoding.starts_with("UTF-16"))
            encoding = "UTF-8";
    }
    if (encoding.empty())
        encoding = validUtf8(html) ? "UTF-8" : "GB18030";

    if (html.empty())
        return {};
    const auto& parser = htmlPlugin();
    if (!parser)
        return std::unexpected(parser.error());
    const std::string utf8 = decodeToUtf8(html, encoding);
    if (hasTagWithTooManyAttributes(utf8))
        return fail(ErrorCode::Invalid, "网页中有标签带了 " + std::to_string(kMostAttributes) +
                                            " 个以上的属性，不像走势图，未读取。");
    // The parser hands over each element as it reads it and builds no tree.
    Reading reading(reader, limits.time);
    const BrenvikHtmlEvents events = reading.events();
    if (!(*parser)->read(utf8.data(), utf8.size(), &events))
        return fail(ErrorCode::Io, "内存不足，网页未读取。");
    if (auto failed = reading.failure())
        return std::unexpected(*failed);
    return {};
}

} // namespace

Result<std::string> pageText(std::string_view html, std::string_view headerCharset,
                             const PageLimits& limits) {
    TextLayout layout;
    if (auto read = readPage(html, headerCharset, layout, limits); !read)
        return std::unexpected(read.error());
    return layout.take();
}

Result<std::vector<PageRow>> pageRows(std::string_view html, std::string_view headerCharset,
                                      const RowFilter& keep, const PageLimits& limits) {
    RowCollector rows(keep, limits.heldBytes);
    if (auto read = readPage(html, headerCharset, rows, limits); !read)
        return std::unexpected(read.error());
    return rows.take();
}

} // namespace brenvik
