// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace brenvik {

// Settings keys of the section IniSetting, exactly as stored.
namespace keys {
inline constexpr std::string_view bolZyw = "bolZyw";
inline constexpr std::string_view bolSq = "bolSq";
inline constexpr std::string_view GsZl = "GsZl";
inline constexpr std::string_view intLei = "intLei";
inline constexpr std::string_view bolZuxuan = "bolZuxuan";
inline constexpr std::string_view intConsqSort = "intConsqSort";
inline constexpr std::string_view intXianshiLei = "intXianshiLei";
inline constexpr std::string_view DsIni = "DsIni";
inline constexpr std::string_view bolZhpm = "bolZhpm";
inline constexpr std::string_view intPreQi = "intPreQi";
inline constexpr std::string_view intZhWSetup = "intZhWSetup";
inline constexpr std::string_view IniSerchDay = "IniSerchDay";
// Web addresses of the settings menu; a distributor may point them elsewhere.
inline constexpr std::string_view strFrontPage = "strFrontPage";
inline constexpr std::string_view strDescrb = "strDescrb";
inline constexpr std::string_view strYanshiDown = "strYanshiDown";
inline constexpr std::string_view strZstHost = "strZstHost"; // the chart site of the online update
// Where the online update reads draws: 0 the operator's feed, 1 the chart site (DrawSource.h).
inline constexpr std::string_view intSjly = "intSjly";
// A mirror of the operators' feeds: its scheme and host replace theirs; empty for the operators'.
inline constexpr std::string_view strGfHost = "strGfHost";
// The removal of old years the user declined: "years-to-keep year", so that the window asks
// again only once the setting changes or a new year begins.
inline constexpr std::string_view strBlJj = "strBlJj";
} // namespace keys

// Years to keep (IniSerchDay): 0 keeps every year, else a number from 2 up to this.
inline constexpr int kKeepAllYears = 0;
inline constexpr int kMostYearsToKeep = 100;
// 0, or a whole number from 2 to kMostYearsToKeep, as stored; nothing for anything else.
std::optional<int> parseYearsToKeep(std::string_view text);

// The per-user option values the window starts from. Defaults are those of a first start.
struct SettingsValues {
    bool bolZyw = true;     // free positions
    bool bolSq = true;      // pattern from the last draw
    int GsZl = kLottery3D;  // lottery type, as stored; gameOfGsZl tells the game
    int intLei = 0;         // search type
    bool bolZuxuan = false; // group rather than direct
    int intConsqSort = 1;   // result position 1..3
    int intXianshiLei = 0;  // result type
    int DsIni = 1;          // segment parameter
    bool bolZhpm = false;   // ball colour, stored only
    int intPreQi = 2;       // N draws back
    int intZhWSetup = 2;    // combination size
    int IniSerchDay = 0;    // years kept by the online update; 0 (kKeepAllYears) every year
    std::string strZstHost; // chart site of the online update as typed; no site is shipped
    int intSjly = -1;       // source of the online update; -1 when the user never chose one
    std::string strGfHost;  // mirror of the operators' feeds; empty for their own addresses

    // Reads every key through `get` (nothing when the key is absent). A value that is absent or
    // does not convert to its type and range keeps the default.
    static SettingsValues read(const std::function<std::optional<std::string>(std::string_view)>& get);
};

inline std::string flagText(bool value) {
    return value ? "True" : "False";
}

// "True"/"False" as stored; the comparison ignores case so hand-edited files still read.
std::optional<bool> parseFlag(std::string_view text);

} // namespace brenvik
