#include "h264/bit_writer.h"

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
    m_bitCount += uint32_t(n * 8);
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

void InsertEmulationPrevention(H264BitWriter& writer)
{
    std::vector<uint8_t>& v = writer.m_bytes;
    if (v.size() < 6)
        return;
    size_t i = 3;
    while (i + 2 < v.size()) {
        if (v[i] == 0 && v[i + 1] == 0 && v[i + 2] <= 3) {
            v.insert(v.begin() + std::ptrdiff_t(i + 2), uint8_t(3));
            writer.m_bitCount += 8;
            i += 3;
        } else {
            ++i;
        }
    }
}
