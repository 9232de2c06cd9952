#include "disc/framework/json_text.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

using std::string;

// What the JSON library does with the escapes, pinned so that an update cannot change it
// silently: a lone \udcXX is decoded to the three bytes ED B2/B3 xx (which reading maps back to
// one byte), and bytes are copied unchecked on writing (so invalid ones must be escaped first).
TEST(JsonText, LibraryDecodesLoneSurrogatesAndCopiesBytesUnchecked)
{
    JDoc doc;
    doc.Parse(R"(["\udc80", "\udcbf", "\uDCC0", "\udcff"])");
    ASSERT_FALSE(doc.HasParseError());
    const char* expected[] = {"\xED\xB2\x80", "\xED\xB2\xBF", "\xED\xB3\x80", "\xED\xB3\xBF"};
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(string(doc[i].GetString(), doc[i].GetStringLength()), expected[i]) << i;

    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    w.String("\xff\x80", 2);
    EXPECT_EQ(string(sb.GetString()), "\"\xff\x80\"");
}

TEST(JsonText, Utf8Sequences)
{
    struct {
        const char* bytes;
        size_t length;
    } cases[] = {{"a", 1},
                 {"\xc3\xa9", 2},
                 {"\xe2\x82\xac", 3},
                 {"\xed\x9f\xbf", 3},
                 {"\xf0\x9f\x98\x80", 4},
                 {"\xf4\x8f\xbf\xbf", 4},
                 {"\x80", 0},
                 {"\xc0\xaf", 0},
                 {"\xe0\x80\xaf", 0},
                 {"\xed\xa0\x80", 0},
                 {"\xf4\x90\x80\x80", 0},
                 {"\xf5\x80\x80\x80", 0},
                 {"\xe2\x82", 0},
                 {"\xff", 0}};
    for (auto& c : cases)
        EXPECT_EQ(Utf8SequenceLength(reinterpret_cast<const uint8_t*>(c.bytes), strlen(c.bytes)),
                  c.length)
            << c.bytes;
    EXPECT_EQ(EscapedJsonString("a\"\\\n\x01\x1f\xff\xc3\xa9/", 10),
              "\"a\\\"\\\\\\n\\u0001\\u001F\\udcff\xc3\xa9/\"");
}

TEST(JsonText, EveryByteSurvivesTheEscapes)
{
    // All 256 byte values, and the byte sequences that escapes decode to, written and read back.
    string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += char(i);
    bytes += "\xED\xB2\x80\xED\xB3\xBF\xED";
    string text = "[" + EscapedJsonString(bytes.data(), bytes.size()) + "]";
    FILE* f     = fmemopen(&text[0], text.size(), "r");
    ASSERT_NE(f, nullptr);
    JDoc doc;
    ASSERT_TRUE(ParseJsonStream(f, doc));
    fclose(f);
    EXPECT_EQ(string(doc[0].GetString(), doc[0].GetStringLength()), bytes);

    string plain = "caf\xc3\xa9";
    EXPECT_FALSE(DecodeSurrogateEscapes(plain));
    EXPECT_EQ(plain, "caf\xc3\xa9");
}
