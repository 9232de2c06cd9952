// Tallis end to end: the real program on streams the generator makes, compared byte for byte
// with what the generator renders for each command.
#include "tests/support/stream_support.h"
#include "tests/support/test_support.h"

#include <cctype>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

RunResult RunTallis(const std::vector<std::string>& args, const std::string& cwd = "")
{
    return Run(TALLIS_EXE, args, "", cwd);
}

// Writes the files of a generator scenario into dir.
void Scenario(const std::string& scenario, const TempDir& dir)
{
    RunResult r = Run("/usr/bin/python3", {std::string(GEN_DIR) + "/mvc.py", scenario, dir.Path()});
    ASSERT_EQ(r.status, 0) << r.err;
}

// Every banner replaced by "<banner>"; a banner whose date is not of the compiler's form
// ("Aug 24 2017", the day padded with a blank) is left as it is.
std::string Banners(const std::string& text)
{
    const std::string head = "Tallis - version 1.01 (build: ", tail = ")\n\n";
    std::string out;
    size_t at = 0;
    for (size_t found; (found = text.find(head, at)) != std::string::npos;) {
        size_t date = found + head.size();
        bool ok     = date + 11 + tail.size() <= text.size() &&
                  text.compare(date + 11, tail.size(), tail) == 0 && isupper(text[date]) &&
                  islower(text[date + 1]) && islower(text[date + 2]) && text[date + 3] == ' ' &&
                  (text[date + 4] == ' ' || isdigit(text[date + 4])) && isdigit(text[date + 5]) &&
                  text[date + 6] == ' ' && isdigit(text[date + 7]) && isdigit(text[date + 8]) &&
                  isdigit(text[date + 9]) && isdigit(text[date + 10]);
        size_t end = ok ? date + 11 + tail.size() : date;
        out += text.substr(at, found - at) + (ok ? "<banner>" : head);
        at = end;
    }
    return out + text.substr(at);
}

const char* const kUsage =
    "Usage:\n"
    "    tallis -extract infile.h264 outfile.ofmd\n"
    "    tallis -extract infile.mvc  outfile.ofmd\n"
    "or\n"
    "    tallis -delete  infile.h264 outfile.h264\n"
    "    tallis -delete  infile.mvc  outfile.mvc\n"
    "or\n"
    "    tallis -replace infile.h264 infile.ofmd outfile.h264\n"
    "    tallis -replace infile.mvc  infile.ofmd outfile.mvc\n"
    "or\n"
    "    tallis -insert  infile.h264            infile.ofmd outfile.h264\n"
    "    tallis -insert  infile.avc  infile.mvc infile.ofmd outfile.mvc\n"
    "or\n"
    "    tallis -gop     infile.h264\n"
    "\n\n"
    "Other options:\n\n"
    "-ts                   - use transport stream (.ts, .m2ts, .mts) on input\n"
    "-log [logfile.txt]    - show applied changes\n"
    "\n";

// Runs a command that must succeed silently and checks its output file (and log file).
void ExpectRun(const TempDir& d, const std::vector<std::string>& args, const std::string& out,
               const std::string& expected, const std::string& log = "",
               const std::string& expectedLog = "")
{
    RunResult r = RunTallis(args, d.Path());
    EXPECT_EQ(r.status, 0) << args[0] << ": " << r.err;
    EXPECT_EQ(r.out, "");
    EXPECT_TRUE(ReadFile(d.File(out)) == ReadFile(d.File(expected)))
        << args[0] << ": " << out << " differs from " << expected;
    if (!log.empty()) {
        EXPECT_EQ(ReadFile(d.File(log)), ReadFile(d.File(expectedLog))) << args[0];
    }
}

} // namespace

