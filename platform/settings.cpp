#include "platform/settings.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

#include "platform/storenames.h"
#include "platform/userstore.h"

namespace {

constexpr const char* kFile = "settings";
// Beside the file, held by a change from its read to its replace.
constexpr const char* kLockFile = ".settings.lock";
// Far more than the two lines and a person's comments ever need; a larger
// file is not ours.
constexpr std::size_t kMaxFileSize = 65536;

const char* nameOf(SettingKey key) { return key == SettingKey::Fullscreen ? "fullscreen" : "mute"; }

bool Settings::*fieldOf(std::string_view name) {
    if (name == "fullscreen") return &Settings::fullscreen;
    if (name == "mute") return &Settings::mute;
    return nullptr;
}

std::string_view trimmed(std::string_view text) {
    const std::string_view blanks = " \t\r";
    std::size_t first = text.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    std::size_t last = text.find_last_not_of(blanks);
    return text.substr(first, last - first + 1);
}

// The next line of `text`, without its '\n'; `text` keeps what follows.
std::string_view takeLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    return line;
}

// The key of a `key = value` line; nothing for a blank line, a comment or a
// line without '='.
std::optional<std::string_view> keyOf(std::string_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() == '#') return std::nullopt;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return trimmed(line.substr(0, equals));
}

// Reads `key = value` lines into `settings`, the last line of a key winning.
// Blank lines and lines starting with '#' are for people. A line that is
// not understood counts for nothing, and a key whose last line is one keeps
// its default. Returns "" or what is wrong with the first such line (and
// how many more there are).
std::string parse(std::string_view text, Settings& settings) {
    const Settings defaults;
    std::string first;
    int garbled = 0;
    for (int number = 1; !text.empty(); ++number) {
        const std::string_view line = trimmed(takeLine(text));
        if (line.empty() || line.front() == '#') continue;

        const std::string where = "line " + std::to_string(number);
        const std::size_t equals = line.find('=');
        std::string wrong;
        if (line.find('\0') != std::string_view::npos) {
            wrong = where + " holds a NUL byte";
        } else if (equals == std::string_view::npos) {
            wrong = where + " is not `key = value`";
        } else {
            const std::string_view key = trimmed(line.substr(0, equals));
            const std::string_view value = trimmed(line.substr(equals + 1));
            bool Settings::*field = fieldOf(key);
            if (field == nullptr) {
                wrong = where + ": unknown setting '" + std::string(key) + "'";
            } else if (value == "true" || value == "false") {
                settings.*field = value == "true";
            } else {
                settings.*field = defaults.*field;
                wrong = where + ": the value of " + std::string(key) + " is neither true nor false";
            }
        }
        if (!wrong.empty() && garbled++ == 0) first = wrong;
    }
    if (garbled > 1) first += ", and " + std::to_string(garbled - 1) + " more";
    return first;
}

// `text` with `key` set to `value`: the value of the key's last line is
// replaced, and nothing else of that line or of any other changes. A key
// with no line gets one at the end, with the file's own line ending.
std::string withSetting(const std::string& text, SettingKey key, bool value) {
    const std::string_view name = nameOf(key);
    const char* const word = value ? "true" : "false";
    std::size_t found = std::string::npos;  // where the key's last line starts
    std::size_t length = 0;                 // and its length, without its '\n'
    std::string_view rest = text;
    while (!rest.empty()) {
        const std::size_t at = text.size() - rest.size();
        const std::string_view line = takeLine(rest);
        if (keyOf(line) == name) {
            found = at;
            length = line.size();
        }
    }
    if (found == std::string::npos) {
        const std::size_t newline = text.find('\n');
        const char* ending = newline != std::string::npos && newline > 0 && text[newline - 1] == '\r' ? "\r\n" : "\n";
        std::string out = text;
        if (!out.empty() && out.back() != '\n') out += ending;
        return out + std::string(name) + " = " + word + ending;
    }
    // The value lies between the blanks after '=' and those ending the line;
    // an empty one goes right after the first blanks.
    const std::string_view line(text.data() + found, length);
    const std::size_t equals = line.find('=');
    std::size_t start = line.find_first_not_of(" \t", equals + 1);
    if (start == std::string_view::npos) start = line.size();
    std::size_t end = line.find_last_not_of(" \t\r");
    end = end == std::string_view::npos || end < start ? start : end + 1;
    return text.substr(0, found + start) + word + text.substr(found + end);
}

// The settings file as a change finds it: the file to replace (a link's
// target, in its own folder) and what it holds ("" when there is none yet).
struct SettingsFile {
    std::string folder;
    std::string name;
    bool linked = false;
    std::string text;
};

