#pragma once
// The process-wide text log, "message.log" in the working directory, written
// record by record, and the exception that logs itself when constructed.
// The log is only ever a regular file of that name: a link, a FIFO or a
// folder there is left alone. When it cannot be written, records go to
// standard error instead and the game goes on.

#include <exception>
#include <string>
#include <string_view>
#include <vector>

namespace Logger {

// Chooses verbosity once, before any record: INFO records are written only
// when verbose, and a verbose start writes the start banner.
void init(bool verbose);

// Writes one ERROR record. The message is formatted with printf rules (the
// C99 ones: mingw-w64 builds use its own printf, not the Microsoft one).
[[gnu::format(gnu_printf, 3, 4)]] void error(const char* file, int line, const char* format, ...);

// Writes one INFO record unless INFO records are suppressed.
[[gnu::format(gnu_printf, 3, 4)]] void info(const char* file, int line, const char* format, ...);

// Empties the log file (when it is a regular file that can be written).
void clear();

// The text with its control characters (and DEL) written as \xNN, so that a
// name or a line taken from a file or an argument never steers a terminal.
// With keepLineBreaks, line breaks and tabs stay: the log's records are made
// of them.
std::string escapeControls(std::string_view text, bool keepLineBreaks);

// While one lives, the records its thread writes are kept in `records`
// instead of the file, for another thread to write them later in the order
// the program would have written them without the worker.
class HoldRecords {
public:
    explicit HoldRecords(std::vector<std::string>& records);
    ~HoldRecords();
    HoldRecords(const HoldRecords&) = delete;
    HoldRecords& operator=(const HoldRecords&) = delete;

private:
    std::vector<std::string>* previous;
};

// Writes records a HoldRecords kept, as they were.
void writeHeldRecords(const std::vector<std::string>& records);

}  // namespace Logger

namespace Orvo3D {

// Writes an ERROR record on construction; the caller then throws it.
// Only the entry catches it, to end the process: the record is the only
// trace of the cause.
class LoggedException : public std::exception {
public:
    [[gnu::format(gnu_printf, 4, 5)]] LoggedException(const char* file, int line, const char* format, ...);
    const char* what() const noexcept override;
};

}  // namespace Orvo3D
