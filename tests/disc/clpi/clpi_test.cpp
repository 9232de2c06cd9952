// Clip information in process: round trips, JSON shape, conditional lists, layout from JSON,
// padding, the ClipMark and StreamCodingInfo quirks, and hostile input.
#include "disc/bdmv.h"
#include "disc/clpi/extension_blocks.h"
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/support/json_support.h"
#include "tests/support/test_support.h"

#include <chrono>
#include <functional>
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

using namespace testing_support;
using namespace clpi_writer;

namespace
{

struct Outcome {
    int rc = 0;
    std::string text; // compact JSON, or the built file
    std::string err;
};

Outcome FileToJson(const std::vector<uint8_t>& bytes)
{
    Outcome o;
    CaptureOutput capture;
    CBDMV bdmv;
    CBitBuffer bb;
    bb.m_bytes = bytes;
    o.rc       = bdmv.Parse(bb);
    if (o.rc == 0)
        o.text = testing_support::CompactJson(bdmv);
    o.err = capture.Err();
    return o;
}

Outcome JsonToFile(const std::string& json, uint32_t padding = 0)
{
    Outcome o;
    CaptureOutput capture;
    CBDMV bdmv;
    bdmv.m_padding = padding;
    JDoc doc;
    doc.Parse(json.c_str());
    EXPECT_FALSE(doc.HasParseError()) << json;
    o.rc = bdmv.ReadJSON(doc, doc);
    if (o.rc == 0) {
        CBitBuffer bb;
        o.rc   = bdmv.Build(bb);
        o.text = ToString(bb.m_bytes);
    }
    o.err = capture.Err();
    return o;
}

// The JSON of a file, which must convert.
std::string Json(const Clip& clip)
{
    Outcome o = FileToJson(ClipFile(clip));
    EXPECT_EQ(o.rc, 0) << o.err;
    return o.text;
}

// The text with every occurrence of from replaced.
std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    for (; at != std::string::npos; at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}
bool StartsWith(const std::string& text, const std::string& part)
{
    return text.rfind(part, 0) == 0;
}

// Binary -> JSON -> binary gives the same bytes, and JSON -> binary -> JSON the same JSON.
void ExpectRoundTrip(const Clip& clip)
{
    std::vector<uint8_t> bytes = ClipFile(clip);
    Outcome json               = FileToJson(bytes);
    ASSERT_EQ(json.rc, 0) << json.err;
    Outcome rebuilt = JsonToFile(json.text);
    ASSERT_EQ(rebuilt.rc, 0) << rebuilt.err;
    EXPECT_EQ(rebuilt.text, ToString(bytes));
    Outcome again = FileToJson(std::vector<uint8_t>(rebuilt.text.begin(), rebuilt.text.end()));
    EXPECT_EQ(again.text, json.text);
    EXPECT_EQ(json.err + rebuilt.err, "");
}

} // namespace

TEST(ClipFile, RoundTripsByteForByte)
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
}

TEST(ClipFile, SurplusBytesInsideBlocksAreSkipped)
{
    // Bytes after the known fields of a block are passed over: the JSON is that of the file
    // without them, and the rebuilt file is the plain one.
    Clip plain                                = SampleClip();
    Clip c                                    = plain;
    c.info.tsSurplus                          = 3;
    c.info.surplus                            = 5;
    c.sequences.surplus                       = 2;
    c.program.surplus                         = 7;
    c.program.sequences[0].streams[0].surplus = 4;
    ASSERT_NE(ClipFile(c), ClipFile(plain));
    EXPECT_EQ(Json(c), Json(plain));
    Outcome rebuilt = JsonToFile(Json(c));
    ASSERT_EQ(rebuilt.rc, 0) << rebuilt.err;
    EXPECT_EQ(rebuilt.text, ToString(ClipFile(plain)));
}

