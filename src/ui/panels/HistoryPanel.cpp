// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryPanel.h"

#include "AppPaths.h"
#include "Clock.h"
#include "Dialogs.h"
#include "DigitBox.h"
#include "GapCaption.h"
#include "GridModels.h"
#include "HistoryCommands.h"
#include "HistoryExport.h"
#include "IssueNumber.h"
#include "PanelParts.h"
#include "SettingsStore.h"
#include "Spreadsheet.h"
#include "ThemeColours.h"
#include "UndoBackup.h"
#include "Workspace.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QCursor>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace brenvik::ui {

HistoryPanel::HistoryPanel(Workspace& workspace, SettingsStore& settings, const QFont& windowFont,
                           QWidget* parent)
    : QWidget(parent), m_workspace(workspace), m_historyModel(new HistoryGridModel(this)) {
    auto* v = new QVBoxLayout(this);
    v->setContentsMargins(0, 0, 0, 0);
    buildEntry(windowFont);
    buildGrid();
    buildButtons();
    buildMenu();
    setFixedWidth(std::max(sizeHint().width(), twips(1200 + 3 * 620) + 60));
    m_commands = new HistoryCommands(workspace, settings, this, mnuUndo);
    connectControls();
}

QList<QWidget*> HistoryPanel::readingOrder() const {
    return {Text1,     MaskEdBox1[1], MaskEdBox1[2], MaskEdBox1[3], MSFlexGrid1, cmdRdLst,
            Command21, Command4,      Command3,      Command9,      cmdTrend};
}

void HistoryPanel::buildEntry(const QFont& windowFont) {
    // Manual entry: the caption leaves room for the next issue number, which Text1 fills.
    auto* entry = new QGroupBox;
    entry->setObjectName(QStringLiteral("entryGroup"));
    auto* ev = new QVBoxLayout(entry);
    Text1 = named(new QLineEdit(QStringLiteral("2007001")), QStringLiteral("Text1"));
    Text1->setAlignment(Qt::AlignCenter);
    Text1->setMaxLength(7);
    Text1->setToolTip(QStringLiteral("下一期的期号，可以修改"));
    describe(Text1, QStringLiteral("下一期期号"), QStringLiteral("在下面输入的三个号码存为这一期，可以修改"));
    const int issueWidth = Text1->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16;
    Label12 =
        named(new GapLabel(QStringLiteral("在下面输入 2007001    期历史号码:"), Text1, 6, 11, issueWidth),
              QStringLiteral("Label12(1)"));
    ev->addWidget(Label12);

    auto* digits = new QHBoxLayout;
    digits->addStretch();
    QFont big = windowFont;
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    for (int i = 1; i <= 3; ++i) {
        MaskEdBox1[i] = named(new DigitBox, indexed("MaskEdBox1", i));
        MaskEdBox1[i]->setFont(big);
        MaskEdBox1[i]->setToolTip(QStringLiteral("在此补充输入最新历史号码"));
        describe(MaskEdBox1[i], QStringLiteral("第%1位开奖号码").arg(i),
                 QStringLiteral("补充输入最新一期的第%1位号码，三位都输入后即保存").arg(i));
        digits->addWidget(MaskEdBox1[i]);
    }
    digits->addStretch();
    ev->addLayout(digits);
    layout()->addWidget(entry);
}

void HistoryPanel::buildGrid() {
    MSFlexGrid1 = grid(QStringLiteral("MSFlexGrid1"), m_historyModel, true);
    // The issue column keeps its width; the three digits share the rest equally.
    auto* header = MSFlexGrid1->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    MSFlexGrid1->setColumnWidth(0, twips(1200));
    for (int c = 1; c <= 3; ++c)
        header->setSectionResizeMode(c, QHeaderView::Stretch);
    MSFlexGrid1->setMinimumHeight(MSFlexGrid1->verticalHeader()->defaultSectionSize() * 4);
    describe(MSFlexGrid1, QStringLiteral("历史号码"),
             QStringLiteral("已存的各期开奖号码，最新的在最后；菜单键打开历史管理菜单，双击导出到EXCEL"));
    static_cast<QVBoxLayout*>(layout())->addWidget(MSFlexGrid1, 1);

    // Over the empty history: how draws get in.
    m_emptyHint = named(
        new QLabel(QStringLiteral("还没有历史号码。\n\n点“读取历史号文本”，在数据目录的“历史号码”文件夹里选"
                                  "“福彩3D历史号码.txt”或“体彩排列3历史号码.txt”读入；"
                                  "再点“历史号在线更新”，从彩票中心的开奖公告补上此后各期。"
                                  "也可以在上面的三个格子里逐期输入。")),
        QStringLiteral("emptyHistoryHint"));
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAlignment(Qt::AlignCenter);
    subdue(m_emptyHint);
    m_emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* over = new QVBoxLayout(MSFlexGrid1->viewport());
    over->setContentsMargins(12, 12, 12, 12);
    over->addWidget(m_emptyHint);
}

