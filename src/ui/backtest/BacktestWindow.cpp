// SPDX-License-Identifier: GPL-3.0-or-later
#include "BacktestWindow.h"

#include "AppPaths.h"
#include "BacktestChart.h"
#include "BacktestGrid.h"
#include "BacktestText.h"
#include "BusyCursor.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "PanelParts.h"
#include "Spreadsheet.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace brenvik::ui {

namespace {

constexpr int kProgressSteps = 1000;

template <typename T> T* named(T* w, const char* name) {
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Outcomes a tally of the kind lists: the picks must leave at least one out.
int listedOutcomes(Kind kind) {
    return kind == Kind::Number ? 10 : kind == Kind::Segment ? 5 : 2;
}

} // namespace

BacktestWindow::BacktestWindow(const SearchConditions& conditions, SearchIndexPtr index, Game game,
                               QString dataFolder, QWidget* parent)
    : QWidget(parent, Qt::Window), m_options(stats::backtestOptionsOf(conditions)), m_index(std::move(index)),
      m_game(game), m_dataFolder(std::move(dataFolder)) {
    setObjectName(QStringLiteral("frmHuice"));
    setWindowTitle(QStringLiteral("回测 — ") + qs(displayName(game)));
    setAttribute(Qt::WA_DeleteOnClose);
    build(qs(stats::backtestConditions(conditions.game, m_options)));
    fitToScreen(this, QSize(900, 640), parent ? parent->window() : nullptr);
}

BacktestWindow::~BacktestWindow() {
    // The worker reads the history and posts to this window: it ends before the window does.
    stopWorker();
}

void BacktestWindow::build(const QString& conditions) {
    auto* v = new QVBoxLayout(this);

    // The conditions come from the main window and stay as they were when this window opened.
    auto* conditionLine = named(new QLabel(conditions), "conditionSummary");
    conditionLine->setWordWrap(true);
    conditionLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(conditionLine);

    // The targets and picks on one row, the run and its progress on the next: both fit a small
    // screen.
    auto* row = new QHBoxLayout;
    auto* runRow = new QHBoxLayout;
    const HistorySnapshot& h = m_index->history();
    m_start = named(new QLineEdit(h.empty() ? QString() : QString::number(h.first()->sqqh)), "txtStart");
    m_end = named(new QLineEdit(h.empty() ? QString() : QString::number(h.last()->sqqh)), "txtEnd");
    for (QLineEdit* e : {m_start, m_end}) {
        e->setMaxLength(10);
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("00000000")) + 12);
    }
    m_picks = named(new QSpinBox, "spnPicks");
    m_picks->setRange(1, listedOutcomes(m_options.resultKind) - 1);
    m_twins = named(new QSpinBox, "spnTwins");
    m_twins->setRange(0, stats::kMaxTwins);
    m_twins->setValue(20);
    m_go = named(new QPushButton(QStringLiteral("开始回测(&R)")), "cmdStart");
    m_cancel = named(new QPushButton(QStringLiteral("取消(&C)")), "cmdCancel");
    m_cancel->setEnabled(false);
    m_progress = named(new QProgressBar, "progress");
    m_progress->setRange(0, kProgressSteps);
    m_progress->setValue(0);
    m_progress->setFormat(QString());
    auto caption = [&](const QString& text, QWidget* buddy) {
        auto* l = new QLabel(text);
        l->setBuddy(buddy);
        row->addWidget(l);
        row->addWidget(buddy);
    };
    caption(QStringLiteral("起始期号(&S)"), m_start);
    caption(QStringLiteral("截止期号(&E)"), m_end);
    caption(QStringLiteral("每期取前(&K)"), m_picks);
    caption(QStringLiteral("随机对照组数(&T)"), m_twins);
    row->addStretch();
    runRow->addWidget(m_go);
    runRow->addWidget(m_progress, 1);
    runRow->addWidget(m_cancel);
    v->addLayout(row);
    v->addLayout(runRow);
    describe(m_start, QStringLiteral("起始期号"), QStringLiteral("回测的第一期（含）"));
    describe(m_end, QStringLiteral("截止期号"), QStringLiteral("回测的最后一期（含）"));
    describe(m_picks, QStringLiteral("每期取前"), QStringLiteral("每期取统计结果的前几名作为预测"));
    describe(m_twins, QStringLiteral("随机对照组数"),
             QStringLiteral("同样期数的随机预测做几组对照，0 为不做"));
    describe(m_progress, QStringLiteral("回测进度"));

    m_summary = named(new QLabel(QStringLiteral("尚未回测。")), "backtestSummary");
    m_summary->setWordWrap(true);
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(m_summary);

    auto* split = new QSplitter(Qt::Vertical);
    split->setChildrenCollapsible(false);
    m_chart = named(new BacktestChart, "chtHuice");
    describe(m_chart, QStringLiteral("回测累计命中图"),
             QStringLiteral("实际累计命中与随机期望及其95%区间、各组随机对照的累计命中相比"));
    split->addWidget(m_chart);
    m_model = new BacktestGridModel(this);
    m_grid = named(new QTableView, "grdHuice");
    m_grid->setModel(m_model);
    m_grid->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    m_grid->verticalHeader()->hide();
    m_grid->verticalHeader()->setDefaultSectionSize(m_grid->fontMetrics().height() + 6);
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_grid->setSelectionMode(QAbstractItemView::NoSelection);
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setTabKeyNavigation(false);
    m_grid->setMinimumHeight(m_grid->verticalHeader()->defaultSectionSize() * 4);
    describe(m_grid, QStringLiteral("逐期回测结果"),
             QStringLiteral("每期的检索号码、找到期数、预测、开奖与是否命中"));
    // What was tested and how it came out go above the targets; where the spreadsheet went is
    // said here, in the window the user double-clicked.
    exportOnDoubleClick(m_grid, [this, conditions] {
        const QString line = exportGrid(this, m_dataFolder, m_game, *m_model, kBacktestSheetFile,
                                        conditions + QStringLiteral("　") + m_summary->text());
        if (!line.isEmpty())
            m_status->setText(sentence(line));
    });
    split->addWidget(m_grid);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    split->setSizes({330, 220});
    v->addWidget(split, 1);
    m_status = named(new QLabel, "backtestStatus");
    m_status->setWordWrap(true);
    v->addWidget(m_status);
    chainTabOrder({m_start, m_end, m_picks, m_twins, m_go, m_cancel, m_chart, m_grid});

    connect(m_go, &QPushButton::clicked, this, [this] { start(); });
    connect(m_cancel, &QPushButton::clicked, this, [this] { cancel(); });
    m_go->setDefault(true);
}

