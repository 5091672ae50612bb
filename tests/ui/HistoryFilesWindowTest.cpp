// SPDX-License-Identifier: GPL-3.0-or-later
// Feeding and trimming the history from the window: import, exports, deletions, undo.
#include "HistoryExport.h"
#include "HistoryRebuild.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "Settings.h"
#include "TallyVerdict.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QStatusBar>
#include <QTableView>
#include <QtTest>

#include <functional>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// The workbook as an independent reader sees it: the sheet names, then one line per row with
// the cells separated by tabs, texts quoted, numbers bare, a number format other than General
// after an "@".
QStringList workbook(const QString& path) {
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"),
            {QStringLiteral("-c"),
             QStringLiteral("import sys, openpyxl\n"
                            "b = openpyxl.load_workbook(open(sys.argv[1], 'rb'))\n"
                            "print(','.join(b.sheetnames))\n"
                            "for row in b['Sheet1'].iter_rows():\n"
                            "    print('\\t'.join('' if c.value is None else repr(c.value) + ('' if "
                            "c.number_format == 'General' else '@' + c.number_format) for c in row))\n"),
             path});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void doubleClick(QWidget* grid) {
    QWidget* surface = qobject_cast<QAbstractScrollArea*>(grid)->viewport();
    QTest::mouseDClick(surface, Qt::LeftButton, {}, QPoint(20, 10));
}

std::vector<DrawLine> acrossAYear() {
    std::vector<DrawLine> d;
    for (int i = 350; i <= 358; ++i)
        d.push_back({2013000 + i, {i % 10, (i / 10) % 10, 1}});
    for (int i = 1; i <= 20; ++i)
        d.push_back({2014000 + i, {i % 10, 2, (i * 3) % 10}});
    return d;
}

} // namespace

class HistoryFilesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartProvidesTheSamples();
    void importReplacesTheHistoryAndRefreshes();
    void importCancelledOrWrongFileChangesNothing();
    void importNamesBothCountsBeforeShrinkingTheHistory();
    void anUnreadableFileKeepsTheHistory();
    void textExportIsWrittenAndOpened();
    void gridsExportToSpreadsheets();
    void aSpreadsheetThatCannotBeWrittenIsReported();
    void deleteTheLastDraw();
    void clearAfterConfirmation();
    void deleteDownToAnIssue();
    void deleteTheLastNDraws();
    void undoBringsBackWhatEachChangeRemoved();
    void everyQuestionThatRemovesDrawsDefaultsToCancel();
};

void HistoryFilesWindowTest::firstStartProvidesTheSamples() {
    WindowFixture f;
    f.open();
    const QDir folder(f.home() + QStringLiteral("/历史号码"));
    QCOMPARE(fileBytes(folder.filePath(QStringLiteral("福彩3D历史号码.txt"))),
             fileBytes(QString::fromStdString(sampleFile("fc3d-history.txt").string())));
    QCOMPARE(fileBytes(folder.filePath(QStringLiteral("体彩排列3历史号码.txt"))),
             fileBytes(QString::fromStdString(sampleFile("pl3-history.txt").string())));
    // A sample the user removed does not come back.
    QVERIFY(QFile::remove(folder.filePath(QStringLiteral("福彩3D历史号码.txt"))));
    f.close();
    f.open();
    QVERIFY(!folder.exists(QStringLiteral("福彩3D历史号码.txt")));
}

void HistoryFilesWindowTest::importReplacesTheHistoryAndRefreshes() {
    WindowFixture f;
    f.setSetting(keys::GsZl, QStringLiteral("3"));
    f.storeDraws(drawsFrom(2003001, {{1, 1, 1}, {2, 2, 2}}), 1, Game::Pl3);
    f.setYear(2026); // the file's draws run to 2026
    auto& w = f.open();
    f.dialogs.answer(true);
    f.dialogs.answer(f.home() + QStringLiteral("/历史号码/体彩排列3历史号码.txt"));
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("读入历史"));
    QVERIFY(f.dialogs.shown[0].text.startsWith(QStringLiteral("确实要读入最新历史号码吗？")));
    QCOMPARE(f.dialogs.shown[1].kind, QStringLiteral("openFile"));
    QCOMPARE(f.dialogs.shown[1].text, f.home() + QStringLiteral("/历史号码"));
    QCOMPARE(w.history().size(), std::size_t(7699));
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 7699);
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2004002"));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2026224"));
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2026225"));
    const DrawRow& last = *w.history().last();
    QCOMPARE(f.find<QLineEdit>("Text2(1)")->text(), QString::number(last.digit(1)));
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("7,699")));
}

