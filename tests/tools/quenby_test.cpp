// quenby run as a program. On elementary streams: its command line, the list and table forms,
// the zones, makers and models of a row, opens, creates and writes, and the faults of hostile
// or failing inputs. On transport streams: the rows of the elementary stream through our own
// packets and their faults, the stream choice, FIFOs and standard input. Against independent
// programs: ffmpeg's packets, ffprobe's packet index and exiftool on the real files.
#include "tests/support/stream_support.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

const std::string kUsage =
    "<banner>Usage: quenby [options] infile.mts [outfile.txt]\n"
    "\n"
    "Options:\n"
    "-tab                  list in table format\n"
    "-noheader             suppress header printing (with -tab)\n"
    "-hexdata              show hexadecimal info-data\n"
    "-es                   use elementary stream (.h264, .264, .avc) on input\n"
    "\n"
    "Displays recording information stored in AVCHD files.\n"
    "Output is written to standard output or into specified text file.\n"
    "\n";
const std::string kHeader =
    "AccessUnitNum\tTimeCode\tDateTimeOriginal\tCompany\tCompanyModel\tCompanyModelName\n";
const std::string kHexHeader = "AccessUnitNum\tHexaData\tTimeCode\tDateTimeOriginal\tCompany\t"
                               "CompanyModel\tCompanyModelName\n";
const std::string kOpenError = "ERROR: Cannot open file!\n\n";
const std::string kReadError = "ERROR: File read error!\n\n";

// The worked example's entries, in access units 0, 12 and 24, and the row they give.
const char kWorked[] = "(0x13, 0x12345678), (0x18, 0x02201708), (0x19, 0x24134510), "
                       "(0xE0, 0x10113001)";
const std::string kWorkedRow =
    "78:56:34:12\t2017-08-24 13:45:10, timezone +01:00\tCanon\t0x3001\tHF 100\n";
// Other entries, for a second stream.
const char kSony[] = "(0x18, 0x23201912), (0x19, 0x01020304), (0xE0, 0x01080042)";

// The rows of the first n messages in list form.
std::string WorkedList(bool hex, size_t n = 3)
{
    std::string out;
    const char* aus[] = {"0", "12", "24"};
    for (size_t i = 0; i < n && i < 3; ++i)
        out += std::string(";AccessUnitNum=") + aus[i] + "\n" +
               (hex ? "#04\n#1312345678\n#1802201708\n#1924134510\n#E010113001\n" : "") +
               "TimeCode=78:56:34:12\n"
               "DateTimeOriginal=2017-08-24 13:45:10, timezone +01:00\n"
               "Company=Canon\nCompanyModel=0x3001\nCompanyModelName=HF 100\n\n";
    return out;
}

std::string WorkedTable(bool hex)
{
    std::string out;
    for (const char* au : {"0", "12", "24"})
        out += std::string(au) + "\t" +
               (hex ? "#04131234567818022017081924134510E010113001\t" : "") + kWorkedRow;
    return out;
}

// The fixture with an MDPM message of the entries before the first slice of each of the
// access units.
std::string Marked(const TempDir& dir, const std::string& name, const std::string& fixture = "base",
                   const std::string& aus = "0, 12, 24", const std::string& entries = kWorked)
{
    Generate("m = g.sei_unit([g.mdpm_message([" + entries + "])])\n" + "s = g.read(FIXTURES + '/" +
                 fixture + ".h264')\n" + "g.write('" + name +
                 "', g.insert_units(s, {i: [m] for i in (" + aus + ",)})[0])\n",
             dir.Path());
    return dir.File(name);
}

std::string Banners(const std::string& text)
{
    return ReplaceBanners(text, "Quenby - version 2.00 (build: ");
}

// quenby's standard output; its exit status and standard error are checked.
std::string Quenby(const std::vector<std::string>& args, int status = 0,
                   const std::string& err = "")
{
    RunResult r = RunQuenby(args);
    EXPECT_EQ(r.status, status) << args.back();
    EXPECT_EQ(r.err, err) << args.back();
    return r.out;
}

// A program found through PATH; it must succeed.
RunResult Tool(const std::vector<std::string>& args)
{
    RunResult r = Run("/usr/bin/env", args, "", "", 120);
    EXPECT_EQ(r.status, 0) << args[0] << "\n" << r.err;
    return r;
}

// An independent program the test needs: absent, the test is skipped, unless CI requires it.
#define REQUIRE_TOOL(tool)                                                                         \
    if (!HaveProgram(tool)) {                                                                      \
        EXPECT_FALSE(OraclesRequired()) << tool " is required here";                               \
        GTEST_SKIP() << tool " is not installed";                                                  \
    }

// ts.py mux with the given options.
std::string Mux(const TempDir& dir, const std::vector<std::string>& es, const std::string& name,
                const std::vector<std::string>& options = {})
{
    std::vector<std::string> args = {"python3", std::string(GEN_DIR) + "/ts.py", "mux"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), es.begin(), es.end());
    args.push_back(dir.File(name));
    Tool(args);
    return dir.File(name);
}

