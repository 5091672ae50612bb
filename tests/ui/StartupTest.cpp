// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: every control of the window with its caption, the option controls set from the
// settings, and a database file that cannot be used.
#include "AppPaths.h"
#include "BuildInfo.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProcess>
#include <QScrollArea>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

QString captionOf(QObject* o) {
    if (auto b = qobject_cast<QAbstractButton*>(o))
        return b->text();
    if (auto l = qobject_cast<QLabel*>(o))
        return l->text();
    if (auto g = qobject_cast<QGroupBox*>(o))
        return g->title();
    if (auto e = qobject_cast<QLineEdit*>(o))
        return e->text();
    return {};
}

struct Control {
    const char* name;
    const char* caption; // nullptr: no caption to check
    const char* tab = nullptr;
    int page = 0; // tab page that shows the control
};

const Control kControls[] = {
    {"Frame4", "结果类型选择"},
    {"Option4(0)", "号码"},
    {"Option4(1)", "大小"},
    {"Option4(2)", "单双"},
    {"Option4(3)", "段数"},
    {"Frame1(0)", "检索位选择"},
    {"Option1(1)", "自由位"},
    {"Option1(0)", "固定位"},
    {"Frame1(1)", "检索期选择"},
    {"Option1(3)", "上期"},
    {"Option1(2)", "前    期"},
    {"MaskEdBox2", nullptr},
    {"Frame1(2)", "号码组选择"},
    {"Option2(4)", "直选"},
    {"Option2(5)", "组选"},
    {"Frame5", "组合组位检索"},
    {"Combo1", nullptr},
    {"Label1", "组合位数"},
    {"Option6(0)", "红蓝"},
    {"Option6(1)", "红球"},
    {"Command2", "组合检索(&G)"},
    {"Frame3", "搜索类型选择"},
    {"Option3(0)", "号码"},
    {"Option3(1)", "大小"},
    {"Option3(2)", "单双"},
    {"Option3(3)", "段数"},
    {"Frame6", "结果统计选择"},
    {"Option5(1)", "第1位"},
    {"Option5(2)", "第2位"},
    {"Option5(3)", "第3位"},
    {"Frame7", "检索起止期数"},
    {"Text3(0)", nullptr},
    {"Text3(1)", nullptr},
    {"Label3(0)", "起"},
    {"Label3(1)", "止"},
    {"Label4", "～"},
    {"Frame2(0)", nullptr, "", 0},
    {"Check1(1)", "第1位", "", 0},
    {"Check1(2)", "第2位", "", 0},
    {"Check1(3)", "第3位", "", 0},
    {"Text2(1)", nullptr, "", 0},
    {"Text2(2)", nullptr, "", 0},
    {"Text2(3)", nullptr, "", 0},
    {"Frame2(2)", nullptr, "", 2},
    {"Check1(11)", "第1位", "", 2},
    {"Check1(12)", "第2位", "", 2},
    {"Check1(13)", "第3位", "", 2},
    {"Text2(11)", nullptr, "", 2},
    {"Text2(12)", nullptr, "", 2},
    {"Text2(13)", nullptr, "", 2},
    {"Frame2(1)", nullptr, "", 1},
    {"Check11(1)", "第1位", "", 1},
    {"Check11(2)", "第2位", "", 1},
    {"Check11(3)", "第3位", "", 1},
    {"Text22(1)", "", "", 1},
    {"Text22(2)", "", "", 1},
    {"Text22(3)", "", "", 1},
    {"Label12(1)", "在下面输入 2007001    期历史号码:"},
    {"MaskEdBox1(1)", ""},
    {"MaskEdBox1(2)", ""},
    {"MaskEdBox1(3)", ""},
    {"Text1", nullptr},
    {"Check4", "仅检索该期前", "", 2},
    {"Text4", nullptr, "", 2},
    {"Command1", "检索(&S)"},
    {"Command3", "删除最后历史(&D)"},
    {"Command4", "历史号码导出文本文件(&O)"},
    {"Command21", "历史号在线更新(&U)"},
    {"cmdRdLst", "读取历史号文本(&W)"},
    {"Command9", "软件设置(&T)"},
    {"MSFlexGrid1", nullptr},
    {"MSFlexGrid2", nullptr},
    {"MSFlexGrid3", nullptr},
    {"TabStrip1", nullptr},
};

} // namespace

