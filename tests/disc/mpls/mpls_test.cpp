// Playlist classes in process: file and JSON quirks, STN placement, timeline, refusals.
#include "disc/bdmv.h"
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/support/json_support.h"
#include "tests/support/test_support.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

using namespace mpls_writer;
using testing_support::CaptureOutput;

namespace
{

int ParseBytes(CBDMV& bdmv, const std::vector<uint8_t>& bytes)
{
    CBitBuffer bb;
    bb.m_bytes = bytes;
    bb.ResetBudget();
    return bdmv.Parse(bb);
}

std::vector<uint8_t> BuildBytes(CBDMV& bdmv, int* rc = nullptr)
{
    CBitBuffer bb;
    int r = bdmv.Build(bb);
    if (rc)
        *rc = r;
    return bb.m_bytes;
}

std::string Compact(const JValue& v)
{
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return std::string(sb.GetString(), sb.GetSize());
}

std::string ToJson(CBDMV& bdmv) { return testing_support::CompactJson(bdmv); }

int FromJson(CBDMV& bdmv, const std::string& text)
{
    JDoc doc;
    doc.Parse(text.c_str(), text.size());
    EXPECT_FALSE(doc.HasParseError()) << text;
    return bdmv.ReadJSON(doc, doc);
}

// Binary -> JSON -> binary.
std::vector<uint8_t> ThroughJson(const std::vector<uint8_t>& bytes)
{
    CBDMV a, b;
    EXPECT_EQ(ParseBytes(a, bytes), 0);
    EXPECT_EQ(FromJson(b, ToJson(a)), 0);
    return BuildBytes(b);
}

void Replace(std::string& s, const std::string& from, const std::string& to)
{
    size_t at = s.find(from);
    ASSERT_NE(at, std::string::npos) << from;
    s.replace(at, from.size(), to);
}

} // namespace

TEST(Playlist, SurplusBytesAreSkippedAndNotRebuilt)
{
    Playlist lean = SamplePlaylist(), fat = SamplePlaylist();
    fat.appSurplus                         = 3;
    fat.items[0].surplus                   = 2;
    fat.items[0].stn.surplus               = 4;
    fat.items[0].stn.audio[0].entrySurplus = 1;
    fat.items[0].stn.audio[0].attrSurplus  = 2;
    fat.subPaths[0].surplus                = 5;
    fat.subPaths[0].items[0].surplus       = 6;
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, PlaylistFile(fat)), 0);
    EXPECT_EQ(BuildBytes(bdmv), PlaylistFile(lean));
}

TEST(Playlist, ReservedAndConditionalFieldsFollowTheirRoutes)
{
    // STN reserved bytes survive a direct rebuild but not JSON; playback_count is in JSON only
    // for the random and shuffle types; 6 reserved angle bits and 8 multi-clip bits are not kept.
    Playlist p                 = SamplePlaylist();
    p.items[0].stn.reserved    = {1, 2, 3, 4, 5};
    p.playbackCount            = 5;
    std::vector<uint8_t> bytes = PlaylistFile(p);
    CBDMV direct;
    ASSERT_EQ(ParseBytes(direct, bytes), 0);
    EXPECT_EQ(BuildBytes(direct), bytes);

    Playlist expected              = p;
    expected.items[0].stn.reserved = std::vector<uint8_t>(5, 0);
    expected.playbackCount         = 0;
    EXPECT_EQ(ThroughJson(bytes), PlaylistFile(expected));

    p.playbackType                 = 2;
    expected                       = p;
    expected.items[0].stn.reserved = std::vector<uint8_t>(5, 0);
    EXPECT_EQ(ThroughJson(PlaylistFile(p)), PlaylistFile(expected));
}

TEST(Playlist, AngleAndSubClipCountsOfZero)
{
    // A count of 0 reads no record; JSON turns it into 1 (the item's own clip).
    Playlist p                           = SamplePlaylist();
    p.items[1].angles                    = {};
    p.items[1].numberOfAngles            = 0;
    p.subPaths[0].items[0].multi         = 1;
    p.subPaths[0].items[0].numberOfClips = 0;
    std::vector<uint8_t> bytes           = PlaylistFile(p);
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, bytes), 0);
    EXPECT_EQ(BuildBytes(bdmv), bytes);
    std::string json = ToJson(bdmv);
    EXPECT_NE(json.find("\"angle\":[]"), std::string::npos);
    EXPECT_NE(json.find("\"subClip_entry\":[]"), std::string::npos);
    p.items[1].numberOfAngles            = 1;
    p.subPaths[0].items[0].numberOfClips = 1;
    EXPECT_EQ(ThroughJson(bytes), PlaylistFile(p));
}

