// SPDX-License-Identifier: GPL-3.0-or-later
// The follow search the options are set up for, run on its own: the backtest in a window of its
// own, or a prediction for the logbook.
#include "Dialogs.h"
#include "SearchPanel.h"
#include "SurfaceParts.h"
#include "Workspace.h"

#include <QRadioButton>

namespace brenvik::ui {

std::optional<SearchConditions> SearchPanel::followConditions() {
    takeFocusedEdit();
    auto c = conditions(false);
    if (!c) {
        refuse(c.error());
        return std::nullopt;
    }
    return std::move(*c);
}

void SearchPanel::openBacktest() {
    const auto c = followConditions();
    if (!c)
        return;
    if (c->group) {
        Dialogs::warn(this, QStringLiteral("回测"),
                      QStringLiteral("回测逐期预测一个位置，不能按“组选”统计。请选“直选”后再回测。"));
        Option2[5]->setFocus(Qt::OtherFocusReason);
        return;
    }
    QString why;
    const SurfaceParts* parts = surfaceParts(&why);
    if (!parts) {
        Dialogs::warn(this, QStringLiteral("回测"), QStringLiteral("回测窗口无法打开：") + why);
        return;
    }
    QWidget* window = parts->backtestWindow(*c, m_workspace.sharedIndex(), m_workspace.game(),
                                            m_workspace.dataFolder(), this);
    window->show();
}

} // namespace brenvik::ui
