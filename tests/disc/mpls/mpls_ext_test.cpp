// Playlist ExtensionData blocks: STN_table_SS, SubPath extensions, the active video window
// and picture-in-picture metadata, in process and through the programs.
#include "disc/bdmv.h"
#include "disc/mpls/pip_metadata.h"
#include "disc/mpls/stn_table_ss.h"
#include "disc/mpls/subpath_extension.h"
#include "tests/disc/mpls/mpls_ext_writer.h"
#include "tests/support/json_support.h"
#include "tests/support/test_support.h"

#include <chrono>
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

using namespace mpls_writer;
using namespace testing_support;

namespace
{

int ParseBytes(CBDMV& bdmv, const std::vector<uint8_t>& bytes)
{
    CBitBuffer bb;
    bb.m_bytes = bytes;
    return bdmv.Parse(bb);
}

std::string Compact(const JValue& v)
{
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return std::string(sb.GetString(), sb.GetSize());
}

std::string ExtJson(CBDMV& bdmv)
{
    JDoc doc;
    testing_support::WrittenJson(bdmv, doc);
    return Compact(doc["MPLS"]["ExtensionData"]);
}

// Binary -> JSON text -> binary; rc receives the JSON reading's result.
std::vector<uint8_t> ThroughJson(const std::vector<uint8_t>& bytes, const std::string& edit = "",
                                 const std::string& with = "", int* rc = nullptr)
{
    CBDMV a, b;
    EXPECT_EQ(ParseBytes(a, bytes), 0);
    std::string text = testing_support::CompactJson(a);
    if (!edit.empty()) {
        size_t at = text.find(edit);
        EXPECT_NE(at, std::string::npos) << edit;
        if (at != std::string::npos)
            text.replace(at, edit.size(), with);
    }
    JDoc in;
    in.Parse(text.c_str());
    int r = b.ReadJSON(in, in);
    if (rc)
        *rc = r;
    else
        EXPECT_EQ(r, 0);
    CBitBuffer out;
    if (r == 0) {
        EXPECT_EQ(b.Build(out), 0);
    }
    return out.m_bytes;
}

// A 3D playlist: the first PlayItem with an MVC dependent view, two PG streams (one
// stereoscopic with top and bottom AS variants) plus a PiP PG entry and a stereoscopic IG
// stream; the second PlayItem without streams.
Playlist ThreeD()
{
    Playlist p;
    PlayItem first, second;
    first.out         = 45000 * 10;
    second.out        = 45000 * 10;
    first.stn.video   = {Video(0x1B, 6, 1, 0x1011)};
    first.stn.pg      = {Graphics(0x90, "eng", 0x1200), Graphics(0x90, "jpn", 0x1201),
                         Graphics(0x90, "fra", 0x1202)};
    first.stn.pipPlus = 1;
    first.stn.ig      = {Graphics(0x91, "eng", 0x1400)};
    p.items           = {first, second};

    STNSSItem ss;
    ss.fixed = 1;
    ss.mvc   = {MvcStream()};
    PGStreamSS stereo;
    stereo.ref = 1, stereo.dialog = 1, stereo.ss = stereo.top = stereo.bottom = true;
    stereo.left = Pid(0x12A0), stereo.right = Pid(0x12A1);
    stereo.topEntry    = FromSubPath(Pid(0x12A2), 3, 1, 0);
    stereo.bottomEntry = Pid(0x12A3);
    stereo.ssRef = 2, stereo.topRef = 3, stereo.bottomRef = 4;
    PGStreamSS flat;
    flat.ref = 5;
    ss.pg    = {stereo, flat};
    IGStreamSS ig;
    ig.ref = 6, ig.direction = 1, ig.value = 0x55, ig.reserved01 = 7, ig.reserved02 = 9;
    ig.ss = true, ig.left = Pid(0x14A0), ig.right = Pid(0x14A1), ig.ssRef = 8;
    ss.ig = {ig};
    p.ext = {{2, 1, STNTableSSBlock({ss, STNSSItem()})}};
    return p;
}

} // namespace

