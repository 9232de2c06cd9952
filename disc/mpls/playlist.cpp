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

BDMV_BLOCK_OPERATIONS(CAppInfoPlayList)

// ---- CPlayItem ------------------------------------------------------------------------------

void CPlayItem::Clear() { ser::Reset(*this); }

int CPlayItem::Parse(CBitBuffer& bb)
{
    Clear();
    int result = 0;
    ReadLength(bb, 16);
    bb.ReadBytes(Clip_Information_file_name, 5);
    bb.ReadBytes(Clip_codec_identifier, 4);
    // A wrong codec or connection condition fails the item, but only after all of it is read.
    if (memcmp(Clip_codec_identifier, "M2TS", 4) != 0) {
        fprintf(stderr, "Incorrect codec identifier (%.4s)\n", Clip_codec_identifier);
        result = 1;
    }
    reserved01           = bb.ReadBits(11);
    is_multi_angle       = bb.ReadBits(1);
    connection_condition = bb.ReadBits(4);
    if (connection_condition != 1 && connection_condition != 5 && connection_condition != 6) {
        fprintf(stderr, "Unexpected connection condition %02x\n", connection_condition);
        result = 1;
    }
    ref_to_STC_id = bb.ReadBits(8);
    IN_time       = bb.ReadBits(32);
    OUT_time      = bb.ReadBits(32);
    result |= UO_mask_table.Parse(bb);
    PlayItem_random_access_flag = bb.ReadBits(1);
    reserved02                  = bb.ReadBits(7);
    still_mode                  = bb.ReadBits(8);
    still_time                  = bb.ReadBits(16);
    if (is_multi_angle) {
        number_of_angles = bb.ReadBits(8);
        bb.SkipBits(6); // reserved, not kept
        is_different_audios      = bb.ReadBits(1);
        is_seamless_angle_change = bb.ReadBits(1);
        if (ParseClipEntries(bb, number_of_angles, m_angles))
            return 1;
    }
    result |= STN_table.Parse(bb);
    SkipToBlockEnd(bb);
    return result;
}

int CPlayItem::Build(CBitBuffer& bb)
{
    // number_of_angles counts the item's own clip too.
    if (is_multi_angle && CheckListSize(m_angles.size(), 254, "angle entries"))
        return 1;
    BeginSection(bb, 16);
    bb.WriteBytes(Clip_Information_file_name, 5);
    bb.WriteBytes(Clip_codec_identifier, 4); // as stored, not checked
    bb.WriteBits(11, reserved01);
    bb.WriteBit(is_multi_angle != 0);
    bb.WriteBits(4, connection_condition);
    bb.WriteBits(8, ref_to_STC_id);
    bb.WriteBits(32, IN_time);
    bb.WriteBits(32, OUT_time);
    int result = UO_mask_table.Build(bb);
    bb.WriteBit(PlayItem_random_access_flag != 0);
    bb.WriteBits(7, reserved02);
    bb.WriteBits(8, still_mode);
    bb.WriteBits(16, still_time);
    if (is_multi_angle) {
        bb.WriteBits(8, number_of_angles);
        bb.WriteBits(6, 0);
        bb.WriteBit(is_different_audios != 0);
        bb.WriteBit(is_seamless_angle_change != 0);
        BuildClipEntries(bb, number_of_angles, m_angles);
    }
    result |= STN_table.Build(bb);
    if (result)
        return result;
    return EndSection(bb, 0, "PlayItem");
}

int CPlayItem::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    ser::JsonReader io(doc, object);
    io.Chars(Clip_Information_file_name, 5, "Clip_Information_file_name");
    if (io.m_flags)
        return 1;
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier");
    if (io.m_flags)
        return 1;
    io.U(8, FLD(ref_to_STC_id));
    io.Opt(11, FLD(reserved01));
    io.U(1, FLD(is_multi_angle));
    io.U(4, FLD(connection_condition));
    io.U(32, FLD(IN_time));
    io.U(32, FLD(OUT_time));
    int failed = int(io.m_flags) | UO_mask_table.ReadJSON(doc, object);
    if (failed)
        return failed;
    io.U(1, FLD(PlayItem_random_access_flag));
    io.Opt(7, FLD(reserved02));
    io.U(8, FLD(still_mode));
    io.U(16, FLD(still_time));
    failed = int(io.m_flags);

    if (is_multi_angle) {
        JValue* multi = GetJsonMember("multi_clip_entries", object);
        if (!multi || !multi->IsObject()) {
            fprintf(stderr, "failed to read multi_clip_entries\n");
            return 1;
        }
        ser::JsonReader entries(doc, *multi);
        entries.U(1, FLD(is_different_audios));
        entries.U(1, FLD(is_seamless_angle_change));
        failed |= int(entries.m_flags);
        JValue* angles = GetJsonMember("angle", *multi);
        if (!angles || !angles->IsArray()) {
            fprintf(stderr, "failed to read Angle\n");
            return 1;
        }
        if (ReadClipEntries(doc, *angles, m_angles, failed, "failed to read angle\n"))
            return failed;
        number_of_angles = uint32_t(m_angles.size() + 1);
    }
    return STN_table.ReadJSON(doc, object) | failed;
}

int CPlayItem::WriteJSON(JDoc& doc, JValue& object)
{
    ser::JsonWriter io(doc, object);
    io.Chars(Clip_Information_file_name, 5, "Clip_Information_file_name");
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier");
    io.U(8, FLD(ref_to_STC_id));
    io.U(11, FLD(reserved01));
    io.U(1, FLD(is_multi_angle));
    io.U(4, FLD(connection_condition));
    io.U(32, FLD(IN_time));
    io.U(32, FLD(OUT_time));
    int result = UO_mask_table.WriteJSON(doc, object);
    io.U(1, FLD(PlayItem_random_access_flag));
    io.U(7, FLD(reserved02));
    io.U(8, FLD(still_mode));
    io.U(16, FLD(still_time));
    if (is_multi_angle) {
        JValue multi(rapidjson::kObjectType);
        ser::JsonWriter entries(doc, multi);
        entries.U(1, FLD(is_different_audios));
        entries.U(1, FLD(is_seamless_angle_change));
        JValue angles(rapidjson::kArrayType);
        WriteClipEntries(doc, angles, number_of_angles, m_angles);
        multi.AddMember("angle", angles, doc.GetAllocator());
        object.AddMember("multi_clip_entries", multi, doc.GetAllocator());
    }
    return STN_table.WriteJSON(doc, object) | result;
}

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
    // JSON leaves out an empty list.
    if (IO::kOp != ser::Op::kWriteJson || !m_playItems.empty())
        io.Items(number_of_PlayItems, m_playItems, "PlayItem",
                 ser::ListTexts{"Error parsing PlayItem[%u]!\n", "Error building play list item\n",
                                "Failed to read PlayItem!\n", "Failed to save PlayItem!\n"});
    if (IO::kOp != ser::Op::kWriteJson || !m_subPaths.empty())
        io.Items(number_of_SubPaths, m_subPaths, "SubPath",
                 ser::ListTexts{"Error parsing SubPath[%u]\n", "Error building sub path item\n",
                                "Failed to read SubPath!\n", "Failed to save SubPath!\n"});
}

BDMV_BLOCK_OPERATIONS(CPlayList)

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