// Reads the settings file `kFile` of `folder` into `file`. Returns "" or why
// it cannot be read as the settings. A link is followed to a regular file of
// the player's (as dotfile managers keep such files); nothing that is not a
// regular file is ever opened.
std::string readSettingsFile(const std::string& folder, SettingsFile& file) {
    file = SettingsFile{folder, kFile, false, {}};
    std::string path = folder + "/" + kFile;
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT ? "" : std::strerror(errno);
    file.linked = S_ISLNK(info.st_mode);
    if (file.linked) {
        char* target = ::realpath(path.c_str(), nullptr);
        if (target == nullptr) return std::string("it is a link that leads nowhere: ") + std::strerror(errno);
        path = target;
        std::free(target);
        if (::stat(path.c_str(), &info) != 0) return std::strerror(errno);
        const std::size_t slash = path.rfind('/');
        file.folder = slash == 0 ? "/" : path.substr(0, slash);
        file.name = path.substr(slash + 1);
    }
    const std::string it = file.linked ? "it is a link to " : "it is ";
    if (S_ISDIR(info.st_mode)) return it + "a folder, not a file";
    if (!S_ISREG(info.st_mode)) return it + (file.linked ? "something that is " : "") + "not a regular file";
    if (file.linked && info.st_uid != ::geteuid()) return "it is a link to a file that is not yours";
    const std::string tooLarge = "it is larger than a settings file can be";
    if (static_cast<std::size_t>(info.st_size) > kMaxFileSize) return tooLarge;

    // The path has no link left to follow. Non-blocking, so that a FIFO put
    // there meanwhile cannot hang the read; only the file looked at is read.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0) return std::strerror(errno);
    struct stat opened {};
    if (::fstat(fd, &opened) != 0 || opened.st_dev != info.st_dev || opened.st_ino != info.st_ino) {
        ::close(fd);
        return "it was replaced while it was read";
    }
    // read(2), whose failures (a failing disk) come back as errors to report,
    // never as exceptions.
    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            const int why = errno;
            ::close(fd);
            return std::strerror(why);
        }
        if (got == 0) break;
        text.append(buffer, static_cast<std::size_t>(got));
        if (text.size() > kMaxFileSize) {
            ::close(fd);
            return tooLarge;
        }
    }
    ::close(fd);
    file.text = std::move(text);
    return {};
}

// The lock beside the settings, held by a change from its read to its
// replace, so that another game's change between them is never lost. An OS
// lock: the system drops it with its process, so a killed holder never
// leaves it taken. One that cannot be had (a read-only folder, a link in its
// place, never followed) does not stop the change.
class SettingsLock {
public:
    explicit SettingsLock(const std::string& folder) {
        const std::string path = folder + "/" + kLockFile;
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK, 0600);
        if (descriptor < 0) return;
        struct stat info {};
        int locked = -1;
        if (::fstat(descriptor, &info) == 0 && S_ISREG(info.st_mode)) {
            do {
                locked = ::flock(descriptor, LOCK_EX);
            } while (locked != 0 && errno == EINTR);
        }
        if (locked != 0) {
            ::close(descriptor);
            descriptor = -1;
        }
    }
    ~SettingsLock() {
        // Closing the only descriptor of the open file releases its lock.
        if (descriptor >= 0) ::close(descriptor);
    }
    SettingsLock(const SettingsLock&) = delete;
    SettingsLock& operator=(const SettingsLock&) = delete;

private:
    int descriptor = -1;
};

}  // namespace

std::string configFolder() {
    // $XDG_CONFIG_HOME/Orvo/Vimbrot, else $HOME/.config/Orvo/Vimbrot.
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] == '/') {
        config = std::string(home) + "/.config";
    } else {
        return {};
    }
    return config + "/Orvo/Vimbrot";
}

LoadedSettings loadSettings() {
    LoadedSettings loaded;
    const std::string folder = configFolder();
    if (folder.empty()) return loaded;  // nowhere to keep any: the defaults, as on a first start
    const std::string path = folder + "/" + kFile;
    SettingsFile file;
    if (std::string why = readSettingsFile(folder, file); !why.empty()) {
        loaded.problem = "Cannot read the settings " + path + ": " + why + "; the defaults are used";
        return loaded;
    }
    if (std::string garbled = parse(file.text, loaded.settings); !garbled.empty()) {
        loaded.problem = "Some lines of the settings " + path + " are not understood (" + garbled +
                         "); they are kept as they are and the defaults stand in for them";
    }
    return loaded;
}

std::string changeSetting(SettingKey key, bool value) {
    const std::string change = std::string(nameOf(key)) + " = " + (value ? "true" : "false");
    const std::string folder = configFolder();
    if (folder.empty()) {
        return "Cannot keep " + change + " in the settings: neither XDG_CONFIG_HOME nor HOME is an absolute path";
    }
    const std::string path = folder + "/" + kFile;
    if (!UserStore::makePrivateFolders(folder)) {
        return "Cannot keep " + change + " in the settings " + path + ": " + UserStore::failureText(errno);
    }
    const SettingsLock lock(folder);
    SettingsFile file;
    // What cannot be read (a FIFO, a folder, a link to a device, a failing
    // disk) stays what it is: the defaults are not written over it.
    if (std::string why = readSettingsFile(folder, file); !why.empty()) {
        return "Cannot keep " + change + " in the settings " + path + ": " + why + "; the file is left as it is";
    }
    const std::string where = file.linked ? path + " (a link to " + file.folder + "/" + file.name + ")" : path;
    if (!UserStore::validName(file.name)) {
        return "Cannot keep " + change + " in the settings " + where +
               ": the game replaces no file whose name starts with a dot or holds a backslash";
    }
    const std::string text = withSetting(file.text, key, value);
    if (UserStore::replaceFile(file.folder, file.name, text.data(), text.size()) != UserStore::Status::Ok) {
        return "Cannot keep " + change + " in the settings " + where + ": " + UserStore::failureText(errno);
    }
    return {};
}
