#include "disc/bit_buffer.h"

#include <gtest/gtest.h>

#include "tests/support/test_support.h"

using namespace testing_support;

TEST(BitBuffer, ReadPastEndGivesZerosAndAdvances)
{
    CBitBuffer bb;
    bb.m_bytes = {0x12, 0x34, 0xAB};
    bb.m_cursor = 16;
    EXPECT_EQ(bb.ReadBits(32), 0xAB000000u);
    EXPECT_EQ(bb.m_cursor, 48u);
    EXPECT_EQ(bb.ReadBits(0), 0u);
    EXPECT_EQ(bb.m_cursor, 48u);
}
