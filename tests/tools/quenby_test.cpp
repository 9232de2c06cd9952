// quenby end to end: its command line, opens and creates, the list and table forms, every
// zone, maker and model of a row, and the faults of hostile or failing inputs and outputs.
#include "tests/support/stream_support.h"
#include "tools/recinfo/quenby.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

const char kUsage[] = "Usage: quenby [options] infile.mts [outfile.txt]\n"
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

const char kHeader[] =
    "AccessUnitNum\tTimeCode\tDateTimeOriginal\tCompany\tCompanyModel\tCompanyModelName\n";

// Strips the banner from the front of text; fails the test when it is not there. The build
// date is the compiler's, "Mmm dd yyyy" with the day padded by a blank.
std::string AfterBanner(const std::string& text)
{
    const std::string head = "Quenby - version 2.00 (build: ", tail = ")\n\n";
    const size_t end = head.size() + 11 + tail.size();
    bool ok          = text.size() >= end && text.compare(0, head.size(), head) == 0 &&
              text.compare(head.size() + 11, tail.size(), tail) == 0 &&
              isupper(text[head.size()]) && isdigit(text[head.size() + 5]) &&
              isdigit(text[head.size() + 10]);
    EXPECT_TRUE(ok) << text;
    return ok ? text.substr(end) : text;
}

// The worked example: tags 0x13, 0x18, 0x19 and 0xE0 in access units 0, 12 and 24.
const char kWorkedExample[] = R"(
m = g.sei_unit([g.mdpm_message([(0x13, 0x12345678), (0x18, 0x02201708), (0x19, 0x24134510),
                                (0xE0, 0x10113001)])])
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'), {0: [m], 12: [m], 24: [m]})
g.write('example.h264', s)
)";

const char kWorkedRowList[] = "TimeCode=78:56:34:12\n"
                              "DateTimeOriginal=2017-08-24 13:45:10, timezone +01:00\n"
                              "Company=Canon\n"
                              "CompanyModel=0x3001\n"
                              "CompanyModelName=HF 100\n"
                              "\n";
const char kWorkedRowTable[] =
    "78:56:34:12\t2017-08-24 13:45:10, timezone +01:00\tCanon\t0x3001\tHF 100\n";
const char kWorkedHex[] = "#04131234567818022017081924134510E010113001";

std::string WorkedList(bool hex)
{
    std::string out;
    for (const char* au : {"0", "12", "24"}) {
        out += std::string(";AccessUnitNum=") + au + "\n";
        if (hex)
            out += "#04\n#1312345678\n#1802201708\n#1924134510\n#E010113001\n";
        out += kWorkedRowList;
    }
    return out;
}

std::string WorkedTable(bool hex)
{
    std::string out;
    for (const char* au : {"0", "12", "24"})
        out +=
            std::string(au) + "\t" + (hex ? std::string(kWorkedHex) + "\t" : "") + kWorkedRowTable;
    return out;
}

void ExpectSuccess(const RunResult& r, const std::string& out)
{
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, out);
}

void ExpectError(const RunResult& r, int status, const std::string& message)
{
    EXPECT_EQ(r.status, status);
    EXPECT_EQ(r.err, "ERROR: " + message + "\n\n");
    EXPECT_EQ(r.out, "");
}

} // namespace

