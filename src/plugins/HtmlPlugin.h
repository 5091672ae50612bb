// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The page parser as a plugin of the programs' own, brenvik3d-html.so: libxml2's HTML parser
// behind a table of C functions. The programs neither link libxml2 nor name its file; they load
// the plugin when they first read a page, which spares every other start the loading of the
// parser and the Unicode and compression libraries it draws in.

#include <cstddef>

extern "C" {

// What the parser tells of a page as it reads it, to `reader`. Each returns nonzero to stop the
// reading there.
struct BrenvikHtmlEvents {
    void* reader;
    // An element begins: its name in lower case, and its attributes as name, value (null for a
    // bare name), name, value ..., ending in a null name; the array may be null for none.
    int (*start)(void* reader, const char* name, const char* const* attributes);
    // The innermost open element ends.
    int (*end)(void* reader);
    // Text, with the entities replaced; one run of text may come in several pieces.
    int (*text)(void* reader, const char* text, std::size_t length);
};

struct BrenvikHtmlPlugin {
    unsigned version;
    // Reads the page `utf8` (UTF-8 whatever it declares, at most 2 GB) from its first byte to
    // its last or until an event stops it, building no tree of it. Zero when no parser could be
    // made for it (out of memory).
    int (*read)(const char* utf8, std::size_t size, const BrenvikHtmlEvents* events);
};

} // extern "C"

namespace brenvik {

// Changes whenever the table or what its functions do changes.
inline constexpr unsigned kHtmlPluginVersion = 1;
// The plugin's name, which pluginFile() makes the name of a file of this system.
inline constexpr const char* kHtmlPluginName = "brenvik3d-html";
// The plugin's only exported function: `const void* brenvik_html_plugin(void)`, its table.
inline constexpr const char* kHtmlPluginEntry = "brenvik_html_plugin";

} // namespace brenvik
