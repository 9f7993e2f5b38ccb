#include "orvo3d/storage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "orvo3d/log.h"

namespace {

// The most one read call is asked to take.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

unsigned char* copyWithTerminator(const unsigned char* data, std::size_t n) {
    auto* buffer = static_cast<unsigned char*>(std::calloc(n + 1, 1));
    if (buffer != nullptr && n > 0) std::memcpy(buffer, data, n);
    return buffer;
}

// Reads a regular file whole; a directory or a device is no data file. A file that shrinks while being read leaves the
// rest of the buffer zero, as a short read should.
unsigned char* loadFile(const std::string& path, std::size_t& size) {
    // Non-blocking, so that a FIFO under the data path cannot hang start-up;
    // it is then refused below as not being a regular file.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return nullptr;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    auto n = static_cast<std::size_t>(info.st_size);
    auto* buffer = static_cast<unsigned char*>(std::calloc(n + 1, 1));
    if (buffer == nullptr) {
        ::close(fd);
        return nullptr;
    }
    std::size_t done = 0;
    while (done < n) {
        // Windows' C runtime counts in unsigned int: no call asks for more.
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(n - done, kMaxChunk));
        ssize_t got = ::read(fd, buffer + done, chunk);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    size = n;
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
    return loadFile("./" + name, size);
}

void release(void* buffer) { std::free(buffer); }

Blob loadBlob(const std::string& name) {
    std::size_t size = 0;
    unsigned char* buffer = load(name, size);
    return Blob(buffer, buffer != nullptr ? size : 0);
}

}  // namespace Storage
