// quenby on transport streams, run as a program: the same rows as on the elementary stream for
// ffmpeg's and our own packets, the stream choice, long PMTs, the generator's faults, FIFOs and
// standard input, ffprobe's packet index as the access-unit number, and the real files.
#include "tests/h264/ts_writer.h"
#include "tests/support/stream_support.h"

#include <algorithm>
#include <csignal>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>

using testing_support::ReadFile;
using testing_support::RunResult;
using testing_support::TempDir;

namespace
{

const std::string kGen      = std::string(GEN_DIR) + "/";
const std::string kFixtures = std::string(TEST_DATA_DIR) + "/h264/";
const std::string kTags     = "0x13=0x12345678,0x18=0x02201708,0x19=0x24134510,0xE0=0x10113001";
const std::string kSonyTags = "0x18=0x23201912,0x19=0x01020304,0xE0=0x01080042";

RunResult Quenby(const std::vector<std::string>& args, const std::string& stdinData = "")
{
    return testing_support::Run(QUENBY_EXE, args, stdinData, "", 60);
}

// A program found through PATH.
RunResult Tool(const std::vector<std::string>& args)
{
    return testing_support::Run("/usr/bin/env", args, "", "", 120);
}

// A program the test needs: absent, the test is skipped, unless CI requires the oracles.
#define REQUIRE_TOOL(tool)                                                                         \
    if (!testing_support::HaveProgram(tool)) {                                                     \
        EXPECT_FALSE(testing_support::OraclesRequired()) << tool " is required here";              \
        GTEST_SKIP() << tool " is not installed";                                                  \
    }

void Check(const RunResult& r, const std::string& what)
{
    ASSERT_EQ(r.status, 0) << what << "\n" << r.err;
}

// The fixture with one MDPM message in each of the named access units.
std::string MdpmStream(const TempDir& dir, const std::string& fixture, const std::string& name,
                       const std::string& tags = kTags, const std::string& units = "0,12,24")
{
    std::string out = dir.File(name);
    Check(Tool({"python3", kGen + "h264es.py", "mdpm", kFixtures + fixture, out, units, tags}),
          "h264es.py");
    return out;
}

// ts.py mux with the given options.
std::string Mux(const TempDir& dir, const std::vector<std::string>& es, const std::string& name,
                const std::vector<std::string>& options = {})
{
    std::vector<std::string> args = {"python3", kGen + "ts.py", "mux"};
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), es.begin(), es.end());
    args.push_back(dir.File(name));
    Check(Tool(args), "ts.py mux");
    return dir.File(name);
}

// ffmpeg's transport stream of the elementary streams (one program, a video stream each).
std::string FfmpegTs(const TempDir& dir, const std::vector<std::string>& es,
                     const std::string& name, bool m2ts)
{
    std::vector<std::string> args = {"ffmpeg", "-v", "error", "-y"};
    for (const std::string& e : es)
        args.insert(args.end(), {"-f", "h264", "-framerate", "24", "-i", e});
    for (size_t i = 0; i < es.size(); ++i)
        args.insert(args.end(), {"-map", std::to_string(i)});
    args.insert(args.end(), {"-c", "copy", "-bsf:v", "setts=pts=DTS", "-f", "mpegts"});
    if (m2ts) {
        // Its m2ts mode picks PIDs for one video stream only.
        args.insert(args.end(), {"-mpegts_m2ts_mode", "1"});
        for (size_t i = 0; i < es.size(); ++i)
            args.insert(args.end(),
                        {"-streamid", std::to_string(i) + ":" + std::to_string(0x1011 + i)});
    }
    args.push_back(dir.File(name));
    Check(Tool(args), "ffmpeg");
    return dir.File(name);
}

std::string PatchType(const TempDir& dir, const std::string& in, const std::string& name, int index,
                      const std::string& type)
{
    Check(Tool({"python3", kGen + "ts.py", "patch-type", "--index", std::to_string(index), "--type",
                type, in, dir.File(name)}),
          "ts.py patch-type");
    return dir.File(name);
}