TEST(STNTableSS, ThreeDPlaylistRoundTripsAndEveryEntryKeepsItsKeys)
{
    std::vector<uint8_t> bytes = PlaylistFile(ThreeD());
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, bytes), 0);
    const CSTNTableSS& ss = *bdmv.m_mpls.ExtensionData.m_entries[0].BlockAs<CSTNTableSS>();
    ASSERT_EQ(ss.m_playItems.size(), 2u);
    EXPECT_EQ(ss.m_playItems[0].m_pgStreams.size(), 2u) << "the PiP PG entry has no element";

    std::string json = ExtJson(bdmv);
    EXPECT_EQ(json,
              R"([{"ID1":2,"ID2":1,"STN_Table_SS":{"STN_table_SS_for_PlayItem":[)"
              R"({"reserved01":0,"Fixed_offset_during_PopUp_flag":1,)"
              R"("MVC_Dependent_view_video_stream":[{"type":2,"subpath_id":0,"subclip_id":0,)"
              R"("pid":4114,"stream_coding_type":"MVC","video_format":"1080p",)"
              R"("frame_rate":"23.976","reserved01":0,"reserved02":0,)"
              R"("number_of_offset_sequences":3}],)"
              R"("PG_stream":[{"PG_textST_offset_sequence_id_ref":1,"reserved01":0,)"
              R"("dialog_region_offset_valid_flag":1,"is_SS_PG":1,"is_top_AS_PG_textST":1,)"
              R"("is_bottom_AS_PG_textST":1,"type":1,"pid":4768,)"
              R"("PG_textST_stream_entry_SS_PG_R":{"type":1,"pid":4769},)"
              R"("SS_PG_offset_sequence_id_ref":2,)"
              R"("PG_textST_stream_entry_top_AS_PG":{"type":3,"subpath_id":1,"pid":4770},)"
              R"("top_AS_PG_textST_offset_sequence_id_ref":3,)"
              R"("PG_textST_stream_entry_bottom_AS_PG":{"type":1,"pid":4771},)"
              R"("bottom_AS_PG_textST_offset_sequence_id_ref":4},)"
              R"({"PG_textST_offset_sequence_id_ref":5,"reserved01":0,)"
              R"("dialog_region_offset_valid_flag":0,"is_SS_PG":0,"is_top_AS_PG_textST":0,)"
              R"("is_bottom_AS_PG_textST":0}],)"
              R"("IG_stream":[{"IG_offset_sequence_id_ref":6,)"
              R"("IG_Plane_offset_direction_during_BB_video_flag":1,)"
              R"("IG_Plane_offset_value_during_BB_video":85,"reserved01":7,"reserved02":9,)"
              R"("is_SS_IG":1,"type":1,"pid":5280,"IG_stream_entry_SS_PG_R":{"type":1,"pid":5281},)"
              R"("SS_IG_offset_sequence_id_ref":8}]},)"
              R"({"reserved01":0,"Fixed_offset_during_PopUp_flag":0,)"
              R"("MVC_Dependent_view_video_stream":[],"PG_stream":[],"IG_stream":[]}]}}])");
    EXPECT_EQ(ThroughJson(bytes), bytes);
}

TEST(STNTableSS, FlatJsonOfEarlierOutputStillReads)
{
    // Every entry written flat under the same keys: each further entry takes the flat keys.
    std::vector<uint8_t> bytes = PlaylistFile(ThreeD());
    std::vector<uint8_t> rebuilt =
        ThroughJson(bytes, R"("IG_stream_entry_SS_PG_R":{"type":1,"pid":5281},)", "");
    // The right IG entry becomes a copy of the left one.
    EXPECT_NE(rebuilt, bytes);
    CBDMV b;
    ASSERT_EQ(ParseBytes(b, rebuilt), 0);
    const CIGStreamSS& ig =
        b.m_mpls.ExtensionData.m_entries[0].BlockAs<CSTNTableSS>()->m_playItems[0].m_igStreams[0];
    EXPECT_EQ(ig.SS_IG_L.pid, 0x14A0u);
    EXPECT_EQ(ig.SS_IG_R.pid, 0x14A0u);
}

