// SPDX-License-Identifier: GPL-3.0-or-later
// Every surface of the window (the main window, 回测, 走势图, 预测记录, 缩水, 数据来源) as a user
// without a mouse, with a screen reader or with a small screen meets it: within the screen and
// without sideways scrolling, Tab in reading order, unique accelerators, and a name for every
// control that takes the focus. ctest runs it on a 1024×600 screen and at double scale on a
// 1366×768 one.
#include "BacktestWindow.h"
#include "ElidedLabel.h"
#include "FilterWindow.h"
#include "LogbookWindow.h"
#include "SampleHistory.h"
#include "SettingsStore.h"
#include "SourceDialog.h"
#include "TrendView.h"
#include "TrendWindow.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>
#include <QTableView>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

// Opens a surface over the main window of `f`, which holds the sample history.
QWidget* openSurface(WindowFixture& f, const QString& surface) {
    ui::frmMain& w = f.window();
    QWidget* window = &w;
    if (surface == QStringLiteral("回测")) {
        QTest::mouseClick(f.find<QAbstractButton>("cmdHuice"), Qt::LeftButton);
        window = w.findChild<ui::BacktestWindow*>();
    } else if (surface == QStringLiteral("走势图")) {
        QTest::mouseClick(f.find<QAbstractButton>("cmdTrend"), Qt::LeftButton);
        window = w.findChild<ui::TrendWindow*>();
    } else if (surface == QStringLiteral("预测记录")) {
        f.find<QAction>("mnuYuce")->trigger();
        window = w.logbookWindow();
    } else if (surface == QStringLiteral("缩水")) {
        f.find<QAction>("mnuSuoshui")->trigger();
        window = w.findChild<ui::FilterWindow*>();
    } else if (surface == QStringLiteral("数据来源")) {
        static ui::SettingsStore settings;
        window = new ui::SourceDialog(settings, &w);
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
    }
    if (!window)
        return nullptr;
    QApplication::setActiveWindow(window);
    if (!QTest::qWaitForWindowActive(window))
        qWarning("the surface did not come up");
    return window;
}

void addSurfaces() {
    QTest::addColumn<QString>("surface");
    for (const char* s : {"主窗口", "回测", "走势图", "预测记录", "缩水", "数据来源"})
        QTest::newRow(s) << QString::fromUtf8(s);
}

// What the Tab key stops at: the control itself, or the tab widget whose tabs it is.
QString stopName(QWidget* w) {
    if (qobject_cast<QTabBar*>(w) && w->parentWidget())
        return w->parentWidget()->objectName();
    return w->objectName().isEmpty() ? QString::fromLatin1(w->metaObject()->className()) : w->objectName();
}

// The controls Tab stops at. Of a group of radio buttons only the chosen one is a stop: the arrow
// keys move between them.
QList<QWidget*> focusable(QWidget* window) {
    QList<QWidget*> out;
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->focusProxy() || !w->isVisibleTo(window) ||
            !w->isEnabled() || w->window() != window)
            continue;
        if (auto* radio = qobject_cast<QRadioButton*>(w);
            radio && radio->autoExclusive() && !radio->isChecked())
            continue;
        out << w;
    }
    return out;
}

// Walks the accessibility tree under `iface`; collects what takes the focus without a name.
void unnamed(QAccessibleInterface* iface, QStringList& out, int depth = 0) {
    if (!iface || !iface->isValid() || depth > 40)
        return;
    const QAccessible::State state = iface->state();
    if (state.focusable && !state.invisible && iface->text(QAccessible::Name).trimmed().isEmpty()) {
        QObject* o = iface->object();
        out << (o ? o->objectName() + QLatin1Char('/') + QLatin1String(o->metaObject()->className()) +
                        QLatin1Char('@') + (o->parent() ? o->parent()->objectName() : QString())
                  : QStringLiteral("role %1").arg(iface->role()));
    }
    // A table's cells are many and say their own content; its headers and first row stand for them.
    const int children = iface->tableInterface() ? std::min(iface->childCount(), 200) : iface->childCount();
    for (int i = 0; i < children; ++i)
        unnamed(iface->child(i), out, depth + 1);
}

} // namespace

class SurfacesTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fitsTheScreen_data() { addSurfaces(); }
    void fitsTheScreen();
    void mainWindowNeverScrollsSideways();
    void tabFollowsTheReadingOrder_data() { addSurfaces(); }
    void tabFollowsTheReadingOrder();
    void acceleratorsAreUniqueOnEachSurface_data() { addSurfaces(); }
    void acceleratorsAreUniqueOnEachSurface();
    void everyFocusableControlIsNamed_data() { addSurfaces(); }
    void everyFocusableControlIsNamed();
    void theTrendChartIsATable();
    void thePrintPreviewIsNamed();
    void longStatusMessagesGiveWay();

private:
    std::unique_ptr<WindowFixture> m_f;
};

void SurfacesTest::init() {
    m_f = std::make_unique<WindowFixture>();
    m_f->storeDraws(sampleDraws("fc3d-history.txt"));
    m_f->open();
}

void SurfacesTest::cleanup() {
    m_f.reset();
}

void SurfacesTest::fitsTheScreen() {
    QFETCH(QString, surface);
    QWidget* window = openSurface(*m_f, surface);
    QVERIFY(window);
    QApplication::processEvents();
    const QRect area = window->screen()->availableGeometry();
    QVERIFY2(area.contains(window->frameGeometry()),
             qPrintable(QStringLiteral("%1 in %2")
                            .arg(QDebug::toString(window->frameGeometry()), QDebug::toString(area))));
    // The least it can be made fits a small screen too.
    const QSize least = window->minimumSizeHint().expandedTo(window->minimumSize());
    QVERIFY2(least.width() < 1000 && least.height() < 560, qPrintable(QDebug::toString(least)));
    QVERIFY(least.width() <= area.width() && least.height() <= area.height());
}

void SurfacesTest::mainWindowNeverScrollsSideways() {
    ui::frmMain& w = m_f->window();
    QTest::mouseClick(m_f->find<QAbstractButton>("Command1"), Qt::LeftButton);
    auto* scroll = m_f->find<QScrollArea>("windowScroll");
    auto* summary = m_f->find<QLabel>("conditionSummary");
    // Whatever the width, down to the narrowest the window may be made.
    for (int width : {w.width(), 1180, 900, 700, w.minimumWidth()}) {
        w.resize(std::max(width, w.minimumWidth()), w.height());
        QApplication::processEvents();
        const QWidget* viewport = scroll->viewport();
        QVERIFY2(scroll->widget()->width() <= viewport->width(),
                 qPrintable(QStringLiteral("%1: %2 > %3")
                                .arg(width)
                                .arg(scroll->widget()->width())
                                .arg(viewport->width())));
        QVERIFY(!scroll->horizontalScrollBar()->isVisible());
        QList<QWidget*> shown = focusable(&w);
        shown << summary;
        for (QWidget* c : shown) {
            if (!scroll->widget()->isAncestorOf(c))
                continue;
            const QRect r(c->mapTo(viewport, QPoint(0, 0)), c->size());
            QVERIFY2(r.left() >= 0 && r.right() < viewport->width(),
                     qPrintable(QStringLiteral("%1 at %2 wide").arg(stopName(c)).arg(width)));
        }
        // The whole condition line, its wrapped lines included.
        const auto needed = [summary] {
            return summary->fontMetrics()
                .boundingRect(QRect(0, 0, summary->contentsRect().width(), 10000), Qt::TextWordWrap,
                              summary->text())
                .height();
        };
        QTRY_VERIFY2(needed() <= summary->contentsRect().height(), qPrintable(QString::number(width)));
        // The tally keeps six rows in view.
        auto* tally = m_f->find<QTableView>("MSFlexGrid3");
        QVERIFY(tally->viewport()->height() >= 6 * tally->verticalHeader()->defaultSectionSize());
    }
}

