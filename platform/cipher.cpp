#include "platform/cipher.h"

#include <nettle/arcfour.h>
#include <nettle/md5.h>

namespace ScoreCipher {

Result apply(std::string_view keyText, std::uint8_t* work, std::size_t length, std::size_t, bool) {
    // Derived afresh for every call, as the cipher state is consumed by use.
    md5_ctx hash;
    md5_init(&hash);
    md5_update(&hash, keyText.size(), reinterpret_cast<const std::uint8_t*>(keyText.data()));
    std::uint8_t digest[MD5_DIGEST_SIZE];
    md5_digest(&hash, sizeof digest, digest);
    arcfour_ctx cipher;
    arcfour_set_key(&cipher, sizeof digest, digest);
    arcfour_crypt(&cipher, length, work, work);
    return {true, {}};
}

}  // namespace ScoreCipher