class StartupTest : public QObject {
    Q_OBJECT
private slots:
    void everyControlIsThereWithItsCaption();
    void toolTipsTabsAndMenus();
    void defaultsWithNoStoredSettings();
    void storedLotteryTypeTicksItsMenu();
    void storedOptionsSetTheControls();
    void patternAndRangeFromNDrawsBack();
    void aDatabaseThatIsNotOursIsReportedAndKept();
    void eachOptionWritesItsKeyAtOnce();
    void menusTickAndRemember();
    void popupMenus();
    void aSettingThatCannotBeSavedIsReported();
    void oneProgramAtATimeChangesTheFolder();
};

void StartupTest::everyControlIsThereWithItsCaption() {
    WindowFixture f;
    auto& w = f.open();
    auto* tabs = f.find<QTabWidget>("TabStrip1");
    const std::string_view version = productVersion();
    QVERIFY(w.windowTitle().startsWith(QStringLiteral("Brenvik 3D — ")));
    QVERIFY(w.windowTitle().endsWith(
        QStringLiteral(" — v") + QString::fromUtf8(version.data(), static_cast<qsizetype>(version.size()))));
    // However small the window, its groups keep the room they need: it scrolls down instead,
    // never sideways.
    w.resize(400, 300);
    QApplication::processEvents();
    QVERIFY(w.width() >= w.minimumSizeHint().width() && w.height() >= w.minimumSizeHint().height());
    const auto* scroll = f.find<QScrollArea>("windowScroll");
    const QWidget* columns = scroll->widget();
    // The panels are arranged anew for the width once the resize has gone through.
    QTRY_VERIFY(columns->width() <= scroll->viewport()->width());
    QVERIFY(columns->width() >= columns->minimumSizeHint().width());
    QVERIFY(columns->height() > scroll->viewport()->height());
    w.resize(1180, 760);
    QCOMPARE(w.objectName(), QStringLiteral("frmMain"));
    for (int page = 0; page < 3; ++page) {
        tabs->setCurrentIndex(page);
        for (const Control& c : kControls) {
            if (c.tab && c.page != page)
                continue;
            if (!c.tab && page != 0)
                continue;
            QWidget* widget = f.find<QWidget>(QString::fromUtf8(c.name));
            QVERIFY2(widget, c.name);
            QVERIFY2(widget->isVisibleTo(&w), c.name);
            QVERIFY2(widget->width() > 4 && widget->height() > 4, c.name);
            if (c.caption)
                QCOMPARE(captionOf(widget), QString::fromUtf8(c.caption));
        }
    }
}

