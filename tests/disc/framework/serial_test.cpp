#include "disc/framework/root.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(Serial, LengthFieldsTakeTheirLargestValueAndNoMore)
{
    CaptureOutput cap;
    for (uint32_t content : {65535u, 65536u}) {
        CBitBuffer bb;
        bb.WriteBits(16, 0);
        bb.WriteZeroBits(8 * content);
        EXPECT_EQ(EndLength(bb, 0, 16, 0, "PlayListMark"), content == 65536u) << content;
        EXPECT_EQ(bb.m_bytes[0] << 8 | bb.m_bytes[1], content == 65536u ? 0 : 65535);
    }
    EXPECT_EQ(cap.Err(), "PlayListMark is too long: 65536 bytes do not fit its 16-bit length "
                         "field!\n");
}

TEST(Serial, VersionTextFromJson)
{
    CaptureOutput cap;
    char v[4];
    JDoc doc;
    doc.Parse(R"({"long":{"version_number":"0100x"},"number":{"version_number":200}})");
    EXPECT_EQ(ser::ReadJsonVersion(doc["long"], v), 0) << "the first four characters count";
    EXPECT_EQ(std::string(v, 4), "0100");
    EXPECT_EQ(ser::ReadJsonVersion(doc["number"], v), 1);
    EXPECT_EQ(cap.Err(), "failed to read version_number\nfailed to read version_number!\n");
}