// ffmpeg's transport stream of the elementary streams, one program with a video stream each;
// options are ffmpeg's.
std::string FfmpegTs(const TempDir& dir, const std::vector<std::string>& es, bool m2ts,
                     const std::string& name                 = "ffmpeg.ts",
                     const std::vector<std::string>& options = {})
{
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y"};
    for (const std::string& e : es)
        args.insert(args.end(), {"-f", "h264", "-framerate", "24", "-i", e});
    for (size_t i = 0; i < es.size(); ++i) {
        args.insert(args.end(), {"-map", std::to_string(i)});
        // Its m2ts mode picks PIDs for one video stream only.
        if (m2ts)
            args.insert(args.end(),
                        {"-streamid", std::to_string(i) + ":" + std::to_string(4113 + i)});
    }
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-c", "copy", "-bsf:v", "setts=pts=DTS", "-f", "mpegts",
                             "-mpegts_m2ts_mode", m2ts ? "1" : "0", dir.File(name)});
    Tool(args);
    return dir.File(name);
}

void ExpectSameAsEs(const std::string& ts, const std::string& es, const std::string& what)
{
    for (std::vector<std::string> args :
         {std::vector<std::string>{}, {"-tab", "-hexdata"}, {"-TAB", "-noheader"}}) {
        args.push_back(ts);
        std::string out = Quenby(args);
        args.back()     = es;
        args.push_back("-es");
        EXPECT_EQ(out, Quenby(args)) << what;
    }
}

// ts read as es (unless empty) and as ffmpeg's demultiplexing of its video, part by part (a
// file and a map each; the first video stream of ts by default) and joined: quenby's rows, the
// same through standard input, and tallis -delete's video.
void ExpectAsFfmpeg(const TempDir& dir, const std::string& ts, const std::string& es,
                    const std::string& what,
                    std::vector<std::pair<std::string, std::string>> parts = {})
{
    if (!es.empty())
        ExpectSameAsEs(ts, es, what);
    const std::string ref = dir.File("ref.h264"), out = dir.File("out.h264");
    std::string joined;
    for (const auto& part : parts.empty() ? decltype(parts){{ts, "0:v:0"}} : parts) {
        Tool({"ffmpeg", "-v", "error", "-y", "-i", part.first, "-map", part.second, "-c", "copy",
              "-f", "h264", ref});
        joined += ReadFile(ref);
    }
    WriteFile(ref, joined);
    const std::string rows = Quenby({"-tab", "-hexdata", ts});
    EXPECT_EQ(rows, Quenby({"-es", "-tab", "-hexdata", ref})) << what;
    EXPECT_EQ(Run(QUENBY_EXE, {"-tab", "-hexdata", "/dev/stdin"}, ReadFile(ts)).out, rows) << what;
    RunResult r = Run(TALLIS_EXE, {"-delete", "-ts", ts, out});
    EXPECT_EQ(r.status, 0) << what << "\n" << r.err;
    EXPECT_TRUE(ReadFile(out) == ReadFile(ref)) << what;
}

// For each MDPM message of the file, the index of the ffprobe packet that holds it: the last
// one that starts before it; one a line.
std::string FfprobeIndexes(const std::string& file)
{
    RunResult probe = Tool({"ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                            "packet=pos", "-of", "csv=p=0", file});
    // "564," lines, with blank lines between them on a transport stream.
    std::replace(probe.out.begin(), probe.out.end(), ',', ' ');
    std::istringstream lines(probe.out);
    std::vector<uint64_t> starts;
    for (uint64_t pos; lines >> pos;)
        starts.push_back(pos);
    const std::string bytes = ReadFile(file);
    std::string indexes;
    for (size_t at = bytes.find("MDPM"); at != std::string::npos; at = bytes.find("MDPM", at + 1))
        indexes += std::to_string(std::upper_bound(starts.begin(), starts.end(), at) -
                                  starts.begin() - 1) +
                   "\n";
    return indexes;
}

// quenby's AccessUnitNum column, one a line.
std::string AccessUnitNums(const std::vector<std::string>& input)
{
    std::vector<std::string> args = {"-tab", "-noheader"};
    args.insert(args.end(), input.begin(), input.end());
    std::istringstream rows(Quenby(args));
    std::string column;
    for (std::string row; std::getline(rows, row);)
        column += row.substr(0, row.find('\t')) + "\n";
    return column;
}

} // namespace

TEST(QuenbyCli, UsageHelpAndOptions)
{
    TempDir dir;
    const std::string in      = Marked(dir, "example.h264"),
                      warning = "<banner>WARNING: quenby - unknown option ";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out, err;
    } cases[] = {
        {{}, 0, "", kUsage},
        // The exact help words print at once: whatever follows is not looked at.
        {{"-es", "-h", "/nonexistent/in.h264", "-bogus"}, 0, kUsage, ""},
        {{"-help"}, 0, kUsage, ""},
        {{"-?"}, 0, kUsage, ""},
        {{"-H"}, 1, "", warning + "-H specified, ignoring...\n" + kUsage},
        {{"-Help"}, 1, "", warning + "-Help specified, ignoring...\n" + kUsage},
        {{"-es", "-tab", "-noheader", "-hexdata", "-ts"}, 1, "", kUsage},
        // Other options in any case; a banner before each warning, a lone "-" an option too.
        {{"-ES", "-x", "-TAB", in, "-", "-HexData", "-NoHeader"},
         0,
         WorkedTable(true),
         warning + "-x specified, ignoring...\n" + warning + "- specified, ignoring...\n"},
        // Without -es the stream is a transport stream without packets.
        {{in, dir.File("out.txt")}, 101, "", kOpenError},
    };
    for (const auto& c : cases) {
        RunResult r = RunQuenby(c.args);
        EXPECT_EQ(r.status, c.status) << c.args.size();
        EXPECT_EQ(Banners(r.out), c.out);
        EXPECT_EQ(Banners(r.err), c.err);
    }
    EXPECT_FALSE(FileExists(dir.File("out.txt")));
}

