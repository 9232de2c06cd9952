// Tallis end to end: the real program on streams the generator makes, compared byte for byte
// with what the generator renders for each command.
#include "tests/support/stream_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>

using namespace testing_support;

namespace
{

std::string Banners(const std::string& text)
{
    return ReplaceBanners(text, "Tallis - version 1.01 (build: ");
}

const std::string kUsage =
    "<banner>Usage:\n"
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

std::string Error(const std::string& what, const std::string& file)
{
    return "<banner>ERROR: tallis - cannot " + what + " " + file + "\n\n";
}

// An error message with the line on an incomplete output left in place.
std::string Kept(const std::string& error, const std::string& output,
                 const std::string& what = "stream")
{
    return error.substr(0, error.size() - 1) + "ERROR: tallis - incomplete " + what + " left in " +
           output + "\n\n";
}

// The warning for the generator's edited.ofmd, whose first value (-150 at frame 0) is too large.
const std::string kClamped = "<banner>WARNING: tallis - offset -150 at frame 0 clamped to -127\n";

struct Case {
    std::string command; // for /bin/sh, in which tallis is the program
    int status;
    std::string err; // every banner as "<banner>"
    // "made=expected ...": files that must be equal; made "-" is standard output.
    std::string same = "";
    std::string out  = ""; // standard output (every banner as "<banner>") when not in same
};

// A temporary directory with the files of a generator scenario.
struct Scenario : TempDir {
    explicit Scenario(const std::string& name = "")
    {
        if (name.empty())
            return;
        RunResult r = Sh("python3 " GEN_DIR "/mvc.py " + name + " .");
        EXPECT_EQ(r.status, 0) << r.err;
    }
    std::string Read(const std::string& name) const { return ReadFile(File(name)); }
    RunResult Sh(const std::string& command) const
    {
        return testing_support::Run(
            "/bin/sh", {"-c", "tallis() { '" TALLIS_EXE "' \"$@\"; }; " + command}, "", Path());
    }

    void Check(const std::vector<Case>& cases) const
    {
        for (const Case& c : cases) {
            RunResult r = Sh(c.command);
            EXPECT_EQ(r.status, c.status) << c.command;
            EXPECT_EQ(Banners(r.err), c.err) << c.command;
            if (c.same.find("-=") == std::string::npos) {
                EXPECT_EQ(Banners(r.out), c.out) << c.command;
            }
            std::istringstream pairs(c.same);
            for (std::string pair; pairs >> pair;) {
                std::string made     = pair.substr(0, pair.find('=')),
                            expected = Read(pair.substr(made.size() + 1));
                EXPECT_FALSE(expected.empty()) << pair;
                EXPECT_TRUE((made == "-" ? r.out : Read(made)) == expected)
                    << c.command << ": " << pair;
            }
        }
    }
};

RunResult RunTallis(const std::vector<std::string>& args, const std::string& cwd)
{
    return testing_support::Run(TALLIS_EXE, args, "", cwd);
}

// The numbers that begin the lines of a GOP list, or (with after) the first frame line of each
// .ofmd block.
std::vector<uint32_t> LeadingNumbers(const std::string& text, const std::string& after = "")
{
    std::vector<uint32_t> numbers;
    std::istringstream lines(text);
    bool take = after.empty();
    for (std::string line; std::getline(lines, line);) {
        if (take && !line.empty() && line[0] != ';')
            numbers.push_back(uint32_t(std::stoul(line)));
        take = after.empty() || line.rfind(after, 0) == 0;
    }
    return numbers;
}

} // namespace

