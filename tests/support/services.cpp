#include "support/services.h"

#include <cstdlib>
#include <memory>

#include "game/input.h"
#include "orvo3d/sound.h"

namespace {

std::unique_ptr<Input> input;
std::unique_ptr<Lazy<Sound>> sound;

}  // namespace

Input& testInput() { return *input; }

Lazy<Sound>& testSoundService() { return *sound; }

Sound& testSound() { return sound->get(); }

TestServices::TestServices() {
    input = std::make_unique<Input>();
    sound = std::make_unique<Lazy<Sound>>();
}

TestServices::~TestServices() {
    // The effect probe's disk driver sleeps minutes between buffers, and
    // closing the device waits for that sleep to end: a process that used it
    // leaves its Sound to the process exit.
    const char* delay = std::getenv("SDL_DISKAUDIODELAY");
    if (delay != nullptr && std::atol(delay) > 1000 && sound->made() != nullptr) (void)sound.release();
    sound.reset();
    input.reset();
}
