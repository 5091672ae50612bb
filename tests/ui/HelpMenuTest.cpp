// SPDX-License-Identifier: GPL-3.0-or-later
// The Help menu: the manual on F1, the About box; the icon the window shows.
#include "AboutBox.h"
#include "BuildInfo.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

class HelpMenuTest : public QObject {
    Q_OBJECT
private slots:
    void f1OpensTheManualAndAboutNamesVersionsAndFolder();
    void iconHasEveryDesktopSize();
};

void HelpMenuTest::f1OpensTheManualAndAboutNamesVersionsAndFolder() {
    WindowFixture f;
    // The settings menu's page may point elsewhere; the Help menu's manual does not follow it.
    f.setSetting(keys::strDescrb, QStringLiteral("https://example.org/manual"));
    auto& w = f.open();
    auto* help = f.find<QMenu>("mnuHelp");
    QVERIFY(w.menuBar()->actions().contains(help->menuAction()));
    QCOMPARE(help->title(), QStringLiteral("帮助(&H)"));

    QTest::keyClick(&w, Qt::Key_F1);
    QTRY_COMPARE(f.dialogs.opened.size(), 1);
    QVERIFY(f.dialogs.opened[0].isLocalFile());
    QVERIFY(QFile::exists(f.dialogs.opened[0].toLocalFile()));
    QCOMPARE(f.dialogs.opened[0], ui::frmMain::manualUrl());

    f.find<QAction>("mnuAbout")->trigger();
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("about"));
    const QString version = QString::fromUtf8(productVersion().data(), productVersion().size());
    const QString engine = QString::fromUtf8(databaseEngineVersion().data(), databaseEngineVersion().size());
    for (const QString& part :
         {version, QStringLiteral("GPL-3.0-or-later"), QDir::toNativeSeparators(f.home()),
          QStringLiteral("SQLite ") + engine, QString::fromLatin1(qVersion())})
        QVERIFY2(f.dialogs.shown[0].text.contains(part), qPrintable(part));
    // A folder name is text, never markup.
    QVERIFY(ui::aboutText(QStringLiteral("/home/a<b>&c")).contains(QStringLiteral("/home/a&lt;b&gt;&amp;c")));
}

void HelpMenuTest::iconHasEveryDesktopSize() {
    const QIcon icon = ui::productIcon();
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const QPixmap p = icon.pixmap(QSize(size, size));
        QCOMPARE(p.size(), QSize(size, size));
        // Drawn, not empty: the middle of the icon is a ball.
        QVERIFY(p.toImage().pixelColor(size / 2, size / 2).alpha() > 0);
    }
}

QTEST_MAIN(HelpMenuTest)
#include "HelpMenuTest.moc"