void StartupTest::toolTipsTabsAndMenus() {
    WindowFixture f;
    f.open();
    for (const char* name : {"MaskEdBox1(1)", "MaskEdBox1(2)", "MaskEdBox1(3)", "MaskEdBox2"})
        QCOMPARE(f.find<QWidget>(name)->toolTip(), QStringLiteral("在此补充输入最新历史号码"));
    QCOMPARE(f.find<QWidget>("Command21")->toolTip(), QStringLiteral("从官方服务器更新历史号码"));
    QCOMPARE(f.find<QWidget>("cmdRdLst")->toolTip(),
             QStringLiteral("从历史号码文本文件中读取历史号中最后一期之后的新的历史号码"));
    for (const char* grid : {"MSFlexGrid1", "MSFlexGrid2", "MSFlexGrid3"})
        QCOMPARE(f.find<QWidget>(grid)->toolTip(), QStringLiteral("鼠标双击列表可以将列表导出到EXCEL"));

    auto* tabs = f.find<QTabWidget>("TabStrip1");
    QCOMPARE(tabs->count(), 3);
    QCOMPARE(tabs->tabText(0), QStringLiteral("自动历史位"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("手动输入号"));
    QCOMPARE(tabs->tabText(2), QStringLiteral("验证指定期"));
    QCOMPARE(tabs->widget(0)->objectName(), QStringLiteral("Frame2(0)"));
    QCOMPARE(tabs->widget(1)->objectName(), QStringLiteral("Frame2(1)"));
    QCOMPARE(tabs->widget(2)->objectName(), QStringLiteral("Frame2(2)"));

    auto actions = [&](const char* menu) {
        QStringList out;
        for (QAction* a : f.find<QMenu>(menu)->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->objectName() + QLatin1Char('=') + a->text());
        return out;
    };
    QCOMPARE(f.find<QMenu>("mnuLsgl")->title(), QStringLiteral("历史管理"));
    QCOMPARE(
        actions("mnuLsgl"),
        (QStringList{QStringLiteral("mnuDcls=导出历史号码(&O)"), QStringLiteral("mnuErase=删除最后历史(&E)"),
                     QStringLiteral("mnuClear=清空历史号码(&C)"), QStringLiteral("mnuDlzd=删除到选定期(&D)"),
                     QStringLiteral("mnuEszhzd=删除最后指定数量期历史(&N)"), QStringLiteral("-"),
                     QStringLiteral("mnuUndo=撤销上次更改(&Z)"), QStringLiteral("mnuHfls=恢复历史…"),
                     QStringLiteral("-"), QStringLiteral("mnuHuice=回测(&B)")}));
    QCOMPARE(f.find<QMenu>("mnuSetup")->title(), QStringLiteral("设置"));
    QCOMPARE(actions("mnuSetup"),
             (QStringList{QStringLiteral("=段数参数设置(&A)"), QStringLiteral("-"),
                          QStringLiteral("mnuSetDay=历史号码更新检索年(&Y)"),
                          QStringLiteral("mnuSource=数据来源(&S)…"),
                          QStringLiteral("mnuFrontPage=软件介绍服务主页(&P)"),
                          QStringLiteral("mnuDescrb=软件介绍说明页面(&R)"),
                          QStringLiteral("numYanshiDown=软件演示说明录像下载(&D)"), QStringLiteral("-")}));
    QCOMPARE(f.find<QMenu>("mnuDssetup")->title(), QStringLiteral("段数参数设置(&A)"));
    QCOMPARE(actions("mnuDssetup"), (QStringList{QStringLiteral("mnuDscs(0)=段数参数0~4"),
                                                 QStringLiteral("mnuDscs(1)=段数参数1~5")}));
    QCOMPARE(f.find<QMenu>("mnuCaizhong")->title(), QStringLiteral("彩种选择(&C)"));
    QCOMPARE(actions("mnuCaizhong"),
             (QStringList{QStringLiteral("mnu3D(0)=福彩3D"), QStringLiteral("mnu3D(1)=体彩排列3")}));
}

void StartupTest::defaultsWithNoStoredSettings() {
    WindowFixture f;
    f.open();
    QVERIFY(f.find<QAbstractButton>("Option1(1)")->isChecked()); // 自由位
    QVERIFY(f.find<QAbstractButton>("Option1(3)")->isChecked()); // 上期
    QVERIFY(f.find<QAbstractButton>("Option2(4)")->isChecked()); // 直选
    QVERIFY(f.find<QAbstractButton>("Option5(1)")->isChecked()); // 第1位
    QVERIFY(f.find<QAbstractButton>("Option4(0)")->isChecked()); // result type 号码
    QVERIFY(f.find<QAbstractButton>("Option3(0)")->isChecked()); // search type 号码
    QVERIFY(f.find<QAction>("mnu3D(0)")->isChecked());
    QVERIFY(!f.find<QAction>("mnu3D(1)")->isChecked());
    QVERIFY(f.find<QAction>("mnuDscs(1)")->isChecked());
    QVERIFY(!f.find<QAction>("mnuDscs(0)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option6(0)")->isChecked());
    QCOMPARE(f.find<QLineEdit>("MaskEdBox2")->text(), QStringLiteral("2"));
    QCOMPARE(f.find<QComboBox>("Combo1")->currentText(), QStringLiteral("2"));
    // An empty history has no issue to propose.
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QString());
    QCOMPARE(f.find<QLineEdit>("Text4")->text(), QString());
    // Opening the window writes no setting.
    QVERIFY(!f.hasSetting(keys::bolZyw));
    QVERIFY(f.window().statusBar()->findChild<QLabel*>("dataFolderLabel")->toolTip().contains(f.home()));
    QVERIFY(QFile::exists(f.home() + QStringLiteral("/kestrel3D.mdb")));
}

