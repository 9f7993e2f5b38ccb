// Named data on Linux: its file names tell letter case apart, and a FIFO or
// an unreadable file under a data path is no data.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <filesystem>
#include <string>

#include "unit/storage_fixture.h"

namespace {

TEST_F(StorageLoad, FileFallbackUsesTheNameUnchanged) {
    writeFile("data/probe.txt", "hello");
    std::size_t size = 77;
    EXPECT_EQ(Storage::load("DATA/PROBE.TXT", size), nullptr);
    EXPECT_EQ(size, 77u);
    unsigned char* buffer = Storage::load("data/probe.txt", size);
    ASSERT_NE(buffer, nullptr);
    EXPECT_EQ(size, 5u);
    EXPECT_STREQ(reinterpret_cast<char*>(buffer), "hello");
    Storage::release(buffer);
}

TEST_F(StorageLoad, FifosAndUnreadableFilesGiveNullAndOnlyTheInfoRecord) {
    std::filesystem::create_directories("data");
    ASSERT_EQ(mkfifo("data/pipe.wav", 0600), 0);  // opening it blocking would hang
    expectNoData("data/pipe.wav");
    writeFile("data/locked.jpg", "secret");
    chmod("data/locked.jpg", 0);
    // Root reads a file of mode 0000.
    if (geteuid() != 0) expectNoData("data/locked.jpg");
}

}  // namespace
