// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistorySnapshot.h"

#include <QObject>
#include <QString>

#include <cstddef>
#include <memory>

class QAction;
class QWidget;

namespace brenvik::ui {

class SettingsStore;
class Workspace;

// What the user can do to the open history beyond typing a draw: read a text file, write one,
// update online, delete draws, undo the last change, rebuild the segments. Each asks what it
// must, changes the history through the workspace and reports in a line or a box.
class HistoryCommands : public QObject {
    Q_OBJECT
public:
    // `window` is the parent of the questions asked; `undo` the action that undoes a change.
    HistoryCommands(Workspace& workspace, SettingsStore& settings, QWidget* window, QAction* undo);

    void importHistory();
    void exportHistoryText();
    // The online update, after the question that says what it does.
    void updateOnline();
    // The same without the question: the user asked for it by its name (the status bar's offer).
    void updateOnlineNow();
    void deleteLastDraw();
    void clearHistory();
    void deleteDownToIssue();
    void deleteLastDraws();
    void undoChange();
    // Rebuilds a damaged history from a file the user picks (the undo backup, the backup file,
    // the shipped sample or another); the damaged file is kept aside.
    void restoreHistory();
    // Offers to rebuild the history when its stored segments were coded with another segment
    // parameter than the one in force; asks once per history and parameter.
    void offerSegmentRebuild();
    // The undo action is offered while there is a change to undo.
    void updateUndoAction();

signals:
    void status(const QString& text);
    // While an online update runs, nothing else may change the history.
    void busy(bool running);
    // An online update ended, whatever came of it.
    void updateFinished();

private:
    void runOnlineUpdate(bool ask);
    bool confirmRemoval(std::size_t removed, const QString& text);

    Workspace& m_workspace;
    SettingsStore& m_settings;
    QWidget* m_window;
    QAction* m_undo;
    // The history and segment setting whose stored segments were last checked, so a segment
    // search asks about a mismatch once, not at every press.
    std::weak_ptr<const HistorySnapshot> m_segmentsCheckedOn;
    int m_segmentsCheckedParam = -1;
};

} // namespace brenvik::ui
