// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

class QWidget;

namespace brenvik {
class HistorySnapshot;
class HistoryStore;
class SearchIndex;
struct SearchConditions;
} // namespace brenvik

namespace brenvik::ui {

class ResultGridModel;
class SettingsStore;
class Workspace;
struct OnlineUpdateRequest;
struct OnlineUpdateResult;
struct RetentionOutcome;
struct ShownTally;

// The parts of the window that its first paint does not need, with the libraries they draw in:
// the charts (Qt Charts, and OpenGL under it), printing (Qt Print Support), the online update (Qt
// Network) and the windows built on them (回测, 走势图, 缩水, 预测记录). The program loads them from
// its plugin brenvik3d-surfaces once the window has painted, or when one is asked for sooner; a
// program that links them itself (the tests, the benchmarks) hands them over with
// provideSurfaceParts. The window reaches them only through this table, so that nothing of them is
// linked into the program.
struct SurfaceParts {
    unsigned version;
    // The bar chart of the results panel's tally, following `model`; the save dialog of its
    // picture starts in `folder`.
    QWidget* (*tallyChart)(const ResultGridModel* model, const QString& folder);
    // Greys a tally chart, or gives it its colours again.
    void (*greyChart)(QWidget* chart, bool greyed);
    // The 回测 window of the follow search `c` over `index`.
    QWidget* (*backtestWindow)(const SearchConditions& c, const std::shared_ptr<const SearchIndex>& index,
                               Game game, const QString& folder, QWidget* parent);
    // The 走势图 window; `written` is told every file it writes.
    QWidget* (*trendWindow)(QWidget* parent, const std::function<void(const QString&)>& written);
    // Shows `index` in a window trendWindow made.
    void (*showTrendHistory)(QWidget* trend, const std::shared_ptr<const SearchIndex>& index, Game game,
                             const QString& folder);
    // The 缩水 window; `tally` gives the tally the results panel shows, `playRecorded` is told of
    // every play it records.
    QWidget* (*filterWindow)(Workspace& workspace, SettingsStore& settings,
                             const std::function<std::optional<ShownTally>()>& tally,
                             const std::function<void()>& playRecorded, QWidget* parent);
    // The 预测记录 window; `withdraw` is asked to withdraw a prediction, or a play (true), by its
    // id and issue.
    QWidget* (*logbookWindow)(
        QWidget* parent, const std::function<void(bool play, long long id, std::int32_t issue)>& withdraw);
    // Reads the logbook of `store` again into a window logbookWindow made.
    void (*refreshLogbook)(QWidget* logbook, const HistoryStore* store, const HistorySnapshot& history,
                           Game game, const QString& folder);
    // The online update and the questions around it (OnlineUpdate.h).
    OnlineUpdateResult (*onlineUpdate)(QWidget* parent, HistoryStore& store, const HistorySnapshot& current,
                                       const OnlineUpdateRequest& request);
    // The question about the years before those kept, once the new draws are shown (OnlineUpdate.h).
    RetentionOutcome (*offerRetention)(QWidget* parent, SettingsStore& settings, HistoryStore& store,
                                       int currentYear, int segmentParam);
    std::optional<QString> (*askChartHost)(QWidget* parent, SettingsStore& settings, const QString& initial);
    // The 数据来源 dialog: true when the user accepted it.
    bool (*chooseSource)(SettingsStore& settings, QWidget* parent);
};

// Changes whenever the table or what its functions do changes.
inline constexpr unsigned kSurfacesPluginVersion = 2;
inline constexpr const char* kSurfacesPluginName = "brenvik3d-surfaces";
// The plugin's only exported function: `const void* brenvik_surfaces_plugin(void)`, its table.
inline constexpr const char* kSurfacesPluginEntry = "brenvik_surfaces_plugin";

// The parts, loaded the first time they are asked for; nothing when they cannot be loaded, and
// then `why` says so in a sentence that names the plugin's file.
const SurfaceParts* surfaceParts(QString* why = nullptr);
// Whether the parts are loaded (or linked) already, so that asking for them costs nothing.
bool surfacePartsReady();
// For a program that links the parts itself: they are `parts`, nothing is loaded.
void provideSurfaceParts(const SurfaceParts& parts);

} // namespace brenvik::ui
