// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Platform.h"

#include <filesystem>
#include <utility>

namespace brenvik {

// The file in the data folder whose lock says which program may change the folder.
inline constexpr const char* kLockFile = "brenvik3d.lock";

enum class LockHolder { Window, Companion };

// One program at a time changes a data folder. The lock is the kernel's advisory lock on
// kLockFile, so it ends with the process that holds it however that process ends: a lock left
// by a killed program is simply taken. The file itself stays; it is never a sign of anything.
class FolderLock {
public:
    // Takes the lock of `folder` for `holder`, without waiting. Fails with ErrorCode::Busy, and a
    // message naming the folder and the kind of program that holds it, when another one does.
    // In a folder where the lock file cannot be made, nothing else can be written either: the
    // lock is then not held (held() false) and the history can only be read.
    static Result<FolderLock> take(const std::filesystem::path& folder, LockHolder holder);

    FolderLock() = default;

    bool held() const { return m_file.isOpen(); }

private:
    explicit FolderLock(SystemFile file) : m_file(std::move(file)) {}
    // Closing the only handle of the open file releases the lock.
    SystemFile m_file;
};

} // namespace brenvik
