// The best score in the per-user store: real files under the test's own
// XDG_DATA_HOME, checked byte for byte, with an independent MD5 (md5sum)
// and an independent RC4 to read what was stored.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cctype>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "game/bestscore.h"
#include "game/highscore.h"
#include "platform/userstore.h"
#include "support/child.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

const std::string kPrefix = "VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::";

fs::path dataHome() { return std::getenv("XDG_DATA_HOME"); }
fs::path productFolder() { return dataHome() / "Orvo" / "Vimbrot"; }
fs::path valueFile() { return productFolder() / "data"; }

mode_t modeOf(const fs::path& p) {
    struct stat info {};
    return ::lstat(p.c_str(), &info) == 0 ? (info.st_mode & 07777) : 0;
}

std::string hexOf(const std::string& plaintext) { return HighScore::encryptToHex(plaintext.c_str()); }

std::string decrypted(const std::string& hex) { return HighScore::decryptFromHex(hex.c_str()); }

// Stores raw value bytes as another program (or a damaged disk) might have.
void storeRaw(const std::string& bytes) {
    fs::create_directories(productFolder());
    writeFile(valueFile(), bytes);
}

std::string stored(std::int64_t score) { return hexOf(kPrefix + std::to_string(score)) + std::string(1, '\0'); }

// RC4 written out here so the check does not rest on the library under test.
std::string rc4(const std::vector<unsigned char>& key, const std::vector<unsigned char>& data) {
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

std::vector<unsigned char> fromHex(const std::string& hex) {
    std::vector<unsigned char> out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out.push_back(static_cast<unsigned char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return out;
}

// Every test starts from an empty store and leaves XDG_DATA_HOME as it found
// it, so the tests also pass when run in one process.
class StoreTest : public testing::Test {
protected:
    void SetUp() override {
        const char* xdg = std::getenv("XDG_DATA_HOME");
        ASSERT_NE(xdg, nullptr);
        xdg_ = xdg;
        fs::remove_all(dataHome() / "Orvo");
    }
    void TearDown() override {
        setenv("XDG_DATA_HOME", xdg_.c_str(), 1);
        fs::remove_all(dataHome() / "Orvo");
    }

    // The test's reader: each unreadable value is reported once to it.
    HighScore::ReadReport report;

private:
    std::string xdg_;
};

}  // namespace

class HighScoreStore : public StoreTest {};
class UserStoreFolders : public StoreTest {};

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
        const std::string value = readFile(valueFile());
        ASSERT_EQ(value.size(), c.hexLength + 1);
        EXPECT_EQ(value.back(), '\0');
        EXPECT_EQ(value.find_first_not_of("0123456789ABCDEF"), c.hexLength);
        EXPECT_EQ(decrypted(value.substr(0, c.hexLength)), kPrefix + std::to_string(c.score));
    }
}

TEST_F(HighScoreStore, ZeroIsStoredAndParsedNotLostToTheLengthTest) {
    HighScore::save(0);
    EXPECT_EQ(readFile(valueFile()).size(), 77u);
    EXPECT_EQ(decrypted(readFile(valueFile()).c_str()), kPrefix + "0");
    EXPECT_EQ(HighScore::load(report), 0);
}

TEST_F(HighScoreStore, LowerScoreReplacesTheStoredOne) {
    HighScore::save(5000);
    HighScore::save(12);
    EXPECT_EQ(HighScore::load(report), 12);
}

TEST_F(HighScoreStore, EmptyStoreReadsZeroAndLoadingCreatesNothing) {
    EXPECT_EQ(HighScore::load(report), 0);
    EXPECT_FALSE(fs::exists(dataHome() / "Orvo"));
}

TEST_F(HighScoreStore, FirstSaveCreatesPrivateMakerAndProductFoldersAndValue) {
    HighScore::save(77);
    EXPECT_EQ(modeOf(dataHome() / "Orvo"), 0700u);
    EXPECT_EQ(modeOf(productFolder()), 0700u);
    EXPECT_EQ(modeOf(valueFile()), 0600u);
    // One value file and no temporary left behind.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(productFolder())) names.push_back(entry.path().filename());
    EXPECT_EQ(names, std::vector<std::string>{"data"});
    EXPECT_EQ(HighScore::load(report), 77);
}