TEST(Tallis, UsageAndArgumentErrors)
{
    const std::string need = "<banner>ERROR: input/output file must be specified!\n";
    Scenario().Check({
        {"tallis", 0, kUsage},
        // Help words in any case, to standard output, at once whatever follows.
        {"tallis -bogus -Help -delete missing.h264", 0,
         "<banner>WARNING: tallis - unknown option -bogus specified, ignoring...\n", "", kUsage},
        {"tallis '-?'", 0, "", "", kUsage},
        {"tallis -HELP", 0, "", "", kUsage},
        {"tallis in.h264", 1, "<banner>ERROR: command not specified!\n"},
        {"tallis -ts -log in.h264 out.h264", 1, "<banner>ERROR: command not specified!\n"},
        {"tallis -extract in.h264", 1, need},
        {"tallis -replace a b", 1, need},
        {"tallis -insert a b", 1, need},
        // "-log" takes the next argument as its file: nothing is left for the command.
        {"tallis -delete in.h264 -log out.h264", 1, need},
        // A later command replaces an earlier one.
        {"tallis -gop a -replace b", 1, need},
        {"tallis -x - -gop", 1,
         "<banner>WARNING: tallis - unknown option -x specified, ignoring...\n"
         "<banner>WARNING: tallis - unknown option - specified, ignoring...\n"
         "<banner>ERROR: input file must be specified!\n"},
    });
}

TEST(Tallis, OptionsAndFailedOpens)
{
    Scenario d("interleaved");
    const std::string in = d.Read("in.mvc");
    d.Check({
        // Any case; -es is the default; a later -gop replaces -extract; an unknown option
        // warns and the run goes on; options may follow the positionals; extra positionals
        // are ignored.
        {"tallis -EXTRACT in.mvc -Es -y -GOP more", 0,
         "<banner>WARNING: tallis - unknown option -y specified, ignoring...\n", "",
         "0\t12\n12\t12\n24\t8\n"},
        // "-log" followed by an option logs to standard output and still reads that option.
        {"tallis -delete in.mvc out.mvc -log -es", 0, "", "-=delete.log out.mvc=delete.out"},
        {"tallis -delete missing.mvc out.mvc", 101, Error("open file", "missing.mvc")},
        {"tallis -extract . out.ofmd", 101, Error("open file", ".")},
        {"tallis -gop missing.mvc", 101, Error("open file", "missing.mvc")},
        {"tallis -delete in.mvc no/out.mvc", 102, Error("create file", "no/out.mvc")},
        {"tallis -replace in.mvc missing.ofmd out.mvc", 233, Error("open file", "missing.ofmd")},
        {"tallis -extract in.mvc no/out.ofmd", 234, Error("create file", "no/out.ofmd")},
        // The insert's GOP scan names the first positional; its walk the second.
        {"tallis -insert missing.avc in.mvc edited.ofmd o", 101, Error("open file", "missing.avc")},
        {"tallis -insert in.mvc missing.mvc edited.ofmd o", 101, Error("open file", "missing.mvc")},
        {"tallis -insert in.mvc edited.ofmd no/out.mvc", 102, Error("create file", "no/out.mvc")},
        // An output or text output on an input is refused, the input untouched.
        {"tallis -delete in.mvc in.mvc", 102, Error("create file", "in.mvc")},
        {"tallis -extract in.mvc ./in.mvc", 234, Error("create file", "./in.mvc")},
        {"tallis -replace in.mvc edited.ofmd edited.ofmd", 102,
         Error("create file", "edited.ofmd")},
        {"tallis -insert in.mvc delete.out edited.ofmd in.mvc", 102,
         Error("create file", "in.mvc")},
        // A log on an input is left out; the run itself succeeds.
        {"tallis -delete in.mvc out.mvc -log in.mvc", 0, "", "out.mvc=delete.out"},
        {"tallis -insert in.mvc delete.out edited.ofmd out.mvc -log in.mvc", 0, kClamped},
    });
    EXPECT_TRUE(d.Read("in.mvc") == in);
    EXPECT_FALSE(d.Read("edited.ofmd").empty());
}

TEST(Tallis, Gops)
{
    Scenario d("gops");
    d.Check({
        {"tallis -gop open.h264", 0, "", "", "0\t9\n9\t9\n18\t9\n27\t3\n"},
        // A real encoder's closed GOPs.
        {"tallis -gop " TEST_DATA_DIR "/h264/base.h264", 0, "", "", "0\t12\n12\t12\n24\t12\n"},
        // Without an I slice no GOP starts: none is listed, and insert has nothing to do.
        {"tallis -gop no_intra.h264", 0, ""},
        {"echo 0: 1 >in.ofmd; tallis -insert no_intra.h264 in.ofmd out.h264", 1,
         Error("copy bitstream", "no_intra.h264")},
    });
}

