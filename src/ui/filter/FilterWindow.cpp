// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilterWindow.h"

#include "AppPaths.h"
#include "BacktestText.h"
#include "Clock.h"
#include "ConditionPanel.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "KeptGrid.h"
#include "NetChart.h"
#include "PanelParts.h"
#include "PredictionLog.h"
#include "SettingsStore.h"
#include "ThemeColours.h"
#include "Workspace.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>

#include <climits>
#include <string_view>

namespace brenvik::ui {

namespace {

// The conditions the window last showed, in the text of stats::conditionsText.
constexpr std::string_view kConditionsKey = "strSuoshui";
// Whether the numbers are listed, priced and played as 组选 tickets rather than 直选.
constexpr std::string_view kGroupTicketKey = "bolSuoshuiZuxuan";

// The settings file is written and synced to disk, which takes longer than all else a click does:
// it waits until the conditions have rested this long.
constexpr int kSaveDelayMs = 400;

// The chart never needs more points than it has pixels.
constexpr std::size_t kCurvePoints = 1000;

template <typename W> W* control(W* w, const char* name, const QString& accessibleName) {
    w->setObjectName(QLatin1String(name));
    w->setAccessibleName(accessibleName);
    return w;
}

// A line of the window, in red when it says what is wrong rather than what was found.
void showLine(QLabel* label, const QString& text, bool problem = false) {
    showAsProblem(label, problem);
    label->setText(text);
}

QLabel* captionFor(const QString& text, QWidget* buddy) {
    auto* l = new QLabel(text);
    l->setBuddy(buddy);
    return l;
}

} // namespace

FilterWindow::FilterWindow(Workspace& workspace, SettingsStore& settings, TallySource tally, QWidget* parent)
    : QWidget(parent, Qt::Window), m_workspace(workspace), m_settings(settings), m_tally(std::move(tally)) {
    setObjectName(QStringLiteral("frmSuoshui"));
    const auto showGame = [this](Game game) {
        setWindowTitle(QStringLiteral("缩水 — ") + qs(displayName(game)));
    };
    showGame(m_workspace.game());
    connect(&m_workspace, &Workspace::gameChanged, this, showGame);
    m_saveTimer = new QTimer(this);
    m_saveTimer->setSingleShot(true);
    m_saveTimer->setInterval(kSaveDelayMs);
    connect(m_saveTimer, &QTimer::timeout, this, &FilterWindow::saveConditions);
    build();
    m_panel->setConditions(stats::conditionsFromText(m_settings.text(kConditionsKey).toStdString()));
    connect(&m_workspace, &Workspace::historyChanged, this, &FilterWindow::refreshRecord);
    // The main window lets its workspace go before its settings and this window: the last word on
    // the conditions is saved then.
    connect(&m_workspace, &QObject::destroyed, this, [this] {
        if (m_saveTimer->isActive())
            saveConditions();
    });
}

void FilterWindow::hideEvent(QHideEvent* event) {
    if (m_saveTimer->isActive())
        saveConditions();
    QWidget::hideEvent(event);
}

void FilterWindow::saveConditions() {
    m_saveTimer->stop();
    const QString text = qs(stats::conditionsText(m_conditions));
    if (text != m_settings.text(kConditionsKey))
        m_settings.write(kConditionsKey, text);
}

void FilterWindow::build() {
    auto* h = new QHBoxLayout(this);

    // The conditions scroll on a low screen; the column keeps the width its digit rows need.
    m_panel = named(new ConditionPanel, QStringLiteral("pnlConditions"));
    auto* scroll = named(new QScrollArea, QStringLiteral("scrConditions"));
    scroll->setAccessibleName(QStringLiteral("缩水条件"));
    scroll->setFocusPolicy(Qt::NoFocus); // the conditions take the focus, the area follows it
    scroll->setWidget(m_panel);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setFixedWidth(m_panel->sizeHint().width() + scroll->verticalScrollBar()->sizeHint().width() + 4);
    h->addWidget(scroll);

    auto* v = new QVBoxLayout;
    auto* top = new QHBoxLayout;
    m_count = control(new QLabel, "lblKept", QStringLiteral("保留注数"));
    QFont big = m_count->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.2);
    m_count->setFont(big);
    m_count->setWordWrap(true);
    m_count->setTextFormat(Qt::PlainText);
    m_count->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_direct = control(new QRadioButton(QStringLiteral("直选(&Z)")), "optZhixuan",
                       QStringLiteral("直选：每个号码一注"));
    m_group = control(new QRadioButton(QStringLiteral("组选(&X)")), "optZuxuan",
                      QStringLiteral("组选：每组组三或组六一注"));
    m_direct->setToolTip(QStringLiteral("按直选列出、计算战绩和投注：每个保留的号码一注，中奖 1,040 元"));
    m_group->setToolTip(QStringLiteral("按组选列出、计算战绩和投注：保留的号码按组归并，每组一注，"
                                       "组三中奖 346 元，组六中奖 173 元；豹子不能买组选"));
    (parseFlag(m_settings.text(kGroupTicketKey).toStdString()).value_or(false) ? m_group : m_direct)
        ->setChecked(true);
    top->addWidget(m_count, 1);
    top->addWidget(m_direct);
    top->addWidget(m_group);
    v->addLayout(top);

