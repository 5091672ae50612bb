// SPDX-License-Identifier: GPL-3.0-or-later
#include "IssueNumber.h"
#include "HistorySnapshot.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace brenvik;

TEST(IssueNumber, NextIssueRollsOverAfter358Only) {
    EXPECT_EQ(nextIssueProposal(2013358), 2014001);
    EXPECT_EQ(nextIssueProposal(2013357), 2013358);
    EXPECT_EQ(nextIssueProposal(2013359), 2013360);
    EXPECT_EQ(nextIssueProposal(2019351), 2019352);
}

TEST(IssueNumber, IssueBeforeTakes359AsTheYearEnd) {
    EXPECT_EQ(issueBefore(2013001), 2012359);
    EXPECT_EQ(issueBefore(2014001), 2013359);
    EXPECT_EQ(issueBefore(2013010), 2013009);
}

TEST(IssueNumber, ParseIssueAcceptsSevenDigitIssuesOnly) {
    EXPECT_EQ(parseIssue("2014001"), 2014001);
    EXPECT_EQ(parseIssue(" 2014001 "), 2014001);
    EXPECT_FALSE(parseIssue(""));
    EXPECT_FALSE(parseIssue("201401"));
    EXPECT_FALSE(parseIssue("20140011"));
    EXPECT_FALSE(parseIssue("2014a01"));
    EXPECT_FALSE(parseIssue("0140001"));
    EXPECT_FALSE(parseIssue("2014000"));
    EXPECT_FALSE(parseIssue("-201400"));
}

TEST(IssueNumber, WholeNumbers) {
    EXPECT_EQ(parseWholeNumber("-5", -32768, 32767), -5);
    EXPECT_EQ(parseWholeNumber(" 12 ", 0, 99), 12);
    EXPECT_FALSE(parseWholeNumber("-", -32768, 32767));
    EXPECT_FALSE(parseWholeNumber("1-2", -32768, 32767));
    EXPECT_FALSE(parseWholeNumber("32768", -32768, 32767));
    EXPECT_FALSE(parseWholeNumber("", 0, 9));
    EXPECT_FALSE(parseWholeNumber("1.5", 0, 9));
    EXPECT_FALSE(parseWholeNumber("99999999999999999999999", 0, 9));
}

TEST(IssueNumber, PatternSourceAndRangeStart) {
    EXPECT_EQ(patternSourceIndex(10, true, 5), 9u);
    EXPECT_EQ(patternSourceIndex(10, false, 1), 9u) << "N = 1 is the last draw";
    EXPECT_EQ(patternSourceIndex(10, false, 3), 7u) << "the third-last draw";
    EXPECT_EQ(patternSourceIndex(3, false, 3), 0u);
    EXPECT_FALSE(patternSourceIndex(2, false, 3));
    EXPECT_FALSE(patternSourceIndex(0, true, 1));
    EXPECT_FALSE(patternSourceIndex(5, false, 0));
    EXPECT_EQ(rangeStart(2004001, true, 3), 2004002);
    EXPECT_EQ(rangeStart(2004001, false, 3), 2004004);
}

TEST(HistorySnapshot, LastAtOrBefore) {
    std::vector<DrawRow> rows(3);
    rows[0].sqqh = 2013357;
    rows[1].sqqh = 2013358;
    rows[2].sqqh = 2014002;
    HistorySnapshot s(std::move(rows));
    EXPECT_EQ(s.lastAtOrBefore(2013359), 1u);
    EXPECT_EQ(s.lastAtOrBefore(2014004), 2u) << "2014004 missing: the newest draw before it";
    EXPECT_EQ(s.lastAtOrBefore(2014002), 2u);
    EXPECT_FALSE(s.lastAtOrBefore(2013356));
}

// A draw cannot come from a year that has not begun in China; the draw a prediction is for may be
// next year's first.
TEST(IssueNumber, NoDrawFromAYearNotBegun) {
    struct Case {
        std::int32_t issue;
        IssueUse use;
        const char* problem; // nothing when the issue can stand
    };
    const std::vector<Case> cases = {
        {2026224, IssueUse::Draw, nullptr},
        {2026366, IssueUse::Draw, nullptr},
        {2027001, IssueUse::Draw, "期号 2027001 的年份 2027 超出 2002–2026"},
        {2027001, IssueUse::Prediction, nullptr},
        {2028001, IssueUse::Prediction, "期号 2028001 的年份 2028 超出 2002–2027"},
        {2001358, IssueUse::Draw, "期号 2001358 的年份 2001 超出 2002–2026"},
        {2026000, IssueUse::Draw, "期号 2026000 的序号 000 超出 001–366"},
    };
    for (const Case& c : cases) {
        const auto problem = issueProblem(c.issue, 2026, c.use);
        EXPECT_EQ(problem.value_or(""), c.problem ? c.problem : "") << c.issue;
        EXPECT_EQ(readIssue(std::to_string(c.issue), 2026, c.use).has_value(), c.problem == nullptr)
            << c.issue;
    }
}
