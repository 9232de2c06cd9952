#include "disc/framework/bit_buffer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(BitBuffer, ReadPastEndGivesZerosAndAdvances)
{
    CBitBuffer bb;
    bb.m_bytes  = {0x12, 0x34, 0xAB};
    bb.m_cursor = 16;
    EXPECT_EQ(bb.ReadBits(32), 0xAB000000u);
    EXPECT_EQ(bb.m_cursor, 48u);
    EXPECT_EQ(bb.ReadBits(0), 0u);
    EXPECT_EQ(bb.m_cursor, 48u);
    EXPECT_EQ(bb.m_bytes.size(), 3u) << "reading never grows the buffer";

    // Unaligned reads straddle bytes, most significant bit first.
    bb.m_cursor = 4;
    EXPECT_EQ(bb.ReadBits(12), 0x234u);
    uint8_t out[4];
    bb.m_cursor = 12;
    bb.ReadBytes(out, 4);
    EXPECT_EQ(out[0], 0x4A);
    EXPECT_EQ(out[1], 0xB0);
    EXPECT_EQ(out[2], 0x00);
    EXPECT_EQ(out[3], 0x00);
}

TEST(BitBuffer, WritesGrowAndOverwrite)
{
    CBitBuffer bb;
    bb.WriteBits(3, 5);
    EXPECT_EQ(bb.m_bytes, std::vector<uint8_t>({0xA0}));
    EXPECT_EQ(bb.m_cursor, 3u);
    bb.WriteBits(16, 0x1234);
    EXPECT_EQ(bb.m_bytes, std::vector<uint8_t>({0xA2, 0x46, 0x80}));

    // Patching inside the data overwrites without growing.
    bb.m_cursor = 0;
    bb.WriteBits(32, 0);
    bb.m_cursor = 0;
    bb.WriteBits(16, 0xBEEF);
    EXPECT_EQ(bb.m_bytes, std::vector<uint8_t>({0xBE, 0xEF, 0x00, 0x00}));

    // Moving past the end and writing fills the gap with zeros.
    bb.m_cursor = 8 * 6 + 1;
    bb.WriteBit(1);
    EXPECT_EQ(bb.m_bytes, std::vector<uint8_t>({0xBE, 0xEF, 0, 0, 0, 0, 0x40}));
    bb.m_cursor = 8 * 7 + 4;
    bb.WriteBytes("\xFF", 1);
    EXPECT_EQ(bb.m_bytes.size(), 9u);
    EXPECT_EQ(bb.m_bytes[7], 0x0F);
    EXPECT_EQ(bb.m_bytes[8], 0xF0);
    bb.WriteZeroBits(70);
    EXPECT_EQ(bb.m_cursor, 8u * 7 + 4 + 8 + 70);
}

TEST(BitBuffer, FilesLoadAndSave)
{
    TempDir dir;
    CBitBuffer bb;
    WriteFile(dir.File("empty"), std::string());
    EXPECT_EQ(bb.LoadFile(dir.File("empty").c_str()), 0);
    EXPECT_TRUE(bb.m_bytes.empty());

    std::string big(3 * 4096 + 17, '\0');
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = char(i * 7);
    WriteFile(dir.File("big"), big);
    ASSERT_EQ(bb.LoadFile(dir.File("big").c_str()), 0);
    EXPECT_EQ(ToString(bb.m_bytes), big);
    ASSERT_EQ(bb.SaveFile(dir.File("copy").c_str()), 0);
    EXPECT_EQ(ReadFile(dir.File("copy")), big);

    CaptureOutput cap;
    EXPECT_EQ(bb.LoadFile(dir.Path().c_str()), 1) << "a directory is not a file";
    EXPECT_EQ(bb.LoadFile(dir.File("missing").c_str()), 1);
    EXPECT_EQ(bb.SaveFile(dir.File("no/such/dir").c_str()), 1);
    EXPECT_EQ(bb.SaveFile("/dev/full"), 1) << "a failed write must not pass as success";
    EXPECT_EQ(cap.Err(), "Failed to open " + dir.Path() + "\nFailed to open " +
                             dir.File("missing") + "\nFailed to write " + dir.File("no/such/dir") +
                             "\nCannot create \"" + dir.File("no/such/dir") +
                             "\": No such file or directory\nFailed to write /dev/full\n"
                             "Cannot write \"/dev/full\": No space left on device\n");
}

TEST(BitBuffer, ElementBudgetRunsOutOnce)
{
    CBitBuffer bb;
    bb.m_bytes.assign(10, 0);
    bb.ResetBudget();
    EXPECT_EQ(bb.m_elementBudget, 1000010u);
    bb.m_elementBudget = 2;
    CaptureOutput cap;
    EXPECT_TRUE(bb.TakeElement());
    EXPECT_TRUE(bb.TakeElement());
    EXPECT_FALSE(bb.TakeElement());
    EXPECT_FALSE(bb.TakeElement());
    EXPECT_EQ(cap.Err(), "Too many elements: the file's structures repeat beyond its size!\n");
}
