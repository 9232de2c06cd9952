#include "disc/framework/bit_buffer.h"

#include "common/file_utils.h"
#include "platform/safe_output.h"
#include "platform/win32_file.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

void CBitBuffer::Reserve(uint64_t bytes)
{
    if (m_bytes.size() < bytes)
        m_bytes.resize(size_t(bytes), 0);
}

void CBitBuffer::WriteBit(uint32_t bit) { WriteBits(1, bit); }

// The 8 bytes from byte on as one big-endian word, zeros past the end of the data.
uint64_t CBitBuffer::WindowAt(uint64_t byte) const
{
    const size_t size = m_bytes.size();
    if (byte + 8 <= size) {
        uint64_t w;
        memcpy(&w, m_bytes.data() + byte, 8);
        return FromBigEndian(w);
    }
    uint64_t w = 0;
    for (uint64_t i = 0; i < 8; ++i)
        w = w << 8 | (byte + i < size ? m_bytes[size_t(byte + i)] : 0);
    return w;
}

uint32_t CBitBuffer::ReadBits(unsigned n)
{
    if (n == 0)
        return 0;
    if (n > 32)
        n = 32;
    // At most 7 + 32 bits: one window holds them all.
    const uint64_t w    = WindowAt(m_cursor / 8);
    const unsigned skip = unsigned(m_cursor & 7);
    m_cursor += n;
    return uint32_t((w << skip) >> (64 - n));
}

void CBitBuffer::WriteBits(unsigned n, uint32_t value)
{
    if (n == 0)
        return;
    if (n > 32)
        n = 32;
    const uint64_t byte = m_cursor / 8;
    const unsigned skip = unsigned(m_cursor & 7);
    Reserve((m_cursor + n + 7) / 8);
    // The field's place in the window, and the value's low n bits moved there; the other bits
    // of the bytes it touches stay as they are.
    const uint64_t mask = (~uint64_t(0) >> (64 - n)) << (64 - skip - n);
    const uint64_t bits = (uint64_t(value) << (64 - n)) >> skip;
    if (byte + 8 <= m_bytes.size()) {
        uint64_t w;
        memcpy(&w, m_bytes.data() + byte, 8);
        w = ToBigEndian((FromBigEndian(w) & ~mask) | bits);
        memcpy(m_bytes.data() + byte, &w, 8);
    } else {
        for (unsigned i = 0; i < (skip + n + 7) / 8; ++i) {
            const unsigned shift = 56 - 8 * i;
            uint8_t& b           = m_bytes[size_t(byte + i)];
            b                    = uint8_t((b & ~(mask >> shift)) | ((bits >> shift) & 0xFF));
        }
    }
    m_cursor += n;
}

void CBitBuffer::WriteZeroBits(uint64_t n)
{
    if (Aligned() && n >= 8) {
        // Whole bytes at once: padding can be large.
        uint64_t at = m_cursor / 8, bytes = n / 8;
        if (at < m_bytes.size()) {
            uint64_t inside = m_bytes.size() - at < bytes ? m_bytes.size() - at : bytes;
            memset(m_bytes.data() + at, 0, size_t(inside));
        }
        Reserve(at + bytes);
        m_cursor += bytes * 8;
        n -= bytes * 8;
    }
    while (n >= 32) {
        WriteBits(32, 0);
        n -= 32;
    }
    WriteBits(unsigned(n), 0);
}

void CBitBuffer::ReadBytes(void* destination, size_t count)
{
    uint8_t* d    = static_cast<uint8_t*>(destination);
    uint64_t byte = m_cursor / 8;
    if (Aligned() && byte <= m_bytes.size()) {
        // Whole bytes inside the data, zeros past its end.
        size_t inside =
            size_t(m_bytes.size() - byte) < count ? size_t(m_bytes.size() - byte) : count;
        if (inside)
            memcpy(d, m_bytes.data() + byte, inside);
        if (count > inside)
            memset(d + inside, 0, count - inside);
        m_cursor += uint64_t(count) * 8;
        return;
    }
    for (size_t i = 0; i < count; ++i)
        d[i] = uint8_t(ReadBits(8));
}

