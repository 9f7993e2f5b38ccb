// Frame-timing harness: the game's own window, context and screens, then a
// few hundred frames of real play with scripted keys. Prints the median and
// 99th-percentile frame time (update + render + swap + glFinish), the CPU
// time per frame, the time from process start to the first frame on screen
// and the peak resident memory.
//
// Usage: vimbrot_frame_timing [--frames N] [--window WxH]
// Without --window the size follows the monitor, as in the game. Runs in a
// temporary working directory and HOME, so the user's files are not touched.
// The game's launcher starts it with GLIBC_TUNABLES=glibc.malloc.hugetlb=1;
// set the same to time a start as players see it.
#include <epoxy/gl.h>
#include <GLFW/glfw3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "game/font.h"
#include "game/bestscore.h"
#include "game/gameloop.h"
#include "game/gameover.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/menu.h"
#include "game/plate.h"
#include "game/startup.h"
#include "game/track.h"
#include "orvo3d/log.h"
#include "orvo3d/sound.h"
#include "sim/player.h"

namespace {

// Seconds since boot at which this process was started (10 ms resolution),
// so that the dynamic loading before main counts too.
double processStartSinceBoot() {
    std::ifstream stat("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    std::size_t close = text.rfind(')');
    if (close == std::string::npos) return -1.0;
    // Fields after the command name start at field 3; starttime is field 22.
    // Field 3 (the state letter) is skipped; numbers follow.
    const char* p = text.c_str() + close + 2;
    while (*p != '\0' && *p != ' ') ++p;
    while (*p == ' ') ++p;
    unsigned long long start = 0;
    for (int field = 4; field <= 22; ++field) {
        char* end = nullptr;
        unsigned long long value = std::strtoull(p, &end, 10);
        if (field == 22) start = value;
        p = end;
        while (*p == ' ') ++p;
    }
    return static_cast<double>(start) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double bootClock() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

double now() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

double cpuSeconds(int who) {
    rusage usage{};
    getrusage(who, &usage);
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest value with at least `fraction` of the
    // samples at or below it.
    auto rank = static_cast<std::size_t>(std::ceil(fraction * static_cast<double>(values.size())));
    return values[std::clamp<std::size_t>(rank, 1, values.size()) - 1];
}

void key(GLFWwindow* window, int code, bool down) {
    static_cast<WindowEvents*>(glfwGetWindowUserPointer(window))->key(code, down ? GLFW_PRESS : GLFW_RELEASE, 0,
                                                                       glfwGetTime());
}

// The scripted player: keeps Jump held, so the ship hops over gaps and low
// blocks, and steers toward the middle of the free part of the plate ahead.
class Pilot {
public:
    explicit Pilot(GLFWwindow* w) : window(w) {}

    void start() {
        if (!jumpHeld) key(window, GLFW_KEY_SPACE, true);
        jumpHeld = true;
    }

    void steer(const Player& player, const Track& track) {
        float ahead = player.z + 2.0f + player.speed * 0.25f;
        float target = player.x;
        const Plate* floor = nullptr;
        for (const auto& plate : track.plates) {
            if (!plate->isFloor) continue;
            float half = plate->size.z * 0.5f;
            if (ahead >= plate->position.z - half && ahead <= plate->position.z + half) floor = plate.get();
        }
        if (floor != nullptr) {
            float left = floor->position.x - floor->size.x * 0.5f + 0.7f;
            float right = floor->position.x + floor->size.x * 0.5f - 0.7f;
            target = floor->position.x;
            // A block standing ahead on this plate: aim for the wider lane
            // beside it.
            for (const auto& plate : track.plates) {
                if (plate->isFloor || plate->isPillar) continue;
                float nearEnd = plate->position.z - plate->size.z * 0.5f;
                float farEnd = plate->position.z + plate->size.z * 0.5f;
                if (farEnd < player.z || nearEnd > ahead + 8.0f) continue;
                float blockLeft = plate->position.x - plate->size.x * 0.5f;
                float blockRight = plate->position.x + plate->size.x * 0.5f;
                target = (blockLeft - left > right - blockRight) ? (left + blockLeft) * 0.5f - 0.3f
                                                                 : (blockRight + right) * 0.5f + 0.3f;
            }
        }
        int want = 0;
        if (target < player.x - 0.2f) want = 1;
        if (target > player.x + 0.2f) want = 2;
        if (want != steering) {
            if (steering == 1) key(window, GLFW_KEY_LEFT, false);
            if (steering == 2) key(window, GLFW_KEY_RIGHT, false);
            if (want == 1) key(window, GLFW_KEY_LEFT, true);
            if (want == 2) key(window, GLFW_KEY_RIGHT, true);
            steering = want;
        }
    }

    GLFWwindow* window;
    bool jumpHeld = false;
    int steering = 0;
};

bool makeSandbox(std::filesystem::path& root) {
    char pattern[] = "/tmp/vimbrot-timing-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return false;
    root = pattern;
    std::filesystem::create_directories(root / "home");
    setenv("HOME", (root / "home").c_str(), 1);
    setenv("XDG_DATA_HOME", (root / "home/.local/share").c_str(), 1);
    // Mesa keeps compiled shaders under XDG_CACHE_HOME, else under the passwd
    // home directory whatever HOME says. Unless told otherwise, start as on a
    // machine that never ran the game: with an empty cache of our own.
    setenv("XDG_CACHE_HOME", (root / "home/.cache").c_str(), 0);
    return chdir(root.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    const double mainEntered = now();
    const double startedSinceBoot = processStartSinceBoot();
    const double mainSinceBoot = bootClock();

    int frames = 400;
    int forcedWidth = 0, forcedHeight = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--frames") == 0 && i + 1 < argc) {
            frames = std::max(0, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--window") == 0 && i + 1 < argc &&
                   std::sscanf(argv[++i], "%dx%d", &forcedWidth, &forcedHeight) == 2) {
        } else {
            std::fprintf(stderr, "usage: %s [--frames N] [--window WxH]\n", argv[0]);
            return 64;
        }
    }

    std::filesystem::path sandbox;
    if (!makeSandbox(sandbox)) {
        std::fputs("frame timing: cannot make a temporary working directory\n", stderr);
        return 3;
    }
    // No sound card is needed to time frames; a given driver is kept.
    setenv("SDL_AUDIODRIVER", "dummy", 0);

    // The start-up of the game's own main, step by step.
    Logger::init(false);
    // The services the application owns, then its loader.
    ServiceOwner<Input> input;
    ServiceOwner<Sound> sound;
    auto loader = std::make_unique<StartupLoader>();
    if (!glfwInit()) {
        std::fputs("frame timing: no display\n", stderr);
        return 1;
    }
    GLFWwindow* window = openGameWindow({forcedWidth, forcedHeight});
    if (window == nullptr) {
        std::fputs("frame timing: no OpenGL 4.3 core window\n", stderr);
        glfwTerminate();
        return 2;
    }
    // The keys reach the table as the game's window gives them.
    Input::instance().releaseFrames = 3;
    WindowEvents events(Input::instance());
    events.attach(window);

    const double windowReady = now();
    ServiceOwner<PlateRenderer> plates;
    ServiceOwner<Font> font(&Font::withGlObjects);
    BestScore best;
    auto game = std::make_unique<Game>(best);
    const double gameBuilt = now();
    auto menu = std::make_unique<Menu>(best);
    auto gameOver = std::make_unique<GameOver>(best);
    const double screensBuilt = now();
    // As in the game, the music starts here when its decoding is done, or
    // after a later frame.
    loader->startMusicWhenDecoded();
    const double musicStarted = now();

    // The game's first frame is a menu frame.
    glfwPollEvents();
    menu->update();
    menu->render();
    glfwSwapBuffers(window);
    glFinish();
    const double firstFrame = now();
    const double sinceProcessStart =
        startedSinceBoot >= 0.0 ? (mainSinceBoot - startedSinceBoot) + (firstFrame - mainEntered) : -1.0;

    // Play: the pace of the real loop (1/60 s + 1 ms a frame) as the step,
    // so that every machine plays the same frames.
    const float dt = frameStep(1.0 / 60.0 + static_cast<double>(0.001f));
    game->reset();
    Pilot pilot(window);
    pilot.start();
    std::vector<double> frameTimes, updateTimes, renderTimes, swapTimes;
    frameTimes.reserve(static_cast<std::size_t>(frames));
    int runs = 1;
    std::int64_t bestDistance = 0;
    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    const double threadCpuStart = cpuSeconds(RUSAGE_THREAD);
    const double wallStart = now();
    for (int frame = 0; frame < frames; ++frame) {
        glfwPollEvents();
        pilot.steer(*game->player, *game->track);
        // glFinish after the render separates drawing from presenting; the
        // software renderer would finish the drawing in the swap anyway.
        const double begin = now();
        bool running = game->update(dt);
        const double updated = now();
        game->render();
        glFinish();
        const double rendered = now();
        glfwSwapBuffers(window);
        glFinish();
        const double end = now();
        loader->startMusicWhenDecoded();
        frameTimes.push_back(end - begin);
        updateTimes.push_back(updated - begin);
        renderTimes.push_back(rendered - updated);
        swapTimes.push_back(end - rendered);
        bestDistance = std::max(bestDistance, game->score());
        if (!running) {
            // Straight into the next run; the game-over screen is not timed.
            gameOver->setScore(game->score());
            game->reset();
            ++runs;
        }
    }
    const double wall = now() - wallStart;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuStart;
    const double threadCpu = cpuSeconds(RUSAGE_THREAD) - threadCpuStart;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));

    std::printf("renderer            %s\n", renderer != nullptr ? renderer : "?");
    std::printf("GL version          %s\n", version != nullptr ? version : "?");
    std::printf("window              %d x %d\n", windowWidth, windowHeight);
    if (!frameTimes.empty()) {
        double mean = 0.0;
        for (double t : frameTimes) mean += t;
        mean /= static_cast<double>(frameTimes.size());
        const double perFrame = 1000.0 / static_cast<double>(frameTimes.size());
        std::printf("frames played       %zu (%d run%s, best distance %lld, step %.4f s)\n", frameTimes.size(), runs,
                    runs == 1 ? "" : "s", static_cast<long long>(bestDistance), static_cast<double>(dt));
        std::printf("frame time median   %.1f ms\n", percentile(frameTimes, 0.5) * 1000.0);
        std::printf("frame time p99      %.1f ms\n", percentile(frameTimes, 0.99) * 1000.0);
        std::printf("frame time mean     %.1f ms (max %.1f ms, %.1f frames/s)\n", mean * 1000.0,
                    *std::max_element(frameTimes.begin(), frameTimes.end()) * 1000.0,
                    static_cast<double>(frameTimes.size()) / wall);
        std::printf("  medians           update %.2f ms, render %.1f ms, swap %.1f ms\n",
                    percentile(updateTimes, 0.5) * 1000.0, percentile(renderTimes, 0.5) * 1000.0,
                    percentile(swapTimes, 0.5) * 1000.0);
        std::printf("CPU per frame       %.1f ms all threads, %.1f ms main thread\n", cpu * perFrame,
                    threadCpu * perFrame);
    }
    std::printf("start to 1st frame  %.0f ms\n", sinceProcessStart * 1000.0);
    std::printf("  of which          %.0f ms before main, %.0f ms GLFW and window, %.0f ms Game, %.0f ms Menu and "
                "GameOver, %.0f ms music (when decoded by then), %.0f ms first menu frame\n",
                (mainSinceBoot - startedSinceBoot) * 1000.0, (windowReady - mainEntered) * 1000.0,
                (gameBuilt - windowReady) * 1000.0, (screensBuilt - gameBuilt) * 1000.0,
                (musicStarted - screensBuilt) * 1000.0, (firstFrame - musicStarted) * 1000.0);
    std::printf("peak memory         %.1f MiB (ru_maxrss)\n", static_cast<double>(usage.ru_maxrss) / 1024.0);

    std::error_code noLog;
    auto logSize = std::filesystem::file_size(sandbox / "message.log", noLog);
    std::printf("message.log         %s\n", noLog ? "empty (no records)" : (std::to_string(logSize) + " bytes").c_str());

    // Taken down as the application does: GL objects while the context is
    // current, the loader's workers before the Sound goes.
    gameOver.reset();
    menu.reset();
    game.reset();
    loader.reset();
    font.reset();
    plates.reset();
    glfwDestroyWindow(window);
    glfwTerminate();
    if (chdir("/") == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(sandbox, ignored);
    }
    return 0;
}