void HistoryPanel::buildButtons() {
    auto* buttons = new QGridLayout;
    Command3 = named(new QPushButton(QStringLiteral("删除最后历史(&D)")), QStringLiteral("Command3"));
    Command4 = named(new QPushButton(QStringLiteral("历史号码导出文本文件(&O)")), QStringLiteral("Command4"));
    cmdRdLst = named(new QPushButton(QStringLiteral("读取历史号文本(&W)")), QStringLiteral("cmdRdLst"));
    cmdRdLst->setToolTip(QStringLiteral("从历史号码文本文件中读取历史号中最后一期之后的新的历史号码"));
    Command21 = named(new QPushButton(QStringLiteral("历史号在线更新(&U)")), QStringLiteral("Command21"));
    Command21->setToolTip(QStringLiteral("从官方服务器更新历史号码"));
    buttons->addWidget(cmdRdLst, 0, 0);
    buttons->addWidget(Command21, 0, 1);
    // The settings button sits here, so that the options column fits a 600-pixel screen.
    Command9 = named(new QPushButton(QStringLiteral("软件设置(&T)")), QStringLiteral("Command9"));
    buttons->addWidget(Command4, 1, 0, 1, 2);
    buttons->addWidget(Command3, 2, 0);
    buttons->addWidget(Command9, 2, 1);
    cmdTrend = named(new QPushButton(QStringLiteral("走势图(&Z)")), QStringLiteral("cmdTrend"));
    buttons->addWidget(cmdTrend, 3, 0, 1, 2);
    static_cast<QVBoxLayout*>(layout())->addLayout(buttons);
}

void HistoryPanel::buildMenu() {
    mnuLsgl = named(new QMenu(QStringLiteral("历史管理"), this), QStringLiteral("mnuLsgl"));
    mnuDcls = named(mnuLsgl->addAction(QStringLiteral("导出历史号码(&O)")), QStringLiteral("mnuDcls"));
    mnuErase = named(mnuLsgl->addAction(QStringLiteral("删除最后历史(&E)")), QStringLiteral("mnuErase"));
    mnuClear = named(mnuLsgl->addAction(QStringLiteral("清空历史号码(&C)")), QStringLiteral("mnuClear"));
    mnuDlzd = named(mnuLsgl->addAction(QStringLiteral("删除到选定期(&D)")), QStringLiteral("mnuDlzd"));
    mnuEszhzd =
        named(mnuLsgl->addAction(QStringLiteral("删除最后指定数量期历史(&N)")), QStringLiteral("mnuEszhzd"));
    mnuLsgl->addSeparator();
    mnuUndo = named(mnuLsgl->addAction(QStringLiteral("撤销上次更改(&Z)")), QStringLiteral("mnuUndo"));
    mnuHfls = named(mnuLsgl->addAction(QStringLiteral("恢复历史…")), QStringLiteral("mnuHfls"));
    mnuLsgl->addSeparator();
    mnuHuice = named(mnuLsgl->addAction(QStringLiteral("回测(&B)")), QStringLiteral("mnuHuice"));
    // What the buttons do, for the menu bar's 历史 menu.
    mnuRdLst = named(new QAction(QStringLiteral("读取历史号文本(&W)…"), this), QStringLiteral("mnuRdLst"));
    mnuZxgx = named(new QAction(QStringLiteral("历史号在线更新(&U)…"), this), QStringLiteral("mnuZxgx"));
    mnuDcwb =
        named(new QAction(QStringLiteral("历史号码导出文本文件(&T)…"), this), QStringLiteral("mnuDcwb"));
}

