// Playlist ExtensionData blocks: STN_table_SS, SubPath extensions, the active video window
// and picture-in-picture metadata, in process and through the programs.
#include "disc/mpls/pip_metadata.h"
#include "disc/mpls/subpath_extension.h"
#include "tests/disc/mpls/mpls_ext_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace mpls_writer;
using namespace testing_support;

namespace
{

// The compact JSON of a playlist's ExtensionData.
std::string ExtJson(const std::vector<uint8_t>& bytes)
{
    std::string json = FileToJson(bytes).json;
    size_t at        = json.find("\"ExtensionData\":");
    return at == std::string::npos ? json : json.substr(at + 16, json.size() - at - 18);
}

// The playlist's JSON with from replaced by to, read back and built.
Outcome Edited(const std::vector<uint8_t>& bytes, const std::string& from, const std::string& to)
{
    return JsonToFile(Replaced(FileToJson(bytes).json, from, to));
}

// A playlist of one PlayItem without streams and one ExtensionData entry.
Playlist WithExtension(uint32_t id1, uint32_t id2, const std::vector<uint8_t>& data)
{
    Playlist p;
    p.items = {PlayItem()};
    p.ext   = {{id1, id2, data}};
    return p;
}

// The STN_table_SS of a 3D playlist: for the first PlayItem an MVC dependent view, two PG
// streams (one stereoscopic with top and bottom AS variants) and a stereoscopic IG stream; for
// the second nothing.
std::vector<STNSSItem> ThreeDItems()
{
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
    return {ss, STNSSItem()};
}

// The playlist of those items: three PG streams in the first PlayItem's STN table, the third a
// PiP PG entry, which has no STN_table_SS element.
Playlist ThreeD(const std::vector<STNSSItem>& items = ThreeDItems())
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
    p.ext             = {{2, 1, STNTableSSBlock(items)}};
    return p;
}

} // namespace

