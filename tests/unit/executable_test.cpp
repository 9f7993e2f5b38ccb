// The real executable's exit codes, run as a child process with a chosen
// environment.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "support/sandbox.h"

extern char** environ;

namespace {

struct Outcome {
    bool exited = false;
    int code = -1;
    std::string errors;  // standard error
};

// Runs the game in a directory of its own with the current environment less
// `drop` plus `add`; kills it if it is still running after `limit`.
Outcome runGame(const std::string& dir, const std::vector<std::string>& drop, const std::vector<std::string>& add,
                std::chrono::seconds limit = std::chrono::seconds(30)) {
    std::filesystem::create_directories(dir);
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        std::string entry = *e;
        bool dropped = false;
        for (const std::string& name : drop) dropped = dropped || entry.rfind(name + "=", 0) == 0;
        if (!dropped) env.push_back(entry);
    }
    env.insert(env.end(), add.begin(), add.end());
    std::vector<char*> envp;
    for (std::string& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);

    const std::string errPath = dir + "/stderr.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "stderr.txt", O_WRONLY | O_CREAT | O_TRUNC, 0600);

    char path[] = VIMBROT_EXECUTABLE;
    char* argv[] = {path, nullptr};
    pid_t pid = 0;
    int spawned = posix_spawn(&pid, path, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    Outcome outcome;
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << path << ": " << std::strerror(spawned);
        return outcome;
    }

    int status = 0;
    auto deadline = std::chrono::steady_clock::now() + limit;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            ADD_FAILURE() << "the game was still running after " << limit.count() << " s";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    outcome.exited = WIFEXITED(status);
    outcome.code = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.errors = readFile(errPath);
    return outcome;
}

TEST(Executable, WithoutADisplayExitsWithOneAndSaysWhy) {
    std::string dir = (sandboxDirectory() / "nodisplay").string();
    Outcome run = runGame(dir, {"DISPLAY", "WAYLAND_DISPLAY"}, {});
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.code, 1);
    EXPECT_NE(run.errors.find("no display"), std::string::npos) << run.errors;
    // GLFW failing is not an error worth a log record.
    EXPECT_FALSE(std::filesystem::exists(dir + "/message.log"));
}

// Mesa reports at most the overridden version, so a 4.3 core context is
// refused and the window cannot be created.
TEST(Executable, WithoutAFourThreeCoreContextExitsWithTwo) {
    if (std::getenv("DISPLAY") == nullptr) GTEST_SKIP() << "needs an X display (run under xvfb-run)";
    std::string dir = (sandboxDirectory() / "oldgl").string();
    Outcome run = runGame(dir, {"MESA_GL_VERSION_OVERRIDE"}, {"MESA_GL_VERSION_OVERRIDE=3.3"});
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(run.code, 2);
    EXPECT_NE(run.errors.find("OpenGL 4.3"), std::string::npos) << run.errors;
    EXPECT_FALSE(std::filesystem::exists(dir + "/message.log"));
}

}  // namespace
