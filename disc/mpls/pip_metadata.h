// The picture-in-picture metadata block (ExtensionData (1, 1)).
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CPIPMetaDataEntry : public ser::Described<CPIPMetaDataEntry>
{
  public:
    uint32_t pip_metadata_time_stamp = 0, pip_horizontal_position = 0, pip_vertical_position = 0;
    uint32_t pip_scale = 0, reserved01 = 0;

    template <class IO> void Fields(IO& io);
};

class CMetaDataBlockHeader : public ser::Described<CMetaDataBlockHeader>
{
  public:
    uint32_t ref_to_PlayItem_id = 0, ref_to_secondary_video_stream_id = 0, reserved01 = 0;
    uint32_t pip_timeline_type = 0, is_luma_key = 0, trick_playing_flag = 0, reserved02 = 0;
    uint32_t reserved03 = 0, upper_limit_luma_key = 0, reserved04 = 0;
    uint32_t metadata_block_data_start_address = 0;

    template <class IO> void Fields(IO& io);
};

class CMetaDataBlockData : public ser::Described<CMetaDataBlockData>
{
  public:
    uint32_t number_of_pip_metadata_entries = 0;
    std::vector<CPIPMetaDataEntry> m_entries;

    template <class IO> void Fields(IO& io);
};

// In the file a block's header stands among the other headers and its data apart: Parse and
// Build of a block handle its header, CPIPMetaData places the data.
class CMetaDataBlock : public ser::Described<CMetaDataBlock>
{
  public:
    CMetaDataBlockHeader header;
    CMetaDataBlockData data;

    template <class IO> void Fields(IO& io);
};

class CPIPMetaData : public ser::Described<CPIPMetaData, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "pip_metadata";

    uint32_t number_of_metadata_block_entries = 0;
    std::vector<CMetaDataBlock> m_blocks;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in pip_metadata.cpp.
extern template class ser::Described<CPIPMetaDataEntry>;
extern template class ser::Described<CMetaDataBlockHeader>;
extern template class ser::Described<CMetaDataBlockData>;
extern template class ser::Described<CMetaDataBlock>;
extern template class ser::Described<CPIPMetaData, ser::Length<32>>;
