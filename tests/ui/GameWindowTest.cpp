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

struct Run {
    int exit = -1;
    QString out;
    QString err;
};

// With the window's settings, so that the game it chose is there to be ignored.
Run companion(const QString& home, const QStringList& args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), QDir(home + QStringLiteral("/../config")).absolutePath());
    p.setProcessEnvironment(env);
    p.start(QStringLiteral(BRENVIK_CLI), QStringList{QStringLiteral("--home"), home} + args);
    if (!p.waitForFinished(60000))
        qWarning("the companion did not finish");
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QByteArray fileBytes(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString sample(const char* name) {
    return QString::fromStdString(sampleFile(name).string());
}

QByteArray exported(const QString& home, const QString& game) {
    const QString file = home + QStringLiteral("/../out-") + game + QStringLiteral(".txt");
    if (companion(home, {QStringLiteral("--game"), game, QStringLiteral("export"), file}).exit != 0)
        qWarning("the export of %s failed", qPrintable(game));
    return fileBytes(file);
}

QString titleEnd(const ui::frmMain& w) {
    return w.windowTitle().section(QStringLiteral(" — "), 1);
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

    // The companion works on 福彩3D unless told otherwise, whatever game the window chose, and
    // refuses the other game's file.
    QCOMPARE(companion(home, {QStringLiteral("import"), sample("fc3d-history.txt")}).exit, 0);
    const Run wrong = companion(home, {QStringLiteral("import"), sample("pl3-history.txt")});
    QCOMPARE(wrong.exit, 1);
    QVERIFY2(wrong.err.startsWith(QStringLiteral("文件与当前彩种（福彩3D）的历史号码不符：共同的 ")) &&
                 wrong.err.contains(QStringLiteral("--force")),
             qPrintable(wrong.err));
    QCOMPARE(companion(home, {QStringLiteral("--game"), QStringLiteral("pl3"), QStringLiteral("import"),
                              sample("pl3-history.txt")})
                 .exit,
             0);
    QCOMPARE(exported(home, QStringLiteral("3d")), fileBytes(sample("fc3d-history.txt")));
    QCOMPARE(exported(home, QStringLiteral("pl3")), fileBytes(sample("pl3-history.txt")));
    // Each search reads its own game's draws: the answer of a folder that holds that game alone.
    const QStringList search = {QStringLiteral("follow"),   QStringLiteral("--type"),
                                QStringLiteral("bigsmall"), QStringLiteral("--format"),
                                QStringLiteral("json"),     QStringLiteral("--matched")};
    for (const auto& [game, file] :
         {std::pair{"3d", "fc3d-history.txt"}, std::pair{"pl3", "pl3-history.txt"}}) {
        TestFolder alone;
        std::filesystem::create_directories(alone / "data");
        writeDatabase(alone / "data", sampleDraws(file));
        const Run shared =
            companion(home, QStringList{QStringLiteral("--game"), QString::fromLatin1(game)} + search);
        QCOMPARE(shared.exit, 0);
        QCOMPARE(shared.out, companion(QString::fromStdString((alone / "data").string()), search).out);
    }

    // The window opens the game it chose, and its changes and files are that game's.
    auto& w = f.open();
    QCOMPARE(w.game(), Game::Pl3);
    QCOMPARE(w.history().size(), std::size_t(7699));
    QCOMPARE(titleEnd(w), QStringLiteral("体彩排列3 — 最新 2026224"));
    QVERIFY(
        w.statusBar()->findChild<QLabel*>("dataFolderLabel")->text().contains(QStringLiteral("体彩排列3")));
    f.dialogs.answer(true);
    f.dialogs.answer(sample("fc3d-history.txt"));
    f.dialogs.answer(false);
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.size(), 3);
    QVERIFY2(f.dialogs.shown[2].text.startsWith(
                 QStringLiteral("文件与当前彩种（体彩排列3）的历史号码不符：共同的 ")) &&
                 f.dialogs.shown[2].text.endsWith(QStringLiteral("期不同。确实要导入吗？")),
             qPrintable(f.dialogs.shown[2].text));
    QCOMPARE(w.history().size(), std::size_t(7699));
    f.dialogs.answer(QStringLiteral("3"));
    f.dialogs.answer(true);
    f.find<QAction>("mnuEszhzd")->trigger();
    QCOMPARE(w.history().size(), std::size_t(7696));
    const std::int32_t last = w.history().last()->sqqh;
    QTest::mouseClick(f.find<QAbstractButton>("Command4"), Qt::LeftButton);
    f.find<QAction>("mnuDcls")->trigger();
    const QDir folder(home);
    for (const QString& name : {QStringLiteral("lsbfPL3.txt"), QStringLiteral("kestrelPL3Tmp.mdb"),
                                QStringLiteral("kestrelPL3Undo.txt"), QStringLiteral("lishiPL3.xls"),
                                QStringLiteral("更新至%1期排列3历史号码.txt").arg(last)})
        QVERIFY2(folder.exists(name), qPrintable(name));
    for (const QString& name :
         {QStringLiteral("lsbf.txt"), QStringLiteral("kestrel3DTmp.mdb"), QStringLiteral("lishi.xls"),
          QStringLiteral("更新至%1期历史号码.txt").arg(last)})
        QVERIFY2(!folder.exists(name), qPrintable(name));

    // Choosing a game shows its history at once, and back.
    f.find<QAction>("mnu3D(0)")->trigger();
    QCOMPARE(w.game(), Game::Fc3d);
    QCOMPARE(f.setting(keys::GsZl), QStringLiteral("53"));
    QVERIFY(f.find<QAction>("mnu3D(0)")->isChecked() && !f.find<QAction>("mnu3D(1)")->isChecked());
    QVERIFY(holdsExactly(w.history(), sampleDraws("fc3d-history.txt"), 1));
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 7731);
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2026224"));
    QCOMPARE(titleEnd(w), QStringLiteral("福彩3D — 最新 2026224"));
    f.find<QAction>("mnu3D(1)")->trigger();
    QCOMPARE(w.history().size(), std::size_t(7696));
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QString::number(last + 1));
    f.close();

    QCOMPARE(exported(home, QStringLiteral("3d")), fileBytes(sample("fc3d-history.txt")));
    const QByteArray pl3 = fileBytes(sample("pl3-history.txt"));
    QCOMPARE(exported(home, QStringLiteral("pl3")), pl3.left(pl3.size() - 3 * 13));
}

