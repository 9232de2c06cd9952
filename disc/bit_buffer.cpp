#include "disc/bit_buffer.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>

void CBitBuffer::Reserve(uint64_t bytes)
{
    if (m_bytes.size() < bytes)
        m_bytes.resize(size_t(bytes), 0);
}

void CBitBuffer::WriteBit(uint32_t bit)
{
    Reserve((m_cursor + 8) / 8);
    uint8_t mask = uint8_t(0x80u >> (m_cursor & 7));
    if (bit)
        m_bytes[size_t(m_cursor / 8)] |= mask;
    else
        m_bytes[size_t(m_cursor / 8)] &= uint8_t(~mask);
    ++m_cursor;
}

uint32_t CBitBuffer::ReadBits(unsigned n)
{
    if (n == 0)
        return 0;
    if (n > 32)
        n = 32;
    uint64_t byte = m_cursor / 8;
    if (Aligned() && (n & 7) == 0 && byte + n / 8 <= m_bytes.size()) {
        uint32_t v = 0;
        for (unsigned i = 0; i < n / 8; ++i)
            v = (v << 8) | m_bytes[size_t(byte + i)];
        m_cursor += n;
        return v;
    }
    uint32_t v = 0;
    for (unsigned i = 0; i < n; ++i, ++m_cursor) {
        uint64_t at = m_cursor / 8;
        uint32_t b  = at < m_bytes.size() ? (m_bytes[size_t(at)] >> (7 - (m_cursor & 7))) & 1 : 0;
        v           = (v << 1) | b;
    }
    return v;
}

void CBitBuffer::WriteBits(unsigned n, uint32_t value)
{
    if (n == 0)
        return;
    if (n > 32)
        n = 32;
    Reserve((m_cursor + n + 7) / 8);
    if (Aligned() && (n & 7) == 0) {
        size_t byte = size_t(m_cursor / 8);
        for (unsigned i = n / 8; i > 0; --i)
            m_bytes[byte++] = uint8_t(value >> (8 * (i - 1)));
        m_cursor += n;
        return;
    }
    for (unsigned i = n; i > 0; --i)
        WriteBit((value >> (i - 1)) & 1);
}

void CBitBuffer::WriteZeroBits(uint64_t n)
{
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

int CBitBuffer::LoadFile(const char* name)
{
    FILE* f = fopen(name, "rb");
    struct stat st;
    if (f && (fstat(fileno(f), &st) != 0 || S_ISDIR(st.st_mode))) {
        fclose(f);
        f = nullptr;
    }
    if (!f) {
        fprintf(stderr, "Failed to open %s\n", name);
        return 1;
    }
    m_bytes.clear();
    // Read to the end of the data in 4096-byte pieces: this also works for pipes, and a file
    // that shrinks while it is read cannot make the loop spin.
    uint8_t piece[4096];
    for (;;) {
        size_t got = fread(piece, 1, sizeof piece, f);
        m_bytes.insert(m_bytes.end(), piece, piece + got);
        if (got < sizeof piece)
            break;
    }
    bool failed = ferror(f) != 0;
    fclose(f);
    if (failed) {
        fprintf(stderr, "Failed to read %s\n", name);
        m_bytes.clear();
        return 1;
    }
    m_cursor = 0;
    ResetBudget();
    return 0;
}

int CBitBuffer::SaveFile(const char* name)
{
    FILE* f = fopen(name, "wb");
    if (!f) {
        fprintf(stderr, "Failed to write %s\n", name);
        return 1;
    }
    bool failed = false;
    for (size_t at = 0; at < m_bytes.size() && !failed; at += 4096) {
        size_t n = m_bytes.size() - at < 4096 ? m_bytes.size() - at : 4096;
        failed   = fwrite(m_bytes.data() + at, 1, n, f) != n;
    }
    failed = fflush(f) != 0 || failed;
    failed = fclose(f) != 0 || failed;
    if (failed) {
        fprintf(stderr, "Failed to write %s\n", name);
        return 1;
    }
    return 0;
}
