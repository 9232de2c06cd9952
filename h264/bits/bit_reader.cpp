// Bit reading over one unit or payload: the cached fast path, Exp-Golomb codes, emulation
// prevention removed as bytes are loaded, and the list budget of a unit.
#include "h264/bits/bit_reader.h"

#include <algorithm>
#include <cstring>
#include <tuple>

namespace
{

inline uint32_t Mask(unsigned n) { return n >= 32 ? 0xFFFFFFFFu : (1u << n) - 1; }

} // namespace

void H264BitReader::Start(const uint8_t* data, size_t byteCount, uint64_t bitCount)
{
    m_p             = data;
    m_end           = data + byteCount;
    m_bitsLeft      = bitCount;
    m_cache         = 0;
    m_cacheBits     = 0;
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
    m_cache         = other.m_cache;
    m_cacheBits     = other.m_cacheBits;
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
    m_cache     = 0;
    m_cacheBits = 0;
}

void RemoveEmulationPrevention(H264BitReader& reader)
{
    reader.m_unescape = true;
    reader.m_zeros    = 0;
    reader.m_counted  = false;
    reader.m_lastOne  = -2;
}

uint8_t H264BitReader::LoadByte()
{
    if (m_p == m_end || m_bitsLeft == 0)
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
    // The valid bits of a final short byte are its low-order bits.
    unsigned valid = m_bitsLeft < 8 ? unsigned(m_bitsLeft) : 8;
    m_bitsLeft -= valid;
    m_loadedBits += valid;
    m_cache |= uint64_t(b & Mask(valid)) << (64 - m_cacheBits - valid);
    m_cacheBits += valid;
    return b;
}

namespace
{
constexpr uint64_t kLow7 = 0x7F7F7F7F7F7F7F7Full;
constexpr uint64_t kHigh = 0x8080808080808080ull;
// The high bit of each byte of x that is not zero.
inline uint64_t NonZeroBytes(uint64_t x) { return (((x & kLow7) + kLow7) | x) & kHigh; }
} // namespace

void H264BitReader::Refill()
{
    // Whole bytes to fill the cache, in one piece when none of them can be an escape (only a
    // 03 byte can be): then the zero run behind them is all that changes. Data that does not
    // end on a byte boundary (never a NAL unit) loads a byte at a time: which byte is short
    // depends on when the escapes ahead are counted.
    size_t avail = size_t(m_end - m_p);
    unsigned k   = (64 - m_cacheBits) / 8;
    uint64_t x   = 0;
    if (avail >= 8 && m_bitsLeft >= 64 && (m_bitsLeft & 7) == 0) {
        memcpy(&x, m_p, 8);
        // The k leading bytes, right-aligned (k is 1 to 8).
        x = __builtin_bswap64(x) >> (64 - 8 * k);
    } else {
        k = unsigned(std::min<uint64_t>({k, avail, m_bitsLeft / 8}));
        if (k == 0 || (m_bitsLeft & 7) != 0)
            return void(LoadByte());
        for (unsigned i = 0; i < k; ++i)
            x = x << 8 | m_p[i];
    }
    if (m_unescape) {
        // The bytes above the k taken are zero in x: they are not 03, and not a zero run's end.
        if (~NonZeroBytes(x ^ 0x0303030303030303ull) & kHigh)
            return void(LoadByte());
        uint64_t nonZero = NonZeroBytes(x);
        m_zeros          = nonZero ? unsigned(__builtin_ctzll(nonZero)) / 8 : m_zeros + k;
    }
    m_cache |= x << (64 - m_cacheBits - 8 * k);
    m_cacheBits += 8 * k;
    m_p += k;
    m_bitsLeft -= 8 * k;
    m_loadedBits += 8 * k;
}

uint32_t H264BitReader::ReadBitsSlow(unsigned n)
{
    if (n > 32)
        throw kBitstreamTooManyBits;
    if (n == 0)
        return 0;
    while (m_cacheBits < n)
        Refill();
    return Take(n);
}

void H264BitReader::ReadBytes(uint8_t* dst, size_t n)
{
    size_t i = 0;
    if (m_cacheBits % 8 != 0) {
        for (; i < n; ++i)
            dst[i] = uint8_t(ReadBits(8));
        return;
    }
    while (i < n && m_cacheBits >= 8)
        dst[i++] = uint8_t(Take(8));
    // The cache is empty from here on.
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
                i += run;
                continue;
            }
        }
        // The byte as stored, as the whole of it is taken.
        dst[i++]    = LoadByte();
        m_cache     = 0;
        m_cacheBits = 0;
    }
}

