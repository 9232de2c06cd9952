// Bit reading over one unit or payload: the cached fast path, Exp-Golomb codes, emulation
// prevention removed as bytes are loaded, and the list budget of a unit.
#include "h264/bits/bit_reader.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace
{

// Entry i: 8 minus the bit length of i.
struct LeadingZeroTable {
    uint8_t v[256];
    constexpr LeadingZeroTable() : v()
    {
        for (int i = 0; i < 256; ++i) {
            int len = 0;
            for (int x = i; x; x >>= 1)
                ++len;
            v[i] = static_cast<uint8_t>(8 - len);
        }
    }
};
constexpr LeadingZeroTable kLeadingZeros;

inline uint32_t Mask(unsigned n) { return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1; }

} // namespace

void H264BitReader::Start(const uint8_t* data, size_t byteCount, uint64_t bitCount)
{
    m_p             = data;
    m_end           = data + byteCount;
    m_bitsLeft      = bitCount;
    m_curBits       = 0;
    m_cur           = 0;
    m_unescape      = false;
    m_zeros         = 0;
    m_counted       = false;
    m_loadedBits    = 0;
    m_lastOne       = -2;
    m_listBytesLeft = kListBudget;
}

H264BitReader& H264BitReader::Init(const uint8_t* data, uint64_t bitCount)
{
    m_own.assign(data, data + (bitCount + 7) / 8);
    Start(m_own.data(), m_own.size(), bitCount);
    return *this;
}

H264BitReader& H264BitReader::operator=(const H264BitReader& other)
{
    if (this == &other)
        return *this;
    m_bitsLeft      = other.m_bitsLeft;
    m_curBits       = other.m_curBits;
    m_cur           = other.m_cur;
    m_unescape      = other.m_unescape;
    m_zeros         = other.m_zeros;
    m_counted       = other.m_counted;
    m_loadedBits    = other.m_loadedBits;
    m_lastOne       = other.m_lastOne;
    m_listBytesLeft = other.m_listBytesLeft;
    m_own           = other.m_own;
    if (other.m_own.empty()) {
        m_p   = other.m_p;
        m_end = other.m_end;
    } else {
        m_p   = m_own.data() + (other.m_p - other.m_own.data());
        m_end = m_own.data() + m_own.size();
    }
    return *this;
}

H264BitReader& H264BitReader::Assign(const uint8_t* data, uint64_t bitCount)
{
    return Init(data, bitCount);
}

H264BitReader& H264BitReader::InitView(const uint8_t* data, size_t byteCount)
{
    m_own.clear();
    Start(data, byteCount, uint64_t(byteCount) * 8);
    return *this;
}

void H264BitReader::FreeBuffer()
{
    std::vector<uint8_t>().swap(m_own);
    m_p = m_end = nullptr;
    m_bitsLeft  = 0;
    m_curBits   = 0;
}

void RemoveEmulationPrevention(H264BitReader& reader)
{
    reader.m_unescape = true;
    reader.m_zeros    = 0;
    reader.m_counted  = false;
    reader.m_lastOne  = -2;
}

// Loads the next byte, dropping an emulation prevention byte on the way; the caller has
// checked that enough bits are left.
uint8_t H264BitReader::LoadByte()
{
    if (m_p == m_end)
        throw kBitstreamReadPastEnd;
    uint8_t b = *m_p++;
    if (m_unescape) {
        if (m_zeros >= 2 && b == 3) {
            m_zeros = 0;
            if (!m_counted)
                m_bitsLeft = m_bitsLeft > 8 ? m_bitsLeft - 8 : 0;
            if (m_p == m_end || m_bitsLeft == 0)
                throw kBitstreamReadPastEnd;
            b = *m_p++;
        }
        m_zeros = b == 0 ? m_zeros + 1 : 0;
    }
    unsigned valid = m_bitsLeft < 8 ? unsigned(m_bitsLeft) : 8;
    m_bitsLeft -= valid;
    m_loadedBits += valid;
    m_cur     = b;
    m_curBits = valid;
    return b;
}

uint32_t H264BitReader::ReadBitsSlow(unsigned n)
{
    if (n > 32)
        throw kBitstreamTooManyBits;
    if (n == 0)
        return 0;
    // ReadBits took every n that the current byte holds.
    uint64_t value = uint64_t(m_cur) & Mask(m_curBits);
    unsigned want  = n - m_curBits;
    m_curBits      = 0;
    while (want > 8) {
        if (m_bitsLeft < 8)
            throw kBitstreamReadPastEnd;
        LoadByte();
        // An escape dropped on the way can leave a short final byte in its place.
        if (m_curBits < 8)
            throw kBitstreamReadPastEnd;
        value = (value << 8) | m_cur;
        want -= 8;
        m_curBits = 0;
    }
    if (m_bitsLeft < want)
        throw kBitstreamReadPastEnd;
    LoadByte();
    // The valid bits of a final short byte are its low-order bits.
    unsigned valid = m_curBits;
    if (valid < want)
        throw kBitstreamReadPastEnd;
    m_curBits = valid - want;
    value     = (value << want) | ((uint32_t(m_cur) >> m_curBits) & Mask(want));
    return uint32_t(value) & Mask(n);
}

