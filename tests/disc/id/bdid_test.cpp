// id.bdmv: identifiers as hex text, the fixed 104-byte layout.
#include "disc/id/bdid.h"
#include "tests/support/field_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

std::vector<uint8_t> IdBdmv(const std::vector<uint8_t>& org, const std::vector<uint8_t>& id,
                            uint8_t reservedFirst, uint8_t blockFirst)
{
    FieldWriter w;
    w.Text("BDID0200").U8(reservedFirst).Zeros(31).Bytes(org).Bytes(id).U8(blockFirst).Zeros(43);
    return w.Data();
}

} // namespace

TEST(DiscId, JsonTextAndRoundTrip)
{
    TempDir d;
    std::vector<uint8_t> bytes =
        IdBdmv(Hex("0012AB0F"), Hex("0000 414243 00 44 00000000000000 0000"), 5, 9);
    ASSERT_EQ(bytes.size(), 104u);
    WriteFile(d.File("id.bdmv"), bytes);
    RunResult r = RunVarnel({"id.bdmv", "id.json"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(d.File("id.json")),
              "{\n"
              "    \"BDID\": {\n"
              "        \"version_number\": \"0200\",\n"
              "        \"reserved_header\": [\n"
              "            5\n"
              "        ],\n"
              "        \"ID_Data\": {\n"
              "            \"Disc_Organization_ID\": \"0x0012AB0F\",\n"
              "            \"Disc_ID\": \"0x00004142430044000000000000000000\",\n"
              "            \"Disc_ID (as string)\": \"ABC\\u0000D\",\n"
              "            \"reserved_block\": [\n"
              "                9\n"
              "            ]\n"
              "        }\n"
              "    }\n"
              "}");
    r = RunVarnel({"-reverse", "id.json", "-padding", "2048", "back.bdmv"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(d.File("back.bdmv")), ToString(bytes)) << "104 bytes whatever the padding";
}

TEST(DiscId, HexTexts)
{
    std::vector<uint8_t> b;
    EXPECT_EQ(ParseDiscIdHex("0x1", b), 0);
    EXPECT_EQ(b, Hex("01"));
    EXPECT_EQ(ParseDiscIdHex("0xab", b), 0);
    EXPECT_EQ(b, Hex("AB"));
    EXPECT_EQ(FormatDiscIdHex(Hex("0012AB0F")), "0x0012AB0F");
    EXPECT_EQ(FormatDiscIdHex({}), "0x");
    EXPECT_EQ(ParseDiscIdHex("0x", b), 0);
    EXPECT_TRUE(b.empty());
    for (const char* bad : {"0X12", "12", "0x+1", "0x-1", "0x 1", "0x1g", "0x0x12", ""})
        EXPECT_EQ(ParseDiscIdHex(bad, b), 1) << bad;

    // Through JSON: short values get zeros in front, long ones keep their last bytes.
    EXPECT_EQ(JsonToFile(R"({"BDID":{"version_number":"0200","reserved_header":[0],"ID_Data":{)"
                         R"("Disc_Organization_ID":"0x112233445566","Disc_ID":"0x1"}}})")
                  .bytes,
              IdBdmv(Hex("33445566"), Hex("00000000000000000000000000000001"), 0, 0));

    JDoc doc;
    CBDIDData data;
    CaptureOutput cap;
    doc.Parse(R"({"ID_Data":{"Disc_Organization_ID":"0x-1","Disc_ID":"0x1"}})");
    EXPECT_EQ(data.ReadJSON(doc, doc), 1);
    doc.Parse(R"({"ID_Data":{"Disc_Organization_ID":"0x12\u0000zz","Disc_ID":"0x1"}})");
    EXPECT_EQ(data.ReadJSON(doc, doc), 1);
    doc.Parse(R"({"ID_Data":{"Disc_Organization_ID":"0x1"}})");
    EXPECT_EQ(data.ReadJSON(doc, doc), 1);
    doc.Parse(R"({"ID_Data":[]})");
    EXPECT_EQ(data.ReadJSON(doc, doc), 1);
    EXPECT_EQ(cap.Err(), "failed to read Disc_ID\nfailed to read ID_Data\n");
}
