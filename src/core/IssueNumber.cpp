// SPDX-License-Identifier: GPL-3.0-or-later
#include "IssueNumber.h"

#include <charconv>
#include <cstdio>
#include <string>

namespace brenvik {

namespace {

std::string_view trimBlanks(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return s;
}

} // namespace

std::optional<std::int32_t> parseIssue(std::string_view text) {
    text = trimBlanks(text);
    if (text.size() != 7 || text[0] == '0')
        return std::nullopt;
    std::int32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    if (value % 1000 == 0)
        return std::nullopt;
    return value;
}

std::int32_t nextIssueProposal(std::int32_t last) {
    if (last % 1000 == kIssuesPerYear)
        return (last / 1000 + 1) * 1000 + 1;
    return last + 1;
}

std::int32_t proposedIssue(std::int32_t last, int year) {
    const std::int32_t lastYear = last / 1000;
    if (year <= lastYear && last % 1000 < kLastSequence)
        return last + 1;
    return (lastYear + 1) * 1000 + 1;
}

std::optional<std::string> issueProblem(std::int32_t issue, int currentYear, IssueUse use) {
    const int year = issue / 1000, sequence = issue % 1000;
    const int lastYear = use == IssueUse::Prediction ? currentYear + 1 : currentYear;
    if (issue < 0 || year < kFirstIssueYear || year > lastYear)
        return "期号 " + std::to_string(issue) + " 的年份 " + std::to_string(year) + " 超出 " +
               std::to_string(kFirstIssueYear) + "–" + std::to_string(lastYear);
    if (sequence < 1 || sequence > kLastSequence) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%03d", sequence);
        return "期号 " + std::to_string(issue) + " 的序号 " + digits + " 超出 001–" +
               std::to_string(kLastSequence);
    }
    return std::nullopt;
}

Result<std::int32_t> readIssue(std::string_view text, int currentYear, IssueUse use) {
    const std::string_view trimmed = trimBlanks(text);
    // Seven digits with a sequence of 000 are an issue number all the same, only not a possible one.
    const auto issue = trimmed.size() == 7 && trimmed[0] != '0' &&
                               trimmed.find_first_not_of("0123456789") == std::string_view::npos
                           ? std::optional(static_cast<std::int32_t>(std::stol(std::string(trimmed))))
                           : std::nullopt;
    if (!issue)
        return fail(ErrorCode::Invalid, "“" + std::string(trimmed) + "”不是七位期号（例如 2014001）");
    if (auto problem = issueProblem(*issue, currentYear, use))
        return fail(ErrorCode::Invalid, std::move(*problem));
    return *issue;
}

int chinaYear(std::chrono::system_clock::time_point moment) {
    using namespace std::chrono;
    const year_month_day date{floor<days>(moment + hours(8))};
    return static_cast<int>(date.year());
}

std::int32_t issueBefore(std::int32_t issue) {
    if (issue % 1000 == 1)
        return (issue / 1000 - 1) * 1000 + 359;
    return issue - 1;
}

std::optional<long long> parseWholeNumber(std::string_view text, long long min, long long max) {
    text = trimBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    if (text.empty() || text.size() > 19)
        return std::nullopt;
    long long value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<std::size_t> patternSourceIndex(std::size_t count, bool lastDraw, int n) {
    if (count == 0)
        return std::nullopt;
    if (lastDraw)
        return count - 1;
    if (n < 1 || static_cast<std::size_t>(n) > count)
        return std::nullopt;
    return count - static_cast<std::size_t>(n);
}

std::string groupedCount(long long count) {
    std::string digits = std::to_string(count < 0 ? -count : count);
    for (auto i = static_cast<std::ptrdiff_t>(digits.size()) - 3; i > 0; i -= 3)
        digits.insert(static_cast<std::size_t>(i), 1, ',');
    return count < 0 ? "-" + digits : digits;
}

} // namespace brenvik
