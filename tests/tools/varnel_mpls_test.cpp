// Varnel on playlists end to end: exact JSON, reverse conversion, padding, messages, self-test.
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace mpls_writer;

namespace
{

const char kUoTable[] =
    R"({"menu_call_mask":0,"title_search_mask":0,"chapter_search_mask":0,)"
    R"("time_search_mask":0,"skip_to_next_point_mask":0,"skip_back_to_previous_point_mask":0,)"
    R"("play_FirstPlay_mask":0,"stop_mask":0,"pause_on_mask":0,"pause_off_mask":0,)"
    R"("still_off_mask":0,"forward_play_mask":0,"backward_play_mask":0,"resume_mask":0,)"
    R"("move_up_selected_button_mask":0,"move_down_selected_button_mask":0,)"
    R"("move_left_selected_button_mask":0,"move_right_selected_button_mask":0,)"
    R"("select_button_mask":0,"activate_button_mask":0,"select_button_and_activate_mask":0,)"
    R"("primary_audio_stream_number_change_mask":0,"reserved01":0,)"
    R"("angle_number_change_mask":0,"popup_on_mask":0,"popup_off_mask":0,)"
    R"("PG_textST_enable_disable_mask":0,"PG_textST_stream_number_change_mask":0,)"
    R"("secondary_video_enable_disable_mask":0,"secondary_video_stream_number_change_mask":0,)"
    R"("secondary_audio_enable_disable_mask":0,"secondary_audio_stream_number_change_mask":0,)"
    R"("reserved02":0,"PiP_PG_textST_stream_number_change_mask":0,"reserved03":0})";

// The sample's JSON, its three UO_mask_tables written "UO".
const char kSampleJson[] =
    R"({"MPLS":{"version_number":"0200","reserved_header":[0],"AppInfoPlayList":{"reserved01":0,)"
    R"("PlayList_playback_type":1,"UO_mask_table":"UO","reserved02":0,"PlayList_random_access_flag":1,)"
    R"("audio_mix_app_flag":0,"lossless_may_bypass_mixer_flag":1,"MVC_Base_view_R_flag":0},)"
    R"("PlayList":{"reserved01":0,"PlayItem":[{"Clip_Information_file_name":"00001",)"
    R"("Clip_codec_identifier":"M2TS","ref_to_STC_id":0,"reserved01":0,"is_multi_angle":0,)"
    R"("connection_condition":1,"IN_time":90000,"OUT_time":990000,"UO_mask_table":"UO",)"
    R"("PlayItem_random_access_flag":0,"reserved02":0,"still_mode":0,"still_time":0,)"
    R"("STN_table":{"reserved01":0,"number_of_PiP_PG_textST_stream_entries_plus":0,"stream":[)"
    R"({"type":1,"pid":4113,"stream_coding_type":"H.264","video_format":"1080p","frame_rate":"23.976","reserved01":0},)"
    R"({"type":1,"pid":4352,"stream_coding_type":"AC-3","audio_presentation_type":"Multi Channel",)"
    R"("sampling_frequency":"48 kHz","language_code":"jpn"},)"
    R"({"type":1,"pid":4353,"stream_coding_type":"LPCM","audio_presentation_type":"Stereo",)"
    R"("sampling_frequency":"96 kHz","language_code":"eng"},)"
    R"({"type":1,"pid":4608,"stream_coding_type":"PGS","language_code":"eng","reserved01":0},)"
    R"({"type":1,"pid":6144,"stream_coding_type":"Text Subtitle","char_code":1,"language_code":"fra"},)"
    R"({"type":1,"pid":5120,"stream_coding_type":"IGS","language_code":"jpn","reserved01":0}],)"
    R"("secondary_stream":[{"type":1,"pid":6656,"stream_coding_type":"AC-3 Plus Secondary",)"
    R"("audio_presentation_type":"Stereo","sampling_frequency":"48 kHz","language_code":"jpn",)"
    R"("stream_id_ref":[0,1,2]},{"type":2,"subpath_id":0,"subclip_id":1,"pid":6912,)"
    R"("stream_coding_type":"H.264","video_format":"1080i","frame_rate":"29.97","reserved01":0,)"
    R"("stream_id_ref":[0],"PiP_PG_textST_stream_id_ref":[1,2]}]}},)"
    R"({"Clip_Information_file_name":"00002","Clip_codec_identifier":"M2TS","ref_to_STC_id":1,)"
    R"("reserved01":0,"is_multi_angle":1,"connection_condition":5,"IN_time":0,"OUT_time":164700000,)"
    R"("UO_mask_table":"UO","PlayItem_random_access_flag":0,"reserved02":0,"still_mode":0,"still_time":0,)"
    R"("multi_clip_entries":{"is_different_audios":0,"is_seamless_angle_change":1,"angle":[)"
    R"({"Clip_Information_file_name":"00003","Clip_codec_identifier":"M2TS","ref_to_STC_id":0},)"
    R"({"Clip_Information_file_name":"00004","Clip_codec_identifier":"M2TS","ref_to_STC_id":2}]},)"
    R"("STN_table":{"reserved01":0,"number_of_PiP_PG_textST_stream_entries_plus":0,"stream":[)"
    R"({"type":1,"pid":4113,"stream_coding_type":"H.265","video_format":"2160p","frame_rate":"50",)"
    R"("reserved_uhd":90,"reserved01":0}]}}],)"
    R"("SubPath":[{"reserved01":0,"SubPath_type":3,"reserved02":0,"is_repeat_SubPath":0,"reserved03":0,)"
    R"("SubPlayItem":[{"Clip_Information_file_name":"00005","Clip_codec_identifier":"M2TS",)"
    R"("ref_to_STC_id":0,"reserved01":0,"is_multi_Clip_entries":0,"sp_connection_condition":1,)"
    R"("SubPlayItem_IN_time":1000,"SubPlayItem_OUT_time":2926000,"sync_PlayItem_id":0,)"
    R"("sync_start_PTS_of_PlayItem":0}]}]},)"
    R"("PlayListMark":[{"reserved01":0,"mark_type":1,"ref_to_PlayItem_id":0,"mark_time_stamp":90000,)"
    R"("entry_ES_PID":65535,"duration":0},{"reserved01":0,"mark_type":1,"ref_to_PlayItem_id":0,)"
    R"("mark_time_stamp":765000,"entry_ES_PID":65535,"duration":0},{"reserved01":0,"mark_type":2,)"
    R"("ref_to_PlayItem_id":1,"mark_time_stamp":4050000,"entry_ES_PID":4113,"duration":45000}],)"
    R"("ExtensionData":[{"ID1":3,"ID2":7,"data_block":[1,2,3,4,5]}]}})";

// The sample's JSON text with its UO tables (the playlist's with menu_call_mask and the low
// reserved bit, the first PlayItem's with stop_mask).
std::string SampleJson()
{
    const std::string uo = kUoTable;
    std::string json =
        Replaced(kSampleJson, "\"UO\"",
                 Replaced(Replaced(uo, "\"menu_call_mask\":0", "\"menu_call_mask\":1"),
                          "\"reserved03\":0", "\"reserved03\":1"));
    json = Replaced(json, "\"UO\"", Replaced(uo, "\"stop_mask\":0", "\"stop_mask\":1"));
    return Replaced(json, "\"UO\"", uo);
}

} // namespace