TEST(QuenbyCli, NoArgumentsPrintsBannerAndUsageToStandardError)
{
    RunResult r = RunQuenby({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(AfterBanner(r.err), kUsage);
}

TEST(QuenbyCli, ExactHelpWordsPrintToStandardOutputAtOnce)
{
    for (const char* help : {"-h", "-help", "-?"}) {
        // Whatever follows is not looked at.
        RunResult r = RunQuenby({"-es", help, "/nonexistent/in.h264", "-bogus"});
        EXPECT_EQ(r.status, 0) << help;
        EXPECT_EQ(r.err, "") << help;
        EXPECT_EQ(AfterBanner(r.out), kUsage) << help;
    }
}

TEST(QuenbyCli, HelpWordsInAnotherCaseAreUnknownOptions)
{
    for (std::string help : {"-H", "-HELP", "-Help"}) {
        RunResult r = RunQuenby({help});
        EXPECT_EQ(r.status, 1) << help;
        EXPECT_EQ(r.out, "");
        std::string rest = AfterBanner(r.err);
        std::string warning =
            "WARNING: quenby - unknown option " + help + " specified, ignoring...\n";
        ASSERT_EQ(rest.compare(0, warning.size(), warning), 0) << rest;
        EXPECT_EQ(AfterBanner(rest.substr(warning.size())), kUsage);
    }
}

TEST(QuenbyCli, OptionsWithoutAnInputGiveTheUsageAndStatus1)
{
    RunResult r = RunQuenby({"-es", "-tab", "-noheader", "-hexdata", "-ts"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(AfterBanner(r.err), kUsage);
}

TEST(QuenbyCli, OptionsMatchInAnyCaseAndUnknownOnesAreIgnored)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    RunResult r =
        RunQuenby({"-ES", "-x", "-TAB", dir.File("example.h264"), "-", "-HexData", "-NoHeader"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, WorkedTable(true));
    // A banner before each warning; a lone "-" is an option too.
    std::string rest = AfterBanner(r.err);
    EXPECT_EQ(rest.substr(0, rest.find('\n') + 1),
              "WARNING: quenby - unknown option -x specified, ignoring...\n");
    EXPECT_EQ(AfterBanner(rest.substr(rest.find('\n') + 1)),
              "WARNING: quenby - unknown option - specified, ignoring...\n");

    // Later plain arguments after the output name are ignored; -ts after -es wins.
    RunResult ts = RunQuenby({"-es", "-ts", dir.File("example.h264")});
    ExpectError(ts, 101, "Cannot open file!");
    RunResult extra =
        RunQuenby({"-es", dir.File("example.h264"), dir.File("out.txt"), dir.File("more.txt")});
    ExpectSuccess(extra, "");
    EXPECT_EQ(ReadFile(dir.File("out.txt")), WorkedList(false));
    EXPECT_FALSE(FileExists(dir.File("more.txt")));
}

TEST(QuenbyCli, WithoutEsAnElementaryStreamIsReadAsATransportStreamAndRefused)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    ExpectError(RunQuenby({dir.File("example.h264"), dir.File("out.txt")}), 101,
                "Cannot open file!");
    EXPECT_FALSE(FileExists(dir.File("out.txt")));
}

TEST(QuenbyListing, WorkedExampleInEachForm)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    const std::string in = dir.File("example.h264");
    ExpectSuccess(RunQuenby({"-es", in}), WorkedList(false));
    ExpectSuccess(RunQuenby({"-es", "-hexdata", in}), WorkedList(true));
    ExpectSuccess(RunQuenby({"-es", "-tab", in}), kHeader + WorkedTable(false));
    ExpectSuccess(RunQuenby({"-es", "-tab", "-hexdata", in}),
                  "AccessUnitNum\tHexaData\tTimeCode\tDateTimeOriginal\tCompany\tCompanyModel\t"
                  "CompanyModelName\n" +
                      WorkedTable(true));
    ExpectSuccess(RunQuenby({"-es", "-tab", "-noheader", in}), WorkedTable(false));
    // -noheader alone changes nothing in the list form.
    ExpectSuccess(RunQuenby({"-es", "-noheader", in}), WorkedList(false));
    // The same text into a file.
    ExpectSuccess(RunQuenby({"-es", "-tab", in, dir.File("out.txt")}), "");
    EXPECT_EQ(ReadFile(dir.File("out.txt")), kHeader + WorkedTable(false));
}

TEST(QuenbyListing, EveryZoneMakerAndModel)
{
    TempDir dir;
    // One SEI unit in access unit 0 with a message per case, in this order.
    Generate(R"(
day = (0x19, 0x24134510)
cases = [[(0x18, z << 24 | 0x201708), day] for z in (0x02, 0x23, 0x63, 0x42, 0x1E, 0x00)]
cases += [[(0x18, 0x029A0001), day]]            # BCD nibbles are not checked
cases += [[(0x18, 0x02201708)], [day]]           # one of the two: no date
models = [(0x1011, m) for m in (0x2001, 0x3001, 0x3002, 0x3003, 0x3100, 0x3101, 0x3102, 0x3203,
                                0x4101)]
models += [(0x0103, m) for m in (0x0300, 0x0311, 0x0315, 0x0330, 0x0331, 0x0332, 0x0333, 0x0335,
                                 0x0336, 0x033A, 0x033B, 0x0340, 0x0411, 0x0415)]
models += [(0x0108, 0x1234), (0x1104, 0x0001), (0x9999, 0x0042), (0x1011, 0x9999),
           (0x0103, 0x3001), (0x1011, 0x0300)]
cases += [[(0xE0, maker << 16 | model)] for maker, model in models]
cases += [[(0x13, 0x11111111), (0xE0, 0x01080001), (0x13, 0x22222222), (0xE0, 0x10113001)]]
cases += [[(0x19, 0x01020304), (0x42, 0xFFFFFFFF), (0x18, 0x61199912)]]
sei = g.sei_unit([g.mdpm_message(c) for c in cases])
s, _ = g.insert_units(g.read(FIXTURES + '/noaud.h264'), {0: [sei]})
g.write('cases.h264', s)
)",
             dir.Path());
    const std::string expected = "0\t\t2017-08-24 13:45:10, timezone +01:00\t\t\t\n"
                                 "0\t\t2017-08-24 13:45:10, timezone -01:30\t\t\t\n"
                                 "0\t\t2017-08-24 13:45:10, timezone -01:30 DST\t\t\t\n"
                                 "0\t\t2017-08-24 13:45:10, timezone +01:00 DST\t\t\t\n"
                                 "0\t\t2017-08-24 13:45:10, timezone +15:00\t\t\t\n"
                                 "0\t\t2017-08-24 13:45:10, timezone +00:00\t\t\t\n"
                                 "0\t\t10000-01-24 13:45:10, timezone +01:00\t\t\t\n"
                                 "0\t\t\t\t\t\n"
                                 "0\t\t\t\t\t\n"
                                 "0\t\t\tCanon\t0x2001\tHG 20\n"
                                 "0\t\t\tCanon\t0x3001\tHF 100\n"
                                 "0\t\t\tCanon\t0x3002\tHF 200\n"
                                 "0\t\t\tCanon\t0x3003\tHF S100\n"
                                 "0\t\t\tCanon\t0x3100\tHF R16\n"
                                 "0\t\t\tCanon\t0x3101\tHF M31\n"
                                 "0\t\t\tCanon\t0x3102\tHF S20\n"
                                 "0\t\t\tCanon\t0x3203\tXA 10\n"
                                 "0\t\t\tCanon\t0x4101\tEOS C100\n"
                                 "0\t\t\tPanasonic\t0x0300\tHDC-SD1\n"
                                 "0\t\t\tPanasonic\t0x0311\tHDC-SD9\n"
                                 "0\t\t\tPanasonic\t0x0315\tHDC-TM300\n"
                                 "0\t\t\tPanasonic\t0x0330\tHDC-SD600\n"
                                 "0\t\t\tPanasonic\t0x0331\tHDC-TM700\n"
                                 "0\t\t\tPanasonic\t0x0332\tHDC-HS700\n"
                                 "0\t\t\tPanasonic\t0x0333\tHDC-SD60\n"
                                 "0\t\t\tPanasonic\t0x0335\tHDC-HS60\n"
                                 "0\t\t\tPanasonic\t0x0336\tHDC-SDT750\n"
                                 "0\t\t\tPanasonic\t0x033A\tHDC-SD909\n"
                                 "0\t\t\tPanasonic\t0x033B\tHDC-SD90\n"
                                 "0\t\t\tPanasonic\t0x0340\tHDC-Z10000\n"
                                 "0\t\t\tPanasonic\t0x0411\tAG-HMC41\n"
                                 "0\t\t\tPanasonic\t0x0415\tAG-AC160\n"
                                 "0\t\t\tSony\t0x1234\t\n"
                                 "0\t\t\tJVC\t0x0001\t\n"
                                 "0\t\t\tunknown (0x9999)\t0x0042\t\n"
                                 "0\t\t\tCanon\t0x9999\t\n"
                                 "0\t\t\tPanasonic\t0x3001\t\n"
                                 "0\t\t\tCanon\t0x0300\t\n"
                                 "0\t22:22:22:22\t\tCanon\t0x3001\tHF 100\n"
                                 "0\t\t1999-12-01 02:03:04, timezone -00:30 DST\t\t\t\n";
    ExpectSuccess(RunQuenby({"-es", "-tab", "-noheader", dir.File("cases.h264")}), expected);

    // The list form leaves out the empty columns; the hex block lists every entry as read.
    RunResult list = RunQuenby({"-es", "-hexdata", dir.File("cases.h264")});
    EXPECT_EQ(list.status, 0);
    EXPECT_NE(list.out.find(";AccessUnitNum=0\n#01\n#1802201708\n\n"), std::string::npos);
    EXPECT_NE(list.out.find(";AccessUnitNum=0\n#01\n#E099990042\n"
                            "Company=unknown (0x9999)\nCompanyModel=0x0042\n\n"),
              std::string::npos);
    EXPECT_NE(list.out.find(";AccessUnitNum=0\n#03\n#1901020304\n#42FFFFFFFF\n#1861199912\n"
                            "DateTimeOriginal=1999-12-01 02:03:04, timezone -00:30 DST\n\n"),
              std::string::npos);
}

TEST(QuenbyListing, EscapedValuesAreReadUnescaped)
{
    TempDir dir;
    Generate(R"(
msgs = [g.mdpm_message([(0x13, v)]) for v in (0x00000001, 0x00000000, 0x00000300, 0x00030000)]
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'), {3: [g.sei_unit(msgs)]})
assert s.count(b'\x00\x00\x03') >= 4
g.write('escaped.h264', s)
)",
             dir.Path());
    ExpectSuccess(RunQuenby({"-es", "-tab", "-noheader", "-hexdata", dir.File("escaped.h264")}),
                  "3\t#011300000001\t01:00:00:00\t\t\t\t\n"
                  "3\t#011300000000\t00:00:00:00\t\t\t\t\n"
                  "3\t#011300000300\t00:03:00:00\t\t\t\t\n"
                  "3\t#011300030000\t00:00:03:00\t\t\t\t\n");
}