void HistoryFilesWindowTest::importCancelledOrWrongFileChangesNothing() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2020001, {{1, 1, 1}, {2, 2, 2}}));
    auto& w = f.open();
    f.dialogs.answer(false);
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    QCOMPARE(f.dialogs.shown.size(), 1); // no file dialog after Cancel
    f.dialogs.answer(true);
    f.dialogs.cancel();
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    f.dialogs.answer(true);
    f.dialogs.answer(QString::fromStdString(sampleFile("fc3d-history.txt").string()) +
                     QStringLiteral(".bak"));
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    QCOMPARE(w.history().size(), std::size_t(2));
}

void HistoryFilesWindowTest::importNamesBothCountsBeforeShrinkingTheHistory() {
    WindowFixture f;
    f.storeDraws(acrossAYear());
    auto& w = f.open();
    const QString folder = f.home() + QStringLiteral("/历史号码/");
    writeFile((folder + QStringLiteral("csv.txt")).toStdString(), "2013001,1,2,3\r\n");
    writeFile((folder + QStringLiteral("two.txt")).toStdString(), "2013002 456\r\n2013001 123\r\n");
    auto import = [&](const QString& name, std::optional<bool> replace) {
        f.dialogs.shown.clear();
        for (const QVariant& a : {QVariant(true), QVariant(folder + name)})
            f.dialogs.answer(a);
        if (replace)
            f.dialogs.answer(*replace);
        QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
        return f.dialogs.shown.value(2);
    };
    // No draw in the file: it says so and asks nothing more.
    QCOMPARE(import(QStringLiteral("csv.txt"), std::nullopt).text,
             QString::fromUtf8(kNoDrawsInFile) + QStringLiteral("。"));
    // Fewer draws than stored: both counts are named before anything happens.
    QCOMPARE(import(QStringLiteral("two.txt"), false).text,
             QStringLiteral("将用文件中的 2 期替换现有的 29 期。确实要替换吗？"));
    QCOMPARE(w.history().size(), acrossAYear().size());
    import(QStringLiteral("two.txt"), true);
    QCOMPARE(w.history().size(), std::size_t(2));
}

void HistoryFilesWindowTest::anUnreadableFileKeepsTheHistory() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2020001, {{1, 1, 1}, {2, 2, 2}}));
    auto& w = f.open();
    f.dialogs.answer(true);
    f.dialogs.answer(f.home() + QStringLiteral("/历史号码/不存在.txt"));
    QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    QCOMPARE(w.history().size(), std::size_t(2));
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("warn"));
    QVERIFY(f.dialogs.shown.last().text.contains(QStringLiteral("不存在.txt")));
}

void HistoryFilesWindowTest::textExportIsWrittenAndOpened() {
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Command4"), Qt::LeftButton);
    const QString file = f.home() + QStringLiteral("/更新至2026224期历史号码.txt");
    QCOMPARE(fileBytes(file), fileBytes(QString::fromStdString(sampleFile("fc3d-history.txt").string())));
    QCOMPARE(f.dialogs.opened.size(), 1);
    QCOMPARE(f.dialogs.opened[0], QUrl::fromLocalFile(file));

    // Without a database there is nothing to export: no empty file is written and opened. What
    // lies at its place is damaged, and the restore is offered.
    WindowFixture other;
    writeFile((other.home() + QStringLiteral("/kestrel3D.mdb")).toStdString(), "not a database at all");
    other.open();
    QTest::mouseClick(other.find<QAbstractButton>("Command4"), Qt::LeftButton);
    QTRY_VERIFY(!other.dialogs.shown.isEmpty());
    QCOMPARE(other.dialogs.shown.last().title, QStringLiteral("历史数据库已损坏"));
    QVERIFY(!QFile::exists(other.home() + QStringLiteral("/更新至期历史号码.txt")));
    QVERIFY(other.dialogs.opened.isEmpty());
}

