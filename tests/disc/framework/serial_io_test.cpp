// The field vocabulary of the policies: one small structure per primitive, driven through all
// four operations with bytes and JSON written out by hand.
#include "disc/framework/serial_io.h"
#include "tests/support/json_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

template <class T> std::vector<uint8_t> Built(T& t, int expected = 0)
{
    CBitBuffer bb;
    EXPECT_EQ(t.Build(bb), expected);
    return bb.m_bytes;
}

template <class T> int ParsedFrom(T& t, const std::string& hex, uint64_t* cursor = nullptr)
{
    CBitBuffer bb;
    bb.m_bytes = Hex(hex);
    bb.ResetBudget();
    int r = t.Parse(bb);
    if (cursor)
        *cursor = bb.m_cursor / 8;
    return r;
}

template <class T> int ReadFrom(T& t, const std::string& json)
{
    JDoc doc;
    EXPECT_TRUE(ParseJsonText(json, doc)) << json;
    return t.ReadJSON(doc, doc);
}

// Plain numbers: a byte, a bit, a flag and an optional 16-bit field, in one byte of bits and two
// bytes.
struct Numbers : ser::Described<Numbers> {
    uint32_t byte = 0, bit = 0, flag = 0, optional = 0;
    template <class IO> void Fields(IO& io)
    {
        io.U(8, FLD(byte));
        io.Bit(FLD(bit));
        io.Flag(FLD(flag));
        io.Zero(6);
        io.Opt(16, FLD(optional));
    }
};

// A nested JSON object and a sized area: a; a 16-bit length and the area it counts, holding b
// and c, which JSON nests under "inner", then a zero byte when the area is odd; h, which only the
// file has.
struct Box : ser::Described<Box> {
    static constexpr const char* kJsonName = "Box";
    uint32_t a = 0, b = 0, c = 0, h = 0;
    template <class IO> void Fields(IO& io)
    {
        io.U(8, FLD(a));
        io.Sized(
            16, "inner area",
            [&] {
                io.Object("inner", [&] {
                    io.U(8, FLD(b));
                    io.Within(16); // c must lie inside the area
                    io.U(16, FLD(c));
                });
            },
            0, true);
        io.Hidden(8, FLD(h));
    }
};

// An id list: count, a reserved byte, the ids and a byte that keeps the list even.
struct Ids : ser::Described<Ids> {
    std::vector<uint32_t> ids;
    template <class IO> void Fields(IO& io)
    {
        io.IdList(ids, "ids", "ids entries",
                  ser::NumberTexts{"ids is not an array!\n", "ids[%u] is not a number!\n"});
    }
};

// Heads in a row, each with the address of its body; a body holds a value and the address of a
// later byte, counted from the body.
struct Part : ser::Described<Part> {
    uint32_t id = 0, address = 0, value = 0, later = 0, tail = 0;
    template <class IO> void Fields(IO& io)
    {
        io.U(8, FLD(id));
        io.Hidden(32, FLD(address));
        if constexpr (IO::kJson)
            Body(io);
    }
    template <class IO> void Body(IO& io)
    {
        io.Within(16);
        const ser::Mark body = io.Here();
        const ser::Mark link = io.Link(8, later, "later");
        io.U(8, FLD(value));
        io.Follow(link, 8, body, later);
        io.U(8, FLD(tail));
    }
};

struct Parts : ser::Described<Parts, ser::Length<16>> {
    static constexpr const char* kBlockName = "Parts";
    uint32_t count                          = 0;
    std::vector<Part> parts;
    template <class IO> void Fields(IO& io)
    {
        const ser::Mark start = io.BlockStart();
        io.Count(8, count, parts, "parts");
        io.Split(
            count, parts, "parts", ser::ListTexts{"part[%u] lies outside!\n"}, start,
            [](Part& p) -> uint32_t& { return p.address; }, [&](Part& p) { p.Body(io); }, 2);
    }
};

struct Wide : ser::Described<Wide> {
    std::vector<uint32_t> values = std::vector<uint32_t>(64, 0);
    template <class IO> void Fields(IO& io)
    {
        io.Sized(8, "wide area", [&] { io.Numbers(0, 32, values, "values"); });
    }
};

struct Tagged : ser::Described<Tagged> {
    uint32_t kind = 0, v = 0;
    template <class IO> void Fields(IO& io)
    {
        io.U(8, FLD(kind));
        io.U(8, FLD(v));
    }
};

// Two lists that JSON holds as one array, placed on reading by each element's kind.
struct Sorted : ser::Described<Sorted> {
    std::vector<Tagged> odd, even;
    template <class IO> void Fields(IO& io)
    {
        io.Shared(
            "all", {&odd, &even},
            [&](Tagged& t, int& code) -> std::vector<Tagged>* {
                code = int(t.kind);
                return t.kind == 0 ? nullptr : t.kind % 2 ? &odd : &even;
            },
            ser::SharedTexts{"all is not an array of objects!\n", "no list takes kind %d\n"},
            ser::kOmitEmpty);
    }
};

