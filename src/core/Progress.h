// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

namespace brenvik {

// Told now and then how far a long piece of work has come: `done` of `total` (0 when the total
// is not known). Returning false stops the work where stopping leaves nothing half done; a
// caller that cannot stop there ignores the answer.
using Progress = std::function<bool(long long done, long long total)>;

// How often a piece of work that goes item by item tells its progress.
inline constexpr long long kProgressEvery = 4096;

} // namespace brenvik