TEST(STNTableSS, PaddingAndDroppedBytes)
{
    // One PG element without flags: 6 bytes, built as 8 with length 6. The byte before each
    // offset reference is rebuilt as 0.
    Playlist p;
    PlayItem item;
    item.stn.pg = {Graphics(0x90, "eng", 0x1200)};
    p.items     = {item};
    STNSSItem ss;
    ss.pg = {PGStreamSS()};
    p.ext = {{2, 1, STNTableSSBlock({ss})}};
    EXPECT_EQ(p.ext[0].data, Hex("0006 0000 0000 0000"));
    EXPECT_EQ(ThroughJson(PlaylistFile(p)), PlaylistFile(p));

    PGStreamSS top;
    top.top = true, top.topEntry = Pid(0x1200), top.topRef = 9, top.droppedByte = 0xEE;
    ss.pg                      = {top};
    p.ext                      = {{2, 1, STNTableSSBlock({ss})}};
    std::vector<uint8_t> bytes = PlaylistFile(p);
    top.droppedByte            = 0;
    ss.pg                      = {top};
    Playlist expected          = p;
    expected.ext               = {{2, 1, STNTableSSBlock({ss})}};
    EXPECT_EQ(ThroughJson(bytes), PlaylistFile(expected));
}

TEST(STNTableSS, MessageChains)
{
    std::vector<uint8_t> bytes = PlaylistFile(ThreeD());
    int rc                     = 0;
    {
        CaptureOutput cap;
        ThroughJson(bytes, R"(,"IG_stream":[])", "", &rc);
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(cap.Err(), "Failed to read IG_stream!\n"
                             "Failed to read JSON array element[1]!\n"
                             "Failed to read STN_table_SS_for_PlayItem!\n"
                             "Failed to read JSON array element[0]!\n");
    }
    {
        CaptureOutput cap;
        ThroughJson(bytes, R"("STN_Table_SS":{"STN_table_SS_for_PlayItem":)",
                    R"("STN_Table_SS":5,"x":{"STN_table_SS_for_PlayItem":)", &rc);
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(cap.Err(),
                  "failed to read STN_Table_SS\nFailed to read JSON array element[0]!\n");
    }
    {
        CaptureOutput cap;
        ThroughJson(bytes, R"("is_SS_PG":1,)", "", &rc);
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(cap.Err(), "failed to read is_SS_PG\n"
                             "Failed to read PG_textST_stream_entry!\n"
                             "Failed to read JSON array element[0]!\n"
                             "Failed to load PG_stream!\n"
                             "Failed to read JSON array element[0]!\n"
                             "Failed to read STN_table_SS_for_PlayItem!\n"
                             "Failed to read JSON array element[0]!\n");
    }
    {
        CaptureOutput cap;
        ThroughJson(bytes, R"("SS_IG_offset_sequence_id_ref":8)", R"("x":8)", &rc);
        EXPECT_EQ(rc, 1);
        EXPECT_EQ(cap.Err().substr(0, 39), "failed to read SS_IG_offset_sequence_id");
    }
}

