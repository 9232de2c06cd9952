#include "disc/mpls/subpath.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CSubPlayItem ---------------------------------------------------------------------------

// JSON holds the STC id before the reserved bits, and the multi-clip flag before the condition.
template <class IO> void CSubPlayItem::Fields(IO& io)
{
    io.Chars(Clip_Information_file_name, 5, "Clip_Information_file_name");
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier");
    if constexpr (IO::kJson)
        io.U(8, FLD(ref_to_STC_id));
    io.Opt(27, FLD(reserved01));
    if constexpr (IO::kJson) {
        io.Bit(FLD(is_multi_Clip_entries));
        io.U(4, FLD(sp_connection_condition));
    } else {
        io.U(4, FLD(sp_connection_condition));
        io.Bit(FLD(is_multi_Clip_entries));
        io.U(8, FLD(ref_to_STC_id));
    }
    io.U(32, FLD(SubPlayItem_IN_time));
    io.U(32, FLD(SubPlayItem_OUT_time));
    io.U(16, FLD(sync_PlayItem_id));
    io.U(32, FLD(sync_start_PTS_of_PlayItem));
    if (is_multi_Clip_entries) {
        io.Refuse(m_subClips.size(), 254, "subClip entries"); // the count includes the item's clip
        io.Hidden(8, FLD(number_of_multi_Clip_entries));
        io.Zero(8);
        io.Object("multi_clip_entries", [&] {
            io.ClipEntries(
                number_of_multi_Clip_entries, m_subClips, "subClip_entry",
                ser::ClipTexts{"failed to read subClip_entry\n", "failed to read subClip_entry\n"});
        });
    }
}

template class ser::Described<CSubPlayItem, ser::Length<16>>;

void CSubPlayItem::Print(int indent)
{
    PrintClipItem(indent, Clip_Information_file_name, Clip_codec_identifier, SubPlayItem_IN_time,
                  SubPlayItem_OUT_time, is_multi_Clip_entries, "#multiclip:  %u",
                  "multi[%d] %.5s.%.4s", number_of_multi_Clip_entries, m_subClips);
}

// ---- CSubPath -------------------------------------------------------------------------------

template <class IO> void CSubPath::Body(IO& io)
{
    io.Opt(15, FLD(reserved02));
    io.Bit(FLD(is_repeat_SubPath));
    io.Opt(8, FLD(reserved03));
    io.Count(8, number_of_SubPlayItems, m_subPlayItems, "SubPlayItems");
    io.Items(number_of_SubPlayItems, m_subPlayItems, "SubPlayItem",
             ser::ListTexts{"Error parsing SubPlayItem[%u]\n", "Error saving SubPlayItem[%u]\n",
                            "Failed to read SubPlayItem!\n", "Failed to read SubPlayItem!\n"});
}

template <class IO> void CSubPath::Fields(IO& io)
{
    io.Opt(8, FLD(reserved01));
    io.U(8, FLD(SubPath_type));
    Body(io);
}

template class ser::Described<CSubPath, ser::Length<32>>;

void CSubPath::Print(int indent)
{
    PrintIndented(indent, "SubPlayList:");
    for (CSubPlayItem& item : m_subPlayItems)
        item.Print(indent + 1);
}

// ---- CSubPath_extension ---------------------------------------------------------------------

// Only the stereoscopic types carry a body; Build gives any other two zero bytes, and Parse skips
// the rest of its block by its length.
template <class IO> void CSubPath_extension::Fields(IO& io)
{
    io.Opt(8, FLD(reserved01));
    io.U(8, FLD(SubPath_type));
    if (SubPath_type == 8 || SubPath_type == 9)
        Body(io);
    else
        io.Zero(16);
}

template class ser::Described<CSubPath_extension, ser::Length<32>, CSubPath>;

// ---- SubPath_type names ---------------------------------------------------------------------

const char* SubPathTypeName(uint32_t type)
{
    switch (type) {
    case 2:
        return "Primary audio presentation path of the Browsable slideshow";
    case 3:
        return "Interactive Graphics presentation menu";
    case 4:
        return "Text subtitle presentation path";
    case 5:
        return "Out-of-mux and Synchronous type of one or more elementary streams path";
    case 6:
        return "Out-of-mux and Asynchronous type of Picture-in-Picture presentation path";
    case 7:
        return "In-mux and Synchronous type of Picture-in-Picture presentation path";
    case 8:
        return "MPEG-4 MVC Dependent view video stream for Stereoscopic Output Mode on the disc";
    case 9:
        return "Stereoscopic Interactive Graphics presentation menu";
    default:
        return "reserved";
    }
}

std::string ShortSubPathTypeName(uint32_t type, int level)
{
    std::string name = SubPathTypeName(type);
    long width       = 4L * (16L - level);
    if (long(name.size()) <= width)
        return name;
    long keep = width > 3 ? width - 3 : 0;
    return name.substr(0, size_t(keep)) + "...";
}