void H264BitReader::ReadBytes(uint8_t* dst, size_t n)
{
    if (m_curBits != 0) {
        for (size_t i = 0; i < n; ++i)
            dst[i] = uint8_t(ReadBits(8));
        return;
    }
    size_t i = 0;
    while (i < n) {
        if (m_bitsLeft < 8)
            throw kBitstreamReadPastEnd;
        if (m_zeros == 0 || !m_unescape) {
            // Bytes up to the next zero byte hold no emulation prevention byte: copy them whole.
            size_t avail     = n - i;
            avail            = std::min<uint64_t>(avail, m_bitsLeft / 8);
            avail            = std::min<size_t>(avail, size_t(m_end - m_p));
            const void* zero = m_unescape ? memchr(m_p, 0, avail) : nullptr;
            size_t run       = zero ? size_t(static_cast<const uint8_t*>(zero) - m_p) : avail;
            if (run > 0) {
                memcpy(dst + i, m_p, run);
                m_p += run;
                m_bitsLeft -= uint64_t(run) * 8;
                m_loadedBits += uint64_t(run) * 8;
                m_cur = dst[i + run - 1];
                i += run;
                continue;
            }
        }
        dst[i++]  = LoadByte();
        m_curBits = 0;
    }
}

uint32_t H264BitReader::PeekBits(unsigned n)
{
    auto mark  = std::make_tuple(m_p, m_bitsLeft, m_curBits, m_cur, m_zeros, m_loadedBits);
    uint32_t v = ReadBits(n);
    std::tie(m_p, m_bitsLeft, m_curBits, m_cur, m_zeros, m_loadedBits) = mark;
    return v;
}

uint32_t H264BitReader::ReadUESlow()
{
    // Leading zeros a byte at a time through the table.
    // 64 bits: a unit of 512 MiB holds 2^32 zero bits.
    uint64_t zeros = 0;
    for (;;) {
        if (m_curBits == 0) {
            if (m_bitsLeft == 0)
                throw kBitstreamReadPastEnd;
            LoadByte();
        }
        uint32_t rest = uint32_t(m_cur) & Mask(m_curBits);
        if (rest == 0) {
            zeros += m_curBits;
            m_curBits = 0;
            continue;
        }
        unsigned lz = kLeadingZeros.v[rest] - (8 - m_curBits);
        zeros += lz;
        m_curBits -= lz;
        break;
    }
    if (zeros + 1 > 32)
        throw kBitstreamTooManyBits;
    return ReadBits(unsigned(zeros) + 1) - 1;
}

int32_t H264BitReader::ReadSE()
{
    uint32_t k = ReadUE();
    if (k & 1)
        return int32_t((k >> 1) + 1);
    return -int32_t(k >> 1);
}

void H264BitReader::SkipToByteAlign()
{
    ReadBits(1);
    while (!IsByteAligned())
        ReadBits(1);
}

namespace
{
int LowestSetBit(uint32_t b)
{
    int tz = 0;
    while (!((b >> tz) & 1))
        ++tz;
    return tz;
}
} // namespace

// Walks the bytes not yet loaded once: how many escapes they hold and where the last 1 bit is.
void H264BitReader::CountAhead()
{
    if (m_lastOne != -2)
        return;
    uint64_t kept    = 0;
    unsigned zeros   = m_zeros;
    uint64_t removed = 0;
    // The last two non-zero kept bytes: a short final byte may hold its 1 bits only in the
    // high bits that lie beyond the data, and then the one before it counts.
    uint64_t lastAt = 0, prevAt = 0;
    uint8_t last = 0, prev = 0;
    for (const uint8_t* q = m_p; q < m_end; ++q) {
        uint8_t b = *q;
        if (m_unescape) {
            if (zeros >= 2 && b == 3) {
                zeros = 0;
                ++removed;
                continue;
            }
            zeros = b == 0 ? zeros + 1 : 0;
        }
        if (b) {
            prev   = last;
            prevAt = lastAt;
            last   = b;
            lastAt = kept;
        }
        ++kept;
    }
    if (!m_counted) {
        uint64_t sub = removed * 8;
        m_bitsLeft   = m_bitsLeft > sub ? m_bitsLeft - sub : 0;
        m_counted    = true;
    }
    // Valid bits of kept byte k: 8, or fewer (its low-order bits) for the final one.
    auto validOf = [&](uint64_t k) -> unsigned {
        uint64_t rest = m_bitsLeft > k * 8 ? m_bitsLeft - k * 8 : 0;
        return rest < 8 ? unsigned(rest) : 8;
    };
    int64_t lastOne = -1;
    for (int pass = 0; pass < 2 && lastOne < 0; ++pass) {
        uint8_t b      = pass == 0 ? last : prev;
        uint64_t at    = pass == 0 ? lastAt : prevAt;
        unsigned valid = b ? validOf(at) : 0;
        uint32_t bits  = uint32_t(b) & ((1u << valid) - 1);
        if (bits)
            lastOne = int64_t(m_loadedBits + at * 8 + valid - 1) - LowestSetBit(bits);
    }
    if (lastOne < 0 && m_curBits) {
        // Nothing set ahead: the current byte is the last that can hold it.
        uint32_t bits = uint32_t(m_cur) & ((1u << m_curBits) - 1);
        if (bits)
            lastOne = int64_t(m_loadedBits) - 1 - LowestSetBit(bits);
    }
    m_lastOne = lastOne < 0 ? -1 : lastOne;
}

uint64_t H264BitReader::BitsLeft()
{
    if (m_unescape && !m_counted)
        CountAhead();
    return m_bitsLeft + m_curBits;
}

bool H264BitReader::MoreRbspData()
{
    CountAhead();
    int64_t consumed = int64_t(m_loadedBits) - int64_t(m_curBits);
    return consumed < m_lastOne;
}

void H264BitReader::SkipRest()
{
    m_p        = m_end;
    m_bitsLeft = 0;
    m_curBits  = 0;
    m_lastOne  = -1;
}
