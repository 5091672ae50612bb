// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultsPanel.h"

#include "AppPaths.h"
#include "Logbook.h"
#include "PanelParts.h"
#include "Spreadsheet.h"
#include "SurfaceParts.h"
#include "Tally.h"
#include "TallyVerdict.h"
#include "ThemeColours.h"
#include "Workspace.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPalette>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace brenvik::ui {

namespace {

// Greys what a widget and its children draw, or gives them back the palette's own colours: the
// text of a grid, its header and a verdict's link take the colours the palette keeps for disabled
// text, while the grid still scrolls and exports.
void greyText(QWidget* w, bool grey) {
    if (!grey) {
        w->setPalette(QPalette());
        return;
    }
    const QPalette inherited = w->parentWidget() ? w->parentWidget()->palette() : w->palette();
    QPalette p;
    for (QPalette::ColorGroup g : {QPalette::Active, QPalette::Inactive})
        for (QPalette::ColorRole r : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText,
                                      QPalette::Link, QPalette::HighlightedText})
            p.setColor(g, r, inherited.color(QPalette::Disabled, r == QPalette::Link ? QPalette::Text : r));
    w->setPalette(p);
}

} // namespace

ResultsPanel::ResultsPanel(Workspace& workspace, QWidget* parent)
    : QWidget(parent), m_workspace(workspace), m_matchedModel(new MatchedGridModel(this)),
      m_resultModel(new ResultGridModel(this)) {
    m_split = new QSplitter(Qt::Vertical);
    m_split->setObjectName(QStringLiteral("resultSplitter"));
    m_split->setChildrenCollapsible(false);
    // The tally and its chart: one under the other in a narrow column, side by side where the
    // width allows both.
    m_tallySplit = new QSplitter(Qt::Vertical);
    m_tallySplit->setObjectName(QStringLiteral("tallySplitter"));
    m_tallySplit->setChildrenCollapsible(false);

    auto titled = [](const QString& title, QWidget* content, QWidget* beside = nullptr) {
        auto* w = new QWidget;
        auto* v = new QVBoxLayout(w);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(3);
        auto* label = new QLabel(title);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        auto* row = new QHBoxLayout;
        row->addWidget(label);
        row->addStretch();
        if (beside)
            row->addWidget(beside);
        v->addLayout(row);
        v->addWidget(content, 1);
        return w;
    };

    MSFlexGrid3 = grid(QStringLiteral("MSFlexGrid3"), m_resultModel);
    const int widths3[] = {480, 680, 800, 880, 800, 1500};
    for (int c = 0; c < 6; ++c)
        MSFlexGrid3->setColumnWidth(c, twips(widths3[c]));
    MSFlexGrid2 = grid(QStringLiteral("MSFlexGrid2"), m_matchedModel);
    const int widths2[] = {1200, 680, 680, 680, 1800};
    for (int c = 0; c < 5; ++c)
        MSFlexGrid2->setColumnWidth(c, twips(widths2[c]));
    describe(MSFlexGrid3, QStringLiteral("统计结果"),
             QStringLiteral("各结果的出现次数、百分比、随机期望和95%区间，出现最多的在前"));
    describe(MSFlexGrid2, QStringLiteral("检索到的开奖"), QStringLiteral("检索到的各期及其前一期的开奖号码"));

    // Both result grids share their width among their columns; on a narrow window they shrink
    // down to columns that still show their headers whole.
    for (QTableView* g : {MSFlexGrid2, MSFlexGrid3}) {
        auto* header = g->horizontalHeader();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::Stretch);
        header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance(QStringLiteral("出现次数")) +
                                      12);
        g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        g->setMinimumWidth(header->minimumSectionSize() * g->model()->columnCount() +
                           g->verticalScrollBar()->sizeHint().width() + 2 * g->frameWidth());
        g->setMinimumHeight(g->verticalHeader()->defaultSectionSize() * 3);
        // Double clicks export the grid, header row included.
        g->viewport()->installEventFilter(this);
        g->horizontalHeader()->viewport()->installEventFilter(this);
    }
    // The interval column keeps the width of the widest interval; the others share the rest.
    {
        auto* header = MSFlexGrid3->horizontalHeader();
        const int interval =
            MSFlexGrid3->fontMetrics().horizontalAdvance(QStringLiteral("100.0–100.0%")) + 14;
        header->setSectionResizeMode(5, QHeaderView::Fixed);
        MSFlexGrid3->setColumnWidth(5, interval);
        MSFlexGrid3->setMinimumWidth(MSFlexGrid3->minimumWidth() - header->minimumSectionSize() + interval);
    }
    // The tally is read first: whatever the chart takes, six of its rows stay in view.
    const int rowH = MSFlexGrid3->verticalHeader()->defaultSectionSize();
    MSFlexGrid3->setMinimumHeight(MSFlexGrid3->horizontalHeader()->sizeHint().height() + 6 * rowH +
                                  2 * MSFlexGrid3->frameWidth());
    // A long list of draws keeps its scroll bar, so the stretched columns do not shift under it.
    MSFlexGrid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The tally with its verdict under it, its chart, then the matched draws.
    // The logbook records the top of the tally, so its button sits on the tally's title row.
    cmdYuce = named(new QPushButton(QStringLiteral("记录本期预测(&R)")), QStringLiteral("cmdYuce"));
    connect(cmdYuce, &QPushButton::clicked, this, &ResultsPanel::predictionWanted);
    auto* tally = titled(QStringLiteral("统计结果"), MSFlexGrid3, cmdYuce);
    // What the search before a chosen issue says of that issue's own draw, once it is stored.
    m_chosenDraw = wrappedLabel(QStringLiteral("lblChosenDraw"), {});
    m_chosenDraw->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_chosenDraw->hide();
    describe(m_chosenDraw, QStringLiteral("指定期的开奖"), {});
    tally->layout()->addWidget(m_chosenDraw);
    m_verdict = new TallyVerdict(m_resultModel);
    connect(m_verdict, &TallyVerdict::explanationWanted, this,
            [this] { emit manualWanted(QStringLiteral("chance")); });
    tally->layout()->addWidget(m_verdict);
    describe(m_verdict, QStringLiteral("与随机相比的结论"));
    // The chart takes its place once its library is loaded (showChart); until then the place
    // shows the chart's empty ground.
    m_chart = named(new QWidget, QStringLiteral("tallyChartPlace"));
    m_chart->setMinimumHeight(120);
    m_chart->setBackgroundRole(QPalette::Base);
    m_chart->setAutoFillBackground(true);
    m_tallySplit->addWidget(tally);
    m_tallySplit->addWidget(m_chart);
    m_tallySplit->setStretchFactor(0, 0);
    m_tallySplit->setStretchFactor(1, 1);
    m_split->addWidget(m_tallySplit);
    m_split->addWidget(titled(QStringLiteral("检索到的开奖"), MSFlexGrid2));
    // The tally has at most eleven rows; the matched draws take the rest.
    m_tallySplit->setSizes({rowH * 13 + 60, rowH * 10});
    m_split->setSizes({rowH * 23 + 60, 400});
    m_split->setStretchFactor(1, 1);

    // What the grids' results were searched with, and whether the controls still say so.
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_summary = wrappedLabel(QStringLiteral("conditionSummary"), QStringLiteral("尚未检索。"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setEnabled(false);
    describe(m_summary, QStringLiteral("检索条件"), {});
    v->addWidget(m_summary);
    v->addWidget(m_split, 1);

    // Drawn from the history as it was: a change of the history leaves it behind.
    connect(&workspace, &Workspace::historyChanged, this, [this] {
        if (!m_searched)
            return;
        m_historyChanged = true;
        setStale(true, QStringLiteral("历史号码已改变，结果为上次检索："));
    });
}

void ResultsPanel::setLeastHeight(int height) {
    if (height == m_leastHeight)
        return;
    m_leastHeight = height;
    updateGeometry();
}

int ResultsPanel::leastWidth() const {
    return std::max({m_tallySplit->widget(0)->minimumSizeHint().width(), m_chart->minimumSizeHint().width(),
                     m_split->widget(1)->minimumSizeHint().width()});
}

QSize ResultsPanel::minimumSizeHint() const {
    return QWidget::minimumSizeHint().expandedTo(QSize(0, m_leastHeight));
}

QList<QWidget*> ResultsPanel::readingOrder() const {
    return {cmdYuce, MSFlexGrid3, m_verdict, m_chart, MSFlexGrid2};
}

void ResultsPanel::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    const int tallyWidth = m_tallySplit->widget(0)->minimumSizeHint().width();
    const bool sideBySide = width() >= tallyWidth + 360;
    const Qt::Orientation wanted = sideBySide ? Qt::Horizontal : Qt::Vertical;
    if (m_sized && m_tallySplit->orientation() == wanted)
        return;
    m_sized = true;
    m_tallySplit->setOrientation(wanted);
    // The whole tally, its verdict (two lines in a narrow column) included; side by side the chart
    // takes the same height, and the matched draws the rest.
    const int rowH = MSFlexGrid3->verticalHeader()->defaultSectionSize();
    const int tallyHeight =
        cmdYuce->sizeHint().height() + MSFlexGrid3->horizontalHeader()->sizeHint().height() + 10 * rowH +
        2 * MSFlexGrid3->frameWidth() + (sideBySide ? 1 : 2) * m_verdict->fontMetrics().lineSpacing() + 12;
    if (sideBySide) {
        m_tallySplit->setSizes({tallyWidth + (width() - tallyWidth) / 4, width()});
        m_split->setSizes({tallyHeight, height()});
    } else {
        m_tallySplit->setSizes({tallyHeight, rowH * 10});
        m_split->setSizes({tallyHeight + rowH * 10, height()});
    }
    updateGeometry();
}