TEST(SubPathExtension, RoundTripPaddingAndListing)
{
    Playlist p;
    PlayItem item;
    item.out = 45000 * 10;
    p.items  = {item};
    SubPath dependent;
    dependent.type = 8;
    SubPlayItem spi;
    spi.clip                   = {"00002", "M2TS", 0};
    spi.out                    = 45000 * 10;
    dependent.items            = {spi};
    p.ext                      = {{2, 2, SubPathExtensionBlock({dependent})}};
    std::vector<uint8_t> bytes = PlaylistFile(p);
    EXPECT_EQ(bytes.size() % 4, 0u);
    EXPECT_EQ(ThroughJson(bytes), bytes);

    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, bytes), 0);
    EXPECT_EQ(
        ExtJson(bdmv),
        R"([{"ID1":2,"ID2":2,"SubPath_extension":[{"reserved01":0,"SubPath_type":8,)"
        R"("reserved02":0,"is_repeat_SubPath":0,"reserved03":0,"SubPlayItem":[{)"
        R"("Clip_Information_file_name":"00002","Clip_codec_identifier":"M2TS",)"
        R"("ref_to_STC_id":0,"reserved01":0,"is_multi_Clip_entries":0,)"
        R"("sp_connection_condition":1,"SubPlayItem_IN_time":0,"SubPlayItem_OUT_time":450000,)"
        R"("sync_PlayItem_id":0,"sync_start_PTS_of_PlayItem":0}]}]}])");

    // An empty list: 4 length bytes, a zero count and 2 padding bytes.
    p.ext = {{2, 2, SubPathExtensionBlock({})}};
    EXPECT_EQ(p.ext[0].data, Hex("00000004 0000 0000"));
    EXPECT_EQ(ThroughJson(PlaylistFile(p)), PlaylistFile(p));

    p.ext = {{2, 2, SubPathExtensionBlock({dependent, dependent})}};
    TempDir dir;
    WriteFile(dir.File("x.mpls"), PlaylistFile(p));
    RunResult r = RunCorbit({"x.mpls"}, dir.Path());
    EXPECT_EQ(r.status, 0);
    const std::string tail =
        "    (extension)\n"
        "    SubPath[%u] (MPEG-4 MVC Dependent view video stream for Stereoscopic O...):\n"
        "    SubPlayList:\n"
        "        00002.M2TS -- Duration:    0:10\n"
        "\n";
    std::string expected = tail + tail;
    expected.replace(expected.find("%u"), 2, "0");
    expected.replace(expected.find("%u"), 2, "1");
    ASSERT_GE(r.out.size(), expected.size());
    EXPECT_EQ(r.out.substr(r.out.size() - expected.size()), expected);

    CaptureOutput cap;
    int rc = 0;
    ThroughJson(PlaylistFile(p), R"("SubPath_extension":)", R"("SubPath_extensions":)", &rc);
    EXPECT_EQ(rc, 1) << "the known key is missing: the entry falls back to raw bytes, also missing";
}

TEST(ActiveVideoWindow, JsonAndMessages)
{
    Playlist p;
    PlayItem item;
    p.items                    = {item};
    p.ext                      = {{2, 3, ActiveVideoWindowBlock(1, 2, 3, 4, 0xDEADBEEF)}};
    std::vector<uint8_t> bytes = PlaylistFile(p);
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, bytes), 0);
    EXPECT_EQ(ExtJson(bdmv), R"([{"ID1":2,"ID2":3,"active_video_window":{"top_offset":1,)"
                             R"("bottom_offset":2,"top_align_offset":3,"bottom_align_offset":4,)"
                             R"("reserved01":3735928559}}])");
    EXPECT_EQ(ThroughJson(bytes), bytes);

    // A missing reserved01 builds as zeros.
    Playlist noReserved = p;
    noReserved.ext      = {{2, 3, ActiveVideoWindowBlock(1, 2, 3, 4, 0)}};
    EXPECT_EQ(ThroughJson(bytes, R"(,"reserved01":3735928559)", ""), PlaylistFile(noReserved));

    CaptureOutput cap;
    int rc = 0;
    ThroughJson(bytes, R"("bottom_offset":2,)", "", &rc);
    EXPECT_EQ(rc, 1);
    ThroughJson(bytes, R"("active_video_window":{)", R"("active_video_window":7,"x":{)", &rc);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(cap.Err(), "failed to read bottom_offset\nFailed to read JSON array element[0]!\n"
                         "failed to read active_video_window\n"
                         "Failed to read JSON array element[0]!\n");
}

