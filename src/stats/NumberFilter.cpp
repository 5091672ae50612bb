// SPDX-License-Identifier: GPL-3.0-or-later
#include "NumberFilter.h"

#include "Omission.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace brenvik::stats {

namespace {

constexpr std::array<FieldInfo, kFieldCount> kFields = {{
    {"sum", "和值", 0, 27},
    {"span", "跨度", 0, 9},
    {"form", "形态", 0, 2},
    {"odd", "奇数个数", 0, 3},
    {"big", "大数个数", 0, 3},
    {"dan", "胆码", 0, 9},
    {"kill", "杀号", 0, 9},
    {"pos1", "第1位定位", 0, 9},
    {"pos2", "第2位定位", 0, 9},
    {"pos3", "第3位定位", 0, 9},
    {"kill1", "第1位杀号", 0, 9},
    {"kill2", "第2位杀号", 0, 9},
    {"kill3", "第3位杀号", 0, 9},
}};

constexpr std::array<std::string_view, kFormValues> kFormKeys = {"baozi", "zusan", "zuliu"};

// Longer than any list a person types; keeps a pasted page from being scanned.
constexpr std::size_t kLongestText = 200;

constexpr std::string_view kDanAllKey = "dan-all";

// Fields whose values are digits that must not appear rather than values to keep.
bool excludes(Field f) {
    return f == Field::Kill || f == Field::Kill1 || f == Field::Kill2 || f == Field::Kill3;
}

// For every field and value, the numbers that have it: a condition is then the union of its
// values' sets, and the filter the intersection of its conditions, 16 words at a time.
struct Features {
    std::array<std::array<NumberSet, kSumValues>, kFieldCount> has{};

    Features() {
        for (int n = 0; n < kNumbers; ++n) {
            const std::array<int, 3> d = {n / 100, n / 10 % 10, n % 10};
            const DrawShape shape = shapeOf(d[0], d[1], d[2]);
            const auto n_ = static_cast<std::size_t>(n);
            at(Field::Sum, shape.sum).set(n_);
            at(Field::Span, shape.span).set(n_);
            at(Field::Form, static_cast<int>(shape.form)).set(n_);
            at(Field::Odd, d[0] % 2 + d[1] % 2 + d[2] % 2).set(n_);
            at(Field::Big, (d[0] >= 5) + (d[1] >= 5) + (d[2] >= 5)).set(n_);
            for (int p = 1; p <= 3; ++p) {
                const int digit = d[static_cast<std::size_t>(p - 1)];
                at(Field::Dan, digit).set(n_);
                at(Field::Kill, digit).set(n_);
                at(positionField(p), digit).set(n_);
                at(positionKillField(p), digit).set(n_);
            }
        }
    }
    NumberSet& at(Field f, int value) {
        return has[static_cast<std::size_t>(f)][static_cast<std::size_t>(value)];
    }
};

const Features& features() {
    static const Features f;
    return f;
}

std::string valuesMessage(const FieldInfo& info) {
    return std::string(info.name) + "只能写 " + std::to_string(info.low) + "～" + std::to_string(info.high) +
           " 的数和范围，以逗号分开（如 " + (info.high > 9 ? "10-17,20" : "1-3,5") + "）";
}

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// The length of a separator at `at`: a comma, a blank, or the Chinese comma or enumeration comma.
std::size_t separatorAt(std::string_view text, std::size_t at) {
    if (text[at] == ',' || isBlank(text[at]))
        return 1;
    for (std::string_view wide : {std::string_view("，"), std::string_view("、")})
        if (text.substr(at).starts_with(wide))
            return wide.size();
    return 0;
}

std::size_t rangeMarkAt(std::string_view text, std::size_t at) {
    if (text[at] == '-' || text[at] == '~')
        return 1;
    for (std::string_view wide : {std::string_view("～"), std::string_view("－")})
        if (text.substr(at).starts_with(wide))
            return wide.size();
    return 0;
}

// The items of a list: the runs of text between separators.
std::vector<std::string_view> items(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (const std::size_t sep = separatorAt(text, i)) {
            if (i > start)
                out.push_back(text.substr(start, i - start));
            i += sep;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < text.size())
        out.push_back(text.substr(start));
    return out;
}

Result<std::uint32_t> parseForms(const FieldInfo& info, std::string_view text) {
    std::uint32_t mask = 0;
    for (std::string_view item : items(text)) {
        int found = -1;
        for (int f = 0; f < kFormValues; ++f)
            if (item == kFormKeys[static_cast<std::size_t>(f)] ||
                item == kFormCaptions[static_cast<std::size_t>(f)])
                found = f;
        if (found < 0)
            return fail(ErrorCode::Invalid, std::string(info.name) +
                                                "只能是 baozi、zusan、zuliu（豹子、组三、组六），不能是“" +
                                                std::string(item) + "”。");
        mask |= 1u << found;
    }
    return mask;
}

// Reads a whole number at `at`, moving past it; nothing when there is no digit. A number too long
// for any field is read as far as it goes and comes out above every bound.
std::optional<long long> readNumber(std::string_view text, std::size_t& at) {
    const std::size_t start = at;
    long long v = 0;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        v = std::min(v * 10 + (text[at] - '0'), 1000000LL);
        ++at;
    }
    return at > start ? std::optional(v) : std::nullopt;
}

