// The two searches: reading the options, running the engines, filling the grids and the tally.
#include "AppPaths.h"
#include "BusyCursor.h"
#include "CombinationSearch.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "FollowSearch.h"
#include "HistoryRebuild.h"
#include "IssueNumber.h"
#include "PatternSource.h"
#include "Settings.h"
#include "Tally.h"
#include "UndoBackup.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>

namespace brenvik::ui {

const SearchIndex& frmMain::searchIndex() {
    // Set with every snapshot; only a snapshot swapped without it gets its index here.
    if (!m_index || m_index->snapshot() != m_snapshot)
        m_index = std::make_shared<const SearchIndex>(m_snapshot);
    return *m_index;
}

namespace {

// The issue a range box holds; the refusal names the box.
std::expected<std::int32_t, QString> rangeIssue(const QLineEdit* box, const QString& name) {
    const QString text = box->text().trimmed();
    if (const auto v = parseWholeNumber(text.toStdString(), INT32_MIN, INT32_MAX))
        return static_cast<std::int32_t>(*v);
    return std::unexpected(text.isEmpty() ? QStringLiteral("%1为空，请填写一个期号，未检索。").arg(name)
                                          : QStringLiteral("%1“%2”不是整数期号，未检索。").arg(name, text));
}

template <std::size_t N> int checkedIndex(const std::array<QRadioButton*, N>& buttons, int fallback) {
    for (std::size_t i = 0; i < N; ++i)
        if (buttons[i] && buttons[i]->isChecked())
            return static_cast<int>(i);
    return fallback;
}

} // namespace

std::expected<SearchConditions, frmMain::Refusal> frmMain::conditions(bool combination) const {
    using std::unexpected;
    if (m_snapshot->empty())
        return unexpected(
            Refusal{nullptr, QStringLiteral("历史号码为空，无法检索。请先读取历史号文本、在线更新，"
                                            "或在左上方的三个格子里逐期输入历史号码。")});
    SearchConditions c;
    c.game = displayName(m_game);
    c.combination = combination;
    c.freePositions = !Option1[0]->isChecked();
    c.lastDraw = !Option1[2]->isChecked();
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
    if (combination) {
        const QString text = Combo1->currentText().trimmed();
        const auto size = parseWholeNumber(text.toStdString(), 1, 32767);
        if (!size)
            return unexpected(
                Refusal{Combo1, QStringLiteral("组合位数“%1”不是 1 到 32767 的整数，未检索。").arg(text)});
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
        const auto before = patternBeforeIssue(*m_snapshot, *chosen, c.lastDraw, c.n, c.searchType);
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
    c.rangeStart = *start;
    c.rangeEnd = *end;
    c.resultKind = static_cast<Kind>(checkedIndex(Option4, 0));
    c.resultPosition = std::max(1, checkedIndex(Option5, 1));
    c.group = Option2[5]->isChecked();
    c.segmentParam = mnuDscs[0]->isChecked() ? 0 : 1;
    return c;
}

void frmMain::refuse(const Refusal& refusal) {
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

void frmMain::takeFocusedEdit() {
    // A button pressed by its accelerator key, or Enter in a box, does not take the focus, so an
    // edit the user has not left yet is taken here, as leaving it would.
    QWidget* focus = QApplication::focusWidget();
    if (focus == MaskEdBox2)
        MaskEdBox2_LostFocus();
    else if (focus == Text4)
        Text4_LostFocus();
    else if (focus == Combo1 || focus == Combo1->lineEdit())
        takeCombinationSize();
}

void frmMain::offerSegmentRebuild() {
    constexpr int segment = static_cast<int>(Kind::Segment);
    if (m_set.intLei != segment && m_set.intXianshiLei != segment)
        return;
    if (m_segmentsCheckedOn.lock() == m_snapshot && m_segmentsCheckedParam == m_set.DsIni)
        return;
    m_segmentsCheckedOn = m_snapshot;
    m_segmentsCheckedParam = m_set.DsIni;
    const StoredSegments stored = storedSegments(*m_snapshot);
    const std::size_t off = stored.disagreeing(m_set.DsIni);
    if (off == 0)
        return;
    const auto caption = [](int param) {
        return param == 0 ? QStringLiteral("段数参数0~4") : QStringLiteral("段数参数1~5");
    };
    const QString consequence =
        QStringLiteral("段数的检索和统计会漏掉或错配一部分结果。要按当前设置重建历史号码吗？");
    const QString question =
        off == m_snapshot->size() && stored.neither == 0
            ? QStringLiteral("历史号码的段数是按“%1”写入的，与当前设置“%2”不同，")
                  .arg(caption(1 - m_set.DsIni), caption(m_set.DsIni))
            : QStringLiteral("历史号码中有 %1 期的段数不是按当前设置“%2”写入的（写入后改过段数参数），")
                  .arg(off)
                  .arg(caption(m_set.DsIni));
    if (!Dialogs::confirm(this, QStringLiteral("段数参数"), question + consequence) || !requireStore())
        return;
    BusyCursor busy;
    // Deleting down to the last draw keeps every draw and re-derives all their codes with the
    // setting in force: the rebuild the deletions use.
    const QString what = QStringLiteral("按“%1”重建").arg(caption(m_set.DsIni));
    auto rebuilt = changeWithUndo(*m_store, *m_snapshot, what.toStdString(), [&] {
        return deleteDownTo(*m_store, toPath(m_dataFolder), m_snapshot->last()->sqqh, m_set.DsIni);
    });
    Dqzd(rebuilt, what);
}

void frmMain::Command1_Click() {
    runSearch(false);
}

bool frmMain::takeCombinationSize() {
    // Saved once the box is left with a size in it; anything else waits for the search to refuse it.
    const auto size = parseWholeNumber(Combo1->currentText().toStdString(), 1, 32767);
    if (!size)
        return false;
    if (*size != m_set.intZhWSetup) {
        m_set.intZhWSetup = static_cast<int>(*size);
        m_settingsStore.writeInt(keys::intZhWSetup, m_set.intZhWSetup);
    }
    return true;
}

void frmMain::Combo1_LostFocus() {
    takeCombinationSize();
}

void frmMain::Command2_Click() {
    runSearch(true);
}

void frmMain::runSearch(bool combination) {
    takeFocusedEdit();
    // A size chosen from the list counts once the button is pressed, as leaving the box would.
    if (combination)
        takeCombinationSize();
    offerSegmentRebuild();
    const auto c = conditions(combination);
    if (!c) {
        refuse(c.error());
        return;
    }
    BusyCursor busy;
    const Selection s = combination ? combinationSearch(searchIndex(), c->combinationQuery())
                                    : followSearch(searchIndex(), c->followQuery());
    showResults(*c, s.rows);
}

void frmMain::showResults(const SearchConditions& c, const std::vector<std::uint32_t>& rows) {
    const SearchIndex& index = searchIndex();
    m_matchedModel->setMatches(MatchedDraws(m_index, rows, c.resultKind, c.lastDraw, c.n), c.lastDraw);

    const Tally tally =
        tallyOutcomes(index.history(), rows, c.resultKind, c.resultPosition, c.group, c.segmentParam);
    m_resultModel->setTally(tally);

    m_searched = c;
    m_searchedSummary = qs(conditionSummary(c, static_cast<int>(rows.size())));
    m_summary->setText(m_searchedSummary);
    m_summary->setEnabled(true);

    QString line = QStringLiteral("%1：找到 %2 期，统计 %3 个结果。")
                       .arg(c.combination ? QStringLiteral("组合检索") : QStringLiteral("检索"))
                       .arg(rows.size())
                       .arg(tally.denominator);
    line += QString::fromStdString(droppedNote(tally));
    if (m_store) {
        if (auto stored = m_store->writeTally(tally.byOutcome); !stored)
            line += QStringLiteral(" 统计表未能写入：") + qs(stored.error().message);
    }
    status(line);
}

void frmMain::conditionsChanged() {
    if (!m_searched)
        return;
    const auto now = conditions(m_searched->combination);
    const bool current = now && *now == *m_searched;
    m_summary->setEnabled(current);
    m_summary->setText(current ? m_searchedSummary
                               : QStringLiteral("条件已改变，结果为上次检索：") + m_searchedSummary);
}

} // namespace brenvik::ui
