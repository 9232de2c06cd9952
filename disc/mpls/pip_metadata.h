// The picture-in-picture metadata block (ExtensionData (1, 1)).
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CPIPMetaDataEntry : public CIBDSerial
{
  public:
    uint32_t pip_metadata_time_stamp = 0, pip_horizontal_position = 0, pip_vertical_position = 0;
    uint32_t pip_scale = 0, reserved01 = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CMetaDataBlockHeader : public CIBDSerial
{
  public:
    uint32_t ref_to_PlayItem_id = 0, ref_to_secondary_video_stream_id = 0, reserved01 = 0;
    uint32_t pip_timeline_type = 0, is_luma_key = 0, trick_playing_flag = 0, reserved02 = 0;
    uint32_t reserved03 = 0, upper_limit_luma_key = 0, reserved04 = 0;
    uint32_t metadata_block_data_start_address = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CMetaDataBlockData : public CIBDSerial
{
  public:
    std::vector<CPIPMetaDataEntry> m_entries;

    void Clear() override { m_entries.clear(); }
    int ReadJSON(JDoc& doc, JValue& object) override;
    // Reads the entry count and entries; the data must end by limit (in bits).
    int ParseWithin(CBitBuffer& bb, uint64_t limit);
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;
};

class CMetaDataBlock : public CIBDSerial
{
  public:
    CMetaDataBlockHeader header;
    CMetaDataBlockData data;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    // Headers and data lie apart in the file: CPIPMetaData handles them separately.
    int Parse(CBitBuffer&) override { return 1; }
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer&) override { return 1; }
};

class CPIPMetaData : public CIBDSerial
{
  public:
    std::vector<CMetaDataBlock> m_blocks;

    void Clear() override { m_blocks.clear(); }
    int ReadJSON(JDoc& doc, JValue& entry) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& entry) override;
    int Build(CBitBuffer& bb) override;
};
