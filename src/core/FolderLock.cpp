// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderLock.h"

#include "SystemError.h"

#include <array>
#include <cerrno>
#include <string>

namespace brenvik {

namespace {

constexpr const char* kWindowMark = "window\n";
constexpr const char* kCompanionMark = "companion\n";

// What the holder wrote into the file after taking the lock: only for the message.
std::string recordedHolder(SystemFile& file) {
    std::array<char, 31> buf{};
    const auto n = file.readAt(buf, 0);
    return n && *n > 0 ? std::string(buf.data(), *n) : std::string();
}

} // namespace

Result<FolderLock> FolderLock::take(const std::filesystem::path& folder, LockHolder holder) {
    const auto file = folder / kLockFile;
    auto opened = SystemFile::open(file, SystemFile::Open::ReadWriteCreate);
    const bool canRecord = opened.has_value();
    if (!opened && (opened.error() == EACCES || opened.error() == EROFS || opened.error() == EPERM))
        opened = SystemFile::open(file, SystemFile::Open::Read);
    if (!opened) {
        const int err = opened.error();
        if (err == EACCES || err == EROFS || err == EPERM || err == ENOENT)
            return FolderLock();
        return fail(ErrorCode::Io, "无法使用数据文件夹 " + shownPath(folder) + " 的锁文件 " + kLockFile +
                                       "：" + systemErrorText(err) + "。");
    }
    if (const int err = opened->lock(false); err != 0) {
        const std::string mark = recordedHolder(*opened);
        if (err == EWOULDBLOCK)
            return fail(ErrorCode::Busy, std::string("数据文件夹正被另一个 Brenvik ") +
                                             (mark == kWindowMark ? "窗口" : "程序") + "使用：" +
                                             shownPath(folder));
        return fail(ErrorCode::Io,
                    "无法锁定数据文件夹 " + shownPath(folder) + "：" + systemErrorText(err) + "。");
    }
    if (canRecord) {
        // The mark only words the message of a refused program; the lock holds without it.
        [[maybe_unused]] const int recorded =
            opened->rewrite(holder == LockHolder::Window ? kWindowMark : kCompanionMark);
    }
    return FolderLock(std::move(*opened));
}

} // namespace brenvik