void skipBlanks(std::string_view text, std::size_t& at) {
    while (at < text.size() && isBlank(text[at]))
        ++at;
}

} // namespace

const FieldInfo& fieldInfo(Field field) {
    return kFields[static_cast<std::size_t>(field)];
}

bool FilterConditions::none() const {
    return std::ranges::all_of(masks, [](std::uint32_t m) { return m == 0; });
}

NumberSet keptNumbers(const FilterConditions& c) {
    const Features& f = features();
    NumberSet kept;
    kept.set();
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        std::uint32_t mask = c[field];
        if (mask == 0)
            continue;
        const auto& sets = f.has[static_cast<std::size_t>(i)];
        if (field == Field::Dan && c.danAll) {
            for (; mask != 0; mask &= mask - 1)
                kept &= sets[static_cast<std::size_t>(std::countr_zero(mask))];
            continue;
        }
        NumberSet any;
        for (; mask != 0; mask &= mask - 1)
            any |= sets[static_cast<std::size_t>(std::countr_zero(mask))];
        if (excludes(field))
            kept &= ~any;
        else
            kept &= any;
    }
    return kept;
}

std::string numberText(int number) {
    return {static_cast<char>('0' + number / 100), static_cast<char>('0' + number / 10 % 10),
            static_cast<char>('0' + number % 10)};
}

Result<std::uint32_t> parseField(Field field, std::string_view text) {
    const FieldInfo& info = fieldInfo(field);
    if (text.size() > kLongestText)
        return fail(ErrorCode::Invalid, std::string(info.name) + "写得太长了。");
    if (field == Field::Form)
        return parseForms(info, text);
    std::uint32_t mask = 0;
    std::size_t at = 0;
    for (;;) {
        while (at < text.size() && separatorAt(text, at))
            at += separatorAt(text, at);
        if (at == text.size())
            return mask;
        const std::size_t start = at;
        const auto low = readNumber(text, at);
        std::optional<long long> high = low;
        if (low) {
            std::size_t next = at;
            skipBlanks(text, next);
            if (const std::size_t mark = next < text.size() ? rangeMarkAt(text, next) : 0) {
                at = next + mark;
                skipBlanks(text, at);
                high = readNumber(text, at);
            }
        }
        if (!low || !high || (at < text.size() && !separatorAt(text, at))) {
            // The item is what lies up to the next comma.
            std::size_t end = start;
            while (end < text.size() && (isBlank(text[end]) || !separatorAt(text, end)))
                ++end;
            std::string_view item = text.substr(start, end - start);
            while (!item.empty() && isBlank(item.back()))
                item.remove_suffix(1);
            return fail(ErrorCode::Invalid, valuesMessage(info) + "，不能是“" + std::string(item) + "”。");
        }
        for (const long long v : {*low, *high})
            if (v < info.low || v > info.high)
                return fail(ErrorCode::Invalid,
                            std::string(info.name) + "只能取 " + std::to_string(info.low) + "～" +
                                std::to_string(info.high) + "，不能是 " + std::to_string(v) + "。");
        if (*low > *high)
            return fail(ErrorCode::Invalid, std::string(info.name) + "的范围 " + std::to_string(*low) + "-" +
                                                std::to_string(*high) + " 起点大于终点。");
        for (long long v = *low; v <= *high; ++v)
            mask |= 1u << v;
    }
}

