// Bit reader and writer: Exp-Golomb limits, reads past the end, emulation prevention both ways,
// whole-byte access, the more-data test.
#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"
#include "tests/support/test_support.h"

#include <functional>
#include <gtest/gtest.h>

using testing_support::Hex;

namespace
{

H264BitReader Over(const std::vector<uint8_t>& bytes, bool unescape = false)
{
    H264BitReader r;
    r.Init(bytes.data(), bytes.size() * 8);
    if (unescape)
        RemoveEmulationPrevention(r);
    return r;
}

std::vector<uint8_t> Written(const H264BitWriter& w) { return {w.Data(), w.Data() + w.Size()}; }

int ErrorOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (BitstreamErr_t e) {
        return e;
    }
    return 0;
}

} // namespace

TEST(H264BitReader, WidthsCodesAndTheirLimits)
{
    auto bytes      = Hex("A5 0F 80 00 FF");
    H264BitReader r = Over(bytes);
    EXPECT_EQ(r.ReadBits(0), 0u);
    EXPECT_EQ(ErrorOf([&] { r.ReadBits(33); }), 2);
    EXPECT_EQ(r.ReadBits(4), 0xAu);
    EXPECT_EQ(r.PeekBits(12), 0x50Fu);
    EXPECT_EQ(r.ReadBits(12), 0x50Fu);
    EXPECT_EQ(r.ReadBits(24), 0x8000FFu);
    EXPECT_EQ(ErrorOf([&] { r.ReadBits(1); }), 3);

    // 1 | 010 | 011 | 00111 | 010 (se +1) | 011 (se -1) | 00101 (se -2)
    auto codes       = Hex("A6 74 CA");
    H264BitReader rc = Over(codes);
    for (uint32_t v : {0u, 1u, 2u, 6u})
        EXPECT_EQ(rc.ReadUE(), v);
    for (int32_t v : {1, -1, -2})
        EXPECT_EQ(rc.ReadSE(), v);
    // 31 leading zeros is the longest code; 32 throws 2; a tail of zeros throws 3.
    EXPECT_EQ(Over(Hex("00 00 00 01 FF FF FF FF")).ReadUE(), 0xFFFFFFFEu);
    EXPECT_EQ(ErrorOf([] { Over(Hex("00 00 00 00 80 00 00 00 00")).ReadUE(); }), 2);
    EXPECT_EQ(ErrorOf([] { Over(Hex("00 00")).ReadUE(); }), 3);
}

TEST(H264BitWriter, CodesReadBackAtEveryBitOffset)
{
    H264BitWriter w;
    w.WriteUE(0);
    w.WriteUE(6);
    w.WriteSE(-2);
    w.WriteSE(3);
    w.WriteTrailingBits();
    // 1 00111 00101 00110 1 + 000
    EXPECT_EQ(Written(w), Hex("9C A6 80"));
    EXPECT_EQ(ErrorOf([&] { w.WriteBits(33, 0); }), 2);

    // Short codes inside one byte and long ones across bytes, the limits included.
    H264BitWriter all;
    for (uint32_t v = 0; v < 300; ++v) {
        all.WriteUE(v);
        all.WriteSE(int32_t(v) - 150);
        all.WriteBits(v % 9, v);
    }
    for (uint32_t v : {0x7FFFFFFFu, 0xFFFFFFFEu})
        all.WriteUE(v);
    for (int32_t v : {2147483647, -2147483647})
        all.WriteSE(v);
    all.WriteTrailingBits();
    auto bytes      = Written(all);
    H264BitReader r = Over(bytes);
    for (uint32_t v = 0; v < 300; ++v) {
        ASSERT_EQ(r.ReadUE(), v);
        ASSERT_EQ(r.ReadSE(), int32_t(v) - 150);
        ASSERT_EQ(r.ReadBits(v % 9), v & ((1u << (v % 9)) - 1));
    }
    EXPECT_EQ(r.ReadUE(), 0x7FFFFFFFu);
    EXPECT_EQ(r.ReadUE(), 0xFFFFFFFEu);
    EXPECT_EQ(r.ReadSE(), 2147483647);
    EXPECT_EQ(r.ReadSE(), -2147483647);
    EXPECT_FALSE(r.MoreRbspData());
}