TEST(PipMetadata, DataIsPackedInOrderWithNewAddresses)
{
    PipBlock a, b;
    a.item = 1, a.luma = 1, a.upper = 200;
    a.entries = {{1000, 10, 20, 1, 0}, {2000, 30, 40, 2, 1}, {3000, 50, 60, 3, 0}};
    b.item = 2, b.trick = 1;
    b.entries                   = {{4000, 70, 80, 4, 0}};
    std::vector<uint8_t> packed = PipBlockData({a, b});
    EXPECT_EQ(packed.size(), 70u) << "length 66";
    EXPECT_EQ(packed[16 + 2], 0);
    EXPECT_EQ(packed[19], 34) << "first data block at 34";
    EXPECT_EQ(packed[33], 60) << "second at 60";

    Playlist p;
    PlayItem item;
    p.items                    = {item};
    p.ext                      = {{1, 1, packed}};
    std::vector<uint8_t> bytes = PlaylistFile(p);
    EXPECT_EQ(ThroughJson(bytes), bytes);

    // Addresses pointing backwards with a gap parse, and rebuild packed.
    Playlist scattered = p;
    scattered.ext      = {{1, 1, PipBlockData({a, b}, {50, 34})}};
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, PlaylistFile(scattered)), 0);
    CBitBuffer out;
    ASSERT_EQ(bdmv.Build(out), 0);
    CBDMV again;
    ASSERT_EQ(ParseBytes(again, out.m_bytes), 0);
    const CPIPMetaData& pip = *again.m_mpls.ExtensionData.m_entries[0].BlockAs<CPIPMetaData>();
    ASSERT_EQ(pip.m_blocks.size(), 2u);
    EXPECT_EQ(pip.m_blocks[0].header.metadata_block_data_start_address, 34u);
    EXPECT_EQ(pip.m_blocks[1].header.metadata_block_data_start_address, 60u);
    EXPECT_EQ(out.m_bytes, PlaylistFile(p)) << "the same file as the packed one";
}

TEST(PipMetadata, JsonShapeAndEmptyLists)
{
    PipBlock a;
    a.entries = {{1, 2, 3, 4, 5}};
    Playlist p;
    PlayItem item;
    p.items                    = {item};
    p.ext                      = {{1, 1, PipBlockData({a, PipBlock()})}};
    std::vector<uint8_t> bytes = PlaylistFile(p);
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, bytes), 0);
    EXPECT_EQ(
        ExtJson(bdmv),
        R"([{"ID1":1,"ID2":1,"pip_metadata":{"metadata_block_entries":[{"ref_to_PlayItem_id":0,)"
        R"("ref_to_secondary_video_stream_id":0,"reserved01":0,"pip_timeline_type":0,)"
        R"("is_luma_key":0,"trick_playing_flag":0,"reserved02":0,"reserved03":0,)"
        R"("upper_limit_luma_key":0,"reserved04":0,"metadata_block_data_start_address":34,)"
        R"("pip_metadata_entries":[{"pip_metadata_time_stamp":1,"pip_horizontal_position":2,)"
        R"("pip_vertical_position":3,"pip_scale":4,"reserved01":5}]},)"
        R"({"ref_to_PlayItem_id":0,"ref_to_secondary_video_stream_id":0,"reserved01":0,)"
        R"("pip_timeline_type":0,"is_luma_key":0,"trick_playing_flag":0,"reserved02":0,)"
        R"("reserved03":0,"upper_limit_luma_key":0,"reserved04":0,)"
        R"("metadata_block_data_start_address":44,"pip_metadata_entries":[]}]}}])");
    // The empty entry list reads back, and so does JSON that leaves it out.
    EXPECT_EQ(ThroughJson(bytes), bytes);
    EXPECT_EQ(ThroughJson(bytes, R"(,"pip_metadata_entries":[])", ""), bytes);

    Playlist none = p;
    none.ext      = {{1, 1, PipBlockData({})}};
    CBDMV empty;
    ASSERT_EQ(ParseBytes(empty, PlaylistFile(none)), 0);
    EXPECT_EQ(ExtJson(empty),
              R"([{"ID1":1,"ID2":1,"pip_metadata":{"metadata_block_entries":[]}}])");
    EXPECT_EQ(ThroughJson(PlaylistFile(none)), PlaylistFile(none));

    // Missing members: the header's and the entry's message chains.
    const std::string entry = "Failed to read JSON array element[0]!\n"; // of ExtensionData
    struct {
        const char *from, *to;
        std::string err;
    } cuts[] = {
        {R"("pip_timeline_type":0,)", "",
         "failed to read pip_timeline_type\nFailed to read metadata_block_header!\n" + entry +
             "Failed to read metadata_block_entries!\n" + entry},
        {R"("pip_scale":4,)", "",
         "failed to read pip_scale\n" + entry +
             "Failed to read pip_metadata_entries!\n"
             "Failed to read metadata_block_data!\n" +
             entry + "Failed to read metadata_block_entries!\n" + entry},
        {R"("metadata_block_entries")", R"("blocks")",
         "Failed to read metadata_block_entries!\n" + entry},
    };
    for (const auto& c : cuts) {
        CaptureOutput cap;
        int rc = 0;
        ThroughJson(bytes, c.from, c.to, &rc);
        EXPECT_EQ(rc, 1) << c.from;
        EXPECT_EQ(cap.Err(), c.err) << c.from;
    }
}

