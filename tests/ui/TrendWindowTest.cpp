// SPDX-License-Identifier: GPL-3.0-or-later
// The trend chart window: its cells on small histories, its agreement with the companion's
// omission table, how it follows the history, and what it writes.
#include "TrendWindow.h"
#include "SampleHistory.h"
#include "TrendPainter.h"
#include "TrendView.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QPrinter>
#include <QProcess>
#include <QScrollBar>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;
using brenvik::ui::TrendModel;
using brenvik::ui::TrendWindow;

namespace {

TrendWindow& openTrend(WindowFixture& f) {
    f.open();
    QTest::mouseClick(f.find<QAbstractButton>("cmdTrend"), Qt::LeftButton);
    auto* trend = f.find<TrendWindow>("frmTrend");
    if (!trend || !QTest::qWaitForWindowExposed(trend))
        qFatal("the trend chart did not open");
    return *trend;
}

// The range box set as a program (or a screen reader) sets it: the chart follows its choice.
void chooseRange(TrendWindow& trend, int choice, const QString& start = {}, const QString& end = {}) {
    if (choice == TrendWindow::kIssueChoice) {
        trend.findChild<QLineEdit*>(QStringLiteral("trendStart"))->setText(start);
        trend.findChild<QLineEdit*>(QStringLiteral("trendEnd"))->setText(end);
    }
    trend.findChild<QComboBox*>(QStringLiteral("trendRange"))->setCurrentIndex(choice);
}

// Cells of Sheet1 as openpyxl reads them back, one line each: value, type, bold, fill, format.
QStringList sheetCells(const QString& path, const QList<QPoint>& cells) {
    QString wanted;
    for (const QPoint& c : cells)
        wanted += QStringLiteral("%1,%2 ").arg(c.x()).arg(c.y());
    QProcess p;
    p.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys, openpyxl\n"
                        "s = openpyxl.load_workbook(open(sys.argv[1], 'rb'))['Sheet1']\n"
                        "for rc in sys.argv[2].split():\n"
                        "    c = s.cell(*map(int, rc.split(',')))\n"
                        "    fill = c.fill.fgColor.rgb if c.fill.fill_type == 'solid' else 'none'\n"
                        "    print(f'{c.value}|{c.data_type}|{bool(c.font.b)}|{fill}|{c.number_format}')\n"),
         path, wanted});
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QString cell(const TrendModel& m, int row, int column, int role = Qt::DisplayRole) {
    return m.index(row, column).data(role).toString();
}

// The digit column of `digit` at position `p` (1..3).
int digitColumn(int p, int digit) {
    return TrendModel::kFirstDigitColumn + (p - 1) * 10 + digit;
}

QJsonObject companionTable(const QString& home, const QStringList& args) {
    QProcess p;
    p.start(QStringLiteral(BRENVIK_CLI),
            QStringList{QStringLiteral("--home"), home, QStringLiteral("omission"),
                        QStringLiteral("--format"), QStringLiteral("json")} +
                args);
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        qWarning("companion failed: %s", p.readAllStandardError().constData());
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

// The five figure cells as the window shows them, from the companion's entry.
QStringList figuresOf(const QJsonObject& e) {
    const bool marked = e.value(QStringLiteral("marked")).toBool();
    const double count = e.value(QStringLiteral("count")).toDouble();
    const QString mark = !marked                                                  ? QString()
                         : count > e.value(QStringLiteral("expected")).toDouble() ? QStringLiteral("↑")
                                                                                  : QStringLiteral("↓");
    return {QString::number(e.value(QStringLiteral("count")).toInteger()) + mark,
            QString::number(e.value(QStringLiteral("average")).toDouble(), 'f', 1),
            QString::number(e.value(QStringLiteral("max")).toInteger()),
            QString::number(e.value(QStringLiteral("streak")).toInteger()),
            QString::number(e.value(QStringLiteral("current")).toInteger())};
}

} // namespace

class TrendWindowTest : public QObject {
    Q_OBJECT
private slots:
    void handCheckedCells();
    void sameFiguresAsTheCompanion_data();
    void sameFiguresAsTheCompanion();
    void followsTheHistory_data();
    void followsTheHistory();
    void writesSheetPictureAndPages();
};

