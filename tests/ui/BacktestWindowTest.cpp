// SPDX-License-Identifier: GPL-3.0-or-later
// The 回测 window: opened from the main window's follow-search options, it tells the same story
// as the companion's backtest, and it can be stopped or closed while it works.
#include "BacktestWindow.h"
#include "BacktestText.h"
#include "SampleHistory.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProcess>
#include <QProgressBar>
#include <QSpinBox>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QByteArray companion(const QString& home, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(BRENVIK_CLI), QStringList{QStringLiteral("--home"), home} + args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        qWarning("companion failed: %s", p.readAllStandardError().constData());
    return p.readAllStandardOutput();
}

// The companion's JSON read back into the library's result, so that both are put into words by
// the same code and any difference lies in the numbers.
stats::BacktestResult resultOf(const QJsonObject& o) {
    stats::BacktestResult r;
    r.targets = o[QStringLiteral("targets")].toInteger();
    r.predictions = o[QStringLiteral("predictions")].toInteger();
    r.hits = o[QStringLiteral("hits")].toInteger();
    r.rate = o[QStringLiteral("rate")].toDouble(0);
    r.low95 = o[QStringLiteral("low95")].toDouble(0);
    r.high95 = o[QStringLiteral("high95")].toDouble(1);
    r.chance = o[QStringLiteral("chance")].toDouble();
    r.p = o[QStringLiteral("p")].toDouble();
    const QJsonObject twins = o[QStringLiteral("twins")].toObject();
    r.seed = static_cast<std::uint64_t>(twins[QStringLiteral("seed")].toInteger(1));
    r.rank = twins[QStringLiteral("rank")].toInt(1);
    for (const QJsonValue& rate : twins[QStringLiteral("rates")].toArray())
        r.twins.push_back({.rate = rate.toDouble(), .verdicts = {}});
    for (const QJsonValue& v : o[QStringLiteral("rows")].toArray()) {
        const QJsonObject j = v.toObject();
        stats::BacktestRow row;
        row.issue = j[QStringLiteral("issue")].toInt();
        if (const QJsonArray p = j[QStringLiteral("pattern")].toArray(); !p.isEmpty())
            row.pattern = Pattern{p[0].toInt(), p[1].toInt(), p[2].toInt()};
        row.matched = j[QStringLiteral("matched")].toInt();
        for (const QJsonValue& pick : j[QStringLiteral("picks")].toArray())
            row.picks[static_cast<std::size_t>(row.pickCount++)] = static_cast<std::int8_t>(pick.toInt());
        row.actual = j[QStringLiteral("actual")].toInt();
        const QJsonValue hit = j[QStringLiteral("hit")];
        row.verdict = hit.isNull()   ? stats::Verdict::NoPrediction
                      : hit.toBool() ? stats::Verdict::Hit
                                     : stats::Verdict::Miss;
        r.rows.push_back(row);
    }
    return r;
}

QStringList gridLines(const QAbstractItemModel* m) {
    QStringList lines;
    for (int r = 0; r < m->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < m->columnCount(); ++c)
            cells << m->index(r, c).data().toString();
        lines << cells.join(QLatin1Char('|'));
    }
    return lines;
}

QStringList rowLines(const stats::BacktestResult& r, Kind kind) {
    QStringList lines;
    for (const stats::BacktestRow& row : r.rows)
        lines << QStringList{QString::number(row.issue),
                             QString::fromStdString(stats::patternText(row)),
                             QString::number(row.matched),
                             QString::fromStdString(stats::picksText(row, kind)),
                             QString::fromStdString(outcomeLabel(kind, row.actual)),
                             QString::fromStdString(stats::verdictText(row.verdict))}
                     .join(QLatin1Char('|'));
    return lines;
}

ui::BacktestWindow* openBacktest(WindowFixture& f) {
    QTest::mouseClick(f.find<QAbstractButton>("cmdHuice"), Qt::LeftButton);
    return f.window().findChild<ui::BacktestWindow*>();
}

void setTargets(ui::BacktestWindow* w, const QString& start, const QString& end, int picks, int twins) {
    w->findChild<QLineEdit*>(QStringLiteral("txtStart"))->setText(start);
    w->findChild<QLineEdit*>(QStringLiteral("txtEnd"))->setText(end);
    w->findChild<QSpinBox*>(QStringLiteral("spnPicks"))->setValue(picks);
    w->findChild<QSpinBox*>(QStringLiteral("spnTwins"))->setValue(twins);
}

} // namespace