TEST(STNTableSS, ThreeDPlaylistRoundTripsAndEveryEntryKeepsItsKeys)
{
    std::vector<uint8_t> bytes = PlaylistFile(ThreeD());
    EXPECT_EQ(ExtJson(bytes),
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

    // Every entry written flat under the same keys, as earlier output was: each further entry
    // takes the flat keys, so the right IG entry becomes a copy of the left one.
    std::vector<STNSSItem> items = ThreeDItems();
    items[0].ig[0].right         = items[0].ig[0].left;
    EXPECT_EQ(Edited(bytes, R"("IG_stream_entry_SS_PG_R":{"type":1,"pid":5281},)", "").bytes,
              PlaylistFile(ThreeD(items)));
}

TEST(STNTableSS, PaddingAndDroppedBytes)
{
    // One PG element without flags: 6 bytes, built as 8 with length 6. The byte before each
    // offset reference is rebuilt as 0.
    Playlist p        = WithExtension(2, 1, {});
    p.items[0].stn.pg = {Graphics(0x90, "eng", 0x1200)};
    STNSSItem ss;
    ss.pg         = {PGStreamSS()};
    p.ext[0].data = STNTableSSBlock({ss});
    EXPECT_EQ(p.ext[0].data, Hex("0006 0000 0000 0000"));
    EXPECT_EQ(ThroughJson(PlaylistFile(p)), PlaylistFile(p));

    PGStreamSS& top = ss.pg[0];
    top.top = true, top.topEntry = Pid(0x1200), top.topRef = 9, top.droppedByte = 0xEE;
    p.ext[0].data              = STNTableSSBlock({ss});
    std::vector<uint8_t> bytes = PlaylistFile(p);
    top.droppedByte            = 0;
    p.ext[0].data              = STNTableSSBlock({ss});
    EXPECT_EQ(ThroughJson(bytes), PlaylistFile(p));
}

TEST(STNTableSS, MessageChains)
{
    const std::string item = "Failed to read STN_table_SS_for_PlayItem!\n"
                             "Failed to read JSON array element[0]!\n";
    const struct {
        const char *from, *to;
        std::string err;
    } cases[] = {
        {R"(,"IG_stream":[])", "",
         "Failed to read IG_stream!\nFailed to read JSON array element[1]!\n" + item},
        {R"("STN_Table_SS":{"STN_table_SS_for_PlayItem":)",
         R"("STN_Table_SS":5,"x":{"STN_table_SS_for_PlayItem":)",
         "failed to read STN_Table_SS\nFailed to read JSON array element[0]!\n"},
        {R"("is_SS_PG":1,)", "",
         "failed to read is_SS_PG\nFailed to read PG_textST_stream_entry!\n"
         "Failed to read JSON array element[0]!\nFailed to load PG_stream!\n"
         "Failed to read JSON array element[0]!\n" +
             item},
        {R"("SS_IG_offset_sequence_id_ref":8)", R"("x":8)",
         "failed to read SS_IG_offset_sequence_id_ref\nFailed to read JSON array element[0]!\n"
         "Failed to read IG_stream!\nFailed to read JSON array element[0]!\n" +
             item},
    };
    for (const auto& c : cases) {
        Outcome o = Edited(PlaylistFile(ThreeD()), c.from, c.to);
        EXPECT_EQ(o.rc, 1) << c.from;
        EXPECT_EQ(o.err, c.err) << c.from;
    }
}

TEST(SubPathExtension, RoundTripAndPadding)
{
    SubPath dependent;
    dependent.type = 8;
    SubPlayItem spi;
    spi.clip                   = {"00002", "M2TS", 0};
    spi.out                    = 45000 * 10;
    dependent.items            = {spi};
    Playlist p                 = WithExtension(2, 2, SubPathExtensionBlock({dependent}));
    p.items[0].out             = 45000 * 10;
    std::vector<uint8_t> bytes = PlaylistFile(p);
    EXPECT_EQ(bytes.size() % 4, 0u);
    EXPECT_EQ(ThroughJson(bytes), bytes);
    EXPECT_EQ(
        ExtJson(bytes),
        R"([{"ID1":2,"ID2":2,"SubPath_extension":[{"reserved01":0,"SubPath_type":8,)"
        R"("reserved02":0,"is_repeat_SubPath":0,"reserved03":0,"SubPlayItem":[{)"
        R"("Clip_Information_file_name":"00002","Clip_codec_identifier":"M2TS",)"
        R"("ref_to_STC_id":0,"reserved01":0,"is_multi_Clip_entries":0,)"
        R"("sp_connection_condition":1,"SubPlayItem_IN_time":0,"SubPlayItem_OUT_time":450000,)"
        R"("sync_PlayItem_id":0,"sync_start_PTS_of_PlayItem":0}]}]}])");
    // The known key missing: the entry falls back to raw bytes, also missing.
    EXPECT_EQ(Edited(bytes, R"("SubPath_extension":)", R"("SubPath_extensions":)").rc, 1);

    // An empty list: 4 length bytes, a zero count and 2 padding bytes.
    p.ext[0].data = SubPathExtensionBlock({});
    EXPECT_EQ(p.ext[0].data, Hex("00000004 0000 0000"));
    EXPECT_EQ(ThroughJson(PlaylistFile(p)), PlaylistFile(p));
}

TEST(ActiveVideoWindow, JsonAndMessages)
{
    std::vector<uint8_t> bytes =
        PlaylistFile(WithExtension(2, 3, ActiveVideoWindowBlock(1, 2, 3, 4, 0xDEADBEEF)));
    EXPECT_EQ(ExtJson(bytes), R"([{"ID1":2,"ID2":3,"active_video_window":{"top_offset":1,)"
                              R"("bottom_offset":2,"top_align_offset":3,"bottom_align_offset":4,)"
                              R"("reserved01":3735928559}}])");
    EXPECT_EQ(ThroughJson(bytes), bytes);
    // A missing reserved01 builds as zeros.
    EXPECT_EQ(Edited(bytes, R"(,"reserved01":3735928559)", "").bytes,
              PlaylistFile(WithExtension(2, 3, ActiveVideoWindowBlock(1, 2, 3, 4, 0))));
    EXPECT_EQ(Edited(bytes, R"("bottom_offset":2,)", "").err,
              "failed to read bottom_offset\nFailed to read JSON array element[0]!\n");
    EXPECT_EQ(Edited(bytes, R"("active_video_window":{)", R"("active_video_window":7,"x":{)").err,
              "failed to read active_video_window\nFailed to read JSON array element[0]!\n");
}

TEST(PipMetadata, JsonShapeAndEmptyLists)
{
    PipBlock a;
    a.entries                  = {{1, 2, 3, 4, 5}};
    std::vector<uint8_t> bytes = PlaylistFile(WithExtension(1, 1, PipBlockData({a, PipBlock()})));
    EXPECT_EQ(
        ExtJson(bytes),
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
    EXPECT_EQ(Edited(bytes, R"(,"pip_metadata_entries":[])", "").bytes, bytes);
    std::vector<uint8_t> none = PlaylistFile(WithExtension(1, 1, PipBlockData({})));
    EXPECT_EQ(ExtJson(none), R"([{"ID1":1,"ID2":1,"pip_metadata":{"metadata_block_entries":[]}}])");
    EXPECT_EQ(ThroughJson(none), none);

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
        Outcome o = Edited(bytes, c.from, c.to);
        EXPECT_EQ(o.rc, 1) << c.from;
        EXPECT_EQ(o.err, c.err) << c.from;
    }
}

TEST(PipMetadata, CraftedDataBlocksAreBoundedAndRefused)
{
    // 4000 headers all naming one data block that claims 65535 entries of a 300-byte file;
    // then 65535 headers naming one valid block, which the element budget ends.
    for (uint32_t headers : {4000u, 0xFFFFu}) {
        FieldWriter w;
        w.Begin(32);
        w.U16(headers);
        for (uint32_t i = 0; i < headers; ++i)
            w.U16(0).U8(0).U8(0).U16(0).U8(0).U8(0).U16(0).U32(6 + 14 * headers);
        if (headers == 4000)
            w.U16(0xFFFF).Zeros(64);
        else
            w.U16(2000).Zeros(8 * 2000);
        std::vector<uint8_t> bytes = PlaylistFile(WithExtension(1, 1, w.End().Data()));
        Outcome o                  = FileToJson(bytes);
        EXPECT_EQ(o.rc, 1);
        EXPECT_EQ(o.err.find(headers == 4000 ? "pip_metadata block[0] data lies outside the block!"
                                             : "Too many elements"),
                  0u)
            << o.err;
        ExpectBoundedFailure(bytes, "pip.mpls");
    }
}

TEST(PlaylistExtensions, BuildRefusesListsThatDoNotFit)
{
    CSubPath_entries_extension ext;
    ext.m_subPaths.resize(65536);
    EXPECT_EQ(Built(ext).err, "Too many SubPath extensions: 65536 do not fit, at most 65535!\n");
    CPIPMetaData pip;
    pip.m_blocks.resize(65536);
    EXPECT_EQ(Built(pip).err, "Too many pip_metadata blocks: 65536 do not fit, at most 65535!\n");
    pip.m_blocks.resize(1);
    pip.m_blocks[0].data.m_entries.resize(65536);
    EXPECT_EQ(Built(pip).err, "Too many pip_metadata entries: 65536 do not fit, at most 65535!\n");
}
