#include "disc/mpls/uo_mask.h"

#include "disc/framework/serial_io.h"

// Always 64 bits, no length field. JSON keeps the masks as given (2 stays 2); the file gets 1.
template <class IO> void CUOMaskTable::Fields(IO& io)
{
    io.Bit(FLD(menu_call_mask));
    io.Bit(FLD(title_search_mask));
    io.Bit(FLD(chapter_search_mask));
    io.Bit(FLD(time_search_mask));
    io.Bit(FLD(skip_to_next_point_mask));
    io.Bit(FLD(skip_back_to_previous_point_mask));
    io.Bit(FLD(play_FirstPlay_mask));
    io.Bit(FLD(stop_mask));
    io.Bit(FLD(pause_on_mask));
    io.Bit(FLD(pause_off_mask));
    io.Bit(FLD(still_off_mask));
    io.Bit(FLD(forward_play_mask));
    io.Bit(FLD(backward_play_mask));
    io.Bit(FLD(resume_mask));
    io.Bit(FLD(move_up_selected_button_mask));
    io.Bit(FLD(move_down_selected_button_mask));
    io.Bit(FLD(move_left_selected_button_mask));
    io.Bit(FLD(move_right_selected_button_mask));
    io.Bit(FLD(select_button_mask));
    io.Bit(FLD(activate_button_mask));
    io.Bit(FLD(select_button_and_activate_mask));
    io.Bit(FLD(primary_audio_stream_number_change_mask));
    io.Bit(FLD(reserved01), ser::kOptional);
    io.Bit(FLD(angle_number_change_mask));
    io.Bit(FLD(popup_on_mask));
    io.Bit(FLD(popup_off_mask));
    io.Bit(FLD(PG_textST_enable_disable_mask));
    io.Bit(FLD(PG_textST_stream_number_change_mask));
    io.Bit(FLD(secondary_video_enable_disable_mask));
    io.Bit(FLD(secondary_video_stream_number_change_mask));
    io.Bit(FLD(secondary_audio_enable_disable_mask));
    io.Bit(FLD(secondary_audio_stream_number_change_mask));
    io.Bit(FLD(reserved02), ser::kOptional);
    io.Bit(FLD(PiP_PG_textST_stream_number_change_mask));
    io.Opt(30, FLD(reserved03));
}

template class ser::Described<CUOMaskTable>;
