// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spreadsheet.h"

#include "SafeWrite.h"
#include "WorkbookCheck.h"

#include <xlsxwriter.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <string_view>

namespace brenvik {

namespace {

// Length of the valid UTF-8 sequence at the start of `s`, 0 when there is none.
std::size_t validSequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = lead < 0x80                    ? 1
                         : lead >= 0xC2 && lead <= 0xDF ? 2
                         : lead >= 0xE0 && lead <= 0xEF ? 3
                         : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                        : 0;
    if (length == 0 || length > s.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i)
        if ((byte(i) & 0xC0) != 0x80)
            return 0;
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) > 0x9F) ||
        (lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) > 0x8F))
        return 0;
    return length;
}

// A workbook with a control character or broken UTF-8 in it does not open in a spreadsheet
// program; such bytes can only come from a damaged source, so they are dropped or replaced.
std::string sheetText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const std::size_t n = validSequenceLength(text);
        if (n == 0) {
            out += "\xEF\xBF\xBD"; // U+FFFD
            text.remove_prefix(1);
            continue;
        }
        const auto c = static_cast<unsigned char>(text[0]);
        if (n > 1 || c >= 0x20 || c == '\t' || c == '\n' || c == '\r')
            out.append(text.substr(0, n));
        text.remove_prefix(n);
    }
    return out;
}

Result<void> checkSize(const std::filesystem::path& file, const SheetTable& table) {
    bool fits = table.size() <= LXW_ROW_MAX;
    for (const auto& row : table)
        fits = fits && row.size() <= LXW_COL_MAX;
    if (!fits)
        return fail(ErrorCode::Invalid,
                    "表格超出工作表的行数或列数上限，文件 " + shownPath(file) + " 未写入。");
    return {};
}

using Workbook = std::unique_ptr<lxw_workbook, void (*)(lxw_workbook*)>;

Error writeError(const std::filesystem::path& file, lxw_error error) {
    return Error{ErrorCode::Io,
                 "无法写入文件 " + shownPath(file) + "：" + lxw_strerror(error) + "，原有文件未改动。"};
}

bool fileIsCompleteWorkbook(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return in.good() || in.eof() ? workbookIsComplete(bytes) : false;
}

} // namespace

Result<void> writeSpreadsheet(const std::filesystem::path& file, const SheetTable& table) {
    if (auto fits = checkSize(file, table); !fits)
        return fits;
    auto pending = PendingFile::create(file);
    if (!pending)
        return std::unexpected(pending.error());
    // Freed without writing anything unless it is closed, which writes and frees it.
    Workbook book(workbook_new(pending->temporary().c_str()), &lxw_workbook_free);
    lxw_worksheet* sheet = book ? workbook_add_worksheet(book.get(), "Sheet1") : nullptr;
    if (!sheet)
        return std::unexpected(writeError(file, LXW_ERROR_MEMORY_MALLOC_FAILED));
    lxw_format* percent = workbook_add_format(book.get());
    if (!percent)
        return std::unexpected(writeError(file, LXW_ERROR_MEMORY_MALLOC_FAILED));
    format_set_num_format(percent, "0.000%");
    for (std::size_t r = 0; r < table.size(); ++r)
        for (std::size_t c = 0; c < table[r].size(); ++c) {
            const SheetCell& cell = table[r][c];
            const auto row = static_cast<lxw_row_t>(r);
            const auto column = static_cast<lxw_col_t>(c);
            lxw_error e = LXW_NO_ERROR;
            if (cell.type == SheetCell::Type::Text) {
                const std::string text = sheetText(cell.text);
                e = worksheet_write_string(sheet, row, column, text.c_str(), nullptr);
            } else {
                e = worksheet_write_number(sheet, row, column, cell.value,
                                           cell.type == SheetCell::Type::Percent ? percent : nullptr);
            }
            if (e != LXW_NO_ERROR)
                return std::unexpected(writeError(file, e));
        }
    if (const lxw_error e = workbook_close(book.release()); e != LXW_NO_ERROR)
        return std::unexpected(writeError(file, e));
    if (!fileIsCompleteWorkbook(pending->temporary()))
        return fail(ErrorCode::Io, "无法写入文件 " + shownPath(file) +
                                       "：写出的工作簿不完整，可能是磁盘已满，原有文件未改动。");
    return pending->commit();
}

} // namespace brenvik