TEST(VarnelPlaylist, ForwardJsonAndReverseFromStandardInput)
{
    TempDir dir;
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    WriteFile(dir.File("s.mpls"), bytes);
    RunResult r = RunVarnel({dir.File("s.mpls")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string head = "{\n    \"MPLS\": {\n        \"version_number\": \"0200\",\n"
                             "        \"reserved_header\": [\n            0\n";
    EXPECT_EQ(r.out.substr(0, head.size()), head);
    JDoc doc;
    ASSERT_TRUE(ParseJsonText(r.out, doc));
    EXPECT_EQ(CompactText(doc), SampleJson());

    // Named output holds the same text, and the text converts back.
    EXPECT_EQ(RunVarnel({dir.File("s.mpls"), dir.File("s.json")}).status, 0);
    EXPECT_EQ(ReadFile(dir.File("s.json")), r.out);
    r = RunVarnel({"-reverse", "-", dir.File("a.mpls")}, r.out);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("a.mpls")), ToString(bytes));
}

TEST(VarnelPlaylist, PaddingAlignsEverySectionWithZeroGaps)
{
    TempDir dir;
    Playlist p = SamplePlaylist();
    WriteFile(dir.File("s.mpls"), PlaylistFile(p));
    std::string json = RunVarnel({dir.File("s.mpls")}).out;
    RunResult r      = RunVarnel({"-reverse", "-", "-padding", "2048", dir.File("p.mpls")}, json);
    ASSERT_EQ(r.status, 0) << r.err;
    p.padding = 2048;
    EXPECT_EQ(ReadFile(dir.File("p.mpls")), ToString(PlaylistFile(p)));
    EXPECT_EQ(RunVarnel({dir.File("p.mpls")}).out, json);
}