TEST(QuenbyListing, ForeignUserDataAndOtherPayloadsAreSkipped)
{
    TempDir dir;
    // The fixture's own x264 user data, another UUID, another type indicator, MDPM bytes in
    // another payload type, an empty user data payload; then one real message.
    Generate(R"(
mdpm = g.mdpm_payload([(0x13, 0x12345678)])
other_uuid = bytes(16) + mdpm[16:]
other_kind = mdpm[:16] + b'OFMD' + mdpm[20:]
msgs = [g.sei_message(5, other_uuid), g.sei_message(5, other_kind), g.sei_message(4, mdpm),
        g.sei_message(5, b''), g.sei_message(5, mdpm)]
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'), {0: [g.sei_unit(msgs)]})
g.write('foreign.h264', s)
)",
             dir.Path());
    ExpectSuccess(RunQuenby({"-es", "-tab", "-noheader", dir.File("foreign.h264")}),
                  "0\t78:56:34:12\t\t\t\t\n");
    // A stream without MDPM: nothing, or the header alone.
    ExpectSuccess(RunQuenby({"-es", H264Fixture("base")}), "");
    ExpectSuccess(RunQuenby({"-es", "-tab", H264Fixture("hrd")}), kHeader);
}

TEST(QuenbyOpen, InputsThatCannotBeOpened)
{
    TempDir dir;
    for (std::string in : {dir.File("missing.h264"), dir.Path(), std::string("/proc/self/mem")}) {
        ExpectError(RunQuenby({"-es", in, dir.File("out.txt")}), 101, "Cannot open file!");
        EXPECT_FALSE(FileExists(dir.File("out.txt"))) << in;
    }
}

