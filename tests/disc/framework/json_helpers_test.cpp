#include "disc/framework/json_helpers.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

TEST(JsonHelpers, NumbersReadAsLow32Bits)
{
    JDoc doc;
    doc.Parse(R"({"big":4294967296,"neg":-1,"huge":18446744073709551615,"frac":7.9,"text":"5",
                 "nested":{"x":3}})");
    CaptureOutput cap;
    uint32_t flags = 0;
    EXPECT_EQ(ReadJsonUint("big", doc), 0u);
    EXPECT_EQ(ReadJsonUint("neg", doc), 4294967295u);
    EXPECT_EQ(ReadJsonUint("huge", doc), 4294967295u);
    EXPECT_EQ(ReadJsonUint("frac", doc), 7u);
    EXPECT_EQ(ReadJsonUint("text", doc), 0u) << "optional reads are silent";
    EXPECT_EQ(flags, 0u);
    EXPECT_EQ(ReadJsonUint("text", doc, &flags), 0u);
    EXPECT_EQ(ReadJsonUint("absent", doc, &flags), 0u);
    EXPECT_EQ(flags, 1u);
    EXPECT_EQ(ReadJsonString("text", doc, &flags), std::string("5"));
    EXPECT_EQ(ReadJsonString("big", doc, &flags), nullptr);
    EXPECT_EQ(GetJsonMember("x", doc), nullptr) << "lookups are relative to the given value";
    EXPECT_EQ(GetJsonMember("x", doc["nested"])->GetUint(), 3u);
    EXPECT_EQ(cap.Err(), "failed to read text\nfailed to read absent\nfailed to read big\n");
}

TEST(JsonHelpers, ReservedAreasReadWhatFitsAsBytes)
{
    JDoc in;
    in.Parse(R"({"many":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25],
                 "mixed":[257,"x",-1],"notarray":5})");
    uint8_t area[20];
    ReadJsonArea(in, "many", area, 20);
    EXPECT_EQ(area[19], 20);
    ReadJsonArea(in, "mixed", area, 20);
    EXPECT_EQ(std::vector<uint8_t>(area, area + 4), Hex("01 00 FF 00"));
    ReadJsonArea(in, "notarray", area, 20);
    EXPECT_EQ(std::vector<uint8_t>(area, area + 20), std::vector<uint8_t>(20, 0));
}

namespace
{

struct Item {
    uint32_t v = 0;
    int ReadJSON(JDoc&, JValue& o)
    {
        uint32_t flags = 0;
        v              = ReadJsonUint("v", o, &flags);
        return int(flags);
    }
};

} // namespace

TEST(JsonHelpers, ArraysOfStructuresAndTheirMessages)
{
    JDoc doc;
    doc.Parse(R"({"ok":[{"v":1},{"v":2}],"num":[{"v":1},5],"bad":[{"v":1},{"w":1}],"obj":{}})");
    CaptureOutput cap;
    std::vector<Item> list;
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("ok", doc), list), 0);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("num", doc), list), 1);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("bad", doc), list), 1);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("none", doc), list), 1);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("obj", doc), list), 1);
    EXPECT_EQ(list.size(), 4u) << "elements read before a failure stay";
    EXPECT_EQ(cap.Err(), "JSON array element[1] is not an object!\n"
                         "failed to read v\nFailed to read JSON array element[1]!\n"
                         "JSON element is NULL!\nJSON element is not an array!\n");
}