void TrendWindowTest::handCheckedCells() {
    WindowFixture f;
    // Sums 6 9 12 6 17, spans 2 4 2 5 2, forms 组六 ×4 then 组三; 9 never comes first, 5 is second
    // from the second draw on.
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}, {1, 5, 3}, {4, 5, 3}, {1, 5, 0}, {7, 5, 5}}));
    TrendWindow& trend = openTrend(f);
    const TrendModel& m = trend.model();
    const int figures = 5; // the rows after the five draws
    struct Case {
        int row, column;
        const char* text;
        int ball; // the position whose ball the cell shows, 0 for an omission
    } cases[] = {
        {0, TrendModel::kIssueColumn, "2013001", 0},
        {0, TrendModel::kDrawColumn, "123", 0},
        {0, digitColumn(1, 1), "1", 1},
        {0, digitColumn(1, 9), "1", 0}, // runs count from the range's first draw
        {2, digitColumn(1, 1), "1", 0}, // 4 5 3 after two 1s
        {4, digitColumn(1, 9), "5", 0}, // never drawn
        {4, digitColumn(2, 5), "5", 2}, // drawn from the second draw on
        {0, digitColumn(2, 5), "1", 0},
        {4, digitColumn(3, 3), "2", 0},
        {4, TrendModel::kSumColumn, "17", 0},
        {3, TrendModel::kSpanColumn, "5", 0},
        {4, TrendModel::kFormColumn, "组三", 0},
        {figures + 0, TrendModel::kIssueColumn, "出现次数", 0},
        {figures + 0, digitColumn(2, 5), "4↑", 0}, // 4 of 5 against a tenth: marked
        {figures + 0, digitColumn(1, 9), "0", 0},  // none of 5 is what chance allows
        {figures + 1, digitColumn(2, 5), "0.2", 0},
        {figures + 1, digitColumn(1, 9), "5.0", 0},
        {figures + 2, digitColumn(3, 3), "2", 0},
        {figures + 3, digitColumn(2, 5), "4", 0},
        {figures + 4, digitColumn(1, 1), "1", 0},
        // The sum, span and form columns show the value that stands out in the row.
        {figures + 0, TrendModel::kSumColumn, "6:2↑", 0}, // 2 of 5 against 28 in 1000
        {figures + 0, TrendModel::kFormColumn, "组六:4", 0},
        {figures + 1, TrendModel::kSumColumn, "6:1.0", 0},
        {figures + 2, TrendModel::kSpanColumn, "0:5", 0}, // never drawn: the first such value
        {figures + 3, TrendModel::kSpanColumn, "2:1", 0},
        {figures + 4, TrendModel::kFormColumn, "豹子:5", 0},
    };
    QCOMPARE(m.rowCount(), 5 + figures);
    for (const Case& c : cases) {
        QCOMPARE(cell(m, c.row, c.column), QString::fromUtf8(c.text));
        QCOMPARE(m.index(c.row, c.column).data(TrendModel::BallRole).toInt(), c.ball);
    }
    const QString sums = cell(m, figures, TrendModel::kSumColumn, Qt::ToolTipRole);
    QVERIFY(sums.contains(QStringLiteral("和值 6：2 次（偏多），随机期望 ")));
    QVERIFY(sums.contains(QStringLiteral("和值 17：1 次，随机期望 ")));
    QCOMPARE(sums.count(QStringLiteral("出现比例的95%区间")), 28);
    QCOMPARE(m.index(figures, TrendModel::kSumColumn).data(TrendModel::MarkRole).toInt(), 1);

    // The sheet keeps what the chart shows by colour and weight, and its numbers stay numbers.
    QTest::mouseDClick(trend.view().viewport(), Qt::LeftButton);
    const QString sheet = QDir(f.home()).filePath(QStringLiteral("Zoushi.xlsx"));
    const int first = 4; // the range line and the two header rows come first
    const QStringList read = sheetCells(sheet, {{first + 4, digitColumn(2, 5) + 1},
                                                {first + 4, digitColumn(1, 9) + 1},
                                                {first + 5, digitColumn(2, 5) + 1},
                                                {first + 5, TrendModel::kSumColumn + 1},
                                                {first + 6, digitColumn(2, 5) + 1},
                                                {first + 4, TrendModel::kDrawColumn + 1}});
    const QString ball =
        QStringLiteral("FF%1").arg(ui::printedTrendColours().balls[1].name().mid(1).toUpper());
    QCOMPARE(read, QStringList({QStringLiteral("5|n|True|") + ball + QStringLiteral("|General"), // drawn
                                QStringLiteral("5|n|False|none|General"),                        // omitted
                                QStringLiteral("4|n|False|none|0\"↑\""),       // count off chance
                                QStringLiteral("2|n|False|none|\"6:\"0\"↑\""), // the sum that came most
                                QStringLiteral("0.2|n|False|none|0.0"),        // average omission
                                QStringLiteral("755|s|False|none|General")})); // a draw stays text

    // A range of one draw: every drawn digit once, every other omitted once.
    chooseRange(trend, TrendWindow::kIssueChoice, QStringLiteral("2013005"), QStringLiteral("2013005"));
    QCOMPARE(m.rowCount(), 1 + figures);
    QCOMPARE(cell(m, 0, digitColumn(1, 1)), QStringLiteral("1"));
    QCOMPARE(cell(m, 1 + 0, digitColumn(1, 7)), QStringLiteral("1↑"));
    QCOMPARE(cell(m, 1 + 4, digitColumn(1, 1)), QStringLiteral("1"));
}

