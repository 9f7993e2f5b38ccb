// Synthesises the game's sound effects and its music loop.
//
//   make_sounds [data-dir]      (default: data)
//
// Effects: data/jump.wav, crash.wav, falloff.wav, menu.wav, select.wav, each
// PCM 8-bit unsigned mono 44100 Hz. Music: a 125 BPM synth loop of 48 bars
// (92.16 s), rendered at 24000 Hz stereo and encoded by `lame` into
// data/music.mp3 (MPEG-2 layer III, 64 kbit/s, joint stereo).
//
// Everything is computed from fixed seeds, so the output is the same on every
// run. The loop is rendered circularly (tails of notes near the end wrap onto
// the start), so its last sample runs into its first without a seam. It is
// encoded with a little of its own end before it and of its start after it,
// and lame's gapless header is patched so that decoders drop exactly that
// context: what the game decodes is the loop, sample for sample in length.

#include <unistd.h>
#include <sys/wait.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Small deterministic noise source (xorshift32).
struct Noise {
    std::uint32_t state;
    explicit Noise(std::uint32_t seed) : state(seed) {}
    double next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return static_cast<double>(state) / 2147483648.0 - 1.0;  // [-1, 1)
    }
};

// One-pole low-pass; high-pass is the input minus its low-pass.
struct OnePole {
    double z = 0.0;
    double step(double x, double cutoff, double rate) {
        double a = 1.0 - std::exp(-kTwoPi * cutoff / rate);
        z += a * (x - z);
        return z;
    }
};

// Chamberlin state-variable filter (low-pass output), stable for the cutoffs
// used here (well below a sixth of the sample rate).
struct StateVariable {
    double low = 0.0, band = 0.0;
    double step(double x, double cutoff, double resonance, double rate) {
        double f = 2.0 * std::sin(kPi * std::min(cutoff, rate / 6.0) / rate);
        double q = 1.0 / resonance;
        low += f * band;
        double high = x - low - q * band;
        band += f * high;
        return low;
    }
};

// Band-limited step correction for saw and pulse oscillators.
double polyBlep(double t, double dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0;
    }
    if (t > 1.0 - dt) {
        t = (t - 1.0) / dt;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

double saw(double phase, double dt) { return 2.0 * phase - 1.0 - polyBlep(phase, dt); }

double pulse(double phase, double dt, double width) {
    double v = (phase < width ? 1.0 : -1.0) + polyBlep(phase, dt);
    double shifted = phase - width;
    if (shifted < 0.0) shifted += 1.0;
    return v - polyBlep(shifted, dt);
}

double midiToHz(double note) { return 440.0 * std::pow(2.0, (note - 69.0) / 12.0); }

// Short raised-cosine ramps keep every clip's ends at the zero line (no click).
double edgeFade(std::size_t i, std::size_t n, double rate, double inSeconds, double outSeconds) {
    double t = static_cast<double>(i) / rate;
    double left = static_cast<double>(n - 1 - i) / rate;
    double g = 1.0;
    if (t < inSeconds) g *= 0.5 - 0.5 * std::cos(kPi * t / inSeconds);
    if (left < outSeconds) g *= 0.5 - 0.5 * std::cos(kPi * left / outSeconds);
    return g;
}

// ---------------------------------------------------------------- effects

constexpr double kEffectRate = 44100.0;

std::size_t samplesFor(double seconds) { return static_cast<std::size_t>(std::lround(seconds * kEffectRate)); }

// Rising blip with a breathy whoosh under it: the ship leaving the road.
std::vector<double> makeJump() {
    const std::size_t n = samplesFor(0.264);
    std::vector<double> out(n);
    Noise noise(0x4A554D50u);
    OnePole lowNoise, bodyLow;
    StateVariable whooshFilter;
    double phase = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kEffectRate;
        double u = t / 0.264;
        double hz = 220.0 * std::pow(2.0, 2.0 * u);  // two octaves up
        phase += hz / kEffectRate;
        phase -= std::floor(phase);
        double dt = hz / kEffectRate;
        double tone = 0.55 * pulse(phase, dt, 0.30) + 0.45 * std::sin(kTwoPi * phase);
        tone = bodyLow.step(tone, 2400.0 + 3000.0 * u, kEffectRate);
        double air = whooshFilter.step(noise.next(), 500.0 + 3500.0 * u, 2.5, kEffectRate);
        air = 0.6 * air + 0.4 * lowNoise.step(air, 1500.0, kEffectRate);
        double env = std::min(1.0, t / 0.006) * (1.0 - 0.55 * u);
        double whooshEnv = std::sin(kPi * std::min(1.0, u * 1.1));
        out[i] = (0.62 * tone + 0.35 * air * whooshEnv) * env * edgeFade(i, n, kEffectRate, 0.002, 0.020);
    }
    return out;
}

