// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"

#include "IssueNumber.h"

#include <cctype>

namespace brenvik {

namespace {

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

std::optional<bool> parseFlag(std::string_view text) {
    if (equalsNoCase(text, "True"))
        return true;
    if (equalsNoCase(text, "False"))
        return false;
    return std::nullopt;
}

std::optional<int> parseYearsToKeep(std::string_view text) {
    const auto years = parseWholeNumber(text, kKeepAllYears, kMostYearsToKeep);
    // One year would remove last year's draws every January.
    if (!years || *years == 1)
        return std::nullopt;
    return static_cast<int>(*years);
}

SettingsValues SettingsValues::read(const std::function<std::optional<std::string>(std::string_view)>& get) {
    SettingsValues v;
    auto flag = [&](std::string_view key, bool& target) {
        if (auto text = get(key))
            if (auto parsed = parseFlag(*text))
                target = *parsed;
    };
    auto number = [&](std::string_view key, int& target, long long min, long long max) {
        if (auto text = get(key))
            if (auto parsed = parseWholeNumber(*text, min, max))
                target = static_cast<int>(*parsed);
    };
    flag(keys::bolZyw, v.bolZyw);
    flag(keys::bolSq, v.bolSq);
    // Any whole number is kept as the user stored it; gameOfGsZl says which game it means.
    number(keys::GsZl, v.GsZl, -32768, 32767);
    number(keys::intLei, v.intLei, 0, 3);
    flag(keys::bolZuxuan, v.bolZuxuan);
    number(keys::intConsqSort, v.intConsqSort, 1, 3);
    number(keys::intXianshiLei, v.intXianshiLei, 0, 3);
    number(keys::DsIni, v.DsIni, 0, 1);
    flag(keys::bolZhpm, v.bolZhpm);
    number(keys::intPreQi, v.intPreQi, 1, 9);
    number(keys::intZhWSetup, v.intZhWSetup, -32768, 32767);
    if (auto text = get(keys::IniSerchDay))
        if (auto years = parseYearsToKeep(*text))
            v.IniSerchDay = *years;
    // Whether it names a usable site is decided where it is used; an absurd length is not kept.
    if (auto text = get(keys::strZstHost); text && text->size() <= 300)
        v.strZstHost = *text;
    number(keys::intSjly, v.intSjly, 0, 1);
    if (auto text = get(keys::strGfHost); text && text->size() <= 300)
        v.strGfHost = *text;
    return v;
}

} // namespace brenvik
