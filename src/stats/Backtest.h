// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "DrawCodes.h"
#include "Error.h"
#include "PatternSource.h"
#include "SearchIndex.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <random>
#include <span>
#include <stop_token>
#include <vector>

namespace brenvik::stats {

// The walk-forward backtest: for every draw of a range, the follow search the companion runs with
// "--before" that draw, its top outcomes taken as the prediction, and the draw itself as the
// answer. Every prediction uses only the draws before the one it predicts.
struct BacktestOptions {
    // The follow search, as on the chosen-issue tab. The group flag has no place here: a
    // prediction is about one position.
    bool freePositions = true;
    bool lastDraw = true;
    int n = 2; // 1..9, used when lastDraw is false
    Kind searchType = Kind::Number;
    std::array<bool, 3> checked{true, true, true};
    Kind resultKind = Kind::Number;
    int resultPosition = 1; // 1..3
    int segmentParam = 1;   // the setting in force: which segments the tally lists

    // Targets: the stored draws whose issues lie in [targetStart, targetEnd]; the whole history
    // when absent.
    std::optional<std::int32_t> targetStart{};
    std::optional<std::int32_t> targetEnd{};
    int picks = 1; // K: 1 up to one less than the number of outcomes of the result kind

    // R random twins, 0..kMaxTwins: histories with the same issues and fair random digits, each
    // draw coded with the segment parameter its real draw was stored with.
    int twins = 20;
    std::uint64_t seed = 1;

    // Per-target rows of the real history and verdicts of the twins, for grids and curves.
    bool keepRows = true;
};

inline constexpr int kMaxTwins = 1000;
inline constexpr int kMaxPicks = 9;

enum class Verdict : std::uint8_t { NoPrediction, Miss, Hit };

struct BacktestRow {
    std::int32_t issue = 0;
    // Nothing when the draws before the target are too few to give one: then no search runs
    // and there is no prediction.
    std::optional<Pattern> pattern;
    int matched = 0; // draws the search found
    std::array<std::int8_t, kMaxPicks> picks{};
    int pickCount = 0; // K, or 0 without a prediction
    int actual = 0;    // the target's own code of the result kind at the result position
    Verdict verdict = Verdict::NoPrediction;

    std::span<const std::int8_t> picked() const {
        return {picks.data(), static_cast<std::size_t>(pickCount)};
    }
    bool operator==(const BacktestRow&) const = default;
};

struct TwinRun {
    long long predictions = 0;
    long long hits = 0;
    double rate = 0;
    std::vector<Verdict> verdicts; // per target, when rows are kept
};

struct BacktestResult {
    long long targets = 0;
    long long predictions = 0;
    long long hits = 0;
    // Fractions between 0 and 1. Without any prediction the rate is 0 and the interval the
    // whole of [0, 1]: nothing is known.
    double rate = 0;
    double low95 = 0;
    double high95 = 1;
    double chance = 0; // K / number of outcomes of the result kind
    double p = 1;      // P(X >= hits), X ~ Binomial(predictions, chance)

    std::vector<BacktestRow> rows;

    std::uint64_t seed = 1;
    std::vector<TwinRun> twins;
    int rank = 1; // of the real rate among the twins': 1 + the number of twins above it
};

// What a worker thread gives the backtest to follow and stop it. Both are looked at every few
// thousand targets.
struct BacktestControl {
    std::stop_token stop;
    std::function<void(std::size_t done, std::size_t total)> progress; // targets of all histories
};

Result<BacktestResult> runBacktest(const SearchIndex& index, const BacktestOptions& options,
                                   const BacktestControl& control = {});

// The digits of the random twins, fixed to the bit so that a seed gives the same twins on every
// machine: the standard defines std::mt19937_64's output exactly, and rejecting the top few
// values keeps the ten digits equally likely. Twins are drawn one after the other, draw by draw
// in issue order, positions 1 to 3.
class TwinDigits {
public:
    explicit TwinDigits(std::uint64_t seed) : m_gen(seed) {}
    int next() {
        std::uint64_t v = 0;
        do
            v = m_gen();
        while (v >= kLimit);
        return static_cast<int>(v % 10);
    }

private:
    static constexpr std::uint64_t kLimit = 18446744073709551610ULL; // the largest multiple of 10 <= 2^64
    std::mt19937_64 m_gen;
};

} // namespace brenvik::stats
