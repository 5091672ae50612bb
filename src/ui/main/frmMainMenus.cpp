// SPDX-License-Identifier: GPL-3.0-or-later
// The window's menus: the game, the settings and the help.
#include "AboutBox.h"
#include "AppPaths.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "LogbookKeeper.h"
#include "OnlineUpdate.h"
#include "PanelParts.h"
#include "SourceDialog.h"
#include "UndoBackup.h"
#include "Workspace.h"
#include "frmMain.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QUrl>

namespace brenvik::ui {

void frmMain::buildMenus() {
    mnuCaizhong = named(menuBar()->addMenu(QStringLiteral("彩种选择(&C)")), QStringLiteral("mnuCaizhong"));
    mnu3D[0] = named(mnuCaizhong->addAction(QStringLiteral("福彩3D")), QStringLiteral("mnu3D(0)"));
    mnu3D[1] = named(mnuCaizhong->addAction(QStringLiteral("体彩排列3")), QStringLiteral("mnu3D(1)"));
    for (int i = 0; i < 2; ++i) {
        mnu3D[i]->setCheckable(true);
        connect(mnu3D[i], &QAction::triggered, this,
                [this, i] { chooseGame(i == 0 ? Game::Fc3d : Game::Pl3); });
    }

    mnuSetup = named(new QMenu(QStringLiteral("设置"), this), QStringLiteral("mnuSetup"));
    mnuDssetup = named(mnuSetup->addMenu(QStringLiteral("段数参数设置(&A)")), QStringLiteral("mnuDssetup"));
    mnuDscs[0] = named(mnuDssetup->addAction(QStringLiteral("段数参数0~4")), QStringLiteral("mnuDscs(0)"));
    mnuDscs[1] = named(mnuDssetup->addAction(QStringLiteral("段数参数1~5")), QStringLiteral("mnuDscs(1)"));
    for (int i = 0; i < 2; ++i) {
        mnuDscs[i]->setCheckable(true);
        connect(mnuDscs[i], &QAction::triggered, this, [this, i] { chooseSegmentParam(i); });
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

    mnuChart = named(menuBar()->addMenu(QStringLiteral("图表(&V)")), QStringLiteral("mnuChart"));
    mnuTrend = named(mnuChart->addAction(QStringLiteral("走势图(&Z)")), QStringLiteral("mnuTrend"));
    connect(mnuTrend, &QAction::triggered, this, &frmMain::showTrend);

    mnuTools = named(menuBar()->addMenu(QStringLiteral("工具(&K)")), QStringLiteral("mnuTools"));
    mnuSuoshui = named(mnuTools->addAction(QStringLiteral("缩水(&F)…")), QStringLiteral("mnuSuoshui"));
    connect(mnuSuoshui, &QAction::triggered, this, &frmMain::showFilter);

    buildLogbookMenu();
    mnuHelp = named(menuBar()->addMenu(QStringLiteral("帮助(&H)")), QStringLiteral("mnuHelp"));
    mnuManual = named(mnuHelp->addAction(QStringLiteral("使用说明(&M)")), QStringLiteral("mnuManual"));
    mnuManual->setShortcut(QKeySequence(Qt::Key_F1));
    mnuAbout = named(mnuHelp->addAction(QStringLiteral("关于(&A)")), QStringLiteral("mnuAbout"));
    mnuAbout->setMenuRole(QAction::AboutRole);
    // The manual itself, whatever page the settings menu's items were pointed at.
    connect(mnuManual, &QAction::triggered, this, [this] { openInBrowser(manualUrl()); });
    connect(mnuAbout, &QAction::triggered, this, [this] { showAboutBox(this, dataFolderPath()); });
}

void frmMain::buildLogbookMenu() {
    QMenu* menu = named(menuBar()->addMenu(QStringLiteral("预测(&Y)")), QStringLiteral("mnuYc"));
    mnuYuce = named(menu->addAction(QStringLiteral("预测记录(&L)…")), QStringLiteral("mnuYuce"));
    connect(mnuYuce, &QAction::triggered, m_logbook, &LogbookKeeper::showLogbook);
}

void frmMain::chooseGame(Game game) {
    m_settingsStore.writeInt(keys::GsZl, gsZlOf(game));
    if (game == this->game()) {
        mnu3D[game == Game::Fc3d ? 0 : 1]->setChecked(true); // choosing the ticked item keeps it ticked
        return;
    }
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
    const QString stored = m_settingsStore.text(key).trimmed();
    openInBrowser(stored.isEmpty() ? manualUrl(manualFragment) : QUrl::fromUserInput(stored));
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
    SourceDialog dialog(m_settingsStore, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    const DrawSource source = m_settingsStore.source();
    status(QStringLiteral("数据来源：%1").arg(qs(sourceName(source))) +
           (source == DrawSource::Chart ? QStringLiteral("（%1）").arg(m_settingsStore.chartHost())
                                        : QString()));
}

} // namespace brenvik::ui
