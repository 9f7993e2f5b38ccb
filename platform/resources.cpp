#include "platform/resources.h"

namespace {

char foldAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equalsFolded(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (foldAscii(a[i]) != foldAscii(b[i])) return false;
    }
    return true;
}

}  // namespace

const Resource* findResource(std::span<const Resource> table, std::string_view name) {
    for (const Resource& r : table) {
        if (r.name != nullptr && equalsFolded(r.name, name)) return &r;
    }
    return nullptr;
}

const Resource* findResource(std::string_view name) {
    return findResource(embeddedResources(), name);
}
