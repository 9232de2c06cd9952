#include "disc/mpls/mark.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

template <class IO> void CPL_mark::Fields(IO& io)
{
    io.Opt(8, FLD(reserved01));
    io.U(8, FLD(mark_type));
    io.U(16, FLD(ref_to_PlayItem_id));
    io.U(32, FLD(mark_time_stamp));
    io.U(16, FLD(entry_ES_PID));
    io.U(32, FLD(duration));
}

template class ser::Described<CPL_mark>;

template <class IO> void CPlayListMark::Fields(IO& io)
{
    io.Count(16, number_of_PlayList_marks, m_marks, "PlayList marks");
    io.Items(number_of_PlayList_marks, m_marks, "PlayListMark",
             ser::ListTexts{nullptr, nullptr, "Failed to read PlayListMark!\n"}, ser::kOmitEmpty);
}

template class ser::Described<CPlayListMark, ser::Length<32>>;

void CPlayListMark::PrintTimes()
{
    for (const CPL_mark& mark : m_marks) {
        uint64_t t = mark.playlist_time;
        // Whole minutes as a 32-bit signed value; the rest exactly in 64 bits.
        int32_t m      = int32_t(uint32_t(t / 2700000));
        int hours      = m / 60;
        int minutes    = m - 60 * hours;
        double seconds = double(t - uint64_t(int64_t(2700000) * m)) / 45000.0;
        printf("%02d:%02d:%06.3f\n", hours, minutes, seconds);
    }
}
