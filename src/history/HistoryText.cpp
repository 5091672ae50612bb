#include "HistoryText.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unordered_set>

namespace brenvik {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Only the first 14 characters (17 after a byte order mark) of a line matter to the line test;
// the rest of a long line is counted but not kept, so no line makes the reader hold more.
constexpr std::size_t kKeptPrefix = 20;

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
            ++m_length;
        }
    }

    void finish() {
        if (m_length > 0)
            finishLine();
    }

private:
    void finishLine() {
        std::size_t length = m_length;
        std::string_view line(m_prefix.data(), std::min(length, kKeptPrefix));
        if (m_out.lines == 0 && line.starts_with("\xEF\xBB\xBF")) {
            line.remove_prefix(3);
            length -= 3;
        }
        ++m_out.lines;
        // Beyond the kept prefix a line only counts towards the length test.
        auto draw = length > 10 ? parseDrawLine(line) : std::nullopt;
        if (!draw)
            ++m_out.skipped;
        else if (!m_seen.insert(draw->issue).second)
            ++m_out.duplicates;
        else
            m_out.draws.push_back(*draw);
        m_length = 0;
    }

    HistoryFile& m_out;
    std::array<char, kKeptPrefix> m_prefix{};
    std::size_t m_length = 0;
    bool m_afterCR = false;
    std::unordered_set<std::int32_t> m_seen;
};

} // namespace

std::optional<DrawLine> parseDrawLine(std::string_view line) {
    if (line.size() <= 10)
        return std::nullopt;
    // The issue: seven decimal digits.
    std::int32_t issue = 0;
    for (int i = 0; i < 7; ++i) {
        if (!isDigit(line[i]))
            return std::nullopt;
        issue = issue * 10 + (line[i] - '0');
    }
    if (issue < 1)
        return std::nullopt;
    // The digits: what starts at the ninth character (at most six characters), without the
    // blanks around it, must be a whole number 0..999 whose first three characters are digits.
    std::string_view rest = line.substr(8, 6);
    while (!rest.empty() && rest.front() == ' ')
        rest.remove_prefix(1);
    while (!rest.empty() && rest.back() == ' ')
        rest.remove_suffix(1);
    if (rest.size() < 3)
        return std::nullopt;
    int value = 0;
    for (char c : rest) {
        if (!isDigit(c))
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value > 999)
        return std::nullopt;
    DrawLine draw;
    draw.issue = issue;
    for (int i = 0; i < 3; ++i)
        draw.digits[i] = rest[i] - '0';
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
    lines.feed(text);
    lines.finish();
    return out;
}

Result<HistoryFile> readHistoryFile(const std::filesystem::path& file) {
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> f(std::fopen(file.c_str(), "rb"), &std::fclose);
    if (!f)
        return fail(ErrorCode::Io, "无法打开文件 " + shownPath(file) + "：" + std::strerror(errno));
    HistoryFile out;
    LineCollector lines(out);
    std::array<char, 1 << 16> buffer;
    for (;;) {
        const std::size_t n = std::fread(buffer.data(), 1, buffer.size(), f.get());
        lines.feed(std::string_view(buffer.data(), n));
        if (n < buffer.size()) {
            if (std::ferror(f.get()))
                return fail(ErrorCode::Io, "读取文件 " + shownPath(file) + " 时出错。");
            break;
        }
    }
    lines.finish();
    return out;
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
