#include "disc/mpls/active_video_window.h"

#include "disc/framework/serial_io.h"

template <class IO> void CActiveVideoWindow::Fields(IO& io)
{
    io.U(8, FLD(top_offset));
    io.U(8, FLD(bottom_offset));
    io.U(8, FLD(top_align_offset));
    io.U(8, FLD(bottom_align_offset));
    io.Opt(32, FLD(reserved01));
}

void CActiveVideoWindow::Clear() { ser::Reset(*this); }
int CActiveVideoWindow::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }
int CActiveVideoWindow::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }
int CActiveVideoWindow::ReadJSON(JDoc& d, JValue& entry)
{
    return ser::ReadObject(*this, d, entry, ser::kRequired, "active_video_window",
                           "failed to read active_video_window\n");
}
int CActiveVideoWindow::WriteJSON(JDoc& d, JValue& entry)
{
    return ser::WriteObject(*this, d, entry, "active_video_window");
}
