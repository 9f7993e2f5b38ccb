#pragma once
// Helpers for tests that run inside the per-process temporary directory.

#include <filesystem>
#include <string>

// Makes a fresh temporary directory named after prefix, points HOME,
// XDG_DATA_HOME and XDG_CACHE_HOME inside it and makes it the working
// directory, so that nothing the process writes touches the user's files.
bool enterSandbox(const char* prefix);
// Leaves and removes it.
void leaveSandbox();

// The process's temporary working directory (also holds HOME).
const std::filesystem::path& sandboxDirectory();

// Sets or removes an environment variable of this process (setenv and
// unsetenv on Linux, _putenv_s on Windows).
void setVariable(const char* name, const std::string& value);
void unsetVariable(const char* name);

// Whole contents of a file, or "" when it does not exist.
std::string readFile(const std::filesystem::path& path);
void writeFile(const std::filesystem::path& path, const std::string& bytes);

// Empties the per-user store of the maker "Orvo" and everything under it:
// $XDG_DATA_HOME/Orvo on Linux, HKEY_CURRENT_USER\SOFTWARE\Orvo on Windows.
void clearUserStore();

// The log of this process ("message.log" in the working directory).
std::string readLog();

// Number of non-overlapping occurrences of needle in haystack.
int countOf(const std::string& haystack, const std::string& needle);
