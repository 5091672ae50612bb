// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Settings.h"

#include <filesystem>
#include <istream>
#include <map>
#include <string>
#include <string_view>

namespace brenvik::cli {

// The window's settings file (settingsFilePath).
std::filesystem::path settingsFile();

// The keys and values of one section of an INI file written by QSettings, values unquoted and
// unescaped. Later lines win, as they do for QSettings.
std::map<std::string, std::string, std::less<>> readIniSection(std::istream& in, std::string_view section);

// The window's stored settings (section IniSetting); the first-start defaults when the file is
// missing or unreadable.
SettingsValues storedSettings();

} // namespace brenvik::cli
