// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Spreadsheet.h"

#include <QString>

#include <functional>

#include <optional>

class QWidget;

namespace brenvik::ui {

// Where an export of the window goes.
struct ExportPlace {
    QString file;
    bool elsewhere = false; // not in the data folder, which cannot be written
};

// The place of the export named `name` (its extension names its kind): the data folder, or,
// when the data folder cannot be written, a place the user picks in a file dialog that starts in
// the documents folder. Nothing when the user cancels.
std::optional<ExportPlace> exportPlace(QWidget* parent, const QString& title, const QString& dataFolder,
                                       const QString& name);

// Opens `file` for an export and has `write` fill and commit it, showing its progress under
// `label` ("已写出 %1 / %2 行"); a failure is told in a message box. False when it failed or the
// user cancelled it.
bool writeExport(QWidget* parent, const QString& title, const QString& file, const QString& label,
                 const std::function<Result<void>(OutputFile&, const Progress&)>& write);

// writeExport of the `rowCount` rows `rows` gives, as a spreadsheet.
bool writeSheetTo(QWidget* parent, const QString& file, long long rowCount, const SheetRows& rows);

// Tells where an export that could not go to the data folder went.
void tellElsewhere(QWidget* parent, const QString& title, const ExportPlace& place);

// exportPlace, writeSheetTo and tellElsewhere for the spreadsheet `name`, then opens it. The line
// for the status bar; empty when nothing was written.
QString exportSpreadsheet(QWidget* parent, const QString& dataFolder, const QString& name, long long rowCount,
                          const SheetRows& rows);

} // namespace brenvik::ui
