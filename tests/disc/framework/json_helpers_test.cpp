#include "disc/framework/json_helpers.h"
#include "disc/framework/serial_io.h"
#include "tests/support/json_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

using namespace testing_support;

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
    void WriteJSON(JWriter& w)
    {
        w.Key("v");
        w.Uint(v);
    }
};

// The text that write writes into one object, compact.
template <class F> std::string Written(F&& write)
{
    JsonStringSink sink;
    {
        JWriter w(sink);
        w.StartObject();
        write(w);
        w.EndObject();
    }
    JDoc doc;
    EXPECT_TRUE(ParseJsonText(sink.m_text, doc)) << sink.m_text;
    return CompactText(doc);
}

} // namespace

TEST(JsonHelpers, NumbersReadAsLow32Bits)
{
    JDoc doc;
    doc.Parse(R"({"big":4294967296,"neg":-1,"max":4294967295,"huge":18446744073709551615,
                 "frac":7.9,"text":"5","nested":{"x":3}})");
    CaptureOutput cap;
    uint32_t flags = 0;
    EXPECT_EQ(ReadJsonUint("big", doc), 0u);
    EXPECT_EQ(ReadJsonUint("neg", doc), 4294967295u);
    EXPECT_EQ(ReadJsonUint("max", doc), 4294967295u);
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

TEST(JsonHelpers, StringsKeepEveryByte)
{
    JDoc doc;
    ParseJsonText(Written([](JWriter& w) {
                      w.Key("name");
                      w.String("ab\0cd", 5);
                  }),
                  doc);
    size_t len       = 0;
    const char* text = ReadJsonString("name", doc, nullptr, &len);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(std::string(text, len), std::string("ab\0cd", 5));
}

TEST(JsonHelpers, ReservedAreas)
{
    const uint8_t zeros[20] = {};
    const uint8_t some[5]   = {1, 0, 2, 0, 0};
    EXPECT_EQ(Written([&](JWriter& w) {
                  WriteJsonArea(w, "zeros", zeros, sizeof zeros);
                  WriteJsonArea(w, "some", some, sizeof some);
              }),
              R"({"zeros":[0],"some":[1,0,2]})");

    JDoc in;
    in.Parse(
        R"({"one":[7],"many":[1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25],
                "mixed":[257,"x",-1],"notarray":5})");
    uint8_t area[20];
    ReadJsonArea(in, "one", area, 20);
    EXPECT_EQ(area[0], 7);
    EXPECT_EQ(area[19], 0);
    ReadJsonArea(in, "many", area, 20);
    EXPECT_EQ(area[19], 20);
    ReadJsonArea(in, "mixed", area, 20);
    EXPECT_EQ(area[0], 1);
    EXPECT_EQ(area[1], 0);
    EXPECT_EQ(area[2], 255);
    ReadJsonArea(in, "notarray", area, 20);
    EXPECT_EQ(area[0], 0);
}

TEST(JsonHelpers, ArrayTemplates)
{
    JDoc doc;
    doc.Parse(R"({"ok":[{"v":1},{"v":2}],"num":[{"v":1},5],"bad":[{"v":1},{"w":1}],"obj":{}})");
    CaptureOutput cap;
    std::vector<Item> list;
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("ok", doc), list), 0);
    EXPECT_EQ(list.size(), 2u);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("num", doc), list), 1);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("bad", doc), list), 1);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("none", doc), list), 1);
    EXPECT_EQ(ReadJSONArray(doc, GetJsonMember("obj", doc), list), 1);
    EXPECT_EQ(list.size(), 4u) << "elements read before a failure stay";

    EXPECT_EQ(cap.Err(), "JSON array element[1] is not an object!\n"
                         "failed to read v\nFailed to read JSON array element[1]!\n"
                         "JSON element is NULL!\nJSON element is not an array!\n");
    EXPECT_EQ(Written([&](JWriter& w) {
                  w.Key("list");
                  WriteJSONArray(w, list);
              }),
              R"({"list":[{"v":1},{"v":2},{"v":1},{"v":1}]})");
}

namespace
{

// A structure described once, to check that the policies agree with each other.
struct Sample : ser::Described<Sample, ser::Length<16>> {
    static constexpr const char* kJsonName = "Sample";
    uint32_t a = 0, flag = 0, raw = 0, rsv = 0, coding = 0;
    char lang[3]    = {};
    uint8_t area[4] = {};
    template <class IO> void Fields(IO& io)
    {
        io.U(4, FLD(a));
        io.Flag(FLD(flag));
        io.Bit(FLD(raw));
        io.Opt(2, FLD(rsv));
        io.Zero(8);
        io.Code(8, coding, "stream_coding_type", kStreamCodingTypeNames, ParseStreamCodingType);
        io.Chars(lang, 3, "language_code");
        io.Area(area, 4, "reserved_area");
    }
};

} // namespace

TEST(SerialIO, OneDescriptionDrivesAllFourOperations)
{
    // length 11: a=5 flag=1 raw=1 rsv=2, 8 zero bits, coding 0x1B, "jpn", area 01 00 02 00,
    // then a surplus byte that Parse skips; 77 follows the block.
    CBitBuffer in;
    in.m_bytes = Hex("000B 5E 00 1B 6A706E 01000200 FF 77");
    Sample s;
    ASSERT_EQ(s.Parse(in), 0);
    EXPECT_EQ(in.m_cursor, 8u * 13) << "the length decides where the block ends";
    EXPECT_EQ(s.a, 5u);
    EXPECT_EQ(s.rsv, 2u);

    JDoc doc;
    WrittenJson(s, doc);
    EXPECT_EQ(CompactText(doc),
              R"({"Sample":{"a":5,"flag":1,"raw":1,"rsv":2,"stream_coding_type":"H.264",)"
              R"("language_code":"jpn","reserved_area":[1,0,2]}})");

    doc["Sample"]["flag"].SetUint(7);
    doc["Sample"]["raw"].SetUint(2);
    Sample t;
    ASSERT_EQ(t.ReadJSON(doc, doc), 0);
    EXPECT_EQ(t.flag, 1u) << "flags are normalised";
    EXPECT_EQ(t.raw, 2u) << "raw bits keep their JSON value";
    CBitBuffer out;
    ASSERT_EQ(t.Build(out), 0);
    EXPECT_EQ(out.m_bytes, Hex("000A 5E 00 1B 6A706E 01000200")) << "surplus bytes are not kept";

    CaptureOutput cap;
    doc["Sample"].RemoveMember("a");
    doc["Sample"].RemoveMember("rsv");
    EXPECT_EQ(t.ReadJSON(doc, doc), 1);
    JDoc empty;
    empty.SetObject();
    EXPECT_EQ(t.ReadJSON(empty, empty), 1);
    EXPECT_EQ(cap.Err(), "failed to read a\nfailed to read Sample\n");
}
