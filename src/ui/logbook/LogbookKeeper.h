// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QPointer>

#include <cstdint>

namespace brenvik::ui {

class LogbookWindow;
class ResultsPanel;
class SearchPanel;
class SettingsStore;
class Workspace;

// The logbook of predictions: records the top of the follow search from the newest draw for the
// next issue, and keeps the 预测记录 window in step with the open history.
class LogbookKeeper : public QObject {
    Q_OBJECT
public:
    LogbookKeeper(Workspace& workspace, SearchPanel& search, ResultsPanel& results, SettingsStore& settings,
                  QWidget* window);

    // Asks how many outcomes to record, records them and shows the search they came from.
    void recordPrediction();
    // Opens the 预测记录 window, or brings it to the front.
    void showLogbook();
    // The 预测记录 window, once it was opened.
    LogbookWindow* logbookWindow() const;

signals:
    void status(const QString& text);

private:
    void refresh();
    void withdrawPrediction(long long id, std::int32_t issue);

    Workspace& m_workspace;
    SearchPanel& m_search;
    ResultsPanel& m_results;
    SettingsStore& m_settings;
    QWidget* m_window;
    QPointer<QWidget> m_logbook; // a LogbookWindow, made through the surfaces' table
};

} // namespace brenvik::ui
