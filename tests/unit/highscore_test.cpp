// The best score in the per-user store, read and written through the
// store's own interface, so the same checks run against the files of Linux
// and the registry of Windows; what is stored is checked byte for byte with
// an RC4 of the test's own and the key's MD5 digest as md5sum gives it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "game/highscore.h"
#include "platform/userstore.h"
#include "support/sandbox.h"
#include "unit/store_fixture.h"

using namespace store;

namespace {

using UserStore::Status;

// The stored value's bytes, or "" when there is none.
std::string storedValue() {
    std::vector<char> buffer(std::size_t{1} << 21);
    std::size_t size = buffer.size();
    if (UserStore::queryValue(kProductKey, "Data", buffer.data(), size) != Status::Ok) return "";
    return std::string(buffer.data(), size);
}

// Stores raw value bytes as another program (or a damaged disk) might have.
void storeRaw(const std::string& bytes) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
    ASSERT_EQ(UserStore::createKey("Orvo", "Vimbrot"), Status::Ok);
    ASSERT_EQ(UserStore::setValue(kProductKey, "Data", bytes.data(), bytes.size()), Status::Ok);
}

struct ScoreCase {
    std::int64_t score;
    std::size_t hexLength;
};

TEST_F(HighScoreStore, EveryScoreReadsBackAsSavedInItsStoredLayout) {
    const ScoreCase cases[] = {
        {0, 76},           {1, 76},           {1234, 82},         {-1, 78},
        {-1234, 84},       {99999, 84},       {INT64_MAX, 112},   {INT64_MIN, 114},
        {INT64_MIN + 1, 114}, {1000000000000000000LL, 112},
    };
    for (const ScoreCase& c : cases) {
        SCOPED_TRACE(c.score);
        HighScore::save(c.score);
        EXPECT_EQ(HighScore::load(report), c.score);

        // Upper-case hex and its NUL, nothing else: data size = hex length + 1.
        const std::string value = storedValue();
        ASSERT_EQ(value.size(), c.hexLength + 1);
        EXPECT_EQ(value.back(), '\0');
        EXPECT_EQ(value.find_first_not_of("0123456789ABCDEF"), c.hexLength);
        EXPECT_EQ(decrypted(value.substr(0, c.hexLength)), kPrefix + std::to_string(c.score));
    }
}

TEST_F(HighScoreStore, ZeroIsStoredAndParsedNotLostToTheLengthTest) {
    HighScore::save(0);
    EXPECT_EQ(storedValue().size(), 77u);
    EXPECT_EQ(decrypted(storedValue().c_str()), kPrefix + "0");
    EXPECT_EQ(HighScore::load(report), 0);
}

TEST_F(HighScoreStore, LowerScoreReplacesTheStoredOne) {
    HighScore::save(5000);
    HighScore::save(12);
    EXPECT_EQ(HighScore::load(report), 12);
}

TEST_F(HighScoreStore, EmptyStoreReadsZeroAndLoadingCreatesNothing) {
    EXPECT_EQ(HighScore::load(report), 0);
    EXPECT_EQ(UserStore::openKey("Orvo"), Status::NotFound);
    EXPECT_EQ(readLog(), "");
}

TEST_F(HighScoreStore, FirstSaveCreatesTheMakerAndProductKeys) {
    HighScore::save(77);
    EXPECT_EQ(UserStore::openKey("Orvo"), Status::Ok);
    EXPECT_EQ(UserStore::openKey(kProductKey), Status::Ok);
    EXPECT_EQ(storedValue(), stored(77));
    EXPECT_EQ(HighScore::load(report), 77);
}

TEST_F(HighScoreStore, ExistingMakerKeyGetsOnlyTheProductKey) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
    ASSERT_EQ(UserStore::setValue("Orvo", "Other", "another product", 16), Status::Ok);

    HighScore::save(31);
    char other[32] = {};
    std::size_t size = sizeof other;
    ASSERT_EQ(UserStore::queryValue("Orvo", "Other", other, size), Status::Ok);
    EXPECT_EQ(std::string(other, size), std::string("another product", 16));
    EXPECT_EQ(HighScore::load(report), 31);
}

