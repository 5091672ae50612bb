// SPDX-License-Identifier: GPL-3.0-or-later
#include "DrawCodes.h"

namespace brenvik {

DigitCodes codesOf(int digit, int segmentParam) {
    return {static_cast<std::int16_t>(digit), static_cast<std::int16_t>(digit > 4 ? 1 : 0),
            static_cast<std::int16_t>(digit % 2), static_cast<std::int16_t>(digit / 2 + segmentParam)};
}

DrawCodes codesOfDraw(const std::array<int, 3>& digits, int segmentParam) {
    return {codesOf(digits[0], segmentParam), codesOf(digits[1], segmentParam),
            codesOf(digits[2], segmentParam)};
}

int counterSize(Kind kind) {
    switch (kind) {
    case Kind::Number:
        return 10;
    case Kind::BigSmall:
    case Kind::OddEven:
        return 2;
    case Kind::Segment:
        return 6;
    }
    return 0;
}

namespace {

// Every code is a single decimal digit; this runs fifteen times for each stored draw, so it
// avoids the general number formatting.
void appendNumber(std::string& out, int value) {
    if (value >= 0 && value <= 9)
        out += static_cast<char>('0' + value);
    else
        out += std::to_string(value);
}

} // namespace

std::string patternString(const DrawCodes& codes, Kind kind) {
    const int k = static_cast<int>(kind);
    std::string out;
    out.reserve(12);
    for (int i = 0; i < kPositions; ++i) {
        const int c = codes[i][k];
        int seen = 1;
        for (int j = 0; j < i; ++j)
            if (codes[j][k] == c)
                ++seen;
        appendNumber(out, seen);
        out += 'X';
        appendNumber(out, c);
        out += ' ';
    }
    return out;
}

std::string digitsText(const DrawCodes& codes) {
    std::string out;
    for (int i = 0; i < kPositions; ++i)
        appendNumber(out, codes[i][0]);
    return out;
}

std::string columnName(int position, Kind kind, Variant variant) {
    std::string name = "L" + std::to_string(position);
    name += kKindLetters[static_cast<int>(kind)];
    if (variant == Variant::Previous)
        name += 'S';
    else if (variant == Variant::Back)
        name += 'P';
    return name;
}

std::string outcomeLabel(Kind kind, int value) {
    if (kind == Kind::BigSmall)
        return value == 1 ? "大" : value == 0 ? "小" : std::to_string(value);
    if (kind == Kind::OddEven)
        return value == 1 ? "单" : value == 0 ? "双" : std::to_string(value);
    return std::to_string(value);
}

} // namespace brenvik