TEST(ClipFile, AbsentBlocksAreRebuiltAndClipMarkContentsDropped)
{
    Clip c      = SampleClip();
    c.absent    = {true, true, false, false};
    c.cpi.empty = true;
    c.clipMark  = std::vector<uint8_t>(100, 0x42);
    c.ext.clear();
    Outcome json = FileToJson(ClipFile(c));
    ASSERT_EQ(json.rc, 0) << json.err;
    EXPECT_FALSE(Contains(json.text, "ClipMark"));
    EXPECT_TRUE(Contains(json.text,
                         R"("SequenceInfo":{"reserved_for_word_align":0,"ATC_sequence":[]},)"
                         R"("ProgramInfo":{"reserved_for_word_align":0,"program_sequence":[]},)"
                         R"("CPI":{"reserved01":0,"CPI_type":0}})"))
        << json.text;

    // Every block is written and addressed: cleared ones, a CPI of length 4 and an empty
    // ClipMark; no ExtensionData and its address 0.
    Clip expected      = c;
    expected.absent    = {};
    expected.sequences = Sequences();
    expected.program   = Program();
    expected.cpi       = Cpi();
    expected.cpi.type  = 0;
    expected.clipMark.clear();
    Outcome rebuilt = JsonToFile(json.text);
    ASSERT_EQ(rebuilt.rc, 0) << rebuilt.err;
    EXPECT_EQ(rebuilt.text, ToString(ClipFile(expected)));
}

TEST(ClipFile, PaddingAlignsEveryBlockAndTheEnd)
{
    Clip c           = SampleClip();
    std::string json = Json(c);
    Outcome built    = JsonToFile(json, 2048);
    ASSERT_EQ(built.rc, 0) << built.err;
    c.padding = 2048;
    EXPECT_EQ(built.text, ToString(ClipFile(c)));
    EXPECT_EQ(built.text.size() % 2048, 0u);
}

// The exact JSON of a small clip is checked through Varnel; here the rest of the groups and
// the ExtensionData blocks.
TEST(ClipFile, JsonMembersAndNames)
{
    std::string json = Json(SampleClip());
    EXPECT_TRUE(Contains(
        json,
        R"({"stream_PID":4352,"stream_coding_type":"LPCM","audio_presentation_type":"Stereo",)"
        R"("sampling_frequency":"48 kHz","language_code":"jpn","ISRC":{"country_code":"",)"
        R"("copyright_holder":"","recording_year":"","recording_number":""},"reserved03":0},)"
        R"({"stream_PID":4353,"stream_coding_type":"DTS-HD MA",)"
        R"("audio_presentation_type":"Multi Channel","sampling_frequency":"48/192 kHz",)"))
        << json;
    EXPECT_TRUE(Contains(json,
                         R"({"stream_PID":4608,"stream_coding_type":"PGS","language_code":"eng",)"
                         R"("reserved01":0,"ISRC":)"));
    EXPECT_TRUE(Contains(json,
                         R"({"stream_PID":6144,"stream_coding_type":"Text Subtitle","char_code":1,)"
                         R"("language_code":"fra","ISRC":)"));
    EXPECT_TRUE(
        Contains(json, R"({"stream_PID":4117,"stream_coding_type":"H.265","video_format":"2160p",)"
                       R"("frame_rate":"50","aspect_ratio":"16:9",)"));
    EXPECT_TRUE(Contains(json,
                         R"("ExtensionData":[{"ID1":1,"ID2":2,"HDMV_LPCM_down_mix_coefficient":[)"
                         R"({"ref_to_stream_index":1,"mixing_phase_for_ch1_to_left":1,)"
                         R"("mixing_phase_for_ch2_to_left":0,)"))
        << json;
    EXPECT_TRUE(Contains(
        json, R"("down_mix_coefficient_for_ch8_to_right":13}],)"
              R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":0},)"
              R"({"ID1":2,"ID2":4,"Extent_Start_Point":{"reserved01":0,)"
              R"("SPN_extent_start":[100,200,300]}},{"ID1":2,"ID2":5,"ProgramInfo_SS":{)"
              R"("reserved_for_word_align":0,"program_sequence":[{"SPN_program_sequence_start":0,)"
              R"("program_map_PID":256,"reserved01":0,"stream_in_ps":[{"stream_PID":4114,)"
              R"("stream_coding_type":"MVC",)"))
        << json;
    EXPECT_TRUE(Contains(json, R"({"ID1":2,"ID2":6,"CPI_SS":{"reserved01":0,"CPI_type":1,)"
                               R"("EP_map_for_one_stream_PID":[{"stream_PID":4114,)"));
    EXPECT_TRUE(Contains(json, R"({"ID1":3,"ID2":7,"data_block":[1,2,3,4,5]}]}})"));
}

