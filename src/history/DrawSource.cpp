// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawSource.h"

#include "ChartPage.h"
#include "IssueNumber.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>
#include <map>

namespace brenvik {

namespace {

using nlohmann::json;

constexpr std::string_view kFc3dHost = "https://www.cwl.gov.cn";
constexpr std::string_view kPl3Host = "https://webapi.sporttery.cn";

std::string hostOr(Game game, std::string_view host) {
    while (host.ends_with('/'))
        host.remove_suffix(1);
    return std::string(host.empty() ? operatorHost(game) : host);
}

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trimmed(std::string_view s) {
    if (s.starts_with("\xEF\xBB\xBF"))
        s.remove_prefix(3);
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

Error refused(const std::string& what) {
    return Error{ErrorCode::Network, "来源拒绝了请求（" + what + "）"};
}

// What a reply may hold: a page of draws nests four deep, and a page of 5,000 notices with their
// prize grades has some 300,000 values. A reply beyond these bounds is no page of draws, and is
// refused before a tree of it is built.
constexpr int kDeepestReply = 64;
constexpr long long kMostReplyValues = 2'000'000;

// The keys a reply's tree keeps; the rest (prize grades, sales, links) is passed over as it is
// read, so that a page of thousands of notices builds a tree of a few values per draw.
bool keptKey(const std::string& key) {
    static constexpr std::string_view kKept[] = {
        "state", "message", "msg",   "success", "errorCode", "errorMessage",   "value", "result",
        "list",  "total",   "pages", "pageNum", "code",      "lotteryDrawNum", "issue", "lotteryDrawResult",
        "red"};
    return std::ranges::find(kKept, key) != std::end(kKept);
}

// Counts a reply's values and nesting as the parser reads it, without keeping any of it.
class ReplyBounds : public nlohmann::json_sax<json> {
public:
    bool null() override { return value(); }
    bool boolean(bool) override { return value(); }
    bool number_integer(number_integer_t) override { return value(); }
    bool number_unsigned(number_unsigned_t) override { return value(); }
    bool number_float(number_float_t, const string_t&) override { return value(); }
    bool string(string_t&) override { return value(); }
    bool binary(binary_t&) override { return value(); }
    bool start_object(std::size_t) override { return open(); }
    bool key(string_t&) override { return true; }
    bool end_object() override { return close(); }
    bool start_array(std::size_t) override { return open(); }
    bool end_array() override { return close(); }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) override {
        return false;
    }

    // Why the reply is refused; nothing when it is within the bounds (or is no JSON at all,
    // which the reader says itself).
    std::optional<std::string> refusal() const {
        if (m_depth > kDeepestReply)
            return "回复不是开奖数据：嵌套过深";
        if (m_values > kMostReplyValues)
            return "回复不是开奖数据：数据项超过 " + std::to_string(kMostReplyValues) + " 个";
        return std::nullopt;
    }

private:
    bool value() { return ++m_values <= kMostReplyValues; }
    bool open() { return value() && ++m_depth <= kDeepestReply; }
    bool close() {
        --m_depth;
        return true;
    }

    int m_depth = 0;
    long long m_values = 0;
};

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return out;
}

// The title of a web page, else its text without the tags.
std::string pageGist(std::string_view html) {
    const std::string low = lower(html);
    if (const auto open = low.find("<title"); open != std::string::npos) {
        const auto start = low.find('>', open);
        const auto end = low.find("</title", open);
        if (start != std::string::npos && end != std::string::npos && start < end) {
            const std::string title = shortQuote(html.substr(start + 1, end - start - 1));
            if (!title.empty())
                return title;
        }
    }
    std::string text;
    bool inTag = false;
    for (char c : html) {
        if (c == '<')
            inTag = true;
        else if (c == '>')
            inTag = false;
        else if (!inTag)
            text += c;
    }
    return shortQuote(text);
}

// The text of a value given as text or as a whole number; nothing for anything else.
std::optional<std::string> textOf(const json& v) {
    if (v.is_string())
        return std::string(trimmed(v.get_ref<const std::string&>()));
    if (v.is_number_unsigned())
        return std::to_string(v.get<unsigned long long>());
    if (v.is_number_integer())
        return std::to_string(v.get<long long>());
    if (v.is_number_float()) {
        const double d = v.get<double>();
        if (std::isfinite(d) && d == std::floor(d) && std::fabs(d) < 1e15)
            return std::to_string(static_cast<long long>(d));
    }
    return std::nullopt;
}

std::optional<long long> countOf(const json& v) {
    const auto text = textOf(v);
    return text ? parseWholeNumber(*text, 0, 100'000'000) : std::nullopt;
}

const json* member(const json& object, std::string_view key) {
    if (!object.is_object())
        return nullptr;
    const auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

const json* firstMember(const json& object, std::initializer_list<std::string_view> keys) {
    for (std::string_view key : keys)
        if (const json* v = member(object, key); v && !v->is_null())
            return v;
    return nullptr;
}

// 2026224, or 26224 with the year's last two digits.
std::optional<std::int32_t> issueOf(const json& v) {
    const auto text = textOf(v);
    if (!text)
        return std::nullopt;
    if (text->size() == 5 && text->find_first_not_of("0123456789") == std::string::npos) {
        const int year = 2000 + std::stoi(text->substr(0, 2));
        const int sequence = std::stoi(text->substr(2));
        return sequence > 0 ? std::optional(year * 1000 + sequence) : std::nullopt;
    }
    const auto issue = parseIssue(*text);
    return issue && *issue % 1000 > 0 ? issue : std::nullopt;
}

// What a source writes for an issue not drawn yet: nothing, dashes, or words without a digit
// ("待开奖").
bool notDrawnYet(std::string_view text) {
    return text.find_first_of("0123456789") == std::string_view::npos &&
           (text.find_first_not_of(" -,\t") == std::string_view::npos ||
            text.find("开奖") != std::string_view::npos);
}

// "8,6,2", "8 6 2", "08,06,02", "862": the digits. Nothing else is a draw: a sign, a fourth
// number, a number beyond 9 or a letter makes the text unreadable.
std::optional<std::array<int, 3>> digitsOfText(std::string_view text) {
    std::vector<std::string_view> runs;
    std::size_t at = 0;
    while (at < text.size()) {
        const char c = text[at];
        if (c == ',' || c == ' ' || c == '\t') {
            ++at;
            continue;
        }
        const auto end = text.find_first_of(", \t", at);
        runs.push_back(text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at));
        at = end == std::string_view::npos ? text.size() : end;
    }
    for (std::string_view run : runs)
        if (run.find_first_not_of("0123456789") != std::string_view::npos)
            return std::nullopt;
    if (runs.size() == 1 && runs[0].size() == 3)
        return std::array<int, 3>{runs[0][0] - '0', runs[0][1] - '0', runs[0][2] - '0'};
    if (runs.size() != 3)
        return std::nullopt;
    std::array<int, 3> digits{};
    for (std::size_t i = 0; i < 3; ++i) {
        const auto significant = runs[i].find_first_not_of('0');
        const std::string_view run =
            significant == std::string_view::npos ? "0" : runs[i].substr(significant);
        if (run.size() != 1)
            return std::nullopt;
        digits[i] = run[0] - '0';
    }
    return digits;
}

// The draw an item gives: its digits, or none with what stood in their place when that is not
// the mark of an issue not drawn yet.
void readDigits(const json* v, SourceItem& item) {
    std::string text;
    if (v && v->is_array()) {
        for (const json& part : *v) {
            const auto t = part.is_string() || part.is_number_integer() || part.is_number_unsigned()
                               ? textOf(part)
                               : std::nullopt;
            text += (text.empty() ? "" : ",") + t.value_or("?");
        }
    } else if (v && v->is_string()) {
        text = std::string(trimmed(v->get_ref<const std::string&>()));
    } else if (v && !v->is_null()) {
        // A number (is 7 the draw 007?) or anything else is no way to write a draw.
        item.unreadable = shortQuote(v->dump(), 20);
        return;
    }
    if (notDrawnYet(text))
        return;
    item.digits = digitsOfText(text);
    if (!item.digits)
        item.unreadable = shortQuote(text, 20);
}

std::string digitsText(const std::array<int, 3>& d) {
    return {static_cast<char>('0' + d[0]), static_cast<char>('0' + d[1]), static_cast<char>('0' + d[2])};
}

// What an item says of its draw, for a message.
std::string drawText(const SourceItem& item) {
    return item.digits ? digitsText(*item.digits) : "“" + item.unreadable + "”";
}

// A page that lists one issue twice with other digits says two things of one draw, and neither
// can be believed: "第 2026224 期列出两次，号码为 123 和 124".
std::optional<std::string> contradiction(const std::vector<SourceItem>& items) {
    std::map<std::int32_t, const SourceItem*> seen;
    for (const SourceItem& item : items) {
        if (!item.digits && item.unreadable.empty())
            continue;
        const auto [it, fresh] = seen.try_emplace(item.issue, &item);
        if (!fresh && (it->second->digits != item.digits || it->second->unreadable != item.unreadable))
            return "第 " + std::to_string(item.issue) + " 期列出两次，号码为 " + drawText(*it->second) +
                   " 和 " + drawText(item);
    }
    return std::nullopt;
}

std::string said(const json& reply, std::initializer_list<std::string_view> keys) {
    const json* v = firstMember(reply, keys);
    const auto text = v ? textOf(*v) : std::nullopt;
    return text ? shortQuote(*text) : std::string();
}

std::string withColon(const std::string& text) {
    return text.empty() ? text : "：" + text;
}

} // namespace