void ResultsPanel::showChart() {
    if (m_chartShown)
        return;
    QString why;
    const SurfaceParts* parts = surfaceParts(&why);
    if (!parts) {
        if (!m_chart->toolTip().isEmpty())
            return;
        // Said once, where the chart would be and in the status bar; the grids work without it.
        m_chart->setToolTip(QStringLiteral("统计图无法显示：") + why);
        emit status(QStringLiteral("统计图无法显示：") + why);
        return;
    }
    QWidget* chart = parts->tallyChart(m_resultModel, m_workspace.dataFolder());
    describe(chart, QStringLiteral("统计图"),
             QStringLiteral("各结果所占比例的柱形图：竖线为95%区间，虚线为随机比例；菜单键可保存为图片"));
    // The chart takes the place with its sizes, and the room the window gains, as the place did.
    const QList<int> sizes = m_tallySplit->sizes();
    delete m_tallySplit->replaceWidget(1, chart);
    m_tallySplit->setStretchFactor(0, 0);
    m_tallySplit->setStretchFactor(1, 1);
    m_tallySplit->setSizes(sizes);
    m_chart = chart;
    m_chartShown = true;
    // Read after the verdict, as the place it took was.
    QWidget::setTabOrder(m_verdict, chart);
    QWidget::setTabOrder(chart, MSFlexGrid2);
    if (m_stale)
        parts->greyChart(chart, true);
    emit chartShown();
}