void HistoryPanel::fillHistoryMenu(QMenu* menu) {
    menu->addActions({mnuRdLst, mnuZxgx});
    menu->addSeparator();
    menu->addActions({mnuDcwb, mnuDcls});
    menu->addSeparator();
    menu->addActions({mnuErase, mnuClear, mnuDlzd, mnuEszhzd});
    menu->addSeparator();
    menu->addActions({mnuUndo, mnuHfls});
}

void HistoryPanel::connectControls() {
    HistoryCommands* c = m_commands;
    connect(c, &HistoryCommands::status, this, &HistoryPanel::status);
    connect(c, &HistoryCommands::busy, this, [this](bool running) { setHistoryActionsEnabled(!running); });
    connect(cmdRdLst, &QPushButton::clicked, c, &HistoryCommands::importHistory);
    connect(Command4, &QPushButton::clicked, c, &HistoryCommands::exportHistoryText);
    connect(Command21, &QPushButton::clicked, c, &HistoryCommands::updateOnline);
    connect(mnuRdLst, &QAction::triggered, c, &HistoryCommands::importHistory);
    connect(mnuDcwb, &QAction::triggered, c, &HistoryCommands::exportHistoryText);
    connect(mnuZxgx, &QAction::triggered, c, &HistoryCommands::updateOnline);
    // After deleting the last draw, typing it again is what the user most likely does next.
    const auto deleteLast = [this] {
        const bool opened = m_workspace.store();
        m_commands->deleteLastDraw();
        if (opened)
            MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    };
    connect(Command3, &QPushButton::clicked, this, deleteLast);
    connect(mnuErase, &QAction::triggered, this, deleteLast);
    connect(mnuClear, &QAction::triggered, c, &HistoryCommands::clearHistory);
    connect(mnuDlzd, &QAction::triggered, c, &HistoryCommands::deleteDownToIssue);
    connect(mnuEszhzd, &QAction::triggered, c, &HistoryCommands::deleteLastDraws);
    connect(mnuUndo, &QAction::triggered, c, &HistoryCommands::undoChange);
    connect(mnuHfls, &QAction::triggered, c, &HistoryCommands::restoreHistory);
    connect(mnuHuice, &QAction::triggered, this, &HistoryPanel::backtestRequested);
    connect(mnuDcls, &QAction::triggered, this, &HistoryPanel::exportHistorySheet);
    connect(Command9, &QPushButton::clicked, this, &HistoryPanel::showSettingsMenu);
    connect(cmdTrend, &QPushButton::clicked, this, &HistoryPanel::trendRequested);
    for (int i = 1; i <= 3; ++i) {
        connect(MaskEdBox1[i], &QLineEdit::textChanged, this, [this, i] { typedDigit(i); });
        connect(MaskEdBox1[i], &DigitBox::keyTyped, this, [this] { m_justStored = false; });
    }
    // Double clicks export the grid, header row included; a right click or the menu key opens
    // the history menu.
    MSFlexGrid1->viewport()->installEventFilter(this);
    MSFlexGrid1->horizontalHeader()->viewport()->installEventFilter(this);
    MSFlexGrid1->installEventFilter(this);

    connect(&m_workspace, &Workspace::gameChanged, Text1, &QLineEdit::clear);
    connect(&m_workspace, &Workspace::issueProposed, this,
            [this](std::int32_t issue) { Text1->setText(QString::number(issue)); });
    connect(&m_workspace, &Workspace::historyChanged, this, &HistoryPanel::historyChanged);
}

void HistoryPanel::historyChanged(HistoryChange how) {
    const HistorySnapshot& history = m_workspace.history();
    m_historyModel->setHistory(history);
    m_emptyHint->setVisible(history.empty());
    if (history.empty())
        Text1->clear();
    scrollHistoryToEnd();
    if (how != HistoryChange::Appended)
        m_commands->updateUndoAction();
}

void HistoryPanel::scrollHistoryToEnd() {
    // With more than 39 grid rows (header included) the newest draws are brought into view.
    if (m_historyModel->gridRowCount() > 39)
        MSFlexGrid1->scrollToBottom();
}

void HistoryPanel::setHistoryActionsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{Command3, Command21, cmdRdLst, MaskEdBox1[1],
                                                      MaskEdBox1[2], MaskEdBox1[3]})
        w->setEnabled(enabled);
    for (QAction* a : {mnuErase, mnuClear, mnuDlzd, mnuEszhzd, mnuUndo, mnuHfls, mnuRdLst, mnuZxgx})
        a->setEnabled(enabled);
}

