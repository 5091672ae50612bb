// SPDX-License-Identifier: GPL-3.0-or-later
#include "Dialogs.h"

#include "PanelParts.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

namespace brenvik::ui::Dialogs {

namespace {

Script* g_script = nullptr;

QVariant next(const QString& kind, const QString& title, const QString& text) {
    g_script->shown.push_back({kind, title, text});
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

static bool ask(QWidget* parent, const QString& kind, const QString& title, const QString& text,
                QMessageBox::StandardButton byDefault) {
    if (g_script)
        return next(kind, title, text).toBool();
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.button(QMessageBox::Cancel)->setText(QStringLiteral("取消"));
    box.setDefaultButton(byDefault);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

bool confirm(QWidget* parent, const QString& title, const QString& text) {
    return ask(parent, QStringLiteral("confirm"), title, text, QMessageBox::Ok);
}

bool confirmRemoval(QWidget* parent, const QString& title, const QString& text) {
    return ask(parent, QStringLiteral("confirmRemoval"), title, text, QMessageBox::Cancel);
}

static void message(QWidget* parent, QMessageBox::Icon icon, const QString& kind, const QString& title,
                    const QString& said) {
    // Messages built from a library's reason end as sentences, as the window's own do.
    const QString text = sentence(said);
    if (g_script) {
        // A message needs no answer, so it takes none from the script.
        g_script->shown.push_back({kind, title, text});
        return;
    }
    QMessageBox box(icon, title, text, QMessageBox::Ok, parent);
    box.button(QMessageBox::Ok)->setText(QStringLiteral("确定"));
    box.exec();
}

void inform(QWidget* parent, const QString& title, const QString& text) {
    message(parent, QMessageBox::Information, QStringLiteral("inform"), title, text);
}

void warn(QWidget* parent, const QString& title, const QString& text) {
    message(parent, QMessageBox::Warning, QStringLiteral("warn"), title, text);
}

void about(QWidget* parent, const QString& title, const QString& text) {
    if (g_script) {
        g_script->shown.push_back({QStringLiteral("about"), title, text});
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
        const QVariant v = next(QStringLiteral("openFile"), title, folder);
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

bool openUrl(const QUrl& url) {
    if (g_script) {
        g_script->opened.push_back(url);
        return g_script->urlsOpen;
    }
    return QDesktopServices::openUrl(url);
}

} // namespace brenvik::ui::Dialogs
