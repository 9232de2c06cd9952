// PlayListMark(): the marks of a playlist and the printing of their times.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CPL_mark : public CIBDSerial
{
  public:
    uint32_t reserved01 = 0, mark_type = 0, ref_to_PlayItem_id = 0, mark_time_stamp = 0;
    uint32_t entry_ES_PID = 0, duration = 0;
    uint64_t playlist_time = 0; // 45 kHz ticks on the playlist timeline, set after a parse

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CPlayListMark : public CIBDSerial
{
  public:
    uint32_t number_of_PlayList_marks = 0;
    std::vector<CPL_mark> m_marks;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& mpls) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& mpls) override;
    int Build(CBitBuffer& bb) override;
    // One line per mark with its time on the playlist timeline.
    virtual void PrintTimes();

    template <class IO> void Fields(IO& io);
};
