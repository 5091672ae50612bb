// SPDX-License-Identifier: GPL-3.0-or-later
#include "BuildInfo.h"

#include <sqlite3.h>

namespace brenvik {

std::string_view productVersion() {
    return BRENVIK_VERSION;
}

std::string_view databaseEngineVersion() {
    return sqlite3_libversion();
}

} // namespace brenvik
