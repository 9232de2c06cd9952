#include "disc/mpls/stn_table_ss.h"

#include "disc/framework/serial_io.h"
#include "disc/mpls/playlist.h"

#include <cstdio>

namespace
{

// One stream entry of a PG or IG element, with its role and its messages.
struct EntrySlot {
    CStreamEntry* entry;
    const char* role; // the key of its own object when it is not the first entry present
    const char* parseText;
    const char* readText;
    const char* saveText;
};

// A group of entries present under one flag, followed by a dropped byte and an
// offset-sequence reference.
struct EntryGroup {
    uint32_t flag;
    EntrySlot slots[2];
    int count;
    uint32_t* ref;
    const char* refKey;
};

int ParseGroups(CBitBuffer& bb, EntryGroup* groups, int n)
{
    for (int g = 0; g < n; ++g) {
        if (!groups[g].flag)
            continue;
        for (int s = 0; s < groups[g].count; ++s) {
            int r = groups[g].slots[s].entry->Parse(bb);
            if (r) {
                fputs(groups[g].slots[s].parseText, stderr);
                return r;
            }
        }
        bb.SkipBits(8);
        *groups[g].ref = bb.ReadBits(8);
    }
    return 0;
}

int BuildGroups(CBitBuffer& bb, EntryGroup* groups, int n)
{
    for (int g = 0; g < n; ++g) {
        if (!groups[g].flag)
            continue;
        for (int s = 0; s < groups[g].count; ++s) {
            int r = groups[g].slots[s].entry->Build(bb);
            if (r) {
                fputs(groups[g].slots[s].saveText, stderr);
                return r;
            }
        }
        bb.WriteBits(8, 0);
        bb.WriteBits(8, *groups[g].ref);
    }
    return 0;
}

// The first entry present stands flat in the element's object, as a single entry always
// did; every further one gets an object of its own under its role, so that no key repeats
// and each entry keeps its own values.
int WriteGroups(JDoc& doc, JValue& object, EntryGroup* groups, int n)
{
    bool flatUsed = false;
    for (int g = 0; g < n; ++g) {
        if (!groups[g].flag)
            continue;
        for (int s = 0; s < groups[g].count; ++s) {
            const EntrySlot& slot = groups[g].slots[s];
            int r;
            if (!flatUsed) {
                r        = slot.entry->WriteJSON(doc, object);
                flatUsed = true;
            } else {
                JValue own(rapidjson::kObjectType);
                r = slot.entry->WriteJSON(doc, own);
                object.AddMember(rapidjson::StringRef(slot.role), own, doc.GetAllocator());
            }
            if (r) {
                fputs(slot.saveText, stderr);
                return r;
            }
        }
        AddJsonUint(doc, object, groups[g].refKey, *groups[g].ref);
    }
    return 0;
}

// Reads what WriteGroups writes; a further entry without its own object reads the flat keys,
// as JSON written before entries had their own objects did.
int ReadGroups(JDoc& doc, JValue& object, EntryGroup* groups, int n, uint32_t& flags)
{
    bool flatUsed = false;
    for (int g = 0; g < n; ++g) {
        if (!groups[g].flag)
            continue;
        for (int s = 0; s < groups[g].count; ++s) {
            const EntrySlot& slot = groups[g].slots[s];
            JValue* from          = &object;
            if (flatUsed) {
                JValue* own = GetJsonMember(slot.role, object);
                if (own && own->IsObject())
                    from = own;
            }
            flatUsed = true;
            int r    = slot.entry->ReadJSON(doc, *from);
            if (r) {
                fputs(slot.readText, stderr);
                return r;
            }
        }
        *groups[g].ref = ReadJsonUint(groups[g].refKey, object, &flags);
    }
    return 0;
}

// The entries of the groups, by operation. Reading JSON goes on collecting the missing
// required members into the leading fields' flags.
template <class IO> int Groups(IO& io, EntryGroup* groups, int n)
{
    if constexpr (IO::kOp == ser::Op::kParse)
        return ParseGroups(io.bb, groups, n);
    else if constexpr (IO::kOp == ser::Op::kBuild)
        return BuildGroups(io.bb, groups, n);
    else if constexpr (IO::kOp == ser::Op::kWriteJson)
        return WriteGroups(io.doc, io.obj, groups, n);
    else {
        uint32_t flags = io.m_flags;
        int r          = ReadGroups(io.doc, io.obj, groups, n, flags);
        return r ? r : int(flags & 1);
    }
}

} // namespace

