// Construction of the window: controls, groups, grids and menus. Every control carries the
// name of the window's control list as its objectName, control arrays with their index.
#include "AboutBox.h"
#include "DigitBox.h"
#include "GapCaption.h"
#include "frmMain.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QVBoxLayout>
#include <QValidator>

namespace brenvik::ui {

namespace {

QString indexed(const char* name, int index) {
    return QStringLiteral("%1(%2)").arg(QLatin1String(name)).arg(index);
}

template <typename W> W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}

QRadioButton* radio(const char* name, int index, const QString& caption) {
    return named(new QRadioButton(caption), indexed(name, index));
}

QGroupBox* group(const QString& name, const QString& title) {
    auto* g = named(new QGroupBox(title), name);
    return g;
}

// Twips of the original layout to pixels at the window's font size.
int twips(int t) {
    return t / 15 + t / 100;
}

// A grid that never shows part of a row at its top: its viewport holds whole rows, and what is
// left over stays blank below them. Scrolled to its end, the rows then line up with the top.
class WholeRowsView : public QTableView {
protected:
    void updateGeometries() override {
        // Setting the margins resizes the viewport, which comes back here.
        if (m_trimming)
            return;
        m_trimming = true;
        // A grid scrolled to its newest rows stays there when the window settles or is resized.
        QScrollBar* bar = verticalScrollBar();
        const bool atEnd = bar->maximum() > 0 && bar->value() == bar->maximum();
        QTableView::updateGeometries();
        if (atEnd)
            bar->setValue(bar->maximum());
        QHeaderView* rows = verticalHeader();
        const int row = rows->defaultSectionSize();
        const QMargins m = viewportMargins();
        if (row > 0)
            setViewportMargins(m.left(), m.top(), m.right(), viewport()->height() % row);
        // The hidden rows' header decides where the last row sits when the grid is scrolled to
        // its end: it takes the trimmed height too.
        rows->setGeometry(rows->x(), rows->y(), rows->width(), viewport()->height());
        rows->viewport()->resize(rows->viewport()->width(), viewport()->height());
        if (bar->maximum() > 0 && bar->value() == bar->maximum())
            rows->setOffsetToLastSection();
        m_trimming = false;
    }

private:
    bool m_trimming = false;
};

// What typing lets into the manual pattern boxes, pasted text included: a minus sign and digits,
// six characters at most (a 16-bit whole number).
class PatternCharacters : public QValidator {
public:
    using QValidator::QValidator;
    State validate(QString& input, int& pos) const override {
        const auto kept = [](QString s) {
            s.removeIf([](QChar c) {
                return c != QLatin1Char('-') && (c < QLatin1Char('0') || c > QLatin1Char('9'));
            });
            return s;
        };
        pos = static_cast<int>(std::min<qsizetype>(kept(input.left(pos)).size(), 6));
        input = kept(input).left(6);
        return Acceptable;
    }
};

// Wrapped text that takes the lines its width needs without making the whole window trade
// height for width: a scroll area would otherwise size the columns by their preferred heights.
class WrappedLabel : public QLabel {
public:
    explicit WrappedLabel(const QString& text) : QLabel(text) {
        setWordWrap(true);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    }
    bool hasHeightForWidth() const override { return false; }
    QSize sizeHint() const override { return {QLabel::sizeHint().width(), linesHeight()}; }
    QSize minimumSizeHint() const override { return {QLabel::minimumSizeHint().width(), linesHeight()}; }

protected:
    void resizeEvent(QResizeEvent* event) override {
        QLabel::resizeEvent(event);
        if (event->oldSize().width() != width())
            updateGeometry();
    }

private:
    int linesHeight() const { return heightForWidth(width() > 0 ? width() : QLabel::sizeHint().width()); }
};

QTableView* grid(const QString& name, QAbstractItemModel* model, QTableView* view = new QTableView) {
    named(view, name);
    view->setModel(model);
    view->setToolTip(QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));
    view->verticalHeader()->hide();
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 6);
    view->horizontalHeader()->setStretchLastSection(true);
    view->horizontalHeader()->setHighlightSections(false);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setSelectionMode(QAbstractItemView::SingleSelection);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setAlternatingRowColors(true);
    view->setWordWrap(false);
    view->setVerticalScrollMode(QAbstractItemView::ScrollPerItem);
    return view;
}

