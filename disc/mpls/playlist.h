// AppInfoPlayList() and PlayList() of a playlist, with its PlayItems.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/clip_entry.h"
#include "disc/mpls/stn_table.h"
#include "disc/mpls/subpath.h"
#include "disc/mpls/uo_mask.h"

#include <vector>

class CAppInfoPlayList : public ser::Described<CAppInfoPlayList, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "AppInfoPlayList";

    uint32_t reserved01 = 0, PlayList_playback_type = 0, playback_count = 0;
    CUOMaskTable UO_mask_table;
    uint32_t PlayList_random_access_flag = 0, audio_mix_app_flag = 0;
    uint32_t lossless_may_bypass_mixer_flag = 0, MVC_Base_view_R_flag = 0;
    uint32_t reserved02 = 0;

    template <class IO> void Fields(IO& io);
};

class CPlayItem : public ser::Described<CPlayItem, ser::Length<16>>
{
  public:
    static constexpr const char* kBlockName = "PlayItem";

    char Clip_Information_file_name[5] = {0, 0, 0, 0, 0};
    char Clip_codec_identifier[4]      = {0, 0, 0, 0};
    uint32_t reserved01                = 0;
    uint32_t is_multi_angle            = 0;
    uint32_t connection_condition      = 0;
    uint32_t ref_to_STC_id             = 0;
    uint32_t IN_time                   = 0;
    uint32_t OUT_time                  = 0;
    CUOMaskTable UO_mask_table;
    uint32_t PlayItem_random_access_flag = 0;
    uint32_t reserved02                  = 0;
    uint32_t still_mode                  = 0;
    uint32_t still_time                  = 0;
    uint32_t number_of_angles            = 0; // counts this item's own clip too
    uint32_t is_different_audios         = 0;
    uint32_t is_seamless_angle_change    = 0;
    std::vector<CAngleEntry> m_angles;
    CSTNTable STN_table;

    // The item's place on the playlist timeline (45 kHz ticks), set after a file is parsed.
    uint64_t playlist_start_time = 0, playlist_end_time = 0;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

class CPlayList : public ser::Described<CPlayList, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "PlayList";

    uint32_t reserved01 = 0, number_of_PlayItems = 0, number_of_SubPaths = 0;
    std::vector<CPlayItem> m_playItems; // the PlayItems in file order
    std::vector<CSubPath> m_subPaths;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in playlist.cpp.
extern template class ser::Described<CAppInfoPlayList, ser::Length<32>>;
extern template class ser::Described<CPlayItem, ser::Length<16>>;
extern template class ser::Described<CPlayList, ser::Length<32>>;