TEST(TallisCli, UsageAndHelp)
{
    RunResult r = RunTallis({});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(Banners(r.err), std::string("<banner>") + kUsage);

    // Help words in any case, to standard output, at once whatever follows.
    for (const char* help : {"-h", "-Help", "-?", "-HELP"}) {
        RunResult h = RunTallis({"-bogus", help, "-delete", "missing.h264"});
        EXPECT_EQ(h.status, 0) << help;
        EXPECT_EQ(Banners(h.out), std::string("<banner>") + kUsage) << help;
        EXPECT_EQ(Banners(h.err),
                  "<banner>WARNING: tallis - unknown option -bogus specified, ignoring...\n");
    }
}

TEST(TallisCli, ArgumentErrors)
{
    struct Case {
        std::vector<std::string> args;
        const char* err;
    } cases[] = {
        {{"in.h264"}, "<banner>ERROR: command not specified!\n"},
        {{"-ts", "-log", "in.h264", "out.h264"}, "<banner>ERROR: command not specified!\n"},
        {{"-delete", "in.h264"}, "<banner>ERROR: input/output file must be specified!\n"},
        {{"-extract", "in.h264"}, "<banner>ERROR: input/output file must be specified!\n"},
        {{"-replace", "a", "b"}, "<banner>ERROR: input/output file must be specified!\n"},
        {{"-insert", "a", "b"}, "<banner>ERROR: input/output file must be specified!\n"},
        {{"-gop"}, "<banner>ERROR: input file must be specified!\n"},
        // "-log" takes the next argument as its file: nothing is left for the command.
        {{"-delete", "in.h264", "-log", "out.h264"},
         "<banner>ERROR: input/output file must be specified!\n"},
        // A later command replaces an earlier one.
        {{"-gop", "a", "-replace", "b"}, "<banner>ERROR: input/output file must be specified!\n"},
        {{"-x", "-gop"},
         "<banner>WARNING: tallis - unknown option -x specified, ignoring...\n"
         "<banner>ERROR: input file must be specified!\n"},
        {{"-", "-gop"},
         "<banner>WARNING: tallis - unknown option - specified, ignoring...\n"
         "<banner>ERROR: input file must be specified!\n"},
    };
    for (const Case& c : cases) {
        RunResult r = RunTallis(c.args);
        EXPECT_EQ(r.status, 1) << c.args[0];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Banners(r.err), c.err) << c.args[0];
    }
}