TEST_F(HighScoreStore, ExistingMakerFolderGetsOnlyTheProductFolder) {
    fs::create_directories(dataHome() / "Orvo");
    ::chmod((dataHome() / "Orvo").c_str(), 0750);
    writeFile(dataHome() / "Orvo" / "Other", "another product");

    HighScore::save(31);
    EXPECT_EQ(modeOf(dataHome() / "Orvo"), 0750u) << "the maker folder was not ours to change";
    EXPECT_EQ(readFile(dataHome() / "Orvo" / "Other"), "another product");
    EXPECT_EQ(modeOf(productFolder()), 0700u);
    EXPECT_EQ(HighScore::load(report), 31);
}

TEST_F(HighScoreStore, ReplacingAValueMakesItPrivate) {
    storeRaw(stored(9));
    ::chmod(valueFile().c_str(), 0644);
    HighScore::save(10);
    EXPECT_EQ(modeOf(valueFile()), 0600u);
    EXPECT_EQ(HighScore::load(report), 10);
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
    std::string hex = readFile(valueFile());
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

TEST_F(HighScoreStore, DamagedOrUnreadableValuesReadZero) {
    const std::string good = stored(1234);
    struct Case {
        const char* what;
        std::function<void()> prepare;
        std::int64_t expected;
    };
    // A plaintext of 500 characters: exactly 1000 hex characters, no room for a NUL.
    const std::string longText = kPrefix + "1234" + std::string(500 - kPrefix.size() - 4, ' ');
    const Case cases[] = {
        {"exactly 1000 bytes", [&] { storeRaw(good + std::string(1000 - good.size(), '\0')); }, 1234},
        {"1000 hex characters without NUL", [&] { storeRaw(hexOf(longText)); }, 1234},
        {"1001 bytes", [&] { storeRaw(good + std::string(1001 - good.size(), '\0')); }, 0},
        {"a megabyte", [&] { storeRaw(std::string(1 << 20, 'A')); }, 0},
        {"empty", [&] { storeRaw(""); }, 0},
        {"truncated to 1 byte", [&] { storeRaw(good.substr(0, 1)); }, 0},
        {"truncated to 40 bytes", [&] { storeRaw(good.substr(0, 40)); }, 0},
        {"truncated to 75 bytes", [&] { storeRaw(good.substr(0, 75)); }, 0},
        // Cut inside the digits, the value is the digits that are left.
        {"cut after three of six digits", [&] { storeRaw(stored(123456).substr(0, 2 * (kPrefix.size() + 3))); }, 123},
        {"not hex", [&] { storeRaw(std::string(82, 'Z') + '\0'); }, 0},
        {"binary", [&] {
             std::string bytes;
             for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<char>((i * 97 + 13) & 0xFF));
             storeRaw(bytes);
         }, 0},
        {"unterminated (no NUL)", [&] { storeRaw(good.substr(0, good.size() - 1)); }, 1234},
        {"garbage after the NUL", [&] { storeRaw(good + "garbage\x01\xff"); }, 1234},
        {"missing product folder", [&] { fs::create_directories(dataHome() / "Orvo"); }, 0},
        {"product folder is a file", [&] { writeFile(productFolder(), good); }, 0},
        {"value is a folder", [&] { fs::create_directories(valueFile()); }, 0},
        {"value is a FIFO", [&] {
             fs::create_directories(productFolder());
             ::mkfifo(valueFile().c_str(), 0600);
         }, 0},
        {"value is a dangling link", [&] {
             fs::create_directories(productFolder());
             fs::create_symlink("/nonexistent/value", valueFile());
         }, 0},
        {"value links to a file elsewhere", [&] {
             writeFile(sandboxDirectory() / "elsewhere", good);
             fs::create_directories(productFolder());
             fs::create_symlink(sandboxDirectory() / "elsewhere", valueFile());
         }, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dataHome() / "Orvo");
        c.prepare();
        EXPECT_EQ(HighScore::load(report), c.expected);
    }
    // Permissions stop only other users; root reads everything.
    if (::geteuid() != 0) {
        fs::remove_all(dataHome() / "Orvo");
        storeRaw(good);
        ::chmod(valueFile().c_str(), 0);
        EXPECT_EQ(HighScore::load(report), 0);
    }
}

