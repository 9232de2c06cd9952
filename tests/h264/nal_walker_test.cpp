// The walker over real files: unit boundaries, the order of the callbacks, what Open opens
// and refuses, checked writes, and the walk's end on a huge unit or a failing input.
#include "h264/nal_walker.h"
#include "tests/h264/memory_feeder.h"
#include "tests/support/stream_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

class Collector : public CH264NALWalker
{
  public:
    struct Seen {
        uint64_t position;
        size_t size;
        bool operator==(const Seen& o) const { return position == o.position && size == o.size; }
    };

    int OnStart() override
    {
        calls += "start ";
        return startResult;
    }
    int OnNALUnit() override
    {
        units.push_back({m_unitPos, m_unitSize});
        bytes.append(reinterpret_cast<const char*>(m_unit), m_unitSize);
        calls += "unit ";
        return int(units.size()) == stopAfter ? 7 : 0;
    }
    int OnEnd() override
    {
        calls += "end";
        return endResult;
    }

    std::vector<Seen> units;
    std::string bytes, calls;
    int startResult = 0, endResult = 0, stopAfter = -1;
};

// The units as the generator's own splitter sees them.
std::vector<Collector::Seen> SplitByGenerator(const std::string& file, const std::string& dir)
{
    std::istringstream lines(Generate("pos = 0\n"
                                      "for u in g.split_units(g.read('" +
                                          file +
                                          "')):\n"
                                          "    print(pos, len(u))\n"
                                          "    pos += len(u)\n",
                                      dir));
    std::vector<Collector::Seen> units;
    for (uint64_t pos, size; lines >> pos >> size;)
        units.push_back({pos, size_t(size)});
    return units;
}

} // namespace

TEST(NalWalker, UnitsMatchTheGeneratorsSplitOfEveryFixture)
{
    TempDir dir;
    Generate(R"(
s = g.read(FIXTURES + '/slices4.h264')
units = g.split_units(s)
g.write('mixed.h264', g.with_start_codes(units, lambda i: g.START3 if i % 3 else g.START4))
g.write('zeros.h264', g.with_trailing_zeros(units, 2, types=(6, 7, 8, 9)))
)",
             dir.Path());
    std::vector<std::string> files = {dir.File("mixed.h264"), dir.File("zeros.h264")};
    for (const char* name : {"base", "cavlc", "baseline", "slices4", "mbaff", "cqm_jvt", "yuv444",
                             "high10", "hrd", "noaud"})
        files.push_back(H264Fixture(name));
    for (const std::string& file : files) {
        Collector walker;
        EXPECT_EQ(walker.Walk(file.c_str(), nullptr, nullptr, nullptr), 0);
        EXPECT_TRUE(walker.units == SplitByGenerator(file, dir.Path())) << file;
        // Every byte is in exactly one unit, in order.
        EXPECT_TRUE(walker.bytes == ReadFile(file)) << file;
        EXPECT_EQ(walker.calls.substr(0, 6), "start ");
        EXPECT_EQ(walker.calls.substr(walker.calls.size() - 3), "end");
    }
}

TEST(NalWalker, TheFirstNonZeroResultEndsTheWalk)
{
    const std::string in = H264Fixture("base");
    Collector atStart;
    atStart.startResult = 5;
    EXPECT_EQ(atStart.Walk(in.c_str(), nullptr, nullptr, nullptr), 5);
    EXPECT_EQ(atStart.calls, "start ");

    Collector inUnits;
    inUnits.stopAfter = 3;
    EXPECT_EQ(inUnits.Walk(in.c_str(), nullptr, nullptr, nullptr), 7);
    EXPECT_EQ(inUnits.calls, "start unit unit unit ");

    Collector atEnd;
    atEnd.endResult = -9;
    EXPECT_EQ(atEnd.Walk(in.c_str(), nullptr, nullptr, nullptr), -9);
}