TEST(Tallis, InterleavedStream)
{
    Scenario d("interleaved");
    d.Check({
        {"tallis -extract in.mvc out.ofmd", 0, "", "out.ofmd=extract.ofmd"},
        // OFMD units ending in trailing zero bytes: the bytes stay.
        {"tallis -delete in.mvc out.mvc -log out.log", 0, "",
         "out.mvc=delete.out out.log=delete.log"},
        // Edited values beyond -127..127 are clamped, with one warning a run.
        {"tallis -replace in.mvc edited.ofmd out.mvc -log out.log", 0, kClamped,
         "out.mvc=replace.out out.log=replace.log"},
        {"tallis -insert in.mvc edited.ofmd out.mvc -log out.log", 0, kClamped,
         "out.mvc=insert.out out.log=insert.log"},
        // An .ofmd file that ends early: later frames read as 0, and the run ends.
        {"tallis -replace in.mvc short.ofmd out.mvc", 0, "", "out.mvc=short.replace.out"},
        {"tallis -insert in.mvc /dev/null out.mvc -log", 0, "", "-=insert.log"},
    });
}

TEST(Tallis, SplitViewsAndTransportStream)
{
    Scenario d("split");
    const std::string copy = Error("copy bitstream", "bad.ts");
    d.Check({
        {"tallis -extract dep.mvc out.ofmd", 0, "", "out.ofmd=dep.extract.ofmd"},
        {"tallis -delete dep.mvc out.mvc -log out.log", 0, "",
         "out.mvc=dep.delete.out out.log=dep.delete.log"},
        // The GOPs come from the base view, the frames from the dependent view's type-24
        // delimiters; the new unit follows an SEI unit with a nested buffering period, else
        // precedes the first of the picture's slices.
        {"tallis -insert base.avc dep.mvc edited.ofmd out.mvc -log out.log", 0, kClamped,
         "out.mvc=dep.insert.out out.log=dep.insert.log"},
        // From the transport stream the commands take the dependent view (0x20), the GOP scan
        // the base view (0x1B).
        {"tallis -gop -ts two.ts", 0, "", "", "0\t12\n12\t12\n24\t6\n"},
        {"tallis -extract two.ts out.ofmd -ts", 0, "", "out.ofmd=dep.extract.ofmd"},
        {"tallis -ts -delete two.ts out.mvc", 0, "", "out.mvc=dep.delete.out"},
        {"tallis -ts -replace two.ts edited.ofmd out.mvc -log out.log", 0, kClamped,
         "out.mvc=dep.replace.out out.log=dep.replace.log"},
        {"tallis -ts -insert two.ts edited.ofmd out.mvc", 0, kClamped, "out.mvc=dep.insert.out"},
        // An elementary stream given with -ts is no transport stream.
        {"tallis -ts -delete dep.mvc out.mvc", 101, Error("open file", "dep.mvc")},
        // A transport error in the middle: the GOP scan fails with 105 and the insert does not
        // run on a partial GOP list; delete writes the units before the failing packet, which
        // the other link of its output keeps.
        {"python3 " GEN_DIR "/ts.py mux --tei 16 base.avc bad.ts && tallis -ts -gop bad.ts", 105,
         copy},
        {"tallis -ts -insert bad.ts edited.ofmd new.h264; s=$?; test -e new.h264 || exit $s", 105,
         copy},
        {": >keep.h264 && ln keep.h264 out.h264 && tallis -ts -delete bad.ts out.h264", 105,
         Kept(copy, "out.h264")},
    });
    const std::string out = d.Read("keep.h264"), base = d.Read("base.avc");
    EXPECT_GT(out.size(), 400u);
    EXPECT_LT(out.size(), base.size());
    EXPECT_EQ(base.compare(0, out.size(), out), 0);
}

