// SPDX-License-Identifier: GPL-3.0-or-later
// The search column: what its controls mean, the pattern taken from the history, and the two
// searches, which take their conditions from the controls as they stand and from nothing else.
#include "SearchPanel.h"

#include "AppPaths.h"
#include "BusyCursor.h"
#include "CombinationSearch.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "FollowSearch.h"
#include "IssueNumber.h"
#include "PanelParts.h"
#include "PatternSource.h"
#include "SettingsStore.h"
#include "Workspace.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>

#include <memory>

namespace brenvik::ui {

namespace {

// The number a pattern box holds, when it holds a 16-bit whole number.
std::optional<int> boxNumber(const QLineEdit* box) {
    if (auto v = parseWholeNumber(box->text().toStdString(), -32768, 32767))
        return static_cast<int>(*v);
    return std::nullopt;
}

// The issue a range box holds; the refusal names the box.
std::expected<std::int32_t, QString> rangeIssue(const QLineEdit* box, const QString& name) {
    const QString text = box->text().trimmed();
    if (const auto v = parseWholeNumber(text.toStdString(), INT32_MIN, INT32_MAX))
        return static_cast<std::int32_t>(*v);
    return std::unexpected(text.isEmpty() ? QStringLiteral("%1为空，请填写一个期号，未检索。").arg(name)
                                          : QStringLiteral("%1“%2”不是整数期号，未检索。").arg(name, text));
}

// A draw's positions: a combination takes 1, 2 or all 3 of them.
constexpr int kMostCombined = 3;

template <std::size_t N> int checkedIndex(const std::array<QRadioButton*, N>& buttons, int fallback) {
    for (std::size_t i = 0; i < N; ++i)
        if (buttons[i] && buttons[i]->isChecked())
            return static_cast<int>(i);
    return fallback;
}

} // namespace

SearchPanel::SearchPanel(Workspace& workspace, SettingsStore& settings, QWidget* parent)
    : QScrollArea(parent), m_workspace(workspace), m_settings(settings) {
    auto* column = new QWidget;
    build(column);
    Combo1->installEventFilter(this);
    // Taller than a small screen: the column scrolls, its width stays.
    setObjectName(QStringLiteral("optionsScroll"));
    setFrameShape(QFrame::NoFrame);
    setWidgetResizable(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setWidget(column);
    setFocusPolicy(Qt::NoFocus);
    setScrollsItself(true);
    connectControls();
}

QList<QWidget*> SearchPanel::readingOrder() const {
    // The groups row by row, each top to bottom; then the pattern tab and its positions (the third
    // with its chosen issue), the range, the search buttons and the combination search.
    QList<QWidget*> order = {Option1[1], Option1[0], Option1[3], Option1[2],
                             MaskEdBox2, Option2[4], Option2[5]};
    for (const auto* group : {&Option3, &Option4})
        for (QRadioButton* b : *group)
            order << b;
    order << Option5[1] << Option5[2] << Option5[3] << TabStrip1;
    for (int tab = 0; tab < 3; ++tab) {
        const auto checks = positionChecks(tab);
        const auto boxes = patternBoxes(tab);
        for (std::size_t p = 0; p < 3; ++p)
            order << checks[p] << boxes[p];
    }
    order << Text4 << Check4 << Text3[0] << Text3[1] << Command1 << cmdSuoshui << cmdHuice << Combo1
          << Option6[0] << Option6[1] << Command2;
    return order;
}

int SearchPanel::columnWidth() const {
    return widget()->width();
}

int SearchPanel::scrollBarWidth() const {
    return verticalScrollBar()->sizeHint().width();
}

void SearchPanel::setScrollsItself(bool scrolls) {
    setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAsNeeded : Qt::ScrollBarAlwaysOff);
    setFixedWidth(columnWidth() + (scrolls ? scrollBarWidth() : 0) + 2 * frameWidth());
    const int full = widget()->sizeHint().height() + 2 * frameWidth();
    setMinimumHeight(scrolls ? 120 : full);
    setMaximumHeight(scrolls ? QWIDGETSIZE_MAX : full);
}

void SearchPanel::connectControls() {
    // Each option acts when it is chosen, however it is chosen: by the mouse, the keys, a screen
    // reader's action or the program.
    for (int i = 0; i < 4; ++i) {
        onChosen(Option1[i], this, [this] { patternSourceChosen(); });
        onChosen(Option3[i], this, [this, i] { searchTypeChosen(i); });
        onChosen(Option4[i], this, [this, i] { m_settings.writeInt(keys::intXianshiLei, i); });
    }
    for (int i = 1; i <= 3; ++i)
        onChosen(Option5[i], this, [this, i] { m_settings.writeInt(keys::intConsqSort, i); });
    for (int i : {4, 5})
        onChosen(Option2[i], this, [this] { groupChosen(); });
    for (int i = 0; i < 2; ++i)
        onChosen(Option6[i], this, [this, i] { m_settings.writeFlag(keys::bolZhpm, i != 0); });
    // The first two tabs keep their boxes as they stand, edits included; the third loads its
    // boxes from the draw before the chosen issue.
    connect(TabStrip1, &QTabWidget::currentChanged, this, [this](int tab) { tabChosen(tab); });
    connect(Check4, &QCheckBox::toggled, this, [this] { limitToIssueToggled(); });
    connect(Text4, &QLineEdit::editingFinished, this, [this] { chosenIssueEdited(); });
    connect(MaskEdBox2, &DigitBox::focusLost, this, [this] { earlierDrawsEdited(); });
    // A size picked from the list counts at once; one typed counts when the box is left.
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { takeCombinationSize(); });
    connect(Command1, &QPushButton::clicked, this, [this] { searchRequested(false); });
    connect(cmdHuice, &QPushButton::clicked, this, &SearchPanel::openBacktest);
    connect(cmdSuoshui, &QPushButton::clicked, this, &SearchPanel::filterRequested);
    connect(Command2, &QPushButton::clicked, this, [this] { searchRequested(true); });

