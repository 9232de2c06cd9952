// The walker over real files: unit boundaries, the walk's end on a huge unit, and what Open
// opens and refuses.
#include "h264/stream/nal_walker.h"
#include "tests/support/stream_support.h"

#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

using namespace testing_support;

namespace
{

// Records the calls, s(tart), u(nit) and e(nd), and the units.
class Collector : public CH264NALWalker
{
  public:
    int OnStart() override
    {
        calls += 's';
        if (unitLimit)
            m_buffer->SetUnitLimit(unitLimit);
        return 0;
    }
    int OnNALUnit() override
    {
        units += std::to_string(m_unitPos) + ":" + std::to_string(m_unitSize) + " ";
        bytes.append(reinterpret_cast<const char*>(m_unit), m_unitSize);
        calls += 'u';
        return 0;
    }
    int OnEnd() override
    {
        calls += 'e';
        return 0;
    }

    std::string units, bytes, calls;
    size_t unitLimit = 0;
};

} // namespace

TEST(NalWalker, UnitsAreTheGeneratorsSplitOfEveryFixture)
{
    TempDir dir;
    // A file and its units as "position:size " on each line.
    std::istringstream lines(Generate(R"(
import glob, os
units = g.split_units(g.read(FIXTURES + '/slices4.h264'))
g.write('mixed.h264', g.with_start_codes(units, lambda i: g.START3 if i % 3 else g.START4))
g.write('zeros.h264', b''.join(u + bytes(2 if g.nal_type(u) in (6, 7, 8, 9) else 0) for u in units))
for f in sorted(glob.glob(FIXTURES + '/*.h264')) + ['mixed.h264', 'zeros.h264']:
    pos, text = 0, ''
    for u in g.split_units(g.read(f)):
        text, pos = text + '%d:%d ' % (pos, len(u)), pos + len(u)
    print(os.path.abspath(f) + '\t' + text)
)",
                                      dir.Path()));
    int files = 0;
    for (std::string file, units; std::getline(lines, file, '\t') && std::getline(lines, units);) {
        Collector walker;
        EXPECT_EQ(walker.Walk(file.c_str(), nullptr, nullptr, nullptr), 0);
        EXPECT_EQ(walker.units, units) << file;
        EXPECT_TRUE(walker.bytes == ReadFile(file)) << file; // every byte in one unit, in order
        EXPECT_EQ(walker.calls, "s" + std::string(walker.calls.size() - 2, 'u') + "e") << file;
        ++files;
    }
    EXPECT_EQ(files, 12);
}

TEST(NalWalker, OpenRefusesWhatCannotBeOpenedOrWouldOverwriteAnInput)
{
    TempDir dir;
    const std::string in = dir.File("in.h264"), ofmd = dir.File("in.ofmd"), out = dir.File("out"),
                      text = dir.File("text"), hard = dir.File("hard.h264"),
                      missing = dir.File("missing"), noDir = dir.File("no/file");
    WriteFile(in, ReadFile(H264Fixture("base")));
    WriteFile(ofmd, "ofmd text");
    ASSERT_EQ(link(in.c_str(), hard.c_str()), 0);
    const std::string before = ReadFile(in);
    const struct {
        const char *input, *ofmdInput, *output, *textOutput;
        int result;
    } cases[] = {
        {nullptr, nullptr, nullptr, nullptr, 101},
        {missing.c_str(), nullptr, out.c_str(), text.c_str(), 101},
        {in.c_str(), nullptr, noDir.c_str(), nullptr, 102},
        {in.c_str(), missing.c_str(), nullptr, nullptr, 1001},
        {in.c_str(), nullptr, nullptr, noDir.c_str(), 1002},
        // No file written may be a file read, nor the text the output.
        {in.c_str(), nullptr, hard.c_str(), nullptr, 102},
        {in.c_str(), ofmd.c_str(), ofmd.c_str(), nullptr, 102},
        {in.c_str(), nullptr, nullptr, in.c_str(), 1002},
        {in.c_str(), ofmd.c_str(), nullptr, ofmd.c_str(), 1002},
        {in.c_str(), nullptr, out.c_str(), out.c_str(), 1002},
    };
    Collector w;
    for (const auto& c : cases)
        EXPECT_EQ(w.Open(c.input, c.ofmdInput, c.output, c.textOutput), c.result)
            << (c.output ? c.output : "-") << " " << (c.textOutput ? c.textOutput : "-");
    EXPECT_FALSE(FileExists(text));
    // An elementary stream has no packet size a transport stream could have.
    w.m_isTS = true;
    EXPECT_EQ(w.Open(in.c_str(), nullptr, nullptr, nullptr), 101);
    w.m_isTS = false;
    // Empty names: standard input and output.
    w.m_logName = "";
    ASSERT_EQ(w.Open(in.c_str(), "", nullptr, ""), 0);
    EXPECT_EQ(w.m_ofmdIn, stdin);
    EXPECT_EQ(w.m_textOut, stdout);
    EXPECT_EQ(w.m_log, stdout);
    w.Close();
    // A log that cannot be created, or would be one of the walk's files, is left out.
    for (const std::string& log : {in, ofmd, out, text, noDir}) {
        w.m_logName = log;
        ASSERT_EQ(w.Open(in.c_str(), ofmd.c_str(), out.c_str(), text.c_str()), 0);
        EXPECT_EQ(w.m_log, nullptr) << log;
        EXPECT_EQ(w.Close(), 0);
    }
    EXPECT_EQ(ReadFile(in), before);
    EXPECT_EQ(ReadFile(ofmd), "ofmd text");
}
