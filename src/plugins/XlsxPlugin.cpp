// SPDX-License-Identifier: GPL-3.0-or-later
#include "XlsxPlugin.h"

#include "WorkbookCheck.h"

#include <xlsxwriter.h>

#include <new>
#include <string_view>
#include <vector>

namespace {

static_assert(brenvik::kXlsxRows == LXW_ROW_MAX && brenvik::kXlsxColumns == LXW_COL_MAX &&
              brenvik::kXlsxNoMemory == LXW_ERROR_MEMORY_MALLOC_FAILED);

struct Book {
    lxw_workbook* workbook;
    lxw_worksheet* sheet;
    std::vector<lxw_format*> formats{nullptr}; // 0: the general format
};

void* openBook(const char* file) {
    // Rows are written in order, so the library can keep only the current one in memory.
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* workbook = workbook_new_opt(file, &options);
    lxw_worksheet* sheet = workbook ? workbook_add_worksheet(workbook, "Sheet1") : nullptr;
    Book* book = sheet ? new (std::nothrow) Book{workbook, sheet} : nullptr;
    if (!book && workbook)
        lxw_workbook_free(workbook);
    return book;
}

int addFormat(void* b, int bold, unsigned long fill, unsigned long colour, const char* numberFormat) {
    Book& book = *static_cast<Book*>(b);
    lxw_format* f = workbook_add_format(book.workbook);
    if (!f)
        return -1;
    if (bold)
        format_set_bold(f);
    if (fill != brenvik::kXlsxNoColour) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, static_cast<lxw_color_t>(fill));
    }
    if (colour != brenvik::kXlsxNoColour)
        format_set_font_color(f, static_cast<lxw_color_t>(colour));
    if (numberFormat && *numberFormat)
        format_set_num_format(f, numberFormat);
    book.formats.push_back(f);
    return static_cast<int>(book.formats.size() - 1);
}

lxw_format* formatOf(const Book& book, int format) {
    return format > 0 && static_cast<std::size_t>(format) < book.formats.size() ? book.formats[format]
                                                                                : nullptr;
}

int writeText(void* b, unsigned row, unsigned column, const char* utf8, int format) {
    const Book& book = *static_cast<Book*>(b);
    return worksheet_write_string(book.sheet, row, static_cast<lxw_col_t>(column), utf8,
                                  formatOf(book, format));
}

int writeNumber(void* b, unsigned row, unsigned column, double value, int format) {
    const Book& book = *static_cast<Book*>(b);
    return worksheet_write_number(book.sheet, row, static_cast<lxw_col_t>(column), value,
                                  formatOf(book, format));
}

int closeBook(void* b) {
    Book* book = static_cast<Book*>(b);
    const lxw_error e = workbook_close(book->workbook);
    delete book;
    return e;
}

void discardBook(void* b) {
    Book* book = static_cast<Book*>(b);
    lxw_workbook_free(book->workbook);
    delete book;
}

const char* errorText(int error) {
    return lxw_strerror(static_cast<lxw_error>(error));
}

int complete(const char* bytes, unsigned long size) {
    return brenvik::workbookIsComplete(std::string_view(bytes, size)) ? 1 : 0;
}

const BrenvikXlsxPlugin kPlugin{brenvik::kXlsxPluginVersion,
                                &openBook,
                                &addFormat,
                                &writeText,
                                &writeNumber,
                                &closeBook,
                                &discardBook,
                                &errorText,
                                &complete};

} // namespace

extern "C" [[gnu::visibility("default")]] const void* brenvik_xlsx_plugin() {
    return &kPlugin;
}
