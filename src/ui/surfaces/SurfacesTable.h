// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "SurfaceParts.h"

namespace brenvik::ui {

// The parts of the window loaded after its first paint, as this build makes them: the table the
// plugin hands over, and that a program linking them provides itself.
const SurfaceParts& surfacesTable();

} // namespace brenvik::ui
