// SPDX-License-Identifier: GPL-3.0-or-later
#include "AppPaths.h"

#include "Platform.h"

#include <QDir>
#include <QFileInfo>

namespace brenvik::ui {

std::expected<QString, QString> dataFolder() {
    const std::filesystem::path folder = std::filesystem::absolute(dataFolderPath());
    for (const auto& [what, path] : {std::pair{QStringLiteral("数据文件夹"), folder},
                                     std::pair{QStringLiteral("设置文件"), settingsFilePath()}})
        if (!isUtf8(path.native()))
            return std::unexpected(
                QStringLiteral(
                    "%1的路径 %2 不是 UTF-8 编码的名称，窗口无法准确使用它，没有打开也没有建立任何文件夹。"
                    "请把它改成 UTF-8 的名称，或用 BRENVIK3D_HOME 指定另一个数据文件夹。")
                    .arg(what, QString::fromUtf8(path.native())));
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    return QDir::cleanPath(fromPath(folder));
}

QString settingsFile() {
    return fromPath(settingsFilePath());
}

QString manualFile() {
    // The build tree holds no copy of the manual: a program run from it shows the source's.
    const QString installed = fromPath(shippedFile("manual.html"));
    if (!installed.isEmpty() && QFileInfo::exists(installed))
        return QFileInfo(installed).canonicalFilePath();
    return QDir(QStringLiteral(BRENVIK_SOURCE_DIR)).filePath(QStringLiteral("docs/manual.html"));
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