std::optional<stats::BacktestOptions> BacktestWindow::optionsFromBoxes() {
    const auto refuse = [this](QLineEdit* box, const QString& text) {
        Dialogs::warn(this, QStringLiteral("回测"), text);
        if (box) {
            box->setFocus(Qt::OtherFocusReason);
            box->selectAll();
        }
        return std::nullopt;
    };
    std::array<std::int32_t, 2> ends{};
    const std::array<QString, 2> names = {QStringLiteral("起始期号"), QStringLiteral("截止期号")};
    for (std::size_t i = 0; i < 2; ++i) {
        QLineEdit* box = i == 0 ? m_start : m_end;
        const QString& name = names[i];
        const QString text = box->text().trimmed();
        const auto issue = parseWholeNumber(text.toStdString(), INT32_MIN, INT32_MAX);
        if (!issue)
            return refuse(box, text.isEmpty()
                                   ? QStringLiteral("%1为空，请填写一个期号，未回测。").arg(name)
                                   : QStringLiteral("%1“%2”不是整数期号，未回测。").arg(name, text));
        ends[i] = static_cast<std::int32_t>(*issue);
    }
    if (ends[0] > ends[1])
        return refuse(m_start,
                      reversedRange(names[0], ends[0], names[1], ends[1]) + QStringLiteral("，未回测。"));
    const auto [first, last] = m_index->rowsInRange(ends[0], ends[1]);
    if (first == last)
        return refuse(m_start,
                      QStringLiteral("第 %1～%2 期之间没有历史号码，未回测。").arg(ends[0]).arg(ends[1]));
    stats::BacktestOptions o = m_options;
    o.targetStart = ends[0];
    o.targetEnd = ends[1];
    o.picks = m_picks->value();
    o.twins = m_twins->value();
    o.keepRows = true;
    return o;
}

