#include "orvo3d/image.h"

#include <climits>

#include <stb_image.h>

#include "orvo3d/log.h"
#include "orvo3d/preload.h"
#include "orvo3d/storage.h"

namespace {

void freePixels(unsigned char* pixels) { stbi_image_free(pixels); }

DecodedImage decode(const unsigned char* data, int size) {
    DecodedImage image;
    unsigned char* pixels = nullptr;
    if (data != nullptr && size > 0) {
        pixels = stbi_load_from_memory(data, size, &image.width, &image.height, nullptr, 3);
    }
    if (pixels == nullptr) Logger::error("orvo3d/image", __LINE__, "Failed to load texture");
    image.pixels = {pixels, freePixels};
    return image;
}

DecodedImage decodeNamed(const char* path) {
    const Storage::Blob encoded = Storage::loadBlob(path);
    // A missing path reaches the decoder as empty input and fails the same way.
    int length = encoded.size() <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(encoded.size()) : 0;
    return decode(encoded.data(), length);
}

}  // namespace

void preloadImage(ImagePreloads& preloads, const char* path) { preloads.start(path, decodeNamed); }

DecodedImage loadImage(const char* path, ImagePreloads* preloads) {
    return preloads != nullptr ? preloads->takeOrLoad(path, decodeNamed) : decodeNamed(path);
}

DecodedImage loadImageFromMemory(const unsigned char* data, int size) { return decode(data, size); }
