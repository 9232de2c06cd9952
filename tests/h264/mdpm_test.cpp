#include "h264/mdpm.h"

#include <gtest/gtest.h>
#include <string>

TEST(Mdpm, TagNamesCoverRangesAndLeaveGapsEmpty)
{
    EXPECT_STREQ(MdpmTagName(0x13), "TimeCode");
    EXPECT_STREQ(MdpmTagName(0x04), "ControlPR_StartPoint");
    EXPECT_STREQ(MdpmTagName(0x05), "ControlPR_StartPoint");
    EXPECT_STREQ(MdpmTagName(0xAB), "ExifOption");
    EXPECT_STREQ(MdpmTagName(0xAF), "ExifOption");
    EXPECT_STREQ(MdpmTagName(0xC0), "GPSDOP = Dilution of Precision");
    EXPECT_STREQ(MdpmTagName(0xEF), "MakerOption");
    EXPECT_STREQ(MdpmTagName(0x42), "ProgramRecDTime");
    for (uint32_t gap :
         {0x21u, 0x41u, 0x43u, 0x57u, 0x72u, 0x78u, 0x9Fu, 0xD0u, 0xF0u, 0xFFu, 0x100u, 0x113u})
        EXPECT_STREQ(MdpmTagName(gap), "") << gap;
}

TEST(Mdpm, TimeCodeReadsTheBytesLeastSignificantFirst)
{
    EXPECT_EQ(FormatMdpmTimeCode(0x12345678), "78:56:34:12");
    EXPECT_EQ(FormatMdpmTimeCode(0), "00:00:00:00");
    // Nibbles are not range-checked: 0A is 10, FF is 15 * 10 + 15.
    EXPECT_EQ(FormatMdpmTimeCode(0xFF0A0000), "00:00:10:165");
}
