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

BDMV_ELEMENT_OPERATIONS(CPL_mark)

// The file side only: in JSON the marks are the array itself, without a wrapping object.
template <class IO> void CPlayListMark::Fields(IO& io)
{
    io.Count(16, number_of_PlayList_marks, m_marks, "PlayList marks");
    io.Items(number_of_PlayList_marks, m_marks, "PlayListMark");
}

void CPlayListMark::Clear() { ser::Reset(*this); }
int CPlayListMark::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CPlayListMark::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0); }

int CPlayListMark::ReadJSON(JDoc& doc, JValue& mpls)
{
    Clear();
    JValue* marks = FindOwnMember(mpls);
    if (!marks)
        return 0;
    int r = ReadJSONArray(doc, marks, m_marks);
    if (r)
        fprintf(stderr, "Failed to read PlayListMark!\n");
    return r;
}

int CPlayListMark::WriteJSON(JDoc& doc, JValue& mpls)
{
    if (m_marks.empty())
        return 0;
    JValue marks(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &marks, m_marks);
    if (r) {
        fprintf(stderr, "Failed to save PlayListMark!\n");
        return r;
    }
    mpls.AddMember(rapidjson::StringRef(m_jsonName), marks, doc.GetAllocator());
    return 0;
}

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