// A dull thud with a noisy burst on top: the ship hitting a block.
std::vector<double> makeCrash() {
    const std::size_t n = samplesFor(0.200);
    std::vector<double> out(n);
    Noise noise(0xC4A5F00Du);
    OnePole burstLow, rumbleLow;
    double phase = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kEffectRate;
        double hz = 45.0 + 95.0 * std::exp(-t / 0.035);
        phase += hz / kEffectRate;
        double thud = std::sin(kTwoPi * phase) * std::exp(-t / 0.070);
        double n1 = noise.next();
        double burst = burstLow.step(n1, 300.0 + 5000.0 * std::exp(-t / 0.025), kEffectRate) * std::exp(-t / 0.045);
        double rumble = rumbleLow.step(n1, 180.0, kEffectRate) * std::exp(-t / 0.090);
        double x = 0.95 * thud + 1.1 * burst + 2.2 * rumble;
        x = std::tanh(1.6 * x);  // a little grit
        out[i] = 0.9 * x * std::min(1.0, t / 0.0015) * edgeFade(i, n, kEffectRate, 0.0005, 0.015);
    }
    return out;
}

// A long falling tone with a wobble: the ship dropping away into space.
std::vector<double> makeFalloff() {
    const std::size_t n = samplesFor(0.900);
    std::vector<double> out(n);
    StateVariable tone;
    double phaseA = 0.0, phaseB = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kEffectRate;
        double u = t / 0.900;
        double wobble = 1.0 + 0.025 * std::sin(kTwoPi * 7.0 * t);
        double hz = 880.0 * std::pow(80.0 / 880.0, u) * wobble;
        phaseA += hz / kEffectRate;
        phaseA -= std::floor(phaseA);
        phaseB += hz * 1.007 / kEffectRate;
        phaseB -= std::floor(phaseB);
        double x = saw(phaseA, hz / kEffectRate) + 0.7 * saw(phaseB, hz * 1.007 / kEffectRate);
        x = tone.step(x, 900.0 + 2600.0 * (1.0 - u), 1.4, kEffectRate);
        double env = std::min(1.0, t / 0.012) * (1.0 - 0.65 * u);
        out[i] = 0.45 * x * env * edgeFade(i, n, kEffectRate, 0.001, 0.150);
    }
    return out;
}

// A short tick for moving the menu selection.
std::vector<double> makeMenu() {
    const std::size_t n = samplesFor(0.058);
    std::vector<double> out(n);
    Noise noise(0x7E1C4u);
    OnePole clickHigh;
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kEffectRate;
        double body = std::sin(kTwoPi * 1760.0 * t) + 0.35 * std::sin(kTwoPi * 3520.0 * t);
        double nz = noise.next();
        double click = (nz - clickHigh.step(nz, 4000.0, kEffectRate)) * std::exp(-t / 0.002);
        double x = 0.55 * body * std::exp(-t / 0.014) + 0.5 * click;
        out[i] = x * std::min(1.0, t / 0.0008) * edgeFade(i, n, kEffectRate, 0.0003, 0.008);
    }
    return out;
}

// A bright two-note bell: a choice confirmed.
std::vector<double> makeSelect() {
    const std::size_t n = samplesFor(0.185);
    std::vector<double> out(n);
    const double notes[2] = {midiToHz(84.0), midiToHz(91.0)};  // C6 then G6
    const double starts[2] = {0.0, 0.055};
    for (std::size_t i = 0; i < n; ++i) {
        double t = static_cast<double>(i) / kEffectRate;
        double x = 0.0;
        for (int k = 0; k < 2; ++k) {
            double local = t - starts[k];
            if (local < 0.0) continue;
            double f = notes[k];
            double bell = std::sin(kTwoPi * f * local) + 0.45 * std::sin(kTwoPi * 2.0 * f * local) * std::exp(-local / 0.03) +
                          0.2 * std::sin(kTwoPi * 3.01 * f * local) * std::exp(-local / 0.02);
            x += bell * std::min(1.0, local / 0.002) * std::exp(-local / 0.075);
        }
        out[i] = 0.42 * x * edgeFade(i, n, kEffectRate, 0.0005, 0.012);
    }
    return out;
}

