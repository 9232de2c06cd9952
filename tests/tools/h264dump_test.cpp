// h264dump end to end: its command line, how it cuts a stream into units, and its values
// against two independent readers: ffmpeg's trace_headers for the header fields and the SEI
// messages ffmpeg knows, exiftool for the recording information of a camcorder file.
#include "tests/h264/syntax/crafted_units.h"
#include "tests/support/stream_support.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>

using testing_support::Run;
using testing_support::RunResult;
using testing_support::TempDir;

namespace
{

RunResult RunDump(const std::vector<std::string>& args) { return Run(H264DUMP_EXE, args); }

// An oracle program from the PATH.
RunResult RunOracle(const std::string& name, std::vector<std::string> args)
{
    args.insert(args.begin(), name);
    return Run("/usr/bin/env", args);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::stringstream in(text);
    std::string line;
    while (std::getline(in, line))
        lines.push_back(line);
    return lines;
}

struct Field {
    std::string name; // without its indices
    std::string value;
};

// One sei_message() of a unit, or (index 0) the unit's fields before any message.
struct Segment {
    std::vector<Field> fields;
    bool raw           = false; // the reader listed the payload as bytes
    bool discVideoUuid = false; // our side decoded the rest of the user data
};

struct UnitFields {
    uint32_t type = 0;
    std::vector<Segment> segments;
};

std::string Strip(const std::string& name) { return name.substr(0, name.find('[')); }

// A line of "0xHH" values.
bool IsByteListing(const std::string& line)
{
    std::stringstream in(line);
    std::string t;
    bool any = false;
    while (in >> t) {
        if (t.size() != 4 || t.compare(0, 2, "0x") != 0 || !isxdigit(t[2]) || !isxdigit(t[3]))
            return false;
        any = true;
    }
    return any;
}

bool IsNumber(const std::string& t, bool sign)
{
    size_t start = sign && !t.empty() && t[0] == '-' ? 1 : 0;
    return t.size() > start && t.find_first_not_of("0123456789", start) == std::string::npos;
}

// The text after marker up to the end of its line, or "" when marker is not there.
std::string After(const std::string& text, const std::string& marker)
{
    size_t at = text.find(marker);
    if (at == std::string::npos)
        return "";
    at += marker.size();
    return text.substr(at, text.find('\n', at) - at);
}

// h264dump's output: units begin with "NAL unit", fields are "name: value" lines, byte
// listings are lines of 0xHH values.
std::vector<UnitFields> ParseDump(const std::string& text)
{
    std::vector<UnitFields> units;
    for (const std::string& line : Lines(text)) {
        if (line.rfind("NAL unit ", 0) == 0) {
            units.emplace_back();
            units.back().segments.emplace_back();
            continue;
        }
        if (units.empty())
            continue;
        UnitFields& unit = units.back();
        if (IsByteListing(line)) {
            std::stringstream in(line);
            std::string hex;
            Segment& seg = unit.segments.back();
            seg.raw      = true;
            while (in >> hex)
                seg.fields.push_back(
                    {"payload_byte", std::to_string(std::stoul(hex, nullptr, 16))});
            continue;
        }
        size_t indent = line.find_first_not_of(' ');
        size_t colon  = line.find(':');
        if (indent == std::string::npos || colon == std::string::npos || colon < indent)
            continue;
        std::string name = Strip(line.substr(indent, colon - indent));
        std::string value;
        std::stringstream(line.substr(colon + 1)) >> value;
        if (name == "payload_type")
            unit.segments.emplace_back();
        if (name == "nal_unit_type")
            unit.type = uint32_t(std::stoul(value));
        if (name == "type_indicator")
            unit.segments.back().discVideoUuid = true;
        unit.segments.back().fields.push_back({name, value});
    }
    return units;
}

// ffmpeg's trace: after the extradata, one field per line as "position name bits = value";
// every unit begins with forbidden_zero_bit. The coded SEI type and size and the UUID bytes
// are put together into the values h264dump prints.
std::vector<UnitFields> ParseTrace(const std::string& text, std::string& failures)
{
    std::vector<UnitFields> units;
    bool inPackets = false;
    uint64_t ffRun = 0;
    std::string uuid;
    for (std::string line : Lines(text)) {
        if (line.find("Packet: ") != std::string::npos)
            inPackets = true;
        if (line.find("Failed to read unit") != std::string::npos)
            failures += line + "\n";
        if (!line.empty() && line[0] == '[')
            line = line.substr(line.find("] ") == std::string::npos ? 0 : line.find("] ") + 2);
        std::stringstream in(line);
        std::string position, name, bits, equals, value, extra;
        if (!inPackets || !(in >> position >> name >> bits >> equals >> value) || in >> extra ||
            !IsNumber(position, false) || bits.find_first_not_of("01") != std::string::npos ||
            equals != "=" || !IsNumber(value, true))
            continue;
        name = Strip(name);
        if (name == "forbidden_zero_bit") {
            units.emplace_back();
            units.back().segments.emplace_back();
        }
        if (units.empty())
            continue;
        UnitFields& unit = units.back();
        if (name == "nal_unit_type")
            unit.type = uint32_t(std::stoul(value));
        if (name == "ff_byte") {
            ffRun += 255;
            continue;
        }
        if (name == "last_payload_type_byte" || name == "last_payload_size_byte") {
            bool type = name == "last_payload_type_byte";
            if (type)
                unit.segments.emplace_back();
            unit.segments.back().fields.push_back({type ? "payload_type" : "payload_size",
                                                   std::to_string(ffRun + std::stoul(value))});
            ffRun = 0;
            continue;
        }
        if (name == "uuid_iso_iec_11578") {
            char hex[3];
            snprintf(hex, sizeof hex, "%02x", unsigned(std::stoul(value)));
            uuid += hex;
            if (uuid.size() == 32) {
                unit.segments.back().fields.push_back({name, uuid});
                uuid.clear();
            }
            continue;
        }
        if (name == "user_data_payload_byte" || name == "payload_byte") {
            unit.segments.back().raw = name == "payload_byte";
            name                     = "payload_byte";
        }
        unit.segments.back().fields.push_back({name, value});
    }
    return units;
}

// Our labels that differ from the standard's element names, which ffmpeg uses.
const std::map<std::string, std::string> kOurLabels = {
    {"profile", "profile_idc"},
    {"delta", "delta_scale"},
    {"gaps_in_frame_num_value_allowed_flag", "gaps_in_frame_num_allowed_flag"},
    {"video_signal_info_present_flag", "video_signal_type_present_flag"},
    {"fixed_frame_scale", "fixed_frame_rate_flag"},
    {"num_reorder_frames", "max_num_reorder_frames"},
    {"pict_struct", "pic_struct"},
    {"nuit_field_base_flag", "nuit_field_based_flag"},
    {"pan_scan_cnd_minus1", "pan_scan_cnt_minus1"},
    {"edundant_pic_cnt", "redundant_pic_cnt"},
};

// Values h264dump derives, which no stream holds.
const std::set<std::string> kDerived = {"(derived height", "scaling list", "string"};

// Printed as 0 when a PPS has no extension; ffmpeg shows nothing then.
const std::set<std::string> kPpsExtension = {
    "transform_8x8_mode_flag", "pic_scaling_matrix_present_flag", "second_chroma_qp_index_offset"};

// Every value h264dump prints for a unit ffmpeg decodes must be the value ffmpeg read for the
// same element (the n-th of that name in the same SEI message). Returns the problems; counts
// the values compared.
std::string Compare(const std::vector<UnitFields>& ours, const std::vector<UnitFields>& theirs,
                    size_t& compared)
{
    std::stringstream problems;
    size_t t = 0;
    for (size_t u = 0; u < ours.size(); ++u) {
        const UnitFields& our = ours[u];
        // ffmpeg leaves prefix, subset SPS and MVC slice units out of its trace.
        if (t >= theirs.size() || theirs[t].type != our.type) {
            if (our.type == 14 || our.type == 15 || our.type == 20)
                continue;
            problems << "unit " << u << " (type " << our.type << ") has no counterpart\n";
            break;
        }
        const UnitFields& their = theirs[t++];
        if (our.segments.size() != their.segments.size()) {
            problems << "unit " << u << ": " << our.segments.size() - 1 << " SEI messages, ffmpeg "
                     << their.segments.size() - 1 << "\n";
            continue;
        }
        for (size_t s = 0; s < our.segments.size(); ++s) {
            const Segment& a = our.segments[s];
            const Segment& b = their.segments[s];
            std::map<std::string, size_t> seen;
            bool afterUuid = false;
            for (const Field& f : a.fields) {
                if (afterUuid || kDerived.count(f.name))
                    continue;
                // A payload ffmpeg lists as bytes: only its type, size and bytes compare.
                if (b.raw && !a.raw && f.name != "payload_type" && f.name != "payload_size")
                    continue;
                auto label         = kOurLabels.find(f.name);
                std::string name   = label == kOurLabels.end() ? f.name : label->second;
                size_t nth         = seen[name]++;
                const Field* match = nullptr;
                for (const Field& g : b.fields)
                    if (g.name == name && nth-- == 0) {
                        match = &g;
                        break;
                    }
                if (a.discVideoUuid && f.name == "uuid_iso_iec_11578")
                    afterUuid = true; // GSMP, OFMD and MDPM are ours alone
                if (!match) {
                    if (kPpsExtension.count(name) && f.value == "0" && our.type == 8)
                        continue;
                    problems << "unit " << u << " message " << s << ": " << f.name << " = "
                             << f.value << " not in ffmpeg's trace\n";
                    continue;
                }
                ++compared;
                if (match->value != f.value)
                    problems << "unit " << u << " message " << s << ": " << f.name << " = "
                             << f.value << ", ffmpeg " << match->value << "\n";
            }
        }
    }
    if (t != theirs.size())
        problems << theirs.size() - t << " units of ffmpeg's trace left over\n";
    return problems.str();
}

// Runs both readers over one stream and compares; returns the number of values compared.
size_t ExpectAgreesWithFfmpeg(const std::string& stream)
{
    RunResult dump = RunDump({stream});
    EXPECT_EQ(dump.status, 0) << stream << "\n" << dump.err;
    RunResult trace = RunOracle("ffmpeg", {"-hide_banner", "-f", "h264", "-i", stream, "-c:v",
                                           "copy", "-bsf:v", "trace_headers", "-f", "null", "-"});
    EXPECT_EQ(trace.status, 0) << stream << "\n" << trace.err;
    std::string failures;
    std::vector<UnitFields> theirs = ParseTrace(trace.err, failures);
    EXPECT_EQ(failures, "") << stream;
    std::vector<UnitFields> ours = ParseDump(dump.out);
    size_t compared              = 0;
    EXPECT_EQ(Compare(ours, theirs, compared), "") << stream;
    EXPECT_GT(ours.size(), 0u) << stream;
    return compared;
}

std::string WriteStream(const TempDir& dir, const std::string& name,
                        const std::vector<uint8_t>& bytes)
{
    std::string path = dir.File(name);
    testing_support::WriteFile(path, bytes);
    return path;
}

} // namespace

