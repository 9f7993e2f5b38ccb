#pragma once
// The process-wide sound player: one-shot effects and one looping music
// track, named by their data paths ("data/jump.wav"). Each sound is decoded
// whole on first use and kept while the player lives.

#include <cstdint>
#include <map>
#include <memory>

struct Mix_Chunk;

// A decoded sound as the mixer holds it. `chunk` is null when the sound could
// not be loaded; it then plays as silence. `looping` belongs to the sound, not
// to one play: once the music has marked a sound looping, every later play of
// it loops too.
struct SoundClip {
    struct ChunkDeleter {
        void operator()(Mix_Chunk* chunk) const;
    };
    std::unique_ptr<Mix_Chunk, ChunkDeleter> chunk;
    bool looping = false;
};

// The opened mixer. Its absence means the engine could not start.
struct SoundEngine {
    int frequency = 0;
    int channels = 0;
};

class Sound {
public:
    // Effects at 0.4, music at 0.15 of full scale.
    static constexpr float kEffectVolume = 0.4f;
    static constexpr float kMusicVolume = 0.15f;
    // Output rate: the music's own, so it is never resampled while decoding.
    static constexpr int kFrequency = 24000;
    // Frames per mix; about 21 ms at kFrequency.
    static constexpr int kBufferFrames = 512;
    // Channel 0 is the music's; effects share the rest.
    static constexpr int kMusicChannel = 0;
    static constexpr int kEffectChannels = 16;
    // Muting and unmuting fade the whole mix over this many frames (5 ms):
    // at once to the ear, without the click of a cut.
    static constexpr int kMuteRampFrames = 120;

    // Starts the engine (or records why it cannot); only the engine's
    // absence tells. One at a time: the application's (a Lazy<Sound>).
    Sound();
    // Stops every voice, frees the sounds and closes the engine.
    ~Sound();
    Sound(const Sound&) = delete;
    Sound& operator=(const Sound&) = delete;

    // Plays the sound once as an effect; each call is a new voice, so effects
    // overlap.
    void play(const char* path);

    // Plays the sound looping on the music channel.
    void playMusic(const char* path);

    // Mutes or unmutes the music and the effects together. Muted, effects
    // are not started and the music goes on unheard, so it comes back in
    // time; the volumes stay as they are. Works before the engine starts
    // (a start muted) and without one.
    static void setMuted(bool muted);
    static bool isMuted();

    // The cached sound for the path, loaded on first use.
    SoundClip& load(const char* path);

    // Decodes the sound for the path without caching it. It touches nothing
    // the main thread uses, so a worker may decode while effects play.
    std::unique_ptr<SoundClip> decode(const char* path) const;

    // Caches a clip decoded by decode(), unless the path already has one.
    void adopt(const char* path, std::unique_ptr<SoundClip> clip);

    std::unique_ptr<SoundEngine> engine;
    std::map<std::uint32_t, std::unique_ptr<SoundClip>> sounds;

private:
    void start(const SoundClip& clip, int channel, float volume);
};
