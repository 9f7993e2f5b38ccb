#pragma once
// What the best-score and user-store tests of every system share: the
// stored layout written out independently (RC4 here, the key's MD5 digest
// as md5sum gives it) and a store emptied before and after every test.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "game/highscore.h"
#include "support/sandbox.h"

namespace store {

inline const std::string kPrefix = "VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::";
inline constexpr const char* kProductKey = "Orvo/Vimbrot";

// MD5 of the key text "Rm4x#275816pka=7", as md5sum prints it: the RC4 key.
inline constexpr const char* kKeyDigest = "98f891c4e3d9c3c54aadddf42bfe06e9";

inline std::string hexOf(const std::string& plaintext) { return HighScore::encryptToHex(plaintext.c_str()); }

inline std::string decrypted(const std::string& hex) { return HighScore::decryptFromHex(hex.c_str()); }

// The value a save of `score` stores: the hex and its NUL.
inline std::string stored(std::int64_t score) {
    return hexOf(kPrefix + std::to_string(score)) + std::string(1, '\0');
}

// RC4 written out here so the check does not rest on the library under test.
inline std::string rc4(const std::vector<unsigned char>& key, const std::vector<unsigned char>& data) {
    unsigned char s[256];
    for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + key[static_cast<std::size_t>(i) % key.size()]) & 255;
        std::swap(s[i], s[j]);
    }
    std::string out;
    int i = 0, j = 0;
    for (unsigned char c : data) {
        i = (i + 1) & 255;
        j = (j + s[i]) & 255;
        std::swap(s[i], s[j]);
        out.push_back(static_cast<char>(c ^ s[(s[i] + s[j]) & 255]));
    }
    return out;
}

inline std::vector<unsigned char> fromHex(const std::string& hex) {
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

}  // namespace store

// Every test starts from an empty store and an empty log and leaves
// XDG_DATA_HOME as it found it, so the tests also pass when run in one
// process (as the Windows tree runs them).
class StoreTest : public testing::Test {
protected:
    void SetUp() override {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        hadXdg_ = xdg != nullptr;
        if (hadXdg_) xdg_ = xdg;
        clearUserStore();
        std::filesystem::remove("message.log");
    }
    void TearDown() override {
        if (hadXdg_) setVariable("XDG_DATA_HOME", xdg_);
        clearUserStore();
    }

    // The test's reader: each unreadable value is reported once to it.
    HighScore::ReadReport report;

private:
    bool hadXdg_ = false;
    std::string xdg_;
};

class HighScoreStore : public StoreTest {};
class UserStoreFolders : public StoreTest {};
