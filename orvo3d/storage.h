#pragma once
// Named data by path ("shaders/track.vert", "data/metal.jpg"): the embedded
// copy when the executable carries one, else the file of that path under the
// working directory.

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "platform/resources.h"

namespace Storage {

// The embedded blob of that name (ASCII letters compared without regard to
// case), or null. The engine's lookups all come through here: the first one
// records the blobs the executable turned out to lack.
const Resource* findEmbedded(std::string_view name);

// Returns a heap copy of the bytes followed by one zero byte, so text can be
// used as a C string; size receives the length without that byte. Returns null
// (and leaves size untouched) when neither source has the data.
unsigned char* load(std::string name, std::size_t& size);

// Gives back a buffer from load; null is accepted.
void release(void* buffer);

// A load result that gives its buffer back by itself.
class Blob {
public:
    Blob() = default;
    Blob(unsigned char* buffer, std::size_t length) : bytes(buffer), count(length) {}

    explicit operator bool() const { return bytes != nullptr; }
    const unsigned char* data() const { return bytes.get(); }
    // The bytes as a zero-terminated text.
    const char* text() const { return reinterpret_cast<const char*>(bytes.get()); }
    std::size_t size() const { return count; }

private:
    struct Release {
        void operator()(unsigned char* buffer) const { std::free(buffer); }
    };
    std::unique_ptr<unsigned char, Release> bytes;
    std::size_t count = 0;
};

// load, owned: an empty Blob when neither source has the data.
Blob loadBlob(const std::string& name);

}  // namespace Storage
