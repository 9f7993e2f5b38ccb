#pragma once
// Work started on a worker thread long before its result is needed, so that
// decoding overlaps the start of the window and the GL driver. The thread
// that takes the result gets it as if it had done the work itself, at that
// point: the log records the work wrote are held back and written then, and
// an exception the work threw is thrown there.

#include <chrono>
#include <exception>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "orvo3d/log.h"

template <class T>
class Preloaded {
public:
    explicit Preloaded(std::function<T()> work) : done(std::async(std::launch::async, run, std::move(work))) {}

    // True once the work has finished, without waiting.
    bool ready() const { return done.valid() && done.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }

    // Waits for the work to finish; the result stays for take().
    void wait() const {
        if (done.valid()) done.wait();
    }

    // Waits for the work, writes its records and gives its result. Once.
    T take() {
        Outcome outcome = done.get();
        Logger::writeHeldRecords(outcome.records);
        if (outcome.error) std::rethrow_exception(outcome.error);
        return std::move(*outcome.value);
    }

private:
    struct Outcome {
        std::optional<T> value;
        std::exception_ptr error;
        std::vector<std::string> records;
    };

    static Outcome run(std::function<T()> work) {
        Outcome outcome;
        Logger::HoldRecords hold(outcome.records);
        try {
            outcome.value.emplace(work());
        } catch (...) {
            outcome.error = std::current_exception();
        }
        return outcome;
    }

    std::future<Outcome> done;
};

// Preloaded results by name, for the loaders to look in: a loader that
// finds its name takes the result instead of doing the work again.
// A loader that keeps one table starts load(name) with start(name, load)
// and gets its result with takeOrLoad(name, load).
template <class T>
class PreloadTable {
public:
    PreloadTable() = default;
    // Waits for the work nobody took, so no worker outlives its table.
    ~PreloadTable() { clear(); }
    PreloadTable(const PreloadTable&) = delete;
    PreloadTable& operator=(const PreloadTable&) = delete;

    void start(const std::string& name, std::function<T()> work) {
        std::lock_guard lock(mutex);
        jobs.insert_or_assign(name, std::make_unique<Preloaded<T>>(std::move(work)));
    }

    // Starts load(name) for the name.
    void start(const std::string& name, T (*load)(const char*)) {
        start(name, std::function<T()>([name, load] { return load(name.c_str()); }));
    }

    // The result for the name, once; nothing when it was never started.
    std::optional<T> take(const std::string& name) {
        std::unique_ptr<Preloaded<T>> job;
        {
            std::lock_guard lock(mutex);
            auto found = jobs.find(name);
            if (found == jobs.end()) return std::nullopt;
            job = std::move(found->second);
            jobs.erase(found);
        }
        return job->take();
    }

    // The preloaded result for the name, else load(name) done here.
    T takeOrLoad(const std::string& name, T (*load)(const char*)) {
        std::optional<T> result = take(name);
        return result ? std::move(*result) : load(name.c_str());
    }

    // Waits for every job nobody took and drops its result and records.
    void clear() {
        std::map<std::string, std::unique_ptr<Preloaded<T>>> dropped;
        {
            std::lock_guard lock(mutex);
            dropped.swap(jobs);
        }
        for (auto& [name, job] : dropped) job->wait();
    }

private:
    std::mutex mutex;
    std::map<std::string, std::unique_ptr<Preloaded<T>>> jobs;
};
