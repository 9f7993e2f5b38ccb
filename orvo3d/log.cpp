#include "orvo3d/log.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr const char* kLogPath = "./message.log";
constexpr std::size_t kTimeBuffer = 255;
constexpr std::size_t kTextBuffer = 2047;
// The most one write call is asked to take.
constexpr std::size_t kMaxChunk = std::size_t{1} << 30;

bool infoSuppressed = false;

// Where this thread's records go instead of the file, while held.
thread_local std::vector<std::string>* heldRecords = nullptr;

// The log is opened per write, so the file is complete after every record
// even when the process dies right after it. It must be a regular file named
// message.log itself: no link is followed (a link could make the game append
// to, or F12 empty, a file elsewhere) and the open never waits (a FIFO there
// would freeze the game). Returns -1 with errno set when it cannot be used.
int openLog(int flags) {
    int fd = ::open(kLogPath, O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | flags, 0666);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        int why = S_ISDIR(info.st_mode) ? EISDIR : ENODEV;
        ::close(fd);
        errno = why;
        return -1;
    }
    return fd;
}

// A log that cannot be written must not stop the game: the record goes to
// standard error instead, and the first such failure says why, once.
void reportUnusableLog(int why) {
    static bool reported = false;
    if (reported) return;
    reported = true;
    const char* reason = why == ENODEV ? "not a regular file" : std::strerror(why);
    std::fprintf(stderr, "vimbrot: cannot write message.log (%s); records go to standard error\n", reason);
}

bool writeAll(int fd, const char* text, std::size_t size) {
    while (size > 0) {
        // Windows' C runtime counts in unsigned int: no call asks for more.
        const auto chunk = static_cast<unsigned>(std::min<std::size_t>(size, kMaxChunk));
        ssize_t done = ::write(fd, text, chunk);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        text += done;
        size -= static_cast<std::size_t>(done);
    }
    return true;
}

void append(const char* text) {
    if (heldRecords != nullptr) {
        heldRecords->emplace_back(text);
        return;
    }
    const std::size_t size = std::strlen(text);
    int fd = openLog(O_APPEND);
    bool written = fd >= 0 && writeAll(fd, text, size);
    int why = errno;
    if (fd >= 0) ::close(fd);
    if (written) return;
    reportUnusableLog(why);
    std::fwrite(text, 1, size, stderr);
    std::fflush(stderr);
}

void formatLocalTime(char* out, std::size_t size, const char* format) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    if (std::strftime(out, size, format, &local) == 0) out[0] = '\0';
}

void writeRecord(const char* level, const char* file, int line, const char* format, std::va_list args) {
    char time[kTimeBuffer];
    formatLocalTime(time, sizeof time, "%Y-%m-%d %H:%M:%S");

    char message[kTextBuffer];
    std::vsnprintf(message, sizeof message, format, args);

    // The finished message goes in as an argument, so percent signs it
    // carries are never interpreted again.
    char record[kTextBuffer];
    int length = std::snprintf(record, sizeof record, "%s (%s)\n => %s:%d\n%s\n\n", level, time, file, line, message);
    // An over-long record is cut short but keeps its closing blank line, so
    // the record after it still starts on a line of its own.
    if (length >= static_cast<int>(sizeof record)) {
        record[sizeof record - 3] = '\n';
        record[sizeof record - 2] = '\n';
    }
    append(record);
}

}  // namespace

namespace Logger {

void init(bool verbose) {
    infoSuppressed = !verbose;
    if (!verbose) return;
    char line[kTimeBuffer];
    formatLocalTime(line, sizeof line, "================== Started %Y-%m-%d %H:%M:%S ==================\n");
    append("=================================================================\n");
    append(line);
    append("=================================================================\n\n");
}

void error(const char* file, int line, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writeRecord("ERROR", file, line, format, args);
    va_end(args);
}

void info(const char* file, int line, const char* format, ...) {
    if (infoSuppressed) return;
    std::va_list args;
    va_start(args, format);
    writeRecord("INFO", file, line, format, args);
    va_end(args);
}

void clear() {
    // Truncated only once it is known to be our own regular file.
    int fd = openLog(0);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) reportUnusableLog(errno);
    if (fd >= 0) ::close(fd);
}

HoldRecords::HoldRecords(std::vector<std::string>& records) : previous(heldRecords) { heldRecords = &records; }

HoldRecords::~HoldRecords() { heldRecords = previous; }

void writeHeldRecords(const std::vector<std::string>& records) {
    for (const std::string& record : records) append(record.c_str());
}

}  // namespace Logger

namespace Orvo3D {

LoggedException::LoggedException(const char* file, int line, const char* format, ...) {
    std::va_list args;
    va_start(args, format);
    writeRecord("ERROR", file, line, format, args);
    va_end(args);
}

// The exception carries no message of its own; the log record has it.
const char* LoggedException::what() const noexcept { return "Unknown exception"; }

}  // namespace Orvo3D
