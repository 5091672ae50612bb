#include "GameCheck.h"

#include "UndoBackup.h"

#include <algorithm>

namespace brenvik {

SharedIssues compareIssues(const HistorySnapshot& history, std::span<const DrawLine> draws) {
    SharedIssues s;
    for (const DrawLine& d : draws) {
        const auto at = history.lastAtOrBefore(d.issue);
        if (!at || history.issue(*at) != d.issue)
            continue;
        ++s.shared;
        if (history.digits(*at) != d.digits)
            ++s.different;
    }
    return s;
}

SharedIssues compareIssues(std::span<const DrawLine> stored, std::span<const DrawLine> draws) {
    SharedIssues s;
    for (const DrawLine& d : draws) {
        const auto at = std::lower_bound(stored.begin(), stored.end(), d.issue,
                                         [](const DrawLine& r, std::int32_t issue) { return r.issue < issue; });
        if (at == stored.end() || at->issue != d.issue)
            continue;
        ++s.shared;
        if (at->digits != d.digits)
            ++s.different;
    }
    return s;
}

std::string otherGameNotice(Game game, const SharedIssues& issues) {
    return "文件与当前彩种（" + std::string(displayName(game)) + "）的历史号码不符：共同的 " +
           groupedCount(issues.shared) + " 期中 " + groupedCount(issues.different) + " 期不同。";
}

} // namespace brenvik
