// The OFMD payload with its nesting, and the .ofmd text file, below the commands.
#include "tests/support/test_support.h"
#include "tools/offsets/ofmd_payload.h"
#include "tools/offsets/ofmd_text.h"

#include <cstdio>
#include <functional>
#include <gtest/gtest.h>

using namespace testing_support;

namespace
{

std::vector<uint8_t> Written(const H264BitWriter& w)
{
    return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
}

// The nesting body of the worked example: frame_rate 3, PTS 900000, sequences (3, 4, 0) and
// (-2, -1, 127).
const char* const kExampleBody =
    "40 05 24 17 EE 8C 60 F8 4D 11 D9 8C D6 08 00 20 0C 9A 66 4F 46 4D 44 83 00 80 1B BB A0 "
    "82 03 80 00 03 04 80 82 81 7F";

std::vector<uint8_t> ExampleBody()
{
    H264BitWriter payload;
    WriteOffsetMetadata(payload, 3, 900000, 2, 3, {3, 4, 0, -2, -1, 127});
    H264BitWriter body;
    std::vector<uint8_t> p = Written(payload);
    WriteNestedSeiMessage(body, p.data(), p.size());
    return Written(body);
}

// Text through a temporary file, as the tools read it.
struct TextFile {
    explicit TextFile(const std::string& text)
    {
        f = tmpfile();
        fwrite(text.data(), 1, text.size(), f);
        rewind(f);
    }
    ~TextFile() { fclose(f); }
    FILE* f;
};

std::string WrittenText(const std::function<void(FILE*)>& write)
{
    FILE* f = tmpfile();
    write(f);
    std::string s(size_t(ftell(f)), '\0');
    rewind(f);
    EXPECT_EQ(fread(&s[0], 1, s.size(), f), s.size());
    fclose(f);
    return s;
}

} // namespace

TEST(OfmdPayload, WorkedExampleBothWays)
{
    std::vector<uint8_t> body = ExampleBody();
    EXPECT_EQ(body, Hex(kExampleBody));

    OffsetMetadata m;
    ASSERT_TRUE(ReadNestedOffsetMetadata(body.data(), body.size(), m));
    EXPECT_EQ(m.frameRate, 3u);
    EXPECT_EQ(m.pts, 900000u);
    EXPECT_EQ(m.sequences, 2u);
    EXPECT_EQ(m.frames, 3u);
    EXPECT_EQ(m.offsets, (std::vector<int32_t>{3, 4, 0, -2, -1, 127}));
}

TEST(OfmdPayload, FieldCoding)
{
    // 33-bit PTS, the direction bit of 0, -5 and 5, and values beyond 7 bits clamped.
    H264BitWriter w;
    WriteOffsetMetadata(w, 15, (uint64_t(1) << 32) + 5, 1, 6, {0, -5, 5, 200, -128, 128});
    std::vector<uint8_t> bytes = Written(w);
    ASSERT_EQ(bytes.size(), 36u);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 30, bytes.end()), Hex("80 85 05 7F FF 7F"));
    H264BitReader r;
    r.InitView(bytes.data(), bytes.size());
    uint32_t rate, seqs, frames;
    uint64_t pts;
    std::vector<int32_t> offsets;
    ASSERT_EQ(ReadOffsetMetadata(r, rate, pts, seqs, frames, offsets), 0);
    EXPECT_EQ(rate, 15u);
    EXPECT_EQ(pts, (uint64_t(1) << 32) + 5);
    EXPECT_EQ(offsets, (std::vector<int32_t>{0, -5, 5, 127, -127, 127}));

    // Another UUID, or another type indicator: not OFMD.
    for (size_t at : {size_t(0), size_t(15), size_t(16), size_t(19)}) {
        std::vector<uint8_t> other = bytes;
        other[at] ^= 1;
        r.InitView(other.data(), other.size());
        EXPECT_EQ(ReadOffsetMetadata(r, rate, pts, seqs, frames, offsets), 1) << at;
    }
}

TEST(OfmdPayload, SeiMessageSizes)
{
    std::vector<uint8_t> payload(300, 0xAB);
    H264BitWriter w;
    WriteSeiMessage(w, 5, payload.data(), 300);
    std::vector<uint8_t> bytes = Written(w);
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 3), Hex("05 FF 2D"));
    EXPECT_EQ(bytes.size(), 303u);

    H264BitWriter w255;
    WriteSeiMessage(w255, 5, payload.data(), 255);
    EXPECT_EQ(Written(w255)[1], 0xFF);
    EXPECT_EQ(Written(w255)[2], 0x00);

    // Not byte aligned afterwards: a stop bit and zero bits.
    H264BitWriter odd;
    odd.WriteBits(3, 0);
    WriteSeiMessage(odd, 5, payload.data(), 1);
    EXPECT_EQ(Written(odd), Hex("00 A0 35 70"));
}

TEST(OfmdPayload, NestingHeaders)
{
    std::vector<uint8_t> inner = Hex(kExampleBody);
    inner.erase(inner.begin()); // the nested message alone: 05 24 ...
    struct Case {
        const char* header;
        bool carries;
    } cases[] = {
        {"40", true},          // all view components
        {"20 40", true},       // two views listed: ue(1), view ids 0 and 1, pad
        {"A0 00 40 08", true}, // operation point: ue(1), view ids 0 and 1, temporal id 0
        {"C0", false},         // operation point, then the body ends in the header
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> body = Hex(c.header);
        if (c.carries)
            body.insert(body.end(), inner.begin(), inner.end());
        OffsetMetadata m;
        EXPECT_EQ(ReadNestedOffsetMetadata(body.data(), body.size(), m), c.carries) << c.header;
        if (c.carries) {
            EXPECT_EQ(m.offsets.size(), 6u);
        }
    }
}

