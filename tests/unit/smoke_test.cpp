#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <regex>
#include <string>

#include "orvo3d/hash.h"
#include "support/sandbox.h"

// Uniform locations are cached by the CRC-32 of the name alone, so two names
// the game looks up with the same key would read each other's location. Every
// UNIFORM("...") in the game's and the engine's sources must have its own key.
TEST(Hash, TheGamesUniformKeysAreDistinct) {
    const std::regex call(R"re(UNIFORM\("([A-Za-z0-9_]+)"\))re");
    std::map<std::uint32_t, std::string> names;
    int calls = 0;
    for (const char* dir : {"game", "orvo3d"}) {
        for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::path(VIMBROT_SOURCE_DIR) / dir)) {
            const std::string text = readFile(entry.path());
            for (std::sregex_iterator it(text.begin(), text.end(), call), end; it != end; ++it) {
                const std::string name = (*it)[1];
                ++calls;
                auto [known, added] = names.emplace(crc32(name), name);
                EXPECT_EQ(known->second, name) << "same key " << std::hex << known->first;
            }
        }
    }
    EXPECT_GE(calls, 18) << "the sources were not found";
    EXPECT_GE(names.size(), 18u);
}
