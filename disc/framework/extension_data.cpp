#include "disc/framework/extension_data.h"

#include <cstdio>
#include <cstring>

CExtDataEntry::CExtDataEntry(const CExtDataEntry& other) : CIBDSerial(other) { *this = other; }

CExtDataEntry& CExtDataEntry::operator=(const CExtDataEntry& other)
{
    if (this == &other)
        return *this;
    ID1                      = other.ID1;
    ID2                      = other.ID2;
    data_block_start_address = other.data_block_start_address;
    data_block_length        = other.data_block_length;
    m_unknownKind            = other.m_unknownKind;
    m_data                   = other.m_data;
    m_kinds                  = other.m_kinds;
    m_blockKind              = other.m_blockKind;
    m_block.reset(other.m_block ? other.m_blockKind->make(other.m_block.get()) : nullptr);
    return *this;
}

void CExtDataEntry::Clear()
{
    ID1 = ID2 = 0;
    m_data.clear();
}

const ExtBlockKind* CExtDataEntry::Kind() const
{
    for (const ExtBlockKind* k = m_kinds; k && k->key; ++k)
        if (k->ID1 == ID1 && k->ID2 == ID2)
            return k;
    return nullptr;
}

CIBDSerial* CExtDataEntry::Block()
{
    const ExtBlockKind* kind = Kind();
    if (!kind)
        return nullptr;
    if (m_blockKind != kind) {
        m_block.reset(kind->make(nullptr));
        m_blockKind = kind;
    }
    return m_block.get();
}

int CExtDataEntry::ReadJSON(JDoc& doc, JValue& entry)
{
    Clear();
    uint32_t flags = 0;
    ID1            = ReadJsonUint("ID1", entry, &flags);
    ID2            = ReadJsonUint("ID2", entry, &flags);
    m_unknownKind  = 0;

    const ExtBlockKind* kind = Kind();
    if (kind &&
        (GetJsonMember(kind->key, entry) || (kind->altKey && GetJsonMember(kind->altKey, entry))))
        return Block()->ReadJSON(doc, entry);

    m_unknownKind = 1;
    JValue* data  = GetJsonMember("data_block", entry);
    if (!data || !data->IsArray()) {
        fprintf(stderr, "failed to read ExtDataEntry.data_block\n");
        return 1;
    }
    int index = 0;
    for (JValue& byte : data->GetArray()) {
        if (!byte.IsNumber()) {
            fprintf(stderr, "failed to read ExtDataEntry.data_block[%d]\n", index);
            return 1;
        }
        m_data.push_back(uint8_t(JsonLowBits(byte)));
        ++index;
    }
    return int(flags);
}

void CExtDataEntry::WriteJSON(JWriter& w)
{
    w.Key("ID1");
    w.Uint(ID1);
    w.Key("ID2");
    w.Uint(ID2);
    CIBDSerial* block = m_unknownKind ? nullptr : Block();
    if (block)
        return block->WriteJSON(w);
    w.Key("data_block");
    w.StartArray();
    for (uint8_t b : m_data)
        w.Uint(b);
    w.EndArray();
}

void CExtDataEntry::Print(int indent)
{
    CIBDSerial* block = m_unknownKind ? nullptr : Block();
    if (block)
        block->Print(indent);
}

