#include "disc/mpls/playlist.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CAppInfoPlayList -----------------------------------------------------------------------

template <class IO> void CAppInfoPlayList::Fields(IO& io)
{
    io.Opt(8, FLD(reserved01));
    io.U(8, FLD(PlayList_playback_type));
    // Always in the file; JSON has it only for the random and shuffle playback types.
    if (IO::kFile || PlayList_playback_type == 2 || PlayList_playback_type == 3)
        io.U(16, FLD(playback_count));
    io.Child(UO_mask_table, ser::kKeepGoing); // JSON: every missing key is reported
    if constexpr (IO::kJson)                  // JSON lists reserved02 before the flags
        io.Opt(12, FLD(reserved02));
    io.Flag(FLD(PlayList_random_access_flag));
    io.Flag(FLD(audio_mix_app_flag));
    io.Flag(FLD(lossless_may_bypass_mixer_flag));
    io.Flag(FLD(MVC_Base_view_R_flag));
    if constexpr (IO::kFile)
        io.U(12, FLD(reserved02));
}

template class ser::Described<CAppInfoPlayList, ser::Length<32>>;

// ---- CPlayItem ------------------------------------------------------------------------------

template <class IO> void CPlayItem::Fields(IO& io)
{
    // JSON reading ends at a name or codec that is missing.
    io.Chars(Clip_Information_file_name, 5, "Clip_Information_file_name", ser::kEndIfMissing);
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier", ser::kEndIfMissing);
    // A wrong codec or connection condition fails the item, but only after all of it is read.
    io.ParseCheck(memcmp(Clip_codec_identifier, "M2TS", 4) == 0,
                  "Incorrect codec identifier (%.4s)\n", Clip_codec_identifier);
    if constexpr (IO::kJson) // JSON has the STC id before the reserved bits
        io.U(8, FLD(ref_to_STC_id));
    io.Opt(11, FLD(reserved01));
    io.Bit(FLD(is_multi_angle));
    io.U(4, FLD(connection_condition));
    io.ParseCheck(connection_condition == 1 || connection_condition == 5 ||
                      connection_condition == 6,
                  "Unexpected connection condition %02x\n", connection_condition);
    if constexpr (IO::kFile)
        io.U(8, FLD(ref_to_STC_id));
    io.U(32, FLD(IN_time));
    io.U(32, FLD(OUT_time));
    io.Child(UO_mask_table, ser::kKeepGoing);
    io.EndIfMissing();
    io.Bit(FLD(PlayItem_random_access_flag));
    io.Opt(7, FLD(reserved02));
    io.U(8, FLD(still_mode));
    io.U(16, FLD(still_time));
    if (is_multi_angle) {
        io.Refuse(m_angles.size(), 254, "angle entries"); // the count includes the item's clip
        io.Hidden(8, FLD(number_of_angles));              // JSON: the angles and the item's clip
        io.Object("multi_clip_entries", [&] {
            io.Zero(6);
            io.Bit(FLD(is_different_audios));
            io.Bit(FLD(is_seamless_angle_change));
            io.ClipEntries(number_of_angles, m_angles, "angle",
                           ser::ClipTexts{"failed to read Angle\n", "failed to read angle\n"});
        });
    }
    io.Child(STN_table, ser::kKeepGoing);
}

template class ser::Described<CPlayItem, ser::Length<16>>;

void CPlayItem::Print(int indent)
{
    PrintClipItem(indent, Clip_Information_file_name, Clip_codec_identifier, IN_time, OUT_time,
                  is_multi_angle, "#angles:  %u", "angle[%d] %.5s.%.4s", number_of_angles,
                  m_angles);
}

// ---- CPlayList ------------------------------------------------------------------------------

template <class IO> void CPlayList::Fields(IO& io)
{
    io.Opt(16, FLD(reserved01));
    io.Count(16, number_of_PlayItems, m_playItems, "PlayItems");
    io.Count(16, number_of_SubPaths, m_subPaths, "SubPaths");
    io.Items(number_of_PlayItems, m_playItems, "PlayItem",
             ser::ListTexts{"Error parsing PlayItem[%u]!\n", "Error building play list item\n",
                            "Failed to read PlayItem!\n"},
             ser::kOmitEmpty);
    io.Items(number_of_SubPaths, m_subPaths, "SubPath",
             ser::ListTexts{"Error parsing SubPath[%u]\n", "Error building sub path item\n",
                            "Failed to read SubPath!\n"},
             ser::kOmitEmpty);
}

template class ser::Described<CPlayList, ser::Length<32>>;

void CPlayList::Print(int indent)
{
    PrintIndented(indent, "PlayList:");
    for (CPlayItem& item : m_playItems)
        item.Print(indent + 1);
    printf("\n");
    for (size_t i = 0; i < m_subPaths.size(); ++i) {
        PrintIndented(indent, "SubPath[%u] (%s):", unsigned(i),
                      ShortSubPathTypeName(m_subPaths[i].SubPath_type, indent).c_str());
        m_subPaths[i].Print(indent);
        printf("\n");
    }
}
