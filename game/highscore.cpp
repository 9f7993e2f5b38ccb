#include "game/highscore.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "orvo3d/log.h"
#include "platform/cipher.h"
#include "platform/userstore.h"

namespace {

// The store's key for the game and the maker's key above it.
constexpr const char* kMakerKey = "Orvo";
constexpr const char* kProductName = "Vimbrot";
constexpr const char* kProductKey = "Orvo/Vimbrot";
// Written as "Data", read as "DATA": value names are case-insensitive.
constexpr const char* kWriteName = "Data";
constexpr const char* kReadName = "DATA";

constexpr const char* kPlaintextFormat = "VIMBROT_DATA_STRUCT_FOR_HIGHSCORE::::%lld";
constexpr std::size_t kPrefixLength = 37;

// The RC4 key is the MD5 digest of these 16 characters (without their NUL).
constexpr char kKeyText[] = "Rm4x#275816pka=7";
static_assert(sizeof kKeyText - 1 == 16);

// Every buffer of the store and the cipher is this size.
constexpr std::size_t kBufferSize = 1000;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A value that cannot be read is reported when the reader first sees it (or
// when the reason changes), not at every read. An empty path means the value
// read fine or is not there.
void reportUnreadable(HighScore::ReadReport& report, const std::string& path, int error) {
    std::lock_guard lock(report.mutex);
    if (path == report.path && error == report.error) return;
    report.path = path;
    report.error = error;
    if (path.empty()) return;
    Logger::error("game/highscore", __LINE__, "Cannot read the best score from %s: %s", path.c_str(),
                  UserStore::failureText(error).c_str());
}

// The game's key and the maker's key above it, as a first save makes them.
UserStore::Status createProductKey() {
    UserStore::Status made = UserStore::Status::Ok;
    if (UserStore::openKey(kMakerKey) == UserStore::Status::NotFound) made = UserStore::createKey("", kMakerKey);
    if (made == UserStore::Status::Ok) made = UserStore::createKey(kMakerKey, kProductName);
    return made;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // anything else, lower-case letters included
}

// Runs the cipher over the first n bytes of the work buffer; the steps that
// failed on the way are recorded here, in the order they ran.
bool applyCipher(std::uint8_t* work, std::size_t n, bool encrypt) {
    const ScoreCipher::Result result =
        ScoreCipher::apply({kKeyText, sizeof kKeyText - 1}, work, n, kBufferSize, encrypt);
    for (const char* step : result.failedSteps) Logger::error("game/highscore", __LINE__, "%s", step);
    return result.applied;
}

}  // namespace

namespace HighScore {

std::string encryptToHex(const char* plaintext) {
    if (plaintext == nullptr) plaintext = "";
    // The work buffer holds at most 1000 bytes; longer text is cut there.
    const std::size_t n = strnlen(plaintext, kBufferSize);
    std::uint8_t work[kBufferSize] = {};
    std::memcpy(work, plaintext, n);
    // A failed cipher leaves the plaintext in the buffer, so it is stored
    // as hex of the plaintext, which a load of the same kind reads back.
    const bool encrypted = applyCipher(work, n, true);

    if (!encrypted) Logger::error("game/highscore", __LINE__, "Failed to encrypt");
    std::string hex(2 * n, '\0');
    for (std::size_t i = 0; i < n; ++i) {
        hex[2 * i] = kHexDigits[work[i] / 16];
        hex[2 * i + 1] = kHexDigits[work[i] % 16];
    }
    return hex;
}

std::string decryptFromHex(const char* hex) {
    if (hex == nullptr) hex = "";
    // At most 1000 bytes fit the work buffer: hex beyond 2000 characters is ignored.
    const std::size_t n = strnlen(hex, 2 * kBufferSize) / 2;
    std::uint8_t work[kBufferSize] = {};
    for (std::size_t i = 0; i < n; ++i) {
        work[i] = static_cast<std::uint8_t>(16 * hexValue(hex[2 * i]) + hexValue(hex[2 * i + 1]));
    }
    // A failed cipher leaves the decoded bytes, which are parsed as they are.
    const bool decrypted = applyCipher(work, n, false);

    if (!decrypted) Logger::error("game/highscore", __LINE__, "Failed to decrypt");
    return std::string(reinterpret_cast<const char*>(work), n);
}

}  // namespace HighScore

namespace {

// The stored best, as the store holds it now; `unreadable` tells a value
// that is there but cannot be read.
std::int64_t readStored(HighScore::ReadReport& report, bool& unreadable) {
    unreadable = false;
    if (UserStore::openKey(kProductKey) == UserStore::Status::NotFound) {
        reportUnreadable(report, "", 0);
        return 0;
    }
    // One byte more than the store may fill, so the text always ends in NUL
    // even when the stored value does not.
    char value[kBufferSize + 1] = {};
    std::size_t size = kBufferSize;
    UserStore::Status status = UserStore::queryValue(kProductKey, kReadName, value, size);
    if (status != UserStore::Status::Ok) {
        // A value that is there but cannot be read is not the same as none:
        // it says so (once per reader) and is kept.
        if (status == UserStore::Status::Failed) {
            unreadable = true;
            reportUnreadable(report, UserStore::valuePath(kProductKey, kReadName), errno);
        } else {
            reportUnreadable(report, "", 0);
        }
        return 0;
    }
    reportUnreadable(report, "", 0);

    const std::string text = HighScore::decryptFromHex(value);
    // The text ends at its first NUL, as the stored C string did; the prefix
    // itself is not compared, only the number after it counts.
    std::int64_t score = 0;
    if (std::strlen(text.c_str()) > kPrefixLength) score = std::strtoll(text.c_str() + kPrefixLength, nullptr, 10);
    return score;
}

std::int64_t readStored(HighScore::ReadReport& report) {
    bool unreadable = false;
    return readStored(report, unreadable);
}

}  // namespace

namespace HighScore {

std::int64_t load(ReadReport& report) { return readStored(report); }

std::int64_t load(ReadReport& report, bool& unreadable) { return readStored(report, unreadable); }

void save(std::int64_t best) {
    using UserStore::Status;
    if (UserStore::openKey(kProductKey) != Status::Ok) {
        if (createProductKey() != Status::Ok) {
            const int why = errno;
            Logger::error("game/highscore", __LINE__, "Failed to save the best score %lld to %s: cannot create %s: %s (errno %d)",
                          static_cast<long long>(best), UserStore::valuePath(kProductKey, kWriteName).c_str(),
                          UserStore::keyPath(kProductKey).c_str(), UserStore::failureText(why).c_str(), why);
            return;
        }
    }
    const std::string path = UserStore::valuePath(kProductKey, kWriteName);

    // A stored value that cannot be read may hold a better score than this
    // one: it is never replaced blindly.
    char value[kBufferSize] = {};
    std::size_t size = sizeof value;
    if (UserStore::queryValue(kProductKey, kWriteName, value, size) == Status::Failed) {
        const int why = errno;
        Logger::error("game/highscore", __LINE__,
                      "Best score %lld not saved: %s cannot be read: %s (errno %d); it is kept as it is",
                      static_cast<long long>(best), path.c_str(), UserStore::failureText(why).c_str(), why);
        return;
    }

    char plaintext[kBufferSize] = {};
    std::snprintf(plaintext, sizeof plaintext, kPlaintextFormat, static_cast<long long>(best));
    const std::string hex = encryptToHex(plaintext);
    // The value is the hex and its NUL. A failed write leaves the old value;
    // the game goes on either way.
    if (UserStore::setValue(kProductKey, kWriteName, hex.c_str(), hex.size() + 1) != Status::Ok) {
        const int why = errno;
        Logger::error("game/highscore", __LINE__, "Failed to save the best score %lld to %s: %s (errno %d)",
                      static_cast<long long>(best), path.c_str(), UserStore::failureText(why).c_str(), why);
    }
}

std::int64_t saveIfGreater(std::int64_t score, ReadReport& report) {
    // The best only grows, so a score that does not beat a best read without
    // the lock cannot beat the one under it: most runs end here, and a run
    // that beats nothing never creates the store's folder.
    std::int64_t best = readStored(report);
    if (score <= best) return best;
    // The lock file lives in the key's folder, which a first save creates.
    // A failure here is the save's to report.
    if (UserStore::openKey(kProductKey) == UserStore::Status::NotFound) createProductKey();
    // Without the lock (a read-only folder) the save goes on as it would
    // have: it fails or succeeds, with its own record, on its own.
    UserStore::ValueLock lock(kProductKey, kWriteName);
    best = readStored(report);
    if (score > best) save(score);
    return best;
}

}  // namespace HighScore
