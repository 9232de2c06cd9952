// Playlist classes in process: file and JSON quirks, STN placement, refusals and hostile input.
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/support/json_support.h"

#include <functional>
#include <gtest/gtest.h>

using namespace mpls_writer;
using namespace testing_support;

TEST(Playlist, WhatTheFileAndJsonRoutesKeep)
{
    // Surplus bytes inside blocks are skipped by both routes. STN reserved bytes and an angle
    // or subclip count of 0 survive a direct rebuild; through JSON the reserved bytes are 0 and
    // each count is 1 (the item's own clip). playback_count is in JSON only for the random
    // and shuffle types.
    Playlist p                             = SamplePlaylist();
    p.items[0].stn.reserved                = {1, 2, 3, 4, 5};
    p.playbackCount                        = 5;
    p.items[1].angles                      = {};
    p.items[1].numberOfAngles              = 0;
    p.subPaths[0].items[0].multi           = 1;
    p.subPaths[0].items[0].numberOfClips   = 0;
    Playlist fat                           = p;
    fat.appSurplus                         = 3;
    fat.items[0].surplus                   = 2;
    fat.items[0].stn.surplus               = 4;
    fat.items[0].stn.audio[0].entrySurplus = 1;
    fat.items[0].stn.audio[0].attrSurplus  = 2;
    fat.subPaths[0].surplus                = 5;
    fat.subPaths[0].items[0].surplus       = 6;
    CBDMV direct;
    const std::string json = Parsed(direct, PlaylistFile(fat)).json;
    EXPECT_EQ(Built(direct).bytes, PlaylistFile(p));
    EXPECT_NE(json.find("\"angle\":[]"), std::string::npos);
    EXPECT_NE(json.find("\"subClip_entry\":[]"), std::string::npos);

    Playlist expected                           = p;
    expected.items[0].stn.reserved              = std::vector<uint8_t>(5, 0);
    expected.playbackCount                      = 0;
    expected.items[1].numberOfAngles            = 1;
    expected.subPaths[0].items[0].numberOfClips = 1;
    EXPECT_EQ(JsonToFile(json).bytes, PlaylistFile(expected));
    p.playbackType = expected.playbackType = 2;
    expected.playbackCount                 = 5;
    EXPECT_EQ(ThroughJson(PlaylistFile(p)), PlaylistFile(expected));
}

TEST(Playlist, UnknownStreamCodingTypeKeepsFourBytesAndCannotComeBack)
{
    Playlist p = SamplePlaylist();
    Stream mvc;
    mvc.coding = 0x20;
    mvc.attrs  = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    p.items[1].stn.video.push_back(mvc);
    CBDMV bdmv;
    Outcome json = Parsed(bdmv, PlaylistFile(p));
    EXPECT_EQ(json.err, "Unrecognized stream coding type 20!\n");
    EXPECT_NE(json.json.find(R"({"type":1,"pid":4113,"stream_coding_type":"MVC"})"),
              std::string::npos);
    Outcome back = JsonToFile(json.json);
    EXPECT_EQ(back.rc, 1);
    EXPECT_EQ(back.err, "Failed to read stream_attributes!\n"
                        "failed to read Stream - unknown coding_type 32\n"
                        "Failed to read JSON array element[1]!\nFailed to read PlayItem!\n");
    // Built from memory the block keeps the coding type and those 4 bytes (length 5).
    p.items[1].stn.video[1].attrs = {0xAA, 0xBB, 0xCC, 0xDD};
    EXPECT_EQ(Built(bdmv).bytes, PlaylistFile(p));
}

TEST(Playlist, StnJsonPlacesStreamsByCodingType)
{
    CSTNTable stn;
    ASSERT_EQ(Read(stn, R"({"STN_table":{"stream":[
        {"type":1,"pid":1,"stream_coding_type":"ac-3 plus secondary","audio_presentation_type":"stereo",
         "sampling_frequency":"48","language_code":"en","stream_id_ref":[4]},
        {"type":1,"pid":2,"stream_coding_type":"avc","video_format":"1080 p","frame_rate":"23.976"}],
      "secondary_stream":[
        {"type":3,"subpath_id":1,"pid":3,"stream_coding_type":"pgs","language_code":"jpnx"},
        {"type":1,"pid":4,"stream_coding_type":"DTS HD MA","audio_presentation_type":"multi",
         "sampling_frequency":"48/96 kHz","language_code":"eng"}]}})")
                  .rc,
              0);
    STN expected;
    expected.video    = {Video(0x1B, 6, 1, 2)};
    expected.pg       = {FromSubPath(Graphics(0x90, "jpn", 3), 3, 1, 0)};
    Stream secondary  = Audio(0xA1, 3, 1, "en", 1);
    secondary.refs    = {4};
    expected.secAudio = {secondary, Audio(0x86, 6, 14, "eng", 4)};
    FieldWriter w;
    WriteSTN(w, expected);
    EXPECT_EQ(Built(stn).bytes, w.Data());
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
        Outcome o = Read(stn, c.json);
        EXPECT_NE(o.rc, 0) << c.json;
        EXPECT_EQ(o.err, c.err) << c.json;
    }
}

