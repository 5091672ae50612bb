// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"

#include "PanelParts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QLocale>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

namespace brenvik::ui::Dialogs {

namespace {

Script* g_script = nullptr;

QVariant next(const QString& kind, const QString& title, const QString& text, const QString& details = {}) {
    g_script->shown.push_back({kind, title, text, details});
    if (g_script->answers.empty())
        return QVariant();
    QVariant v = g_script->answers.front();
    g_script->answers.pop_front();
    return v;
}

} // namespace

Script::Script() {
    g_script = this;
}
Script::~Script() {
    if (g_script == this)
        g_script = nullptr;
}

// The details a box offers, under a button that says 详细信息 as the program's messages call
// them (Qt's own words differ), and 隐藏详细信息 while they are shown.
static void offerDetails(QMessageBox& box, const QString& details) {
    if (details.isEmpty())
        return;
    box.setDetailedText(details);
    for (QAbstractButton* button : box.buttons()) {
        // The one button of the box that is none of the standard ones.
        if (box.standardButton(button) != QMessageBox::NoButton)
            continue;
        const auto relabel = [button, &box] {
            const auto* text = box.findChild<QTextEdit*>();
            button->setText(text && text->isVisible() ? QStringLiteral("隐藏详细信息")
                                                      : QStringLiteral("详细信息…"));
        };
        // After the box has put Qt's words on it: when it is shown, and after each click.
        QTimer::singleShot(0, button, relabel);
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [button, relabel] { QTimer::singleShot(0, button, relabel); });
    }
}

