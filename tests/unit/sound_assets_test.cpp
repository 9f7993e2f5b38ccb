// The committed sound assets meet the formats the game expects, have sensible
// levels, start and end without a click, and the music loops without a seam
// as the game decodes it.
#include <gtest/gtest.h>

#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "orvo3d/sound.h"
#include "platform/resources.h"
#include "support/services.h"

namespace {

std::uint32_t le32(const unsigned char* p) { return p[0] | p[1] << 8 | p[2] << 16 | std::uint32_t(p[3]) << 24; }
std::uint16_t le16(const unsigned char* p) { return static_cast<std::uint16_t>(p[0] | p[1] << 8); }

struct Wav {
    std::uint16_t format = 0, channels = 0, bits = 0, blockAlign = 0;
    std::uint32_t rate = 0;
    std::vector<unsigned char> data;
};

// Walks the RIFF chunks; fails the test on anything malformed.
Wav parseWav(const Resource& r) {
    Wav wav;
    const unsigned char* p = r.begin;
    std::size_t size = r.size();
    EXPECT_GE(size, 12u);
    if (size < 12) return wav;
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p), 4), "RIFF");
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(p + 8), 4), "WAVE");
    EXPECT_EQ(le32(p + 4), size - 8);
    std::size_t at = 12;
    while (at + 8 <= size) {
        std::string id(reinterpret_cast<const char*>(p + at), 4);
        std::size_t len = le32(p + at + 4);
        EXPECT_LE(at + 8 + len, size) << id;
        if (at + 8 + len > size) break;
        if (id == "fmt ") {
            wav.format = le16(p + at + 8);
            wav.channels = le16(p + at + 10);
            wav.rate = le32(p + at + 12);
            wav.blockAlign = le16(p + at + 20);
            wav.bits = le16(p + at + 22);
        } else if (id == "data") {
            wav.data.assign(p + at + 8, p + at + 8 + len);
        }
        at += 8 + len + (len & 1);
    }
    return wav;
}

struct EffectAsset {
    const char* path;
    double seconds;
};

void PrintTo(const EffectAsset& asset, std::ostream* os) { *os << asset.path; }

class SoundEffectAsset : public testing::TestWithParam<EffectAsset> {};

}  // namespace

TEST_P(SoundEffectAsset, IsEightBitMonoAtItsLengthWithCleanEnds) {
    const EffectAsset& asset = GetParam();
    const Resource* r = findResource(asset.path);
    ASSERT_NE(r, nullptr) << asset.path;
    Wav wav = parseWav(*r);
    EXPECT_EQ(wav.format, 1);  // PCM
    EXPECT_EQ(wav.channels, 1);
    EXPECT_EQ(wav.rate, 44100u);
    EXPECT_EQ(wav.bits, 8);
    EXPECT_EQ(wav.blockAlign, 1);
    ASSERT_FALSE(wav.data.empty());
    EXPECT_NEAR(static_cast<double>(wav.data.size()), asset.seconds * 44100.0, 1.0);

    // Loud enough to hear over the music, with headroom, and ends that sit
    // on the zero line (128 for unsigned 8-bit) so the clip starts and stops
    // without a click.
    int peak = 0;
    double energy = 0.0;
    for (unsigned char u : wav.data) {
        int v = static_cast<int>(u) - 128;
        peak = std::max(peak, std::abs(v));
        energy += double(v) * v;
    }
    double rms = std::sqrt(energy / static_cast<double>(wav.data.size()));
    EXPECT_GE(peak, 64) << "peak below -6 dBFS";
    EXPECT_LE(peak, 126) << "clipped";
    EXPECT_GE(rms, 12.0) << "RMS below about -20 dBFS";
    EXPECT_LE(std::abs(int(wav.data.front()) - 128), 2);
    EXPECT_LE(std::abs(int(wav.data.back()) - 128), 2);
}

INSTANTIATE_TEST_SUITE_P(Effects, SoundEffectAsset,
                         testing::Values(EffectAsset{"data/jump.wav", 0.264}, EffectAsset{"data/crash.wav", 0.200},
                                         EffectAsset{"data/falloff.wav", 0.900}, EffectAsset{"data/menu.wav", 0.058},
                                         EffectAsset{"data/select.wav", 0.185}),
                         [](const testing::TestParamInfo<EffectAsset>& info) {
                             std::string name = info.param.path + 5;
                             return name.substr(0, name.find('.'));
                         });

