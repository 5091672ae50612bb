// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;
class QTextBrowser;
class QUrl;

namespace brenvik::ui {

// The user manual in a window of the program, so that help needs no web browser: its links lead
// within it (back and forward as in a browser), its pictures show, a box finds a word. Where a
// web browser is installed, a button opens the manual in it; links to other sites go there.
class HelpWindow : public QWidget {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // Shows the manual at `section`, one of its anchors ("chance"), or at its top.
    void showSection(const QString& section);
    QTextBrowser& browser() const { return *m_browser; }

    // Whether a web browser can be started: the desktop's opener or a browser the system names.
    static bool browserAvailable();

private:
    void follow(const QUrl& url);
    void findText(bool backwards);
    void openInBrowser();

    QTextBrowser* m_browser;
    QLineEdit* m_find;
    QLabel* m_notFound;
    QPushButton* m_inBrowser;
};

} // namespace brenvik::ui