TEST(Tallis, WorkedExampleAndRoundTrips)
{
    Scenario d("round_trips");
    EXPECT_EQ(
        ToString(Hex("00 00 00 01 06 25 27 40 05 24 17 EE 8C 60 F8 4D 11 D9 8C D6 08 00 20 "
                     "0C 9A 66 4F 46 4D 44 83 00 80 1B BB A0 82 03 80 00 03 04 80 82 81 7F 80")),
        d.Read("unit.bin"));
    d.Check({
        {"tallis -extract worked.h264 out.ofmd && cat out.ofmd", 0, "", "",
         ";PTS: 900000\n;frames in GOP: 3\n"
         "    24:    3,   -2\n"
         "    25:    4,   -1\n"
         "    26:    0,  127\n"},
        // The same values written by hand.
        {"printf '24: 3, -2\\n  25 : 4,-1\\n26:0;127\\n' >hand.ofmd && "
         "tallis -replace worked.h264 hand.ofmd out.h264",
         0, "", "out.h264=worked.h264"},
        // Delete then insert: the units come back as insert writes them, where it places them.
        {"tallis -delete in.mvc clean.out", 0, "", "clean.out=clean.mvc"},
        {"tallis -insert clean.out in.ofmd out.mvc", 0, "", "out.mvc=in.mvc"},
        // Extract then replace; CRLF line ends read the same.
        {"tallis -extract in.mvc out.ofmd", 0, "", "out.ofmd=in.ofmd"},
        {"tallis -replace in.mvc out.ofmd again.mvc", 0, "", "again.mvc=in.mvc"},
        {"sed 's/$/\\r/' in.ofmd >crlf.ofmd && tallis -replace in.mvc crlf.ofmd again.mvc", 0, "",
         "again.mvc=in.mvc"},
    });
}

TEST(Tallis, Faults)
{
    Scenario d("faults");
    const std::string longGop = "<banner>WARNING: tallis - GOP at frame 0 has 300 frames, offsets "
                                "written for the first 255\n";
    const std::string parseError = "\nERROR reading bitstream: read past NAL end\n\n";
    auto gone = [](const std::string& name) { return "; s=$?; test -e " + name + " || exit $s"; };
    d.Check({
        // Messages that cannot be read are not OFMD and stay; only the cut message (its last
        // five bytes read as zeros) is.
        {"tallis -extract in.h264 out.ofmd && cat out.ofmd", 0, "", "",
         ";PTS: 1234\n;frames in GOP: 4\n"
         "     1:    1,    0\n"
         "     2:    2,    0\n"
         "     3:    3,    0\n"
         "     4:    0,    0\n"},
        {"tallis -delete in.h264 out.h264 -log out.log", 0, "",
         "out.h264=delete.out out.log=delete.log"},
        // An SEI unit that cannot be parsed: the status is -1 and the output incomplete, so it
        // goes, or the message says where it stays. The GOP scan does not look at parse results.
        {": >keep.h264 && ln keep.h264 two.h264 && tallis -delete bad.h264 two.h264 -log out.log",
         255, parseError + Kept("<banner>\n", "two.h264"),
         "keep.h264=bad.delete.out out.log=bad.delete.log"},
        {"tallis -extract bad.h264 out.ofmd" + gone("out.ofmd"), 255, parseError},
        {"tallis -gop bad.h264", 0, "", "", "0\t8\n"},
        // A walk that lost its start code also ends with -1, but says so after the banner.
        {"tallis -delete /dev/zero out.h264" + gone("out.h264"), 255,
         "ERROR: Cannot find start code in buffer from 0 current file position 0x00000000).\n" +
             Error("copy bitstream", "/dev/zero")},
        // A GOP longer than 255 frames gets the offsets of its first 255; lines past them are
        // not written, so not clamped.
        {"tallis -insert long.h264 long.ofmd out.h264 -log out.log", 0, longGop,
         "out.h264=long.insert.out out.log=long.insert.log"},
        {"printf '0: 5\\n260: 1000\\n' >past.ofmd && tallis -insert long.h264 past.ofmd out.h264",
         0, longGop},
        // Saturated and clamped values: the first one in file order is reported, after the
        // warning that arose before it.
        {"printf '0: 5\\n3: 99999999999\\n7: -300\\n' >big.ofmd && "
         "tallis -insert long.h264 big.ofmd out.h264",
         0, longGop + "<banner>WARNING: tallis - offset 2147483647 at frame 3 clamped to 127\n"},
    });
}