TEST(QuenbyListing, WorkedExampleInEachForm)
{
    TempDir dir;
    const std::string in = Marked(dir, "example.h264");
    const struct {
        std::vector<std::string> args;
        std::string out;
    } cases[] = {
        {{"-es", in}, WorkedList(false)},
        {{"-es", "-noheader", in}, WorkedList(false)},
        {{"-es", "-hexdata", in}, WorkedList(true)},
        {{"-es", "-tab", in}, kHeader + WorkedTable(false)},
        {{"-es", "-tab", "-noheader", in}, WorkedTable(false)},
        {{"-es", "-tab", "-hexdata", in}, kHexHeader + WorkedTable(true)},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Quenby(c.args), c.out);
}

TEST(QuenbyListing, ZonesMakersAndModels)
{
    TempDir dir;
    // One SEI unit in access unit 0 with a message per case, in this order.
    Generate(R"(
day = (0x19, 0x24134510)
cases = [[(0x18, z << 24 | 0x201708), day] for z in (0x02, 0x63, 0x1E)]
cases += [[(0x18, 0x029A0001), day]]            # BCD nibbles are not checked
cases += [[(0x18, 0x02FFFFFF), (0x19, 0xFFFFFFFF)]]  # and read up to 165
cases += [[(0x18, 0x02201708)], [day]]           # one of the two: no date
models = [(0x1011, 0x2001), (0x0103, 0x0415), (0x0108, 0x1234), (0x1104, 0x0001), (0x9999, 0x0042),
          (0x1011, 0x9999), (0x0103, 0x3001)]
cases += [[(0xE0, maker << 16 | model)] for maker, model in models]
cases += [[(0x13, 0x11111111), (0xE0, 0x01080001), (0x13, 0x22222222), (0xE0, 0x10113001)]]
cases += [[(0x19, 0x01020304), (0x42, 0xFFFFFFFF), (0x18, 0x61199912)]]
sei = g.sei_unit([g.mdpm_message(c) for c in cases])
g.write('cases.h264', g.insert_units(g.read(FIXTURES + '/noaud.h264'), {0: [sei]})[0])
)",
             dir.Path());
    EXPECT_EQ(Quenby({"-es", "-tab", "-noheader", dir.File("cases.h264")}),
              "0\t\t2017-08-24 13:45:10, timezone +01:00\t\t\t\n"
              "0\t\t2017-08-24 13:45:10, timezone -01:30 DST\t\t\t\n"
              "0\t\t2017-08-24 13:45:10, timezone +15:00\t\t\t\n"
              "0\t\t10000-01-24 13:45:10, timezone +01:00\t\t\t\n"
              "0\t\t16665-165-165 165:165:165, timezone +01:00\t\t\t\n"
              "0\t\t\t\t\t\n"
              "0\t\t\t\t\t\n"
              "0\t\t\tCanon\t0x2001\tHG 20\n"
              "0\t\t\tPanasonic\t0x0415\tAG-AC160\n"
              "0\t\t\tSony\t0x1234\t\n"
              "0\t\t\tJVC\t0x0001\t\n"
              "0\t\t\tunknown (0x9999)\t0x0042\t\n"
              "0\t\t\tCanon\t0x9999\t\n"
              "0\t\t\tPanasonic\t0x3001\t\n"
              "0\t22:22:22:22\t\tCanon\t0x3001\tHF 100\n"
              "0\t\t1999-12-01 02:03:04, timezone -00:30 DST\t\t\t\n");
    // The list form leaves out the empty columns; the hex block lists every entry as read.
    const std::string list = Quenby({"-es", "-hexdata", dir.File("cases.h264")});
    for (const char* rows : {";AccessUnitNum=0\n#01\n#1802201708\n\n;AccessUnitNum=0\n#01\n"
                             "#1924134510\n\n",
                             ";AccessUnitNum=0\n#01\n#E099990042\n"
                             "Company=unknown (0x9999)\nCompanyModel=0x0042\n\n"})
        EXPECT_NE(list.find(rows), std::string::npos) << rows;
}

TEST(QuenbyListing, EscapedValuesAndForeignUserData)
{
    TempDir dir;
    // Access unit 0: beside the fixture's own x264 user data, another UUID, another type
    // indicator, MDPM in another payload type and an empty user data payload, then MDPM.
    // Access unit 3: values that need emulation prevention.
    Generate(R"(
mdpm = g.mdpm_payload([(0x13, 0x12345678)])
foreign = [g.sei_message(5, bytes(16) + mdpm[16:]), g.sei_message(5, mdpm[:16] + b'OFMD' + mdpm[20:]),
           g.sei_message(4, mdpm), g.sei_message(5, b''), g.sei_message(5, mdpm)]
escaped = [g.mdpm_message([(0x13, v)]) for v in (0x00000001, 0x00000000, 0x00000300, 0x00030000)]
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'),
                      {0: [g.sei_unit(foreign)], 3: [g.sei_unit(escaped)]})
assert s.count(b'\x00\x00\x03') >= 4
g.write('s.h264', s)
)",
             dir.Path());
    EXPECT_EQ(Quenby({"-es", "-tab", "-noheader", "-hexdata", dir.File("s.h264")}),
              "0\t#011312345678\t78:56:34:12\t\t\t\t\n"
              "3\t#011300000001\t01:00:00:00\t\t\t\t\n"
              "3\t#011300000000\t00:00:00:00\t\t\t\t\n"
              "3\t#011300000300\t00:03:00:00\t\t\t\t\n"
              "3\t#011300030000\t00:00:03:00\t\t\t\t\n");
}