TEST(QuenbyOpen, OutputsThatCannotBeCreated)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    ExpectError(RunQuenby({"-es", dir.File("example.h264"), dir.File("no/such/dir/out.txt")}), 102,
                "Cannot create file!");
}

TEST(QuenbyOpen, AnOutputOnTheInputIsRefusedAndTheInputKept)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    const std::string in     = dir.File("example.h264");
    const std::string before = ReadFile(in);
    ASSERT_EQ(link(in.c_str(), dir.File("hard.h264").c_str()), 0);
    ASSERT_EQ(symlink(in.c_str(), dir.File("soft.h264").c_str()), 0);
    for (std::string out :
         {in, dir.Path() + "/./example.h264", dir.File("hard.h264"), dir.File("soft.h264")}) {
        ExpectError(RunQuenby({"-es", in, out}), 102, "Cannot create file!");
        EXPECT_EQ(ReadFile(in), before) << out;
    }
}

TEST(QuenbyOpen, AnOutputFileIsReplacedAndDevicesAreWrittenAsTheyAre)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    WriteFile(dir.File("out.txt"), std::string(100000, 'x'));
    ExpectSuccess(RunQuenby({"-es", dir.File("example.h264"), dir.File("out.txt")}), "");
    EXPECT_EQ(ReadFile(dir.File("out.txt")), WorkedList(false));
    ExpectSuccess(RunQuenby({"-es", dir.File("example.h264"), "/dev/null"}), "");
}

