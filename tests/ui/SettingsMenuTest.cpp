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
    void yearsAreAllOrTwoAndMore();
    void cancelKeepsTheYears();
    void webPagesOpenTheManualOrTheConfiguredAddress();
};

void SettingsMenuTest::yearsAreAllOrTwoAndMore() {
    WindowFixture f;
    auto& w = f.open();
    auto* setDay = f.find<QAction>("mnuSetDay");
    QCOMPARE(w.yearsToKeep(), kKeepAllYears);
    f.dialogs.answer(QStringLiteral("1"));
    f.dialogs.answer(QStringLiteral("0"));
    f.dialogs.answer(QStringLiteral("101"));
    f.dialogs.answer(QStringLiteral("十"));
    f.dialogs.answer(QStringLiteral(" 17 "));
    setDay->trigger();
    QCOMPARE(f.setting(keys::IniSerchDay), QStringLiteral("17"));
    QCOMPARE(w.yearsToKeep(), 17);
    // Five questions, four of them answered by the range message; each shows what was typed.
    QStringList kinds;
    for (const auto& s : f.dialogs.shown)
        kinds << s.kind + QLatin1Char(':') + s.title;
    QCOMPARE(kinds, (QStringList{"input:设置年数", "inform:输入有误", "input:设置年数", "inform:输入有误",
                                 "input:设置年数", "inform:输入有误", "input:设置年数", "inform:输入有误",
                                 "input:设置年数"}));
    QCOMPARE(f.dialogs.shown[1].text, QStringLiteral("请输入 2 到 100 之间的自然数，或“全部保留”。"));
    // Every year is kept again by the words the box names; Cancel keeps them.
    f.dialogs.shown.clear();
    f.dialogs.answer(QStringLiteral("全部保留"));
    setDay->trigger();
    QCOMPARE(f.setting(keys::IniSerchDay), QStringLiteral("0"));
    f.dialogs.cancel();
    setDay->trigger();
    QCOMPARE(f.dialogs.shown.size(), 2);
    QCOMPARE(w.yearsToKeep(), kKeepAllYears);
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
    QCOMPARE(f.dialogs.shown[0].text.left(8), QStringLiteral("请输入在线更新后"));
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
