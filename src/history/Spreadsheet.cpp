// SPDX-License-Identifier: GPL-3.0-or-later
#include "Spreadsheet.h"

#include "Platform.h"
#include "SystemError.h"
#include "XlsxPlugin.h"

#include <cstdlib>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace brenvik {

namespace {

// The writer and the compression and crypto libraries it draws in take a dozen libraries to load.
// Only writing a workbook needs them, so their plugin is loaded then, once, and stays loaded for
// the rest of the process.
Result<const BrenvikXlsxPlugin*> xlsxPlugin(const std::string& shown) {
    static const Result<const BrenvikXlsxPlugin*> plugin = []() -> Result<const BrenvikXlsxPlugin*> {
        const auto file = pluginFile(kXlsxPluginName);
        auto loaded = loadPlugin(file, kXlsxPluginEntry, kXlsxPluginVersion);
        if (!loaded)
            return fail(ErrorCode::Io, "无法载入表格组件 " + shownPath(file) + "：" + loaded.error());
        return static_cast<const BrenvikXlsxPlugin*>(*loaded);
    }();
    if (!plugin)
        return fail(plugin.error().code, plugin.error().message + "，文件 " + shown + " 未写入。");
    return plugin;
}

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

Error tooLarge(const std::string& shown) {
    return Error{ErrorCode::Invalid, "表格超出工作表的行数或列数上限，文件 " + shown + " 未写入。"};
}

Result<void> checkSize(const std::filesystem::path& file, const SheetTable& table) {
    bool fits = table.size() <= kXlsxRows;
    for (const auto& row : table)
        fits = fits && row.size() <= kXlsxColumns;
    if (!fits)
        return std::unexpected(tooLarge(shownPath(file)));
    return {};
}

Error writeError(const BrenvikXlsxPlugin& writer, const std::string& shown, int error) {
    return Error{ErrorCode::Io, "无法写入文件 " + shown + "：" + otherErrorText(writer.errorText(error)) +
                                    "，原有文件未改动。"};
}

// A workbook being written: discarded unless it was closed.
class Workbook {
public:
    Workbook(const BrenvikXlsxPlugin& writer, const std::filesystem::path& file)
        : m_writer(writer), m_book(writer.open(file.c_str())) {}
    ~Workbook() {
        if (m_book)
            m_writer.discard(m_book);
    }
    Workbook(const Workbook&) = delete;
    Workbook& operator=(const Workbook&) = delete;

