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

ser::Layout CIndexBDMV::Layout()
{
    return {version_number,
            {&Indexes_start_address, &ExtensionData_start_address},
            reserved_header,
            sizeof reserved_header,
            {ser::InPlace(AppInfoBDMV), ser::At(Indexes, Indexes_start_address),
             ser::Extension(ExtensionData, ExtensionData_start_address)},
            "index.bdmv"};
}
