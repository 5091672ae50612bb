#include "ChartPage.h"

#include "Settings.h"

#include <array>
#include <charconv>

namespace brenvik {

namespace {

// How many characters after a marker may stand before the first digit. Chart rows put a tab,
// a few blanks or a short word there; a marker followed by running text is no draw row.
constexpr int kMaxSeparator = 16;
// How many blanks may stand between two digits of a draw written apart ("1 2 3").
constexpr int kMaxBlanksBetween = 8;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t codePointLength(char lead) {
    const auto c = static_cast<unsigned char>(lead);
    if (c >= 0xF0)
        return 4;
    if (c >= 0xE0)
        return 3;
    if (c >= 0xC0)
        return 2;
    return 1;
}

// Length of the blank that starts at `i`, 0 when none does. Chart pages pad with no-break
// spaces and the ideographic space as often as with plain ones.
std::size_t blankAt(std::string_view text, std::size_t i) {
    const std::string_view rest = text.substr(i);
    if (rest.starts_with(' ') || rest.starts_with('\t'))
        return 1;
    if (rest.starts_with("\xC2\xA0"))
        return 2;
    if (rest.starts_with("\xE3\x80\x80"))
        return 3;
    return 0;
}

// Charts fill the digit cells of an issue not drawn yet with dashes, stars or question marks.
// Passing over them would read the next cells (sums, gaps) as the draw.
bool isPlaceholder(std::string_view text, std::size_t i) {
    const std::string_view rest = text.substr(i);
    return rest.starts_with('-') || rest.starts_with('*') || rest.starts_with('?') || rest.starts_with('_') ||
           rest.starts_with("\xE2\x80\x94") /* — */ || rest.starts_with("\xEF\xBC\x8D") /* － */ ||
           rest.starts_with("\xEF\xBC\x9F") /* ？ */;
}

std::optional<std::array<int, 3>> digitsAfter(std::string_view text, std::size_t i) {
    for (int skipped = 0; i < text.size() && !isDigit(text[i]); ++skipped) {
        if (skipped == kMaxSeparator || isPlaceholder(text, i))
            return std::nullopt;
        i += codePointLength(text[i]);
    }
    std::array<int, 3> digits{};
    for (int d = 0; d < 3; ++d) {
        if (d > 0) {
            int blanks = 0;
            for (std::size_t len; i < text.size() && (len = blankAt(text, i)) > 0; i += len)
                if (++blanks > kMaxBlanksBetween)
                    return std::nullopt;
        }
        if (i >= text.size() || !isDigit(text[i]))
            return std::nullopt;
        digits[d] = text[i] - '0';
        ++i;
    }
    // Three digits that run on into a fourth belong to a longer number (a year, another issue),
    // not to a draw.
    if (i < text.size() && isDigit(text[i]))
        return std::nullopt;
    return digits;
}

// Calls `found(k, position)` for every marker of `year` in `text` in the order they stand, until
// it returns false.
template <typename F> void forEachMarker(std::string_view text, int year, F found) {
    const std::string prefix = std::to_string(year) + "-";
    for (std::size_t at = text.find(prefix); at != std::string_view::npos; at = text.find(prefix, at + 1)) {
        if (text.size() - at < prefix.size() + 3)
            return;
        const char* s = text.data() + at + prefix.size();
        if (!isDigit(s[0]) || !isDigit(s[1]) || !isDigit(s[2]))
            continue;
        const int k = (s[0] - '0') * 100 + (s[1] - '0') * 10 + (s[2] - '0');
        if (k >= 1 && k <= kChartLastSequence && !found(k, at))
            return;
    }
}

} // namespace

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

std::string chartPageAddress(std::string_view host, int lotteryType, int year) {
    while (host.ends_with('/'))
        host.remove_suffix(1);
    const bool fc3d = lotteryType == kLottery3D;
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

std::vector<DrawLine> scanYear(std::string_view text, int year, int firstSequence) {
    std::vector<DrawLine> found;
    if (year < 1000 || year > 9999)
        return found;
    firstSequence = std::max(firstSequence, 1);
    if (firstSequence > kChartLastSequence)
        return found;

    // One pass finds the first occurrence of every marker of the year, so a large page is read
    // once rather than once per issue.
    constexpr std::size_t kNone = std::string_view::npos;
    std::array<std::size_t, kChartLastSequence + 1> first;
    first.fill(kNone);
    int missing = kChartLastSequence;
    forEachMarker(text, year, [&](int k, std::size_t at) {
        if (first[k] == kNone) {
            first[k] = at;
            --missing;
        }
        return missing > 0;
    });

    constexpr std::size_t kMarkerLength = 8; // "2013-001"
    for (int k = firstSequence; k <= kChartLastSequence && first[k] != kNone; ++k)
        if (auto digits = digitsAfter(text, first[k] + kMarkerLength))
            found.push_back({year * 1000 + k, *digits});
    return found;
}

bool listsIssuesOf(std::string_view text, int year) {
    if (year < 1000 || year > 9999)
        return false;
    bool any = false;
    forEachMarker(text, year, [&](int, std::size_t) {
        any = true;
        return false;
    });
    return any;
}

} // namespace brenvik
