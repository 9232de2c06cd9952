#include "disc/mpls/pip_metadata.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

// ---- one entry --------------------------------------------------------------------------

template <class IO> void CPIPMetaDataEntry::Fields(IO& io)
{
    io.U(32, FLD(pip_metadata_time_stamp));
    io.U(12, FLD(pip_horizontal_position));
    io.U(12, FLD(pip_vertical_position));
    io.U(4, FLD(pip_scale));
    io.Opt(4, FLD(reserved01));
}

BDMV_ELEMENT_OPERATIONS(CPIPMetaDataEntry)

// ---- header -----------------------------------------------------------------------------

template <class IO> void CMetaDataBlockHeader::Fields(IO& io)
{
    io.U(16, FLD(ref_to_PlayItem_id));
    io.U(8, FLD(ref_to_secondary_video_stream_id));
    io.Opt(8, FLD(reserved01));
    io.U(4, FLD(pip_timeline_type));
    // These two keep their JSON value and build from its lowest bit (2 builds 0).
    io.U(1, FLD(is_luma_key));
    io.U(1, FLD(trick_playing_flag));
    io.Opt(10, FLD(reserved02));
    io.Opt(8, FLD(reserved03));
    io.U(8, FLD(upper_limit_luma_key));
    io.Opt(16, FLD(reserved04));
    io.Opt(32, FLD(metadata_block_data_start_address));
}

BDMV_ELEMENT_OPERATIONS(CMetaDataBlockHeader)

// ---- data -------------------------------------------------------------------------------

int CMetaDataBlockData::ParseWithin(CBitBuffer& bb, uint64_t limit)
{
    Clear();
    uint32_t count = bb.ReadBits(16);
    if (bb.m_cursor + 64ull * count > limit)
        return 1;
    for (uint32_t i = 0; i < count; ++i) {
        if (!bb.TakeElement())
            return 1;
        CPIPMetaDataEntry e;
        e.Parse(bb);
        m_entries.push_back(e);
    }
    return 0;
}

int CMetaDataBlockData::Build(CBitBuffer& bb)
{
    if (CheckListSize(m_entries.size(), 0xFFFF, "pip_metadata entries"))
        return 1;
    bb.WriteBits(16, uint32_t(m_entries.size()));
    for (CPIPMetaDataEntry& e : m_entries)
        e.Build(bb);
    return 0;
}

int CMetaDataBlockData::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    // A block without entries is written with an empty list; older output left the member
    // out, so a missing one also means no entries.
    JValue* array = GetJsonMember("pip_metadata_entries", object);
    if (!array)
        return 0;
    int r = ReadJSONArray(doc, array, m_entries);
    if (r)
        fprintf(stderr, "Failed to read pip_metadata_entries!\n");
    return r;
}

int CMetaDataBlockData::WriteJSON(JDoc& doc, JValue& object)
{
    JValue array(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &array, m_entries);
    if (r) {
        fprintf(stderr, "Failed to save pip_metadata_entries!\n");
        return r;
    }
    object.AddMember("pip_metadata_entries", array, doc.GetAllocator());
    return 0;
}

// ---- one metadata block -----------------------------------------------------------------

void CMetaDataBlock::Clear()
{
    header.Clear();
    data.Clear();
}

int CMetaDataBlock::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    int r = header.ReadJSON(doc, object);
    if (r) {
        fprintf(stderr, "Failed to read metadata_block_header!\n");
        return r;
    }
    r = data.ReadJSON(doc, object);
    if (r)
        fprintf(stderr, "Failed to read metadata_block_data!\n");
    return r;
}

int CMetaDataBlock::WriteJSON(JDoc& doc, JValue& object)
{
    int r = header.WriteJSON(doc, object);
    if (r) {
        fprintf(stderr, "Failed to save metadata_block_header!\n");
        return r;
    }
    r = data.WriteJSON(doc, object);
    if (r)
        fprintf(stderr, "Failed to save metadata_block_data!\n");
    return r;
}

