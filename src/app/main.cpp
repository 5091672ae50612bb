#include "frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brenvik3D"));
    QApplication::setApplicationName(QStringLiteral("Brenvik3D"));
    // Another program holds the data folder: the user has been told, and there is no window.
    auto window = brenvik::ui::frmMain::open();
    if (!window)
        return 1;
    window->show();
    return QApplication::exec();
}
