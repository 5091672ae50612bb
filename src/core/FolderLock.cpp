// SPDX-License-Identifier: GPL-3.0-or-later
#include "FolderLock.h"

#include "SystemError.h"

#include <cerrno>
#include <cstring>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace brenvik {

namespace {

constexpr const char* kWindowMark = "window\n";
constexpr const char* kCompanionMark = "companion\n";

// What the holder wrote into the file after taking the lock: only for the message.
std::string recordedHolder(int fd) {
    char buf[32] = {};
    const ssize_t n = ::pread(fd, buf, sizeof buf - 1, 0);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

} // namespace

Result<FolderLock> FolderLock::take(const std::filesystem::path& folder, LockHolder holder) {
    const auto file = folder / kLockFile;
    // Close-on-exec: a program the window starts (an editor, a browser) must not keep the lock
    // after the window has gone.
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    bool canRecord = fd >= 0;
    if (fd < 0 && (errno == EACCES || errno == EROFS || errno == EPERM))
        fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == EACCES || errno == EROFS || errno == EPERM || errno == ENOENT)
            return FolderLock();
        return fail(ErrorCode::Io, "无法使用数据文件夹 " + shownPath(folder) + " 的锁文件 " + kLockFile +
                                       "：" + systemErrorText(errno) + "。");
    }
    int locked;
    do
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        const int err = errno;
        const std::string mark = recordedHolder(fd);
        ::close(fd);
        if (err == EWOULDBLOCK)
            return fail(ErrorCode::Busy, std::string("数据文件夹正被另一个 Brenvik ") +
                                             (mark == kWindowMark ? "窗口" : "程序") + "使用：" +
                                             shownPath(folder));
        return fail(ErrorCode::Io,
                    "无法锁定数据文件夹 " + shownPath(folder) + "：" + systemErrorText(err) + "。");
    }
    if (canRecord) {
        const char* mark = holder == LockHolder::Window ? kWindowMark : kCompanionMark;
        // The mark only words the message of a refused program; the lock holds without it.
        [[maybe_unused]] const bool recorded =
            ::ftruncate(fd, 0) == 0 && ::pwrite(fd, mark, std::strlen(mark), 0) > 0;
    }
    return FolderLock(fd);
}

FolderLock::FolderLock(FolderLock&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FolderLock& FolderLock::operator=(FolderLock&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

FolderLock::~FolderLock() {
    // Closing the only descriptor of the open file releases the lock.
    if (m_fd >= 0)
        ::close(m_fd);
}

} // namespace brenvik
