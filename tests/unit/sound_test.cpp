// Sound through SDL's disk driver: what the mixer really outputs is written
// to a raw file (16-bit stereo at the engine's rate) and checked here.
// Sound is a process singleton; every test runs in its own process.
#include <gtest/gtest.h>

#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orvo3d/sound.h"
#include "support/sandbox.h"
#include "support/services.h"

namespace {

using Samples = std::vector<double>;

// Left channel of interleaved 16-bit stereo bytes.
Samples leftChannel(const std::uint8_t* bytes, std::size_t count) {
    Samples out(count / 4);
    for (std::size_t i = 0; i < out.size(); ++i) {
        std::int16_t v;
        std::memcpy(&v, bytes + 4 * i, sizeof v);
        out[i] = v;
    }
    return out;
}

Samples leftChannel(const SoundClip& clip) {
    return clip.chunk ? leftChannel(clip.chunk->abuf, clip.chunk->alen) : Samples{};
}

// SDL's disk driver writes the mixed output to a file, paced in real time
// unless a shorter delay per buffer is asked for.
class DiskAudio {
public:
    explicit DiskAudio(const char* delayMs = nullptr) : file_(sandboxDirectory() / "mixed.raw") {
        setenv("SDL_AUDIODRIVER", "disk", 1);
        setenv("SDL_DISKAUDIOFILE", file_.c_str(), 1);
        if (delayMs != nullptr) setenv("SDL_DISKAUDIODELAY", delayMs, 1);
    }

    std::size_t framesWritten() const {
        std::error_code ec;
        auto size = std::filesystem::file_size(file_, ec);
        return ec ? 0 : static_cast<std::size_t>(size / 4);
    }