void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int k = 0; k < 4; ++k) out.push_back(static_cast<unsigned char>(v >> (8 * k)));
}

void put16(std::vector<unsigned char>& out, std::uint16_t v) {
    out.push_back(static_cast<unsigned char>(v));
    out.push_back(static_cast<unsigned char>(v >> 8));
}

bool writeBytes(const std::filesystem::path& path, const std::vector<unsigned char>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

// RIFF/WAVE, PCM 8-bit unsigned mono 44100 Hz; a pad byte keeps an odd data
// chunk word-aligned as RIFF asks.
bool writeWav8(const std::filesystem::path& path, const std::vector<double>& samples) {
    const auto count = static_cast<std::uint32_t>(samples.size());
    const std::uint32_t pad = count & 1u;
    std::vector<unsigned char> out;
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 4 + (8 + 16) + (8 + count + pad));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 1);  // mono
    put32(out, 44100);
    put32(out, 44100);  // byte rate
    put16(out, 1);      // block align
    put16(out, 8);      // bits
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, count);
    for (double s : samples) {
        long v = std::lround(128.0 + 127.0 * std::clamp(s, -1.0, 1.0));
        out.push_back(static_cast<unsigned char>(std::clamp(v, 0L, 255L)));
    }
    if (pad != 0) out.push_back(128);
    return writeBytes(path, out);
}

// ---------------------------------------------------------------- music

constexpr int kMusicRate = 24000;
constexpr std::size_t kSixteenth = 2880;       // 125 BPM at 24 kHz
constexpr std::size_t kBar = 16 * kSixteenth;  // 46080 samples = 80 MP3 frames
constexpr int kBars = 48;
constexpr std::size_t kLoop = kBar * kBars;

struct Stereo {
    std::vector<double> left = std::vector<double>(kLoop, 0.0);
    std::vector<double> right = std::vector<double>(kLoop, 0.0);
};

// Adds a voice rendered by `voice(i)` for `length` samples from `start`,
// wrapping past the end of the loop onto its beginning so the loop is seamless.
void addVoice(std::vector<double>& left, std::vector<double>& right, std::size_t start, std::size_t length, double pan,
              const std::function<double(std::size_t)>& voice) {
    double gl = std::cos((pan + 1.0) * kPi / 4.0);
    double gr = std::sin((pan + 1.0) * kPi / 4.0);
    for (std::size_t i = 0; i < length; ++i) {
        double v = voice(i);
        std::size_t at = (start + i) % kLoop;
        left[at] += gl * v;
        right[at] += gr * v;
    }
}

struct Chord {
    int bass;
    std::array<int, 3> tones;
};

// A minor: Am, F, C, G, one chord a bar.
constexpr std::array<Chord, 4> kChords = {{{45, {57, 60, 64}}, {41, {57, 60, 65}}, {48, {55, 60, 64}}, {43, {55, 59, 62}}}};

enum Section { Intro, Drive, Breakdown, Finale };

Section sectionOf(int bar) {
    if (bar < 8) return Intro;
    if (bar < 24) return Drive;
    if (bar < 32) return Breakdown;
    return Finale;
}

double seconds(std::size_t samples) { return static_cast<double>(samples) / kMusicRate; }

void addKick(Stereo& mix, std::size_t at, double level) {
    const std::size_t n = static_cast<std::size_t>(0.32 * kMusicRate);
    auto phase = std::make_shared<double>(0.0);
    addVoice(mix.left, mix.right, at, n, 0.0, [=](std::size_t i) {
        double t = seconds(i);
        double hz = 48.0 + 110.0 * std::exp(-t / 0.028);
        *phase += hz / kMusicRate;
        double body = std::sin(kTwoPi * *phase) * std::exp(-t / 0.16);
        double click = std::exp(-t / 0.0015) * 0.35;
        double fade = i + 48 >= n ? static_cast<double>(n - i) / 48.0 : 1.0;
        return level * std::tanh(1.8 * (body + click)) * std::min(1.0, t / 0.0006) * fade;
    });
}

