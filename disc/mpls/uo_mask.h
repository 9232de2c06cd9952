// UO_mask_table: which user operations are masked, for a whole playlist or one PlayItem.
#pragma once

#include "disc/framework/serial.h"

class CUOMaskTable : public ser::Described<CUOMaskTable>
{
  public:
    static constexpr const char* kJsonName = "UO_mask_table";

    uint32_t menu_call_mask                            = 0;
    uint32_t title_search_mask                         = 0;
    uint32_t chapter_search_mask                       = 0;
    uint32_t time_search_mask                          = 0;
    uint32_t skip_to_next_point_mask                   = 0;
    uint32_t skip_back_to_previous_point_mask          = 0;
    uint32_t play_FirstPlay_mask                       = 0;
    uint32_t stop_mask                                 = 0;
    uint32_t pause_on_mask                             = 0;
    uint32_t pause_off_mask                            = 0;
    uint32_t still_off_mask                            = 0;
    uint32_t forward_play_mask                         = 0;
    uint32_t backward_play_mask                        = 0;
    uint32_t resume_mask                               = 0;
    uint32_t move_up_selected_button_mask              = 0;
    uint32_t move_down_selected_button_mask            = 0;
    uint32_t move_left_selected_button_mask            = 0;
    uint32_t move_right_selected_button_mask           = 0;
    uint32_t select_button_mask                        = 0;
    uint32_t activate_button_mask                      = 0;
    uint32_t select_button_and_activate_mask           = 0;
    uint32_t primary_audio_stream_number_change_mask   = 0;
    uint32_t reserved01                                = 0;
    uint32_t angle_number_change_mask                  = 0;
    uint32_t popup_on_mask                             = 0;
    uint32_t popup_off_mask                            = 0;
    uint32_t PG_textST_enable_disable_mask             = 0;
    uint32_t PG_textST_stream_number_change_mask       = 0;
    uint32_t secondary_video_enable_disable_mask       = 0;
    uint32_t secondary_video_stream_number_change_mask = 0;
    uint32_t secondary_audio_enable_disable_mask       = 0;
    uint32_t secondary_audio_stream_number_change_mask = 0;
    uint32_t reserved02                                = 0;
    uint32_t PiP_PG_textST_stream_number_change_mask   = 0;
    uint32_t reserved03                                = 0;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in uo_mask.cpp.
extern template class ser::Described<CUOMaskTable>;