    // Waits until at least `frames` more frames than `from` are on disk.
    void waitFor(std::size_t from, std::size_t frames) const {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (framesWritten() < from + frames && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    }

    Samples left() const {
        std::string bytes = readFile(file_);
        return leftChannel(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

private:
    std::filesystem::path file_;
};

std::size_t firstSound(const Samples& s, std::size_t from = 0, double above = 0.0) {
    for (std::size_t i = from; i < s.size(); ++i) {
        if (std::abs(s[i]) > above) return i;
    }
    return s.size();
}

double peak(const Samples& s, std::size_t from, std::size_t count) {
    double p = 0.0;
    for (std::size_t i = from; i < std::min(s.size(), from + count); ++i) p = std::max(p, std::abs(s[i]));
    return p;
}

// Where `ref` best lines up with `out` near `guess` (the mixer may drop the
// first quiet samples of a clip to zero when it scales them down).
std::size_t align(const Samples& out, const Samples& ref, std::size_t guess, std::size_t span = 64) {
    std::size_t best = guess;
    double bestScore = -1e300;
    std::size_t lo = guess > span ? guess - span : 0;
    for (std::size_t at = lo; at <= guess + span; ++at) {
        double score = 0.0;
        for (std::size_t i = 0; i < std::min<std::size_t>(ref.size(), 4000) && at + i < out.size(); ++i) {
            score += out[at + i] * ref[i];
        }
        if (score > bestScore) {
            bestScore = score;
            best = at;
        }
    }
    return best;
}

struct Fit {
    double gain;
    double residual;  // energy left after removing gain * ref, relative to the fitted part
};

// Least-squares gain of ref[from, from + count) inside out starting at `at`.
Fit fitGain(const Samples& out, std::size_t at, const Samples& ref, std::size_t from, std::size_t count) {
    double cross = 0.0, energy = 0.0;
    for (std::size_t i = from; i < from + count && i < ref.size() && at + i - from < out.size(); ++i) {
        cross += out[at + i - from] * ref[i];
        energy += ref[i] * ref[i];
    }
    double gain = energy > 0.0 ? cross / energy : 0.0;
    double left = 0.0;
    for (std::size_t i = from; i < from + count && i < ref.size() && at + i - from < out.size(); ++i) {
        double e = out[at + i - from] - gain * ref[i];
        left += e * e;
    }
    return {gain, energy > 0.0 ? left / (gain * gain * energy + 1e-9) : 1.0};
}

void sleepMs(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

constexpr double kMixerEffectGain = 51.0 / 128.0;  // 0.4 on the mixer's 0..128 volume scale
constexpr double kMixerMusicGain = 19.0 / 128.0;   // 0.15 likewise

}  // namespace

TEST(Sound, EffectIsMixedAtEffectVolumeFromItsFirstSample) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    EXPECT_EQ(sound.engine->frequency, Sound::kFrequency);
    EXPECT_EQ(sound.engine->channels, 2);

    const Samples clip = leftChannel(sound.load("data/jump.wav"));
    ASSERT_GT(clip.size(), 6000u);  // 0.264 s at 24 kHz
    ASSERT_GT(peak(clip, 0, clip.size()), 10000.0);

    std::size_t before = disk.framesWritten();
    sound.play("data/jump.wav");
    disk.waitFor(before, clip.size() + 2 * Sound::kFrequency / 10);
    const Samples out = disk.left();

    std::size_t at = align(out, clip, firstSound(out) - std::min(firstSound(out), firstSound(clip)));
    Fit whole = fitGain(out, at, clip, 0, clip.size());
    EXPECT_NEAR(whole.gain, 0.4, 0.01);
    EXPECT_LT(whole.residual, 1e-3);
    EXPECT_NEAR(whole.gain, kMixerEffectGain, 0.002);

    // The very first samples already carry the effect volume: no ramp from
    // full scale, no late volume change.
    std::size_t head = firstSound(clip);
    Fit first = fitGain(out, at + head, clip, head, 96);
    EXPECT_NEAR(first.gain, 0.4, 0.01);

    // Played once: silence after its end.
    EXPECT_EQ(peak(out, at + clip.size(), Sound::kFrequency / 10), 0.0);
}

TEST(Sound, SecondPlayOverlapsTheFirst) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    const Samples clip = leftChannel(sound.load("data/jump.wav"));
    ASSERT_FALSE(clip.empty());

    std::size_t before = disk.framesWritten();
    sound.play("data/jump.wav");
    sleepMs(60);
    sound.play("data/jump.wav");
    EXPECT_EQ(Mix_Playing(-1), 2);  // two voices of the same sound at once
    disk.waitFor(before, 2 * clip.size() + Sound::kFrequency / 5);
    const Samples out = disk.left();

    std::size_t first = align(out, clip, firstSound(out) - std::min(firstSound(out), firstSound(clip)));
    // Remove the first voice; what remains is the second one (and the
    // mixer's rounding, a few units at most).
    Samples rest = out;
    for (std::size_t i = 0; i < clip.size() && first + i < rest.size(); ++i) rest[first + i] -= kMixerEffectGain * clip[i];
    std::size_t second = align(rest, clip, firstSound(rest, first, 200.0) - firstSound(clip, 0, 500.0));
    // A mixer thread held up past the pause may start both in one buffer.
    ASSERT_GE(second, first);
    EXPECT_LT(second - first, clip.size()) << "the second play did not start while the first was sounding";
    Fit secondFit = fitGain(rest, second, clip, 0, clip.size());
    EXPECT_NEAR(secondFit.gain, 0.4, 0.01);
    EXPECT_LT(secondFit.residual, 1e-2);
    // Where both sound, the mix holds both voices.
    double both = peak(out, second, first + clip.size() - second);
    EXPECT_GT(both, 0.0);
}

TEST(Sound, SixteenEffectsSoundTogetherAndASeventeenthReplacesTheOldest) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    for (int i = 0; i < Sound::kEffectChannels; ++i) sound.play("data/falloff.wav");
    EXPECT_EQ(Mix_Playing(-1), Sound::kEffectChannels);
    sound.play("data/falloff.wav");
    EXPECT_EQ(Mix_Playing(-1), Sound::kEffectChannels);
    EXPECT_EQ(Mix_Playing(Sound::kMusicChannel), 0) << "an effect took the music's channel";
}

TEST(Sound, MusicLoopsSeamlesslyAtMusicVolume) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    // The short tick as music, so many repetitions fit in a short test.
    const Samples clip = leftChannel(sound.load("data/menu.wav"));
    ASSERT_GT(clip.size(), 1000u);

    std::size_t before = disk.framesWritten();
    sound.playMusic("data/menu.wav");
    disk.waitFor(before, 12 * clip.size() + Sound::kFrequency / 10);
    const Samples out = disk.left();

    std::size_t at = align(out, clip, firstSound(out) - std::min(firstSound(out), firstSound(clip)));
    for (std::size_t k = 0; k < 10; ++k) {
        Fit f = fitGain(out, at + k * clip.size(), clip, 0, clip.size());
        EXPECT_NEAR(f.gain, 0.15, 0.005) << "repetition " << k;
        EXPECT_LT(f.residual, 2e-2) << "repetition " << k;
    }
    EXPECT_EQ(Mix_Playing(Sound::kMusicChannel), 1);
}