TEST(Playlist, UnknownStreamCodingTypeKeepsFourBytesAndCannotComeBack)
{
    Playlist p = SamplePlaylist();
    Stream mvc;
    mvc.coding = 0x20;
    mvc.attrs  = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    p.items[1].stn.video.push_back(mvc);
    CBDMV bdmv;
    CaptureOutput capture;
    ASSERT_EQ(ParseBytes(bdmv, PlaylistFile(p)), 0);
    std::string json = ToJson(bdmv);
    CBDMV back;
    int rc = FromJson(back, json);
    capture.Stop();
    EXPECT_EQ(bdmv.m_mpls.PlayList.m_playItems[1]
                  .STN_table.m_primaryVideo[1]
                  .stream_attributes.reserved01,
              0xAABBCCDDu);
    EXPECT_NE(json.find("{\"type\":1,\"pid\":4113,\"stream_coding_type\":\"MVC\"}"),
              std::string::npos);
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(capture.Err(), "Unrecognized stream coding type 20!\n"
                             "Failed to read stream_attributes!\n"
                             "failed to read Stream - unknown coding_type 32\n"
                             "Failed to read JSON array element[1]!\n"
                             "Failed to read PlayItem!\n");
    // Built from memory the block keeps the coding type and those 4 bytes (length 5).
    p.items[1].stn.video[1].attrs = {0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(BuildBytes(bdmv), PlaylistFile(p));
}

TEST(Playlist, StnJsonPlacesStreamsByCodingType)
{
    CSTNTable stn;
    JDoc doc;
    doc.Parse(R"({"STN_table":{"stream":[
        {"type":1,"pid":1,"stream_coding_type":"ac-3 plus secondary","audio_presentation_type":"stereo",
         "sampling_frequency":"48","language_code":"en","stream_id_ref":[4]},
        {"type":1,"pid":2,"stream_coding_type":"avc","video_format":"1080 p","frame_rate":"23.976"}],
      "secondary_stream":[
        {"type":3,"subpath_id":1,"pid":3,"stream_coding_type":"pgs","language_code":"jpnx"},
        {"type":1,"pid":4,"stream_coding_type":"DTS HD MA","audio_presentation_type":"multi",
         "sampling_frequency":"48/96 kHz","language_code":"eng"}]}})");
    ASSERT_EQ(stn.ReadJSON(doc, doc), 0);
    ASSERT_EQ(stn.m_primaryVideo.size(), 1u);
    ASSERT_EQ(stn.m_PGTextST.size(), 1u);
    ASSERT_EQ(stn.m_secondaryAudio.size(), 2u);
    const CStreamAttributes& video = stn.m_primaryVideo[0].stream_attributes;
    EXPECT_EQ(video.stream_coding_type, 0x1Bu);
    EXPECT_EQ(video.video_format, 6u);
    EXPECT_EQ(video.frame_rate, 1u);
    const CSingleStream& sec = stn.m_secondaryAudio[0];
    EXPECT_EQ(sec.stream_attributes.stream_coding_type, 0xA1u);
    EXPECT_EQ(sec.stream_attributes.audio_presentation_type, 3u);
    EXPECT_EQ(sec.stream_attributes.sampling_frequency, 1u);
    EXPECT_EQ(std::string(sec.stream_attributes.language_code, 3), std::string("en\0", 3));
    EXPECT_EQ(stn.m_secondaryAudio[1].stream_attributes.stream_coding_type, 0x86u);
    EXPECT_EQ(stn.m_secondaryAudio[1].stream_attributes.audio_presentation_type, 6u);
    EXPECT_EQ(stn.m_secondaryAudio[1].stream_attributes.sampling_frequency, 14u);
    EXPECT_EQ(std::string(stn.m_PGTextST[0].stream_attributes.language_code, 3), "jpn");

    // Written back, the secondary audio streams stand under "secondary_stream" and the PG
    // stream under "stream"; the secondary stream's id list is built, count 1 and padding.
    JDoc out;
    testing_support::WrittenJson(stn, out);
    std::string json = Compact(out);
    EXPECT_LT(json.find("\"pid\":3"), json.find("secondary_stream"));
    EXPECT_GT(json.find("\"pid\":1,"), json.find("secondary_stream"));
    CBitBuffer bb;
    ASSERT_EQ(stn.Build(bb), 0);
    EXPECT_EQ(bb.m_bytes[0] * 256u + bb.m_bytes[1], bb.m_bytes.size() - 2);
    EXPECT_EQ(bb.m_bytes[4], 1); // video
    EXPECT_EQ(bb.m_bytes[6], 1); // PG
    EXPECT_EQ(bb.m_bytes[8], 2); // secondary audio
}

