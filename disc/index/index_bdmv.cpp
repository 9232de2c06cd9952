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
    // Unlike a reserved area, every byte is written, trailing zeros included.
    io.Area(content_provider_user_data, sizeof content_provider_user_data,
            "content_provider_user_data", true);
}

template class ser::Described<CAppInfoBDMV, ser::Length<32>>;

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
        io.Chars(bdjo_file_name, 5, "bdjo_file_name", ser::kEndIfMissing);
        io.Opt(8, FLD(reserved03));
    } else {
        // Any other kind: the last six bytes are not kept, so they come back as zeros.
        io.Zero(48);
    }
}

// The owner hands over the entry's own value, whatever its kind: a value that is not an object
// reports its required members as missing.
template class ser::Described<CTitle>;

// ---- CIndexes -------------------------------------------------------------------------------

template <class IO> void CIndexes::Fields(IO& io)
{
    io.Object(
        "FirstPlayback",
        [&] {
            io.Child(FirstPlayback, ser::kStop,
                     ser::ChildTexts{"Error reading FirstPlayback!\n",
                                     "Error saving FirstPlayback!\n",
                                     "Error reading FirstPlayback!\n"});
        },
        true);
    io.Object(
        "TopMenu",
        [&] {
            io.Child(TopMenu, ser::kStop,
                     ser::ChildTexts{"Error reading TopMenu!\n", "Error saving TopMenu!\n",
                                     "Error reading TopMenu!\n"});
        },
        true);
    io.Count(16, number_of_Titles, m_titles, "titles");
    io.Items(number_of_Titles, m_titles, "Title",
             ser::ListTexts{"Error parsing Title[%u]!\n", nullptr, "Failed to read Title!\n"},
             ser::kOmitEmpty);
}

template class ser::Described<CIndexes, ser::Length<32>>;

// ---- CIndexBDMV -----------------------------------------------------------------------------

CIndexBDMV::CIndexBDMV() { ExtensionData.m_jsonName = "ExtensionData"; }

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
