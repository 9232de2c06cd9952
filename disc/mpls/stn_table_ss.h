// The STN_table_SS block (ExtensionData (2, 1)): the stereoscopic additions to every
// PlayItem's STN table. It has no counts of its own, so it is parsed beside its playlist.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/stream.h"

#include <vector>

class CPlayList;
class CPlayItem;

// The 3D data of one PG/textST stream.
class CPGStreamSS : public CIBDSerial
{
  public:
    uint32_t PG_textST_offset_sequence_id_ref = 0, reserved01 = 0;
    uint32_t dialog_region_offset_valid_flag = 0, is_SS_PG = 0;
    uint32_t is_top_AS_PG_textST = 0, is_bottom_AS_PG_textST = 0;
    CStreamEntry SS_PG_L, SS_PG_R, top_AS_PG, bottom_AS_PG;
    uint32_t SS_PG_offset_sequence_id_ref = 0, top_AS_PG_textST_offset_sequence_id_ref = 0;
    uint32_t bottom_AS_PG_textST_offset_sequence_id_ref = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

  private:
    template <class IO> int Fields(IO& io);
};

// The 3D data of one IG stream.
class CIGStreamSS : public CIBDSerial
{
  public:
    uint32_t IG_offset_sequence_id_ref = 0, IG_Plane_offset_direction_during_BB_video_flag = 0;
    uint32_t IG_Plane_offset_value_during_BB_video = 0, reserved01 = 0, reserved02 = 0;
    uint32_t is_SS_IG = 0;
    CStreamEntry SS_IG_L, SS_IG_R;
    uint32_t SS_IG_offset_sequence_id_ref = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

  private:
    template <class IO> int Fields(IO& io);
};

// STN_table_SS for one PlayItem.
class CSTNTableSSPlayItem : public CIBDSerial
{
  public:
    uint32_t Fixed_offset_during_PopUp_flag = 0, reserved01 = 0;
    std::vector<CMVCDependentStream> m_mvcStreams;
    std::vector<CPGStreamSS> m_pgStreams;
    std::vector<CIGStreamSS> m_igStreams;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;
    // The lists are sized by the PlayItem's STN table as parsed.
    virtual int ParseWithContext(CBitBuffer& bb, const CPlayItem& item);
};

class CSTNTableSS : public CIBDSerial
{
  public:
    std::vector<CSTNTableSSPlayItem> m_playItems;

    void Clear() override { m_playItems.clear(); }
    int ReadJSON(JDoc& doc, JValue& entry) override;
    int WriteJSON(JDoc& doc, JValue& entry) override;
    int Build(CBitBuffer& bb) override;
    // One per-PlayItem block for each PlayItem of the playlist.
    virtual int ParseWithContext(CBitBuffer& bb, CPlayList* context);
};
