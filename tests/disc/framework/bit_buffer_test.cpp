#include "disc/framework/bit_buffer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(BitBuffer, ReadsPastTheEndGiveZerosAndNeverGrow)
{
    CBitBuffer bb;
    bb.m_bytes  = {0x12, 0x34, 0xAB};
    bb.m_cursor = 4;
    EXPECT_EQ(bb.ReadBits(12), 0x234u) << "most significant bit first, across bytes";
    EXPECT_EQ(bb.ReadBits(32), 0xAB000000u);
    EXPECT_EQ(bb.m_cursor, 48u);
    uint8_t out[4];
    bb.m_cursor = 12;
    bb.ReadBytes(out, 4);
    EXPECT_EQ(std::vector<uint8_t>(out, out + 4), Hex("4AB00000"));
    EXPECT_EQ(bb.m_bytes.size(), 3u);
}

TEST(BitBuffer, WritesKeepTheNeighbouringBits)
{
    CBitBuffer bb;
    bb.WriteBits(3, 5);
    bb.WriteBits(16, 0x1234);
    EXPECT_EQ(bb.m_bytes, Hex("A2 46 80"));
    bb.WriteZeroBits(100);
    bb.m_cursor = 4;
    bb.WriteBits(16, 0xFFFF); // in place, with 8 bytes and more after it
    bb.m_cursor = 8 * 15 + 6;
    bb.WriteBytes("\xFF", 1); // unaligned past the end
    EXPECT_EQ(bb.m_bytes, Hex("AF FF F0 00 00 00 00 00 00 00 00 00 00 00 00 03 FC"));
}

TEST(BitBuffer, ElementBudgetRunsOutWithOneMessage)
{
    CBitBuffer bb;
    bb.m_elementBudget = 1;
    CaptureOutput cap;
    EXPECT_TRUE(bb.TakeElement());
    EXPECT_FALSE(bb.TakeElement());
    EXPECT_FALSE(bb.TakeElement());
    EXPECT_EQ(cap.Err(), "Too many elements: the file's structures repeat beyond its size!\n");
}