void BacktestWindow::start() {
    if (m_running)
        return;
    const auto options = optionsFromBoxes();
    if (!options)
        return;
    stopWorker(); // a cancelled run that has not wound up yet
    const unsigned run = ++m_run;
    m_runOptions = *options;
    setRunning(true);
    m_summary->setText(QStringLiteral("正在回测……"));
    m_worker = std::jthread([this, run, index = m_index, o = *options](std::stop_token stop) {
        stats::BacktestControl control{
            stop, [this, run](std::size_t done, std::size_t total) {
                QMetaObject::invokeMethod(
                    this, [this, run, done, total] { progressed(run, done, total); }, Qt::QueuedConnection);
            }};
        auto result = std::make_shared<Result<stats::BacktestResult>>(stats::runBacktest(*index, o, control));
        QMetaObject::invokeMethod(
            this, [this, run, result] { finished(run, result); }, Qt::QueuedConnection);
    });
}

void BacktestWindow::cancel() {
    if (m_running)
        m_worker.request_stop();
}

void BacktestWindow::stopWorker() {
    if (m_worker.joinable()) {
        m_worker.request_stop();
        m_worker.join();
    }
}

void BacktestWindow::progressed(unsigned run, std::size_t done, std::size_t total) {
    if (run != m_run || total == 0)
        return;
    m_progress->setValue(static_cast<int>(done * kProgressSteps / total));
    m_progress->setFormat(progressText(done, total, m_runOptions.twins));
}

QString BacktestWindow::progressText(std::size_t done, std::size_t total, int twins) {
    // The work counts each target once for the real history and once for every twin; the bar
    // follows all of it, the words count the draws of the history being walked.
    const std::size_t histories = static_cast<std::size_t>(twins) + 1;
    const std::size_t draws = total / histories;
    if (draws == 0)
        return {};
    const std::size_t history = std::min(done / draws, histories - 1);
    const std::size_t walked = done - history * draws;
    const QString count =
        QStringLiteral("%1 / %2 期")
            .arg(countText(static_cast<long long>(walked)), countText(static_cast<long long>(draws)));
    if (history == 0)
        return QStringLiteral("实际历史 ") + count;
    return QStringLiteral("随机对照 %1 / %2：").arg(history).arg(twins) + count;
}

void BacktestWindow::finished(unsigned run, std::shared_ptr<Result<stats::BacktestResult>> result) {
    if (run != m_run)
        return;
    stopWorker(); // it has posted its last word
    setRunning(false);
    if (!*result) {
        const bool cancelled = result->error().code == ErrorCode::Cancelled;
        m_progress->setValue(0);
        m_summary->setText(!cancelled ? qs(result->error().message)
                           : m_result ? QStringLiteral("回测已取消，下面仍是上次回测的结果。")
                                      : QStringLiteral("回测已取消。"));
        // The boxes say what the result below was run with, not what the cancelled run was to be.
        if (m_result)
            showOptions(m_shownOptions);
        emit ended();
        return;
    }
    m_result = std::move(**result);
    m_shownOptions = m_runOptions;
    m_summary->setText(qs(stats::backtestSummary(*m_result, m_shownOptions.picks)));
    m_model->setRows(m_result->rows, m_options.resultKind);
    {
        BusyCursor busy;
        m_chart->setResult(*m_result);
    }
    emit ended();
}

void BacktestWindow::showOptions(const stats::BacktestOptions& o) {
    m_start->setText(o.targetStart ? QString::number(*o.targetStart) : QString());
    m_end->setText(o.targetEnd ? QString::number(*o.targetEnd) : QString());
    m_picks->setValue(o.picks);
    m_twins->setValue(o.twins);
}

void BacktestWindow::setRunning(bool running) {
    m_running = running;
    m_go->setEnabled(!running);
    m_cancel->setEnabled(running);
    for (QWidget* w : std::initializer_list<QWidget*>{m_start, m_end, m_picks, m_twins})
        w->setEnabled(!running);
    if (running)
        m_progress->setValue(0);
    else if (m_result)
        m_progress->setValue(kProgressSteps);
}

} // namespace brenvik::ui