TEST(ClipInfo, ListsFollowTheirConditions)
{
    Clip c            = SampleClip();
    c.info.isAtcDelta = 0;
    std::string json  = Json(c);
    EXPECT_FALSE(Contains(json, "reserved04"));
    EXPECT_FALSE(Contains(json, "\"ATC_delta\""));
    EXPECT_FALSE(Contains(json, "font_file"));
    ExpectRoundTrip(c);

    // Lists in JSON whose condition does not hold are neither read nor built; 5 reads as 1.
    std::string withList =
        Replace(Json(SampleClip()), R"("is_ATC_delta":1)", R"("is_ATC_delta":0)");
    withList      = Replace(withList, R"("application_type":1)", R"("application_type":2)");
    withList      = Replace(withList, R"("reserved04":0,)",
                            R"("reserved05":9,"font_file":[{}],"reserved04":0,)");
    Clip expected = SampleClip();
    expected.info.isAtcDelta      = 0;
    expected.info.applicationType = 2;
    Outcome built                 = JsonToFile(withList);
    ASSERT_EQ(built.rc, 0) << built.err;
    EXPECT_EQ(built.text, ToString(ClipFile(expected)));

    std::string five = Replace(Json(SampleClip()), R"("is_ATC_delta":1)", R"("is_ATC_delta":5)");
    built            = JsonToFile(five);
    EXPECT_EQ(built.text, ToString(ClipFile(SampleClip())));

    // Fonts of application type 6, also an empty list with its count byte.
    c.info.applicationType = 6;
    c.info.fonts           = {Font{"00011", 0}, Font{"00012", 1}};
    EXPECT_TRUE(Contains(
        Json(c), R"("reserved05":0,"font_file":[{"font_file_name":"00011","reserved01":0},)"));
    ExpectRoundTrip(c);
    c.info.fonts.clear();
    EXPECT_TRUE(Contains(Json(c), R"("reserved05":0,"font_file":[]})"));
    ExpectRoundTrip(c);
}

TEST(ClipInfo, FixedWidthTextFields)
{
    Clip c = SampleClip();
    std::string json =
        Replace(Json(c), R"("Clip_codec_identifier":"M2TS")", R"("Clip_codec_identifier":"M2")");
    json          = Replace(json, R"("Stream_format_name":"")",
                            R"("Stream_format_name":"ABCDEFGHIJKLMNOPQRST")");
    json          = Replace(json, R"("Network_information":"")", R"("Network_information":"net")");
    Outcome built = JsonToFile(json);
    ASSERT_EQ(built.rc, 0) << built.err;
    c.info.atcDeltas[0].codec = "M2";
    c.info.formatName         = "ABCDEFGHIJKLMNOP";
    c.info.network            = "net";
    EXPECT_EQ(built.text, ToString(ClipFile(c)));
    // All 4 bytes of a codec identifier; the text fields up to their first zero byte.
    std::string back = Json(c);
    EXPECT_TRUE(Contains(back, R"("Clip_codec_identifier":"M2\u0000\u0000")")) << back;
    EXPECT_TRUE(
        Contains(back, R"("Network_information":"net","Stream_format_name":"ABCDEFGHIJKLMNOP")"));

    // reserved_header: at most 12 values kept, the rest zero.
    json             = Replace(Json(SampleClip()), R"("reserved_header":[0])",
                               R"("reserved_header":[1,2,3,4,5,6,7,8,9,10,11,12,13,14])");
    built            = JsonToFile(json);
    c                = SampleClip();
    c.reservedHeader = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(built.text, ToString(ClipFile(c)));
}

