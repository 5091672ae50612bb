// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileSeal.h"

#include "Platform.h"

#include <array>
#include <atomic>
#include <bit>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace brenvik {

namespace {

constexpr std::uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr std::uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr std::uint64_t kPrime3 = 0x165667B19E3779F9ull;
constexpr std::uint64_t kPrime4 = 0x85EBCA77C2B2AE63ull;
constexpr std::uint64_t kPrime5 = 0x27D4EB2F165667C5ull;

std::uint64_t read64(const unsigned char* p) {
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = std::byteswap(v);
    return v;
}

std::uint32_t read32(const unsigned char* p) {
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    if constexpr (std::endian::native == std::endian::big)
        v = std::byteswap(v);
    return v;
}

std::uint64_t mixed(std::uint64_t lane, std::uint64_t input) {
    return std::rotl(lane + input * kPrime2, 31) * kPrime1;
}

std::uint64_t merged(std::uint64_t hash, std::uint64_t lane) {
    return (hash ^ mixed(0, lane)) * kPrime1 + kPrime4;
}

// The first line of a seal file; the number goes up should its layout ever change.
constexpr std::string_view kSealTitle = "brenvik3d-seal 1";
// A seal file is a line or two; anything longer is not one.
constexpr std::size_t kLongestSeal = 256;

} // namespace

void ContentHash::addStripe(const unsigned char* p) {
    for (int i = 0; i < 4; ++i)
        m_lanes[i] = mixed(m_lanes[i], read64(p + 8 * i));
}

void ContentHash::add(std::string_view bytes) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t size = bytes.size();
    m_total += size;
    if (m_pendingSize > 0) {
        const std::size_t take = std::min(size, sizeof m_pending - m_pendingSize);
        std::memcpy(m_pending + m_pendingSize, p, take);
        m_pendingSize += take;
        p += take;
        size -= take;
        if (m_pendingSize < sizeof m_pending)
            return;
        addStripe(m_pending);
        m_pendingSize = 0;
    }
    for (; size >= 32; p += 32, size -= 32)
        addStripe(p);
    std::memcpy(m_pending, p, size);
    m_pendingSize = size;
}

std::uint64_t ContentHash::value() const {
    std::uint64_t h;
    if (m_total >= 32) {
        h = std::rotl(m_lanes[0], 1) + std::rotl(m_lanes[1], 7) + std::rotl(m_lanes[2], 12) +
            std::rotl(m_lanes[3], 18);
        for (const std::uint64_t lane : m_lanes)
            h = merged(h, lane);
    } else {
        h = kPrime5;
    }
    h += m_total;
    const unsigned char* p = m_pending;
    std::size_t size = m_pendingSize;
    for (; size >= 8; p += 8, size -= 8)
        h = std::rotl(h ^ mixed(0, read64(p)), 27) * kPrime1 + kPrime4;
    if (size >= 4) {
        h = std::rotl(h ^ (std::uint64_t{read32(p)} * kPrime1), 23) * kPrime2 + kPrime3;
        p += 4;
        size -= 4;
    }
    for (; size > 0; ++p, --size)
        h = std::rotl(h ^ (std::uint64_t{*p} * kPrime5), 11) * kPrime1;
    h ^= h >> 33;
    h *= kPrime2;
    h ^= h >> 29;
    h *= kPrime3;
    h ^= h >> 32;
    return h;
}

std::filesystem::path sealFileOf(const std::filesystem::path& database) {
    auto seal = database;
    seal += "-seal";
    return seal;
}

std::optional<FileSeal> sealOf(const std::filesystem::path& file) {
    // Read, not mapped: a file that shrinks while it is read must not stop the program.
    auto opened = SystemFile::open(file, SystemFile::Open::ReadNoWait);
    if (!opened || opened->status().kind != FileKind::Regular)
        return std::nullopt;
    ContentHash hash;
    std::vector<char> buffer(1 << 18);
    FileSeal seal;
    for (;;) {
        const auto n = opened->read(buffer);
        if (!n)
            return std::nullopt;
        if (*n == 0)
            break;
        hash.add(std::string_view(buffer.data(), *n));
        seal.size += static_cast<long long>(*n);
    }
    seal.hash = hash.value();
    return seal;
}

std::optional<FileSeal> recordedSeal(const std::filesystem::path& database) {
    auto opened = SystemFile::open(sealFileOf(database), SystemFile::Open::ReadNoWait);
    if (!opened || opened->status().kind != FileKind::Regular)
        return std::nullopt;
    std::array<char, kLongestSeal> buffer{};
    std::size_t filled = 0;
    while (filled < buffer.size()) {
        const auto n = opened->read(std::span(buffer).subspan(filled));
        if (!n)
            return std::nullopt;
        if (*n == 0)
            break;
        filled += *n;
    }
    const std::string text(buffer.data(), filled);
    long long size = -1;
    unsigned long long hash = 0;
    char end = 0;
    if (!text.starts_with(kSealTitle) ||
        std::sscanf(text.c_str() + kSealTitle.size(), " size %lld xxh64 %16llx%c", &size, &hash, &end) != 3 ||
        end != '\n' || size < 0)
        return std::nullopt;
    return FileSeal{size, hash};
}

bool recordSeal(const std::filesystem::path& database, const FileSeal& seal) {
    char text[kLongestSeal];
    const int length =
        std::snprintf(text, sizeof text, "%.*s\nsize %lld xxh64 %016" PRIx64 "\n",
                      static_cast<int>(kSealTitle.size()), kSealTitle.data(), seal.size, seal.hash);
    // Named as the program's other temporary files, so that one left by a kill is swept away.
    static std::atomic<std::uint64_t> counter{0};
    static const std::uint64_t seed = (std::uint64_t{std::random_device{}()} << 32) ^ processId();
    char name[40];
    std::snprintf(name, sizeof name, ".brenvik3d-%016" PRIx64 ".tmp",
                  static_cast<std::uint64_t>(seed + counter.fetch_add(1) * 0x9E3779B97F4A7C15ull));
    const auto temporary = database.parent_path() / name;
    auto file = SystemFile::open(temporary, SystemFile::Open::CreateNew);
    if (!file)
        return false;
    // Locked while it is written, as every temporary of the program: a sweep leaves it alone.
    file->lock(false);
    const bool written = file->write(std::string_view(text, static_cast<std::size_t>(length))) == 0 &&
                         file->close() == 0 && replaceFile(temporary, sealFileOf(database)) == 0;
    if (!written) {
        std::error_code ec;
        std::filesystem::remove(temporary, ec);
    }
    return written;
}

void removeSeal(const std::filesystem::path& database) {
    std::error_code ec;
    std::filesystem::remove(sealFileOf(database), ec);
}

bool matchesSeal(const std::filesystem::path& database) {
    const auto recorded = recordedSeal(database);
    if (!recorded)
        return false;
    // A file of another size cannot match: it is not read.
    if (fileStatus(database).size != recorded->size)
        return false;
    return sealOf(database) == recorded;
}

} // namespace brenvik
