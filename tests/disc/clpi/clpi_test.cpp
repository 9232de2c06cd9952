// Clip information in process: round trips, conditional lists, layout from JSON, the ClipMark
// and StreamCodingInfo quirks, message chains, refusals and hostile input.
#include "disc/clpi/extension_blocks.h"
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/support/json_support.h"

#include <functional>
#include <gtest/gtest.h>

using namespace testing_support;
using namespace clpi_writer;

namespace
{

// The JSON of a file, which must convert.
std::string Json(const Clip& clip)
{
    Outcome o = FileToJson(ClipFile(clip));
    EXPECT_EQ(o.rc, 0) << o.err;
    return o.json;
}

// Binary -> JSON -> binary gives the same bytes, and JSON -> binary -> JSON the same JSON.
void ExpectRoundTrip(const Clip& clip)
{
    std::string json = Json(clip);
    Outcome rebuilt  = JsonToFile(json);
    ASSERT_EQ(rebuilt.rc, 0) << rebuilt.err;
    EXPECT_EQ(rebuilt.bytes, ClipFile(clip));
    EXPECT_EQ(FileToJson(rebuilt.bytes).json, json);
}

// The sample clip's JSON with from replaced by to, read back and built.
Outcome Edited(const std::string& from, const std::string& to)
{
    return JsonToFile(Replaced(Json(SampleClip()), from, to));
}

} // namespace

TEST(ClipFile, ReservedFieldsRoundTripAndSurplusBytesAreSkipped)
{
    ExpectRoundTrip(SampleClip());

    // Every reserved field that JSON keeps, non-zero.
    Clip c                            = SampleClip();
    c.reservedHeader                  = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    c.info.reserved01                 = 0xABCD;
    c.info.reserved02                 = 0x7FFFFFFF;
    c.info.reservedBlock              = std::vector<uint8_t>(128, 0x5A);
    c.info.reserved04                 = 0x44;
    c.info.reserved05                 = 0x55;
    c.info.applicationType            = 6;
    c.info.fonts                      = {Font{"00001", 0x66}, Font{"00002", 0}};
    c.info.atcDeltas[0].reserved01    = 0x77;
    c.sequences.reserved              = 0x88;
    c.program.reserved                = 0x99;
    c.program.sequences[0].reserved01 = 0xAA;
    c.program.sequences[0].streams[0] = Video(0x1B, 6, 1, 3, 1, 0x1011, 3, 0x1FFFF);
    c.program.sequences[0].streams[3] = Graphics(0x90, "eng", 0x1200, 0xBB);
    for (Stream& s : c.program.sequences[0].streams)
        s.reserved03 = 0xCCDDEEFF;
    c.cpi.reserved01            = 0xFFF;
    c.cpi.streams[0].reserved01 = 0x3FF;
    c.ext[0].data               = DownMixBlock({DownMix{}}, 0xDD);
    c.ext[1].data               = ExtentBlock({1}, 0xEEEE);
    ExpectRoundTrip(c);

    // Bytes after the known fields of a block are passed over: the JSON is that of the file
    // without them.
    Clip fat                                    = c;
    fat.info.tsSurplus                          = 3;
    fat.info.surplus                            = 5;
    fat.sequences.surplus                       = 2;
    fat.program.surplus                         = 7;
    fat.program.sequences[0].streams[0].surplus = 4;
    EXPECT_EQ(Json(fat), Json(c));
}

TEST(ClipFile, AbsentBlocksAreRebuiltAndClipMarkContentsDropped)
{
    Clip c      = SampleClip();
    c.absent    = {true, true, false, false};
    c.cpi.empty = true;
    c.clipMark  = std::vector<uint8_t>(100, 0x42);
    c.ext.clear();
    std::string json = Json(c);
    EXPECT_EQ(json.find("ClipMark"), std::string::npos);
    EXPECT_NE(json.find(R"("SequenceInfo":{"reserved_for_word_align":0,"ATC_sequence":[]},)"
                        R"("ProgramInfo":{"reserved_for_word_align":0,"program_sequence":[]},)"
                        R"("CPI":{"reserved01":0,"CPI_type":0}})"),
              std::string::npos)
        << json;

    // Every block is written and addressed: cleared ones, a CPI of length 4 and an empty
    // ClipMark; no ExtensionData and its address 0.
    Clip expected      = c;
    expected.absent    = {};
    expected.sequences = Sequences();
    expected.program   = Program();
    expected.cpi       = Cpi();
    expected.cpi.type  = 0;
    expected.clipMark.clear();
    EXPECT_EQ(JsonToFile(json).bytes, ClipFile(expected));
}

