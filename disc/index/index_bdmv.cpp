#include "disc/index/index_bdmv.h"

#include "disc/framework/code_names.h"
#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CAppInfoBDMV ---------------------------------------------------------------------------

template <class IO> void CAppInfoBDMV::Fields(IO& io)
{
    io.Opt(1, FLD(reserved01));
    io.Flag(FLD(initial_output_mode_preference));
    io.Flag(FLD(SS_content_exist_flag));
    io.Opt(5, FLD(reserved02));
    io.Code(4, FLD(video_format), kVideoFormatNames, ParseVideoFormat);
    io.Code(4, FLD(frame_rate), kFrameRateNames, ParseFrameRate);
    if constexpr (IO::kOp == ser::Op::kWriteJson) {
        // Unlike a reserved area, every byte is written, trailing zeros included.
        JValue bytes(rapidjson::kArrayType);
        for (uint8_t b : content_provider_user_data)
            bytes.PushBack(unsigned(b), io.doc.GetAllocator());
        io.obj.AddMember("content_provider_user_data", bytes, io.doc.GetAllocator());
    } else
        io.Area(content_provider_user_data, sizeof content_provider_user_data,
                "content_provider_user_data");
}

BDMV_BLOCK_OPERATIONS(CAppInfoBDMV)

// ---- CTitle ---------------------------------------------------------------------------------

template <class IO> void CTitle::Fields(IO& io)
{
    io.U(2, FLD(object_type));
    io.Opt(2, FLD(access_type)); // stands where the standard has reserved bits
    io.Opt(28, FLD(reserved01));
    io.U(2, FLD(playback_type));
    io.Opt(14, FLD(reserved02));
    if (object_type == 1) {
        io.U(16, FLD(mobj_id_ref));
        io.Opt(32, FLD(reserved03));
    } else if (object_type == 2) {
        if constexpr (IO::kOp == ser::Op::kReadJson)
            if (!ReadJsonString("bdjo_file_name", io.obj)) {
                // A missing name ends the entry with the flags collected so far.
                io.Chars(bdjo_file_name, 5, "bdjo_file_name");
                io.Stop(0);
            }
        io.Chars(bdjo_file_name, 5, "bdjo_file_name");
        io.Opt(8, FLD(reserved03));
    } else {
        // Any other kind: the last six bytes are not kept, so they come back as zeros.
        io.Zero(48);
    }
}

void CTitle::Clear() { ser::Reset(*this); }
int CTitle::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }
int CTitle::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }
int CTitle::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

int CTitle::ReadJSON(JDoc& doc, JValue& object)
{
    // The owner hands over the entry's own value, whatever its kind: a value that is not an
    // object reports its required members as missing.
    Clear();
    ser::JsonReader io(doc, object);
    Fields(io);
    return io.Result();
}

// ---- CIndexes -------------------------------------------------------------------------------

// The file side; JSON names the entries and is written by hand below.
template <class IO> void CIndexes::Fields(IO& io)
{
    io.Child(FirstPlayback, ser::kStop,
             ser::ChildTexts{"Error reading FirstPlayback!\n", "Error saving FirstPlayback!\n"});
    io.Child(TopMenu, ser::kStop,
             ser::ChildTexts{"Error reading TopMenu!\n", "Error saving TopMenu!\n"});
    io.Count(16, number_of_Titles, m_titles, "titles");
    io.Items(number_of_Titles, m_titles, "Title", ser::ListTexts{"Error parsing Title[%u]!\n"});
}

void CIndexes::Clear() { ser::Reset(*this); }
int CIndexes::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CIndexes::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0); }

int CIndexes::ReadJSON(JDoc& doc, JValue& parent)
{
    Clear();
    JValue* indexes = FindOwnMember(parent);
    if (!indexes || !indexes->IsObject()) {
        fprintf(stderr, "failed to read %s\n", "Indexes");
        return 1;
    }
    JValue* entry = GetJsonMember("FirstPlayback", *indexes);
    if (!entry) {
        fprintf(stderr, "failed to read FirstPlayback\n");
        return 1;
    }
    int r = FirstPlayback.ReadJSON(doc, *entry);
    if (r) {
        fprintf(stderr, "Error reading FirstPlayback!\n");
        return r;
    }
    entry = GetJsonMember("TopMenu", *indexes);
    if (!entry) {
        fprintf(stderr, "failed to read TopMenu\n");
        return 1;
    }
    if ((r = TopMenu.ReadJSON(doc, *entry)) != 0) {
        fprintf(stderr, "Error reading TopMenu!\n");
        return r;
    }
    JValue* titles = GetJsonMember("Title", *indexes);
    if (titles && (r = ReadJSONArray(doc, titles, m_titles)) != 0) {
        fprintf(stderr, "Failed to read Title!\n");
        return r;
    }
    return 0;
}

