#include "disc/framework/root.h"

#include "disc/framework/extension_data.h"

#include <cstdio>
#include <cstring>

namespace ser
{

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

void WriteJsonVersion(JWriter& w, const char version[4])
{
    w.Key("version_number");
    w.String(version[0] ? version : "0200", 4);
}

Section InPlace(CIBDSerial& block)
{
    Section s;
    s.block = &block;
    return s;
}

Section At(CIBDSerial& block, uint32_t& address)
{
    Section s = InPlace(block);
    s.address = &address;
    return s;
}

Section InPlaceAt(CIBDSerial& block, uint32_t& address)
{
    Section s     = At(block, address);
    s.readInPlace = true;
    return s;
}

Section Extension(CExtensionData& block, uint32_t& address, bool alwaysBuilt)
{
    Section s;
    s.block       = &block;
    s.address     = &address;
    s.extension   = &block;
    s.alwaysBuilt = alwaysBuilt;
    return s;
}

void ClearRoot(const Layout& layout)
{
    memset(layout.version, 0, 4);
    for (uint32_t* address : layout.addresses)
        *address = 0;
    memset(layout.reserved, 0, layout.reservedSize);
    for (const Section& s : layout.sections)
        if (s.block)
            s.block->Clear();
}

int ParseRoot(CBitBuffer& bb, const Layout& layout)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code
    int r                    = ParseVersion(bb, layout.version);
    if (r)
        return r;
    for (uint32_t* address : layout.addresses)
        *address = bb.ReadBits(32);
    bb.ReadBytes(layout.reserved, layout.reservedSize);
    for (const Section& s : layout.sections) {
        const uint32_t address = s.address ? *s.address : 0;
        if (!s.block) {
            r = s.parse(bb, fileStart, address);
        } else if (s.address && !address) {
            continue; // absent: stays cleared
        } else {
            if (s.address && !s.readInPlace)
                bb.m_cursor = fileStart + 8ull * address;
            r = s.extension ? s.extension->ParseWithContext(bb, layout.context)
                            : s.block->Parse(bb);
        }
        if (r)
            return r;
    }
    return 0;
}

int BuildRoot(CBitBuffer& bb, const Layout& layout, uint32_t padding)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code the container has written
    BuildVersion(bb, layout.version);
    const uint64_t addresses = bb.m_cursor;
    for (uint32_t* address : layout.addresses)
        bb.WriteBits(32, *address); // placeholders
    bb.WriteBytes(layout.reserved, layout.reservedSize);
    for (const Section& s : layout.sections) {
        int r = 0;
        if (s.extension && !s.alwaysBuilt && s.extension->m_entries.empty()) {
            *s.address = 0; // no entries: the file has none
            continue;
        }
        if (s.address)
            r = SectionAddress(bb, fileStart, *s.address, layout.fileKind);
        if (!r)
            r = s.block ? s.block->Build(bb) : s.build(bb, fileStart, s.address ? *s.address : 0);
        if (r)
            return r;
        if (layout.padded)
            PadToModulus(bb, fileStart, padding);
    }
    const uint64_t end = bb.m_cursor;
    bb.m_cursor        = addresses;
    for (uint32_t* address : layout.addresses)
        bb.WriteBits(32, *address);
    bb.m_cursor = end;
    return 0;
}

int ReadRoot(JDoc& doc, JValue& object, const Layout& layout)
{
    int r = ReadJsonVersion(object, layout.version);
    if (r)
        return r;
    ReadJsonArea(object, "reserved_header", layout.reserved, layout.reservedSize);
    for (const Section& s : layout.sections)
        if (s.block && (r = s.block->ReadJSON(doc, object)) != 0)
            return r;
    return 0;
}

void WriteRoot(JWriter& w, const Layout& layout)
{
    WriteJsonVersion(w, layout.version);
    WriteJsonArea(w, "reserved_header", layout.reserved, layout.reservedSize);
    for (const Section& s : layout.sections)
        if (s.block)
            s.block->WriteJSON(w);
}

} // namespace ser
