#include "frmMain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Brenvik3D"));
    QApplication::setApplicationName(QStringLiteral("Brenvik3D"));
    brenvik::ui::frmMain window;
    window.show();
    return QApplication::exec();
}
