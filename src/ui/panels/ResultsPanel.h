// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GridModels.h"
#include "SearchConditions.h"
#include "Tally.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QSplitter;
class QTableView;

namespace brenvik::ui {

class TallyVerdict;
class Workspace;

// What a search found: the line of conditions it was run with, the tally of outcomes with its
// verdict and chart, and the matched draws. Double clicks export either grid. When the controls
// or the history change after the search, all of it is greyed together, so that nothing shown
// passes for an answer to the controls as they now stand.
class ResultsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ResultsPanel(Workspace& workspace, QWidget* parent = nullptr);

    const GridModel& matchedGrid() const { return *m_matchedModel; }
    const GridModel& resultGrid() const { return *m_resultModel; }
    // The conditions of the search whose results are shown.
    const std::optional<SearchConditions>& searched() const { return m_searched; }
    // The tally the result grid shows, as it was counted.
    const Tally& shownTally() const { return m_tally; }

    // Shows what the search with conditions `c` found: the history rows that matched.
    void showResults(const SearchConditions& c, const std::vector<std::uint32_t>& rows);
    // Says whether the controls still describe the search shown: `now` is what they describe,
    // nothing when they describe no search that could run.
    void compareConditions(const std::optional<SearchConditions>& now);
    // Whether what is shown is greyed as the result of earlier conditions or an earlier history.
    bool stale() const { return m_stale; }
    // The controls in the order they are read, for Tab.
    QList<QWidget*> readingOrder() const;
    // The least height to take, beyond what the grids and the chart need: a screenful where the
    // results have a row of the window to themselves.
    void setLeastHeight(int height);
    // The narrowest the panel can be: its tally, chart and matched draws one under the other.
    int leastWidth() const;
    QSize minimumSizeHint() const override;
    // Forgets the search shown: the condition line, the tally, its verdict and chart, the matched
    // draws; `lastDraw` names the earlier-draw column.
    void clear(bool lastDraw);
    // Puts the tally's chart in its place: its library is loaded after the window's first paint,
    // or by the first search shown before it.
    void showChart();

signals:
    void status(const QString& text);
    // The user asked for the manual at this section.
    void manualWanted(const QString& section);
    // The user asked to record the top of the tally as the next issue's prediction.
    void predictionWanted();
    // A search's results were put on show.
    void resultsShown();
    // The tally's chart took its place, and with it the room it needs.
    void chartShown();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void setStale(bool stale, const QString& why = {});
    // Offers 记录本期预测 only for a tally shown as current that counted draws, and says why not.
    void offerPrediction();
    // Under the tally of a search before a chosen issue: that draw, and where it ranked.
    void showChosenDraw(const SearchConditions& c);

    Workspace& m_workspace;
    std::optional<SearchConditions> m_searched;
    Tally m_tally;
    bool m_stale = false;
    int m_leastHeight = 0;
    bool m_sized = false; // the splitters were given their sizes for the panel's width
    // The history changed after the search shown: whatever the controls say, it is not current.
    bool m_historyChanged = false;
    // Tallies shown since the window started: the chance verdict shares its level among them.
    int m_talliesRun = 0;
    QString m_searchedSummary;
    QLabel* m_summary = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    QPushButton* cmdYuce = nullptr;
    QLabel* m_chosenDraw = nullptr;
    TallyVerdict* m_verdict = nullptr;
    QWidget* m_chart = nullptr; // the chart, or the place it will take
    bool m_chartShown = false;
    QSplitter* m_split = nullptr;
    QSplitter* m_tallySplit = nullptr;
    MatchedGridModel* m_matchedModel = nullptr;
    ResultGridModel* m_resultModel = nullptr;
};

} // namespace brenvik::ui
