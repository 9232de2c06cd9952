// The STN_table_SS block (ExtensionData (2, 1)): the stereoscopic additions to every
// PlayItem's STN table. It has no counts of its own, so it is parsed beside its playlist.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/stream.h"

#include <vector>

class CPlayList;
class CPlayItem;
class CSTNTable;

// The 3D data of one PG/textST stream.
class CPGStreamSS : public ser::Described<CPGStreamSS>
{
  public:
    uint32_t PG_textST_offset_sequence_id_ref = 0, reserved01 = 0;
    uint32_t dialog_region_offset_valid_flag = 0, is_SS_PG = 0;
    uint32_t is_top_AS_PG_textST = 0, is_bottom_AS_PG_textST = 0;
    CStreamEntry SS_PG_L, SS_PG_R, top_AS_PG, bottom_AS_PG;
    uint32_t SS_PG_offset_sequence_id_ref = 0, top_AS_PG_textST_offset_sequence_id_ref = 0;
    uint32_t bottom_AS_PG_textST_offset_sequence_id_ref = 0;

    template <class IO> void Fields(IO& io);
};

// The 3D data of one IG stream.
class CIGStreamSS : public ser::Described<CIGStreamSS>
{
  public:
    uint32_t IG_offset_sequence_id_ref = 0, IG_Plane_offset_direction_during_BB_video_flag = 0;
    uint32_t IG_Plane_offset_value_during_BB_video = 0, reserved01 = 0, reserved02 = 0;
    uint32_t is_SS_IG = 0;
    CStreamEntry SS_IG_L, SS_IG_R;
    uint32_t SS_IG_offset_sequence_id_ref = 0;

    template <class IO> void Fields(IO& io);
};

// STN_table_SS for one PlayItem.
class CSTNTableSSPlayItem : public ser::Described<CSTNTableSSPlayItem, ser::Length<16, 4>>
{
  public:
    static constexpr const char* kBlockName = "STN_table_SS_for_PlayItem";

    uint32_t Fixed_offset_during_PopUp_flag = 0, reserved01 = 0;
    std::vector<CMVCDependentStream> m_mvcStreams;
    std::vector<CPGStreamSS> m_pgStreams;
    std::vector<CIGStreamSS> m_igStreams;

    // The lists are sized by the PlayItem's STN table as parsed.
    virtual int ParseWithContext(CBitBuffer& bb, const CPlayItem& item);

    // stn: the PlayItem's STN table, whose counts size the lists on Parse.
    template <class IO> void Fields(IO& io, const CSTNTable* stn = nullptr);
};

class CSTNTableSS : public ser::Described<CSTNTableSS>
{
  public:
    static constexpr const char* kJsonName = "STN_Table_SS";

    std::vector<CSTNTableSSPlayItem> m_playItems;

    // One per-PlayItem block for each PlayItem of the playlist.
    virtual int ParseWithContext(CBitBuffer& bb, CPlayList* context);

    template <class IO> void Fields(IO& io, const CPlayList* playlist = nullptr);
};

// The descriptions are instantiated in stn_table_ss.cpp.
extern template class ser::Described<CPGStreamSS>;
extern template class ser::Described<CIGStreamSS>;
extern template class ser::Described<CSTNTableSSPlayItem, ser::Length<16, 4>>;
extern template class ser::Described<CSTNTableSS>;
