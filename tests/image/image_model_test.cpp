#include <gtest/gtest.h>

#include "image/bitmap32.h"

using namespace kalder::image;

TEST(Bitmap32, OneByOneHasStrideFour) {
    Bitmap32 b;
    ASSERT_TRUE(b.Create(1, 1));
    EXPECT_EQ(b.stride(), 4u);
}