QLineEdit* smallBox(const QString& name, int chars) {
    auto* e = named(new QLineEdit, name);
    e->setAlignment(Qt::AlignCenter);
    const int w = e->fontMetrics().horizontalAdvance(QString(chars, QLatin1Char('0'))) + 14;
    e->setFixedWidth(w);
    return e;
}

} // namespace

void frmMain::buildWindow() {
    setObjectName(QStringLiteral("frmMain"));
    showWindowTitle();

    QFont f = font();
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Serif CJK SC"), QStringLiteral("WenQuanYi Micro Hei")});
    setFont(f);

    m_historyModel = new HistoryGridModel(this);
    m_matchedModel = new MatchedGridModel(this);
    m_resultModel = new ResultGridModel(this);

    auto* columns = new QWidget;
    auto* row = new QHBoxLayout(columns);
    row->setContentsMargins(8, 8, 8, 4);
    row->setSpacing(10);
    row->addWidget(buildHistoryPanel(), 0);
    row->addWidget(buildOptionsPanel(), 0);
    row->addWidget(buildResultsPanel(), 1);
    // On a small or strongly scaled screen the columns keep the widths their controls need and
    // the window scrolls sideways instead of squeezing them.
    auto* central = named(new QScrollArea, QStringLiteral("windowScroll"));
    central->setFrameShape(QFrame::NoFrame);
    central->setWidgetResizable(true);
    central->setWidget(columns);
    setCentralWidget(central);

    buildMenus();

    m_folderLabel = new QLabel;
    m_folderLabel->setObjectName(QStringLiteral("dataFolderLabel"));
    m_folderLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    statusBar()->addPermanentWidget(m_folderLabel);
    statusBar()->setSizeGripEnabled(true);

    setMinimumSize(600, 360);
    // A screen too small for the whole window gets all of it.
    const QSize wanted(1180, 760);
    const QRect screen = this->screen()->availableGeometry();
    resize(wanted.boundedTo(screen.size()));
    if (wanted.width() > screen.width() || wanted.height() > screen.height())
        setWindowState(Qt::WindowMaximized);
}

QWidget* frmMain::buildHistoryPanel() {
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);

    // Manual entry: the caption leaves room for the next issue number, which Text1 fills.
    auto* entry = new QGroupBox;
    entry->setObjectName(QStringLiteral("entryGroup"));
    auto* ev = new QVBoxLayout(entry);
    Text1 = named(new QLineEdit(QStringLiteral("2007001")), QStringLiteral("Text1"));
    Text1->setAlignment(Qt::AlignCenter);
    Text1->setMaxLength(7);
    Text1->setToolTip(QStringLiteral("下一期的期号，可以修改"));
    const int issueWidth = Text1->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16;
    Label12 =
        named(new GapLabel(QStringLiteral("在下面输入 2007001    期历史号码:"), Text1, 6, 11, issueWidth),
              QStringLiteral("Label12(1)"));
    ev->addWidget(Label12);

    auto* digits = new QHBoxLayout;
    digits->addStretch();
    QFont big = font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    big.setBold(true);
    for (int i = 1; i <= 3; ++i) {
        MaskEdBox1[i] = named(new DigitBox, indexed("MaskEdBox1", i));
        MaskEdBox1[i]->setFont(big);
        MaskEdBox1[i]->setToolTip(QStringLiteral("在此补充输入最新历史号码"));
        digits->addWidget(MaskEdBox1[i]);
    }
    digits->addStretch();
    ev->addLayout(digits);
    v->addWidget(entry);

    MSFlexGrid1 = grid(QStringLiteral("MSFlexGrid1"), m_historyModel, new WholeRowsView);
    // The issue column keeps its width; the three digits share the rest equally.
    auto* header = MSFlexGrid1->horizontalHeader();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(0, QHeaderView::Fixed);
    MSFlexGrid1->setColumnWidth(0, twips(1200));
    for (int c = 1; c <= 3; ++c)
        header->setSectionResizeMode(c, QHeaderView::Stretch);
    MSFlexGrid1->setMinimumHeight(MSFlexGrid1->verticalHeader()->defaultSectionSize() * 4);
    v->addWidget(MSFlexGrid1, 1);

    // Over the empty history: how draws get in.
    m_emptyHint = named(new QLabel(QStringLiteral("还没有历史号码。\n\n点“读取历史号文本”从文本文件读入，"
                                                  "点“历史号在线更新”从网上更新，"
                                                  "或在上面的三个格子里逐期输入。")),
                        QStringLiteral("emptyHistoryHint"));
    m_emptyHint->setWordWrap(true);
    m_emptyHint->setAlignment(Qt::AlignCenter);
    m_emptyHint->setForegroundRole(QPalette::PlaceholderText);
    m_emptyHint->setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* over = new QVBoxLayout(MSFlexGrid1->viewport());
    over->setContentsMargins(12, 12, 12, 12);
    over->addWidget(m_emptyHint);

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
    v->addLayout(buttons);

    panel->setFixedWidth(std::max(panel->sizeHint().width(), twips(1200 + 3 * 620) + 60));
    return panel;
}

