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

std::optional<std::string> unpack(std::string_view data, unsigned method, std::uint32_t size) {
    if (method == 0)
        return data.size() == size ? std::optional(std::string(data)) : std::nullopt;
    // Deflate packs at most about a thousand to one; a larger claim is a damaged header.
    if (method != 8 || size > data.size() * 1100ull + 1024)
        return std::nullopt;
    std::string out(size, '\0');
    z_stream z{};
    if (inflateInit2(&z, -MAX_WBITS) != Z_OK)
        return std::nullopt;
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    z.avail_in = static_cast<uInt>(data.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = inflate(&z, Z_FINISH);
    const bool whole = rc == Z_STREAM_END && z.total_out == size;
    inflateEnd(&z);
    return whole ? std::optional(std::move(out)) : std::nullopt;
}

bool closesItsRoot(std::string_view xml) {
    std::size_t start = 0;
    while ((start = xml.find('<', start)) != std::string_view::npos && start + 1 < xml.size() &&
           (xml[start + 1] == '?' || xml[start + 1] == '!'))
        ++start;
    if (start == std::string_view::npos || start + 1 >= xml.size())
        return false;
    const std::size_t nameEnd = xml.find_first_of(" \t\r\n/>", start + 1);
    if (nameEnd == std::string_view::npos)
        return false;
    const std::string name(xml.substr(start + 1, nameEnd - start - 1));
    while (!xml.empty() && (xml.back() == '\n' || xml.back() == '\r' || xml.back() == ' '))
        xml.remove_suffix(1);
    const std::size_t rootEnd = xml.find('>', start);
    if (rootEnd == xml.size() - 1 && xml[rootEnd - 1] == '/')
        return true; // an empty root element
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
    if (!content)
        return false;
    const auto sum =
        crc32(0L, reinterpret_cast<const Bytef*>(content->data()), static_cast<uInt>(content->size()));
    if (sum != *crc)
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
