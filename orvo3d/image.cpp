#include "orvo3d/image.h"

#include <climits>

#include <stb_image.h>

#include "orvo3d/log.h"
#include "orvo3d/storage.h"

namespace {

unsigned char* decode(const unsigned char* data, int size, int& width, int& height) {
    unsigned char* pixels = nullptr;
    if (data != nullptr && size > 0) pixels = stbi_load_from_memory(data, size, &width, &height, nullptr, 3);
    if (pixels == nullptr) Logger::error("orvo3d/image", __LINE__, "Failed to load texture");
    return pixels;
}

}  // namespace

unsigned char* loadImage(const char* path, int& width, int& height) {
    const Storage::Blob encoded = Storage::loadBlob(path);
    // A missing path reaches the decoder as empty input and fails the same way.
    int length = encoded.size() <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(encoded.size()) : 0;
    return decode(encoded.data(), length, width, height);
}

unsigned char* loadImageFromMemory(const unsigned char* data, int size, int& width, int& height) {
    return decode(data, size, width, height);
}

void freeImage(unsigned char* pixels) { stbi_image_free(pixels); }