TEST_F(HighScoreStore, DecryptedTextMustBeLongerThanItsPrefix) {
    struct Case {
        std::string plaintext;
        std::int64_t expected;
    };
    const Case cases[] = {
        {"", 0},
        {kPrefix.substr(0, 10), 0},
        {kPrefix.substr(0, 36), 0},
        {kPrefix, 0},                  // 37 characters: no number yet
        {kPrefix + "7", 7},            // 38: the shortest that counts
        {std::string(37, 'x') + "42", 42},  // the prefix itself is not compared
        {kPrefix + "abc", 0},          // no number where it should start
        {kPrefix + "  -12xyz", -12},   // read as atoll reads
        {kPrefix + "99999999999999999999", INT64_MAX},  // out of range: the nearest, never undefined
        {kPrefix + "-99999999999999999999", INT64_MIN},
        {kPrefix + "9223372036854775807", INT64_MAX},
        {kPrefix + "-9223372036854775808", INT64_MIN},
        {kPrefix + "0000042", 42},     // leading zeros
        {kPrefix + "42 and then garbage", 42},
        {kPrefix + "+17", 17},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.plaintext);
        storeRaw(hexOf(c.plaintext) + std::string(1, '\0'));
        EXPECT_EQ(HighScore::load(report), c.expected);
    }
}

TEST_F(HighScoreStore, LowerCaseHexDecodesItsLettersAsZeroAndReadsBackWrong) {
    HighScore::save(1234);
    std::string hex = storedValue();
    hex.pop_back();  // the NUL
    ASSERT_NE(hex.find_first_of("ABCDEF"), std::string::npos);

    std::string lower = hex, zeroed = hex;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](char c) { return static_cast<char>(std::tolower(c)); });
    std::replace_if(zeroed.begin(), zeroed.end(), [](char c) { return c >= 'A' && c <= 'F'; }, '0');
    EXPECT_EQ(decrypted(lower), decrypted(zeroed));
    EXPECT_NE(decrypted(lower), kPrefix + "1234");

    storeRaw(lower + std::string(1, '\0'));
    const std::string text = decrypted(lower);
    const std::int64_t expected = std::strlen(text.c_str()) > 37 ? std::strtoll(text.c_str() + 37, nullptr, 10) : 0;
    EXPECT_EQ(HighScore::load(report), expected);
    EXPECT_NE(HighScore::load(report), 1234);
}

// A value cut short (a disk that lost its end) reads as the digits that are
// left: two hex characters per character of text, an odd last one ignored.
TEST_F(HighScoreStore, AValueCutInsideItsDigitsReadsTheDigitsLeft) {
    const std::string good = stored(123456);
    const std::size_t prefixHex = 2 * kPrefix.size();
    const struct {
        std::size_t keep;
        std::int64_t expected;
    } cases[] = {
        {prefixHex + 12, 123456}, {prefixHex + 10, 12345}, {prefixHex + 6, 123}, {prefixHex + 7, 123},
        {prefixHex + 2, 1},       {prefixHex + 1, 0},      {prefixHex, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keep);
        storeRaw(good.substr(0, c.keep));
        EXPECT_EQ(HighScore::load(report), c.expected);
    }
}

