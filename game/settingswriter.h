#pragma once
// The settings the player changes while the game runs (M, F11), written by
// a worker of their own, so that no frame ever waits for the disk or for
// another game's lock on the settings.

#include <chrono>
#include <memory>

#include "platform/settings.h"

class SettingsWriter {
public:
    // How long the way out waits for changes on their way.
    static constexpr std::chrono::milliseconds kExitWait{10000};

    SettingsWriter();
    // finish(kExitWait), on every way out.
    ~SettingsWriter();
    SettingsWriter(const SettingsWriter&) = delete;
    SettingsWriter& operator=(const SettingsWriter&) = delete;

    // Queues a change for the worker; never waits. Changes queued while the
    // worker is busy (a slow disk, another game's lock) wait for it, and the
    // latest value of each setting is the one written.
    void change(SettingKey key, bool value);

    // Writes the records of the changes done since the last call, as if they
    // had been done here; call once a frame from the screens' thread.
    void collect();

    // Waits at most `limit` for the changes on their way, then writes their
    // records. Changes still unwritten then are one ERROR record naming them
    // (the worker finishes or dies with the process). True when all are
    // written.
    bool finish(std::chrono::milliseconds limit = kExitWait);

private:
    struct Worker;

    // Shared with the worker's thread, which may outlive this object after a
    // finish that ran out of time.
    std::shared_ptr<Worker> worker;
};