void HistoryFilesWindowTest::gridsExportToSpreadsheets() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}, {4, 5, 6}, {1, 2, 3}, {0, 4, 5}, {1, 2, 3}}));
    // A workbook of an earlier version, named as it was then, is nobody's business but the user's.
    writeFile(std::filesystem::path(f.home().toStdString()) / "Jieguo.xls", "kept");
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    const QString conditions = f.find<QLabel>("conditionSummary")->text();

    // The conditions of the search first; numbers as numbers, shares in percent; the header row
    // exports as well as the rows do.
    doubleClick(f.find<QTableView>("MSFlexGrid3")->horizontalHeader());
    // The expected count is a number too; the interval and the verdict under the grid are text as shown.
    const QStringList result = workbook(f.home() + QStringLiteral("/Jieguo.xlsx"));
    const auto* tally = f.find<QTableView>("MSFlexGrid3")->model();
    const QString verdict = f.find<ui::TallyVerdict>("tallyVerdict")->verdict();
    QVERIFY(!verdict.isEmpty());
    QCOMPARE(result.size(), 15); // sheet names, conditions, header, ten outcomes, a blank row, the verdict
    QCOMPARE(result[0], QStringLiteral("Sheet1"));
    QCOMPARE(result[1], QStringLiteral("'%1'\t\t\t\t\t").arg(conditions));
    QCOMPARE(result[2], QStringLiteral("'序号'\t'结果'\t'出现次数'\t'百分比'\t'随机期望'\t'95%区间'"));
    QCOMPARE(result[3],
             QStringLiteral("1\t0\t1\t0.5@0.000%\t0.2\t'%1'").arg(tally->index(0, 5).data().toString()));
    QCOMPARE(result[12],
             QStringLiteral("10\t9\t0\t0@0.000%\t0.2\t'%1'").arg(tally->index(9, 5).data().toString()));
    QCOMPARE(result[13], QStringLiteral("\t\t\t\t\t"));
    QCOMPARE(result[14], QStringLiteral("'%1'\t\t\t\t\t").arg(verdict));
    QCOMPARE(fileBytes(f.home() + QStringLiteral("/Jieguo.xls")), QByteArray("kept"));

    doubleClick(f.find<QTableView>("MSFlexGrid2"));
    QCOMPARE(workbook(f.home() + QStringLiteral("/Jiansuo.xlsx")),
             (QStringList{"Sheet1", QStringLiteral("'%1'\t\t\t\t").arg(conditions),
                          "'期号'\t'第1位'\t'第2位'\t'第3位'\t'上期开奖'", "2013002\t4\t5\t6\t'123'",
                          "2013004\t0\t4\t5\t'123'"}));

    doubleClick(f.find<QTableView>("MSFlexGrid1"));
    const QStringList history = workbook(f.home() + QStringLiteral("/lishi.xlsx"));
    QCOMPARE(history.size(), 8);
    QCOMPARE(history[1], QStringLiteral("'福彩3D历史号码：第 2013001 期至第 2013005 期，共 5 期'\t\t\t"));
    QCOMPARE(history[6], QStringLiteral("2013004\t0\t4\t5"));
    QCOMPARE(f.dialogs.opened.size(), 3);

    // The menu item writes the same file again.
    QFile::remove(f.home() + QStringLiteral("/lishi.xlsx"));
    f.find<QAction>("mnuDcls")->trigger();
    QCOMPARE(workbook(f.home() + QStringLiteral("/lishi.xlsx")), history);
}

void HistoryFilesWindowTest::aSpreadsheetThatCannotBeWrittenIsReported() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}}));
    f.open();
    // A folder in the way of the file cannot be replaced by a workbook.
    QVERIFY(QDir(f.home()).mkpath(QStringLiteral("Jieguo.xlsx/keep")));
    doubleClick(f.find<QTableView>("MSFlexGrid3"));
    QCOMPARE(f.dialogs.shown.size(), 1);
    QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("Jieguo.xlsx")));
    QVERIFY(f.dialogs.opened.isEmpty());
    // Written, but nothing can open it: the user is told which file is waiting.
    f.dialogs.urlsOpen = false;
    doubleClick(f.find<QTableView>("MSFlexGrid1"));
    QCOMPARE(f.dialogs.shown.size(), 2);
    QVERIFY(f.dialogs.shown[1].text.contains(QStringLiteral("lishi.xlsx")));
    QVERIFY(f.dialogs.shown[1].text.contains(QDir::toNativeSeparators(f.home())));
    QVERIFY(QFile::exists(f.home() + QStringLiteral("/lishi.xlsx")));
    QVERIFY(f.window().isVisible());
}

