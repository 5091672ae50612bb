// SPDX-License-Identifier: GPL-3.0-or-later
#include "SourceDialog.h"

#include "AppPaths.h"
#include "ChartPage.h"
#include "Dialogs.h"
#include "PanelParts.h"
#include "SettingsStore.h"
#include "ThemeColours.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

namespace brenvik::ui {

namespace {

QLabel* note(const QString& text) {
    auto* label = new QLabel(text);
    label->setWordWrap(true);
    subdue(label);
    label->setContentsMargins(22, 0, 0, 6);
    return label;
}

} // namespace

SourceDialog::SourceDialog(SettingsStore& settings, QWidget* parent) : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("frmSource"));
    setWindowTitle(QStringLiteral("数据来源"));
    auto* layout = new QVBoxLayout(this);

    m_official =
        named(new QRadioButton(QStringLiteral("官方开奖公告(&G)")), QStringLiteral("optSourceOfficial"));
    layout->addWidget(m_official);
    layout->addWidget(note(QStringLiteral("福彩3D读中国福利彩票的开奖公告（2013 年起，2013 年缺 63 期，"
                                          "由附带的样本补上），体彩排列3读中国体育彩票的开奖公告。"
                                          "每次只读到已存的最后一期为止，两次请求之间停一秒。")));
    auto* feedForm = new QFormLayout;
    feedForm->setContentsMargins(22, 0, 0, 6);
    m_feed = named(new QLineEdit, QStringLiteral("txtFeedSite"));
    m_feed->setPlaceholderText(QStringLiteral("空：运营方自己的地址"));
    m_feed->setText(settings.feedHost());
    auto* feedLabel = new QLabel(QStringLiteral("公告地址(&F)："));
    feedLabel->setBuddy(m_feed);
    feedForm->addRow(feedLabel, m_feed);
    layout->addLayout(feedForm);
    m_chart = named(new QRadioButton(QStringLiteral("走势图站点(&Z)")), QStringLiteral("optSourceChart"));
    layout->addWidget(m_chart);
    layout->addWidget(note(QStringLiteral("按年读取走势图页面的站点，页面版式须与本程序读得懂的相同，"
                                          "详见使用说明的“数据来源”。")));
    auto* form = new QFormLayout;
    form->setContentsMargins(22, 0, 0, 0);
    m_site = named(new QLineEdit, QStringLiteral("txtChartSite"));
    m_site->setPlaceholderText(QStringLiteral("http://127.0.0.1:8080"));
    m_site->setText(settings.chartHost());
    auto* siteLabel = new QLabel(QStringLiteral("站点地址(&A)："));
    siteLabel->setBuddy(m_site);
    form->addRow(siteLabel, m_site);
    layout->addLayout(form);
    // Both address boxes are as wide: their labels take one width.
    const int labelWidth = std::max(feedLabel->sizeHint().width(), siteLabel->sizeHint().width());
    feedLabel->setMinimumWidth(labelWidth);
    siteLabel->setMinimumWidth(labelWidth);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("确定"));
    buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("取消"));
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    describe(m_feed, QStringLiteral("官方开奖公告的镜像地址"));
    describe(m_site, QStringLiteral("走势图站点地址"));
    // The buttons follow in the order the platform lays them out.
    chainTabOrder({m_official, m_feed, m_chart, m_site});

    const bool chart = settings.source() == DrawSource::Chart;
    (chart ? m_chart : m_official)->setChecked(true);
    // Each address belongs to its source: only the chosen one's can be edited.
    const auto follow = [this, feedLabel, siteLabel](bool focus) {
        const bool on = m_chart->isChecked();
        m_site->setEnabled(on);
        siteLabel->setEnabled(on);
        m_feed->setEnabled(!on);
        feedLabel->setEnabled(!on);
        if (focus)
            (on ? m_site : m_feed)->setFocus();
    };
    follow(false);
    connect(m_chart, &QRadioButton::toggled, this, [follow] { follow(true); });
    resize(460, sizeHint().height());
}

void SourceDialog::accept() {
    QLineEdit* box = m_chart->isChecked() ? m_site : m_feed;
    // An empty feed address is the operators' own; the chart site has no such default.
    const bool operators = box == m_feed && box->text().trimmed().isEmpty();
    const auto address =
        operators ? Result<std::string>(std::string()) : checkedSiteAddress(box->text().toStdString());
    if (!address) {
        Dialogs::warn(this, QStringLiteral("输入有误"), qs(address.error().message));
        box->setFocus();
        box->selectAll();
        return;
    }
    if (box == m_site)
        m_settings.setChartHost(qs(*address));
    else
        m_settings.setFeedHost(qs(*address));
    m_settings.setSource(m_chart->isChecked() ? DrawSource::Chart : DrawSource::Official);
    QDialog::accept();
}

} // namespace brenvik::ui