TEST(StreamCodingInfo, UnknownAndDraCodesAndSurplus)
{
    Clip c             = SampleClip();
    auto& streams      = c.program.sequences[0].streams;
    Stream unknown     = Video(0x06, 1, 2, 3, 1, 0x1300);
    unknown.isrc       = std::string("XY\0\0\0\0\0\0\0\0\0\0", 12);
    unknown.reserved03 = 7;
    streams            = {unknown};
    // File side: the 4 bytes, the ISRC and reserved03 are kept silently and rebuilt.
    std::vector<uint8_t> bytes = ClipFile(c);
    {
        CaptureOutput capture;
        CBDMV bdmv;
        CBitBuffer bb, out;
        bb.m_bytes = bytes;
        ASSERT_EQ(bdmv.Parse(bb), 0);
        ASSERT_EQ(bdmv.Build(out), 0);
        EXPECT_EQ(out.m_bytes, bytes);
        EXPECT_EQ(capture.Err(), "");
    }
    // JSON carries the coding type alone and cannot be read back.
    std::string json = Json(c);
    EXPECT_TRUE(Contains(json, R"("stream_in_ps":[{"stream_PID":4864,"stream_coding_type":"?"}])"))
        << json;
    EXPECT_EQ(JsonToFile(json).rc, 1);

    // DRA is audio in the file but unknown to JSON.
    streams = {Audio(0x87, 3, 1, "chi", 0x1100), Audio(0x88, 3, 1, "chi", 0x1101)};
    json    = Json(c);
    EXPECT_TRUE(Contains(json, R"("stream_in_ps":[{"stream_PID":4352,"stream_coding_type":"DRA"},)"
                               R"({"stream_PID":4353,"stream_coding_type":"DRA Extension"}])"))
        << json;
    EXPECT_EQ(JsonToFile(json).rc, 1); // the message chain is checked through Varnel

    // A longer block is skipped to its end and rebuilt with length 21.
    Stream longer      = Audio(0x81, 6, 1, "eng", 0x1100);
    longer.surplus     = 3;
    streams            = {longer};
    json               = Json(c);
    streams[0].surplus = 0;
    EXPECT_EQ(JsonToFile(json).text, ToString(ClipFile(c)));
}

TEST(StreamCodingInfo, IsrcFromJson)
{
    Clip c           = SampleClip();
    auto& video      = c.program.sequences[0].streams[0];
    video.isrc       = std::string("J\0ABC12345\0\0", 12);
    std::string json = Json(c);
    EXPECT_TRUE(Contains(json, R"("ISRC":{"country_code":"J","copyright_holder":"ABC",)"
                               R"("recording_year":"12","recording_number":"345"})"))
        << json;
    ExpectRoundTrip(c);

    // A stream without its ISRC, or with one string missing.
    std::string noIsrc = Replace(Json(SampleClip()), R"("ISRC":{"country_code":"JP",)",
                                 R"("IS":{"country_code":"JP",)");
    Outcome failed     = JsonToFile(noIsrc);
    EXPECT_EQ(failed.rc, 1);
    EXPECT_TRUE(
        StartsWith(failed.err, "failed to read ISRC\nFailed to read JSON array element[0]!\n"));
    std::string noYear = Replace(Json(SampleClip()), R"("recording_year":"12")", R"("year":"12")");
    failed             = JsonToFile(noYear);
    EXPECT_TRUE(StartsWith(failed.err,
                           "failed to read recording_year\nfailed to read recording_year!\n"
                           "Failed to read JSON array element[0]!\n"));
}

TEST(EPMap, TableAddressesFromJson)
{
    // Two streams of 3 coarse and 10 fine entries: 26 bytes of header, the first table at 26
    // with its fine table 28 bytes in, the second table at 26 + 28 + 40 = 94.
    Clip c = SampleClip();
    EpStream s;
    for (uint32_t i = 0; i < 3; ++i)
        s.coarse.push_back({{i, i + 1, 1000 * i}});
    for (uint32_t i = 0; i < 10; ++i)
        s.fine.push_back({{i % 2, i % 8, i, 100 * i}});
    EpStream t    = s;
    t.pid         = 0x1100;
    c.cpi.streams = {s, t};
    Outcome built = JsonToFile(Json(c));
    ASSERT_EQ(built.rc, 0) << built.err;
    EXPECT_EQ(built.text, ToString(ClipFile(c)));
    const std::string& b = built.text;
    auto at32            = [&](size_t at) {
        return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
               uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
    };
    size_t map = at32(16) + 4 + 2; // the CPI's address, its length and CPI_type
    EXPECT_EQ(at32(map + 2 + 8), 26u);
    EXPECT_EQ(at32(map + 14 + 8), 94u);
    EXPECT_EQ(at32(map + 26), 28u);
    EXPECT_EQ(at32(map + 94), 28u);

    // Tables stored in another order and with gaps parse alike; Build lays them out in order.
    Clip scattered                   = c;
    scattered.cpi.reverseTables      = true;
    scattered.cpi.tableGap           = 6;
    scattered.cpi.streams[0].fineGap = 8;
    Outcome json                     = FileToJson(ClipFile(scattered));
    EXPECT_EQ(json.text, Json(c));
    EXPECT_EQ(JsonToFile(json.text).text, ToString(ClipFile(c)));

    // No streams: no member, a map of two bytes; an empty fine table has no member and its
    // address right after the coarse entries.
    Clip empty = SampleClip();
    empty.ext.clear();
    empty.cpi.streams = {};
    EXPECT_TRUE(Contains(Json(empty), R"("CPI":{"reserved01":0,"CPI_type":1}}})"));
    ExpectRoundTrip(empty);
    empty.cpi.streams = {s};
    empty.cpi.streams[0].fine.clear();
    EXPECT_FALSE(Contains(Json(empty), "\"EP_fine\""));
    ExpectRoundTrip(empty);
}

