// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogbookWindow.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "Dialogs.h"
#include "DrawCodes.h"
#include "HistoryStore.h"
#include "PanelParts.h"
#include "PredictionLog.h"
#include "Spreadsheet.h"
#include "ThemedChartView.h"

#include <QChart>
#include <QChartView>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineSeries>
#include <QPushButton>
#include <QSplitter>
#include <QTableView>
#include <QUrl>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>

namespace brenvik::ui {

namespace {

enum Column { Recorded, Issue, Conditions, Picks, Actual, Hit, Note, ColumnCount };

// An entry's search, led by what it counted: "第1位的号码｜检索：固定位，…｜找到 40 期". The game
// is left out, the window lists one game's entries.
QString conditionsCell(const LogEntry& e) {
    QStringList parts = qs(e.conditions).split(QStringLiteral("｜"));
    const QString game = qs(displayName(e.game));
    parts.removeIf(
        [&game](const QString& part) { return part == game || part.startsWith(QStringLiteral("结果：")); });
    const QString counted = QStringLiteral("第%1位的").arg(e.resultPosition) +
                            qs(kKindCaptions[static_cast<std::size_t>(e.resultKind)]);
    return (QStringList{counted} + parts).join(QStringLiteral("｜"));
}

QString outcomes(Kind kind, const std::vector<int>& values) {
    QStringList labels;
    for (const int v : values)
        labels << qs(outcomeLabel(kind, v));
    return labels.join(QLatin1Char(' '));
}

} // namespace

LogbookGridModel::LogbookGridModel(QObject* parent)
    : GridModel({QStringLiteral("记录时间"), QStringLiteral("期号"), QStringLiteral("检索条件"),
                 QStringLiteral("预测"), QStringLiteral("开奖"), QStringLiteral("命中"),
                 QStringLiteral("备注")},
                parent) {}

void LogbookGridModel::setEntries(std::vector<stats::ScoredEntry> entries) {
    beginResetModel();
    m_rows = std::move(entries);
    std::ranges::reverse(m_rows);
    endResetModel();
}

int LogbookGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString LogbookGridModel::cellText(int row, int column) const {
    const stats::ScoredEntry& s = m_rows[static_cast<std::size_t>(row)];
    const LogEntry& e = s.entry;
    switch (column) {
    case Recorded: {
        // Recorded in UTC; the user reads the time of day where they are.
        const QDateTime utc = QDateTime::fromString(qs(e.recorded), Qt::ISODate);
        return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"))
                             : qs(e.recorded);
    }
    case Issue:
        return QString::number(e.issue);
    case Conditions:
        return conditionsCell(e);
    case Picks:
        return outcomes(e.resultKind, e.picks);
    case Actual:
        return s.actual ? qs(outcomeLabel(e.resultKind, *s.actual)) : QStringLiteral("-");
    case Hit:
        return !s.hit ? QStringLiteral("未开奖") : *s.hit ? QStringLiteral("命中") : QStringLiteral("未中");
    case Note:
        // The score stays as the draw first stored made it; the note says what became of that draw.
        return qs(stats::changeNote(s));
    }
    return {};
}

QVariant LogbookGridModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::ToolTipRole && index.column() == Conditions)
        return cellText(index.row(), index.column());
    if (role == Qt::TextAlignmentRole && index.column() != Conditions)
        return int(Qt::AlignCenter);
    return GridModel::data(index, role);
}

GridModel::ColumnKind LogbookGridModel::columnKind(int column) const {
    return column == Issue ? ColumnKind::Number : ColumnKind::Text;
}

LogbookWindow::LogbookWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmYuce"));
    setWindowTitle(QStringLiteral("预测记录 — 福彩3D"));
    m_model = new LogbookGridModel(this);
    m_grid = new QTableView;
    m_grid->setObjectName(QStringLiteral("logbookGrid"));
    m_grid->setModel(m_model);
    m_grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->verticalHeader()->hide();
    m_grid->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    m_grid->setTabKeyNavigation(false);
    describe(m_grid, QStringLiteral("预测记录"),
             QStringLiteral("记录的各条预测，最新的在前：期号、检索条件、预测、开奖、是否命中"));
    auto* header = m_grid->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(Conditions, QHeaderView::Stretch);
    m_grid->setWordWrap(false);
    // Anywhere on the grid, its header row included, as on the main window's grids.
    exportOnDoubleClick(m_grid, [this] {
        exportGrid(this, m_dataFolder, m_game, *m_model, kLogbookSheetFile, summaryText());
    });

    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("logbookSummary"));
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    m_chartView = new ThemedChartView;
    m_chartView->chart()->legend()->setAlignment(Qt::AlignBottom);
    m_chartView->setObjectName(QStringLiteral("logbookChart"));
    m_chartView->setMinimumHeight(120);
    describe(m_chartView, QStringLiteral("预测命中图"),
             QStringLiteral("已开奖的预测逐条累计的命中次数，与随机期望的累计命中相比"));

    auto* split = new QSplitter(Qt::Vertical);
    split->setChildrenCollapsible(false);
    split->addWidget(m_grid);
    split->addWidget(m_chartView);
    split->setSizes({300, 240});

    // Only a prediction whose draw is not known yet may be taken back.
    m_withdraw = new QPushButton(QStringLiteral("撤回所选预测(&W)"));
    m_withdraw->setObjectName(QStringLiteral("cmdWithdraw"));
    m_withdraw->setEnabled(false);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { selectionChanged(); });
    connect(m_model, &QAbstractItemModel::modelReset, this, [this] { selectionChanged(); });
    connect(m_withdraw, &QPushButton::clicked, this, [this] {
        const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
        if (rows.size() == 1) {
            const LogEntry& e = m_model->entryAt(rows[0].row()).entry;
            emit withdrawRequested(e.id, e.issue);
        }
    });

    auto* top = new QHBoxLayout;
    top->addWidget(m_summary, 1);
    top->addWidget(m_withdraw);
    auto* v = new QVBoxLayout(this);
    v->addLayout(top);
    v->addWidget(split, 1);
    chainTabOrder({m_withdraw, m_grid, m_chartView});
    fitToScreen(this, QSize(960, 600), parent ? parent->window() : nullptr);
}