uint32_t H264BitReader::PeekBits(unsigned n)
{
    auto mark  = std::make_tuple(m_p, m_bitsLeft, m_cache, m_cacheBits, m_zeros, m_loadedBits);
    uint32_t v = ReadBits(n);
    std::tie(m_p, m_bitsLeft, m_cache, m_cacheBits, m_zeros, m_loadedBits) = mark;
    return v;
}

uint32_t H264BitReader::ReadUESlow()
{
    // Leading zeros a cache at a time.
    // 64 bits: a unit of 512 MiB holds 2^32 zero bits.
    uint64_t zeros = 0;
    for (;;) {
        if (m_cacheBits == 0)
            Refill();
        if (m_cache == 0) {
            zeros += m_cacheBits;
            m_cacheBits = 0;
            continue;
        }
        unsigned lz = unsigned(__builtin_clzll(m_cache));
        zeros += lz;
        m_cache <<= lz;
        m_cacheBits -= lz;
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
    // The rest of the byte at once when it is cached (it is then no short final byte).
    unsigned rest = unsigned(8 - (m_loadedBits - m_cacheBits) % 8) % 8;
    if (rest <= m_cacheBits) {
        m_cache <<= rest;
        m_cacheBits -= rest;
        return;
    }
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
    const uint8_t* q = m_p;
    size_t n         = size_t(m_end - m_p);
    // Zero bytes are always kept, so a 03 is an escape exactly when the two bytes before it
    // are zeros (those before m_p counted in m_zeros): the escapes are found by their 03.
    auto dropped = [&](size_t i) {
        if (!m_unescape || q[i] != 3)
            return false;
        unsigned run = 0;
        while (run < 2 && run < i && q[i - 1 - run] == 0)
            ++run;
        if (run == i)
            run += m_zeros;
        return run >= 2;
    };
    uint64_t removed = 0;
    for (size_t i = 0; m_unescape && i < n;) {
        const void* hit = memchr(q + i, 3, n - i);
        if (!hit)
            break;
        i = size_t(static_cast<const uint8_t*>(hit) - q);
        removed += dropped(i);
        ++i;
    }
    // The last two non-zero kept bytes, found from the end: a short final byte may hold its
    // 1 bits only in the high bits that lie beyond the data, and then the one before it counts.
    uint64_t lastAt = 0, prevAt = 0;
    uint8_t last = 0, prev = 0;
    uint64_t droppedBehind = 0; // escapes after the byte looked at
    auto zeroWordBefore    = [&](size_t i) {
        uint64_t w = 1;
        if (i >= 8)
            memcpy(&w, q + i - 8, 8);
        return w == 0;
    };
    for (size_t i = n, found = 0; i > 0 && found < 2;) {
        if (zeroWordBefore(i)) {
            i -= 8; // a long zero tail a word at a time
            continue;
        }
        --i;
        if (q[i] == 0)
            continue;
        if (dropped(i)) {
            ++droppedBehind;
            continue;
        }
        uint64_t at = i - (removed - droppedBehind);
        if (found++ == 0) {
            last   = q[i];
            lastAt = at;
        } else {
            prev   = q[i];
            prevAt = at;
        }
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
    if (lastOne < 0 && m_cache) {
        // Nothing set ahead: the cached bits are the last that can hold it.
        int64_t first = int64_t(m_loadedBits - m_cacheBits);
        lastOne       = first + 63 - __builtin_ctzll(m_cache);
    }
    m_lastOne = lastOne < 0 ? -1 : lastOne;
}

uint64_t H264BitReader::BitsLeft()
{
    if (m_unescape && !m_counted)
        CountAhead();
    return m_bitsLeft + m_cacheBits;
}

bool H264BitReader::MoreRbspData()
{
    CountAhead();
    int64_t consumed = int64_t(m_loadedBits) - int64_t(m_cacheBits);
    return consumed < m_lastOne;
}

void H264BitReader::SkipRest()
{
    m_p         = m_end;
    m_bitsLeft  = 0;
    m_cache     = 0;
    m_cacheBits = 0;
    m_lastOne   = -1;
}