std::string_view sourceName(DrawSource source) {
    return source == DrawSource::Chart ? "走势图站点" : "官方开奖公告";
}

std::string_view sourceId(DrawSource source) {
    return source == DrawSource::Chart ? "chart" : "official";
}

std::optional<DrawSource> sourceOfId(std::string_view id) {
    if (id == "official")
        return DrawSource::Official;
    if (id == "chart")
        return DrawSource::Chart;
    return std::nullopt;
}

DrawSource storedSource(const SettingsValues& settings) {
    if (settings.intSjly == sourceSetting(DrawSource::Chart))
        return DrawSource::Chart;
    if (settings.intSjly == sourceSetting(DrawSource::Official))
        return DrawSource::Official;
    return normalizeChartHost(settings.strZstHost) ? DrawSource::Chart : DrawSource::Official;
}

std::string_view operatorHost(Game game) {
    return game == Game::Pl3 ? kPl3Host : kFc3dHost;
}

std::string feedHomeAddress(Game game, std::string_view host) {
    return game == Game::Fc3d ? hostOr(game, host) + "/" : std::string();
}

int feedPageSize(std::int32_t floor, int currentYear) {
    const int floorYear = floor / 1000;
    if (floorYear > currentYear)
        return kFeedPageSize;
    const long long after = std::max(0, kLastSequence - floor % 1000) +
                            static_cast<long long>(kLastSequence) * (currentYear - floorYear);
    return static_cast<int>(std::clamp<long long>(after + 1, kFeedPageSize, kMostFeedPageSize));
}

