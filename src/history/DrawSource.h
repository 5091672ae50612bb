// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Game.h"
#include "Settings.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {

// Where the online update reads the draws.
enum class DrawSource {
    Official, // the operator's own draw notices of the chosen game, page by page, newest first
    Chart,    // the chart pages of a chart site, one per year
};

// "官方开奖公告", "走势图站点": as the settings and the messages name them.
std::string_view sourceName(DrawSource source);
// The companion's names: "official", "chart".
std::string_view sourceId(DrawSource source);
std::optional<DrawSource> sourceOfId(std::string_view id);
// The value kept under intSjly.
constexpr int sourceSetting(DrawSource source) {
    return source == DrawSource::Chart ? 1 : 0;
}
// The source the settings choose: the one the user chose, else the chart site for a user who
// stored one before there was a choice, else the operator's feed.
DrawSource storedSource(const SettingsValues& settings);

// One issue a source lists: its digits, or none for an issue not drawn yet or whose digits
// cannot be read; then `unreadable` holds what the source gave in their place, if anything.
struct SourceItem {
    std::int32_t issue = 0;
    std::optional<std::array<int, 3>> digits;
    std::string unreadable = {};
    bool operator==(const SourceItem&) const = default;
};

// What the operators' feeds are asked for per page: at least what their own pages ask for, at
// most what a reply of theirs has been seen to hold (the welfare lottery answers 5,000 notices,
// its whole feed, in one reply of a few megabytes).
inline constexpr int kFeedPageSize = 30;
inline constexpr int kMostFeedPageSize = 5000;
// The page size that reaches `floor` (the newest issue the update need not read) in one page
// in the year `currentYear`: as many issues as can have been drawn after it, since no year has
// more than 366, and the floor itself, within the bounds above.
int feedPageSize(std::int32_t floor, int currentYear);
// What a browser sends: the operators' firewalls turn other programs away.
inline constexpr std::string_view kBrowserUserAgent =
    "Mozilla/5.0 (Windows NT 10.0; Win64; x64) AppleWebKit/537.36 (KHTML, like Gecko) Chrome/124.0.0.0 "
    "Safari/537.36";

// The operator's scheme and host of a game's feed: "https://www.cwl.gov.cn" for 福彩3D,
// "https://webapi.sporttery.cn" for 体彩排列3.
std::string_view operatorHost(Game game);
// The page a browser visits before it may ask for the draws, with `host` ("scheme://host[:port]",
// empty for the operator's own) in place of the operator's: the welfare lottery's answers only
// carry draws with the cookie its home page sets. Empty for a feed that needs no such visit.
std::string feedHomeAddress(Game game, std::string_view host);
// The address of page `pageNo` (from 1) of a game's feed, `pageSize` draws to a page.
std::string feedPageAddress(Game game, std::string_view host, int pageNo, int pageSize);
// The operator's own page the feed's requests come from. A mirror forwards it as it is, so it
// stays the operator's whatever host the feed is read from.
std::string_view feedReferer(Game game);

struct FeedPage {
    std::vector<SourceItem> items;  // as the reply lists them (newest first)
    std::optional<long long> total; // how many the whole feed lists, when the reply says
    std::optional<long long> pages; // how many pages it has, when the reply says
};

// Reads one reply of either feed. Numbers may come as numbers or as text, issues with a
// two-digit year (26224 is 2026224), digits as three numbers 0–9 separated by commas or blanks
// or as one number of three digits; anything else where the digits belong is kept as the item's
// `unreadable` text, and an empty value ("", "--", 待开奖) is an issue not drawn yet. Keys the
// reader does not know are passed over, and an item whose issue cannot be read is left out. A
// reply that is no list of draws (a web page, no JSON, state or success saying no) is the error
// "来源拒绝了请求（…）" with what the reply said; a page that lists one issue twice with other
// digits is the error "来源自相矛盾（…）".
Result<FeedPage> readFeedPage(std::string_view body);

// What a reply said, for a message: at most `maxChars` characters of it on one line, any byte
// that is not UTF-8 shown as "?".
std::string shortQuote(std::string_view text, std::size_t maxChars = 60);

} // namespace brenvik
