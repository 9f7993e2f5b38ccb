#include "orvo3d/storage.h"

#include <cstdlib>
#include <cstring>

#include "orvo3d/log.h"
#include "platform/files.h"

namespace {

unsigned char* copyWithTerminator(const unsigned char* data, std::size_t n) {
    auto* buffer = static_cast<unsigned char*>(std::calloc(n + 1, 1));
    if (buffer != nullptr && n > 0) std::memcpy(buffer, data, n);
    return buffer;
}

}  // namespace

namespace Storage {

const Resource* findEmbedded(std::string_view name) {
    // Said once, by the lookup that builds the table, under the name the
    // table's builder has always had in the log.
    static const bool reported = [] {
        for (const std::string& missing : missingResources()) {
            Logger::error("platform/resources_win", __LINE__, "Resource %s is missing from the executable",
                          missing.c_str());
        }
        return true;
    }();
    static_cast<void>(reported);
    return findResource(name);
}

unsigned char* load(std::string name, std::size_t& size) {
    if (const Resource* resource = findEmbedded(name)) {
        unsigned char* buffer = copyWithTerminator(resource->begin, resource->size());
        if (buffer != nullptr) {
            size = resource->size();
            return buffer;
        }
    }
    Logger::info("orvo3d/storage", __LINE__, "Failed to find resource: %s", name.c_str());
    // Only a regular file is data: a folder, a device or a FIFO (which is
    // not waited for, so it cannot hang start-up) gives null.
    return Files::read(("./" + name).c_str(), size);
}

void release(void* buffer) { std::free(buffer); }

Blob loadBlob(const std::string& name) {
    std::size_t size = 0;
    unsigned char* buffer = load(name, size);
    return Blob(buffer, buffer != nullptr ? size : 0);
}

}  // namespace Storage
