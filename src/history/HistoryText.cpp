// SPDX-License-Identifier: GPL-3.0-or-later
#include "HistoryText.h"

#include "Platform.h"
#include "SystemError.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

namespace brenvik {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// A draw line has at most 14 characters (17 after a byte order mark) before its trailing blanks;
// the rest of a long line is only looked at for anything but blanks, so no line makes the reader
// hold more.
constexpr std::size_t kKeptPrefix = 20;
// A first line that is no draw may say what the file is (the undo backup's does).
constexpr std::size_t kKeptFirstLine = 1024;

class LineCollector {
public:
    explicit LineCollector(HistoryFile& out) : m_out(out) {}

    void feed(std::string_view chunk) {
        for (char c : chunk) {
            // CR LF, LF and a lone CR all end a line.
            if (c == '\n' && m_afterCR) {
                m_afterCR = false;
                continue;
            }
            m_afterCR = c == '\r';
            if (c == '\n' || c == '\r') {
                finishLine();
                continue;
            }
            if (m_length < kKeptPrefix)
                m_prefix[m_length] = c;
            else if (c != ' ')
                m_blankBeyond = false;
            if (m_out.lines == 0 && m_length < kKeptFirstLine)
                m_out.firstLine += c;
            ++m_length;
        }
    }

    void finish() {
        if (m_length > 0)
            finishLine();
        // The rows derive each draw from the one before it in issue order, so a file whose
        // lines are out of order must give the same rows as the sorted file.
        auto& draws = m_out.draws;
        if (!std::ranges::is_sorted(draws, {}, &DrawLine::issue))
            std::ranges::sort(draws, {}, &DrawLine::issue);
    }

private:
    void finishLine() {
        std::size_t length = m_length;
        std::string_view line(m_prefix.data(), std::min(length, kKeptPrefix));
        if (m_out.lines == 0 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
            length -= 3;
            m_out.firstLine.erase(0, 3);
        }
        // Beyond the kept prefix a draw line holds nothing but blanks.
        auto draw = m_blankBeyond ? parseDrawLine(line) : std::nullopt;
        if (m_out.lines == 0 && draw)
            m_out.firstLine.clear();
        ++m_out.lines;
        if (!draw)
            ++m_out.skipped;
        else if (!m_seen.insert(draw->issue).second)
            ++m_out.duplicates;
        else
            m_out.draws.push_back(*draw);
        m_length = 0;
        m_blankBeyond = true;
    }

    HistoryFile& m_out;
    std::array<char, kKeptPrefix> m_prefix{};
    std::size_t m_length = 0;
    bool m_blankBeyond = true; // nothing but blanks came after the kept prefix
    bool m_afterCR = false;
    std::unordered_set<std::int32_t> m_seen;
};

// Hands the bytes of a file to the line collector. A file that starts with a UTF-16 byte order
// mark (what Notepad saves as "Unicode") is read as UTF-16; every character outside ASCII
// becomes one '?', which no draw line holds, so lines keep their length in characters.
class TextDecoder {
public:
    explicit TextDecoder(LineCollector& lines) : m_lines(lines) {}

    void feed(std::string_view bytes) {
        if (m_mode == Mode::Unknown) {
            const std::size_t take = std::min(bytes.size(), 2 - m_head.size());
            m_head.append(bytes.substr(0, take));
            bytes.remove_prefix(take);
            if (m_head.size() < 2)
                return;
            m_mode = m_head == "\xFF\xFE"   ? Mode::Utf16LE
                     : m_head == "\xFE\xFF" ? Mode::Utf16BE
                                            : Mode::Bytes;
            if (m_mode == Mode::Bytes)
                m_lines.feed(m_head);
        }
        if (m_mode == Mode::Bytes) {
            m_lines.feed(bytes);
            return;
        }
        std::string text;
        text.reserve(bytes.size() / 2 + 1);
        for (char c : bytes) {
            if (m_pending < 0) {
                m_pending = static_cast<unsigned char>(c);
                continue;
            }
            const unsigned first = static_cast<unsigned>(m_pending), second = static_cast<unsigned char>(c);
            m_pending = -1;
            const unsigned unit = m_mode == Mode::Utf16LE ? first | second << 8 : first << 8 | second;
            text += unit < 0x80 ? static_cast<char>(unit) : '?';
        }
        m_lines.feed(text);
    }

    void finish() {
        if (m_mode == Mode::Unknown)
            m_lines.feed(m_head);
        m_lines.finish();
    }

private:
    enum class Mode { Unknown, Bytes, Utf16LE, Utf16BE };
    LineCollector& m_lines;
    Mode m_mode = Mode::Unknown;
    std::string m_head;
    int m_pending = -1; // the first byte of a UTF-16 unit, until its second one comes
};

} // namespace

