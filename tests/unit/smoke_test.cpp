#include <gtest/gtest.h>

#include "orvo3d/hash.h"

TEST(Hash, UniformKeyOfViewIsItsCrc32) { EXPECT_EQ(uniformKey("view"), 0xFEFDAB8Eu); }