// ---------------------------------------------------------------------------------------------
// Typing a draw in

void HistoryPanel::typedDigit(int box) {
    if (m_justStored || MaskEdBox1[box]->digit() < 0)
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

void HistoryPanel::storeManualDraw() {
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
    if (!m_workspace.requireStore())
        return;
    // The draw is stored under the issue shown in Text1: the proposal, or what the user made of it.
    const auto issue = readIssue(Text1->text().toStdString(), chinaYear(now()));
    if (!issue) {
        refuse(Text1->text().trimmed().isEmpty()
                   ? QStringLiteral("请先在期号框中填写这一期的七位期号（例如 2014001），未保存。")
                   : qs(issue.error().message) + QStringLiteral("，未保存。"),
               true);
        return;
    }
    std::array<int, 3> digits{};
    for (int i = 1; i <= 3; ++i)
        digits[i - 1] = MaskEdBox1[i]->digit();

    const DrawLine draw{*issue, digits};
    if (auto stored = m_workspace.store()->appendDraws(std::span(&draw, 1), m_workspace.segmentParam());
        !stored) {
        refuse(qs(stored.error().message), stored.error().code == ErrorCode::Invalid);
        return;
    }

    m_workspace.AddHaoma(HistoryChange::Appended);
    m_justStored = true;
    for (int i = 1; i <= 3; ++i)
        MaskEdBox1[i]->clear();
    MaskEdBox1[1]->setFocus(Qt::OtherFocusReason);
    emit status(
        QStringLiteral("已保存第 %1 期：%2%3%4").arg(*issue).arg(digits[0]).arg(digits[1]).arg(digits[2]));
}

// ---------------------------------------------------------------------------------------------
// Menus

void HistoryPanel::showSettingsMenu() {
    if (!m_settingsMenu)
        return;
    const QRect r = Command9->rect();
    const QPoint cursor = Command9->mapFromGlobal(QCursor::pos());
    // At the pointer when the button was clicked, below the button when it was pressed by key.
    m_settingsMenu->popup(r.contains(cursor) ? QCursor::pos() : Command9->mapToGlobal(r.bottomLeft()));
}

void HistoryPanel::showHistoryMenu(const QPoint& at) {
    mnuLsgl->popup(MSFlexGrid1->viewport()->mapToGlobal(at));
}

void HistoryPanel::showHistoryMenuByKey() {
    // Beside the current row when it is in view, else at the top of the grid.
    const QRect row = MSFlexGrid1->visualRect(MSFlexGrid1->currentIndex());
    showHistoryMenu(MSFlexGrid1->viewport()->rect().intersects(row) ? row.bottomLeft() : QPoint(0, 0));
}

void HistoryPanel::exportHistorySheet() {
    // The history is written out only from a file that passed its whole check.
    if (m_workspace.store() && !m_workspace.requireStore())
        return;
    // The sheet says whose history it is and how far it reaches, as the companion's does.
    const QString title = qs(historySheetTitle(m_workspace.game(), m_workspace.history()));
    const QString line = exportGrid(this, m_workspace.dataFolder(), m_workspace.game(), *m_historyModel,
                                    kHistorySheetFile, title);
    if (!line.isEmpty())
        emit status(line);
}

bool HistoryPanel::eventFilter(QObject* watched, QEvent* event) {
    const bool onGrid =
        watched == MSFlexGrid1->viewport() || watched == MSFlexGrid1->horizontalHeader()->viewport();
    if (onGrid && event->type() == QEvent::MouseButtonDblClick &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        exportHistorySheet();
        return true;
    }
    if (watched == MSFlexGrid1->viewport() && event->type() == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::RightButton)
            showHistoryMenu(mouse->position().toPoint());
    }
    if (watched == MSFlexGrid1 && event->type() == QEvent::FocusIn) {
        // Come to by Tab, the grid starts at the newest draw, where the user's business is.
        const auto reason = static_cast<QFocusEvent*>(event)->reason();
        if ((reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason) &&
            m_historyModel->rowCount() > 0) {
            const QModelIndex newest = m_historyModel->index(m_historyModel->rowCount() - 1, 0);
            MSFlexGrid1->setCurrentIndex(newest);
            MSFlexGrid1->scrollTo(newest);
        }
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
            showHistoryMenuByKey();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace brenvik::ui
