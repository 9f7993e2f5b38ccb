// The player's own gamepad mappings: lines handed to the real GLFW, the file
// read from the config folder of a temporary HOME, and the log record for a
// joystick without a mapping.
#include <gtest/gtest.h>

#include <GLFW/glfw3.h>
#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "game/padmappings.h"
#include "support/sandbox.h"

namespace fs = std::filesystem;

namespace {

// A made-up GUID no real pad has, and a mapping line for it.
const std::string kGuid = "03000000deadbeef0000000000000000";
const std::string kGood = kGuid + ",Made Up Pad,a:b0,b:b1,x:b2,y:b3,start:b7,leftx:a0,lefty:a1,platform:Linux,";
const std::string kOtherGood = "03000000feedface0000000000000000,Other Pad,a:b1,b:b0,platform:Linux,";
// GLFW rejects a GUID that is not 32 hex digits.
const std::string kShortGuid = "03000000deadbeef,Broken Pad,a:b0,";

class PadMappings : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(glfwInit()) << "GLFW needs a display (run under xvfb-run)";
        ::unsetenv("SDL_GAMECONTROLLERCONFIG");
        ::unsetenv("XDG_CONFIG_HOME");
        writeFile("message.log", "");
    }
    void TearDown() override {
        ::unsetenv("SDL_GAMECONTROLLERCONFIG");
        glfwTerminate();
    }

    static fs::path home() { return std::getenv("HOME"); }
    static fs::path defaultFile() { return home() / ".config" / "Orvo" / "Vimbrot" / "gamecontrollerdb.txt"; }
    static void writeMappings(const fs::path& path, const std::string& text) {
        fs::create_directories(path.parent_path());
        writeFile(path, text);
    }
};

struct LinesCase {
    const char* name;
    std::string text;
    bool accepted;
    int refusedLines;   // lines GLFW would skip in silence, a record each
    bool sourceRecord;  // GLFW's verdict on the rest, or a NUL in the text
};

void PrintTo(const LinesCase& c, std::ostream* os) { *os << c.name; }

const LinesCase kLinesCases[] = {
    {"OneLine", kGood, true, 0, false},
    {"LinesCommentsAndBlanks", "# my pads\n\n" + kGood + "\r\n" + kOtherGood + "\n", true, 0, false},
    {"Nothing", "", true, 0, false},
    {"ShortGuid", kShortGuid, false, 0, true},
    {"OneBadLineAmongGoodOnes", kGood + "\n" + kShortGuid + "\n" + kOtherGood + "\n", false, 0, true},
    {"ManyBadLines", kShortGuid + "\n" + kShortGuid + "\n0,\n1234,x\n", false, 0, true},
    {"NulByte", kGood + std::string(1, '\0') + kOtherGood, false, 0, true},
    {"NoGuidFirst", "Made Up Pad,a:b0,\n" + kGood + "\n", false, 1, false},
    {"LongerThanGlfwReads", kGood + std::string(1024 - kGood.size(), 'x') + "\n" + kOtherGood, false, 1, false},
    {"LongestGlfwReads", kGood + std::string(1023 - kGood.size(), ' ') + "\n" + kOtherGood, true, 0, false},
    {"RefusedAndNotUnderstood", "\x89PNG\r\n" + kShortGuid + "\n\x1a\n", false, 2, true},
};

class PadMappingLines : public PadMappings, public testing::WithParamInterface<LinesCase> {};

// A line GLFW would skip without a word is refused with a record of its
// own; GLFW's verdict on the rest is one record naming the source, however
// many of its lines were bad.
TEST_P(PadMappingLines, GlfwSaysWhetherItTookThem) {
    const LinesCase& c = GetParam();
    EXPECT_EQ(addPadMappings(c.text, "the test"), c.accepted);
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR"), c.refusedLines + (c.sourceRecord ? 1 : 0)) << log;
    EXPECT_EQ(countOf(log, "Gamepad mappings from the test not "), c.sourceRecord ? 1 : 0) << log;
    EXPECT_EQ(countOf(log, " of the test not used: "), c.refusedLines) << log;
    // GLFW goes on working and takes good lines after a bad text.
    writeFile("message.log", "");
    EXPECT_TRUE(addPadMappings(kGood, "again"));
    EXPECT_EQ(readLog(), "");
}

INSTANTIATE_TEST_SUITE_P(Texts, PadMappingLines, testing::ValuesIn(kLinesCases),
                         [](const testing::TestParamInfo<LinesCase>& info) { return std::string(info.param.name); });

// Where the file is looked for, and what comes of it.
struct FileCase {
    const char* name;
    const char* xdgConfigHome;  // nullptr: unset; relative paths do not count
    const char* where;          // the folder, below the temporary HOME
    std::string fileText;
    const char* variable;       // SDL_GAMECONTROLLERCONFIG, or nullptr
    std::vector<PadMappingSource> sources;  // names below HOME, or the variable's
    int records;
};

void PrintTo(const FileCase& c, std::ostream* os) { *os << c.name; }

