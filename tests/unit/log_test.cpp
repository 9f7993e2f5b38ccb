// The log's records, banner and clearing, the same on every system.
#include <gtest/gtest.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "orvo3d/log.h"
#include "support/sandbox.h"

namespace {

struct Record {
    std::string level;
    std::string time;
    std::string file;
    int line = 0;
    std::string message;
};

// True when text has the shape of pattern, where '#' stands for any digit.
bool hasShape(const std::string& text, const std::string& pattern) {
    if (text.size() != pattern.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        bool ok = pattern[i] == '#' ? (text[i] >= '0' && text[i] <= '9') : text[i] == pattern[i];
        if (!ok) return false;
    }
    return true;
}

const std::string kTimeShape = "####-##-## ##:##:##";

// Reads the header "LEVEL (time)\n => file:line\n" at `at`; returns the
// offset after it, or npos when there is no well-formed header there.
std::size_t readHeader(const std::string& log, std::size_t at, Record& r) {
    std::size_t open = log.find(" (", at);
    if (open == std::string::npos) return std::string::npos;
    r.level = log.substr(at, open - at);
    if (r.level != "ERROR" && r.level != "INFO") return std::string::npos;
    r.time = log.substr(open + 2, kTimeShape.size());
    std::size_t after = open + 2 + kTimeShape.size();
    if (!hasShape(r.time, kTimeShape) || log.compare(after, 6, ")\n => ") != 0) return std::string::npos;
    std::size_t lineEnd = log.find('\n', after + 6);
    if (lineEnd == std::string::npos) return std::string::npos;
    std::string place = log.substr(after + 6, lineEnd - after - 6);
    std::size_t colon = place.rfind(':');
    if (colon == std::string::npos || colon + 1 == place.size()) return std::string::npos;
    r.file = place.substr(0, colon);
    for (std::size_t i = colon + 1; i < place.size(); ++i) {
        if (place[i] < '0' || place[i] > '9') return std::string::npos;
    }
    r.line = std::stoi(place.substr(colon + 1));
    return lineEnd + 1;
}

// Splits a log into records of the form
// "LEVEL (YYYY-MM-DD HH:MM:SS)\n => file:line\nmessage\n\n". Fails the test
// when any byte of the log is not part of a well-formed record. A message
// may itself hold line breaks; it ends at the blank line before the next
// header or at the end of the log.
std::vector<Record> parseRecords(const std::string& log) {
    std::vector<Record> records;
    std::size_t at = 0;
    while (at < log.size()) {
        Record r;
        std::size_t body = readHeader(log, at, r);
        if (body == std::string::npos) {
            ADD_FAILURE() << "no record header at offset " << at << ": " << log.substr(at, 80);
            return records;
        }
        std::size_t end = std::string::npos;
        for (std::size_t blank = log.find("\n\n", body); blank != std::string::npos;
             blank = log.find("\n\n", blank + 1)) {
            Record next;
            if (blank + 2 == log.size() || readHeader(log, blank + 2, next) != std::string::npos) {
                end = blank;
                break;
            }
        }
        if (end == std::string::npos) {
            ADD_FAILURE() << "record at offset " << at << " does not end with a blank line";
            return records;
        }
        r.message = log.substr(body, end - body);
        records.push_back(r);
        at = end + 2;
    }
    return records;
}

std::time_t parseLocal(const std::string& text) {
    std::tm tm{};
    if (std::sscanf(text.c_str(), "%d-%d-%d %d:%d:%d", &tm.tm_year, &tm.tm_mon, &tm.tm_mday, &tm.tm_hour, &tm.tm_min,
                    &tm.tm_sec) != 6) {
        return 0;
    }
    tm.tm_year -= 1900;
    tm.tm_mon -= 1;
    tm.tm_isdst = -1;
    return std::mktime(&tm);
}

class Log : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::remove_all("message.log");
        Logger::init(false);
    }
};

