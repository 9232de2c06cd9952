// quenby's access-unit numbers against an independent oracle: the decode-order packet index
// that ffprobe gives for the packet holding each MDPM message.
#include "tests/support/stream_support.h"

#include <gtest/gtest.h>
#include <sstream>
#include <string>

using namespace testing_support;

namespace
{

bool OracleAvailable()
{
    if (HaveProgram("ffprobe"))
        return true;
    EXPECT_FALSE(OraclesRequired()) << "ffprobe is required here";
    return false;
}

std::vector<uint64_t> Numbers(const std::string& text)
{
    std::istringstream in(text);
    std::vector<uint64_t> v;
    for (uint64_t n; in >> n;)
        v.push_back(n);
    return v;
}

// For each MDPM message of file (their positions given in stream order), the index of the
// ffprobe packet that holds it.
std::vector<uint64_t> PacketIndexes(const std::string& file, const std::vector<uint64_t>& where)
{
    RunResult probe = Run("/usr/bin/env", {"ffprobe", "-v", "error", "-show_entries", "packet=pos",
                                           "-of", "csv=p=0", file});
    EXPECT_EQ(probe.status, 0) << probe.err;
    std::vector<uint64_t> starts = Numbers(probe.out), indexes;
    for (uint64_t pos : where) {
        uint64_t index = 0;
        while (index + 1 < starts.size() && starts[index + 1] <= pos)
            ++index;
        indexes.push_back(index);
    }
    return indexes;
}

// The AccessUnitNum column of quenby's table.
std::vector<uint64_t> AccessUnitNums(const std::string& file)
{
    RunResult r = RunQuenby({"-es", "-tab", "-noheader", file});
    EXPECT_EQ(r.status, 0) << r.err;
    std::istringstream rows(r.out);
    std::vector<uint64_t> v;
    for (std::string row; std::getline(rows, row);)
        v.push_back(std::stoull(row.substr(0, row.find('\t'))));
    return v;
}

} // namespace

TEST(QuenbyOracle, AccessUnitNumIsTheFfprobePacketIndex)
{
    if (!OracleAvailable())
        GTEST_SKIP() << "ffprobe is not installed: the picture-count oracle is skipped";
    TempDir dir;
    // An MDPM message in every access unit; the positions of the messages are printed.
    for (const char* name : {"base", "noaud", "cavlc", "baseline", "slices4", "mbaff", "cqm_jvt",
                             "yuv444", "high10", "hrd"}) {
        std::string out = Generate(std::string("s = g.read(FIXTURES + '/") + name + R"(.h264')
n = len(g.access_units(g.split_units(s)))
m = g.sei_unit([g.mdpm_message([(0x13, 0x12345678)])])
s, where = g.insert_units(s, {i: [m] for i in range(n)})
g.write('marked.h264', s)
print(' '.join(str(where[i][0]) for i in range(n)))
)",
                                   dir.Path());
        std::vector<uint64_t> where = Numbers(out);
        ASSERT_EQ(where.size(), 36u) << name;
        std::vector<uint64_t> nums = AccessUnitNums(dir.File("marked.h264"));
        EXPECT_EQ(nums, PacketIndexes(dir.File("marked.h264"), where)) << name;
        EXPECT_EQ(nums.back(), 35u) << name;
    }
}

TEST(QuenbyOracle, EachFieldOfAFieldCodedFrameIsAnAccessUnit)
{
    TempDir dir;
    // Five frames of two fields each, with and without delimiters; a message before each field.
    for (const char* aud : {"False", "True"}) {
        std::string out = Generate(std::string("s = g.paff_stream(5, aud=") + aud + R"()
n = len(g.access_units(g.split_units(s)))
m = g.sei_unit([g.mdpm_message([(0x13, 0x12345678)])])
s, where = g.insert_units(s, {i: [m] for i in range(n)})
g.write('paff.h264', s)
print(' '.join(str(where[i][0]) for i in range(n)))
)",
                                   dir.Path());
        std::vector<uint64_t> where = Numbers(out), expected;
        for (uint64_t i = 0; i < 10; ++i)
            expected.push_back(i);
        ASSERT_EQ(where.size(), 10u);
        std::vector<uint64_t> nums = AccessUnitNums(dir.File("paff.h264"));
        EXPECT_EQ(nums, expected) << aud;
        if (OracleAvailable()) {
            EXPECT_EQ(nums, PacketIndexes(dir.File("paff.h264"), where)) << aud;
        }
    }
}