TEST(EPMap, StreamTypeFromJson)
{
    // Read through the name parser; the field keeps the low 4 bits of a negative number.
    Clip c                = SampleClip();
    std::string json      = Json(c);
    Outcome built         = JsonToFile(Replace(json, R"("EP_stream_type":"Primary audio")",
                                               R"("EP_stream_type":"secondary AUDIO")"));
    c.cpi.streams[1].type = 4;
    EXPECT_EQ(built.text, ToString(ClipFile(c)));
    built = JsonToFile(
        Replace(json, R"("EP_stream_type":"Primary audio")", R"("EP_stream_type":"-3")"));
    c.cpi.streams[1].type = 13;
    EXPECT_EQ(built.text, ToString(ClipFile(c)));

    Outcome missing =
        JsonToFile(Replace(json, R"("EP_stream_type":"Primary audio")", R"("type":3)"));
    EXPECT_EQ(missing.err, "failed to read EP_stream_type\n"
                           "Failed to read JSON array element[1]!\n"
                           "Failed to read EP_map_for_one_stream_PID!\n"
                           "Failed to read EP_map!\n");
}

// Sound behaviour 1: counts and addresses of the EP map cannot make the parse allocate beyond
// what the CPI block holds.
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
    auto start = std::chrono::steady_clock::now();

    // A 3 KB CPI whose one stream asks for the largest tables.
    FieldWriter w;
    w.Begin(32);
    w.Fields({{12, 0}, {4, 1}}).U8(0).U8(1);
    w.Fields({{16, 0x1011}, {10, 0}, {4, 1}, {16, 0xFFFF}, {18, 0x3FFFF}, {32, 14}});
    w.U32(4).Zeros(3000).End();
    Outcome o = FileToJson(hostile(w.Data()));
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, chain);

    // 255 streams that all point at one table filling the block: each fits, together they do not.
    FieldWriter shared;
    shared.Begin(32);
    shared.Fields({{12, 0}, {4, 1}}).U8(0).U8(255);
    const uint32_t table = 2 + 12 * 255, fine = 700;
    for (int i = 0; i < 255; ++i)
        shared.Fields({{16, 0x1011}, {10, 0}, {4, 1}, {16, 0}, {18, fine}, {32, table}});
    shared.U32(4).Zeros(4 * fine).End();
    o = FileToJson(hostile(shared.Data()));
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, chain);
    testing_support::ExpectBoundedFailure(hostile(w.Data()), "large.clpi");
    testing_support::ExpectBoundedFailure(hostile(shared.Data()), "shared.clpi");

    // A fine table address beyond the block, and a block longer than the file.
    FieldWriter beyond;
    beyond.Begin(32);
    beyond.Fields({{12, 0}, {4, 1}}).U8(0).U8(1);
    beyond.Fields({{16, 0x1011}, {10, 0}, {4, 1}, {16, 0}, {18, 2}, {32, 14}});
    beyond.U32(100).Zeros(8).End();
    o = FileToJson(hostile(beyond.Data()));
    EXPECT_EQ(o.err, chain);
    std::vector<uint8_t> cut = beyond.Data();
    cut[3]                   = 200; // the CPI length
    cut[23]                  = 4;   // the fine table right after its address, 2 entries of 4 bytes
    cut.resize(cut.size() - 1);     // the second entry lacks its last byte
    o = FileToJson(hostile(cut));
    EXPECT_EQ(o.err, chain);
    cut.push_back(0);
    o = FileToJson(hostile(cut));
    EXPECT_EQ(o.rc, 0) << o.err;

    EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 2.0);
}