class BacktestWindowTest : public QObject {
    Q_OBJECT
private slots:
    void sameAsTheCompanion_data();
    void sameAsTheCompanion();
    void stopsWhenCancelledOrClosed();
    void refusesTheGroupFlag();
    void theWindowSaysWhatItDidAndWhatItShows();
    void progressCountsDraws_data();
    void progressCountsDraws();
};

void BacktestWindowTest::progressCountsDraws_data() {
    QTest::addColumn<int>("done");
    QTest::addColumn<int>("total");
    QTest::addColumn<int>("twins");
    QTest::addColumn<QString>("said");
    // 7,732 draws and 20 twins: the work is 21 walks of them.
    QTest::newRow("start") << 0 << 162372 << 20 << "实际历史 0 / 7,732 期";
    QTest::newRow("real history") << 5000 << 162372 << 20 << "实际历史 5,000 / 7,732 期";
    QTest::newRow("first twin") << 7832 << 162372 << 20 << "随机对照 1 / 20：100 / 7,732 期";
    QTest::newRow("end") << 162372 << 162372 << 20 << "随机对照 20 / 20：7,732 / 7,732 期";
    QTest::newRow("no twins") << 7732 << 7732 << 0 << "实际历史 7,732 / 7,732 期";
}

void BacktestWindowTest::progressCountsDraws() {
    QFETCH(int, done);
    QFETCH(int, total);
    QFETCH(int, twins);
    QFETCH(QString, said);
    QCOMPARE(ui::BacktestWindow::progressText(done, total, twins), said);
}

void BacktestWindowTest::sameAsTheCompanion_data() {
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<int>("back");
    QTest::addColumn<int>("picks");
    QTest::addColumn<int>("twins");
    QTest::addColumn<int>("resultKind");
    QTest::addColumn<QStringList>("cli");
    QTest::newRow("free, last draw, twins") << QStringList{} << 0 << 2 << 4 << 0 << QStringList{};
    QTest::newRow("fixed, 3 back, big/small of position 2, odd/even")
        << QStringList{"Option1(0)", "Option1(2)", "Option3(1)", "Option4(2)", "Option5(2)"} << 3 << 1 << 0
        << 2 << QStringList{"--positions",   "fixed",   "--back",       "3", "--type", "bigsmall",
                            "--result-type", "oddeven", "--result-pos", "2"};
    QTest::newRow("fixed, position 1 alone, segments of position 3")
        << QStringList{"Option1(0)", "Check1(2)", "Check1(3)", "Option4(3)", "Option5(3)"} << 0 << 3 << 2 << 3
        << QStringList{"--positions",   "fixed",   "--check",      "1",
                       "--result-type", "segment", "--result-pos", "3"};
}

void BacktestWindowTest::sameAsTheCompanion() {
    QFETCH(QStringList, clicks);
    QFETCH(int, back);
    QFETCH(int, picks);
    QFETCH(int, twins);
    QFETCH(int, resultKind);
    QFETCH(QStringList, cli);
    const QString start = QStringLiteral("2015301");
    const QString end = QStringLiteral("2016040"); // across a year's end

    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    if (back) {
        auto* box = f.find<QLineEdit>("MaskEdBox2");
        box->setFocus();
        QTest::keyClicks(box, QString::number(back));
        f.find<QWidget>("Text3(0)")->setFocus();
    }
    for (const QString& name : clicks)
        QTest::mouseClick(f.find<QAbstractButton>(name), Qt::LeftButton);
    ui::BacktestWindow* w = openBacktest(f);
    QVERIFY(w);
    setTargets(w, start, end, picks, twins);
    QSignalSpy ended(w, &ui::BacktestWindow::ended);
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdStart")), Qt::LeftButton);
    QVERIFY(ended.wait(30000));
    QVERIFY(w->result());

    const QStringList args =
        QStringList{QStringLiteral("backtest"), QStringLiteral("--range"), start + ":" + end,
                    QStringLiteral("--pick"),   QString::number(picks),    QStringLiteral("--twins"),
                    QString::number(twins)} +
        cli;
    const QJsonObject json =
        QJsonDocument::fromJson(companion(f.home(), args + QStringList{"--rows", "--format", "json"}))
            .object();
    const stats::BacktestResult expected = resultOf(json);
    QCOMPARE(json.contains(QStringLiteral("twins")), twins > 0);
    QVERIFY(expected.predictions > 0);
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("backtestSummary"))->text(),
             QString::fromStdString(stats::backtestSummary(expected, picks)));
    const QStringList rows = gridLines(w->findChild<QTableView*>(QStringLiteral("grdHuice"))->model());
    QVERIFY(rows.size() > 30);
    QCOMPARE(rows, rowLines(expected, static_cast<Kind>(resultKind)));
    // The conditions as the companion states them first.
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("conditionSummary"))->text(),
             QString::fromUtf8(companion(f.home(), args)).section(QLatin1Char('\n'), 0, 0));
}

