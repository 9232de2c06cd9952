// Varnel on playlists end to end: exact JSON, reverse conversion, padding, messages, self-test.
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <map>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

using namespace testing_support;
using namespace mpls_writer;

namespace
{

std::string CompactText(const rapidjson::Value& v)
{
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return std::string(sb.GetString(), sb.GetSize());
}

// Moves every "UO_mask_table" out of the tree (replaced by the string "UO"), collecting them.
void TakeUoTables(rapidjson::Value& v, std::vector<std::string>& tables)
{
    if (v.IsArray())
        for (auto& e : v.GetArray())
            TakeUoTables(e, tables);
    if (!v.IsObject())
        return;
    for (auto& m : v.GetObject()) {
        if (std::string(m.name.GetString()) == "UO_mask_table") {
            tables.push_back(CompactText(m.value));
            m.value.SetString("UO");
        } else
            TakeUoTables(m.value, tables);
    }
}

const char* const kUoKeys[] = {"menu_call_mask",
                               "title_search_mask",
                               "chapter_search_mask",
                               "time_search_mask",
                               "skip_to_next_point_mask",
                               "skip_back_to_previous_point_mask",
                               "play_FirstPlay_mask",
                               "stop_mask",
                               "pause_on_mask",
                               "pause_off_mask",
                               "still_off_mask",
                               "forward_play_mask",
                               "backward_play_mask",
                               "resume_mask",
                               "move_up_selected_button_mask",
                               "move_down_selected_button_mask",
                               "move_left_selected_button_mask",
                               "move_right_selected_button_mask",
                               "select_button_mask",
                               "activate_button_mask",
                               "select_button_and_activate_mask",
                               "primary_audio_stream_number_change_mask",
                               "reserved01",
                               "angle_number_change_mask",
                               "popup_on_mask",
                               "popup_off_mask",
                               "PG_textST_enable_disable_mask",
                               "PG_textST_stream_number_change_mask",
                               "secondary_video_enable_disable_mask",
                               "secondary_video_stream_number_change_mask",
                               "secondary_audio_enable_disable_mask",
                               "secondary_audio_stream_number_change_mask",
                               "reserved02",
                               "PiP_PG_textST_stream_number_change_mask",
                               "reserved03"};

// The expected compact table with the given keys set to the given values.
std::string UoTable(std::map<std::string, int> set)
{
    std::string s = "{";
    for (const char* k : kUoKeys)
        s += std::string(s.size() > 1 ? "," : "") + "\"" + k + "\":" + std::to_string(set[k]);
    return s + "}";
}

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

uint32_t At32(const std::string& b, size_t at)
{
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint8_t(b[at + 3]);
}

} // namespace

TEST(VarnelPlaylist, ForwardJsonHasTheFormatsMembersInOrder)
{
    TempDir dir;
    WriteFile(dir.File("s.mpls"), PlaylistFile(SamplePlaylist()));
    RunResult r = RunVarnel({dir.File("s.mpls")});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    const std::string head = "{\n    \"MPLS\": {\n        \"version_number\": \"0200\",\n"
                             "        \"reserved_header\": [\n            0\n";
    EXPECT_EQ(r.out.substr(0, head.size()), head);

    rapidjson::Document doc;
    doc.Parse(r.out.c_str());
    ASSERT_FALSE(doc.HasParseError());
    std::vector<std::string> uo;
    TakeUoTables(doc, uo);
    EXPECT_EQ(CompactText(doc), kSampleJson);
    ASSERT_EQ(uo.size(), 3u);
    EXPECT_EQ(uo[0], UoTable({{"menu_call_mask", 1}, {"reserved03", 1}}));
    EXPECT_EQ(uo[1], UoTable({{"stop_mask", 1}}));
    EXPECT_EQ(uo[2], UoTable({}));

    // Named output holds the same text.
    RunResult named = RunVarnel({dir.File("s.mpls"), dir.File("s.json")});
    EXPECT_EQ(named.status, 0);
    EXPECT_EQ(ReadFile(dir.File("s.json")), r.out);
}

TEST(VarnelPlaylist, ReverseIsByteIdenticalFromFileAndStandardInput)
{
    TempDir dir;
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    WriteFile(dir.File("s.mpls"), bytes);
    std::string json = RunVarnel({dir.File("s.mpls")}).out;
    RunResult r      = RunVarnel({"-reverse", "-", dir.File("a.mpls")}, json);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("a.mpls")), ToString(bytes));
    WriteFile(dir.File("s.json"), json);
    r = RunVarnel({"-reverse", dir.File("s.json"), dir.File("b.mpls")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("b.mpls")), ToString(bytes));
}

