#include "disc/clpi/clpi.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CTS_type_info_block --------------------------------------------------------------------

// Each text ends the reading of JSON once anything before it was missing.
template <class IO> void CTS_type_info_block::Fields(IO& io)
{
    io.U(8, FLD(Validity_flags));
    io.Chars(Format_identifier, 4, "Format_identifier", ser::kEndIfMissing);
    io.Chars(Network_information, 9, "Network_information", ser::kEndIfMissing | ser::kCutAtZero);
    io.Chars(Stream_format_name, 16, "Stream_format_name", ser::kEndIfMissing | ser::kCutAtZero);
}

template class ser::Described<CTS_type_info_block, ser::Length<16>>;

// ---- CATC_delta, Cfont_file -----------------------------------------------------------------

template <class IO> void CATC_delta::Fields(IO& io)
{
    io.U(32, FLD(ATC_delta));
    io.Chars(following_Clip_Information_file_name, 5, "following_Clip_Information_file_name",
             ser::kEndIfMissing);
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier", ser::kEndIfMissing);
    io.Opt(8, FLD(reserved01));
}

template class ser::Described<CATC_delta>;

template <class IO> void Cfont_file::Fields(IO& io)
{
    io.Chars(font_file_name, 5, "font_file_name", ser::kEndIfMissing);
    io.Opt(8, FLD(reserved01));
}

template class ser::Described<Cfont_file>;

// ---- CClipInfo ------------------------------------------------------------------------------

template <class IO> void CClipInfo::Fields(IO& io)
{
    io.Opt(16, FLD(reserved01));
    io.U(8, FLD(Clip_stream_type));
    io.U(8, FLD(application_type));
    io.U(31, FLD(reserved02), ser::kOptional);
    io.Flag(FLD(is_ATC_delta));
    io.U(32, FLD(TS_recording_rate));
    io.U(32, FLD(number_of_source_packets));
    io.Area(reserved_block, sizeof reserved_block, "reserved_block");
    // A TS_type_info_block that cannot be read fails ClipInfo once its lists are read.
    io.Child(TS_type_info_block, ser::kKeepGoing);
    if (is_ATC_delta) {
        io.Opt(8, FLD(reserved04));
        io.Count(8, number_of_ATC_delta_entries, ATC_delta, "ATC_delta entries");
        io.Items(number_of_ATC_delta_entries, ATC_delta, "ATC_delta",
                 ser::ListTexts{nullptr, nullptr, "Failed to read ATC_delta!\n"});
    }
    if (application_type == 6) {
        io.Opt(8, FLD(reserved05));
        io.Count(8, number_of_fonts, font_file, "font_file entries");
        io.Items(number_of_fonts, font_file, "font_file",
                 ser::ListTexts{nullptr, nullptr, "Failed to read font_file!\n"});
    }
}

template class ser::Described<CClipInfo, ser::Length<32>>;

// ---- CClipMark ------------------------------------------------------------------------------

// The marks are not kept; JSON has no form of them, and whatever object stands under the name
// is accepted and ignored.
template <class IO> void CClipMark::Fields(IO& io) { io.Ignored("ClipMark"); }

template class ser::Described<CClipMark, ser::Length<32>>;

// ---- CCLPI ----------------------------------------------------------------------------------

// The four blocks before ExtensionData are always written, also when they were absent.
ser::Layout CCLPI::Layout()
{
    return {version_number,
            {&SequenceInfo_start_address, &ProgramInfo_start_address, &CPI_start_address,
             &ClipMark_start_address, &ExtensionData_start_address},
            reserved_header,
            sizeof reserved_header,
            {ser::InPlace(ClipInfo), ser::At(SequenceInfo, SequenceInfo_start_address),
             ser::At(ProgramInfo, ProgramInfo_start_address), ser::At(CPI, CPI_start_address),
             ser::At(ClipMark, ClipMark_start_address),
             ser::Extension(ExtensionData, ExtensionData_start_address)},
            "Clip information"};
}