void addSnare(Stereo& mix, std::size_t at, double level, std::uint32_t seed) {
    const std::size_t n = static_cast<std::size_t>(0.22 * kMusicRate);
    auto noise = std::make_shared<Noise>(seed);
    auto low = std::make_shared<OnePole>();
    addVoice(mix.left, mix.right, at, n, 0.05, [=](std::size_t i) {
        double t = seconds(i);
        double nz = noise->next();
        double bright = nz - low->step(nz, 900.0, kMusicRate);
        double body = std::sin(kTwoPi * 185.0 * t) * std::exp(-t / 0.045);
        double fade = i + 48 >= n ? static_cast<double>(n - i) / 48.0 : 1.0;
        return level * (0.75 * bright * std::exp(-t / 0.065) + 0.55 * body) * std::min(1.0, t / 0.0008) * fade;
    });
}

void addHat(Stereo& mix, std::size_t at, double level, bool open, double pan, std::uint32_t seed) {
    const double tau = open ? 0.11 : 0.018;
    const std::size_t n = static_cast<std::size_t>((open ? 0.4 : 0.08) * kMusicRate);
    auto noise = std::make_shared<Noise>(seed);
    auto low = std::make_shared<OnePole>();
    addVoice(mix.left, mix.right, at, n, pan, [=](std::size_t i) {
        double t = seconds(i);
        double nz = noise->next();
        double high = nz - low->step(nz, 6000.0, kMusicRate);
        double fade = i + 32 >= n ? static_cast<double>(n - i) / 32.0 : 1.0;
        return level * high * std::exp(-t / tau) * std::min(1.0, t / 0.0005) * fade;
    });
}

void addBass(Stereo& mix, std::size_t at, std::size_t length, int note, double level, double brightness) {
    const double hz = midiToHz(note);
    const std::size_t n = length + static_cast<std::size_t>(0.02 * kMusicRate);
    auto state = std::make_shared<std::array<double, 2>>();  // saw phase, sub phase
    auto filter = std::make_shared<StateVariable>();
    addVoice(mix.left, mix.right, at, n, 0.0, [=](std::size_t i) {
        double t = seconds(i);
        auto& s = *state;
        s[0] += hz / kMusicRate;
        s[0] -= std::floor(s[0]);
        s[1] += 0.5 * hz / kMusicRate;
        s[1] -= std::floor(s[1]);
        double x = saw(s[0], hz / kMusicRate);
        double cutoff = 180.0 + brightness * 1400.0 * std::exp(-t / 0.07);
        double y = filter->step(x, cutoff, 2.2, kMusicRate) + 0.55 * std::sin(kTwoPi * s[1]);
        double env = std::min(1.0, t / 0.003);
        if (i >= length) env *= 1.0 - static_cast<double>(i - length) / static_cast<double>(n - length);
        return level * std::tanh(1.3 * y) * env;
    });
}

void addPad(Stereo& mix, std::size_t at, std::size_t length, const Chord& chord, double level) {
    const std::size_t release = static_cast<std::size_t>(0.35 * kMusicRate);
    const std::size_t n = length + release;
    const double detune[3] = {-0.11, 0.0, 0.12};
    const double pans[3] = {-0.6, 0.0, 0.6};
    for (int tone = 0; tone < 3; ++tone) {
        for (int v = 0; v < 3; ++v) {
            double hz = midiToHz(chord.tones[static_cast<std::size_t>(tone)] + detune[v]);
            auto phase = std::make_shared<double>(0.137 * (tone * 3 + v));
            auto filter = std::make_shared<StateVariable>();
            addVoice(mix.left, mix.right, at, n, pans[v], [=](std::size_t i) {
                double t = seconds(i);
                *phase += hz / kMusicRate;
                *phase -= std::floor(*phase);
                double y = filter->step(saw(*phase, hz / kMusicRate), 1100.0 + 300.0 * std::sin(kTwoPi * 0.25 * t), 0.9,
                                        kMusicRate);
                double env = std::min(1.0, t / 0.25);
                if (i >= length) env *= std::exp(-seconds(i - length) / 0.08);
                if (i + 64 >= n) env *= static_cast<double>(n - i) / 64.0;
                return level * y * env;
            });
        }
    }
}