// ---- CPGStreamSS ---------------------------------------------------------------------------

void CPGStreamSS::Clear() { ser::Reset(*this); }

// JSON holds the leading fields in file order, one-bit flags as given.
template <class IO> int CPGStreamSS::Fields(IO& io)
{
    io.U(8, FLD(PG_textST_offset_sequence_id_ref));
    io.Opt(4, FLD(reserved01));
    io.Bit(FLD(dialog_region_offset_valid_flag));
    io.Bit(FLD(is_SS_PG));
    io.Bit(FLD(is_top_AS_PG_textST));
    io.Bit(FLD(is_bottom_AS_PG_textST));
    if constexpr (IO::kOp == ser::Op::kReadJson)
        if (io.m_flags) {
            fprintf(stderr, "Failed to read PG_textST_stream_entry!\n");
            return 1;
        }
    EntryGroup groups[3] = {{is_SS_PG,
                             {{&SS_PG_L, "PG_textST_stream_entry_SS_PG_L",
                               "Failed to read PG_textST_stream_entry_SS_PG_L!\n",
                               "Failed to read PG_textST_stream_entry_SS_PG_L!\n",
                               "Failed to save PG_textST_stream_entry_SS_PG_L!\n"},
                              {&SS_PG_R, "PG_textST_stream_entry_SS_PG_R",
                               "Failed to read PG_textST_stream_entry_SS_PG_R!\n",
                               "Failed to read PG_textST_stream_entry_SS_PG_R!\n",
                               "Failed to save PG_textST_stream_entry_SS_PG_R!\n"}},
                             2,
                             &SS_PG_offset_sequence_id_ref,
                             "SS_PG_offset_sequence_id_ref"},
                            {is_top_AS_PG_textST,
                             {{&top_AS_PG, "PG_textST_stream_entry_top_AS_PG",
                               "Failed to read PG_textST_stream_entry_top_AS_PG!\n",
                               "Failed to read PG_textST_stream_entry_top_AS_PG!\n",
                               "Failed to save PG_textST_stream_entry_top_AS_PG!\n"}},
                             1,
                             &top_AS_PG_textST_offset_sequence_id_ref,
                             "top_AS_PG_textST_offset_sequence_id_ref"},
                            {is_bottom_AS_PG_textST,
                             {{&bottom_AS_PG, "PG_textST_stream_entry_bottom_AS_PG",
                               "Failed to read PG_textST_stream_entry_bottom_AS_PG!\n",
                               "Failed to read PG_textST_stream_entry_bottom_AS_PG!\n",
                               "Failed to save PG_textST_stream_entry_bottom_AS_PG!\n"}},
                             1,
                             &bottom_AS_PG_textST_offset_sequence_id_ref,
                             "bottom_AS_PG_textST_offset_sequence_id_ref"}};
    return Groups(io, groups, 3);
}

int CPGStreamSS::Parse(CBitBuffer& bb)
{
    Clear();
    ser::Parser io(bb);
    return Fields(io);
}

int CPGStreamSS::Build(CBitBuffer& bb)
{
    ser::Builder io(bb);
    return Fields(io);
}

int CPGStreamSS::WriteJSON(JDoc& doc, JValue& object)
{
    ser::JsonWriter io(doc, object);
    return Fields(io);
}

int CPGStreamSS::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    ser::JsonReader io(doc, object);
    return Fields(io);
}

// ---- CIGStreamSS ---------------------------------------------------------------------------

void CIGStreamSS::Clear() { ser::Reset(*this); }

