// The OFMD nesting reader and the .ofmd text reader, below the commands.
#include "tests/support/test_support.h"
#include "tools/offsets/ofmd_payload.h"
#include "tools/offsets/ofmd_text.h"

#include <cstdio>
#include <gtest/gtest.h>

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
    TextFile t("; comment\n\n  x 12: 9\n  7 :  1 ,2\r\n"
               "8: 99999999999, -99999999999; 5\n"
               "9:\n"
               "10: 1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 "
               "29 30 31 32 33 34 35 36 37 38 39 40\n"
               "99999999999: 3\n");
    COfmdReader r(t.f);
    uint32_t frame = 0;
    std::vector<int32_t> v;
    ASSERT_EQ(r.ReadOfmdLine(frame, v, true), 0);
    EXPECT_EQ(frame, 7u);
    EXPECT_EQ(v, (std::vector<int32_t>{1, 2}));
    ASSERT_EQ(r.ReadOfmdLine(frame, v, false), 0);
    EXPECT_EQ(frame, 8u);
    EXPECT_EQ(v, (std::vector<int32_t>{INT32_MAX, INT32_MIN}));
    ASSERT_EQ(r.ReadOfmdLine(frame, v, false), 0);
    EXPECT_EQ(frame, 9u);
    EXPECT_EQ(v, (std::vector<int32_t>{0, 0}));
    ASSERT_EQ(r.ReadOfmdLine(frame, v, true), 0);
    EXPECT_EQ(v.size(), 32u);
    EXPECT_EQ(v.back(), 32);
    ASSERT_EQ(r.ReadOfmdLine(frame, v, false), 0);
    EXPECT_EQ(frame, UINT32_MAX);
    // The end: values zeroed, the frame number kept, and it stays ended.
    EXPECT_EQ(r.ReadOfmdLine(frame, v, false), 1);
    EXPECT_EQ(frame, UINT32_MAX);
    EXPECT_EQ(v, std::vector<int32_t>(32, 0));
    EXPECT_EQ(r.ReadOfmdLine(frame, v, true), 1);

    COfmdReader none;
    EXPECT_EQ(none.ReadOfmdLine(frame, v, true), 1);
}

TEST(OfmdText, LongLinesAreReadInPieces)
{
    // 499 characters make one piece; what follows is read as a line of its own.
    std::string first = "1: 5";
    first += std::string(499 - first.size() - 3, ' ') + "6, ";
    ASSERT_EQ(first.size(), 499u);
    TextFile t(first + "42: 7\n");
    COfmdReader r(t.f);
    uint32_t frame = 0;
    std::vector<int32_t> v;
    ASSERT_EQ(r.ReadOfmdLine(frame, v, true), 0);
    EXPECT_EQ(frame, 1u);
    EXPECT_EQ(v, (std::vector<int32_t>{5, 6}));
    ASSERT_EQ(r.ReadOfmdLine(frame, v, false), 0);
    EXPECT_EQ(frame, 42u);
    EXPECT_EQ(v, (std::vector<int32_t>{7, 0}));
}
