// PlayListMark(): the marks of a playlist and the printing of their times.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CPL_mark : public ser::Described<CPL_mark>
{
  public:
    uint32_t reserved01 = 0, mark_type = 0, ref_to_PlayItem_id = 0, mark_time_stamp = 0;
    uint32_t entry_ES_PID = 0, duration = 0;
    uint64_t playlist_time = 0; // 45 kHz ticks on the playlist timeline, set after a parse

    template <class IO> void Fields(IO& io);
};

// In JSON the marks are the array "PlayListMark" itself, without a wrapping object.
class CPlayListMark : public ser::Described<CPlayListMark, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "PlayListMark";

    uint32_t number_of_PlayList_marks = 0;
    std::vector<CPL_mark> m_marks;

    // One line per mark with its time on the playlist timeline.
    virtual void PrintTimes();

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in mark.cpp.
extern template class ser::Described<CPL_mark>;
extern template class ser::Described<CPlayListMark, ser::Length<32>>;
