// Varnel and Corbit on clip information end to end: exact JSON, reverse conversion, padding,
// message chains, self-test.
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/stringbuffer.h>

using namespace testing_support;
using namespace clpi_writer;

namespace
{

// A small clip: one video and one audio stream, a two-stream EP map, Extent_Start_Point.
Clip SmallClip()
{
    Clip c;
    c.version           = "0300";
    c.reservedHeader    = {0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    c.sequences.atc     = {Atc{0, 0, {Stc{0x1001, 0, 100, 200}}}};
    Stream video        = Video(0xEA, 4, 4, 2, 0, 0x1011);
    video.isrc          = std::string("GB\0\0\0\0\0\0\0\0\0\0", 12);
    c.program.sequences = {ProgramSequence{0, 0x100, 0, {video, Audio(0x84, 1, 4, "deu", 0x1100)}}};
    EpStream v;
    v.coarse = {{{0, 3, 77}}};
    v.fine   = {{{1, 2, 3, 4}}};
    EpStream g;
    g.pid = 0x1200, g.type = 6;
    c.cpi.streams = {v, g};
    c.ext         = {ExtEntry{2, 4, ExtentBlock({5})}};
    return c;
}

const char kSmallJson[] =
    R"({"HDMV":{"version_number":"0300","reserved_header":[0,7],"ClipInfo":{"reserved01":0,)"
    R"("Clip_stream_type":1,"application_type":1,"reserved02":0,"is_ATC_delta":0,)"
    R"("TS_recording_rate":6000000,"number_of_source_packets":1000,"reserved_block":[0],)"
    R"("TS_type_info_block":{"Validity_flags":128,"Format_identifier":"HDMV",)"
    R"("Network_information":"","Stream_format_name":""}},)"
    R"("SequenceInfo":{"reserved_for_word_align":0,"ATC_sequence":[{"SPN_ATC_start":0,)"
    R"("offset_STC_id":0,"STC_sequence":[{"PCR_PID":4097,"SPN_STC_start":0,)"
    R"("presentation_start_time":100,"presentation_end_time":200}]}]},)"
    R"("ProgramInfo":{"reserved_for_word_align":0,"program_sequence":[{)"
    R"("SPN_program_sequence_start":0,"program_map_PID":256,"reserved01":0,"stream_in_ps":[)"
    R"({"stream_PID":4113,"stream_coding_type":"VC-1","video_format":"1080i","frame_rate":"29.97",)"
    R"("aspect_ratio":"4:3","reserved01":0,"cc_flag":0,"reserved02":0,"ISRC":{"country_code":"GB",)"
    R"("copyright_holder":"","recording_year":"","recording_number":""},"reserved03":0},)"
    R"({"stream_PID":4352,"stream_coding_type":"AC-3 Plus","audio_presentation_type":"Mono",)"
    R"("sampling_frequency":"96 kHz","language_code":"deu","ISRC":{"country_code":"",)"
    R"("copyright_holder":"","recording_year":"","recording_number":""},"reserved03":0}]}]},)"
    R"("CPI":{"reserved01":0,"CPI_type":1,"EP_map_for_one_stream_PID":[{"stream_PID":4113,)"
    R"("reserved01":0,"EP_stream_type":"video type1","EP_coarse":[{"ref_to_EP_fine_id":0,)"
    R"("PTS_EP_coarse":3,"SPN_EP_coarse":77}],"EP_fine":[{"is_angle_change_point":1,)"
    R"("I_end_position_offset":2,"PTS_EP_fine":3,"SPN_EP_fine":4}]},{"stream_PID":4608,)"
    R"("reserved01":0,"EP_stream_type":"Presentation Graphics"}]},)"
    R"("ExtensionData":[{"ID1":2,"ID2":4,"Extent_Start_Point":{"reserved01":0,"SPN_extent_start":[5]}}]}})";

// The text as Varnel writes it: four-space indentation, no final newline.
std::string Pretty(const std::string& compact)
{
    rapidjson::Document doc;
    doc.Parse(compact.c_str());
    EXPECT_FALSE(doc.HasParseError());
    rapidjson::StringBuffer sb;
    rapidjson::PrettyWriter<rapidjson::StringBuffer> w(sb);
    w.SetIndent(' ', 4);
    doc.Accept(w);
    return std::string(sb.GetString(), sb.GetSize());
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

} // namespace

TEST(VarnelClip, ForwardAndReverse)
{
    TempDir dir;
    std::vector<uint8_t> bytes = ClipFile(SmallClip());
    WriteFile(dir.File("c.clpi"), bytes);
    RunResult r = RunVarnel({"c.clpi", "c.json"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(dir.File("c.json")), Pretty(kSmallJson));

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

TEST(VarnelClip, SelfTestAndCorbit)
{
    TempDir dir;
    std::vector<uint8_t> bytes = ClipFile(SampleClip());
    WriteFile(dir.File("s.clpi"), bytes);
    RunResult r = RunVarnel({"-selftest", "s.clpi"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    std::string n = std::to_string(bytes.size());
    std::string j = std::to_string(ReadFile(dir.File("s.json")).size());
    EXPECT_EQ(r.out, "\ns.json (" + j + ") and s.from_json.json (" + j +
                         ") are identical.\n\n"
                         "s.clpi (" +
                         n + ") and s.from_clpi.clpi (" + n +
                         ") are identical.\n"
                         "s.clpi (" +
                         n + ") and s.from_json.clpi (" + n +
                         ") are identical.\n\n"
                         "s.from_clpi.clpi (" +
                         n + ") and s.from_json.clpi (" + n + ") are identical.\n\n");

    // Corbit loads a clip and prints only its name.
    r = RunCorbit({"s.clpi"}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "s.clpi\n");
    EXPECT_EQ(r.err, "");
}

TEST(VarnelClip, MessageChains)
{
    TempDir dir;
    auto reverse = [&](const std::string& json) {
        return RunVarnel({"-reverse", "-", "x.clpi"}, json, dir.Path());
    };
    RunResult r = reverse(Replace(kSmallJson, R"("CPI":{)", R"("CPU":{)"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "failed to read CPI\nParse failed: \n");
    r = reverse(Replace(kSmallJson, R"(,"ExtensionData")", R"(,"ClipMark":5,"ExtensionData")"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "failed to read ClipMark\nParse failed: \n");
    r = reverse(
        Replace(kSmallJson, R"("SPN_extent_start":[5])", R"("SPN_extent_start":[5,6,"7"])"));
    EXPECT_EQ(r.err, "JSON array SPN_extent_start[2] is not an number!\n"
                     "Failed to read JSON array element[0]!\n"
                     "Parse failed: \n");
    EXPECT_FALSE(FileExists(dir.File("x.clpi")));

    // DRA converts to JSON but does not come back.
    Clip dra                         = SmallClip();
    dra.program.sequences[0].streams = {Audio(0x87, 3, 1, "chi", 0x1100)};
    WriteFile(dir.File("dra.clpi"), ClipFile(dra));
    r = RunVarnel({"dra.clpi", "dra.json"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    r = RunVarnel({"-reverse", "dra.json", "dra2.clpi"}, "", dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to read StreamCodingInfo!\n"
                     "Failed to read JSON array element[0]!\n"
                     "Failed to read stream_in_ps!\n"
                     "Failed to read JSON array element[0]!\n"
                     "Failed to read program_sequence!\n"
                     "Parse failed: dra.json\n");

    // An EP map whose counts reach past the CPI block.
    Clip big = SmallClip();
    big.ext.clear();
    std::vector<uint8_t> bytes = ClipFile(big);
    size_t cpi =
        size_t(bytes[16]) << 24 | size_t(bytes[17]) << 16 | size_t(bytes[18]) << 8 | bytes[19];
    bytes[cpi + 4 + 2 + 2 + 7] = 0xFF; // the first stream's fine count
    WriteFile(dir.File("big.clpi"), bytes);
    r = RunVarnel({"big.clpi", "big.json"}, "", dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to read EP_map_for_one_stream_PID!\nfailed to read EP_map\n"
                     "Parse failed: big.clpi\n");
    EXPECT_FALSE(FileExists(dir.File("big.json")));
}