// Two children of one kind: JSON has the first flat, the second under its role.
struct Pair : ser::Described<Pair> {
    Tagged first, second;
    template <class IO> void Fields(IO& io)
    {
        bool flatUsed = false;
        io.FlatOrNested(first, "first", flatUsed, {});
        io.FlatOrNested(second, "second", flatUsed, {});
    }
};

// Failed checks: Parse goes on after its own, Build stops at its own.
struct Checked : ser::Described<Checked> {
    uint32_t a = 0, b = 0;
    template <class IO> void Fields(IO& io)
    {
        io.U(8, FLD(a));
        io.ParseCheck(a < 10, "a is %u\n", a);
        io.BuildCheck(a < 20, "a %u does not fit\n", a);
        io.U(8, FLD(b));
    }
};

} // namespace

// A number builds from its low bits, a bit as 1 for any number but 0; a flag also reads as 0 or
// 1, while a bit keeps in JSON the number it read. An optional member may be missing (zero), a
// required one may not.
TEST(SerialIO, NumbersKeepTheirLowBits)
{
    Numbers n;
    ASSERT_EQ(ReadFrom(n, R"({"byte":300,"bit":2,"flag":2})"), 0);
    EXPECT_EQ(Built(n), Hex("2C C0 0000"));
    EXPECT_EQ(CompactJson(n), R"({"byte":300,"bit":2,"flag":1,"optional":0})");
    ASSERT_EQ(ReadFrom(n, R"({"byte":1,"bit":0,"flag":0,"optional":65537})"), 0);
    EXPECT_EQ(Built(n), Hex("01 00 0001"));
    ASSERT_EQ(ParsedFrom(n, "FF 40 1234"), 0);
    EXPECT_EQ(CompactJson(n), R"({"byte":255,"bit":0,"flag":1,"optional":4660})");

    CaptureOutput capture;
    EXPECT_EQ(ReadFrom(n, R"({"bit":0,"flag":0})"), 1);
    EXPECT_EQ(capture.Err(), "failed to read byte\n");
}

TEST(SerialIO, NestedObjectAndSizedArea)
{
    // a 01 | length 0004: b 02, c 0304 and a surplus byte | h 07
    Box box;
    uint64_t end = 0;
    ASSERT_EQ(ParsedFrom(box, "01 0004 02 0304 FF 07", &end), 0);
    EXPECT_EQ(box.b, 2u);
    EXPECT_EQ(box.c, 0x304u);
    EXPECT_EQ(box.h, 7u);
    EXPECT_EQ(end, 8u) << "the length, not the fields, decides where the area ends";
    EXPECT_EQ(Built(box), Hex("01 0003 02 0304 00 07")) << "an odd area is followed by a zero";
    EXPECT_EQ(CompactJson(box), R"({"Box":{"a":1,"inner":{"b":2,"c":772}}})");

    CaptureOutput capture;
    EXPECT_EQ(ParsedFrom(box, "01 0002 02 0304 07"), 1) << "c lies beyond its area";
    EXPECT_EQ(ReadFrom(box, R"({"Box":{"a":1,"inner":5}})"), 1);
    EXPECT_EQ(ReadFrom(box, R"({"Box":{"a":1}})"), 1);
    EXPECT_EQ(capture.Err(), "failed to read inner\nfailed to read inner\n");
}

TEST(SerialIO, SizedAreaThatItsLengthCannotCount)
{
    Wide wide;
    CaptureOutput capture;
    Built(wide, 1);
    EXPECT_EQ(capture.Err(),
              "wide area is too long: 256 bytes do not fit its 8-bit length field!\n");
}

TEST(SerialIO, IdList)
{
    Ids ids;
    ASSERT_EQ(ParsedFrom(ids, "03 00 0A 0B 0C 00"), 0);
    EXPECT_EQ(ids.ids, std::vector<uint32_t>({10, 11, 12}));
    EXPECT_EQ(Built(ids), Hex("03 00 0A 0B 0C 00"));
    EXPECT_EQ(CompactJson(ids), R"({"ids":[10,11,12]})");
    ASSERT_EQ(ReadFrom(ids, "{}"), 0);
    EXPECT_EQ(CompactJson(ids), "{}") << "an empty list has no member";
    EXPECT_EQ(Built(ids), Hex("00 00"));
    ASSERT_EQ(ReadFrom(ids, R"({"ids":[1,257]})"), 0);
    EXPECT_EQ(Built(ids), Hex("02 00 01 01")) << "ids keep their low 8 bits";

    CaptureOutput capture;
    EXPECT_EQ(ReadFrom(ids, R"({"ids":5})"), 1);
    EXPECT_EQ(ReadFrom(ids, R"({"ids":[1,"2"]})"), 1);
    ids.ids.assign(256, 1);
    Built(ids, 1);
    EXPECT_EQ(capture.Err(), "ids is not an array!\nids[1] is not a number!\n"
                             "Too many ids entries: 256 do not fit, at most 255!\n");
}

