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

template class ser::Described<CActiveVideoWindow>;