void CBitBuffer::WriteBytes(const void* source, size_t count)
{
    const uint8_t* s = static_cast<const uint8_t*>(source);
    if (Aligned()) {
        Reserve(m_cursor / 8 + count);
        if (count)
            memcpy(m_bytes.data() + m_cursor / 8, s, count);
        m_cursor += uint64_t(count) * 8;
        return;
    }
    for (size_t i = 0; i < count; ++i)
        WriteBits(8, s[i]);
}

bool CBitBuffer::TakeElement()
{
    if (m_elementBudget > 0) {
        --m_elementBudget;
        return true;
    }
    if (!m_budgetReported)
        fprintf(stderr, "Too many elements: the file's structures repeat beyond its size!\n");
    m_budgetReported = true;
    return false;
}

// A navigation file is a few hundred MiB at the very most: anything larger (a device, a FIFO
// that never ends) is refused before it exhausts memory.
const uint64_t kMaxInputBytes = uint64_t(1) << 30;

int CBitBuffer::LoadFile(const char* name)
{
    int fd = CreateFileForRead(name, nullptr);
    struct stat st;
    if (fd != kInvalidFileHandle && fstat(fd, &st) != 0) {
        CloseFileHandle(fd);
        fd = kInvalidFileHandle;
    }
    if (fd == kInvalidFileHandle) {
        fprintf(stderr, "Failed to open %s\n", name);
        return 1;
    }
    m_bytes.clear();
    m_cursor      = 0;
    bool tooLarge = S_ISREG(st.st_mode) && uint64_t(st.st_size) > kMaxInputBytes;
    bool failed   = false;
    if (!tooLarge) {
        // Read to the end of the data, so pipes work and a file that changes while it is read
        // cannot make the loop spin. The first piece has the file's size (one read, no copy);
        // further pieces are joined once the end is reached.
        const size_t kPiece = 1 << 20;
        std::vector<std::vector<uint8_t>> pieces;
        uint64_t total = 0;
        size_t want    = S_ISREG(st.st_mode) ? size_t(st.st_size) + 1 : kPiece;
        for (bool end = false; !end;) {
            if (want > kMaxInputBytes + 1 - total)
                want = size_t(kMaxInputBytes + 1 - total);
            std::vector<uint8_t> piece(want);
            size_t used = 0;
            failed      = ReadChunk(fd, piece.data(), want, &used) != 0;
            end         = failed || used < want;
            piece.resize(used);
            total += used;
            pieces.push_back(std::move(piece));
            tooLarge = total > kMaxInputBytes;
            end      = end || tooLarge;
            want     = kPiece;
        }
        if (!failed && !tooLarge) {
            if (pieces.size() == 1)
                m_bytes.swap(pieces[0]);
            else {
                m_bytes.reserve(size_t(total));
                for (std::vector<uint8_t>& piece : pieces) {
                    m_bytes.insert(m_bytes.end(), piece.begin(), piece.end());
                    std::vector<uint8_t>().swap(piece);
                }
            }
        }
    }
    ::close(fd);
    if (tooLarge)
        fprintf(stderr, "%s is larger than 1 GiB: too large for a disc navigation file!\n", name);
    else if (failed)
        fprintf(stderr, "Failed to read %s\n", name);
    if (tooLarge || failed) {
        std::vector<uint8_t>().swap(m_bytes);
        return 1;
    }
    ResetBudget();
    return 0;
}

int CBitBuffer::SaveFile(const char* name)
{
    SafeOutput out;
    if (!out.Open(name)) {
        fprintf(stderr, "Failed to write %s\n", name);
        out.PrintReason(stderr);
        return 1;
    }
    if (!out.Write(m_bytes.data(), m_bytes.size()) || !out.Commit()) {
        fprintf(stderr, "Failed to write %s\n", name);
        out.PrintReason(stderr);
        return 1;
    }
    return 0;
}
