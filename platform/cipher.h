#pragma once
// The best score's cipher: RC4 keyed with the MD5 digest of a key text.
// Linux uses nettle; Windows the system's CryptoAPI, so a value written by
// either reads back on the other.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace ScoreCipher {

// Encrypts (or decrypts: RC4 is its own inverse, but the platform may call
// different functions) the first `length` bytes of `work`, a buffer of
// `capacity` bytes, in place. Returns false when the cipher step itself
// failed; the bytes are then left as they were. Steps that fail before it
// (the provider, the hash, the key) are recorded in the log by the back end.
bool apply(std::string_view keyText, std::uint8_t* work, std::size_t length, std::size_t capacity, bool encrypt);

}  // namespace ScoreCipher
