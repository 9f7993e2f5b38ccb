#pragma once
// The names the user store accepts, the same on every platform: a key is
// one or more names joined by '/', and every name must stay inside its
// folder or registry key.

#include <cstddef>
#include <string_view>

namespace UserStore {

// No separator of either platform, no NUL, and nothing starting with a dot
// (the store's own temporary and lock files do).
inline bool validName(std::string_view name) {
    if (name.empty() || name.front() == '.') return false;
    for (char c : name) {
        if (c == '/' || c == '\\' || c == '\0') return false;
    }
    return true;
}

// "Orvo/Vimbrot": valid names joined by single slashes; the empty key is
// the store's root.
inline bool validKey(std::string_view key) {
    while (!key.empty()) {
        std::size_t slash = key.find('/');
        if (!validName(key.substr(0, slash))) return false;
        if (slash == std::string_view::npos) break;
        key.remove_prefix(slash + 1);
        if (key.empty()) return false;
    }
    return true;
}

}  // namespace UserStore
