#include "disc/framework/extension_data.h"

#include <cstdio>
#include <cstring>

namespace
{

struct BlockKind {
    uint32_t id1, id2;
    const char* key;
    const char* altKey; // a second key that also selects the block, or nullptr
};

const BlockKind kBlockKinds[] = {
    {1, 1, "pip_metadata", nullptr},
    // An LPCM down-mix block without coefficients still has its stuffing byte.
    {1, 2, "HDMV_LPCM_down_mix_coefficient", "HDMV_LPCM_down_mix_coefficient_stuffing_byte"},
    {2, 1, "STN_Table_SS", nullptr},
    {2, 2, "SubPath_extension", nullptr},
    {2, 3, "active_video_window", nullptr},
    {2, 4, "Extent_Start_Point", nullptr},
    {2, 5, "ProgramInfo_SS", nullptr},
    {2, 6, "CPI_SS", nullptr},
};

const BlockKind* FindKind(uint32_t id1, uint32_t id2)
{
    for (const BlockKind& k : kBlockKinds)
        if (k.id1 == id1 && k.id2 == id2)
            return &k;
    return nullptr;
}

} // namespace

CExtDataEntry::CExtDataEntry()
{
    Extent_Start_Point.m_jsonName = "Extent_Start_Point";
    ProgramInfo_SS.m_jsonName     = "ProgramInfo_SS";
    CPI_SS.m_jsonName             = "CPI_SS";
}

void CExtDataEntry::Clear()
{
    ID1 = ID2 = 0;
    m_data.clear();
}

CIBDSerial* CExtDataEntry::Block()
{
    if (ID1 > 0xFFFF || ID2 > 0xFFFF)
        return nullptr;
    switch (ID1 << 16 | ID2) {
    case 0x10001:
        return &pip_metadata;
    case 0x10002:
        return &HDMV_LPCM_down_mix_coefficient;
    case 0x20001:
        return &STN_Table_SS;
    case 0x20002:
        return &SubPath_extension;
    case 0x20003:
        return &active_video_window;
    case 0x20004:
        return &Extent_Start_Point;
    case 0x20005:
        return &ProgramInfo_SS;
    case 0x20006:
        return &CPI_SS;
    default:
        return nullptr;
    }
}

const char* CExtDataEntry::BlockKey() const
{
    const BlockKind* k = FindKind(ID1, ID2);
    return k ? k->key : nullptr;
}

int CExtDataEntry::ReadJSON(JDoc& doc, JValue& entry)
{
    Clear();
    uint32_t flags = 0;
    ID1            = ReadJsonUint("ID1", entry, &flags);
    ID2            = ReadJsonUint("ID2", entry, &flags);
    m_unknownKind  = 0;

    const BlockKind* kind = FindKind(ID1, ID2);
    CIBDSerial* block     = Block();
    if (kind && block &&
        (GetJsonMember(kind->key, entry) || (kind->altKey && GetJsonMember(kind->altKey, entry))))
        return block->ReadJSON(doc, entry);

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
        m_data.push_back(uint8_t(byte.IsUint64()  ? byte.GetUint64()
                                 : byte.IsInt64() ? uint64_t(byte.GetInt64())
                                                  : uint64_t(int64_t(byte.GetDouble()))));
        ++index;
    }
    return int(flags);
}

int CExtDataEntry::WriteJSON(JDoc& doc, JValue& entry)
{
    AddJsonUint(doc, entry, "ID1", ID1);
    AddJsonUint(doc, entry, "ID2", ID2);
    CIBDSerial* block = Block();
    if (!m_unknownKind && block)
        return block->WriteJSON(doc, entry);
    JValue data(rapidjson::kArrayType);
    data.Reserve(rapidjson::SizeType(m_data.size()), doc.GetAllocator());
    for (uint8_t b : m_data)
        data.PushBack(unsigned(b), doc.GetAllocator());
    entry.AddMember("data_block", data, doc.GetAllocator());
    return 0;
}

void CExtDataEntry::Print(int indent)
{
    CIBDSerial* block = Block();
    if (!m_unknownKind && block)
        block->Print(indent);
}

int CExtensionData::ParseWithContext(CBitBuffer& bb, CPlayList* context)
{
    Clear();
    ReadLength(bb, 32);
    const uint64_t start = m_lengthPos - 32; // addresses count from the length field
    const uint64_t end   = m_lengthPos + 8ull * m_lengthRead;
    if (m_lengthRead != 0) {
        bb.ReadBits(32); // data_block_start_address: each entry has its own
        bb.SkipBits(24);
        uint32_t count = bb.ReadBits(8);
        for (uint32_t i = 0; i < count; ++i) {
            if (!bb.TakeElement())
                return 1;
            CExtDataEntry entry;
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
        bb.m_cursor       = blockPos;
        CIBDSerial* block = e.Block();
        int r             = 0;
        if (block && e.ID1 == 2 && e.ID2 == 1) {
            // STN_table_SS only means something beside the playlist it extends.
            if (context)
                r = e.STN_Table_SS.ParseWithContext(bb, context);
            else
                e.m_unknownKind = 1;
        } else if (block)
            r = block->Parse(bb);
        else
            e.m_unknownKind = 1;
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
    BeginSection(bb, 32);
    const uint64_t start = m_lengthPos;
    if (m_entries.empty())
        return EndSection(bb, 2, "ExtensionData");
    if (CheckListSize(m_entries.size(), 255, "ExtensionData entries"))
        return 1;

    bb.m_cursor = start + 96ull * (m_entries.size() + 1);
    int result  = 0;
    for (CExtDataEntry& e : m_entries) {
        while (((bb.m_cursor - start) / 8) % 4 != 0)
            bb.WriteBits(8, 0);
        uint64_t blockStart = (bb.m_cursor - start) / 8;
        CIBDSerial* block   = e.Block();
        int r               = 0;
        if (!e.m_unknownKind && block)
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
    int r       = EndSection(bb, 2, "ExtensionData");
    return result ? result : r;
}

int CExtensionData::ReadJSON(JDoc& doc, JValue& parent)
{
    Clear();
    JValue* member = FindOwnMember(parent);
    if (!member)
        return 0;
    return ReadJSONArray(doc, member, m_entries);
}

int CExtensionData::WriteJSON(JDoc& doc, JValue& parent)
{
    if (m_entries.empty())
        return 0;
    JValue array(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &array, m_entries);
    parent.AddMember(rapidjson::StringRef(m_jsonName), array, doc.GetAllocator());
    return r;
}

void CExtensionData::Print(int indent)
{
    for (CExtDataEntry& e : m_entries)
        e.Print(indent);
}

int CExtensionData::ParseAt(CBitBuffer& bb, uint64_t fileStart, uint32_t address,
                            CPlayList* context)
{
    if (!address)
        return 0;
    bb.m_cursor = fileStart + 8ull * address;
    return ParseWithContext(bb, context);
}

int CExtensionData::BuildSection(CIBDSerial& root, CBitBuffer& bb, uint64_t fileStart,
                                 uint32_t& address, const char* fileKind)
{
    address = 0;
    if (m_entries.empty())
        return 0;
    int r = SectionAddress(bb, fileStart, address, fileKind);
    if (!r)
        r = Build(bb);
    if (!r)
        root.PadToModulus(bb);
    return r;
}
