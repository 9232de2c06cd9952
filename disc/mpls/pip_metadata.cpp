#include "disc/mpls/pip_metadata.h"

#include "disc/framework/serial_io.h"

template <class IO> void CPIPMetaDataEntry::Fields(IO& io)
{
    io.U(32, FLD(pip_metadata_time_stamp));
    io.U(12, FLD(pip_horizontal_position));
    io.U(12, FLD(pip_vertical_position));
    io.U(4, FLD(pip_scale));
    io.Opt(4, FLD(reserved01));
}

template class ser::Described<CPIPMetaDataEntry>;

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

template class ser::Described<CMetaDataBlockHeader>;

// The count and every entry must lie inside the pip_metadata block. A block without entries
// is written with an empty list; older output left the member out, so a missing one also means
// no entries.
template <class IO> void CMetaDataBlockData::Fields(IO& io)
{
    io.Within(16);
    io.Count(16, number_of_pip_metadata_entries, m_entries, "pip_metadata entries");
    io.Within(64ull * number_of_pip_metadata_entries);
    io.Items(number_of_pip_metadata_entries, m_entries, "pip_metadata_entries",
             ser::ListTexts{nullptr, nullptr, "Failed to read pip_metadata_entries!\n"});
}

template class ser::Described<CMetaDataBlockData>;

template <class IO> void CMetaDataBlock::Fields(IO& io)
{
    io.Child(header, ser::kStop,
             ser::ChildTexts{nullptr, nullptr, "Failed to read metadata_block_header!\n"});
    if constexpr (IO::kJson)
        io.Child(data, ser::kStop,
                 ser::ChildTexts{nullptr, nullptr, "Failed to read metadata_block_data!\n"});
}

template class ser::Described<CMetaDataBlock>;

// All headers come first, then each block's data at its address, counted from the block's
// length field; Build keeps every part at an even offset. JSON writes the block also without
// metadata blocks, so that the output reads back.
template <class IO> void CPIPMetaData::Fields(IO& io)
{
    const ser::Mark start = io.BlockStart();
    io.Count(16, number_of_metadata_block_entries, m_blocks, "pip_metadata blocks");
    io.Split(
        number_of_metadata_block_entries, m_blocks, "metadata_block_entries",
        ser::ListTexts{"pip_metadata block[%u] data lies outside the block!\n", nullptr,
                       "Failed to read metadata_block_entries!\n",
                       "Failed to read metadata_block_entries!\n"},
        start,
        [](CMetaDataBlock& b) -> uint32_t& { return b.header.metadata_block_data_start_address; },
        [&](CMetaDataBlock& b) { io.Child(b.data); }, 2, ser::kQuietAfterBudget);
}

template class ser::Described<CPIPMetaData, ser::Length<32>>;