void StartupTest::storedLotteryTypeTicksItsMenu() {
    // A value other than 3 or 53 is 福彩3D everywhere: its item ticked, its history open.
    for (const auto& [stored, game] : {std::pair{"3", Game::Pl3}, std::pair{"12", Game::Fc3d}}) {
        WindowFixture f;
        f.setSetting(keys::GsZl, QString::fromLatin1(stored));
        auto& w = f.open();
        QCOMPARE(w.game(), game);
        QCOMPARE(f.find<QAction>("mnu3D(1)")->isChecked(), game == Game::Pl3);
        QCOMPARE(f.find<QAction>("mnu3D(0)")->isChecked(), game == Game::Fc3d);
    }
}

void StartupTest::storedOptionsSetTheControls() {
    WindowFixture f;
    f.setSetting(keys::bolZyw, QStringLiteral("False"));
    f.setSetting(keys::bolZuxuan, QStringLiteral("True"));
    f.setSetting(keys::intConsqSort, QStringLiteral("3"));
    f.setSetting(keys::intXianshiLei, QStringLiteral("2"));
    f.setSetting(keys::intLei, QStringLiteral("1"));
    f.setSetting(keys::DsIni, QStringLiteral("0"));
    f.setSetting(keys::bolZhpm, QStringLiteral("True"));
    f.setSetting(keys::intZhWSetup, QStringLiteral("3"));
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}, {7, 0, 9}}));
    f.open();
    QVERIFY(f.find<QAbstractButton>("Option1(0)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option2(5)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option5(3)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option4(2)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option3(1)")->isChecked());
    QVERIFY(f.find<QAction>("mnuDscs(0)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option6(1)")->isChecked());
    QCOMPARE(f.find<QComboBox>("Combo1")->currentText(), QStringLiteral("3"));
    // The pattern is the last draw in the big/small kind: 7 0 9 gives 1 0 1.
    QCOMPARE(f.find<QLineEdit>("Text2(1)")->text(), QStringLiteral("1"));
    QCOMPARE(f.find<QLineEdit>("Text2(2)")->text(), QStringLiteral("0"));
    QCOMPARE(f.find<QLineEdit>("Text2(3)")->text(), QStringLiteral("1"));
    QCOMPARE(f.find<QLineEdit>("Text1")->text(), QStringLiteral("2013003"));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2013002"));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2013002"));
}

void StartupTest::patternAndRangeFromNDrawsBack() {
    WindowFixture f;
    f.setSetting(keys::bolSq, QStringLiteral("False"));
    f.setSetting(keys::intPreQi, QStringLiteral("3"));
    f.storeDraws(drawsFrom(2013001, {{1, 1, 1}, {4, 5, 6}, {2, 2, 2}, {3, 3, 3}}));
    auto& w = f.open();
    QVERIFY(f.find<QAbstractButton>("Option1(2)")->isChecked());
    QCOMPARE(f.find<QLineEdit>("MaskEdBox2")->text(), QStringLiteral("3"));
    // The third-last draw is 4 5 6.
    QCOMPARE(w.pattern(), shown(4, 5, 6));
    QCOMPARE(f.find<QLineEdit>("Text2(2)")->text(), QStringLiteral("5"));
    QCOMPARE(f.find<QLineEdit>("Text3(0)")->text(), QStringLiteral("2013004"));
    QCOMPARE(f.find<QLineEdit>("Text3(1)")->text(), QStringLiteral("2013004"));
}

