// The committed plate textures: the plates repeat them, so they must tile
// without a visible seam, and the normal maps must be tangent-space maps.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

#include "orvo3d/image.h"

namespace {

struct Decoded : DecodedImage {
    explicit Decoded(const char* path) : DecodedImage(loadImage(path)) {}
    int at(int x, int y, int c) const { return pixels.get()[(static_cast<std::size_t>(y) * width + x) * 3 + c]; }
};

// Mean absolute difference between column a and column b (or rows).
double columnDifference(const Decoded& img, int a, int b) {
    double sum = 0;
    for (int y = 0; y < img.height; ++y) {
        for (int c = 0; c < 3; ++c) sum += std::abs(img.at(a, y, c) - img.at(b, y, c));
    }
    return sum / (img.height * 3);
}
double rowDifference(const Decoded& img, int a, int b) {
    double sum = 0;
    for (int x = 0; x < img.width; ++x) {
        for (int c = 0; c < 3; ++c) sum += std::abs(img.at(x, a, c) - img.at(x, b, c));
    }
    return sum / (img.width * 3);
}

}  // namespace

TEST(PlateTextures, TileWithoutSeams) {
    for (const char* path : {"data/metal.jpg", "data/metal-normal.jpg", "data/building.jpg", "data/building-normal.jpg"}) {
        SCOPED_TRACE(path);
        const Decoded img(path);
        ASSERT_NE(img.pixels, nullptr);
        ASSERT_EQ(img.width, 1024);
        ASSERT_EQ(img.height, 1024);
        // The patterns repeat every 512 texels or a divisor of it, so the
        // step across the wrap must look like the step across the middle,
        // where the pattern is at the same phase.
        EXPECT_LE(columnDifference(img, 1023, 0), columnDifference(img, 511, 512) * 1.5 + 2.0);
        EXPECT_LE(rowDifference(img, 1023, 0), rowDifference(img, 511, 512) * 1.5 + 2.0);
    }
}

TEST(PlateTextures, NormalMapsPointOutOfTheSurface) {
    for (const char* path : {"data/metal-normal.jpg", "data/building-normal.jpg"}) {
        SCOPED_TRACE(path);
        const Decoded img(path);
        ASSERT_NE(img.pixels, nullptr);
        double mean[3] = {0, 0, 0};
        int flat = 0;
        for (int y = 0; y < img.height; ++y) {
            for (int x = 0; x < img.width; ++x) {
                for (int c = 0; c < 3; ++c) mean[c] += img.at(x, y, c);
                // Decoded back to a vector, every texel is about unit length
                // and faces outward.
                double n[3];
                for (int c = 0; c < 3; ++c) n[c] = img.at(x, y, c) / 255.0 * 2.0 - 1.0;
                double length = std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]);
                ASSERT_NEAR(length, 1.0, 0.12) << x << "," << y;
                ASSERT_GT(n[2], 0.1) << x << "," << y;
                flat += n[2] > 0.97;
            }
        }
        const double texels = static_cast<double>(img.width) * img.height;
        EXPECT_NEAR(mean[0] / texels, 128.0, 6.0);
        EXPECT_NEAR(mean[1] / texels, 128.0, 6.0);
        EXPECT_GT(mean[2] / texels, 230.0);
        // Mostly flat, but with real relief (seams, rivets, window frames).
        EXPECT_GT(flat / texels, 0.5);
        EXPECT_LT(flat / texels, 0.999);
    }
}