TEST_F(HighScoreStore, KeyIsTheMd5DigestOfTheKeyText) {
    // The digest as md5sum computes it, outside this program.
    std::FILE* pipe = ::popen("printf '%s' 'Rm4x#275816pka=7' | md5sum", "r");
    ASSERT_NE(pipe, nullptr);
    char line[128] = {};
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    ASSERT_EQ(::pclose(pipe), 0);
    const std::vector<unsigned char> key = fromHex(std::string(line, 32));
    ASSERT_EQ(key.size(), 16u);

    HighScore::save(1234);
    std::string hex = readFile(valueFile());
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
    ASSERT_EQ(UserStore::createKey("", "Orvo"), UserStore::Status::Ok);
    ASSERT_EQ(UserStore::createKey("Orvo", "Vimbrot"), UserStore::Status::Ok);
    const std::string value = stored(4321);
    ASSERT_EQ(UserStore::setValue("Orvo/Vimbrot", "Data", value.data(), value.size()), UserStore::Status::Ok);
    for (const char* name : {"DATA", "data", "DaTa"}) {
        char buffer[200] = {};
        std::size_t size = sizeof buffer;
        ASSERT_EQ(UserStore::queryValue("Orvo/Vimbrot", name, buffer, size), UserStore::Status::Ok) << name;
        EXPECT_EQ(std::string(buffer, size), value) << name;
    }
    EXPECT_EQ(HighScore::load(report), 4321);
    // Writing under another spelling replaces the same value.
    HighScore::save(1);
    EXPECT_EQ(std::distance(fs::directory_iterator(productFolder()), fs::directory_iterator()), 1);
    EXPECT_TRUE(fs::exists(valueFile()));
}

TEST_F(UserStoreFolders, ValueLargerThanTheBufferFailsTheRead) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), UserStore::Status::Ok);
    ASSERT_EQ(UserStore::setValue("Orvo", "v", "12345", 5), UserStore::Status::Ok);
    char buffer[8] = {};
    std::size_t size = 4;
    EXPECT_EQ(UserStore::queryValue("Orvo", "v", buffer, size), UserStore::Status::Failed);
    EXPECT_EQ(size, 4u);
    size = 5;
    EXPECT_EQ(UserStore::queryValue("Orvo", "v", buffer, size), UserStore::Status::Ok);
    EXPECT_EQ(std::string(buffer, size), "12345");
    EXPECT_EQ(UserStore::queryValue("Orvo", "missing", buffer, size), UserStore::Status::NotFound);
    EXPECT_EQ(UserStore::queryValue("Nobody/Here", "v", buffer, size), UserStore::Status::NotFound);
}

TEST_F(UserStoreFolders, NamesCannotLeaveTheirFolder) {
    ASSERT_EQ(UserStore::createKey("", "Orvo"), UserStore::Status::Ok);
    for (const char* name : {"", ".", "..", "../escape", "a/b", "a\\b", ".hidden"}) {
        EXPECT_EQ(UserStore::setValue("Orvo", name, "x", 1), UserStore::Status::Failed) << name;
        EXPECT_EQ(UserStore::createKey("Orvo", name), UserStore::Status::Failed) << name;
    }
    for (const char* key : {"..", "Orvo/..", "/Orvo", "Orvo/", "Orvo//x"}) {
        EXPECT_EQ(UserStore::openKey(key), UserStore::Status::Failed) << key;
    }
    EXPECT_FALSE(fs::exists(dataHome() / "escape"));
}

TEST_F(UserStoreFolders, FolderComesFromXdgDataHomeOrHome) {
    const std::string home = std::getenv("HOME");
    const std::string elsewhere = (sandboxDirectory() / "other-data-home").string();
    struct Case {
        const char* xdg;  // null: unset
        std::string expected;
    };
    const Case cases[] = {
        {elsewhere.c_str(), elsewhere},
        {nullptr, home + "/.local/share"},
        {"", home + "/.local/share"},
        {"relative/share", home + "/.local/share"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.xdg ? c.xdg : "(unset)");
        if (c.xdg != nullptr) setenv("XDG_DATA_HOME", c.xdg, 1);
        else unsetenv("XDG_DATA_HOME");
        EXPECT_EQ(UserStore::rootFolder(), c.expected);
        HighScore::save(606);
        EXPECT_EQ(readFile(c.expected + "/Orvo/Vimbrot/data"), stored(606));
        EXPECT_EQ(HighScore::load(report), 606);
        fs::remove_all(c.expected + "/Orvo");
    }
}

