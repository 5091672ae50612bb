// SPDX-License-Identifier: GPL-3.0-or-later
#include "PageText.h"

#include "SharedLibrary.h"

#include <iconv.h>
// The library's types and constants only: its functions are looked up when a page is read.
#include <libxml/HTMLparser.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>
#include <optional>

namespace brenvik {

namespace {

// The page parser and the Unicode libraries it draws in take a millisecond to load, as long as
// a whole search of the real history. Only reading a chart page needs them, so they are loaded
// then, once, and stay loaded for the rest of the process.
struct Xml {
    decltype(&htmlReadMemory) readMemory = nullptr;
    decltype(&xmlFreeDoc) freeDoc = nullptr;
    decltype(&xmlDocGetRootElement) rootElement = nullptr;
    decltype(&xmlGetProp) getProp = nullptr;
    decltype(&xmlHasProp) hasProp = nullptr;
    decltype(&xmlInitParser) initParser = nullptr;
    xmlFreeFunc* freeString = nullptr; // the library's variable holding the free() of its strings
};

// The library's functions; nothing when it cannot be loaded or lacks one of them.
const Xml* xmlLibrary() {
    static const std::optional<Xml> library = [] {
        auto x = loadLibrary<Xml>("libxml2.so.2", [](Xml& x, auto find) {
            find(x.readMemory, "htmlReadMemory");
            find(x.freeDoc, "xmlFreeDoc");
            find(x.rootElement, "xmlDocGetRootElement");
            find(x.getProp, "xmlGetProp");
            find(x.hasProp, "xmlHasProp");
            find(x.initParser, "xmlInitParser");
            find(x.freeString, "xmlFree");
        });
        if (x)
            x->initParser();
        return x;
    }();
    return library ? &*library : nullptr;
}

// The library as loaded by the page being read.
const Xml& xml() {
    return *xmlLibrary();
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

bool supported(const std::string& name) {
    iconv_t cd = iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    iconv_close(cd);
    return true;
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
    return supported(upper) ? upper : std::string();
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
    iconv_t cd = iconv_open("UTF-8", encoding.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return cleanUtf8(s);
    std::string out(s.size() * 2 + 64, '\0');
    std::string in(s);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    std::size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t r = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // A byte that starts no character of the encoding, or a character cut off at the end.
        if (out.size() - used < kReplacement.size())
            out.resize(out.size() * 2);
        out.replace(used, kReplacement.size(), kReplacement);
        used += kReplacement.size();
        ++inPtr;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    iconv_close(cd);
    out.resize(used);
    return cleanUtf8(out);
}

// How the element takes part in the layout of the text.
enum class Role { Inline, Hidden, Block, Paragraph, Row, Cell, Break, Preformatted };

bool attributeSays(xmlNode* node, const char* name, std::string_view needle) {
    xmlChar* value = xml().getProp(node, reinterpret_cast<const xmlChar*>(name));
    if (!value)
        return false;
    std::string compact;
    for (const xmlChar* p = value; *p && compact.size() < 4096; ++p)
        if (*p != ' ' && *p != '\t' && *p != '\n' && *p != '\r')
            compact += lower(static_cast<char>(*p));
    (*xml().freeString)(value);
    return compact.find(needle) != std::string::npos;
}

Role roleOf(xmlNode* node) {
    const std::string_view name = reinterpret_cast<const char*>(node->name);
    static constexpr std::array<std::string_view, 13> hidden = {
        "head",     "title", "script", "style", "noscript", "template", "iframe",
        "textarea", "embed", "audio",  "video", "canvas",   "datalist"};
    if (std::find(hidden.begin(), hidden.end(), name) != hidden.end())
        return Role::Hidden;
    // Whatever a page hides by itself is not part of what the reader sees either.
    if (xml().hasProp(node, reinterpret_cast<const xmlChar*>("hidden")) ||
        attributeSays(node, "style", "display:none"))
        return Role::Hidden;
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

bool isCell(const xmlNode* n) {
    if (n->type != XML_ELEMENT_NODE)
        return false;
    const std::string_view name = reinterpret_cast<const char*>(n->name);
    return name == "td" || name == "th";
}

bool isHtmlSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

// Collects the text with the line breaks a layout would give. Line breaks that blocks ask for
// are held back and merged, so that nested and empty blocks give one line end, and none at the
// start or the end of the text.
class TextLayout {
public:
    void text(std::string_view s) {
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

    void enterPreformatted() { ++m_preformatted; }
    void leavePreformatted() { --m_preformatted; }

    std::string take() { return std::move(m_out); }

private:
    void raw(std::string_view s) {
        flushBreaks();
        if (m_pendingSpace)
            m_out += ' ';
        m_pendingSpace = false;
        for (std::size_t i = 0; i < s.size(); ++i) {
            if (s[i] == '\r') {
                m_out += '\n';
                if (i + 1 < s.size() && s[i + 1] == '\n')
                    ++i;
            } else {
                m_out += s[i];
            }
        }
        if (!s.empty())
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
    int m_preformatted = 0;
};

// Returns whether the children of `node` are laid out.
bool enter(xmlNode* node, TextLayout& layout) {
    switch (node->type) {
    case XML_TEXT_NODE:
    case XML_CDATA_SECTION_NODE:
        if (node->content)
            layout.text(reinterpret_cast<const char*>(node->content));
        return false;
    case XML_ELEMENT_NODE:
        break;
    default:
        return false;
    }
    switch (roleOf(node)) {
    case Role::Hidden:
        return false;
    case Role::Break:
        layout.literal('\n');
        return false;
    case Role::Block:
    case Role::Row:
        layout.boundary(1);
        break;
    case Role::Paragraph:
        layout.boundary(2);
        break;
    case Role::Preformatted:
        layout.boundary(1);
        layout.enterPreformatted();
        break;
    case Role::Cell:
        // A cell starts a line of its own as far as blanks go: leading blanks vanish.
        layout.boundary(0);
        break;
    case Role::Inline:
        break;
    }
    return true;
}

void leave(xmlNode* node, TextLayout& layout) {
    if (node->type != XML_ELEMENT_NODE)
        return;
    switch (roleOf(node)) {
    case Role::Block:
    case Role::Row:
        layout.boundary(1);
        break;
    case Role::Paragraph:
        layout.boundary(2);
        break;
    case Role::Preformatted:
        layout.leavePreformatted();
        layout.boundary(1);
        break;
    case Role::Cell: {
        const xmlNode* next = node->next;
        while (next && !isCell(next))
            next = next->next;
        layout.boundary(0);
        if (next)
            layout.literal('\t');
        break;
    }
    default:
        break;
    }
}

// Walks the tree without recursion: a page may nest elements as deep as it likes. `enter`
// returns whether the children of a node are visited; `leave` is called for every node entered.
template <typename Enter, typename Leave> void walk(xmlNode* root, Enter enter, Leave leave) {
    xmlNode* n = root;
    for (;;) {
        if (enter(n) && n->children) {
            n = n->children;
            continue;
        }
        for (;;) {
            leave(n);
            if (n == root)
                return;
            if (n->next) {
                n = n->next;
                break;
            }
            n = n->parent;
        }
    }
}

void layOut(xmlNode* root, TextLayout& layout) {
    walk(
        root, [&](xmlNode* n) { return enter(n, layout); }, [&](xmlNode* n) { leave(n, layout); });
}

bool isHeading(const xmlNode* n) {
    const std::string_view name = reinterpret_cast<const char*>(n->name);
    return name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6';
}

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
// scripts) and headings are no part of any cell.
std::vector<PageRow> collectRows(xmlNode* root) {
    struct Open {
        const xmlNode* row;
        const xmlNode* cell = nullptr;
        std::size_t index;
    };
    std::vector<PageRow> rows;
    std::vector<Open> open;
    auto cellText = [&]() -> std::string* {
        if (open.empty() || !open.back().cell)
            return nullptr;
        return &rows[open.back().index].back();
    };
    walk(
        root,
        [&](xmlNode* n) {
            if (n->type == XML_TEXT_NODE || n->type == XML_CDATA_SECTION_NODE) {
                if (std::string* text = cellText(); text && n->content)
                    text->append(reinterpret_cast<const char*>(n->content));
                return false;
            }
            if (n->type != XML_ELEMENT_NODE)
                return false;
            const Role role = roleOf(n);
            if (role == Role::Hidden || isHeading(n))
                return false;
            if (role == Role::Row) {
                rows.emplace_back();
                open.push_back({n, nullptr, rows.size() - 1});
            } else if (role == Role::Cell && !open.empty() && !open.back().cell) {
                rows[open.back().index].emplace_back();
                open.back().cell = n;
            } else if (role == Role::Break) {
                if (std::string* text = cellText())
                    *text += ' ';
            }
            return true;
        },
        [&](xmlNode* n) {
            if (open.empty())
                return;
            if (open.back().cell == n)
                open.back().cell = nullptr;
            else if (open.back().row == n)
                open.pop_back();
        });
    for (PageRow& row : rows)
        for (std::string& cell : row)
            cell = tidyCell(cell);
    return rows;
}

// The parser supplies the html and body elements a page leaves out, so the body, when there is
// one, is a child of the root.
xmlNode* findBody(xmlNode* root) {
    for (xmlNode* n = root->children; n; n = n->next)
        if (n->type == XML_ELEMENT_NODE && std::strcmp(reinterpret_cast<const char*>(n->name), "body") == 0)
            return n;
    return nullptr;
}

struct DocFree {
    void operator()(xmlDoc* doc) const { xml().freeDoc(doc); }
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

using DocPtr = std::unique_ptr<xmlDoc, DocFree>;

// The page decoded and parsed; a null document for an empty page.
Result<DocPtr> parsePage(std::string_view html, std::string_view headerCharset) {
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
        return DocPtr();
    const Xml* lib = xmlLibrary();
    if (!lib)
        return fail(ErrorCode::Io, "无法载入网页解析库 libxml2.so.2，网页未读取。");
    const std::string utf8 = decodeToUtf8(html, encoding);
    // The page is UTF-8 by now, whatever its meta tag says; libxml2 would otherwise switch
    // decoders half-way through the page. Beyond 256 nested elements libxml2 stops reading: no
    // chart page nests that deep, and lifting the limit would lift the bounds on text nodes too.
    const int options = HTML_PARSE_RECOVER | HTML_PARSE_NOERROR | HTML_PARSE_NOWARNING | HTML_PARSE_NONET |
                        HTML_PARSE_IGNORE_ENC | HTML_PARSE_COMPACT;
    return DocPtr(lib->readMemory(utf8.data(), static_cast<int>(utf8.size()), nullptr, "UTF-8", options));
}

} // namespace

Result<std::string> pageText(std::string_view html, std::string_view headerCharset) {
    auto doc = parsePage(html, headerCharset);
    if (!doc)
        return std::unexpected(doc.error());
    xmlNode* root = *doc ? xml().rootElement(doc->get()) : nullptr;
    if (!root)
        return std::string();
    xmlNode* body = findBody(root);
    TextLayout layout;
    layOut(body ? body : root, layout);
    return layout.take();
}

Result<std::vector<PageRow>> pageRows(std::string_view html, std::string_view headerCharset) {
    auto doc = parsePage(html, headerCharset);
    if (!doc)
        return std::unexpected(doc.error());
    xmlNode* root = *doc ? xml().rootElement(doc->get()) : nullptr;
    if (!root)
        return std::vector<PageRow>();
    return collectRows(root);
}

} // namespace brenvik