TEST(PipMetadata, CraftedDataBlocksAreBoundedAndRefused)
{
    // 4000 headers all naming one data block that claims 65535 entries of a 300-byte file.
    FieldWriter w;
    w.Begin(32);
    w.U16(4000);
    for (int i = 0; i < 4000; ++i)
        w.U16(0).U8(0).U8(0).U16(0).U8(0).U8(0).U16(0).U32(6 + 14 * 4000);
    w.U16(0xFFFF).Zeros(64).End();
    Playlist p;
    PlayItem item;
    p.items = {item};
    p.ext   = {{1, 1, w.Data()}};
    CaptureOutput cap;
    auto start = std::chrono::steady_clock::now();
    CBDMV bdmv;
    EXPECT_EQ(ParseBytes(bdmv, PlaylistFile(p)), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(cap.Err().substr(0, 50), "pip_metadata block[0] data lies outside the block!");
    ExpectBoundedFailure(PlaylistFile(p), "outside.mpls");

    // Many headers naming one valid block: the element budget ends it.
    FieldWriter v;
    v.Begin(32);
    v.U16(0xFFFF);
    for (int i = 0; i < 0xFFFF; ++i)
        v.U16(0).U8(0).U8(0).U16(0).U8(0).U8(0).U16(0).U32(6 + 14 * 0xFFFF);
    v.U16(2000).Zeros(8 * 2000).End();
    p.ext = {{1, 1, v.Data()}};
    CaptureOutput cap2;
    start = std::chrono::steady_clock::now();
    CBDMV budget;
    EXPECT_EQ(ParseBytes(budget, PlaylistFile(p)), 1);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
    EXPECT_NE(cap2.Err().find("Too many elements"), std::string::npos) << cap2.Err();
    ExpectBoundedFailure(PlaylistFile(p), "headers.mpls");
}

TEST(PlaylistExtensions, BuildRefusesListsThatDoNotFit)
{
    CaptureOutput cap;
    CSubPath_entries_extension ext;
    ext.m_subPaths.resize(65536);
    CBitBuffer bb;
    EXPECT_EQ(ext.Build(bb), 1);
    CPIPMetaData pip;
    pip.m_blocks.resize(65536);
    EXPECT_EQ(pip.Build(bb), 1);
    pip.m_blocks.resize(1);
    pip.m_blocks[0].data.m_entries.resize(65536);
    EXPECT_EQ(pip.Build(bb), 1);
    EXPECT_EQ(cap.Err(), "Too many SubPath extensions: 65536 do not fit, at most 65535!\n"
                         "Too many pip_metadata blocks: 65536 do not fit, at most 65535!\n"
                         "Too many pip_metadata entries: 65536 do not fit, at most 65535!\n");
}
