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

ser::Layout CMovieObjectBDMV::Layout()
{
    return {
        version_number,
        {&ExtensionData_start_address},
        reserved_header,
        sizeof reserved_header,
        {ser::InPlace(MovieObjects), ser::Extension(ExtensionData, ExtensionData_start_address)},
        "MovieObject.bdmv"};
}
