// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Backtest.h"
#include "Game.h"
#include "SearchConditions.h"
#include "SearchIndex.h"

#include <QWidget>

#include <memory>
#include <optional>
#include <stop_token>
#include <thread>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QTableView;

namespace brenvik::ui {

class BacktestChart;
class BacktestGridModel;

// The 回测 window: the follow search the main window was set up with, walked through the history
// issue by issue on a worker thread, each prediction made from the draws before its issue. It
// keeps the history it was opened on, whatever the main window does meanwhile.
class BacktestWindow : public QWidget {
    Q_OBJECT
public:
    // `conditions` without the group flag; the pattern and range of a search come from each target.
    BacktestWindow(const SearchConditions& conditions, SearchIndexPtr index, Game game, QString dataFolder,
                   QWidget* parent = nullptr);
    ~BacktestWindow() override;

    // Starts a backtest with the targets, picks and twins the boxes hold; says why not when they
    // do not make one.
    void start();
    void cancel();
    bool running() const { return m_running; }
    // The last finished backtest, shown by the summary, the chart and the grid.
    const std::optional<stats::BacktestResult>& result() const { return m_result; }
    // What the progress bar says when `done` of the `total` targets of the real history and its
    // `twins` twins are walked: the draws of the history being walked, and which one it is.
    static QString progressText(std::size_t done, std::size_t total, int twins);

signals:
    // A backtest ended: finished, cancelled or refused by the library.
    void ended();

private:
    void build(const QString& conditions);
    std::optional<stats::BacktestOptions> optionsFromBoxes();
    void progressed(unsigned run, std::size_t done, std::size_t total);
    void finished(unsigned run, std::shared_ptr<Result<stats::BacktestResult>> result);
    void setRunning(bool running);
    // Puts the targets, picks and twins of `o` into the boxes.
    void showOptions(const stats::BacktestOptions& o);
    void stopWorker();

    stats::BacktestOptions m_options;
    SearchIndexPtr m_index;
    Game m_game;
    QString m_dataFolder;
    std::optional<stats::BacktestResult> m_result;
    bool m_running = false;
    unsigned m_run = 0;                    // reports of an earlier run are ignored
    stats::BacktestOptions m_runOptions;   // of the run under way
    stats::BacktestOptions m_shownOptions; // of the result shown
    std::jthread m_worker;

    QLineEdit* m_start = nullptr;
    QLineEdit* m_end = nullptr;
    QSpinBox* m_picks = nullptr;
    QSpinBox* m_twins = nullptr;
    QPushButton* m_go = nullptr;
    QPushButton* m_cancel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_status = nullptr;
    BacktestChart* m_chart = nullptr;
    QTableView* m_grid = nullptr;
    BacktestGridModel* m_model = nullptr;
};

} // namespace brenvik::ui
