#include "disc/framework/serial.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

void CIBDSerial::BeginSection(CBitBuffer& writer, uint32_t bits)
{
    m_lengthPos  = writer.m_cursor;
    m_lengthBits = bits;
    writer.WriteBits(bits, 0);
}

static void AppendZeroByte(CBitBuffer& writer) { writer.WriteBits(8, 0); }

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

int CIBDSerial::EndSection(CBitBuffer& writer, uint32_t modulus, const char* blockName)
{
    auto contentBytes = [&] { return (writer.m_cursor - m_lengthBits - m_lengthPos) / 8; };
    if (modulus)
        while ((m_lengthBits / 8 + contentBytes()) % modulus != 0)
            AppendZeroByte(writer);
    uint64_t length = contentBytes();
    uint64_t limit  = m_lengthBits >= 32 ? 0xFFFFFFFFull : (1ull << m_lengthBits) - 1;
    if (length > limit) {
        if (!blockName || !*blockName)
            blockName = *m_jsonName ? m_jsonName : "block";
        fprintf(stderr, "%s is too long: %" PRIu64 " bytes do not fit its %u-bit length field!\n",
                blockName, length, m_lengthBits);
        return 1;
    }
    uint64_t end    = writer.m_cursor;
    writer.m_cursor = m_lengthPos;
    writer.WriteBits(m_lengthBits, uint32_t(length));
    writer.m_cursor = end;
    return 0;
}

void CIBDSerial::PadToModulus(CBitBuffer& writer)
{
    uint64_t offset = (writer.m_cursor - m_startPos) / 8;
    if (writer.m_padPoints)
        writer.m_padPoints->push_back(offset);
    if (m_padding == 0)
        return;
    writer.WriteZeroBits(8 * ((m_padding - offset % m_padding) % m_padding));
}

JValue* CIBDSerial::FindOwnMember(JValue& parent) { return GetJsonMember(m_jsonName, parent); }

void CIBDSerial::ReadLength(CBitBuffer& reader, uint32_t bits)
{
    m_lengthBits = bits;
    m_lengthRead = reader.ReadBits(bits);
    m_lengthPos  = reader.m_cursor;
}

static bool KnownVersion(const char v[4])
{
    return memcmp(v, "0100", 4) == 0 || memcmp(v, "0200", 4) == 0 || memcmp(v, "0300", 4) == 0;
}

static int CheckVersion(const char version[4])
{
    if (KnownVersion(version))
        return 0;
    fprintf(stderr, "Unknown version_number!\n");
    fprintf(stderr, "found    \"%.4s\"\n", version);
    fprintf(stderr, "expected \"%.4s\"\n", "0200");
    return 1;
}

int ParseVersion(CBitBuffer& reader, char version[4])
{
    reader.ReadBytes(version, 4);
    return CheckVersion(version);
}

int ReadJsonVersion(JValue& object, char version[4])
{
    uint32_t flags   = 0;
    const char* text = ReadJsonString("version_number", object, &flags);
    if (!text) {
        fprintf(stderr, "failed to read version_number!\n");
        return 1;
    }
    memset(version, 0, 4);
    for (int i = 0; i < 4 && text[i]; ++i)
        version[i] = text[i];
    return CheckVersion(version);
}

void BuildVersion(CBitBuffer& writer, const char version[4])
{
    writer.WriteBytes(version[0] ? version : "0200", 4);
}

void WriteJsonVersion(JDoc& doc, JValue& object, const char version[4])
{
    AddJsonString(doc, object, "version_number", version[0] ? version : "0200", 4);
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