template <class IO> int CIGStreamSS::Fields(IO& io)
{
    io.U(8, FLD(IG_offset_sequence_id_ref));
    io.Bit(FLD(IG_Plane_offset_direction_during_BB_video_flag));
    io.U(7, FLD(IG_Plane_offset_value_during_BB_video));
    io.Opt(8, FLD(reserved01));
    io.Opt(7, FLD(reserved02));
    io.Bit(FLD(is_SS_IG));
    EntryGroup groups[1] = {
        {is_SS_IG,
         {{&SS_IG_L, "IG_stream_entry_SS_PG_L", "Failed to read IG_stream_entry_SS_PG_L!\n",
           "Failed to load IG_stream_entry_SS_PG_L!\n",
           "Failed to save IG_stream_entry_SS_PG_L!\n"},
          {&SS_IG_R, "IG_stream_entry_SS_PG_R", "Failed to read IG_stream_entry_SS_PG_R!\n",
           "Failed to load IG_stream_entry_SS_PG_R!\n",
           "Failed to save IG_stream_entry_SS_PG_R!\n"}},
         2,
         &SS_IG_offset_sequence_id_ref,
         "SS_IG_offset_sequence_id_ref"}};
    return Groups(io, groups, 1);
}

int CIGStreamSS::Parse(CBitBuffer& bb)
{
    Clear();
    ser::Parser io(bb);
    return Fields(io);
}

int CIGStreamSS::Build(CBitBuffer& bb)
{
    ser::Builder io(bb);
    return Fields(io);
}

int CIGStreamSS::WriteJSON(JDoc& doc, JValue& object)
{
    ser::JsonWriter io(doc, object);
    return Fields(io);
}

int CIGStreamSS::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    ser::JsonReader io(doc, object);
    return Fields(io);
}

// ---- CSTNTableSSPlayItem -------------------------------------------------------------------

void CSTNTableSSPlayItem::Clear() { ser::Reset(*this); }

// Parses count elements of a list, each spending one unit of the element budget.
template <class T>
static int ParseList(CBitBuffer& bb, uint32_t count, std::vector<T>& list, const char* text)
{
    for (uint32_t i = 0; i < count; ++i) {
        T item;
        int r = bb.TakeElement() ? item.Parse(bb) : 1;
        if (r) {
            fprintf(stderr, text, i);
            return r;
        }
        list.push_back(std::move(item));
    }
    return 0;
}

template <class T> static int BuildList(CBitBuffer& bb, std::vector<T>& list, const char* text)
{
    for (size_t i = 0; i < list.size(); ++i) {
        int r = list[i].Build(bb);
        if (r) {
            fprintf(stderr, text, unsigned(i));
            return r;
        }
    }
    return 0;
}

int CSTNTableSSPlayItem::ParseWithContext(CBitBuffer& bb, const CPlayItem& item)
{
    Clear();
    ReadLength(bb, 16);
    Fixed_offset_during_PopUp_flag = bb.ReadBits(1);
    reserved01                     = bb.ReadBits(15);
    const CSTNTable& stn           = item.STN_table;
    int r = ParseList(bb, stn.number_of_primary_video_stream_entries, m_mvcStreams,
                      "Error parsing MVC_Dependent_view_video_stream[%u]\n");
    if (!r)
        r = ParseList(bb, stn.number_of_PG_textST_stream_entries, m_pgStreams,
                      "Error parsing PG_stream[%u]\n");
    if (!r)
        r = ParseList(bb, stn.number_of_IG_stream_entries, m_igStreams,
                      "Error parsing IG_stream[%u]\n");
    if (r)
        return r;
    SkipToBlockEnd(bb);
    return 0;
}

int CSTNTableSSPlayItem::Build(CBitBuffer& bb)
{
    BeginSection(bb, 16);
    bb.WriteBit(Fixed_offset_during_PopUp_flag != 0);
    bb.WriteBits(15, reserved01);
    int r = BuildList(bb, m_mvcStreams, "Error saving MVC_Dependent_view_video_stream[%u]\n");
    if (!r)
        r = BuildList(bb, m_pgStreams, "Error saving PG_stream[%u]\n");
    if (!r)
        r = BuildList(bb, m_igStreams, "Error saving IG_stream[%u]\n");
    if (r)
        return r;
    return EndSection(bb, 4, "STN_table_SS_for_PlayItem");
}

