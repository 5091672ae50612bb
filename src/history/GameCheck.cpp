#include "GameCheck.h"

#include "UndoBackup.h"

namespace brenvik {

SharedIssues compareIssues(const HistorySnapshot& history, std::span<const DrawLine> draws) {
    SharedIssues s;
    for (const DrawLine& d : draws) {
        const auto at = history.lastAtOrBefore(d.issue);
        if (!at || history[*at].sqqh != d.issue)
            continue;
        const DrawRow& row = history[*at];
        ++s.shared;
        if (row.digit(1) != d.digits[0] || row.digit(2) != d.digits[1] || row.digit(3) != d.digits[2])
            ++s.different;
    }
    return s;
}

std::string otherGameNotice(Game game, const SharedIssues& issues) {
    return "文件与当前彩种（" + std::string(displayName(game)) + "）的历史号码不符：共同的 " +
           groupedCount(issues.shared) + " 期中 " + groupedCount(issues.different) + " 期不同。";
}

} // namespace brenvik