void addPluck(std::vector<double>& left, std::vector<double>& right, std::size_t at, int note, double level,
              double pan, double cutoff) {
    const double hz = midiToHz(note);
    const std::size_t n = static_cast<std::size_t>(0.30 * kMusicRate);
    auto phase = std::make_shared<double>(0.0);
    auto filter = std::make_shared<StateVariable>();
    addVoice(left, right, at, n, pan, [=](std::size_t i) {
        double t = seconds(i);
        *phase += hz / kMusicRate;
        *phase -= std::floor(*phase);
        double x = pulse(*phase, hz / kMusicRate, 0.25);
        double y = filter->step(x, cutoff * (0.35 + 0.65 * std::exp(-t / 0.05)), 1.8, kMusicRate);
        double env = std::min(1.0, t / 0.002) * std::exp(-t / 0.09);
        if (i + 48 >= n) env *= static_cast<double>(n - i) / 48.0;
        return level * y * env;
    });
}

void addLead(Stereo& mix, std::size_t at, std::size_t length, int note, double level) {
    const double hz = midiToHz(note);
    const std::size_t release = static_cast<std::size_t>(0.12 * kMusicRate);
    const std::size_t n = length + release;
    auto state = std::make_shared<std::array<double, 2>>();
    auto filter = std::make_shared<StateVariable>();
    addVoice(mix.left, mix.right, at, n, 0.1, [=](std::size_t i) {
        double t = seconds(i);
        double vib = 1.0 + 0.006 * std::sin(kTwoPi * 5.5 * t) * std::min(1.0, t / 0.25);
        auto& s = *state;
        s[0] += hz * vib / kMusicRate;
        s[0] -= std::floor(s[0]);
        s[1] += hz * vib * 1.004 / kMusicRate;
        s[1] -= std::floor(s[1]);
        double x = saw(s[0], hz / kMusicRate) + 0.6 * pulse(s[1], hz / kMusicRate, 0.5);
        double y = filter->step(x, 2600.0, 1.1, kMusicRate);
        double env = std::min(1.0, t / 0.01);
        if (i >= length) env *= std::exp(-seconds(i - length) / 0.035);
        if (i + 48 >= n) env *= static_cast<double>(n - i) / 48.0;
        return level * y * env;
    });
}

// Lead motif in eighths, one row per chord; 0 is a rest, -1 holds the note.
constexpr int kMotif[4][8] = {
    {76, -1, 81, -1, 79, 76, -1, 74},
    {72, -1, 74, 76, -1, -1, 72, 69},
    {67, -1, 72, -1, 76, -1, 79, 76},
    {74, -1, 71, -1, 67, -1, -1, 0},
};