TEST(VarnelPlaylist, PaddingAlignsEverySectionWithZeroGaps)
{
    TempDir dir;
    WriteFile(dir.File("s.mpls"), PlaylistFile(SamplePlaylist()));
    std::string json = RunVarnel({dir.File("s.mpls")}).out;
    RunResult r      = RunVarnel({"-reverse", "-", "-padding", "2048", dir.File("p.mpls")}, json);
    ASSERT_EQ(r.status, 0) << r.err;
    std::string p = ReadFile(dir.File("p.mpls"));
    EXPECT_EQ(p.size(), 4u * 2048);
    // AppInfoPlayList, then PlayList, PlayListMark and ExtensionData at multiples of 2048,
    // each followed by zero bytes only.
    std::vector<size_t> starts = {40, At32(p, 8), At32(p, 12), At32(p, 16)};
    EXPECT_EQ(starts[1], 2048u);
    EXPECT_EQ(starts[2], 4096u);
    EXPECT_EQ(starts[3], 6144u);
    for (size_t i = 0; i < starts.size(); ++i) {
        size_t end  = starts[i] + 4 + At32(p, starts[i]);
        size_t next = i + 1 < starts.size() ? starts[i + 1] : p.size();
        EXPECT_EQ(p.substr(end, next - end), std::string(next - end, '\0')) << i;
    }
    RunResult back = RunVarnel({dir.File("p.mpls")});
    EXPECT_EQ(back.out, json);
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

    bad                     = SamplePlaylist();
    bad.items[1].clip.codec = "M2TX";
    WriteFile(dir.File("c.mpls"), PlaylistFile(bad));
    r = RunVarnel({dir.File("c.mpls")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "Incorrect codec identifier (M2TX)\nError parsing PlayItem[1]!\nParse failed: " +
                  dir.File("c.mpls") + "\n");

    // JSON without an STN table, read from standard input.
    WriteFile(dir.File("s.mpls"), PlaylistFile(SamplePlaylist()));
    std::string json = RunVarnel({dir.File("s.mpls")}).out;
    std::string cut  = json;
    size_t at        = cut.find("\"STN_table\"");
    cut.replace(at, 11, "\"STN_tabel\"");
    r = RunVarnel({"-reverse", "-", dir.File("x.mpls")}, cut);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "failed to read STN_table\nFailed to read JSON array element[0]!\n"
                     "Failed to read PlayItem!\nParse failed: \n");

    // A list too long for its count: nothing is written.
    rapidjson::Document doc;
    doc.Parse(json.c_str());
    rapidjson::Value& marks = doc["MPLS"]["PlayListMark"];
    while (marks.Size() < 65536) {
        rapidjson::Value copy(marks[0], doc.GetAllocator());
        marks.PushBack(copy, doc.GetAllocator());
    }
    std::string big = CompactText(doc);
    r               = RunVarnel({"-reverse", "-", dir.File("m.mpls")}, big);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Too many PlayList marks: 65536 do not fit, at most 65535!\nSave failed: " +
                         dir.File("m.mpls") + "\n");
    EXPECT_FALSE(FileExists(dir.File("m.mpls")));
}

TEST(VarnelPlaylist, SelfTestReports)
{
    TempDir dir;
    std::vector<uint8_t> bytes = PlaylistFile(SamplePlaylist());
    WriteFile(dir.File("s.mpls"), bytes);
    RunResult r = RunVarnel({"-selftest", "s.mpls"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string n = std::to_string(bytes.size());
    std::string j = std::to_string(ReadFile(dir.File("s.json")).size());
    EXPECT_EQ(r.out, "\ns.json (" + j + ") and s.from_json.json (" + j +
                         ") are identical.\n\n"
                         "s.mpls (" +
                         n + ") and s.from_mpls.mpls (" + n +
                         ") are identical.\n"
                         "s.mpls (" +
                         n + ") and s.from_json.mpls (" + n +
                         ") are identical.\n\n"
                         "s.from_mpls.mpls (" +
                         n + ") and s.from_json.mpls (" + n + ") are identical.\n\n");

    // Surplus bytes after the last section are not rebuilt.
    std::vector<uint8_t> longer = bytes;
    longer.insert(longer.end(), 4, 0);
    WriteFile(dir.File("t.mpls"), longer);
    r             = RunVarnel({"-selftest", "t.mpls"}, "", dir.Path());
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
