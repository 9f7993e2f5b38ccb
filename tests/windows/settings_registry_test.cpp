// The remembered settings on Windows: two text values of the game's
// registry key, beside the best score. (What every system shares is in
// tests/unit/settings_test.cpp.)
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "game/commandline.h"
#include "game/highscore.h"
#include "platform/settings.h"
#include "platform/userstore.h"
#include "support/sandbox.h"

namespace {

using UserStore::Status;

constexpr const char* kKey = "Orvo/Vimbrot";

class SettingsRegistry : public testing::Test {
protected:
    void SetUp() override {
        clearUserStore();
        std::filesystem::remove("message.log");
    }
    void TearDown() override { clearUserStore(); }

    static std::string value(const char* name) {
        char text[64] = {};
        std::size_t size = sizeof text;
        if (UserStore::queryValue(kKey, name, text, size) != Status::Ok) return "(none)";
        return std::string(text, size);
    }
    static void store(const char* name, const std::string& bytes) {
        ASSERT_EQ(UserStore::createKey("", "Orvo"), Status::Ok);
        ASSERT_EQ(UserStore::createKey("Orvo", "Vimbrot"), Status::Ok);
        ASSERT_EQ(UserStore::setValue(kKey, name, bytes.data(), bytes.size()), Status::Ok);
    }
};

TEST_F(SettingsRegistry, EachChoiceIsATextValueBesideTheBestScore) {
    HighScore::save(4321);
    ASSERT_EQ(changeSetting(SettingKey::Fullscreen, true), "");
    EXPECT_EQ(value("Fullscreen"), std::string("true", 5));
    EXPECT_EQ(value("Mute"), "(none)") << "a change writes its own value alone";
    ASSERT_EQ(changeSetting(SettingKey::Mute, false), "");
    EXPECT_EQ(value("Mute"), std::string("false", 6));
    HighScore::ReadReport report;
    EXPECT_EQ(HighScore::load(report), 4321);
    ASSERT_EQ(changeSetting(SettingKey::Fullscreen, false), "");
    ASSERT_EQ(changeSetting(SettingKey::Mute, true), "");
    EXPECT_EQ(value("FULLSCREEN"), std::string("false", 6));
    EXPECT_EQ(value("mute"), std::string("true", 5));
    EXPECT_EQ(HighScore::load(report), 4321);
}

// A value that is neither "true" nor "false", or too large to be one: the
// defaults for both, one record naming the value, and the best score kept.
TEST_F(SettingsRegistry, BadValuesGiveTheDefaultsAndOneRecord) {
    const struct {
        const char* name;
        std::string bytes;
        const char* reason;
    } cases[] = {
        {"Fullscreen", std::string("yes", 4), "neither true nor false"},
        {"Mute", std::string("TRUE", 5), "neither true nor false"},
        {"Mute", "", "neither true nor false"},
        {"Fullscreen", std::string(100, 't'), "cannot read"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name + (": " + c.bytes.substr(0, 8)));
        clearUserStore();
        std::filesystem::remove("message.log");
        HighScore::save(4321);
        ASSERT_EQ(changeSetting(SettingKey::Fullscreen, true), "");
        ASSERT_EQ(changeSetting(SettingKey::Mute, true), "");
        store(c.name, c.bytes);

        Settings run = settingsForRun({});
        EXPECT_FALSE(run.fullscreen);
        EXPECT_FALSE(run.mute);
        const std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
        EXPECT_NE(log.find(UserStore::valuePath(kKey, c.name)), std::string::npos) << log;
        EXPECT_NE(log.find(c.reason), std::string::npos) << log;
        HighScore::ReadReport report;
        EXPECT_EQ(HighScore::load(report), 4321);
    }
}

}  // namespace
