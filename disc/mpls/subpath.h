// SubPath() and SubPlayItem(), and the display names of SubPath_type.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/clip_entry.h"

#include <string>
#include <vector>

class CSubPlayItem : public ser::Described<CSubPlayItem, ser::Length<16>>
{
  public:
    static constexpr const char* kBlockName = "SubPlayItem";

    char Clip_Information_file_name[5]    = {0, 0, 0, 0, 0};
    char Clip_codec_identifier[4]         = {0, 0, 0, 0};
    uint32_t ref_to_STC_id                = 0;
    uint32_t reserved01                   = 0;
    uint32_t sp_connection_condition      = 0;
    uint32_t is_multi_Clip_entries        = 0;
    uint32_t SubPlayItem_IN_time          = 0;
    uint32_t SubPlayItem_OUT_time         = 0;
    uint32_t sync_PlayItem_id             = 0;
    uint32_t sync_start_PTS_of_PlayItem   = 0;
    uint32_t number_of_multi_Clip_entries = 0; // counts this item's own clip too
    std::vector<CSubClipEntry> m_subClips;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

class CSubPath : public ser::Described<CSubPath, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "SubPath";

    uint32_t reserved01             = 0;
    uint32_t SubPath_type           = 0;
    uint32_t reserved02             = 0;
    uint32_t is_repeat_SubPath      = 0;
    uint32_t reserved03             = 0;
    uint32_t number_of_SubPlayItems = 0;
    std::vector<CSubPlayItem> m_subPlayItems;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
    // The fields after SubPath_type.
    template <class IO> void Body(IO& io);
};

// An element of the SubPath extension block: only the stereoscopic types carry a body.
class CSubPath_extension : public ser::Described<CSubPath_extension, ser::Length<32>, CSubPath>
{
  public:
    static constexpr const char* kBlockName = "SubPath_extension";

    template <class IO> void Fields(IO& io);
};

// The display name of a SubPath_type.
const char* SubPathTypeName(uint32_t type);
// The name shortened for a heading at indent level: at most 4 x (16 - level) characters, a
// longer one cut and ended with "...".
std::string ShortSubPathTypeName(uint32_t type, int level);

// The descriptions are instantiated in subpath.cpp.
extern template class ser::Described<CSubPlayItem, ser::Length<16>>;
extern template class ser::Described<CSubPath, ser::Length<32>>;
extern template class ser::Described<CSubPath_extension, ser::Length<32>, CSubPath>;
