// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <functional>

namespace brenvik::ui {

// The time the window proposes the next issue by: the system's, or one a test puts in its place.
std::chrono::system_clock::time_point now();
// An empty function brings back the system's clock.
void setClock(std::function<std::chrono::system_clock::time_point()> clock);

} // namespace brenvik::ui
