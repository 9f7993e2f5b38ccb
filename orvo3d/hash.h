#pragma once
// The engine's two name hashes.

#include <cstdint>
#include <string_view>

// djb2 over the bytes taken as unsigned, wrapping at 2^32: glTF names, the
// sound cache, material names.
constexpr std::uint32_t hashName(std::string_view text) {
    std::uint32_t h = 5381;
    for (char c : text) h = h * 33u + static_cast<unsigned char>(c);
    return h;
}

// CRC-32 as zlib computes it (reflected 0xEDB88320, init and final xor ~0).
constexpr std::uint32_t crc32(std::string_view text) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (char c : text) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// Uniform cache keys are always computed by the compiler, never per frame.
consteval std::uint32_t uniformKey(std::string_view name) { return crc32(name); }

static_assert(crc32("view") == 0xFEFDAB8Eu);
static_assert(hashName("") == 5381u);
