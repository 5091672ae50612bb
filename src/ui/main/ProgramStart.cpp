// SPDX-License-Identifier: GPL-3.0-or-later
#include "ProgramStart.h"

#include "frmMain.h"

#include <QCommandLineParser>
#include <QLocale>
#include <QTimer>

namespace brenvik::ui {

void readTimeFormatInChinese() {
    const bool timeSet = !qEnvironmentVariableIsEmpty("LC_TIME");
    const QByteArray userTime = qgetenv("LC_TIME");
    if (!qEnvironmentVariableIsEmpty("LC_ALL") || (timeSet ? userTime : qgetenv("LANG")).startsWith("zh"))
        return;
    qputenv("LC_TIME", "zh_CN.UTF-8");
    // Qt reads the system's locale now and keeps what it read for the whole run.
    (void)QLocale::system();
    if (timeSet)
        qputenv("LC_TIME", userTime);
    else
        qunsetenv("LC_TIME");
}

void DesktopActions::addTo(QCommandLineParser& parser) const {
    parser.addOption(m_trend);
    parser.addOption(m_update);
}

void DesktopActions::runOn(frmMain& window, const QCommandLineParser& parser) const {
    const bool trend = parser.isSet(m_trend);
    const bool update = parser.isSet(m_update);
    if (!trend && !update)
        return;
    // Once the event loop runs, so that the window has shown itself first.
    QTimer::singleShot(0, &window, [&window, trend, update] {
        if (trend)
            window.showTrend();
        if (update)
            window.updateOnlineNow();
    });
}

} // namespace brenvik::ui