std::string feedPageAddress(Game game, std::string_view host, int pageNo, int pageSize) {
    const std::string page = std::to_string(pageNo);
    const std::string size = std::to_string(pageSize);
    if (game == Game::Pl3)
        return hostOr(game, host) +
               "/gateway/lottery/getHistoryPageListV1.qry?gameNo=35&provinceId=0&pageSize=" + size +
               "&isVerify=1&pageNo=" + page;
    return hostOr(game, host) +
           "/cwl_admin/front/cwlkj/search/kjxx/findDrawNotice?name=3d&issueCount=&issueStart=&issueEnd="
           "&dayStart=&dayEnd=&pageNo=" +
           page + "&pageSize=" + size + "&week=&systemType=PC";
}

std::string_view feedReferer(Game game) {
    return game == Game::Pl3 ? "https://static.sporttery.cn/" : "https://www.cwl.gov.cn/ygkj/wqkjgg/fc3d/";
}

Result<FeedPage> readFeedPage(std::string_view body) {
    const std::string_view text = trimmed(body);
    if (text.empty())
        return std::unexpected(refused("回复为空"));
    if (text.front() == '<')
        return std::unexpected(refused("返回的是网页而不是开奖数据：" + pageGist(text)));
    if (text.size() > kMaxPageBytes)
        return std::unexpected(refused("回复超过 16 MB"));
    ReplyBounds bounds;
    json::sax_parse(text.begin(), text.end(), &bounds);
    if (const auto refusal = bounds.refusal())
        return std::unexpected(refused(*refusal));
    const json reply = json::parse(
        text.begin(), text.end(),
        [](int, json::parse_event_t event, json& parsed) {
            return event != json::parse_event_t::key || keptKey(parsed.get_ref<const std::string&>());
        },
        false);
    if (reply.is_discarded() || !reply.is_object())
        return std::unexpected(refused("回复不是 JSON 数据：" + shortQuote(text, 40)));

    // The welfare lottery says no with a state other than 0, the sports lottery with success false.
    if (const json* state = member(reply, "state")) {
        const auto code = textOf(*state);
        if (code != "0")
            return std::unexpected(refused("state " + shortQuote(code.value_or(state->dump()), 20) +
                                           withColon(said(reply, {"message", "msg"}))));
    }
    if (const json* success = member(reply, "success")) {
        const bool yes =
            success->is_boolean() ? success->get<bool>() : lower(textOf(*success).value_or("")) == "true";
        if (!yes) {
            const std::string code = said(reply, {"errorCode"});
            const std::string message = said(reply, {"errorMessage", "message"});
            return std::unexpected(refused(code.empty() ? (message.empty() ? "success 为 false" : message)
                                                        : "errorCode " + code + withColon(message)));
        }
    }

    const json* value = member(reply, "value");
    const json* list = firstMember(reply, {"result"});
    const json* counts = &reply;
    if ((!list || !list->is_array()) && value) {
        list = firstMember(*value, {"list", "result"});
        counts = value;
    }
    if (!list || !list->is_array())
        return std::unexpected(refused("回复中没有开奖列表：" + shortQuote(text, 40)));

    FeedPage page;
    for (const json& item : *list) {
        const json* issue = firstMember(item, {"code", "lotteryDrawNum", "issue"});
        const auto number = issue ? issueOf(*issue) : std::nullopt;
        if (!number)
            continue;
        SourceItem read{*number, std::nullopt, {}};
        readDigits(firstMember(item, {"red", "lotteryDrawResult"}), read);
        page.items.push_back(std::move(read));
    }
    if (const auto contradicted = contradiction(page.items))
        return std::unexpected(Error{ErrorCode::Invalid, "来源自相矛盾（" + *contradicted + "）"});
    if (const json* total = member(*counts, "total"))
        page.total = countOf(*total);
    // The welfare lottery's pageNum is its count of pages.
    if (const json* pages = firstMember(*counts, {"pages", "pageNum"}))
        page.pages = countOf(*pages);
    return page;
}

std::string shortQuote(std::string_view text, std::size_t maxChars) {
    std::string out;
    std::size_t chars = 0;
    bool blank = true; // no blank at the start, and never two in a row
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80           ? 1
                             : (c >> 5) == 0x6  ? 2
                             : (c >> 4) == 0xE  ? 3
                             : (c >> 3) == 0x1E ? 4
                                                : 0;
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (!valid) {
            length = 1;
        }
        const bool space = valid && length == 1 && (c < 0x20 || c == ' ' || c == 0x7F);
        if (space && blank) {
            i += length;
            continue;
        }
        if (chars == maxChars) {
            if (trimmed(text.substr(i)).empty())
                break;
            while (out.ends_with(' '))
                out.pop_back();
            return out + "…";
        }
        if (space)
            out += ' ';
        else if (!valid)
            out += '?';
        else
            out.append(text.substr(i, length));
        blank = space;
        ++chars;
        i += length;
    }
    while (out.ends_with(' '))
        out.pop_back();
    return out;
}

} // namespace brenvik