// Sets TZ for the life of the object.
class ZoneGuard {
public:
    explicit ZoneGuard(const char* zone) {
        const char* old = std::getenv("TZ");
        hadZone = old != nullptr;
        if (hadZone) saved = old;
        setVariable("TZ", zone);
        tzset();
    }
    ~ZoneGuard() {
        if (hadZone) setVariable("TZ", saved); else unsetVariable("TZ");
        tzset();
    }

private:
    bool hadZone = false;
    std::string saved;
};

TEST_F(Log, ErrorRecordHasTheFourLineFormatWithLocalTime) {
    // A zone far from UTC shows that the stamp is local time, not UTC.
    ZoneGuard zone("VBT-9:30");

    std::time_t before = std::time(nullptr);
    Logger::error("game/gameloop", 123, "Failed to setup framebuffer");
    std::time_t after = std::time(nullptr);

    std::string log = readLog();
    std::vector<Record> records = parseRecords(log);
    ASSERT_EQ(records.size(), 1u) << log;
    EXPECT_EQ(records[0].level, "ERROR");
    EXPECT_EQ(records[0].file, "game/gameloop");
    EXPECT_EQ(records[0].line, 123);
    EXPECT_EQ(records[0].message, "Failed to setup framebuffer");
    std::time_t stamped = parseLocal(records[0].time);
    EXPECT_GE(stamped, before - 1);
    EXPECT_LE(stamped, after);
    EXPECT_EQ(log, "ERROR (" + records[0].time + ")\n => game/gameloop:123\nFailed to setup framebuffer\n\n");
}

TEST_F(Log, OnlyTheCallersFormatIsInterpreted) {
    Logger::error("orvo3d/storage", 7, "%s", "100% %d %s %n done");
    Logger::error("orvo3d/storage", 8, "value %d%% of %s", 5, "50%s");
    std::vector<Record> records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, "100% %d %s %n done");
    EXPECT_EQ(records[1].message, "value 5% of 50%s");
}

TEST_F(Log, MultiLineMessagesStayOneRecord) {
    Logger::error("orvo3d/opengl", 40, "Shader error %s:\n%s", "shaders/a.vert", "0:1(1): error: x\n");
    Logger::error("orvo3d/opengl", 41, "next");
    std::vector<Record> records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, "Shader error shaders/a.vert:\n0:1(1): error: x\n");
    EXPECT_EQ(records[1].message, "next");
}

TEST_F(Log, ControlCharactersFromDataAreWrittenEscaped) {
    // A settings line or a file name with a terminal's escape sequence, a
    // carriage return and a bell in it: shown, never acted on.
    Logger::error("platform/settings", 3, "line '%s' not understood", "mute = \x1b[31mtrue\r\x07\x7f");
    Logger::error("orvo3d/opengl", 4, "kept:\n\tas\tthey are");
    std::vector<Record> records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].message, "line 'mute = \\x1B[31mtrue\\x0D\\x07\\x7F' not understood");
    EXPECT_EQ(records[1].message, "kept:\n\tas\tthey are") << "line breaks and tabs are the record's own";
    EXPECT_EQ(readLog().find('\x1b'), std::string::npos);
}

TEST_F(Log, QuietInitWritesNoBannerAndDropsInfo) {
    Logger::info("orvo3d/storage", 1, "dropped");
    EXPECT_FALSE(std::filesystem::exists("message.log"));
    Logger::error("orvo3d/storage", 2, "kept");
    std::vector<Record> records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "kept");
}

TEST_F(Log, VerboseInitAppendsTheBannerAndKeepsInfo) {
    writeFile("message.log", "earlier\n");
    Logger::init(true);
    Logger::info("orvo3d/storage", 60, "Failed to find resource: %s", "data/x.jpg");

    std::string log = readLog();
    const std::string rule(65, '=');
    ASSERT_EQ(log.rfind("earlier\n" + rule + "\n", 0), 0u) << log;
    std::size_t second = 8 + 66;
    std::size_t secondEnd = log.find('\n', second);
    std::string started = log.substr(second, secondEnd - second);
    EXPECT_TRUE(hasShape(started, std::string(18, '=') + " Started " + kTimeShape + " " + std::string(18, '=')))
        << started;
    ASSERT_EQ(log.compare(secondEnd + 1, 67, rule + "\n\n"), 0) << log;

    std::vector<Record> records = parseRecords(log.substr(secondEnd + 1 + 67));
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, "INFO");
    EXPECT_EQ(records[0].file, "orvo3d/storage");
    EXPECT_EQ(records[0].line, 60);
    EXPECT_EQ(records[0].message, "Failed to find resource: data/x.jpg");
}