void StartupTest::aDatabaseThatIsNotOursIsReportedAndKept() {
    WindowFixture f;
    const QString file = f.home() + QStringLiteral("/kestrel3D.mdb");
    static const char kForeign[] = "Standard Jet DB\0\x01\x02 someone else's data";
    const QByteArray foreign(kForeign, sizeof kForeign - 1);
    {
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly));
        out.write(foreign);
    }
    auto& w = f.open();
    QTRY_COMPARE(f.dialogs.shown.size(), 1);
    QVERIFY(f.dialogs.shown[0].text.contains(QStringLiteral("kestrel3D.mdb")));
    QVERIFY(w.isVisible());
    QCOMPARE(f.find<QTableView>("MSFlexGrid1")->model()->rowCount(), 0);
    // Typing a draw does not write into the foreign file.
    f.find<QLineEdit>("MaskEdBox1(1)")->setFocus();
    QTest::keyClicks(f.find<QWidget>("MaskEdBox1(1)"), QStringLiteral("1"));
    QTest::keyClicks(f.find<QWidget>("MaskEdBox1(2)"), QStringLiteral("2"));
    QTest::keyClicks(f.find<QWidget>("MaskEdBox1(3)"), QStringLiteral("3"));
    f.close();
    QFile in(file);
    QVERIFY(in.open(QIODevice::ReadOnly));
    QCOMPARE(in.readAll(), foreign);
}

void StartupTest::eachOptionWritesItsKeyAtOnce() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}, {7, 0, 9}}));
    f.open();
    struct Click {
        const char* control;
        std::string_view key;
        const char* value;
    };
    const Click clicks[] = {
        {"Option1(0)", keys::bolZyw, "False"},    {"Option1(1)", keys::bolZyw, "True"},
        {"Option1(2)", keys::bolSq, "False"},     {"Option1(3)", keys::bolSq, "True"},
        {"Option3(2)", keys::intLei, "2"},        {"Option4(1)", keys::intXianshiLei, "1"},
        {"Option5(3)", keys::intConsqSort, "3"},  {"Option2(5)", keys::bolZuxuan, "True"},
        {"Option2(4)", keys::bolZuxuan, "False"}, {"Option6(1)", keys::bolZhpm, "True"},
        {"Option6(0)", keys::bolZhpm, "False"},
    };
    for (const Click& c : clicks) {
        QTest::mouseClick(f.find<QAbstractButton>(c.control), Qt::LeftButton);
        QCOMPARE(f.setting(c.key), QString::fromLatin1(c.value));
    }
    // Still there after a restart.
    f.close();
    f.open();
    QVERIFY(f.find<QAbstractButton>("Option3(2)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option4(1)")->isChecked());
    QVERIFY(f.find<QAbstractButton>("Option5(3)")->isChecked());
}

void StartupTest::menusTickAndRemember() {
    WindowFixture f;
    f.open();
    f.find<QAction>("mnu3D(1)")->trigger();
    QCOMPARE(f.setting(keys::GsZl), QStringLiteral("3"));
    QVERIFY(f.find<QAction>("mnu3D(1)")->isChecked());
    QVERIFY(!f.find<QAction>("mnu3D(0)")->isChecked());
    f.find<QAction>("mnu3D(1)")->trigger(); // choosing the ticked item keeps it ticked
    QVERIFY(f.find<QAction>("mnu3D(1)")->isChecked());
    f.find<QAction>("mnuDscs(0)")->trigger();
    QCOMPARE(f.setting(keys::DsIni), QStringLiteral("0"));
    QVERIFY(f.find<QAction>("mnuDscs(0)")->isChecked());
    QVERIFY(!f.find<QAction>("mnuDscs(1)")->isChecked());
    f.close();
    f.open();
    QVERIFY(f.find<QAction>("mnu3D(1)")->isChecked());
    QVERIFY(f.find<QAction>("mnuDscs(0)")->isChecked());
    f.find<QAction>("mnu3D(0)")->trigger();
    QCOMPARE(f.setting(keys::GsZl), QStringLiteral("53"));
}