// A save killed after writing its new value but before putting it in place
// leaves the old value whole.
TEST_F(HighScoreStore, SaveKilledBeforeTheReplaceLeavesTheOldValue) {
    HighScore::save(1000);
    const std::string before = readFile(valueFile());

    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        static int signalFd = ready[1];
        UserStore::beforeReplace = [](const char*) {
            char byte = 1;
            if (::write(signalFd, &byte, 1) == 1) ::pause();
            ::_exit(3);
        };
        HighScore::save(2000);
        ::_exit(2);  // never reached when the hook runs
    }
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the save never reached the replace";
    ::close(ready[0]);
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

    EXPECT_EQ(readFile(valueFile()), before);
    EXPECT_EQ(HighScore::load(report), 1000);
    // The new value had been written in full beside it.
    bool sawNew = false;
    for (const auto& entry : fs::directory_iterator(productFolder())) {
        if (entry.path().filename() != "data") sawNew = sawNew || readFile(entry.path()) == stored(2000);
    }
    EXPECT_TRUE(sawNew);

    HighScore::save(3000);
    EXPECT_EQ(HighScore::load(report), 3000);
}

// ---------------------------------------------------------------- faults
// Each case below runs in a child process of its own, in a folder every user
// may enter (some run as the unprivileged user "nobody": permissions do not
// stop root), with its own working directory (for message.log) and data home.