TEST_F(Log, ClearEmptiesTheFileAndTheNextRecordStartsAtTheTop) {
    Logger::error("game/menu", 1, "one");
    Logger::error("game/menu", 2, "two");
    Logger::clear();
    ASSERT_TRUE(std::filesystem::exists("message.log"));
    EXPECT_EQ(std::filesystem::file_size("message.log"), 0u);
    Logger::error("game/menu", 3, "three");
    std::vector<Record> records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].message, "three");

    // Clearing a log that does not exist yet creates it empty.
    std::filesystem::remove("message.log");
    Logger::clear();
    ASSERT_TRUE(std::filesystem::exists("message.log"));
    EXPECT_EQ(std::filesystem::file_size("message.log"), 0u);
}

TEST_F(Log, OverLongRecordsAreCutAndTheLogStaysReadable) {
    struct Case {
        std::size_t messageLength;
        bool whole;
    };
    const Case cases[] = {{1000, true}, {2000, false}, {2046, false}, {2047, false}, {100000, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.messageLength);
        std::filesystem::remove("message.log");
        std::string message(c.messageLength, 'x');
        Logger::error("orvo3d/opengl", 9, "%s", message.c_str());
        Logger::error("orvo3d/opengl", 10, "after");
        std::string log = readLog();
        std::vector<Record> records = parseRecords(log);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[1].message, "after");
        if (c.whole) {
            EXPECT_EQ(records[0].message, message);
        } else {
            // The record buffer holds at most 2046 characters.
            EXPECT_EQ(log.find("ERROR (", 1), 2046u);
            EXPECT_EQ(records[0].message, std::string(records[0].message.size(), 'x'));
            EXPECT_LT(records[0].message.size(), c.messageLength);
        }
    }
}

TEST_F(Log, LoggedExceptionWritesItsRecordWhenConstructed) {
    {
        Orvo3D::LoggedException unthrown("game/track", 31, "Failed to init %s: %s", "track", "VBO generation");
        (void)unthrown;
    }
    std::vector<Record> records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].level, "ERROR");
    EXPECT_EQ(records[0].file, "game/track");
    EXPECT_EQ(records[0].line, 31);
    EXPECT_EQ(records[0].message, "Failed to init track: VBO generation");

    try {
        throw Orvo3D::LoggedException("game/stars", 12, "Failed to init stars: VAO generation");
    } catch (const std::exception& caught) {
        EXPECT_STREQ(caught.what(), "Unknown exception");
    }
    records = parseRecords(readLog());
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[1].message, "Failed to init stars: VAO generation");
}

// A folder where the log goes can be neither written nor emptied, on any
// system: the records go to standard error, the program carries on, and
// the folder stays as it was.
TEST_F(Log, AFolderInItsPlaceSendsTheRecordsToStandardError) {
    std::filesystem::create_directory("message.log");
    testing::internal::CaptureStderr();
    Logger::error("game/menu", 7, "No audio device");
    Logger::clear();
    Logger::error("game/menu", 8, "still here");
    const std::string errors = testing::internal::GetCapturedStderr();
    // Why is said once per process, so at most once here.
    EXPECT_LE(countOf(errors, "vimbrot: cannot write message.log ("), 1) << errors;
    EXPECT_EQ(countOf(errors, ")\n => game/menu:7\nNo audio device\n\n"), 1) << errors;
    EXPECT_EQ(countOf(errors, ")\n => game/menu:8\nstill here\n\n"), 1) << errors;
    EXPECT_EQ(errors.find("Failed to open log file!"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory("message.log"));
    EXPECT_TRUE(std::filesystem::is_empty("message.log"));
    std::filesystem::remove("message.log");
}

}  // namespace
