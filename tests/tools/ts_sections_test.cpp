// PSI as muxers other than ours write it: pointer_fields, several sections in a packet, other
// tables on the PAT and PMT PIDs, long PMTs, a stream of type 0xFF. quenby lists, and tallis
// demultiplexes, the video of each as ffmpeg does.
#include "tests/support/stream_support.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

#define REQUIRE_TOOL(tool)                                                                         \
    if (!HaveProgram(tool)) {                                                                      \
        EXPECT_FALSE(OraclesRequired()) << tool " is required here";                               \
        GTEST_SKIP() << tool " is not installed";                                                  \
    }

// The base fixture with an MDPM message in every access unit, as dir/m.h264.
std::string Marked(const TempDir& dir)
{
    Generate(R"(
s = g.read(FIXTURES + '/base.h264')
m = g.sei_unit([g.mdpm_message([(0x13, 0x12345678), (0x18, 0x02201708), (0xE0, 0x10113001)])])
g.write('m.h264', g.insert_units(s, {i: [m] for i in range(36)})[0])
)",
             dir.Path());
    return dir.File("m.h264");
}

RunResult Must(const std::vector<std::string>& args)
{
    RunResult r = Run("/usr/bin/env", args, "", "", 120);
    EXPECT_EQ(r.status, 0) << args[0] << "\n" << r.err;
    return r;
}

// ts.py mux with the options (inputs included) to dir/x.ts.
std::string Mux(const TempDir& dir, const std::vector<std::string>& options)
{
    std::vector<std::string> args = {"python3", std::string(GEN_DIR) + "/ts.py", "mux"};
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(dir.File("x.ts"));
    Must(args);
    return dir.File("x.ts");
}

RunResult Quenby(const std::vector<std::string>& args) { return Run(QUENBY_EXE, args); }

// tallis -delete -ts into dir/out.h264; its output bytes.
std::string Delete(const TempDir& dir, const std::string& ts, int status, const std::string& err)
{
    RunResult r = Run(TALLIS_EXE, {"-delete", "-ts", ts, dir.File("out.h264")});
    EXPECT_EQ(r.status, status) << ts;
    EXPECT_EQ(ReplaceBanners(r.err, "Tallis - version 1.01 (build: "), err);
    return ReadFile(dir.File("out.h264"));
}

// The table of ts is that of the elementary stream es, and so is its demultiplexed video
// unless the muxer changed its bytes; with ffmpeg there, both are those of ffmpeg's
// demultiplexing.
void ExpectVideo(const TempDir& dir, const std::string& ts, const std::string& es,
                 const std::string& what, bool sameBytes = true)
{
    const RunResult listed = Quenby({"-tab", "-hexdata", ts});
    EXPECT_EQ(listed.status, 0) << what << "\n" << listed.err;
    EXPECT_EQ(listed.out, Quenby({"-es", "-tab", "-hexdata", es}).out) << what;
    const std::string video = Delete(dir, ts, 0, "");
    EXPECT_TRUE(!sameBytes || video == ReadFile(es)) << what;
    if (!HaveProgram("ffmpeg"))
        return;
    const std::string ref = dir.File("ref.h264");
    Must({"ffmpeg", "-v", "error", "-y", "-i", ts, "-map", "0:v:0", "-c", "copy", "-f", "h264",
          ref});
    EXPECT_EQ(listed.out, Quenby({"-es", "-tab", "-hexdata", ref}).out) << what;
    EXPECT_TRUE(video == ReadFile(ref)) << what;
}

} // namespace