TEST(ClipInfo, ListsFollowTheirConditions)
{
    // Lists in JSON whose condition does not hold are neither read nor built; 5 reads as 1.
    std::string json = Replaced(Json(SampleClip()), R"("is_ATC_delta":1)", R"("is_ATC_delta":0)");
    json             = Replaced(json, R"("application_type":1)", R"("application_type":2)");
    json =
        Replaced(json, R"("reserved04":0,)", R"("reserved05":9,"font_file":[{}],"reserved04":0,)");
    Clip c                 = SampleClip();
    c.info.isAtcDelta      = 0;
    c.info.applicationType = 2;
    EXPECT_EQ(JsonToFile(json).bytes, ClipFile(c));
    EXPECT_EQ(Edited(R"("is_ATC_delta":1)", R"("is_ATC_delta":5)").bytes, ClipFile(SampleClip()));

    // An empty font list of application type 6 keeps its member and its count byte.
    c.info.applicationType = 6;
    EXPECT_NE(Json(c).find(R"("reserved05":0,"font_file":[]})"), std::string::npos);
    ExpectRoundTrip(c);
}

TEST(ClipInfo, FixedWidthTextFields)
{
    std::string json = Replaced(Json(SampleClip()), R"("Clip_codec_identifier":"M2TS")",
                                R"("Clip_codec_identifier":"M2")");
    json             = Replaced(json, R"("Stream_format_name":"")",
                                R"("Stream_format_name":"ABCDEFGHIJKLMNOPQRST")");
    json   = Replaced(json, R"("Network_information":"")", R"("Network_information":"net")");
    json   = Replaced(json, R"("reserved_header":[0])",
                      R"("reserved_header":[1,2,3,4,5,6,7,8,9,10,11,12,13,14])");
    Clip c = SampleClip();
    c.info.atcDeltas[0].codec = "M2";
    c.info.formatName         = "ABCDEFGHIJKLMNOP";
    c.info.network            = "net";
    c.reservedHeader          = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}; // at most 12 kept
    EXPECT_EQ(JsonToFile(json).bytes, ClipFile(c));
    // All 4 bytes of a codec identifier; the text fields up to their first zero byte.
    std::string back = Json(c);
    EXPECT_NE(back.find(R"("Clip_codec_identifier":"M2\u0000\u0000")"), std::string::npos);
    EXPECT_NE(back.find(R"("Network_information":"net","Stream_format_name":"ABCDEFGHIJKLMNOP")"),
              std::string::npos);
}

TEST(StreamCodingInfo, UnknownCodingTypeIsKeptInTheFileButNotInJson)
{
    Clip c                         = SampleClip();
    Stream unknown                 = Video(0x06, 1, 2, 3, 1, 0x1300);
    unknown.isrc                   = std::string("XY\0\0\0\0\0\0\0\0\0\0", 12);
    unknown.reserved03             = 7;
    c.program.sequences[0].streams = {unknown};
    // File side: the 4 bytes, the ISRC and reserved03 are kept silently and rebuilt.
    CBDMV bdmv;
    Outcome parsed = Parsed(bdmv, ClipFile(c));
    EXPECT_EQ(parsed.err, "");
    EXPECT_EQ(Built(bdmv).bytes, ClipFile(c));
    // JSON carries the coding type alone and cannot be read back.
    EXPECT_NE(parsed.json.find(R"("stream_in_ps":[{"stream_PID":4864,"stream_coding_type":"?"}])"),
              std::string::npos);
    EXPECT_EQ(JsonToFile(parsed.json).rc, 1);
}

TEST(EPMap, TablesInAnyOrderAndNone)
{
    // Tables stored in another order and with gaps parse alike; Build lays them out in order.
    Clip scattered                   = SampleClip();
    scattered.cpi.reverseTables      = true;
    scattered.cpi.tableGap           = 6;
    scattered.cpi.streams[0].fineGap = 8;
    EXPECT_EQ(Json(scattered), Json(SampleClip()));

    // No streams: no member, a map of two bytes.
    Clip c = SampleClip();
    c.ext.clear();
    c.cpi.streams = {};
    EXPECT_NE(Json(c).find(R"("CPI":{"reserved01":0,"CPI_type":1}}})"), std::string::npos);
    ExpectRoundTrip(c);
}

TEST(EPMap, StreamTypeFromJson)
{
    // Read through the name parser; the field keeps the low 4 bits of a negative number.
    Clip c                = SampleClip();
    const std::string key = R"("EP_stream_type":"Primary audio")";
    c.cpi.streams[1].type = 4;
    EXPECT_EQ(Edited(key, R"("EP_stream_type":"secondary AUDIO")").bytes, ClipFile(c));
    c.cpi.streams[1].type = 13;
    EXPECT_EQ(Edited(key, R"("EP_stream_type":"-3")").bytes, ClipFile(c));
}

