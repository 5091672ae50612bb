// SPDX-License-Identifier: GPL-3.0-or-later
#include "ResultsPanel.h"

#include "AppPaths.h"
#include "PanelParts.h"
#include "Spreadsheet.h"
#include "Tally.h"
#include "TallyChart.h"
#include "TallyVerdict.h"
#include "Workspace.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace brenvik::ui {

ResultsPanel::ResultsPanel(Workspace& workspace, QWidget* parent)
    : QWidget(parent), m_workspace(workspace), m_matchedModel(new MatchedGridModel(this)),
      m_resultModel(new ResultGridModel(this)) {
    auto* split = new QSplitter(Qt::Vertical);
    split->setObjectName(QStringLiteral("resultSplitter"));
    split->setChildrenCollapsible(false);

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
    // A long list of draws keeps its scroll bar, so the stretched columns do not shift under it.
    MSFlexGrid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // The tally with its verdict under it, its chart, then the matched draws.
    // The logbook records the top of the tally, so its button sits on the tally's title row.
    cmdYuce = named(new QPushButton(QStringLiteral("记录本期预测(&R)")), QStringLiteral("cmdYuce"));
    cmdYuce->setToolTip(QStringLiteral("把当前检索统计结果的前几名记为下一期的预测"));
    connect(cmdYuce, &QPushButton::clicked, this, &ResultsPanel::predictionWanted);
    // The top of an empty tally is no prediction: the button waits for a tally that counted draws.
    cmdYuce->setEnabled(false);
    auto* tally = titled(QStringLiteral("统计结果"), MSFlexGrid3, cmdYuce);
    auto* verdict = new TallyVerdict(m_resultModel);
    connect(verdict, &TallyVerdict::explanationWanted, this,
            [this] { emit manualWanted(QStringLiteral("chance")); });
    tally->layout()->addWidget(verdict);
    split->addWidget(tally);
    split->addWidget(new TallyChart(m_resultModel, m_workspace.dataFolder()));
    split->addWidget(titled(QStringLiteral("检索到的开奖"), MSFlexGrid2));
    // The tally has at most eleven rows; the matched draws take the rest.
    const int rowH = MSFlexGrid3->verticalHeader()->defaultSectionSize();
    split->setSizes({rowH * 13 + 40, rowH * 10, 400});
    split->setStretchFactor(2, 1);

    // What the grids' results were searched with, and whether the controls still say so.
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    m_summary = wrappedLabel(QStringLiteral("conditionSummary"), QStringLiteral("尚未检索。"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setEnabled(false);
    v->addWidget(m_summary);
    v->addWidget(split, 1);
}

void ResultsPanel::showResults(const SearchConditions& c, const std::vector<std::uint32_t>& rows) {
    const SearchIndexPtr& index = m_workspace.sharedIndex();
    m_matchedModel->setMatches(MatchedDraws(index, rows, c.resultKind, c.lastDraw, c.n), c.lastDraw);

    const Tally tally =
        tallyOutcomes(index->history(), rows, c.resultKind, c.resultPosition, c.group, c.segmentParam);
    m_resultModel->setTally(tally, ++m_talliesRun);
    cmdYuce->setEnabled(tally.denominator > 0);

    m_searched = c;
    m_searchedSummary = qs(conditionSummary(c, static_cast<int>(rows.size())));
    m_summary->setText(m_searchedSummary);
    m_summary->setEnabled(true);

    QString line = QStringLiteral("%1：找到 %2 期，统计 %3 个结果。")
                       .arg(c.combination ? QStringLiteral("组合检索") : QStringLiteral("检索"))
                       .arg(rows.size())
                       .arg(tally.denominator);
    line += QString::fromStdString(droppedNote(tally));
    if (HistoryStore* store = m_workspace.checkedStore()) {
        if (auto stored = store->writeTally(tally.byOutcome); !stored)
            line += QStringLiteral(" 统计表未能写入：") + qs(stored.error().message);
    }
    emit status(line);
}

void ResultsPanel::compareConditions(const std::optional<SearchConditions>& now) {
    if (!m_searched)
        return;
    const bool current = now && *now == *m_searched;
    m_summary->setEnabled(current);
    m_summary->setText(current ? m_searchedSummary
                               : QStringLiteral("条件已改变，结果为上次检索：") + m_searchedSummary);
}

void ResultsPanel::clear(bool lastDraw) {
    m_matchedModel->setRows({}, lastDraw);
    m_resultModel->setTally(Tally{});
    cmdYuce->setEnabled(false);
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
