// SPDX-License-Identifier: GPL-3.0-or-later
// The settings menu: years kept by the online update, and the web pages.
#include "HelpWindow.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAction>
#include <QStatusBar>
#include <QTextBrowser>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

class SettingsMenuTest : public QObject {
    Q_OBJECT
private slots:
    void yearsOutsideTwoToSixteenAreAskedAgain();
    void cancelKeepsTheYears();
    void webPagesOpenTheManualOrTheConfiguredAddress();
};

void SettingsMenuTest::yearsOutsideTwoToSixteenAreAskedAgain() {
    WindowFixture f;
    auto& w = f.open();
    auto* setDay = f.find<QAction>("mnuSetDay");
    f.dialogs.answer(QStringLiteral("1"));
    f.dialogs.answer(QStringLiteral("17"));
    f.dialogs.answer(QStringLiteral("十"));
    f.dialogs.answer(QStringLiteral("2"));
    setDay->trigger();
    QCOMPARE(f.setting(keys::IniSerchDay), QStringLiteral("2"));
    QCOMPARE(w.yearsToKeep(), 2);
    // Four questions, three of them answered by the range message.
    QStringList kinds;
    for (const auto& s : f.dialogs.shown)
        kinds << s.kind + QLatin1Char(':') + s.title;
    QCOMPARE(kinds, (QStringList{"input:设置年数", "inform:输入有误", "input:设置年数", "inform:输入有误",
                                 "input:设置年数", "inform:输入有误", "input:设置年数"}));
    QCOMPARE(
        f.dialogs.shown[1].text,
        QStringLiteral("为了保证时效性和提高计算效率，软件只能统计16年以内的数据，请输入2到16中的自然数。"));
    f.dialogs.shown.clear();
    f.dialogs.answer(QStringLiteral("16"));
    setDay->trigger();
    QCOMPARE(f.setting(keys::IniSerchDay), QStringLiteral("16"));
    QCOMPARE(f.dialogs.shown.size(), 1);
}

void SettingsMenuTest::cancelKeepsTheYears() {
    WindowFixture f;
    f.setSetting(keys::IniSerchDay, QStringLiteral("9"));
    auto& w = f.open();
    f.dialogs.cancel();
    f.find<QAction>("mnuSetDay")->trigger();
    f.dialogs.answer(QStringLiteral(""));
    f.find<QAction>("mnuSetDay")->trigger();
    QCOMPARE(w.yearsToKeep(), 9);
    QCOMPARE(f.setting(keys::IniSerchDay), QStringLiteral("9"));
    QCOMPARE(f.dialogs.shown.size(), 2);
    QCOMPARE(f.dialogs.shown[0].text.left(8), QStringLiteral("请输入更新需要保"));
}

void SettingsMenuTest::webPagesOpenTheManualOrTheConfiguredAddress() {
    WindowFixture f;
    f.setSetting(keys::strYanshiDown, QStringLiteral("https://example.org/demo.mp4"));
    auto& w = f.open();
    // The manual's pages open in the program's help window, at their sections.
    f.find<QAction>("mnuDescrb")->trigger();
    QVERIFY(w.helpWindow() && w.helpWindow()->isVisible());
    QCOMPARE(w.helpWindow()->browser().source().fragment(), QStringLiteral("search"));
    // A page the settings name is a web page, for the browser.
    f.find<QAction>("numYanshiDown")->trigger();
    QCOMPARE(f.dialogs.opened, QList<QUrl>({QUrl(QStringLiteral("https://example.org/demo.mp4"))}));
    // No browser: the user is told, nothing else happens.
    f.dialogs.urlsOpen = false;
    f.find<QAction>("numYanshiDown")->trigger();
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("无法打开")));
}

QTEST_MAIN(SettingsMenuTest)
#include "SettingsMenuTest.moc"
