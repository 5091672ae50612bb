// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <type_traits>

#include <dlfcn.h>

namespace brenvik {

// A library loaded when it is first needed rather than when the program starts, for one that
// takes long to load and only some commands use. `Symbols` is a struct of pointers to the
// library's functions (or variables); `lookUp(symbols, find)` calls find(pointer, "name") for
// each of them. Nothing when the library cannot be loaded or lacks one of them. The library
// stays loaded for the rest of the process.
template <typename Symbols, typename LookUp>
std::optional<Symbols> loadLibrary(const char* soname, LookUp lookUp) {
    void* handle = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return std::nullopt;
    Symbols symbols;
    bool complete = true;
    auto find = [&](auto& pointer, const char* name) {
        pointer = reinterpret_cast<std::remove_reference_t<decltype(pointer)>>(::dlsym(handle, name));
        complete = complete && pointer != nullptr;
    };
    lookUp(symbols, find);
    if (!complete)
        return std::nullopt;
    return symbols;
}

} // namespace brenvik
