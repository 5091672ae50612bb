// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QCommandLineOption>

class QCommandLineParser;

namespace brenvik::ui {

class frmMain;

// Qt's own file dialog dates its files in the system's time format, which Qt reads from the
// environment once, the first time it is asked: this makes that format Chinese, like the rest of
// the dialog (unless the user set one locale for everything or a Chinese one), while the
// environment stays the user's own, which the programs the window starts (the browser, through
// xdg-open) inherit. To be called first thing in main(), before Qt reads the locale.
void readTimeFormatInChinese();

// The desktop entry's actions (走势图, 在线更新), which start the window with --trend or --update.
class DesktopActions {
public:
    void addTo(QCommandLineParser& parser) const;
    // What the command line asked of `window`, once it shows: the trend chart opened, the online
    // update run as its own menu entry does, without the question before it.
    void runOn(frmMain& window, const QCommandLineParser& parser) const;

private:
    QCommandLineOption m_trend{QStringLiteral("trend"), QStringLiteral("打开走势图")};
    QCommandLineOption m_update{QStringLiteral("update"), QStringLiteral("在线更新历史号码")};
};

} // namespace brenvik::ui
