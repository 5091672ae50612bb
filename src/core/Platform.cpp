// SPDX-License-Identifier: GPL-3.0-or-later
#include "Platform.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace brenvik {

FileStatus fileStatus(const std::filesystem::path& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT ? FileStatus{} : FileStatus{FileKind::Other, errno};
    if (S_ISREG(st.st_mode))
        return {FileKind::Regular, 0};
    if (S_ISDIR(st.st_mode))
        return {FileKind::Directory, 0};
    if (S_ISFIFO(st.st_mode))
        return {FileKind::Fifo, 0};
    if (S_ISSOCK(st.st_mode))
        return {FileKind::Socket, 0};
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return {FileKind::Device, 0};
    return {FileKind::Other, 0};
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
        return "一个设备";
    case FileKind::Other:
        break;
    }
    return "不是普通文件";
}

bool diskFull(const std::filesystem::path& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0 || fs.f_blocks == 0)
        return false;
    // A change of the history needs its log and the log's index: some tens of kilobytes at least.
    constexpr unsigned long long kLeast = 64 * 1024;
    return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kLeast;
}

int linkNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    return ::link(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

namespace {

// An XDG folder variable counts only when it holds an absolute path.
std::filesystem::path xdgFolder(const char* variable, const char* underHome) {
    if (const char* set = std::getenv(variable); set && *set == '/')
        return set;
    std::filesystem::path home;
    if (const char* h = std::getenv("HOME"); h && *h)
        home = h;
    else if (const passwd* user = ::getpwuid(::getuid()); user && user->pw_dir)
        home = user->pw_dir;
    else
        home = "/";
    return home / underHome;
}

} // namespace

std::filesystem::path dataFolderPath() {
    if (const char* home = std::getenv("BRENVIK3D_HOME"); home && *home)
        return home;
    return xdgFolder("XDG_DATA_HOME", ".local/share") / "Brenvik3D" / "Brenvik3D";
}

std::filesystem::path settingsFilePath() {
    return xdgFolder("XDG_CONFIG_HOME", ".config") / "Brenvik3D" / "Brenvik3D.ini";
}

bool isUtf8(std::string_view bytes) {
    for (std::size_t i = 0; i < bytes.size();) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        int follow = 0;
        unsigned least = 0;
        if (c < 0x80) {
            ++i;
            continue;
        }
        if ((c & 0xE0) == 0xC0)
            follow = 1, least = 0x80;
        else if ((c & 0xF0) == 0xE0)
            follow = 2, least = 0x800;
        else if ((c & 0xF8) == 0xF0)
            follow = 3, least = 0x10000;
        else
            return false;
        if (i + static_cast<std::size_t>(follow) >= bytes.size())
            return false;
        unsigned code = c & (0x3F >> follow);
        for (int k = 1; k <= follow; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + static_cast<std::size_t>(k)]);
            if ((next & 0xC0) != 0x80)
                return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Overlong forms, UTF-16 halves and code points beyond Unicode name no character.
        if (code < least || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF)
            return false;
        i += static_cast<std::size_t>(follow) + 1;
    }
    return true;
}

std::string localTimeStamp(std::chrono::system_clock::time_point when) {
    const std::time_t t = std::chrono::system_clock::to_time_t(when);
    std::tm local{};
    localtime_r(&t, &local);
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

} // namespace brenvik
