// The OFMD nesting reader and the .ofmd text reader, below the commands.
#include "tests/support/test_support.h"
#include "tools/offsets/ofmd_payload.h"
#include "tools/offsets/ofmd_text.h"

#include <algorithm>
#include <cstdio>
#include <gtest/gtest.h>
#include <numeric>

using namespace testing_support;

namespace
{

// The OFMD payload of the worked example: frame_rate 3, PTS 900000, sequences (3, 4, 0) and
// (-2, -1, 127).
const char* const kExample = "17 EE 8C 60 F8 4D 11 D9 8C D6 08 00 20 0C 9A 66 4F 46 4D 44 83 00 80 "
                             "1B BB A0 82 03 80 00 03 04 80 82 81 7F";

// Text through a temporary file, as the tools read it.
struct TextFile {
    explicit TextFile(const std::string& text) : f(tmpfile())
    {
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
    }
    ~TextFile() { fclose(f); }
    FILE* f;
};

} // namespace

TEST(OfmdPayload, WrittenAndReadByOneLayout)
{
    auto bytes = [](const H264BitWriter& w) {
        return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
    };
    H264BitWriter w;
    WriteOffsetMetadata(w, 3, 900000, 2, 3, {3, 4, 0, -2, -1, 127});
    EXPECT_EQ(bytes(w), Hex(kExample));
    for (const char* foreign : {"17 EE 8C 60 F8 4D 11 D9 8C D6 08 00 20 0C 9A 67 4F 46 4D 44",
                                "17 EE 8C 60 F8 4D 11 D9 8C D6 08 00 20 0C 9A 66 47 41 39 34"}) {
        std::vector<uint8_t> payload = Hex(foreign + std::string(kExample).substr(59));
        H264BitReader r;
        r.InitView(payload.data(), payload.size());
        OfmdPayload m;
        EXPECT_EQ(ReadOffsetMetadata(r, m), 1) << foreign;
    }

    // Past what the counts declare the writer keeps 63 sequences of 255 frames, clamped, but
    // takes them from the matrix it was given, 256 frames to a sequence.
    std::vector<int32_t> given(64 * 256);
    for (size_t i = 0; i < given.size(); ++i)
        given[i] = int32_t(i % 301) - 150;
    const uint64_t pts = (uint64_t(1) << 33) - 1;
    H264BitWriter big;
    WriteOffsetMetadata(big, 15, pts, 64, 256, given);
    EXPECT_EQ(big.Size(), kOfmdMaxPayloadSize);
    std::vector<uint8_t> payload = bytes(big);
    H264BitReader r;
    r.InitView(payload.data(), payload.size());
    OfmdPayload m;
    ASSERT_EQ(ReadOffsetMetadata(r, m), 0);
    EXPECT_EQ(m.frame_rate, 15u);
    EXPECT_EQ(m.pts, pts);
    EXPECT_EQ(m.number_of_offset_sequences, 63u);
    EXPECT_EQ(m.number_of_displayed_frames_in_GOP, 255u);
    std::vector<int32_t> expected;
    for (size_t s = 0; s < 63; ++s)
        for (size_t f = 0; f < 255; ++f)
            expected.push_back(std::clamp(given[f + s * 256], -127, 127));
    EXPECT_EQ(m.plane_offset, expected);
}

TEST(OfmdPayload, NestingBodies)
{
    const std::vector<int32_t> example = {3, 4, 0, -2, -1, 127};
    std::string huge                   = "40 05";
    for (int i = 0; i < 4000; ++i)
        huge += " FF";
    struct Case {
        std::string head;             // the body up to the nested payload
        bool payload;                 // the example payload follows
        size_t cut;                   // bytes cut from the end
        std::vector<int32_t> offsets; // empty: not OFMD
    } cases[] = {
        {"40 05 24", true, 0, example},
        // Two views listed; an operation point with two views and a temporal id.
        {"20 40 05 24", true, 0, example},
        {"A0 00 40 08 05 24", true, 0, example},
        // The declared size stays: the cut bytes read as zeros.
        {"40 05 24", true, 4, {3, 4, 0, 0, 0, 0}},
        // A size of about a megabyte with a few bytes present: nothing of that size is made.
        {huge + " 00", true, 0, example},
        {"", false, 0, {}},
        {"C0", false, 0, {}},       // an operation point, then the body ends in the header
        {"40 05", false, 0, {}},    // ends after the nested payload type
        {"40 05 FF", false, 0, {}}, // or inside the nested payload size
        {"40 05 00", false, 0, {}},
        {"40 04 24", true, 0, {}}, // another nested type
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> body = Hex(c.head + " " + (c.payload ? kExample : ""));
        body.resize(body.size() - c.cut);
        OfmdPayload m;
        EXPECT_EQ(ReadNestedOffsetMetadata(body.data(), body.size(), m), !c.offsets.empty())
            << c.head.substr(0, 20) << " cut " << c.cut;
        if (!c.offsets.empty()) {
            EXPECT_EQ(m.plane_offset, c.offsets) << c.head.substr(0, 20) << " cut " << c.cut;
        }
    }
}

TEST(OfmdText, LineReading)
{
    // 499 characters make one piece; what follows is read as a line of its own.
    TextFile t("1: 5" + std::string(492, ' ') +
               "6, 42: 7\n; comment\n\n  x 12: 9\n  7 :  1 ,2\r\n"
               "8: 99999999999, -99999999999; 5\n9:\n10: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 "
               "17 18 19 20 21 22 23 24 25 26 27 28 29 30 31 32 33 34 35 36 37 38 39 40\n"
               "99999999999: 3\n");
    std::vector<int32_t> upTo32(32), three(32, 0), zeros(32, 0);
    std::iota(upTo32.begin(), upTo32.end(), 1);
    three[0] = 3;
    struct Read {
        bool freeMode;
        int result;
        uint32_t frame;
        std::vector<int32_t> values;
    } reads[] = {
        {true, 0, 1, {5, 6}},
        {false, 0, 42, {7, 0}},
        {false, 0, 7, {1, 2}},
        {false, 0, 8, {INT32_MAX, INT32_MIN}},
        {false, 0, 9, {0, 0}},
        {true, 0, 10, upTo32},
        {false, 0, UINT32_MAX, three},
        // The end: values zeroed, the frame number kept, and it stays ended.
        {false, 1, UINT32_MAX, zeros},
        {true, 1, UINT32_MAX, zeros},
    };
    COfmdReader r(t.f);
    uint32_t frame = 0;
    std::vector<int32_t> v;
    for (const Read& e : reads) {
        EXPECT_EQ(r.ReadOfmdLine(frame, v, e.freeMode), e.result) << e.frame;
        EXPECT_EQ(frame, e.frame);
        EXPECT_EQ(v, e.values) << e.frame;
    }
    EXPECT_EQ(COfmdReader().ReadOfmdLine(frame, v, true), 1);
}
