#include "disc/framework/serial.h"

#include <cinttypes>
#include <cstdio>

int EndLength(CBitBuffer& writer, uint64_t lengthPos, unsigned bits, uint32_t modulus,
              const char* name)
{
    auto contentBytes = [&] { return (writer.m_cursor - bits - lengthPos) / 8; };
    if (modulus)
        while ((bits / 8 + contentBytes()) % modulus != 0)
            writer.WriteBits(8, 0);
    uint64_t length = contentBytes();
    uint64_t limit  = bits >= 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
    if (length > limit) {
        fprintf(stderr, "%s is too long: %" PRIu64 " bytes do not fit its %u-bit length field!\n",
                name && *name ? name : "block", length, bits);
        return 1;
    }
    uint64_t end    = writer.m_cursor;
    writer.m_cursor = lengthPos;
    writer.WriteBits(bits, uint32_t(length));
    writer.m_cursor = end;
    return 0;
}

void PadToModulus(CBitBuffer& writer, uint64_t start, uint32_t modulus)
{
    uint64_t offset = (writer.m_cursor - start) / 8;
    if (writer.m_padPoints)
        writer.m_padPoints->push_back(offset);
    if (modulus == 0)
        return;
    writer.WriteZeroBits(8 * ((modulus - offset % modulus) % modulus));
}

int CheckListSize(uint64_t size, uint64_t limit, const char* what)
{
    if (size <= limit)
        return 0;
    fprintf(stderr, "Too many %s: %" PRIu64 " do not fit, at most %" PRIu64 "!\n", what, size,
            limit);
    return 1;
}

int SectionAddress(const CBitBuffer& writer, uint64_t fileStart, uint32_t& address,
                   const char* fileKind)
{
    uint64_t offset = (writer.m_cursor - fileStart) / 8;
    if (offset > 0xFFFFFFFFull) {
        fprintf(stderr, "%s is too long: a section starts beyond 32-bit addresses!\n", fileKind);
        return 1;
    }
    address = uint32_t(offset);
    return 0;
}
