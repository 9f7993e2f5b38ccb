#pragma once
// Named data by path ("shaders/track.vert", "data/metal.jpg"): the embedded
// copy when the executable carries one, else the file of that path under the
// working directory.

#include <cstddef>
#include <string>

namespace Storage {

// Returns a heap copy of the bytes followed by one zero byte, so text can be
// used as a C string; size receives the length without that byte. Returns null
// (and leaves size untouched) when neither source has the data.
unsigned char* load(std::string name, std::size_t& size);

// Gives back a buffer from load; null is accepted.
void release(void* buffer);

}  // namespace Storage