void HistoryFilesWindowTest::deleteTheLastDraw() {
    WindowFixture f;
    f.storeDraws(acrossAYear());
    auto& w = f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Command3"), Qt::LeftButton);
    QCOMPARE(w.history().last()->sqqh, 2014019);
    f.find<QAction>("mnuErase")->trigger();
    QCOMPARE(w.history().last()->sqqh, 2014018);
    QVERIFY(f.dialogs.shown.isEmpty()); // no confirmation
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2014019"));
    QCOMPARE(QApplication::focusWidget(), f.find<QWidget>("MaskEdBox1(1)"));
    QVERIFY(QFile::exists(f.home() + QStringLiteral("/kestrel3DTmp.mdb")));

    // A draw stored behind the window's back is the last one now: the message names what went.
    {
        auto store = HistoryStore::open((f.home() + QStringLiteral("/kestrel3D.mdb")).toStdString());
        RunningState state = RunningState::after(*w.history().last());
        const DrawRow row = appendDraw(2014019, {7, 7, 7}, 1, state);
        QVERIFY((*store)->append(std::span(&row, 1)));
    }
    // The compaction cannot clear its old copy away: its failure is what the user sees.
    QVERIFY(QFile::remove(f.home() + QStringLiteral("/kestrel3DTmp.mdb")));
    QVERIFY(QDir(f.home()).mkpath(QStringLiteral("kestrel3DTmp.mdb/keep")));
    QTest::mouseClick(f.find<QAbstractButton>("Command3"), Qt::LeftButton);
    QCOMPARE(w.history().last()->sqqh, 2014018);
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("已删除第 2014019 期。"));
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("warn"));
    QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("kestrel3DTmp.mdb")));
    f.close();
    QCOMPARE(f.open().history().size(), acrossAYear().size() - 2);
}

void HistoryFilesWindowTest::clearAfterConfirmation() {
    WindowFixture f;
    f.storeDraws(acrossAYear());
    auto& w = f.open();
    f.dialogs.answer(false);
    f.find<QAction>("mnuClear")->trigger();
    QCOMPARE(w.history().size(), acrossAYear().size());
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("确认清空"));
    QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("确定要清空所有的 29 期历史号码吗？"));
    f.dialogs.answer(true);
    f.find<QAction>("mnuClear")->trigger();
    QVERIFY(w.history().empty());
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 0);
}