TEST(H264Dump, CommandLineAndUnreadableInput)
{
    for (const auto& args : {std::vector<std::string>{}, {"a", "b"}}) {
        RunResult usage = RunDump(args);
        EXPECT_EQ(usage.status, 1);
        EXPECT_EQ(usage.out, "");
        EXPECT_EQ(usage.err, "usage: h264dump in.h264\n");
    }
    TempDir dir;
    RunResult missing = RunDump({dir.File("none.h264")});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "h264dump: cannot open " + dir.File("none.h264") + "\n");
    // A directory opens but cannot be read.
    RunResult directory = RunDump({dir.Path()});
    EXPECT_EQ(directory.status, 1);
    EXPECT_EQ(directory.err, "h264dump: cannot read " + dir.Path() + "\n");
    // No start code at all: nothing to print, and no failure.
    RunResult nothing = RunDump({WriteStream(dir, "empty.h264", {})});
    EXPECT_EQ(nothing.status, 0);
    EXPECT_EQ(nothing.out, "");
}

TEST(H264Dump, UnitsFromStartCodeToStartCodeFailuresReported)
{
    // Junk before the first start code is dropped; a zero before 00 00 01 makes a 4-byte
    // start code of the unit that follows; further zeros stay with the unit before. An SPS
    // cut after its level, a filler unit (no parser: its bytes), then an SEI whose second
    // message runs past the unit: the first message is still shown.
    TempDir dir;
    std::vector<uint8_t> sei   = Concat({crafted::RecoveryPoint(), {5, 40}});
    std::vector<uint8_t> bytes = Concat({Hex("77 00 00 01 09 10 00 00 00 00 01 0B 00"),
                                         Hex("00 00 00 01 67 64 00 28 00 00 01 0C FF FF 80"),
                                         Unit(6, 0, [&](Rbsp& r) { r.bytes(sei); })});
    RunResult r                = RunDump({WriteStream(dir, "units.h264", bytes)});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "NAL unit 0 at offset 1 (6 bytes)\n"
                     "  nal_unit_type:  9 \"Access unit delimiter\"\n"
                     "    nal_ref_idc: 0\n"
                     "    primary_pic_type: 0\n"
                     "NAL unit 1 at offset 7 (6 bytes)\n"
                     "  nal_unit_type: 11 \"End of stream\"\n"
                     "    nal_ref_idc: 0\n"
                     "NAL unit 2 at offset 13 (8 bytes)\n"
                     "  nal_unit_type:  7 \"Sequence parameter set\"\n"
                     "    nal_ref_idc: 3\n"
                     "\n"
                     "ERROR reading bitstream: read past NAL end\n"
                     "\n"
                     "NAL unit 3 at offset 21 (7 bytes)\n"
                     "  nal_unit_type: 12 \"Filler data\"\n"
                     "    nal_ref_idc: 0\n"
                     "    FF FF 80\n"
                     "NAL unit 4 at offset 28 (12 bytes)\n"
                     "  nal_unit_type:  6 \"SEI\"\n"
                     "    nal_ref_idc: 0\n"
                     "    payload_type: 6 \"recovery_point\"\n"
                     "    payload_size: 2\n"
                     "      recovery_frame_cnt: 4\n"
                     "      exact_match_flag: 1\n"
                     "      broken_link_flag: 0\n"
                     "      changing_slice_group_idc: 0\n"
                     "\n"
                     "ERROR reading bitstream: read past NAL end\n"
                     "\n");
}

