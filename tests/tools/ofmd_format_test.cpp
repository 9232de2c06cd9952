// The OFMD nesting reader and the .ofmd text reader, below the commands.
#include "tests/support/test_support.h"
#include "tools/offsets/ofmd_payload.h"
#include "tools/offsets/ofmd_text.h"

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
        {"C0", false, 0, {}},    // an operation point, then the body ends in the header
        {"40 05", false, 0, {}}, // ends after the nested payload type
        {"40 05 00", false, 0, {}},
        {"40 04 24", true, 0, {}}, // another nested type
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> body = Hex(c.head + " " + (c.payload ? kExample : ""));
        body.resize(body.size() - c.cut);
        OffsetMetadata m;
        EXPECT_EQ(ReadNestedOffsetMetadata(body.data(), body.size(), m), !c.offsets.empty())
            << c.head.substr(0, 20) << " cut " << c.cut;
        if (!c.offsets.empty()) {
            EXPECT_EQ(m.offsets, c.offsets) << c.head.substr(0, 20) << " cut " << c.cut;
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
