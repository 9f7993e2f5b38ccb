#pragma once
// Decodes JPEG (or any stb_image format) into 8-bit RGB, top row first.

#include <memory>

// 8-bit RGB pixels of one decoded image, freed with it; null pixels when the
// image did not decode.
struct DecodedImage {
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> pixels{nullptr, nullptr};
    int width = 0;
    int height = 0;
};

// The decoded image, width * height * 3 bytes freed with it, or null pixels
// after logging "Failed to load texture".
DecodedImage loadImage(const char* path);
// The same from encoded bytes in memory, which stay the caller's.
DecodedImage loadImageFromMemory(const unsigned char* data, int size);

// Starts decoding the named image on a worker thread now; the first
// loadImage of that path then takes the decoded pixels (waiting for them if
// need be) and writes the decoder's records at that point, as if it had
// decoded them itself.
void preloadImage(const char* path);

// Waits for every image preload nobody took and drops it.
void dropImagePreloads();