void StartupTest::popupMenus() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}}));
    f.open();
    auto* grid = f.find<QTableView>("MSFlexGrid1");
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, QPoint(10, 10));
    QVERIFY(!f.find<QMenu>("mnuLsgl")->isVisible());
    QTest::mouseClick(grid->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    auto* lsgl = f.find<QMenu>("mnuLsgl");
    QTRY_VERIFY(lsgl->isVisible());
    lsgl->hide();
    // From the keyboard too: the menu key and Shift+F10.
    grid->setFocus();
    for (QKeyCombination key :
         {QKeyCombination(Qt::Key_Menu), QKeyCombination(Qt::ShiftModifier, Qt::Key_F10)}) {
        QTest::keyClick(grid, key.key(), key.keyboardModifiers());
        QTRY_VERIFY(lsgl->isVisible());
        lsgl->hide();
    }
    QTest::mouseClick(f.find<QAbstractButton>("Command9"), Qt::LeftButton);
    auto* setup = f.find<QMenu>("mnuSetup");
    QTRY_VERIFY(setup->isVisible());
    setup->hide();
    // Only the history grid has the menu.
    for (const char* other : {"MSFlexGrid2", "MSFlexGrid3"}) {
        QTest::mouseClick(f.find<QTableView>(other)->viewport(), Qt::RightButton, {}, QPoint(10, 10));
        QTest::qWait(20);
        QVERIFY(!lsgl->isVisible());
        QVERIFY(!setup->isVisible());
    }
}

void StartupTest::aSettingThatCannotBeSavedIsReported() {
    WindowFixture f;
    auto& w = f.open();
    // A folder where the settings file should be: nothing can be written there.
    const QString file = ui::settingsFile();
    QFile::remove(file);
    QVERIFY(QDir().mkpath(file));
    QTest::mouseClick(f.find<QAbstractButton>("Option1(0)"), Qt::LeftButton);
    QVERIFY(w.statusBar()->currentMessage().contains(QStringLiteral("设置未能保存")));
    QVERIFY(w.isVisible());
}

void StartupTest::oneProgramAtATimeChangesTheFolder() {
    WindowFixture f;
    f.storeDraws(drawsFrom(2013001, {{1, 2, 3}, {4, 5, 6}}));
    const QString home = f.home();
    const QString busy =
        QStringLiteral("数据文件夹正被另一个 Brenvik 窗口使用：") + QDir::toNativeSeparators(home);
    QTemporaryDir config;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BRENVIK3D_HOME"), home);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
    QProcess first; // a window of another process
    first.setProcessEnvironment(env);
    first.start(QStringLiteral(BRENVIK_APP), {});
    QVERIFY(first.waitForStarted());
    auto holder = [&] {
        QFile mark(home + QStringLiteral("/brenvik3d.lock"));
        return mark.open(QIODevice::ReadOnly) ? mark.readAll() : QByteArray();
    };
    QTRY_COMPARE_WITH_TIMEOUT(holder(), QByteArray("window\n"), 20000);

    // The companion changes nothing while the window holds the folder, and reads as it likes.
    const std::pair<QStringList, int> runs[] = {
        {{"add", "2013003", "789"}, 1},
        {{"import", QString::fromStdString(sampleFile("fc3d-history.txt").string())}, 1},
        {{"export", config.filePath("out.txt")}, 0}};
    for (const auto& [args, status] : runs) {
        QProcess companion;
        companion.start(QStringLiteral(BRENVIK_CLI), QStringList{QStringLiteral("--home"), home} + args);
        QVERIFY(companion.waitForFinished(30000));
        QCOMPARE(companion.exitCode(), status);
        if (status != 0)
            QCOMPARE(QString::fromUtf8(companion.readAllStandardError()),
                     busy + QStringLiteral("，未作改动。\n"));
    }
    QVERIFY(!ui::frmMain::open());
    QCOMPARE(f.dialogs.shown.size(), 1);
    QCOMPARE(f.dialogs.shown[0].text, busy + QStringLiteral("。"));
    for (QWidget* top : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<ui::frmMain*>(top));

    // The lock of a killed window ends with it.
    first.kill();
    QVERIFY(first.waitForFinished());
    QCOMPARE(f.open().history().size(), std::size_t(2));
}

QTEST_MAIN(StartupTest)
#include "StartupTest.moc"
