#include "frmMain.h"

#include "AppPaths.h"
#include "Clock.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "DrawCodes.h"
#include "IssueNumber.h"
#include "PatternSource.h"
#include "UndoBackup.h"
#include "WheelScroller.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QCursor>
#include <QDir>
#include <QFocusEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>

namespace brenvik::ui {

namespace {

// The number a pattern box holds, when it holds a 16-bit whole number.
std::optional<int> boxNumber(const QLineEdit* box) {
    if (auto v = parseWholeNumber(box->text().toStdString(), -32768, 32767))
        return static_cast<int>(*v);
    return std::nullopt;
}

} // namespace

std::unique_ptr<frmMain> frmMain::open(QWidget* parent) {
    // Taken before anything is built or swept: the folder's files are this window's from here on.
    const QString folder = dataFolder();
    auto lock = FolderLock::take(toPath(folder), LockHolder::Window);
    if (!lock) {
        Dialogs::warn(parent, QStringLiteral("Brenvik"), qs(lock.error().message));
        return nullptr;
    }
    return std::unique_ptr<frmMain>(new frmMain(folder, std::move(*lock), parent));
}

frmMain::frmMain(QString dataFolder, FolderLock lock, QWidget* parent)
    : QMainWindow(parent), m_dataFolder(std::move(dataFolder)), m_lock(std::move(lock)),
      m_snapshot(std::make_shared<HistorySnapshot>()) {
    m_settingsStore.onWriteFailure([this](const QString& file) {
        status(QStringLiteral("设置未能保存到 %1。").arg(QDir::toNativeSeparators(file)));
    });
    buildWindow();
    connectHandlers();
    loadAtStartup();
}

frmMain::~frmMain() = default;

void frmMain::connectHandlers() {
    for (int i = 0; i < 4; ++i) {
        connect(Option1[i], &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
        connect(Option3[i], &QRadioButton::clicked, this, [this, i] { Option3_Click(i); });
        connect(Option4[i], &QRadioButton::clicked, this, [this, i] { Option4_Click(i); });
    }
    for (int i = 1; i <= 3; ++i) {
        connect(Option5[i], &QRadioButton::clicked, this, [this, i] { Option5_Click(i); });
        connect(MaskEdBox1[i], &QLineEdit::textChanged, this, [this, i] { MaskEdBox1_Change(i); });
        connect(MaskEdBox1[i], &DigitBox::keyTyped, this, [this] { MaskEdBox1_KeyPress(); });
    }
    for (int i : {4, 5})
        connect(Option2[i], &QRadioButton::clicked, this, [this, i] { Option2_Click(i); });
    for (int i = 0; i < 2; ++i) {
        connect(Option6[i], &QRadioButton::clicked, this, [this, i] { Option6_Click(i); });
        connect(mnu3D[i], &QAction::triggered, this, [this, i] { mnu3D_Click(i); });
        connect(mnuDscs[i], &QAction::triggered, this, [this, i] { mnuDscs_Click(i); });
    }
    connect(TabStrip1, &QTabWidget::currentChanged, this, [this] { TabStrip1_Click(); });
    connect(Check4, &QCheckBox::clicked, this, [this] { Check4_Click(); });
    connect(Text4, &QLineEdit::editingFinished, this, [this] { Text4_LostFocus(); });
    connect(MaskEdBox2, &DigitBox::focusLost, this, [this] { MaskEdBox2_LostFocus(); });
    connect(Command9, &QPushButton::clicked, this, [this] { Command9_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    new WheelScroller({MSFlexGrid1, MSFlexGrid2, MSFlexGrid3}, this);
    connectSettingsMenu();
    connectHistoryActions();
    // Double clicks export each grid, header row included; a right click or the menu key on the
    // history opens its menu.
    for (QTableView* grid : {MSFlexGrid1, MSFlexGrid2, MSFlexGrid3}) {
        grid->viewport()->installEventFilter(this);
        grid->horizontalHeader()->viewport()->installEventFilter(this);
    }
    MSFlexGrid1->installEventFilter(this);

    // Enter in a box of the searches runs the search the box belongs to.
    for (QLineEdit* box : findChildren<QLineEdit*>()) {
        if (box == Combo1->lineEdit())
            connect(box, &QLineEdit::returnPressed, this, [this] { Command2_Click(); });
        else if (box != Text1 && (box == MaskEdBox2 || !qobject_cast<DigitBox*>(box)))
            connect(box, &QLineEdit::returnPressed, this, [this] { Command1_Click(); });
    }
    // Any change of what a search depends on leaves the results shown as those of earlier
    // conditions.
    for (QAbstractButton* b : centralWidget()->findChildren<QAbstractButton*>())
        if (!qobject_cast<QPushButton*>(b))
            connect(b, &QAbstractButton::toggled, this, [this] { conditionsChanged(); });
    for (QLineEdit* box : findChildren<QLineEdit*>())
        if (box != Text1 && (box == MaskEdBox2 || !qobject_cast<DigitBox*>(box)))
            connect(box, &QLineEdit::textChanged, this, [this] { conditionsChanged(); });
    connect(TabStrip1, &QTabWidget::currentChanged, this, [this] { conditionsChanged(); });
    for (QAction* a : {mnu3D[0], mnu3D[1], mnuDscs[0], mnuDscs[1]})
        connect(a, &QAction::triggered, this, [this] { conditionsChanged(); });
}

// ---------------------------------------------------------------------------------------------
// Start-up

void frmMain::loadAtStartup() {
    provideSampleHistories();
    sweepAbandonedFiles();
    m_set = m_settingsStore.read();
    // The option controls show the saved choices. Their handlers are not run here: what they
    // would reload (range, pattern) is set once below from the same values.
    Option1[1]->setChecked(m_set.bolZyw);
    Option1[0]->setChecked(!m_set.bolZyw);
    Option1[3]->setChecked(m_set.bolSq);
    Option1[2]->setChecked(!m_set.bolSq);
    Option2[5]->setChecked(m_set.bolZuxuan);
    Option2[4]->setChecked(!m_set.bolZuxuan);
    Option5[m_set.intConsqSort]->setChecked(true);
    Option4[m_set.intXianshiLei]->setChecked(true);
    mnuDscs[0]->setChecked(m_set.DsIni == 0);
    mnuDscs[1]->setChecked(m_set.DsIni == 1);
    Option6[m_set.bolZhpm ? 1 : 0]->setChecked(true);
    MaskEdBox2->setText(QString::number(m_set.intPreQi));
    Combo1->setEditText(QString::number(m_set.intZhWSetup));
    Option3[m_set.intLei]->setChecked(true);

    const QString upgraded = upgradeOldHistory();
    openHistory(gameOfGsZl(m_set.GsZl), upgraded);
}

void frmMain::openDatabase() {
    const QString file = QDir(m_dataFolder).filePath(QString::fromLatin1(databaseFileName(m_game)));
    auto opened = HistoryStore::open(toPath(file), m_game);
    if (!opened) {
        m_databaseProblem = qs(opened.error().message);
        return;
    }
    auto snapshot = (*opened)->loadSnapshot();
    if (!snapshot) {
        // A file we cannot read is left alone: no later action may write into it.
        m_databaseProblem = qs(snapshot.error().message);
        return;
    }
    m_store = std::move(*opened);
    m_snapshot = std::move(*snapshot);
    m_index = std::make_shared<const SearchIndex>(m_snapshot);
}

bool frmMain::requireStore() {
    if (m_store)
        return true;
    Dialogs::warn(this, QStringLiteral("数据库"),
                  m_databaseProblem.isEmpty() ? QStringLiteral("历史数据库没有打开。") : m_databaseProblem);
    return false;
}

void frmMain::status(const QString& text) {
    statusBar()->showMessage(text, 15000);
}

// ---------------------------------------------------------------------------------------------
// Shared operations on the history

void frmMain::reloadSnapshot() {
    if (!m_store)
        return;
    auto snapshot = m_store->loadSnapshot();
    if (!snapshot) {
        status(QStringLiteral("历史号码未能重新读取：") + qs(snapshot.error().message));
        return;
    }
    m_snapshot = std::move(*snapshot);
    m_index = std::make_shared<const SearchIndex>(m_snapshot);
}

void frmMain::fillHistoryGrid() {
    m_historyModel->setHistory(*m_snapshot);
    m_emptyHint->setVisible(m_snapshot->empty());
    if (m_snapshot->empty())
        clearDrawDescriptions();
    scrollHistoryToEnd();
    showWindowTitle();
    refreshTrend();
}

void frmMain::scrollHistoryToEnd() {
    // With more than 39 grid rows (header included) the newest draws are brought into view.
    if (m_historyModel->gridRowCount() > 39)
        MSFlexGrid1->scrollToBottom();
}

void frmMain::AddHaoma() {
    reloadSnapshot();
    fillHistoryGrid();
}

void frmMain::QihaoXianshi() {
    if (const DrawRow* last = m_snapshot->last()) {
        m_lastQQH = last->qqh;
        Text1->setText(QString::number(proposedIssue(last->sqqh, chinaYear(now()))));
    }
    Text4->setText(Text1->text());
}

bool frmMain::Delrec() {
    if (!requireStore())
        return false;
    auto deleted =
        changeWithUndo(*m_store, *m_snapshot, "清空历史号码", [this] { return m_store->deleteAll(); });
    if (!deleted) {
        Dialogs::warn(this, QStringLiteral("清空历史号码"), qs(deleted.error().message));
        return false;
    }
    return true;
}

void frmMain::YSJS() {
    // Without a pattern before the chosen issue the boxes and the range stay as they are; a search
    // from this tab says why it cannot run.
    const auto chosen = parseIssue(Text4->text().toStdString());
    if (!chosen)
        return;
    const auto before = patternBeforeIssue(*m_snapshot, *chosen, m_set.bolSq, m_set.intPreQi,
                                           static_cast<Kind>(m_set.intLei));
    if (!before || !before->pattern)
        return;
    const std::int32_t end =
        Check4->isChecked() ? (*m_snapshot)[before->reached].sqqh : m_snapshot->last()->sqqh;
    Text3[1]->setText(QString::number(end));
    for (int p = 1; p <= 3; ++p)
        Text2[10 + p]->setText(QString::number((*before->pattern)[p - 1]));
}

// ---------------------------------------------------------------------------------------------
// Follow-search inputs

int frmMain::currentTab() const {
    return TabStrip1->currentIndex();
}

std::array<QLineEdit*, 3> frmMain::patternBoxes(int tab) const {
    if (tab == 1)
        return {Text22[1], Text22[2], Text22[3]};
    const int base = tab == 2 ? 10 : 0;
    return {Text2[base + 1], Text2[base + 2], Text2[base + 3]};
}

std::array<QCheckBox*, 3> frmMain::positionChecks(int tab) const {
    if (tab == 1)
        return {Check11[1], Check11[2], Check11[3]};
    const int base = tab == 2 ? 10 : 0;
    return {Check1[base + 1], Check1[base + 2], Check1[base + 3]};
}

std::array<std::optional<int>, 3> frmMain::pattern() const {
    std::array<std::optional<int>, 3> shown;
    const auto boxes = patternBoxes(currentTab());
    for (std::size_t p = 0; p < 3; ++p)
        shown[p] = boxNumber(boxes[p]);
    return shown;
}

void frmMain::reloadPattern() {
    // The boxes that show a pattern taken from the history follow its source at once, the first
    // tab's whichever tab is in view, so that no box shows a value of another kind or draw.
    if (const auto pattern =
            patternFromHistory(*m_snapshot, m_set.bolSq, m_set.intPreQi, static_cast<Kind>(m_set.intLei)))
        for (int p = 1; p <= 3; ++p)
            Text2[p]->setText(QString::number((*pattern)[p - 1]));
    // Selecting the third tab loads its boxes anyway.
    if (currentTab() == 2)
        YSJS();
}

void frmMain::clearDrawDescriptions() {
    // Nothing is left that the proposal, the patterns or the range could describe.
    for (QLineEdit* box :
         {Text1, Text4, Text3[0], Text3[1], Text2[1], Text2[2], Text2[3], Text2[11], Text2[12], Text2[13]})
        box->clear();
}

void frmMain::setRangeStart() {
    if (const DrawRow* first = m_snapshot->first())
        Text3[0]->setText(QString::number(rangeStart(first->sqqh, m_set.bolSq, m_set.intPreQi)));
}

void frmMain::setRangeEndToLast() {
    if (const DrawRow* last = m_snapshot->last())
        Text3[1]->setText(QString::number(last->sqqh));
}

void frmMain::Option1_Click(int index) {
    if (index == 1 || index == 0) {
        m_set.bolZyw = index == 1;
    } else {
        m_set.bolSq = index == 3;
    }
    m_settingsStore.writeFlag(keys::bolZyw, m_set.bolZyw);
    m_settingsStore.writeFlag(keys::bolSq, m_set.bolSq);
    reloadPattern();
    setRangeStart();
}

void frmMain::Option2_Click(int) {
    m_set.bolZuxuan = Option2[5]->isChecked();
    m_settingsStore.writeFlag(keys::bolZuxuan, m_set.bolZuxuan);
    m_settingsStore.writeFlag(keys::bolSq, m_set.bolSq);
    reloadPattern();
}

void frmMain::Option3_Click(int index) {
    m_set.intLei = index;
    reloadPattern();
    m_settingsStore.writeInt(keys::intLei, index);
}

void frmMain::Option4_Click(int index) {
    m_set.intXianshiLei = index;
    m_settingsStore.writeInt(keys::intXianshiLei, index);
}

void frmMain::Option5_Click(int index) {
    m_set.intConsqSort = index;
    m_settingsStore.writeInt(keys::intConsqSort, index);
}

void frmMain::Option6_Click(int index) {
    m_set.bolZhpm = index != 0;
    m_settingsStore.writeFlag(keys::bolZhpm, m_set.bolZhpm);
}

void frmMain::TabStrip1_Click() {
    // The first two tabs keep their boxes as they stand, edits included; the third loads its
    // boxes from the draw before the chosen issue.
    if (currentTab() == 2)
        YSJS();
}

void frmMain::Check4_Click() {
    if (Check4->isChecked()) {
        const auto chosen = parseIssue(Text4->text().toStdString());
        if (!chosen) {
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

void frmMain::Text4_LostFocus() {
    // Only a changed issue reloads the third tab, so that passing through the box keeps the
    // user's edits of its pattern.
    if (!Text4->isModified())
        return;
    Text4->setModified(false);
    if (currentTab() == 2)
        YSJS();
}

// ---------------------------------------------------------------------------------------------
// Manual entry

void frmMain::MaskEdBox1_KeyPress() {
    m_justStored = false;
}

void frmMain::MaskEdBox1_Change(int index) {
    if (m_justStored || MaskEdBox1[index]->digit() < 0)
        return;
    // A draw is stored once all three boxes hold a digit, in whatever order they were filled;
    // until then a digit leads on to the first empty box.
    for (int i = 1; i <= 3; ++i) {
        if (MaskEdBox1[i]->digit() < 0) {
            MaskEdBox1[i]->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    storeManualDraw();
}

void frmMain::storeManualDraw() {
    auto refuse = [this](const QString& why, bool issueAtFault) {
        // Box 3 is emptied so that typing the digit again, once the cause is mended, stores it.
        m_justStored = true;
        MaskEdBox1[3]->clear();
        m_justStored = false;
        Dialogs::warn(this, QStringLiteral("输入历史号码"), why);
        if (issueAtFault) {
            Text1->setFocus(Qt::OtherFocusReason);
            Text1->selectAll();
        } else {
            MaskEdBox1[3]->setFocus(Qt::OtherFocusReason);
        }
    };
    if (!requireStore())
        return;
    // The draw is stored under the issue shown in Text1: the proposal, or what the user made of it.
    const auto issue = parseIssue(Text1->text().toStdString());
    if (!issue) {
        refuse(Text1->text().trimmed().isEmpty()
                   ? QStringLiteral("请先在期号框中填写这一期的七位期号（例如 2014001），未保存。")
                   : QStringLiteral("期号“%1”不是七位期号（例如 2014001），未保存。").arg(Text1->text()),
               true);
        return;
    }
    std::array<int, 3> digits{};
    for (int i = 1; i <= 3; ++i)
        digits[i - 1] = MaskEdBox1[i]->digit();

    const DrawLine draw{*issue, digits};
    if (auto stored = m_store->appendDraws(std::span(&draw, 1), m_set.DsIni); !stored) {
        refuse(qs(stored.error().message), stored.error().code == ErrorCode::Invalid);
        return;
    }

    AddHaoma();
    reloadPattern();
    m_justStored = true;
    for (int i = 1; i <= 3; ++i)
        MaskEdBox1[i]->clear();
    MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    Text1->setText(QString::number(*issue + 1));
    Text3[1]->setText(Text1->text());
    if (Text3[0]->text().isEmpty())
        setRangeStart();
    QihaoXianshi();
    status(QStringLiteral("已保存第 %1 期：%2%3%4").arg(*issue).arg(digits[0]).arg(digits[1]).arg(digits[2]));
}

void frmMain::MaskEdBox2_LostFocus() {
    // An empty box or 0 names no earlier draw: the N in force stays, and a search that needs N
    // is refused while the box shows no count.
    const int n = MaskEdBox2->digit();
    if (n < 1 || n == m_set.intPreQi)
        return;
    m_set.intPreQi = n;
    m_settingsStore.writeInt(keys::intPreQi, n);
    reloadPattern();
    setRangeStart();
}

// ---------------------------------------------------------------------------------------------
// Menus

void frmMain::mnuDscs_Click(int index) {
    m_set.DsIni = index;
    m_settingsStore.writeInt(keys::DsIni, index);
    mnuDscs[0]->setChecked(index == 0);
    mnuDscs[1]->setChecked(index == 1);
}

void frmMain::Command9_Click() {
    const QRect r = Command9->rect();
    const QPoint cursor = Command9->mapFromGlobal(QCursor::pos());
    // At the pointer when the button was clicked, below the button when it was pressed by key.
    mnuSetup->popup(r.contains(cursor) ? QCursor::pos() : Command9->mapToGlobal(r.bottomLeft()));
}

void frmMain::MSFlexGrid1_MouseUp(const QPoint& pos) {
    mnuLsgl->popup(MSFlexGrid1->viewport()->mapToGlobal(pos));
}

void frmMain::MSFlexGrid1_ContextKey() {
    // Beside the current row when it is in view, else at the top of the grid.
    const QRect row = MSFlexGrid1->visualRect(MSFlexGrid1->currentIndex());
    const QPoint at = MSFlexGrid1->viewport()->rect().intersects(row) ? row.bottomLeft() : QPoint(0, 0);
    mnuLsgl->popup(MSFlexGrid1->viewport()->mapToGlobal(at));
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    if (gridDoubleClicked(watched, event))
        return true;
    if (watched == MSFlexGrid1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            MSFlexGrid1_MouseUp(mouse->position().toPoint());
    }
    if (watched == MSFlexGrid1) {
        // The menu key and Shift+F10, however the platform delivers them.
        const bool menuKey =
            event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Menu ||
                                                  static_cast<QKeyEvent*>(event)->keyCombination() ==
                                                      QKeyCombination(Qt::ShiftModifier, Qt::Key_F10));
        const bool keyboardMenu =
            event->type() == QEvent::ContextMenu &&
            static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard;
        if (menuKey || keyboardMenu) {
            MSFlexGrid1_ContextKey();
            return true;
        }
    }
    if (watched == Combo1 && event->type() == QEvent::FocusOut) {
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
            Combo1_LostFocus();
    }
    return QMainWindow::eventFilter(watched, event);
}

} // namespace brenvik::ui