TEST(VarnelPlaylist, MessagesOfRefusedFiles)
{
    TempDir dir;
    Playlist bad = SamplePlaylist();
    bad.version  = "0400";
    WriteFile(dir.File("v.mpls"), PlaylistFile(bad));
    RunResult r = RunVarnel({dir.File("v.mpls"), dir.File("v.json")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "Unknown version_number!\nfound    \"0400\"\nexpected \"0200\"\nParse failed: " +
                  dir.File("v.mpls") + "\n");
    EXPECT_FALSE(FileExists(dir.File("v.json")));

    // A list too long for its count: nothing is written.
    JDoc doc;
    ASSERT_TRUE(ParseJsonText(SampleJson(), doc));
    JValue& marks = doc["MPLS"]["PlayListMark"];
    while (marks.Size() < 65536)
        marks.PushBack(JValue(marks[0], doc.GetAllocator()), doc.GetAllocator());
    r = RunVarnel({"-reverse", "-", dir.File("m.mpls")}, CompactText(doc));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Too many PlayList marks: 65536 do not fit, at most 65535!\nSave failed: " +
                         dir.File("m.mpls") + "\n");
    EXPECT_FALSE(FileExists(dir.File("m.mpls")));
}

TEST(VarnelPlaylist, SelfTestReportsDifferences)
{
    TempDir dir;
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    std::string n              = std::to_string(bytes.size());
    // Surplus bytes after the last section are not rebuilt.
    std::vector<uint8_t> longer = bytes;
    longer.insert(longer.end(), 4, 0);
    WriteFile(dir.File("t.mpls"), longer);
    RunResult r   = RunVarnel({"-selftest", "t.mpls"}, "", dir.Path());
    std::string m = std::to_string(longer.size());
    EXPECT_NE(r.out.find("t.mpls (" + m + ") and t.from_mpls.mpls (" + n +
                         ") have different lengths with identical subset.\n"),
              std::string::npos)
        << r.out;

    // playback_count of a sequential playlist is not kept: byte 47 differs.
    Playlist counted      = SamplePlaylist();
    counted.playbackCount = 5;
    WriteFile(dir.File("u.mpls"), PlaylistFile(counted));
    r = RunVarnel({"-selftest", "u.mpls"}, "", dir.Path());
    EXPECT_NE(
        r.out.find("u.mpls (" + n + ") and u.from_json.mpls (" + n + ") differ at position 47.\n"),
        std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("u.mpls (" + n + ") and u.from_mpls.mpls (" + n + ") are identical.\n"),
              std::string::npos);
}
