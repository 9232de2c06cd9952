// Bit writing into a growing unit, Exp-Golomb codes, trailing bits, and emulation prevention
// inserted in one pass.
#include "h264/bits/bit_writer.h"

#include <cstring>

int H264BitWriter::WriteBits(unsigned n, uint32_t value)
{
    if (n > 32)
        throw kBitstreamTooManyBits;
    while (n > 0) {
        unsigned free = 8 - (m_bitCount & 7);
        unsigned take = n < free ? n : free;
        uint32_t part = (value >> (n - take)) & ((1u << take) - 1);
        m_bytes.back() |= uint8_t(part << (free - take));
        m_bitCount += take;
        n -= take;
        if ((m_bitCount & 7) == 0)
            m_bytes.push_back(0);
    }
    return 0;
}

int H264BitWriter::WriteBytes(const uint8_t* data, size_t n)
{
    if (n == 0)
        return 0;
    if ((m_bitCount & 7) != 0) {
        for (size_t i = 0; i < n; ++i)
            WriteBits(8, data[i]);
        return 0;
    }
    // Aligned: the last byte is the empty one being filled; the data takes its place.
    m_bytes.pop_back();
    m_bytes.insert(m_bytes.end(), data, data + n);
    m_bytes.push_back(0);
    m_bitCount += uint64_t(n) * 8;
    return 0;
}

int H264BitWriter::WriteUE(uint32_t value)
{
    uint64_t v   = uint64_t(value) + 1;
    unsigned len = 0;
    for (uint64_t x = v; x; x >>= 1)
        ++len;
    // value + 1 can need 33 bits: 32 zero bits, then the 33-bit code.
    WriteBits(len - 1 > 32 ? 32 : len - 1, 0);
    if (len > 32) {
        WriteBits(1, uint32_t(v >> 32));
        return WriteBits(32, uint32_t(v));
    }
    return WriteBits(len, uint32_t(v));
}

int H264BitWriter::WriteSE(int32_t value)
{
    if (value > 0)
        return WriteUE(uint32_t(2 * int64_t(value) - 1));
    return WriteUE(uint32_t(-2 * int64_t(value)));
}

int H264BitWriter::WriteTrailingBits()
{
    WriteBits(1, 1);
    while (m_bitCount & 7)
        WriteBits(1, 0);
    return 0;
}

int CopyRemainingBits(H264BitReader& reader, H264BitWriter& writer)
{
    for (uint64_t left = reader.BitsLeft(); left > 0; left = reader.BitsLeft()) {
        unsigned n = left < 32 ? unsigned(left) : 32;
        writer.WriteBits(n, reader.ReadBits(n));
    }
    while (!writer.IsByteAligned())
        writer.WriteBits(1, 0);
    return 0;
}

// One pass into a new buffer: inserting in place would move the rest of the unit at every
// escape, and a long run of zero bytes holds one escape per two bytes.
void InsertEmulationPrevention(H264BitWriter& writer)
{
    const std::vector<uint8_t>& in = writer.m_bytes;
    size_t n                       = in.size();
    if (n < 6)
        return;
    std::vector<uint8_t> out;
    out.reserve(n + n / 64);
    size_t i = 3;
    out.insert(out.end(), in.begin(), in.begin() + std::ptrdiff_t(i));
    while (i + 2 < n) {
        // Up to the next zero byte that could start a pair, copied as it is.
        const void* zero = memchr(in.data() + i, 0, n - 2 - i);
        size_t next      = zero ? size_t(static_cast<const uint8_t*>(zero) - in.data()) : n - 2;
        out.insert(out.end(), in.begin() + std::ptrdiff_t(i), in.begin() + std::ptrdiff_t(next));
        i = next;
        if (i + 2 >= n)
            break;
        if (in[i + 1] == 0 && in[i + 2] <= 3) {
            // The scan goes on at the byte the 03 went in front of.
            out.insert(out.end(), {0, 0, 3});
            i += 2;
        } else {
            out.push_back(0);
            ++i;
        }
    }
    out.insert(out.end(), in.begin() + std::ptrdiff_t(i), in.end());
    writer.m_bitCount += uint64_t(out.size() - n) * 8;
    writer.m_bytes.swap(out);
}