int CSTNTableSSPlayItem::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    reserved01 = ReadJsonUint("reserved01", object);
    // Reported when missing, but not a failure of its own.
    uint32_t expected = 0;
    Fixed_offset_during_PopUp_flag =
        ReadJsonUint("Fixed_offset_during_PopUp_flag", object, &expected);

    auto read = [&](const char* key, const char* missing, const char* failed, auto& list) {
        JValue* array = GetJsonMember(key, object);
        if (!array) {
            fputs(missing, stderr);
            return 1;
        }
        int r = ReadJSONArray(doc, array, list);
        if (r)
            fputs(failed, stderr);
        return r;
    };
    int r =
        read("MVC_Dependent_view_video_stream", "Failed to read MVC_Dependent_view_video_stream!\n",
             "Failed to read MVC_Dependent_view_video_stream!\n", m_mvcStreams);
    if (!r)
        r = read("PG_stream", "Failed to read PG_stream!\n", "Failed to load PG_stream!\n",
                 m_pgStreams);
    if (!r)
        r = read("IG_stream", "Failed to read IG_stream!\n", "Failed to read IG_stream!\n",
                 m_igStreams);
    return r;
}

int CSTNTableSSPlayItem::WriteJSON(JDoc& doc, JValue& object)
{
    AddJsonUint(doc, object, "reserved01", reserved01);
    AddJsonUint(doc, object, "Fixed_offset_during_PopUp_flag", Fixed_offset_during_PopUp_flag);
    auto write = [&](const char* key, const char* failed, auto& list) {
        JValue array(rapidjson::kArrayType);
        int r = WriteJSONArray(doc, &array, list);
        if (r)
            fputs(failed, stderr);
        else
            object.AddMember(rapidjson::StringRef(key), array, doc.GetAllocator());
        return r;
    };
    int r = write("MVC_Dependent_view_video_stream",
                  "Failed to save MVC_Dependent_view_video_stream!\n", m_mvcStreams);
    if (!r)
        r = write("PG_stream", "Failed to save PG_stream!\n", m_pgStreams);
    if (!r)
        r = write("IG_stream", "Failed to save IG_stream!\n", m_igStreams);
    return r;
}

// ---- CSTNTableSS ---------------------------------------------------------------------------

int CSTNTableSS::ParseWithContext(CBitBuffer& bb, CPlayList* context)
{
    Clear();
    if (!context)
        return 0;
    // One block per PlayItem held in memory, whatever count the file claims.
    for (size_t i = 0; i < context->m_playItems.size(); ++i) {
        CSTNTableSSPlayItem item;
        int r = bb.TakeElement() ? item.ParseWithContext(bb, context->m_playItems[i]) : 1;
        if (r) {
            fprintf(stderr, "Error parsing STN_table_SS_for_PlayItem[%u]\n", unsigned(i));
            return r;
        }
        m_playItems.push_back(std::move(item));
    }
    return 0;
}

int CSTNTableSS::Build(CBitBuffer& bb)
{
    return BuildList(bb, m_playItems, "Error saving STN_table_SS_for_PlayItem[%u]!\n");
}

int CSTNTableSS::ReadJSON(JDoc& doc, JValue& entry)
{
    Clear();
    JValue* object = GetJsonMember("STN_Table_SS", entry);
    if (!object || !object->IsObject()) {
        fprintf(stderr, "failed to read STN_Table_SS\n");
        return 1;
    }
    JValue* array = GetJsonMember("STN_table_SS_for_PlayItem", *object);
    if (!array) {
        fprintf(stderr, "Failed to read STN_table_SS_for_PlayItem!\n");
        return 1;
    }
    int r = ReadJSONArray(doc, array, m_playItems);
    if (r)
        fprintf(stderr, "Failed to read STN_table_SS_for_PlayItem!\n");
    return r;
}

int CSTNTableSS::WriteJSON(JDoc& doc, JValue& entry)
{
    JValue array(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &array, m_playItems);
    if (r) {
        fprintf(stderr, "Failed to save STN_table_SS_for_PlayItem!\n");
        return r;
    }
    JValue object(rapidjson::kObjectType);
    object.AddMember("STN_table_SS_for_PlayItem", array, doc.GetAllocator());
    entry.AddMember("STN_Table_SS", object, doc.GetAllocator());
    return 0;
}
