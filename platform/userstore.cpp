#include "platform/userstore.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "platform/storenames.h"

namespace UserStore {


}  // namespace UserStore

namespace {

using UserStore::Status;
using UserStore::validKey;
using UserStore::validName;

constexpr mode_t kFolderMode = 0700;
constexpr mode_t kValueMode = 0600;
// errno for a value that exists but is not a regular file (FIFO, device, ...).
constexpr int kNotAFile = ENODEV;
// The random part mkostemp gives a temporary file's name.
constexpr std::size_t kTemporarySuffix = 6;

bool absolute(const char* path) { return path != nullptr && path[0] == '/'; }

std::string foldedName(std::string_view name) {
    std::string out(name);
    for (char& c : out) {
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    return out;
}

// The folder of a key, or "" when the key is malformed or there is no root.
std::string keyFolder(std::string_view key) {
    std::string root = UserStore::rootFolder();
    if (root.empty() || !validKey(key)) return {};
    if (!key.empty()) {
        root += '/';
        root += key;
    }
    return root;
}

Status failWith(int error) {
    errno = error;
    return Status::Failed;
}

Status statusOfErrno() { return (errno == ENOENT || errno == ENOTDIR) ? Status::NotFound : Status::Failed; }

// Creates the missing folders of an absolute path, private.
bool makeFolders(const std::string& path) {
    for (std::size_t at = 1; at <= path.size(); ++at) {
        if (at != path.size() && path[at] != '/') continue;
        std::string part = path.substr(0, at);
        if (::mkdir(part.c_str(), kFolderMode) != 0 && errno != EEXIST) return false;
    }
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;
    if (!S_ISDIR(info.st_mode)) errno = ENOTDIR;
    return S_ISDIR(info.st_mode);
}

// A temporary file is locked by its save from creation to rename, and the
// lock dies with the process: one that can be locked was left by a save that
// was killed, and is removed. Runs under the value's folder `dir`.
void removeAbandonedTemporaries(int dir, const std::string& prefix) {
    int scan = ::dup(dir);
    DIR* listing = scan >= 0 ? ::fdopendir(scan) : nullptr;
    if (listing == nullptr) {
        if (scan >= 0) ::close(scan);
        return;
    }
    while (const dirent* entry = ::readdir(listing)) {
        const std::string_view name = entry->d_name;
        if (name.size() != prefix.size() + kTemporarySuffix || name.substr(0, prefix.size()) != prefix) continue;
        int fd = ::openat(dir, entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {}, named {};
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::fstatat(dir, entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && named.st_ino == held.st_ino &&
            named.st_dev == held.st_dev) {
            ::unlinkat(dir, entry->d_name, 0);
        }
        ::close(fd);
    }
    ::closedir(listing);
}

// Creates the locked temporary file of a new value; -1 with errno on failure.
int createTemporary(std::string& path) {
    const std::string pattern = path;
    for (int attempt = 0; attempt < 3; ++attempt) {
        path = pattern;
        int fd = ::mkostemp(path.data(), O_CLOEXEC);
        if (fd < 0) return -1;
        // Another save's clean-up may take the file between its creation and
        // the lock; then it is gone from the folder and a new one is made.
        struct stat info {};
        if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &info) == 0 && info.st_nlink > 0) return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

bool writeAll(int fd, const unsigned char* data, std::size_t size) {
    while (size > 0) {
        ssize_t done = ::write(fd, data, size);
        if (done < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

}  // namespace

namespace UserStore {

std::string rootFolder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (absolute(data)) return data;
    const char* home = std::getenv("HOME");
    if (absolute(home)) return std::string(home) + "/.local/share";
    // No usable HOME: the account's home folder.
    std::vector<char> scratch(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (getpwuid_r(::getuid(), &entry, scratch.data(), scratch.size(), &found) == 0 && found != nullptr &&
        absolute(found->pw_dir)) {
        return std::string(found->pw_dir) + "/.local/share";
    }
    return {};
}

Status openKey(std::string_view key) {
    std::string folder = keyFolder(key);
    if (folder.empty()) return failWith(EINVAL);
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return statusOfErrno();
    return S_ISDIR(info.st_mode) ? Status::Ok : failWith(ENOTDIR);
}

Status createKey(std::string_view parent, std::string_view name) {
    std::string folder = keyFolder(parent);
    if (folder.empty() || !validName(name)) return failWith(EINVAL);
    if (parent.empty()) {
        if (!makeFolders(folder)) return Status::Failed;
    } else if (Status s = openKey(parent); s != Status::Ok) {
        return s;
    }
    folder += '/';
    folder += name;
    if (::mkdir(folder.c_str(), kFolderMode) == 0) return Status::Ok;
    if (errno != EEXIST) return Status::Failed;
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) return Status::Failed;
    return S_ISDIR(info.st_mode) ? Status::Ok : failWith(ENOTDIR);
}

Status queryValue(std::string_view key, std::string_view name, void* buffer, std::size_t& size) {
    std::string folder = keyFolder(key);
    if (folder.empty() || !validName(name)) return failWith(EINVAL);
    return readFile(folder, foldedName(name), buffer, size);
}

Status readFile(const std::string& folder, std::string_view file, void* buffer, std::size_t& size) {
    if (!absolute(folder.c_str()) || !validName(file)) return failWith(EINVAL);
    std::string path = folder + "/" + std::string(file);
    // Non-blocking so a FIFO in the value's place cannot hang the reader;
    // no symbolic links, so a value never reads a file elsewhere.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return errno == ENOENT ? Status::NotFound : Status::Failed;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || static_cast<std::size_t>(info.st_size) > size) {
        int why = S_ISDIR(info.st_mode) ? EISDIR : !S_ISREG(info.st_mode) ? kNotAFile : EFBIG;
        ::close(fd);
        errno = why;
        return Status::Failed;
    }
    auto* out = static_cast<unsigned char*>(buffer);
    std::size_t got = 0;
    for (;;) {
        // One byte more than fits shows a value that grew past the buffer.
        unsigned char probe = 0;
        unsigned char* into = got < size ? out + got : &probe;
        std::size_t room = got < size ? size - got : 1;
        ssize_t n = ::read(fd, into, room);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (n > 0 && got >= size)) {
            int why = n < 0 ? errno : EFBIG;
            ::close(fd);
            errno = why;
            return Status::Failed;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    ::close(fd);
    size = got;
    return Status::Ok;
}

Status setValue(std::string_view key, std::string_view name, const void* data, std::size_t size) {
    std::string folder = keyFolder(key);
    if (folder.empty() || !validName(name)) return failWith(EINVAL);
    return replaceFile(folder, foldedName(name), data, size);
}

Status replaceFile(const std::string& folder, std::string_view file, const void* data, std::size_t size) {
    if (!absolute(folder.c_str()) || !validName(file)) return failWith(EINVAL);
    int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return statusOfErrno();

    const std::string path = folder + "/" + std::string(file);
    const std::string prefix = "." + std::string(file) + ".";
    removeAbandonedTemporaries(dir, prefix);
    std::string temporary = folder + "/" + prefix + std::string(kTemporarySuffix, 'X');
    int fd = createTemporary(temporary);
    if (fd < 0) {
        int why = errno;
        ::close(dir);
        errno = why;
        return Status::Failed;
    }
    // Written and flushed under a temporary name, then renamed over the old
    // value: the rename is atomic, so readers see the old bytes or the new.
    // The file stays open (and locked) until it has its final name.
    bool ok = ::fchmod(fd, kValueMode) == 0 && writeAll(fd, static_cast<const unsigned char*>(data), size) &&
              ::fsync(fd) == 0;
    ok = ok && ::rename(temporary.c_str(), path.c_str()) == 0;
    int why = errno;
    if (!ok) ::unlink(temporary.c_str());
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        ::close(dir);
        errno = why;
        return Status::Failed;
    }
    // The rename itself reaches the disk with the folder.
    ::fsync(dir);
    ::close(dir);
    return Status::Ok;
}

ValueLock::ValueLock(std::string_view key, std::string_view name) {
    std::string folder = keyFolder(key);
    if (folder.empty() || !validName(name)) {
        errno = EINVAL;
        return;
    }
    const std::string path = folder + "/." + foldedName(name) + ".lock";
    int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, kValueMode);
    if (file < 0) return;
    struct stat info {};
    int locked = -1;
    if (::fstat(file, &info) == 0 && S_ISREG(info.st_mode)) {
        do {
            locked = ::flock(file, LOCK_EX);
        } while (locked != 0 && errno == EINTR);
    } else {
        errno = kNotAFile;
    }
    if (locked != 0) {
        const int why = errno;
        ::close(file);
        errno = why;
        return;
    }
    handle = file;
}

ValueLock::~ValueLock() {
    // Closing the only descriptor of the open file releases its lock.
    if (handle != -1) ::close(static_cast<int>(handle));
}

std::string keyPath(std::string_view key) { return keyFolder(key); }

bool makePrivateFolders(const std::string& path) {
    if (!absolute(path.c_str())) {
        errno = EINVAL;
        return false;
    }
    return makeFolders(path);
}

std::string valuePath(std::string_view key, std::string_view name) {
    std::string folder = keyFolder(key);
    if (folder.empty() || !validName(name)) return {};
    return folder + "/" + foldedName(name);
}

std::string failureText(int error) {
    switch (error) {
        case ELOOP: return "it is a symbolic link, which the store does not follow";
        case EISDIR: return "it is a folder, not a file";
        case kNotAFile: return "it is not a regular file";
        case EFBIG: return "it is larger than any value the game writes";
        default: return std::strerror(error);
    }
}

}  // namespace UserStore