    // Enter in a box of the searches runs the search the box belongs to.
    for (QLineEdit* box : findChildren<QLineEdit*>())
        connect(box, &QLineEdit::returnPressed, this,
                [this, combination = box == Combo1->lineEdit()] { searchRequested(combination); });
    // Any change of what a search depends on leaves the results shown as those of earlier
    // conditions.
    for (QAbstractButton* b : findChildren<QAbstractButton*>())
        if (!qobject_cast<QPushButton*>(b))
            connect(b, &QAbstractButton::toggled, this, &SearchPanel::conditionsEdited);
    for (QLineEdit* box : findChildren<QLineEdit*>())
        connect(box, &QLineEdit::textChanged, this, &SearchPanel::conditionsEdited);
    connect(TabStrip1, &QTabWidget::currentChanged, this, &SearchPanel::conditionsEdited);

    connect(&m_workspace, &Workspace::gameChanged, this, [this] { clearDrawDescriptions(); });
    connect(&m_workspace, &Workspace::issueProposed, this,
            [this](std::int32_t issue) { Text4->setText(QString::number(issue)); });
    connect(&m_workspace, &Workspace::historyChanged, this, &SearchPanel::historyChanged);
}

void SearchPanel::showSettings(const SettingsValues& saved) {
    // What the handlers would reload from these (range, pattern) follows when the history opens,
    // and what they would save is what was read.
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (QAbstractButton* b : findChildren<QAbstractButton*>())
        quiet.push_back(std::make_unique<QSignalBlocker>(b));
    quiet.push_back(std::make_unique<QSignalBlocker>(Combo1));
    Option1[1]->setChecked(saved.bolZyw);
    Option1[0]->setChecked(!saved.bolZyw);
    Option1[3]->setChecked(saved.bolSq);
    Option1[2]->setChecked(!saved.bolSq);
    Option2[5]->setChecked(saved.bolZuxuan);
    Option2[4]->setChecked(!saved.bolZuxuan);
    Option5[saved.intConsqSort]->setChecked(true);
    Option4[saved.intXianshiLei]->setChecked(true);
    Option6[saved.bolZhpm ? 1 : 0]->setChecked(true);
    MaskEdBox2->setText(QString::number(saved.intPreQi));
    Combo1->setEditText(QString::number(saved.intZhWSetup));
    Option3[saved.intLei]->setChecked(true);
}

// ---------------------------------------------------------------------------------------------
// The pattern, the chosen issue and the range, as the history has them

void SearchPanel::historyChanged(HistoryChange how) {
    const HistorySnapshot& history = m_workspace.history();
    if (history.empty())
        clearDrawDescriptions();
    switch (how) {
    case HistoryChange::Opened:
    case HistoryChange::Replaced:
        setRangeStart();
        setRangeEndToLast();
        reloadPattern();
        break;
    case HistoryChange::Trimmed:
        reloadPattern();
        // A range that reached the draws deleted ends at the newest one left.
        if (const DrawRow* last = history.last()) {
            const auto end = parseWholeNumber(Text3[1]->text().trimmed().toStdString(), INT32_MIN, INT32_MAX);
            if (!end || *end > last->sqqh)
                Text3[1]->setText(QString::number(last->sqqh));
        }
        break;
    case HistoryChange::Appended:
        reloadPattern();
        // The range reaches up to the issue after the one just typed in.
        if (const DrawRow* last = history.last())
            Text3[1]->setText(QString::number(last->sqqh + 1));
        if (Text3[0]->text().isEmpty())
            setRangeStart();
        break;
    }
}