TEST(TsSections, OurPacketsReadAsFfmpegReadsThem)
{
    TempDir dir;
    const std::string es = Marked(dir);
    const struct {
        const char* what;
        std::vector<std::string> options;
        bool second = false; // a second stream, of --second-type
    } cases[] = {
        {"pointer_field 0", {"--pointer", "0"}},
        {"pointer_field 1", {"--pointer", "1", "--packet", "192"}},
        {"pointer_field 167", {"--pointer", "167", "--psi-every", "5"}},
        {"two PMTs in a packet", {"--shared-pmt", "before"}},
        {"a PMT ended behind the next pointer_field",
         {"--shared-pmt", "after", "--pmt-length", "300"}},
        {"another table ahead of the PMT", {"--foreign", "pmt:0xc0:20"}},
        // The PMT's header cut after its table_id, the PAT's after two bytes, by table_id 0 on
        // the PMT PID and table_id 2 on PID 0.
        {"cut headers", {"--foreign", "pmt:0x00:179", "--foreign", "pat:0x02:178"}},
        {"a 4093-byte table", {"--foreign", "pmt:0x80:4093", "--psi-every", "7"}},
        {"PMT of 698", {"--pmt-length", "698", "--psi-every", "5"}},
        {"PMT of 1021", {"--pmt-length", "1021", "--packet", "192"}},
        {"a type-0xFF stream", {"--second-type", "0xff"}, true},
    };
    for (const auto& c : cases) {
        std::vector<std::string> options = c.options;
        options.push_back(es);
        if (c.second)
            options.push_back(H264Fixture("cavlc"));
        ExpectVideo(dir, Mux(dir, options), es, c.what);
    }
}

TEST(TsSections, OtherMuxersReadAsFfmpegReadsThem)
{
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string es = Marked(dir), ts = dir.File("x.ts");
    // 70 AC-3 streams beside the video: a PMT of section_length 788.
    Must({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "ac3", "-f",
          "ac3", dir.File("a.ac3")});
    std::vector<std::string> args = {"ffmpeg",     "-v", "error", "-y", "-f", "h264",
                                     "-framerate", "24", "-i",    es,   "-i", dir.File("a.ac3"),
                                     "-map",       "0:v"};
    for (int i = 0; i < 70; ++i)
        args.insert(args.end(), {"-map", "1:a"});
    args.insert(args.end(), {"-c", "copy", "-bsf:v", "setts=pts=DTS", "-f", "mpegts", ts});
    Must(args);
    ExpectVideo(dir, ts, es, "70 audio streams");

    // tstools writes its PAT and PMT behind a pointer_field of filler, and shortens the
    // first start code.
    REQUIRE_TOOL("es2ts");
    Must({"es2ts", "-quiet", "-h264", es, ts});
    ExpectVideo(dir, ts, es, "es2ts", false);
}

TEST(TsSections, BadPointerFieldsAndOverlongPmts)
{
    TempDir dir;
    const std::string es = Marked(dir), all = Quenby({"-es", "-tab", es}).out;
    auto lines = [&](size_t n) {
        size_t at = 0;
        while (n-- > 0)
            at = all.find('\n', at) + 1;
        return all.substr(0, at);
    };
    const std::string open = "ERROR: Cannot open file!\n\n", read = "ERROR: File read error!\n\n";
    const struct {
        std::vector<std::string> options;
        int status;
        size_t rows; // the header included
    } cases[] = {
        // A pointer_field that leaves no byte of the packet for the section it points to.
        {{"--pointer", "183"}, 101, 0},
        {{"--pmt-length", "1022"}, 101, 0},
        // In the PSI repeated before the sixth access unit: the first five are listed.
        {{"--late", "--psi-every", "5", "--pointer", "183"}, 105, 6},
        {{"--late", "--psi-every", "5", "--pmt-length", "1022"}, 105, 6},
    };
    for (const auto& c : cases) {
        std::vector<std::string> options = c.options;
        options.push_back(es);
        const std::string ts = Mux(dir, options), what = c.options.back() + " " + c.options[0];
        const RunResult r = Quenby({"-tab", ts});
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(r.err, c.status == 101 ? open : read) << what;
        EXPECT_EQ(r.out, lines(c.rows)) << what;
        const std::string video = Delete(
            dir, ts, c.status,
            "<banner>ERROR: tallis - cannot " +
                std::string(c.status == 101 ? "open file " : "copy bitstream ") + ts + "\n\n");
        if (c.status == 105) {
            const std::string whole = ReadFile(es);
            EXPECT_GT(video.size(), 0u) << what;
            EXPECT_EQ(whole.compare(0, video.size(), video), 0) << what;
        }
    }
}