TEST(OfmdPayload, ShortBodiesAreNotOfmd)
{
    std::vector<uint8_t> full = ExampleBody();
    OffsetMetadata m;
    // Ends after the nested payload type; UUID and "OFMD" only; an empty body; another nested
    // type.
    std::vector<uint8_t> two = Hex("40 05");
    EXPECT_FALSE(ReadNestedOffsetMetadata(two.data(), two.size(), m));
    std::vector<uint8_t> tag(full.begin(), full.begin() + 3 + 20);
    tag[2] = 20;
    EXPECT_FALSE(ReadNestedOffsetMetadata(tag.data(), tag.size(), m));
    EXPECT_FALSE(ReadNestedOffsetMetadata(full.data(), 0, m));
    std::vector<uint8_t> other = full;
    other[1]                   = 4;
    EXPECT_FALSE(ReadNestedOffsetMetadata(other.data(), other.size(), m));
    // Size 0.
    std::vector<uint8_t> empty = Hex("40 05 00");
    EXPECT_FALSE(ReadNestedOffsetMetadata(empty.data(), empty.size(), m));
}

TEST(OfmdPayload, CutPayloadReadsZeros)
{
    // The declared size stays 36; the last four offset bytes are missing.
    std::vector<uint8_t> body = ExampleBody();
    body.resize(body.size() - 4);
    OffsetMetadata m;
    ASSERT_TRUE(ReadNestedOffsetMetadata(body.data(), body.size(), m));
    EXPECT_EQ(m.offsets, (std::vector<int32_t>{3, 4, 0, 0, 0, 0}));

    // A huge declared size with a few bytes present allocates nothing of that size.
    std::vector<uint8_t> huge = Hex("40 05");
    huge.insert(huge.end(), 4000, 0xFF);
    huge.push_back(0);
    std::vector<uint8_t> start = ExampleBody();
    huge.insert(huge.end(), start.begin() + 3, start.end());
    ASSERT_TRUE(ReadNestedOffsetMetadata(huge.data(), huge.size(), m));
    EXPECT_EQ(m.offsets, (std::vector<int32_t>{3, 4, 0, -2, -1, 127}));
}

TEST(OfmdText, BlockLayout)
{
    std::string s = WrittenText([](FILE* f) {
        EXPECT_EQ(WriteOfmdGop(f, 24, 900000, 2, 2, {3, 4, -2, -1}), 0);
    });
    EXPECT_EQ(s, ";PTS: 900000\n;frames in GOP: 2\n    24:    3,   -2\n    25:    4,   -1\n");
    // No sequences: the frame lines hold their numbers only.
    EXPECT_EQ(WrittenText([](FILE* f) { WriteOfmdGop(f, 0, 8589934591ull, 0, 1, {}); }),
              ";PTS: 8589934591\n;frames in GOP: 1\n     0: \n");
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

TEST(OfmdText, GopOffsets)
{
    TextFile t("20: 1, 2\n24: 3, -2\n25: 4, -1\n27: 9, 9\n31: 300, -400\n40: 1, 1\n");
    COfmdReader r(t.f);
    ASSERT_EQ(r.ReadOfmdLine(r.m_frame, r.m_values, true), 0);
    uint32_t seqs, frames;
    std::vector<int32_t> m;
    // Frame 20 is passed over; 26 has no line.
    r.ReadGopOffsets(24, 4, seqs, frames, m);
    EXPECT_EQ(seqs, 2u);
    EXPECT_EQ(frames, 4u);
    EXPECT_EQ(m, (std::vector<int32_t>{3, 4, 0, 9, -2, -1, 0, 9}));
    EXPECT_FALSE(r.m_clampPending);
    r.ReadGopOffsets(30, 3, seqs, frames, m);
    EXPECT_EQ(m, (std::vector<int32_t>{0, 127, 0, 0, -127, 0}));
    ASSERT_TRUE(r.m_clampPending);
    EXPECT_EQ(r.m_clampValue, 300);
    EXPECT_EQ(r.m_clampFrame, 31u);
    EXPECT_EQ(r.m_clampWritten, 127);
    // The file ends before the GOP does: zeros, and no endless reading.
    r.ReadGopOffsets(40, 3, seqs, frames, m);
    EXPECT_EQ(m, (std::vector<int32_t>{1, 0, 0, 1, 0, 0}));
    r.ReadGopOffsets(100, 2, seqs, frames, m);
    EXPECT_EQ(m, (std::vector<int32_t>{0, 0, 0, 0}));
}

TEST(OfmdText, EmptyFileHasNoSequences)
{
    TextFile t("; nothing\n");
    COfmdReader r(t.f);
    EXPECT_EQ(r.ReadOfmdLine(r.m_frame, r.m_values, true), 1);
    uint32_t seqs = 9, frames;
    std::vector<int32_t> m;
    r.ReadGopOffsets(0, 5, seqs, frames, m);
    EXPECT_EQ(seqs, 0u);
    EXPECT_EQ(frames, 5u);
    EXPECT_TRUE(m.empty());
}