    explicit operator bool() const { return m_book != nullptr; }
    // The number of a format that shows a cell in `style`, made the first time it is asked for;
    // -1 when it cannot be made.
    int format(const SheetStyle& style) {
        if (style == SheetStyle{})
            return 0;
        for (const auto& [made, number] : m_formats)
            if (made == style)
                return number;
        const auto colour = [](std::uint32_t c) {
            return c == SheetStyle::kNoColour ? kXlsxNoColour : static_cast<unsigned long>(c);
        };
        const int number = m_writer.format(m_book, style.bold, colour(style.fill), colour(style.colour),
                                           style.numberFormat.c_str());
        if (number >= 0)
            m_formats.emplace_back(style, number);
        return number;
    }
    int text(unsigned row, unsigned column, const std::string& text, int format) {
        return m_writer.text(m_book, row, column, text.c_str(), format);
    }
    int number(unsigned row, unsigned column, double value, int format) {
        return m_writer.number(m_book, row, column, value, format);
    }
    int close() { return m_writer.close(std::exchange(m_book, nullptr)); }

private:
    const BrenvikXlsxPlugin& m_writer;
    void* m_book;
    std::vector<std::pair<SheetStyle, int>> m_formats;
};

// Whether the file the library wrote is a complete workbook. Mapped, not read: a sheet of a
// million rows is tens of megabytes.
bool fileIsCompleteWorkbook(const BrenvikXlsxPlugin& writer, const std::filesystem::path& file) {
    bool complete = false;
    withMappedFile(
        file, [&](std::string_view bytes) { complete = writer.complete(bytes.data(), bytes.size()) != 0; });
    return complete;
}

// Where the library writes a workbook that goes to a stream (a FIFO, a device, the standard
// output), to be copied there once complete: the library writes only to a named file.
class ScratchFile {
public:
    ScratchFile() : m_path(makeScratchFile("brenvik3d-sheet")) {}
    ~ScratchFile() {
        std::error_code ec;
        if (!m_path.empty())
            std::filesystem::remove(m_path, ec);
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;
    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

Result<void> copyInto(OutputFile& out, const std::filesystem::path& file) {
    auto in = SystemFile::open(file, SystemFile::Open::Read);
    if (!in)
        return fail(ErrorCode::Io, "无法写入 " + out.shownName() + "：" + systemErrorText(in.error()) + "。");
    std::vector<char> buffer(1 << 16);
    Result<void> written;
    for (;;) {
        const auto n = in->read(buffer);
        if (!n)
            return fail(ErrorCode::Io,
                        "无法写入 " + out.shownName() + "：" + systemErrorText(n.error()) + "。");
        if (*n == 0 || !(written = out.write(std::string_view(buffer.data(), *n))))
            break;
    }
    return written;
}

Result<void> writeRows(const BrenvikXlsxPlugin& writer, Workbook& book, const std::string& shown,
                       const SheetRows& rows, long long total, const Progress& progress) {
    std::vector<SheetCell> row;
    for (unsigned r = 0;; ++r) {
        if (progress && r % kProgressEvery == 0 && !progress(r, total))
            return fail(ErrorCode::Cancelled, "已停止导出，" + shown + " 未写完。");
        row.clear();
        if (!rows(row)) {
            if (progress)
                progress(r, total);
            return {};
        }
        if (r >= kXlsxRows || row.size() > kXlsxColumns)
            return std::unexpected(tooLarge(shown));
        for (std::size_t c = 0; c < row.size(); ++c) {
            SheetCell& cell = row[c];
            const auto column = static_cast<unsigned>(c);
            if (cell.type == SheetCell::Type::Percent && cell.style.numberFormat.empty())
                cell.style.numberFormat = "0.000%";
            const int format = book.format(cell.style);
            if (format < 0)
                return std::unexpected(writeError(writer, shown, kXlsxNoMemory));
            const int e = cell.type == SheetCell::Type::Text
                              ? book.text(r, column, sheetText(cell.text), format)
                              : book.number(r, column, cell.value, format);
            if (e != 0)
                return std::unexpected(writeError(writer, shown, e));
        }
    }
}

} // namespace

Result<void> writeSpreadsheet(OutputFile& out, const SheetRows& rows, long long total,
                              const Progress& progress) {
    // A sheet known to be too long is refused before a million rows are written in vain.
    if (total > static_cast<long long>(kXlsxRows))
        return std::unexpected(tooLarge(out.shownName()));
    const auto writer = xlsxPlugin(out.shownName());
    if (!writer)
        return std::unexpected(writer.error());
    // The library writes a named file: the temporary that takes the place of a regular file, or
    // a scratch file whose bytes then go to the stream.
    std::optional<ScratchFile> scratch;
    const std::filesystem::path* file = out.temporary();
    if (!file) {
        scratch.emplace();
        if (scratch->path().empty())
            return fail(ErrorCode::Io, "无法写入 " + out.shownName() + "：临时文件夹不能写入。");
        file = &scratch->path();
    }
    const std::string& shown = out.shownName();
    Workbook book(**writer, *file);
    if (!book)
        return std::unexpected(writeError(**writer, shown, kXlsxNoMemory));
    if (auto written = writeRows(**writer, book, shown, rows, total, progress); !written)
        return written;
    if (const int e = book.close(); e != 0)
        return std::unexpected(writeError(**writer, shown, e));
    if (!fileIsCompleteWorkbook(**writer, *file))
        return fail(ErrorCode::Io,
                    "无法写入文件 " + shown + "：写出的工作簿不完整，可能是磁盘已满，原有文件未改动。");
    if (scratch)
        if (auto copied = copyInto(out, *file); !copied)
            return copied;
    return out.commit();
}

Result<void> writeSpreadsheet(const std::filesystem::path& file, const SheetTable& table) {
    if (auto fits = checkSize(file, table); !fits)
        return fits;
    auto out = OutputFile::open(file);
    if (!out)
        return std::unexpected(out.error());
    std::size_t next = 0;
    return writeSpreadsheet(
        *out,
        [&](std::vector<SheetCell>& row) {
            if (next == table.size())
                return false;
            row = table[next++];
            return true;
        },
        static_cast<long long>(table.size()));
}

} // namespace brenvik