int CIndexes::WriteJSON(JDoc& doc, JValue& parent)
{
    JValue indexes(rapidjson::kObjectType);
    JValue entry(rapidjson::kObjectType);
    int r = FirstPlayback.WriteJSON(doc, entry);
    if (r) {
        fprintf(stderr, "Error saving FirstPlayback!\n");
        return r;
    }
    indexes.AddMember("FirstPlayback", entry, doc.GetAllocator());
    entry.SetObject();
    if ((r = TopMenu.WriteJSON(doc, entry)) != 0) {
        fprintf(stderr, "Error saving TopMenu!\n");
        return r;
    }
    indexes.AddMember("TopMenu", entry, doc.GetAllocator());
    if (!m_titles.empty()) {
        JValue titles(rapidjson::kArrayType);
        if ((r = WriteJSONArray(doc, &titles, m_titles)) != 0) {
            fprintf(stderr, "Failed to save Title!\n");
            return r;
        }
        indexes.AddMember("Title", titles, doc.GetAllocator());
    }
    parent.AddMember(rapidjson::StringRef(m_jsonName), indexes, doc.GetAllocator());
    return 0;
}

// ---- CIndexBDMV -----------------------------------------------------------------------------

CIndexBDMV::CIndexBDMV()
{
    AppInfoBDMV.m_jsonName   = "AppInfoBDMV";
    ExtensionData.m_jsonName = "ExtensionData";
}

void CIndexBDMV::Clear()
{
    memset(version_number, 0, sizeof version_number);
    Indexes_start_address = ExtensionData_start_address = 0;
    memset(reserved_header, 0, sizeof reserved_header);
    AppInfoBDMV.Clear();
    Indexes.Clear();
    ExtensionData.Clear();
}

int CIndexBDMV::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t fileStart = bb.m_cursor - 32; // the type code
    int r                    = ParseVersion(bb, version_number);
    if (r)
        return r;
    Indexes_start_address       = bb.ReadBits(32);
    ExtensionData_start_address = bb.ReadBits(32);
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    if ((r = AppInfoBDMV.Parse(bb)) != 0)
        return r;
    // A section whose address is 0 is absent and stays cleared.
    if (Indexes_start_address) {
        bb.m_cursor = fileStart + 8ull * Indexes_start_address;
        if ((r = Indexes.Parse(bb)) != 0)
            return r;
    }
    return ExtensionData.ParseAt(bb, fileStart, ExtensionData_start_address, nullptr);
}

int CIndexBDMV::Build(CBitBuffer& bb)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code CBDMV has written
    m_startPos               = fileStart;
    BuildVersion(bb, version_number);
    bb.WriteBits(32, Indexes_start_address);
    bb.WriteBits(32, ExtensionData_start_address);
    bb.WriteBytes(reserved_header, sizeof reserved_header);

    int r = AppInfoBDMV.Build(bb);
    if (r)
        return r;
    PadToModulus(bb);
    if ((r = SectionAddress(bb, fileStart, Indexes_start_address, "index.bdmv")) != 0 ||
        (r = Indexes.Build(bb)) != 0)
        return r;
    PadToModulus(bb);
    if ((r = ExtensionData.BuildSection(*this, bb, fileStart, ExtensionData_start_address,
                                        "index.bdmv")) != 0)
        return r;
    bb.m_cursor = fileStart + 64; // just after version_number; the file is complete
    bb.WriteBits(32, Indexes_start_address);
    bb.WriteBits(32, ExtensionData_start_address);
    return 0;
}

int CIndexBDMV::ReadJSON(JDoc& doc, JValue& indx)
{
    Clear();
    int r = ReadJsonVersion(indx, version_number);
    if (r)
        return r;
    ReadJsonArea(indx, "reserved_header", reserved_header, sizeof reserved_header);
    CIBDSerial* members[] = {&AppInfoBDMV, &Indexes, &ExtensionData};
    for (CIBDSerial* member : members)
        if ((r = member->ReadJSON(doc, indx)) != 0)
            return r;
    return 0;
}

int CIndexBDMV::WriteJSON(JDoc& doc, JValue& indx)
{
    WriteJsonVersion(doc, indx, version_number);
    WriteJsonArea(doc, indx, "reserved_header", reserved_header, sizeof reserved_header);
    CIBDSerial* members[] = {&AppInfoBDMV, &Indexes, &ExtensionData};
    for (CIBDSerial* member : members) {
        int r = member->WriteJSON(doc, indx);
        if (r)
            return r;
    }
    return 0;
}