TEST(Playlist, UoMaskReservedBitsAreOptionalInJson)
{
    // JSON without the reserved masks reads; a mask keeps its JSON number and builds one bit.
    CUOMaskTable uo;
    std::string json = Replaced(CompactJson(uo), "\"menu_call_mask\":0", "\"menu_call_mask\":2");
    for (const char* optional : {"\"reserved01\":0,", "\"reserved02\":0,", ",\"reserved03\":0"})
        json = Replaced(json, optional, "");
    EXPECT_EQ(Read(uo, json).rc, 0);
    EXPECT_EQ(Built(uo).bytes, Hex("80 00 00 00 00 00 00 00"));
    EXPECT_EQ(CompactJson(uo).find("{\"UO_mask_table\":{\"menu_call_mask\":2,"), 0u);
}

TEST(Playlist, SubPathBlocks)
{
    // A SubPath without SubPlayItems is 6 bytes after its length and writes an empty array,
    // which reading needs.
    FieldWriter w;
    WriteSubPath(w, SubPath());
    CSubPath sp;
    CBitBuffer bb;
    bb.m_bytes = w.Data();
    ASSERT_EQ(sp.Parse(bb), 0);
    EXPECT_EQ(Built(sp).bytes, Hex("00 00 00 06 00 03 00 00 00 00"));
    std::string json = CompactJson(sp);
    EXPECT_EQ(json, R"({"reserved01":0,"SubPath_type":3,"reserved02":0,"is_repeat_SubPath":0,)"
                    R"("reserved03":0,"SubPlayItem":[]})");
    EXPECT_EQ(Read(sp, Replaced(json, R"(,"SubPlayItem":[])", "")).err,
              "Failed to read SubPlayItem!\n");

    // An extension SubPath of another type than 8 or 9 keeps only its first two fields.
    FieldWriter e;
    SubPath typed;
    typed.type  = 5;
    typed.items = {SubPlayItem()};
    WriteSubPath(e, typed);
    CSubPath_extension ext;
    CBitBuffer in;
    in.m_bytes = e.Data();
    ASSERT_EQ(ext.Parse(in), 0);
    EXPECT_EQ(in.m_cursor, 8 * in.m_bytes.size());
    EXPECT_EQ(Built(ext).bytes, Hex("00 00 00 04 00 05 00 00"));
}

TEST(Playlist, JsonMessagesOfMissingMembers)
{
    const std::string json = FileToJson(PlaylistFile(SamplePlaylist())).json;
    const std::string playItem =
        "Failed to read JSON array element[0]!\nFailed to read PlayItem!\n";
    struct Case {
        std::string from, to, err;
    } cases[] = {
        {"\"version_number\":\"0200\",", "",
         "failed to read version_number\nfailed to read version_number!\n"},
        {"\"version_number\":\"0200\"", "\"version_number\":\"02\"",
         "Unknown version_number!\nfound    \"02\"\nexpected \"0200\"\n"},
        {"\"PlayList_playback_type\":1,", "\"PlayList_playback_type\":3,",
         "failed to read playback_count\n"},
        {"\"still_mode\":0,", "", "failed to read still_mode\n" + playItem},
        {"\"multi_clip_entries\":{", "\"multi_clip_entrie\":{",
         "failed to read multi_clip_entries\nFailed to read JSON array element[1]!\nFailed to read "
         "PlayItem!\n"},
        {"\"sync_PlayItem_id\":0,", "",
         "failed to read sync_PlayItem_id\nFailed to read JSON array element[0]!\nFailed to read "
         "SubPlayItem!\nFailed to read JSON array element[0]!\nFailed to read SubPath!\n"},
        {"\"mark_type\":2,", "",
         "failed to read mark_type\nFailed to read JSON array element[2]!\nFailed to read "
         "PlayListMark!\n"},
        {"\"data_block\":[1,2,3,4,5]", "\"data_block\":[1,\"x\"]",
         "failed to read ExtDataEntry.data_block[1]\nFailed to read JSON array element[0]!\n"},
        {"\"PlayList\":{", "\"Playlist\":{", "failed to read PlayList\n"},
    };
    for (const Case& c : cases) {
        Outcome o = JsonToFile(Replaced(json, c.from, c.to));
        EXPECT_NE(o.rc, 0) << c.from;
        EXPECT_EQ(o.err, c.err) << c.from;
    }
}

