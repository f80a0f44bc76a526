#include <gtest/gtest.h>

#include <vector>

#include "platform/ByteReader.h"
#include "platform/ByteWriter.h"

using namespace velto;

TEST(ByteReader, ReadsBothByteOrdersAndFailsPastTheEndWithoutMoving) {
    const std::vector<std::uint8_t> data{0x11, 0x22, 0x33, 0x44, 0xFE, 0xFF};
    ByteReader r(data);
    std::uint32_t le = 0, be = 0;
    ASSERT_TRUE(r.u32le(le));
    EXPECT_EQ(le, 0x44332211u);
    ASSERT_TRUE(r.seek(0));
    ASSERT_TRUE(r.u32be(be));
    EXPECT_EQ(be, 0x11223344u);
    std::int16_t s = 0;
    ASSERT_TRUE(r.i16le(s));
    EXPECT_EQ(s, -2);
    // At the end: every read fails and the position stays.
    std::uint8_t b = 0;
    EXPECT_FALSE(r.u8(b));
    EXPECT_EQ(r.pos(), 6u);
    ASSERT_TRUE(r.seek(3));
    std::uint32_t v = 0;
    EXPECT_FALSE(r.u32le(v));
    EXPECT_EQ(r.pos(), 3u);
    EXPECT_FALSE(r.skip(4));
    EXPECT_EQ(r.pos(), 3u);
    EXPECT_FALSE(r.seek(7));
    EXPECT_TRUE(r.seek(6));
}

TEST(ByteReader, SubRangesMustLieInsideTheData) {
    const std::vector<std::uint8_t> data(10, 7);
    ByteReader r(data);
    EXPECT_TRUE(r.sub(0, 10).has_value());
    EXPECT_TRUE(r.sub(10, 0).has_value());
    EXPECT_FALSE(r.sub(4, 7).has_value());
    // A huge length must not wrap around when added to the offset.
    EXPECT_FALSE(r.sub(1, ~0ull).has_value());
    EXPECT_FALSE(r.sub(~0ull, 1).has_value());
    auto s = r.sub(2, 3);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->size(), 3u);
    EXPECT_EQ(s->pos(), 0u);
}

TEST(ByteWriter, WritesFieldsAndPatchesSizesLater) {
    ByteWriter w;
    w.text("RIFF");
    w.u32le(0);
    w.u16be(0x0102);
    w.i16le(-1);
    w.patchU32le(4, 0xA0B0C0D0);
    const std::vector<std::uint8_t> expected{'R', 'I', 'F', 'F', 0xD0, 0xC0, 0xB0, 0xA0, 1, 2, 0xFF, 0xFF};
    EXPECT_EQ(w.buffer(), expected);
}
