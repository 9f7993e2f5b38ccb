#pragma once
// The best score's cipher: RC4 keyed with the MD5 digest of a key text.
// Linux uses nettle; Windows the system's CryptoAPI, so a value written by
// either reads back on the other.

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

namespace ScoreCipher {

struct Result {
    // False when the cipher step itself failed; the bytes are then left as
    // they were.
    bool applied = false;
    // The steps before it that failed (the provider, the hash, the key), in
    // the order they ran, in the words the caller's log gives them ("Failed
    // to acquire context"). Later steps still run after a failed one.
    std::vector<const char*> failedSteps;
};

// Encrypts (or decrypts: RC4 is its own inverse, but the platform may call
// different functions) the first `length` bytes of `work`, a buffer of
// `capacity` bytes, in place.
Result apply(std::string_view keyText, std::uint8_t* work, std::size_t length, std::size_t capacity, bool encrypt);

}  // namespace ScoreCipher