static bool ask(QWidget* parent, const QString& kind, const QString& title, const QString& text,
                QMessageBox::StandardButton byDefault, const QString& details = {}) {
    if (g_script)
        return next(kind, title, text, details).toBool();
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    offerDetails(box, details);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(byDefault);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

bool confirm(QWidget* parent, const QString& title, const QString& text, const QString& details) {
    return ask(parent, QStringLiteral("confirm"), title, text, QMessageBox::Ok, details);
}

bool confirmRemoval(QWidget* parent, const QString& title, const QString& text) {
    return ask(parent, QStringLiteral("confirmRemoval"), title, text, QMessageBox::Cancel);
}

int choice(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons,
           int byDefault) {
    if (g_script) {
        const QVariant v =
            next(QStringLiteral("choice"), title, text + QLatin1Char('\n') + buttons.join('\n'));
        return v.isValid() && v.toInt() >= 0 && v.toInt() < buttons.size() ? v.toInt() : byDefault;
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QList<QPushButton*> pushed;
    for (const QString& caption : buttons)
        pushed << box.addButton(caption, QMessageBox::ActionRole);
    box.setDefaultButton(pushed[byDefault]);
    box.setEscapeButton(pushed[byDefault]);
    box.exec();
    const auto clicked = pushed.indexOf(qobject_cast<QPushButton*>(box.clickedButton()));
    return clicked >= 0 ? static_cast<int>(clicked) : byDefault;
}

static void message(QWidget* parent, QMessageBox::Icon icon, const QString& kind, const QString& title,
                    const QString& said, const QString& details = {}) {
    // Messages built from a library's reason end as sentences, as the window's own do.
    const QString text = sentence(said);
    if (g_script) {
        // A message needs no answer, so it takes none from the script.
        g_script->shown.push_back({kind, title, text, details});
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    offerDetails(box, details);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void inform(QWidget* parent, const QString& title, const QString& text) {
    message(parent, QMessageBox::Information, QStringLiteral("inform"), title, text);
}

void warn(QWidget* parent, const QString& title, const QString& text, const QString& details) {
    message(parent, QMessageBox::Warning, QStringLiteral("warn"), title, text, details);
}

void about(QWidget* parent, const QString& title, const QString& text) {
    if (g_script) {
        g_script->shown.push_back({QStringLiteral("about"), title, text, {}});
        return;
    }
    QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, parent);
    box.setTextFormat(Qt::RichText);
    box.setIconPixmap(QApplication::windowIcon().pixmap(64));
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

std::optional<QString> input(QWidget* parent, const QString& title, const QString& prompt,
                             const QString& initial) {
    if (g_script) {
        const QVariant v = next(QStringLiteral("input"), title, prompt);
        if (!v.isValid())
            return std::nullopt;
        return v.toString();
    }
    QInputDialog dlg(parent);
    dlg.setWindowTitle(title);
    dlg.setLabelText(prompt);
    dlg.setTextValue(initial);
    dlg.setOkButtonText(QStringLiteral("确定"));
    dlg.setCancelButtonText(QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    return dlg.textValue();
}

QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter) {
    if (g_script) {
        const QVariant v = next(QStringLiteral("openFile"), title, folder, filter);
        return v.isValid() ? v.toString() : QString();
    }
    return QFileDialog::getOpenFileName(parent, title, folder, filter);
}

QString saveFile(QWidget* parent, const QString& title, const QString& path, const QString& filter) {
    if (g_script) {
        const QVariant v = next(QStringLiteral("saveFile"), title, path);
        return v.isValid() ? v.toString() : QString();
    }
    return QFileDialog::getSaveFileName(parent, title, path, filter);
}

std::optional<int> choose(QWidget* parent, const QString& title, const QString& text,
                          const QStringList& items) {
    if (g_script) {
        const QVariant v = next(QStringLiteral("choose"), title, text + QLatin1Char('\n') + items.join('\n'));
        if (!v.isValid() || v.toInt() < 0 || v.toInt() >= items.size())
            return std::nullopt;
        return v.toInt();
    }
    QInputDialog dlg(parent);
    dlg.setWindowTitle(title);
    dlg.setLabelText(text);
    dlg.setComboBoxItems(items);
    dlg.setComboBoxEditable(false);
    dlg.setOption(QInputDialog::UseListViewForComboBoxItems);
    dlg.setOkButtonText(QStringLiteral("确定"));
    dlg.setCancelButtonText(QStringLiteral("取消"));
    if (dlg.exec() != QDialog::Accepted)
        return std::nullopt;
    const int index = static_cast<int>(items.indexOf(dlg.textValue()));
    return index < 0 ? std::nullopt : std::optional(index);
}

namespace {

// Work that ends sooner shows no dialog at all; the dialog is redrawn at most this often.
constexpr qint64 kShowAfterMs = 500;
constexpr qint64 kRepaintMs = 50;
constexpr int kSteps = 1000;

} // namespace

Progress::Progress(QWidget* parent, const QString& title, const QString& label, bool cancellable)
    : m_parent(parent), m_title(title), m_label(label), m_cancellable(cancellable) {
    m_clock.start();
    if (g_script) {
        m_shownIndex = static_cast<int>(g_script->progress.size());
        g_script->progress.push_back({QStringLiteral("progress"), title, text(0, 0), {}});
    }
}

Progress::~Progress() {
    delete m_dialog.data();
}

void Progress::setStage(const QString& label, bool cancellable) {
    m_label = label;
    m_cancellable = cancellable;
    if (m_dialog)
        m_dialog->setCancelButtonText(cancellable ? QStringLiteral("取消") : QString());
}

QString Progress::text(long long done, long long total) const {
    const QLocale locale(QLocale::Chinese, QLocale::China);
    return m_label.arg(locale.toString(done), locale.toString(total));
}

bool Progress::update(long long done, long long total) {
    if (g_script) {
        Shown& shown = g_script->progress[m_shownIndex];
        shown.text = text(done, total);
        if (m_cancellable && g_script->cancelProgressAt && done >= *g_script->cancelProgressAt) {
            m_cancelled = true;
            shown.kind = QStringLiteral("progress, cancelled");
        }
        return !m_cancelled;
    }
    const qint64 now = m_clock.elapsed();
    if (now < kShowAfterMs || now - m_lastPaint < kRepaintMs)
        return !(m_cancellable && m_cancelled);
    m_lastPaint = now;
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setWindowTitle(m_title);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setRange(0, kSteps);
        m_dialog->setCancelButtonText(m_cancellable ? QStringLiteral("取消") : QString());
        m_dialog->show();
    }
    // Cancel, Escape or closing the dialog; while nothing may be stopped, it comes back.
    if (m_dialog->wasCanceled() || m_dialog->isHidden()) {
        m_cancelled = m_cancelled || m_cancellable;
        if (!m_cancellable) {
            m_dialog->reset();
            m_dialog->show();
        }
    }
    m_dialog->setLabelText(text(done, total));
    // Without a total the bar only shows that the work goes on.
    m_dialog->setMaximum(total > 0 ? kSteps : 0);
    m_dialog->setValue(total > 0 ? static_cast<int>(std::min(done, total) * kSteps / total) : 0);
    QApplication::processEvents();
    return !(m_cancellable && m_cancelled);
}

bool openUrl(const QUrl& url) {
    if (g_script) {
        g_script->opened.push_back(url);
        return g_script->urlsOpen;
    }
    return QDesktopServices::openUrl(url);
}

} // namespace brenvik::ui::Dialogs
