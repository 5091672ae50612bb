// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <deque>
#include <optional>

class QWidget;

namespace brenvik::ui {

// Every question the window asks goes through here, so that tests can answer in advance and
// read back what was shown.
namespace Dialogs {

// Yes/no question with OK and Cancel and a question icon; true for OK.
bool confirm(QWidget* parent, const QString& title, const QString& text);
// The same question for a change that removes or replaces draws: Cancel is the default button,
// so a habitual Enter never deletes. Tests see it as kind "confirmRemoval".
bool confirmRemoval(QWidget* parent, const QString& title, const QString& text);
// A message with only an OK button.
void inform(QWidget* parent, const QString& title, const QString& text);
void warn(QWidget* parent, const QString& title, const QString& text);
// The About box: rich text beside the application icon.
void about(QWidget* parent, const QString& title, const QString& text);
// An input box; nothing when cancelled.
std::optional<QString> input(QWidget* parent, const QString& title, const QString& prompt,
                             const QString& initial);
// A file-open dialog; empty when cancelled.
QString openFile(QWidget* parent, const QString& title, const QString& folder, const QString& filter);
// A file-save dialog that asks before replacing a file; empty when cancelled.
QString saveFile(QWidget* parent, const QString& title, const QString& path, const QString& filter);
// One of `items`, picked from a list under `text`: its index; nothing when cancelled. Tests see
// the text and the items, one a line, and answer with the index.
std::optional<int> choose(QWidget* parent, const QString& title, const QString& text,
                          const QStringList& items);
// Hands a file or web address to the desktop; false when no application took it.
bool openUrl(const QUrl& url);

struct Shown {
    QString kind; // "confirm", "confirmRemoval", "inform", "warn", "about", "input", "openFile", "saveFile",
                  // "choose"
    QString title;
    QString text;
};

// Replaces the real dialogs while it exists. Answers are taken in order: a bool for confirm,
// a QString (or an invalid QVariant for Cancel) for input, openFile and saveFile. An unanswered question
// is taken as Cancel.
class Script {
public:
    Script();
    ~Script();
    Script(const Script&) = delete;
    Script& operator=(const Script&) = delete;

    void answer(const QVariant& value) { answers.push_back(value); }
    void cancel() { answers.push_back(QVariant()); }

    std::deque<QVariant> answers;
    QList<Shown> shown;
    QList<QUrl> opened;
    bool urlsOpen = true; // what openUrl reports
};

} // namespace Dialogs

} // namespace brenvik::ui
