// placeholder
#include <gtest/gtest.h>
#include "imaging/Formats.h"
TEST(FormatTable, Alias) { EXPECT_EQ(velto::FormatInfo(1)->FormatId, 88u); }