void TrendWindowTest::sameFiguresAsTheCompanion_data() {
    QTest::addColumn<int>("choice");
    QTest::addColumn<QStringList>("cli");
    QTest::newRow("last 30") << 0 << QStringList{QStringLiteral("--last"), QStringLiteral("30")};
    QTest::newRow("last 100") << 2 << QStringList{};
    QTest::newRow("all") << TrendWindow::kAllChoice
                         << QStringList{QStringLiteral("--last"), QStringLiteral("100000")};
    QTest::newRow("issues") << TrendWindow::kIssueChoice
                            << QStringList{QStringLiteral("--range"), QStringLiteral("2019050:2021300")};
}

void TrendWindowTest::sameFiguresAsTheCompanion() {
    QFETCH(int, choice);
    QFETCH(QStringList, cli);
    WindowFixture f;
    f.storeDraws(sampleDraws("fc3d-history.txt"));
    TrendWindow& trend = openTrend(f);
    chooseRange(trend, choice, QStringLiteral("2019050"), QStringLiteral("2021300"));
    const TrendModel& m = trend.model();
    const QJsonObject j = companionTable(f.home(), cli);

    const int draws = j.value(QStringLiteral("draws")).toInt();
    QCOMPARE(m.rowCount(), draws + TrendModel::kFigureRows);
    const QJsonArray range = j.value(QStringLiteral("range")).toArray();
    QCOMPARE(cell(m, 0, TrendModel::kIssueColumn), QString::number(range[0].toInteger()));
    QCOMPARE(cell(m, draws - 1, TrendModel::kIssueColumn), QString::number(range[1].toInteger()));
    const QJsonArray positions = j.value(QStringLiteral("positions")).toArray();
    for (int p = 1; p <= 3; ++p)
        for (int d = 0; d < 10; ++d) {
            const QJsonObject e = positions[p - 1].toArray()[d].toObject();
            const QStringList want = figuresOf(e);
            for (int figure = 0; figure < TrendModel::kFigureRows; ++figure)
                QCOMPARE(cell(m, draws + figure, digitColumn(p, d)), want[figure]);
            // The newest row shows the current omissions, or the ball.
            const bool drawn = m.index(draws - 1, digitColumn(p, d)).data(TrendModel::BallRole).toInt() > 0;
            QCOMPARE(cell(m, draws - 1, digitColumn(p, d)), drawn ? QString::number(d) : want[4]);
        }
    // The sums, spans and forms in the figure rows' tips.
    const struct {
        int column;
        const char* key;
        QString caption;
    } groups[] = {{TrendModel::kSumColumn, "sum", QStringLiteral("和值 ")},
                  {TrendModel::kSpanColumn, "span", QStringLiteral("跨度 ")},
                  {TrendModel::kFormColumn, "form", QString()}};
    for (const auto& g : groups)
        for (int figure = 0; figure < TrendModel::kFigureRows; ++figure) {
            const QString tip = cell(m, draws + figure, g.column, Qt::ToolTipRole);
            const QJsonArray values = j.value(QLatin1String(g.key)).toArray();
            QJsonObject standout;
            for (const QJsonValue v : values) {
                const QJsonObject e = v.toObject();
                const QJsonValue value = e.value(QStringLiteral("value"));
                const QString name = value.isString() ? value.toString() : QString::number(value.toInteger());
                // The counts with what chance gives, as the digits' counts have it.
                const QString said = figure > 0
                                         ? figuresOf(e)[figure]
                                         : QString::number(e.value(QStringLiteral("count")).toInteger()) +
                                               QStringLiteral(" 次");
                QVERIFY2(tip.contains(g.caption + name + QStringLiteral("：") + said),
                         qPrintable(g.caption + name));
                const char* keys[] = {"count", "average", "max", "streak", "current"};
                const double here = e.value(QLatin1String(keys[figure])).toDouble();
                const double best = standout.value(QLatin1String(keys[figure])).toDouble();
                if (standout.isEmpty() || (figure == 1 ? here < best : here > best))
                    standout = e;
            }
            if (figure == 0)
                QCOMPARE(tip.count(QStringLiteral("随机期望")), values.size());
            const QJsonValue value = standout.value(QStringLiteral("value"));
            QCOMPARE(cell(m, draws + figure, g.column),
                     (value.isString() ? value.toString() : QString::number(value.toInteger())) +
                         QLatin1Char(':') + figuresOf(standout)[figure]);
        }
}