std::optional<DrawLine> parseDrawLine(std::string_view line) {
    // The line the writers produce, give or take blanks: seven digits of the issue, one to four
    // blanks, the three digits, and only blanks after them. Nothing more is read into a line: an
    // eighth digit of the issue, a fourth digit, a sign or a letter would otherwise be dropped or
    // taken for a digit, and the draw stored would not be the draw written.
    const auto digitAt = [&line](std::size_t i) { return i < line.size() && isDigit(line[i]); };
    std::int32_t issue = 0;
    for (std::size_t i = 0; i < 7; ++i) {
        if (!digitAt(i))
            return std::nullopt;
        issue = issue * 10 + (line[i] - '0');
    }
    std::size_t at = 7;
    while (at < line.size() && line[at] == ' ')
        ++at;
    if (at == 7 || at > 11 || issue < 1)
        return std::nullopt;
    DrawLine draw;
    draw.issue = issue;
    for (int i = 0; i < 3; ++i, ++at) {
        if (!digitAt(at))
            return std::nullopt;
        draw.digits[static_cast<std::size_t>(i)] = line[at] - '0';
    }
    if (line.find_first_not_of(' ', at) != std::string_view::npos)
        return std::nullopt;
    return draw;
}

std::string formatDrawLine(std::int32_t issue, const std::array<int, 3>& digits) {
    // Seven digits always: an issue read as "0123456" must come back through the line test.
    std::string s(11, ' ');
    for (int i = 6; i >= 0; --i, issue /= 10)
        s[i] = static_cast<char>('0' + issue % 10);
    for (int i = 0; i < 3; ++i)
        s[8 + i] = static_cast<char>('0' + digits[i]);
    return s;
}

HistoryFile parseHistoryText(std::string_view text) {
    HistoryFile out;
    LineCollector lines(out);
    TextDecoder decoder(lines);
    decoder.feed(text);
    decoder.finish();
    return out;
}

namespace {

// Reads what `file` gives to its end; `name` is how messages call it ("文件 X " with a blank after
// a path, "标准输入").
Result<HistoryFile> readAll(SystemFile& file, const std::string& name, long long size,
                            const Progress& progress) {
    HistoryFile out;
    LineCollector lines(out);
    TextDecoder decoder(lines);
    std::vector<char> buffer(1 << 16);
    long long read = 0;
    for (;;) {
        const auto n = file.read(buffer);
        if (!n)
            return fail(ErrorCode::Io, "读取" + name + "时出错：" + systemErrorText(n.error()));
        if (*n == 0)
            break;
        decoder.feed(std::string_view(buffer.data(), *n));
        read += static_cast<long long>(*n);
        if (progress && !progress(read, std::max(read, size)))
            return fail(ErrorCode::Cancelled, "已停止读取" + name);
    }
    decoder.finish();
    return out;
}

} // namespace

Result<HistoryFile> readHistoryFile(const std::filesystem::path& file, const Progress& progress) {
    const auto notRegular = [&file] {
        return fail(ErrorCode::Invalid, "“" + shownPath(file) + "”不是普通文件");
    };
    // Refused before it is opened: opening some devices already does something.
    if (const FileStatus status = fileStatus(file);
        status.kind != FileKind::Regular && status.kind != FileKind::Missing && status.error == 0)
        return notRegular();
    // Not waiting, in case a FIFO took the file's place after the check.
    auto opened = SystemFile::open(file, SystemFile::Open::ReadNoWait);
    if (!opened)
        return fail(ErrorCode::Io,
                    "无法打开文件 " + shownPath(file) + "：" + systemErrorText(opened.error()));
    const FileStatus status = opened->status();
    if (status.kind != FileKind::Regular)
        return notRegular();
    return readAll(*opened, "文件 " + shownPath(file) + " ", status.size, progress);
}

Result<HistoryFile> readHistoryInput() {
    SystemFile input = SystemFile::standardInput();
    return readAll(input, kStandardInputName, 0, {});
}

std::vector<DrawRow> rowsFromDraws(std::span<const DrawLine> draws, int segmentParam) {
    std::vector<DrawRow> rows;
    rows.reserve(draws.size());
    RunningState state = RunningState::empty();
    for (const DrawLine& d : draws)
        rows.push_back(appendDraw(d.issue, d.digits, segmentParam, state));
    return rows;
}

} // namespace brenvik
