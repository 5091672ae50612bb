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
    static const std::uint64_t seed =
        (std::uint64_t{std::random_device{}()} << 32) ^ std::random_device{}() ^ processId();
    const std::uint64_t n = seed + counter.fetch_add(1) * 0x9E3779B97F4A7C15ull;
    std::array<char, kTemporaryHexDigits + 1> hex{};
    std::snprintf(hex.data(), hex.size(), "%016llx", static_cast<unsigned long long>(n));
    std::string name(kTemporaryPrefix);
    name += hex.data();
    name += kTemporarySuffix;
    return target.parent_path() / name;
}

} // namespace

std::filesystem::path utf8Path(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

PendingFile::PendingFile(std::filesystem::path target, std::filesystem::path temporary, SystemFile file,
                         SystemFile lock)
    : m_target(std::move(target)), m_temporary(std::move(temporary)), m_file(std::move(file)),
      m_lock(std::move(lock)) {}

PendingFile::PendingFile(PendingFile&& other) noexcept
    : m_target(std::move(other.m_target)), m_temporary(std::move(other.m_temporary)),
      m_file(std::move(other.m_file)), m_lock(std::move(other.m_lock)), m_flushed(other.m_flushed),
      m_committed(other.m_committed) {
    other.m_committed = true; // the moved-from object owns nothing to clean up
}

PendingFile::~PendingFile() {
    m_file.close();
    if (!m_committed) {
        std::error_code ec;
        std::filesystem::remove(m_temporary, ec);
    }
}

Result<PendingFile> PendingFile::create(const std::filesystem::path& target) {
    if (target.filename().empty())
        return fail(ErrorCode::Invalid, "文件名 " + shownPath(target) + " 无效。");
    int error = 0;
    for (int attempt = 0; attempt < 16; ++attempt) {
        auto temporary = temporaryNameFor(target);
        auto file = SystemFile::open(temporary, SystemFile::Open::CreateNew);
        if (!file) {
            error = file.error();
            if (error != EEXIST)
                break;
            continue;
        }
        // A sweep may have found the new file before it was locked; it then removed it, and the
        // lock comes once the sweep let go, on a file no longer in the folder: take another.
        const int locked = file->lock(true);
        auto lock = locked == 0 ? file->duplicate() : std::expected<SystemFile, int>(std::unexpected(locked));
        if (lock && file->status().links > 0)
            return PendingFile(target, std::move(temporary), std::move(*file), std::move(*lock));
        error = lock ? ENOENT : lock.error();
    }
    return fail(ErrorCode::Io, "无法写入文件 " + shownPath(target) + "：" + reason(error) + "。");
}

Error PendingFile::failure(std::string_view what, int error) const {
    std::string message(what);
    message += shownPath(m_target) + " 时出错：" + reason(error) + "，原有文件未改动。";
    return Error{ErrorCode::Io, std::move(message)};
}

Result<void> PendingFile::write(std::string_view bytes) {
    if (const int error = m_file.write(bytes); error != 0)
        return std::unexpected(failure("写入文件 ", error));
    return {};
}

Result<void> PendingFile::closeFile() {
    // A full disk may show only here, when the data is forced out of the cache.
    const int syncError = m_file.sync();
    const int closeError = m_file.close();
    if (syncError != 0)
        return std::unexpected(failure("写入文件 ", syncError));
    if (closeError != 0)
        return std::unexpected(failure("写入文件 ", closeError));
    return {};
}

Result<void> PendingFile::flush() {
    if (m_flushed)
        return {};
    if (!m_file.isOpen())
        return std::unexpected(failure("写入文件 ", EBADF));
    if (auto closed = closeFile(); !closed)
        return closed;
    m_flushed = true;
    return {};
}

Result<void> PendingFile::commit() {
    if (auto flushed = flush(); !flushed)
        return flushed;
    if (const int error = replaceFile(m_temporary, m_target); error != 0)
        return std::unexpected(failure("替换文件 ", error));
    m_committed = true;
    m_lock.close();
    // The rename itself survives a power cut.
    syncFolder(m_target.parent_path());
    return {};
}

namespace {

// Bytes are handed to the system in pieces of this size: an export of a million lines is a few
// hundred writes, not a million.
constexpr std::size_t kOutputBufferBytes = 64 * 1024;
// As the system itself gives up on a chain of links.
constexpr int kMostLinks = 40;

std::string streamReason(int error) {
    return error == EPIPE ? std::string("读取的一方已关闭") : reason(error);
}

// What is at the end of the links `target` names (Missing when no file is there yet). The path
// comes back in `end`.
Result<FileKind> followLinks(const std::filesystem::path& target, std::filesystem::path& end) {
    end = target;
    for (int links = 0;; ++links) {
        const FileStatus info = linkStatus(end);
        if (info.error != 0)
            return fail(ErrorCode::Io,
                        "无法写入文件 " + shownPath(target) + "：" + reason(info.error) + "。");
        if (info.kind != FileKind::Link)
            return info.kind;
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
      m_pending(std::move(other.m_pending)), m_stream(std::move(other.m_stream)),
      m_buffer(std::move(other.m_buffer)) {
    other.m_pending.reset();
}

Result<OutputFile> OutputFile::open(const std::filesystem::path& target, WhenNoReader noReader) {
    OutputFile out;
    out.m_shown = shownPath(target);
    std::filesystem::path end;
    auto found = followLinks(target, end);
    if (!found)
        return std::unexpected(found.error());
    out.m_target = end;
    switch (*found) {
    case FileKind::Directory:
        return std::unexpected(refusedKind(target, "文件夹"));
    case FileKind::Socket:
        return std::unexpected(refusedKind(target, "套接字"));
    case FileKind::BlockDevice:
        return std::unexpected(refusedKind(target, "块设备（磁盘）"));
    case FileKind::Fifo:
    case FileKind::Device: {
        const bool wait = *found == FileKind::Device || noReader == WhenNoReader::Wait;
        auto stream =
            SystemFile::open(end, wait ? SystemFile::Open::WriteStream : SystemFile::Open::WriteStreamNoWait);
        if (!stream) {
            if (stream.error() == ENXIO)
                return fail(ErrorCode::Io, "没有程序在读取 " + shownPath(target) + "，未写入。");
            return fail(ErrorCode::Io,
                        "无法写入 " + shownPath(target) + "：" + reason(stream.error()) + "。");
        }
        out.m_stream = std::move(*stream);
        return out;
    }
    default:
        break;
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
    out.m_stream = SystemFile::standardOutput();
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
    const int error = m_stream.write(m_buffer);
    m_buffer.clear();
    if (error != 0)
        return std::unexpected(failure(error));
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
    if (const int error = m_stream.close(); error != 0)
        return std::unexpected(failure(error));
    return {};
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
    auto in = SystemFile::open(source, SystemFile::Open::Read);
    if (!in)
        return fail(ErrorCode::Io, "无法打开文件 " + shownPath(source) + "：" + reason(in.error()) + "。");
    auto pending = PendingFile::create(target);
    if (!pending)
        return std::unexpected(pending.error());
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const auto n = in->read(buffer);
        if (!n)
            return fail(ErrorCode::Io,
                        "读取文件 " + shownPath(source) + " 时出错：" + reason(n.error()) + "。");
        if (*n == 0)
            break;
        if (auto written = pending->write(std::string_view(buffer.data(), *n)); !written)
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
    auto opened = SystemFile::open(file, SystemFile::Open::ReadNoFollow);
    if (!opened || opened->lock(false) != 0)
        return false;
    const FileStatus held = opened->status();
    const FileStatus named = linkStatus(file);
    std::error_code ec;
    const bool abandoned = held.error == 0 && named.error == 0 && named.kind != FileKind::Missing &&
                           held.node == named.node && held.device == named.device &&
                           std::filesystem::remove(file, ec);
    // A history built under a temporary name (a restore) may have left its log and seal beside it.
    if (abandoned)
        for (const char* suffix : {"-wal", "-shm", "-journal", "-seal"})
            std::filesystem::remove(file.native() + suffix, ec);
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