// What any system's store can hold that is not a good value. (What only
// Linux's files can hold, folders, FIFOs, links, permissions and a value
// that fills the buffer without a NUL: highscore_posix_test.cpp.)
TEST_F(HighScoreStore, DamagedValuesReadZero) {
    const std::string good = stored(1234);
    struct Case {
        const char* what;
        std::string value;
        std::int64_t expected;
    };
    std::string binary;
    for (int i = 0; i < 300; ++i) binary.push_back(static_cast<char>((i * 97 + 13) & 0xFF));
    const Case cases[] = {
        {"exactly 1000 bytes", good + std::string(1000 - good.size(), '\0'), 1234},
        {"1001 bytes", good + std::string(1001 - good.size(), '\0'), 0},
        {"a megabyte", std::string(1 << 20, 'A'), 0},
        {"empty", "", 0},
        {"truncated to 1 byte", good.substr(0, 1), 0},
        {"truncated to 40 bytes", good.substr(0, 40), 0},
        {"truncated to 75 bytes", good.substr(0, 75), 0},
        // Cut inside the digits, the value is the digits that are left.
        {"cut after three of six digits", stored(123456).substr(0, 2 * (kPrefix.size() + 3)), 123},
        {"not hex", std::string(82, 'Z') + '\0', 0},
        {"binary", binary, 0},
        {"unterminated (no NUL)", good.substr(0, good.size() - 1), 1234},
        {"garbage after the NUL", good + "garbage\x01\xff", 1234},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        clearUserStore();
        storeRaw(c.value);
        EXPECT_EQ(HighScore::load(report), c.expected);
    }
    SCOPED_TRACE("the maker's key without the product's");
    clearUserStore();
    ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
    EXPECT_EQ(HighScore::load(report), 0);
}

TEST_F(HighScoreStore, KeyIsTheMd5DigestOfTheKeyText) {
    const std::vector<unsigned char> key = fromHex(kKeyDigest);
    ASSERT_EQ(key.size(), 16u);

    HighScore::save(1234);
    std::string hex = storedValue();
    hex.pop_back();
    EXPECT_EQ(rc4(key, fromHex(hex)), kPrefix + "1234");
    // And the other way: what is written by hand decrypts through the game.
    const std::string text = kPrefix + "-987";
    std::string handHex;
    for (unsigned char b : rc4(key, std::vector<unsigned char>(text.begin(), text.end()))) {
        handHex += "0123456789ABCDEF"[b / 16];
        handHex += "0123456789ABCDEF"[b % 16];
    }
    storeRaw(handHex + std::string(1, '\0'));
    EXPECT_EQ(HighScore::load(report), -987);
    // The system's cipher steps all succeeded: nothing was recorded.
    EXPECT_EQ(readLog(), "");
}

TEST_F(HighScoreStore, CipherKeepsToItsThousandByteBuffer) {
    // Arbitrary bytes survive the trip; an odd last hex character is ignored.
    std::string bytes;
    for (int i = 1; i < 256; ++i) bytes.push_back(static_cast<char>(i));
    EXPECT_EQ(decrypted(hexOf(bytes)), bytes);
    EXPECT_EQ(decrypted(hexOf("abc") + "F"), "abc");
    // Longer input is cut at the buffer's size instead of running past it.
    EXPECT_EQ(hexOf(std::string(1500, 'q')).size(), 2000u);
    EXPECT_EQ(decrypted(std::string(5000, 'A')).size(), 1000u);
}

TEST_F(HighScoreStore, ValueNamesAreCaseInsensitive) {
    storeRaw(stored(4321));
    for (const char* name : {"DATA", "data", "DaTa"}) {
        char buffer[200] = {};
        std::size_t size = sizeof buffer;
        ASSERT_EQ(UserStore::queryValue(kProductKey, name, buffer, size), Status::Ok) << name;
        EXPECT_EQ(std::string(buffer, size), stored(4321)) << name;
    }
    EXPECT_EQ(HighScore::load(report), 4321);
    // Writing under another spelling replaces the same value.
    HighScore::save(1);
    EXPECT_EQ(storedValue(), stored(1));
    char buffer[200] = {};
    std::size_t size = sizeof buffer;
    ASSERT_EQ(UserStore::queryValue(kProductKey, "dAtA", buffer, size), Status::Ok);
    EXPECT_EQ(std::string(buffer, size), stored(1));
}

