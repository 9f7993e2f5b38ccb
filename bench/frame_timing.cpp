// Frame-timing harness: the game's own window, context, services and screen
// machine, put together as the application does, then a few hundred frames
// of real play with scripted keys. Prints the median and 99th-percentile
// frame time (the screens' update and render + swap + glFinish), the CPU
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
#include <memory>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

#include "game/bestscore.h"
#include "game/displaymode.h"
#include "game/font.h"
#include "game/gameloop.h"
#include "game/input.h"
#include "game/mainloop.h"
#include "game/padmappings.h"
#include "game/plate.h"
#include "game/screenmachine.h"
#include "game/startup.h"
#include "orvo3d/log.h"
#include "orvo3d/service.h"
#include "orvo3d/sound.h"
#include "sim/player.h"
#include "sim/road.h"

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

    // Off the road: lets go of every key, then taps Jump, which leaves the
    // game-over screen and picks START on the menu.
    void confirm() {
        letGo();
        key(window, GLFW_KEY_SPACE, true);
        key(window, GLFW_KEY_SPACE, false);
    }

    void letGo() {
        if (jumpHeld) key(window, GLFW_KEY_SPACE, false);
        if (steering == 1) key(window, GLFW_KEY_LEFT, false);
        if (steering == 2) key(window, GLFW_KEY_RIGHT, false);
        jumpHeld = false;
        steering = 0;
    }

    void steer(const Player& player, const Road& road) {
        float ahead = player.z + 2.0f + player.speed * 0.25f;
        float target = player.x;
        const Plate* floor = nullptr;
        for (const auto& plate : road.plates) {
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
            for (const auto& plate : road.plates) {
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

    // The start-up of the game's own main and Application, step by step,
    // with the pieces the application owns declared in its order.
    Logger::init(false);
    if (!glfwInit()) {
        std::fputs("frame timing: no display\n", stderr);
        return 1;
    }
    auto input = std::make_unique<Input>();
    auto sound = std::make_unique<Lazy<Sound>>();
    auto events = std::make_unique<WindowEvents>(*input);
    UnmappedPads pads;
    auto loader = std::make_unique<StartupLoader>(*sound);
    loadPadMappings();
    WindowSize size{forcedWidth, forcedHeight};
    GLFWwindow* window = openGameWindow(size);
    if (window == nullptr) {
        std::fputs("frame timing: no OpenGL 4.3 core window\n", stderr);
        loader.reset();
        sound.reset();
        glfwTerminate();
        return 2;
    }
    // The keys reach the table as the game's window gives them.
    input->releaseFrames = 3;
    events->attach(window);
    auto display = std::make_unique<DisplayMode>(window, size, false);

    const double windowReady = now();
    auto best = std::make_unique<BestScore>();
    auto plates = std::make_unique<PlateRenderer>(loader->images());
    std::unique_ptr<Font> font = Font::withGlObjects();
    const double servicesBuilt = now();
    auto screens =
        std::make_unique<ScreenMachine>(ScreenServices{*sound, *best, *input}, *plates, *font, loader->models());
    const double screensBuilt = now();
    // As in the game, the music starts here when its decoding is done, or
    // after a later frame.
    loader->startMusicWhenDecoded();
    const double musicStarted = now();

    // One frame of the application's loop, without its wait: the frame's
    // commands and input collected, the screen that is on updating and
    // drawing into the frame's target, the picture presented.
    const float dt = frameStep(1.0 / 60.0 + static_cast<double>(0.001f));
    auto runFrame = [&](float step) {
        glfwPollEvents();
        pollGamepads(*input, pads, glfwGetTime());
        const FrameCommands commands = events->takeCommands();
        if (input->takeInterruption()) screens->interrupt();
        const RenderTarget target = display->beginFrame(commands.displayToggles);
        FrameInput frame = collectFrame(*input, screens->state, step, commands);
        const Outcome outcome = screens->frame(frame, target);
        display->endFrame();
        return outcome;
    };

    // The game's first frame is a menu frame.
    runFrame(frameStep(glfwGetTime()));
    glfwSwapBuffers(window);
    glFinish();
    const double firstFrame = now();
    const double sinceProcessStart =
        startedSinceBoot >= 0.0 ? (mainSinceBoot - startedSinceBoot) + (firstFrame - mainEntered) : -1.0;

    // Play: the pace of the real loop (1/60 s + 1 ms a frame) as the step,
    // so that every machine plays the same frames. Only the frames of a run
    // are timed: the pilot passes the game-over screen and the menu with a
    // tap each, untimed.
    Pilot pilot(window);
    int runs = 0;
    std::vector<double> frameTimes, screenTimes, swapTimes;
    frameTimes.reserve(static_cast<std::size_t>(frames));
    std::int64_t bestDistance = 0;
    const double cpuStart = cpuSeconds(RUSAGE_SELF);
    const double threadCpuStart = cpuSeconds(RUSAGE_THREAD);
    const double wallStart = now();
    double untimed = 0.0, untimedCpu = 0.0, untimedThreadCpu = 0.0;
    int framesOffTheRoad = 0;
    while (static_cast<int>(frameTimes.size()) < frames) {
        if (screens->state != ScreenState::Playing) {
            // A tap leaves each screen: a few frames at most.
            if (++framesOffTheRoad > 100) {
                std::fputs("frame timing: the scripted taps do not start a run\n", stderr);
                return 4;
            }
            const double begin = now();
            const double cpuBegin = cpuSeconds(RUSAGE_SELF);
            const double threadCpuBegin = cpuSeconds(RUSAGE_THREAD);
            pilot.confirm();
            if (runFrame(dt).newRun) {
                ++runs;
                pilot.start();
            }
            glfwSwapBuffers(window);
            glFinish();
            untimed += now() - begin;
            untimedCpu += cpuSeconds(RUSAGE_SELF) - cpuBegin;
            untimedThreadCpu += cpuSeconds(RUSAGE_THREAD) - threadCpuBegin;
            continue;
        }
        framesOffTheRoad = 0;
        pilot.steer(*screens->game->player, *screens->game->road);
        // glFinish after the screens separates drawing from presenting; the
        // software renderer would finish the drawing in the swap anyway.
        const double begin = now();
        runFrame(dt);
        glFinish();
        const double drawn = now();
        glfwSwapBuffers(window);
        glFinish();
        const double end = now();
        loader->startMusicWhenDecoded();
        best->collect();
        frameTimes.push_back(end - begin);
        screenTimes.push_back(drawn - begin);
        swapTimes.push_back(end - drawn);
        bestDistance = std::max(bestDistance, screens->game->score());
    }
    const double wall = now() - wallStart - untimed;
    const double cpu = cpuSeconds(RUSAGE_SELF) - cpuStart - untimedCpu;
    const double threadCpu = cpuSeconds(RUSAGE_THREAD) - threadCpuStart - untimedThreadCpu;

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const char* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));

    std::printf("renderer            %s\n", renderer != nullptr ? renderer : "?");
    std::printf("GL version          %s\n", version != nullptr ? version : "?");
    std::printf("window              %d x %d\n", size.width, size.height);
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
        std::printf("  medians           update and render %.1f ms, swap %.1f ms\n",
                    percentile(screenTimes, 0.5) * 1000.0, percentile(swapTimes, 0.5) * 1000.0);
        std::printf("CPU per frame       %.1f ms all threads, %.1f ms main thread\n", cpu * perFrame,
                    threadCpu * perFrame);
    }
    std::printf("start to 1st frame  %.0f ms\n", sinceProcessStart * 1000.0);
    std::printf("  of which          %.0f ms before main, %.0f ms GLFW and window, %.0f ms best score, plate "
                "renderer and font, %.0f ms screens (Game, Menu and GameOver), %.0f ms music (when decoded by "
                "then), %.0f ms first menu frame\n",
                (mainSinceBoot - startedSinceBoot) * 1000.0, (windowReady - mainEntered) * 1000.0,
                (servicesBuilt - windowReady) * 1000.0, (screensBuilt - servicesBuilt) * 1000.0,
                (musicStarted - screensBuilt) * 1000.0, (firstFrame - musicStarted) * 1000.0);
    std::printf("peak memory         %.1f MiB (ru_maxrss)\n", static_cast<double>(usage.ru_maxrss) / 1024.0);

    std::error_code noLog;
    auto logSize = std::filesystem::file_size(sandbox / "message.log", noLog);
    std::printf("message.log         %s\n", noLog ? "empty (no records)" : (std::to_string(logSize) + " bytes").c_str());

    // Taken down as the application does: the screens and the GL services
    // while the context is current, the loader's workers before the Sound
    // goes, a best score on its way saved once the window is gone.
    screens.reset();
    loader.reset();
    font.reset();
    plates.reset();
    display.reset();
    glfwDestroyWindow(window);
    best.reset();
    sound.reset();
    events.reset();
    input.reset();
    glfwTerminate();
    if (chdir("/") == 0) {
        std::error_code ignored;
        std::filesystem::remove_all(sandbox, ignored);
    }
    return 0;
}