    m_directModel = new KeptGridModel(false, this);
    m_groupModel = new KeptGridModel(true, this);
    m_grid = grid(QStringLiteral("grdSuoshui"), m_group->isChecked() ? m_groupModel : m_directModel);
    m_grid->setAccessibleName(QStringLiteral("保留的号码"));
    m_grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    exportOnDoubleClick(m_grid, [this] { exportNumbers(); });

    auto* copyRow = new QHBoxLayout;
    m_copyStyle = control(new QComboBox, "cboCopyStyle", QStringLiteral("复制格式"));
    m_copyStyle->addItems({QStringLiteral("每行一注"), QStringLiteral("空格分隔")});
    m_copy = control(new QPushButton(QStringLiteral("复制号码(&F)")), "cmdCopy", QStringLiteral("复制号码"));
    copyRow->addWidget(captionFor(QStringLiteral("复制格式(&G)"), m_copyStyle));
    copyRow->addWidget(m_copyStyle);
    copyRow->addWidget(m_copy);
    copyRow->addStretch();

    auto* rangeRow = new QHBoxLayout;
    m_start = control(new QLineEdit, "txtFilterStart", QStringLiteral("起始期号"));
    m_end = control(new QLineEdit, "txtFilterEnd", QStringLiteral("截止期号"));
    for (QLineEdit* e : {m_start, m_end}) {
        e->setMaxLength(10);
        e->setMaximumWidth(e->fontMetrics().horizontalAdvance(QStringLiteral("000000000")) + 12);
        connect(e, &QLineEdit::textChanged, this, &FilterWindow::refreshRecord);
    }
    rangeRow->addWidget(captionFor(QStringLiteral("起始期号(&S)"), m_start));
    rangeRow->addWidget(m_start);
    rangeRow->addWidget(captionFor(QStringLiteral("截止期号(&E)"), m_end));
    rangeRow->addWidget(m_end);
    // Wraps on a narrow window rather than widen it.
    auto* wholeHistory = new QLabel(QStringLiteral("（留空为全部历史号码）"));
    wholeHistory->setWordWrap(true);
    rangeRow->addWidget(wholeHistory, 1);
    rangeRow->addStretch();

    m_recordLine = control(new QLabel, "lblRecord", QStringLiteral("历史战绩"));
    m_recordLine->setWordWrap(true);
    m_recordLine->setTextFormat(Qt::PlainText);
    m_recordLine->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_chart = control(new NetChart, "chtSuoshui", QStringLiteral("累计净盈亏图"));