// ---- the block ------------------------------------------------------------------------

int CPIPMetaData::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t start = bb.m_cursor;
    ReadLength(bb, 32);
    const uint64_t blockEnd = m_lengthPos + 8ull * m_lengthRead;
    const uint64_t limit    = blockEnd < bb.SizeBits() ? blockEnd : bb.SizeBits();
    uint32_t count          = bb.ReadBits(16);
    for (uint32_t i = 0; i < count; ++i) {
        if (!bb.TakeElement())
            return 1;
        CMetaDataBlock block;
        block.header.Parse(bb);
        m_blocks.push_back(block);
    }
    for (size_t i = 0; i < m_blocks.size(); ++i) {
        // Every data block, with all its entries, must lie inside this block and the file:
        // headers may all name one block, so its count alone must not decide the work done.
        bb.m_cursor = start + 8ull * m_blocks[i].header.metadata_block_data_start_address;
        if (bb.m_cursor + 16 > limit || m_blocks[i].data.ParseWithin(bb, limit)) {
            if (!bb.m_budgetReported)
                fprintf(stderr, "pip_metadata block[%u] data lies outside the block!\n",
                        unsigned(i));
            return 1;
        }
    }
    SkipToBlockEnd(bb);
    return 0;
}

int CPIPMetaData::Build(CBitBuffer& bb)
{
    const uint64_t start = bb.m_cursor;
    BeginSection(bb, 32);
    if (CheckListSize(m_blocks.size(), 0xFFFF, "pip_metadata blocks"))
        return 1;
    bb.WriteBits(16, uint32_t(m_blocks.size()));
    for (CMetaDataBlock& b : m_blocks)
        b.header.Build(bb);
    while (((bb.m_cursor - start) / 8) % 2 != 0)
        bb.WriteBits(8, 0);
    for (size_t i = 0; i < m_blocks.size(); ++i) {
        uint64_t address = (bb.m_cursor - start) / 8;
        if (address > 0xFFFFFFFFull)
            return CheckListSize(address, 0xFFFFFFFFull, "pip_metadata bytes");
        m_blocks[i].header.metadata_block_data_start_address = uint32_t(address);
        uint64_t here                                        = bb.m_cursor;
        bb.m_cursor                                          = start + 8 * (16 + 14 * uint64_t(i));
        bb.WriteBits(32, uint32_t(address));
        bb.m_cursor = here;
        int r       = m_blocks[i].data.Build(bb);
        if (r)
            return r;
        while (((bb.m_cursor - start) / 8) % 2 != 0)
            bb.WriteBits(8, 0);
    }
    return EndSection(bb, 0, "pip_metadata");
}

int CPIPMetaData::ReadJSON(JDoc& doc, JValue& entry)
{
    Clear();
    JValue* object = GetJsonMember("pip_metadata", entry);
    if (!object || !object->IsObject()) {
        fprintf(stderr, "failed to read pip_metadata\n");
        return 1;
    }
    JValue* array = GetJsonMember("metadata_block_entries", *object);
    if (!array) {
        fprintf(stderr, "Failed to read metadata_block_entries!\n");
        return 1;
    }
    int r = ReadJSONArray(doc, array, m_blocks);
    if (r)
        fprintf(stderr, "Failed to read metadata_block_entries!\n");
    return r;
}

int CPIPMetaData::WriteJSON(JDoc& doc, JValue& entry)
{
    // Written also without blocks, so that the output reads back.
    JValue array(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &array, m_blocks);
    if (r) {
        fprintf(stderr, "Failed to save pip_metadata!\n");
        return r;
    }
    JValue object(rapidjson::kObjectType);
    object.AddMember("metadata_block_entries", array, doc.GetAllocator());
    entry.AddMember("pip_metadata", object, doc.GetAllocator());
    return 0;
}
