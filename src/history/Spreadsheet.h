// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Game.h"
#include "Progress.h"
#include "SafeWrite.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace brenvik {

// The files the grids are exported to, in the data folder, are named per game (sheetFileName).
// The content is an Office Open XML workbook; the names stay what the users know.

// How a cell looks beyond its value, where a sheet keeps what the window shows by colour or
// weight: bold, a fill, the colour of its text, and a number format (Excel's own notation, as
// 0"↑" for a number shown with a mark after it).
struct SheetStyle {
    static constexpr std::uint32_t kNoColour = 0xFFFFFFFF;

    bool bold = false;
    std::uint32_t fill = kNoColour;   // 0xRRGGBB
    std::uint32_t colour = kNoColour; // of the text, 0xRRGGBB
    std::string numberFormat;         // empty for the general one

    bool operator==(const SheetStyle&) const = default;
};

// One cell of a sheet: text (UTF-8), or a number a spreadsheet can sort and sum. A percentage is
// a share (0.125) shown with three decimals and a percent sign (12.500%).
struct SheetCell {
    enum class Type { Text, Number, Percent };

    SheetCell(std::string text = {}) : text(std::move(text)) {}
    SheetCell(const char* text) : text(text) {}
    static SheetCell number(double value) { return {Type::Number, value}; }
    static SheetCell percent(double share) { return {Type::Percent, share}; }
    SheetCell&& styled(SheetStyle s) && {
        style = std::move(s);
        return std::move(*this);
    }

    Type type = Type::Text;
    std::string text;
    double value = 0;
    SheetStyle style;

private:
    SheetCell(Type type, double value) : type(type), value(value) {}
};

// Rows of cells, header rows included; rows may differ in length.
using SheetTable = std::vector<std::vector<SheetCell>>;

// Gives the rows of a sheet in order: fills `row` (handed over empty) with the next row and
// returns true, or returns false after the last one.
using SheetRows = std::function<bool(std::vector<SheetCell>& row)>;

// Writes the rows `rows` gives into a workbook with the one sheet "Sheet1", the r-th row's c-th
// cell (from 0) in the sheet's row r + 1, column c + 1, to `out`, and commits it. Each row goes
// to the disk as soon as the next one starts, so a sheet of a million rows needs the memory of a
// few. `progress` is told the rows written of `total` and may stop the export before the commit
// (ErrorCode::Cancelled). An earlier regular file is replaced only by a complete workbook.
Result<void> writeSpreadsheet(OutputFile& out, const SheetRows& rows, long long total = 0,
                              const Progress& progress = {});

// The same for a whole table, to the file `file` names.
Result<void> writeSpreadsheet(const std::filesystem::path& file, const SheetTable& table);

} // namespace brenvik