    // The grid and the chart share what height there is.
    auto* split = new QSplitter(Qt::Vertical);
    split->setChildrenCollapsible(false);
    auto* upper = new QWidget;
    auto* u = new QVBoxLayout(upper);
    u->setContentsMargins(0, 0, 0, 0);
    u->addWidget(m_grid, 1);
    u->addLayout(copyRow);
    auto* lower = new QWidget;
    auto* l = new QVBoxLayout(lower);
    l->setContentsMargins(0, 0, 0, 0);
    l->addLayout(rangeRow);
    // Beside the record of buying the kept set every draw: buying it for the next one.
    m_play = control(new QPushButton(QStringLiteral("记录为本期投注(&T)")), "cmdTouzhu",
                     QStringLiteral("记录为本期投注"));
    auto* recordRow = new QHBoxLayout;
    recordRow->addWidget(m_recordLine, 1);
    recordRow->addWidget(m_play, 0, Qt::AlignTop);
    l->addLayout(recordRow);
    l->addWidget(m_chart, 1);
    split->addWidget(upper);
    split->addWidget(lower);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 1);
    v->addWidget(split, 1);

    m_status = control(new QLabel, "lblFilterStatus", QStringLiteral("状态"));
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);
    v->addWidget(m_status);
    h->addLayout(v, 1);

    // Tab follows reading order: the conditions top to bottom, then the right column.
    QList<QWidget*> order = m_panel->controls();
    order << m_direct << m_group << m_grid << m_copyStyle << m_copy << m_start << m_end << m_play;
    for (qsizetype i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(m_panel, &ConditionPanel::changed, this, &FilterWindow::conditionsChanged);
    connect(m_panel, &ConditionPanel::fromSearchRequested, this, &FilterWindow::fillFromSearch);
    connect(m_group, &QRadioButton::toggled, this, &FilterWindow::ticketChosen);
    connect(m_copy, &QPushButton::clicked, this, &FilterWindow::copyNumbers);
    connect(m_play, &QPushButton::clicked, this, &FilterWindow::recordPlay);
}

Ticket FilterWindow::ticket() const {
    return m_group->isChecked() ? Ticket::Group : Ticket::Direct;
}

void FilterWindow::conditionsChanged() {
    const auto c = m_panel->conditions();
    m_conditionsRead = c.has_value();
    if (!c) {
        showLine(m_count, c.error().text, true);
        m_kept.reset();
        m_directModel->setKept(m_kept);
        m_groupModel->setKept(m_kept);
        m_record.reset();
        m_recordLine->clear();
        m_chart->clear();
        offerPlay();
        return;
    }
    m_conditions = *c;
    m_kept = stats::keptNumbers(m_conditions);
    m_directModel->setKept(m_kept);
    m_groupModel->setKept(m_kept);
    showCount();
    m_count->setToolTip(qs(stats::describeConditions(m_conditions)));
    m_saveTimer->start();
    refreshRecord();
}

void FilterWindow::showCount() {
    if (!m_conditionsRead)
        return;
    const auto kept = static_cast<long long>(m_kept.count());
    QString line = QStringLiteral("保留 %1 注（%2），合 %3 组组选")
                       .arg(qs(groupedCount(kept)), qs(stats::percentText(static_cast<double>(kept) / 1000)))
                       .arg(m_groupModel->rowCount());
    // A 豹子 has no 组选 ticket: with 组选 chosen, the count says what is left out.
    int leopards = 0;
    for (int d = 0; d < 10; ++d)
        leopards += m_kept[static_cast<std::size_t>(111 * d)] ? 1 : 0;
    if (ticket() == Ticket::Group && leopards > 0)
        line += QStringLiteral("（豹子 %1 注不能买组选）").arg(leopards);
    showLine(m_count, line);
}

