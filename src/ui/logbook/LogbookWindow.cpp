// SPDX-License-Identifier: GPL-3.0-or-later
#include "LogbookWindow.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "Dialogs.h"
#include "DrawCodes.h"
#include "HistoryStore.h"
#include "IssueNumber.h"
#include "NumberFilter.h"
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
#include <functional>

namespace brenvik::ui {

namespace {

enum Column { Recorded, Issue, Conditions, Picks, Actual, Hit, Note, ColumnCount };
enum PlayColumn {
    PlayRecorded,
    PlayIssue,
    PlayConditions,
    PlayTicket,
    PlayTickets,
    PlayCost,
    PlayDraw,
    PlayHit,
    PlayWon,
    PlayNet,
    PlayRunning,
    PlayNote
};

// Recorded in UTC; the user reads the time of day where they are.
QString localTime(const std::string& recorded) {
    const QDateTime utc = QDateTime::fromString(qs(recorded), Qt::ISODate);
    return utc.isValid() ? utc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : qs(recorded);
}

QString yuan(long long amount) {
    return qs(groupedCount(amount));
}

// A grid of the window: rows selected whole, one at a time, read only, leaving on Tab; a double
// click anywhere on it, its header row included, exports it.
QTableView* logGrid(const QString& name, GridModel* model, const QString& caption, const QString& description,
                    int stretched, std::function<void()> exportIt) {
    auto* grid = new QTableView;
    grid->setObjectName(name);
    grid->setModel(model);
    grid->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid->setSelectionMode(QAbstractItemView::SingleSelection);
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid->verticalHeader()->hide();
    grid->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    grid->setTabKeyNavigation(false);
    describe(grid, caption, description);
    auto* header = grid->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(stretched, QHeaderView::Stretch);
    grid->setWordWrap(false);
    // Two grids and a chart share the window's height: on a low screen each keeps a few rows.
    exportOnDoubleClick(grid, std::move(exportIt));
    return grid;
}

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
    case Recorded:
        return localTime(e.recorded);
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

PlaysGridModel::PlaysGridModel(QObject* parent)
    : GridModel({QStringLiteral("记录时间"), QStringLiteral("期号"), QStringLiteral("缩水条件"),
                 QStringLiteral("票型"), QStringLiteral("注数"), QStringLiteral("花费(元)"),
                 QStringLiteral("开奖"), QStringLiteral("命中"), QStringLiteral("中奖(元)"),
                 QStringLiteral("净额(元)"), QStringLiteral("累计净额(元)"), QStringLiteral("备注")},
                parent) {}

void PlaysGridModel::setPlays(std::vector<stats::ScoredPlay> plays) {
    beginResetModel();
    m_rows.clear();
    long long running = 0;
    for (stats::ScoredPlay& p : plays) {
        std::optional<long long> net = p.net();
        if (net)
            running += *net;
        m_rows.push_back({std::move(p), net ? std::optional(running) : std::nullopt});
    }
    std::ranges::reverse(m_rows);
    endResetModel();
}

int PlaysGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

QString PlaysGridModel::cellText(int row, int column) const {
    const Row& r = m_rows[static_cast<std::size_t>(row)];
    const stats::ScoredPlay& s = r.play;
    const Play& p = s.play;
    const auto money = [](const std::optional<long long>& v) { return v ? yuan(*v) : QStringLiteral("-"); };
    switch (column) {
    case PlayRecorded:
        return localTime(p.recorded);
    case PlayIssue:
        return QString::number(p.issue);
    case PlayConditions:
        return qs(p.conditions);
    case PlayTicket:
        return qs(ticketCaption(p.ticket));
    case PlayTickets:
        return QString::number(p.numbers.size());
    case PlayCost:
        return yuan(s.cost);
    case PlayDraw: {
        const auto d = p.score ? std::optional(p.score->digits) : s.drawNow;
        return s.won && d ? QStringLiteral("%1%2%3").arg((*d)[0]).arg((*d)[1]).arg((*d)[2])
                          : QStringLiteral("-");
    }
    case PlayHit:
        return !s.hit ? QStringLiteral("未开奖") : *s.hit ? QStringLiteral("命中") : QStringLiteral("未中");
    case PlayWon:
        return money(s.won);
    case PlayNet:
        return money(s.net());
    case PlayRunning:
        return money(r.runningNet);
    case PlayNote:
        return qs(stats::changeNote(s));
    }
    return {};
}

QVariant PlaysGridModel::data(const QModelIndex& index, int role) const {
    if (role == Qt::ToolTipRole && index.column() == PlayConditions) {
        // The conditions, and the tickets they bought.
        const Play& p = playAt(index.row()).play;
        QStringList numbers;
        for (const int n : p.numbers)
            numbers << qs(stats::numberText(n));
        return qs(p.conditions) + QStringLiteral("\n") + numbers.join(QLatin1Char(' '));
    }
    // Money to the right, so its digits line up; the conditions read from the left.
    if (role == Qt::TextAlignmentRole && index.column() == PlayConditions)
        return int(Qt::AlignLeft | Qt::AlignVCenter);
    if (role == Qt::TextAlignmentRole && index.column() >= PlayCost && index.column() != PlayDraw &&
        index.column() != PlayHit && index.column() != PlayNote)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return GridModel::data(index, role);
}

GridModel::ColumnKind PlaysGridModel::columnKind(int column) const {
    switch (column) {
    case PlayIssue:
    case PlayTickets:
    case PlayCost:
    case PlayWon:
    case PlayNet:
    case PlayRunning:
        return ColumnKind::Number;
    default:
        return ColumnKind::Text;
    }
}

LogbookWindow::LogbookWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmYuce"));
    setWindowTitle(QStringLiteral("预测记录 — 福彩3D"));
    m_model = new LogbookGridModel(this);
    m_grid = logGrid(
        QStringLiteral("logbookGrid"), m_model, QStringLiteral("预测记录"),
        QStringLiteral("记录的各条预测，最新的在前：期号、检索条件、预测、开奖、是否命中"), Conditions,
        [this] { exportGrid(this, m_dataFolder, m_game, *m_model, kLogbookSheetFile, summaryText()); });
    m_plays = new PlaysGridModel(this);
    m_playsGrid = logGrid(
        QStringLiteral("playsGrid"), m_plays, QStringLiteral("投注记录"),
        QStringLiteral(
            "记录的各次投注，最新的在前：期号、缩水条件、票型、注数、花费、开奖、中奖、净额和累计净额"),
        PlayConditions,
        [this] { exportGrid(this, m_dataFolder, m_game, *m_plays, kPlaysSheetFile, playsSummaryText()); });

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

