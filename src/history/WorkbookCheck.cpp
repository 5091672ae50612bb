// SPDX-License-Identifier: GPL-3.0-or-later
#include "WorkbookCheck.h"

#include <unzip.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <string>

namespace brenvik {

namespace {

// The archive is read from the bytes in memory (the file is mapped), through minizip's own
// file functions. minizip takes a read cut short by the end of the file for success unless the
// file reports an error, so that a cut-off archive would read as whole: a short read is one.
struct MemoryArchive {
    std::string_view bytes;
    ZPOS64_T at = 0;
    bool cutShort = false;
};

voidpf ZCALLBACK openArchive(voidpf opaque, const void*, int mode) {
    return (mode & ZLIB_FILEFUNC_MODE_WRITE) != 0 ? nullptr : opaque;
}

uLong ZCALLBACK readArchive(voidpf, voidpf stream, void* buffer, uLong size) {
    auto& archive = *static_cast<MemoryArchive*>(stream);
    const auto n = static_cast<uLong>(std::min<ZPOS64_T>(size, archive.bytes.size() - archive.at));
    std::memcpy(buffer, archive.bytes.data() + archive.at, n);
    archive.at += n;
    archive.cutShort = archive.cutShort || n < size;
    return n;
}

uLong ZCALLBACK writeArchive(voidpf, voidpf, const void*, uLong) {
    return 0;
}

ZPOS64_T ZCALLBACK tellArchive(voidpf, voidpf stream) {
    return static_cast<MemoryArchive*>(stream)->at;
}

long ZCALLBACK seekArchive(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    auto& archive = *static_cast<MemoryArchive*>(stream);
    const ZPOS64_T size = archive.bytes.size();
    const ZPOS64_T base = origin == ZLIB_FILEFUNC_SEEK_SET   ? 0
                          : origin == ZLIB_FILEFUNC_SEEK_CUR ? archive.at
                                                             : size;
    if (offset > size - base)
        return -1;
    archive.at = base + offset;
    return 0;
}

int ZCALLBACK closeArchive(voidpf, voidpf) {
    return 0;
}

int ZCALLBACK archiveError(voidpf, voidpf stream) {
    return static_cast<MemoryArchive*>(stream)->cutShort ? 1 : 0;
}

// What a part holds, as far as the checks need it: its beginning and its end. A sheet of a
// million rows unpacks to hundreds of megabytes, which are checked as they come out, never held.
struct Unpacked {
    std::uint64_t size = 0;
    std::string head;
    std::string tail;
};

constexpr std::size_t kKeptEnds = 64 * 1024;

void take(Unpacked& u, std::string_view chunk) {
    u.size += chunk.size();
    if (u.head.size() < kKeptEnds)
        u.head.append(chunk.substr(0, kKeptEnds - u.head.size()));
    u.tail.append(chunk);
    if (u.tail.size() > 2 * kKeptEnds)
        u.tail.erase(0, u.tail.size() - kKeptEnds);
}

// The current part unpacked to its recorded size and checksum; nothing when it is not.
std::optional<Unpacked> unpack(unzFile zip, const unz_file_info64& info) {
    // Deflate packs at most about a thousand to one; a larger claim is a damaged header.
    if (info.compression_method == 0 ? info.uncompressed_size != info.compressed_size
                                     : info.compression_method != Z_DEFLATED ||
                                           info.uncompressed_size > info.compressed_size * 1100 + 1024)
        return std::nullopt;
    if (unzOpenCurrentFile(zip) != UNZ_OK)
        return std::nullopt;
    Unpacked u;
    std::string out(64 * 1024, '\0');
    int n = 0;
    while ((n = unzReadCurrentFile(zip, out.data(), static_cast<unsigned>(out.size()))) > 0)
        take(u, std::string_view(out.data(), static_cast<std::size_t>(n)));
    // The checksum is compared once the recorded size has been read.
    const int closed = unzCloseCurrentFile(zip);
    if (n < 0 || closed != UNZ_OK || u.size != info.uncompressed_size)
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

// The name of the current part when it is complete.
std::optional<std::string> completePart(unzFile zip) {
    unz_file_info64 info{};
    if (unzGetCurrentFileInfo64(zip, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return std::nullopt;
    std::string name(info.size_filename, '\0');
    if (unzGetCurrentFileInfo64(zip, &info, name.data(), name.size(), nullptr, 0, nullptr, 0) != UNZ_OK)
        return std::nullopt;
    const auto content = unpack(zip, info);
    if (!content || ((name.ends_with(".xml") || name.ends_with(".rels")) && !closesItsRoot(*content)))
        return std::nullopt;
    return name;
}

} // namespace

bool workbookIsComplete(std::string_view bytes) {
    MemoryArchive archive{bytes};
    zlib_filefunc64_def io{openArchive, readArchive,  writeArchive, tellArchive,
                           seekArchive, closeArchive, archiveError, &archive};
    const std::unique_ptr<void, decltype(&unzClose)> zip(unzOpen2_64("workbook", &io), &unzClose);
    unz_global_info64 global{};
    if (!zip || unzGetGlobalInfo64(zip.get(), &global) != UNZ_OK || global.number_entry == 0)
        return false;
    bool hasSheet = false;
    for (int at = unzGoToFirstFile(zip.get()); at != UNZ_END_OF_LIST_OF_FILE;
         at = unzGoToNextFile(zip.get())) {
        const auto name = at == UNZ_OK ? completePart(zip.get()) : std::nullopt;
        if (!name)
            return false;
        hasSheet = hasSheet || *name == "xl/worksheets/sheet1.xml";
    }
    return hasSheet;
}

} // namespace brenvik