// Sound behaviour 2: a down-mix block without entries is written without its array and still
// converts back through its stuffing byte.
TEST(LPCMDownMix, EmptyBlockAndStuffingByte)
{
    Clip c           = SampleClip();
    c.ext            = {ExtEntry{1, 2, DownMixBlock({})}};
    std::string json = Json(c);
    EXPECT_TRUE(Contains(json, R"("ExtensionData":[{"ID1":1,"ID2":2,)"
                               R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":0}])"))
        << json;
    ExpectRoundTrip(c);

    // Three entries: 64 bytes with the stuffing byte; a stuffing byte after an even number of
    // entries is not built.
    DownMix plain;
    c.ext = {ExtEntry{1, 2, DownMixBlock({plain, plain, plain}, 9)}};
    EXPECT_EQ(c.ext[0].data.size(), 64u);
    ExpectRoundTrip(c);

    c.ext = {ExtEntry{1, 2, DownMixBlock({plain, plain})}};
    json  = Replace(Json(c), R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":0)",
                    R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":9)");
    EXPECT_EQ(JsonToFile(json).text, ToString(ClipFile(c)));

    // A missing coefficient names its key.
    json = Replace(Json(c), R"("down_mix_coefficient_for_ch7_to_left":0,)", "");
    EXPECT_TRUE(StartsWith(JsonToFile(json).err,
                           "failed to read down_mix_coefficient_for_ch7_to_left\n"
                           "Failed to read JSON array element[0]!\n"
                           "Failed to read HDMV_LPCM_down_mix_coefficient!\n"));
}

TEST(ExtentStartPoint, ListAndMessages)
{
    Clip c           = SampleClip();
    c.ext            = {ExtEntry{2, 4, ExtentBlock({}, 0, 6)}};
    std::string json = Json(c);
    EXPECT_TRUE(Contains(json, R"("Extent_Start_Point":{"reserved01":0,"SPN_extent_start":[]})"))
        << json;
    c.ext = {ExtEntry{2, 4, ExtentBlock({})}}; // the surplus is not rebuilt
    EXPECT_EQ(JsonToFile(json).text, ToString(ClipFile(c)));
    EXPECT_EQ(JsonToFile(Replace(json, R"(,"SPN_extent_start":[])", "")).text,
              ToString(ClipFile(c)));

    Outcome o = JsonToFile(Replace(json, R"("SPN_extent_start":[])", R"("SPN_extent_start":5)"));
    EXPECT_EQ(o.err, "failed to read SPN_extent_start\nFailed to read JSON array element[0]!\n");
    o = JsonToFile(Replace(json, R"("Extent_Start_Point":{"reserved01":0,"SPN_extent_start":[]})",
                           R"("Extent_Start_Point":[])"));
    EXPECT_EQ(o.err, "failed to read Extent_Start_Point\nFailed to read JSON array element[0]!\n");
}

TEST(ClipFile, JsonMessageChains)
{
    std::string json = Json(SampleClip());
    auto cut         = [&](const std::string& from, const std::string& to) {
        return JsonToFile(Replace(json, from, to));
    };
    Outcome o = cut(R"("SequenceInfo":{)", R"("Sequence":{)");
    EXPECT_EQ(o.err, "failed to read SequenceInfo\n");
    o = cut(R"("CPI_type":1,"EP_map)", R"("EP_map)");
    EXPECT_EQ(o.err, "failed to read CPI_type\n");

    // ClipMark: any object is accepted and ignored, anything else fails the read.
    o = cut(R"(,"ExtensionData")", R"(,"ClipMark":{"x":1},"ExtensionData")");
    EXPECT_EQ(o.rc, 0) << o.err;
    EXPECT_EQ(o.text, ToString(ClipFile(SampleClip())));
    o = cut(R"(,"ExtensionData")", R"(,"ClipMark":[],"ExtensionData")");
    EXPECT_EQ(o.err, "failed to read ClipMark\n");
}

