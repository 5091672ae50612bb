// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Game.h"

#include <filesystem>
#include <string>
#include <vector>

namespace brenvik {

// The files the grids are exported to, in the data folder, are named per game (sheetFileName).
// The content is an Office Open XML workbook; the names stay what the users know.

// One cell of a sheet: text (UTF-8), or a number a spreadsheet can sort and sum. A percentage is
// a share (0.125) shown with three decimals and a percent sign (12.500%).
struct SheetCell {
    enum class Type { Text, Number, Percent };

    SheetCell(std::string text = {}) : text(std::move(text)) {}
    SheetCell(const char* text) : text(text) {}
    static SheetCell number(double value) { return {Type::Number, value}; }
    static SheetCell percent(double share) { return {Type::Percent, share}; }

    Type type = Type::Text;
    std::string text;
    double value = 0;

private:
    SheetCell(Type type, double value) : type(type), value(value) {}
};

// Rows of cells, header rows included; rows may differ in length.
using SheetTable = std::vector<std::vector<SheetCell>>;

// Writes `table` into a workbook with the one sheet "Sheet1": cell (r, c) of the table becomes
// the sheet's cell in row r + 1, column c + 1. An earlier file of that name is replaced only by a
// complete workbook.
Result<void> writeSpreadsheet(const std::filesystem::path& file, const SheetTable& table);

} // namespace brenvik