// quenby's listing of the elementary stream, in list form.
std::string EsListing(const std::string& es, const std::vector<std::string>& options = {})
{
    std::vector<std::string> args = options;
    args.insert(args.begin(), "-es");
    args.push_back(es);
    RunResult r = Quenby(args);
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

// The first n rows of a list-form listing (each row ends with a blank line).
std::string FirstRows(const std::string& listing, size_t n)
{
    size_t pos = 0;
    for (size_t i = 0; i < n; ++i) {
        pos = listing.find("\n\n", pos);
        if (pos == std::string::npos)
            return listing;
        pos += 2;
    }
    return listing.substr(0, pos);
}

void ExpectSameAsEs(const std::string& ts, const std::string& es, const std::string& what)
{
    for (std::vector<std::string> options :
         {std::vector<std::string>{}, {"-tab", "-hexdata"}, {"-TAB", "-noheader"}}) {
        std::vector<std::string> args = options;
        args.push_back(ts);
        RunResult r = Quenby(args);
        EXPECT_EQ(r.status, 0) << what << "\n" << r.err;
        EXPECT_EQ(r.err, "") << what;
        EXPECT_EQ(r.out, EsListing(es, options)) << what;
    }
}

// The wanted PID's payload as our own independent reading of the packets gives it, with the
// packet each byte came from.
struct Layout {
    std::string es;
    std::vector<size_t> packetOf;
};

Layout PayloadLayout(const std::string& file, size_t packetSize, uint16_t pid)
{
    Layout l;
    size_t skip = packetSize - 188;
    for (size_t i = 0; (i + 1) * packetSize <= file.size(); ++i) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(file.data()) + i * packetSize + skip;
        if ((((p[1] & 0x1F) << 8) | p[2]) != pid || !(p[3] & 0x10))
            continue;
        size_t start = (p[3] & 0x20) ? 5 + p[4] : 4;
        if (p[1] & 0x40)
            start += 9 + p[start + 8];
        for (size_t k = start; k < 188; ++k) {
            l.es.push_back(char(p[k]));
            l.packetOf.push_back(i);
        }
    }
    return l;
}

// Offsets of every occurrence of what in s.
std::vector<size_t> FindAll(const std::string& s, const std::string& what)
{
    std::vector<size_t> at;
    for (size_t pos = s.find(what); pos != std::string::npos; pos = s.find(what, pos + 1))
        at.push_back(pos);
    return at;
}

std::string Text(const ts_writer::Bytes& b) { return std::string(b.begin(), b.end()); }

} // namespace

TEST(QuenbyTs, FfmpegTransportStreamsListAsTheElementaryStream)
{
    REQUIRE_TOOL("ffmpeg");
    TempDir dir;
    for (const std::string fixture :
         {"base.h264", "noaud.h264", "slices4.h264", "mbaff.h264", "hrd.h264", "cavlc.h264"}) {
        std::string es = MdpmStream(dir, fixture, "m.h264");
        ExpectSameAsEs(FfmpegTs(dir, {es}, "x.ts", false), es, fixture + " ts");
        ExpectSameAsEs(FfmpegTs(dir, {es}, "x.m2ts", true), es, fixture + " m2ts");
    }
}

TEST(QuenbyTs, AccessUnitNumIsFfprobesPacketIndex)
{
    REQUIRE_TOOL("ffmpeg");
    REQUIRE_TOOL("ffprobe");
    TempDir dir;
    for (const std::string fixture : {"base.h264", "noaud.h264", "slices4.h264"}) {
        for (bool m2ts : {false, true}) {
            std::string es  = MdpmStream(dir, fixture, "m.h264", kTags, "0,5,13,22,35");
            std::string ts  = FfmpegTs(dir, {es}, "x.ts", m2ts);
            RunResult probe = Tool({"ffprobe", "-v", "error", "-select_streams", "v:0",
                                    "-show_entries", "packet=pos", "-of", "csv=p=0", ts});
            ASSERT_EQ(probe.status, 0) << probe.err;
            std::vector<uint64_t> starts;
            std::istringstream lines(probe.out);
            for (std::string line; std::getline(lines, line);)
                if (!line.empty())
                    starts.push_back(std::stoull(line));
            // The packet index of each MDPM message: the last packet starting before it.
            std::string want;
            for (size_t at : FindAll(ReadFile(ts), "MDPM")) {
                size_t index =
                    size_t(std::upper_bound(starts.begin(), starts.end(), at) - starts.begin()) - 1;
                want += std::to_string(index) + "\n";
            }
            RunResult r = Quenby({"-tab", "-noheader", ts});
            ASSERT_EQ(r.status, 0) << r.err;
            std::string got;
            std::istringstream rows(r.out);
            for (std::string row; std::getline(rows, row);)
                got += row.substr(0, row.find('\t')) + "\n";
            EXPECT_EQ(got, "0\n5\n13\n22\n35\n") << fixture;
            EXPECT_EQ(got, want) << fixture << (m2ts ? " m2ts" : " ts");
        }
    }
}