void ResultsPanel::showResults(const SearchConditions& c, const std::vector<std::uint32_t>& rows) {
    showChart();
    const SearchIndexPtr& index = m_workspace.sharedIndex();
    m_matchedModel->setMatches(MatchedDraws(index, rows, c.resultKind, c.lastDraw, c.n), c.lastDraw);

    m_tally = tallyOutcomes(index->history(), rows, c.resultKind, c.resultPosition, c.group, c.segmentParam);
    const Tally& tally = m_tally;
    m_resultModel->setTally(tally, ++m_talliesRun);

    m_searched = c;
    m_historyChanged = false;
    m_searchedSummary = qs(conditionSummary(c, static_cast<int>(rows.size())));
    showChosenDraw(c);
    setStale(false);

    QString line = QStringLiteral("%1：找到 %2 期，统计 %3 个结果。")
                       .arg(c.combination ? QStringLiteral("组合检索") : QStringLiteral("检索"))
                       .arg(countText(static_cast<long long>(rows.size())), countText(tally.denominator));
    line += QString::fromStdString(droppedNote(tally));
    if (HistoryStore* store = m_workspace.checkedStore()) {
        if (auto stored = store->writeTally(tally.byOutcome); !stored)
            line += QStringLiteral(" 统计表未能写入：") + qs(stored.error().message);
    }
    emit status(line);
    emit resultsShown();
}

void ResultsPanel::compareConditions(const std::optional<SearchConditions>& now) {
    if (!m_searched || m_historyChanged)
        return;
    const bool current = now && *now == *m_searched;
    setStale(!current, QStringLiteral("条件已改变，结果为上次检索："));
}

