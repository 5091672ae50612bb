// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Everything both programs ask of the operating system, and nothing else: locks, renames,
// syncs, descriptors, file kinds, access rights, plugins, character sets, the per-user folders.
// The rest of the code is portable C++ over these; a port to another system rewrites the
// Platform*.cpp files of this folder and keeps this header.

#include <chrono>
#include <cstdint>
#include <expected>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace brenvik {

// What lies at a path, as the system tells it.
enum class FileKind { Missing, Regular, Directory, Fifo, Socket, Device, BlockDevice, Link, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    int error = 0;           // the system's error when the path could not be asked about (0 for Missing)
    long long size = 0;      // of a regular file, in bytes
    std::uint64_t links = 0; // names the file has; 0 once the last was removed
    // Together, what tells a file from every other one on the system.
    std::uint64_t device = 0;
    std::uint64_t node = 0;
};

// Asks without opening: a pipe or a device is never opened to find out what it is, so nothing
// waits for a writer that never comes. A symbolic link is followed to what it names.
FileStatus fileStatus(const std::filesystem::path& path);
// The same of the path itself: a symbolic link is a Link.
FileStatus linkStatus(const std::filesystem::path& path);

// What tells that a file was changed: its node, size and time of last change; empty when the
// file cannot be asked about.
std::string fileIdentity(const std::filesystem::path& path);

// "一个命名管道", "一个文件夹": what a path that should have been a file is, to say so.
std::string fileKindText(FileKind kind);

// Whether the file system holding `path` has no room left for a change of the history (as the
// user, not root, may use it). A file system that cannot be asked is not called full.
bool diskFull(const std::filesystem::path& path);

// Whether the program may write the file or folder `path`, asked with the rights it writes
// with (for root, the capabilities in force).
bool canWrite(const std::filesystem::path& path);
// Whether the program may make files in `folder`, asked the same way, so a folder that is not
// writable is known before anything is tried in it.
bool canWriteInto(const std::filesystem::path& folder);

// Renames and links give the system's error number (errno), 0 when they succeed.
// Gives the file `from` the second name `to`, failing when `to` exists: the file keeps its bytes
// under both names until one is removed.
int linkNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Renames `from` to `to`, failing rather than replace `to`, also when it appears between a check
// and the rename.
int renameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);
// Puts `from` in the place of `to` in one step: a reader finds the old file or the new one.
int replaceFile(const std::filesystem::path& from, const std::filesystem::path& to);
// Makes the renames in `folder` survive a power cut, where its file system can.
void syncFolder(const std::filesystem::path& folder);

// Hands the bytes of the regular file `file` to `use` without reading them into memory first;
// false (and `use` not called) when the file cannot be opened or is empty.
bool withMappedFile(const std::filesystem::path& file, const std::function<void(std::string_view)>& use);

// A new empty file of this program in the system's folder for temporary files, named from
// `stem`; empty when none can be made.
std::filesystem::path makeScratchFile(std::string_view stem);

// An open file of the system (a regular file, a pipe, a device), closed when it goes. Failures
// give the system's error number (errno); an interrupted call is made again.
class SystemFile {
public:
    enum class Open {
        Read,              // an existing file, to read
        ReadNoWait,        // the same, without waiting should a FIFO have taken the file's place
        ReadNoFollow,      // the same, and refusing a symbolic link
        ReadWriteCreate,   // to read and write, made (rw-r--r--) when missing
        CreateNew,         // a new file to write, failing when the name is taken
        WriteStream,       // a FIFO or a device, to write; waits for a FIFO's reader
        WriteStreamNoWait, // the same, failing (ENXIO) at once when no program reads the FIFO
    };

    static std::expected<SystemFile, int> open(const std::filesystem::path& path, Open how);
    // The process's own standard streams, never closed by this program.
    static SystemFile standardInput();
    static SystemFile standardOutput();

    SystemFile() = default;
    SystemFile(SystemFile&& other) noexcept;
    SystemFile& operator=(SystemFile&& other) noexcept;
    SystemFile(const SystemFile&) = delete;
    SystemFile& operator=(const SystemFile&) = delete;
    ~SystemFile();

    bool isOpen() const { return m_fd >= 0; }

    // Up to `buffer.size()` bytes; 0 at the end of the file.
    std::expected<std::size_t, int> read(std::span<char> buffer);
    std::expected<std::size_t, int> readAt(std::span<char> buffer, long long offset);
    // All of `bytes`. A pipe whose reader has gone gives EPIPE, not the signal that would end
    // the process (the window's and the companion's alike).
    int write(std::string_view bytes);
    // The whole content becomes `bytes`.
    int rewrite(std::string_view bytes);
    // Forces what was written out of the cache, so that a full disk shows here.
    int sync();
    // Closes it now, to learn whether the last writes failed; the standard streams stay open.
    int close();

    // The kernel's advisory lock on the whole file: it lasts while this open file or a
    // duplicate of it lives, and ends with the process however that ends. Without `wait`, a lock
    // held elsewhere gives EWOULDBLOCK at once.
    int lock(bool wait);
    // Another handle of the same open file, sharing its lock.
    std::expected<SystemFile, int> duplicate() const;
    FileStatus status() const;

private:
    SystemFile(int fd, bool owned) : m_fd(fd), m_owned(owned) {}
    int m_fd = -1;
    bool m_owned = true;
};

// The process's own number, as the system gives it.
std::uint64_t processId();

// The folder that holds every file of both programs when $BRENVIK3D_HOME is not set: the
// per-user application data folder, $XDG_DATA_HOME (else ~/.local/share) / Brenvik3D/Brenvik3D.
// $BRENVIK3D_HOME, when set, is taken byte for byte.
std::filesystem::path dataFolderPath();
// The window's settings file: $XDG_CONFIG_HOME (else ~/.config) / Brenvik3D/Brenvik3D.ini.
std::filesystem::path settingsFilePath();

// The file of the programs' plugin `name`, in the private library folder of the installation,
// found from the running program's own place (in the build tree, the same place relative to the
// programs' folders); the name ends as this system names a loadable library.
std::filesystem::path pluginFile(std::string_view name);
// A file installed with the programs (the sample histories, the manual), `relative` to the
// installation's share folder and found from the running program's own place, as the plugins
// are; the build tree holds a copy at the same place relative to the programs' folders. Empty
// when the system cannot say where the program is.
std::filesystem::path shippedFile(std::string_view relative);
// Loads the plugin `file` once for the process and gives the table of functions its function
// `entry` returns, which begins with the table's version: `version` it must be. Otherwise the
// reason, in words to follow the plugin's name in a sentence.
std::expected<const void*, std::string> loadPlugin(const std::filesystem::path& file, const char* entry,
                                                   unsigned version);

// Whether this system can decode text of the character set `name` into UTF-8.
bool canDecode(const std::string& name);
// `bytes` of the character set `name` as UTF-8, each byte that starts no character of the set
// (or a character cut off at the end) replaced by `replacement`; nothing when this system cannot
// decode the set.
std::optional<std::string> decodeText(std::string_view bytes, const std::string& name,
                                      std::string_view replacement);

// Whether `bytes` is well-formed UTF-8 (a file name the window's text can carry unchanged).
bool isUtf8(std::string_view bytes);

// The local time as a file name carries it: "20261208-130400".
std::string localTimeStamp(std::chrono::system_clock::time_point when);

} // namespace brenvik
