// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Backtest.h"
#include "SearchConditions.h"

#include <string>

namespace brenvik::stats {

// The backtest of the follow search the user set up; the pattern and the range of a search come
// from each target instead. The group flag has no backtest: the caller refuses it.
BacktestOptions backtestOptionsOf(const SearchConditions& c);

// What the window and the companion say about a backtest, in the same words.

// The conditions, in the style of the result grids' condition line, e.g.
// "福彩3D｜回测：自由位，上期，号码，比较第1、2、3位｜结果：第1位的号码".
std::string backtestConditions(const std::string& game, const BacktestOptions& o);

// One line of the numbers: targets, picks, predictions, hits, rate with its interval, chance, p,
// and the twins' spread with the real rate's rank among them.
std::string backtestSummary(const BacktestResult& r, int picks);

// Cell texts of a target's row: "1 2 3" or "-" for the pattern, the picks' labels ("大", "5 7")
// or "-", the outcome's label, and "中", "未中" or "-".
std::string patternText(const BacktestRow& row);
std::string picksText(const BacktestRow& row, Kind resultKind);
std::string verdictText(Verdict verdict);

// A share as a percentage with one decimal, "12.5%".
std::string percentText(double share);

} // namespace brenvik::stats
