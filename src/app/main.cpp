// SPDX-License-Identifier: GPL-3.0-or-later
#include "AboutBox.h"
#include "ProgramStart.h"
#include "frmMain.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

int main(int argc, char* argv[]) {
    brenvik::ui::readTimeFormatInChinese();
    QApplication::setOrganizationName(QStringLiteral("Brenvik3D"));
    QApplication::setApplicationName(QStringLiteral("Brenvik3D"));
    QApplication::setApplicationVersion(brenvik::ui::productVersionText());
    // Ties the running window to its desktop entry, for the icon and the name in the task bar.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.brenvik.brenvik3d"));

    QCommandLineParser options;
    options.setApplicationDescription(QStringLiteral("Brenvik 3D：福彩3D与体彩排列3开奖历史的检索与统计"));
    options.addHelpOption();
    options.addVersionOption();
    const brenvik::ui::DesktopActions desktopActions;
    desktopActions.addTo(options);
    {
        // --help and --version are answered before the window system is reached, so they work
        // without a display. Qt's own options are not known yet and may fail this first reading.
        const QCoreApplication probe(argc, argv);
        options.parse(QCoreApplication::arguments());
        if (options.isSet(QStringLiteral("help")))
            options.showHelp();
        if (options.isSet(QStringLiteral("version")))
            options.showVersion();
    }

    QApplication app(argc, argv);
    options.process(app); // refuses what neither Qt nor the program knows
    // Qt's own dialogs and context menus speak the window's language, whatever the desktop's:
    // their words from the translation, their dates and file sizes from the locale.
    QLocale::setDefault(QLocale(QLocale::Chinese, QLocale::China));
    QTranslator qtChinese;
    if (qtChinese.load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(&qtChinese);
    // Another program holds the data folder: the user has been told, and there is no window.
    auto window = brenvik::ui::frmMain::open();
    if (!window)
        return 1;
    window->show();
    desktopActions.runOn(*window, options);
    return QApplication::exec();
}
