#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/hugepages.h"

namespace {

TEST(HugePages, TheTunableIsAddedOnceAndAUsersChoiceIsKept) {
    struct Case {
        const char* current;
        std::optional<std::string> wanted;
    };
    const Case cases[] = {
        {nullptr, "glibc.malloc.hugetlb=1"},
        {"", "glibc.malloc.hugetlb=1"},
        {"glibc.malloc.arena_max=2", "glibc.malloc.arena_max=2:glibc.malloc.hugetlb=1"},
        {"glibc.malloc.hugetlb=1", std::nullopt},  // already restarted: no loop
        {"glibc.malloc.hugetlb=0", std::nullopt},  // the user said no
        {"glibc.malloc.arena_max=2:glibc.malloc.hugetlb=2", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.current ? c.current : "(unset)");
        EXPECT_EQ(tunablesWithHugePages(c.current), c.wanted);
    }
}

}  // namespace
