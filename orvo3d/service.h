#pragma once
// Process-wide services with an owner. The screens reach a service through
// its class's instance(), but the object behind it belongs to whoever holds
// its ServiceOwner (the application, or a test): made on first use, destroyed
// with the owner. A newer owner of the same type stands in for an older one
// until it goes, so owners nest as scopes do.

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <typeinfo>

template <class T>
class ServiceOwner {
public:
    using Make = std::function<std::unique_ptr<T>()>;

    explicit ServiceOwner(Make maker = [] { return std::make_unique<T>(); })
        : make(std::move(maker)), previous(current.exchange(this)) {}

    // Destroys the service, then gives instance() back to the owner before.
    ~ServiceOwner() {
        reset();
        current.store(previous);
    }

    ServiceOwner(const ServiceOwner&) = delete;
    ServiceOwner& operator=(const ServiceOwner&) = delete;

    // The service, made here on the first call. Any thread may be the first
    // (the music is decoded on a worker); a make that throws leaves nothing
    // made, so the next call tries again.
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

    // The service of the newest living owner. Without an owner the caller
    // has skipped its set-up: that is a fault of the program, not of data.
    static T& instance() {
        ServiceOwner* owner = current.load();
        if (owner == nullptr) throw std::logic_error(std::string("no owner for the service ") + typeid(T).name());
        return owner->get();
    }

    static ServiceOwner* newest() { return current.load(); }

private:
    Make make;
    ServiceOwner* previous;
    std::mutex making;
    std::unique_ptr<T> held;
    std::atomic<T*> object{nullptr};

    static inline std::atomic<ServiceOwner*> current{nullptr};
};

// Makes an object someone else owns the current one of its type while this
// registration lives: the loaders find the start-up preloads this way. Nests
// as ServiceOwner does.
template <class T>
class Registration {
public:
    explicit Registration(T& object) : previous(current.exchange(&object)) {}
    ~Registration() { current.store(previous); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    // The registered object, or null when none is.
    static T* find() { return current.load(); }

private:
    T* previous;
    static inline std::atomic<T*> current{nullptr};
};
