// A test-side writer that lays out disc files from field lists, independent of the code under
// test: fields of any width most significant bit first, byte strings, and length-prefixed
// blocks whose lengths are patched when the block is closed.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>
#include <vector>

namespace testing_support
{

class FieldWriter
{
  public:
    // One field: (width in bits, value).
    FieldWriter& Bits(unsigned width, uint64_t value)
    {
        for (unsigned i = width; i > 0; --i)
            Bit((value >> (i - 1)) & 1);
        return *this;
    }
    FieldWriter& Fields(std::initializer_list<std::pair<unsigned, uint64_t>> fields)
    {
        for (const auto& f : fields)
            Bits(f.first, f.second);
        return *this;
    }
    FieldWriter& U8(uint64_t v) { return Bits(8, v); }
    FieldWriter& U16(uint64_t v) { return Bits(16, v); }
    FieldWriter& U32(uint64_t v) { return Bits(32, v); }
    FieldWriter& Text(const std::string& s)
    {
        for (unsigned char c : s)
            Bits(8, c);
        return *this;
    }
    FieldWriter& Bytes(const std::vector<uint8_t>& b)
    {
        for (uint8_t c : b)
            Bits(8, c);
        return *this;
    }
    FieldWriter& Zeros(size_t bytes) { return Bytes(std::vector<uint8_t>(bytes, 0)); }
    // Zero bytes until the size is a multiple of m (none for 0).
    FieldWriter& AlignTo(size_t m)
    {
        while (m && Size() % m)
            U8(0);
        return *this;
    }

    // Opens a block with a length field of the given width; returns its handle for End.
    size_t Begin(unsigned lengthBits = 32)
    {
        m_open.push_back({m_bits, lengthBits});
        Bits(lengthBits, 0);
        return m_open.size() - 1;
    }
    // Closes the innermost open block: its length is the bytes after its length field.
    FieldWriter& End()
    {
        Open o = m_open.back();
        m_open.pop_back();
        uint64_t length = (m_bits - o.at - o.width) / 8;
        Patch(o.at, o.width, length);
        return *this;
    }
    // Overwrites a field written earlier (position in bits).
    void Patch(uint64_t atBit, unsigned width, uint64_t value)
    {
        uint64_t save = m_bits;
        m_bits        = atBit;
        Bits(width, value);
        m_bits = save;
    }

    size_t Size() const { return m_bytes.size(); }
    const std::vector<uint8_t>& Data() const { return m_bytes; }

  private:
    struct Open {
        uint64_t at;
        unsigned width;
    };
    void Bit(uint64_t b)
    {
        size_t byte = size_t(m_bits / 8);
        if (byte >= m_bytes.size())
            m_bytes.resize(byte + 1, 0);
        uint8_t mask  = uint8_t(0x80 >> (m_bits % 8));
        m_bytes[byte] = uint8_t(b ? (m_bytes[byte] | mask) : (m_bytes[byte] & ~mask));
        ++m_bits;
    }
    std::vector<uint8_t> m_bytes;
    uint64_t m_bits = 0;
    std::vector<Open> m_open;
};

} // namespace testing_support
