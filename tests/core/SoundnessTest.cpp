// SPDX-License-Identifier: GPL-3.0-or-later
// The proof that a history file is sound: its seal, and the whole check when the seal does not hold.
#include "FileSeal.h"
#include "HistoryStore.h"
#include "SampleHistory.h"
#include "TestFolder.h"

#include <SQLiteCpp/Database.h>
#include <gtest/gtest.h>

#include <random>
#include <string>

using namespace brenvik;
using brenvik::test::TestFolder;

// The reference values of XXH64 (seed 0), and the same hash however the bytes are handed over.
TEST(ContentHash, AgreesWithTheReferenceInPiecesOfAnySize) {
    const std::vector<std::pair<std::string, std::uint64_t>> known = {
        {"", 0xEF46DB3751D8E999ull},
        {"a", 0xD24EC4F1A98C6E5Bull},
        {"abc", 0x44BC2CF5AD770999ull},
        {"Nobody inspects the spammish repetition", 0xFBCEA83C8A378BF1ull},
    };
    for (const auto& [text, value] : known) {
        ContentHash h;
        h.add(text);
        EXPECT_EQ(h.value(), value) << text;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 50; ++round) {
        std::string bytes(random() % 3000, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        ContentHash whole;
        whole.add(bytes);
        ContentHash pieces;
        for (std::size_t at = 0; at < bytes.size();) {
            const std::size_t n = std::min<std::size_t>(random() % 70, bytes.size() - at);
            pieces.add(std::string_view(bytes).substr(at, n));
            at += n;
        }
        EXPECT_EQ(pieces.value(), whole.value()) << bytes.size() << " bytes";
        if (!bytes.empty()) {
            bytes[random() % bytes.size()] ^= 0x10;
            ContentHash flipped;
            flipped.add(bytes);
            EXPECT_NE(flipped.value(), whole.value());
        }
    }
}

// Every change seals the file; a reader of a sealed file knows it sound without the whole check,
// and a file whose bytes differ from its seal, even with its time kept, is checked whole.
TEST(Seal, ProvesTheFileSoundUntilAByteChanges) {
    TestFolder dir;
    const auto file = dir / kDatabaseFile;
    test::writeDatabase(dir.path(), test::sampleDraws("fc3d-history.txt"));
    {
        auto store = HistoryStore::open(file);
        ASSERT_TRUE(store);
        const DrawLine typed{2026225, {1, 2, 3}};
        ASSERT_TRUE((*store)->appendDraws(std::span(&typed, 1), 1));
        EXPECT_TRUE(matchesSeal(file)) << "sealed right after the change, before the store closes";
    }
    EXPECT_TRUE(matchesSeal(file)) << "closing does not change the sealed bytes";
    auto reader = HistoryStore::open(file, Game::Fc3d, HistoryStore::Access::Read);
    ASSERT_TRUE(reader);
    EXPECT_TRUE((*reader)->checkedSound()) << "a sealed file needs no check";
    reader->reset();

    // A digit no writer stores, written as a foreign tool writes it, with the file's time put back.
    const auto time = std::filesystem::last_write_time(file);
    SQLite::Database(file, SQLite::OPEN_READWRITE).exec("UPDATE Lishi SET L1A = 'x' WHERE SQQH = 2026225");
    std::filesystem::last_write_time(file, time);
    EXPECT_FALSE(matchesSeal(file));
    auto again = HistoryStore::open(file, Game::Fc3d, HistoryStore::Access::Read);
    ASSERT_TRUE(again);
    EXPECT_FALSE((*again)->checkedSound());
    const auto verdict = (*again)->requireSound();
    ASSERT_FALSE(verdict);
    EXPECT_EQ(verdict.error().code, ErrorCode::Damaged);
    EXPECT_NE(verdict.error().message.find("第 2026225 期"), std::string::npos) << verdict.error().message;
}