TEST(TallisCli, OptionsInAnyOrderAndCase)
{
    TempDir d;
    Scenario("interleaved", d);
    // -EXTRACT as -extract; -es is the default; a later -gop replaces it; an unknown option
    // warns and the run goes on; options may follow the positionals.
    RunResult r = RunTallis({"-EXTRACT", "in.mvc", "-Es", "-y", "-GOP"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ReadFile(d.File("gops.txt")));
    EXPECT_EQ(Banners(r.err), "<banner>WARNING: tallis - unknown option -y specified, "
                              "ignoring...\n");

    // "-log" followed by an option logs to standard output and still reads that option.
    r = RunTallis({"-delete", "in.mvc", "out.mvc", "-log", "-es"}, d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, ReadFile(d.File("delete.log")));
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(d.File("out.mvc")), ReadFile(d.File("delete.mvc")));

    // Extra positionals are ignored.
    r = RunTallis({"-gop", "in.mvc", "nothing", "more"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ReadFile(d.File("gops.txt")));
}

TEST(TallisCli, FailedOpensAndCreates)
{
    TempDir d;
    Scenario("interleaved", d);
    const std::string in = ReadFile(d.File("in.mvc"));
    struct Case {
        std::vector<std::string> args;
        int status;
        const char* err;
    } cases[] = {
        {{"-delete", "missing.mvc", "out.mvc"},
         101,
         "<banner>ERROR: tallis - cannot open file missing.mvc\n\n"},
        {{"-extract", ".", "out.ofmd"}, 101, "<banner>ERROR: tallis - cannot open file .\n\n"},
        {{"-gop", "missing.mvc"}, 101, "<banner>ERROR: tallis - cannot open file missing.mvc\n\n"},
        {{"-delete", "in.mvc", "no/out.mvc"},
         102,
         "<banner>ERROR: tallis - cannot create file no/out.mvc\n\n"},
        {{"-replace", "in.mvc", "missing.ofmd", "out.mvc"},
         233,
         "<banner>ERROR: tallis - cannot open file missing.ofmd\n\n"},
        {{"-extract", "in.mvc", "no/out.ofmd"},
         234,
         "<banner>ERROR: tallis - cannot create file no/out.ofmd\n\n"},
        // The insert's GOP scan names the first positional; its walk the second.
        {{"-insert", "missing.avc", "in.mvc", "edited.ofmd", "out.mvc"},
         101,
         "<banner>ERROR: tallis - cannot open file missing.avc\n\n"},
        {{"-insert", "in.mvc", "missing.mvc", "edited.ofmd", "out.mvc"},
         101,
         "<banner>ERROR: tallis - cannot open file missing.mvc\n\n"},
        {{"-insert", "in.mvc", "edited.ofmd", "no/out.mvc"},
         102,
         "<banner>ERROR: tallis - cannot create file no/out.mvc\n\n"},
        // The output or the text output on the input: refused, the input untouched.
        {{"-delete", "in.mvc", "in.mvc"},
         102,
         "<banner>ERROR: tallis - cannot create file in.mvc\n\n"},
        {{"-extract", "in.mvc", "./in.mvc"},
         234,
         "<banner>ERROR: tallis - cannot create file ./in.mvc\n\n"},
        {{"-replace", "in.mvc", "edited.ofmd", "edited.ofmd"},
         102,
         "<banner>ERROR: tallis - cannot create file edited.ofmd\n\n"},
    };
    for (const Case& c : cases) {
        RunResult r = RunTallis(c.args, d.Path());
        EXPECT_EQ(r.status, c.status) << c.args[1] << " " << c.args[2];
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(Banners(r.err), c.err);
    }
    EXPECT_EQ(ReadFile(d.File("in.mvc")), in);
    EXPECT_FALSE(ReadFile(d.File("edited.ofmd")).empty());

    // A log on the input is left out; the run itself succeeds.
    RunResult r = RunTallis({"-delete", "in.mvc", "out.mvc", "-log", "in.mvc"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(d.File("in.mvc")), in);
    EXPECT_EQ(ReadFile(d.File("out.mvc")), ReadFile(d.File("delete.mvc")));
    r = RunTallis({"-insert", "in.mvc", "delete.mvc", "edited.ofmd", "out.mvc", "-log", "in.mvc"},
                  d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(d.File("in.mvc")), in);
}

TEST(TallisGop, ClosedAndOpenGops)
{
    TempDir d;
    Scenario("interleaved", d);
    RunResult r = RunTallis({"-gop", "in.mvc"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\t12\n12\t12\n24\t8\n");
    EXPECT_EQ(r.err, "");

    TempDir o;
    Scenario("open_gop", o);
    r = RunTallis({"-gop", "in.h264"}, o.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ReadFile(o.File("gops.txt")));

    // A real encoder's closed GOPs of 12.
    r = RunTallis({"-gop", std::string(TEST_DATA_DIR) + "/h264/base.h264"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\t12\n12\t12\n24\t12\n");
}

TEST(TallisGop, NoIntraSliceNoGop)
{
    TempDir d;
    Scenario("no_intra", d);
    RunResult r = RunTallis({"-gop", "in.h264"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "");
    WriteFile(d.File("in.ofmd"), std::string("0: 1\n"));
    r = RunTallis({"-insert", "in.h264", "in.ofmd", "out.h264"}, d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Banners(r.err), "<banner>ERROR: tallis - cannot copy bitstream in.h264\n\n");
    // Without delimiters no frame is counted and so no GOP starts.
    r = RunTallis({"-gop", std::string(TEST_DATA_DIR) + "/h264/noaud.h264"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
}

TEST(TallisCommands, InterleavedStream)
{
    TempDir d;
    Scenario("interleaved", d);
    ExpectRun(d, {"-extract", "in.mvc", "out.ofmd"}, "out.ofmd", "extract.ofmd");
    ExpectRun(d, {"-delete", "in.mvc", "out.mvc", "-log", "out.log"}, "out.mvc", "delete.mvc",
              "out.log", "delete.log");
    // Replace and insert clamp the edited values beyond -127..127, once per run.
    const std::string clamp = ReadFile(d.File("clamp.txt"));
    int value = 0, written = 0;
    unsigned frame = 0;
    ASSERT_EQ(sscanf(clamp.c_str(), "%d %u %d", &value, &frame, &written), 3);
    char warning[200];
    snprintf(warning, sizeof warning,
             "<banner>WARNING: tallis - offset %d at frame %u clamped to %d\n", value, frame,
             written);
    for (const char* cmd : {"-replace", "-insert"}) {
        std::string name = cmd + 1;
        RunResult r =
            RunTallis({cmd, "in.mvc", "edited.ofmd", "out.mvc", "-log", "out.log"}, d.Path());
        EXPECT_EQ(r.status, 0) << cmd;
        EXPECT_EQ(Banners(r.err), warning) << cmd;
        EXPECT_TRUE(ReadFile(d.File("out.mvc")) == ReadFile(d.File(name + ".mvc"))) << cmd;
        EXPECT_EQ(ReadFile(d.File("out.log")), ReadFile(d.File(name + ".log"))) << cmd;
    }
}

TEST(TallisCommands, SplitViewsAndFourPositionalInsert)
{
    TempDir d;
    Scenario("split", d);
    ExpectRun(d, {"-extract", "dep.mvc", "out.ofmd"}, "out.ofmd", "dep.extract.ofmd");
    ExpectRun(d, {"-delete", "dep.mvc", "out.mvc", "-log", "out.log"}, "out.mvc", "dep.delete.out",
              "out.log", "dep.delete.log");
    // The dependent view's delimiters (type 24) count its frames; the GOPs come from the base
    // view; the new unit follows the SEI unit with the nested buffering period.
    ExpectRun(d, {"-insert", "base.avc", "dep.mvc", "edited.ofmd", "out.mvc", "-log", "out.log"},
              "out.mvc", "dep.insert.out", "out.log", "dep.insert.log");
    RunResult r = RunTallis({"-gop", "base.avc"}, d.Path());
    EXPECT_EQ(r.out, ReadFile(d.File("gops.txt")));
}

TEST(TallisCommands, InsertBeforeTheFirstOfSeveralSlices)
{
    TempDir d;
    Scenario("slices", d);
    ExpectRun(d, {"-insert", "in.h264", "in.ofmd", "out.h264", "-log", "out.log"}, "out.h264",
              "insert.out", "out.log", "insert.log");
    EXPECT_EQ(ReadFile(d.File("out.log")), "0\tINSERTED\n8\tINSERTED\n");
}

TEST(TallisCommands, WorkedExample)
{
    TempDir d;
    Scenario("worked", d);
    RunResult r = RunTallis({"-extract", "in.h264", "out.ofmd"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(ReadFile(d.File("out.ofmd")), ";PTS: 900000\n;frames in GOP: 3\n"
                                            "    24:    3,   -2\n"
                                            "    25:    4,   -1\n"
                                            "    26:    0,  127\n");
    EXPECT_EQ(ToString(Hex(
                  "00 00 00 01 06 25 27 40 05 24 17 EE 8C 60 F8 4D 11 D9 8C D6 08 00 20 0C 9A 66 "
                  "4F 46 4D 44 83 00 80 1B BB A0 82 03 80 00 03 04 80 82 81 7F 80")),
              ReadFile(d.File("unit.bin")));
    // Replacing with the same values, written by hand, gives the stream back.
    WriteFile(d.File("hand.ofmd"), std::string("24: 3, -2\n  25 : 4,-1\n26:0;127\n"));
    ExpectRun(d, {"-replace", "in.h264", "hand.ofmd", "out.h264"}, "out.h264", "in.h264");
}

TEST(TallisCommands, RoundTrips)
{
    TempDir d;
    Scenario("canonical", d);
    // Delete then insert: the OFMD units come back as insert writes them, where it places them.
    ExpectRun(d, {"-delete", "in.mvc", "clean.out"}, "clean.out", "clean.mvc");
    ExpectRun(d, {"-insert", "clean.out", "in.ofmd", "out.mvc"}, "out.mvc", "in.mvc");
    // Extract then replace.
    ExpectRun(d, {"-extract", "in.mvc", "out.ofmd"}, "out.ofmd", "in.ofmd");
    ExpectRun(d, {"-replace", "in.mvc", "out.ofmd", "again.mvc"}, "again.mvc", "in.mvc");
    // CRLF line ends read the same.
    std::string text = ReadFile(d.File("in.ofmd")), crlf;
    for (char c : text)
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    WriteFile(d.File("crlf.ofmd"), crlf);
    ExpectRun(d, {"-replace", "in.mvc", "crlf.ofmd", "again.mvc"}, "again.mvc", "in.mvc");
}

TEST(TallisFaults, UnreadableMessagesAreNotOfmd)
{
    TempDir d;
    Scenario("faults", d);
    ExpectRun(d, {"-extract", "in.h264", "out.ofmd"}, "out.ofmd", "extract.ofmd");
    // Only the cut message (its last five bytes missing, read as zeros) is OFMD: the two short
    // ones stay.
    EXPECT_EQ(ReadFile(d.File("out.ofmd")), ";PTS: 1234\n;frames in GOP: 4\n"
                                            "     1:    1,    0\n"
                                            "     2:    2,    0\n"
                                            "     3:    3,    0\n"
                                            "     4:    0,    0\n");
    ExpectRun(d, {"-delete", "in.h264", "out.h264", "-log", "out.log"}, "out.h264", "delete.out",
              "out.log", "delete.log");
}

TEST(TallisFaults, FailedSeiParseKeepsWhatCameBefore)
{
    TempDir d;
    Scenario("faults", d);
    RunResult r = RunTallis({"-delete", "bad.h264", "out.h264", "-log", "out.log"}, d.Path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "\nERROR reading bitstream: read past NAL end\n\n");
    EXPECT_TRUE(ReadFile(d.File("out.h264")) == ReadFile(d.File("bad.delete.out")));
    EXPECT_EQ(ReadFile(d.File("out.log")), ReadFile(d.File("bad.delete.log")));

    r = RunTallis({"-extract", "bad.h264", "out.ofmd"}, d.Path());
    EXPECT_EQ(r.status, 255);
    EXPECT_EQ(r.err, "\nERROR reading bitstream: read past NAL end\n\n");
    EXPECT_EQ(ReadFile(d.File("out.ofmd")), ReadFile(d.File("extract.ofmd")));
    // The GOP scan does not look at parse results.
    r = RunTallis({"-gop", "bad.h264"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "0\t8\n");
}

TEST(TallisFaults, LongGopAndClampWarningsInOrder)
{
    TempDir d;
    Scenario("long_gop", d);
    RunResult r =
        RunTallis({"-insert", "in.h264", "in.ofmd", "out.h264", "-log", "out.log"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Banners(r.err), "<banner>WARNING: tallis - GOP at frame 0 has 300 frames, offsets "
                              "written for the first 255\n");
    EXPECT_TRUE(ReadFile(d.File("out.h264")) == ReadFile(d.File("insert.out")));
    EXPECT_EQ(ReadFile(d.File("out.log")), "0\tINSERTED\n");

    // Saturated and clamped values: the first one in file order is reported, after the GOP
    // warning that arose before it; lines past frame 254 are not written, so not clamped.
    WriteFile(d.File("big.ofmd"), std::string("0: 5\n3: 99999999999\n7: -300\n260: 1000\n"));
    r = RunTallis({"-insert", "in.h264", "big.ofmd", "out.h264"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(Banners(r.err),
              "<banner>WARNING: tallis - GOP at frame 0 has 300 frames, offsets written for the "
              "first 255\n"
              "<banner>WARNING: tallis - offset 2147483647 at frame 3 clamped to 127\n");
}

TEST(TallisFaults, OfmdFileEndingEarly)
{
    TempDir d;
    Scenario("interleaved", d);
    // One line for the first GOP only: every later frame reads as 0, and the run ends.
    WriteFile(d.File("short.ofmd"), std::string("0: 1, 2\n"));
    RunResult r = RunTallis({"-replace", "in.mvc", "short.ofmd", "out.mvc"}, d.Path());
    EXPECT_EQ(r.status, 0);
    WriteFile(d.File("empty.ofmd"), std::string());
    r = RunTallis({"-insert", "in.mvc", "empty.ofmd", "out.mvc", "-log"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ReadFile(d.File("insert.log")));
}

TEST(TallisFaults, WriteFailures)
{
    TempDir d;
    Scenario("interleaved", d);
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"-delete", "in.mvc", "/dev/full"},
                                               {"-replace", "in.mvc", "edited.ofmd", "/dev/full"},
                                               {"-insert", "in.mvc", "edited.ofmd", "/dev/full"},
                                               {"-extract", "in.mvc", "/dev/full"}}) {
        RunResult r = RunTallis(args, d.Path());
        EXPECT_EQ(r.status, 106) << args[0];
        std::string err = Banners(r.err);
        EXPECT_EQ(err.substr(err.rfind("<banner>")),
                  "<banner>ERROR: tallis - cannot copy bitstream in.mvc\n\n")
            << args[0];
    }
    // The GOP list on a full standard output.
    RunResult g = testing_support::Run(
        "/bin/sh", {"-c", std::string(TALLIS_EXE) + " -gop in.mvc >/dev/full"}, "", d.Path());
    EXPECT_EQ(g.status, 106);
    EXPECT_EQ(Banners(g.err), "<banner>ERROR: tallis - cannot copy bitstream in.mvc\n\n");
    // A log that cannot be written stays silent.
    RunResult r = RunTallis({"-delete", "in.mvc", "out.mvc", "-log", "/dev/full"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(ReadFile(d.File("out.mvc")), ReadFile(d.File("delete.mvc")));
}

TEST(TallisFaults, FifoInput)
{
    TempDir d;
    Scenario("split", d);
    const std::string fifo = d.File("in.fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const std::string dep = ReadFile(d.File("dep.mvc"));
    auto feed             = [&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        EXPECT_EQ(write(fd, dep.data(), dep.size()), ssize_t(dep.size()));
        close(fd);
    };
    // Read once: fine from a FIFO.
    std::thread writer(feed);
    RunResult r = RunTallis({"-delete", "in.fifo", "out.mvc"}, d.Path());
    writer.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadFile(d.File("out.mvc")) == ReadFile(d.File("dep.delete.out")));

    std::thread writer2(feed);
    r = RunTallis({"-insert", "base.avc", "in.fifo", "edited.ofmd", "out.mvc"}, d.Path());
    writer2.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(ReadFile(d.File("out.mvc")) == ReadFile(d.File("dep.insert.out")));

    // The 3-positional insert would read its input twice: refused before reading.
    r = RunTallis({"-insert", "in.fifo", "edited.ofmd", "out.mvc"}, d.Path());
    EXPECT_EQ(r.status, 101);
    EXPECT_EQ(Banners(r.err), "<banner>ERROR: tallis - cannot open file in.fifo\n\n");
}

TEST(TallisTs, TwoViewTransportStream)
{
    TempDir d;
    Scenario("split", d);
    // The commands take the dependent view (0x20); the GOP scan the base view (0x1B).
    RunResult r = RunTallis({"-gop", "-ts", "two.ts"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, ReadFile(d.File("gops.txt")));
    ExpectRun(d, {"-extract", "two.ts", "out.ofmd", "-ts"}, "out.ofmd", "dep.extract.ofmd");
    ExpectRun(d, {"-ts", "-delete", "two.ts", "out.mvc", "-log", "out.log"}, "out.mvc",
              "dep.delete.out", "out.log", "dep.delete.log");
    r = RunTallis({"-ts", "-replace", "two.ts", "edited.ofmd", "out.mvc"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(ReadFile(d.File("out.mvc")) == ReadFile(d.File("dep.replace.out")));
    r = RunTallis({"-ts", "-insert", "two.ts", "edited.ofmd", "out.mvc", "-log", "out.log"},
                  d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(ReadFile(d.File("out.mvc")) == ReadFile(d.File("dep.insert.out")));
    EXPECT_EQ(ReadFile(d.File("out.log")), ReadFile(d.File("dep.insert.log")));
    // An elementary stream given with -ts is no transport stream.
    r = RunTallis({"-ts", "-delete", "dep.mvc", "out.mvc"}, d.Path());
    EXPECT_EQ(r.status, 101);
    EXPECT_EQ(Banners(r.err), "<banner>ERROR: tallis - cannot open file dep.mvc\n\n");
}

TEST(TallisTs, FailureInTheMiddle)
{
    TempDir d;
    Scenario("split", d);
    RunResult m =
        testing_support::Run("/usr/bin/python3", {std::string(GEN_DIR) + "/ts.py", "mux", "--tei",
                                                  "16", d.File("base.avc"), d.File("bad.ts")});
    ASSERT_EQ(m.status, 0) << m.err;
    // The GOP scan fails with 105: the insert does not run on a partial GOP list.
    RunResult r = RunTallis({"-ts", "-insert", "bad.ts", "edited.ofmd", "out.h264"}, d.Path());
    EXPECT_EQ(r.status, 105);
    EXPECT_EQ(Banners(r.err), "<banner>ERROR: tallis - cannot copy bitstream bad.ts\n\n");
    EXPECT_FALSE(FileExists(d.File("out.h264")));
    r = RunTallis({"-ts", "-gop", "bad.ts"}, d.Path());
    EXPECT_EQ(r.status, 105);
    EXPECT_EQ(r.out, "");
    // The units before the failing packet are written.
    r = RunTallis({"-ts", "-delete", "bad.ts", "out.h264"}, d.Path());
    EXPECT_EQ(r.status, 105);
    EXPECT_EQ(Banners(r.err), "<banner>ERROR: tallis - cannot copy bitstream bad.ts\n\n");
    const std::string out = ReadFile(d.File("out.h264")), base = ReadFile(d.File("base.avc"));
    EXPECT_GT(out.size(), 400u);
    EXPECT_LT(out.size(), base.size());
    EXPECT_EQ(base.compare(0, out.size(), out), 0);
}

TEST(TallisTs, DeleteWithoutOfmdIsFfmpegsDemultiplexing)
{
    if (!HaveProgram("ffmpeg")) {
        if (OraclesRequired())
            FAIL() << "ffmpeg is required";
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    TempDir d;
    for (const char* name : {"base", "hrd", "slices4", "noaud"}) {
        for (bool m2ts : {false, true}) {
            std::vector<std::string> mux = {
                "ffmpeg", "-v",    "error",           "-y", "-f",   "h264",   "-framerate",
                "24",     "-i",    H264Fixture(name), "-c", "copy", "-bsf:v", "setts=pts=DTS",
                "-f",     "mpegts"};
            if (m2ts) {
                mux.push_back("-mpegts_m2ts_mode");
                mux.push_back("1");
            }
            mux.push_back(d.File("x.ts"));
            ASSERT_EQ(testing_support::Run("/usr/bin/env", mux).status, 0) << name;
            std::vector<std::string> demux = {
                "ffmpeg", "-v", "error", "-y", "-i",   d.File("x.ts"),    "-map",
                "0:v:0",  "-c", "copy",  "-f", "h264", d.File("ref.h264")};
            ASSERT_EQ(testing_support::Run("/usr/bin/env", demux).status, 0) << name;
            RunResult r = RunTallis({"-delete", "-ts", "x.ts", "out.h264"}, d.Path());
            EXPECT_EQ(r.status, 0) << name << r.err;
            EXPECT_TRUE(ReadFile(d.File("out.h264")) == ReadFile(d.File("ref.h264")))
                << name << (m2ts ? " m2ts" : " ts");
        }
    }
}
