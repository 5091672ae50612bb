#include "HistoryExport.h"

#include "SafeWrite.h"

#include <algorithm>

namespace brenvik {

std::string exportFileName(Game game, const HistorySnapshot& history) {
    return textExportFileName(game, history.empty() ? std::nullopt : std::optional(history.last()->sqqh));
}

std::vector<DrawLine> drawLinesOf(std::span<const DrawRow> rows) {
    std::vector<DrawLine> draws;
    draws.reserve(rows.size());
    for (const DrawRow& r : rows)
        draws.push_back({r.sqqh, {r.digit(1), r.digit(2), r.digit(3)}});
    return draws;
}

std::vector<DrawLine> drawLinesOf(const HistorySnapshot& history, std::size_t first, std::size_t last) {
    last = std::min(last, history.size());
    std::vector<DrawLine> draws;
    draws.reserve(last > first ? last - first : 0);
    for (std::size_t i = first; i < last; ++i)
        draws.push_back({history.issue(i), history.digits(i)});
    return draws;
}

std::string historyText(std::span<const DrawLine> draws) {
    std::string text;
    text.reserve(draws.size() * 13);
    for (const DrawLine& d : draws) {
        text += formatDrawLine(d.issue, d.digits);
        text += "\r\n";
    }
    return text;
}

Result<void> writeHistoryFile(const std::filesystem::path& file, std::span<const DrawLine> draws) {
    return writeFileSafely(file, historyText(draws));
}

Result<std::filesystem::path> exportHistory(const std::filesystem::path& folder, Game game,
                                            const HistorySnapshot& history) {
    const auto file = folder / utf8Path(exportFileName(game, history));
    if (auto written = writeHistoryFile(file, drawLinesOf(history)); !written)
        return std::unexpected(written.error());
    return file;
}

} // namespace brenvik
