// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"

#include <QString>

#include <cstdint>
#include <functional>

class QAbstractButton;
class QAbstractItemModel;
class QObject;
class QGroupBox;
class QSize;
class QLabel;
class QLineEdit;
class QRadioButton;
class QTableView;
class QWidget;

namespace brenvik::ui {

class GridModel;

// Pieces the panels are built from. Every control carries the name of the window's control list
// as its objectName, control arrays with their index: "Option1(3)".
QString indexed(const char* name, int index);
template <typename W> W* named(W* w, const QString& name) {
    w->setObjectName(name);
    return w;
}
QRadioButton* radio(const char* name, int index, const QString& caption);
QGroupBox* group(const QString& name, const QString& title);
QLineEdit* smallBox(const QString& name, int chars);
// A read-only grid of whole rows; `wholeRows` keeps a part row from showing at its top.
QTableView* grid(const QString& name, QAbstractItemModel* model, bool wholeRows = false);
// A label that wraps its text without trading the window's height for its width.
QLabel* wrappedLabel(const QString& name, const QString& text);
// Lets only a minus sign and digits into a box, six characters at most, pasted text included.
void acceptPatternCharacters(QLineEdit* box);
// `text` as a sentence: a full stop at its end unless it ends with one, a question, an
// exclamation or an ellipsis already.
QString sentence(const QString& text);
// A count as every message shows it, with thousands separators: "7,731".
QString countText(long long count);
// Twips of the original layout to pixels at the window's font size.
int twips(int t);

// Runs `act` when `button` is chosen, however it comes to be checked (the mouse, the keys, a
// screen reader's action, the program), and when it is pressed again while checked, as a click
// on an option always did: once either way.
void onChosen(QAbstractButton* button, QObject* context, std::function<void()> act);

// What assistive technology says of a control: its name, and what it is for where the caption
// alone does not say it.
void describe(QWidget* w, const QString& name, const QString& description = {});
// Tab and Shift+Tab go through `controls` in this order: the order they are read in.
void chainTabOrder(const QList<QWidget*>& controls);
// Gives a window of its own the size it was designed for, or as much of it as the screen has,
// and places it over `over` (or centred on the screen) within the screen's available area,
// title bar and borders included.
void fitToScreen(QWidget* window, const QSize& designed, const QWidget* over = nullptr);

// Writes a grid, header row included, to a spreadsheet in the data folder and opens it. The
// line for the status bar; empty when the user was told of a failure. A `title` goes in a row of
// its own above the grid.
QString exportGrid(QWidget* parent, const QString& dataFolder, Game game, const GridModel& model,
                   const char* fileName, const QString& title = {});
// Runs `exportIt` when the grid, its header row included, is double-clicked with the left button,
// as the windows of their own export their grids.
void exportOnDoubleClick(QTableView* grid, std::function<void()> exportIt);
// Opens a file just written; the line for the status bar.
QString openWritten(QWidget* parent, const QString& file);
// What a range whose start lies after its end is refused with, naming both boxes by their
// captions: "“起”的 2026224 在“止”的 2026001 之后".
QString reversedRange(const QString& startCaption, std::int32_t start, const QString& endCaption,
                      std::int32_t end);

} // namespace brenvik::ui
