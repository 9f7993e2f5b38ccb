#include "orvo3d/image.h"

#include <climits>

#include <stb_image.h>

#include "orvo3d/log.h"
#include "orvo3d/preload.h"
#include "orvo3d/storage.h"

namespace {

unsigned char* decode(const unsigned char* data, int size, int& width, int& height) {
    unsigned char* pixels = nullptr;
    if (data != nullptr && size > 0) pixels = stbi_load_from_memory(data, size, &width, &height, nullptr, 3);
    if (pixels == nullptr) Logger::error("orvo3d/image", __LINE__, "Failed to load texture");
    return pixels;
}

DecodedImage decodeNamed(const char* path) {
    DecodedImage image;
    const Storage::Blob encoded = Storage::loadBlob(path);
    // A missing path reaches the decoder as empty input and fails the same way.
    int length = encoded.size() <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(encoded.size()) : 0;
    image.pixels = {decode(encoded.data(), length, image.width, image.height), freeImage};
    return image;
}

// Lives until the process ends; its threads are joined at exit, and the
// pixels of a preload nobody took (a test that never builds the road) are
// freed with it.
PreloadTable<DecodedImage>& preloaded() {
    static PreloadTable<DecodedImage> table;
    return table;
}

}  // namespace

void preloadImage(const char* path) { preloaded().start(path, decodeNamed); }

void finishImagePreloads() { preloaded().finish(); }

unsigned char* loadImage(const char* path, int& width, int& height) {
    DecodedImage image = preloaded().takeOrLoad(path, decodeNamed);
    width = image.width;
    height = image.height;
    return image.pixels.release();
}

unsigned char* loadImageFromMemory(const unsigned char* data, int size, int& width, int& height) {
    return decode(data, size, width, height);
}

void freeImage(unsigned char* pixels) { stbi_image_free(pixels); }
