// MovieObject.bdmv in process: command texts, what the file and JSON keep, refusals and
// crafted counts.
#include "tests/disc/title_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace title_writer;
using namespace testing_support;

namespace
{

MovieObjects SampleObjects()
{
    MovieObjects m;
    m.reservedHeader[3] = 4;
    m.reserved          = 0xDEADBEEF;
    m.ext               = {{3, 7, {1, 2, 3}}};
    MovieObject first;
    first.menuMask = 1, first.reserved01 = 0x1ABC;
    first.commands = {{Op(2, 2, 0, 0, 1, 1), 5, 100}, {Op(1, 0, 1, 0, 0, 0), 3, 0}};
    m.objects      = {first, MovieObject()};
    return m;
}

} // namespace

TEST(MovieObject, CommandTexts)
{
    const struct {
        Command c;
        const char* text;
    } rows[] = {
        {{0, 0, 0}, "Nop"},
        {{Op(0, 0, 0, 0, 0, 2), 0, 0}, "Break"},
        {{Op(0, 0, 0, 0, 0, 3), 0, 0}, ""},
        {{Op(1, 0, 1, 0, 0, 0), 3, 9}, "Jump_Object reg_3"},
        {{Op(2, 0, 2, 1, 1, 5), 1, 2}, "Link_MK 1 2"},
        {{Op(1, 0, 3, 1, 0, 0), 1, 2}, " 1"},
        {{Op(2, 2, 0, 0, 1, 1), 5, 100}, "Move reg_5 100"},
        {{Op(2, 2, 0, 0, 0, 0), 1, 2}, " reg_1 reg_2"},
        {{Op(1, 2, 1, 1, 0, 4), 6, 0}, "EnableButton  6"},
        {{Op(0, 2, 1, 0, 0, 12), 0, 0}, ""},
        {{Op(0, 2, 1, 0, 0, 16), 0, 0}, "reserved_0x10"},
        {{Op(0, 2, 2, 0, 0, 1), 0, 0}, ""},
        {{Op(2, 1, 7, 0, 1, 1), 2, 0}, "Bitwise_Compare reg_2 0"},
        {{Op(1, 3, 0, 0, 0, 0), 7, 0}, " reg_7"},
        {{Op(5, 0, 0, 1, 1, 1), 0xFFFFFFFF, 0}, "GoTo 4294967295 0"},
        {{Op(0, 0, 0, 0, 0, 1) | 0x0030F0E0u, 0, 0}, "GoTo"}, // bits outside every field
    };
    MovieObjects m;
    m.objects.resize(1);
    for (const auto& r : rows)
        m.objects[0].commands.push_back(r.c);
    CBDMV bdmv;
    ASSERT_EQ(Parsed(bdmv, MovieObjectFile(m)).rc, 0);
    const auto& parsed = bdmv.m_movieObject.MovieObjects.m_objects.at(0).m_commands;
    ASSERT_EQ(parsed.size(), std::size(rows));
    for (size_t i = 0; i < parsed.size(); ++i)
        EXPECT_EQ(parsed[i].command, rows[i].text) << i;
}

TEST(MovieObject, ComparisonMnemonicsByCompareOption)
{
    // Codes 1 to 7 have names; 0 and 8 to 15 have none, so the text starts with the operands.
    // The sub-group takes no part.
    const std::string names[16] = {"",
                                   "Bitwise_Compare",
                                   "Equal",
                                   "Not_Equal",
                                   "Greater_or_Equal",
                                   "Greater_than",
                                   "Less_or_Equal",
                                   "Less_than"};
    MovieObjects m;
    m.objects.resize(1);
    for (uint32_t code = 0; code < 16; ++code)
        m.objects[0].commands.push_back({Op(2, 1, code % 8, 0, 1, code), 1, 2});
    CBDMV bdmv;
    ASSERT_EQ(Parsed(bdmv, MovieObjectFile(m)).rc, 0);
    const auto& parsed = bdmv.m_movieObject.MovieObjects.m_objects.at(0).m_commands;
    ASSERT_EQ(parsed.size(), 16u);
    for (uint32_t code = 0; code < 16; ++code)
        EXPECT_EQ(parsed[code].command, names[code] + " reg_1 2") << code;
}

TEST(MovieObject, WhatJsonKeeps)
{
    // The MovieObjects block's reserved field is not in JSON; an object without commands has
    // no command member.
    const std::vector<uint8_t> bytes = MovieObjectFile(SampleObjects());
    CBDMV a;
    const std::string json = Parsed(a, bytes).json;
    EXPECT_EQ(Built(a).bytes, bytes);
    EXPECT_NE(json.find(R"({"resume_intention_flag":0,"menu_call_mask":0,)"
                        R"("title_search_mask":0,"reserved01":0}])"),
              std::string::npos);
    MovieObjects expected = SampleObjects();
    expected.reserved     = 0;
    EXPECT_EQ(JsonToFile(json).bytes, MovieObjectFile(expected));

    // A "command" that disagrees with the numbers is ignored.
    CBDMV b;
    ASSERT_EQ(Read(b, Replaced(json, R"("command":"Move reg_5 100")", R"("command":"Nop")")).rc, 0);
    EXPECT_EQ(Built(b).bytes, MovieObjectFile(expected));
    EXPECT_EQ(CompactJson(b), json);
    EXPECT_EQ(JsonToFile(Replaced(json, R"("operand_2":100,)", "")).err,
              "failed to read operand_2\nFailed to read JSON array element[0]!\n"
              "Failed to read navigation_command!\n"
              "Failed to read JSON array element[0]!\nFailed to read MovieObjects\n");

    // No objects: a MovieObjects block of length 6 and no member.
    std::vector<uint8_t> none = MovieObjectFile(MovieObjects());
    ASSERT_EQ(none.size(), 50u);
    EXPECT_EQ(FileToJson(none).json, R"({"MOBJ":{"version_number":"0200","reserved_header":[0]}})");
    EXPECT_EQ(ThroughJson(none), none);
}

TEST(MovieObject, BuildRefusesListsLongerThanTheirCounts)
{
    CBDMV bdmv;
    ASSERT_EQ(Parsed(bdmv, MovieObjectFile(SampleObjects())).rc, 0);
    auto& objects = bdmv.m_movieObject.MovieObjects.m_objects;
    objects[1].m_commands.resize(65536);
    Outcome o = Built(bdmv);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "Too many navigation commands: 65536 do not fit, at most 65535!\n"
                     "failed to save MovieObject[1]\n");
    objects[1].m_commands.clear();
    objects.resize(65536);
    o = Built(bdmv);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "Too many movie objects: 65536 do not fit, at most 65535!\n");
}

TEST(MovieObject, CraftedCountsStayBounded)
{
    // 65535 movie objects, the first claiming 65535 commands, in a file of 54 bytes: what lies
    // past the end reads as zeros, so the parse ends with empty objects after the first.
    FieldWriter w;
    w.Text("MOBJ0200").U32(0).Zeros(28).U32(0xFFFFFFFF).U32(0).U16(0xFFFF).U16(0).U16(0xFFFF);
    CBDMV bdmv;
    CBitBuffer bb;
    bb.m_bytes = w.Data();
    ASSERT_EQ(bdmv.Parse(bb), 0);
    const auto& objects = bdmv.m_movieObject.MovieObjects.m_objects;
    ASSERT_EQ(objects.size(), 65535u);
    EXPECT_EQ(objects[0].m_commands.size(), 65535u);
    EXPECT_EQ(objects[1].m_commands.size(), 0u);
}
