#include "disc/movie_object/movie_object.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CMovieObject ---------------------------------------------------------------------------

template <class IO> void CMovieObject::Fields(IO& io)
{
    io.Flag(FLD(resume_intention_flag));
    io.Flag(FLD(menu_call_mask));
    io.Flag(FLD(title_search_mask));
    io.Opt(13, FLD(reserved01));
    io.Count(16, number_of_navigation_commands, m_commands, "navigation commands");
    io.Items(number_of_navigation_commands, m_commands, "NavigationCommand",
             ser::ListTexts{nullptr, "Failed to save navigation_command!\n",
                            "Failed to read navigation_command!\n"},
             ser::kOmitEmpty);
}

template class ser::Described<CMovieObject>;

// ---- CMovieObjects --------------------------------------------------------------------------

// The reserved field is kept from Parse to Build; JSON has no place for it, so it becomes 0.
template <class IO> void CMovieObjects::Fields(IO& io)
{
    io.Hidden(32, FLD(reserved));
    io.Count(16, number_of_mobjs, m_objects, "movie objects");
    io.Items(number_of_mobjs, m_objects, "MovieObjects",
             ser::ListTexts{"failed to read MovieObject[%d]\n", "failed to save MovieObject[%d]\n",
                            "Failed to read %s\n"},
             ser::kOmitEmpty);
}

template class ser::Described<CMovieObjects, ser::Length<32>>;

// ---- CMovieObjectBDMV -----------------------------------------------------------------------

CMovieObjectBDMV::CMovieObjectBDMV() { ExtensionData.m_jsonName = "ExtensionData"; }

void CMovieObjectBDMV::Clear()
{
    memset(version_number, 0, sizeof version_number);
    ExtensionData_start_address = 0;
    memset(reserved_header, 0, sizeof reserved_header);
    MovieObjects.Clear();
    ExtensionData.Clear();
}

int CMovieObjectBDMV::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t fileStart = bb.m_cursor - 32; // the type code
    int r                    = ParseVersion(bb, version_number);
    if (r)
        return r;
    ExtensionData_start_address = bb.ReadBits(32);
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    if ((r = MovieObjects.Parse(bb)) != 0)
        return r;
    return ExtensionData.ParseAt(bb, fileStart, ExtensionData_start_address, nullptr);
}

int CMovieObjectBDMV::Build(CBitBuffer& bb)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code CBDMV has written
    m_startPos               = fileStart;
    BuildVersion(bb, version_number);
    bb.WriteBits(32, ExtensionData_start_address);
    bb.WriteBytes(reserved_header, sizeof reserved_header);

    int r = MovieObjects.Build(bb);
    if (r)
        return r;
    PadToModulus(bb);
    if ((r = ExtensionData.BuildSection(*this, bb, fileStart, ExtensionData_start_address,
                                        "MovieObject.bdmv")) != 0)
        return r;
    bb.m_cursor = fileStart + 64; // just after version_number; the file is complete
    bb.WriteBits(32, ExtensionData_start_address);
    return 0;
}

int CMovieObjectBDMV::ReadJSON(JDoc& doc, JValue& mobj)
{
    Clear();
    int r = ReadJsonVersion(mobj, version_number);
    if (r)
        return r;
    ReadJsonArea(mobj, "reserved_header", reserved_header, sizeof reserved_header);
    if ((r = MovieObjects.ReadJSON(doc, mobj)) != 0)
        return r;
    return ExtensionData.ReadJSON(doc, mobj);
}

int CMovieObjectBDMV::WriteJSON(JDoc& doc, JValue& mobj)
{
    WriteJsonVersion(doc, mobj, version_number);
    WriteJsonArea(doc, mobj, "reserved_header", reserved_header, sizeof reserved_header);
    int r = MovieObjects.WriteJSON(doc, mobj);
    if (r)
        return r;
    return ExtensionData.WriteJSON(doc, mobj);
}
