#include "HistoryExport.h"

#include "SafeWrite.h"

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
    if (auto written = writeHistoryFile(file, drawLinesOf(history.rows())); !written)
        return std::unexpected(written.error());
    return file;
}

} // namespace brenvik
