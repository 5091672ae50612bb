// The online update from the window: confirmation, chart site, the update itself, the refresh.
#include "Dialogs.h"
#include "DigitBox.h"
#include "OnlineUpdate.h"
#include "frmMain.h"

#include <QAction>
#include <QPushButton>

namespace brenvik::ui {

void frmMain::setHistoryActionsEnabled(bool enabled) {
    for (QWidget* w : std::initializer_list<QWidget*>{Command3, Command21, cmdRdLst, MaskEdBox1[1],
                                                      MaskEdBox1[2], MaskEdBox1[3]})
        w->setEnabled(enabled);
    for (QAction* a : {mnuErase, mnuClear, mnuDlzd, mnuEszhzd, mnuUndo})
        a->setEnabled(enabled);
    if (enabled)
        updateUndoAction();
}

void frmMain::Command21_Click() {
    if (!Dialogs::confirm(this, online::kConfirmTitle, online::kConfirmText))
        return;
    if (!requireStore())
        return;
    QString host = m_settingsStore.chartHost();
    if (host.isEmpty()) {
        // No site is shipped: the first update asks for one.
        const auto asked = askChartHost(this, m_settingsStore);
        if (!asked)
            return;
        host = *asked;
    }
    setHistoryActionsEnabled(false);
    const OnlineUpdateResult result =
        runOnlineUpdate(this, *m_store, *m_snapshot, {host, m_game, m_set.DsIni, m_set.IniSerchDay, 0});
    setHistoryActionsEnabled(true);

    if (result.historyChanged) {
        AddHaoma();
        setRangeStart();
        setRangeEndToLast();
        reloadPattern();
        QihaoXianshi();
    }
    status(result.message);
    if (result.succeeded())
        Dialogs::inform(this, online::kTitle, result.message);
    else
        Dialogs::warn(this, online::kTitle, result.message);
}

void frmMain::mnuChartSite_Click() {
    if (const auto host = askChartHost(this, m_settingsStore, m_settingsStore.chartHost()))
        status(QStringLiteral("图表站点：%1").arg(*host));
}

} // namespace brenvik::ui