TEST(Tallis, FullDiskAndFifoInput)
{
    Scenario d("interleaved");
    const std::string full = Error("copy bitstream", "in.mvc");
    d.Check({
        {"tallis -delete in.mvc /dev/full", 106, Kept(full, "/dev/full")},
        {"tallis -replace in.mvc edited.ofmd /dev/full", 106, kClamped + Kept(full, "/dev/full")},
        {"tallis -insert in.mvc edited.ofmd /dev/full", 106, kClamped + Kept(full, "/dev/full")},
        {"tallis -extract in.mvc /dev/full", 106, Kept(full, "/dev/full", "file")},
        {"tallis -gop in.mvc >/dev/full", 106, full},
        // A log that cannot be written stays silent.
        {"tallis -delete in.mvc out.mvc -log /dev/full", 0, "", "out.mvc=delete.out"},
        // A FIFO read once is fine; the 3-positional insert would read it twice: refused.
        {"mkfifo in.fifo && { cat in.mvc >in.fifo & tallis -delete in.fifo out.mvc; }", 0, "",
         "out.mvc=delete.out"},
        {"cat in.mvc >in.fifo & tallis -insert in.mvc in.fifo edited.ofmd out.mvc", 0, kClamped,
         "out.mvc=insert.out"},
        {"tallis -insert in.fifo edited.ofmd out.mvc", 101, Error("open file", "in.fifo")},
    });
}

