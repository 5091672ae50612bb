// SPDX-License-Identifier: GPL-3.0-or-later
// The entry of the plugin brenvik3d-surfaces, which the window loads after its first paint.
#include "SurfacesTable.h"

extern "C" [[gnu::visibility("default")]] const void* brenvik_surfaces_plugin() {
    return &brenvik::ui::surfacesTable();
}