TEST(H264Dump, UnitsPastTheToolsLimitEndTheDump)
{
    const std::string message =
        "ERROR: Cannot find start code in buffer from 0 current file position ";
    // Each run reads 512 MiB: under the sanitizers and a loaded machine that takes a while.
#ifdef __SANITIZE_ADDRESS__
    const int seconds = 120;
#else
    const int seconds = 30;
#endif
    // The bytes before the first start code count too: an endless input ends.
    RunResult zeros = testing_support::Run(H264DUMP_EXE, {"/dev/zero"}, "", "", seconds);
    EXPECT_EQ(zeros.status, 255);
    EXPECT_EQ(zeros.out, "");
    EXPECT_EQ(zeros.err, message + "0x00000000).\n");
    // A unit that never ends, after one that does: that one is printed, and its offset is the
    // one named. The endless unit is held once, up to the limit.
    RunResult endless =
        testing_support::Run("/bin/sh",
                             {"-c", "{ printf 'X\\000\\000\\001\\011\\020\\000\\000\\001\\014'; "
                                    "cat /dev/zero 2>/dev/null; } | " H264DUMP_EXE " /dev/stdin"},
                             "", "", seconds);
    EXPECT_EQ(endless.status, 255);
    EXPECT_EQ(endless.out, "NAL unit 0 at offset 1 (5 bytes)\n"
                           "  nal_unit_type:  9 \"Access unit delimiter\"\n"
                           "    nal_ref_idc: 0\n"
                           "    primary_pic_type: 0\n");
    EXPECT_EQ(endless.err, message + "0x00000001).\n");
#ifndef __SANITIZE_ADDRESS__
    EXPECT_LT(endless.peakKiB, 768L * 1024);
#endif
}

