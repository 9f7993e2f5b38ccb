// The running game per frame: Game::update (on the frame's input as the
// screen machine collects it) early in a run and far down the road, and one
// whole frame (update, shadow and main pass, swap, glFinish) measured next to
// an empty frame (clears and swap, glFinish) in the same loop, at the window
// sizes the game picks: 1920 x 1080 (a 1920 x 1200 screen) and 1280 x 720.
#include <benchmark/benchmark.h>

#include "orvo3d/opengl.h"  // epoxy before GLFW's own GL header

#include <GLFW/glfw3.h>

#include <chrono>
#include <cstdlib>

#include "game/bestscore.h"
#include "game/font.h"
#include "game/gameloop.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/plate.h"
#include "game/screenmachine.h"
#include "sim/player.h"
#include "sim/road.h"
#include "support/gl_context.h"
#include "support/services.h"

namespace {

// The main loop's frame period: 1/60 s + 1 ms.
constexpr float kFrameDt = 0.0176667f;
// Updates per measured stretch before the run is started again: the ship
// rests on the first plate for all of them.
constexpr int kEarlyUpdates = 120;

struct Bench {
    GlContext* ctx = nullptr;
    BestScore* best = nullptr;
    Game* game = nullptr;
};

// One window for every game benchmark: the game's GL objects belong to its
// context. Shown, so that a swap presents to the screen as the game's does.
Bench& bench() {
    static Bench b = [] {
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        Bench made;
        made.ctx = new GlContext(1920, 1080);  // never destroyed: it outlives the Game
        if (!made.ctx->ok()) return made;
        glfwShowWindow(made.ctx->window);
        // Both outlive the benchmarks, as the context's font and plates do.
        made.best = new BestScore;
        made.game = new Game(made.ctx->plates.get(), made.ctx->font.get(), made.best->value());
        return made;
    }();
    if (b.ctx != nullptr && b.ctx->ok()) glfwMakeContextCurrent(b.ctx->window);
    return b;
}

// Resizes the window and waits until its framebuffer has the new size.
bool useWindowSize(Bench& b, int width, int height) {
    glfwSetWindowSize(b.ctx->window, width, height);
    for (int i = 0; i < 500; ++i) {
        glfwPollEvents();
        int w = 0, h = 0;
        glfwGetFramebufferSize(b.ctx->window, &w, &h);
        if (w == width && h == height) {
            b.ctx->width = width;
            b.ctx->height = height;
            setInitialGlState(width, height);
            return true;
        }
        glfwWaitEventsTimeout(0.01);
    }
    return false;
}

// One update of the run as the screen machine makes it, on the frame's input
// from the test process's key table (no key down); false once the run ends.
bool update(Game& game) {
    FrameInput frame = collectFrame(testInput(), ScreenState::Playing, kFrameDt);
    return game.update(frame).next == ScreenState::Playing;
}

void BM_GameUpdateEarlyInARun(benchmark::State& state) {
    Bench& b = bench();
    if (b.game == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    Game& game = *b.game;
    game.reset(b.best->value());
    int updates = 0;
    for (auto _ : state) {
        if (!update(game) || ++updates == kEarlyUpdates) {
            state.PauseTiming();
            game.reset(b.best->value());
            updates = 0;
            state.ResumeTiming();
        }
    }
    state.counters["plates"] = static_cast<double>(game.road->plates.size());
}
BENCHMARK(BM_GameUpdateEarlyInARun)->Unit(benchmark::kMicrosecond);

// At distance 5 000 the road has a block on nearly every plate. The ship is
// put there at top speed and the track generates up to it; it then flies
// above the road (pillars reach 3 units up), so that it neither crashes nor
// falls while every update still tests it against every live plate and the
// track culls and generates as in a run. 2 000 updates cover 5 080 to 6 500.
void BM_GameUpdateAtDistance5000(benchmark::State& state) {
    Bench& b = bench();
    if (b.game == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    Game& game = *b.game;
    Player& player = *game.player;
    game.reset(b.best->value());
    auto keepAloft = [&player] {
        if (player.y < 8.0f) {
            player.y = 20.0f;
            player.verticalSpeed = 0.0f;
        }
    };
    player.z = 5000.0f;
    player.speed = 40.0f;
    // The first culling and generation step builds the whole road up to
    // 5 200 and the next one drops what lies behind: two steps come within
    // any 100 updates.
    for (int i = 0; i < 110; ++i) {
        keepAloft();
        update(game);
    }
    std::size_t plates = 0;
    for (auto _ : state) {
        keepAloft();
        if (!update(game)) {
            state.SkipWithError("the run ended");
            break;
        }
        plates += game.road->plates.size();
    }
    state.counters["plates"] = static_cast<double>(plates) / static_cast<double>(state.iterations());
    state.counters["end z"] = player.z;
}
BENCHMARK(BM_GameUpdateAtDistance5000)->Iterations(2000)->Repetitions(5)->Unit(benchmark::kMicrosecond);

using Clock = std::chrono::steady_clock;

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Per iteration an empty frame and then a whole frame, alternating so that
// both see the same machine load. The reported time is the whole frame's;
// the empty frame's and the ratio are counters.
void BM_FrameNextToEmptyFrame(benchmark::State& state) {
    Bench& b = bench();
    if (b.game == nullptr) {
        state.SkipWithError("no GL context");
        return;
    }
    const int width = static_cast<int>(state.range(0));
    const int height = width * 9 / 16;
    if (!useWindowSize(b, width, height)) {
        state.SkipWithError("the window did not take the size");
        return;
    }
    Game& game = *b.game;
    game.reset(b.best->value());
    game.render(b.ctx->target());  // first draws compile and upload outside the measurement
    glFinish();

    double empty = 0.0;
    double whole = 0.0;
    int updates = 0;
    for (auto _ : state) {
        const Clock::time_point t0 = Clock::now();
        glBindFramebuffer(GL_FRAMEBUFFER, 0);
        glClearColor(0.58f, 0.67f, 0.83f, 1.0f);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glfwSwapBuffers(b.ctx->window);
        glFinish();
        const Clock::time_point t1 = Clock::now();
        const bool running = update(game);
        game.render(b.ctx->target());
        glfwSwapBuffers(b.ctx->window);
        glFinish();
        const Clock::time_point t2 = Clock::now();
        state.SetIterationTime(seconds(t2 - t1));
        empty += seconds(t1 - t0);
        whole += seconds(t2 - t1);
        if (!running || ++updates == kEarlyUpdates) {
            game.reset(b.best->value());
            updates = 0;
        }
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["empty ms"] = empty / n * 1e3;
    state.counters["frame ms"] = whole / n * 1e3;
    state.counters["ratio"] = whole / empty;
    glfwPollEvents();
}
BENCHMARK(BM_FrameNextToEmptyFrame)
    ->Arg(1920)
    ->Arg(1280)
    ->UseManualTime()
    ->MinTime(3.0)
    ->Unit(benchmark::kMillisecond);

}  // namespace