TEST(Playlist, ParseFailuresOfPlayItems)
{
    Playlist p            = SamplePlaylist();
    p.items[1].clip.codec = "M2TX";
    p.items[0].connection = 3;
    EXPECT_EQ(FileToJson(PlaylistFile(p)).err,
              "Unexpected connection condition 03\nError parsing PlayItem[0]!\n");
    p.items[0].connection = 6;
    EXPECT_EQ(FileToJson(PlaylistFile(p)).err,
              "Incorrect codec identifier (M2TX)\nError parsing PlayItem[1]!\n");
}

// ---- Hostile input and lists that do not fit their fields ----------------------------------

TEST(PlaylistRobustness, OverlappingBlocksRunOutOfElementBudget)
{
    // Each SubPath claims 255 SubPlayItems whose 2-byte lengths step only 4 bytes, while each
    // reads 254 subclip entries: the same bytes are read again and again.
    FieldWriter w;
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
    Outcome o = FileToJson(w.Data());
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err.find("Too many elements"), 0u) << o.err;
    EXPECT_NE(o.err.find("Error parsing SubPath["), std::string::npos);
    ExpectBoundedFailure(w.Data(), "overlapping.mpls");
}

TEST(PlaylistRobustness, ExtensionDataBlockOutsideItsBounds)
{
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    size_t ext = (size_t(bytes[16]) << 24) | (size_t(bytes[17]) << 16) | (size_t(bytes[18]) << 8) |
                 bytes[19];
    bytes[ext + 20] = 0x7F; // data_block_length of the entry: about 2 GiB
    Outcome o       = FileToJson(bytes);
    EXPECT_EQ(o.rc, 1);
    EXPECT_EQ(o.err, "ExtensionData entry[0] (3, 7) lies outside the ExtensionData block!\n");
    ExpectBoundedFailure(bytes, "ext.mpls");
}

TEST(PlaylistRobustness, StnTableSsWithoutPlaylistIsRaw)
{
    FieldWriter w;
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
    CBDMV base;
    ASSERT_EQ(Parsed(base, PlaylistFile(SamplePlaylist())).rc, 0);
    const std::string playItem = "Error building play list item\n";
    struct Case {
        std::function<void(CMPLS&)> grow;
        std::string err;
    } cases[] = {
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
         "Too many angle entries: 255 do not fit, at most 254!\n" + playItem},
        {[](CMPLS& m) {
             m.PlayList.m_playItems[0].STN_table.number_of_PiP_PG_textST_stream_entries_plus = 3;
         },
         "PG list holds 2 streams, fewer than number_of_PiP_PG_textST_stream_entries_plus 3!\n" +
             playItem},
        {[](CMPLS& m) {
             m.PlayList.m_playItems[0].STN_table.m_secondaryAudio[0].stream_id_ref.resize(256);
         },
         "Too many stream_id_ref entries: 256 do not fit, at most 255!\nError saving secondary "
         "audio entry[0]!\n" +
             playItem},
        {[](CMPLS& m) {
             CSTNTable& t = m.PlayList.m_playItems[0].STN_table;
             t.m_secondaryVideo[0].stream_id_ref.resize(255);
             t.m_secondaryVideo[0].PiP_PG_textST_stream_id_ref.resize(255);
             t.m_secondaryVideo.resize(200, t.m_secondaryVideo[0]);
         },
         "STN_table is too long: 106532 bytes do not fit its 16-bit length field!\n" + playItem},
        {[](CMPLS& m) { m.ExtensionData.m_entries.resize(256, m.ExtensionData.m_entries[0]); },
         "Too many ExtensionData entries: 256 do not fit, at most 255!\n"},
        {[](CMPLS& m) { m.PlayList.m_playItems[0].STN_table.m_PGTextST.resize(256); },
         "Too many PG/textST streams: 256 do not fit, at most 255!\n" + playItem},
        {[](CMPLS& m) {
             CSTNTable& t                                  = m.PlayList.m_playItems[0].STN_table;
             t.number_of_PiP_PG_textST_stream_entries_plus = 256;
             t.m_PGTextST.resize(300);
         },
         "number_of_PiP_PG_textST_stream_entries_plus 256 does not fit, at most 255!\n" + playItem},
        {[](CMPLS& m) {
             m.PlayList.m_playItems[0]
                 .STN_table.m_secondaryVideo[0]
                 .PiP_PG_textST_stream_id_ref.resize(256);
         },
         "Too many PiP_PG_textST_stream_id_ref entries: 256 do not fit, at most 255!\n"
         "Error saving secondary video entry[0]!\n" +
             playItem},
    };
    for (const Case& c : cases) {
        CBDMV bdmv = base;
        c.grow(bdmv.m_mpls);
        Outcome o = Built(bdmv);
        EXPECT_EQ(o.rc, 1) << c.err;
        EXPECT_EQ(o.err, c.err);
    }
}