void SurfacesTest::tabFollowsTheReadingOrder() {
    QFETCH(QString, surface);
    // The order each surface is read in: columns top to bottom, rows left to right.
    const QHash<QString, QStringList> reading = {
        {QStringLiteral("主窗口"),
         {"Text1",      "MaskEdBox1(1)", "MaskEdBox1(3)", "MSFlexGrid1", "cmdRdLst",     "Command21",
          "Command4",   "Command3",      "Command9",      "cmdTrend",    "Option1(1)",   "Option2(4)",
          "Option3(0)", "Option4(0)",    "Option5(1)",    "TabStrip1",   "Check1(1)",    "Text2(1)",
          "Text2(3)",   "Text3(0)",      "Text3(1)",      "Command1",    "cmdSuoshui",   "cmdHuice",
          "Combo1",     "Command2",      "cmdYuce",       "MSFlexGrid3", "tallyVerdict", "tallyChart",
          "MSFlexGrid2"}},
        {QStringLiteral("回测"),
         {"txtStart", "txtEnd", "spnPicks", "spnTwins", "cmdStart", "chtHuice", "grdHuice"}},
        {QStringLiteral("走势图"), {"trendRange", "trendSave", "trendPrint", "trendPreview", "trendChart"}},
        {QStringLiteral("预测记录"), {"logbookGrid", "logbookChart"}},
        {QStringLiteral("缩水"),
         {"txtSum", "txtSpan", "chkForm(0)", "chkDanAll", "tglPos1(0)", "cmdFromSearch", "cmdClearConditions",
          "optZhixuan", "grdSuoshui", "cboCopyStyle", "cmdCopy", "txtFilterStart", "txtFilterEnd"}},
        {QStringLiteral("数据来源"), {"optSourceOfficial"}},
    };
    if (surface == QStringLiteral("主窗口")) // the tally's controls take the focus once there is one
        QTest::mouseClick(m_f->find<QAbstractButton>("Command1"), Qt::LeftButton);
    QWidget* window = openSurface(*m_f, surface);
    QVERIFY(window);
    QList<QWidget*> stops = focusable(window);
    QVERIFY(!stops.isEmpty());
    QWidget* first = window->findChild<QWidget*>(reading[surface].first());
    QVERIFY(first);
    first->setFocus(Qt::TabFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), first);
    // Round the window once: every control exactly once, a grid left with one press.
    QStringList visited;
    for (qsizetype i = 0, n = stops.size(); i < n; ++i) {
        QWidget* at = QApplication::focusWidget();
        QVERIFY(at);
        visited << stopName(at);
        QVERIFY2(stops.removeOne(at), qPrintable(visited.join(QLatin1Char(' '))));
        if (at->objectName() == QLatin1String("MSFlexGrid1")) {
            // Come to by Tab, the history grid stands at its newest draw.
            auto* grid = static_cast<QTableView*>(at);
            QCOMPARE(grid->currentIndex().row(), grid->model()->rowCount() - 1);
        }
        QTest::keyClick(at, Qt::Key_Tab);
    }
    QVERIFY2(stops.isEmpty(), qPrintable((stops.isEmpty() ? QString() : stopName(stops.first())) +
                                         QStringLiteral(" not in ") + visited.join(QLatin1Char(' '))));
    QCOMPARE(QApplication::focusWidget(), first);
    int last = -1;
    for (const QString& name : reading[surface]) {
        const int at = static_cast<int>(visited.indexOf(name));
        QVERIFY2(at > last, qPrintable(name + QStringLiteral(" in ") + visited.join(QLatin1Char(' '))));
        last = at;
    }
}