void ResultsPanel::setStale(bool stale, const QString& why) {
    m_stale = stale;
    m_summary->setEnabled(!stale);
    m_summary->setText(stale ? why + m_searchedSummary : m_searchedSummary);
    for (QWidget* w : std::initializer_list<QWidget*>{MSFlexGrid3, MSFlexGrid2, m_verdict, m_chosenDraw})
        greyText(w, stale);
    if (m_chartShown)
        surfaceParts()->greyChart(m_chart, stale);
    offerPrediction();
}

void ResultsPanel::offerPrediction() {
    QString why;
    if (!m_searched)
        why = QStringLiteral("还没有统计结果：先检索或组合检索，再把统计结果的前几名记为下一期的预测");
    else if (m_stale)
        why = QStringLiteral("统计结果已变灰，不是当前条件和历史号码的结果：请重新检索后再记录");
    else if (m_tally.denominator == 0)
        why = QString::fromUtf8(stats::kEmptyTally);
    else if (const DrawRow* last = m_workspace.history().last();
             m_searched->before && last && *m_searched->before <= last->sqqh)
        // Taken before a past issue, the tally answers for that issue, not for the next one.
        why = QStringLiteral("这是验证第 %1 期的检索，该期已开奖；要预测下一期，请从最新一期检索")
                  .arg(*m_searched->before);
    cmdYuce->setEnabled(why.isEmpty());
    cmdYuce->setToolTip(why.isEmpty() ? QStringLiteral("把显示的%1统计结果的前几名记为下一期的预测")
                                            .arg(m_searched->combination ? QStringLiteral("组合检索")
                                                                         : QStringLiteral("检索"))
                                      : why + QStringLiteral("。"));
}

void ResultsPanel::showChosenDraw(const SearchConditions& c) {
    m_chosenDraw->clear();
    m_chosenDraw->hide();
    const HistorySnapshot& history = m_workspace.history();
    const auto at = c.before ? history.lastAtOrBefore(*c.before) : std::nullopt;
    if (!at || history.issue(*at) != *c.before)
        return;
    const int first = c.group ? 1 : c.resultPosition;
    QStringList parts;
    for (int p = first; p <= c.resultPosition; ++p) {
        const int digit = history.digit(*at, p);
        const int outcome = codesOf(digit, c.segmentParam)[static_cast<std::size_t>(c.resultKind)];
        const auto row = std::ranges::find(m_tally.ranked, outcome, &TallyRow::outcome);
        QString part = QStringLiteral("第%1位 %2，").arg(p).arg(qs(outcomeLabel(c.resultKind, outcome)));
        part += row == m_tally.ranked.end()
                    ? QStringLiteral("不在统计的结果中")
                    : QStringLiteral("排第 %1，%2 %3中 %4 %3")
                          .arg(row - m_tally.ranked.begin() + 1)
                          .arg(countText(m_tally.denominator))
                          .arg(c.group && c.resultPosition > 1 ? QStringLiteral("个") : QStringLiteral("期"))
                          .arg(countText(row->count));
        parts << part;
    }
    m_chosenDraw->setText(QStringLiteral("第 %1 期开出 %2%3%4：%5")
                              .arg(*c.before)
                              .arg(history.digit(*at, 1))
                              .arg(history.digit(*at, 2))
                              .arg(history.digit(*at, 3))
                              .arg(parts.join(QStringLiteral("；"))));
    m_chosenDraw->show();
}

void ResultsPanel::clear(bool lastDraw) {
    m_searched.reset();
    m_historyChanged = false;
    m_searchedSummary.clear();
    setStale(false);
    m_summary->setText(QStringLiteral("尚未检索。"));
    m_summary->setEnabled(false);
    m_matchedModel->setRows({}, lastDraw);
    m_tally = Tally{};
    m_resultModel->setTally(m_tally);
    m_chosenDraw->clear();
    m_chosenDraw->hide();
    offerPrediction();
}

bool ResultsPanel::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        const auto on = [watched](QTableView* grid) {
            return watched == grid->viewport() || watched == grid->horizontalHeader()->viewport();
        };
        const GridModel* model = on(MSFlexGrid2)   ? static_cast<const GridModel*>(m_matchedModel)
                                 : on(MSFlexGrid3) ? m_resultModel
                                                   : nullptr;
        if (model) {
            // The conditions of the search shown stand above either grid.
            const QString line =
                exportGrid(this, m_workspace.dataFolder(), m_workspace.game(), *model,
                           model == m_matchedModel ? kMatchesSheetFile : kResultSheetFile, m_searchedSummary);
            if (!line.isEmpty())
                emit status(line);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brenvik::ui
