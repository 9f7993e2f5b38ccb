#pragma once
// Whole-file access for the engine's own files: the log, and data files
// under the working directory. Only ever a regular file of the given name:
// a link is not followed (it could make the game write to, or empty, a file
// elsewhere) and a FIFO or a device is refused without waiting for it (the
// open never blocks, so nothing there can freeze the game). On Windows files
// are opened in binary mode and not inherited by child processes; it has no
// FIFOs, and links there need privileges a game never has.

#include <cerrno>
#include <cstddef>

namespace Files {

// The errno of a file that is there but is not a regular file (a FIFO, a
// device, a link); a folder gives EISDIR.
inline constexpr int kNotRegular = ENODEV;

// Appends `size` bytes of `text`, creating the file (0666 before the umask)
// when it is missing; the file is closed again before the call returns.
// False with errno set when it cannot be opened or written.
bool append(const char* path, const char* text, std::size_t size);

// Empties the file, creating it when it is missing. False with errno set.
bool clear(const char* path);

// Reads the file whole into a buffer from calloc of its length + 1 bytes:
// the bytes, then a zero. `size` receives the length the file had when it
// was opened; a file that shrinks meanwhile leaves the rest of the buffer
// zero. Null, with `size` untouched, when there is no regular file to read.
unsigned char* read(const char* path, std::size_t& size);

}  // namespace Files