void SearchPanel::clearDrawDescriptions() {
    // Nothing is left that the chosen issue, the patterns or the range could describe.
    for (QLineEdit* box :
         {Text4, Text3[0], Text3[1], Text2[1], Text2[2], Text2[3], Text2[11], Text2[12], Text2[13]})
        box->clear();
}

int SearchPanel::currentTab() const {
    return TabStrip1->currentIndex();
}

bool SearchPanel::lastDrawChosen() const {
    return !Option1[2]->isChecked();
}

int SearchPanel::earlierDraws() const {
    // An empty box or 0 names no earlier draw: the N saved last stays in force.
    const int n = MaskEdBox2->digit();
    return n >= 1 ? n : m_settings.read().intPreQi;
}

std::array<QLineEdit*, 3> SearchPanel::patternBoxes(int tab) const {
    if (tab == 1)
        return {Text22[1], Text22[2], Text22[3]};
    const int base = tab == 2 ? 10 : 0;
    return {Text2[base + 1], Text2[base + 2], Text2[base + 3]};
}

std::array<QCheckBox*, 3> SearchPanel::positionChecks(int tab) const {
    if (tab == 1)
        return {Check11[1], Check11[2], Check11[3]};
    const int base = tab == 2 ? 10 : 0;
    return {Check1[base + 1], Check1[base + 2], Check1[base + 3]};
}

std::array<std::optional<int>, 3> SearchPanel::pattern() const {
    std::array<std::optional<int>, 3> shown;
    const auto boxes = patternBoxes(currentTab());
    for (std::size_t p = 0; p < 3; ++p)
        shown[p] = boxNumber(boxes[p]);
    return shown;
}

void SearchPanel::reloadPattern() {
    // The boxes that show a pattern taken from the history follow its source at once, the first
    // tab's whichever tab is in view, so that no box shows a value of another kind or draw.
    if (const auto pattern = patternFromHistory(m_workspace.history(), lastDrawChosen(), earlierDraws(),
                                                static_cast<Kind>(checkedIndex(Option3, 0))))
        for (int p = 1; p <= 3; ++p)
            Text2[p]->setText(QString::number((*pattern)[p - 1]));
    // Selecting the third tab loads its boxes anyway.
    if (currentTab() == 2)
        YSJS();
}

void SearchPanel::YSJS() {
    // Without a pattern before the chosen issue the boxes and the range stay as they are; a search
    // from this tab says why it cannot run.
    const auto chosen = parseIssue(Text4->text().toStdString());
    if (!chosen)
        return;
    const HistorySnapshot& history = m_workspace.history();
    const auto before = patternBeforeIssue(history, *chosen, lastDrawChosen(), earlierDraws(),
                                           static_cast<Kind>(checkedIndex(Option3, 0)));
    if (!before || !before->pattern)
        return;
    const std::int32_t end = Check4->isChecked() ? history[before->reached].sqqh : history.last()->sqqh;
    Text3[1]->setText(QString::number(end));
    for (int p = 1; p <= 3; ++p)
        Text2[10 + p]->setText(QString::number((*before->pattern)[p - 1]));
}

void SearchPanel::setRangeStart() {
    if (const DrawRow* first = m_workspace.history().first())
        Text3[0]->setText(QString::number(rangeStart(first->sqqh, lastDrawChosen(), earlierDraws())));
}

void SearchPanel::setRangeEndToLast() {
    if (const DrawRow* last = m_workspace.history().last())
        Text3[1]->setText(QString::number(last->sqqh));
}

// ---------------------------------------------------------------------------------------------
// Changes of the controls

void SearchPanel::patternSourceChosen() {
    m_settings.writeFlag(keys::bolZyw, Option1[1]->isChecked());
    m_settings.writeFlag(keys::bolSq, lastDrawChosen());
    reloadPattern();
    setRangeStart();
}

void SearchPanel::groupChosen() {
    m_settings.writeFlag(keys::bolZuxuan, Option2[5]->isChecked());
    m_settings.writeFlag(keys::bolSq, lastDrawChosen());
    reloadPattern();
}

void SearchPanel::searchTypeChosen(int kind) {
    reloadPattern();
    m_settings.writeInt(keys::intLei, kind);
}