void GameWindowTest::anOldFolderOpensWithTheGameChosenThen() {
    WindowFixture f;
    const auto draws = drawsFrom(2013001, {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}});
    writeUnmarkedDatabase(f.home().toStdString(), draws);
    f.setSetting(keys::GsZl, QStringLiteral("3"));
    auto& w = f.open();
    QCOMPARE(w.game(), Game::Pl3);
    QVERIFY(holdsExactly(w.history(), draws, 1));
    QVERIFY2(w.statusBar()->currentMessage().contains(QStringLiteral("已改名为 kestrelPL3.mdb")),
             qPrintable(w.statusBar()->currentMessage()));

    // The other game's history is new and shows nothing of this one.
    f.find<QAction>("mnu3D(0)")->trigger();
    QVERIFY(w.history().empty());
    QCOMPARE(titleEnd(w), QStringLiteral("福彩3D"));
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2007001"));
    for (const char* box : {"Text3(0)", "Text3(1)", "Text2(1)"})
        QVERIFY2(f.find<QLineEdit>(box)->text().isEmpty(), box);

    // Said once.
    f.close();
    f.open();
    QVERIFY(f.window().statusBar()->currentMessage().isEmpty());
}

QTEST_MAIN(GameWindowTest)
#include "GameWindowTest.moc"