TEST(QuenbyOutput, AFailedWriteGivesStatus106)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    for (std::vector<std::string> args :
         {std::vector<std::string>{"-es", dir.File("example.h264"), "/dev/full"},
          {"-es", "-tab", dir.File("example.h264"), "/dev/full"},
          {"-es", "-tab", H264Fixture("base"), "/dev/full"}}) // the header row alone
        ExpectError(RunQuenby(args), 106, "File write error!");
    // Nothing to write, nothing fails.
    ExpectSuccess(RunQuenby({"-es", H264Fixture("base"), "/dev/full"}), "");
}

TEST(QuenbyFaults, AnEmptyInputEndsAtOnce)
{
    TempDir dir;
    WriteFile(dir.File("empty.h264"), "");
    ExpectSuccess(RunQuenby({"-es", dir.File("empty.h264")}), "");
    ExpectSuccess(RunQuenby({"-es", "-tab", dir.File("empty.h264")}), kHeader);
    ExpectSuccess(RunQuenby({"-es", "-tab", "/dev/null"}), kHeader);
}

TEST(QuenbyFaults, InputsWithoutStartCodesListNothing)
{
    TempDir dir;
    Generate("g.write('zeros.h264', bytes(3 << 20))\n"
             "g.write('ones.h264', b'\\xff' * (3 << 20))\n",
             dir.Path());
    ExpectSuccess(RunQuenby({"-es", dir.File("zeros.h264")}), "");
    ExpectSuccess(RunQuenby({"-es", dir.File("ones.h264")}), "");
}

TEST(QuenbyFaults, AUnitLargerThanTheLimitEndsWith255)
{
    // An endless zero-filled input never finds a start code: the unit is cut off at 512 MiB.
    RunResult r = RunQuenby({"-es", "/dev/zero"});
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ERROR: Cannot find start code in buffer from 0 current file position "
                     "0x00000000).\nERROR: Unexpected error!\n\n");
}

TEST(QuenbyFaults, ShortAndCutMdpmPayloads)
{
    TempDir dir;
    Generate(R"(
full = g.mdpm_payload([(0x13, 0x12345678), (0xE0, 0x01080001)])
msgs = [g.sei_message(5, full[:20]),              # UUID and MDPM without the count: not MDPM
        g.sei_message(5, full[:12]),              # not even the UUID
        g.sei_message(5, full[:21]),              # the count alone: an empty row
        g.sei_message(5, full[:21 + 5 + 3]),      # one entry and a part of the next
        g.sei_message(5, g.mdpm_payload([(0x13, 0x12345678)], count=200))]
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'), {2: [g.sei_unit(msgs)]})
g.write('cut.h264', s)
)",
             dir.Path());
    ExpectSuccess(RunQuenby({"-es", "-tab", "-noheader", "-hexdata", dir.File("cut.h264")}),
                  "2\t#00\t\t\t\t\t\n"
                  "2\t#011312345678\t78:56:34:12\t\t\t\t\n"
                  "2\t#011312345678\t78:56:34:12\t\t\t\t\n");
}

TEST(QuenbyFaults, AnSeiUnitRunningPastItsEndEndsWith253)
{
    TempDir dir;
    // A message whose size is larger than the unit, in access unit 13 after the rows of 0
    // and 12.
    Generate(std::string(kWorkedExample) + R"(
bad = g.sei_unit([g.mdpm_message([(0x13, 0x12345678)]), g.sei_message(5, bytes(30), size=300)])
s, _ = g.insert_units(s, {13: [bad]})
g.write('bad.h264', s)
)",
             dir.Path());
    RunResult r = RunQuenby({"-es", "-tab", "-noheader", dir.File("bad.h264")});
    EXPECT_EQ(r.status, 253);
    EXPECT_EQ(r.out, "0\t" + std::string(kWorkedRowTable) + "12\t" + kWorkedRowTable);
    EXPECT_EQ(r.err,
              "\nERROR reading bitstream: read past NAL end\n\nERROR: Unexpected error!\n\n");
}