void SearchPanel::tabChosen(int tab) {
    if (tab == 2) {
        YSJS();
        return;
    }
    // 仅检索该期前 limits the chosen-issue tab's searches only: on the other tabs the range runs
    // to the newest draw again, and the status bar says why it changed.
    if (Check4->isChecked()) {
        const QString before = Text3[1]->text();
        setRangeEndToLast();
        if (Text3[1]->text() != before)
            emit status(QStringLiteral("“仅检索该期前”只用于“验证指定期”：检索范围已恢复到最新一期 %1。")
                            .arg(Text3[1]->text()));
    }
}

void SearchPanel::limitToIssueToggled() {
    // Ticked elsewhere than on its tab (by a script), it waits for its tab.
    if (currentTab() != 2)
        return;
    if (Check4->isChecked()) {
        const auto chosen = parseIssue(Text4->text().toStdString());
        if (!chosen) {
            const QSignalBlocker quiet(Check4);
            Check4->setChecked(false);
            Dialogs::warn(
                this, QStringLiteral("仅检索该期前"),
                QStringLiteral("“%1”不是七位期号（例如 2014016），检索范围未改变。").arg(Text4->text()));
            return;
        }
        Text3[1]->setText(QString::number(issueBefore(*chosen)));
    } else {
        setRangeEndToLast();
    }
}

void SearchPanel::chosenIssueEdited() {
    // Only a changed issue reloads the third tab, so that passing through the box keeps the
    // user's edits of its pattern.
    if (!Text4->isModified())
        return;
    Text4->setModified(false);
    if (currentTab() == 2)
        YSJS();
}

void SearchPanel::earlierDrawsEdited() {
    // An empty box or 0 names no earlier draw: the N in force stays, and a search that needs N
    // is refused while the box shows no count.
    const int n = MaskEdBox2->digit();
    if (n < 1 || n == m_settings.read().intPreQi)
        return;
    m_settings.writeInt(keys::intPreQi, n);
    reloadPattern();
    setRangeStart();
}

bool SearchPanel::takeCombinationSize() {
    // Saved once the box is left with a size in it; anything else waits for the search to refuse it.
    const auto size = parseWholeNumber(Combo1->currentText().toStdString(), 1, kMostCombined);
    if (!size)
        return false;
    if (*size != m_settings.read().intZhWSetup)
        m_settings.writeInt(keys::intZhWSetup, static_cast<int>(*size));
    return true;
}

void SearchPanel::takeFocusedEdit() {
    // A button pressed by its accelerator key, or Enter in a box, does not take the focus, so an
    // edit the user has not left yet is taken here, as leaving it would.
    QWidget* focus = QApplication::focusWidget();
    if (focus == MaskEdBox2)
        earlierDrawsEdited();
    else if (focus == Text4)
        chosenIssueEdited();
    else if (focus == Combo1 || focus == Combo1->lineEdit())
        takeCombinationSize();
}

bool SearchPanel::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Combo1 && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            takeCombinationSize();
    }
    return QScrollArea::eventFilter(watched, event);
}

// ---------------------------------------------------------------------------------------------
// The searches

