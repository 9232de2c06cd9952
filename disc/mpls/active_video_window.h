// The active video window block (ExtensionData (2, 3)).
#pragma once

#include "disc/framework/serial.h"

class CActiveVideoWindow : public ser::Described<CActiveVideoWindow>
{
  public:
    static constexpr const char* kJsonName = "active_video_window";

    uint32_t top_offset = 0, bottom_offset = 0, top_align_offset = 0, bottom_align_offset = 0;
    uint32_t reserved01 = 0;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in active_video_window.cpp.
extern template class ser::Described<CActiveVideoWindow>;