void BacktestWindowTest::stopsWhenCancelledOrClosed() {
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    QPointer<ui::BacktestWindow> w = openBacktest(f);
    QVERIFY(w);
    // A thousand twins of the whole history take seconds; the cancel is obeyed within a few
    // thousand targets.
    setTargets(w, QStringLiteral("2000001"), QStringLiteral("2099999"), 1, stats::kMaxTwins);
    auto* progress = w->findChild<QProgressBar*>(QStringLiteral("progress"));
    auto* cancel = w->findChild<QAbstractButton*>(QStringLiteral("cmdCancel"));
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdStart")), Qt::LeftButton);
    QVERIFY(w->running());
    QTRY_VERIFY(progress->value() > 0);
    QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!w->running(), 1000);
    QVERIFY(!w->result());
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("backtestSummary"))->text(),
             QStringLiteral("回测已取消。"));
    QVERIFY(!cancel->isEnabled());

    // Closed in the middle of a run: the window goes, the worker with it, the main window stays.
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdStart")), Qt::LeftButton);
    QTRY_VERIFY(progress->value() > 0);
    QVERIFY(w->running());
    w->close();
    QTRY_VERIFY(w.isNull());
    QTest::qWait(50);
    QVERIFY(f.window().isVisible());
}

void BacktestWindowTest::refusesTheGroupFlag() {
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Option2(5)"), Qt::LeftButton);
    QVERIFY(!openBacktest(f));
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("回测"));
    QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("组选")));
}

// The export says where it wrote in the window itself, and a cancelled run leaves the boxes at
// the targets, picks and twins of the result still shown.
void BacktestWindowTest::theWindowSaysWhatItDidAndWhatItShows() {
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    ui::BacktestWindow* w = openBacktest(f);
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("回测 — 福彩3D"));
    setTargets(w, QStringLiteral("2016001"), QStringLiteral("2016100"), 2, 3);
    QSignalSpy ended(w, &ui::BacktestWindow::ended);
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdStart")), Qt::LeftButton);
    QVERIFY(ended.wait(30000));
    QVERIFY(w->result());

    auto* grid = w->findChild<QTableView*>(QStringLiteral("grdHuice"));
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    const QString file = f.home() + QStringLiteral("/Huice.xlsx");
    QVERIFY(QFile::exists(file));
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("backtestStatus"))->text(),
             QStringLiteral("已写出 %1。").arg(QDir::toNativeSeparators(file)));

    const auto boxes = [w] {
        return QStringList{w->findChild<QLineEdit*>(QStringLiteral("txtStart"))->text(),
                           w->findChild<QLineEdit*>(QStringLiteral("txtEnd"))->text(),
                           QString::number(w->findChild<QSpinBox*>(QStringLiteral("spnPicks"))->value()),
                           QString::number(w->findChild<QSpinBox*>(QStringLiteral("spnTwins"))->value())};
    };
    const QStringList shown = boxes();
    setTargets(w, QStringLiteral("2000001"), QStringLiteral("2099999"), 1, stats::kMaxTwins);
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdStart")), Qt::LeftButton);
    QTRY_VERIFY(w->findChild<QProgressBar*>(QStringLiteral("progress"))->value() > 0);
    QTest::mouseClick(w->findChild<QAbstractButton*>(QStringLiteral("cmdCancel")), Qt::LeftButton);
    QTRY_VERIFY(!w->running());
    QCOMPARE(boxes(), shown);
    QCOMPARE(w->findChild<QLabel*>(QStringLiteral("backtestSummary"))->text(),
             QStringLiteral("回测已取消，下面仍是上次回测的结果。"));
}

QTEST_MAIN(BacktestWindowTest)
#include "BacktestWindowTest.moc"