const FileCase kFileCases[] = {
    {"InHomeConfig", nullptr, ".config/Orvo/Vimbrot", kGood, nullptr,
     {{".config/Orvo/Vimbrot/gamecontrollerdb.txt", true}}, 0},
    {"InXdgConfigHome", "ABSOLUTE:xdg", "xdg/Orvo/Vimbrot", kGood, nullptr,
     {{"xdg/Orvo/Vimbrot/gamecontrollerdb.txt", true}}, 0},
    {"RelativeXdgConfigHomeFallsBackToHome", "xdg", ".config/Orvo/Vimbrot", kGood, nullptr,
     {{".config/Orvo/Vimbrot/gamecontrollerdb.txt", true}}, 0},
    {"XdgConfigHomeWinsOverHome", "ABSOLUTE:xdg", ".config/Orvo/Vimbrot", kGood, nullptr, {}, 0},
    // Lines 3 and 4 start with no GUID: a record each, and GLFW's one.
    {"GarbledFile", nullptr, ".config/Orvo/Vimbrot",
     std::string("0\xff\xfe,\x01\n" "deadbeef,,,\n" "\x89PNG\r\n\x1a\n") + kShortGuid, nullptr,
     {{".config/Orvo/Vimbrot/gamecontrollerdb.txt", false}}, 3},
    {"FileAndVariableTheVariableLast", nullptr, ".config/Orvo/Vimbrot", kGood, "SET:good",
     {{".config/Orvo/Vimbrot/gamecontrollerdb.txt", true}, {"SDL_GAMECONTROLLERCONFIG", true}}, 0},
    {"BadVariable", nullptr, nullptr, "", "SET:bad", {{"SDL_GAMECONTROLLERCONFIG", false}}, 1},
    {"NothingAtAll", nullptr, nullptr, "", nullptr, {}, 0},
};

class PadMappingFile : public PadMappings, public testing::WithParamInterface<FileCase> {};

TEST_P(PadMappingFile, IsReadFromTheConfigFolder) {
    const FileCase& c = GetParam();
    if (c.xdgConfigHome != nullptr) {
        const std::string value = c.xdgConfigHome;
        const std::string absolute = "ABSOLUTE:";
        ::setenv("XDG_CONFIG_HOME",
                 value.starts_with(absolute) ? (home() / value.substr(absolute.size())).c_str() : value.c_str(), 1);
    }
    if (c.where != nullptr) writeMappings(home() / c.where / "gamecontrollerdb.txt", c.fileText);
    if (c.variable != nullptr) {
        ::setenv("SDL_GAMECONTROLLERCONFIG", std::string(c.variable) == "SET:good" ? kOtherGood.c_str()
                                                                                    : kShortGuid.c_str(), 1);
    }

    const std::vector<PadMappingSource> sources = loadPadMappings();
    ::unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(sources.size(), c.sources.size());
    for (std::size_t i = 0; i < sources.size(); ++i) {
        const std::string expected = c.sources[i].name == std::string("SDL_GAMECONTROLLERCONFIG")
                                         ? c.sources[i].name
                                         : (home() / c.sources[i].name).string();
        EXPECT_EQ(sources[i].name, expected) << i;
        EXPECT_EQ(sources[i].accepted, c.sources[i].accepted) << i;
    }
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "ERROR"), c.records) << log;
    // Every record names the source it is about.
    for (const PadMappingSource& source : sources) {
        if (!source.accepted) {
            EXPECT_EQ(countOf(log, source.name), c.records) << log;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Places, PadMappingFile, testing::ValuesIn(kFileCases),
                         [](const testing::TestParamInfo<FileCase>& info) { return std::string(info.param.name); });

// Something else than a file in its place, or a file that cannot be read:
// one record, and the start goes on at once (a FIFO is never opened, so
// nothing waits for a writer).
TEST_F(PadMappings, NoFileInItsPlaceIsOneRecord) {
    const struct {
        const char* name;
        void (*make)(const fs::path&);
    } cases[] = {
        {"folder", [](const fs::path& p) { fs::create_directories(p); }},
        {"fifo", [](const fs::path& p) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); }},
        {"link to a folder", [](const fs::path& p) { fs::create_directory_symlink("/", p); }},
        // A regular file whose read fails, as on a failing disk: the read's
        // error is a record, not an exception that ends the start.
        {"file whose read fails", [](const fs::path& p) { fs::create_symlink("/proc/self/mem", p); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(defaultFile().parent_path());
        fs::create_directories(defaultFile().parent_path());
        c.make(defaultFile());
        writeFile("message.log", "");
        EXPECT_TRUE(loadPadMappings().empty());
        const std::string log = readLog();
        EXPECT_EQ(countOf(log, "ERROR"), 1) << log;
        EXPECT_EQ(countOf(log, "Cannot read the gamepad mappings " + defaultFile().string()), 1) << log;
    }
    // A link to a mapping file elsewhere is followed.
    fs::remove_all(defaultFile().parent_path());
    fs::create_directories(defaultFile().parent_path());
    writeFile(home() / "shared.txt", kGood);
    fs::create_symlink(home() / "shared.txt", defaultFile());
    writeFile("message.log", "");
    const std::vector<PadMappingSource> sources = loadPadMappings();
    ASSERT_EQ(sources.size(), 1u);
    EXPECT_TRUE(sources[0].accepted);
    EXPECT_EQ(readLog(), "");
}

// A joystick without a mapping is named once per connection, with its GUID.
TEST(UnmappedPadsTest, OneRecordPerConnection) {
    writeFile("message.log", "");
    const JoystickSlot none;
    const JoystickSlot stick{true, false, "Acme Flight Stick", "0300000034120000cdab000010010000"};
    const JoystickSlot pad{true, true, "Mapped Pad", "030000005e0400008e02000010010000"};
    struct Frame {
        int slot;
        JoystickSlot seen;
        int recordsAfter;
    };
    const Frame frames[] = {
        {0, none, 0},  {0, pad, 0},  {0, stick, 1}, {0, stick, 1}, {1, stick, 2}, {0, stick, 2},
        {0, none, 2},  {0, stick, 3},                               // plugged in again
        {1, pad, 3},   {1, stick, 4},                               // mapped in between
        {-1, stick, 4}, {16, stick, 4},                             // no such slot
    };
    UnmappedPads pads;
    int i = 0;
    for (const Frame& f : frames) {
        pads.check(f.slot, f.seen);
        EXPECT_EQ(countOf(readLog(), "ERROR"), f.recordsAfter) << "frame " << i++;
    }
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "Joystick \"Acme Flight Stick\" has no gamepad mapping"), 4) << log;
    EXPECT_EQ(countOf(log, "Its GUID is 0300000034120000cdab000010010000"), 4) << log;
    EXPECT_EQ(countOf(log, "Mapped Pad"), 0) << log;
}

