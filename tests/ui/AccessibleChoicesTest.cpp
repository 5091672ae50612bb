// SPDX-License-Identifier: GPL-3.0-or-later
// Every option of the window acts when a screen reader or a switch device chooses it through its
// accessible action ("toggle", "press"), as it does for the mouse: its handler runs, its choice is
// saved, and the window opened again shows it chosen.
#include "Settings.h"
#include "WindowFixture.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTabWidget>
#include <QtTest>

using namespace brenvik;
using namespace brenvik::test;

namespace {

// The last draw is 2 7 9; the one before it 6 1 8.
std::vector<DrawLine> history() {
    return drawsFrom(2014001, {{1, 1, 1}, {3, 3, 3}, {6, 1, 8}, {2, 7, 9}});
}

QObject* findControl(WindowFixture& f, const QString& name) {
    if (auto* w = f.window().findChild<QObject*>(name))
        return w;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* w = top->findChild<QObject*>(name))
            return w;
    return nullptr;
}

// The accessible object of a control: a button's own, or a menu's item for an action.
QAccessibleInterface* accessibleOf(QObject* control) {
    if (auto* action = qobject_cast<QAction*>(control)) {
        for (QObject* menu : action->associatedObjects()) {
            QAccessibleInterface* m = QAccessible::queryAccessibleInterface(menu);
            for (int i = 0; m && i < m->childCount(); ++i)
                if (m->child(i)->object() == action)
                    return m->child(i);
        }
        return nullptr;
    }
    return QAccessible::queryAccessibleInterface(control);
}

bool isChosen(QObject* control) {
    if (auto* action = qobject_cast<QAction*>(control))
        return action->isChecked();
    return static_cast<QAbstractButton*>(control)->isChecked();
}

void openFilter(WindowFixture& f) {
    f.find<QAction>("mnuSuoshui")->trigger();
}

} // namespace

class AccessibleChoicesTest : public QObject {
    Q_OBJECT
private slots:
    void aChoiceActsHoweverItIsMade_data();
    void aChoiceActsHoweverItIsMade();
};

void AccessibleChoicesTest::aChoiceActsHoweverItIsMade_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("action"); // "toggle" or "press"
    QTest::addColumn<QString>("key");    // the setting it saves, "" for none
    QTest::addColumn<QString>("saved");
    QTest::addColumn<QString>("effect"); // "box=text", "pattern=a b c", "title~text" or "label~text"
    QTest::newRow("固定位") << "Option1(0)"
                            << "toggle"
                            << "bolZyw"
                            << "False"
                            << "";
    QTest::newRow("前 N 期") << "Option1(2)"
                             << "toggle"
                             << "bolSq"
                             << "False"
                             << "Text3(0)=2014003";
    QTest::newRow("搜索类型 大小") << "Option3(1)"
                                   << "toggle"
                                   << "intLei"
                                   << "1"
                                   << "pattern=0 1 1";
    QTest::newRow("结果类型 单双") << "Option4(2)"
                                   << "toggle"
                                   << "intXianshiLei"
                                   << "2"
                                   << "";
    QTest::newRow("第3位") << "Option5(3)"
                           << "toggle"
                           << "intConsqSort"
                           << "3"
                           << "";
    QTest::newRow("组选") << "Option2(5)"
                          << "toggle"
                          << "bolZuxuan"
                          << "True"
                          << "Text2(1)=2";
    QTest::newRow("红球") << "Option6(1)"
                          << "toggle"
                          << "bolZhpm"
                          << "True"
                          << "";
    QTest::newRow("仅检索该期前") << "Check4"
                                  << "toggle"
                                  << ""
                                  << ""
                                  << "Text3(1)=2014003";
    QTest::newRow("体彩排列3") << "mnu3D(1)"
                               << "press"
                               << "GsZl"
                               << "3"
                               << "title~体彩排列3";
    QTest::newRow("段数参数0~4") << "mnuDscs(0)"
                                 << "press"
                                 << "DsIni"
                                 << "0"
                                 << "";
    QTest::newRow("缩水 组六") << "chkForm(2)"
                               << "toggle"
                               << "strSuoshui"
                               << "form=zuliu"
                               << "lblKept~保留 720 注";
}

void AccessibleChoicesTest::aChoiceActsHoweverItIsMade() {
    QFETCH(QString, control);
    QFETCH(QString, action);
    QFETCH(QString, key);
    QFETCH(QString, saved);
    QFETCH(QString, effect);
    WindowFixture f;
    f.storeDraws(history());
    auto& w = f.open();
    const bool inFilter = control.startsWith(QLatin1String("chk"));
    if (inFilter)
        openFilter(f);
    if (control == QLatin1String("Check4")) {
        f.find<QLineEdit>("Text4")->setText(QStringLiteral("2014004"));
        f.find<QTabWidget>("TabStrip1")->setCurrentIndex(2);
    }
    // Typed over, so that a reload from the history shows.
    f.find<QLineEdit>("Text2(1)")->setText(QStringLiteral("5"));

    QObject* chosen = findControl(f, control);
    QVERIFY(chosen);
    QVERIFY(!isChosen(chosen));
    QAccessibleInterface* accessible = accessibleOf(chosen);
    QVERIFY(accessible && accessible->actionInterface());
    const QString name = action == QLatin1String("toggle") ? QAccessibleActionInterface::toggleAction()
                                                           : QAccessibleActionInterface::pressAction();
    QVERIFY2(accessible->actionInterface()->actionNames().contains(name),
             qPrintable(name + QLatin1Char('/') +
                        accessible->actionInterface()->actionNames().join(QLatin1Char(','))));
    accessible->actionInterface()->doAction(name);
    QTRY_VERIFY(isChosen(chosen));

    // The handler ran.
    const QString what = effect.section(QRegularExpression(QStringLiteral("[=~]")), 0, 0);
    const QString value = effect.section(QRegularExpression(QStringLiteral("[=~]")), 1);
    if (what == QLatin1String("pattern")) {
        const QStringList v = value.split(QLatin1Char(' '));
        QCOMPARE(w.pattern(), shown(v[0].toInt(), v[1].toInt(), v[2].toInt()));
    } else if (what == QLatin1String("title")) {
        QVERIFY2(w.windowTitle().contains(value), qPrintable(w.windowTitle()));
    } else if (effect.contains(QLatin1Char('~'))) {
        auto* label = qobject_cast<QLabel*>(findControl(f, what));
        QTRY_VERIFY2(label->text().contains(value), qPrintable(label->text()));
    } else if (!what.isEmpty()) {
        QTRY_COMPARE(qobject_cast<QLineEdit*>(findControl(f, what))->text(), value);
    }
    // The choice was saved, and the window opened again shows it.
    if (key.isEmpty())
        return;
    QTRY_COMPARE(f.setting(key.toStdString()), saved);
    f.close();
    f.open();
    if (inFilter)
        openFilter(f);
    QVERIFY(isChosen(findControl(f, control)));
}

QTEST_MAIN(AccessibleChoicesTest)
#include "AccessibleChoicesTest.moc"