TEST(Sound, LoopingBelongsToTheCachedSound) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    const Samples clip = leftChannel(sound.load("data/menu.wav"));

    std::size_t before = disk.framesWritten();
    sound.play("data/menu.wav");
    disk.waitFor(before, 5 * clip.size() + 2048);  // well past its end, buffered output included
    EXPECT_EQ(Mix_Playing(-1), 0) << "an effect loops before anything marked it";

    sound.playMusic("data/menu.wav");
    EXPECT_TRUE(sound.load("data/menu.wav").looping);
    sound.play("data/menu.wav");
    before = disk.framesWritten();
    disk.waitFor(before, Sound::kFrequency / 2);
    EXPECT_EQ(Mix_Playing(-1), 2) << "the later effect play should loop with the music";

    // Half a second later both still sound: more than the music alone could give.
    const Samples out = disk.left();
    std::size_t end = out.size();
    ASSERT_GT(end, 4 * clip.size());
    double energyOut = 0.0, energyClip = 0.0;
    for (std::size_t i = end - 3 * clip.size(); i < end; ++i) energyOut += out[i] * out[i];
    for (double v : clip) energyClip += 3.0 * v * v;
    EXPECT_GT(std::sqrt(energyOut / energyClip), 0.24);
}

TEST(Sound, MusicTrackKeepsPlayingPastItsEnd) {
    DiskAudio disk("1");  // about twenty times faster than real time
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    const Samples music = leftChannel(sound.load("data/music.mp3"));
    ASSERT_GT(music.size(), std::size_t(80 * Sound::kFrequency));

    std::size_t before = disk.framesWritten();
    sound.playMusic("data/music.mp3");
    disk.waitFor(before, music.size() + 3 * Sound::kFrequency);
    const Samples out = disk.left();

    std::size_t at = align(out, music, firstSound(out) - std::min(firstSound(out), firstSound(music)), 2048);
    ASSERT_GT(out.size(), at + music.size() + 2 * Sound::kFrequency);
    // The first second and the first second after the end are the same music.
    Fit start = fitGain(out, at, music, 0, Sound::kFrequency);
    Fit again = fitGain(out, at + music.size(), music, 0, 2 * Sound::kFrequency);
    EXPECT_NEAR(start.gain, 0.15, 0.005);
    EXPECT_NEAR(again.gain, 0.15, 0.005);
    EXPECT_LT(again.residual, 1e-2);
}

TEST(Sound, MissingClipReportsOnceAndStaysSilent) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    std::size_t before = disk.framesWritten();
    sound.play("data/nothing.wav");
    sound.play("data/nothing.wav");
    sound.playMusic("data/nothing.wav");
    disk.waitFor(before, Sound::kFrequency / 4);

    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR"), 2);
    std::size_t find = log.find("Failed to find resource");
    std::size_t load = log.find("Failed to load resource");
    ASSERT_NE(find, std::string::npos);
    ASSERT_NE(load, std::string::npos);
    EXPECT_LT(find, load);
    EXPECT_EQ(countOf(log, " => orvo3d/sound:"), 2);

    const Samples out = disk.left();
    EXPECT_EQ(peak(out, 0, out.size()), 0.0);
    EXPECT_EQ(Mix_Playing(-1), 0);
    EXPECT_EQ(sound.sounds.size(), 1u);
    EXPECT_FALSE(sound.load("data/nothing.wav").chunk);
}

TEST(Sound, CaseOfThePathDoesNotMatterAndEachSoundDecodesOnce) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    sound.play("data/menu.wav");
    const Mix_Chunk* first = sound.load("data/menu.wav").chunk.get();
    sound.play("data/menu.wav");
    EXPECT_EQ(sound.load("data/menu.wav").chunk.get(), first);
    EXPECT_NE(first, nullptr);
    // Another spelling is another key, but finds the same embedded clip.
    EXPECT_NE(sound.load("DATA/MENU.WAV").chunk.get(), nullptr);
    EXPECT_EQ(sound.sounds.size(), 2u);
    EXPECT_EQ(countOf(readLog(), "ERROR"), 0);
}

TEST(Sound, WithoutAnAudioDeviceTheGameRunsOnSilently) {
    setenv("SDL_AUDIODRIVER", "nonexistent", 1);
    Sound& sound = testSound();
    EXPECT_FALSE(sound.engine);
    sound.play("data/jump.wav");
    sound.playMusic("data/music.mp3");
    sound.play("data/nothing.wav");

    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR"), 1) << log;
    std::size_t at = log.find("Failed to start sound engine: ");
    ASSERT_NE(at, std::string::npos);
    int code = std::atoi(log.c_str() + at + std::string("Failed to start sound engine: ").size());
    EXPECT_NE(code, 0);
    EXPECT_TRUE(sound.sounds.empty());
}

namespace {

// Frames the mixer may hold between a call on the main thread and the disk:
// a few buffers of its own and the device's.
constexpr std::size_t kLatency = 4 * Sound::kBufferFrames;

// Index of the first run of at least `length` zero samples from `from`.
std::size_t firstSilence(const Samples& s, std::size_t from, std::size_t length) {
    std::size_t run = 0;
    for (std::size_t i = from; i < s.size(); ++i) {
        run = s[i] == 0.0 ? run + 1 : 0;
        if (run == length) return i + 1 - length;
    }
    return s.size();
}

// Best line-up of the looping clip somewhere in one loop from `from`.
std::size_t alignLoop(const Samples& out, const Samples& clip, std::size_t from) {
    return align(out, clip, from + clip.size() / 2, clip.size() / 2 + 1);
}

}  // namespace

