#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "orvo3d/log.h"
#include "support/child.h"
#include "support/sandbox.h"

namespace {

namespace fs = std::filesystem;

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
    if (strptime(text.c_str(), "%Y-%m-%d %H:%M:%S", &tm) == nullptr) return 0;
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
        setenv("TZ", zone, 1);
        tzset();
    }
    ~ZoneGuard() {
        if (hadZone) setenv("TZ", saved.c_str(), 1); else unsetenv("TZ");
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

// What a hostile message.log does to a record and to F12. Every case runs in
// a child of its own (a hang is killed by the time limit): the record must go
// to the log or to standard error, the process must carry on, and whatever
// stands in the log's place (and any file a link points at) stays as it was.
struct HostileLog {
    const char* what;
    std::function<void(const fs::path& dir)> prepare;  // builds the case in the child's working directory
    bool unprivileged = false;                           // permissions do not stop root
    bool fullDisk = false;
    bool reachesLog = false;                             // the record lands in message.log after all
};

// A folder every user may enter, for the cases run as an unprivileged user.
fs::path openFolder(const char* name) {
    fs::path dir = fs::temp_directory_path() / (std::string("vimbrot-log-") + name + "-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    fs::permissions(dir, fs::perms::all);
    return dir;
}

TEST_F(Log, HostileLogNeitherHangsNorHarmsAndRecordsStillAppear) {
    const std::string elsewhere = "33 bytes that must stay as they are";
    const HostileLog cases[] = {
        {"a folder", [](const fs::path& d) { fs::create_directory(d / "message.log"); }},
        {"a FIFO nobody reads", [](const fs::path& d) { ASSERT_EQ(::mkfifo((d / "message.log").c_str(), 0600), 0); }},
        {"a link to a file elsewhere", [&](const fs::path& d) {
             writeFile(d / "elsewhere.txt", elsewhere);
             fs::create_symlink(d / "elsewhere.txt", d / "message.log");
         }},
        {"a dangling link", [](const fs::path& d) { fs::create_symlink(d / "target.txt", d / "message.log"); }},
        {"a deleted working directory", [](const fs::path& d) {
             fs::create_directory(d / "gone");
             ASSERT_EQ(::chdir((d / "gone").c_str()), 0);
             fs::remove(d / "gone");
         }},
        {"read-only", [](const fs::path& d) {
             writeFile(d / "message.log", "kept\n");
             fs::permissions(d / "message.log", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
         }, true},
        {"in a read-only folder", [](const fs::path& d) {
             fs::create_directory(d / "ro");
             fs::permissions(d / "ro", fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                           fs::perms::others_read | fs::perms::others_exec);
             ASSERT_EQ(::chdir((d / "ro").c_str()), 0);
         }, true},
        {"on a full disk", [](const fs::path& d) { ASSERT_EQ(::chdir((d / "full").c_str()), 0); }, false, true},
        {"huge (3 GiB, sparse)", [](const fs::path& d) {
             writeFile(d / "message.log", "");
             fs::resize_file(d / "message.log", 3ull << 30);
         }, false, false, true},
    };
    const std::string recordTail = ")\n => game/menu:7\nNo audio device\n\n";
    for (const HostileLog& c : cases) {
        SCOPED_TRACE(c.what);
        const fs::path dir = openFolder("hostile");
        ChildOutcome run = runInChild(
            [&] {
                Logger::init(false);
                Logger::error("game/menu", 7, "No audio device");
                Logger::clear();
                Logger::error("game/menu", 7, "No audio device");
            },
            [&] {
                // Built as root, then run as the user the case needs.
                if (c.fullDisk && !mountFullDisk(dir / "full")) return false;
                if (::chdir(dir.c_str()) != 0) ::_exit(90);
                c.prepare(dir);
                if (testing::Test::HasFatalFailure()) ::_exit(90);
                return !c.unprivileged || becomeNobody();
            });
        if (run.exited && run.code == kChildCannotRun) {
            std::printf("[  SKIPPED ] %s: needs %s\n", c.what, c.unprivileged ? "the user nobody" : "a mount namespace");
            fs::remove_all(dir);
            continue;
        }
        EXPECT_TRUE(run.exited) << "ended by signal " << run.signal << (run.signal == SIGALRM ? " (it hung)" : "");
        EXPECT_EQ(run.code, 0);
        if (c.reachesLog) {
            // Appended past the end, then emptied by F12: one record is left.
            EXPECT_EQ(run.errors, "");
            EXPECT_EQ(fs::file_size(dir / "message.log"), recordTail.size() + 26);
        } else {
            // One line that says why, then each record once, as it would be in the log.
            EXPECT_EQ(countOf(run.errors, "vimbrot: cannot write message.log ("), 1) << run.errors;
            EXPECT_EQ(countOf(run.errors, recordTail), 2) << run.errors;
            EXPECT_EQ(run.errors.find("Failed to open log file!"), std::string::npos);
        }
        // Nothing took the log's place and nothing a link points at changed.
        if (fs::exists(dir / "elsewhere.txt")) {
            EXPECT_EQ(readFile(dir / "elsewhere.txt"), elsewhere);
        }
        EXPECT_FALSE(fs::exists(dir / "target.txt")) << "the dangling link's target was created";
        if (fs::is_symlink(dir / "message.log")) {
            EXPECT_TRUE(fs::is_symlink(fs::symlink_status(dir / "message.log")));
        }
        if (std::string(c.what) == "read-only") {
            EXPECT_EQ(readFile(dir / "message.log"), "kept\n");
        }
        fs::remove_all(dir);
    }
}

// A FIFO with a reader waiting on it would take records; it still is not a
// log, and nothing is written into it.
TEST_F(Log, FifoWithAReaderGetsNothing) {
    ASSERT_EQ(::mkfifo("message.log", 0600), 0);
    int reader = ::open("message.log", O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    ChildOutcome run = runInChild([] {
        Logger::error("game/menu", 3, "through the FIFO?");
        Logger::clear();
    });
    char buffer[64];
    EXPECT_LE(::read(reader, buffer, sizeof buffer), 0);
    ::close(reader);
    EXPECT_TRUE(run.exited);
    EXPECT_EQ(countOf(run.errors, "through the FIFO?"), 1) << run.errors;
    fs::remove("message.log");
}

}  // namespace
