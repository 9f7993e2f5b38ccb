#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The most one read or write call is asked to take.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

// Opens `path` for writing, never through a link and without waiting (a
// FIFO there would block the open); anything but a regular file is then
// closed again. Returns -1 with errno set when it cannot be used.
int openForWriting(const char* path, int flags) {
    int fd = ::open(path, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags, 0666);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        int why = S_ISDIR(info.st_mode) ? EISDIR : Files::kNotRegular;
        ::close(fd);
        errno = why;
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const std::size_t chunk = std::min(size, kMaxChunk);
        ssize_t done = ::write(fd, text, chunk);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        text += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace

namespace Files {

bool append(const char* path, const char* text, std::size_t size) {
    int fd = openForWriting(path, O_APPEND);
    if (fd < 0) return false;
    const bool written = writeAll(fd, text, size);
    // The write's errno is the answer, not the close's.
    const int why = errno;
    ::close(fd);
    errno = why;
    return written;
}

bool clear(const char* path) {
    // Truncated only once it is known to be a regular file.
    int fd = openForWriting(path, 0);
    if (fd < 0) return false;
    const bool emptied = ::ftruncate(fd, 0) == 0;
    const int why = errno;
    ::close(fd);
    errno = why;
    return emptied;
}

unsigned char* read(const char* path, std::size_t& size) {
    // Non-blocking, so that a FIFO in the file's place cannot hang the
    // caller; it is then refused below as not being a regular file.
    int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
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
        ssize_t got = ::read(fd, buffer + done, std::min(n - done, kMaxChunk));
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::close(fd);
    size = n;
    return buffer;
}

}  // namespace Files
