// SPDX-License-Identifier: GPL-3.0-or-later
#include "HelpWindow.h"

#include "AppPaths.h"
#include "Dialogs.h"
#include "PanelParts.h"
#include "ThemeColours.h"

#include <QHBoxLayout>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStandardPaths>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QVBoxLayout>

namespace brenvik::ui {

HelpWindow::HelpWindow(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("frmHelp"));
    setWindowTitle(QStringLiteral("Brenvik 3D 使用说明"));

    m_browser = named(new QTextBrowser, QStringLiteral("helpBrowser"));
    // The manual is a page with colours of its own, light as on paper, whatever the desktop's theme.
    QPalette page = m_browser->palette();
    page.setColor(QPalette::Base, Qt::white);
    page.setColor(QPalette::Text, QColor(0x22, 0x22, 0x22));
    page.setColor(QPalette::Link, QColor(0x15, 0x65, 0xc0));
    page.setColor(QPalette::LinkVisited, QColor(0x6a, 0x1b, 0x9a));
    m_browser->setPalette(page);
    m_browser->setOpenLinks(false);
    describe(m_browser, QStringLiteral("使用说明"), QStringLiteral("Tab 键在链接间移动，回车打开链接"));
    connect(m_browser, &QTextBrowser::anchorClicked, this, &HelpWindow::follow);

    auto* back = named(new QPushButton(QStringLiteral("后退(&B)")), QStringLiteral("helpBack"));
    auto* forward = named(new QPushButton(QStringLiteral("前进(&F)")), QStringLiteral("helpForward"));
    auto* home = named(new QPushButton(QStringLiteral("目录(&C)")), QStringLiteral("helpHome"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(home, &QPushButton::clicked, this, [this] { showSection({}); });
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto* findLabel = new QLabel(QStringLiteral("查找(&S)"));
    m_find = named(new QLineEdit, QStringLiteral("helpFind"));
    m_find->setClearButtonEnabled(true);
    findLabel->setBuddy(m_find);
    describe(m_find, QStringLiteral("查找"), QStringLiteral("回车或 F3 找下一处，Shift+F3 找上一处"));
    connect(m_find, &QLineEdit::returnPressed, this, [this] { findText(false); });
    m_notFound = named(new QLabel, QStringLiteral("helpNotFound"));
    showAsProblem(m_notFound, true);
    connect(m_find, &QLineEdit::textChanged, m_notFound, &QLabel::clear);
    auto* next = new QShortcut(QKeySequence(QKeySequence::FindNext), this);
    connect(next, &QShortcut::activated, this, [this] { findText(false); });
    auto* previous = new QShortcut(QKeySequence(QKeySequence::FindPrevious), this);
    connect(previous, &QShortcut::activated, this, [this] { findText(true); });
    auto* focusFind = new QShortcut(QKeySequence(QKeySequence::Find), this);
    connect(focusFind, &QShortcut::activated, this, [this] {
        m_find->setFocus(Qt::ShortcutFocusReason);
        m_find->selectAll();
    });

    m_inBrowser =
        named(new QPushButton(QStringLiteral("在浏览器中打开(&O)")), QStringLiteral("helpInBrowser"));
    connect(m_inBrowser, &QPushButton::clicked, this, &HelpWindow::openInBrowser);
    if (!browserAvailable()) {
        m_inBrowser->setEnabled(false);
        m_inBrowser->setToolTip(QStringLiteral("没有找到网页浏览器：说明就在本窗口中阅读"));
    }
    auto* close = named(new QPushButton(QStringLiteral("关闭")), QStringLiteral("helpClose"));
    connect(close, &QPushButton::clicked, this, &QWidget::close);
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::close);

    auto* bar = new QHBoxLayout;
    bar->addWidget(back);
    bar->addWidget(forward);
    bar->addWidget(home);
    bar->addSpacing(12);
    bar->addWidget(findLabel);
    bar->addWidget(m_find, 1);
    bar->addWidget(m_notFound);
    bar->addSpacing(12);
    bar->addWidget(m_inBrowser);
    bar->addWidget(close);
    auto* v = new QVBoxLayout(this);
    v->addLayout(bar);
    v->addWidget(m_browser, 1);
    chainTabOrder({m_browser, back, forward, home, m_find, m_inBrowser, close});
    fitToScreen(this, QSize(900, 720), parent ? parent->window() : nullptr);
}

bool HelpWindow::browserAvailable() {
    for (const char* variable : {"BROWSER", "DEFAULT_BROWSER"})
        if (!qEnvironmentVariable(variable).trimmed().isEmpty())
            return true;
    for (const char* program :
         {"xdg-open", "x-www-browser", "sensible-browser", "firefox", "chromium", "google-chrome"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return true;
    return false;
}

void HelpWindow::showSection(const QString& section) {
    QUrl url = QUrl::fromLocalFile(manualFile());
    if (!section.isEmpty())
        url.setFragment(section);
    if (m_browser->source().matches(url, QUrl::RemoveFragment)) {
        // The page is loaded: only the place in it changes.
        if (section.isEmpty())
            m_browser->setSource(url);
        else
            m_browser->scrollToAnchor(section);
    } else {
        m_browser->setSource(url);
    }
    show();
    raise();
    activateWindow();
    m_browser->setFocus(Qt::OtherFocusReason);
}

void HelpWindow::follow(const QUrl& link) {
    const QUrl url = m_browser->source().resolved(link);
    // The manual's own pages and places open here; other sites in the browser, when there is one.
    if (url.isLocalFile() || url.scheme().isEmpty()) {
        m_browser->setSource(url);
        return;
    }
    if (!Dialogs::openUrl(url))
        Dialogs::inform(this, QStringLiteral("使用说明"),
                        QStringLiteral("无法打开 %1：没有可用的浏览器。").arg(url.toDisplayString()));
}

void HelpWindow::findText(bool backwards) {
    const QString text = m_find->text();
    if (text.isEmpty())
        return;
    const QTextDocument::FindFlags flags =
        backwards ? QTextDocument::FindBackward : QTextDocument::FindFlags();
    if (m_browser->find(text, flags)) {
        m_notFound->clear();
        return;
    }
    // From the other end once more before saying there is none.
    QTextCursor from = m_browser->textCursor();
    from.movePosition(backwards ? QTextCursor::End : QTextCursor::Start);
    m_browser->setTextCursor(from);
    m_notFound->setText(m_browser->find(text, flags) ? QString() : QStringLiteral("没有找到"));
}

void HelpWindow::openInBrowser() {
    QUrl url = m_browser->source();
    if (url.isEmpty())
        url = QUrl::fromLocalFile(manualFile());
    if (!Dialogs::openUrl(url))
        Dialogs::inform(this, QStringLiteral("使用说明"),
                        QStringLiteral("无法打开 %1：没有可用的浏览器。").arg(url.toDisplayString()));
}

} // namespace brenvik::ui
