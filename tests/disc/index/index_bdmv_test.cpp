// index.bdmv in process: what the file and JSON keep, the JSON reading rules and refusals.
#include "tests/disc/title_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace title_writer;
using namespace testing_support;

namespace
{

Index SampleIndex()
{
    Index x;
    x.outputMode = 1, x.appReserved02 = 3, x.userData[0] = 7, x.reservedHeader[5] = 2;
    x.first.playback = 1;
    x.top.objectType = 2, x.top.name = "00001", x.top.access = 1, x.top.reserved03 = 9;
    Title t;
    t.id = 2, t.reserved01 = 5, t.reserved03 = 0x01020304;
    x.titles = {t};
    x.ext    = {{3, 1, {0, 0, 0, 8, 81, 0, 3, 0}}};
    return x;
}

} // namespace

TEST(Index, RoundTripsAndWhatATitleOfAnotherKindLoses)
{
    Index x = SampleIndex();
    EXPECT_EQ(ThroughJson(IndexFile(x)), IndexFile(x));

    // Object type 3 keeps no id and no reserved03: its last six bytes come back as zeros.
    // Surplus AppInfoBDMV bytes are skipped and the block is rebuilt at its 34 bytes.
    Title other;
    other.objectType = 3, other.playback = 2, other.tail = 0xABCDEF123456;
    x.titles.push_back(other);
    x.appSurplus            = 5;
    Index expected          = x;
    expected.titles[1].tail = 0, expected.appSurplus = 0;
    CBDMV bdmv;
    Outcome json = Parsed(bdmv, IndexFile(x));
    EXPECT_EQ(Built(bdmv).bytes, IndexFile(expected));
    EXPECT_EQ(JsonToFile(json.json).bytes, IndexFile(expected));
    EXPECT_NE(json.json.find(R"({"object_type":3,"access_type":0,"reserved01":0,)"
                             R"("playback_type":2,"reserved02":0}])"),
              std::string::npos);
}

TEST(Index, TitleTableWithoutTitles)
{
    // No "Title" array builds a table of 0 titles, and an empty table writes no "Title".
    const std::string json = FileToJson(IndexFile(SampleIndex())).json;
    Index expected         = SampleIndex();
    expected.titles.clear();
    std::vector<uint8_t> bytes = JsonToFile(Replaced(json, R"("Title":)", R"("NoTitle":)")).bytes;
    EXPECT_EQ(bytes, IndexFile(expected));
    EXPECT_EQ(FileToJson(bytes).json.find("\"Title\""), std::string::npos);
}

TEST(Index, JsonReadFailuresAndTheirMessages)
{
    const std::string json = FileToJson(IndexFile(SampleIndex())).json;
    const struct {
        std::string from, to, err;
    } cases[] = {
        {R"("AppInfoBDMV":)", R"("AppInfo":)", "failed to read AppInfoBDMV\n"},
        {R"("Indexes":)", R"("Indexes":1,"x":)", "failed to read Indexes\n"},
        {R"("FirstPlayback":{"object_type":1,)", R"("FirstPlayback":{)",
         "failed to read object_type\nError reading FirstPlayback!\n"},
        {R"("bdjo_file_name":"00001",)", "",
         "failed to read bdjo_file_name\nError reading TopMenu!\n"},
        {R"("playback_type":0,"reserved02":0,"mobj_id_ref":2,)", "",
         "failed to read playback_type\nfailed to read mobj_id_ref\n"
         "Failed to read JSON array element[0]!\nFailed to read Title!\n"},
    };
    for (const auto& c : cases) {
        Outcome o = JsonToFile(Replaced(json, c.from, c.to));
        EXPECT_EQ(o.rc, 1) << c.from;
        EXPECT_EQ(o.err, c.err) << c.from;
    }
}

TEST(Index, BuildRefusesMoreTitlesThanTheCountHolds)
{
    CBDMV bdmv;
    ASSERT_EQ(Parsed(bdmv, IndexFile(SampleIndex())).rc, 0);
    bdmv.m_index.Indexes.m_titles.resize(65536);
    Outcome o = Built(bdmv);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "Too many titles: 65536 do not fit, at most 65535!\n");
}