TEST(QuenbyFaults, TrailingZeroBytesAfterSeiUnitsAreNotMessages)
{
    TempDir dir;
    Generate(R"(
m = g.mdpm_message([(0x13, 0x12345678), (0x18, 0x02201708), (0x19, 0x24134510),
                    (0xE0, 0x10113001)])
s, _ = g.insert_units(g.read(FIXTURES + '/base.h264'),
                      {0: [g.sei_unit([m], trailing_zeros=1)], 12: [g.sei_unit([m], trailing_zeros=2)],
                       24: [g.sei_unit([m], trailing_zeros=7)]})
g.write('zeros.h264', s)
)",
             dir.Path());
    ExpectSuccess(RunQuenby({"-es", dir.File("zeros.h264")}), WorkedList(false));
}

TEST(QuenbyFaults, HostileParameterSetCountsStayWithinBounds)
{
    TempDir dir;
    Generate(std::string(kWorkedExample) + R"(
hostile = [g.unit(7, g.sps_baseline(sps_id=3, poc_type=1, poc_cycle=0xFFFFFFF0), nal_ref_idc=3),
           g.unit(7, g.sps_baseline(sps_id=4, vui=g.hostile_cpb_vui(0xFFFFFFF0)), nal_ref_idc=3)]
for groups_type in (0, 2, 6):
    w = g.BitWriter().ue(7).ue(0).u(1, 0).u(1, 0).ue(0xFFFFFFF0).ue(groups_type)
    if groups_type == 6:
        w.ue(0xFFFFFFF0)
    hostile.append(g.unit(8, w.bytes(), nal_ref_idc=3))
s, _ = g.insert_units(s, {5: hostile, 20: hostile})
g.write('hostile.h264', s)
)",
             dir.Path());
    RunResult r = RunQuenby({"-es", dir.File("hostile.h264")});
    ExpectSuccess(r, WorkedList(false));
#ifdef __SANITIZE_ADDRESS__
    EXPECT_LT(r.peakKiB, 400 * 1024);
#else
    EXPECT_LT(r.peakKiB, 100 * 1024);
#endif
}

TEST(QuenbyStreams, StartCodeFormsStrayBytesAndHugeUnitsLeaveTheListingAlone)
{
    TempDir dir;
    Generate(std::string(kWorkedExample) + R"(
units = g.split_units(s)
g.write('three.h264', g.with_start_codes(units, lambda i: g.START3))
g.write('mixed.h264', g.with_start_codes(units, lambda i: g.START3 if i % 2 else g.START4))
for n in (1, 2, 3):
    g.write('stray%d.h264' % n, bytes([0xAB] * n) + s)
# A slice of access unit 5 grown to 3 MiB, and a 2 MiB filler unit after access unit 12.
aus = g.access_units(units)
at = [i for i, u in enumerate(aus[5]) if g.nal_type(u) == 1][-1]
aus[5][at] = g.inflate(aus[5][at], 3 << 20)
aus[12].append(g.filler_unit(2 << 20))
g.write('huge.h264', b''.join(b''.join(a) for a in aus))
# The last unit cut short.
g.write('cut.h264', s[:-200])
)",
             dir.Path());
    for (const char* name : {"three.h264", "mixed.h264", "stray1.h264", "stray2.h264",
                             "stray3.h264", "huge.h264", "cut.h264"})
        ExpectSuccess(RunQuenby({"-es", dir.File(name)}), WorkedList(false));
}

TEST(QuenbyStreams, AFifoIsReadToItsEnd)
{
    TempDir dir;
    Generate(kWorkedExample, dir.Path());
    const std::string fifo  = dir.File("feed");
    const std::string bytes = ReadFile(dir.File("example.h264"));
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        for (size_t at = 0; fd >= 0 && at < bytes.size(); at += 777)
            if (write(fd, bytes.data() + at, std::min<size_t>(777, bytes.size() - at)) < 0)
                break;
        close(fd);
    });
    RunResult r = RunQuenby({"-es", "-tab", fifo});
    writer.join();
    ExpectSuccess(r, kHeader + WorkedTable(false));
}

TEST(QuenbyErrors, TextsOfTheFileErrorCodes)
{
    char buffer[256];
    EXPECT_STREQ(GetErrorText(105, buffer), "File read error!");
    EXPECT_EQ(GetErrorText(105, buffer), buffer);
    EXPECT_STREQ(GetErrorText(201, buffer), "null-pointer access!");
    for (int code : {0, 1, 99, 108, 199, 202, 1001, -1})
        EXPECT_EQ(GetErrorText(code, buffer), nullptr) << code;
}