void HistoryFilesWindowTest::deleteDownToAnIssue() {
    WindowFixture f;
    f.storeDraws(acrossAYear());
    auto& w = f.open();
    f.dialogs.answer(QStringLiteral("2014016"));
    f.dialogs.answer(true);
    f.find<QAction>("mnuDlzd")->trigger();
    QCOMPARE(f.dialogs.shown[0].title, QStringLiteral("删除期数"));
    QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("请输入需要删除到的期数，例如‘2014016’"));
    QCOMPARE(f.dialogs.shown[1].text, QStringLiteral("将删除第 2014016 期之后的 4 期历史号码。继续吗？"));
    QCOMPARE(w.history().last()->sqqh, 2014016);
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2014017"));
    // The backup holds the kept draws; the rebuild filled the N-back texts.
    QVERIFY(fileBytes(f.home() + QStringLiteral("/lsbf.txt")).endsWith("2014016 628\r\n"));
    QCOMPARE(QString::fromStdString(w.history()[2].pre[0]), QString::fromStdString(w.history()[1].last[0]));
    QVERIFY(QFile::exists(f.home() + QStringLiteral("/kestrel3DTmp.mdb")));

    // Cancelled, declined, or not an issue inside the history (a digit lost, before the first,
    // after the last): nothing happens, the backup stays as it was; all but the first two say why.
    const QByteArray backup = fileBytes(f.home() + QStringLiteral("/lsbf.txt"));
    const QList<QVariantList> answers = {{QVariant()},
                                         {QStringLiteral("2014001"), false},
                                         {QStringLiteral("abc")},
                                         {QStringLiteral("201416")},
                                         {QStringLiteral("2012001")},
                                         {QStringLiteral("2014999")},
                                         {QStringLiteral("2014017")}};
    f.dialogs.shown.clear();
    for (const QVariantList& a : answers) {
        for (const QVariant& v : a)
            f.dialogs.answer(v);
        f.find<QAction>("mnuDlzd")->trigger();
        QVERIFY(f.dialogs.answers.empty());
    }
    QCOMPARE(w.history().last()->sqqh, 2014016);
    QCOMPARE(fileBytes(f.home() + QStringLiteral("/lsbf.txt")), backup);
    const auto warned = std::count_if(f.dialogs.shown.begin(), f.dialogs.shown.end(),
                                      [](const auto& d) { return d.kind == QStringLiteral("warn"); });
    QCOMPARE(warned, 5);
    QVERIFY(f.dialogs.shown.last().text.contains(QStringLiteral("2013350～2014016")));
    QCOMPARE(f.dialogs.shown[f.dialogs.shown.size() - 3].text,
             QStringLiteral("期号 2014999 的序号 999 超出 001–366，历史号码未改动。"));
}

void HistoryFilesWindowTest::deleteTheLastNDraws() {
    WindowFixture f;
    std::vector<DrawLine> draws = acrossAYear();
    draws.resize(11); // ends with 2014001 and 2014002
    f.storeDraws(draws);
    auto& w = f.open();
    f.dialogs.answer(QStringLiteral("3"));
    f.dialogs.answer(true);
    f.find<QAction>("mnuEszhzd")->trigger();
    QCOMPARE(f.dialogs.shown[0].text,
             QStringLiteral("请输入需要删除最后多少期历史号码（例如输入3，那么就将删除最后的3期历史号码）"));
    QCOMPARE(f.dialogs.shown[1].text,
             QStringLiteral("将删除最后的 3 期历史号码（第 2013358 期至第 2014002 期）。继续吗？"));
    QCOMPARE(w.history().size(), std::size_t(8));
    QCOMPARE(w.history().last()->sqqh, 2013357);
    f.dialogs.answer(QStringLiteral("0"));
    f.find<QAction>("mnuEszhzd")->trigger();
    QCOMPARE(w.history().size(), std::size_t(8));
    f.dialogs.answer(QStringLiteral("100"));
    f.dialogs.answer(true);
    f.find<QAction>("mnuEszhzd")->trigger();
    QVERIFY(w.history().empty());
}

void HistoryFilesWindowTest::undoBringsBackWhatEachChangeRemoved() {
    WindowFixture f;
    f.storeDraws(acrossAYear());
    auto& w = f.open();
    auto* undo = f.find<QAction>("mnuUndo");
    QVERIFY(!undo->isEnabled()); // nothing changed yet
    const auto original = acrossAYear();
    const QString file = f.home() + QStringLiteral("/历史号码/b.txt");
    writeFile(file.toStdString(), "2014001 123\r\n");
    auto click = [&](const char* name) {
        return [&f, name] { QTest::mouseClick(f.find<QAbstractButton>(name), Qt::LeftButton); };
    };
    auto menu = [&](const char* name) { return [&f, name] { f.find<QAction>(name)->trigger(); }; };
    const std::vector<std::tuple<QString, QVariantList, std::function<void()>>> changes = {
        {QStringLiteral("读入 b.txt"), {true, file, true}, click("cmdRdLst")},
        {QStringLiteral("删除最后一期"), {}, click("Command3")},
        {QStringLiteral("清空历史号码"), {true}, menu("mnuClear")},
        {QStringLiteral("删除到第 2014010 期"), {QStringLiteral("2014010"), true}, menu("mnuDlzd")},
        {QStringLiteral("删除最后 5 期"), {QStringLiteral("5"), true}, menu("mnuEszhzd")},
    };
    for (const auto& [name, answers, change] : changes) {
        for (const QVariant& a : answers)
            f.dialogs.answer(a);
        change();
        QVERIFY2(w.history().size() < original.size(), qPrintable(name));
        QVERIFY(undo->isEnabled());
        f.dialogs.shown.clear();
        f.dialogs.answer(true);
        undo->trigger();
        const QString asked = f.dialogs.shown.value(0).text;
        QVERIFY2(asked.startsWith(QStringLiteral("将历史号码恢复为") + name + QStringLiteral("（")),
                 qPrintable(asked));
        QVERIFY2(asked.endsWith(QStringLiteral("之前的 29 期。继续吗？")), qPrintable(asked));
        QVERIFY2(drawLinesOf(w.history().rows()) == original, qPrintable(name));
        QVERIFY(w.statusBar()->currentMessage().startsWith(QStringLiteral("已撤销：恢复到") + name));
    }
    // An undo is a change too: declined it does nothing, done a second time it brings the last
    // change back.
    f.dialogs.answer(false);
    undo->trigger();
    QCOMPARE(w.history().size(), original.size());
    f.dialogs.answer(true);
    undo->trigger();
    QCOMPARE(w.history().size(), original.size() - 5);
}

