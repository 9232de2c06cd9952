// The picture counter on real streams: every slice must carry the decode-order index of the
// access unit that ffprobe puts it in. The streams are made by x264 through ffmpeg at test time;
// without ffmpeg the test is skipped.
#include "h264/syntax/nal_parser.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sstream>

using testing_support::Run;
using testing_support::RunResult;
using testing_support::TempDir;

namespace
{

RunResult Shell(const std::string& command) { return Run("/bin/sh", {"-c", command}); }

bool HaveFfmpeg() { return Shell("command -v ffmpeg && command -v ffprobe").status == 0; }

// Units from start code to start code; a zero byte before 00 00 01 belongs to the start code.
std::vector<std::pair<size_t, size_t>> SplitUnits(const std::string& data)
{
    std::vector<size_t> starts;
    for (size_t i = 0; i + 2 < data.size(); ++i) {
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1) {
            starts.push_back(i > 0 && data[i - 1] == 0 ? i - 1 : i);
            i += 2;
        }
    }
    std::vector<std::pair<size_t, size_t>> units;
    for (size_t k = 0; k < starts.size(); ++k)
        units.emplace_back(starts[k],
                           (k + 1 < starts.size() ? starts[k + 1] : data.size()) - starts[k]);
    return units;
}

} // namespace

TEST(StreamPictureCount, MatchesFfprobePackets)
{
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg or ffprobe not found: the oracle test needs both";
    struct Variant {
        const char* name;
        const char* options;
    } variants[] = {
        {"high CABAC, delimiters", "-profile:v high -x264-params aud=1"},
        {"no delimiters", "-profile:v high"},
        {"four slices", "-profile:v high -x264-params aud=1:slices=4"},
        {"MBAFF", "-profile:v high -x264-params aud=1:interlaced=1"},
        {"CAVLC, open GOP", "-profile:v high -coder 0 -x264-params aud=1:open-gop=1"},
        {"baseline", "-profile:v baseline -x264-params aud=1"},
        {"HRD SEI", "-profile:v high -b:v 300k -maxrate 300k -bufsize 300k "
                    "-x264-params nal-hrd=vbr:pic-struct=1"},
    };
    TempDir dir;
    for (const Variant& v : variants) {
        std::string file = dir.File("s.h264");
        RunResult made   = Shell(
              "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=128x96:rate=24 "
                "-frames:v 36 -pix_fmt yuv420p -c:v libx264 -preset veryfast -g 12 -keyint_min 12 "
                "-sc_threshold 0 -bf 2 " +
              std::string(v.options) + " -f h264 " + file);
        ASSERT_EQ(made.status, 0) << v.name << ": " << made.err;
        RunResult probe = Shell("ffprobe -v error -show_packets -show_entries packet=pos -of "
                                "csv=p=0 " +
                                file);
        ASSERT_EQ(probe.status, 0) << probe.err;
        std::vector<size_t> packetPos;
        std::istringstream lines(probe.out);
        for (std::string line; std::getline(lines, line);)
            if (!line.empty())
                packetPos.push_back(std::stoul(line));
        ASSERT_EQ(packetPos.size(), 36u) << v.name;

        std::string data = testing_support::ReadFile(file);
        H264NalParser p;
        size_t packet = 0, slices = 0;
        for (auto [start, size] : SplitUnits(data)) {
            while (packet + 1 < packetPos.size() && packetPos[packet + 1] <= start)
                ++packet;
            H264BitReader r;
            const auto* unit = reinterpret_cast<const uint8_t*>(data.data()) + start;
            ASSERT_EQ(p.ParseNalUnit(r, unit, size), 0) << v.name << " at " << start;
            uint32_t type = p.m_nalHeader.nal_unit_type;
            if (type == 1 || type == 5) {
                ++slices;
                ASSERT_EQ(p.m_pictureCount, packet) << v.name << ": slice at " << start;
            }
        }
        EXPECT_GE(slices, 36u) << v.name;
        EXPECT_EQ(p.m_pictureCount, 35u) << v.name;
    }
}
