#include "disc/framework/root.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

// Writes a block of n content bytes after a length field and ends it.
std::vector<uint8_t> Block(uint32_t width, size_t content, uint32_t modulus, int* rc = nullptr)
{
    CBitBuffer bb;
    bb.WriteBits(8, 0xEE); // something before the block
    const uint64_t at = bb.m_cursor;
    bb.WriteBits(width, 0);
    for (size_t i = 0; i < content; ++i)
        bb.WriteBits(8, 0x11);
    int r = EndLength(bb, at, width, modulus, nullptr);
    if (rc)
        *rc = r;
    return bb.m_bytes;
}

} // namespace

TEST(Serial, EndSectionPadsAndBackPatches)
{
    EXPECT_EQ(Block(32, 3, 0), Hex("EE 00000003 111111"));
    EXPECT_EQ(Block(32, 3, 2), Hex("EE 00000004 111111 00")) << "odd content gets one byte";
    EXPECT_EQ(Block(32, 5, 4), Hex("EE 00000008 1111111111 000000")) << "4 + 8 = 12";
    EXPECT_EQ(Block(16, 2, 4), Hex("EE 0002 1111"));
    EXPECT_EQ(Block(16, 3, 4), Hex("EE 0006 111111 000000"));
}

TEST(Serial, EndSectionRefusesLengthsThatDoNotFit)
{
    int rc = 0;
    CaptureOutput cap;
    std::vector<uint8_t> out = Block(16, 65535, 0, &rc);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(out[1], 0xFF);
    Block(16, 65536, 0, &rc);
    EXPECT_EQ(rc, 1);
    CBitBuffer bb;
    bb.WriteBits(16, 0);
    bb.WriteZeroBits(8 * 70000);
    EXPECT_EQ(EndLength(bb, 0, 16, 0, "PlayListMark"), 1);
    EXPECT_EQ(cap.Err(), "block is too long: 65536 bytes do not fit its 16-bit length field!\n"
                         "PlayListMark is too long: 70000 bytes do not fit its 16-bit length "
                         "field!\n");
}

TEST(Serial, PadToModulusCountsFromStart)
{
    CBitBuffer bb;
    bb.WriteZeroBits(8 * 100);
    PadToModulus(bb, 0, 0);
    EXPECT_EQ(bb.m_bytes.size(), 100u) << "modulus 0 pads nothing";
    PadToModulus(bb, 0, 2048);
    EXPECT_EQ(bb.m_bytes.size(), 2048u);
    PadToModulus(bb, 0, 2048);
    EXPECT_EQ(bb.m_bytes.size(), 2048u) << "already aligned";
    bb.WriteBits(8, 1);
    PadToModulus(bb, 8 * 48, 2048);
    EXPECT_EQ(bb.m_bytes.size(), 48u + 2048) << "counted from the start position";
}

TEST(Serial, VersionCheck)
{
    CaptureOutput cap;
    char v[4];
    CBitBuffer bb;
    bb.m_bytes = {'0', '3', '0', '0', '0', '4', '0', '0'};
    EXPECT_EQ(ser::ParseVersion(bb, v), 0);
    EXPECT_EQ(ser::ParseVersion(bb, v), 1);

    JDoc doc;
    doc.Parse(R"({"a":{"version_number":"02"},"b":{"version_number":"0100x"},"c":{},
                 "d":{"version_number":200}})");
    EXPECT_EQ(ser::ReadJsonVersion(doc["a"], v), 1);
    EXPECT_EQ(ser::ReadJsonVersion(doc["b"], v), 0);
    EXPECT_EQ(std::string(v, 4), "0100");
    EXPECT_EQ(ser::ReadJsonVersion(doc["c"], v), 1);
    EXPECT_EQ(ser::ReadJsonVersion(doc["d"], v), 1);
    EXPECT_EQ(cap.Err(), "Unknown version_number!\nfound    \"0400\"\nexpected \"0200\"\n"
                         "Unknown version_number!\nfound    \"02\"\nexpected \"0200\"\n"
                         "failed to read version_number\nfailed to read version_number!\n"
                         "failed to read version_number\nfailed to read version_number!\n");

    // A zeroed version is written as 0200 on both sides.
    char zero[4] = {0, 0, 0, 0};
    CBitBuffer out;
    ser::BuildVersion(out, zero);
    EXPECT_EQ(ToString(out.m_bytes), "0200");
    JsonStringSink sink;
    {
        JWriter w(sink);
        w.StartObject();
        ser::WriteJsonVersion(w, zero);
        w.EndObject();
    }
    EXPECT_EQ(sink.m_text, "{\n    \"version_number\": \"0200\"\n}");
}

TEST(Serial, ListSizeRefusal)
{
    CaptureOutput cap;
    EXPECT_EQ(CheckListSize(255, 255, "ExtensionData entries"), 0);
    EXPECT_EQ(CheckListSize(256, 255, "ExtensionData entries"), 1);
    EXPECT_EQ(cap.Err(), "Too many ExtensionData entries: 256 do not fit, at most 255!\n");
}
