// SPDX-License-Identifier: GPL-3.0-or-later
// The search column's controls: the options, the pattern tabs, the range and the search buttons.
#include "DigitBox.h"
#include "GapCaption.h"
#include "PanelParts.h"
#include "SearchPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace brenvik::ui {

void SearchControls::build(QWidget* panel) {
    auto* g = new QGridLayout(panel);
    g->setContentsMargins(0, 0, 0, 0);
    g->setHorizontalSpacing(8);
    g->setVerticalSpacing(6);

    auto column = [](QGroupBox* box, std::initializer_list<QWidget*> items) {
        auto* l = new QVBoxLayout(box);
        l->setSpacing(4);
        for (QWidget* w : items)
            l->addWidget(w);
        l->addStretch();
        return box;
    };

    Frame1[0] = group(QStringLiteral("Frame1(0)"), QStringLiteral("检索位选择"));
    Option1[1] = radio("Option1", 1, QStringLiteral("自由位"));
    Option1[0] = radio("Option1", 0, QStringLiteral("固定位"));
    column(Frame1[0], {Option1[1], Option1[0]});

    Frame1[1] = group(QStringLiteral("Frame1(1)"), QStringLiteral("检索期选择"));
    Option1[3] = radio("Option1", 3, QStringLiteral("上期"));
    MaskEdBox2 = named(new DigitBox, QStringLiteral("MaskEdBox2"));
    MaskEdBox2->setToolTip(QStringLiteral("在此补充输入最新历史号码"));
    Option1[2] = named(
        new GapRadioButton(QStringLiteral("前    期"), MaskEdBox2, 1, 4, MaskEdBox2->sizeHint().width() + 8),
        QStringLiteral("Option1(2)"));
    describe(Option1[2], QStringLiteral("前 N 期"), QStringLiteral("检索号码取自最新一期之前的第 N 期"));
    describe(MaskEdBox2, QStringLiteral("前几期"), QStringLiteral("“前 N 期”的 N，1 到 9"));
    column(Frame1[1], {Option1[3], Option1[2]});

    Frame1[2] = group(QStringLiteral("Frame1(2)"), QStringLiteral("号码组选择"));
    Option2[4] = radio("Option2", 4, QStringLiteral("直选"));
    Option2[5] = radio("Option2", 5, QStringLiteral("组选"));
    column(Frame1[2], {Option2[4], Option2[5]});

    Frame3 = group(QStringLiteral("Frame3"), QStringLiteral("搜索类型选择"));
    Frame4 = group(QStringLiteral("Frame4"), QStringLiteral("结果类型选择"));
    const QStringList kinds = {QStringLiteral("号码"), QStringLiteral("大小"), QStringLiteral("单双"),
                               QStringLiteral("段数")};
    for (int i = 0; i < 4; ++i) {
        Option3[i] = radio("Option3", i, kinds[i]);
        Option4[i] = radio("Option4", i, kinds[i]);
    }
    column(Frame3, {Option3[0], Option3[1], Option3[2], Option3[3]});
    column(Frame4, {Option4[0], Option4[1], Option4[2], Option4[3]});

    Frame6 = group(QStringLiteral("Frame6"), QStringLiteral("结果统计选择"));
    for (int i = 1; i <= 3; ++i)
        Option5[i] = radio("Option5", i, QStringLiteral("第%1位").arg(i));
    column(Frame6, {Option5[1], Option5[2], Option5[3]});

    g->addWidget(Frame1[0], 0, 0);
    g->addWidget(Frame1[1], 0, 1);
    g->addWidget(Frame1[2], 0, 2);
    g->addWidget(Frame3, 1, 0);
    g->addWidget(Frame4, 1, 1);
    g->addWidget(Frame6, 1, 2);

    buildPatternTabs();
    g->addWidget(TabStrip1, 2, 0, 1, 3);

    Frame7 = group(QStringLiteral("Frame7"), QStringLiteral("检索起止期数"));
    auto* range = new QHBoxLayout(Frame7);
    Label3[0] = named(new QLabel(QStringLiteral("起")), QStringLiteral("Label3(0)"));
    Label3[1] = named(new QLabel(QStringLiteral("止")), QStringLiteral("Label3(1)"));
    Label4 = named(new QLabel(QStringLiteral("～")), QStringLiteral("Label4"));
    Text3[0] = smallBox(QStringLiteral("Text3(0)"), 8);
    Text3[1] = smallBox(QStringLiteral("Text3(1)"), 8);
    for (QLineEdit* e : Text3)
        e->setMaxLength(10);
    Label3[0]->setBuddy(Text3[0]);
    Label3[1]->setBuddy(Text3[1]);
    describe(Text3[0], QStringLiteral("检索起始期号"), QStringLiteral("检索范围的第一期（含）"));
    describe(Text3[1], QStringLiteral("检索截止期号"), QStringLiteral("检索范围的最后一期（含）"));
    range->addWidget(Label3[0]);
    range->addWidget(Text3[0]);
    range->addWidget(Label4);
    range->addWidget(Label3[1]);
    range->addWidget(Text3[1]);
    range->addStretch();
    g->addWidget(Frame7, 4, 0, 1, 3);

    Command1 = named(new QPushButton(QStringLiteral("检索(&S)")), QStringLiteral("Command1"));
    Command1->setMinimumHeight(Command1->sizeHint().height() + 10);
    Command1->setDefault(true);
    g->addWidget(Command1, 5, 0);
    cmdSuoshui = named(new QPushButton(QStringLiteral("缩水(&F)")), QStringLiteral("cmdSuoshui"));
    cmdSuoshui->setToolTip(
        QStringLiteral("按和值、跨度、形态、胆码、杀号等条件从 1000 注中缩水，并看它的历史战绩"));
    cmdSuoshui->setMinimumHeight(Command1->minimumHeight());
    g->addWidget(cmdSuoshui, 5, 1);
    cmdHuice = named(new QPushButton(QStringLiteral("回测(&B)")), QStringLiteral("cmdHuice"));
    cmdHuice->setToolTip(QStringLiteral("逐期回测这个检索：每期只用该期之前的历史号码预测，与随机相比"));
    cmdHuice->setMinimumHeight(Command1->minimumHeight());
    g->addWidget(cmdHuice, 5, 2);

    Frame5 = group(QStringLiteral("Frame5"), QStringLiteral("组合组位检索"));
    auto* combo = new QGridLayout(Frame5);
    Label1 = named(new QLabel(QStringLiteral("组合位数")), QStringLiteral("Label1"));
    Combo1 = named(new QComboBox, QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    Combo1->setEditText(QStringLiteral("2"));
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->lineEdit()->setMaxLength(6); // room enough to say what was typed when it is refused
    Label1->setBuddy(Combo1);
    describe(Combo1, QStringLiteral("组合位数"), QStringLiteral("组合检索比较的位数，1 到 3"));
    describe(Combo1->lineEdit(), QStringLiteral("组合位数"));
    Combo1->setMinimumContentsLength(3);
    Option6[0] = radio("Option6", 0, QStringLiteral("红蓝"));
    Option6[1] = radio("Option6", 1, QStringLiteral("红球"));
    Command2 = named(new QPushButton(QStringLiteral("组合检索(&G)")), QStringLiteral("Command2"));
    combo->addWidget(Label1, 0, 0);
    combo->addWidget(Combo1, 0, 1);
    combo->addWidget(Option6[0], 0, 2);
    combo->addWidget(Option6[1], 0, 3);
    combo->setColumnStretch(4, 1);
    combo->addWidget(Command2, 1, 0, 1, 5);
    g->addWidget(Frame5, 6, 0, 1, 3);

    g->setRowStretch(7, 1);

    panel->setFixedWidth(panel->sizeHint().width());
}

void SearchControls::buildPatternTabs() {
    // Pattern sources: one page per tab, each a caption-less frame of three positions.
    TabStrip1 = named(new QTabWidget, QStringLiteral("TabStrip1"));
    struct Page {
        const char* checkName;
        int checkBase;
        const char* boxName;
        int boxBase;
        QString caption;
    };
    const Page pages[3] = {{"Check1", 0, "Text2", 0, QStringLiteral("自动历史位")},
                           {"Check11", 0, "Text22", 0, QStringLiteral("手动输入号")},
                           {"Check1", 10, "Text2", 10, QStringLiteral("验证指定期")}};
    for (int t = 0; t < 3; ++t) {
        auto* frame = new QFrame;
        frame->setObjectName(indexed("Frame2", t));
        Frame2[t] = frame;
        auto* v = new QVBoxLayout(frame);
        v->setContentsMargins(8, 8, 8, 8);
        auto* h = new QHBoxLayout;
        v->addLayout(h);
        for (int p = 1; p <= 3; ++p) {
            const int ci = pages[t].checkBase + p;
            auto* check =
                named(new QCheckBox(QStringLiteral("第%1位").arg(p)), indexed(pages[t].checkName, ci));
            check->setChecked(true);
            auto* box = smallBox(indexed(pages[t].boxName, pages[t].boxBase + p), 3);
            static const char* const what[3] = {"检索号码", "手动输入的检索号码", "指定期之前的检索号码"};
            describe(box, QStringLiteral("第%1位%2").arg(p).arg(QString::fromUtf8(what[t])));
            describe(check, check->text(), QStringLiteral("检索时比较第%1位").arg(p));
            if (t == 1) {
                Check11[p] = check;
                Text22[p] = box;
                acceptPatternCharacters(box);
            } else {
                Check1[ci] = check;
                Text2[pages[t].boxBase + p] = box;
                box->setMaxLength(6);
            }
            h->addWidget(check);
            h->addWidget(box);
            if (p < 3)
                h->addSpacing(6);
        }
        h->addStretch();
        v->addStretch();
        TabStrip1->addTab(frame, pages[t].caption);
    }
    // The chosen issue and the limit to the draws before it belong to the third tab: on it they
    // are, and only its searches are limited.
    auto* limit = new QHBoxLayout;
    auto* chosen = new QLabel(QStringLiteral("指定期(&I)"));
    Text4 = smallBox(QStringLiteral("Text4"), 8);
    Text4->setText(QStringLiteral("2013001"));
    Text4->setMaxLength(7);
    chosen->setBuddy(Text4);
    describe(Text4, QStringLiteral("指定期号"),
             QStringLiteral("“验证指定期”取这一期之前的号码检索；勾选“仅检索该期前”时只检索它之前的各期"));
    Check4 = named(new QCheckBox(QStringLiteral("仅检索该期前")), QStringLiteral("Check4"));
    Check4->setToolTip(QStringLiteral(
        "只用于“验证指定期”：检索范围止于指定期的前一期；换到其他检索号码来源时，范围恢复到最新一期"));
    describe(Check4, Check4->text(), QStringLiteral("只用于验证指定期：检索范围止于指定期的前一期"));
    limit->addWidget(chosen);
    limit->addWidget(Text4);
    limit->addSpacing(6);
    limit->addWidget(Check4);
    limit->addStretch();
    static_cast<QVBoxLayout*>(Frame2[2]->layout())->insertLayout(1, limit);
    describe(TabStrip1, QStringLiteral("检索号码来源"));
    describe(TabStrip1->tabBar(), QStringLiteral("检索号码来源"));
}

} // namespace brenvik::ui
