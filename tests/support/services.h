#pragma once
// The services without GL that the application owns in the game, owned here
// by the test entry for the whole test process: the key table and the sound.
// Each GlContext owns the GL ones.

#include "orvo3d/service.h"

class Input;
class Sound;

// The test process's key table.
Input& testInput();
// The test process's sound, started on first use.
Lazy<Sound>& testSoundService();
Sound& testSound();

// The owners behind them; made by the test entry (test_main) before the
// tests run and gone before the sandbox is.
struct TestServices {
    TestServices();
    ~TestServices();
    TestServices(const TestServices&) = delete;
    TestServices& operator=(const TestServices&) = delete;
};