TEST(EmulationPrevention, RemovedWhateverFollowsAndCountedInBitsLeft)
{
    struct Case {
        const char *in, *out;
    } cases[] = {
        {"00 00 03 01", "00 00 01"},
        {"00 00 03 00 00 03", "00 00 00 00"},
        {"11 00 00 03", "11 00 00"},
        {"00 00 03 04", "00 00 04"},
        {"00 03 00 00 03 03", "00 03 00 00 03"},
        {"00 00 00 01 06 05 00 00 03 02 80", "00 00 00 01 06 05 00 00 02 80"},
    };
    for (const Case& c : cases) {
        auto in = Hex(c.in), out = Hex(c.out);
        // Copying and in-place readers agree.
        for (int view = 0; view < 2; ++view) {
            H264BitReader r;
            if (view)
                r.InitView(in.data(), in.size());
            else
                r.Init(in.data(), in.size() * 8);
            RemoveEmulationPrevention(r);
            EXPECT_EQ(r.BitsLeft(), out.size() * 8) << c.in;
            std::vector<uint8_t> got;
            while (r.BitsLeft() >= 8)
                got.push_back(uint8_t(r.ReadBits(8)));
            EXPECT_EQ(got, out) << c.in;
            EXPECT_EQ(ErrorOf([&] { r.ReadBits(1); }), 3);
        }
    }

    // 28 bits: the last byte holds 4 valid bits. Without its escape 20 bits are left.
    auto shortEnd = Hex("00 00 03 AB");
    H264BitReader s;
    s.Init(shortEnd.data(), 28);
    RemoveEmulationPrevention(s);
    EXPECT_EQ(s.BitsLeft(), 20u);
    EXPECT_EQ(s.ReadBits(16), 0u);
    EXPECT_EQ(ErrorOf([&] { s.ReadBits(8); }), 3);
}

TEST(EmulationPrevention, InsertedAfterTwoZerosBeforeSmallBytes)
{
    H264BitWriter w;
    w.WriteBytes(Hex("00 00 00 01 06 00 00 01 00 00 04 00 00 00 00 80").data(), 16);
    InsertEmulationPrevention(w);
    // After an insertion the scan goes on behind the pair: 00 00 03 00 00 80 needs no second.
    EXPECT_EQ(Written(w), Hex("00 00 00 01 06 00 00 03 01 00 00 04 00 00 03 00 00 80"));
    EXPECT_EQ(w.BitCount(), 18u * 8);
}

TEST(EmulationPrevention, LongZeroRunEscapedInOnePass)
{
    // An escape every two bytes of 8 MiB: inserted in place, each would move the rest of the
    // unit, and the whole would not end within the test's time limit.
    const size_t zeros        = size_t(8) << 20;
    std::vector<uint8_t> unit = Hex("00 00 00 01 06");
    unit.resize(unit.size() + zeros, 0);
    unit.push_back(0x80);
    H264BitWriter w;
    w.WriteBytes(unit.data(), unit.size());
    InsertEmulationPrevention(w);
    std::vector<uint8_t> expected = Hex("00 00 00 01 06");
    for (size_t i = 0; i + 2 < zeros; i += 2)
        expected.insert(expected.end(), {0, 0, 3});
    expected.insert(expected.end(), {0, 0, 0x80}); // the last pair is followed by 80
    EXPECT_TRUE(Written(w) == expected);
    EXPECT_EQ(w.BitCount(), uint64_t(expected.size()) * 8);
}

TEST(H264BitReader, MoreRbspDataStopsAtTheLastOneBit)
{
    auto trailing   = Hex("C0 00 00"); // 1 bit of data, the stop bit, trailing zero bytes
    H264BitReader r = Over(trailing);
    EXPECT_TRUE(r.MoreRbspData());
    r.ReadBits(1);
    EXPECT_FALSE(r.MoreRbspData());
    EXPECT_EQ(r.BitsLeft(), 23u);

    // An escape after the stop bit's byte does not move it.
    auto esc         = Hex("00 00 03 01 80 00 00 03 00");
    H264BitReader r2 = Over(esc, true);
    r2.ReadBits(23);
    EXPECT_TRUE(r2.MoreRbspData());
    r2.ReadBits(1);
    EXPECT_FALSE(r2.MoreRbspData());
    EXPECT_EQ(r2.BitsLeft(), 8u + 24u);

    // A short final byte: its valid bits are the low ones, so its 1 bits may all lie beyond
    // the data.
    auto high = Hex("A0 E0");
    H264BitReader h;
    h.Init(high.data(), 13);
    h.ReadBits(2);
    EXPECT_FALSE(h.MoreRbspData()) << "the stop bit is bit 2";

    // The stop bit found from the end, past a zero tail longer than a word and escapes in it.
    auto tail        = Hex("25 00 00 03 80 00 00 03 00 00 00 00 00 00 00 00 00 00 03 00 00");
    H264BitReader r3 = Over(tail, true);
    EXPECT_EQ(r3.BitsLeft(), (tail.size() - 3) * 8);
    r3.ReadBits(23);
    EXPECT_TRUE(r3.MoreRbspData());
    r3.ReadBits(1);
    EXPECT_FALSE(r3.MoreRbspData());
}

