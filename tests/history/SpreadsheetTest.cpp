// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spreadsheet.h"
#include "SafeWrite.h"
#include "TestFolder.h"
#include "WorkbookCheck.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>

#include <sys/stat.h>

using namespace brenvik;
using test::TestFolder;

namespace {

// Reads a workbook back with a spreadsheet reader of its own and compares it with the
// expected table, which the script gets as JSON: a text as a string, a number as {"n": value},
// a percentage as {"p": share}. The reader is given a file object because it refuses a path that
// ends in ".xls".
constexpr const char* kCheckScript = R"PY(
import json, sys, openpyxl
book = openpyxl.load_workbook(open(sys.argv[1], 'rb'))
expected = json.load(open(sys.argv[2], encoding='utf-8'))
problems = []
if book.sheetnames != ['Sheet1']:
    problems.append('sheets %r' % book.sheetnames)
sheet = book['Sheet1']
rows = len(expected)
columns = max([len(r) for r in expected] + [0])
seen = set()
for row in sheet.iter_rows():
    for cell in row:
        if cell.value is None:
            continue
        r, c = cell.row - 1, cell.column - 1
        seen.add((r, c))
        want = expected[r][c] if r < rows and c < len(expected[r]) else None
        kind, value, form = ('s', want, 'General') if not isinstance(want, dict) else \
            ('n', want['n'], 'General') if 'n' in want else ('n', want['p'], '0.000%')
        if cell.data_type != kind or cell.value != value:
            problems.append('cell %d,%d holds %r (%s), expected %r' % (cell.row, cell.column, cell.value, cell.data_type, want))
        if cell.font.b or cell.number_format != form:
            problems.append('cell %d,%d is formatted %r' % (cell.row, cell.column, cell.number_format))
for r, row in enumerate(expected):
    for c, text in enumerate(row):
        if text != '' and (r, c) not in seen:
            problems.append('cell %d,%d missing, expected %r' % (r + 1, c + 1, text))
print('\n'.join(problems[:10]) if problems else 'OK')
)PY";

std::string json(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string json(const SheetCell& cell) {
    if (cell.type == SheetCell::Type::Text)
        return json(cell.text);
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", cell.value);
    return std::string(cell.type == SheetCell::Type::Number ? "{\"n\": " : "{\"p\": ") + number + "}";
}

std::string json(const SheetTable& table) {
    std::string out = "[";
    for (std::size_t r = 0; r < table.size(); ++r) {
        out += r ? ",[" : "[";
        for (std::size_t c = 0; c < table[r].size(); ++c)
            out += (c ? "," : "") + json(table[r][c]);
        out += "]";
    }
    return out + "]";
}

// "OK", or what the reader found wrong.
std::string readBack(const std::filesystem::path& file, const SheetTable& expected) {
    TestFolder scratch;
    test::writeFile(scratch / "check.py", kCheckScript);
    test::writeFile(scratch / "expected.json", json(expected));
    const std::string command = "/usr/bin/python3 '" + (scratch / "check.py").string() + "' '" +
                                file.string() + "' '" + (scratch / "expected.json").string() + "' 2>&1";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), &pclose);
    std::string output;
    char buffer[4096];
    while (std::size_t n = std::fread(buffer, 1, sizeof buffer, pipe.get()))
        output.append(buffer, n);
    while (!output.empty() && output.back() == '\n')
        output.pop_back();
    return output;
}

// Numbers a spreadsheet can sort and sum, shares shown as 12.500%, and texts among them.
SheetTable resultGrid() {
    SheetTable t{{"序号", "结果", "出现次数", "百分比"}};
    for (int i = 0; i < 10; ++i)
        t.push_back({SheetCell::number(i + 1),
                     i < 2 ? SheetCell(i ? "小" : "大") : SheetCell::number((i * 3) % 10),
                     SheetCell::number(100 - i * 7), SheetCell::percent((10 + i) / 80.0)});
    t.push_back({SheetCell::number(2026224), "-", SheetCell::number(-7.5), "007"});
    return t;
}

} // namespace

TEST(Spreadsheet, ResultGridBecomesSheet1CellByCell) {
    TestFolder dir;
    const auto table = resultGrid();
    ASSERT_EQ(table.size(), 12u);
    auto written = writeSpreadsheet(dir / kResultSheetFile, table);
    ASSERT_TRUE(written) << written.error().message;
    EXPECT_EQ(readBack(dir / kResultSheetFile, table), "OK");
    EXPECT_EQ(test::folderContents(dir.path()), std::vector<std::string>{kResultSheetFile});
}

TEST(Spreadsheet, TextsStayTextsExactly) {
    TestFolder dir;
    // Numbers keep their leading zeros, blanks and empty cells stay as they are, rows may be
    // ragged, and the history grid's issue numbers are not turned into numbers.
    const SheetTable table = {{"期号", "百位", "十位", "个位"},
                              {"2013001", "0", "4", "5"},
                              {"007", " 12 ", "", "1X1 2X1 1X5 "},
                              {"单"},
                              {},
                              {"", "", "", "", "", "最后一列"}};
    ASSERT_TRUE(writeSpreadsheet(dir / kHistorySheetFile, table));
    EXPECT_EQ(readBack(dir / kHistorySheetFile, table), "OK");
}

