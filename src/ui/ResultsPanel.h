// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "GridModels.h"
#include "SearchConditions.h"

#include <QWidget>

#include <cstdint>
#include <optional>
#include <vector>

class QLabel;
class QPushButton;
class QTableView;

namespace brenvik::ui {

class Workspace;

// What a search found: the line of conditions it was run with, the tally of outcomes and the
// matched draws. Double clicks export either grid.
class ResultsPanel : public QWidget {
    Q_OBJECT
public:
    explicit ResultsPanel(Workspace& workspace, QWidget* parent = nullptr);

    const GridModel& matchedGrid() const { return *m_matchedModel; }
    const GridModel& resultGrid() const { return *m_resultModel; }
    // The conditions of the search whose results are shown.
    const std::optional<SearchConditions>& searched() const { return m_searched; }

    // Shows what the search with conditions `c` found: the history rows that matched.
    void showResults(const SearchConditions& c, const std::vector<std::uint32_t>& rows);
    // Says whether the controls still describe the search shown: `now` is what they describe,
    // nothing when they describe no search that could run.
    void compareConditions(const std::optional<SearchConditions>& now);
    // Empties both grids; `lastDraw` names the earlier-draw column.
    void clear(bool lastDraw);

signals:
    void status(const QString& text);
    // The user asked for the manual at this section.
    void manualWanted(const QString& section);
    // The user asked to record the top of the tally as the next issue's prediction.
    void predictionWanted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Workspace& m_workspace;
    std::optional<SearchConditions> m_searched;
    // Tallies shown since the window started: the chance verdict shares its level among them.
    int m_talliesRun = 0;
    QString m_searchedSummary;
    QLabel* m_summary = nullptr;
    QTableView* MSFlexGrid2 = nullptr;
    QTableView* MSFlexGrid3 = nullptr;
    QPushButton* cmdYuce = nullptr;
    MatchedGridModel* m_matchedModel = nullptr;
    ResultGridModel* m_resultModel = nullptr;
};

} // namespace brenvik::ui
