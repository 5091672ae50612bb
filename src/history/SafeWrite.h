// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "Error.h"
#include "Platform.h"

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace brenvik {

// A path from UTF-8 text (file names the program builds, such as the text export's).
std::filesystem::path utf8Path(std::string_view text);

// A file being written under a temporary name in the folder of its target. Only commit() puts
// it in the target's place, and only once it is complete and on the disk; until then the
// target keeps its earlier content whatever happens to the process or the disk. A pending file
// that is never committed is removed. While it lives, the temporary carries the kernel's lock,
// which dies with the process: a temporary without it was left by a writer that was killed.
class PendingFile {
public:
    // Creates the empty temporary file beside `target`.
    static Result<PendingFile> create(const std::filesystem::path& target);

    PendingFile(PendingFile&& other) noexcept;
    PendingFile& operator=(PendingFile&&) = delete;
    PendingFile(const PendingFile&) = delete;
    PendingFile& operator=(const PendingFile&) = delete;
    ~PendingFile();

    const std::filesystem::path& target() const { return m_target; }
    const std::filesystem::path& temporary() const { return m_temporary; }

    // Appends to the temporary file.
    Result<void> write(std::string_view bytes);
    // Forces the temporary file to the disk and closes it, so that a full disk shows here;
    // nothing more can be written to it.
    Result<void> flush();
    // Flushes the temporary file (unless that was done) and renames it over the target.
    Result<void> commit();

private:
    PendingFile(std::filesystem::path target, std::filesystem::path temporary, SystemFile file,
                SystemFile lock);
    Result<void> closeFile();
    Error failure(std::string_view what, int error) const;

    std::filesystem::path m_target;
    std::filesystem::path m_temporary;
    SystemFile m_file;
    SystemFile m_lock; // holds the lock until the temporary is renamed or removed
    bool m_flushed = false;
    bool m_committed = false;
};

// Where a file the program writes goes, as on any Unix system. A regular file, or a name that is
// not there yet, is written under a temporary name beside it and renamed over it once complete,
// so a half-written file never replaces a good one. A symbolic link is followed to the file it
// finally names, which is replaced in the same way, so the link stays a link. A FIFO, a terminal
// or another character device, and the standard output, take the bytes as they come: nothing is
// renamed over them. A folder, a socket and a block device are refused.
class OutputFile {
public:
    // What opening a FIFO that no program reads does: wait for a reader, as a command on a
    // terminal does, or fail at once, as a window that must not hang does.
    enum class WhenNoReader { Wait, Fail };

    // The file `target` names.
    static Result<OutputFile> open(const std::filesystem::path& target,
                                   WhenNoReader noReader = WhenNoReader::Fail);
    // The standard output of the process, whatever it is.
    static OutputFile standardOutput();

    OutputFile(OutputFile&& other) noexcept;
    OutputFile& operator=(OutputFile&&) = delete;

    // The file that is replaced or written: the end of a symbolic link, else the name given.
    const std::filesystem::path& target() const { return m_target; }
    // How the messages name it: the name given, "标准输出" for the standard output.
    const std::string& shownName() const { return m_shown; }
    // The temporary file being written in the place of a regular one; none when the bytes go
    // straight to their target.
    const std::filesystem::path* temporary() const { return m_pending ? &m_pending->temporary() : nullptr; }

    Result<void> write(std::string_view bytes);
    // Writes what is still held back and, for a regular file, puts the complete file in place.
    // Without it nothing replaces the target.
    Result<void> commit();

private:
    OutputFile() = default;
    Result<void> flushBuffer();
    Error failure(int error) const;

    std::filesystem::path m_target;
    std::string m_shown;
    std::optional<PendingFile> m_pending; // a regular file
    SystemFile m_stream;                  // a stream: a FIFO, a device or the standard output
    std::string m_buffer;
};

// Replaces `target` by a file holding `content`; on failure the old file stays as it was.
Result<void> writeFileSafely(const std::filesystem::path& target, std::string_view content);

// Replaces `target` by a complete copy of `source`; on failure the old file stays as it was.
Result<void> copyFileSafely(const std::filesystem::path& source, const std::filesystem::path& target);

// Removes the temporary files killed writers left in `folder` and returns how many:
// ".brenvik3d-<16 hex digits>.tmp" that no living writer holds locked, and those of earlier
// versions ("<target>.tmp.<n>.<8 hex digits>", which carry no lock) once they are older than
// `age`.
int removeAbandonedTemporaries(const std::filesystem::path& folder, std::chrono::seconds age);

} // namespace brenvik