int CExtensionData::ParseWithContext(CBitBuffer& bb, CPlayList* context)
{
    Clear();
    const uint64_t start  = bb.m_cursor; // addresses count from the length field
    const uint32_t length = bb.ReadBits(32);
    const uint64_t end    = bb.m_cursor + 8ull * length;
    if (length != 0) {
        bb.ReadBits(32); // data_block_start_address: each entry has its own
        bb.SkipBits(24);
        uint32_t count = bb.ReadBits(8);
        for (uint32_t i = 0; i < count; ++i) {
            if (!bb.TakeElement())
                return 1;
            CExtDataEntry entry(m_kinds);
            entry.ID1                      = bb.ReadBits(16);
            entry.ID2                      = bb.ReadBits(16);
            entry.data_block_start_address = bb.ReadBits(32);
            entry.data_block_length        = bb.ReadBits(32);
            m_entries.push_back(std::move(entry));
        }
    }

    int result = 0;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        CExtDataEntry& e  = m_entries[i];
        uint64_t blockPos = start + 8ull * e.data_block_start_address;
        uint64_t blockEnd = blockPos + 8ull * e.data_block_length;
        // The data block must lie inside this block and inside the file: its length field
        // alone must never decide how much memory an entry takes.
        if (blockEnd > end || blockEnd > bb.SizeBits()) {
            fprintf(stderr,
                    "ExtensionData entry[%u] (%u, %u) lies outside the ExtensionData block!\n",
                    unsigned(i), e.ID1, e.ID2);
            return 1;
        }
        bb.m_cursor              = blockPos;
        const ExtBlockKind* kind = e.Kind();
        int r                    = 0;
        if (!kind || (kind->parseWith && !context))
            e.m_unknownKind = 1; // a block parsed beside its playlist means nothing without it
        else if (kind->parseWith)
            r = kind->parseWith(*e.Block(), bb, context);
        else
            r = e.Block()->Parse(bb);
        if (r && !result)
            result = r;
        bb.m_cursor = blockPos;
        e.m_data.resize(e.data_block_length);
        bb.ReadBytes(e.m_data.data(), e.m_data.size());
    }
    bb.m_cursor = end;
    return result;
}

int CExtensionData::Build(CBitBuffer& bb)
{
    const uint64_t start = bb.m_cursor;
    bb.WriteBits(32, 0);
    if (m_entries.empty())
        return EndLength(bb, start, 32, 2, kJsonName);
    if (CheckListSize(m_entries.size(), 255, "ExtensionData entries"))
        return 1;

    bb.m_cursor = start + 96ull * (m_entries.size() + 1);
    int result  = 0;
    for (CExtDataEntry& e : m_entries) {
        while (((bb.m_cursor - start) / 8) % 4 != 0)
            bb.WriteBits(8, 0);
        uint64_t blockStart = (bb.m_cursor - start) / 8;
        CIBDSerial* block   = e.m_unknownKind ? nullptr : e.Block();
        int r               = 0;
        if (block)
            r = block->Build(bb);
        else
            bb.WriteBytes(e.m_data.data(), e.m_data.size());
        if (r && !result)
            result = r;
        while ((bb.m_cursor - start) % 8 != 0)
            bb.WriteBit(0);
        uint64_t blockEnd = (bb.m_cursor - start) / 8;
        if (blockEnd > 0xFFFFFFFFull) {
            fprintf(stderr, "ExtensionData is too long: its blocks do not fit 32-bit addresses!\n");
            return 1;
        }
        e.data_block_start_address = uint32_t(blockStart);
        e.data_block_length        = uint32_t(blockEnd - blockStart);
    }

    uint64_t end = bb.m_cursor;
    bb.m_cursor  = start + 32;
    bb.WriteBits(32, m_entries.front().data_block_start_address);
    bb.WriteBits(24, 0);
    bb.WriteBits(8, uint32_t(m_entries.size()));
    for (CExtDataEntry& e : m_entries) {
        bb.WriteBits(16, e.ID1);
        bb.WriteBits(16, e.ID2);
        bb.WriteBits(32, e.data_block_start_address);
        bb.WriteBits(32, e.data_block_length);
    }
    bb.m_cursor = end;
    int r       = EndLength(bb, start, 32, 2, kJsonName);
    return result ? result : r;
}

int CExtensionData::ReadJSON(JDoc& doc, JValue& parent)
{
    Clear();
    JValue* member = GetJsonMember(kJsonName, parent);
    if (!member)
        return 0;
    return ReadJSONArray(doc, member, m_entries, CExtDataEntry(m_kinds));
}

void CExtensionData::WriteJSON(JWriter& w)
{
    if (m_entries.empty())
        return;
    w.Key(kJsonName);
    WriteJSONArray(w, m_entries);
}

void CExtensionData::Print(int indent)
{
    for (CExtDataEntry& e : m_entries)
        e.Print(indent);
}