void TrendWindowTest::followsTheHistory_data() {
    QTest::addColumn<int>("top");        // the view's top row before; -1 for the newest draw in view
    QTest::addColumn<QString>("change"); // what changes the history
    QTest::newRow("newest, deletion") << -1 << QStringLiteral("Command3");
    QTest::newRow("scrolled, deletion") << 100 << QStringLiteral("Command3");
    QTest::newRow("scrolled, other game") << 100 << QStringLiteral("mnu3D(1)");
}

void TrendWindowTest::followsTheHistory() {
    QFETCH(int, top);
    QFETCH(QString, change);
    WindowFixture f;
    const auto draws = syntheticDraws(1000, 3);
    f.storeDraws(draws);
    f.storeDraws(syntheticDraws(200, 4, 2020001), 1, Game::Pl3);
    TrendWindow& trend = openTrend(f);
    chooseRange(trend, TrendWindow::kAllChoice);
    ui::TrendView& view = trend.view();
    QVERIFY(view.showsNewest()); // on choosing a range, as on opening
    if (top >= 0)
        view.setTopRow(top);
    const QString topIssue = cell(trend.model(), view.topRow(), TrendModel::kIssueColumn);

    if (change.startsWith(QLatin1String("mnu")))
        f.find<QAction>(change)->trigger();
    else
        QTest::mouseClick(f.find<QAbstractButton>(change), Qt::LeftButton);

    const bool otherGame = change.startsWith(QLatin1String("mnu"));
    QCOMPARE(trend.model().drawRows(), otherGame ? 200 : 999);
    QVERIFY(trend.windowTitle().contains(otherGame ? QStringLiteral("体彩排列3") : QStringLiteral("福彩3D")));
    if (top < 0 || otherGame)
        QVERIFY(view.showsNewest());
    else
        QCOMPARE(cell(trend.model(), view.topRow(), TrendModel::kIssueColumn), topIssue);
}

void TrendWindowTest::writesSheetPictureAndPages() {
    WindowFixture f;
    f.storeDraws(syntheticDraws(500, 5));
    TrendWindow& trend = openTrend(f);
    const TrendModel& m = trend.model();

    QTest::mouseDClick(trend.view().viewport(), Qt::LeftButton);
    const QString sheet = QDir(f.home()).filePath(QStringLiteral("Zoushi.xlsx"));
    QVERIFY(QFile::exists(sheet));
    QCOMPARE(f.dialogs.opened.value(0), QUrl::fromLocalFile(sheet));
    // Both header rows, every row, the figures: the sheet holds what the chart shows.
    const SheetTable table = m.sheet();
    QCOMPARE(table.size(), static_cast<std::size_t>(2 + m.rowCount()));
    QCOMPARE(table[1][TrendModel::kIssueColumn].text, std::string("期号"));
    QCOMPARE(table.back()[digitColumn(3, 9)].value, cell(m, m.rowCount() - 1, digitColumn(3, 9)).toDouble());

    const QString png = QDir(f.home()).filePath(QStringLiteral("chart.png"));
    f.dialogs.answer(png);
    QTest::mouseClick(trend.findChild<QAbstractButton*>(QStringLiteral("trendSave")), Qt::LeftButton);
    const QImage picture(png);
    const ui::TrendLayout& layout = trend.view().layout();
    QCOMPARE(picture.size(), QSize(layout.width(), layout.chartHeight(100)));

    // All 500 draws on pages of the chart's width, the figures after the last row.
    chooseRange(trend, TrendWindow::kAllChoice);
    const QString pdf = QDir(f.home()).filePath(QStringLiteral("chart.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    trend.print(&printer);
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    const QRect page = printer.pageLayout().paintRectPixels(printer.resolution());
    const qreal pageRows = page.height() / (page.width() / qreal(layout.width())) / layout.rowHeight;
    const int pages = static_cast<int>(bytes.count("/Type /Page") - bytes.count("/Type /Pages"));
    QVERIFY2(pages >= int(500 / pageRows) + 1 && pages <= int(500 / pageRows) + 3,
             qPrintable(QString::number(pages)));

    // A range too long for a sheet in memory is refused, and says so, before anything is written.
    QFile::remove(sheet);
    f.close();
    f.storeDraws(syntheticDraws(TrendWindow::kLargestSheet + 1, 6));
    TrendWindow& large = openTrend(f);
    chooseRange(large, TrendWindow::kAllChoice);
    QTest::mouseDClick(large.view().viewport(), Qt::LeftButton);
    QVERIFY(!QFile::exists(sheet));
    QCOMPARE(f.dialogs.shown.last().kind, QStringLiteral("warn"));
    QVERIFY(f.dialogs.shown.last().text.contains(QStringLiteral("50,000")));
}

QTEST_MAIN(TrendWindowTest)
#include "TrendWindowTest.moc"
