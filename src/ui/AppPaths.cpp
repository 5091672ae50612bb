#include "AppPaths.h"

#include <QDir>
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