TEST(QuenbyTs, OurOwnPacketsAndLongPmts)
{
    TempDir dir;
    std::string es = MdpmStream(dir, "base.h264", "m.h264");
    struct Case {
        std::string what;
        std::vector<std::string> options;
    } cases[] = {
        {"188", {}},
        {"192", {"--packet", "192"}},
        {"PMT over two packets", {"--pmt-length", "300"}},
        {"PMT over three packets", {"--packet", "192", "--pmt-length", "400"}},
        {"PMT of 512 bytes", {"--pmt-length", "512"}},
        {"PSI repeated", {"--psi-every", "5", "--pmt-length", "368"}},
        {"PES header split after 5 bytes", {"--fault", "split-pes-header"}},
        {"PES header split after 12 bytes",
         {"--fault", "split-pes-header", "--split-header", "12"}},
        {"null packets", {"--fault", "null-packets"}},
        {"adaptation-only packets", {"--fault", "adaptation-only", "--packet", "192"}},
        {"stray payload before the first PES header", {"--fault", "stray-payload"}},
        {"last packet cut", {"--truncate", "100"}},
        {"last packet of 192 cut", {"--packet", "192", "--truncate", "191"}},
    };
    for (const Case& c : cases)
        ExpectSameAsEs(Mux(dir, {es}, "x.ts", c.options), es, c.what);

    // Longer than the section buffer: no stream is ever listed, and no payload flowed.
    RunResult r = Quenby({Mux(dir, {es}, "x.ts", {"--pmt-length", "513"})});
    EXPECT_EQ(r.status, 101);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "ERROR: Cannot open file!\n\n");
}

TEST(QuenbyTs, InputsThatAreNoTransportStream)
{
    TempDir dir;
    std::string es = MdpmStream(dir, "base.h264", "m.h264");
    // An elementary stream given without -es; 192-byte packets whose header begins with 0x47.
    for (const std::string& input :
         {es, Mux(dir, {es}, "x.m2ts", {"--packet", "192", "--first-header", "47000000"})}) {
        RunResult r = Quenby({input});
        EXPECT_EQ(r.status, 101);
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(r.err, "ERROR: Cannot open file!\n\n");
    }
    // Less than a packet, or nothing at all: no rows, no error.
    for (size_t n : {0, 187}) {
        testing_support::WriteFile(dir.File("short.ts"),
                                   ReadFile(Mux(dir, {es}, "x.ts")).substr(0, n));
        RunResult r = Quenby({"-tab", dir.File("short.ts")});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "AccessUnitNum\tTimeCode\tDateTimeOriginal\tCompany\tCompanyModel\t"
                         "CompanyModelName\n");
    }
}

TEST(QuenbyTs, FailuresInTheMiddleEndTheListingWith105)
{
    TempDir dir;
    std::string es      = MdpmStream(dir, "base.h264", "m.h264");
    std::string listing = EsListing(es);
    for (size_t packetSize : {188, 192}) {
        std::vector<std::string> size = {"--packet", std::to_string(packetSize)};
        std::string good              = ReadFile(Mux(dir, {es}, "good.ts", size));
        Layout layout                 = PayloadLayout(good, packetSize, 0x1011);
        std::vector<size_t> mdpm      = FindAll(layout.es, "MDPM");
        ASSERT_EQ(mdpm.size(), 3u);
        // The third message's unit is complete once the 01 of the next start code is in.
        size_t next      = layout.es.find(std::string("\0\0\1", 3), mdpm[2]);
        size_t completes = layout.packetOf[next + 2];
        struct Case {
            std::string what;
            std::vector<std::string> options;
            size_t rows;
        } cases[] = {
            {"error indicator where the unit ends", {"--tei", std::to_string(completes)}, 2},
            {"error indicator behind it", {"--tei", std::to_string(completes + 1)}, 3},
            {"sync lost behind it", {"--shift", std::to_string(completes + 1)}, 3},
            {"sync lost where it ends", {"--shift", std::to_string(completes)}, 2},
            {"PES start code of access unit 24", {"--bad-pes", "24"}, 2},
            {"PES start code of access unit 25", {"--bad-pes", "25"}, 3},
            {"error indicator in the last packet", {"--tei", "-1"}, 3},
        };
        for (Case c : cases) {
            if (c.options[1] == "-1")
                c.options[1] = std::to_string(good.size() / packetSize - 1);
            c.options.insert(c.options.end(), size.begin(), size.end());
            RunResult r = Quenby({Mux(dir, {es}, "bad.ts", c.options)});
            EXPECT_EQ(r.status, 105) << c.what;
            EXPECT_EQ(r.out, FirstRows(listing, c.rows)) << c.what;
            EXPECT_EQ(r.err, "ERROR: File read error!\n\n") << c.what;
        }
        // Once some payload has gone to the walker, even less than a unit, it is 105.
        std::vector<std::string> early = {"--tei", "4"};
        early.insert(early.end(), size.begin(), size.end());
        RunResult cut = Quenby({Mux(dir, {es}, "bad.ts", early)});
        EXPECT_EQ(cut.status, 105);
        EXPECT_EQ(cut.out, "");
        EXPECT_EQ(cut.err, "ERROR: File read error!\n\n");
        // Before any payload the input cannot be opened.
        for (std::vector<std::string> options : {std::vector<std::string>{"--tei", "0"},
                                                 {"--tei", "1"},
                                                 {"--shift", "2"},
                                                 {"--bad-pes", "0"}}) {
            options.insert(options.end(), size.begin(), size.end());
            RunResult r = Quenby({Mux(dir, {es}, "bad.ts", options)});
            EXPECT_EQ(r.status, 101) << options[0];
            EXPECT_EQ(r.out, "");
            EXPECT_EQ(r.err, "ERROR: Cannot open file!\n\n");
        }
    }
}