TEST(Sound, MutingFadesTheWholeMixToSilenceAndUnmutingBringsBackTheExactVolumes) {
    DiskAudio disk;
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    const Samples clip = leftChannel(sound.load("data/menu.wav"));
    ASSERT_GT(clip.size(), 1000u);
    const double loudest = kMixerMusicGain * peak(clip, 0, clip.size());

    sound.playMusic("data/menu.wav");
    disk.waitFor(0, Sound::kFrequency / 4);
    const std::size_t mutedAt = disk.framesWritten();
    Sound::setMuted(true);
    EXPECT_TRUE(Sound::isMuted());
    sound.play("data/jump.wav");  // muted: no effect starts
    EXPECT_EQ(Mix_Playing(-1), 1);
    disk.waitFor(mutedAt, Sound::kFrequency / 2);
    const std::size_t unmutedAt = disk.framesWritten();
    Sound::setMuted(false);
    EXPECT_FALSE(Sound::isMuted());
    disk.waitFor(unmutedAt, kLatency + 12 * clip.size());
    const Samples out = disk.left();

    // Muted: nothing but silence, on both sides of the quiet stretch.
    const std::size_t silent = firstSilence(out, mutedAt, Sound::kFrequency / 20);
    ASSERT_LT(silent, mutedAt + kLatency + Sound::kMuteRampFrames) << "the mix did not go silent at once";
    const std::size_t heard = firstSound(out, silent);
    ASSERT_GT(heard, unmutedAt) << "sound came back before the unmute";
    EXPECT_LT(heard, unmutedAt + kLatency + Sound::kMuteRampFrames) << "the sound did not come back at once";
    std::string both = readFile(sandboxDirectory() / "mixed.raw");
    for (std::size_t i = 4 * silent; i < 4 * heard; ++i) ASSERT_EQ(both[i], 0) << "byte " << i;

    // No click: the mix fades out and in over a few milliseconds; a cut
    // would leave a full sample next to the silence.
    const double ramp = loudest * 8.0 / Sound::kMuteRampFrames + 2.0;
    EXPECT_LE(peak(out, silent - 8, 8), ramp) << "the mix was cut, not faded, when muted";
    EXPECT_LE(peak(out, heard, 8), ramp) << "the mix jumped back, not faded in, when unmuted";

    // Unmuted: the music at exactly its volume again, loop after loop.
    const std::size_t at = alignLoop(out, clip, heard + Sound::kMuteRampFrames);
    for (std::size_t k = 0; k < 8; ++k) {
        Fit f = fitGain(out, at + k * clip.size(), clip, 0, clip.size());
        EXPECT_NEAR(f.gain, kMixerMusicGain, 0.002) << "loop " << k;
        EXPECT_LT(f.residual, 2e-2) << "loop " << k;
    }
}

TEST(Sound, AStartMutedIsSilentFromTheFirstSampleAndEffectsPlayAtTheirVolumeOnceUnmuted) {
    DiskAudio disk;
    Sound::setMuted(true);
    Sound& sound = testSound();
    ASSERT_TRUE(sound.engine);
    sound.playMusic("data/menu.wav");
    disk.waitFor(0, Sound::kFrequency / 2);
    EXPECT_EQ(firstSound(disk.left()), disk.left().size()) << "a start muted made a sound";

    Sound::setMuted(false);
    sound.load("data/jump.wav");
    sleepMs(50);  // past the fade in
    std::size_t before = disk.framesWritten();
    sound.play("data/jump.wav");
    EXPECT_EQ(Mix_Playing(-1), 2);
    const Samples clip = leftChannel(sound.load("data/jump.wav"));
    disk.waitFor(before, kLatency + clip.size() + Sound::kFrequency / 10);
    // The music plays on beside it, so the effect is found by what is left
    // of the mix once the music is taken out.
    const Samples music = leftChannel(sound.load("data/menu.wav"));
    Samples out = disk.left();
    std::size_t m = alignLoop(out, music, before);
    while (m >= music.size()) m -= music.size();
    for (std::size_t i = m; i < out.size(); ++i) out[i] -= kMixerMusicGain * music[(i - m) % music.size()];
    std::size_t at = align(out, clip, firstSound(out, before, 300.0) - firstSound(clip, 0, 1000.0));
    Fit f = fitGain(out, at, clip, 0, clip.size());
    EXPECT_NEAR(f.gain, kMixerEffectGain, 0.003);
    EXPECT_LT(f.residual, 2e-2);
}
