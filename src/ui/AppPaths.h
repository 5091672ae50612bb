#pragma once

#include <QString>

#include <filesystem>

namespace brenvik::ui {

// The folder that holds the database and every file the program writes: $BRENVIK3D_HOME when
// set, otherwise the per-user application data folder. Created when missing.
QString dataFolder();

std::filesystem::path toPath(const QString& path);
QString fromPath(const std::filesystem::path& path);

// UTF-8 text from the libraries.
inline QString qs(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace brenvik::ui