TEST(NalWalker, ASecondWalkAndASecondCloseAreHarmless)
{
    const std::string in = H264Fixture("noaud");
    Collector walker;
    ASSERT_EQ(walker.Walk(in.c_str(), nullptr, nullptr, nullptr), 0);
    const size_t units = walker.units.size();
    ASSERT_EQ(walker.Walk(in.c_str(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(walker.units.size(), 2 * units);
    EXPECT_EQ(walker.Close(), 0);
    EXPECT_EQ(walker.Close(), 0);
}

TEST(NalWalker, OpenReportsWhatCannotBeOpened)
{
    TempDir dir;
    const std::string in = H264Fixture("base");
    WriteFile(dir.File("in.ofmd"), "ofmd");
    Collector w;
    EXPECT_EQ(w.Open(dir.File("missing").c_str(), nullptr, dir.File("out").c_str(),
                     dir.File("text").c_str()),
              101);
    EXPECT_FALSE(FileExists(dir.File("out")));
    EXPECT_EQ(w.Open(nullptr, nullptr, nullptr, nullptr), 101);
    EXPECT_EQ(w.Open(in.c_str(), nullptr, dir.File("no/out").c_str(), nullptr), 102);
    EXPECT_EQ(w.Open(in.c_str(), dir.File("missing.ofmd").c_str(), nullptr, nullptr), 1001);
    EXPECT_EQ(w.Open(in.c_str(), nullptr, nullptr, dir.File("no/text").c_str()), 1002);
    // Transport streams are not read yet.
    w.m_isTS = true;
    EXPECT_EQ(w.Open(in.c_str(), nullptr, nullptr, nullptr), 101);
    w.m_isTS = false;

    ASSERT_EQ(w.Open(in.c_str(), dir.File("in.ofmd").c_str(), dir.File("out").c_str(),
                     dir.File("text").c_str()),
              0);
    EXPECT_NE(w.m_ofmdIn, nullptr);
    EXPECT_NE(w.m_output, kInvalidFileHandle);
    EXPECT_NE(w.m_textOut, nullptr);
    EXPECT_EQ(w.m_log, nullptr);
    EXPECT_EQ(w.Close(), 0);
    EXPECT_EQ(w.m_textOut, nullptr);

    // Empty names: standard input and output.
    w.m_logName = "";
    ASSERT_EQ(w.Open(in.c_str(), "", nullptr, ""), 0);
    EXPECT_EQ(w.m_ofmdIn, stdin);
    EXPECT_EQ(w.m_textOut, stdout);
    EXPECT_EQ(w.m_log, stdout);
    EXPECT_EQ(w.Close(), 0);
    // A log that cannot be created leaves no log and no error.
    w.m_logName = dir.File("no/log");
    ASSERT_EQ(w.Open(in.c_str(), nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(w.m_log, nullptr);
    w.Close();
}

TEST(NalWalker, NoFileWrittenIsAFileRead)
{
    TempDir dir;
    Generate("g.write('in.h264', g.read(FIXTURES + '/base.h264'))", dir.Path());
    const std::string in = dir.File("in.h264"), ofmd = dir.File("in.ofmd");
    WriteFile(ofmd, "ofmd text");
    ASSERT_EQ(link(in.c_str(), dir.File("link.h264").c_str()), 0);
    const std::string inBytes = ReadFile(in);
    Collector w;
    // The output on the input or the .ofmd input: 102.
    EXPECT_EQ(w.Open(in.c_str(), nullptr, dir.File("link.h264").c_str(), nullptr), 102);
    EXPECT_EQ(w.Open(in.c_str(), ofmd.c_str(), ofmd.c_str(), nullptr), 102);
    // The text output on the input, the .ofmd input or the output: 1002.
    EXPECT_EQ(w.Open(in.c_str(), nullptr, nullptr, in.c_str()), 1002);
    EXPECT_EQ(w.Open(in.c_str(), ofmd.c_str(), nullptr, ofmd.c_str()), 1002);
    EXPECT_EQ(w.Open(in.c_str(), nullptr, dir.File("out").c_str(), dir.File("out").c_str()), 1002);
    EXPECT_EQ(ReadFile(in), inBytes);
    EXPECT_EQ(ReadFile(ofmd), "ofmd text");

    // A log on any of them is left out.
    WriteFile(dir.File("text"), "");
    for (std::string log : {in, ofmd, dir.File("out"), dir.File("text")}) {
        w.m_logName = log;
        ASSERT_EQ(
            w.Open(in.c_str(), ofmd.c_str(), dir.File("out").c_str(), dir.File("text").c_str()), 0);
        EXPECT_EQ(w.m_log, nullptr) << log;
        w.Close();
    }
    EXPECT_EQ(ReadFile(in), inBytes);
    EXPECT_EQ(ReadFile(ofmd), "ofmd text");
}

TEST(NalWalker, OutputsAreWrittenWholeAndFailuresReported)
{
    TempDir dir;
    const std::string in = H264Fixture("base");
    // A FIFO is not truncated (it cannot be) and takes a large write in pieces.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string received;
    std::thread reader([&] {
        int fd = open(fifo.c_str(), O_RDONLY);
        char buf[1000];
        for (ssize_t n; fd >= 0 && (n = read(fd, buf, sizeof buf)) > 0;)
            received.append(buf, size_t(n));
        close(fd);
    });
    std::string block(3 << 20, 'q');
    Collector w;
    ASSERT_EQ(w.Open(in.c_str(), nullptr, fifo.c_str(), nullptr), 0);
    EXPECT_EQ(w.WriteOutput(block.data(), block.size()), 0);
    EXPECT_EQ(w.Close(), 0);
    reader.join();
    EXPECT_TRUE(received == block);

    ASSERT_EQ(w.Open(in.c_str(), nullptr, "/dev/full", nullptr), 0);
    EXPECT_EQ(w.WriteOutput("x", 1), 106);
    EXPECT_EQ(w.Close(), 0);
    ASSERT_EQ(w.Open(in.c_str(), nullptr, nullptr, "/dev/full"), 0);
    EXPECT_EQ(w.PrintText("%d", 5), 0); // buffered
    EXPECT_EQ(w.FlushText(), 106);
    EXPECT_EQ(w.Close(), 106);

    // Text left in the buffer fails at the close: the walk's result.
    struct Writer : Collector {
        int OnEnd() override { return PrintText("row\n"); }
    } writer;
    EXPECT_EQ(writer.Walk(in.c_str(), nullptr, nullptr, "/dev/full"), 106);
    EXPECT_EQ(writer.Walk(in.c_str(), nullptr, nullptr, dir.File("text").c_str()), 0);
    EXPECT_EQ(ReadFile(dir.File("text")), "row\n");
}

TEST(NalWalker, AUnitBeyondTheLimitEndsTheWalkWithMinusOne)
{
    TempDir dir;
    Generate("aud = g.unit(9, bytes([0x10]))\n"
             "g.write('big.h264', aud + aud + g.filler_unit(5000) + aud)\n",
             dir.Path());
    struct Limited : Collector {
        int OnStart() override
        {
            m_buffer->SetUnitLimit(1000);
            return Collector::OnStart();
        }
    } walker;
    CaptureOutput capture;
    int r = walker.Walk(dir.File("big.h264").c_str(), nullptr, nullptr, nullptr);
    capture.Stop();
    EXPECT_EQ(r, -1);
    EXPECT_EQ(walker.calls, "start unit unit ");
    // The position is the last unit found.
    EXPECT_EQ(capture.Err(), "ERROR: Cannot find start code in buffer from 0 current file "
                             "position 0x00000006).\n");
}

TEST(NalWalker, AFailingInputEndsTheWalkWith105AfterTheCompletedUnits)
{
    // The input's feeder is swapped for one that fails inside the third unit.
    struct Failing : Collector {
        int OnStart() override
        {
            auto input = Hex("00 00 00 01 09 10 00 00 00 01 09 30 00 00 00 01 65 88 80 11");
            m_buffer.reset();
            m_feeder.reset(new MemoryFeeder(input, 3, 18));
            m_feeder->Start();
            m_buffer.reset(new NalStreamBuffer(m_feeder.get()));
            m_buffer->Refill(false);
            return Collector::OnStart();
        }
    } walker;
    EXPECT_EQ(walker.Walk(H264Fixture("base").c_str(), nullptr, nullptr, nullptr), 105);
    EXPECT_EQ(walker.calls, "start unit unit ");
}
