// SPDX-License-Identifier: GPL-3.0-or-later
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

Result<void> writeHistoryText(OutputFile& out, const HistorySnapshot& history, const Progress& progress) {
    const auto total = static_cast<long long>(history.size());
    for (std::size_t i = 0; i < history.size(); ++i) {
        if (progress && i % kProgressEvery == 0 && !progress(static_cast<long long>(i), total))
            return fail(ErrorCode::Cancelled, "已停止导出，" + out.shownName() + " 未写完。");
        std::string line = formatDrawLine(history.issue(i), history.digits(i));
        line += "\r\n";
        if (auto written = out.write(line); !written)
            return written;
    }
    if (progress)
        progress(total, total);
    return out.commit();
}

Result<std::filesystem::path> exportHistory(const std::filesystem::path& folder, Game game,
                                            const HistorySnapshot& history) {
    const auto file = folder / utf8Path(exportFileName(game, history));
    auto out = OutputFile::open(file);
    if (!out)
        return std::unexpected(out.error());
    if (auto written = writeHistoryText(*out, history); !written)
        return std::unexpected(written.error());
    return file;
}

} // namespace brenvik
