// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"
#include "SearchIndex.h"
#include "TrendModel.h"

#include <QWidget>

class QComboBox;
class QLabel;
class QLineEdit;
class QPrinter;

namespace brenvik::ui {

class TrendView;

// The window "走势图": the trend chart and omission figures of a range of the open history.
class TrendWindow : public QWidget {
    Q_OBJECT
public:
    // The ranges offered, in the order of the range box; the last asks for two issues.
    static constexpr int kLastCounts[] = {30, 50, 100, 200, 500};
    static constexpr int kAllChoice = 5;
    static constexpr int kIssueChoice = 6;
    // The most draws exported to a spreadsheet: each is 35 cells worked out from the chart, and a
    // range far longer than anyone reads as a table would keep the export busy for minutes.
    static constexpr int kLargestSheet = 50000;

    explicit TrendWindow(QWidget* parent = nullptr);

    // The history changed, or another game's history was opened. The range choice stays; the
    // view keeps the newest draw in view when it showed it, and otherwise the draw at its top.
    void setHistory(SearchIndexPtr index, Game game, const QString& dataFolder);

    const TrendModel& model() const { return *m_model; }
    TrendView& view() const { return *m_view; }

    // The chart as a picture: every row of the range when the picture stays within a sensible
    // size, otherwise the rows in view; with the captions and the figures either way.
    QImage picture(bool* whole = nullptr) const;
    void print(QPrinter* printer) const;

signals:
    // A spreadsheet or picture was written to `file`.
    void written(const QString& file);

private:
    void chooseRange();
    stats::RowRange chosenRange(const SearchIndex* index, QString* problem) const;
    void showSummary(const QString& problem);
    void exportSheet();
    void savePicture();
    void printChart();
    void previewChart();

    TrendModel* m_model;
    TrendView* m_view;
    QString m_rangeLine; // what the sheet says of the range in its first row
    QComboBox* m_rangeBox;
    QLineEdit* m_startBox;
    QLineEdit* m_endBox;
    QLabel* m_summary;
    Game m_game = Game::Fc3d;
    QString m_dataFolder;
    bool m_hasHistory = false;
};

} // namespace brenvik::ui