    // Only a prediction or play whose draw is not known yet may be taken back.
    m_withdraw = new QPushButton(QStringLiteral("撤回所选预测(&W)"));
    m_withdraw->setObjectName(QStringLiteral("cmdWithdraw"));
    m_withdrawPlay = new QPushButton(QStringLiteral("撤回所选投注(&D)"));
    m_withdrawPlay->setObjectName(QStringLiteral("cmdWithdrawPlay"));
    for (QTableView* grid : {m_grid, m_playsGrid}) {
        connect(grid->selectionModel(), &QItemSelectionModel::selectionChanged, this,
                [this] { selectionChanged(); });
        connect(grid->model(), &QAbstractItemModel::modelReset, this, [this] { selectionChanged(); });
    }
    const auto selectedRow = [](QTableView* grid) {
        const QModelIndexList rows = grid->selectionModel()->selectedRows();
        return rows.size() == 1 ? rows[0].row() : -1;
    };
    connect(m_withdraw, &QPushButton::clicked, this, [this, selectedRow] {
        if (const int row = selectedRow(m_grid); row >= 0) {
            const LogEntry& e = m_model->entryAt(row).entry;
            emit withdrawRequested(e.id, e.issue);
        }
    });
    connect(m_withdrawPlay, &QPushButton::clicked, this, [this, selectedRow] {
        if (const int row = selectedRow(m_playsGrid); row >= 0) {
            const Play& p = m_plays->playAt(row).play;
            emit withdrawPlayRequested(p.id, p.issue);
        }
    });

