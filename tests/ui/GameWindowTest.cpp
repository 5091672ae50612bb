// SPDX-License-Identifier: GPL-3.0-or-later
// One data folder, a history per game: the companion and the window work on the game chosen and
// never on the other one's history.
#include "SampleHistory.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

const QString kFc3d = QString::fromStdString(sampleFile("fc3d-history.txt").string());
const QString kPl3 = QString::fromStdString(sampleFile("pl3-history.txt").string());

// The companion with the window's settings, so that the game the window chose is there to be
// ignored; `args` are separated by blanks. Its exit status, then what it wrote.
std::pair<int, QString> companion(const QString& home, const QString& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/../config"));
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRENVIK_CLI), QStringList{QStringLiteral("--home"), home} + args.split(' '));
    p.waitForFinished(60000);
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

std::string exported(const QString& home, const QString& game) {
    const QString file = home + QStringLiteral("/../out.txt");
    const bool written = companion(home, QStringLiteral("--game %1 export %2").arg(game, file)).first == 0;
    return written ? readFile(file.toStdString()) : std::string();
}

} // namespace

class GameWindowTest : public QObject {
    Q_OBJECT
private slots:
    void eachGameKeepsItsOwnHistory();
    void anOldFolderOpensWithTheGameChosenThen();
};

void GameWindowTest::eachGameKeepsItsOwnHistory() {
    WindowFixture f;
    const QString home = f.home();
    f.setSetting(keys::GsZl, QStringLiteral("3"));

    // The companion works on 福彩3D unless told otherwise, and refuses the other game's file.
    QCOMPARE(companion(home, QStringLiteral("import ") + kFc3d).first, 0);
    const auto wrong = companion(home, QStringLiteral("import ") + kPl3);
    QVERIFY2(wrong.first == 1 &&
                 wrong.second.startsWith(QStringLiteral("文件与当前彩种（福彩3D）的历史号码不符")),
             qPrintable(wrong.second));
    QCOMPARE(companion(home, QStringLiteral("--game pl3 import ") + kPl3).first, 0);
    // Each search reads its own game's draws: the answer of a folder that holds that game alone.
    for (const auto& [game, file] :
         {std::pair{"3d", "fc3d-history.txt"}, std::pair{"pl3", "pl3-history.txt"}}) {
        TestFolder alone;
        writeDatabase(alone.path(), sampleDraws(file));
        const QString search = QStringLiteral("follow --type bigsmall --format json --matched");
        const auto shared = companion(home, QStringLiteral("--game %1 ").arg(game) + search);
        QVERIFY(shared.first == 0 &&
                shared.second.startsWith(QStringLiteral("{\"format\": 1, \"matched\": ")));
        QCOMPARE(shared, companion(QString::fromStdString(alone.path().string()), search));
    }

    // The window opens the game it chose, and its changes and files are that game's.
    auto& w = f.open();
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("Brenvik 3D — 体彩排列3 — 最新 2026224 — v")));
    QVERIFY(w.statusBar()
                ->findChild<QLabel*>("dataFolderLabel")
                ->toolTip()
                .contains(QStringLiteral("体彩排列3")));
    for (const QVariant& answer : {QVariant(true), QVariant(kFc3d), QVariant(false)})
        f.dialogs.answer(answer);
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    QVERIFY(f.dialogs.shown.value(2).text.startsWith(
        QStringLiteral("文件与当前彩种（体彩排列3）的历史号码不符")));
    QVERIFY(f.dialogs.shown.value(2).text.endsWith(QStringLiteral("期不同。确实要导入吗？")));
    QCOMPARE(w.history().size(), std::size_t(7699));
    f.dialogs.answer(QStringLiteral("3"));
    f.dialogs.answer(true);
    f.find<QAction>("mnuEszhzd")->trigger();
    const std::int32_t last = w.history().last()->sqqh;
    QTest::mouseClick(f.find<QAbstractButton>("Command4"), Qt::LeftButton);
    f.find<QAction>("mnuDcls")->trigger();
    const QStringList written = {"lsbfPL3.txt", "kestrelPL3Tmp.mdb", "kestrelPL3Undo.txt", "lishiPL3.xlsx",
                                 QStringLiteral("更新至%1期排列3历史号码.txt").arg(last)};
    const QStringList untouched = {"lsbf.txt", "kestrel3DTmp.mdb", "lishi.xlsx",
                                   QStringLiteral("更新至%1期历史号码.txt").arg(last)};
    for (const QString& name : written + untouched)
        QVERIFY2(QDir(home).exists(name) == written.contains(name), qPrintable(name));

    // Choosing a game shows its history at once, and back.
    f.find<QAction>("mnu3D(0)")->trigger();
    QCOMPARE(f.setting(keys::GsZl), QStringLiteral("53"));
    QVERIFY(f.find<QAction>("mnu3D(0)")->isChecked() && !f.find<QAction>("mnu3D(1)")->isChecked());
    QVERIFY(holdsExactly(w.history(), sampleDraws("fc3d-history.txt"), 1));
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 7731);
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("Brenvik 3D — 福彩3D — 最新 2026224 — v")));
    f.find<QAction>("mnu3D(1)")->trigger();
    QCOMPARE(w.history().size(), std::size_t(7696));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QString::number(last));
    f.close();

    QCOMPARE(exported(home, QStringLiteral("3d")), readFile(sampleFile("fc3d-history.txt")));
    const std::string pl3 = readFile(sampleFile("pl3-history.txt"));
    QCOMPARE(exported(home, QStringLiteral("pl3")), pl3.substr(0, pl3.size() - 3 * 13));
}

void GameWindowTest::anOldFolderOpensWithTheGameChosenThen() {
    WindowFixture f;
    writeUnmarkedDatabase(f.home().toStdString(), drawsFrom(2013001, {{1, 2, 3}, {4, 5, 6}}));
    f.setSetting(keys::GsZl, QStringLiteral("3"));
    auto& w = f.open();
    QCOMPARE(w.history().size(), std::size_t(2));
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("已改名为 kestrelPL3.mdb")));

    // The other game's history is new and shows nothing of this one.
    f.find<QAction>("mnu3D(0)")->trigger();
    QVERIFY(w.history().empty());
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("Brenvik 3D — 福彩3D — v")));
    for (const char* box : {"Text1", "Text3(0)", "Text3(1)", "Text2(1)"})
        QVERIFY2(f.find<QLineEdit>(box)->text().isEmpty(), box);

    f.close();
    f.open();
    QVERIFY2(f.window().statusBar()->currentMessage().isEmpty(), "said once");
}

QTEST_MAIN(GameWindowTest)
#include "GameWindowTest.moc"
