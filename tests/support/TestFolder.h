// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Game.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace brenvik {
// Most tests work on the 福彩3D history and name its files as they are.
inline constexpr const char* kDatabaseFile = databaseFileName(Game::Fc3d);
inline constexpr const char* kCompactTempFile = compactTempFileName(Game::Fc3d);
inline constexpr const char* kBackupFile = rebuildBackupFileName(Game::Fc3d);
} // namespace brenvik

namespace brenvik::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TestFolder {
public:
    TestFolder();
    ~TestFolder();
    TestFolder(const TestFolder&) = delete;
    TestFolder& operator=(const TestFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }
    std::filesystem::path operator/(std::string_view name) const { return m_path / name; }

private:
    std::filesystem::path m_path;
};

std::string readFile(const std::filesystem::path& file);
void writeFile(const std::filesystem::path& file, std::string_view content);

// The names in a folder, sorted (to see what a writer left behind).
std::vector<std::string> folderContents(const std::filesystem::path& folder);

// While it lives, no file of this process may grow beyond `bytes`: a write past it fails as on
// a full disk. Works for root too, unlike a read-only folder.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long m_oldLimit;
    void (*m_oldHandler)(int);
};

// True when the tests run as root, who writes into read-only folders anyway.
bool runningAsRoot();

// While it lives, the calling thread is held to the permission bits, root too: it may not write
// into a folder whose bits say no. Other threads keep their rights.
class PermissionBitsHere {
public:
    PermissionBitsHere();
    ~PermissionBitsHere();
    PermissionBitsHere(const PermissionBitsHere&) = delete;
    PermissionBitsHere& operator=(const PermissionBitsHere&) = delete;

private:
    unsigned m_effective = 0; // the first word of the capabilities in force before
};

// The command line that runs `argv` held to the permission bits, for root too.
std::vector<std::string> heldToPermissionBits(std::vector<std::string> argv);

} // namespace brenvik::test
