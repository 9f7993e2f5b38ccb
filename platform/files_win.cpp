#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>

namespace {

// The C runtime counts in unsigned int: no call asks for more than this.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

// No newline translation, and no handle a child process could inherit.
constexpr int kOpenFlags = _O_BINARY | _O_NOINHERIT;

// Opens `path` for writing (shared: other readers and writers are not locked
// out); anything but a regular file is closed again. Returns -1 with errno
// set when it cannot be used.
int openForWriting(const char* path, int flags) {
    int fd = ::_open(path, _O_WRONLY | _O_CREAT | kOpenFlags | flags, _S_IREAD | _S_IWRITE);
    if (fd < 0) return -1;
    struct _stat64 info {};
    if (::_fstat64(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        int why = S_ISDIR(info.st_mode) ? EISDIR : Files::kNotRegular;
        ::_close(fd);
        errno = why;
        return -1;
    }
    return fd;
}

bool writeAll(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        const auto chunk = static_cast<unsigned>(std::min(size, kMaxChunk));
        int done = ::_write(fd, text, chunk);
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
    int fd = openForWriting(path, _O_APPEND);
    if (fd < 0) return false;
    const bool written = writeAll(fd, text, size);
    // The write's errno is the answer, not the close's.
    const int why = errno;
    ::_close(fd);
    errno = why;
    return written;
}

bool clear(const char* path) {
    // Truncated only once it is known to be a regular file.
    int fd = openForWriting(path, 0);
    if (fd < 0) return false;
    const errno_t failed = ::_chsize_s(fd, 0);
    ::_close(fd);
    if (failed != 0) errno = failed;
    return failed == 0;
}

unsigned char* read(const char* path, std::size_t& size) {
    int fd = ::_open(path, _O_RDONLY | kOpenFlags);
    if (fd < 0) return nullptr;
    struct _stat64 info {};
    if (::_fstat64(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::_close(fd);
        return nullptr;
    }
    auto n = static_cast<std::size_t>(info.st_size);
    auto* buffer = static_cast<unsigned char*>(std::calloc(n + 1, 1));
    if (buffer == nullptr) {
        ::_close(fd);
        return nullptr;
    }
    std::size_t done = 0;
    while (done < n) {
        const auto chunk = static_cast<unsigned>(std::min(n - done, kMaxChunk));
        int got = ::_read(fd, buffer + done, chunk);
        if (got <= 0) break;
        done += static_cast<std::size_t>(got);
    }
    ::_close(fd);
    size = n;
    return buffer;
}

}  // namespace Files
