// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QScrollArea>

class QGridLayout;

namespace brenvik::ui {

class ResultsPanel;
class SearchPanel;

// The main window's three panels, laid out for the width there is: side by side where the
// results keep the width their tally needs; else the results under the history and the options,
// or all three one under the other where even those two do not fit side by side. The window
// scrolls up and down when it must, never sideways: every control and the whole condition line
// stay within its width.
class PanelFlow : public QScrollArea {
    Q_OBJECT
public:
    enum class Arrangement { Columns, ResultsBelow, Stacked };

    PanelFlow(QWidget* history, SearchPanel* search, ResultsPanel* results, QWidget* parent = nullptr);

    Arrangement arrangement() const { return m_arrangement; }
    // The narrowest the panels can be laid out in, and the least width that holds them side by side.
    int narrowest() const;
    int columnsWidth() const;
    // Brings the results into view when they lie out of it, as after a search.
    void showResults();

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    Arrangement fitting() const;
    // The history and the options side by side.
    int sideBySide() const;
    void arrange(Arrangement a);
    void fitHeights();

    QWidget* m_history;
    SearchPanel* m_search;
    ResultsPanel* m_results;
    QGridLayout* m_grid;
    Arrangement m_arrangement = Arrangement::Columns;
    bool m_arranged = false;
};

} // namespace brenvik::ui
