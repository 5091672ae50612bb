// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QIcon>
#include <QString>

class QWidget;

namespace brenvik::ui {

// "Brenvik 3D 0.2.0": the name and version by which the window introduces itself.
QString productTitle();
QString productVersionText();

// The application icon, in every size a desktop asks for.
QIcon productIcon();

// What the About box says: the version and licence, where the data lives, and the versions of
// the libraries the program actually runs with, which a bug report needs.
QString aboutText(const QString& dataFolder);
void showAboutBox(QWidget* parent, const QString& dataFolder);

} // namespace brenvik::ui