// Counts and addresses of the EP map cannot make the parse allocate beyond what the CPI block
// holds.
TEST(EPMap, TablesOutsideTheBlockFailTheParse)
{
    const std::string chain = "Failed to read EP_map_for_one_stream_PID!\nfailed to read EP_map\n";
    auto hostile            = [](const std::vector<uint8_t>& cpi) {
        Clip c   = SampleClip();
        c.absent = {false, false, true, false};
        c.ext.clear();
        std::vector<uint8_t> bytes = ClipFile(c);
        uint32_t at                = uint32_t(bytes.size());
        bytes.insert(bytes.end(), cpi.begin(), cpi.end());
        for (int i = 0; i < 4; ++i)
            bytes[16 + i] = uint8_t(at >> (24 - 8 * i));
        return bytes;
    };
    // A 3 KB CPI whose one stream asks for the largest tables.
    FieldWriter w;
    w.Begin(32);
    w.Fields({{12, 0}, {4, 1}}).U8(0).U8(1);
    w.Fields({{16, 0x1011}, {10, 0}, {4, 1}, {16, 0xFFFF}, {18, 0x3FFFF}, {32, 14}});
    w.U32(4).Zeros(3000).End();
    EXPECT_EQ(FileToJson(hostile(w.Data())).err, chain);
    ExpectBoundedFailure(hostile(w.Data()), "large.clpi");

    // 255 streams that all point at one table filling the block: each fits, together they do not.
    FieldWriter shared;
    shared.Begin(32);
    shared.Fields({{12, 0}, {4, 1}}).U8(0).U8(255);
    const uint32_t table = 2 + 12 * 255, fine = 700;
    for (int i = 0; i < 255; ++i)
        shared.Fields({{16, 0x1011}, {10, 0}, {4, 1}, {16, 0}, {18, fine}, {32, table}});
    shared.U32(4).Zeros(4 * fine).End();
    EXPECT_EQ(FileToJson(hostile(shared.Data())).err, chain);
    ExpectBoundedFailure(hostile(shared.Data()), "shared.clpi");

    // A fine table address beyond the block, and a block longer than the file.
    FieldWriter beyond;
    beyond.Begin(32);
    beyond.Fields({{12, 0}, {4, 1}}).U8(0).U8(1);
    beyond.Fields({{16, 0x1011}, {10, 0}, {4, 1}, {16, 0}, {18, 2}, {32, 14}});
    beyond.U32(100).Zeros(8).End();
    EXPECT_EQ(FileToJson(hostile(beyond.Data())).err, chain);
    std::vector<uint8_t> cut = beyond.Data();
    cut[3]                   = 200; // the CPI length
    cut[23]                  = 4;   // the fine table right after its address, 2 entries of 4 bytes
    cut.resize(cut.size() - 1);     // the second entry lacks its last byte
    EXPECT_EQ(FileToJson(hostile(cut)).err, chain);
    cut.push_back(0);
    EXPECT_EQ(FileToJson(hostile(cut)).rc, 0);
}

// A down-mix block without entries is written without its array and still converts back
// through its stuffing byte.
TEST(LPCMDownMix, EmptyBlockAndStuffingByte)
{
    Clip c = SampleClip();
    c.ext  = {ExtEntry{1, 2, DownMixBlock({})}};
    EXPECT_NE(Json(c).find(R"("ExtensionData":[{"ID1":1,"ID2":2,)"
                           R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":0}])"),
              std::string::npos);
    ExpectRoundTrip(c);

    // Three entries: 64 bytes with the stuffing byte; a stuffing byte after an even number of
    // entries is not built.
    DownMix plain;
    c.ext = {ExtEntry{1, 2, DownMixBlock({plain, plain, plain}, 9)}};
    EXPECT_EQ(c.ext[0].data.size(), 64u);
    ExpectRoundTrip(c);
    c.ext            = {ExtEntry{1, 2, DownMixBlock({plain, plain})}};
    std::string json = Replaced(Json(c), R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":0)",
                                R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":9)");
    EXPECT_EQ(JsonToFile(json).bytes, ClipFile(c));
}

TEST(ExtentStartPoint, EmptyListAndSurplus)
{
    Clip c           = SampleClip();
    c.ext            = {ExtEntry{2, 4, ExtentBlock({}, 0, 6)}};
    std::string json = Json(c);
    EXPECT_NE(json.find(R"("Extent_Start_Point":{"reserved01":0,"SPN_extent_start":[]})"),
              std::string::npos);
    c.ext = {ExtEntry{2, 4, ExtentBlock({})}}; // the surplus is not rebuilt
    EXPECT_EQ(JsonToFile(json).bytes, ClipFile(c));
    EXPECT_EQ(JsonToFile(Replaced(json, R"(,"SPN_extent_start":[])", "")).bytes, ClipFile(c));
}