std::expected<SearchConditions, SearchPanel::Refusal> SearchPanel::conditions(bool combination) const {
    using std::unexpected;
    const HistorySnapshot& history = m_workspace.history();
    if (history.empty())
        return unexpected(
            Refusal{nullptr, QStringLiteral("历史号码为空，无法检索。请先读取历史号文本、在线更新，"
                                            "或在左上方的三个格子里逐期输入历史号码。")});
    SearchConditions c;
    c.game = displayName(m_workspace.game());
    c.combination = combination;
    c.freePositions = !Option1[0]->isChecked();
    c.lastDraw = lastDrawChosen();
    if (!c.lastDraw) {
        const int n = MaskEdBox2->digit();
        if (n < 1)
            return unexpected(Refusal{
                MaskEdBox2,
                QStringLiteral("“前 N 期”的 N 须为 1 到 9，现在是“%1”，未检索。").arg(MaskEdBox2->text())});
        c.n = n;
    }
    c.searchType = static_cast<Kind>(checkedIndex(Option3, 0));
    c.pattern = pattern();
    if (auto refused = outOfKind(c, combination))
        return unexpected(*refused);
    if (combination) {
        // A draw has three positions: no combination of more of them can agree with the pattern.
        const QString text = Combo1->currentText().trimmed();
        const auto size = parseWholeNumber(text.toStdString(), 1, kMostCombined);
        if (!size)
            return unexpected(
                Refusal{Combo1, QStringLiteral("组合位数须为 1 到 %1 的整数，现在是“%2”，未检索。")
                                    .arg(kMostCombined)
                                    .arg(text)});
        c.size = static_cast<int>(*size);
    } else {
        const auto checks = positionChecks(currentTab());
        for (std::size_t p = 0; p < 3; ++p)
            c.checked[p] = checks[p]->isChecked();
    }
    if (currentTab() == 2) {
        // The third tab's pattern means something only beside a draw before the chosen issue.
        const auto chosen = parseIssue(Text4->text().toStdString());
        if (!chosen)
            return unexpected(Refusal{
                Text4,
                QStringLiteral("指定期号“%1”不是七位期号（例如 2014016），未检索。").arg(Text4->text())});
        const auto before = patternBeforeIssue(history, *chosen, c.lastDraw, c.n, c.searchType);
        if (!before || !before->pattern)
            return unexpected(
                Refusal{Text4, qs(noPatternBefore(*chosen, c.lastDraw, c.n)) + QStringLiteral("未检索。")});
        c.before = *chosen;
    }
    const auto start = rangeIssue(Text3[0], QStringLiteral("起始期号"));
    if (!start)
        return unexpected(Refusal{Text3[0], start.error()});
    const auto end = rangeIssue(Text3[1], QStringLiteral("截止期号"));
    if (!end)
        return unexpected(Refusal{Text3[1], end.error()});
    // Read backwards the range holds nothing, and an empty tally would pass for an answer.
    if (*start > *end)
        return unexpected(
            Refusal{Text3[0], reversedRange(Label3[0]->text(), *start, Label3[1]->text(), *end) +
                                  QStringLiteral("，未检索。")});
    c.rangeStart = *start;
    c.rangeEnd = *end;
    c.resultKind = static_cast<Kind>(checkedIndex(Option4, 0));
    c.resultPosition = std::max(1, checkedIndex(Option5, 1));
    c.group = Option2[5]->isChecked();
    c.segmentParam = m_workspace.segmentParam();
    return c;
}

std::optional<SearchPanel::Refusal> SearchPanel::outOfKind(const SearchConditions& c,
                                                           bool combination) const {
    // A value the search type never takes finds no draw through its position: said, not searched.
    int low = 0;
    int high = 9;
    QString values = QStringLiteral("号码只有 0 到 9");
    switch (c.searchType) {
    case Kind::Number:
        break;
    case Kind::BigSmall:
        high = 1;
        values = QStringLiteral("大小只有 0（小）和 1（大）");
        break;
    case Kind::OddEven:
        high = 1;
        values = QStringLiteral("单双只有 0（双）和 1（单）");
        break;
    case Kind::Segment:
        low = m_workspace.segmentParam();
        high = low + 4;
        values = QStringLiteral("段数只有 %1 到 %2（段数参数%1~%2）").arg(low).arg(high);
        break;
    }
    const int tab = currentTab();
    const auto boxes = patternBoxes(tab);
    const auto checks = positionChecks(tab);
    for (std::size_t p = 0; p < 3; ++p) {
        const auto& v = c.pattern[p];
        if (!v || (*v >= low && *v <= high) || (!combination && !checks[p]->isChecked()))
            continue;
        return Refusal{boxes[p], QStringLiteral("“%1”第%2位是 %3，%4，未检索。")
                                     .arg(TabStrip1->tabText(tab))
                                     .arg(p + 1)
                                     .arg(*v)
                                     .arg(values)};
    }
    return std::nullopt;
}

void SearchPanel::refuse(const Refusal& refusal) {
    // A box that stays until it is read: the search's own status line cannot cover it.
    Dialogs::warn(this, QStringLiteral("检索条件"), refusal.text);
    if (refusal.box) {
        refusal.box->setFocus(Qt::OtherFocusReason);
        if (auto* edit = qobject_cast<QLineEdit*>(refusal.box))
            edit->selectAll();
        else if (auto* combo = qobject_cast<QComboBox*>(refusal.box))
            combo->lineEdit()->selectAll();
    }
}

void SearchPanel::searchRequested(bool combination) {
    takeFocusedEdit();
    // A size chosen from the list counts once the button is pressed, as leaving the box would.
    if (combination)
        takeCombinationSize();
    constexpr int segment = static_cast<int>(Kind::Segment);
    if (checkedIndex(Option3, 0) == segment || checkedIndex(Option4, 0) == segment)
        emit segmentsNeeded();
    const auto c = conditions(combination);
    if (!c) {
        refuse(c.error());
        return;
    }
    BusyCursor busy;
    const SearchIndex& index = m_workspace.searchIndex();
    const Selection s =
        combination ? combinationSearch(index, c->combinationQuery()) : followSearch(index, c->followQuery());
    emit searched(*c, s.rows);
}

} // namespace brenvik::ui