QWidget* frmMain::buildOptionsPanel() {
    auto* panel = new QWidget;
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
    const int frameIndex[3] = {0, 1, 2};
    for (int t = 0; t < 3; ++t) {
        auto* frame = new QFrame;
        frame->setObjectName(indexed("Frame2", frameIndex[t]));
        Frame2[frameIndex[t]] = frame;
        auto* h = new QHBoxLayout(frame);
        h->setContentsMargins(8, 8, 8, 8);
        for (int p = 1; p <= 3; ++p) {
            const int ci = pages[t].checkBase + p;
            auto* check =
                named(new QCheckBox(QStringLiteral("第%1位").arg(p)), indexed(pages[t].checkName, ci));
            check->setChecked(true);
            auto* box = smallBox(indexed(pages[t].boxName, pages[t].boxBase + p), 3);
            if (t == 1) {
                Check11[p] = check;
                Text22[p] = box;
                box->setValidator(new PatternCharacters(box));
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
        TabStrip1->addTab(frame, pages[t].caption);
    }
    g->addWidget(TabStrip1, 2, 0, 1, 3);

    auto* limit = new QHBoxLayout;
    Check4 = named(new QCheckBox(QStringLiteral("仅检索该期前")), QStringLiteral("Check4"));
    Text4 = smallBox(QStringLiteral("Text4"), 8);
    Text4->setText(QStringLiteral("2013001"));
    Text4->setMaxLength(7);
    limit->addWidget(Check4);
    limit->addWidget(Text4);
    limit->addStretch();
    g->addLayout(limit, 3, 0, 1, 3);

    Frame7 = group(QStringLiteral("Frame7"), QStringLiteral("检索起止期数"));
    auto* range = new QHBoxLayout(Frame7);
    Label3[0] = named(new QLabel(QStringLiteral("起")), QStringLiteral("Label3(0)"));
    Label3[1] = named(new QLabel(QStringLiteral("止")), QStringLiteral("Label3(1)"));
    Label4 = named(new QLabel(QStringLiteral("～")), QStringLiteral("Label4"));
    Text3[0] = smallBox(QStringLiteral("Text3(0)"), 8);
    Text3[1] = smallBox(QStringLiteral("Text3(1)"), 8);
    for (QLineEdit* e : Text3)
        e->setMaxLength(10);
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
    g->addWidget(Command1, 5, 0, 1, 3);

    Frame5 = group(QStringLiteral("Frame5"), QStringLiteral("组合组位检索"));
    auto* combo = new QGridLayout(Frame5);
    Label1 = named(new QLabel(QStringLiteral("组合位数")), QStringLiteral("Label1"));
    Combo1 = named(new QComboBox, QStringLiteral("Combo1"));
    Combo1->setEditable(true);
    Combo1->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    Combo1->setEditText(QStringLiteral("2"));
    Combo1->setInsertPolicy(QComboBox::NoInsert);
    Combo1->lineEdit()->setMaxLength(6); // a 16-bit whole number at most
    Combo1->setMinimumContentsLength(3);
    Combo1->installEventFilter(this);
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
    // Taller than a small screen: the column scrolls, its width stays.
    auto* scroll = named(new QScrollArea, QStringLiteral("optionsScroll"));
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    scroll->setWidget(panel);
    scroll->setFixedWidth(panel->width() + scroll->verticalScrollBar()->sizeHint().width());
    scroll->setMinimumHeight(120);
    return scroll;
}

QWidget* frmMain::buildResultsPanel() {
    auto* split = new QSplitter(Qt::Vertical);
    split->setObjectName(QStringLiteral("resultSplitter"));
    split->setChildrenCollapsible(false);

    auto titled = [](const QString& title, QWidget* content) {
        auto* w = new QWidget;
        auto* v = new QVBoxLayout(w);
        v->setContentsMargins(0, 0, 0, 0);
        v->setSpacing(3);
        auto* label = new QLabel(title);
        QFont f = label->font();
        f.setBold(true);
        label->setFont(f);
        v->addWidget(label);
        v->addWidget(content, 1);
        return w;
    };

    MSFlexGrid3 = grid(QStringLiteral("MSFlexGrid3"), m_resultModel);
    const int widths3[] = {480, 680, 800, 880};
    for (int c = 0; c < 4; ++c)
        MSFlexGrid3->setColumnWidth(c, twips(widths3[c]));
    MSFlexGrid2 = grid(QStringLiteral("MSFlexGrid2"), m_matchedModel);
    const int widths2[] = {1200, 680, 680, 680, 1800};
    for (int c = 0; c < 5; ++c)
        MSFlexGrid2->setColumnWidth(c, twips(widths2[c]));

    // Both result grids share their width among their columns; on a narrow window they shrink
    // down to columns that still show their headers whole.
    for (QTableView* g : {MSFlexGrid2, MSFlexGrid3}) {
        auto* header = g->horizontalHeader();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::Stretch);
        header->setMinimumSectionSize(header->fontMetrics().horizontalAdvance(QStringLiteral("出现次数")) + 12);
        g->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        g->setMinimumWidth(header->minimumSectionSize() * g->model()->columnCount() +
                           g->verticalScrollBar()->sizeHint().width() + 2 * g->frameWidth());
        g->setMinimumHeight(g->verticalHeader()->defaultSectionSize() * 3);
    }
    // A long list of draws keeps its scroll bar, so the stretched columns do not shift under it.
    MSFlexGrid2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    split->addWidget(titled(QStringLiteral("统计结果"), MSFlexGrid3));
    split->addWidget(titled(QStringLiteral("检索到的开奖"), MSFlexGrid2));
    // The tally has at most eleven rows; the matched draws take the rest.
    const int rowH = MSFlexGrid3->verticalHeader()->defaultSectionSize();
    split->setSizes({rowH * 12 + 40, 400});
    split->setStretchFactor(1, 1);

    // What the grids' results were searched with, and whether the controls still say so.
    auto* panel = new QWidget;
    auto* v = new QVBoxLayout(panel);
    v->setContentsMargins(0, 0, 0, 0);
    m_summary = named(new WrappedLabel(QStringLiteral("尚未检索。")), QStringLiteral("conditionSummary"));
    m_summary->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_summary->setEnabled(false);
    v->addWidget(m_summary);
    v->addWidget(split, 1);
    return panel;
}

void frmMain::buildMenus() {
    mnuCaizhong = named(menuBar()->addMenu(QStringLiteral("彩种选择")), QStringLiteral("mnuCaizhong"));
    mnu3D[0] = named(mnuCaizhong->addAction(QStringLiteral("福彩3D")), QStringLiteral("mnu3D(0)"));
    mnu3D[1] = named(mnuCaizhong->addAction(QStringLiteral("体彩排列3")), QStringLiteral("mnu3D(1)"));
    for (QAction* a : mnu3D)
        a->setCheckable(true);

    mnuLsgl = named(new QMenu(QStringLiteral("历史管理"), this), QStringLiteral("mnuLsgl"));
    mnuDcls = named(mnuLsgl->addAction(QStringLiteral("导出历史号码(&O)")), QStringLiteral("mnuDcls"));
    mnuErase = named(mnuLsgl->addAction(QStringLiteral("删除最后历史(&E)")), QStringLiteral("mnuErase"));
    mnuClear = named(mnuLsgl->addAction(QStringLiteral("清空历史号码(&C)")), QStringLiteral("mnuClear"));
    mnuDlzd = named(mnuLsgl->addAction(QStringLiteral("删除到选定期(&D)")), QStringLiteral("mnuDlzd"));
    mnuEszhzd =
        named(mnuLsgl->addAction(QStringLiteral("删除最后指定数量期历史(&N)")), QStringLiteral("mnuEszhzd"));
    mnuLsgl->addSeparator();
    mnuUndo = named(mnuLsgl->addAction(QStringLiteral("撤销上次更改(&Z)")), QStringLiteral("mnuUndo"));

    mnuSetup = named(new QMenu(QStringLiteral("设置"), this), QStringLiteral("mnuSetup"));
    mnuDssetup = named(mnuSetup->addMenu(QStringLiteral("段数参数设置(&A)")), QStringLiteral("mnuDssetup"));
    mnuDscs[0] = named(mnuDssetup->addAction(QStringLiteral("段数参数0~4")), QStringLiteral("mnuDscs(0)"));
    mnuDscs[1] = named(mnuDssetup->addAction(QStringLiteral("段数参数1~5")), QStringLiteral("mnuDscs(1)"));
    for (QAction* a : mnuDscs)
        a->setCheckable(true);
    mnuSetup->addSeparator();
    mnuSetDay =
        named(mnuSetup->addAction(QStringLiteral("历史号码更新检索年(&Y)")), QStringLiteral("mnuSetDay"));
    mnuChartSite =
        named(mnuSetup->addAction(QStringLiteral("图表站点(&U)…")), QStringLiteral("mnuChartSite"));
    mnuFrontPage =
        named(mnuSetup->addAction(QStringLiteral("软件介绍服务主页(&P)")), QStringLiteral("mnuFrontPage"));
    mnuDescrb =
        named(mnuSetup->addAction(QStringLiteral("软件介绍说明页面(&R)")), QStringLiteral("mnuDescrb"));
    numYanshiDown = named(mnuSetup->addAction(QStringLiteral("软件演示说明录像下载(&D)")),
                          QStringLiteral("numYanshiDown"));
    mnuSetup->addSeparator();

    mnuChart = named(menuBar()->addMenu(QStringLiteral("图表(&V)")), QStringLiteral("mnuChart"));
    mnuTrend = named(mnuChart->addAction(QStringLiteral("走势图(&Z)")), QStringLiteral("mnuTrend"));
    connect(mnuTrend, &QAction::triggered, this, &frmMain::showTrend);
    connect(cmdTrend, &QPushButton::clicked, this, &frmMain::showTrend);

    mnuHelp = named(menuBar()->addMenu(QStringLiteral("帮助(&H)")), QStringLiteral("mnuHelp"));
    mnuManual = named(mnuHelp->addAction(QStringLiteral("使用说明(&M)")), QStringLiteral("mnuManual"));
    mnuManual->setShortcut(QKeySequence(Qt::Key_F1));
    mnuAbout = named(mnuHelp->addAction(QStringLiteral("关于(&A)")), QStringLiteral("mnuAbout"));
    mnuAbout->setMenuRole(QAction::AboutRole);
    // The manual itself, whatever page the settings menu's items were pointed at.
    connect(mnuManual, &QAction::triggered, this, [this] { openInBrowser(manualUrl()); });
    connect(mnuAbout, &QAction::triggered, this, [this] { showAboutBox(this, m_dataFolder); });
}

} // namespace brenvik::ui
