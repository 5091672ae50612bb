// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "HistoryText.h"
#include "SampleHistory.h"
#include "SearchIndex.h"

#include <cstdint>
#include <map>
#include <memory>

namespace brenvik::bench {

// The search index of a history by benchmark argument, built once per size: 0 is the real 3D
// history, any other value that many synthetic draws.
inline const SearchIndex& indexFor(std::int64_t size) {
    static std::map<std::int64_t, std::unique_ptr<SearchIndex>> cache;
    auto& slot = cache[size];
    if (!slot) {
        const auto draws = size == 0 ? test::sampleDraws("fc3d-history.txt")
                                     : test::syntheticDraws(static_cast<std::size_t>(size), 42);
        slot =
            std::make_unique<SearchIndex>(std::make_shared<const HistorySnapshot>(rowsFromDraws(draws, 1)));
    }
    return *slot;
}

} // namespace brenvik::bench
