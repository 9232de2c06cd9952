// BD-J object files ("BDJO"): the title's terminal settings, cache list, playlists,
// applications, key interests and file access.
#pragma once

#include "disc/bdjo/application.h"
#include "disc/framework/root.h"

#include <cstdint>
#include <string>
#include <vector>

class CTerminalInfo : public ser::Described<CTerminalInfo, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "TerminalInfo";

    char default_font_file_name[5]         = {};
    uint32_t initial_HAVi_configuration_id = 0;
    uint32_t menu_call_mask                = 0;
    uint32_t Title_search_mask             = 0;
    uint32_t mouse_supported               = 0;
    uint32_t mouse_interest                = 0;
    uint32_t initial_output_mode           = 0;
    uint32_t initial_frame_rate            = 0;
    uint32_t reserved01                    = 0;

    template <class IO> void Fields(IO& io);
};

class CAppCacheEntry : public ser::Described<CAppCacheEntry>
{
  public:
    uint32_t entry_type   = 0;
    char ref_to_name[5]   = {};
    char language_code[3] = {};
    char reserved[3]      = {};

    template <class IO> void Fields(IO& io);
};

// In JSON the block is the bare array of entries; its reserved byte has no JSON form.
class CAppCacheInfo : public ser::Described<CAppCacheInfo, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "AppCacheInfo";

    uint32_t number_of_entries = 0;
    uint32_t reserved          = 0;
    std::vector<CAppCacheEntry> m_entries;

    template <class IO> void Fields(IO& io);
};

class CTableOfAccessiblePlayLists
    : public ser::Described<CTableOfAccessiblePlayLists, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "TableOfAccessiblePlayLists";

    uint32_t access_to_all_flag            = 0;
    uint32_t autostart_first_PlayList_flag = 0;
    uint32_t reserved                      = 0;
    uint32_t number_of_PlayLists           = 0;
    std::vector<std::string> AccessiblePlayLists; // at most five characters each

    template <class IO> void Fields(IO& io);
};

class CKeyInterestTable : public ser::Described<CKeyInterestTable>
{
  public:
    static constexpr const char* kJsonName = "KeyInterestTable";

    uint32_t VK_PLAY                           = 0;
    uint32_t VK_STOP                           = 0;
    uint32_t VK_FAST_FWD                       = 0;
    uint32_t VK_REWIND                         = 0;
    uint32_t VK_TRACK_NEXT                     = 0;
    uint32_t VK_TRACK_PREV                     = 0;
    uint32_t VK_PAUSE                          = 0;
    uint32_t VK_STILL_OFF                      = 0;
    uint32_t VK_SECONDARY_AUDIO_ENABLE_DISABLE = 0;
    uint32_t VK_SECONDARY_VIDEO_ENABLE_DISABLE = 0;
    uint32_t VK_PG_TEXTST_ENABLE_DISABLE       = 0;
    uint32_t reserved                          = 0;

    template <class IO> void Fields(IO& io);
};

class CFileAccessInfo : public ser::Described<CFileAccessInfo>
{
  public:
    static constexpr const char* kJsonName = "FileAccessInfo";

    std::string directory_path; // any bytes, zero included

    template <class IO> void Fields(IO& io);
};

class CBDJO : public ser::Root<CBDJO>
{
  public:
    char version_number[4]                            = {0, 0, 0, 0};
    uint32_t TerminalInfo_start_address               = 0;
    uint32_t AppCacheInfo_start_address               = 0;
    uint32_t TableOfAccessiblePlayLists_start_address = 0;
    uint32_t ApplicationManagementTable_start_address = 0;
    uint32_t KeyInterestTable_start_address           = 0;
    uint32_t FileAccessInfo_start_address             = 0;
    uint8_t reserved_header[16]                       = {};
    CTerminalInfo TerminalInfo;
    CAppCacheInfo AppCacheInfo;
    CTableOfAccessiblePlayLists TableOfAccessiblePlayLists;
    CApplicationManagementTable ApplicationManagementTable;
    CKeyInterestTable KeyInterestTable;
    CFileAccessInfo FileAccessInfo;

    ser::Layout Layout();
};

// The descriptions are instantiated in bdjo.cpp.
extern template class ser::Described<CTerminalInfo, ser::Length<32>>;
extern template class ser::Described<CAppCacheEntry>;
extern template class ser::Described<CAppCacheInfo, ser::Length<32>>;
extern template class ser::Described<CTableOfAccessiblePlayLists, ser::Length<32>>;
extern template class ser::Described<CKeyInterestTable>;
extern template class ser::Described<CFileAccessInfo>;