TEST(Playlist, StnJsonRefusals)
{
    struct Case {
        const char* json;
        const char* err;
    } cases[] = {
        {R"({"STN_table":{"stream":[{"type":1,"pid":1,"stream_coding_type":"MVC","video_format":"1080p","frame_rate":"24"}]}})",
         "Failed to read stream_attributes!\nfailed to read Stream - unknown coding_type 32\n"},
        {R"({"STN_table":{"secondary_stream":[{"type":5,"stream_coding_type":"PGS","language_code":"eng"}]}})",
         "failed to read stream_entry\nfailed to read secondary_stream - unknown coding_type 0\n"},
        {R"({"STN_table":{"stream":{}}})", "failed to read stream\n"},
        {R"({"STN_table":{"secondary_stream":[1]}})", "failed to read secondary_stream\n"},
        {R"({"STN_table":{"stream":[{"type":1,"pid":1,"stream_coding_type":"AC-3","audio_presentation_type":"Mono","sampling_frequency":"48","language_code":"eng","stream_id_ref":[1,"x"]}]}})",
         "stream_id_ref[1] is not a number!\n"},
        {R"({"STN_table":{"stream":[{"type":2,"subpath_id":1,"stream_coding_type":"IGS"}]}})",
         "failed to read subclip_id\nfailed to read pid\nfailed to read Stream - unknown "
         "coding_type 0\n"},
        {R"({"stn":{}})", "failed to read STN_table\n"},
    };
    for (const Case& c : cases) {
        CSTNTable stn;
        JDoc doc;
        doc.Parse(c.json);
        CaptureOutput capture;
        int rc = stn.ReadJSON(doc, doc);
        capture.Stop();
        EXPECT_NE(rc, 0) << c.json;
        EXPECT_EQ(capture.Err(), c.err) << c.json;
    }
}

TEST(Playlist, UoMaskKeepsJsonValuesAndBuildsBits)
{
    // Its own JSON with a mask of 2, the last two masks and the reserved bits set, one mask and
    // the optional reserved masks left out.
    CUOMaskTable uo;
    uo.secondary_audio_stream_number_change_mask = uo.PiP_PG_textST_stream_number_change_mask = 1;
    uo.reserved03    = 0x3FFFFFFF;
    std::string json = testing_support::CompactJson(uo);
    Replace(json, "\"menu_call_mask\":0", "\"menu_call_mask\":2");
    Replace(json, "\"stop_mask\":0,", "");
    Replace(json, "\"reserved01\":0,", "");
    Replace(json, "\"reserved02\":0,", "");
    Replace(json, "1073741823", "4294967295");
    JDoc doc;
    doc.Parse(json.c_str());
    CaptureOutput capture;
    EXPECT_EQ(uo.ReadJSON(doc, doc), 1);
    capture.Stop();
    EXPECT_EQ(capture.Err(), "failed to read stop_mask\n"); // the reserved bits are optional
    CBitBuffer bb;
    uo.Build(bb);
    EXPECT_EQ(bb.m_bytes, testing_support::Hex("80 00 00 01 7F FF FF FF"));
    EXPECT_EQ(testing_support::CompactJson(uo).find("{\"UO_mask_table\":{\"menu_call_mask\":2,"),
              0u);
}

