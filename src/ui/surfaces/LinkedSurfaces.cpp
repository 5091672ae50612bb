// SPDX-License-Identifier: GPL-3.0-or-later
// In a program that links the surfaces (the tests, the benchmarks), they are there from the start:
// nothing is loaded.
#include "SurfacesTable.h"

namespace {

const bool provided = (brenvik::ui::provideSurfaceParts(brenvik::ui::surfacesTable()), true);

} // namespace