Stereo renderMusic() {
    Stereo mix;
    Stereo echoSend;  // the arpeggio also feeds a ping-pong echo
    std::uint32_t seed = 0x5EED0001u;
    for (int bar = 0; bar < kBars; ++bar) {
        const Section section = sectionOf(bar);
        const Chord& chord = kChords[static_cast<std::size_t>(bar % 4)];
        const std::size_t barStart = static_cast<std::size_t>(bar) * kBar;
        const bool lastOfPhrase = bar % 8 == 7;

        for (int step = 0; step < 16; ++step) {
            const std::size_t at = barStart + static_cast<std::size_t>(step) * kSixteenth;
            const bool beat = step % 4 == 0;
            const bool offbeat = step % 4 == 2;

            if (section != Breakdown && beat) addKick(mix, at, 0.95);
            if (section == Breakdown && bar >= 30 && (bar == 31 ? step % 2 == 0 : beat)) addKick(mix, at, 0.55);
            if ((section == Drive || section == Finale) && (step == 4 || step == 12)) addSnare(mix, at, 0.55, seed++);
            if (lastOfPhrase && section != Breakdown && step >= 13) addSnare(mix, at, 0.35, seed++);

            if (section != Breakdown) {
                if (offbeat) addHat(mix, at, section == Intro ? 0.18 : 0.24, section == Finale, 0.35, seed++);
                else if (section != Intro) addHat(mix, at, 0.10, false, -0.3, seed++);
            }

            // Rolling bass on every eighth, octave jump on the last one.
            if (step % 2 == 0) {
                int note = chord.bass + (step == 14 ? 12 : 0);
                double brightness = section == Breakdown ? 0.25 : (offbeat ? 1.0 : 0.6);
                if (section != Breakdown || step % 4 == 0)
                    addBass(mix, at, kSixteenth * (section == Breakdown ? 4 : 2) - 120, note, 0.40, brightness);
            }

            // Arpeggio over two octaves of the chord, in every section but the intro's first half.
            if (bar >= 4) {
                static constexpr int order[16] = {0, 1, 2, 3, 4, 5, 4, 3, 1, 2, 3, 4, 5, 6, 5, 2};
                int idx = order[step];
                int note = chord.tones[static_cast<std::size_t>(idx % 3)] + 12 * (idx / 3);
                double cutoff = section == Breakdown ? 1200.0 + 250.0 * (bar - 24) : 3200.0;
                double level = section == Intro ? 0.10 : 0.15;
                double pan = step % 2 == 0 ? -0.25 : 0.25;
                addPluck(mix.left, mix.right, at, note, level, pan, cutoff);
                addPluck(echoSend.left, echoSend.right, at, note, level, pan, cutoff);
            }
        }

        addPad(mix, barStart, kBar, chord, section == Breakdown ? 0.045 : 0.028);

        if (section == Finale) {
            const int* row = kMotif[bar % 4];
            for (int e = 0; e < 8; ++e) {
                if (row[e] <= 0) continue;
                int len = 1;
                while (e + len < 8 && row[e + len] == -1) ++len;
                addLead(mix, barStart + static_cast<std::size_t>(e) * 2 * kSixteenth,
                        static_cast<std::size_t>(len) * 2 * kSixteenth - 400, row[e], 0.10);
            }
        }
    }

    // Ping-pong echo of the arpeggio: dotted eighths, alternating sides; taps
    // read circularly so the echo of the last bar sounds over the first.
    const std::size_t delay = 3 * kSixteenth;
    for (int tap = 1; tap <= 4; ++tap) {
        double gain = 0.45 * std::pow(0.55, tap - 1);
        std::size_t shift = delay * static_cast<std::size_t>(tap);
        for (std::size_t i = 0; i < kLoop; ++i) {
            std::size_t from = (i + kLoop - shift % kLoop) % kLoop;
            double mono = 0.5 * (echoSend.left[from] + echoSend.right[from]);
            (tap % 2 == 1 ? mix.right : mix.left)[i] += gain * mono;
        }
    }

    // Gentle saturation then a fixed gain to a peak of about -2 dBFS, which
    // leaves the encoder room for its overshoot.
    double peak = 0.0;
    for (std::size_t i = 0; i < kLoop; ++i) {
        mix.left[i] = std::tanh(1.1 * mix.left[i]);
        mix.right[i] = std::tanh(1.1 * mix.right[i]);
        peak = std::max({peak, std::abs(mix.left[i]), std::abs(mix.right[i])});
    }
    const double gain = 0.80 / peak;
    for (std::size_t i = 0; i < kLoop; ++i) {
        mix.left[i] *= gain;
        mix.right[i] *= gain;
    }
    return mix;
}

// Context the encoder sees on each side of the loop: two MP3 frames.
constexpr std::size_t kContext = 1152;

// RIFF/WAVE, PCM 16-bit stereo at the music rate: lame's input. The loop is
// written with the end of the loop before it and its start after it, so the
// encoder codes both ends as the middle of music rather than as an onset
// out of silence and a cut into padding; the gapless header, patched below,
// makes decoders drop that context again.
bool writeWav16(const std::filesystem::path& path, const Stereo& mix) {
    const std::size_t frames = kContext + kLoop + kContext;
    const auto bytes = static_cast<std::uint32_t>(frames * 4);
    std::vector<unsigned char> out;
    out.reserve(44 + frames * 4);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 4 + (8 + 16) + (8 + bytes));
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);  // PCM
    put16(out, 2);  // stereo
    put32(out, kMusicRate);
    put32(out, kMusicRate * 4);
    put16(out, 4);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, bytes);
    for (std::size_t k = 0; k < frames; ++k) {
        const std::size_t i = (k + kLoop - kContext) % kLoop;
        for (double s : {mix.left[i], mix.right[i]}) {
            long v = std::lround(32767.0 * std::clamp(s, -1.0, 1.0));
            put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(v)));
        }
    }
    return writeBytes(path, out);
}

