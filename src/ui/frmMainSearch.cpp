// The two searches: reading the options, running the engines, filling the grids and the tally.
#include "AppPaths.h"
#include "BusyCursor.h"
#include "CombinationSearch.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "FollowSearch.h"
#include "HistoryRebuild.h"
#include "IssueNumber.h"
#include "Tally.h"
#include "UndoBackup.h"
#include "frmMain.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>

namespace brenvik::ui {

const SearchIndex& frmMain::searchIndex() {
    if (!m_index || m_index->snapshot() != m_snapshot)
        m_index = std::make_shared<const SearchIndex>(m_snapshot);
    return *m_index;
}

std::optional<std::pair<std::int32_t, std::int32_t>> frmMain::searchRange() {
    const auto start = parseWholeNumber(Text3[0]->text().toStdString(), INT32_MIN, INT32_MAX);
    const auto end = parseWholeNumber(Text3[1]->text().toStdString(), INT32_MIN, INT32_MAX);
    if (!start || !end) {
        Dialogs::warn(this, QStringLiteral("检索起止期数"),
                      QStringLiteral("检索起止期数必须是整数期号，未检索。"));
        return std::nullopt;
    }
    return std::pair{static_cast<std::int32_t>(*start), static_cast<std::int32_t>(*end)};
}

SearchQuery frmMain::searchQuery(std::pair<std::int32_t, std::int32_t> range) const {
    SearchQuery q;
    q.freePositions = !Option1[0]->isChecked();
    q.lastDraw = m_set.bolSq;
    q.n = m_set.intPreQi;
    q.searchType = static_cast<Kind>(m_set.intLei);
    q.pattern = m_pattern;
    q.rangeStart = range.first;
    q.rangeEnd = range.second;
    return q;
}

std::array<bool, 3> frmMain::checkedPositions() const {
    std::array<bool, 3> checked{};
    for (int p = 1; p <= 3; ++p) {
        if (m_manualPattern)
            checked[p - 1] = Check11[p]->isChecked();
        else if (currentTab() == 0)
            checked[p - 1] = Check1[p]->isChecked();
        else
            checked[p - 1] = Check1[10 + p]->isChecked();
    }
    return checked;
}

void frmMain::takeFocusedEdit() {
    // A button pressed by its accelerator key does not take the focus, so an edit the user has
    // not left yet is taken here, as leaving it would.
    QWidget* focus = QApplication::focusWidget();
    for (int p = 1; p <= 3; ++p)
        if (focus == Text22[p])
            Text22_LostFocus(p);
    if (focus == MaskEdBox2)
        MaskEdBox2_LostFocus();
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
    takeFocusedEdit();
    offerSegmentRebuild();
    const auto range = searchRange();
    if (!range)
        return;
    BusyCursor busy;
    FollowQuery q{searchQuery(*range)};
    q.checked = checkedPositions();
    const Selection s = followSearch(searchIndex(), q);
    showResults(s.rows, QStringLiteral("检索"));
}

bool frmMain::takeCombinationSize() {
    const QString text = Combo1->currentText();
    const auto size = parseWholeNumber(text.toStdString(), 1, 32767);
    if (!size) {
        Combo1->setEditText(QString::number(m_set.intZhWSetup));
        status(
            QStringLiteral("组合位数“%1”不是 1 到 32767 的整数，仍为 %2。").arg(text).arg(m_set.intZhWSetup));
        return false;
    }
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
    takeFocusedEdit();
    // The size typed or chosen counts once the box is left, which pressing the button does.
    if (!takeCombinationSize())
        return;
    offerSegmentRebuild();
    const auto range = searchRange();
    if (!range)
        return;
    BusyCursor busy;
    CombinationQuery q{searchQuery(*range)};
    q.size = m_set.intZhWSetup;
    const Selection s = combinationSearch(searchIndex(), q);
    showResults(s.rows, QStringLiteral("组合检索"));
}

void frmMain::showResults(const std::vector<std::uint32_t>& rows, const QString& what) {
    const SearchIndex& index = searchIndex();
    const Kind resultKind = static_cast<Kind>(m_set.intXianshiLei);
    m_matchedModel->setRows(matchedRowsOf(index, rows, resultKind, m_set.bolSq, m_set.intPreQi), m_set.bolSq);

    const Tally tally =
        tallyOutcomes(index.history(), rows, resultKind, m_set.intConsqSort, m_set.bolZuxuan, m_set.DsIni);
    m_resultModel->setTally(tally);

    QString line =
        QStringLiteral("%1：找到 %2 期，统计 %3 个结果。").arg(what).arg(rows.size()).arg(tally.denominator);
    line += QString::fromStdString(droppedNote(tally));
    if (m_store) {
        if (auto stored = m_store->writeTally(tally.byOutcome); !stored)
            line += QStringLiteral(" 统计表未能写入：") + qs(stored.error().message);
    }
    status(line);
}

} // namespace brenvik::ui
