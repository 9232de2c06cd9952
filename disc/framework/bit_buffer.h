// Byte buffer with a bit cursor through which every disc file is read and written.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class CBitBuffer
{
  public:
    std::vector<uint8_t> m_bytes;
    uint64_t m_cursor = 0; // bit position; bit 0 is the MSB of byte 0

    // Element budget of one parse: every list element a parser creates spends one unit, so a
    // crafted file whose blocks point back at themselves cannot create elements without end.
    uint64_t m_elementBudget = 1000000;
    bool m_budgetReported    = false;

    // When set, Build records here the byte offset of every place where a section is padded,
    // so a padding modulus can be checked against the unpadded layout before it is applied.
    std::vector<uint64_t>* m_padPoints = nullptr;

    // Loads the whole file (at most 1 GiB, the rest is refused); 0 or 1 after a message.
    int LoadFile(const char* name);
    int SaveFile(const char* name);

    void WriteBit(uint32_t bit);
    uint32_t ReadBits(unsigned n);
    void WriteBits(unsigned n, uint32_t value);
    void ReadBytes(void* destination, size_t count);
    void WriteBytes(const void* source, size_t count);

    // Skips n bits on reading, writes n zero bits on writing (any n).
    void SkipBits(uint64_t n) { m_cursor += n; }
    void WriteZeroBits(uint64_t n);

    uint64_t SizeBits() const { return uint64_t(m_bytes.size()) * 8; }
    bool Aligned() const { return (m_cursor & 7) == 0; }

    // Starts a fresh element budget for a buffer of this size.
    void ResetBudget() { m_elementBudget = m_bytes.size() + 1000000, m_budgetReported = false; }
    // Takes one unit of the element budget; false (after one message) when it is spent.
    bool TakeElement();

  private:
    void Reserve(uint64_t bytes);
    uint64_t WindowAt(uint64_t byte) const;
    static uint64_t FromBigEndian(uint64_t w)
    {
#if __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
        return __builtin_bswap64(w);
#else
        return w;
#endif
    }
    static uint64_t ToBigEndian(uint64_t w) { return FromBigEndian(w); }
};
