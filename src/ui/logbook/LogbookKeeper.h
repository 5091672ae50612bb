// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>

namespace brenvik::ui {

class LogbookWindow;
class ResultsPanel;
class SettingsStore;
class Workspace;

// The logbook: records the top of the tally the results show (follow or combination search) for
// the next issue, and keeps the 预测记录 window, predictions and plays, in step with the open
// history.
class LogbookKeeper : public QObject {
    Q_OBJECT
public:
    LogbookKeeper(Workspace& workspace, ResultsPanel& results, SettingsStore& settings, QWidget* window);

    // Asks how many outcomes of the tally shown to record, and records them as they are shown.
    void recordPrediction();
    // Opens the 预测记录 window, or brings it to the front.
    void showLogbook();
    // The 预测记录 window, once it was opened.
    LogbookWindow* logbookWindow() const;
    // Reads the logbook again: a play or prediction was recorded elsewhere.
    void refresh();

signals:
    void status(const QString& text);

private:
    void withdraw(bool play, long long id, std::int32_t issue);

    Workspace& m_workspace;
    ResultsPanel& m_results;
    SettingsStore& m_settings;
    QWidget* m_window;
    QPointer<QWidget> m_logbook; // a LogbookWindow, made through the surfaces' table
};

} // namespace brenvik::ui
