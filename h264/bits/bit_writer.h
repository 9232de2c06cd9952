// Builds one NAL unit in memory, most significant bit first.
#pragma once

#include "h264/bits/bit_reader.h"

#include <cstdint>
#include <vector>

class H264BitWriter
{
  public:
    H264BitWriter() : m_bytes(1, 0) {}

    int WriteBits(unsigned n, uint32_t value);
    // n bytes, as n calls of WriteBits(8) would write them.
    int WriteBytes(const uint8_t* data, size_t n);
    int WriteUE(uint32_t value);
    int WriteSE(int32_t value);
    // rbsp_trailing_bits(): a 1 bit, then 0 bits up to the byte boundary.
    int WriteTrailingBits();

    uint64_t BitCount() const { return m_bitCount; }
    bool IsByteAligned() const { return (m_bitCount & 7) == 0; }
    // The unit written so far: (bit count + 7) / 8 bytes.
    const uint8_t* Data() const { return m_bytes.data(); }
    size_t Size() const { return (size_t(m_bitCount) + 7) / 8; }

    friend void InsertEmulationPrevention(H264BitWriter& writer);

  private:
    // Always ends with the byte being filled: floor(count / 8) + 1 bytes.
    std::vector<uint8_t> m_bytes;
    // 64 bits: a rebuilt unit near the walker's unit limit holds more than 2^32 bits.
    uint64_t m_bitCount = 0;
};

// Copies every bit left in the reader, then pads the writer to a byte boundary.
int CopyRemainingBits(H264BitReader& reader, H264BitWriter& writer);

// Turns a unit that begins with the start code 00 00 00 01 into NAL unit bytes: 03 goes in
// after every two zero bytes that a byte 00 to 03 follows.
void InsertEmulationPrevention(H264BitWriter& writer);
