// SPDX-License-Identifier: GPL-3.0-or-later
// Help without a browser: the manual in the program's own window at the section asked for, with
// its links and pictures; the menu bar's history commands; the About box; the icon.
#include "AboutBox.h"
#include "AppPaths.h"
#include "BuildInfo.h"
#include "HelpWindow.h"
#include "Settings.h"
#include "TestFolder.h"
#include "WindowFixture.h"

#include <QAction>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextBrowser>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

class HelpMenuTest : public QObject {
    Q_OBJECT
private slots:
    void helpOpensInTheProgramsOwnWindow_data();
    void helpOpensInTheProgramsOwnWindow();
    void menuBarHoldsTheHistoryCommands();
    void aboutNamesVersionsAndFolder();
    void iconHasEveryDesktopSize();
};

void HelpMenuTest::helpOpensInTheProgramsOwnWindow_data() {
    QTest::addColumn<QString>("how");
    QTest::addColumn<bool>("browser"); // whether a web browser is on the PATH
    QTest::addColumn<QString>("section");
    QTest::newRow("F1, no browser") << "F1" << false << "";
    QTest::newRow("F1, a browser") << "F1" << true << "";
    QTest::newRow("说明页面") << "mnuDescrb" << false << "search";
    QTest::newRow("演示录像") << "numYanshiDown" << false << "video";
}

void HelpMenuTest::helpOpensInTheProgramsOwnWindow() {
    QFETCH(QString, how);
    QFETCH(bool, browser);
    QFETCH(QString, section);
    // A PATH holding nothing, or only the desktop's opener.
    TestFolder bin;
    if (browser) {
        QFile opener(QString::fromStdString((bin.path() / "xdg-open").string()));
        QVERIFY(opener.open(QIODevice::WriteOnly));
        opener.write("#!/bin/sh\nexit 0\n");
        opener.close();
        opener.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QByteArray::fromStdString(bin.path().string()));
    qunsetenv("BROWSER");
    qunsetenv("DEFAULT_BROWSER");

    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    if (how == QLatin1String("F1")) {
        QTest::keyClick(&w, Qt::Key_F1);
    } else {
        f.find<QAction>(how)->trigger();
    }
    qputenv("PATH", path);
    QTRY_VERIFY(w.helpWindow() && w.helpWindow()->isVisible());
    QVERIFY(f.dialogs.opened.isEmpty());
    QTextBrowser& page = w.helpWindow()->browser();
    QCOMPARE(page.source().adjusted(QUrl::RemoveFragment), QUrl::fromLocalFile(ui::manualFile()));
    QCOMPARE(page.source().fragment(), section);
    QVERIFY(page.toPlainText().contains(QStringLiteral("Brenvik 3D 使用说明")));
    // A section is brought into view; the manual's pictures are there.
    if (!section.isEmpty())
        QTRY_VERIFY(page.verticalScrollBar()->value() > 0);
    const QVariant picture =
        page.document()->resource(QTextDocument::ImageResource, QUrl(QStringLiteral("screenshot.png")));
    QImage image = picture.value<QImage>();
    if (image.isNull())
        image.loadFromData(picture.toByteArray());
    QVERIFY(!image.isNull());
    // A link within the manual leads to its place, and back.
    page.setSource(page.source().resolved(QUrl(QStringLiteral("#trend"))));
    QCOMPARE(page.source().fragment(), QStringLiteral("trend"));
    QVERIFY(page.isBackwardAvailable());

    auto* inBrowser = w.helpWindow()->findChild<QPushButton*>(QStringLiteral("helpInBrowser"));
    QCOMPARE(inBrowser->isEnabled(), browser);
    if (browser) {
        QTest::mouseClick(inBrowser, Qt::LeftButton);
        QCOMPARE(f.dialogs.opened.size(), 1);
        QCOMPARE(f.dialogs.opened[0].adjusted(QUrl::RemoveFragment), QUrl::fromLocalFile(ui::manualFile()));
    }
}

void HelpMenuTest::menuBarHoldsTheHistoryCommands() {
    WindowFixture f;
    f.storeDraws(smallHistory());
    auto& w = f.open();
    QStringList titles;
    for (QAction* a : w.menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles,
             QStringList({"彩种选择(&C)", "历史(&H)", "图表(&V)", "工具(&K)", "预测(&Y)", "帮助(&M)"}));
    QStringList history;
    for (QAction* a : f.find<QMenu>("mnuLishi")->actions())
        if (!a->isSeparator())
            history << a->objectName();
    QCOMPARE(history, QStringList({"mnuRdLst", "mnuZxgx", "mnuDcwb", "mnuDcls", "mnuErase", "mnuClear",
                                   "mnuDlzd", "mnuEszhzd", "mnuUndo", "mnuHfls"}));
    // Each does what its button or the grid's menu does: the import asks first.
    f.find<QAction>("mnuRdLst")->trigger();
    QCOMPARE(f.dialogs.shown.value(0).title, QStringLiteral("读入历史"));
    // 回测 is a tool of its own.
    QVERIFY(f.find<QMenu>("mnuTools")->actions().contains(f.find<QAction>("mnuToolHuice")));
}

void HelpMenuTest::aboutNamesVersionsAndFolder() {
    WindowFixture f;
    f.open();
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