std::optional<stats::RowRange> FilterWindow::chosenRange(QString* problem) const {
    const SearchIndex& index = m_workspace.searchIndex();
    std::array<std::int32_t, 2> ends = {INT32_MIN, INT32_MAX};
    for (std::size_t i = 0; i < 2; ++i) {
        const QString text = (i == 0 ? m_start : m_end)->text().trimmed();
        if (text.isEmpty())
            continue;
        const auto issue = parseWholeNumber(text.toStdString(), INT32_MIN, INT32_MAX);
        if (!issue) {
            *problem = QStringLiteral("%1“%2”不是整数期号。")
                           .arg(i == 0 ? QStringLiteral("起始期号") : QStringLiteral("截止期号"), text);
            return std::nullopt;
        }
        ends[i] = static_cast<std::int32_t>(*issue);
    }
    if (ends[0] > ends[1]) {
        *problem = QStringLiteral("起始期号大于截止期号，请改正后再看历史战绩。");
        return std::nullopt;
    }
    return stats::issueRange(index, ends[0], ends[1]);
}

void FilterWindow::refreshRecord() {
    const SearchIndex& index = m_workspace.searchIndex();
    // The boxes show the whole history until the user narrows it.
    const HistorySnapshot& h = index.history();
    m_start->setPlaceholderText(h.empty() ? QString() : QString::number(h.first()->sqqh));
    m_end->setPlaceholderText(h.empty() ? QString() : QString::number(h.last()->sqqh));
    offerPlay();
    if (!m_conditionsRead)
        return;
    QString problem;
    const auto range = chosenRange(&problem);
    if (!range) {
        m_record.reset();
        showLine(m_recordLine, problem, true);
        m_chart->clear();
        return;
    }
    const stats::DrawDigits digits = stats::drawDigits(index);
    m_record = stats::filterRecord(m_kept, digits, *range, ticket());
    QString line = qs(stats::recordLine(*m_record));
    if (!range->empty())
        line = QStringLiteral("第 %1～%2 期：")
                   .arg(index.issue(range->first))
                   .arg(index.issue(range->last - 1)) +
               line;
    showLine(m_recordLine, line);
    m_directModel->setNote(line);
    m_groupModel->setNote(line);
    m_chart->setCurve(stats::netCurve(m_kept, digits, *range, kCurvePoints, ticket()),
                      m_record->expectedWon - static_cast<double>(stats::kTicketYuan * m_record->tickets));
}

void FilterWindow::ticketChosen(bool grouped) {
    m_grid->setModel(grouped ? m_groupModel : m_directModel);
    m_settings.writeFlag(kGroupTicketKey, grouped);
    showCount();
    refreshRecord();
}

void FilterWindow::offerPlay() {
    QString why;
    if (!m_conditionsRead)
        why = QStringLiteral("条件有误，请先改正条件");
    else if (m_workspace.history().empty())
        why = QStringLiteral("历史号码为空，无从确定下一期的期号");
    else if (stats::ticketsOf(m_kept, ticket()).empty())
        why = m_kept.none() ? QStringLiteral("没有号码同时满足这些条件")
                            : QStringLiteral("保留的号码都是豹子，豹子不能买组选");
    m_play->setEnabled(why.isEmpty());
    m_play->setToolTip(why.isEmpty()
                           ? QStringLiteral("把保留的号码按%1记为下一期的投注，开奖后计算中奖和盈亏")
                                 .arg(qs(ticketCaption(ticket())))
                           : why + QStringLiteral("。"));
}

void FilterWindow::recordPlay() {
    const QString title = QStringLiteral("记录为本期投注");
    if (!m_conditionsRead || m_workspace.history().empty() || !m_workspace.requireStore())
        return;
    Play play;
    play.issue = proposedIssue(m_workspace.history().last()->sqqh, chinaYear(now()));
    play.conditions = stats::describeConditions(m_conditions);
    play.ticket = ticket();
    play.numbers = stats::ticketsOf(m_kept, play.ticket);
    const long long cost = stats::kTicketYuan * static_cast<long long>(play.numbers.size());
    const QString unit = play.ticket == Ticket::Group ? QStringLiteral("组") : QStringLiteral("注");
    const QString what = QStringLiteral("%1 %2 %3，花费 %4 元")
                             .arg(qs(ticketCaption(play.ticket)))
                             .arg(countText(static_cast<long long>(play.numbers.size())))
                             .arg(unit, qs(groupedCount(cost)));
    if (!Dialogs::confirm(this, title,
                          QStringLiteral("把保留的号码记为第 %1 期的投注（%2）？\n缩水条件：%3")
                              .arg(play.issue)
                              .arg(what, qs(play.conditions))))
        return;
    auto stored = PredictionLog::recordPlay(*m_workspace.store(), play);
    if (!stored) {
        Dialogs::warn(this, title, qs(stored.error().message));
        return;
    }
    const QString said =
        QStringLiteral("已记录第 %1 期的投注：%2（编号 %3）。").arg(stored->issue).arg(what).arg(stored->id);
    showStatus(said);
    emit playRecorded();
    Dialogs::inform(this, title, said);
}

