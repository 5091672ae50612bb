// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The spreadsheet writer as a plugin of the programs' own, brenvik3d-xlsx.so: libxlsxwriter behind
// a table of C functions. The programs neither link libxlsxwriter nor name its file; they load the
// plugin when they first write a workbook, which spares the window's start the loading of the
// writer and the compression and crypto libraries it draws in.

extern "C" {

struct BrenvikXlsxPlugin {
    unsigned version;
    // A workbook to be written to `file` with the one sheet "Sheet1", each row kept in memory only
    // until the next one begins (rows must come in order). Null when it cannot be made.
    void* (*open)(const char* file);
    // A cell format: bold or not, the fill and the text colour as 0xRRGGBB (kXlsxNoColour for
    // none), the number format (null or empty for the general one). Its number for the writing
    // functions, or -1 when it cannot be made. Format 0 is the general one.
    int (*format)(void* book, int bold, unsigned long fill, unsigned long colour, const char* numberFormat);
    // Each returns 0, or the library's error number.
    int (*text)(void* book, unsigned row, unsigned column, const char* utf8, int format);
    int (*number)(void* book, unsigned row, unsigned column, double value, int format);
    // Writes the file and frees the workbook: 0, or the library's error number.
    int (*close)(void* book);
    // Frees a workbook without writing it.
    void (*discard)(void* book);
    // The library's words for an error number.
    const char* (*errorText)(int error);
    // Whether the bytes of a written file are a complete workbook (workbookIsComplete): 1 or 0.
    // The check reads the archive through the zip library, which the writer draws in anyway.
    int (*complete)(const char* bytes, unsigned long size);
};

} // extern "C"

namespace brenvik {

// A sheet's size as the format allows it.
inline constexpr unsigned kXlsxRows = 1048576;
inline constexpr unsigned kXlsxColumns = 16384;
inline constexpr unsigned long kXlsxNoColour = 0xFFFFFFFFul;
// The library's error number for memory that could not be had.
inline constexpr int kXlsxNoMemory = 1;

// Changes whenever the table or what its functions do changes.
inline constexpr unsigned kXlsxPluginVersion = 2;
// The plugin's name, which pluginFile() makes the name of a file of this system.
inline constexpr const char* kXlsxPluginName = "brenvik3d-xlsx";
// The plugin's only exported function: `const void* brenvik_xlsx_plugin(void)`, its table.
inline constexpr const char* kXlsxPluginEntry = "brenvik_xlsx_plugin";

} // namespace brenvik
