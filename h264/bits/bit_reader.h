// Most-significant-first bit access to one NAL unit or SEI payload, with Exp-Golomb codes
// (ITU-T H.264 clause 9.1) and emulation-prevention removal (clause 7.4.1).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Thrown by value: 2 more than 32 bits in one access, 3 a read past the end of the data.
enum BitstreamErr_t : int {
    kBitstreamTooManyBits = 2,
    kBitstreamReadPastEnd = 3,
};

class H264BitReader
{
  public:
    H264BitReader() = default;
    // A copy of a reader that owns its bytes reads from its own copy of them.
    H264BitReader(const H264BitReader& other) { *this = other; }
    H264BitReader& operator=(const H264BitReader& other);
    // A moved vector keeps its storage, so the pointers stay valid.
    H264BitReader(H264BitReader&&)            = default;
    H264BitReader& operator=(H264BitReader&&) = default;

    // Copies (bitCount + 7) / 8 bytes and points the reader at the first.
    H264BitReader& Init(const uint8_t* data, uint64_t bitCount);
    // Re-points an existing reader the same way.
    H264BitReader& Assign(const uint8_t* data, uint64_t bitCount);
    // Points the reader at bytes it does not copy: they must stay unchanged while it is used.
    // The stream tools read NAL units in place this way.
    H264BitReader& InitView(const uint8_t* data, size_t byteCount);
    void FreeBuffer();

    uint32_t ReadBits(unsigned n)
    {
        // Most fields lie in the bits already cached.
        if (n - 1 < 32u && n <= m_cacheBits)
            return Take(n);
        return ReadBitsSlow(n);
    }
    // n bytes, as n calls of ReadBits(8) would give them, copied in runs where it can.
    void ReadBytes(uint8_t* dst, size_t n);
    uint32_t PeekBits(unsigned n);
    bool IsByteAligned() const
    {
        // A short final byte ends where the data ends.
        return ((m_loadedBits - m_cacheBits) & 7) == 0 || (m_cacheBits == 0 && m_bitsLeft == 0);
    }
    uint32_t ReadUE()
    {
        // A code that lies in the cached bits, else the general way. Bits below the cached
        // ones are zero, so a non-zero cache holds the code's 1 bit.
        if (m_cache) {
            unsigned lz  = unsigned(__builtin_clzll(m_cache));
            unsigned len = 2 * lz + 1;
            if (len <= m_cacheBits) {
                uint64_t v = m_cache >> (64 - len);
                m_cache <<= len;
                m_cacheBits -= len;
                return uint32_t(v - 1);
            }
        }
        return ReadUESlow();
    }
    int32_t ReadSE();
    // rbsp_trailing_bits(): one bit, then single bits up to the byte boundary.
    void SkipToByteAlign();

    // Bits left to read, emulation prevention bytes not counted.
    uint64_t BitsLeft();
    // An upper bound of BitsLeft() that costs nothing to ask (escaped bytes not subtracted).
    uint64_t BitsLeftBound() const { return m_bitsLeft + m_cacheBits; }
    // more_rbsp_data() of the standard: is the position before the last 1 bit of the data?
    bool MoreRbspData();
    // Drops whatever is left without reading it.
    void SkipRest();

    // Memory for the lists that a unit's counts and loops make. Valid units take a few KiB; a
    // hostile one, whose entries can cost many times the bits that code them, is refused as one
    // cut short before its lists outgrow this.
    static constexpr uint64_t kListBudget = uint64_t(4) << 20;
    void SpendListBytes(uint64_t bytes)
    {
        if (bytes > m_listBytesLeft)
            throw kBitstreamReadPastEnd;
        m_listBytesLeft -= bytes;
    }

    // The raw (still escaped) bytes that no read has touched yet. The cached bytes beyond the
    // current one came in one piece that held no escape, so they map back byte for byte.
    const uint8_t* RawPosition() const { return m_p - m_cacheBits / 8; }
    const uint8_t* RawEnd() const { return m_end; }

    friend void RemoveEmulationPrevention(H264BitReader& reader);

  private:
    void Start(const uint8_t* data, size_t byteCount, uint64_t bitCount);
    // n (1 to 32) of the cached bits.
    uint32_t Take(unsigned n)
    {
        uint32_t v = uint32_t(m_cache >> (64 - n));
        m_cache <<= n;
        m_cacheBits -= n;
        return v;
    }
    uint32_t ReadBitsSlow(unsigned n);
    uint32_t ReadUESlow();
    // Adds at least one byte to the cache (which holds fewer than 57 bits); throws 3 at the
    // end of the data.
    void Refill();
    // Adds the valid bits of the next byte to the cache, dropping an emulation prevention
    // byte on the way; returns the byte as it was stored.
    uint8_t LoadByte();
    void CountAhead();

    const uint8_t* m_p   = nullptr; // next byte to load
    const uint8_t* m_end = nullptr;
    uint64_t m_bitsLeft  = 0; // bits in the bytes not yet loaded
    // Loaded bits not yet read, from the most significant bit down; the bits below them are 0.
    uint64_t m_cache     = 0;
    unsigned m_cacheBits = 0;
    // Emulation prevention is removed as bytes are loaded, so only what is read is unescaped.
    bool m_unescape          = false;
    unsigned m_zeros         = 0;     // zero bytes kept in a row before m_p
    bool m_counted           = false; // m_bitsLeft already excludes the escapes ahead
    uint64_t m_loadedBits    = 0;     // valid bits of the bytes loaded so far
    int64_t m_lastOne        = -2;    // bit index of the data's last 1 bit; -1 none, -2 unknown
    uint64_t m_listBytesLeft = kListBudget;
    std::vector<uint8_t> m_own;
};

// Turns the NAL unit bytes of a freshly initialised reader into RBSP bytes: every 03 that
// follows two zero bytes is dropped, whatever byte follows it.
void RemoveEmulationPrevention(H264BitReader& reader);