// CRC-16 as the LAME header uses it (polynomial 0x8005, reflected, start 0).
std::uint16_t lameCrc(const unsigned char* data, std::size_t n) {
    std::uint16_t crc = 0;
    for (std::size_t i = 0; i < n; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1u) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001u) : crc >> 1;
    }
    return crc;
}

// Moves the encoder context into the gapless header's delay and padding
// fields (12 bits each) and renews the header's CRC.
bool trimContext(const std::filesystem::path& mp3) {
    std::ifstream in(mp3, std::ios::binary);
    std::vector<unsigned char> file((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();
    // First frame: MPEG-2 stereo side information is 17 bytes; the Info header follows.
    constexpr std::size_t kInfo = 4 + 17;
    if (file.size() < kInfo + 200 || std::memcmp(&file[kInfo], "Info", 4) != 0) return false;
    const std::uint32_t flags = std::uint32_t(file[kInfo + 4]) << 24 | std::uint32_t(file[kInfo + 5]) << 16 |
                                std::uint32_t(file[kInfo + 6]) << 8 | file[kInfo + 7];
    std::size_t lame = kInfo + 8 + ((flags & 1u) ? 4 : 0) + ((flags & 2u) ? 4 : 0) + ((flags & 4u) ? 100 : 0) +
                       ((flags & 8u) ? 4 : 0);
    if (lame + 36 > file.size() || std::memcmp(&file[lame], "LAME", 4) != 0) return false;
    const std::size_t crcAt = lame + 34;
    if (lameCrc(file.data(), crcAt) != (file[crcAt] << 8 | file[crcAt + 1])) return false;

    unsigned char* field = &file[lame + 21];
    std::size_t delay = static_cast<std::size_t>(field[0] << 4 | field[1] >> 4) + kContext;
    std::size_t padding = static_cast<std::size_t>((field[1] & 0x0F) << 8 | field[2]) + kContext;
    if (delay > 0xFFF || padding > 0xFFF) return false;
    field[0] = static_cast<unsigned char>(delay >> 4);
    field[1] = static_cast<unsigned char>((delay & 0x0F) << 4 | padding >> 8);
    field[2] = static_cast<unsigned char>(padding & 0xFF);
    const std::uint16_t crc = lameCrc(file.data(), crcAt);
    file[crcAt] = static_cast<unsigned char>(crc >> 8);
    file[crcAt + 1] = static_cast<unsigned char>(crc & 0xFF);
    return writeBytes(mp3, file);
}

// Runs lame without a shell so paths need no quoting.
bool encodeMp3(const std::filesystem::path& wav, const std::filesystem::path& mp3) {
    std::vector<std::string> args = {"lame", "--quiet", "--resample", "24", "-m",         "j",
                                     "-b",   "64",      "--cbr",      "-q", "2",          wav.string(),
                                     mp3.string()};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        execvp("lame", argv.data());
        _exit(127);
    }
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return false;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path dir = argc > 1 ? argv[1] : "data";
    std::error_code ec;
    std::filesystem::create_directories(dir, ec);

    struct Effect {
        const char* name;
        std::vector<double> (*make)();
    };
    const Effect effects[] = {{"jump.wav", makeJump},
                              {"crash.wav", makeCrash},
                              {"falloff.wav", makeFalloff},
                              {"menu.wav", makeMenu},
                              {"select.wav", makeSelect}};
    for (const Effect& e : effects) {
        if (!writeWav8(dir / e.name, e.make())) {
            std::fprintf(stderr, "make_sounds: cannot write %s\n", (dir / e.name).c_str());
            return 1;
        }
    }

    // The raw music stays out of data/: everything there is embedded.
    char scratch[] = "/tmp/make_sounds-XXXXXX";
    if (mkdtemp(scratch) == nullptr) {
        std::perror("make_sounds: mkdtemp");
        return 1;
    }
    const std::filesystem::path wav = std::filesystem::path(scratch) / "music.wav";
    bool ok = writeWav16(wav, renderMusic()) && encodeMp3(wav, dir / "music.mp3") && trimContext(dir / "music.mp3");
    std::filesystem::remove_all(scratch, ec);
    if (!ok) {
        std::fprintf(stderr, "make_sounds: encoding the music failed (lame, or its gapless header)\n");
        return 1;
    }
    return 0;
}
