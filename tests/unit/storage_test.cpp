// Named data: the embedded table and the file fallback, the same on every
// system.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>

#include "orvo3d/storage.h"
#include "platform/resources.h"
#include "support/sandbox.h"
#include "unit/storage_fixture.h"

namespace {

const unsigned char kTrack[] = "#version 430 core\n";
const unsigned char kMetal[] = {0xFF, 0xD8, 0x00, 0xFF, 0xD9};
const unsigned char kBracket[] = "[";

const Resource kTable[] = {
    {"shaders/track.vert", kTrack, kTrack + sizeof kTrack - 1},
    {"data/metal.jpg", kMetal, kMetal + sizeof kMetal},
    {"data/metal-normal.jpg", kMetal, kMetal + 2},
    {"data/a[b@", kBracket, kBracket + 1},
    {"data/empty.bin", kMetal, kMetal},
};

TEST(Resources, LookupIgnoresTheCaseOfAsciiLettersOnly) {
    struct Case {
        const char* name;
        const Resource* expected;
    };
    const Case cases[] = {
        {"shaders/track.vert", &kTable[0]},
        {"SHADERS/TRACK.VERT", &kTable[0]},
        {"Shaders/Track.Vert", &kTable[0]},
        {"data/metal.jpg", &kTable[1]},
        {"DATA/METAL-NORMAL.JPG", &kTable[2]},
        {"data/A[B@", &kTable[3]},
        {"data/empty.bin", &kTable[4]},
        // Folding must be limited to letters: '{' and '`' are '[' and '@'
        // with the case bit set.
        {"data/a{b@", nullptr},
        {"data/a[b`", nullptr},
        {"shaders/track.ver", nullptr},
        {"shaders/track.vert ", nullptr},
        {"data/metal", nullptr},
        {"./data/metal.jpg", nullptr},
        {"", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(findResource(kTable, c.name), c.expected);
    }
    EXPECT_EQ(findResource(kTable, "data/empty.bin")->size(), 0u);
    EXPECT_EQ(findResource(kTable, "DATA/METAL.JPG")->size(), sizeof kMetal);
}

TEST(Resources, EmbeddedTableHoldsOnlyDataAndShaderPaths) {
    for (const Resource& r : embeddedResources()) {
        SCOPED_TRACE(r.name);
        ASSERT_NE(r.name, nullptr);
        std::string name = r.name;
        EXPECT_TRUE(name.rfind("shaders/", 0) == 0 || name.rfind("data/", 0) == 0);
        EXPECT_LE(r.begin, r.end);
        EXPECT_EQ(findResource(name), &r);
    }
}

TEST_F(StorageLoad, EmbeddedDataIsCopiedWithATerminatingZero) {
    auto table = embeddedResources();
    if (table.empty()) GTEST_SKIP() << "the build carries no embedded data yet";
    for (const Resource& r : table) {
        std::string upper = r.name;
        for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        SCOPED_TRACE(upper);
        std::size_t size = 12345;
        unsigned char* buffer = Storage::load(upper, size);
        ASSERT_NE(buffer, nullptr);
        ASSERT_EQ(size, r.size());
        EXPECT_EQ(std::memcmp(buffer, r.begin, size), 0);
        EXPECT_EQ(buffer[size], 0);
        EXPECT_NE(buffer, r.begin);
        Storage::release(buffer);
    }
    // Served from the table, so no fallback record.
    EXPECT_EQ(countOf(readLog(), "Failed to find resource"), 0);
}

TEST_F(StorageLoad, MissingEntryFallsBackToTheFileAndSaysSo) {
    const std::string bytes("\x00\x01text\xff\x00", 7);
    writeFile("data/probe.bin", bytes);
    std::size_t size = 0;
    unsigned char* buffer = Storage::load("data/probe.bin", size);
    ASSERT_NE(buffer, nullptr);
    ASSERT_EQ(size, bytes.size());
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), size), bytes);
    EXPECT_EQ(buffer[size], 0);
    Storage::release(buffer);

    std::string log = readLog();
    EXPECT_EQ(countOf(log, "INFO ("), 1) << log;
    EXPECT_NE(log.find(" => orvo3d/storage:"), std::string::npos);
    EXPECT_NE(log.find("\nFailed to find resource: data/probe.bin\n\n"), std::string::npos) << log;
    EXPECT_EQ(countOf(log, "ERROR ("), 0);
}

TEST_F(StorageLoad, EmptyFileGivesAOneByteZeroBuffer) {
    writeFile("data/empty.txt", "");
    std::size_t size = 99;
    unsigned char* buffer = Storage::load("data/empty.txt", size);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(buffer[0], 0);
    Storage::release(buffer);
}

TEST_F(StorageLoad, NoDataGivesNullAndOnlyTheInfoRecord) {
    std::filesystem::create_directories("data/folder.jpg");
    for (const char* name : {"data/missing.jpg", "", "data/folder.jpg", "data/", "/"}) expectNoData(name);
}

TEST_F(StorageLoad, QuietLogKeepsTheFallbackSilent) {
    Logger::init(false);
    std::filesystem::remove("message.log");  // the verbose banner of SetUp
    std::size_t size = 0;
    EXPECT_EQ(Storage::load("data/missing.jpg", size), nullptr);
    EXPECT_FALSE(std::filesystem::exists("message.log"));
    Storage::release(nullptr);
}

}  // namespace
