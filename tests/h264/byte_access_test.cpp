// Whole-byte reads and writes: the same bytes, positions and failures as 8 bits at a time.
#include "h264/bit_reader.h"
#include "h264/bit_writer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using testing_support::Hex;

namespace
{

// Reads n bytes at offset skip (in bits) both ways; both must agree to the end.
void ExpectSameAsBits(const std::vector<uint8_t>& unit, bool unescape, unsigned skip, size_t n)
{
    H264BitReader a, b;
    a.InitView(unit.data(), unit.size());
    b.InitView(unit.data(), unit.size());
    if (unescape) {
        RemoveEmulationPrevention(a);
        RemoveEmulationPrevention(b);
    }
    a.ReadBits(skip);
    b.ReadBits(skip);
    std::vector<uint8_t> bits, bytes(n);
    int errBits = 0, errBytes = 0;
    try {
        for (size_t i = 0; i < n; ++i)
            bits.push_back(uint8_t(a.ReadBits(8)));
    } catch (BitstreamErr_t e) {
        errBits = e;
    }
    try {
        b.ReadBytes(bytes.data(), n);
    } catch (BitstreamErr_t e) {
        errBytes = e;
    }
    EXPECT_EQ(errBits, errBytes) << skip << " " << n;
    if (errBits)
        return;
    EXPECT_EQ(bits, bytes) << skip << " " << n;
    EXPECT_EQ(a.BitsLeft(), b.BitsLeft());
    EXPECT_EQ(a.MoreRbspData(), b.MoreRbspData());
    EXPECT_EQ(a.RawPosition(), b.RawPosition());
    if (a.BitsLeft() >= 3) {
        EXPECT_EQ(a.ReadBits(3), b.ReadBits(3));
    }
}

} // namespace

TEST(ByteAccess, ReadBytesAgreesWithReadBits)
{
    // Escapes right after a run, at the start, twice in a row, and at the very end.
    std::vector<uint8_t> unit =
        Hex("00 00 00 01 06 25 11 22 00 00 03 01 33 00 00 03 00 00 03 02 44 55 00 00 03");
    for (bool unescape : {false, true}) {
        for (unsigned skip : {0u, 8u, 32u, 3u}) {
            for (size_t n = 0; n <= unit.size(); ++n)
                ExpectSameAsBits(unit, unescape, skip, n);
        }
    }
}

TEST(ByteAccess, WriteBytesAgreesWithWriteBits)
{
    std::vector<uint8_t> data = Hex("00 FF 12 00 00 03 80");
    for (unsigned lead : {0u, 8u, 5u}) {
        H264BitWriter a, b;
        a.WriteBits(lead, 0x15);
        b.WriteBits(lead, 0x15);
        for (uint8_t v : data)
            a.WriteBits(8, v);
        b.WriteBytes(data.data(), data.size());
        a.WriteBits(3, 5);
        b.WriteBits(3, 5);
        EXPECT_EQ(a.BitCount(), b.BitCount());
        EXPECT_EQ(std::vector<uint8_t>(a.Data(), a.Data() + a.Size()),
                  std::vector<uint8_t>(b.Data(), b.Data() + b.Size()));
    }
}
