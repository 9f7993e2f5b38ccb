#pragma once
// Running one step of a test in a forked child: with its standard error
// caught, under a time limit (a step that hangs is killed, not waited for),
// optionally as an unprivileged user (permissions do not stop root) or on a
// small full disk of its own (a tmpfs in a private mount namespace).

#include <grp.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "support/sandbox.h"

// The exit code of a child that could not take the conditions it was asked
// for (no unprivileged user, no mount namespace); CTest's skip code.
constexpr int kChildCannotRun = 77;

struct ChildOutcome {
    bool exited = false;
    int code = -1;       // exit code when exited
    int signal = 0;      // the signal that ended it otherwise
    std::string errors;  // what it wrote to standard error
};

// Drops root for the unprivileged user "nobody"; false when that cannot be done.
inline bool becomeNobody() {
    const passwd* nobody = ::getpwnam("nobody");
    if (nobody == nullptr || ::geteuid() != 0) return ::geteuid() != 0;
    return ::setgroups(0, nullptr) == 0 && ::setgid(nobody->pw_gid) == 0 && ::setuid(nobody->pw_uid) == 0 &&
           ::geteuid() != 0;
}

// Fills the disk under `folder` with a file named "filler".
inline bool fillDisk(const std::filesystem::path& folder) {
    std::FILE* filler = std::fopen((folder / "filler").c_str(), "wb");
    if (filler == nullptr) return false;
    static const char block[4096] = {};
    while (std::fwrite(block, 1, sizeof block, filler) == sizeof block) {
    }
    std::fclose(filler);
    return true;
}

// Mounts a tmpfs of `kilobytes` on `folder` in a mount namespace of this
// process alone and fills it, so that writing there fails with ENOSPC.
inline bool mountFullDisk(const std::filesystem::path& folder, int kilobytes = 64) {
    std::filesystem::create_directories(folder);
    const std::string options = "size=" + std::to_string(kilobytes) + "k";
    if (::unshare(CLONE_NEWNS) != 0) return false;
    if (::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) return false;
    if (::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0) return false;
    return fillDisk(folder);
}

// Runs `body` in a child process; the child ends with code 0 when body
// returns. `prepare` runs first in the child (for becomeNobody or
// mountFullDisk) and makes it exit with kChildCannotRun when it fails.
inline ChildOutcome runInChild(const std::function<void()>& body, const std::function<bool()>& prepare = nullptr,
                               unsigned limitSeconds = 20) {
    static int serial = 0;
    const std::filesystem::path errPath = sandboxDirectory() / ("child-stderr-" + std::to_string(++serial) + ".txt");
    std::fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        if (std::freopen(errPath.c_str(), "w", stderr) == nullptr) ::_exit(98);
        ::alarm(limitSeconds);
        if (prepare && !prepare()) ::_exit(kChildCannotRun);
        body();
        std::fflush(nullptr);
        ::_exit(0);
    }
    ChildOutcome outcome;
    int status = 0;
    if (pid < 0 || ::waitpid(pid, &status, 0) != pid) return outcome;
    outcome.exited = WIFEXITED(status);
    outcome.code = outcome.exited ? WEXITSTATUS(status) : -1;
    outcome.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    outcome.errors = readFile(errPath);
    std::filesystem::remove(errPath);
    return outcome;
}
