#include "orvo3d/image.h"

#include <climits>
#include <string>

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

struct Decoded {
    unsigned char* pixels = nullptr;
    int width = 0;
    int height = 0;
};

Decoded decodeNamed(const char* path) {
    Decoded image;
    const Storage::Blob encoded = Storage::loadBlob(path);
    // A missing path reaches the decoder as empty input and fails the same way.
    int length = encoded.size() <= static_cast<std::size_t>(INT_MAX) ? static_cast<int>(encoded.size()) : 0;
    image.pixels = decode(encoded.data(), length, image.width, image.height);
    return image;
}

// Lives until the process ends; its threads are joined at exit, and a
// preload nobody took (a test that never builds the road) is dropped.
PreloadTable<Decoded>& preloaded() {
    static PreloadTable<Decoded> table;
    return table;
}

}  // namespace

void preloadImage(const char* path) {
    std::string name = path;
    preloaded().start(name, [name] { return decodeNamed(name.c_str()); });
}

unsigned char* loadImage(const char* path, int& width, int& height) {
    std::optional<Decoded> image = preloaded().take(path);
    if (!image) image = decodeNamed(path);
    width = image->width;
    height = image->height;
    return image->pixels;
}

unsigned char* loadImageFromMemory(const unsigned char* data, int size, int& width, int& height) {
    return decode(data, size, width, height);
}

void freeImage(unsigned char* pixels) { stbi_image_free(pixels); }