TEST(ClipFile, JsonMessageChains)
{
    const std::string entry = "Failed to read JSON array element[0]!\n";
    const std::string stream =
        entry + "Failed to read stream_in_ps!\n" + entry + "Failed to read program_sequence!\n";
    const struct {
        const char *from, *to;
        std::string err;
    } cases[] = {
        {R"("SequenceInfo":{)", R"("Sequence":{)", "failed to read SequenceInfo\n"},
        {R"("CPI_type":1,"EP_map)", R"("EP_map)", "failed to read CPI_type\n"},
        {R"(,"ExtensionData")", R"(,"ClipMark":[],"ExtensionData")", "failed to read ClipMark\n"},
        {R"("ISRC":{"country_code":"JP",)", R"("IS":{"country_code":"JP",)",
         "failed to read ISRC\n" + stream},
        {R"("recording_year":"12")", R"("year":"12")",
         "failed to read recording_year\nfailed to read recording_year!\n" + stream},
        // A missing member stops the block at the next string looked up.
        {R"("Validity_flags":128,)", "", "failed to read Validity_flags\n"},
        {R"("Format_identifier":"HDMV","Network_information":"",)", "",
         "failed to read Format_identifier\n"},
        {R"("EP_stream_type":"Primary audio")", R"("type":3)",
         "failed to read EP_stream_type\nFailed to read JSON array element[1]!\n"
         "Failed to read EP_map_for_one_stream_PID!\nFailed to read EP_map!\n"},
        {R"("down_mix_coefficient_for_ch7_to_left":4,)", "",
         "failed to read down_mix_coefficient_for_ch7_to_left\n" + entry +
             "Failed to read HDMV_LPCM_down_mix_coefficient!\n" + entry},
        {R"("SPN_extent_start":[100,200,300])", R"("SPN_extent_start":5)",
         "failed to read SPN_extent_start\nFailed to read JSON array element[1]!\n"},
        {R"({"reserved01":0,"SPN_extent_start":[100,200,300]})", "[]",
         "failed to read Extent_Start_Point\nFailed to read JSON array element[1]!\n"},
    };
    for (const auto& c : cases) {
        Outcome o = Edited(c.from, c.to);
        EXPECT_EQ(o.rc, 1) << c.from;
        EXPECT_EQ(o.err, c.err) << c.from;
    }

    // ClipMark: any object is accepted and ignored.
    EXPECT_EQ(Edited(R"(,"ExtensionData")", R"(,"ClipMark":{"x":1},"ExtensionData")").bytes,
              ClipFile(SampleClip()));
    // A TS_type_info_block that cannot be read fails ClipInfo, after its lists.
    std::string noBlock =
        Replaced(Json(SampleClip()), R"("TS_type_info_block":{)", R"("TS_type_info":{)");
    EXPECT_EQ(JsonToFile(noBlock).err, "failed to read TS_type_info_block\n");
    EXPECT_EQ(JsonToFile(Replaced(noBlock, R"("ATC_delta":17652147,)", "")).err,
              "failed to read TS_type_info_block\nfailed to read ATC_delta\n" + entry +
                  "Failed to read ATC_delta!\n");
}

// Build refuses a list its count field cannot hold.
TEST(ClipBuild, ListsLongerThanTheirCountsAreRefused)
{
    struct Case {
        std::function<void(CCLPI&)> grow;
        std::string message;
    };
    auto entry = [](CCLPI& c, uint32_t id2) -> CExtDataEntry& {
        for (CExtDataEntry& e : c.ExtensionData.m_entries)
            if (e.ID2 == id2)
                return e;
        return c.ExtensionData.m_entries[0];
    };
    const Case cases[] = {
        {[](CCLPI& c) { c.ClipInfo.ATC_delta.resize(256); },
         "Too many ATC_delta entries: 256 do not fit, at most 255!\n"},
        {[](CCLPI& c) { c.CPI.EP_map.EP_map_for_one_stream_PID.resize(256); },
         "Too many EP_map_for_one_stream_PID entries: 256 do not fit, at most 255!\n"
         "Failed to save EP_map!\n"},
        {[](CCLPI& c) { c.CPI.EP_map.EP_map_for_one_stream_PID[1].EP_fine.resize(262144); },
         "Too many EP_fine entries: 262144 do not fit, at most 262143!\nFailed to save EP_map!\n"},
        {[&](CCLPI& c) {
             entry(c, 4).BlockAs<CExtent_Start_Point>()->SPN_extent_start.resize(65536);
         },
         "Too many SPN_extent_start values: 65536 do not fit, at most 65535!\n"},
    };
    CBDMV base;
    ASSERT_EQ(Parsed(base, ClipFile(SampleClip())).rc, 0);
    for (const Case& k : cases) {
        CBDMV bdmv = base;
        k.grow(bdmv.m_clpi);
        Outcome o = Built(bdmv);
        EXPECT_EQ(o.rc, 1) << k.message;
        EXPECT_EQ(o.err, k.message);
    }
}
