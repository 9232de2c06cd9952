#include "disc/mpls/subpath.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CSubPlayItem ---------------------------------------------------------------------------

void CSubPlayItem::Clear() { ser::Reset(*this); }

int CSubPlayItem::Parse(CBitBuffer& bb)
{
    Clear();
    ReadLength(bb, 16);
    bb.ReadBytes(Clip_Information_file_name, 5);
    bb.ReadBytes(Clip_codec_identifier, 4);
    reserved01                 = bb.ReadBits(27);
    sp_connection_condition    = bb.ReadBits(4);
    is_multi_Clip_entries      = bb.ReadBits(1);
    ref_to_STC_id              = bb.ReadBits(8);
    SubPlayItem_IN_time        = bb.ReadBits(32);
    SubPlayItem_OUT_time       = bb.ReadBits(32);
    sync_PlayItem_id           = bb.ReadBits(16);
    sync_start_PTS_of_PlayItem = bb.ReadBits(32);
    if (is_multi_Clip_entries) {
        number_of_multi_Clip_entries = bb.ReadBits(8);
        bb.SkipBits(8);
        if (ParseClipEntries(bb, number_of_multi_Clip_entries, m_subClips))
            return 1;
    }
    SkipToBlockEnd(bb);
    return 0;
}

int CSubPlayItem::Build(CBitBuffer& bb)
{
    // The count includes the item's own clip.
    if (is_multi_Clip_entries && CheckListSize(m_subClips.size(), 254, "subClip entries"))
        return 1;
    BeginSection(bb, 16);
    bb.WriteBytes(Clip_Information_file_name, 5);
    bb.WriteBytes(Clip_codec_identifier, 4);
    bb.WriteBits(27, reserved01);
    bb.WriteBits(4, sp_connection_condition);
    bb.WriteBit(is_multi_Clip_entries != 0);
    bb.WriteBits(8, ref_to_STC_id);
    bb.WriteBits(32, SubPlayItem_IN_time);
    bb.WriteBits(32, SubPlayItem_OUT_time);
    bb.WriteBits(16, sync_PlayItem_id);
    bb.WriteBits(32, sync_start_PTS_of_PlayItem);
    if (is_multi_Clip_entries) {
        bb.WriteBits(8, number_of_multi_Clip_entries);
        bb.WriteBits(8, 0);
        BuildClipEntries(bb, number_of_multi_Clip_entries, m_subClips);
    }
    return EndSection(bb, 0, "SubPlayItem");
}

// JSON holds the fields in another order than the file.
template <class IO> void CSubPlayItem::JsonFields(IO& io)
{
    io.Chars(Clip_Information_file_name, 5, "Clip_Information_file_name");
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier");
    io.U(8, FLD(ref_to_STC_id));
    io.Opt(27, FLD(reserved01));
    io.U(1, FLD(is_multi_Clip_entries));
    io.U(4, FLD(sp_connection_condition));
    io.U(32, FLD(SubPlayItem_IN_time));
    io.U(32, FLD(SubPlayItem_OUT_time));
    io.U(16, FLD(sync_PlayItem_id));
    io.U(32, FLD(sync_start_PTS_of_PlayItem));
}

int CSubPlayItem::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    ser::JsonReader io(doc, object);
    JsonFields(io);
    if (is_multi_Clip_entries) {
        JValue* multi = GetJsonMember("multi_clip_entries", object);
        if (!multi || !multi->IsObject()) {
            fprintf(stderr, "failed to read multi_clip_entries\n");
            return 1;
        }
        JValue* entries = GetJsonMember("subClip_entry", *multi);
        if (!entries || !entries->IsArray()) {
            fprintf(stderr, "failed to read subClip_entry\n");
            return 1;
        }
        int failed = int(io.m_flags);
        if (ReadClipEntries(doc, *entries, m_subClips, failed, "failed to read subClip_entry\n"))
            return failed;
        io.m_flags                   = uint32_t(failed);
        number_of_multi_Clip_entries = uint32_t(m_subClips.size() + 1);
    }
    return int(io.m_flags);
}

int CSubPlayItem::WriteJSON(JDoc& doc, JValue& object)
{
    ser::JsonWriter io(doc, object);
    JsonFields(io);
    if (is_multi_Clip_entries) {
        JValue entries(rapidjson::kArrayType);
        WriteClipEntries(doc, entries, number_of_multi_Clip_entries, m_subClips);
        JValue multi(rapidjson::kObjectType);
        multi.AddMember("subClip_entry", entries, doc.GetAllocator());
        object.AddMember("multi_clip_entries", multi, doc.GetAllocator());
    }
    return 0;
}

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
    if constexpr (IO::kOp == ser::Op::kReadJson)
        if (!GetJsonMember("SubPlayItem", io.obj))
            io.Fail("Failed to read SubPlayItem!\n");
    io.Items(number_of_SubPlayItems, m_subPlayItems, "SubPlayItem",
             ser::ListTexts{"Error parsing SubPlayItem[%u]\n", "Error saving SubPlayItem[%u]\n",
                            "Failed to read SubPlayItem!\n", "Failed to save SubPlayItem!\n"});
}

template <class IO> void CSubPath::Fields(IO& io)
{
    io.Opt(8, FLD(reserved01));
    io.U(8, FLD(SubPath_type));
    Body(io);
}

void CSubPath::Clear() { ser::Reset(*this); }
int CSubPath::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CSubPath::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0, "SubPath"); }
int CSubPath::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CSubPath::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

void CSubPath::Print(int indent)
{
    PrintIndented(indent, "SubPlayList:");
    for (CSubPlayItem& item : m_subPlayItems)
        item.Print(indent + 1);
}

// ---- CSubPath_extension ---------------------------------------------------------------------

template <class IO> void CSubPath_extension::Fields(IO& io)
{
    io.Opt(8, FLD(reserved01));
    io.U(8, FLD(SubPath_type));
    if (SubPath_type == 8 || SubPath_type == 9)
        Body(io);
    else if constexpr (IO::kOp == ser::Op::kBuild)
        io.Zero(16);
    // Parse skips the rest of another type's block by its length.
}

int CSubPath_extension::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CSubPath_extension::Build(CBitBuffer& bb)
{
    return ser::BuildBlock(*this, bb, 32, 0, "SubPath_extension");
}
int CSubPath_extension::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CSubPath_extension::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

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