TEST(Playlist, SubPathBlocks)
{
    // A SubPath without SubPlayItems is 6 bytes after its length and writes an empty array,
    // which reading needs.
    testing_support::FieldWriter w;
    WriteSubPath(w, SubPath());
    CSubPath sp;
    CBitBuffer bb;
    bb.m_bytes = w.Data();
    ASSERT_EQ(sp.Parse(bb), 0);
    CBitBuffer built;
    sp.Build(built);
    EXPECT_EQ(built.m_bytes, testing_support::Hex("00 00 00 06 00 03 00 00 00 00"));
    JDoc doc;
    testing_support::WrittenJson(sp, doc);
    EXPECT_EQ(
        Compact(doc),
        R"({"reserved01":0,"SubPath_type":3,"reserved02":0,"is_repeat_SubPath":0,"reserved03":0,"SubPlayItem":[]})");
    doc.RemoveMember("SubPlayItem");
    CaptureOutput capture;
    EXPECT_EQ(sp.ReadJSON(doc, doc), 1);
    EXPECT_EQ(capture.Err(), "Failed to read SubPlayItem!\n");

    // An extension SubPath of another type than 8 or 9 keeps only its first two fields.
    testing_support::FieldWriter e;
    SubPath typed;
    typed.type  = 5;
    typed.items = {SubPlayItem()};
    WriteSubPath(e, typed);
    CSubPath_extension ext;
    CBitBuffer in;
    in.m_bytes = e.Data();
    ASSERT_EQ(ext.Parse(in), 0);
    EXPECT_EQ(in.m_cursor, 8 * in.m_bytes.size());
    CBitBuffer out;
    ext.Build(out);
    EXPECT_EQ(out.m_bytes, testing_support::Hex("00 00 00 04 00 05 00 00"));

    EXPECT_EQ(ShortSubPathTypeName(2, 0), SubPathTypeName(2));
    EXPECT_EQ(ShortSubPathTypeName(8, 0), std::string(SubPathTypeName(8)).substr(0, 61) + "...");
    EXPECT_EQ(ShortSubPathTypeName(4, 1), SubPathTypeName(4));
    EXPECT_EQ(ShortSubPathTypeName(5, 1), std::string(SubPathTypeName(5)).substr(0, 57) + "...");
    EXPECT_EQ(ShortSubPathTypeName(1, 40), "...");
}

TEST(Playlist, TimelineWrapsAsTheFieldsDo)
{
    Playlist p     = SamplePlaylist();
    p.items[0].in  = 1000;
    p.items[0].out = 500; // OUT below IN: the 32-bit difference
    p.marks        = {{0, 1, 0, 999, 0, 0}, {0, 1, 2, 5, 0, 0}, {0, 1, 1, 45000 + 1, 0, 0}};
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, PlaylistFile(p)), 0);
    const CMPLS& m = bdmv.m_mpls;
    EXPECT_EQ(m.PlayList.m_playItems[1].playlist_start_time, 0xFFFFFE0Cull);
    EXPECT_EQ(m.total_duration, 0xFFFFFE0Cull + 45000u * 3660);
    EXPECT_EQ(m.PlayListMark.m_marks[0].playlist_time, ~0ull); // one tick before the timeline
    EXPECT_EQ(m.PlayListMark.m_marks[1].playlist_time, 0u);    // no such PlayItem
    EXPECT_EQ(m.PlayListMark.m_marks[2].playlist_time, 0xFFFFFE0Cull + 45001);
    CaptureOutput capture;
    bdmv.m_mpls.PlayListMark.PrintTimes(); // prints without undefined behaviour
    capture.Stop();
    EXPECT_EQ(std::count(capture.Out().begin(), capture.Out().end(), '\n'), 3);
}

TEST(Playlist, JsonMessagesOfMissingMembers)
{
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    CBDMV bdmv;
    ASSERT_EQ(ParseBytes(bdmv, bytes), 0);
    std::string json = ToJson(bdmv);
    struct Case {
        std::string from, to, err;
    } cases[] = {
        {"\"version_number\":\"0200\",", "",
         "failed to read version_number\nfailed to read version_number!\n"},
        {"\"version_number\":\"0200\"", "\"version_number\":\"02\"",
         "Unknown version_number!\nfound    \"02\"\nexpected \"0200\"\n"},
        {"\"PlayList_playback_type\":1,", "\"PlayList_playback_type\":3,",
         "failed to read playback_count\n"},
        {"\"still_mode\":0,", "",
         "failed to read still_mode\nFailed to read JSON array element[0]!\nFailed to read "
         "PlayItem!\n"},
        {"\"Clip_codec_identifier\":\"M2TS\",", "",
         "failed to read Clip_codec_identifier\nFailed to read JSON array element[0]!\nFailed to "
         "read PlayItem!\n"},
        {"\"multi_clip_entries\":{", "\"multi_clip_entrie\":{",
         "failed to read multi_clip_entries\nFailed to read JSON array element[1]!\nFailed to read "
         "PlayItem!\n"},
        {"{\"Clip_Information_file_name\":\"00004\",", "{",
         "failed to read Clip_Information_file_name\nFailed to read JSON array element[1]!\nFailed "
         "to read PlayItem!\n"},
        {"\"sync_PlayItem_id\":0,", "",
         "failed to read sync_PlayItem_id\nFailed to read JSON array element[0]!\nFailed to read "
         "SubPlayItem!\n"
         "Failed to read JSON array element[0]!\nFailed to read SubPath!\n"},
        {"\"mark_type\":2,", "",
         "failed to read mark_type\nFailed to read JSON array element[2]!\nFailed to read "
         "PlayListMark!\n"},
        {"\"data_block\":[1,2,3,4,5]", "\"data_block\":[1,\"x\"]",
         "failed to read ExtDataEntry.data_block[1]\nFailed to read JSON array element[0]!\n"},
        {"\"PlayList\":{", "\"Playlist\":{", "failed to read PlayList\n"},
    };
    for (const Case& c : cases) {
        std::string text = json;
        Replace(text, c.from, c.to);
        CBDMV back;
        CaptureOutput capture;
        int rc = FromJson(back, text);
        capture.Stop();
        EXPECT_NE(rc, 0) << c.from;
        EXPECT_EQ(capture.Err(), c.err) << c.from;
    }
}

