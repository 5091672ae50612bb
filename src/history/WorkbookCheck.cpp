// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkbookCheck.h"

#include <zlib.h>

#include <cstdint>
#include <optional>
#include <string>

namespace brenvik {

namespace {

constexpr std::uint32_t kEndOfDirectory = 0x06054b50;
constexpr std::uint32_t kDirectoryEntry = 0x02014b50;
constexpr std::uint32_t kLocalHeader = 0x04034b50;

// Little-endian fields of the archive; nothing when the field lies outside the bytes.
std::optional<std::uint32_t> field(std::string_view bytes, std::size_t at, int width) {
    if (at > bytes.size() || bytes.size() - at < static_cast<std::size_t>(width))
        return std::nullopt;
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

std::optional<std::size_t> endOfDirectory(std::string_view bytes) {
    if (bytes.size() < 22)
        return std::nullopt;
    // The record is followed by a comment of at most 64 KiB.
    const std::size_t lowest = bytes.size() > 22 + 65535 ? bytes.size() - 22 - 65535 : 0;
    for (std::size_t at = bytes.size() - 22;; --at) {
        if (field(bytes, at, 4) == kEndOfDirectory)
            return at;
        if (at == lowest)
            return std::nullopt;
    }
}

// What a part holds, as far as the checks need it: its whole text when it is small, else its
// beginning and its end. A sheet of a million rows unpacks to hundreds of megabytes, which are
// checked as they come out, never held.
struct Unpacked {
    std::uint32_t crc = 0;
    std::uint64_t size = 0;
    std::string head;
    std::string tail;
};

constexpr std::size_t kKeptEnds = 64 * 1024;

void take(Unpacked& u, std::string_view chunk) {
    u.crc = static_cast<std::uint32_t>(
        crc32(u.crc, reinterpret_cast<const Bytef*>(chunk.data()), static_cast<uInt>(chunk.size())));
    u.size += chunk.size();
    if (u.head.size() < kKeptEnds)
        u.head.append(chunk.substr(0, kKeptEnds - u.head.size()));
    u.tail.append(chunk);
    if (u.tail.size() > 2 * kKeptEnds)
        u.tail.erase(0, u.tail.size() - kKeptEnds);
}

std::optional<Unpacked> unpack(std::string_view data, unsigned method, std::uint32_t size) {
    Unpacked u;
    if (method == 0) {
        if (data.size() != size)
            return std::nullopt;
        take(u, data);
        return u;
    }
    // Deflate packs at most about a thousand to one; a larger claim is a damaged header.
    if (method != 8 || size > data.size() * 1100ull + 1024)
        return std::nullopt;
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    std::string out(64 * 1024, '\0');
    int rc = Z_OK;
    while (rc == Z_OK && u.size <= size) {
        z.next_out = reinterpret_cast<Bytef*>(out.data());
        z.avail_out = static_cast<uInt>(out.size());
        rc = inflate(&z, Z_NO_FLUSH);
        take(u, std::string_view(out.data(), out.size() - z.avail_out));
        if (rc == Z_OK && z.avail_in == 0 && z.avail_out != 0)
            break; // the data ended before the stream did
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END || u.size != size)
        return std::nullopt;
    return u;
}

bool closesItsRoot(const Unpacked& part) {
    const std::string_view head = part.head;
    std::size_t start = 0;
    while ((start = head.find('<', start)) != std::string_view::npos && start + 1 < head.size() &&
           (head[start + 1] == '?' || head[start + 1] == '!'))
        ++start;
    if (start == std::string_view::npos || start + 1 >= head.size())
        return false;
    const std::size_t nameEnd = head.find_first_of(" \t\r\n/>", start + 1);
    if (nameEnd == std::string_view::npos)
        return false;
    const std::string name(head.substr(start + 1, nameEnd - start - 1));
    std::string_view xml = part.tail;
    while (!xml.empty() && (xml.back() == '\n' || xml.back() == '\r' || xml.back() == ' '))
        xml.remove_suffix(1);
    if (part.size == part.tail.size()) {
        const std::size_t rootEnd = xml.find('>', start);
        if (rootEnd == xml.size() - 1 && xml[rootEnd - 1] == '/')
            return true; // an empty root element
    }
    return xml.ends_with("</" + name + ">");
}

bool partIsComplete(std::string_view bytes, std::size_t entry, std::string_view name) {
    const auto method = field(bytes, entry + 10, 2);
    const auto crc = field(bytes, entry + 16, 4);
    const auto packed = field(bytes, entry + 20, 4);
    const auto size = field(bytes, entry + 24, 4);
    const auto local = field(bytes, entry + 42, 4);
    if (!method || !crc || !packed || !size || !local || field(bytes, *local, 4) != kLocalHeader)
        return false;
    const auto localName = field(bytes, *local + 26, 2);
    const auto localExtra = field(bytes, *local + 28, 2);
    if (!localName || !localExtra)
        return false;
    const std::size_t dataStart = *local + 30 + *localName + *localExtra;
    if (dataStart > bytes.size() || bytes.size() - dataStart < *packed)
        return false;
    auto content = unpack(bytes.substr(dataStart, *packed), *method, *size);
    if (!content || content->crc != *crc)
        return false;
    if (name.ends_with(".xml") || name.ends_with(".rels"))
        return closesItsRoot(*content);
    return true;
}

} // namespace

bool workbookIsComplete(std::string_view bytes) {
    const auto end = endOfDirectory(bytes);
    if (!end)
        return false;
    const auto count = field(bytes, *end + 10, 2);
    const auto directory = field(bytes, *end + 16, 4);
    if (!count || !directory || *count == 0)
        return false;
    bool hasSheet = false;
    std::size_t entry = *directory;
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto nameLength = field(bytes, entry + 28, 2);
        const auto extra = field(bytes, entry + 30, 2);
        const auto comment = field(bytes, entry + 32, 2);
        if (field(bytes, entry, 4) != kDirectoryEntry || !nameLength || !extra || !comment ||
            entry + 46 + *nameLength > bytes.size())
            return false;
        const std::string_view name = bytes.substr(entry + 46, *nameLength);
        if (!partIsComplete(bytes, entry, name))
            return false;
        hasSheet = hasSheet || name == "xl/worksheets/sheet1.xml";
        entry += 46 + *nameLength + *extra + *comment;
    }
    return hasSheet;
}

} // namespace brenvik