TEST(QuenbyFiles, OpensCreatesAndWrites)
{
    TempDir dir;
    const std::string in = Marked(dir, "example.h264"), out = dir.File("out.txt"),
                      base = H264Fixture("base");
    // Missing, a directory, a file whose first read fails; read either way.
    for (const std::string& bad : {dir.File("missing"), dir.Path(), std::string("/proc/self/mem")})
        for (const char* kind : {"-es", "-ts"})
            EXPECT_EQ(Quenby({kind, bad, out}, 101, kOpenError), "");
    EXPECT_FALSE(FileExists(out));
    const std::string cannotCreate = "ERROR: Cannot create file!\n\n";
    Quenby({"-es", in, dir.File("no/dir/out.txt")}, 102, cannotCreate);
    // The input by any name: refused, and the input kept.
    const std::string before = ReadFile(in);
    ASSERT_EQ(link(in.c_str(), dir.File("hard.h264").c_str()), 0);
    ASSERT_EQ(symlink(in.c_str(), dir.File("soft.h264").c_str()), 0);
    for (const std::string& same :
         {in, dir.Path() + "/./example.h264", dir.File("hard.h264"), dir.File("soft.h264")}) {
        Quenby({"-es", in, same}, 102, cannotCreate);
        EXPECT_EQ(ReadFile(in), before) << same;
    }

    // A file is replaced, a device written as it is.
    WriteFile(out, std::string(100000, 'x'));
    EXPECT_EQ(Quenby({"-es", "-tab", in, out}), "");
    EXPECT_EQ(ReadFile(out), kHeader + WorkedTable(false));
    EXPECT_EQ(Quenby({"-es", in, "/dev/null"}), "");
    // Rows, or the header row alone, on a full device; nothing to write, nothing fails.
    for (const std::vector<std::string>& args : {std::vector<std::string>{"-es", in, "/dev/full"},
                                                 {"-es", "-tab", in, "/dev/full"},
                                                 {"-es", "-tab", base, "/dev/full"}})
        Quenby(args, 106, "ERROR: File write error!\n\n");
    EXPECT_EQ(Quenby({"-es", base, "/dev/full"}), "");
}

TEST(QuenbyFaults, InputsWithoutMdpmOrWithoutUnitsListNothing)
{
    TempDir dir;
    WriteFile(dir.File("empty"), "");
    WriteFile(dir.File("zeros"), std::string(3 << 20, '\0'));
    WriteFile(dir.File("ones"), std::string(3 << 20, '\xff'));
    for (const std::string& in : {dir.File("empty"), dir.File("zeros"), dir.File("ones"),
                                  H264Fixture("hrd"), std::string("/dev/null")}) {
        EXPECT_EQ(Quenby({"-es", in}), "");
        EXPECT_EQ(Quenby({"-es", "-tab", in}), kHeader);
    }
    // An endless input without a start code: the unit is cut off at 512 MiB.
    EXPECT_EQ(Quenby({"-es", "/dev/zero"}, 255,
                     "ERROR: Cannot find start code in buffer from 0 current file position "
                     "0x00000000).\nERROR: Unexpected error!\n\n"),
              "");
}

TEST(QuenbyFaults, CutPayloadsAndSeiUnits)
{
    TempDir dir;
    // MDPM payloads cut short; trailing zero bytes after SEI units, which are no messages; a
    // message larger than its unit in access unit 13, after the rows of 0 and 12.
    Generate("w = g.mdpm_message([" + std::string(kWorked) + "])" + R"(
full = g.mdpm_payload([(0x13, 0x12345678), (0xE0, 0x01080001)])
msgs = [g.sei_message(5, full[:20]),              # UUID and MDPM without the count: not MDPM
        g.sei_message(5, full[:12]),              # not even the UUID
        g.sei_message(5, full[:21]),              # the count alone: an empty row
        g.sei_message(5, full[:21 + 5 + 3]),      # one entry and a part of the next
        g.sei_message(5, g.mdpm_payload([(0x13, 0x12345678)], count=200))]
g.write('cut.h264', g.insert_units(g.read(FIXTURES + '/base.h264'), {2: [g.sei_unit(msgs)]})[0])
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'), {au: [g.sei_unit([w], trailing_zeros=n)]
                                                        for au, n in ((0, 1), (12, 2), (24, 7))})
g.write('zeros.h264', s)
bad = g.sei_unit([g.mdpm_message([(0x13, 0x12345678)]), g.sei_message(5, bytes(30), size=300)])
g.write('bad.h264', g.insert_units(s, {13: [bad]})[0])
)",
             dir.Path());
    EXPECT_EQ(Quenby({"-es", "-tab", "-noheader", "-hexdata", dir.File("cut.h264")}),
              "2\t#00\t\t\t\t\t\n"
              "2\t#011312345678\t78:56:34:12\t\t\t\t\n"
              "2\t#011312345678\t78:56:34:12\t\t\t\t\n");
    EXPECT_EQ(Quenby({"-es", dir.File("zeros.h264")}), WorkedList(false));
    EXPECT_EQ(
        Quenby({"-es", "-tab", "-noheader", dir.File("bad.h264")}, 253,
               "\nERROR reading bitstream: read past NAL end\n\nERROR: Unexpected error!\n\n"),
        "0\t" + kWorkedRow + "12\t" + kWorkedRow);
}

