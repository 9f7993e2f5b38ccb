#include "game/highscore.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "orvo3d/log.h"
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

// Derived afresh for every call, as the cipher state is consumed by use.
void startCipher(arcfour_ctx& cipher) {
    md5_ctx hash;
    md5_init(&hash);
    md5_update(&hash, sizeof kKeyText - 1, reinterpret_cast<const std::uint8_t*>(kKeyText));
    std::uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&hash, sizeof digest, digest);
    arcfour_set_key(&cipher, sizeof digest, digest);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // anything else, lower-case letters included
}

}  // namespace

namespace HighScore {

char* encryptToHex(const char* plaintext) {
    if (plaintext == nullptr) plaintext = "";
    // The work buffer holds at most 1000 bytes; longer text is cut there.
    const std::size_t n = strnlen(plaintext, kBufferSize);
    std::uint8_t work[kBufferSize] = {};
    std::memcpy(work, plaintext, n);
    arcfour_ctx cipher;
    startCipher(cipher);
    arcfour_crypt(&cipher, n, work, work);

    auto* hex = static_cast<char*>(std::calloc(2 * n + 1, 1));
    if (hex == nullptr) {
        Logger::error("game/highscore", __LINE__, "Failed to encrypt");
        return nullptr;
    }
    for (std::size_t i = 0; i < n; ++i) {
        hex[2 * i] = kHexDigits[work[i] / 16];
        hex[2 * i + 1] = kHexDigits[work[i] % 16];
    }
    return hex;
}

unsigned char* decryptFromHex(const char* hex) {
    if (hex == nullptr) hex = "";
    // At most 1000 bytes fit the work buffer: hex beyond 2000 characters is ignored.
    const std::size_t n = strnlen(hex, 2 * kBufferSize) / 2;
    std::uint8_t work[kBufferSize] = {};
    for (std::size_t i = 0; i < n; ++i) {
        work[i] = static_cast<std::uint8_t>(16 * hexValue(hex[2 * i]) + hexValue(hex[2 * i + 1]));
    }
    arcfour_ctx cipher;
    startCipher(cipher);
    arcfour_crypt(&cipher, n, work, work);

    auto* text = static_cast<unsigned char*>(std::calloc(n + 1, 1));
    if (text == nullptr) {
        Logger::error("game/highscore", __LINE__, "Failed to decrypt");
        return nullptr;
    }
    std::memcpy(text, work, n);
    return text;
}

std::int64_t load() {
    if (UserStore::openKey(kProductKey) == UserStore::Status::NotFound) return 0;
    // One byte more than the store may fill, so the text always ends in NUL
    // even when the stored value does not.
    char value[kBufferSize + 1] = {};
    std::size_t size = kBufferSize;
    if (UserStore::queryValue(kProductKey, kReadName, value, size) != UserStore::Status::Ok) return 0;

    unsigned char* text = decryptFromHex(value);
    if (text == nullptr) return 0;
    std::int64_t score = 0;
    // The prefix itself is not compared; only the number after it counts.
    if (std::strlen(reinterpret_cast<const char*>(text)) > kPrefixLength) {
        score = std::strtoll(reinterpret_cast<const char*>(text) + kPrefixLength, nullptr, 10);
    }
    std::free(text);
    return score;
}

void save(std::int64_t best) {
    using UserStore::Status;
    if (UserStore::openKey(kProductKey) != Status::Ok) {
        if (UserStore::openKey(kMakerKey) == Status::NotFound) UserStore::createKey("", kMakerKey);
        UserStore::createKey(kMakerKey, kProductName);
    }
    if (UserStore::openKey(kProductKey) == Status::NotFound) return;

    char plaintext[kBufferSize] = {};
    std::snprintf(plaintext, sizeof plaintext, kPlaintextFormat, static_cast<long long>(best));
    char* hex = encryptToHex(plaintext);
    if (hex == nullptr) return;
    // A failed write leaves the old value; the game goes on either way.
    UserStore::setValue(kProductKey, kWriteName, hex, std::strlen(hex) + 1);
    std::free(hex);
}

}  // namespace HighScore
