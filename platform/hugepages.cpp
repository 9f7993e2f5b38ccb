#include "platform/hugepages.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

std::optional<std::string> tunablesWithHugePages(const char* current) {
    constexpr const char* kHugePages = "glibc.malloc.hugetlb=1";
    if (current == nullptr || current[0] == '\0') return std::string(kHugePages);
    if (std::strstr(current, "glibc.malloc.hugetlb") != nullptr) return std::nullopt;
    return std::string(current) + ":" + kHugePages;
}

void restartWithHugePages(char** argv) {
    std::optional<std::string> tunables = tunablesWithHugePages(std::getenv("GLIBC_TUNABLES"));
    if (!tunables || argv == nullptr || argv[0] == nullptr) return;
    if (setenv("GLIBC_TUNABLES", tunables->c_str(), 1) != 0) return;
    execv("/proc/self/exe", argv);
    // Not executed again (no /proc, say): the game runs on small pages.
}
