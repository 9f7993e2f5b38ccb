#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <stb_image_write.h>

#include "orvo3d/image.h"
#include "support/sandbox.h"

namespace {

void appendBytes(void* context, void* data, int size) {
    auto* out = static_cast<std::string*>(context);
    out->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
}

// A 4 x 3 PNG with the given channel count; pixel (x, y) gets a value that
// tells where it is, so a flip or a shuffled channel shows.
std::string makePng(int channels) {
    const int w = 4, h = 3;
    std::vector<unsigned char> pixels;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            for (int c = 0; c < channels; ++c) pixels.push_back(static_cast<unsigned char>(10 + 60 * y + 12 * x + 3 * c));
        }
    }
    std::string out;
    // The writer's flip flag is process-wide (screenshots set it): rows go
    // out top first here.
    stbi_flip_vertically_on_write(0);
    stbi_write_png_to_func(appendBytes, &out, w, h, channels, pixels.data(), w * channels);
    return out;
}

unsigned char expectedValue(int x, int y, int c) { return static_cast<unsigned char>(10 + 60 * y + 12 * x + 3 * c); }

}  // namespace

TEST(Image, AnyChannelCountComesOutAsRgbTopRowFirst) {
    writeFile("message.log", "");
    for (int channels : {1, 2, 3, 4}) {
        SCOPED_TRACE(channels);
        std::string png = makePng(channels);
        const DecodedImage image =
            loadImageFromMemory(reinterpret_cast<const unsigned char*>(png.data()), static_cast<int>(png.size()));
        const unsigned char* pixels = image.pixels.get();
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(image.width, 4);
        EXPECT_EQ(image.height, 3);
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 4; ++x) {
                const unsigned char* p = pixels + (y * 4 + x) * 3;
                for (int c = 0; c < 3; ++c) {
                    // Grey (with or without alpha) repeats its one value;
                    // alpha is dropped.
                    int source = channels <= 2 ? 0 : c;
                    EXPECT_EQ(p[c], expectedValue(x, y, source)) << x << "," << y << " channel " << c;
                }
            }
        }
    }
    EXPECT_EQ(readLog(), "");
}

TEST(Image, FileUnderTheWorkingDirectoryLoadsByPath) {
    writeFile("data/fixture-grey.png", makePng(1));
    const DecodedImage image = loadImage("data/fixture-grey.png");
    const unsigned char* pixels = image.pixels.get();
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(image.width, 4);
    EXPECT_EQ(image.height, 3);
    // Top-left first, then the last pixel of the bottom row.
    EXPECT_EQ(pixels[0], expectedValue(0, 0, 0));
    EXPECT_EQ(pixels[(3 * 4 - 1) * 3 + 2], expectedValue(3, 2, 0));
}

TEST(Image, PlateTexturesDecodeTo1024SquareRgb) {
    writeFile("message.log", "");
    for (const char* path : {"data/metal.jpg", "data/metal-normal.jpg", "data/building.jpg", "data/building-normal.jpg"}) {
        SCOPED_TRACE(path);
        const DecodedImage image = loadImage(path);
        ASSERT_NE(image.pixels, nullptr);
        EXPECT_EQ(image.width, 1024);
        EXPECT_EQ(image.height, 1024);
    }
    EXPECT_EQ(readLog(), "");
}

TEST(Image, UndecodableInputGivesNullAndOneRecord) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"garbage", std::string("this is not an image at all \x01\x02\x03", 31)},
        {"truncated jpeg header", std::string("\xFF\xD8\xFF\xE0\x00\x10JFIF", 10)},
        {"empty", std::string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        writeFile("message.log", "");
        const DecodedImage image = loadImageFromMemory(reinterpret_cast<const unsigned char*>(c.bytes.data()),
                                                       static_cast<int>(c.bytes.size()));
        EXPECT_EQ(image.pixels, nullptr);
        std::string log = readLog();
        EXPECT_EQ(countOf(log, "Failed to load texture"), 1);
        EXPECT_EQ(countOf(log, "ERROR"), 1) << log;
    }

    // A file of garbage and a path that exists nowhere fail the same way.
    writeFile("data/broken.jpg", "garbage bytes");
    for (const char* path : {"data/broken.jpg", "data/nowhere.jpg"}) {
        SCOPED_TRACE(path);
        writeFile("message.log", "");
        EXPECT_EQ(loadImage(path).pixels, nullptr);
        EXPECT_EQ(countOf(readLog(), "Failed to load texture"), 1);
        EXPECT_EQ(countOf(readLog(), "ERROR"), 1);
    }
}
