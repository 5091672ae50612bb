// SPDX-License-Identifier: GPL-3.0-or-later
// Where the window's exports go and what they show meanwhile: a place the user picks when the
// data folder cannot be written, the conditions in each sheet's first row, and the progress of
// work that takes long, with Cancel where nothing is half done.
#include "BacktestWindow.h"
#include "HistoryExport.h"
#include "LogbookWindow.h"
#include "SampleHistory.h"
#include "TrendView.h"
#include "TrendWindow.h"
#include "WindowFixture.h"
#include "FilterWindow.h"

#include <QAbstractButton>
#include <QAction>
#include <QDir>
#include <QLabel>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTableView>
#include <QtTest>

#include <sys/stat.h>

#include <functional>

using namespace brenvik;
using namespace brenvik::test;

namespace {

void doubleClick(QWidget* grid) {
    QTest::mouseDClick(qobject_cast<QAbstractScrollArea*>(grid)->viewport(), Qt::LeftButton, {},
                       QPoint(20, 10));
}

template <typename W> W* opened(WindowFixture& f, const char* button, const char* name) {
    QTest::mouseClick(f.find<QAbstractButton>(button), Qt::LeftButton);
    auto* w = f.window().findChild<W*>(QString::fromLatin1(name));
    if (!w || !QTest::qWaitForWindowExposed(w))
        qFatal("%s did not open", name);
    return w;
}

} // namespace

class ExportPlacesWindowTest : public QObject {
    Q_OBJECT
private slots:
    void aReadOnlyFolderSendsEveryExportElsewhere();
    void longWorkShowsItsCountAndStopsWhereNothingIsHalfDone();
};

void ExportPlacesWindowTest::aReadOnlyFolderSendsEveryExportElsewhere() {
    WindowFixture f;
    f.storeDraws(syntheticDraws(400, 3, 2013001));
    auto& w = f.open();
    QTest::mouseClick(f.find<QAbstractButton>("Command1"), Qt::LeftButton);
    const QString conditions = f.find<QLabel>("conditionSummary")->text();
    TestFolder elsewhere;
    const QDir chosen(QString::fromStdString(elsewhere.path().string()));

    ::chmod(f.home().toLocal8Bit().constData(), 0555);
    PermissionBitsHere heldToBits;
    struct Case {
        QString name;                  // as the export names it in the data folder
        std::function<void()> export_; // what the user does
        QString firstRow;              // what the sheet's first row says; empty for the text export
    };
    const QString last = QString::number(w.history().last()->sqqh);
    const std::vector<Case> cases = {
        {QStringLiteral("lishi.xlsx"), [&] { f.find<QAction>("mnuDcls")->trigger(); },
         QStringLiteral("福彩3D历史号码：第 2013001 期至第 %1 期，共 400 期").arg(last)},
        {QStringLiteral("Jieguo.xlsx"), [&] { doubleClick(f.find<QTableView>("MSFlexGrid3")); }, conditions},
        {QStringLiteral("Jiansuo.xlsx"), [&] { doubleClick(f.find<QTableView>("MSFlexGrid2")); }, conditions},
        {QStringLiteral("更新至%1期历史号码.txt").arg(last),
         [&] { QTest::mouseClick(f.find<QAbstractButton>("Command4"), Qt::LeftButton); },
         {}},
        {QStringLiteral("Zoushi.xlsx"),
         [&] {
             QTest::mouseDClick(opened<ui::TrendWindow>(f, "cmdTrend", "frmTrend")->view().viewport(),
                                Qt::LeftButton);
         },
         QStringLiteral("福彩3D走势图：第")},
        {QStringLiteral("Huice.xlsx"),
         [&] {
             auto* backtest = opened<ui::BacktestWindow>(f, "cmdHuice", "frmHuice");
             QSignalSpy ended(backtest, &ui::BacktestWindow::ended);
             QTest::mouseClick(backtest->findChild<QAbstractButton*>(QStringLiteral("cmdStart")),
                               Qt::LeftButton);
             QVERIFY(ended.wait(30000));
             doubleClick(backtest->findChild<QTableView*>(QStringLiteral("grdHuice")));
         },
         QStringLiteral("回测：")},
        {QStringLiteral("Yuce.xlsx"),
         [&] {
             f.find<QAction>("mnuYuce")->trigger();
             doubleClick(w.logbookWindow()->findChild<QTableView*>(QStringLiteral("logbookGrid")));
         },
         QStringLiteral("共 0 条预测。")},
        {QStringLiteral("Suoshui.xlsx"),
         [&] {
             doubleClick(
                 opened<QWidget>(f, "cmdSuoshui", "frmSuoshui")->findChild<QTableView*>("grdSuoshui"));
         },
         QStringLiteral("缩水条件：")},
    };
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    for (const Case& c : cases) {
        f.dialogs.shown.clear();
        f.dialogs.opened.clear();
        // The user leaves out the extension; the export adds it.
        const QString picked =
            chosen.filePath(QStringLiteral("picked-") + QFileInfo(c.name).completeBaseName());
        f.dialogs.answer(picked);
        c.export_();
        const QString file = picked + QLatin1Char('.') + QFileInfo(c.name).suffix();
        QVERIFY2(f.dialogs.shown.size() == 2, qPrintable(c.name));
        QCOMPARE(f.dialogs.shown[0].kind, QStringLiteral("saveFile"));
        QCOMPARE(f.dialogs.shown[0].text, QDir(documents).filePath(c.name));
        QCOMPARE(f.dialogs.shown[1].kind, QStringLiteral("inform"));
        QVERIFY2(f.dialogs.shown[1].text.contains(QDir::toNativeSeparators(file)), qPrintable(c.name));
        QCOMPARE(f.dialogs.opened.value(0), QUrl::fromLocalFile(file));
        if (c.firstRow.isEmpty())
            QCOMPARE(readFile(std::filesystem::path(file.toStdString())),
                     historyText(drawLinesOf(w.history())));
        else
            QVERIFY2(sheetRows(file).value(0).contains(c.firstRow), qPrintable(sheetRows(file).value(0)));
    }
    // Cancelled, the export writes nothing anywhere.
    f.dialogs.shown.clear();
    f.dialogs.cancel();
    f.find<QAction>("mnuDcls")->trigger();
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(QDir(f.home()).entryList({QStringLiteral("*.xlsx")}), QStringList());
    ::chmod(f.home().toLocal8Bit().constData(), 0755);
}

