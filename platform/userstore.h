#pragma once
// The per-user store of named values that stands in for the registry's
// current-user hive. The hive's software key is the folder
// $XDG_DATA_HOME (or $HOME/.local/share when that is unset or not absolute);
// keys below it are folders ("Orvo/Vimbrot"), created private (0700); a value
// is one file in its key's folder, named by the value name folded to lower
// case (value names are case-insensitive, as the registry's are), private
// (0600), holding exactly the value's bytes. Values are replaced atomically:
// a crash or a full disk leaves the old value or the new one, never a mix.
// A call that returns Failed leaves errno saying why (see failureText).

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace UserStore {

enum class Status {
    Ok,
    NotFound,  // the key or value does not exist
    Failed,    // it exists but cannot be used (unreadable, too large, not a folder or file, ...)
};

// The folder standing in for the hive's software key; empty when neither
// XDG_DATA_HOME nor HOME gives an absolute path.
std::string rootFolder();

// Whether the key exists. `key` is relative to the root, levels joined by '/'.
Status openKey(std::string_view key);

// Creates the key `name` below the existing key `parent` ("" is the root,
// whose missing folders are created too). An existing key is Ok.
Status createKey(std::string_view parent, std::string_view name);

// Reads a value into `buffer` of `size` bytes and sets `size` to the bytes
// read. A value larger than the buffer fails and `size` is left alone.
Status queryValue(std::string_view key, std::string_view name, void* buffer, std::size_t& size);

// Replaces a value (or creates it) under an existing key. Temporary files
// left by saves that were killed before they finished are removed first.
Status setValue(std::string_view key, std::string_view name, const void* data, std::size_t size);

// The same read and atomic replacement for a file `file` (a plain name) in
// any absolute `folder`, for the game's other per-user files: private (0600),
// never through a link, a FIFO or a folder in its place.
Status readFile(const std::string& folder, std::string_view file, void* buffer, std::size_t& size);
Status replaceFile(const std::string& folder, std::string_view file, const void* data, std::size_t size);

// Creates the missing folders of an absolute path, private (0700); false
// with errno when that fails or something else than a folder is there.
bool makePrivateFolders(const std::string& path);

// An exclusive lock of one value for its lifetime, so that a read and the
// replace that depends on it never interleave with another process's. The
// system drops it with its process, so a killed holder never leaves it
// taken; it waits while another process holds it. Here it is an OS lock on
// the file "." + name + ".lock" beside the value, which stays there
// (removing it would let two holders lock two different files); on Windows
// a named mutex of the user's session. held() is false when it cannot be
// taken (no key, a read-only folder, a link in its place); errno then says
// why. Released by the thread that took it.
class ValueLock {
public:
    ValueLock(std::string_view key, std::string_view name);
    ~ValueLock();
    ValueLock(const ValueLock&) = delete;
    ValueLock& operator=(const ValueLock&) = delete;
    bool held() const { return handle != -1; }

private:
    std::intptr_t handle = -1;  // a file descriptor, or a mutex's HANDLE
};

// The file that holds a value (for messages); "" when there is none.
std::string valuePath(std::string_view key, std::string_view name);
std::string keyPath(std::string_view key);

// A failure's errno in words: besides the system's texts, a value that is a
// link (never followed), a folder or not a regular file is named as such.
std::string failureText(int error);

}  // namespace UserStore
