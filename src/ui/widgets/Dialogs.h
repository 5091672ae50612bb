// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <QVariant>

#include <deque>
#include <functional>
#include <optional>

class QProgressDialog;
class QWidget;

namespace brenvik::ui {

// Every question the window asks goes through here, so that tests can answer in advance and
// read back what was shown.
namespace Dialogs {

// Yes/no question with OK and Cancel and a question icon; true for OK. `details`, when given,
// are offered under the box's 详细信息 button: what a library said in its own words.
bool confirm(QWidget* parent, const QString& title, const QString& text, const QString& details = {});
// The same question for a change that removes or replaces draws: Cancel is the default button,
// so a habitual Enter never deletes. Tests see it as kind "confirmRemoval".
bool confirmRemoval(QWidget* parent, const QString& title, const QString& text);
// A question with the answers `buttons`, one of them `byDefault`, which Enter and Escape choose:
// the index of the answer. Tests see the text and the answers, one a line (kind "choice"), and
// answer with the index; unanswered, the default.
int choice(QWidget* parent, const QString& title, const QString& text, const QStringList& buttons,
           int byDefault);
// A message with only an OK button.
void inform(QWidget* parent, const QString& title, const QString& text);
void warn(QWidget* parent, const QString& title, const QString& text, const QString& details = {});
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

// The progress of work that may run past half a second, with a count: a dialog that comes up
// once the work has run that long, so short work shows nothing. Cancel is offered only while
// stopping leaves nothing half done (reading a file, writing an export), never while a change
// of the history commits. The dialog keeps the whole program's windows from starting anything
// else meanwhile.
class Progress {
public:
    // `label` holds %1 for the count done and %2 for the total ("已写出 %1 / %2 行").
    Progress(QWidget* parent, const QString& title, const QString& label, bool cancellable = true);
    ~Progress();
    Progress(const Progress&) = delete;
    Progress& operator=(const Progress&) = delete;

    // The next stage of the same work: another label, and whether Cancel is still offered.
    void setStage(const QString& label, bool cancellable);
    // Tells how far the work has come; false once the user has cancelled it.
    bool update(long long done, long long total);
    bool cancelled() const { return m_cancelled; }
    // update() as the libraries take it, for as long as this lives.
    std::function<bool(long long, long long)> tracker() {
        return [this](long long done, long long total) { return update(done, total); };
    }

private:
    QString text(long long done, long long total) const;

    QWidget* m_parent;
    QString m_title;
    QString m_label;
    bool m_cancellable;
    bool m_cancelled = false;
    int m_shownIndex = -1; // in the script's list, when a script answers
    QElapsedTimer m_clock;
    qint64 m_lastPaint = 0;
    QPointer<QProgressDialog> m_dialog;
};

struct Shown {
    QString kind; // "confirm", "confirmRemoval", "choice", "inform", "warn", "about", "input", "openFile",
                  // "saveFile", "choose"
    QString title;
    QString text;
    QString details; // a message's details; a file dialog's filter
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
    // Every progress shown, however short (kind "progress", or "progress, cancelled"; the text is
    // the label as the work ended), and the count at which one that offers Cancel is cancelled.
    QList<Shown> progress;
    std::optional<long long> cancelProgressAt;
};

} // namespace Dialogs

} // namespace brenvik::ui
