// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"

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

// The version of the layout of the companion's JSON, which every document carries as its first
// key "format". It goes up when a key goes away or changes its meaning, so that a script can tell;
// a new key leaves it as it is. docs/json.md and docs/schema/ describe the documents.
inline constexpr int kJsonFormat = 1;

// An object printed as a document of the companion: "format" first, then the object's own keys,
// on one line as jsonLine() prints it.
std::string jsonDocument(const Json& object, const std::vector<std::string>& percentKeys = {});

// Columns that UTF-8 text takes on a terminal: Chinese characters two, the rest one.
std::size_t displayWidth(const std::string& s);

// Rows of cells, each column right-aligned to its widest cell (Chinese characters count two
// columns), cells two blanks apart, one line per row.
std::string tableText(const std::vector<std::vector<std::string>>& rows);

// The companion's exit statuses beyond success; what each means for a command is declared with
// the command (Commands::exitStatus) and listed by its help.
inline constexpr int kFailed = 1;
inline constexpr int kUsageError = 2;
// update: the source lacks an issue; the draws before it were stored, the rest were not.
inline constexpr int kStoppedAtMissingIssue = 3;

// Under --quiet, progress lines are left out.
void setQuiet(bool quiet);
// A line that only says how the work goes (a page read, what --yes would have done), on the
// standard output at once; none under --quiet. Errors and the result line are always printed.
void progressLine(const std::string& line);

// Prints `message` as the one line of a failure and gives the status to exit with.
int failWith(const std::string& message);
// The same for an error; with --verbose, what the library that failed said in its own words
// (the database engine's verdict on a damaged file) follows on a line of its own.
int failWith(const Error& error);
// Whether --verbose was given.
void setVerbose(bool verbose);

} // namespace brenvik::cli
