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
    // An empty command list has no JSON member.
    if (IO::kOp != ser::Op::kWriteJson || !m_commands.empty())
        io.Items(number_of_navigation_commands, m_commands, "NavigationCommand",
                 ser::ListTexts{nullptr, "Failed to save navigation_command!\n",
                                "Failed to read navigation_command!\n",
                                "Failed to save navigation_command!\n"});
}

BDMV_ELEMENT_OPERATIONS(CMovieObject)

// ---- CMovieObjects --------------------------------------------------------------------------

// The file side; in JSON the block is the bare array, written by hand below.
template <class IO> void CMovieObjects::Fields(IO& io)
{
    io.U(32, FLD(reserved));
    io.Count(16, number_of_mobjs, m_objects, "movie objects");
    io.Items(
        number_of_mobjs, m_objects, "MovieObjects",
        ser::ListTexts{"failed to read MovieObject[%d]\n", "failed to save MovieObject[%d]\n"});
}

void CMovieObjects::Clear() { ser::Reset(*this); }
int CMovieObjects::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CMovieObjects::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0); }

int CMovieObjects::ReadJSON(JDoc& doc, JValue& mobj)
{
    Clear(); // the reserved field is not in JSON: it becomes 0
    JValue* objects = FindOwnMember(mobj);
    if (!objects)
        return 0;
    int r = ReadJSONArray(doc, objects, m_objects);
    if (r)
        fprintf(stderr, "Failed to read %s\n", "MovieObjects");
    return r;
}

int CMovieObjects::WriteJSON(JDoc& doc, JValue& mobj)
{
    if (m_objects.empty())
        return 0;
    JValue objects(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &objects, m_objects);
    if (r) {
        fprintf(stderr, "Failed to save %s\n", "MovieObjects");
        return r;
    }
    mobj.AddMember(rapidjson::StringRef(m_jsonName), objects, doc.GetAllocator());
    return 0;
}

// ---- CMovieObjectBDMV -----------------------------------------------------------------------

CMovieObjectBDMV::CMovieObjectBDMV()
{
    MovieObjects.m_jsonName  = "MovieObjects";
    ExtensionData.m_jsonName = "ExtensionData";
}

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
