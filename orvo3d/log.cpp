#include "orvo3d/log.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>
#include <ctime>

#include "platform/files.h"

namespace {

constexpr const char* kLogPath = "./message.log";
constexpr std::size_t kTimeBuffer = 255;
constexpr std::size_t kTextBuffer = 2047;

bool infoSuppressed = false;

// Where this thread's records go instead of the file, while held.
thread_local std::vector<std::string>* heldRecords = nullptr;

// A log that cannot be written must not stop the game: the record goes to
// standard error instead, and the first such failure says why, once.
void reportUnusableLog(int why) {
    static bool reported = false;
    if (reported) return;
    reported = true;
    const char* reason = why == Files::kNotRegular ? "not a regular file" : std::strerror(why);
    std::fprintf(stderr, "vimbrot: cannot write message.log (%s); records go to standard error\n", reason);
}

void append(const char* text) {
    if (heldRecords != nullptr) {
        heldRecords->emplace_back(text);
        return;
    }
    // The log is opened per write, so the file is complete after every
    // record even when the process dies right after it. Only a regular file
    // named message.log itself is written: a link could make the game
    // append to a file elsewhere, and a FIFO would freeze it.
    const std::size_t size = std::strlen(text);
    if (Files::append(kLogPath, text, size)) return;
    reportUnusableLog(errno);
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

    char formatted[kTextBuffer];
    std::vsnprintf(formatted, sizeof formatted, format, args);
    const std::string message = Logger::escapeControls(formatted, true);

    // The finished message goes in as an argument, so percent signs it
    // carries are never interpreted again.
    char record[kTextBuffer];
    int length =
        std::snprintf(record, sizeof record, "%s (%s)\n => %s:%d\n%s\n\n", level, time, file, line, message.c_str());
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

std::string escapeControls(std::string_view text, bool keepLineBreaks) {
    std::string shown;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool lineBreak = byte == '\n' || byte == '\t';
        if ((byte < 0x20 && !(keepLineBreaks && lineBreak)) || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            shown += escaped;
        } else {
            shown += c;
        }
    }
    return shown;
}

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
    // Never through a link: F12 must not empty a file elsewhere.
    if (!Files::clear(kLogPath)) reportUnusableLog(errno);
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
