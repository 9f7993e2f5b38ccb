#pragma once
// A service made on its first use and destroyed with its owner (the
// application, or a test), which hands it to whoever needs it. Any thread
// may be the first to use it: the music is decoded on a worker, which starts
// the sound engine there.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

template <class T>
class Lazy {
public:
    using Make = std::function<std::unique_ptr<T>()>;

    explicit Lazy(Make maker = [] { return std::make_unique<T>(); }) : make(std::move(maker)) {}
    ~Lazy() { reset(); }

    Lazy(const Lazy&) = delete;
    Lazy& operator=(const Lazy&) = delete;

    // The service, made here on the first call; a make that throws leaves
    // nothing made, so the next call tries again.
    T& get() {
        if (T* made = object.load(std::memory_order_acquire)) return *made;
        std::lock_guard lock(making);
        if (!held) {
            held = make();
            object.store(held.get(), std::memory_order_release);
        }
        return *held;
    }

    // The service if it has been made, else null; never makes it.
    T* made() const { return object.load(std::memory_order_acquire); }

    // Destroys the service now; the next get() makes a new one.
    void reset() {
        std::lock_guard lock(making);
        object.store(nullptr, std::memory_order_release);
        held.reset();
    }

private:
    Make make;
    std::mutex making;
    std::unique_ptr<T> held;
    std::atomic<T*> object{nullptr};
};
