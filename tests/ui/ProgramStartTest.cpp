// SPDX-License-Identifier: GPL-3.0-or-later
// How the window program starts: its own time format without handing it to the programs it
// starts, and the desktop entry's actions. main() here does first what the program's does.
#include "ProgramStart.h"
#include "ChartServer.h"
#include "SampleHistory.h"
#include "WindowFixture.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QProcess>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using namespace brenvik::ui;

class ProgramStartTest : public QObject {
    Q_OBJECT
private slots:
    void theTimeFormatIsTheWindowsAlone();
    void desktopActionsOpenTheTrendAndUpdate();
};

void ProgramStartTest::theTimeFormatIsTheWindowsAlone() {
    // The user's English desktop (set by main below): Qt's dates are Chinese, the environment is not.
    QCOMPARE(QLocale::system().dateTimeFormat(QLocale::ShortFormat),
             QLocale(QLocale::Chinese, QLocale::China).dateTimeFormat(QLocale::ShortFormat));
    QVERIFY(QLocale::system().dateTimeFormat(QLocale::ShortFormat) !=
            QLocale(QLocale::English, QLocale::UnitedStates).dateTimeFormat(QLocale::ShortFormat));
    QProcess child;
    child.start(QStringLiteral("/bin/sh"),
                {QStringLiteral("-c"), QStringLiteral("printf '%s|%s' \"${LC_TIME-unset}\" \"$LANG\"")});
    QVERIFY(child.waitForFinished());
    QCOMPARE(child.readAllStandardOutput(), QByteArray("unset|en_US.UTF-8"));
}

void ProgramStartTest::desktopActionsOpenTheTrendAndUpdate() {
    const auto fc = sampleDraws("fc3d-history.txt");
    const std::vector<DrawLine> stored(fc.end() - 30, fc.end() - 5);
    const struct {
        QStringList args;
        bool trend;
        bool update;
    } cases[] = {{{}, false, false}, {{"--trend"}, true, false}, {{"--update", "--trend"}, true, true}};
    for (const auto& c : cases) {
        const QString what = c.args.join(QLatin1Char(' '));
        WindowFixture f;
        ChartServer server;
        server.setFeed(Game::Fc3d, fc);
        f.storeDraws(stored);
        f.setSetting("strGfHost", server.host());
        frmMain& window = f.open();
        QCommandLineParser parser;
        const DesktopActions actions;
        actions.addTo(parser);
        QVERIFY2(parser.parse(QStringList{QStringLiteral("brenvik3d")} + c.args), qPrintable(what));
        actions.runOn(window, parser);
        QTest::qWait(100);
        auto* trend = window.findChild<QWidget*>(QStringLiteral("frmTrend"));
        QVERIFY2((trend && trend->isVisible()) == c.trend, qPrintable(what));
        QTRY_COMPARE_WITH_TIMEOUT(window.history().size(), c.update ? stored.size() + 5 : stored.size(),
                                  20000);
        // Asked for by its name, the update asks nothing first; it says what it brought.
        QCOMPARE(f.dialogs.shown.size(), c.update ? 1 : 0);
        if (c.update)
            QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("inform"));
        else
            QVERIFY2(server.requests.isEmpty(), qPrintable(what));
    }
}

int main(int argc, char* argv[]) {
    qputenv("LANG", "en_US.UTF-8");
    qunsetenv("LC_ALL");
    qunsetenv("LC_TIME");
    readTimeFormatInChinese();
    QApplication app(argc, argv);
    ProgramStartTest test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "ProgramStartTest.moc"