TEST(SerialIO, SplitListAndLinks)
{
    // length 0014 (20) | 2 parts | heads: id 1 with its body at 17, id 2 at 13 | body 2: a link to
    // the byte 3 on, value 22, a gap, tail 2E | body 1 alike | a surplus byte.
    Parts parts;
    ASSERT_EQ(ParsedFrom(parts, "0014 02  01 00000011  02 0000000D  03 22 EE 2E  03 11 EE 1E  FF"),
              0);
    ASSERT_EQ(parts.parts.size(), 2u);
    EXPECT_EQ(parts.parts[0].value, 0x11u);
    EXPECT_EQ(parts.parts[0].tail, 0x1Eu);
    EXPECT_EQ(parts.parts[1].tail, 0x2Eu);
    // Built in order, each body at an even offset from the length field, each later byte right
    // after its value: new addresses and links.
    EXPECT_EQ(Built(parts),
              Hex("0014 02  01 0000000E  02 00000012  00  02 11 1E  00  02 22 2E  00"));
    EXPECT_EQ(parts.parts[1].address, 18u);
    EXPECT_EQ(CompactJson(parts), R"({"parts":[{"id":1,"value":17,"tail":30},)"
                                  R"({"id":2,"value":34,"tail":46}]})");

    CaptureOutput capture;
    EXPECT_EQ(ParsedFrom(parts, "0006 01  01 00000008"), 1) << "its body starts at the end";
    EXPECT_EQ(capture.Err(), "part[0] lies outside!\n");
}

TEST(SerialIO, ListsThatShareOneArray)
{
    Sorted s;
    ASSERT_EQ(ReadFrom(s, R"({"all":[{"kind":1,"v":1},{"kind":2,"v":2},{"kind":3,"v":3}]})"), 0);
    EXPECT_EQ(s.odd.size(), 2u);
    EXPECT_EQ(CompactJson(s), R"({"all":[{"kind":1,"v":1},{"kind":3,"v":3},{"kind":2,"v":2}]})");
    ASSERT_EQ(ReadFrom(s, "{}"), 0);
    EXPECT_EQ(CompactJson(s), "{}");

    CaptureOutput capture;
    EXPECT_EQ(ReadFrom(s, R"({"all":[{"kind":0,"v":1}]})"), 1);
    EXPECT_EQ(ReadFrom(s, R"({"all":[{"kind":0}]})"), 1) << "no place comes before the failure";
    EXPECT_EQ(ReadFrom(s, R"({"all":[{"kind":4}]})"), 1);
    EXPECT_EQ(ReadFrom(s, R"({"all":[5]})"), 1);
    EXPECT_EQ(capture.Err(), "no list takes kind 0\nfailed to read v\nno list takes kind 0\n"
                             "failed to read v\nall is not an array of objects!\n");
}

TEST(SerialIO, ChildFlatFirstThenUnderItsRole)
{
    Pair p;
    p.first.kind = 1, p.first.v = 2, p.second.kind = 3, p.second.v = 4;
    EXPECT_EQ(CompactJson(p), R"({"kind":1,"v":2,"second":{"kind":3,"v":4}})");
    ASSERT_EQ(ReadFrom(p, R"({"kind":1,"v":2,"second":{"kind":3,"v":4}})"), 0);
    EXPECT_EQ(p.second.v, 4u);
    ASSERT_EQ(ReadFrom(p, R"({"kind":1,"v":2})"), 0);
    EXPECT_EQ(p.second.v, 2u) << "without its own object the second reads the flat keys";
    CBitBuffer bb;
    ASSERT_EQ(p.Build(bb), 0);
    EXPECT_EQ(bb.m_bytes, Hex("0102 0102"));
}

TEST(SerialIO, MembersInAnyOrderAndTheFirstOfTwins)
{
    Tagged t;
    ASSERT_EQ(ReadFrom(t, R"({"v":2,"kind":1})"), 0);
    EXPECT_EQ(Built(t), Hex("01 02"));
    ASSERT_EQ(ReadFrom(t, R"({"kind":1,"v":2,"kind":9})"), 0);
    EXPECT_EQ(Built(t), Hex("01 02"));
    ASSERT_EQ(ReadFrom(t, R"({"v":2,"kind":1,"v":9})"), 0);
    EXPECT_EQ(Built(t), Hex("01 02")) << "the first of two members with one name counts";
}

TEST(SerialIO, ParseAndBuildChecks)
{
    Checked c;
    CaptureOutput capture;
    EXPECT_EQ(ParsedFrom(c, "0C 05"), 1);
    EXPECT_EQ(c.b, 5u) << "the fields after a failed parse check are read";
    c.a = 30;
    EXPECT_EQ(Built(c, 1), Hex("1E")) << "a failed build check stops the fields";
    EXPECT_EQ(capture.Err(), "a is 12\na 30 does not fit\n");
}
