// SPDX-License-Identifier: GPL-3.0-or-later
// What the window reaches through SurfaceParts: each entry makes or feeds one of the parts that
// draw in Qt Charts, Qt Print Support or Qt Network.
#include "SurfacesTable.h"

#include "BacktestWindow.h"
#include "FilterWindow.h"
#include "LogbookWindow.h"
#include "OnlineUpdate.h"
#include "SourceDialog.h"
#include "TallyChart.h"
#include "TrendWindow.h"

namespace brenvik::ui {

namespace {

QWidget* tallyChart(const ResultGridModel* model, const QString& folder) {
    return new TallyChart(model, folder);
}

void greyChart(QWidget* chart, bool greyed) {
    static_cast<ThemedChartView*>(chart)->setGreyed(greyed);
}

QWidget* backtestWindow(const SearchConditions& c, const SearchIndexPtr& index, Game game,
                        const QString& folder, QWidget* parent) {
    return new BacktestWindow(c, index, game, folder, parent);
}

QWidget* trendWindow(QWidget* parent, const std::function<void(const QString&)>& written) {
    auto* trend = new TrendWindow(parent);
    QObject::connect(trend, &TrendWindow::written, trend, written);
    return trend;
}

void showTrendHistory(QWidget* trend, const SearchIndexPtr& index, Game game, const QString& folder) {
    static_cast<TrendWindow*>(trend)->setHistory(index, game, folder);
}

QWidget* filterWindow(Workspace& workspace, SettingsStore& settings,
                      const std::function<std::optional<ShownTally>()>& tally,
                      const std::function<void()>& playRecorded, QWidget* parent) {
    auto* filter = new FilterWindow(workspace, settings, tally, parent);
    QObject::connect(filter, &FilterWindow::playRecorded, filter, playRecorded);
    return filter;
}

QWidget* logbookWindow(QWidget* parent,
                       const std::function<void(bool play, long long id, std::int32_t issue)>& withdraw) {
    auto* logbook = new LogbookWindow(parent);
    QObject::connect(logbook, &LogbookWindow::withdrawRequested, logbook,
                     [withdraw](long long id, std::int32_t issue) { withdraw(false, id, issue); });
    QObject::connect(logbook, &LogbookWindow::withdrawPlayRequested, logbook,
                     [withdraw](long long id, std::int32_t issue) { withdraw(true, id, issue); });
    return logbook;
}

void refreshLogbook(QWidget* logbook, const HistoryStore* store, const HistorySnapshot& history, Game game,
                    const QString& folder) {
    static_cast<LogbookWindow*>(logbook)->refresh(store, history, game, folder);
}

bool chooseSource(SettingsStore& settings, QWidget* parent) {
    SourceDialog dialog(settings, parent);
    return dialog.exec() == QDialog::Accepted;
}

const SurfaceParts kTable{
    kSurfacesPluginVersion, &tallyChart,   &greyChart,     &backtestWindow, &trendWindow,
    &showTrendHistory,      &filterWindow, &logbookWindow, &refreshLogbook, &runOnlineUpdate,
    &offerRetention,        &askChartHost, &chooseSource,
};

} // namespace

const SurfaceParts& surfacesTable() {
    return kTable;
}

} // namespace brenvik::ui
