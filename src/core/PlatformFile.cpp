// SPDX-License-Identifier: GPL-3.0-or-later
// Files, folders and descriptors, on Linux.
#include "Platform.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace brenvik {

namespace {

FileKind kindOf(mode_t mode) {
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Directory;
    if (S_ISLNK(mode))
        return FileKind::Link;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISCHR(mode))
        return FileKind::Device;
    if (S_ISBLK(mode))
        return FileKind::BlockDevice;
    return FileKind::Other;
}

FileStatus statusOf(const struct stat& st) {
    return {kindOf(st.st_mode),
            0,
            static_cast<long long>(st.st_size),
            static_cast<std::uint64_t>(st.st_nlink),
            static_cast<std::uint64_t>(st.st_dev),
            static_cast<std::uint64_t>(st.st_ino)};
}

FileStatus asked(int result, const struct stat& st) {
    if (result != 0)
        return errno == ENOENT ? FileStatus{} : FileStatus{FileKind::Other, errno};
    return statusOf(st);
}

} // namespace

FileStatus fileStatus(const std::filesystem::path& path) {
    struct stat st {};
    return asked(::stat(path.c_str(), &st), st);
}

FileStatus linkStatus(const std::filesystem::path& path) {
    struct stat st {};
    return asked(::lstat(path.c_str(), &st), st);
}

std::string fileIdentity(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_size) +
           ":" + std::to_string(st.st_mtim.tv_sec) + "." + std::to_string(st.st_mtim.tv_nsec) + ":" +
           std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
}

std::string fileKindText(FileKind kind) {
    switch (kind) {
    case FileKind::Missing:
        return "不存在";
    case FileKind::Regular:
        return "一个普通文件";
    case FileKind::Directory:
        return "一个文件夹";
    case FileKind::Fifo:
        return "一个命名管道";
    case FileKind::Socket:
        return "一个套接字";
    case FileKind::Device:
    case FileKind::BlockDevice:
        return "一个设备";
    case FileKind::Link:
        return "一个符号链接";
    case FileKind::Other:
        break;
    }
    return "不是普通文件";
}

bool canWrite(const std::filesystem::path& path) {
    return ::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) == 0;
}

bool canWriteInto(const std::filesystem::path& folder) {
    return ::faccessat(AT_FDCWD, folder.c_str(), W_OK | X_OK, AT_EACCESS) == 0;
}

int linkNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return errno;
    // A file system without the flag: the lock on the folder keeps the gap harmless.
    std::error_code ec;
    if (std::filesystem::exists(to, ec))
        return EEXIST;
    std::filesystem::rename(from, to, ec);
    return ec.value();
}

int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

void syncFolder(const std::filesystem::path& folder) {
    // Some file systems cannot sync a folder; the rename has happened by then, so that is not
    // worth a failure.
    const int fd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd);
    ::close(fd);
}

bool withMappedFile(const std::filesystem::path& file, const std::function<void(std::string_view)>& use) {
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat info {};
    bool used = false;
    if (::fstat(fd, &info) == 0 && info.st_size > 0) {
        const auto size = static_cast<std::size_t>(info.st_size);
        void* bytes = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (bytes != MAP_FAILED) {
            use(std::string_view(static_cast<const char*>(bytes), size));
            ::munmap(bytes, size);
            used = true;
        }
    }
    ::close(fd);
    return used;
}

std::filesystem::path makeScratchFile(std::string_view stem) {
    std::error_code ec;
    std::string name = (std::filesystem::temp_directory_path(ec) / stem).string() + "-XXXXXX";
    if (ec)
        return {};
    const int fd = ::mkstemp(name.data());
    if (fd < 0)
        return {};
    ::close(fd);
    return name;
}

std::expected<SystemFile, int> SystemFile::open(const std::filesystem::path& path, Open how) {
    // Closed on exec: a program the window starts (an editor, a browser) must not keep a lock or
    // a file of ours after the window has gone.
    int flags = O_CLOEXEC;
    mode_t mode = 0;
    switch (how) {
    case Open::Read:
        flags |= O_RDONLY;
        break;
    case Open::ReadNoWait:
        flags |= O_RDONLY | O_NONBLOCK;
        break;
    case Open::ReadNoFollow:
        flags |= O_RDONLY | O_NONBLOCK | O_NOFOLLOW;
        break;
    case Open::ReadWriteCreate:
        flags |= O_RDWR | O_CREAT;
        mode = 0644;
        break;
    case Open::CreateNew:
        flags |= O_WRONLY | O_CREAT | O_EXCL;
        mode = 0666;
        break;
    case Open::WriteStream:
        flags |= O_WRONLY | O_NOCTTY;
        break;
    case Open::WriteStreamNoWait:
        // A FIFO without a reader would keep a writer that does not wait from ever going on.
        flags |= O_WRONLY | O_NOCTTY | O_NONBLOCK;
        break;
    }
    const int fd = ::open(path.c_str(), flags, mode);
    if (fd < 0)
        return std::unexpected(errno);
    // Once a reader is there, writes wait for it as they would on any stream.
    if (how == Open::WriteStreamNoWait)
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return SystemFile(fd, true);
}

SystemFile SystemFile::standardInput() {
    return SystemFile(STDIN_FILENO, false);
}

SystemFile SystemFile::standardOutput() {
    return SystemFile(STDOUT_FILENO, false);
}

SystemFile::SystemFile(SystemFile&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1)), m_owned(other.m_owned) {}

SystemFile& SystemFile::operator=(SystemFile&& other) noexcept {
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_owned = other.m_owned;
    }
    return *this;
}

SystemFile::~SystemFile() {
    close();
}

std::expected<std::size_t, int> SystemFile::read(std::span<char> buffer) {
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer.data(), buffer.size());
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return std::unexpected(errno);
    }
}

std::expected<std::size_t, int> SystemFile::readAt(std::span<char> buffer, long long offset) {
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer.data(), buffer.size(), static_cast<off_t>(offset));
        if (n >= 0)
            return static_cast<std::size_t>(n);
        if (errno != EINTR)
            return std::unexpected(errno);
    }
}

namespace {

// One write to a stream whose reader may have gone: the signal that would end the process is
// held back, and taken away again when this write raised it.
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

} // namespace

int SystemFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = writeWithoutSignal(m_fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return errno;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return 0;
}

int SystemFile::rewrite(std::string_view bytes) {
    if (::ftruncate(m_fd, 0) != 0)
        return errno;
    const ssize_t n = ::pwrite(m_fd, bytes.data(), bytes.size(), 0);
    return n < 0 ? errno : 0;
}

int SystemFile::sync() {
    return ::fsync(m_fd) == 0 ? 0 : errno;
}

int SystemFile::close() {
    const int fd = std::exchange(m_fd, -1);
    if (fd < 0 || !m_owned)
        return 0;
    return ::close(fd) == 0 || errno == EINTR ? 0 : errno;
}

int SystemFile::lock(bool wait) {
    int locked;
    do
        locked = ::flock(m_fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (locked != 0 && errno == EINTR);
    return locked == 0 ? 0 : errno;
}

std::expected<SystemFile, int> SystemFile::duplicate() const {
    const int fd = ::fcntl(m_fd, F_DUPFD_CLOEXEC, 0);
    if (fd < 0)
        return std::unexpected(errno);
    return SystemFile(fd, true);
}

FileStatus SystemFile::status() const {
    struct stat st {};
    return asked(::fstat(m_fd, &st), st);
}

} // namespace brenvik
