// Bit reader and writer: Exp-Golomb limits, reads past the end, emulation prevention both ways.
#include "h264/bit_reader.h"
#include "h264/bit_writer.h"
#include "tests/support/test_support.h"

#include <functional>
#include <gtest/gtest.h>

using testing_support::Hex;

namespace
{

H264BitReader Over(const std::vector<uint8_t>& bytes)
{
    H264BitReader r;
    r.Init(bytes.data(), bytes.size() * 8);
    return r;
}

std::vector<uint8_t> Written(const H264BitWriter& w)
{
    return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
}

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

TEST(H264BitReader, FixedWidthReadsAndLimits)
{
    auto bytes      = Hex("A5 0F 80 00 FF");
    H264BitReader r = Over(bytes);
    EXPECT_EQ(r.ReadBits(0), 0u);
    EXPECT_EQ(r.BitsLeft(), 40u);
    EXPECT_EQ(ErrorOf([&] { r.ReadBits(33); }), 2);
    EXPECT_EQ(r.BitsLeft(), 40u);
    EXPECT_EQ(r.ReadBits(4), 0xAu);
    EXPECT_EQ(r.PeekBits(12), 0x50Fu);
    EXPECT_EQ(r.ReadBits(12), 0x50Fu);
    EXPECT_TRUE(r.IsByteAligned());
    EXPECT_EQ(r.ReadBits(24), 0x8000FFu);
    EXPECT_EQ(r.BitsLeft(), 0u);
    EXPECT_EQ(ErrorOf([&] { r.ReadBits(1); }), 3);

    auto five        = Hex("01 02 03 04 05");
    H264BitReader r2 = Over(five);
    EXPECT_EQ(r2.ReadBits(32), 0x01020304u);
    EXPECT_EQ(r2.ReadBits(8), 5u);
    EXPECT_EQ(ErrorOf([&] { r2.ReadBits(1); }), 3);
}

TEST(H264BitReader, ExpGolombCodes)
{
    // 1 | 010 | 011 | 00111 | 010 (se +1) | 011 (se -1) | 00100 (se +2) | 00101 (se -2)
    H264BitWriter w;
    w.WriteBits(1, 1);
    w.WriteBits(3, 2);
    w.WriteBits(3, 3);
    w.WriteBits(5, 7);
    w.WriteBits(3, 2);
    w.WriteBits(3, 3);
    w.WriteBits(5, 4);
    w.WriteBits(5, 5);
    auto bytes      = Written(w);
    H264BitReader r = Over(bytes);
    EXPECT_EQ(r.ReadUE(), 0u);
    EXPECT_EQ(r.ReadUE(), 1u);
    EXPECT_EQ(r.ReadUE(), 2u);
    EXPECT_EQ(r.ReadUE(), 6u);
    EXPECT_EQ(r.ReadSE(), 1);
    EXPECT_EQ(r.ReadSE(), -1);
    EXPECT_EQ(r.ReadSE(), 2);
    EXPECT_EQ(r.ReadSE(), -2);

    // 31 leading zeros is the longest code; 32 throws 2; a tail of zeros throws 3.
    auto max          = Hex("00 00 00 01 FF FF FF FF");
    H264BitReader r31 = Over(max);
    EXPECT_EQ(r31.ReadUE(), 0xFFFFFFFEu);
    auto over = Hex("00 00 00 00 80 00 00 00 00");
    EXPECT_EQ(ErrorOf([&] { Over(over).ReadUE(); }), 2);
    auto tail = Hex("00 00");
    EXPECT_EQ(ErrorOf([&] { Over(tail).ReadUE(); }), 3);
}

TEST(H264BitWriter, ExpGolombAndTrailingBits)
{
    H264BitWriter w;
    w.WriteUE(0);
    w.WriteUE(6);
    w.WriteSE(-2);
    w.WriteSE(3);
    w.WriteTrailingBits();
    // 1 00111 00101 00110 1 + 000: 1001 1100 1010 0110 1000 0000
    EXPECT_EQ(Written(w), Hex("9C A6 80"));
    EXPECT_EQ(w.BitCount(), 24u);
    EXPECT_EQ(ErrorOf([&] { w.WriteBits(33, 0); }), 2);

    // Every ue value survives a write and a read, the 32-bit limit included.
    for (uint32_t v : {0u, 1u, 254u, 255u, 65535u, 0x7FFFFFFFu, 0xFFFFFFFEu}) {
        H264BitWriter wv;
        wv.WriteUE(v);
        wv.WriteTrailingBits();
        auto b = Written(wv);
        EXPECT_EQ(Over(b).ReadUE(), v);
    }
    for (int32_t v : {0, 1, -1, 1000, -1000, 2147483647, -2147483647}) {
        H264BitWriter wv;
        wv.WriteSE(v);
        wv.WriteTrailingBits();
        auto b = Written(wv);
        EXPECT_EQ(Over(b).ReadSE(), v);
    }
}

TEST(EmulationPrevention, RemovedWhateverFollowsAndCountedInBitsLeft)
{
    struct Case {
        const char* in;
        const char* out;
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
}

TEST(EmulationPrevention, InsertedAfterTwoZerosBeforeSmallBytes)
{
    H264BitWriter w;
    for (uint32_t b : {0u, 0u, 0u, 1u, 6u, 0u, 0u, 1u, 0u, 0u, 4u, 0u, 0u, 0u, 0u, 0x80u})
        w.WriteBits(8, b);
    InsertEmulationPrevention(w);
    // After an insertion the scan goes on behind the pair: 00 00 03 00 00 80 needs no second.
    EXPECT_EQ(Written(w), Hex("00 00 00 01 06 00 00 03 01 00 00 04 00 00 03 00 00 80"));
    EXPECT_EQ(w.BitCount(), 18u * 8);

    // Fewer than 6 bytes: nothing happens.
    H264BitWriter s;
    for (uint32_t b : {0u, 0u, 0u, 1u, 0u})
        s.WriteBits(8, b);
    InsertEmulationPrevention(s);
    EXPECT_EQ(Written(s), Hex("00 00 00 01 00"));
}

TEST(H264BitReader, MoreRbspDataStopsAtTheLastOneBit)
{
    // 1 bit of data, the stop bit, then trailing zero bytes.
    auto bytes      = Hex("C0 00 00");
    H264BitReader r = Over(bytes);
    EXPECT_TRUE(r.MoreRbspData());
    r.ReadBits(1);
    EXPECT_FALSE(r.MoreRbspData());
    EXPECT_EQ(r.BitsLeft(), 23u);

    // An escape after the stop bit's byte does not move it.
    auto esc         = Hex("00 00 03 01 80 00 00 03 00");
    H264BitReader r2 = Over(esc);
    RemoveEmulationPrevention(r2);
    EXPECT_TRUE(r2.MoreRbspData());
    r2.ReadBits(23);
    EXPECT_TRUE(r2.MoreRbspData());
    r2.ReadBits(1); // the next bit is the stop bit
    EXPECT_FALSE(r2.MoreRbspData());
    EXPECT_EQ(r2.BitsLeft(), 8u + 24u);
}

TEST(CopyRemainingBits, CopiesTheRestAndPads)
{
    auto bytes      = Hex("12 34 56 78 9A BC DE F0 11");
    H264BitReader r = Over(bytes);
    r.ReadBits(4);
    H264BitWriter w;
    w.WriteBits(2, 3);
    CopyRemainingBits(r, w);
    EXPECT_EQ(w.BitCount(), 72u);
    // 11 + 0010 0011 ... 0001 0001 + 00 padding
    EXPECT_EQ(Written(w), Hex("C8 D1 59 E2 6A F3 7B C0 44"));
}

TEST(H264BitReader, CodesAtEveryBitOffset)
{
    // Short codes inside one byte and longer ones across bytes, at every alignment.
    H264BitWriter w;
    for (uint32_t v = 0; v < 300; ++v) {
        w.WriteUE(v);
        w.WriteSE(int32_t(v) - 150);
        w.WriteBits(v % 9, v);
    }
    w.WriteTrailingBits();
    auto bytes      = Written(w);
    H264BitReader r = Over(bytes);
    for (uint32_t v = 0; v < 300; ++v) {
        ASSERT_EQ(r.ReadUE(), v);
        ASSERT_EQ(r.ReadSE(), int32_t(v) - 150);
        ASSERT_EQ(r.ReadBits(v % 9), v & ((1u << (v % 9)) - 1));
    }
    EXPECT_FALSE(r.MoreRbspData());
}

TEST(H264BitReader, CopiesReadTheirOwnBytes)
{
    H264BitReader copy;
    {
        auto bytes = Hex("12 34 56 78");
        H264BitReader r;
        r.Init(bytes.data(), 32);
        r.ReadBits(4);
        copy = r;
        H264BitReader second(r);
        EXPECT_EQ(second.ReadBits(12), 0x234u);
        bytes.assign(4, 0xFF);
    } // the original and its source are gone
    EXPECT_EQ(copy.ReadBits(28), 0x2345678u);
    EXPECT_EQ(ErrorOf([&] { copy.ReadBits(1); }), 3);
}

TEST(H264BitReader, ShortFinalByteBehindAnEscape)
{
    // 28 bits: the last byte holds 4 valid bits. Without its escape 20 bits are left.
    auto bytes = Hex("00 00 03 AB");
    H264BitReader r;
    r.Init(bytes.data(), 28);
    RemoveEmulationPrevention(r);
    EXPECT_EQ(r.ReadBits(16), 0u);
    EXPECT_EQ(ErrorOf([&] { r.ReadBits(8); }), 3);
    H264BitReader r2;
    r2.Init(bytes.data(), 28);
    RemoveEmulationPrevention(r2);
    EXPECT_EQ(r2.BitsLeft(), 20u);
    EXPECT_EQ(r2.ReadBits(20), 0xBu);

    // The last 1 bit of data whose final byte is short: its valid bits are the low ones.
    auto tail = Hex("80 31"); // 1000 0000 | (001)1 0001: the last 1 bit is bit 12
    H264BitReader m;
    m.Init(tail.data(), 13);
    m.ReadBits(11);
    EXPECT_TRUE(m.MoreRbspData());
    m.ReadBits(1);
    EXPECT_FALSE(m.MoreRbspData());
    auto high = Hex("A0 E0"); // the final byte's 1 bits all lie beyond the 13 bits
    H264BitReader h;
    h.Init(high.data(), 13);
    EXPECT_TRUE(h.MoreRbspData());
    h.ReadBits(2);
    EXPECT_FALSE(h.MoreRbspData()) << "the stop bit is bit 2";
}
