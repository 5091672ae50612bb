// SPDX-License-Identifier: GPL-3.0-or-later
#include "SafeWrite.h"

#include "SystemError.h"

#include <cctype>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvik {

namespace {

std::string reason(int error) {
    return systemErrorText(error);
}

// A short name of its own, so that a target whose name is already as long as the file system
// allows still gets a temporary beside it; the random part keeps two writers apart. The leading
// dot keeps a file left behind by a power cut out of the user's way until the sweep takes it.
constexpr std::string_view kTemporaryPrefix = ".brenvik3d-";
constexpr std::string_view kTemporarySuffix = ".tmp";
constexpr std::size_t kTemporaryHexDigits = 16;

std::filesystem::path temporaryNameFor(const std::filesystem::path& target) {
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}() ^
                                      static_cast<std::uint64_t>(getpid());
    const std::uint64_t n = seed + counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
    std::array<char, kTemporaryHexDigits + 1> hex{};
    std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(n));
    std::string name(kTemporaryPrefix);
    name += hex.data();
    name += kTemporarySuffix;
    return target.parent_path() / name;
}

// Makes the rename itself survive a power cut. Some file systems cannot sync a folder; the
// rename has happened by then, so that is not worth a failure.
void syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

} // namespace

std::filesystem::path utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

PendingFile::PendingFile(std::filesystem::path target, std::filesystem::path temporary, int fd, int lockFd)
    : m_target(std::move(target)), m_temporary(std::move(temporary)), m_fd(fd), m_lockFd(lockFd) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_temporary(std::move(other.m_temporary)), m_fd(other.m_fd),
      m_lockFd(other.m_lockFd), m_flushed(other.m_flushed), m_committed(other.m_committed) {
    other.m_fd = -1;
    other.m_lockFd = -1;
    other.m_committed = true; // the moved-from object owns nothing to clean up
}

PendingFile::~PendingFile() {
    if (m_fd >= 0)
        ::close(m_fd);
    if (!m_committed)
        ::unlink(m_temporary.c_str());
    if (m_lockFd >= 0)
        ::close(m_lockFd);
}

Result<PendingFile> PendingFile::create(const std::filesystem::path& target) {
    if (target.filename().empty())
        return fail(ErrorCode::Invalid, "文件名 " + shownPath(target) + " 无效。");
    int error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        auto temporary = temporaryNameFor(target);
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0) {
            error = errno;
            if (error != EEXIST)
                break;
            continue;
        }
        // A sweep may have found the new file before it was locked; it then removed it, and the
        // lock comes once the sweep let go, on a file no longer in the folder: take another.
        struct stat info {};
        const int lockFd = ::flock(fd, LOCK_EX) == 0 ? ::dup(fd) : -1;
        if (lockFd >= 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0)
            return PendingFile(target, std::move(temporary), fd, lockFd);
        error = lockFd < 0 ? errno : ENOENT;
        ::close(fd);
        if (lockFd >= 0)
            ::close(lockFd);
    }
    return fail(ErrorCode::Io, "无法写入文件 " + shownPath(target) + "：" + reason(error) + "。");
}

Error PendingFile::failure(std::string_view what, int error) const {
    std::string message(what);
    message += shownPath(m_target) + " 时出错：" + reason(error) + "，原有文件未改动。";
    return Error{ErrorCode::Io, std::move(message)};
}

