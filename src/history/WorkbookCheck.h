// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string_view>

namespace brenvik {

// Whether `bytes` are a complete workbook: a whole zip archive whose every part unpacks to its
// recorded size and checksum, and whose every XML part closes its root element. The
// spreadsheet library writes each part to a temporary file first and does not check those
// writes, so a full disk leaves a cut-off part inside an archive that looks sound.
bool workbookIsComplete(std::string_view bytes);

} // namespace brenvik