namespace {

struct FaultFolder {
    fs::path dir;
    explicit FaultFolder(const std::string& name) {
        dir = fs::temp_directory_path() / ("vimbrot-store-" + name + "-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "share");
        fs::permissions(dir, fs::perms::all);
        fs::permissions(dir / "share", fs::perms::all);
    }
    ~FaultFolder() {
        std::error_code ignored;
        fs::remove_all(dir, ignored);
    }
    fs::path share() const { return dir / "share"; }
    fs::path product() const { return share() / "Orvo" / "Vimbrot"; }
    fs::path value() const { return product() / "data"; }
    std::string log() const { return readFile(dir / "message.log"); }
    // Points the store here and saves a value as the game would.
    void seed(std::int64_t best) const {
        setenv("XDG_DATA_HOME", share().c_str(), 1);
        HighScore::save(best);
    }
    // Hands the store's folders to nobody, as if that user had made them.
    void giveToNobody() const {
        const passwd* nobody = ::getpwnam("nobody");
        if (nobody == nullptr) return;
        for (const fs::path& p : {share() / "Orvo", product()}) {
            if (fs::exists(p)) {
                EXPECT_EQ(::chown(p.c_str(), nobody->pw_uid, nobody->pw_gid), 0);
            }
        }
    }
};

void reportSkip(const char* what, bool unprivileged) {
    std::printf("[  SKIPPED ] %s: needs %s\n", what, unprivileged ? "the user nobody" : "a mount namespace");
}

}  // namespace

// Unreadable is not zero: the value in `data`'s place is kept, one ERROR
// names the path and the reason however often the screens load, and no
// lower score is ever saved over it.
TEST_F(HighScoreStore, UnreadableValueIsKeptReportedOnceAndNeverReplaced) {
    struct Case {
        const char* what;
        std::function<void(const FaultFolder&)> prepare;  // run as root, after a best of 500 was saved
        const char* reason;
        bool unprivileged = false;
    };
    const Case cases[] = {
        {"mode 0000", [](const FaultFolder& f) {
             f.giveToNobody();
             const passwd* nobody = ::getpwnam("nobody");
             if (nobody != nullptr) {
                 EXPECT_EQ(::chown(f.value().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
             }
             ::chmod(f.value().c_str(), 0);
         }, "Permission denied", true},
        {"owned by someone else", [](const FaultFolder& f) { f.giveToNobody(); }, "Permission denied", true},
        {"a folder", [](const FaultFolder& f) {
             fs::remove(f.value());
             fs::create_directory(f.value());
         }, "it is a folder"},
        {"a FIFO", [](const FaultFolder& f) {
             fs::remove(f.value());
             ASSERT_EQ(::mkfifo(f.value().c_str(), 0600), 0);
         }, "not a regular file"},
        {"a link the store refuses", [](const FaultFolder& f) {
             fs::rename(f.value(), f.dir / "elsewhere");
             fs::create_symlink(f.dir / "elsewhere", f.value());
         }, "symbolic link"},
        {"huge", [](const FaultFolder& f) { writeFile(f.value(), std::string(1 << 20, 'A')); }, "larger than"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultFolder f("unreadable");
        f.seed(500);
        c.prepare(f);
        const auto before = fs::symlink_status(f.value()).type();
        const std::string bytesBefore = fs::is_regular_file(f.value()) ? readFile(f.value()) : "";

        ChildOutcome run = runInChild(
            [&] {
                if (::chdir(f.dir.c_str()) != 0) ::_exit(91);
                for (int frame = 0; frame < 5; ++frame) {
                    if (HighScore::load(report) != 0) ::_exit(92);
                }
                HighScore::save(50);  // the end of a run: 50 > the 0 it read
                HighScore::save(60);
                if (HighScore::load(report) != 0) ::_exit(93);
            },
            [&] { return !c.unprivileged || becomeNobody(); });
        if (run.exited && run.code == kChildCannotRun) {
            reportSkip(c.what, true);
            continue;
        }
        EXPECT_TRUE(run.exited && run.code == 0) << "code " << run.code << " signal " << run.signal;

        const std::string log = f.log();
        const std::string path = f.value().string();
        EXPECT_EQ(countOf(log, "Cannot read the best score from " + path + ": "), 1) << log;
        EXPECT_EQ(countOf(log, "Best score 50 not saved: " + path + " cannot be read: "), 1) << log;
        EXPECT_EQ(countOf(log, "Best score 60 not saved: " + path + " cannot be read: "), 1) << log;
        EXPECT_EQ(countOf(log, c.reason), 3) << log;
        EXPECT_EQ(countOf(log, "ERROR ("), 3) << log;

        // Untouched: the same kind of thing with the same bytes, and the best
        // of 500 still there for whoever can read it.
        EXPECT_EQ(fs::symlink_status(f.value()).type(), before);
        if (!bytesBefore.empty()) {
            EXPECT_EQ(readFile(f.value()), bytesBefore);
        }
        if (fs::exists(f.dir / "elsewhere")) {
            EXPECT_EQ(readFile(f.dir / "elsewhere"), stored(500));
        }
        if (c.unprivileged) {
            EXPECT_EQ(HighScore::load(report), 500);
        }
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(f.product())) names.push_back(entry.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"data"}) << "a temporary file was left";
    }
}

// A save that fails records one ERROR with the path and errno per save; the
// value stored before stays whole.
TEST_F(HighScoreStore, FailedSaveRecordsPathAndErrnoEveryTime) {
    struct Case {
        const char* what;
        std::function<void(const FaultFolder&)> prepare;  // as root
        std::function<bool(const FaultFolder&)> condition;  // in the child, before the saves
        std::string (*path)(const FaultFolder&);
        const char* reason;
        std::int64_t kept;
        bool unprivileged = false;
    };
    auto asNobody = [](const FaultFolder&) { return becomeNobody(); };
    const Case cases[] = {
        {"read-only data home", [](const FaultFolder& f) {
             fs::permissions(f.share(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                            fs::perms::others_read | fs::perms::others_exec);
         }, asNobody, [](const FaultFolder& f) { return f.value().string() + ": cannot create " + f.product().string(); },
         "Permission denied (errno 13)", 0, true},
        {"read-only product folder", [](const FaultFolder& f) {
             f.seed(500);
             f.giveToNobody();
             const passwd* nobody = ::getpwnam("nobody");
             if (nobody != nullptr) {
                 EXPECT_EQ(::chown(f.value().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
             }
             ::chmod(f.product().c_str(), 0500);
         }, asNobody, [](const FaultFolder& f) { return f.value().string(); },
         "Permission denied (errno 13)", 500, true},
        {"product folder owned by root", [](const FaultFolder& f) {
             f.seed(500);
             ::chmod((f.share() / "Orvo").c_str(), 0755);
             ::chmod(f.product().c_str(), 0755);
             ::chmod(f.value().c_str(), 0644);
         }, asNobody, [](const FaultFolder& f) { return f.value().string(); },
         "Permission denied (errno 13)", 500, true},
        {"disk full", [](const FaultFolder&) {},
         [](const FaultFolder& f) {
             if (!mountFullDisk(f.share())) return false;
             fs::remove(f.share() / "filler");
             f.seed(500);
             return fillDisk(f.share());
         },
         [](const FaultFolder& f) { return f.value().string(); }, "No space left on device (errno 28)", 500},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FaultFolder f("failedsave");
        setenv("XDG_DATA_HOME", f.share().c_str(), 1);
        c.prepare(f);
        ChildOutcome run = runInChild(
            [&] {
                if (::chdir(f.dir.c_str()) != 0) ::_exit(91);
                setenv("XDG_DATA_HOME", f.share().c_str(), 1);
                HighScore::save(7000);
                HighScore::save(8000);
                // The full disk lives only in the child's namespace: check there.
                if (HighScore::load(report) != c.kept) ::_exit(92);
                if (fs::exists(f.product())) {
                    for (const auto& entry : fs::directory_iterator(f.product())) {
                        if (entry.path().filename() != "data") ::_exit(93);
                    }
                }
            },
            [&] { return c.condition(f); });
        if (run.exited && run.code == kChildCannotRun) {
            reportSkip(c.what, c.unprivileged);
            continue;
        }
        EXPECT_TRUE(run.exited && run.code == 0) << "code " << run.code << " signal " << run.signal;
        const std::string log = f.log();
        for (const char* score : {"7000", "8000"}) {
            EXPECT_EQ(countOf(log, std::string("Failed to save the best score ") + score + " to " + c.path(f) + ": " +
                                       c.reason), 1) << log;
        }
        EXPECT_EQ(countOf(log, "ERROR ("), 2) << log;
    }
}

// With neither XDG_DATA_HOME nor HOME the store lives under the account's
// home folder; nobody's does not exist, and saving there says so.
TEST_F(HighScoreStore, WithoutHomeTheAccountsHomeFolderIsUsed) {
    FaultFolder f("nohome");
    ChildOutcome run = runInChild(
        [&] {
            if (::chdir(f.dir.c_str()) != 0) ::_exit(91);
            unsetenv("XDG_DATA_HOME");
            unsetenv("HOME");
            const passwd* me = ::getpwuid(::getuid());
            if (me == nullptr || UserStore::rootFolder() != std::string(me->pw_dir) + "/.local/share") ::_exit(92);
            if (HighScore::load(report) != 0) ::_exit(93);
            HighScore::save(5);
        },
        [] { return becomeNobody(); });
    if (run.exited && run.code == kChildCannotRun) return reportSkip("no HOME", true);
    EXPECT_TRUE(run.exited && run.code == 0) << "code " << run.code << " signal " << run.signal;
    const passwd* nobody = ::getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    if (fs::exists(nobody->pw_dir)) GTEST_SKIP() << "nobody has a home folder here: " << nobody->pw_dir;
    const std::string product = std::string(nobody->pw_dir) + "/.local/share/Orvo/Vimbrot";
    EXPECT_EQ(countOf(f.log(), "Failed to save the best score 5 to " + product + "/data: cannot create " + product + ": "), 1)
        << f.log();
}

// A save's temporary file that is not locked by a living save was left by
// one that was killed, and the next save removes it; others stay.
TEST_F(HighScoreStore, NextSaveRemovesAbandonedTemporariesOnly) {
    HighScore::save(1);
    for (const char* name : {".data.a1b2c3", ".data.ZZZZZZ"}) writeFile(productFolder() / name, stored(99));
    writeFile(productFolder() / ".data.locked", stored(98));
    int held = ::open((productFolder() / ".data.locked").c_str(), O_RDONLY);
    ASSERT_GE(held, 0);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);  // a save under way in another process
    for (const char* name : {".data.toolong7", ".other.abcdef", "notes"}) writeFile(productFolder() / name, "x");

    HighScore::save(2);
    ::close(held);
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(productFolder())) names.push_back(entry.path().filename());
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{".data.locked", ".data.toolong7", ".other.abcdef", "data", "notes"}));
    EXPECT_EQ(HighScore::load(report), 2);
}

// Killed at any moment of a save, again and again: the value is always one
// whole saved score, at most the one killed save's temporary file is ever
// left over, and the next save clears it.
TEST_F(HighScoreStore, SigkillDuringSavesInALoopNeverTearsOrLeaksTemporaries) {
    HighScore::save(1);
    unsigned seed = 12345;
    for (int round = 0; round < 60; ++round) {
        SCOPED_TRACE(round);
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(ready[0]);
            char byte = 1;
            if (::write(ready[1], &byte, 1) != 1) ::_exit(2);
            for (std::int64_t score = 2;; ++score) HighScore::save(score);
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        seed = seed * 1103515245u + 12345u;
        ::usleep((seed >> 16) % 3000);  // somewhere inside one of its saves
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);

        const std::int64_t best = HighScore::load(report);
        EXPECT_GE(best, 1);
        EXPECT_EQ(readFile(valueFile()), stored(best));
        int temporaries = 0;
        for (const auto& entry : fs::directory_iterator(productFolder())) {
            temporaries += entry.path().filename() != "data";
        }
        EXPECT_LE(temporaries, 1);
    }
    HighScore::save(7);
    EXPECT_EQ(std::distance(fs::directory_iterator(productFolder()), fs::directory_iterator()), 1);
    EXPECT_EQ(HighScore::load(report), 7);
}

