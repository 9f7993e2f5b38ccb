#pragma once
// Decodes JPEG (or any stb_image format) into 8-bit RGB, top row first.

#include <memory>

#include "orvo3d/preload.h"

// 8-bit RGB pixels of one decoded image, freed with it; null pixels when the
// image did not decode.
struct DecodedImage {
    std::unique_ptr<unsigned char, void (*)(unsigned char*)> pixels{nullptr, nullptr};
    int width = 0;
    int height = 0;
};

// Images decoded on workers ahead of their loads, by path (preloadImage);
// the table waits for its workers when it goes.
using ImagePreloads = PreloadTable<DecodedImage>;

// The decoded image, width * height * 3 bytes freed with it, or null pixels
// after logging "Failed to load texture". When `preloads` holds the path,
// its decoded pixels are taken (waiting for them if need be) and the
// decoder's records written here, as if it had decoded them itself.
DecodedImage loadImage(const char* path, ImagePreloads* preloads = nullptr);
// The same from encoded bytes in memory, which stay the caller's.
DecodedImage loadImageFromMemory(const unsigned char* data, int size);

// Starts decoding the named image into the table on a worker thread now.
void preloadImage(ImagePreloads& preloads, const char* path);
