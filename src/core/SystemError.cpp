// SPDX-License-Identifier: GPL-3.0-or-later
#include "SystemError.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <utility>

namespace brenvik {

std::string causeText(SystemCause cause) {
    switch (cause) {
    case SystemCause::NoSuchFile:
        return "没有这个文件或文件夹";
    case SystemCause::NoPermission:
        return "没有权限";
    case SystemCause::DiskFull:
        return "磁盘已满";
    case SystemCause::ReadOnlyFileSystem:
        return "文件系统只读";
    case SystemCause::NameTooLong:
        return "文件名太长";
    case SystemCause::FileTooLarge:
        return "文件太大";
    case SystemCause::NotADatabase:
        return "不是数据库文件";
    case SystemCause::ResponseTooLarge:
        return "服务器的回应太大";
    }
    return {};
}

namespace {

const SystemCause* causeOfErrno(int e) {
    static constexpr std::array<std::pair<int, SystemCause>, 9> kCauses{{
        {ENOENT, SystemCause::NoSuchFile},
        {ENOTDIR, SystemCause::NoSuchFile},
        {EACCES, SystemCause::NoPermission},
        {EPERM, SystemCause::NoPermission},
        {ENOSPC, SystemCause::DiskFull},
        {EDQUOT, SystemCause::DiskFull},
        {EROFS, SystemCause::ReadOnlyFileSystem},
        {ENAMETOOLONG, SystemCause::NameTooLong},
        {EFBIG, SystemCause::FileTooLarge},
    }};
    for (const auto& [number, cause] : kCauses)
        if (number == e)
            return &cause;
    return nullptr;
}

// The engine's and the libraries' English texts for the same causes, as they print them.
const SystemCause* causeOfText(std::string_view text) {
    static constexpr std::array<std::pair<std::string_view, SystemCause>, 8> kTexts{{
        {"file is not a database", SystemCause::NotADatabase},
        {"unsupported file format", SystemCause::NotADatabase},
        {"database or disk is full", SystemCause::DiskFull},
        {"No space left on device", SystemCause::DiskFull},
        {"No such file or directory", SystemCause::NoSuchFile},
        {"Permission denied", SystemCause::NoPermission},
        {"Read-only file system", SystemCause::ReadOnlyFileSystem},
        {"File name too long", SystemCause::NameTooLong},
    }};
    for (const auto& [words, cause] : kTexts)
        if (text.find(words) != std::string_view::npos)
            return &cause;
    return nullptr;
}

} // namespace

std::string systemErrorText(int errnoValue) {
    if (const SystemCause* cause = causeOfErrno(errnoValue))
        return causeText(*cause);
    if (errnoValue == 0)
        return "原因不明";
    return otherErrorText(std::strerror(errnoValue));
}

std::string otherErrorText(std::string_view systemText) {
    if (const SystemCause* cause = causeOfText(systemText))
        return causeText(*cause);
    return "系统报告错误（" + std::string(systemText) + "）";
}

} // namespace brenvik
