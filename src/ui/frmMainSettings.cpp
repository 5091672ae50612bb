// The settings menu: years kept by the online update, and the product's web pages.
#include "AppPaths.h"
#include "Dialogs.h"
#include "IssueNumber.h"
#include "frmMain.h"

#include <QAction>
#include <QPushButton>
#include <QUrl>

namespace brenvik::ui {

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

void frmMain::mnuSetDay_Click() {
    for (;;) {
        const auto answer =
            Dialogs::input(this, QStringLiteral("设置年数"),
                           QStringLiteral("请输入更新需要保留的历史号码的年数（2~"
                                          "16中的任意自然数），如果超过年数将删除最早的一年的历史号码"),
                           QString::number(m_set.IniSerchDay));
        if (!answer || answer->trimmed().isEmpty())
            return;
        // A number outside 2..16, or no number at all, is asked for again.
        if (const auto years = parseWholeNumber(answer->toStdString(), 2, 16)) {
            m_set.IniSerchDay = static_cast<int>(*years);
            m_settingsStore.writeInt(keys::IniSerchDay, m_set.IniSerchDay);
            return;
        }
        Dialogs::inform(
            this, QStringLiteral("输入有误"),
            QStringLiteral(
                "为了保证时效性和提高计算效率，软件只能统计16年以内的数据，请输入2到16中的自然数。"));
    }
}

void frmMain::connectSettingsMenu() {
    connect(mnuSetDay, &QAction::triggered, this, [this] { mnuSetDay_Click(); });
    connect(mnuChartSite, &QAction::triggered, this, [this] { mnuChartSite_Click(); });
    connect(Command21, &QPushButton::clicked, this, [this] { Command21_Click(); });
    connect(mnuFrontPage, &QAction::triggered, this, [this] { openWebPage(keys::strFrontPage, {}); });
    connect(mnuDescrb, &QAction::triggered, this,
            [this] { openWebPage(keys::strDescrb, QStringLiteral("search")); });
    connect(numYanshiDown, &QAction::triggered, this,
            [this] { openWebPage(keys::strYanshiDown, QStringLiteral("video")); });
}

} // namespace brenvik::ui