TEST(Playlist, ParseFailuresOfPlayItems)
{
    Playlist p            = SamplePlaylist();
    p.items[1].clip.codec = "M2TX";
    p.items[0].connection = 3;
    CBDMV bdmv;
    CaptureOutput capture;
    EXPECT_EQ(ParseBytes(bdmv, PlaylistFile(p)), 1);
    EXPECT_EQ(capture.Err(), "Unexpected connection condition 03\nError parsing PlayItem[0]!\n");
    p.items[0].connection = 6;
    CaptureOutput again;
    EXPECT_EQ(ParseBytes(bdmv, PlaylistFile(p)), 1);
    EXPECT_EQ(again.Err(), "Incorrect codec identifier (M2TX)\nError parsing PlayItem[1]!\n");
}

// ---- Hostile input and lists that do not fit their fields ----------------------------------

TEST(PlaylistRobustness, OverlappingBlocksRunOutOfElementBudget)
{
    // Each SubPath claims 255 SubPlayItems whose 2-byte lengths step only 4 bytes, while each
    // reads 254 subclip entries: the same bytes are read again and again.
    testing_support::FieldWriter w;
    const int subPaths = 40;
    w.Text("MPLS0200").U32(58).U32(0).U32(0).Zeros(20);
    w.U32(14).Zeros(14); // AppInfoPlayList
    w.U32(0xFFFFFFF0).U16(0).U16(0).U16(subPaths);
    for (int s = 0; s < subPaths; ++s) {
        w.U32(6 + 4 * 255).U8(0).U8(3).U16(0).U8(0).U8(255);
        for (int i = 0; i < 255; ++i)
            w.Bytes({0x00, 0x02, 0xFF, 0xFF});
    }
    w.Zeros(3000);
    CBDMV bdmv;
    CaptureOutput capture;
    int rc = ParseBytes(bdmv, w.Data());
    capture.Stop();
    EXPECT_EQ(rc, 1);
    EXPECT_EQ(capture.Err().find("Too many elements"), 0u) << capture.Err();
    EXPECT_NE(capture.Err().find("Error parsing SubPath["), std::string::npos);
    testing_support::ExpectBoundedFailure(w.Data(), "overlapping.mpls");
}

TEST(PlaylistRobustness, ExtensionDataBlockOutsideItsBounds)
{
    Playlist p                 = SamplePlaylist();
    std::vector<uint8_t> bytes = PlaylistFile(p);
    size_t ext = (size_t(bytes[16]) << 24) | (size_t(bytes[17]) << 16) | (size_t(bytes[18]) << 8) |
                 bytes[19];
    bytes[ext + 20] = 0x7F; // data_block_length of the entry: about 2 GiB
    CBDMV bdmv;
    CaptureOutput capture;
    EXPECT_EQ(ParseBytes(bdmv, bytes), 1);
    EXPECT_EQ(capture.Err(),
              "ExtensionData entry[0] (3, 7) lies outside the ExtensionData block!\n");
    testing_support::ExpectBoundedFailure(bytes, "ext.mpls");
}

TEST(PlaylistRobustness, StnTableSsWithoutPlaylistIsRaw)
{
    testing_support::FieldWriter w;
    WriteExtensionData(w, {{2, 1, {9, 8, 7, 6}}});
    CBitBuffer bb;
    bb.m_bytes = w.Data();
    CExtensionData ext(kExtensionBlocks);
    ASSERT_EQ(ext.ParseWithContext(bb, nullptr), 0);
    ASSERT_EQ(ext.m_entries.size(), 1u);
    EXPECT_EQ(ext.m_entries[0].m_unknownKind, 1u);
    EXPECT_EQ(ext.m_entries[0].m_data, std::vector<uint8_t>({9, 8, 7, 6}));
}