// A habitual Enter takes a question's default button: for each question that removes or
// replaces draws it is Cancel, which the script shows as its own kind of question.
void HistoryFilesWindowTest::everyQuestionThatRemovesDrawsDefaultsToCancel() {
    WindowFixture f;
    f.storeDraws(acrossAYear());
    auto& w = f.open();
    const QString folder = f.home() + QStringLiteral("/历史号码/");
    std::string shorter, otherGame;
    for (const DrawLine& d : acrossAYear()) {
        otherGame += formatDrawLine(d.issue, {(d.digits[0] + 1) % 10, d.digits[1], d.digits[2]}) + "\r\n";
        if (d.issue < 2014000)
            shorter += formatDrawLine(d.issue, d.digits) + "\r\n";
    }
    writeFile((folder + QStringLiteral("shorter.txt")).toStdString(), shorter);
    writeFile((folder + QStringLiteral("other.txt")).toStdString(), otherGame);
    // A change to undo, made beforehand.
    f.dialogs.answer(QStringLiteral("1"));
    f.find<QAction>("mnuEszhzd")->trigger();
    QCOMPARE(w.history().size(), acrossAYear().size() - 1);
    const auto history = drawLinesOf(w.history().rows());
    struct Question {
        const char* what;
        QVariantList answers; // those before the question
        std::function<void()> ask;
        QString title;
    };
    const auto click = [&f](const char* name) {
        return [&f, name] { QTest::mouseClick(f.find<QAbstractButton>(name), Qt::LeftButton); };
    };
    const auto menu = [&f](const char* name) { return [&f, name] { f.find<QAction>(name)->trigger(); }; };
    const Question questions[] = {
        {"import", {}, click("cmdRdLst"), QStringLiteral("读入历史")},
        {"shorter file",
         {true, folder + QStringLiteral("shorter.txt")},
         click("cmdRdLst"),
         QStringLiteral("读入历史")},
        {"other game",
         {true, folder + QStringLiteral("other.txt")},
         click("cmdRdLst"),
         QStringLiteral("读入历史")},
        {"delete down to", {QStringLiteral("2014010")}, menu("mnuDlzd"), QStringLiteral("确认删除")},
        {"delete the last N", {QStringLiteral("5")}, menu("mnuEszhzd"), QStringLiteral("确认删除")},
        {"clear", {}, menu("mnuClear"), QStringLiteral("确认清空")},
        {"undo", {}, menu("mnuUndo"), QStringLiteral("撤销上次更改")},
    };
    for (const Question& q : questions) {
        f.dialogs.shown.clear();
        for (const QVariant& a : q.answers)
            f.dialogs.answer(a);
        q.ask(); // the question itself goes unanswered, as Enter on its default button
        QVERIFY2(!f.dialogs.shown.isEmpty(), q.what);
        QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("confirmRemoval"));
        QCOMPARE(f.dialogs.shown.last().title, q.title);
        QVERIFY2(drawLinesOf(w.history().rows()) == history, q.what);
    }
}

QTEST_MAIN(HistoryFilesWindowTest)
#include "HistoryFilesWindowTest.moc"