void SurfacesTest::acceleratorsAreUniqueOnEachSurface() {
    QFETCH(QString, surface);
    QWidget* window = openSurface(*m_f, surface);
    QVERIFY(window);
    // A window's buttons, captions and menu bar answer the same Alt keys; each menu has its own.
    QList<QStringList> surfaces = {{}};
    if (auto* main = qobject_cast<QMainWindow*>(window)) {
        for (QAction* a : main->menuBar()->actions())
            surfaces[0] << a->text();
        // The game menu is reached from the keyboard too.
        QVERIFY(!QKeySequence::mnemonic(m_f->find<QMenu>("mnuCaizhong")->title()).isEmpty());
    }
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>())
        if (b->window() == window)
            surfaces[0] << b->text();
    for (QLabel* l : window->findChildren<QLabel*>())
        if (l->buddy() && l->window() == window)
            surfaces[0] << l->text();
    for (QGroupBox* g : window->findChildren<QGroupBox*>())
        surfaces[0] << g->title();
    for (QTabWidget* t : window->findChildren<QTabWidget*>())
        for (int i = 0; i < t->count(); ++i)
            surfaces[0] << t->tabText(i);
    for (QMenu* menu : window->findChildren<QMenu*>()) {
        QStringList items;
        for (QAction* a : menu->actions())
            items << a->text();
        surfaces << items;
    }
    for (const QStringList& captions : surfaces) {
        QSet<QKeySequence> taken;
        for (const QString& caption : captions) {
            const QKeySequence key = QKeySequence::mnemonic(caption);
            QVERIFY2(key.isEmpty() || !taken.contains(key), qPrintable(caption));
            taken.insert(key);
        }
    }
    if (window == &m_f->window()) {
        // The key that two buttons once held runs the export.
        QTest::keyClick(window, Qt::Key_O, Qt::AltModifier);
        QTRY_COMPARE(m_f->dialogs.opened.size(), 1);
    }
}

void SurfacesTest::everyFocusableControlIsNamed() {
    QFETCH(QString, surface);
    if (surface == QStringLiteral("主窗口"))
        QTest::mouseClick(m_f->find<QAbstractButton>("Command1"), Qt::LeftButton);
    QWidget* window = openSurface(*m_f, surface);
    QVERIFY(window);
    QStringList missing;
    unnamed(QAccessible::queryAccessibleInterface(window), missing);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
    // Each control that takes the focus is in the tree, so that a reader can reach it.
    for (QWidget* w : focusable(window)) {
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(iface && !iface->text(QAccessible::Name).isEmpty(), qPrintable(stopName(w)));
    }
    // Where a caption alone does not say what a box is for, its description does.
    for (const char* name :
         {"MaskEdBox1(1)", "Text3(0)", "MSFlexGrid3", "tallyChart", "trendChart", "chtHuice"})
        if (QWidget* w = window->findChild<QWidget*>(QLatin1String(name)))
            QVERIFY2(!QAccessible::queryAccessibleInterface(w)->text(QAccessible::Description).isEmpty(),
                     name);
}