TEST(QuenbyFaults, HostileParameterSetCountsStayWithinBounds)
{
    TempDir dir;
    Marked(dir, "example.h264");
    Generate(R"(
hostile = [g.unit(7, g.sps_baseline(sps_id=3, poc_type=1, poc_cycle=0xFFFFFFF0), nal_ref_idc=3),
           g.unit(7, g.sps_baseline(sps_id=4, vui=g.hostile_cpb_vui(0xFFFFFFF0)), nal_ref_idc=3)]
for groups_type in (0, 2, 6):
    w = g.BitWriter().ue(7).ue(0).u(1, 0).u(1, 0).ue(0xFFFFFFF0).ue(groups_type)
    if groups_type == 6:
        w.ue(0xFFFFFFF0)
    hostile.append(g.unit(8, w.bytes(), nal_ref_idc=3))
s = g.read('example.h264')
g.write('hostile.h264', g.insert_units(s, {5: hostile, 20: hostile})[0])
)",
             dir.Path());
    RunResult r = RunQuenby({"-es", dir.File("hostile.h264")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, WorkedList(false));
#ifdef __SANITIZE_ADDRESS__
    EXPECT_LT(r.peakKiB, 400 * 1024);
#else
    EXPECT_LT(r.peakKiB, 100 * 1024);
#endif
}

TEST(QuenbyStreams, HugeUnitsCutUnitsAndFifosLeaveTheListingAlone)
{
    TempDir dir;
    const std::string in = Marked(dir, "example.h264");
    Generate(R"(
s = g.read('example.h264')
# A slice of access unit 5 grown to 3 MiB, and a 2 MiB filler unit after access unit 12.
aus = g.access_units(g.split_units(s))
at = [i for i, u in enumerate(aus[5]) if g.nal_type(u) == 1][-1]
aus[5][at] = g.inflate(aus[5][at], 3 << 20)
aus[12].append(g.filler_unit(2 << 20))
g.write('huge.h264', b''.join(b''.join(a) for a in aus))
g.write('cut.h264', s[:-200])  # the last unit cut short
)",
             dir.Path());
    for (const char* name : {"huge.h264", "cut.h264"})
        EXPECT_EQ(Quenby({"-es", dir.File(name)}), WorkedList(false)) << name;
    // A FIFO is read to its end.
    const std::string fifo = dir.File("feed");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] { WriteFile(fifo, ReadFile(in)); });
    EXPECT_EQ(Quenby({"-es", "-tab", fifo}), kHeader + WorkedTable(false));
    writer.join();
}

TEST(QuenbyTs, OurOwnPacketsListAsTheElementaryStream)
{
    TempDir dir;
    const std::string es                   = Marked(dir, "m.h264");
    const std::vector<std::string> cases[] = {
        {},
        {"--packet", "192"},
        // PMTs over two and three packets.
        {"--pmt-length", "182"},
        {"--packet", "192", "--pmt-length", "366"},
        {"--pmt-length", "512"},
        {"--psi-every", "5", "--pmt-length", "368"},
        // A PES header split after so many bytes.
        {"--fault", "split-pes-header", "--split-header", "1"},
        {"--fault", "split-pes-header", "--split-header", "9"},
        {"--fault", "split-pes-header", "--split-header", "13"},
        {"--fault", "null-packets"},
        {"--fault", "adaptation-only", "--packet", "192"},
        {"--fault", "stray-payload"},
        // The last packet cut.
        {"--truncate", "100"},
        {"--packet", "192", "--truncate", "191"},
    };
    for (const auto& options : cases)
        ExpectSameAsEs(Mux(dir, {es}, "x.ts", options), es, options.empty() ? "" : options.back());
}

