#pragma once
// Large allocations on transparent huge pages. With software GL the driver
// zero-fills about 200 MB at start-up (the window's multisampled buffers, the
// shadow map, the textures); on 4 KiB pages every page of that is a fault,
// and the faults are a third of the start-up. glibc puts its large blocks on
// huge pages when its tunable glibc.malloc.hugetlb is 1, but reads tunables
// only when a process starts.

#include <optional>
#include <string>

// The GLIBC_TUNABLES value that adds glibc.malloc.hugetlb=1 to `current`
// (the variable's value, or null when unset); nothing when `current`
// already says how to use huge pages, which is then left to the user.
std::optional<std::string> tunablesWithHugePages(const char* current);

// Run first thing in main, before any thread exists: unless the tunable is
// set, sets it and executes this program again with the same arguments
// (the process keeps its id). Returns only when that is not needed or not
// possible, and the program goes on as it is.
void restartWithHugePages(char** argv);