// A real joystick without a mapping, made with uinput where the machine
// allows it: GLFW sees it, the game names it once, and a mapping line for
// its GUID turns it into a gamepad.
TEST_F(PadMappings, VirtualJoystickIsNamedAndCanBeMapped) {
    const int fd = ::open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) GTEST_SKIP() << "no usable /dev/uinput here: " << std::strerror(errno);
    for (int code : {BTN_SOUTH, BTN_EAST, BTN_START}) {
        ::ioctl(fd, UI_SET_EVBIT, EV_KEY);
        ::ioctl(fd, UI_SET_KEYBIT, code);
    }
    ::ioctl(fd, UI_SET_EVBIT, EV_ABS);
    for (int axis : {ABS_X, ABS_Y}) {
        ::ioctl(fd, UI_SET_ABSBIT, axis);
        uinput_abs_setup abs{};
        abs.code = static_cast<__u16>(axis);
        abs.absinfo.minimum = -32768;
        abs.absinfo.maximum = 32767;
        ::ioctl(fd, UI_ABS_SETUP, &abs);
    }
    uinput_setup setup{};
    setup.id.bustype = BUS_USB;
    setup.id.vendor = 0x1234;
    setup.id.product = 0xabcd;
    std::strcpy(setup.name, "Vimbrot Test Stick");
    if (::ioctl(fd, UI_DEV_SETUP, &setup) != 0 || ::ioctl(fd, UI_DEV_CREATE) != 0) {
        ::close(fd);
        GTEST_SKIP() << "uinput cannot create a device here";
    }

    // Wait for GLFW to see it (the kernel and udev make the node first).
    int jid = -1;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (jid < 0 && std::chrono::steady_clock::now() < deadline) {
        glfwPollEvents();
        for (int j = GLFW_JOYSTICK_1; j <= GLFW_JOYSTICK_LAST; ++j) {
            const char* name = glfwGetJoystickName(j);
            if (name != nullptr && std::string(name) == "Vimbrot Test Stick") jid = j;
        }
    }
    if (jid < 0) {
        ::ioctl(fd, UI_DEV_DESTROY);
        ::close(fd);
        GTEST_SKIP() << "GLFW does not see uinput devices here (no /dev/input nodes)";
    }
    EXPECT_FALSE(glfwJoystickIsGamepad(jid));
    const std::string guid = glfwGetJoystickGUID(jid);
    UnmappedPads pads;
    reportUnmappedPads(pads);
    reportUnmappedPads(pads);
    const std::string log = readLog();
    EXPECT_EQ(countOf(log, "Joystick \"Vimbrot Test Stick\" has no gamepad mapping"), 1) << log;
    EXPECT_EQ(countOf(log, "Its GUID is " + guid), 1) << log;

    EXPECT_TRUE(addPadMappings(guid + ",Vimbrot Test Stick,a:b0,b:b1,start:b2,leftx:a0,lefty:a1,platform:Linux,",
                               "the test"));
    EXPECT_TRUE(glfwJoystickIsGamepad(jid));
    ::ioctl(fd, UI_DEV_DESTROY);
    ::close(fd);
}

}  // namespace