QString LogbookWindow::summaryText() const {
    return m_summary->text();
}

void LogbookWindow::selectionChanged() {
    const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
    m_withdraw->setEnabled(rows.size() == 1 && !m_model->entryAt(rows[0].row()).hit);
}

void LogbookWindow::refresh(const HistoryStore* store, const HistorySnapshot& history, Game game,
                            const QString& dataFolder) {
    m_game = game;
    m_dataFolder = dataFolder;
    setWindowTitle(QStringLiteral("预测记录 — %1").arg(qs(displayName(game))));
    std::vector<LogEntry> entries;
    QString problem;
    if (!store) {
        problem = QStringLiteral("历史数据库没有打开。");
    } else if (auto read = PredictionLog::entries(*store)) {
        entries = std::move(*read);
    } else {
        problem = QStringLiteral("预测记录未能读取：") + qs(read.error().message);
    }
    auto scored = stats::scoreEntries(entries, history);
    const stats::LogSummary summary = stats::summarize(scored);
    m_hits.clear();
    m_expected.clear();
    double hits = 0, expected = 0;
    for (const stats::ScoredEntry& s : scored) {
        if (!s.hit)
            continue;
        hits += *s.hit ? 1 : 0;
        expected += static_cast<double>(s.entry.picks.size()) / stats::outcomeCount(s.entry.resultKind);
        m_hits.push_back(hits);
        m_expected.push_back(expected);
    }
    m_model->setEntries(std::move(scored));
    m_summary->setText(
        problem.isEmpty()
            ? QStringLiteral("共 %1 条预测。").arg(countText(static_cast<long long>(entries.size()))) +
                  sentence(qs(stats::summaryLine(summary)))
            : problem);
    showChart();
}

void LogbookWindow::showChart() {
    m_chartView->clearChart();
    QChart* chart = m_chartView->chart();
    auto* hits = new QLineSeries;
    hits->setObjectName(QStringLiteral("real"));
    hits->setName(QStringLiteral("累计命中"));
    auto* expected = new QLineSeries;
    expected->setObjectName(QStringLiteral("expected"));
    expected->setName(QStringLiteral("随机期望累计命中"));
    hits->append(0, 0);
    expected->append(0, 0);
    for (std::size_t i = 0; i < m_hits.size(); ++i) {
        hits->append(static_cast<double>(i + 1), m_hits[i]);
        expected->append(static_cast<double>(i + 1), m_expected[i]);
    }
    chart->addSeries(expected);
    chart->addSeries(hits);

    auto* x = new QValueAxis;
    x->setTitleText(QStringLiteral("已开奖的预测（条）"));
    x->setLabelFormat(QStringLiteral("%d"));
    const double n = std::max<double>(1, static_cast<double>(m_hits.size()));
    x->setRange(0, n);
    x->setTickCount(std::min(11, static_cast<int>(n) + 1));
    x->applyNiceNumbers();
    auto* y = new QValueAxis;
    y->setTitleText(QStringLiteral("命中次数"));
    const double top =
        std::max({1.0, m_hits.empty() ? 0.0 : m_hits.back(), m_expected.empty() ? 0.0 : m_expected.back()});
    y->setRange(0, top);
    y->applyNiceNumbers();
    y->setLabelFormat(QStringLiteral("%g"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    for (QLineSeries* s : {hits, expected}) {
        s->attachAxis(x);
        s->attachAxis(y);
    }
    chart->setTitle(m_hits.empty() ? QStringLiteral("尚无已开奖的预测") : QString());
    m_chartView->applyColours();
}

} // namespace brenvik::ui