std::string fieldText(Field field, std::uint32_t mask) {
    std::string out;
    const auto add = [&out](const std::string& item) { out += (out.empty() ? "" : ",") + item; };
    if (field == Field::Form) {
        for (int f = 0; f < kFormValues; ++f)
            if (mask & (1u << f))
                add(std::string(kFormKeys[static_cast<std::size_t>(f)]));
        return out;
    }
    for (int v = 0; v < 32;) {
        if (!(mask & (1u << v))) {
            ++v;
            continue;
        }
        int end = v;
        while (end + 1 < 32 && (mask & (1u << (end + 1))))
            ++end;
        if (end - v >= 2)
            add(std::to_string(v) + "-" + std::to_string(end));
        else
            for (int w = v; w <= end; ++w)
                add(std::to_string(w));
        v = end + 1;
    }
    return out;
}

std::string conditionsText(const FilterConditions& c) {
    std::string out;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        if (c[field] != 0)
            out += (out.empty() ? "" : ";") + std::string(fieldInfo(field).key) + "=" +
                   fieldText(field, c[field]);
    }
    if (c.danAll)
        out += (out.empty() ? "" : ";") + std::string(kDanAllKey) + "=1";
    return out;
}

FilterConditions conditionsFromText(std::string_view text) {
    FilterConditions c;
    while (!text.empty()) {
        const std::size_t end = std::min(text.find(';'), text.size());
        const std::string_view entry = text.substr(0, end);
        text.remove_prefix(std::min(end + 1, text.size()));
        const std::size_t eq = entry.find('=');
        if (eq == std::string_view::npos)
            continue;
        const std::string_view key = entry.substr(0, eq);
        const std::string_view value = entry.substr(eq + 1);
        if (key == kDanAllKey)
            c.danAll = value == "1";
        for (int i = 0; i < kFieldCount; ++i)
            if (key == kFields[static_cast<std::size_t>(i)].key)
                if (const auto mask = parseField(static_cast<Field>(i), value))
                    c.masks[static_cast<std::size_t>(i)] = *mask;
    }
    return c;
}

std::string describeConditions(const FilterConditions& c) {
    std::string out;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        const std::uint32_t mask = c[field];
        if (mask == 0)
            continue;
        std::string text;
        if (field == Field::Odd || field == Field::Big) {
            for (int k = 3; k >= 0; --k)
                if (mask & (1u << k))
                    text += (text.empty() ? "" : ",") + std::to_string(k) + ":" + std::to_string(3 - k);
        } else if (field == Field::Form) {
            for (int f = 0; f < kFormValues; ++f)
                if (mask & (1u << f))
                    text +=
                        (text.empty() ? "" : ",") + std::string(kFormCaptions[static_cast<std::size_t>(f)]);
        } else {
            text = fieldText(field, mask);
        }
        const std::string_view name = field == Field::Odd   ? std::string_view("奇偶比")
                                      : field == Field::Big ? std::string_view("大小比")
                                                            : fieldInfo(field).name;
        out += (out.empty() ? "" : "；") + std::string(name) + " " + text;
        if (field == Field::Dan && c.danAll)
            out += "（全部出现）";
    }
    return out.empty() ? "不设条件" : out;
}

} // namespace brenvik::stats
