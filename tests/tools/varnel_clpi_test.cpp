// Varnel on clip information end to end: exact JSON, reverse conversion, padding, messages.
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>

using namespace testing_support;
using namespace clpi_writer;

namespace
{

// A small clip: fonts, a stream of each coding family, a two-stream EP map, the clip
// ExtensionData blocks of the sample clip.
Clip SmallClip()
{
    Clip c;
    c.version              = "0300";
    c.reservedHeader       = {0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    c.info.applicationType = 6;
    c.info.fonts           = {Font{"00011", 0}, Font{"00012", 1}};
    c.sequences.atc        = {Atc{0, 0, {Stc{0x1001, 0, 100, 200}}}};
    Stream video           = Video(0xEA, 4, 4, 2, 0, 0x1011);
    video.isrc             = std::string("J\0ABC12345\0\0", 12); // strings up to a zero byte
    c.program.sequences    = {
           ProgramSequence{0,
                        0x100,
                        0,
                        {video, Audio(0x84, 1, 4, "deu", 0x1100), Graphics(0x90, "eng", 0x1200, 5),
                            TextSubtitle(1, "fra", 0x1800), Video(0x24, 8, 6, 3, 0, 0x1015)}}};
    EpStream v;
    v.coarse = {{{0, 3, 77}}};
    v.fine   = {{{1, 2, 3, 4}}};
    EpStream g;
    g.pid = 0x1200, g.type = 6, g.coarse = {{{0, 1, 2}}}; // no fine table
    c.cpi.streams = {v, g};
    c.ext         = SampleClip().ext;
    return c;
}

const std::string kNoIsrc =
    R"("ISRC":{"country_code":"","copyright_holder":"","recording_year":"","recording_number":""},)"
    R"("reserved03":0})";
const std::string kSmallJson =
    R"({"HDMV":{"version_number":"0300","reserved_header":[0,7],"ClipInfo":{"reserved01":0,)"
    R"("Clip_stream_type":1,"application_type":6,"reserved02":0,"is_ATC_delta":0,)"
    R"("TS_recording_rate":6000000,"number_of_source_packets":1000,"reserved_block":[0],)"
    R"("TS_type_info_block":{"Validity_flags":128,"Format_identifier":"HDMV",)"
    R"("Network_information":"","Stream_format_name":""},"reserved05":0,)"
    R"("font_file":[{"font_file_name":"00011","reserved01":0},{"font_file_name":"00012",)"
    R"("reserved01":1}]},"SequenceInfo":{"reserved_for_word_align":0,)"
    R"("ATC_sequence":[{"SPN_ATC_start":0,"offset_STC_id":0,"STC_sequence":[{"PCR_PID":4097,)"
    R"("SPN_STC_start":0,"presentation_start_time":100,"presentation_end_time":200}]}]},)"
    R"("ProgramInfo":{"reserved_for_word_align":0,)"
    R"("program_sequence":[{"SPN_program_sequence_start":0,"program_map_PID":256,)"
    R"("reserved01":0,"stream_in_ps":[{"stream_PID":4113,"stream_coding_type":"VC-1",)"
    R"("video_format":"1080i","frame_rate":"29.97","aspect_ratio":"4:3","reserved01":0,)"
    R"("cc_flag":0,"reserved02":0,"ISRC":{"country_code":"J","copyright_holder":"ABC",)"
    R"("recording_year":"12","recording_number":"345"},"reserved03":0},{"stream_PID":4352,)"
    R"("stream_coding_type":"AC-3 Plus","audio_presentation_type":"Mono",)"
    R"("sampling_frequency":"96 kHz","language_code":"deu",)" +
    kNoIsrc +
    R"(,{"stream_PID":4608,"stream_coding_type":"PGS","language_code":"eng","reserved01":5,)" +
    kNoIsrc +
    R"(,{"stream_PID":6144,"stream_coding_type":"Text Subtitle","char_code":1,)"
    R"("language_code":"fra",)" +
    kNoIsrc +
    R"(,{"stream_PID":4117,"stream_coding_type":"H.265","video_format":"2160p",)"
    R"("frame_rate":"50","aspect_ratio":"16:9","reserved01":0,"cc_flag":0,"reserved02":0,)" +
    kNoIsrc +
    R"(]}]},"CPI":{"reserved01":0,"CPI_type":1,"EP_map_for_one_stream_PID":[{"stream_PID":4113,)"
    R"("reserved01":0,"EP_stream_type":"video type1","EP_coarse":[{"ref_to_EP_fine_id":0,)"
    R"("PTS_EP_coarse":3,"SPN_EP_coarse":77}],"EP_fine":[{"is_angle_change_point":1,)"
    R"("I_end_position_offset":2,"PTS_EP_fine":3,"SPN_EP_fine":4}]},{"stream_PID":4608,)"
    R"("reserved01":0,"EP_stream_type":"Presentation Graphics",)"
    R"("EP_coarse":[{"ref_to_EP_fine_id":0,"PTS_EP_coarse":1,"SPN_EP_coarse":2}]}]},)"
    R"("ExtensionData":[{"ID1":1,"ID2":2,)"
    R"("HDMV_LPCM_down_mix_coefficient":[{"ref_to_stream_index":1,)"
    R"("mixing_phase_for_ch1_to_left":1,"mixing_phase_for_ch2_to_left":0,)"
    R"("mixing_phase_for_ch3_to_left":0,"mixing_phase_for_ch4_to_left":0,)"
    R"("mixing_phase_for_ch5_to_left":0,"mixing_phase_for_ch6_to_left":0,)"
    R"("mixing_phase_for_ch7_to_left":0,"mixing_phase_for_ch8_to_left":1,)"
    R"("mixing_phase_for_ch1_to_right":0,"mixing_phase_for_ch2_to_right":1,)"
    R"("mixing_phase_for_ch3_to_right":0,"mixing_phase_for_ch4_to_right":0,)"
    R"("mixing_phase_for_ch5_to_right":0,"mixing_phase_for_ch6_to_right":0,)"
    R"("mixing_phase_for_ch7_to_right":0,"mixing_phase_for_ch8_to_right":0,)"
    R"("down_mix_coefficient_for_ch1_to_left":255,"down_mix_coefficient_for_ch2_to_left":128,)"
    R"("down_mix_coefficient_for_ch3_to_left":0,"down_mix_coefficient_for_ch4_to_left":1,)"
    R"("down_mix_coefficient_for_ch5_to_left":2,"down_mix_coefficient_for_ch6_to_left":3,)"
    R"("down_mix_coefficient_for_ch7_to_left":4,"down_mix_coefficient_for_ch8_to_left":5,)"
    R"("down_mix_coefficient_for_ch1_to_right":6,"down_mix_coefficient_for_ch2_to_right":7,)"
    R"("down_mix_coefficient_for_ch3_to_right":8,"down_mix_coefficient_for_ch4_to_right":9,)"
    R"("down_mix_coefficient_for_ch5_to_right":10,"down_mix_coefficient_for_ch6_to_right":11,)"
    R"("down_mix_coefficient_for_ch7_to_right":12,"down_mix_coefficient_for_ch8_to_right":13}],)"
    R"("HDMV_LPCM_down_mix_coefficient_stuffing_byte":0},{"ID1":2,"ID2":4,)"
    R"("Extent_Start_Point":{"reserved01":0,"SPN_extent_start":[100,200,300]}},{"ID1":2,)"
    R"("ID2":5,"ProgramInfo_SS":{"reserved_for_word_align":0,)"
    R"("program_sequence":[{"SPN_program_sequence_start":0,"program_map_PID":256,)"
    R"("reserved01":0,"stream_in_ps":[{"stream_PID":4114,"stream_coding_type":"MVC",)"
    R"("video_format":"1080p","frame_rate":"23.976","aspect_ratio":"16:9","reserved01":0,)"
    R"("cc_flag":0,"reserved02":0,)" +
    kNoIsrc +
    R"(]}]}},{"ID1":2,"ID2":6,"CPI_SS":{"reserved01":0,"CPI_type":1,)"
    R"("EP_map_for_one_stream_PID":[{"stream_PID":4114,"reserved01":0,)"
    R"("EP_stream_type":"video type1","EP_coarse":[{"ref_to_EP_fine_id":0,"PTS_EP_coarse":1,)"
    R"("SPN_EP_coarse":900}],"EP_fine":[{"is_angle_change_point":0,"I_end_position_offset":1,)"
    R"("PTS_EP_fine":10,"SPN_EP_fine":900}]}]}},{"ID1":3,"ID2":7,"data_block":[1,2,3,4,5]}]}})";

} // namespace

TEST(VarnelClip, ForwardAndReverse)
{
    TempDir dir;
    std::vector<uint8_t> bytes = ClipFile(SmallClip());
    WriteFile(dir.File("c.clpi"), bytes);
    RunResult r = RunVarnel({"c.clpi", "c.json"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    JDoc doc;
    ASSERT_TRUE(ParseJsonText(ReadFile(dir.File("c.json")), doc));
    EXPECT_EQ(CompactText(doc), kSmallJson);

    r = RunVarnel({"-reverse", "c.json", "back.clpi"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(dir.File("back.clpi")), ToString(bytes));

    // From standard input, with every block and the end on a multiple of 2048 bytes.
    r = RunVarnel({"-reverse", "-", "-padding", "2048", "padded.clpi"}, kSmallJson, dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    Clip padded    = SmallClip();
    padded.padding = 2048;
    EXPECT_EQ(ReadFile(dir.File("padded.clpi")), ToString(ClipFile(padded)));
}

TEST(VarnelClip, MessageChains)
{
    TempDir dir;
    RunResult r = RunVarnel({"-reverse", "-", "x.clpi"},
                            Replaced(kSmallJson, R"("SPN_extent_start":[100,200,300])",
                                     R"("SPN_extent_start":[5,6,"7"])"),
                            dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "JSON array SPN_extent_start[2] is not an number!\n"
                     "Failed to read JSON array element[1]!\n"
                     "Parse failed: \n");
    EXPECT_FALSE(FileExists(dir.File("x.clpi")));

    // DRA converts to JSON as its coding type alone, which does not come back.
    Clip dra                         = SmallClip();
    dra.program.sequences[0].streams = {Audio(0x87, 3, 1, "chi", 0x1100)};
    WriteFile(dir.File("dra.clpi"), ClipFile(dra));
    r = RunVarnel({"dra.clpi", "dra.json"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(ReadFile(dir.File("dra.json"))
                  .find("{\n                            \"stream_PID\": 4352,\n"
                        "                            \"stream_coding_type\": \"DRA\"\n"
                        "                        }"),
              std::string::npos);
    r = RunVarnel({"-reverse", "dra.json", "dra2.clpi"}, "", dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to read StreamCodingInfo!\n"
                     "Failed to read JSON array element[0]!\n"
                     "Failed to read stream_in_ps!\n"
                     "Failed to read JSON array element[0]!\n"
                     "Failed to read program_sequence!\n"
                     "Parse failed: dra.json\n");
}
