// index.bdmv files ("INDX"): the disc's titles and its application information.
#pragma once

#include "disc/extension_kinds.h"
#include "disc/framework/root.h"
#include "disc/framework/serial.h"

#include <cstdint>
#include <vector>

class CAppInfoBDMV : public ser::Described<CAppInfoBDMV, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "AppInfoBDMV";

    uint32_t reserved01                     = 0;
    uint32_t initial_output_mode_preference = 0;
    uint32_t SS_content_exist_flag          = 0;
    uint32_t reserved02                     = 0;
    uint32_t video_format                   = 0;
    uint32_t frame_rate                     = 0;
    uint8_t content_provider_user_data[32]  = {};

    template <class IO> void Fields(IO& io);
};

// One entry of the title table; also the first-playback and top-menu entries. Its fields stand
// in the object its owner gives it.
class CTitle : public ser::Described<CTitle>
{
  public:
    uint32_t object_type   = 0; // 1 movie object, 2 BD-J object
    uint32_t access_type   = 0;
    uint32_t reserved01    = 0;
    uint32_t playback_type = 0;
    uint32_t reserved02    = 0;
    uint32_t mobj_id_ref   = 0;
    char bdjo_file_name[6] = {}; // five characters and a terminating zero
    uint32_t reserved03    = 0;

    template <class IO> void Fields(IO& io);
};

class CIndexes : public ser::Described<CIndexes, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "Indexes";

    CTitle FirstPlayback;
    CTitle TopMenu;
    uint32_t number_of_Titles = 0;
    std::vector<CTitle> m_titles;

    template <class IO> void Fields(IO& io);
};

class CIndexBDMV : public ser::Root<CIndexBDMV>
{
  public:
    char version_number[4]               = {0, 0, 0, 0};
    uint32_t Indexes_start_address       = 0;
    uint32_t ExtensionData_start_address = 0;
    uint8_t reserved_header[24]          = {};
    CAppInfoBDMV AppInfoBDMV;
    CIndexes Indexes;
    CExtensionData ExtensionData{kExtensionBlocks};

    ser::Layout Layout();
};

// The descriptions are instantiated in index_bdmv.cpp.
extern template class ser::Described<CAppInfoBDMV, ser::Length<32>>;
extern template class ser::Described<CTitle>;
extern template class ser::Described<CIndexes, ser::Length<32>>;
