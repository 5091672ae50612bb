// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutBox.h"

#include "BuildInfo.h"
#include "Dialogs.h"

#include <QDir>

// The icons are a resource of the window's static library, which must be set up by hand.
static void initIconResources() {
    Q_INIT_RESOURCE(icons);
}

namespace brenvik::ui {

namespace {

QString fromView(std::string_view s) {
    return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size()));
}

} // namespace

QString productVersionText() {
    return fromView(productVersion());
}

QString productTitle() {
    return QStringLiteral("Brenvik 3D ") + productVersionText();
}

QIcon productIcon() {
    initIconResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
    return icon;
}

QString aboutText(const QString& dataFolder) {
    return QStringLiteral("<h3>%1</h3>"
                          "<p>福彩3D与体彩排列3开奖历史的检索与统计。</p>"
                          "<p>本程序是自由软件，依照 GNU 通用公共许可证第 3 版或（由您选择）任何更新的版本"
                          "（GPL-3.0-or-later）发布，不提供任何担保。</p>"
                          "<p>数据目录：%2</p>"
                          "<p>数据库引擎：SQLite %3<br>Qt：%4</p>"
                          "<p>https://github.com/brenvik/Brenvik3D</p>")
        .arg(productTitle(), QDir::toNativeSeparators(dataFolder).toHtmlEscaped(),
             fromView(databaseEngineVersion()), QString::fromLatin1(qVersion()));
}

void showAboutBox(QWidget* parent, const QString& dataFolder) {
    Dialogs::about(parent, QStringLiteral("关于 Brenvik 3D"), aboutText(dataFolder));
}

} // namespace brenvik::ui