TEST(SoundMusicAsset, EveryFrameIsMpeg2LayerThree24kHz64kbitJointStereo) {
    const Resource* r = findResource("data/music.mp3");
    ASSERT_NE(r, nullptr);
    const unsigned char* p = r->begin;
    const std::size_t size = r->size();
    std::size_t at = 0;
    if (size > 10 && std::memcmp(p, "ID3", 3) == 0) {
        at = 10 + ((p[6] & 0x7F) << 21 | (p[7] & 0x7F) << 14 | (p[8] & 0x7F) << 7 | (p[9] & 0x7F));
    }
    std::size_t frames = 0;
    while (at + 4 <= size) {
        const unsigned char* h = p + at;
        ASSERT_EQ(h[0], 0xFF) << "lost frame sync at byte " << at;
        ASSERT_EQ(h[1] & 0xE0, 0xE0) << "lost frame sync at byte " << at;
        EXPECT_EQ((h[1] >> 3) & 3, 2) << "not MPEG-2";
        EXPECT_EQ((h[1] >> 1) & 3, 1) << "not layer III";
        EXPECT_EQ(h[2] >> 4, 8) << "not 64 kbit/s";  // MPEG-2 layer III bitrate index 8
        EXPECT_EQ((h[2] >> 2) & 3, 1) << "not 24000 Hz";
        EXPECT_EQ(h[3] >> 6, 1) << "not joint stereo";
        if (::testing::Test::HasFailure()) return;
        const std::size_t length = 72 * 64000 / 24000 + ((h[2] >> 1) & 1);
        at += length;
        ++frames;
    }
    EXPECT_EQ(at, size) << "trailing bytes after the last frame";
    const double seconds = static_cast<double>(frames) * 576.0 / 24000.0;
    EXPECT_GT(seconds, 80.0);
    EXPECT_LT(seconds, 100.0);
}

// Decoded as the game decodes it, the music's last sample runs into its first
// as smoothly as neighbouring samples anywhere inside it: no click at the loop.
TEST(SoundMusicAsset, DecodedLoopHasNoSeam) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    const SoundClip& clip = sound.load("data/music.mp3");
    ASSERT_TRUE(clip.chunk);
    const auto* s = reinterpret_cast<const std::int16_t*>(clip.chunk->abuf);
    const std::size_t n = clip.chunk->alen / 4;
    // Whole bars at 125 BPM: 48 bars of 1.92 s, nothing lost or added by decoding.
    EXPECT_EQ(n, std::size_t(48) * 46080);
    ASSERT_GT(n, 1000u);

    // Within 20 ms either side of the join, how sharply the wave steps and
    // bends from sample to sample; the join itself must be no sharper than
    // the 95th percentile of its neighbours.
    const std::size_t window = Sound::kFrequency / 50;
    for (int channel = 0; channel < 2; ++channel) {
        auto at = [&](std::size_t i) { return static_cast<double>(s[2 * (i % n) + channel]); };
        auto step = [&](std::size_t i) { return std::abs(at(i + 1) - at(i)); };
        auto bend = [&](std::size_t i) { return std::abs(at(i + 1) - 2 * at(i) + at(i - 1)); };
        std::vector<double> steps, bends;
        for (std::size_t i = n - window; i < n + window; ++i) {
            if (i == n - 1 || i == n) continue;  // the join's own samples
            steps.push_back(step(i));
            bends.push_back(bend(i));
        }
        auto p95 = [](std::vector<double> v) {
            std::nth_element(v.begin(), v.begin() + v.size() * 95 / 100, v.end());
            return v[v.size() * 95 / 100];
        };
        EXPECT_LE(step(n - 1), p95(steps)) << "channel " << channel;
        EXPECT_LE(bend(n - 1), p95(bends)) << "channel " << channel;
        EXPECT_LE(bend(n), p95(bends)) << "channel " << channel;
        // And the level there is the music's own, not a fade.
        double edge = 0.0;
        for (std::size_t i = 0; i < 240; ++i) edge = std::max({edge, std::abs(at(i)), std::abs(at(n - 1 - i))});
        EXPECT_GT(edge, 1000.0) << "channel " << channel;
    }
}
