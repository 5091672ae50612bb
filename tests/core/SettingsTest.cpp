// SPDX-License-Identifier: GPL-3.0-or-later
#include "Settings.h"
#include "DrawSource.h"

#include <gtest/gtest.h>

#include <map>

using namespace brenvik;

namespace {

SettingsValues readFrom(const std::map<std::string, std::string>& stored) {
    return SettingsValues::read([&](std::string_view key) -> std::optional<std::string> {
        auto it = stored.find(std::string(key));
        if (it == stored.end())
            return std::nullopt;
        return it->second;
    });
}

} // namespace

TEST(Settings, DefaultsWhenNothingIsStored) {
    const SettingsValues v = readFrom({});
    EXPECT_TRUE(v.bolZyw);
    EXPECT_TRUE(v.bolSq);
    EXPECT_EQ(v.GsZl, 53);
    EXPECT_EQ(v.intLei, 0);
    EXPECT_FALSE(v.bolZuxuan);
    EXPECT_EQ(v.intConsqSort, 1);
    EXPECT_EQ(v.intXianshiLei, 0);
    EXPECT_EQ(v.DsIni, 1);
    EXPECT_FALSE(v.bolZhpm);
    EXPECT_EQ(v.intPreQi, 2);
    EXPECT_EQ(v.intZhWSetup, 2);
    EXPECT_EQ(v.IniSerchDay, kKeepAllYears) << "a new user keeps every year";
}

TEST(Settings, StoredValuesAreReadAndBadOnesKeepTheirDefault) {
    const SettingsValues v = readFrom({{"bolZyw", "False"},
                                       {"bolSq", "maybe"},
                                       {"GsZl", "7"},
                                       {"intLei", "3"},
                                       {"intConsqSort", "4"},
                                       {"intXianshiLei", "x"},
                                       {"DsIni", "0"},
                                       {"intPreQi", "0"},
                                       {"IniSerchDay", "1"},
                                       {"bolZhpm", "true"}});
    EXPECT_FALSE(v.bolZyw);
    EXPECT_TRUE(v.bolSq);
    EXPECT_EQ(v.GsZl, 7) << "kept as stored; it means 福彩3D";
    EXPECT_EQ(v.intLei, 3);
    EXPECT_EQ(v.intConsqSort, 1);
    EXPECT_EQ(v.intXianshiLei, 0);
    EXPECT_EQ(v.DsIni, 0);
    EXPECT_EQ(v.intPreQi, 2);
    EXPECT_EQ(v.IniSerchDay, kKeepAllYears);
    EXPECT_TRUE(v.bolZhpm);
}

TEST(Settings, FlagsAreWrittenAsTrueAndFalse) {
    EXPECT_EQ(flagText(true), "True");
    EXPECT_EQ(flagText(false), "False");
}

TEST(Settings, TheChartSiteIsReadAsStoredAndNoneIsShipped) {
    EXPECT_EQ(readFrom({}).strZstHost, "") << "no site is shipped";
    EXPECT_EQ(readFrom({{"strZstHost", "http://127.0.0.1:8080"}}).strZstHost, "http://127.0.0.1:8080");
    EXPECT_EQ(readFrom({{"strZstHost", std::string(301, 'a')}}).strZstHost, "") << "absurdly long";
}

TEST(Settings, TheSourceIsTheOneChosenElseAChartSiteStoredBeforeThereWasAChoice) {
    const std::pair<std::map<std::string, std::string>, DrawSource> cases[] = {
        {{}, DrawSource::Official},
        {{{"strZstHost", "http://127.0.0.1:8080"}}, DrawSource::Chart},
        {{{"strZstHost", "http://host/path"}}, DrawSource::Official},
        {{{"strZstHost", "http://127.0.0.1:8080"}, {"intSjly", "0"}}, DrawSource::Official},
        {{{"intSjly", "1"}}, DrawSource::Chart},
        {{{"intSjly", "7"}}, DrawSource::Official},
    };
    for (const auto& [stored, source] : cases)
        EXPECT_EQ(storedSource(readFrom(stored)), source) << stored.size();
    EXPECT_EQ(readFrom({{"strGfHost", "http://127.0.0.1:81"}}).strGfHost, "http://127.0.0.1:81");
}