TEST(H264Dump, AgreesWithFfmpegOnEveryFixtureAndTheCraftedStreams)
{
    if (!testing_support::HaveProgram("ffmpeg")) {
        ASSERT_FALSE(testing_support::OraclesRequired()) << "ffmpeg is not installed";
        GTEST_SKIP() << "ffmpeg is not installed: the values are not compared";
    }
    std::vector<std::string> streams;
    for (const char* name : {"base", "baseline", "cavlc", "cqm_jvt", "high10", "hrd", "mbaff",
                             "noaud", "slices4", "yuv444"})
        streams.push_back(testing_support::H264Fixture(name));
    TempDir dir;
    streams.push_back(WriteStream(dir, "crafted.h264", crafted::HeadersStream()));
    // Separate colour planes with a PPS matrix: still the 12 lists of 4:4:4.
    testing_support::Generate("g.write('planes.h264', g.planes444_stream())", dir.Path());
    streams.push_back(dir.File("planes.h264"));
    for (const std::string& stream : streams) {
        EXPECT_GT(ExpectAgreesWithFfmpeg(stream), 500u) << stream;
    }
}

TEST(H264Dump, MdpmAgreesWithExiftool)
{
    std::string corpus = testing_support::CorpusDir();
    if (corpus.empty())
        GTEST_SKIP() << "the shared corpus is not there";
    std::string mts = corpus + "/h264/exiftool-M2TS.mts";
    if (!testing_support::HaveProgram("ffmpeg") || !testing_support::HaveProgram("exiftool")) {
        ASSERT_FALSE(testing_support::OraclesRequired()) << "ffmpeg or exiftool is not installed";
        GTEST_SKIP() << "ffmpeg or exiftool is not installed: the MDPM values are not compared";
    }
    TempDir dir;
    std::string es  = dir.File("video.h264");
    RunResult demux = RunOracle("ffmpeg", {"-hide_banner", "-loglevel", "error", "-i", mts, "-map",
                                           "0:v:0", "-c", "copy", "-f", "h264", es});
    ASSERT_EQ(demux.status, 0) << demux.err;
    RunResult dump = RunDump({es});
    ASSERT_EQ(dump.status, 0);

    RunResult tags =
        RunOracle("exiftool", {"-ee", "-s", "-DateTimeOriginal", "-ApertureSetting", "-Gain",
                               "-Make", "-ExposureTime", "-ImageStabilization", mts});
    ASSERT_EQ(tags.status, 0);
    std::map<std::string, std::string> theirs;
    for (const std::string& line : Lines(tags.out)) {
        size_t colon = line.find(" : ");
        if (colon != std::string::npos)
            theirs[line.substr(0, line.find(' '))] = line.substr(colon + 3);
    }

    // "timezone +01:00, 2008-12-" and "  31 23:16:24": exiftool's "2008:12:31 23:16:24+01:00".
    std::string out      = dump.out;
    std::string yearZone = After(out, "(YearMonthOriginal): timezone ");
    std::string dayTime  = After(out, "(DayTimeOriginal):   ");
    ASSERT_EQ(yearZone.size(), 16u) << out;
    ASSERT_EQ(dayTime.size(), 11u) << out;
    EXPECT_EQ(yearZone.substr(8, 4) + ":" + yearZone.substr(13, 2) + ":" + dayTime.substr(0, 2) +
                  " " + dayTime.substr(3) + yearZone.substr(0, 6),
              theirs["DateTimeOriginal"]);
    // "ApertureSetting = 2.4 (0xCA), Gain = 9 dB, ..."
    std::string camera   = After(out, "(Camera1): ApertureSetting = ");
    std::string aperture = camera.substr(0, camera.find(' '));
    std::string gain     = After(camera, ", Gain = ");
    gain                 = gain.substr(0, gain.find(','));
    EXPECT_EQ(aperture, theirs["ApertureSetting"]);
    EXPECT_EQ(aperture, "2.4");
    EXPECT_EQ(gain, theirs["Gain"]);
    EXPECT_EQ(gain, "9 dB");
    // "ExposureTime = 0.04 (0x8465)": exiftool's "1/25" (not 0x6584, 0.924 s).
    std::string exposure = After(out, "(Shutter): ExposureTime = ");
    std::string fraction = theirs["ExposureTime"];
    ASSERT_EQ(fraction.substr(0, 2), "1/") << fraction;
    EXPECT_NEAR(std::stod(exposure), 1.0 / std::stod(fraction.substr(2)), 1e-6) << exposure;
    EXPECT_EQ(exposure, "0.04 (0x8465)");
    // "ImageStabilization = N/A": exiftool's "n/a".
    std::string stabilisation = After(out, "(Camera2): ImageStabilization = ");
    for (char& c : stabilisation)
        c = char(tolower(c));
    EXPECT_EQ(stabilisation, theirs["ImageStabilization"]);
    std::string maker = After(out, "(MakeModel): ");
    EXPECT_EQ(maker.substr(0, maker.find(' ')), theirs["Make"]);
    EXPECT_EQ(maker, "Canon 0x3000");
}
