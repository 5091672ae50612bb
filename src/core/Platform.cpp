// SPDX-License-Identifier: GPL-3.0-or-later
// The process, its folders, its plugins and the character sets, on Linux with glibc.
#include "Platform.h"

#include <cerrno>
#include <cstdlib>
#include <ctime>

#include <dlfcn.h>
#include <iconv.h>
#include <pwd.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace brenvik {

bool diskFull(const std::filesystem::path& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) != 0 || fs.f_blocks == 0)
        return false;
    // A change of the history needs its log and the log's index: some tens of kilobytes at least.
    constexpr unsigned long long kLeast = 64 * 1024;
    return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize < kLeast;
}

std::uint64_t processId() {
    return static_cast<std::uint64_t>(::getpid());
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

namespace {

// The folder of the program as the system started it, not as it was called: a link to it
// elsewhere still finds the files of its own installation. Empty when the system cannot say, so
// that nothing is ever looked for relative to the working folder.
std::filesystem::path programFolder() {
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || !self.is_absolute())
        return {};
    return self.parent_path();
}

} // namespace

std::filesystem::path pluginFile(std::string_view name) {
    const std::filesystem::path file = std::string(name) + ".so";
    // The bare name when the program's place is unknown, which loadPlugin refuses.
    const auto folder = programFolder();
    if (folder.empty())
        return file;
    return (folder / BRENVIK_PLUGINS_FROM_BIN / file).lexically_normal();
}

std::filesystem::path shippedFile(std::string_view relative) {
    const auto folder = programFolder();
    if (folder.empty())
        return {};
    return (folder / BRENVIK_SHARE_FROM_BIN / relative).lexically_normal();
}

std::expected<const void*, std::string> loadPlugin(const std::filesystem::path& file, const char* entry,
                                                   unsigned version) {
    if (!file.is_absolute())
        return std::unexpected("程序找不到自己所在的文件夹");
    if (fileStatus(file).kind == FileKind::Missing)
        return std::unexpected("没有这个文件");
    // Bound at once: a plugin that lacks a function of a library fails here, not in the middle
    // of reading a page.
    void* handle = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        // The loader's words begin with the file's name, which the message gives already.
        const char* said = ::dlerror();
        std::string why = said ? said : "";
        if (const std::string named = file.native() + ": "; why.starts_with(named))
            why.erase(0, named.size());
        return std::unexpected("文件已损坏，或它要用的库未安装（" + why + "）");
    }
    using Entry = const void* (*)();
    const auto table = reinterpret_cast<Entry>(::dlsym(handle, entry));
    const void* functions = table ? table() : nullptr;
    if (!functions || *static_cast<const unsigned*>(functions) != version)
        return std::unexpected("它不是这一版本程序的组件");
    // The plugin stays loaded for the rest of the process, as its functions are kept.
    return functions;
}

bool canDecode(const std::string& name) {
    iconv_t cd = ::iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    ::iconv_close(cd);
    return true;
}

std::optional<std::string> decodeText(std::string_view bytes, const std::string& name,
                                      std::string_view replacement) {
    iconv_t cd = ::iconv_open("UTF-8", name.c_str());
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string out(bytes.size() * 2 + 64, '\0');
    std::string in(bytes);
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    std::size_t used = 0;
    while (inLeft > 0) {
        char* outPtr = out.data() + used;
        std::size_t outLeft = out.size() - used;
        const std::size_t r = ::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        used = out.size() - outLeft;
        if (r != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG) {
            out.resize(out.size() * 2);
            continue;
        }
        // A byte that starts no character of the set, or a character cut off at the end.
        if (out.size() - used < replacement.size())
            out.resize(out.size() * 2);
        out.replace(used, replacement.size(), replacement);
        used += replacement.size();
        ++inPtr;
        --inLeft;
        ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    ::iconv_close(cd);
    out.resize(used);
    return out;
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
