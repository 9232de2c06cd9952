#include "disc/framework/code_names.h"
#include "tests/support/test_support.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace testing_support;

TEST(CodeNames, EveryNameParsesBackToItsCode)
{
    struct {
        const CodeNameTable* table;
        uint32_t (*parse)(const char*);
    } tables[] = {{kEPStreamTypeNames, ParseEPStreamType},
                  {kSamplingFrequencyNames, ParseSamplingFrequency},
                  {kStreamCodingTypeNames, ParseStreamCodingType},
                  {kAudioPresentationTypeNames, ParseAudioPresentationType},
                  {kAspectRatioNames, ParseAspectRatio},
                  {kFrameRateNames, ParseFrameRate},
                  {kVideoFormatNames, ParseVideoFormat}};
    int rows   = 0;
    for (auto& t : tables)
        for (const CodeNameTable* row = t.table; row->name; ++row, ++rows)
            EXPECT_EQ(t.parse(row->name), row->code) << row->name;
    EXPECT_EQ(rows, 16 + 8 + 22 + 8 + 4 + 8 + 10);
}

TEST(CodeNames, UnknownCodesShowAsQuestionMark)
{
    EXPECT_STREQ(CodeName(kStreamCodingTypeNames, 0x00), "?");
    EXPECT_STREQ(CodeName(kStreamCodingTypeNames, 0x25), "?");
    EXPECT_STREQ(CodeName(kSamplingFrequencyNames, 6), "?");
    EXPECT_STREQ(CodeName(kEPStreamTypeNames, 16), "?");
    EXPECT_STREQ(CodeName(kStreamCodingTypeNames, 0x24), "H.265");
}

TEST(CodeNames, CodesWithoutANameAreWrittenAsNumbersThatParseBack)
{
    char number[16];
    EXPECT_STREQ(CodeJsonName(kSamplingFrequencyNames, 8, number), "0x8");
    EXPECT_STREQ(CodeJsonName(kVideoFormatNames, 15, number), "0xF");
    EXPECT_STREQ(CodeJsonName(kFrameRateNames, 2, number), "24");
    EXPECT_STREQ(CodeJsonName(kStreamCodingTypeNames, 0x25, number), "?") << "kept for types";
    // The number form is tested first: names such as "24" or "48 kHz" hold digits too.
    EXPECT_EQ(ParseFrameRate("0x18"), 0x18u);
    EXPECT_EQ(ParseSamplingFrequency(" 0x c "), 12u);
    EXPECT_EQ(ParseEPStreamType("0xF"), 15u);
    EXPECT_EQ(ParseAspectRatio("0x"), 0u) << "no digits: not a number";
    EXPECT_EQ(ParseSamplingFrequency("0x48"), 0x48u);
    EXPECT_EQ(ParseSamplingFrequency("0x48 kHz"), 1u) << "not all hexadecimal: a name";
    EXPECT_EQ(ParseStreamCodingType("0x1B"), 0u) << "stream coding types take names only";
}

TEST(CodeNames, ShortAndLooseSpellings)
{
    EXPECT_EQ(ParseStreamCodingType("avc"), 0x1Bu);
    EXPECT_EQ(ParseStreamCodingType("hevc"), 0x24u);
    EXPECT_EQ(ParseStreamCodingType("DTS HD MA"), 0x86u);
    EXPECT_EQ(ParseStreamCodingType("DTS-HD Master Audio"), 0x86u);
    EXPECT_EQ(ParseStreamCodingType("Dolby TrueHD"), 0x83u);
    EXPECT_EQ(ParseStreamCodingType("ac3"), 0x81u);
    EXPECT_EQ(ParseStreamCodingType("mpeg-2"), 0u) << "neither video nor audio";
    EXPECT_EQ(ParseStreamCodingType("text"), 0x92u);
    EXPECT_EQ(ParseStreamCodingType("nonsense"), 0u);
    EXPECT_EQ(ParseVideoFormat("1080p"), 6u);
    EXPECT_EQ(ParseVideoFormat(" 2160 i "), 9u);
    EXPECT_EQ(ParseAudioPresentationType("stereo"), 3u);
    EXPECT_EQ(ParseAudioPresentationType("Reserved-4"), 4u);
    EXPECT_EQ(ParseAudioPresentationType("Reserved"), 0u);
    EXPECT_EQ(ParseFrameRate("23.976"), 1u);
    EXPECT_EQ(ParseFrameRate("59.94"), 7u);
    EXPECT_EQ(ParseSamplingFrequency("48 kHz"), 1u);
    EXPECT_EQ(ParseSamplingFrequency("48/96 kHz"), 14u);
    EXPECT_EQ(ParseSamplingFrequency("Reserved-3"), 3u);
    EXPECT_EQ(ParseSamplingFrequency("reserved"), 0u);
    EXPECT_EQ(ParseAspectRatio("16 : 9"), 3u);
    EXPECT_EQ(ParseEPStreamType("Presentation Graphics"), 6u);
    EXPECT_EQ(ParseEPStreamType("11"), 11u);
    EXPECT_EQ(ParseEPStreamType("20"), 4u);
    EXPECT_EQ(int32_t(ParseEPStreamType("-3")), -3);
    EXPECT_EQ(ParseEPStreamType("none"), 0u);
}

TEST(CodeNames, NormalizeAndPrintIndented)
{
    char out[256];
    NormalizeName(out, " a b\tc\n ");
    EXPECT_STREQ(out, "ABC");
    std::string longName(400, 'x');
    NormalizeName(out, longName.c_str());
    EXPECT_EQ(strlen(out), 255u);

    CaptureOutput cap;
    PrintIndented(2, "x=%d", 5);
    PrintIndented(0, "top");
    PrintIndented(-1, "neg");
    EXPECT_EQ(cap.Out(), "        x=5\ntop\nneg\n");
}
