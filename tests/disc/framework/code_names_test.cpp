#include "disc/framework/code_names.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

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
    for (auto& t : tables)
        for (const CodeNameTable* row = t.table; row->name; ++row)
            EXPECT_EQ(t.parse(row->name), row->code) << row->name;
}

TEST(CodeNames, CodesWithoutANameAreWrittenAsNumbersThatParseBack)
{
    char number[16];
    EXPECT_STREQ(CodeJsonName(kSamplingFrequencyNames, 8, number), "0x8");
    EXPECT_STREQ(CodeJsonName(kVideoFormatNames, 15, number), "0xF");
    EXPECT_STREQ(CodeJsonName(kFrameRateNames, 2, number), "24");
    EXPECT_STREQ(CodeJsonName(kStreamCodingTypeNames, 0x25, number), "?") << "kept for types";
    EXPECT_STREQ(CodeName(kEPStreamTypeNames, 16), "?");
    // The number form is tested first: names such as "24" or "48 kHz" hold digits too.
    EXPECT_EQ(ParseFrameRate("0x18"), 0x18u);
    EXPECT_EQ(ParseSamplingFrequency(" 0x c "), 12u);
    EXPECT_EQ(ParseAspectRatio("0x"), 0u) << "no digits: not a number";
    EXPECT_EQ(ParseSamplingFrequency("0x48 kHz"), 1u) << "not all hexadecimal: a name";
    EXPECT_EQ(ParseStreamCodingType("0x1B"), 0u) << "stream coding types take names only";
}

TEST(CodeNames, ShortAndLooseSpellings)
{
    EXPECT_EQ(ParseStreamCodingType("avc"), 0x1Bu);
    EXPECT_EQ(ParseStreamCodingType("DTS-HD Master Audio"), 0x86u);
    EXPECT_EQ(ParseStreamCodingType("mpeg-2"), 0u) << "neither video nor audio";
    EXPECT_EQ(ParseStreamCodingType("nonsense"), 0u);
    EXPECT_EQ(ParseVideoFormat(" 2160 i "), 9u);
    EXPECT_EQ(ParseAudioPresentationType("Reserved-4"), 4u);
    EXPECT_EQ(ParseSamplingFrequency("reserved"), 0u);
    EXPECT_EQ(ParseAspectRatio("16 : 9"), 3u);
    EXPECT_EQ(ParseEPStreamType("20"), 4u);
    EXPECT_EQ(int32_t(ParseEPStreamType("-3")), -3);
}

TEST(CodeNames, NormalizedNamesStayInsideTheirBuffer)
{
    char out[256];
    NormalizeName(out, " a b\tc\n ");
    EXPECT_STREQ(out, "ABC");
    NormalizeName(out, std::string(400, 'x').c_str());
    EXPECT_EQ(strlen(out), 255u);
}