TEST_F(UserStoreFolders, ValueLargerThanTheBufferFailsTheRead) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
    // A text value and its NUL, as the game writes them: five bytes.
    ASSERT_EQ(UserStore::setValue("Orvo", "v", "1234", 5), Status::Ok);
    char buffer[8] = {};
    std::size_t size = 4;
    EXPECT_EQ(UserStore::queryValue("Orvo", "v", buffer, size), Status::Failed);
    EXPECT_EQ(size, 4u);
    size = 5;
    EXPECT_EQ(UserStore::queryValue("Orvo", "v", buffer, size), Status::Ok);
    EXPECT_EQ(std::string(buffer, size), std::string("1234", 5));
    EXPECT_EQ(UserStore::queryValue("Orvo", "missing", buffer, size), Status::NotFound);
    EXPECT_EQ(UserStore::queryValue("Nobody/Here", "v", buffer, size), Status::NotFound);
}

TEST_F(UserStoreFolders, NamesCannotLeaveTheirFolder) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
    for (const char* name : {"", ".", "..", "../escape", "a/b", "a\\b", ".hidden"}) {
        EXPECT_EQ(UserStore::setValue("Orvo", name, "x", 1), Status::Failed) << name;
        EXPECT_EQ(UserStore::createKey("Orvo", name), Status::Failed) << name;
    }
    for (const char* key : {"..", "Orvo/..", "/Orvo", "Orvo/", "Orvo//x"}) {
        EXPECT_EQ(UserStore::openKey(key), Status::Failed) << key;
    }
    EXPECT_EQ(UserStore::openKey("escape"), Status::NotFound);
}

// The save under the lock writes the same bytes as a plain save, creates the
// store on a first save, and leaves a greater stored best alone.
TEST_F(HighScoreStore, SaveIfGreaterKeepsTheStoredLayout) {
    EXPECT_EQ(HighScore::saveIfGreater(0, report), 0);
    EXPECT_EQ(UserStore::openKey("Orvo"), Status::NotFound) << "a run that beats nothing makes no store";
    EXPECT_EQ(HighScore::saveIfGreater(1234, report), 0);
    EXPECT_EQ(storedValue(), stored(1234));
    EXPECT_EQ(HighScore::saveIfGreater(99, report), 1234);
    EXPECT_EQ(storedValue(), stored(1234));
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// The value's lock keeps a read and the replace that depends on it together:
// threads that each add one to a stored count under it, many times over,
// lose none of their additions. Each takes its own lock, as each game
// process would.
TEST_F(UserStoreFolders, TheValueLockKeepsReadAndReplaceTogether) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
    ASSERT_EQ(UserStore::setValue("Orvo", "Count", "0", 2), Status::Ok);
    constexpr int kThreads = 4;
    constexpr int kAdditions = 100;
    std::vector<std::thread> threads;
    std::vector<int> failures(kThreads, 0);
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < kAdditions; ++i) {
                UserStore::ValueLock lock("Orvo", "Count");
                char text[32] = {};
                std::size_t size = sizeof text - 1;
                if (!lock.held() || UserStore::queryValue("Orvo", "COUNT", text, size) != Status::Ok) {
                    ++failures[t];
                    continue;
                }
                const std::string next = std::to_string(std::atoi(text) + 1);
                if (UserStore::setValue("Orvo", "Count", next.c_str(), next.size() + 1) != Status::Ok) ++failures[t];
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(failures, std::vector<int>(kThreads, 0));
    char text[32] = {};
    std::size_t size = sizeof text - 1;
    ASSERT_EQ(UserStore::queryValue("Orvo", "Count", text, size), Status::Ok);
    EXPECT_EQ(std::atoi(text), kThreads * kAdditions);
    // Every lock was given back: one taken now is held at once.
    UserStore::ValueLock again("Orvo", "Count");
    EXPECT_TRUE(again.held());
}

}  // namespace
