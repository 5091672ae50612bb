// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>

namespace brenvik::stats {

// 缩水: the direct numbers 000..999 narrowed by conditions on the whole number. A number is
// kept when it meets every condition set; within one condition, the values are alternatives.

inline constexpr int kNumbers = 1000;
// Bit n stands for the number n, read as its three digits (n = 100·d1 + 10·d2 + d3).
using NumberSet = std::bitset<kNumbers>;

// The conditions, in the order the window groups them and the companion lists its options.
enum class Field : int {
    Sum,  // 和值 0..27
    Span, // 跨度 0..9
    Form, // 形态: bit 0 豹子, 1 组三, 2 组六 (as stats::Form)
    Odd,  // how many digits are odd, 0..3
    Big,  // how many digits are 5..9, 0..3
    Dan,  // 胆码: digits of which at least one appears (every one with danAll)
    Kill, // 杀号: digits that appear nowhere
    Pos1, // 定位: the digits allowed at position 1, 2, 3
    Pos2,
    Pos3,
    Kill1, // the digits excluded at position 1, 2, 3
    Kill2,
    Kill3,
};
inline constexpr int kFieldCount = 13;

struct FieldInfo {
    std::string_view key;  // the companion's option without "--", and the settings text's key
    std::string_view name; // what messages and the condition line call it
    int low = 0;
    int high = 0;
};
const FieldInfo& fieldInfo(Field field);

inline constexpr Field positionField(int position) {
    return static_cast<Field>(static_cast<int>(Field::Pos1) + position - 1);
}
inline constexpr Field positionKillField(int position) {
    return static_cast<Field>(static_cast<int>(Field::Kill1) + position - 1);
}

struct FilterConditions {
    // Per field, bit v set when value v is one of the alternatives; no bit: no condition.
    std::array<std::uint32_t, kFieldCount> masks{};
    bool danAll = false; // every 胆 must appear, not just one of them

    std::uint32_t& operator[](Field f) { return masks[static_cast<std::size_t>(f)]; }
    std::uint32_t operator[](Field f) const { return masks[static_cast<std::size_t>(f)]; }
    bool none() const;
    bool operator==(const FilterConditions&) const = default;
};

// The numbers that meet every condition.
NumberSet keptNumbers(const FilterConditions& c);

// Three digits of a number, "007".
std::string numberText(int number);

// Reads one condition as typed: values and ranges "a-b" separated by commas ("10-17,20"), blanks
// and the Chinese comma allowed; forms by name (baozi, zusan, zuliu or 豹子, 组三, 组六). An
// empty text sets no condition. A value outside the field's bounds, a range that runs backwards
// or anything else is refused with a message that names the field.
Result<std::uint32_t> parseField(Field field, std::string_view text);

// A field's values as parseField reads them back, ranges of three or more joined: "10-17,20";
// forms by their companion names, "zusan,zuliu". Empty without a condition.
std::string fieldText(Field field, std::uint32_t mask);

// The conditions as one line of text the settings keep ("sum=10-17,20;form=zuliu;dan-all=1"),
// and read back; a text that does not read keeps what it could not read out.
std::string conditionsText(const FilterConditions& c);
FilterConditions conditionsFromText(std::string_view text);

// What the conditions are, in the window's words: "和值 10-17,20；形态 组六；胆码 1,5（全部出现）",
// or "不设条件" when there are none.
std::string describeConditions(const FilterConditions& c);

} // namespace brenvik::stats