Result<void> PendingFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(failure("写入文件 ", errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

Result<void> PendingFile::closeFile() {
    // A full disk may show only here, when the data is forced out of the cache.
    const bool synced = ::fsync(m_fd) == 0;
    const int syncError = errno;
    const bool closed = ::close(m_fd) == 0;
    const int closeError = errno;
    m_fd = -1;
    if (!synced)
        return std::unexpected(failure("写入文件 ", syncError));
    if (!closed)
        return std::unexpected(failure("写入文件 ", closeError));
    return {};
}

Result<void> PendingFile::flush() {
    if (m_flushed)
        return {};
    if (m_fd < 0)
        return std::unexpected(failure("写入文件 ", EBADF));
    if (auto closed = closeFile(); !closed)
        return closed;
    m_flushed = true;
    return {};
}

Result<void> PendingFile::commit() {
    if (auto flushed = flush(); !flushed)
        return flushed;
    if (::rename(m_temporary.c_str(), m_target.c_str()) != 0)
        return std::unexpected(failure("替换文件 ", errno));
    m_committed = true;
    ::close(std::exchange(m_lockFd, -1));
    syncFolder(m_target.parent_path());
    return {};
}

namespace {

// Bytes are handed to the system in pieces of this size: an export of a million lines is a few
// hundred writes, not a million.
constexpr std::size_t kOutputBufferBytes = 64 * 1024;
// As the system itself gives up on a chain of links.
constexpr int kMostLinks = 40;

// Writes to a stream whose reader may have gone: that is an error to report, not a signal that
// ends the process (the window's and the companion's alike).
ssize_t writeWithoutSignal(int fd, const char* data, std::size_t size) {
    sigset_t pipeSignal;
    sigset_t before;
    sigemptyset(&pipeSignal);
    sigaddset(&pipeSignal, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipeSignal, &before);
    sigset_t pendingBefore;
    sigpending(&pendingBefore);
    const ssize_t n = ::write(fd, data, size);
    const int error = errno;
    if (n < 0 && error == EPIPE && !sigismember(&pendingBefore, SIGPIPE)) {
        const timespec now{};
        sigtimedwait(&pipeSignal, nullptr, &now);
    }
    pthread_sigmask(SIG_SETMASK, &before, nullptr);
    errno = error;
    return n;
}

std::string streamReason(int error) {
    return error == EPIPE ? std::string("读取的一方已关闭") : reason(error);
}

// What is at the end of the links `target` names: its status, or nothing when no file is there
// (yet). The path comes back in `end`.
Result<std::optional<struct stat>> followLinks(const std::filesystem::path& target,
                                               std::filesystem::path& end) {
    end = target;
    for (int links = 0;; ++links) {
        struct stat info {};
        if (::lstat(end.c_str(), &info) != 0) {
            if (errno == ENOENT)
                return std::nullopt;
            return fail(ErrorCode::Io, "无法写入文件 " + shownPath(target) + "：" + reason(errno) + "。");
        }
        if (!S_ISLNK(info.st_mode))
            return info;
        std::error_code ec;
        const auto link = std::filesystem::read_symlink(end, ec);
        if (ec || links == kMostLinks)
            return fail(ErrorCode::Invalid,
                        "符号链接 " + shownPath(target) + " 指不到文件（层数太多或指回自己），未写入。");
        end = link.is_absolute() ? link : end.parent_path() / link;
    }
}

Error refusedKind(const std::filesystem::path& target, const char* kind) {
    return Error{ErrorCode::Invalid, shownPath(target) + " 是" + kind + "，不能当作文件写入，未写入。"};
}

} // namespace

OutputFile::OutputFile(OutputFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_shown(std::move(other.m_shown)),
      m_pending(std::move(other.m_pending)), m_fd(std::exchange(other.m_fd, -1)),
      m_ownsFd(std::exchange(other.m_ownsFd, false)), m_buffer(std::move(other.m_buffer)) {
    other.m_pending.reset();
}

OutputFile::~OutputFile() {
    if (m_ownsFd && m_fd >= 0)
        ::close(m_fd);
}

Result<OutputFile> OutputFile::open(const std::filesystem::path& target, WhenNoReader noReader) {
    OutputFile out;
    out.m_shown = shownPath(target);
    std::filesystem::path end;
    auto found = followLinks(target, end);
    if (!found)
        return std::unexpected(found.error());
    out.m_target = end;
    if (*found) {
        const mode_t mode = (*found)->st_mode;
        if (S_ISDIR(mode))
            return std::unexpected(refusedKind(target, "文件夹"));
        if (S_ISSOCK(mode))
            return std::unexpected(refusedKind(target, "套接字"));
        if (S_ISBLK(mode))
            return std::unexpected(refusedKind(target, "块设备（磁盘）"));
        if (S_ISFIFO(mode) || S_ISCHR(mode)) {
            // A FIFO without a reader would keep a writer that does not wait from ever going on.
            const int flags = O_WRONLY | O_CLOEXEC | O_NOCTTY |
                              (S_ISFIFO(mode) && noReader == WhenNoReader::Fail ? O_NONBLOCK : 0);
            const int fd = ::open(end.c_str(), flags);
            if (fd < 0) {
                if (errno == ENXIO)
                    return fail(ErrorCode::Io, "没有程序在读取 " + shownPath(target) + "，未写入。");
                return fail(ErrorCode::Io, "无法写入 " + shownPath(target) + "：" + reason(errno) + "。");
            }
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            out.m_fd = fd;
            out.m_ownsFd = true;
            return out;
        }
    }
    auto pending = PendingFile::create(end);
    if (!pending)
        return std::unexpected(pending.error());
    out.m_pending.emplace(std::move(*pending));
    return out;
}

OutputFile OutputFile::standardOutput() {
    OutputFile out;
    out.m_shown = "标准输出";
    out.m_target = "/dev/stdout";
    out.m_fd = STDOUT_FILENO;
    return out;
}

Error OutputFile::failure(int error) const {
    return Error{ErrorCode::Io, "写入 " + m_shown + " 时出错：" + streamReason(error) + "。"};
}

Result<void> OutputFile::flushBuffer() {
    if (m_pending) {
        auto written = m_pending->write(m_buffer);
        m_buffer.clear();
        return written;
    }
    std::string_view bytes = m_buffer;
    while (!bytes.empty()) {
        const ssize_t n = writeWithoutSignal(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return std::unexpected(failure(errno));
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    m_buffer.clear();
    return {};
}

Result<void> OutputFile::write(std::string_view bytes) {
    if (m_buffer.size() + bytes.size() > kOutputBufferBytes) {
        if (auto flushed = flushBuffer(); !flushed)
            return flushed;
    }
    if (bytes.size() >= kOutputBufferBytes) {
        m_buffer = bytes;
        return flushBuffer();
    }
    m_buffer.append(bytes);
    return {};
}

Result<void> OutputFile::commit() {
    if (auto flushed = flushBuffer(); !flushed)
        return flushed;
    if (m_pending)
        return m_pending->commit();
    if (m_ownsFd) {
        const int fd = std::exchange(m_fd, -1);
        m_ownsFd = false;
        if (::close(fd) != 0 && errno != EINTR)
            return std::unexpected(failure(errno));
    }
    return {};
}

bool canWriteInto(const std::filesystem::path& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

Result<void> writeFileSafely(const std::filesystem::path& target, std::string_view content) {
    auto pending = PendingFile::create(target);
    if (!pending)
        return std::unexpected(pending.error());
    if (auto written = pending->write(content); !written)
        return written;
    return pending->commit();
}

Result<void> copyFileSafely(const std::filesystem::path& source, const std::filesystem::path& target) {
    const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail(ErrorCode::Io, "无法打开文件 " + shownPath(source) + "：" + reason(errno) + "。");
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{in};
    auto pending = PendingFile::create(target);
    if (!pending)
        return std::unexpected(pending.error());
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(ErrorCode::Io, "读取文件 " + shownPath(source) + " 时出错：" + reason(errno) + "。");
        }
        if (n == 0)
            break;
        if (auto written = pending->write(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
            !written)
            return written;
    }
    return pending->commit();
}

namespace {

bool allOf(std::string_view text, int (*test)(int)) {
    return std::ranges::all_of(text, [test](char c) { return test(static_cast<unsigned char>(c)) != 0; });
}

bool isLockedTemporaryName(std::string_view name) {
    return name.size() == kTemporaryPrefix.size() + kTemporaryHexDigits + kTemporarySuffix.size() &&
           name.starts_with(kTemporaryPrefix) && name.ends_with(kTemporarySuffix) &&
           allOf(name.substr(kTemporaryPrefix.size(), kTemporaryHexDigits), std::isxdigit);
}

// Earlier versions named a temporary after its target: "<target>.tmp.<digits>.<8 hex digits>".
bool isEarlierTemporaryName(std::string_view name) {
    const auto hexDot = name.rfind('.');
    if (hexDot == std::string_view::npos || name.size() - hexDot - 1 != 8 ||
        !allOf(name.substr(hexDot + 1), std::isxdigit))
        return false;
    const auto pidDot = name.rfind('.', hexDot - 1);
    if (pidDot == std::string_view::npos || pidDot + 1 == hexDot ||
        !allOf(name.substr(pidDot + 1, hexDot - pidDot - 1), std::isdigit))
        return false;
    return pidDot > 4 && name.substr(pidDot - 4, 4) == ".tmp";
}

// Removes a temporary whose writer no longer holds its lock. The lock is held here while the
// file is removed, so a writer that has just made it waits and then sees it gone.
bool removeIfAbandoned(const std::filesystem::path& file) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0)
        return false;
    struct stat held {};
    struct stat named {};
    const bool abandoned = ::flock(fd, LOCK_EX | LOCK_NB) == 0 && ::fstat(fd, &held) == 0 &&
                           ::lstat(file.c_str(), &named) == 0 && held.st_ino == named.st_ino &&
                           held.st_dev == named.st_dev && ::unlink(file.c_str()) == 0;
    // A history built under a temporary name (a restore) may have left its log beside it.
    if (abandoned)
        for (const char* suffix : {"-wal", "-shm", "-journal"})
            ::unlink((file.native() + suffix).c_str());
    ::close(fd);
    return abandoned;
}

} // namespace

int removeAbandonedTemporaries(const std::filesystem::path& folder, std::chrono::seconds age) {
    std::error_code ec;
    int removed = 0;
    const auto now = std::filesystem::file_time_type::clock::now();
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        if (!entry.is_regular_file(ec))
            continue;
        const std::string name = entry.path().filename().string();
        if (isLockedTemporaryName(name)) {
            removed += removeIfAbandoned(entry.path());
            continue;
        }
        if (!isEarlierTemporaryName(name))
            continue;
        const auto written = entry.last_write_time(ec);
        if (ec || now - written < age)
            continue;
        if (std::filesystem::remove(entry.path(), ec))
            ++removed;
    }
    return removed;
}

} // namespace brenvik