TEST(Tallis, DeleteWithoutOfmdIsFfmpegsDemultiplexing)
{
    if (!HaveProgram("ffmpeg")) {
        if (OraclesRequired())
            FAIL() << "ffmpeg is required";
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    Scenario d;
    for (const char* name : {"base", "hrd", "slices4", "noaud"}) {
        for (const char* m2ts : {"0", "1"}) {
            d.Check({{"ffmpeg -v error -y -f h264 -framerate 24 -i " + H264Fixture(name) +
                          " -c copy -bsf:v setts=pts=DTS -f mpegts -mpegts_m2ts_mode " + m2ts +
                          " x.ts && ffmpeg -v error -y -i x.ts -map 0:v:0 -c copy -f h264 "
                          "ref.h264 && tallis -delete -ts x.ts out.h264",
                      0, "", "out.h264=ref.h264"}});
        }
    }
}

TEST(Tallis, StrayBytesBeforeTheFirstStartCode)
{
    // The fixtures with OFMD inserted at their GOPs, cut at 1 to 40 bytes from the front: the
    // rest of the cut unit is a unit of the type a parse reads in it, which the generator reads
    // on its own. Quenby parses every SEI unit: the commands must fail exactly where it does.
    Scenario d;
    std::string text;
    for (int f = 0; f < 40; ++f)
        text += std::to_string(f) + ": " + std::to_string(f % 7 - 3) + "\n";
    WriteFile(d.File("x.ofmd"), text);
    // Six runs a cut: under the sanitizers every third cut keeps the suite's time in bounds.
#ifdef __SANITIZE_ADDRESS__
    const size_t stride = 3;
#else
    const size_t stride = 1;
#endif
    for (const char* name : {"base", "baseline", "cavlc", "cqm_jvt", "high10", "hrd", "mbaff",
                             "noaud", "slices4", "yuv444"}) {
        // Without delimiters (noaud) there is no GOP to insert into.
        if (RunTallis({"-insert", H264Fixture(name), "x.ofmd", "with.h264"}, d.Path()).status)
            WriteFile(d.File("with.h264"), ReadFile(H264Fixture(name)));
        const std::string with = d.Read("with.h264");
        size_t units = LeadingNumbers(RunTallis({"-gop", H264Fixture(name)}, "").out).size();
        std::istringstream types(Generate("d = g.read('with.h264')\n"
                                          "for k in range(1, 41):\n"
                                          "    print(g.read_nal_type(g.leading_unit(d[k:])))\n",
                                          d.Path()));
        for (size_t k = 1; k <= 40; ++k) {
            const std::string at = std::string(name) + " cut at " + std::to_string(k);
            std::string type;
            types >> type;
            if ((k - 1) % stride != 0)
                continue;
            WriteFile(d.File("cut.h264"), with.substr(k));
            std::string qerr = RunQuenby({"-es", "cut.h264"}, d.Path()).err;
            bool fails       = qerr.find("ERROR reading bitstream") != std::string::npos ||
                         qerr.find("ERROR parsing message") != std::string::npos;
            auto gops = LeadingNumbers(RunTallis({"-gop", "cut.h264"}, d.Path()).out);
            for (std::vector<std::string> args : {std::vector<std::string>{"-extract", "out.ofmd"},
                                                  {"-delete", "out.h264"},
                                                  {"-replace", "x.ofmd", "out.h264"},
                                                  {"-insert", "x.ofmd", "out.h264"}}) {
                args.insert(args.begin() + 1, "cut.h264");
                RunResult r = RunTallis(args, d.Path());
                bool none   = args[0] == "-insert" && gops.empty();
                EXPECT_EQ(r.status, none ? 1 : fails ? 255 : 0) << at << " " << args[0];
                if (!none) {
                    EXPECT_EQ(r.err, fails ? qerr.substr(0, qerr.find("ERROR: ")) : "") << at;
                }
            }
            // The frames of -gop, with 4294967295 for a unit in a GOP that begins before the
            // first delimiter (-gop lists none); a leading unit of type 24 makes that type the
            // counting kind, and nothing after it counts.
            std::vector<uint32_t> frames(units - std::min(units, gops.size()), 0xFFFFFFFF);
            frames.insert(frames.end(), gops.begin(), gops.end());
            if (type == "24")
                frames.assign(units, 0);
            if (!fails) {
                EXPECT_EQ(LeadingNumbers(d.Read("out.ofmd"), ";frames"), frames) << at;
            }
        }
    }
}

TEST(Tallis, OfmdBeforeTheFirstDelimiter)
{
    // Its frames are numbered in 32 bits from 4294967295 on, and read back the same way.
    Scenario d("lead_ofmd");
    d.Check({
        {"tallis -extract in.h264 out.ofmd && cat out.ofmd", 0, "", "",
         ";PTS: 5\n;frames in GOP: 3\n4294967295:   -4\n     0:    5\n     1:    6\n"
         ";PTS: 9\n;frames in GOP: 2\n     6:    7\n     7:   -8\n"},
        {"tallis -replace in.h264 out.ofmd again.h264", 0, "", "again.h264=in.h264"},
    });
}

TEST(Tallis, FailuresAfterTheOutputWasOpened)
{
    // Standard input a TCP connection that delivers two lines and is then reset: a read error
    // after good lines.
    const std::string reset =
        "python3 -c 'import fcntl, os, socket, struct, termios\n"
        "srv = socket.socket(); srv.bind((\"127.0.0.1\", 0)); srv.listen(1)\n"
        "cli = socket.create_connection(srv.getsockname()); con = srv.accept()[0]\n"
        "con.sendall(b\"0: 1, 2\\n1: 3, 4\\n\")\n"
        "while fcntl.ioctl(cli, termios.FIONREAD, bytes(4)) != struct.pack(\"i\", 16): pass\n"
        "con.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack(\"ii\", 1, 0))\n"
        "con.close(); os.dup2(cli.fileno(), 0)\n"
        "os.execv(\"" TALLIS_EXE "\", [\"tallis\", \"-replace\", \"in.mvc\", \"\", \"out.mvc\", "
        "\"-log\"])'";
    // Standard output a pipe whose reader has gone, with SIGPIPE as a shell leaves it.
    const std::string closed = "python3 -c 'import os, signal, sys\n"
                               "r, w = os.pipe(); os.close(r); os.dup2(w, 1); "
                               "signal.signal(signal.SIGPIPE, signal.SIG_DFL)\n"
                               "os.execv(\"" TALLIS_EXE "\", [\"tallis\"] + sys.argv[1:])' ";
    auto gone = [](const std::string& name) { return "; s=$?; test -e " + name + " || exit $s"; };
    const std::string mem = Error("open file", "/proc/self/mem"), in = Error("open file", ""),
                      full = Error("copy bitstream", "in.mvc");
    Scenario("interleaved")
        .Check({
            // A directory is refused at the open, after the output was created: it goes.
            {"mkdir dir && tallis -replace in.mvc dir out.mvc" + gone("out.mvc"), 233,
             Error("open file", "dir")},
            {"tallis -insert in.mvc '' out.mvc <dir", 233, in},
            // A read error is not the end of the file.
            {"tallis -replace in.mvc /proc/self/mem out.mvc" + gone("out.mvc"), 233, mem},
            {"tallis -insert in.mvc /proc/self/mem out.mvc" + gone("out.mvc"), 233, mem},
            {reset + gone("out.mvc"), 233, in, "", "0\treplaced\n"},
            // Past a file-size limit (512 bytes) the write fails; the .ofmd output goes too.
            {"ulimit -f 1; tallis -delete in.mvc out.mvc" + gone("out.mvc"), 106, full},
            {"ulimit -f 1; tallis -extract in.mvc out.ofmd" + gone("out.ofmd"), 106, full},
            // A FIFO, a symbolic link, what it leads to and a file with another link stay.
            {"mkfifo out.fifo && { cat out.fifo >/dev/null & tallis -replace in.mvc /proc/self/mem "
             "out.fifo; s=$?; wait; test -p out.fifo && exit $s; }",
             233, Kept(mem, "out.fifo")},
            {"ln -s real.mvc link.mvc && tallis -insert in.mvc /proc/self/mem link.mvc; s=$?; "
             "test -L link.mvc && test -f real.mvc && exit $s",
             233, Kept(mem, "link.mvc")},
            {"ln -s /proc/self/fd/1 fd1 && tallis -replace in.mvc /proc/self/mem fd1 >std.mvc; "
             "s=$?; test -L fd1 && test -f std.mvc && exit $s",
             233, Kept(mem, "fd1")},
            {"head -c 512 delete.out >part && ln -s sym.to sym.mvc && : >keep.mvc && "
             "ln keep.mvc hard.mvc && ulimit -f 1 && tallis -delete in.mvc sym.mvc; "
             "tallis -delete in.mvc hard.mvc",
             106, Kept(full, "sym.mvc") + Kept(full, "hard.mvc"),
             "sym.to=part keep.mvc=part hard.mvc=part"},
            // A reader that has gone takes nothing more: no line; a log there is lost silently.
            {closed + "-delete in.mvc /dev/stdout", 106, full},
            {closed + "-extract in.mvc /dev/stdout", 106, full},
            {closed + "-delete in.mvc out.mvc -log", 0, "", "out.mvc=delete.out"},
        });
}

TEST(Tallis, FullDisk)
{
    Scenario d("interleaved");
    const std::string mount = "mkdir -p disk && mount -t tmpfs -o size=4k tmpfs disk";
    RunResult probe         = d.Sh("unshare -m sh -c '" + mount + "'");
    if (probe.status != 0)
        GTEST_SKIP() << "no tmpfs in a private mount namespace: " << probe.err;
    // A stream of 33 KiB onto 4 KiB; the half-written output goes.
    d.Check(
        {{"unshare -m sh -c '" + mount + " && \"$0\" -delete \"$1\" disk/out.h264; s=$?; " +
              "test -e disk/out.h264 || exit $s' " TALLIS_EXE " " TEST_DATA_DIR "/h264/base.h264",
          106, Error("copy bitstream", TEST_DATA_DIR "/h264/base.h264")}});
}

TEST(Tallis, InsertIntoAStreamThatBeginsInsideAGop)
{
    // Frames before the first GOP get no unit; each GOP gets one, after its buffering-period
    // SEI unit or before its first picture.
    Scenario("late_start")
        .Check({
            {"tallis -gop in.mvc", 0, "", "", "8\t12\n20\t12\n"},
            {"tallis -insert in.mvc in.ofmd out.mvc -log out.log", 0, "",
             "out.mvc=insert.out out.log=insert.log"},
            {"tallis -extract out.mvc out.ofmd", 0, "", "out.ofmd=gops.ofmd"},
        });
}