TEST(QuenbyTs, WhichVideoStreamIsListed)
{
    TempDir dir;
    std::string canon        = MdpmStream(dir, "base.h264", "canon.h264");
    std::string sony         = MdpmStream(dir, "cavlc.h264", "sony.h264", kSonyTags, "1,7");
    std::string canonListing = EsListing(canon), sonyListing = EsListing(sony);
    auto listed = [&](const std::string& ts) {
        RunResult r = Quenby({ts});
        EXPECT_EQ(r.status, 0) << r.err;
        return r.out;
    };
    // Our own packets: two H.264 streams, H.264 with MVC either way round, MVC alone.
    EXPECT_EQ(listed(Mux(dir, {canon, sony}, "x.ts")), canonListing);
    EXPECT_EQ(listed(Mux(dir, {sony, canon}, "x.ts")), sonyListing);
    EXPECT_EQ(listed(Mux(dir, {canon, sony}, "x.ts", {"--second-type", "0x20"})), canonListing);
    EXPECT_EQ(listed(Mux(dir, {canon, sony}, "x.ts", {"--type", "0x20"})), sonyListing);
    EXPECT_EQ(listed(Mux(dir, {sony}, "x.ts", {"--type", "0x20", "--packet", "192"})), sonyListing);

    REQUIRE_TOOL("ffmpeg");
    for (bool m2ts : {false, true}) {
        std::string two = FfmpegTs(dir, {canon, sony}, "two.ts", m2ts);
        EXPECT_EQ(listed(two), canonListing);
        EXPECT_EQ(listed(FfmpegTs(dir, {sony, canon}, "two.ts", m2ts)), sonyListing);
        two = FfmpegTs(dir, {canon, sony}, "two.ts", m2ts);
        EXPECT_EQ(listed(PatchType(dir, two, "mvc.ts", 1, "0x20")), canonListing);
        EXPECT_EQ(listed(PatchType(dir, two, "mvc.ts", 0, "0x20")), sonyListing);
        std::string one = FfmpegTs(dir, {sony}, "one.ts", m2ts);
        std::string mvc = PatchType(dir, one, "mvc.ts", 0, "0x20");
        EXPECT_EQ(listed(mvc), sonyListing);
        // The patched stream is still one that ffprobe reads.
        RunResult probe = Tool({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type",
                                "-of", "csv=p=0", mvc});
        EXPECT_EQ(probe.status, 0) << probe.err;
    }
}