TEST(PlaylistRobustness, BuildRefusesListsThatDoNotFitTheirCounts)
{
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    CBDMV base;
    ASSERT_EQ(ParseBytes(base, bytes), 0);
    struct Case {
        std::function<void(CMPLS&)> grow;
        const char* err;
    } cases[] = {
        {[](CMPLS& m) { m.PlayListMark.m_marks.resize(65536); },
         "Too many PlayList marks: 65536 do not fit, at most 65535!\n"},
        {[](CMPLS& m) { m.PlayList.m_subPaths[0].m_subPlayItems.resize(256); },
         "Too many SubPlayItems: 256 do not fit, at most 255!\nError building sub path item\n"},
        {[](CMPLS& m) {
             CSubPlayItem& s         = m.PlayList.m_subPaths[0].m_subPlayItems[0];
             s.is_multi_Clip_entries = 1;
             s.m_subClips.resize(255);
         },
         "Too many subClip entries: 255 do not fit, at most 254!\nError saving SubPlayItem[0]\n"
         "Error building sub path item\n"},
        {[](CMPLS& m) { m.PlayList.m_playItems[1].m_angles.resize(255); },
         "Too many angle entries: 255 do not fit, at most 254!\nError building play list item\n"},
        {[](CMPLS& m) {
             CSTNTable& t = m.PlayList.m_playItems[0].STN_table;
             t.m_primaryAudio.resize(256, t.m_primaryAudio[0]);
         },
         "Too many primary audio streams: 256 do not fit, at most 255!\nError building play list "
         "item\n"},
        {[](CMPLS& m) {
             m.PlayList.m_playItems[0].STN_table.number_of_PiP_PG_textST_stream_entries_plus = 3;
         },
         "PG list holds 2 streams, fewer than number_of_PiP_PG_textST_stream_entries_plus 3!\n"
         "Error building play list item\n"},
        {[](CMPLS& m) {
             m.PlayList.m_playItems[0].STN_table.m_secondaryAudio[0].stream_id_ref.resize(256);
         },
         "Too many stream_id_ref entries: 256 do not fit, at most 255!\nError saving secondary "
         "audio entry[0]!\n"
         "Error building play list item\n"},
        {[](CMPLS& m) {
             CSTNTable& t = m.PlayList.m_playItems[0].STN_table;
             t.m_secondaryVideo[0].stream_id_ref.resize(255);
             t.m_secondaryVideo[0].PiP_PG_textST_stream_id_ref.resize(255);
             t.m_secondaryVideo.resize(200, t.m_secondaryVideo[0]);
         },
         "STN_table is too long: 106532 bytes do not fit its 16-bit length field!\nError building "
         "play list item\n"},
        {[](CMPLS& m) { m.ExtensionData.m_entries.resize(256, m.ExtensionData.m_entries[0]); },
         "Too many ExtensionData entries: 256 do not fit, at most 255!\n"},
        {[](CMPLS& m) { m.PlayList.m_playItems[0].STN_table.m_PGTextST.resize(256); },
         "Too many PG/textST streams: 256 do not fit, at most 255!\nError building play list "
         "item\n"},
        {[](CMPLS& m) {
             CSTNTable& t                                  = m.PlayList.m_playItems[0].STN_table;
             t.number_of_PiP_PG_textST_stream_entries_plus = 256;
             t.m_PGTextST.resize(300);
         },
         "number_of_PiP_PG_textST_stream_entries_plus 256 does not fit, at most 255!\n"
         "Error building play list item\n"},
        {[](CMPLS& m) {
             m.PlayList.m_playItems[0]
                 .STN_table.m_secondaryVideo[0]
                 .PiP_PG_textST_stream_id_ref.resize(256);
         },
         "Too many PiP_PG_textST_stream_id_ref entries: 256 do not fit, at most 255!\n"
         "Error saving secondary video entry[0]!\nError building play list item\n"},
    };
    for (const Case& c : cases) {
        CBDMV bdmv = base;
        c.grow(bdmv.m_mpls);
        CaptureOutput capture;
        int rc = 0;
        BuildBytes(bdmv, &rc);
        capture.Stop();
        EXPECT_EQ(rc, 1) << c.err;
        EXPECT_EQ(capture.Err(), c.err);
    }
}
