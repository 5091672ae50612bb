// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace brenvik {

// The version of the project, the one every program and the package show.
std::string_view productVersion();

// The version of the SQLite library the program runs with, which may be newer than the one it
// was built against.
std::string_view databaseEngineVersion();

} // namespace brenvik
