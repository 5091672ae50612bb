// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>
#include <string_view>

namespace brenvik {

// The causes of a failed file, database or network operation that users meet often enough to be
// told in the program's own words.
enum class SystemCause {
    NoSuchFile,
    NoPermission,
    DiskFull,
    ReadOnlyFileSystem,
    NameTooLong,
    FileTooLarge,
    NotADatabase,
    ResponseTooLarge,
};

// The words for `cause`, to follow a colon in a sentence ("无法打开文件 X：没有这个文件或文件夹。").
std::string causeText(SystemCause cause);

// A system error number in the same words: one of the causes above when it is one of them,
// otherwise the system's own text in brackets. Both programs show every system error through this.
std::string systemErrorText(int errnoValue);

// A library's own text of a failure that has no error number (the database engine, the spreadsheet
// writer, a network library), bracketed the same way, or the cause's words when it names one.
std::string otherErrorText(std::string_view systemText);

} // namespace brenvik