// Sound behaviour 4: a TS_type_info_block that cannot be read fails ClipInfo, after its lists.
TEST(ClipInfo, UnreadableTypeInfoBlockFailsAfterTheLists)
{
    std::string json    = Json(SampleClip());
    std::string noBlock = Replace(json, R"("TS_type_info_block":{)", R"("TS_type_info":{)");
    noBlock             = Replace(noBlock, R"("ATC_delta":17652147,)", "");
    Outcome o           = JsonToFile(noBlock);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "failed to read TS_type_info_block\n"
                     "failed to read ATC_delta\n"
                     "Failed to read JSON array element[0]!\n"
                     "Failed to read ATC_delta!\n");
    o = JsonToFile(Replace(json, R"("TS_type_info_block":{)", R"("TS_type_info":{)"));
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "failed to read TS_type_info_block\n");

    // A missing member stops the block at the next string looked up.
    o = JsonToFile(Replace(json, R"("Validity_flags":128,)", ""));
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "failed to read Validity_flags\n");
    o = JsonToFile(Replace(json, R"("Format_identifier":"HDMV","Network_information":"",)", ""));
    EXPECT_EQ(o.err, "failed to read Format_identifier\n");
}

// Sound behaviour 3: Build refuses a list its count field cannot hold.
TEST(ClipBuild, ListsLongerThanTheirCountsAreRefused)
{
    std::string json = Json(SampleClip());
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
        {[](CCLPI& c) { c.ClipInfo.application_type = 6, c.ClipInfo.font_file.resize(256); },
         "Too many font_file entries: 256 do not fit, at most 255!\n"},
        {[](CCLPI& c) { c.SequenceInfo.ATC_sequence.resize(256); },
         "Too many ATC_sequence entries: 256 do not fit, at most 255!\n"},
        {[](CCLPI& c) { c.ProgramInfo.program_sequence.resize(256); },
         "Too many program_sequence entries: 256 do not fit, at most 255!\n"},
        {[](CCLPI& c) { c.ProgramInfo.program_sequence[0].stream_in_ps.resize(256); },
         "Too many stream_in_ps entries: 256 do not fit, at most 255!\n"},
        {[](CCLPI& c) { c.CPI.EP_map.EP_map_for_one_stream_PID.resize(256); },
         "Too many EP_map_for_one_stream_PID entries: 256 do not fit, at most 255!\n"
         "Failed to save EP_map!\n"},
        {[](CCLPI& c) { c.CPI.EP_map.EP_map_for_one_stream_PID[0].EP_coarse.resize(65536); },
         "Too many EP_coarse entries: 65536 do not fit, at most 65535!\nFailed to save EP_map!\n"},
        {[](CCLPI& c) { c.CPI.EP_map.EP_map_for_one_stream_PID[1].EP_fine.resize(262144); },
         "Too many EP_fine entries: 262144 do not fit, at most 262143!\nFailed to save EP_map!\n"},
        {[&](CCLPI& c) {
             entry(c, 4).BlockAs<CExtent_Start_Point>()->SPN_extent_start.resize(65536);
         },
         "Too many SPN_extent_start values: 65536 do not fit, at most 65535!\n"},
        {[&](CCLPI& c) {
             entry(c, 2).BlockAs<CLPCMDownMix>()->HDMV_LPCM_down_mix_coefficient.resize(65536);
         },
         "Too many HDMV_LPCM_down_mix_coefficient entries: 65536 do not fit, at most 65535!\n"},
    };
    for (const Case& k : cases) {
        CBDMV bdmv;
        JDoc doc;
        doc.Parse(json.c_str());
        ASSERT_EQ(bdmv.ReadJSON(doc, doc), 0);
        k.grow(bdmv.m_clpi);
        CaptureOutput capture;
        CBitBuffer bb;
        int rc = bdmv.Build(bb);
        capture.Stop();
        EXPECT_EQ(rc, 1) << k.message;
        EXPECT_EQ(capture.Err(), k.message);
    }
}