    m_playsSummary = new QLabel;
    m_playsSummary->setObjectName(QStringLiteral("playsSummary"));
    m_playsSummary->setWordWrap(true);
    m_playsSummary->setTextInteractionFlags(Qt::TextSelectableByMouse);

    // Each grid under its own line and button; the chart of the predictions' hits beside them, the
    // plays under both.
    const auto part = [](QLabel* summary, QPushButton* button, QTableView* grid) {
        auto* w = new QWidget;
        auto* v = new QVBoxLayout(w);
        v->setContentsMargins(0, 0, 0, 0);
        auto* top = new QHBoxLayout;
        top->addWidget(summary, 1);
        top->addWidget(button, 0, Qt::AlignTop);
        v->addLayout(top);
        v->addWidget(grid, 1);
        return w;
    };
    auto* predictions = new QSplitter(Qt::Horizontal);
    predictions->setChildrenCollapsible(false);
    predictions->addWidget(part(m_summary, m_withdraw, m_grid));
    predictions->addWidget(m_chartView);
    predictions->setSizes({640, 380});
    auto* split = new QSplitter(Qt::Vertical);
    split->setChildrenCollapsible(false);
    split->addWidget(predictions);
    split->addWidget(part(m_playsSummary, m_withdrawPlay, m_playsGrid));
    split->setSizes({360, 300});

    auto* v = new QVBoxLayout(this);
    v->addWidget(split, 1);
    chainTabOrder({m_withdraw, m_grid, m_withdrawPlay, m_playsGrid, m_chartView});
    selectionChanged();
    fitToScreen(this, QSize(1060, 720), parent ? parent->window() : nullptr);
}

QString LogbookWindow::summaryText() const {
    return m_summary->text();
}

QString LogbookWindow::playsSummaryText() const {
    return m_playsSummary->text();
}

void LogbookWindow::selectionChanged() {
    const QModelIndexList rows = m_grid->selectionModel()->selectedRows();
    m_withdraw->setEnabled(rows.size() == 1 && !m_model->entryAt(rows[0].row()).hit);
    const QModelIndexList plays = m_playsGrid->selectionModel()->selectedRows();
    m_withdrawPlay->setEnabled(plays.size() == 1 && !m_plays->playAt(plays[0].row()).hit);
}

void LogbookWindow::refresh(const HistoryStore* store, const HistorySnapshot& history, Game game,
                            const QString& dataFolder) {
    m_game = game;
    m_dataFolder = dataFolder;
    setWindowTitle(QStringLiteral("预测记录 — %1").arg(qs(displayName(game))));
    std::vector<LogEntry> entries;
    std::vector<Play> plays;
    QString problem;
    if (!store) {
        problem = QStringLiteral("历史数据库没有打开。");
    } else if (auto read = PredictionLog::entries(*store)) {
        entries = std::move(*read);
        if (auto readPlays = PredictionLog::plays(*store))
            plays = std::move(*readPlays);
        else
            problem = QStringLiteral("投注记录未能读取：") + qs(readPlays.error().message);
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
    auto priced = stats::scorePlays(plays, history);
    const stats::PlaySummary money = stats::summarizePlays(priced);
    m_plays->setPlays(std::move(priced));
    m_playsSummary->setText(
        problem.isEmpty()
            ? QStringLiteral("共 %1 次投注。").arg(countText(static_cast<long long>(plays.size()))) +
                  qs(stats::playSummaryLine(money))
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