TEST(H264BitReader, CopiesReadTheirOwnBytesAndTheRestIsCopied)
{
    H264BitReader copy;
    {
        auto bytes      = Hex("12 34 56 78 9A BC DE F0 11");
        H264BitReader r = Over(bytes);
        r.ReadBits(4);
        copy = r;
        bytes.assign(9, 0xFF);
    } // the original and its source are gone
    H264BitWriter w;
    w.WriteBits(2, 3);
    CopyRemainingBits(copy, w);
    // 11 + 0010 0011 ... 0001 0001 + 00 padding
    EXPECT_EQ(Written(w), Hex("C8 D1 59 E2 6A F3 7B C0 44"));
    EXPECT_EQ(ErrorOf([&] { copy.ReadBits(1); }), 3);
}

TEST(ByteAccess, ReadBytesAgreesWithEightBitsAtATime)
{
    // Escapes right after a run, at the start, twice in a row, and at the very end.
    auto unit = Hex("00 00 00 01 06 25 11 22 00 00 03 01 33 00 00 03 00 00 03 02 44 55 00 00 03");
    for (bool unescape : {false, true}) {
        for (unsigned skip : {0u, 8u, 32u, 3u}) {
            for (size_t n = 0; n <= unit.size(); ++n) {
                H264BitReader a = Over(unit, unescape);
                a.ReadBits(skip);
                H264BitReader b = a;
                std::vector<uint8_t> bits, bytes(n);
                int errBits  = ErrorOf([&] {
                    for (size_t i = 0; i < n; ++i)
                        bits.push_back(uint8_t(a.ReadBits(8)));
                });
                int errBytes = ErrorOf([&] { b.ReadBytes(bytes.data(), n); });
                ASSERT_EQ(errBits, errBytes) << skip << " " << n;
                if (errBits)
                    continue;
                EXPECT_EQ(bits, bytes) << skip << " " << n;
                EXPECT_EQ(a.BitsLeft(), b.BitsLeft());
                EXPECT_EQ(a.MoreRbspData(), b.MoreRbspData());
            }
        }
    }
}

TEST(H264BitReader, CachedReadsAgreeWithTheRbspBitByBit)
{
    // Escapes, 03 bytes that are none, and zero runs on both sides of the 8-byte pieces the
    // cache is filled with; short data is filled from what is there.
    const char* const cases[] = {
        "00 00 00 01 41 9A 22 00 00 03 01 44 55 66 77 88 99 00 00 03 00 00 03 03 11 80",
        "11 22 33 44 55 66 00 00 03 00 00 03 00 00 03 00 77 03 03 00 03 00 00 00 03 AB CD EF 80",
        "03 00 00 03 12 00 00 00 00 00 00 00 00 03 FE 00 00 03",
        "00 00 01 09 F0",
        "FF 00 00 03 03 00",
    };
    for (const char* text : cases) {
        auto raw = Hex(text);
        // The RBSP by the rule itself, and the raw offset behind each of its bytes.
        std::vector<uint8_t> rbsp;
        std::vector<size_t> rawEnd;
        for (size_t i = 0, zeros = 0; i < raw.size(); ++i) {
            if (zeros >= 2 && raw[i] == 3) {
                zeros = 0;
                continue;
            }
            zeros = raw[i] == 0 ? zeros + 1 : 0;
            rbsp.push_back(raw[i]);
            rawEnd.push_back(i + 1);
        }
        auto bit = [&](size_t k) { return (rbsp[k / 8] >> (7 - k % 8)) & 1u; };
        for (unsigned skip = 0; skip < 24; ++skip) {
            for (unsigned width : {1u, 3u, 7u, 8u, 13u, 24u, 32u}) {
                H264BitReader r;
                r.InitView(raw.data(), raw.size());
                RemoveEmulationPrevention(r);
                size_t at = 0;
                for (unsigned n = skip; at + n <= rbsp.size() * 8; n = width) {
                    uint32_t expected = 0;
                    for (unsigned j = 0; j < n; ++j)
                        expected = expected << 1 | bit(at + j);
                    ASSERT_EQ(r.ReadBits(n), expected) << text << " skip " << skip << " at " << at;
                    at += n;
                    EXPECT_EQ(r.IsByteAligned(), at % 8 == 0);
                    if (at % 8 == 0 && at > 0) { // the raw bytes behind what was read
                        EXPECT_EQ(r.RawPosition() - raw.data(), ptrdiff_t(rawEnd[at / 8 - 1]));
                    }
                }
                EXPECT_EQ(r.BitsLeft(), rbsp.size() * 8 - at);
                EXPECT_EQ(ErrorOf([&] { r.ReadBits(unsigned(rbsp.size() * 8 - at) + 1); }), 3);
            }
        }
    }
}
