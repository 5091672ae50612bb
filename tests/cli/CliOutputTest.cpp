// SPDX-License-Identifier: GPL-3.0-or-later
// The companion's one-line JSON, against the library's own indented text and the printf format
// its percentages have always had.
#include "CliOutput.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <regex>

using brenvik::cli::Json;
using brenvik::cli::jsonLine;

namespace {

// A document of nested objects and arrays holding every kind of value, strings with quotes,
// control characters and Chinese text among them.
Json randomDocument(std::mt19937_64& gen, int depth) {
    const auto pick = [&gen](int n) { return std::uniform_int_distribution<int>(0, n - 1)(gen); };
    const int kind = pick(depth > 2 ? 6 : 8);
    switch (kind) {
    case 0:
        return nullptr;
    case 1:
        return pick(2) == 1;
    case 2:
        return std::uniform_int_distribution<long long>(-1'000'000'000'000, 1'000'000'000'000)(gen);
    case 3:
        return std::uniform_real_distribution<double>(-1, 1)(gen) * std::pow(10.0, pick(40) - 20);
    case 4:
    case 5: {
        static const char* const pieces[] = {"a", "\"", "\\", "\n", "\x01", "\x1f", "大小", "—", " ", "9"};
        std::string s;
        for (int i = pick(6); i > 0; --i)
            s += pieces[pick(10)];
        return s;
    }
    case 6: {
        Json a = Json::array();
        for (int i = pick(4); i > 0; --i)
            a.push_back(randomDocument(gen, depth + 1));
        return a;
    }
    default: {
        Json o = Json::object();
        for (int i = pick(4); i > 0; --i)
            o["k" + std::to_string(pick(100))] = randomDocument(gen, depth + 1);
        return o;
    }
    }
}

// The library's indented text on one line: its strings never hold a raw line break.
std::string collapsed(const Json& value) {
    std::string text = value.dump(1);
    text = std::regex_replace(text, std::regex(",\n *"), ", ");
    text = std::regex_replace(text, std::regex("([\\[{])\n *"), "$1");
    return std::regex_replace(text, std::regex("\n *([\\]}])"), "$1");
}

std::string printed(double percent) {
    char text[32];
    std::snprintf(text, sizeof text, "%.12g", percent);
    return text;
}

} // namespace

TEST(CliOutput, OneLineAsTheLibraryWritesEachValue) {
    std::mt19937_64 gen(15);
    for (int i = 0; i < 3000; ++i) {
        const Json document = randomDocument(gen, 0);
        ASSERT_EQ(jsonLine(document), collapsed(document));
    }
}

TEST(CliOutput, PercentagesPrintAsTwelveSignificantDigits) {
    std::mt19937_64 gen(12);
    // Shares of tallies of every size, and values spread over the decades down to 1e-9; only the
    // numbers under the percentage keys are written so.
    for (int i = 0; i < 20000; ++i) {
        const auto denominator = std::uniform_int_distribution<long long>(1, 30'000'000)(gen);
        const auto count = std::uniform_int_distribution<long long>(0, denominator)(gen);
        const double share = 100.0 * static_cast<double>(count) / static_cast<double>(denominator);
        const double spread = std::uniform_real_distribution<double>(0, 100)(gen) *
                              std::pow(10.0, -std::uniform_int_distribution<int>(0, 11)(gen));
        for (const double p : {share, spread}) {
            const Json row = {{"percent", p}, {"expected", p}, {"tally", {{{"percent", p}}}}};
            ASSERT_EQ(jsonLine(row, {"percent"}), "{\"percent\": " + printed(p) +
                                                      ", \"expected\": " + Json(p).dump() +
                                                      ", \"tally\": [{\"percent\": " + printed(p) + "}]}");
        }
    }
}