void ExportPlacesWindowTest::longWorkShowsItsCountAndStopsWhereNothingIsHalfDone() {
    WindowFixture f;
    f.storeDraws(syntheticDraws(3000, 7, 2002001));
    f.setYear(2026);
    auto& w = f.open();
    const auto file = std::filesystem::path(f.home().toStdString()) / "历史号码" / "more.txt";
    QVERIFY(writeHistoryFile(file, syntheticDraws(6000, 7, 2002001)));
    const QString home = f.home();
    const auto import = [&] {
        f.dialogs.answer(true);
        f.dialogs.answer(QString::fromStdString(file.string()));
        QTest::mouseClick(f.find<QAbstractButton>("cmdRdLst"), Qt::LeftButton);
    };
    const auto exportSheet = [&] { f.find<QAction>("mnuDcls")->trigger(); };
    struct Case {
        const char* what;
        std::function<void()> work;
        std::optional<long long> cancelAt;
        QStringList progress; // the kind and the last label of each progress shown
        std::size_t draws;    // in the history afterwards
        bool written;         // whether lishi.xlsx is there afterwards
    };
    const std::vector<Case> cases = {
        // Cancel stops the reading; once the change has begun it is carried to its end.
        {"import, cancelled while reading",
         import,
         1,
         {"progress, cancelled", "已读取 65,536 / 78,000 字节"},
         3000,
         false},
        {"import",
         import,
         std::nullopt,
         {"progress", "已读取 78,000 / 78,000 字节", "progress", "已存入 6,000 / 6,000 期"},
         6000,
         false},
        {"sheet, cancelled",
         exportSheet,
         4096,
         {"progress, cancelled", "已写出 4,096 / 6,002 行"},
         6000,
         false},
        {"sheet", exportSheet, std::nullopt, {"progress", "已写出 6,002 / 6,002 行"}, 6000, true},
        {"text",
         [&] { QTest::mouseClick(f.find<QAbstractButton>("Command4"), Qt::LeftButton); },
         std::nullopt,
         {"progress", "已写出 6,000 / 6,000 期"},
         6000,
         true},
        // A deletion rebuilds what it keeps: a count, and no Cancel however asked.
        {"deletion",
         [&] {
             f.dialogs.answer(QStringLiteral("1000"));
             f.dialogs.answer(true);
             f.find<QAction>("mnuEszhzd")->trigger();
         },
         1,
         {"progress", "已存入 5,000 / 5,000 期"},
         5000,
         true},
    };
    for (const Case& c : cases) {
        f.dialogs.progress.clear();
        f.dialogs.cancelProgressAt = c.cancelAt;
        c.work();
        QStringList seen;
        for (const auto& p : f.dialogs.progress)
            seen << p.kind << p.text;
        QVERIFY2(seen.size() == c.progress.size(),
                 qPrintable(c.what + QStringLiteral(": ") + seen.join(QLatin1Char('|'))));
        for (int i = 0; i < seen.size(); ++i)
            QVERIFY2(seen[i].startsWith(c.progress[i]),
                     qPrintable(QStringLiteral("%1: %2").arg(c.what, seen[i])));
        QCOMPARE(w.history().size(), c.draws);
        QCOMPARE(QFile::exists(home + QStringLiteral("/lishi.xlsx")), c.written);
        QVERIFY2(QDir(home).entryList({QStringLiteral(".brenvik3d-*")}, QDir::Hidden | QDir::Files).isEmpty(),
                 "no temporary file is left behind");
    }
}

QTEST_MAIN(ExportPlacesWindowTest)
#include "ExportPlacesWindowTest.moc"
