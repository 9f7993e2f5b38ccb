#include "orvo3d/sound.h"

#include <SDL2/SDL.h>
#include <SDL2/SDL_mixer.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cmath>

#include "orvo3d/hash.h"
#include "orvo3d/log.h"
#include "orvo3d/storage.h"

namespace {

constexpr int kEffectGroup = 1;

int mixerVolume(float volume) { return static_cast<int>(std::lround(volume * MIX_MAX_VOLUME)); }

// Set on the main thread, read by the mixer's thread.
std::atomic<bool> muted{false};
// The gain the mute fade has reached; the mixer's thread alone changes it
// once the fade is registered.
float muteGain = 1.0f;

// Runs on the whole mix (16-bit stereo, as the device was opened). Unmuted
// and not fading, the mix passes untouched, sample for sample.
void fadeForMute(int, void* stream, int length, void*) {
    const float target = muted.load(std::memory_order_relaxed) ? 0.0f : 1.0f;
    if (muteGain == 1.0f && target == 1.0f) return;
    constexpr float kStep = 1.0f / Sound::kMuteRampFrames;
    auto* samples = static_cast<Sint16*>(stream);
    const int frames = length / static_cast<int>(2 * sizeof(Sint16));
    for (int f = 0; f < frames; ++f) {
        muteGain = muteGain < target ? std::min(target, muteGain + kStep) : std::max(target, muteGain - kStep);
        for (int c = 0; c < 2; ++c) {
            Sint16& sample = samples[2 * f + c];
            sample = static_cast<Sint16>(std::lround(static_cast<float>(sample) * muteGain));
        }
    }
}

}  // namespace

void SoundClip::ChunkDeleter::operator()(Mix_Chunk* chunk) const { Mix_FreeChunk(chunk); }


Sound::Sound() {
    // Only the audio part of SDL is started; the window belongs to GLFW.
    // The rate is fixed (no frequency change allowed) so every sound is
    // decoded into one known format; SDL converts the mix for the device.
    // SDL would turn SIGINT and SIGTERM into quit events that nothing reads;
    // leave the default handlers so the game can be stopped from outside.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    int result = SDL_InitSubSystem(SDL_INIT_AUDIO);
    if (result == 0) {
        result = Mix_OpenAudioDevice(kFrequency, AUDIO_S16SYS, 2, kBufferFrames, nullptr, 0);
        if (result != 0) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    if (result != 0) {
        Logger::error("orvo3d/sound", __LINE__, "Failed to start sound engine: %d", result);
        Logger::info("orvo3d/sound", __LINE__, "%s", SDL_GetError());
        return;
    }

    Mix_AllocateChannels(1 + kEffectChannels);
    Mix_ReserveChannels(1);  // the music's channel is never picked for an effect
    Mix_GroupChannels(kMusicChannel + 1, kEffectChannels, kEffectGroup);

    engine = std::make_unique<SoundEngine>();
    Uint16 format = 0;
    Mix_QuerySpec(&engine->frequency, &format, &engine->channels);

    // A start muted begins silent, with no fade.
    muteGain = muted.load() ? 0.0f : 1.0f;
    Mix_RegisterEffect(MIX_CHANNEL_POST, fadeForMute, nullptr, nullptr);
}

Sound::~Sound() {
    if (!engine) return;
    // The mixer's thread reads the chunks until their voices stop, so the
    // voices go first, then the chunks, then the device.
    Mix_HaltChannel(-1);
    sounds.clear();
    Mix_CloseAudio();
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void Sound::setMuted(bool mute) { muted.store(mute); }

bool Sound::isMuted() { return muted.load(); }

SoundClip& Sound::load(const char* path) {
    if (path == nullptr) path = "";
    const std::uint32_t key = hashName(path);
    if (auto found = sounds.find(key); found != sounds.end()) return *found->second;
    // Cached even when empty, so a broken sound reports once and then stays silent.
    return *sounds.emplace(key, decode(path)).first->second;
}

std::unique_ptr<SoundClip> Sound::decode(const char* path) const {
    if (path == nullptr) path = "";
    auto clip = std::make_unique<SoundClip>();
    const Resource* resource = Storage::findEmbedded(path);
    if (resource == nullptr) {
        // Both steps of the lookup report, as the executable's resource
        // lookup does when the name is missing.
        Logger::error("orvo3d/sound", __LINE__, "Failed to find resource");
        Logger::error("orvo3d/sound", __LINE__, "Failed to load resource");
    } else if (engine) {
        // The chunk is a converted copy: nothing of the embedded bytes is kept.
        if (resource->size() <= static_cast<std::size_t>(INT_MAX)) {
            SDL_RWops* source = SDL_RWFromConstMem(resource->begin, static_cast<int>(resource->size()));
            clip->chunk.reset(Mix_LoadWAV_RW(source, 1));
        }
        if (!clip->chunk) Logger::error("orvo3d/sound", __LINE__, "Failed to decode sound: %s", path);
    }
    return clip;
}

void Sound::adopt(const char* path, std::unique_ptr<SoundClip> clip) {
    if (path == nullptr) path = "";
    sounds.emplace(hashName(path), std::move(clip));
}

void Sound::play(const char* path) {
    if (!engine || isMuted()) return;
    SoundClip& clip = load(path);
    if (!clip.chunk) return;
    int channel = Mix_GroupAvailable(kEffectGroup);
    if (channel < 0) {
        // Every effect channel is busy: the oldest effect gives way.
        channel = Mix_GroupOldest(kEffectGroup);
        if (channel < 0) return;
        Mix_HaltChannel(channel);
    }
    start(clip, channel, kEffectVolume);
}

void Sound::playMusic(const char* path) {
    if (!engine) return;
    SoundClip& clip = load(path);
    clip.looping = true;
    if (!clip.chunk) return;
    Mix_HaltChannel(kMusicChannel);
    start(clip, kMusicChannel, kMusicVolume);
}

void Sound::start(const SoundClip& clip, int channel, float volume) {
    // The channel is idle, so the mixer thread cannot mix any sample of this
    // voice before its volume is set.
    Mix_Volume(channel, mixerVolume(volume));
    Mix_PlayChannel(channel, clip.chunk.get(), clip.looping ? -1 : 0);
}