TEST(QuenbyTs, FifosAndStandardInput)
{
    std::signal(SIGPIPE, SIG_IGN);
    TempDir dir;
    std::string canon = MdpmStream(dir, "base.h264", "canon.h264");
    std::string sony  = MdpmStream(dir, "cavlc.h264", "sony.h264", kSonyTags, "1,7");
    std::string fifo  = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto throughFifo = [&](const std::string& file, const std::vector<std::string>& options) {
        std::string bytes = ReadFile(file);
        std::thread writer([&] { testing_support::WriteFile(fifo, bytes); });
        std::vector<std::string> args = options;
        args.push_back(fifo);
        RunResult r = Quenby(args);
        writer.join();
        return r;
    };
    for (const std::string& ts :
         {Mux(dir, {canon, sony}, "x.ts", {"--second-type", "0x20", "--pmt-length", "400"}),
          Mux(dir, {canon}, "y.ts", {"--packet", "192"})}) {
        for (std::vector<std::string> options :
             {std::vector<std::string>{}, {"-tab", "-hexdata"}}) {
            RunResult r = throughFifo(ts, options);
            EXPECT_EQ(r.status, 0) << r.err;
            EXPECT_EQ(r.out, EsListing(canon, options));
        }
        RunResult r = Quenby({"/dev/stdin"}, ReadFile(ts));
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, EsListing(canon));
    }
    // A failure in a FIFO ends the walk without waiting for the writer.
    size_t packets = ReadFile(Mux(dir, {canon}, "z.ts")).size() / 188;
    RunResult r    = throughFifo(
           Mux(dir, {canon}, "z.ts", {"--tei", std::to_string(packets - 1), "--repeat", "20"}), {});
    EXPECT_EQ(r.status, 105);
    EXPECT_EQ(r.out, FirstRows(EsListing(canon), 3));

    // MVC video listed only by a later PMT of another program: a file's first pass sees it, a
    // FIFO does not.
    using ts_writer::Pmt, ts_writer::Psi, ts_writer::Pes;
    std::string es = ReadFile(sony);
    std::string late;
    for (const auto& list :
         {Psi(0, ts_writer::Pat({{1, 0x100}, {2, 0x200}})), Psi(0x100, Pmt(1, {{0x0F, 0x1100}})),
          Pes(0x1100, ts_writer::Bytes(500, 0x11)), Psi(0x200, Pmt(2, {{0x20, 0x1012}})),
          Pes(0x1012, ts_writer::Bytes(es.begin(), es.end()))})
        for (const ts_writer::Bytes& p : list)
            late += Text(p);
    testing_support::WriteFile(dir.File("late.ts"), late);
    r = Quenby({dir.File("late.ts")});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, EsListing(sony));
    r = throughFifo(dir.File("late.ts"), {});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST(QuenbyTs, RealTransportStreams)
{
    std::string corpus = testing_support::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "the shared corpus is not beside the checkout";
    for (const char* name : {"exiftool-M2TS.mts", "hc-grinbunny-00002.m2ts",
                             "hc-progressive-00000.m2ts", "hc-progressive-00001.m2ts"}) {
        for (std::vector<std::string> options :
             {std::vector<std::string>{}, {"-tab", "-hexdata"}}) {
            options.push_back(corpus + "/h264/" + name);
            RunResult r = Quenby(options);
            EXPECT_EQ(r.status, 0) << name << "\n" << r.err;
            EXPECT_EQ(r.err, "") << name;
        }
    }
    std::string mts = corpus + "/h264/exiftool-M2TS.mts";
    RunResult r     = Quenby({"-hexdata", mts});
    EXPECT_EQ(r.out, ";AccessUnitNum=0\n"
                     "#07\n#1802200812\n#1931231624\n#70CAF4FFFF\n#71FFFFFFFF\n#7F00006584\n"
                     "#E010113000\n#E106FFFFFF\n"
                     "DateTimeOriginal=2008-12-31 23:16:24, timezone +01:00\n"
                     "Company=Canon\nCompanyModel=0x3000\n\n");

    REQUIRE_TOOL("exiftool");
    RunResult exif = Tool({"exiftool", "-ee", "-s", "-DateTimeOriginal", "-Make", mts});
    ASSERT_EQ(exif.status, 0) << exif.err;
    // "Tag   : value" lines.
    auto value = [&](const std::string& tag) {
        size_t at = exif.out.find(tag + " ");
        if (at == std::string::npos)
            return std::string();
        size_t from = exif.out.find(": ", at) + 2, end = exif.out.find('\n', from);
        return exif.out.substr(from, end - from);
    };
    std::string taken = value("DateTimeOriginal"), make = value("Make");
    ASSERT_EQ(taken.size(), 25u) << exif.out; // 2008:12:31 23:16:24+01:00
    std::string date = taken.substr(0, 10);
    std::replace(date.begin(), date.end(), ':', '-');
    EXPECT_NE(r.out.find("DateTimeOriginal=" + date + " " + taken.substr(11, 8) + ", timezone " +
                         taken.substr(19) + "\n"),
              std::string::npos)
        << taken;
    ASSERT_FALSE(make.empty()) << exif.out;
    EXPECT_NE(r.out.find("Company=" + make + "\n"), std::string::npos) << make;
}