// A game killed while it holds the store's lock leaves no lock behind: the
// lock file is free again at once and the next end of a run saves without
// waiting.
TEST_F(HighScoreStore, AKilledLockHolderLeavesNoLockBehind) {
    HighScore::save(10);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        UserStore::ValueLock lock("Orvo/Vimbrot", "Data");
        char held = lock.held() ? 1 : 0;
        if (::write(ready[1], &held, 1) != 1) ::_exit(2);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char held = 0;
    ASSERT_EQ(::read(ready[0], &held, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(held, 1);

    const fs::path lockFile = productFolder() / ".data.lock";
    EXPECT_EQ(modeOf(lockFile), 0600u);
    int probe = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(probe, 0);
    EXPECT_NE(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the holder's lock must be taken while it lives";
    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(::flock(probe, LOCK_EX | LOCK_NB), 0) << "the lock died with its holder";
    ::close(probe);

    ChildOutcome run = runInChild([this] { ::_exit(HighScore::saveIfGreater(20, report) == 10 ? 0 : 3); }, nullptr, 10);
    EXPECT_TRUE(run.exited && run.code == 0) << "the next save waited or read a wrong best: " << run.errors;
    EXPECT_EQ(readFile(valueFile()), stored(20));
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// The save under the lock writes the same bytes as a plain save, creates the
// store on a first save, and leaves a greater stored best alone. A lock file
// that cannot be used (a link in its place, never followed) does not stop it.
TEST_F(HighScoreStore, SaveIfGreaterKeepsTheStoredLayout) {
    EXPECT_EQ(HighScore::saveIfGreater(0, report), 0);
    EXPECT_FALSE(fs::exists(productFolder())) << "a run that beats nothing makes no store";
    EXPECT_EQ(HighScore::saveIfGreater(1234, report), 0);
    EXPECT_EQ(readFile(valueFile()), stored(1234));
    EXPECT_EQ(HighScore::saveIfGreater(99, report), 1234);
    EXPECT_EQ(readFile(valueFile()), stored(1234));

    const fs::path elsewhere = dataHome() / "elsewhere";
    fs::remove(productFolder() / ".data.lock");
    fs::create_symlink(elsewhere, productFolder() / ".data.lock");
    EXPECT_EQ(HighScore::saveIfGreater(5000, report), 1234);
    EXPECT_EQ(readFile(valueFile()), stored(5000));
    EXPECT_FALSE(fs::exists(elsewhere)) << "the lock never follows a link";
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// Another game holds the store's lock (a save of its own on a stalled disk):
// the end of a run waits for nothing, the best shown is already the new one,
// the old bytes stay until the lock is let go, and the saves queued meanwhile
// come down to the largest.
class HeldLock {
public:
    explicit HeldLock(const fs::path& file) : descriptor(::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
        if (descriptor >= 0 && ::flock(descriptor, LOCK_EX) != 0) release();
    }
    ~HeldLock() { release(); }
    bool held() const { return descriptor >= 0; }
    void release() {
        if (descriptor >= 0) ::close(descriptor);
        descriptor = -1;
    }

private:
    int descriptor;
};

TEST_F(HighScoreStore, ARunEndingWhileAnotherGameHoldsTheLockWaitsForNothing) {
    HighScore::save(10);
    BestScore best;
    ASSERT_EQ(best.value(), 10);
    HeldLock other(productFolder() / ".data.lock");
    ASSERT_TRUE(other.held());

    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(best.offer(300), 10) << "the best before this run";
    EXPECT_EQ(best.offer(500), 300);
    EXPECT_EQ(best.offer(400), 500) << "a lower score than the one on its way changes nothing";
    best.collect();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5)) << "the screens' thread waited";
    EXPECT_EQ(best.value(), 500) << "the screens show the best on its way at once";
    EXPECT_EQ(readFile(valueFile()), stored(10)) << "nothing is written while the lock is held";

    other.release();
    EXPECT_TRUE(best.finish(std::chrono::seconds(60)));
    EXPECT_EQ(readFile(valueFile()), stored(500)) << "the largest of the scores queued is the one saved";
    EXPECT_EQ(HighScore::load(report), 500);
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}

// Leaving while the lock stays held: the way out waits its time, then names
// the score that could not be saved; the stored best is untouched.
TEST_F(HighScoreStore, LeavingWhileTheLockStaysHeldNamesTheUnsavedScore) {
    HighScore::save(10);
    HeldLock other(productFolder() / ".data.lock");
    ASSERT_TRUE(other.held());
    {
        BestScore best;
        best.offer(777);
        const auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(best.finish(std::chrono::milliseconds(300)));
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(300));
    }
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR ("), 1) << log;
    EXPECT_NE(log.find("Best score 777 not saved: the store did not answer within 0.3 s"), std::string::npos) << log;
    EXPECT_EQ(readFile(valueFile()), stored(10));
}

// A save the worker refuses (the stored value cannot be read) shows nothing
// new and writes its records here, after the reading's record, as a save on
// this thread did.
TEST_F(HighScoreStore, ARefusedSaveOnItsWayKeepsItsRecordsInOrder) {
    fs::create_directories(valueFile());
    BestScore best;
    EXPECT_EQ(best.offer(700), 0);
    EXPECT_EQ(best.value(), 0) << "a save that will be refused is not shown";
    best.finish();
    EXPECT_TRUE(fs::is_directory(valueFile()));
    const std::string log = readLog();
    const std::size_t reading = log.find("Cannot read the best score from " + valueFile().string());
    const std::size_t refused = log.find("Best score 700 not saved: " + valueFile().string());
    EXPECT_NE(reading, std::string::npos) << log;
    EXPECT_NE(refused, std::string::npos) << log;
    EXPECT_LT(reading, refused) << log;
    std::size_t records = 0;
    for (std::size_t at = log.find("ERROR ("); at != std::string::npos; at = log.find("ERROR (", at + 1)) ++records;
    EXPECT_EQ(records, 2u) << log;
}

// Two games saving at the same time: every save succeeds, the value is
// always one whole score, and no temporary file is left.
TEST_F(HighScoreStore, TwoProcessesSavingAtOnce) {
    HighScore::save(1);
    pid_t children[2];
    for (int i = 0; i < 2; ++i) {
        children[i] = ::fork();
        ASSERT_GE(children[i], 0);
        if (children[i] == 0) {
            for (std::int64_t n = 0; n < 150; ++n) {
                HighScore::save((i + 1) * 100000 + n);
                const std::int64_t seen = HighScore::load(report);
                if (seen % 100000 >= 150 || seen / 100000 < 1 || seen / 100000 > 2) ::_exit(4);
            }
            ::_exit(0);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a save failed or a load saw a torn value";
    }
    const std::int64_t best = HighScore::load(report);
    EXPECT_TRUE(best == 100149 || best == 200149) << best;
    EXPECT_EQ(std::distance(fs::directory_iterator(productFolder()), fs::directory_iterator()), 1);
    EXPECT_EQ(readLog().find("ERROR"), std::string::npos) << readLog();
}