TEST(QuenbyTs, FailuresEndTheListingWith105OrMakeItUnopenable)
{
    TempDir dir;
    const std::string es = Marked(dir, "m.h264");
    for (const char* packetSize : {"188", "192"}) {
        // Our own reading of the packets: the payload, and the packet each byte came from.
        const size_t size      = std::stoul(packetSize);
        const std::string good = ReadFile(Mux(dir, {es}, "good.ts", {"--packet", packetSize}));
        std::string payload;
        std::vector<size_t> packetOf;
        for (size_t i = 0; (i + 1) * size <= good.size(); ++i) {
            const auto* p = reinterpret_cast<const uint8_t*>(good.data()) + (i + 1) * size - 188;
            if ((((p[1] & 0x1F) << 8) | p[2]) != 0x1011 || !(p[3] & 0x10))
                continue;
            size_t start = (p[3] & 0x20) ? 5 + p[4] : 4;
            start += (p[1] & 0x40) ? 9 + p[start + 8] : 0;
            payload.append(reinterpret_cast<const char*>(p) + start, 188 - start);
            packetOf.resize(payload.size(), i);
        }
        // The third message's unit is complete once the 01 of the next start code is in.
        const size_t third =
            payload.find("MDPM", payload.find("MDPM", payload.find("MDPM") + 1) + 1);
        const size_t ends    = packetOf[payload.find(std::string("\0\0\1", 3), third) + 2];
        const std::string at = std::to_string(ends), behind = std::to_string(ends + 1),
                          last = std::to_string(good.size() / size - 1);
        const struct {
            std::vector<std::string> options;
            std::string out, err;
        } cases[] = {
            // Every unit completed before the failing packet is listed.
            {{"--tei", at}, WorkedList(false, 2), kReadError},
            {{"--tei", behind}, WorkedList(false), kReadError},
            {{"--shift", at}, WorkedList(false, 2), kReadError},
            {{"--shift", behind}, WorkedList(false), kReadError},
            {{"--bad-pes", "24"}, WorkedList(false, 2), kReadError},
            {{"--bad-pes", "25"}, WorkedList(false), kReadError},
            {{"--tei", last}, WorkedList(false), kReadError},
            // Some payload has gone to the walker, even less than a unit.
            {{"--tei", "4"}, "", kReadError},
            // None has.
            {{"--tei", "0"}, "", kOpenError},
            {{"--tei", "1"}, "", kOpenError},
            {{"--shift", "2"}, "", kOpenError},
            {{"--bad-pes", "0"}, "", kOpenError},
        };
        for (auto c : cases) {
            c.options.insert(c.options.end(), {"--packet", packetSize});
            const std::string ts = Mux(dir, {es}, "bad.ts", c.options);
            EXPECT_EQ(Quenby({ts}, c.err == kReadError ? 105 : 101, c.err), c.out)
                << packetSize << " " << c.options[0] << " " << c.options[1];
        }
    }
    // An elementary stream, or 192-byte packets whose 4-byte header begins with 0x47: no
    // packet size. Less than a packet, or nothing: no rows, no error.
    Quenby({es}, 101, kOpenError);
    Quenby({Mux(dir, {es}, "x.m2ts", {"--packet", "192", "--first-header", "47000000"})}, 101,
           kOpenError);
    for (size_t n : {0, 187}) {
        WriteFile(dir.File("short.ts"), ReadFile(Mux(dir, {es}, "x.ts")).substr(0, n));
        EXPECT_EQ(Quenby({"-tab", dir.File("short.ts")}), kHeader);
    }
}

TEST(QuenbyTs, BadPointerFieldsAndOverlongPmts)
{
    TempDir dir;
    const std::string es = Marked(dir, "m.h264");
    const struct {
        std::vector<std::string> options;
        int status;
    } cases[] = {
        // A pointer_field that leaves no byte of the packet for the section it points to.
        {{"--pointer", "183"}, 101},
        {{"--pmt-length", "1022"}, 101},
        // In the PAT and PMT repeated before access unit 5: the rows before it are listed.
        {{"--late", "--psi-every", "5", "--pointer", "183"}, 105},
        {{"--late", "--psi-every", "5", "--pmt-length", "1022"}, 105},
    };
    for (const auto& c : cases) {
        const std::string ts = Mux(dir, {es}, "x.ts", c.options), what = c.options.back();
        const bool open = c.status == 101;
        EXPECT_EQ(Quenby({ts}, c.status, open ? kOpenError : kReadError),
                  open ? "" : WorkedList(false, 1));
        RunResult r =
            testing_support::Run(TALLIS_EXE, {"-delete", "-ts", ts, dir.File("out.h264")});
        EXPECT_EQ(r.status, c.status) << what;
        EXPECT_EQ(ReplaceBanners(r.err, "Tallis - version 1.01 (build: "),
                  "<banner>ERROR: tallis - cannot " +
                      std::string(open ? "open file " : "copy bitstream ") + ts + "\n\n")
            << what;
    }
}

