#pragma once

#include "Error.h"
#include "Game.h"

#include <filesystem>
#include <string>
#include <vector>

namespace brenvik {

// The files the grids are exported to, in the data folder, are named per game (sheetFileName).
// The content is an Office Open XML workbook; the names stay what the users know.

// Rows of cell texts (UTF-8), header rows included; rows may differ in length.
using SheetTable = std::vector<std::vector<std::string>>;

// Writes `table` into a workbook with the one sheet "Sheet1": cell (r, c) of the table becomes
// the sheet's cell in row r + 1, column c + 1, as plain text. An earlier file of that name is
// replaced only by a complete workbook.
Result<void> writeSpreadsheet(const std::filesystem::path& file, const SheetTable& table);

} // namespace brenvik
