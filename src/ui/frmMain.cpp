#include "frmMain.h"

#include "AppPaths.h"
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
    connect(MaskEdBox2, &DigitBox::focusLost, this, [this] { MaskEdBox2_LostFocus(); });
    connect(Command9, &QPushButton::clicked, this, [this] { Command9_Click(); });
    connect(Command1, &QPushButton::clicked, this, [this] { Command1_Click(); });
    connect(Command2, &QPushButton::clicked, this, [this] { Command2_Click(); });
    new WheelScroller({MSFlexGrid1, MSFlexGrid2, MSFlexGrid3}, this);
    connectSettingsMenu();
    connectHistoryActions();
    // Double clicks export each grid; a right click on the history opens its menu.
    for (QTableView* grid : {MSFlexGrid1, MSFlexGrid2, MSFlexGrid3})
        grid->viewport()->installEventFilter(this);
}

// ---------------------------------------------------------------------------------------------
// Start-up

void frmMain::loadAtStartup() {
    provideSampleHistories();
    sweepAbandonedFiles();
    m_set = m_settingsStore.read();
    m_designProposal = Text1->text();

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
        status(qs(snapshot.error().message));
        return;
    }
    m_snapshot = std::move(*snapshot);
}

void frmMain::fillHistoryGrid() {
    m_historyModel->setHistory(*m_snapshot);
    scrollHistoryToEnd();
    showWindowTitle();
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
        Text1->setText(QString::number(nextIssueProposal(last->sqqh)));
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
    const auto chosen = parseIssue(Text4->text().toStdString());
    if (!chosen) {
        status(QStringLiteral("验证指定期：“%1”不是七位期号，检索条件未改变。").arg(Text4->text()));
        return;
    }
    const auto before = patternBeforeIssue(*m_snapshot, *chosen, m_set.bolSq, m_set.intPreQi,
                                           static_cast<Kind>(m_set.intLei));
    if (!before) {
        // Nothing lies before the chosen issue: pattern and range stay as they were.
        status(QStringLiteral("第 %1 期之前没有历史号码，检索条件未改变。").arg(*chosen));
        return;
    }
    const std::int32_t end =
        Check4->isChecked() ? (*m_snapshot)[before->reached].sqqh : m_snapshot->last()->sqqh;
    Text3[1]->setText(QString::number(end));
    if (!before->pattern)
        return;
    m_manualPattern = false;
    m_pattern = *before->pattern;
    for (int p = 1; p <= 3; ++p)
        Text2[10 + p]->setText(QString::number(m_pattern[p - 1]));
}

// ---------------------------------------------------------------------------------------------
// Follow-search inputs

int frmMain::currentTab() const {
    return TabStrip1->currentIndex();
}

void frmMain::reloadPattern(bool keepManualFlagOnFirstTab) {
    if (currentTab() == 0) {
        if (!keepManualFlagOnFirstTab)
            m_manualPattern = false;
        const auto pattern =
            patternFromHistory(*m_snapshot, m_set.bolSq, m_set.intPreQi, static_cast<Kind>(m_set.intLei));
        if (!pattern)
            return;
        m_pattern = *pattern;
        for (int p = 1; p <= 3; ++p)
            Text2[p]->setText(QString::number(m_pattern[p - 1]));
    } else {
        m_manualPattern = true;
        for (int p = 1; p <= 3; ++p)
            if (auto v = boxNumber(Text22[p]))
                m_pattern[p - 1] = *v;
    }
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
    if (currentTab() == 2)
        YSJS();
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
    switch (currentTab()) {
    case 0:
        m_manualPattern = false;
        for (int p = 1; p <= 3; ++p)
            if (auto v = boxNumber(Text2[p]))
                m_pattern[p - 1] = *v;
        break;
    case 1:
        m_manualPattern = true;
        for (int p = 1; p <= 3; ++p)
            if (auto v = boxNumber(Text22[p]))
                m_pattern[p - 1] = *v;
        break;
    default:
        Check4->show();
        Text4->show();
        YSJS();
        break;
    }
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

void frmMain::Text22_LostFocus(int index) {
    if (auto v = boxNumber(Text22[index]))
        m_pattern[index - 1] = *v;
}

// ---------------------------------------------------------------------------------------------
// Manual entry

void frmMain::MaskEdBox1_KeyPress() {
    m_justStored = false;
}

void frmMain::MaskEdBox1_Change(int index) {
    if (index == 3 && MaskEdBox1[3]->digit() >= 0 && !m_justStored) {
        storeManualDraw();
        return;
    }
    if (!m_justStored && index < 3 && MaskEdBox1[index]->digit() >= 0)
        MaskEdBox1[index + 1]->setFocus(Qt::OtherFocusReason);
}

void frmMain::storeManualDraw() {
    auto refuse = [this](const QString& why) {
        // Box 3 is emptied so that typing the digit again, once the issue is mended, stores it.
        m_justStored = true;
        MaskEdBox1[3]->clear();
        m_justStored = false;
        Dialogs::warn(this, QStringLiteral("输入历史号码"), why);
        Text1->setFocus(Qt::OtherFocusReason);
        Text1->selectAll();
    };
    if (!requireStore())
        return;
    // The draw is stored under the issue shown in Text1: the proposal, or what the user made of it.
    const auto issue = parseIssue(Text1->text().toStdString());
    if (!issue) {
        refuse(QStringLiteral("期号“%1”不是七位期号（例如 2014001），未保存。").arg(Text1->text()));
        return;
    }
    std::array<int, 3> digits{};
    for (int i = 1; i <= 3; ++i)
        digits[i - 1] = std::max(0, MaskEdBox1[i]->digit());

    const DrawLine draw{*issue, digits};
    if (auto stored = m_store->appendDraws(std::span(&draw, 1), m_set.DsIni); !stored) {
        if (stored.error().code == ErrorCode::Invalid)
            refuse(qs(stored.error().message));
        else
            Dialogs::warn(this, QStringLiteral("输入历史号码"), qs(stored.error().message));
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
    const int n = MaskEdBox2->digit();
    if (n < 1) {
        // An empty box or 0 names no earlier draw: keep the N in force.
        MaskEdBox2->setText(QString::number(m_set.intPreQi));
        status(QStringLiteral("前几期须为 1 到 9，仍为 %1。").arg(m_set.intPreQi));
        return;
    }
    m_set.intPreQi = n;
    m_settingsStore.writeInt(keys::intPreQi, n);
    reloadPattern(true);
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

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    for (int p = 1; p <= 3; ++p) {
        if (watched != Text22[p])
            continue;
        if (event->type() == QEvent::KeyPress) {
            // Only a minus sign, digits and Backspace reach these boxes.
            auto* key = static_cast<QKeyEvent*>(event);
            const QString t = key->text();
            if (!t.isEmpty() && key->key() != Qt::Key_Backspace && t.at(0).isPrint() &&
                !QStringLiteral("-0123456789").contains(t.at(0)))
                return true;
        } else if (event->type() == QEvent::FocusOut) {
            const auto reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                Text22_LostFocus(p);
        }
    }
    if (gridDoubleClicked(watched, event))
        return true;
    if (watched == MSFlexGrid1->viewport()) {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton)
                MSFlexGrid1_MouseUp(mouse->position().toPoint());
        } else if (event->type() == QEvent::ContextMenu &&
                   static_cast<QContextMenuEvent*>(event)->reason() == QContextMenuEvent::Keyboard) {
            MSFlexGrid1_MouseUp(static_cast<QContextMenuEvent*>(event)->pos());
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