TEST(Spreadsheet, HeaderOnlyGridAndASecondExportReplacingTheFirst) {
    TestFolder dir;
    const auto file = dir / kMatchesSheetFile;
    ASSERT_TRUE(writeSpreadsheet(file, resultGrid()));
    const SheetTable headerOnly = {{"期号", "百位", "十位", "个位"}};
    ASSERT_TRUE(writeSpreadsheet(file, headerOnly));
    EXPECT_EQ(readBack(file, headerOnly), "OK");
    ASSERT_TRUE(writeSpreadsheet(file, {}));
    EXPECT_EQ(readBack(file, {}), "OK") << "an empty table still makes a workbook with Sheet1";
}

TEST(Spreadsheet, BrokenTextStillGivesAReadableWorkbook) {
    TestFolder dir;
    const auto file = dir / kResultSheetFile;
    ASSERT_TRUE(writeSpreadsheet(file, {{"a\x01"
                                         "b",
                                         "\xFF\xFE"
                                         "c",
                                         "tab\tand\nline"}}));
    EXPECT_EQ(readBack(file, {{"ab",
                               "\xEF\xBF\xBD\xEF\xBF\xBD"
                               "c",
                               "tab\tand\nline"}}),
              "OK");
}

TEST(Spreadsheet, AFileThatCannotBeWrittenIsReportedAndTheOldOneKept) {
    TestFolder dir;
    const auto file = dir / kHistorySheetFile;
    ASSERT_TRUE(writeSpreadsheet(file, resultGrid()));
    const std::string before = test::readFile(file);

    SheetTable big;
    for (int r = 0; r < 20000; ++r)
        big.push_back({std::to_string(2004001 + r), std::to_string(r % 10), std::to_string(r % 7), "x"});
    {
        test::FileSizeLimit limit(16384);
        auto full = writeSpreadsheet(file, big);
        ASSERT_FALSE(full);
        EXPECT_NE(full.error().message.find("lishi.xlsx"), std::string::npos) << full.error().message;
    }
    EXPECT_EQ(test::readFile(file), before);
    EXPECT_EQ(test::folderContents(dir.path()), std::vector<std::string>{kHistorySheetFile});

    std::filesystem::create_directory(dir / kResultSheetFile);
    auto inTheWay = writeSpreadsheet(dir / kResultSheetFile, resultGrid());
    ASSERT_FALSE(inTheWay);
    EXPECT_NE(inTheWay.error().message.find("Jieguo.xlsx"), std::string::npos) << inTheWay.error().message;
    EXPECT_TRUE(std::filesystem::is_directory(dir / kResultSheetFile));

    auto noFolder = writeSpreadsheet(dir / "none" / kMatchesSheetFile, resultGrid());
    ASSERT_FALSE(noFolder);
    EXPECT_NE(noFolder.error().message.find("Jiansuo.xlsx"), std::string::npos);
    EXPECT_EQ(test::folderContents(dir.path()),
              (std::vector<std::string>{kResultSheetFile, kHistorySheetFile}));
}

TEST(Spreadsheet, AReadOnlyFolderIsReported) {
    if (test::runningAsRoot())
        GTEST_SKIP() << "root writes into a read-only folder";
    TestFolder dir;
    ::chmod(dir.path().c_str(), 0555);
    auto r = writeSpreadsheet(dir / kResultSheetFile, resultGrid());
    ::chmod(dir.path().c_str(), 0755);
    ASSERT_FALSE(r);
    EXPECT_NE(r.error().message.find("Jieguo.xlsx"), std::string::npos);
}

TEST(Spreadsheet, WhatASheetCannotHoldIsRefused) {
    TestFolder dir;
    auto tooLong = writeSpreadsheet(dir / kResultSheetFile, {{std::string(40000, 'x')}});
    ASSERT_FALSE(tooLong);
    EXPECT_NE(tooLong.error().message.find("Jieguo.xlsx"), std::string::npos);

    SheetTable tooWide = {std::vector<SheetCell>(16385, "1")};
    EXPECT_FALSE(writeSpreadsheet(dir / kResultSheetFile, tooWide));
    SheetTable tooTall(1048577);
    EXPECT_FALSE(writeSpreadsheet(dir / kResultSheetFile, tooTall));
    EXPECT_TRUE(test::folderContents(dir.path()).empty());
}

TEST(Spreadsheet, ACutOrDamagedWorkbookIsNotComplete) {
    TestFolder dir;
    SheetTable table = resultGrid();
    for (int r = 0; r < 2000; ++r)
        table.push_back({std::to_string(r), "百分比", std::to_string(r * 7 % 1000)});
    ASSERT_TRUE(writeSpreadsheet(dir / kResultSheetFile, table));
    const std::string bytes = test::readFile(dir / kResultSheetFile);
    ASSERT_TRUE(workbookIsComplete(bytes));

    EXPECT_FALSE(workbookIsComplete(""));
    // Cut anywhere, down to the last byte of the archive's closing record.
    for (std::size_t length = 0; length < bytes.size(); length += length + 97 < bytes.size() ? 97 : 1)
        EXPECT_FALSE(workbookIsComplete(bytes.substr(0, length))) << "cut to " << length << " bytes";
    for (std::size_t at : {std::size_t{100}, bytes.size() / 3, bytes.size() / 2}) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x5A);
        EXPECT_FALSE(workbookIsComplete(damaged)) << "a byte changed at " << at;
    }
}
