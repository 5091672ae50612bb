// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace brenvik::cli {

// The companion's JSON keeps its keys in the order they are added.
using Json = nlohmann::ordered_json;

// A document on one line as the companion prints it: ", " between items and ": " after keys;
// strings as UTF-8, numbers as the library writes them (text that reads back as the same
// double), except the numbers under `percentKeys`: percentages, to twelve significant digits as
// "%.12g" prints them ("50", "66.6666666667").
std::string jsonLine(const Json& value, const std::vector<std::string>& percentKeys = {});

// Columns that UTF-8 text takes on a terminal: Chinese characters two, the rest one.
std::size_t displayWidth(const std::string& s);

// Rows of cells, each column right-aligned to its widest cell (Chinese characters count two
// columns), cells two blanks apart, one line per row.
std::string tableText(const std::vector<std::vector<std::string>>& rows);

// The companion's exit statuses beyond success.
inline constexpr int kFailed = 1;
inline constexpr int kUsageError = 2;

// Prints `message` as the one line of a failure and gives the status to exit with.
int failWith(const std::string& message);

} // namespace brenvik::cli