void FilterWindow::copyNumbers() {
    const auto* model = static_cast<const KeptGridModel*>(m_grid->model());
    const QStringList numbers = model->numbers();
    const bool lines = m_copyStyle->currentIndex() == 0;
    QApplication::clipboard()->setText(numbers.join(lines ? QStringLiteral("\n") : QStringLiteral(" ")) +
                                       (lines && !numbers.isEmpty() ? QStringLiteral("\n") : QString()));
    showStatus(QStringLiteral("已复制 %1 %2号码。")
                   .arg(countText(numbers.size()))
                   .arg(m_group->isChecked() ? QStringLiteral("组组选") : QStringLiteral("注直选")));
}

void FilterWindow::exportNumbers() {
    if (const auto c = m_panel->conditions(); !c) {
        Dialogs::warn(this, QStringLiteral("导出到EXCEL"),
                      QStringLiteral("条件有误，未导出：") + c.error().text);
        return;
    }
    const auto* model = static_cast<const KeptGridModel*>(m_grid->model());
    const QString line =
        exportGrid(this, m_workspace.dataFolder(), m_workspace.game(), *model, kFilterSheetFile,
                   QStringLiteral("缩水条件：") + qs(stats::describeConditions(m_conditions)));
    if (!line.isEmpty())
        showStatus(line);
}

void FilterWindow::fillFromSearch() {
    const QString title = QStringLiteral("取当前检索结果");
    const auto tally = m_tally ? m_tally() : std::nullopt;
    if (!tally || tally->outcomes.empty() || tally->positions.empty()) {
        Dialogs::inform(this, title,
                        QStringLiteral("主窗口还没有统计结果。请先在主窗口检索，再取检索结果。"));
        return;
    }
    auto c = m_panel->conditions();
    if (!c) {
        Dialogs::warn(this, title, c.error().text);
        c.error().box->setFocus(Qt::OtherFocusReason);
        return;
    }
    QStringList where;
    for (int p : tally->positions)
        where << QString::number(p);
    const int most = static_cast<int>(tally->outcomes.size());
    const auto answer = Dialogs::input(this, title,
                                       QStringLiteral("取统计结果的前几名作为第%1位的定位？（1～%2）")
                                           .arg(where.join(QStringLiteral("、")))
                                           .arg(most),
                                       QString::number(std::min(3, most)));
    if (!answer)
        return;
    const auto k = parseWholeNumber(answer->toStdString(), 1, most);
    if (!k) {
        Dialogs::warn(this, title, QStringLiteral("请输入 1～%1 的整数。").arg(most));
        return;
    }
    std::uint32_t digits = 0;
    for (long long i = 0; i < *k; ++i)
        digits |= tally->outcomes[static_cast<std::size_t>(i)];
    for (int p : tally->positions)
        (*c)[stats::positionField(p)] = digits;
    m_panel->setConditions(*c);
    showStatus(QStringLiteral("已按检索结果的前 %1 名填入第%2位定位：%3。")
                   .arg(*k)
                   .arg(where.join(QStringLiteral("、")), qs(stats::fieldText(stats::Field::Pos1, digits))));
}

void FilterWindow::showStatus(const QString& text) {
    m_status->setText(sentence(text));
}

} // namespace brenvik::ui
