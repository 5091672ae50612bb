// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <expected>
#include <filesystem>
#include <string>
#include <utility>

namespace brenvik {

enum class ErrorCode {
    Io,        // a file could not be opened, read or written
    Database,  // the database engine refused a statement
    NotOurs,   // a file exists but is not a history database of this program
    Invalid,   // a value given by the user or a file is out of its allowed range
    Empty,     // the operation needs stored draws and there are none
    Cancelled, // the user or a caller stopped the operation
    Network,   // a page could not be fetched
    Busy,      // another program is changing the data folder or the database
    ReadOnly,  // the folder or the file may be read but not written
    Full,      // the disk (or the user's quota) has no room for what had to be written
    Damaged,   // a file of ours that no longer reads as it was written
};

struct Error {
    Error() = default;
    Error(ErrorCode code, std::string message, std::string detail = {})
        : code(code), message(std::move(message)), detail(std::move(detail)) {}

    ErrorCode code = ErrorCode::Invalid;
    std::string message; // UTF-8, in the program's own wording, ready to be shown
    // What a library said in its own words (the database engine's verdict on a damaged file),
    // for a user who asks for the details; empty when the message says all.
    std::string detail;
};

// A path as the program's messages show it (UTF-8).
inline std::string shownPath(const std::filesystem::path& file) {
    const auto u8 = file.u8string();
    return std::string(u8.begin(), u8.end());
}

template <typename T> using Result = std::expected<T, Error>;

inline std::unexpected<Error> fail(ErrorCode code, std::string message) {
    return std::unexpected<Error>(Error{code, std::move(message)});
}

} // namespace brenvik
