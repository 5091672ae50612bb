// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

namespace brenvik {

// A 64-bit hash of a run of bytes (XXH64, seed 0), given them in pieces of any size: fast enough
// to read a file of a history at the speed of memory, and changed by any change of its bytes
// with near certainty. It proves nothing against a forger, only against damage.
class ContentHash {
public:
    void add(std::string_view bytes);
    std::uint64_t value() const;

private:
    void addStripe(const unsigned char* p);

    std::uint64_t m_lanes[4] = {0x9E3779B185EBCA87ull + 0xC2B2AE3D27D4EB4Full, 0xC2B2AE3D27D4EB4Full, 0,
                                0 - 0x9E3779B185EBCA87ull};
    unsigned char m_pending[32] = {};
    std::size_t m_pendingSize = 0;
    std::uint64_t m_total = 0;
};

// What a history file held when it was last known sound: its size and the hash of its bytes.
struct FileSeal {
    long long size = 0;
    std::uint64_t hash = 0;
    bool operator==(const FileSeal&) const = default;
};

// The file beside a history database that holds its seal ("kestrel3D.mdb-seal").
std::filesystem::path sealFileOf(const std::filesystem::path& database);

// The seal of `file` as it lies now; nothing when it cannot be read whole.
std::optional<FileSeal> sealOf(const std::filesystem::path& file);

// The seal recorded beside `database`; nothing when there is none or it cannot be read.
std::optional<FileSeal> recordedSeal(const std::filesystem::path& database);

// Records `seal` beside `database` under a temporary name and one rename, so that a reader finds
// the old seal or the new one. False when it could not be written: nothing depends on a seal but
// the time a reader saves, as a file that does not match its seal is checked whole.
bool recordSeal(const std::filesystem::path& database, const FileSeal& seal);

// Removes the seal beside `database`, if there is one.
void removeSeal(const std::filesystem::path& database);

// Whether `database` holds exactly the bytes its recorded seal describes.
bool matchesSeal(const std::filesystem::path& database);

} // namespace brenvik
