// SPDX-License-Identifier: GPL-3.0-or-later
// The window's menus: the game, the settings and the help.
#include "AboutBox.h"
#include "AppPaths.h"
#include "Dialogs.h"
#include "HelpWindow.h"
#include "HistoryPanel.h"
#include "IssueNumber.h"
#include "LogbookKeeper.h"
#include "PanelParts.h"
#include "SearchPanel.h"
#include "SurfaceParts.h"
#include "UndoBackup.h"
#include "Workspace.h"
#include "frmMain.h"

#include <QAction>
#include <QActionGroup>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

namespace brenvik::ui {

void frmMain::buildMenus() {
    mnuCaizhong = named(menuBar()->addMenu(QStringLiteral("彩种选择(&C)")), QStringLiteral("mnuCaizhong"));
    mnu3D[0] = named(mnuCaizhong->addAction(QStringLiteral("福彩3D")), QStringLiteral("mnu3D(0)"));
    mnu3D[1] = named(mnuCaizhong->addAction(QStringLiteral("体彩排列3")), QStringLiteral("mnu3D(1)"));
    // Each choice acts when its tick changes, however it changes: a click, the keys, a screen
    // reader's toggle.
    auto* games = new QActionGroup(this);
    for (int i = 0; i < 2; ++i) {
        mnu3D[i]->setCheckable(true);
        games->addAction(mnu3D[i]);
        connect(mnu3D[i], &QAction::toggled, this, [this, i](bool on) {
            if (on)
                chooseGame(i == 0 ? Game::Fc3d : Game::Pl3);
        });
    }

    mnuSetup = named(new QMenu(QStringLiteral("设置"), this), QStringLiteral("mnuSetup"));
    mnuDssetup = named(mnuSetup->addMenu(QStringLiteral("段数参数设置(&A)")), QStringLiteral("mnuDssetup"));
    mnuDscs[0] = named(mnuDssetup->addAction(QStringLiteral("段数参数0~4")), QStringLiteral("mnuDscs(0)"));
    mnuDscs[1] = named(mnuDssetup->addAction(QStringLiteral("段数参数1~5")), QStringLiteral("mnuDscs(1)"));
    auto* params = new QActionGroup(this);
    for (int i = 0; i < 2; ++i) {
        mnuDscs[i]->setCheckable(true);
        params->addAction(mnuDscs[i]);
        connect(mnuDscs[i], &QAction::toggled, this, [this, i](bool on) {
            if (on)
                chooseSegmentParam(i);
        });
    }
    mnuSetup->addSeparator();
    mnuSetDay =
        named(mnuSetup->addAction(QStringLiteral("历史号码更新检索年(&Y)")), QStringLiteral("mnuSetDay"));
    mnuSource = named(mnuSetup->addAction(QStringLiteral("数据来源(&S)…")), QStringLiteral("mnuSource"));
    mnuFrontPage =
        named(mnuSetup->addAction(QStringLiteral("软件介绍服务主页(&P)")), QStringLiteral("mnuFrontPage"));
    mnuDescrb =
        named(mnuSetup->addAction(QStringLiteral("软件介绍说明页面(&R)")), QStringLiteral("mnuDescrb"));
    numYanshiDown = named(mnuSetup->addAction(QStringLiteral("软件演示说明录像下载(&D)")),
                          QStringLiteral("numYanshiDown"));
    mnuSetup->addSeparator();
    connect(mnuSetDay, &QAction::triggered, this, &frmMain::askYearsToKeep);
    connect(mnuSource, &QAction::triggered, this, &frmMain::askDataSource);
    connect(mnuFrontPage, &QAction::triggered, this, [this] { openWebPage(keys::strFrontPage, {}); });
    connect(mnuDescrb, &QAction::triggered, this,
            [this] { openWebPage(keys::strDescrb, QStringLiteral("search")); });
    connect(numYanshiDown, &QAction::triggered, this,
            [this] { openWebPage(keys::strYanshiDown, QStringLiteral("video")); });

    // Every history command, where the menus are looked through; the grid's menu keeps them too.
    mnuLishi = named(menuBar()->addMenu(QStringLiteral("历史(&H)")), QStringLiteral("mnuLishi"));
    m_history->fillHistoryMenu(mnuLishi);

    mnuChart = named(menuBar()->addMenu(QStringLiteral("图表(&V)")), QStringLiteral("mnuChart"));
    mnuTrend = named(mnuChart->addAction(QStringLiteral("走势图(&Z)")), QStringLiteral("mnuTrend"));
    connect(mnuTrend, &QAction::triggered, this, &frmMain::showTrend);

    mnuTools = named(menuBar()->addMenu(QStringLiteral("工具(&K)")), QStringLiteral("mnuTools"));
    mnuSuoshui = named(mnuTools->addAction(QStringLiteral("缩水(&F)…")), QStringLiteral("mnuSuoshui"));
    connect(mnuSuoshui, &QAction::triggered, this, &frmMain::showFilter);
    mnuToolHuice = named(mnuTools->addAction(QStringLiteral("回测(&B)…")), QStringLiteral("mnuToolHuice"));
    connect(mnuToolHuice, &QAction::triggered, m_search, &SearchPanel::openBacktest);

    buildLogbookMenu();
    // Alt+H is the history's; the manual is F1 from anywhere in the window.
    mnuHelp = named(menuBar()->addMenu(QStringLiteral("帮助(&M)")), QStringLiteral("mnuHelp"));
    mnuManual = named(mnuHelp->addAction(QStringLiteral("使用说明(&M)")), QStringLiteral("mnuManual"));
    mnuManual->setShortcut(QKeySequence(Qt::Key_F1));
    mnuAbout = named(mnuHelp->addAction(QStringLiteral("关于(&A)")), QStringLiteral("mnuAbout"));
    mnuAbout->setMenuRole(QAction::AboutRole);
    // The manual itself, whatever page the settings menu's items were pointed at.
    connect(mnuManual, &QAction::triggered, this, [this] { showHelp({}); });
    connect(mnuAbout, &QAction::triggered, this, [this] { showAboutBox(this, dataFolderPath()); });
}

void frmMain::buildLogbookMenu() {
    QMenu* menu = named(menuBar()->addMenu(QStringLiteral("预测(&Y)")), QStringLiteral("mnuYc"));
    mnuYuce = named(menu->addAction(QStringLiteral("预测记录(&L)…")), QStringLiteral("mnuYuce"));
    connect(mnuYuce, &QAction::triggered, m_logbook, &LogbookKeeper::showLogbook);
}

void frmMain::chooseGame(Game game) {
    m_settingsStore.writeInt(keys::GsZl, gsZlOf(game));
    if (game == this->game())
        return;
    openHistory(game, {});
    if (const HistoryStore* store = m_workspace->store(); store && store->notice().empty())
        status(QStringLiteral("已换到%1的历史号码，共 %2 期。")
                   .arg(qs(displayName(game)), qs(groupedCount(static_cast<long long>(history().size())))));
}

void frmMain::chooseSegmentParam(int param) {
    m_settingsStore.writeInt(keys::DsIni, param);
    m_workspace->setSegmentParam(param);
}

QUrl frmMain::manualUrl(const QString& fragment) {
    QUrl url = QUrl::fromLocalFile(manualFile());
    if (!fragment.isEmpty())
        url.setFragment(fragment);
    return url;
}

void frmMain::openWebPage(std::string_view key, const QString& manualFragment) {
    // The manual is read in the program's own window; a page the settings name is a web page.
    const QString stored = m_settingsStore.text(key).trimmed();
    if (stored.isEmpty())
        showHelp(manualFragment);
    else
        openInBrowser(QUrl::fromUserInput(stored));
}

void frmMain::showHelp(const QString& section) {
    if (!m_help)
        m_help = new HelpWindow(this);
    m_help->showSection(section);
}

void frmMain::openInBrowser(const QUrl& url) {
    if (!Dialogs::openUrl(url))
        status(QStringLiteral("无法打开 %1：没有可用的浏览器。").arg(url.toDisplayString()));
}

void frmMain::askYearsToKeep() {
    const QString all = QStringLiteral("全部保留");
    const int kept = yearsToKeep();
    QString shown = kept == kKeepAllYears ? all : QString::number(kept);
    for (;;) {
        const auto answer = Dialogs::input(
            this, QStringLiteral("设置年数"),
            QStringLiteral("请输入在线更新后保留的历史号码的年数（2~%1 的自然数），或“全部保留”。"
                           "超过年数的早年历史号码，在线更新后会询问是否删除")
                .arg(kMostYearsToKeep),
            shown);
        if (!answer || answer->trimmed().isEmpty())
            return;
        const QString typed = answer->trimmed();
        const auto years =
            typed == all ? std::optional(kKeepAllYears) : parseYearsToKeep(typed.toStdString());
        // 0 is how the setting stores 全部保留, not a number of years to type.
        if (years && (*years != kKeepAllYears || typed == all)) {
            m_settingsStore.writeInt(keys::IniSerchDay, *years);
            return;
        }
        Dialogs::inform(this, QStringLiteral("输入有误"),
                        QStringLiteral("请输入 2 到 %1 之间的自然数，或“全部保留”。").arg(kMostYearsToKeep));
        shown = *answer;
    }
}

void frmMain::askDataSource() {
    QString why;
    const SurfaceParts* parts = surfaceParts(&why);
    if (!parts) {
        Dialogs::warn(this, QStringLiteral("数据来源"), QStringLiteral("数据来源无法设置：") + why);
        return;
    }
    if (!parts->chooseSource(m_settingsStore, this))
        return;
    const DrawSource source = m_settingsStore.source();
    status(QStringLiteral("数据来源：%1").arg(qs(sourceName(source))) +
           (source == DrawSource::Chart ? QStringLiteral("（%1）").arg(m_settingsStore.chartHost())
                                        : QString()));
}

} // namespace brenvik::ui
