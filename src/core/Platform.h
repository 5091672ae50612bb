// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <chrono>
#include <filesystem>
#include <string>
#include <string_view>

namespace brenvik {

// What lies at a path, as the system tells it (following a symbolic link to what it names).
enum class FileKind { Missing, Regular, Directory, Fifo, Socket, Device, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    int error = 0; // the system's error when the path could not be asked about (0 for Missing)
};

// Asks without opening: a pipe or a device is never opened to find out what it is, so nothing
// waits for a writer that never comes.
FileStatus fileStatus(const std::filesystem::path& path);

// What tells that a file was changed: its node, size and time of last change; empty when the
// file cannot be asked about.
std::string fileIdentity(const std::filesystem::path& path);

// "一个命名管道", "一个文件夹": what a path that should have been a file is, to say so.
std::string fileKindText(FileKind kind);

// Whether the file system holding `path` has no room left for a change of the history (as the
// user, not root, may use it). A file system that cannot be asked is not called full.
bool diskFull(const std::filesystem::path& path);

// Gives the file `from` the second name `to`, failing (errno) when `to` exists: the file keeps
// its bytes under both names until one is removed.
int linkNoReplace(const std::filesystem::path& from, const std::filesystem::path& to);

// The folder that holds every file of both programs when $BRENVIK3D_HOME is not set: the
// per-user application data folder, $XDG_DATA_HOME (else ~/.local/share) / Brenvik3D/Brenvik3D.
// $BRENVIK3D_HOME, when set, is taken byte for byte.
std::filesystem::path dataFolderPath();
// The window's settings file: $XDG_CONFIG_HOME (else ~/.config) / Brenvik3D/Brenvik3D.ini.
std::filesystem::path settingsFilePath();

// Whether `bytes` is well-formed UTF-8 (a file name the window's text can carry unchanged).
bool isUtf8(std::string_view bytes);

// The local time as a file name carries it: "20261208-130400".
std::string localTimeStamp(std::chrono::system_clock::time_point when);

} // namespace brenvik
