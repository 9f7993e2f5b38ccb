// The store is the registry itself here: keys below HKEY_CURRENT_USER\SOFTWARE,
// values of type REG_SZ. The registry compares value names without regard to
// case and replaces a value atomically, so neither needs doing by hand.
#include "platform/userstore.h"

#include <windows.h>

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/storenames.h"

namespace {

using UserStore::Status;
using UserStore::validKey;
using UserStore::validName;

constexpr const char* kHive = "HKEY_CURRENT_USER";
constexpr const char* kSoftware = "SOFTWARE";

// "Orvo/Vimbrot" -> "SOFTWARE\Orvo\Vimbrot", or "" when malformed.
std::string registryPath(std::string_view key) {
    if (!validKey(key)) return {};
    std::string path = kSoftware;
    if (!key.empty()) {
        path += '\\';
        path += key;
    }
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::wstring wide(const std::string& text) {
    std::wstring out(text.size(), L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(),
                                static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return out;
}

// The registry's answer as a status, leaving errno saying why it failed.
Status statusOf(LSTATUS result) {
    switch (result) {
        case ERROR_SUCCESS: return Status::Ok;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: errno = ENOENT; return Status::NotFound;
        case ERROR_ACCESS_DENIED: errno = EACCES; return Status::Failed;
        case ERROR_MORE_DATA: errno = EFBIG; return Status::Failed;
        case ERROR_OUTOFMEMORY:
        case ERROR_NOT_ENOUGH_MEMORY: errno = ENOMEM; return Status::Failed;
        default: errno = EIO; return Status::Failed;
    }
}

Status failWith(int error) {
    errno = error;
    return Status::Failed;
}

LSTATUS openRegistryKey(std::string_view key, REGSAM access, HKEY& handle) {
    std::string path = registryPath(key);
    if (path.empty()) return ERROR_INVALID_NAME;
    return RegOpenKeyExW(HKEY_CURRENT_USER, wide(path).c_str(), 0, access, &handle);
}

}  // namespace

namespace UserStore {

std::string rootFolder() { return std::string(kHive) + "\\" + kSoftware; }

Status openKey(std::string_view key) {
    if (!validKey(key)) return failWith(EINVAL);
    HKEY handle = nullptr;
    Status status = statusOf(openRegistryKey(key, KEY_READ, handle));
    if (status == Status::Ok) RegCloseKey(handle);
    return status;
}

Status createKey(std::string_view parent, std::string_view name) {
    if (!validKey(parent) || !validName(name)) return failWith(EINVAL);
    HKEY above = nullptr;
    Status status = statusOf(openRegistryKey(parent, KEY_CREATE_SUB_KEY, above));
    if (status != Status::Ok) return status;
    // No security attributes: the new key inherits the user's default
    // security, so only this user (and the system) may change the score.
    HKEY created = nullptr;
    status = statusOf(RegCreateKeyExW(above, wide(std::string(name)).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_WRITE, nullptr, &created, nullptr));
    if (status == Status::Ok) RegCloseKey(created);
    RegCloseKey(above);
    return status;
}

Status queryValue(std::string_view key, std::string_view name, void* buffer, std::size_t& size) {
    if (!validKey(key) || !validName(name)) return failWith(EINVAL);
    HKEY handle = nullptr;
    Status status = statusOf(openRegistryKey(key, KEY_READ, handle));
    if (status != Status::Ok) return status;
    DWORD got = static_cast<DWORD>(size);
    const std::string valueName(name);
    status = statusOf(RegQueryValueExA(handle, valueName.c_str(), nullptr, nullptr, static_cast<BYTE*>(buffer), &got));
    RegCloseKey(handle);
    if (status == Status::Ok) size = got;
    return status;
}

Status setValue(std::string_view key, std::string_view name, const void* data, std::size_t size) {
    if (!validKey(key) || !validName(name)) return failWith(EINVAL);
    HKEY handle = nullptr;
    Status status = statusOf(openRegistryKey(key, KEY_WRITE, handle));
    if (status != Status::Ok) return status;
    const std::string valueName(name);
    status = statusOf(RegSetValueExA(handle, valueName.c_str(), 0, REG_SZ, static_cast<const BYTE*>(data),
                                     static_cast<DWORD>(size)));
    RegCloseKey(handle);
    return status;
}

ValueLock::ValueLock(std::string_view key, std::string_view name) {
    const std::string path = registryPath(key);
    if (path.empty() || !validName(name)) {
        errno = EINVAL;
        return;
    }
    // A mutex's name holds no backslash but its namespace's; value names
    // are case-insensitive.
    std::string tail = path + "/" + std::string(name);
    for (char& c : tail) {
        if (c == '\\') c = '/';
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    }
    const std::string mutexName = "Local\\Vimbrot-lock-" + tail;
    HANDLE mutex = CreateMutexA(nullptr, FALSE, mutexName.c_str());
    if (mutex == nullptr) {
        errno = EACCES;
        return;
    }
    // An abandoned mutex (its holder was killed) is taken all the same.
    const DWORD waited = WaitForSingleObject(mutex, INFINITE);
    if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
        CloseHandle(mutex);
        errno = EIO;
        return;
    }
    handle = reinterpret_cast<std::intptr_t>(mutex);
}

ValueLock::~ValueLock() {
    if (handle == -1) return;
    HANDLE mutex = reinterpret_cast<HANDLE>(handle);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
}

std::string keyPath(std::string_view key) {
    std::string path = registryPath(key);
    return path.empty() ? path : std::string(kHive) + "\\" + path;
}

std::string valuePath(std::string_view key, std::string_view name) {
    std::string path = keyPath(key);
    if (path.empty() || !validName(name)) return {};
    return path + " value \"" + std::string(name) + "\"";
}

std::string failureText(int error) {
    switch (error) {
        case EFBIG: return "it is larger than any value the game writes";
        case EACCES: return "access to the registry key is denied";
        case EIO: return "the registry refused the request";
        default: return std::strerror(error);
    }
}

}  // namespace UserStore