TEST(QuenbyTs, WhichVideoStreamIsListed)
{
    TempDir dir;
    const std::string canon     = Marked(dir, "canon.h264"),
                      sony      = Marked(dir, "sony.h264", "cavlc", "1, 7", kSony);
    const std::string canonRows = Quenby({"-es", canon}), sonyRows = Quenby({"-es", sony});
    // Two H.264 streams: the first; H.264 and MVC either way round: H.264; MVC alone: MVC.
    EXPECT_EQ(Quenby({Mux(dir, {canon, sony}, "x.ts")}), canonRows);
    EXPECT_EQ(Quenby({Mux(dir, {sony, canon}, "x.ts")}), sonyRows);
    EXPECT_EQ(Quenby({Mux(dir, {canon, sony}, "x.ts", {"--second-type", "0x20"})}), canonRows);
    EXPECT_EQ(Quenby({Mux(dir, {canon, sony}, "x.ts", {"--type", "0x20"})}), sonyRows);
    EXPECT_EQ(Quenby({Mux(dir, {sony}, "x.ts", {"--type", "0x20", "--packet", "192"})}), sonyRows);

    REQUIRE_TOOL("ffmpeg");
    const std::string patch = std::string(GEN_DIR) + "/ts.py", two = dir.File("two.ts");
    for (bool m2ts : {false, true}) {
        EXPECT_EQ(Quenby({FfmpegTs(dir, {sony, canon}, m2ts)}), sonyRows);
        rename(FfmpegTs(dir, {canon, sony}, m2ts).c_str(), two.c_str());
        EXPECT_EQ(Quenby({two}), canonRows);
        // The PMT's entries patched to MVC, its CRC_32 made anew.
        for (const char* index : {"0", "1"}) {
            Tool({"python3", patch, "patch-type", "--index", index, two, dir.File("mvc.ts")});
            EXPECT_EQ(Quenby({dir.File("mvc.ts")}), *index == '0' ? sonyRows : canonRows);
        }
        Tool({"python3", patch, "patch-type", FfmpegTs(dir, {sony}, m2ts), dir.File("mvc.ts")});
        EXPECT_EQ(Quenby({dir.File("mvc.ts")}), sonyRows);
        // Still a stream ffprobe reads.
        Tool({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type", dir.File("mvc.ts")});
    }
}

TEST(QuenbyTs, FifosAndStandardInput)
{
    std::signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    const std::string canon = Marked(dir, "canon.h264"),
                      sony  = Marked(dir, "sony.h264", "cavlc", "1, 7", kSony);
    const std::string fifo  = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto throughFifo = [&](const std::string& file, const std::vector<std::string>& options,
                           int status = 0, const std::string& err = "") {
        std::thread writer([&] { WriteFile(fifo, ReadFile(file)); });
        std::vector<std::string> args = options;
        args.push_back(fifo);
        const std::string out = Quenby(args, status, err);
        writer.join();
        return out;
    };
    for (const std::string& ts :
         {Mux(dir, {canon, sony}, "x.ts", {"--second-type", "0x20", "--pmt-length", "400"}),
          Mux(dir, {canon}, "y.ts", {"--packet", "192"})}) {
        EXPECT_EQ(throughFifo(ts, {}), WorkedList(false));
        EXPECT_EQ(throughFifo(ts, {"-tab", "-hexdata"}), kHexHeader + WorkedTable(true));
        RunResult r = testing_support::Run(QUENBY_EXE, {"/dev/stdin"}, ReadFile(ts));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, WorkedList(false));
    }
    // A failure ends the walk without waiting for the writer.
    const std::string last = std::to_string(ReadFile(Mux(dir, {canon}, "z.ts")).size() / 188 - 1);
    EXPECT_EQ(throughFifo(Mux(dir, {canon}, "z.ts", {"--tei", last, "--repeat", "20"}), {}, 105,
                          kReadError),
              WorkedList(false));
}

TEST(QuenbyOracle, FfmpegTransportStreamsListAsTheElementaryStream)
{
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    // The same rows, and AccessUnitNum the index of ffprobe's packet on the transport stream.
    for (const std::string fixture : {"base", "noaud", "slices4", "mbaff", "hrd", "cavlc"}) {
        const std::string es = Marked(dir, "m.h264", fixture, "0, 5, 13, 22, 35");
        for (bool m2ts : {false, true}) {
            const std::string ts   = FfmpegTs(dir, {es}, m2ts),
                              what = fixture + (m2ts ? " m2ts" : "");
            ExpectSameAsEs(ts, es, what);
            EXPECT_EQ(AccessUnitNums({ts}), "0\n5\n13\n22\n35\n") << what;
            EXPECT_EQ(AccessUnitNums({ts}), FfprobeIndexes(ts)) << what;
        }
    }
}

TEST(QuenbyOracle, PsiOfOtherMuxersReadsAsFfmpegReadsIt)
{
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    const std::string es = Marked(dir, "m.h264"), cavlc = H264Fixture("cavlc");
    const std::vector<std::string> cases[] = {
        {"--pointer", "0"},
        {"--pointer", "1", "--packet", "192"},
        {"--pointer", "167", "--psi-every", "5"},
        // Two PMTs in a packet; a PMT ended behind the next packet's pointer_field.
        {"--shared-pmt", "before"},
        {"--shared-pmt", "after", "--pmt-length", "300"},
        {"--foreign", "pmt:0xc0:20"},
        // Headers cut after the PMT's table_id and the PAT's second byte, by table_id 0 on the
        // PMT PID and table_id 2 on PID 0.
        {"--foreign", "pmt:0x00:179", "--foreign", "pat:0x02:178"},
        {"--foreign", "pmt:0x80:4093", "--psi-every", "7"},
        {"--pmt-length", "698", "--psi-every", "5"},
        {"--pmt-length", "1021", "--packet", "192"},
    };
    for (const auto& options : cases)
        ExpectAsFfmpeg(dir, Mux(dir, {es}, "x.ts", options), es, options[0] + " " + options[1]);
    ExpectAsFfmpeg(dir, Mux(dir, {es, cavlc}, "x.ts", {"--second-type", "0xff"}), es, "0xff");
    // A PMT of version 1 moves the video to another PID at an IDR picture: ffmpeg's second
    // stream. The same, a current PAT without the program, a PAT that moves the PMT to another
    // PID, a PMT whose program_number is not the PAT's: at a PES boundary, or sent behind the
    // first packet of a PES packet (the PMT of another program_number behind that of every
    // one).
    for (const char* size : {"188", "192"}) {
        for (const std::vector<std::string>& change :
             {std::vector<std::string>{"--move", "12"},
              {"--drop-program", "12"},
              {"--move-pmt", "12"},
              {"--pmt-program", "2", "--psi-every", "1"}}) {
            for (const char* inFlight : {"", "--in-flight"}) {
                std::vector<std::string> options = change;
                options.insert(options.end(), {"--packet", size});
                if (*inFlight)
                    options.push_back(inFlight);
                const std::string ts   = Mux(dir, {es}, "x.ts", options),
                                  what = change[0] + " " + size + " " + inFlight;
                if (change[0] == "--move")
                    ExpectAsFfmpeg(dir, ts, es, what, {{ts, "0:v:0"}, {ts, "0:v:1"}});
                else
                    ExpectAsFfmpeg(dir, ts, es, what);
            }
        }
    }
    // Recordings joined with cat: the program, PMT PID and video PID changed, or the video PID
    // alone.
    const std::string a    = FfmpegTs(dir, {es}, false, "a.ts"),
                      sony = Marked(dir, "sony.h264", "cavlc", "1, 7", kSony);
    for (const std::vector<std::string>& pids :
         {std::vector<std::string>{"-mpegts_start_pid", "0x41", "-mpegts_pmt_start_pid", "0x20",
                                   "-mpegts_service_id", "2"},
          {"-mpegts_start_pid", "0x200"}}) {
        const std::string b = FfmpegTs(dir, {sony}, false, "b.ts", pids);
        WriteFile(dir.File("ab.ts"), ReadFile(a) + ReadFile(b));
        ExpectAsFfmpeg(dir, dir.File("ab.ts"), "", pids[1], {{a, "0:v:0"}, {b, "0:v:0"}});
    }

    // ffmpeg's PMT of 70 AC-3 streams beside the video: section_length 788.
    const std::string ts = dir.File("x.ts"), ac3 = dir.File("a.ac3");
    Tool({"ffmpeg", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=d=1", "-c:a", "ac3", ac3});
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y", "-f", "h264", "-framerate",
                                     "24",     "-i", es,      "-i", ac3,  "-map", "0:v"};
    for (int i = 0; i < 70; ++i)
        args.insert(args.end(), {"-map", "1:a"});
    args.insert(args.end(), {"-c", "copy", "-bsf:v", "setts=pts=DTS", "-f", "mpegts", ts});
    Tool(args);
    ExpectAsFfmpeg(dir, ts, es, "70 audio streams");
    // tstools: the PAT and PMT behind a pointer_field of filler.
    REQUIRE_TOOL("es2ts");
    Tool({"es2ts", "-quiet", "-h264", es, ts});
    ExpectAsFfmpeg(dir, ts, es, "es2ts");
}

TEST(QuenbyOracle, AccessUnitNumIsFfprobesPacketIndex)
{
    TempDir dir;
    // An MDPM message in every access unit of each fixture, and of a field-coded stream with
    // and without delimiters (each field an access unit).
    Generate(R"(
m = g.sei_unit([g.mdpm_message([(0x13, 0x12345678)])])
def mark(name, s):
    at = range(len(g.access_units(g.split_units(s))))
    g.write(name, g.insert_units(s, {i: [m] for i in at})[0])
for name in ('base', 'noaud', 'cavlc', 'baseline', 'slices4', 'mbaff', 'cqm_jvt', 'yuv444',
             'high10', 'hrd'):
    mark(name + '.h264', g.read(FIXTURES + '/' + name + '.h264'))
for aud in (0, 1):
    mark('paff%d.h264' % aud, g.paff_stream(5, aud=aud))
)",
             dir.Path());
    auto upTo = [](int n) {
        std::string lines;
        for (int i = 0; i < n; ++i)
            lines += std::to_string(i) + "\n";
        return lines;
    };
    for (const char* paff : {"paff0", "paff1"})
        EXPECT_EQ(AccessUnitNums({"-es", dir.File(paff + std::string(".h264"))}), upTo(10));

    REQUIRE_TOOL("ffprobe");
    for (const std::string name : {"base", "noaud", "cavlc", "baseline", "slices4", "mbaff",
                                   "cqm_jvt", "yuv444", "high10", "hrd", "paff0", "paff1"}) {
        const std::string es = dir.File(name + ".h264");
        EXPECT_EQ(AccessUnitNums({"-es", es}), FfprobeIndexes(es)) << name;
        if (name.find("paff") == std::string::npos) {
            EXPECT_EQ(AccessUnitNums({"-es", es}), upTo(36)) << name;
        }
    }
}

TEST(QuenbyOracle, RealTransportStreamsAgreeWithExiftool)
{
    const std::string corpus = CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    for (const char* name : {"exiftool-M2TS.mts", "hc-grinbunny-00002.m2ts",
                             "hc-progressive-00000.m2ts", "hc-progressive-00001.m2ts"})
        Quenby({"-tab", "-hexdata", corpus + "/h264/" + name});
    const std::string mts = corpus + "/h264/exiftool-M2TS.mts", rows = Quenby({"-hexdata", mts});
    EXPECT_EQ(rows, ";AccessUnitNum=0\n"
                    "#07\n#1802200812\n#1931231624\n#70CAF4FFFF\n#71FFFFFFFF\n#7F00006584\n"
                    "#E010113000\n#E106FFFFFF\n"
                    "DateTimeOriginal=2008-12-31 23:16:24, timezone +01:00\n"
                    "Company=Canon\nCompanyModel=0x3000\n\n");

    REQUIRE_TOOL("exiftool");
    // "Tag   : value" lines; the date as 2008:12:31 23:16:24+01:00.
    const std::string exif = Tool({"exiftool", "-ee", "-s", "-DateTimeOriginal", "-Make", mts}).out;
    auto value             = [&](const std::string& tag) {
        size_t at = exif.find(tag + " "), from = exif.find(": ", at) + 2;
        return at == std::string::npos ? "" : exif.substr(from, exif.find('\n', from) - from);
    };
    std::string taken = value("DateTimeOriginal"), make = value("Make");
    ASSERT_EQ(taken.size(), 25u) << exif;
    std::replace(taken.begin(), taken.begin() + 10, ':', '-');
    EXPECT_NE(rows.find("DateTimeOriginal=" + taken.substr(0, 19) + ", timezone " +
                        taken.substr(19) + "\n"),
              std::string::npos)
        << taken;
    ASSERT_FALSE(make.empty()) << exif;
    EXPECT_NE(rows.find("Company=" + make + "\n"), std::string::npos) << make;
}
