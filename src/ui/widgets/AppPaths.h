// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <expected>
#include <filesystem>
#include <string_view>

namespace brenvik::ui {

// The folder that holds the database and every file the program writes: exactly the folder the
// companion uses (dataFolderPath), created when missing. Refused, with the message to show and
// nothing created, when its name or the settings file's is not UTF-8: the window's text would
// name another folder than the companion's.
std::expected<QString, QString> dataFolder();
// The settings file both programs read (settingsFilePath).
QString settingsFile();

// The manual shipped with the program: from the share folder of its installed tree, found from
// the program's own folder so that any prefix works (shippedFile); from the source tree when it
// runs where it was built. The sample histories are found by shippedHistoryFile.
QString manualFile();

std::filesystem::path toPath(const QString& path);
QString fromPath(const std::filesystem::path& path);

// UTF-8 text from the libraries.
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}
inline QString qs(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace brenvik::ui
