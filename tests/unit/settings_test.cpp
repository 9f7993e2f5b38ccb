// The remembered settings through their own interface, the same on every
// system: a text file under the test's temporary HOME on Linux, values of
// the game's registry key on Windows.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>

#include "game/commandline.h"
#include "platform/settings.h"
#include "support/sandbox.h"

namespace {

// Every test starts with nothing remembered and an empty log, so the tests
// also pass when run in one process (as the Windows tree runs them).
class SettingsTest : public testing::Test {
protected:
    void SetUp() override {
        unsetVariable("XDG_CONFIG_HOME");
        forget();
        std::filesystem::remove("message.log");
    }
    void TearDown() override { forget(); }

    // The store, the settings' folder and the folders above it that a save
    // made (each removed only when empty).
    static void forget() {
        clearUserStore();
        if (configFolder().empty()) return;
        const std::filesystem::path folder = configFolder();
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        std::filesystem::remove(folder.parent_path(), ignored);
        std::filesystem::remove(folder.parent_path().parent_path(), ignored);
    }
};

TEST_F(SettingsTest, NothingRememberedMeansTheDefaultsSilently) {
    LoadedSettings loaded = loadSettings();
    EXPECT_FALSE(loaded.settings.fullscreen);
    EXPECT_FALSE(loaded.settings.mute);
    EXPECT_EQ(loaded.problem, "");

    Settings run = settingsForRun({});
    EXPECT_FALSE(run.fullscreen);
    EXPECT_FALSE(run.mute);
    EXPECT_EQ(readLog(), "");
}

TEST_F(SettingsTest, WhatIsChangedReadsBack) {
    for (bool fullscreen : {false, true}) {
        for (bool mute : {false, true}) {
            SCOPED_TRACE(std::to_string(fullscreen) + std::to_string(mute));
            ASSERT_EQ(changeSetting(SettingKey::Fullscreen, fullscreen), "");
            ASSERT_EQ(changeSetting(SettingKey::Mute, mute), "");
            LoadedSettings loaded = loadSettings();
            EXPECT_EQ(loaded.problem, "");
            EXPECT_EQ(loaded.settings.fullscreen, fullscreen);
            EXPECT_EQ(loaded.settings.mute, mute);
        }
    }
    EXPECT_EQ(readLog(), "");
}

// M changes the sound alone and F11 the display alone: each change leaves
// the other setting as it was remembered.
TEST_F(SettingsTest, AChangeLeavesTheOtherSettingAsItWas) {
    ASSERT_EQ(changeSetting(SettingKey::Mute, true), "");
    EXPECT_FALSE(loadSettings().settings.fullscreen);
    ASSERT_EQ(changeSetting(SettingKey::Fullscreen, true), "");
    EXPECT_TRUE(loadSettings().settings.mute);
    ASSERT_EQ(changeSetting(SettingKey::Mute, false), "");
    EXPECT_TRUE(loadSettings().settings.fullscreen);
    ASSERT_EQ(changeSetting(SettingKey::Fullscreen, false), "");
    const LoadedSettings loaded = loadSettings();
    EXPECT_FALSE(loaded.settings.fullscreen);
    EXPECT_FALSE(loaded.settings.mute);
    EXPECT_EQ(loaded.problem, "");
}

TEST_F(SettingsTest, TheCommandLineWinsForTheRunAndIsNotSaved) {
    using O = std::optional<bool>;
    const struct {
        std::optional<Settings> saved;
        O fullscreen, mute;
        bool wantFullscreen, wantMute;
    } cases[] = {
        {Settings{true, true}, std::nullopt, std::nullopt, true, true},
        {Settings{true, true}, false, std::nullopt, false, true},  // --windowed
        {Settings{false, false}, true, true, true, true},          // --fullscreen --mute
        {std::nullopt, true, std::nullopt, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.saved ? "saved" : "nothing saved");
        forget();
        if (c.saved) {
            ASSERT_EQ(changeSetting(SettingKey::Fullscreen, c.saved->fullscreen), "");
            ASSERT_EQ(changeSetting(SettingKey::Mute, c.saved->mute), "");
        }
        Settings run = settingsForRun(LaunchOptions{c.fullscreen, c.mute});
        EXPECT_EQ(run.fullscreen, c.wantFullscreen);
        EXPECT_EQ(run.mute, c.wantMute);
        // What is remembered is what was saved before the run.
        const Settings remembered = loadSettings().settings;
        EXPECT_EQ(remembered.fullscreen, c.saved && c.saved->fullscreen);
        EXPECT_EQ(remembered.mute, c.saved && c.saved->mute);
    }
}

}  // namespace
