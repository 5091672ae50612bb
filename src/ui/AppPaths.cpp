// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppPaths.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace brenvik::ui {

QString dataFolder() {
    QString folder = qEnvironmentVariable("BRENVIK3D_HOME");
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    folder = QDir::cleanPath(QDir(folder).absolutePath());
    QDir().mkpath(folder);
    return folder;
}

static QString shippedFile(const QString& installed, const QString& source) {
    const QString file = QDir(QCoreApplication::applicationDirPath())
                             .filePath(QStringLiteral(BRENVIK_SHARE_FROM_BIN "/") + installed);
    if (QFileInfo::exists(file))
        return QFileInfo(file).canonicalFilePath();
    return QDir(QStringLiteral(BRENVIK_SOURCE_DIR)).filePath(source);
}

QString manualFile() {
    return shippedFile(QStringLiteral("manual.html"), QStringLiteral("docs/manual.html"));
}

QString sampleHistoryFile(const QString& name) {
    return shippedFile(QStringLiteral("samples/") + name, QStringLiteral("samples/") + name);
}

std::filesystem::path toPath(const QString& path) {
    const QByteArray utf8 = path.toUtf8();
    return std::filesystem::path(std::u8string(reinterpret_cast<const char8_t*>(utf8.constData()),
                                               static_cast<std::size_t>(utf8.size())));
}

QString fromPath(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return QString::fromUtf8(reinterpret_cast<const char*>(s.data()), static_cast<qsizetype>(s.size()));
}

} // namespace brenvik::ui
