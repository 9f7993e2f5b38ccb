#include "platform/cipher.h"

#include <windows.h>
#include <wincrypt.h>

namespace {

// CryptDeriveKey's flags carry the key length in their upper 16 bits.
constexpr DWORD kKeyLength128 = 128u << 16;

}  // namespace

namespace ScoreCipher {

Result apply(std::string_view keyText, std::uint8_t* work, std::size_t length, std::size_t capacity, bool encrypt) {
    // Each failed step is noted and the later ones still run with the
    // handles there are, so a machine without the provider shows every step.
    Result result;
    HCRYPTPROV provider = 0;
    HCRYPTHASH hash = 0;
    HCRYPTKEY key = 0;
    // The user's default key container may not exist (a new account, a new
    // Wine prefix); the cipher needs no stored keys, so a context without a
    // container does as well and derives the same key.
    constexpr const char* kProvider = "Microsoft Enhanced Cryptographic Provider v1.0";
    if (!CryptAcquireContextA(&provider, nullptr, kProvider, PROV_RSA_FULL, 0) &&
        !CryptAcquireContextA(&provider, nullptr, kProvider, PROV_RSA_FULL, CRYPT_VERIFYCONTEXT)) {
        result.failedSteps.push_back("Failed to acquire context");
    }
    if (!CryptCreateHash(provider, CALG_MD5, 0, 0, &hash)) {
        result.failedSteps.push_back("Failed to create hash");
    }
    if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(keyText.data()), static_cast<DWORD>(keyText.size()), 0)) {
        result.failedSteps.push_back("Failed to hash key data");
    }
    if (!CryptDeriveKey(provider, CALG_RC4, hash, kKeyLength128, &key)) {
        result.failedSteps.push_back("Failed to derive key");
    }
    DWORD done = static_cast<DWORD>(length);
    BOOL ok = encrypt ? CryptEncrypt(key, 0, TRUE, 0, work, &done, static_cast<DWORD>(capacity))
                      : CryptDecrypt(key, 0, TRUE, 0, work, &done);
    if (key != 0) CryptDestroyKey(key);
    if (hash != 0) CryptDestroyHash(hash);
    if (provider != 0) CryptReleaseContext(provider, 0);
    // RC4 keeps the length; anything else is not our cipher.
    result.applied = ok && done == length;
    return result;
}

}  // namespace ScoreCipher