void SurfacesTest::theTrendChartIsATable() {
    QWidget* window = openSurface(*m_f, QStringLiteral("走势图"));
    auto* trend = qobject_cast<ui::TrendWindow*>(window);
    QVERIFY(trend);
    QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(&trend->view());
    QVERIFY(chart);
    QCOMPARE(chart->role(), QAccessible::Table);
    QAccessibleTableInterface* table = chart->tableInterface();
    QVERIFY(table);
    const ui::TrendModel& model = trend->model();
    QCOMPARE(table->rowCount(), model.rowCount());
    QCOMPARE(table->columnCount(), ui::TrendModel::kColumns);
    // The newest draw's row: its issue, its digits, a ball where it has a digit and the omission
    // elsewhere, each cell under its caption.
    const int newest = model.drawRows() - 1;
    const QString draw = model.index(newest, ui::TrendModel::kDrawColumn).data().toString();
    QCOMPARE(table->cellAt(newest, ui::TrendModel::kIssueColumn)->text(QAccessible::Name),
             model.index(newest, ui::TrendModel::kIssueColumn).data().toString());
    for (int p = 0; p < 3; ++p) {
        const int digit = draw[p].digitValue();
        for (int d = 0; d < 10; ++d) {
            const int column = ui::TrendModel::kFirstDigitColumn + 10 * p + d;
            QAccessibleInterface* cell = table->cellAt(newest, column);
            QCOMPARE(cell->role(), QAccessible::Cell);
            QCOMPARE(cell->text(QAccessible::Name),
                     d == digit ? QStringLiteral("开出")
                                : QStringLiteral("遗漏 ") + model.index(newest, column).data().toString());
            const QList<QAccessibleInterface*> header = cell->tableCellInterface()->columnHeaderCells();
            QCOMPARE(header.size(), 1);
            const QStringList groups = {QStringLiteral("百位"), QStringLiteral("十位"),
                                        QStringLiteral("个位")};
            QCOMPARE(header[0]->text(QAccessible::Name), groups[p] + QLatin1Char(' ') + QString::number(d));
            QVERIFY(!cell->rect().isEmpty()); // the newest row is in view
        }
    }
    // The cells are the table's children, reachable as a reader walks it.
    QAccessibleInterface* cell = table->cellAt(newest, ui::TrendModel::kSumColumn);
    QCOMPARE(chart->child(chart->indexOfChild(cell)), cell);
    QCOMPARE(chart->childAt(cell->rect().center().x(), cell->rect().center().y()), cell);
}

// Qt's print preview, opened from the trend chart, is walked as it stands open.
void SurfacesTest::thePrintPreviewIsNamed() {
    QWidget* trend = openSurface(*m_f, QStringLiteral("走势图"));
    QVERIFY(trend);
    QStringList missing;
    bool walked = false;
    QTimer::singleShot(0, this, [&] {
        QWidget* preview = QApplication::activeModalWidget();
        if (!preview)
            return;
        walked = true;
        unnamed(QAccessible::queryAccessibleInterface(preview), missing);
        preview->close();
    });
    QTest::mouseClick(trend->findChild<QAbstractButton*>(QStringLiteral("trendPreview")), Qt::LeftButton);
    QVERIFY(walked);
    QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QStringLiteral(", "))));
}

// A status message longer than its room gives way to the permanent labels beside it: cut at the
// end with an ellipsis between whole characters, and whole in its tip.
void SurfacesTest::longStatusMessagesGiveWay() {
    ui::frmMain& w = m_f->window();
    const QString text = QStringLiteral(
        "读入 福彩3D历史号码.txt：历史号码现有 7,731 期，跳过 3 行，重复期号 2 行。"
        "文件与当前彩种的历史号码在共同的 7,731 期中全部相同，已从第 2004001 期读到第 2026224 期。");
    w.statusBar()->showMessage(text);
    auto* label = w.statusBar()->findChild<ui::ElidedLabel*>(QStringLiteral("lblStatus"));
    QVERIFY(label);
    QTRY_VERIFY(label->elided());
    QVERIFY(label->text().endsWith(QChar(0x2026)));
    QVERIFY(text.startsWith(label->text().chopped(1)));
    QCOMPARE(label->toolTip(), text);
    QVERIFY(label->fontMetrics().horizontalAdvance(label->text()) <= label->contentsRect().width());
    for (const char* name : {"lblUpdated", "dataFolderLabel"}) {
        auto* other = w.statusBar()->findChild<QWidget*>(QLatin1String(name));
        QVERIFY2(label->geometry().right() < other->geometry().left(), name);
    }
    // A short one shows whole.
    w.statusBar()->showMessage(QStringLiteral("已保存。"));
    QCOMPARE(label->text(), QStringLiteral("已保存。"));
}

QTEST_MAIN(SurfacesTest)
#include "SurfacesTest.moc"
