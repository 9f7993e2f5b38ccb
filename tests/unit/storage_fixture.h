#pragma once
// What the storage tests of every system share: a fresh working directory's
// data folder and a verbose log, so the fallback's INFO record shows.

#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <string>

#include "orvo3d/log.h"
#include "orvo3d/storage.h"
#include "support/sandbox.h"

class StorageLoad : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all("message.log");
        std::filesystem::remove_all("data");
        Logger::init(true);
    }
    void TearDown() override { Logger::init(false); }
};

// Nothing usable under the name: an INFO record, null, and size untouched.
inline void expectNoData(const char* name) {
    SCOPED_TRACE(std::string("name: \"") + name + "\"");
    std::filesystem::remove("message.log");
    std::size_t size = 4242;
    unsigned char* buffer = Storage::load(name, size);
    EXPECT_EQ(buffer, nullptr);
    Storage::release(buffer);
    EXPECT_EQ(size, 4242u);
    std::string log = readLog();
    EXPECT_EQ(countOf(log, "INFO ("), 1) << log;
    EXPECT_EQ(countOf(log, "ERROR ("), 0) << log;
    EXPECT_NE(log.find(std::string("\nFailed to find resource: ") + name + "\n\n"), std::string::npos) << log;
}
