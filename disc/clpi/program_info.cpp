#include "disc/clpi/program_info.h"

#include "disc/framework/serial_io.h"

// ---- CISRC ----------------------------------------------------------------------------------

// Each text ends the reading of JSON once anything before it was missing, and a missing one
// is named twice.
template <class IO> void CISRC::Fields(IO& io)
{
    const ser::TextOption text = ser::kEndIfMissing | ser::kCutAtZero | ser::kSayMissing;
    io.Chars(country_code, 2, "country_code", text);
    io.Chars(copyright_holder, 3, "copyright_holder", text);
    io.Chars(recording_year, 2, "recording_year", text);
    io.Chars(recording_number, 5, "recording_number", text);
}

template class ser::Described<CISRC>;

// ---- CStreamCodingInfo ----------------------------------------------------------------------

namespace
{

enum class CodingGroup { kVideo, kAudio, kGraphics, kText, kUnknown };

// Clip files group MVC with video; the file knows DRA (0x87, 0x88) as audio, JSON treats it as
// an unknown code. HEVC has the plain video layout here.
CodingGroup GroupOf(uint32_t codingType, bool json)
{
    switch (StreamCodingFamily(codingType)) {
    case CodingFamily::kVideo:
    case CodingFamily::kHevc:
    case CodingFamily::kMvc:
        return CodingGroup::kVideo;
    case CodingFamily::kDra:
        return json ? CodingGroup::kUnknown : CodingGroup::kAudio;
    case CodingFamily::kAudio:
        return CodingGroup::kAudio;
    case CodingFamily::kGraphics:
        return CodingGroup::kGraphics;
    case CodingFamily::kText:
        return CodingGroup::kText;
    default:
        return CodingGroup::kUnknown;
    }
}

} // namespace

template <class IO> void CStreamCodingInfo::Fields(IO& io)
{
    io.Code(8, FLD(stream_coding_type), kStreamCodingTypeNames, ParseStreamCodingType);
    switch (GroupOf(stream_coding_type, IO::kJson)) {
    case CodingGroup::kVideo:
        io.Code(4, FLD(video_format), kVideoFormatNames, ParseVideoFormat);
        io.Code(4, FLD(frame_rate), kFrameRateNames, ParseFrameRate);
        io.Code(4, FLD(aspect_ratio), kAspectRatioNames, ParseAspectRatio);
        io.U(2, FLD(reserved01), ser::kOptional);
        io.Flag(FLD(cc_flag));
        io.U(17, FLD(reserved02), ser::kOptional);
        break;
    case CodingGroup::kAudio:
        io.Code(4, FLD(audio_presentation_type), kAudioPresentationTypeNames,
                ParseAudioPresentationType);
        io.Code(4, FLD(sampling_frequency), kSamplingFrequencyNames, ParseSamplingFrequency);
        io.Chars(language_code, 3, "language_code");
        break;
    case CodingGroup::kGraphics:
        io.Chars(language_code, 3, "language_code");
        io.Opt(8, FLD(reserved01));
        break;
    case CodingGroup::kText:
        io.U(8, FLD(char_code));
        io.Chars(language_code, 3, "language_code");
        break;
    case CodingGroup::kUnknown:
        // The file keeps the 4 bytes silently; JSON carries the coding type alone.
        io.Hidden(32, FLD(reserved01));
        if constexpr (IO::kOp == ser::Op::kReadJson)
            io.Fail("Failed to read StreamCodingInfo!\n");
        if constexpr (IO::kJson)
            return;
        break;
    }
    io.Child(ISRC, ser::kKeepGoing);
    io.U(32, FLD(reserved03), ser::kOptional);
}

template class ser::Described<CStreamCodingInfo, ser::Length<8>>;

// ---- Cstream_in_ps --------------------------------------------------------------------------

template <class IO> void Cstream_in_ps::Fields(IO& io)
{
    io.U(16, FLD(stream_PID));
    io.Child(StreamCodingInfo, ser::kKeepGoing); // flat in the stream's object
}

template class ser::Described<Cstream_in_ps>;

// ---- Cprogram_sequence ----------------------------------------------------------------------

template <class IO> void Cprogram_sequence::Fields(IO& io)
{
    io.U(32, FLD(SPN_program_sequence_start));
    io.U(16, FLD(program_map_PID));
    io.Count(8, number_of_streams_in_ps, stream_in_ps, "stream_in_ps entries");
    io.Opt(8, FLD(reserved01));
    io.Items(number_of_streams_in_ps, stream_in_ps, "stream_in_ps",
             ser::ListTexts{nullptr, nullptr, "Failed to read stream_in_ps!\n"});
}

template class ser::Described<Cprogram_sequence>;

// ---- CProgramInfo ---------------------------------------------------------------------------

template <class IO> void CProgramInfo::Fields(IO& io)
{
    io.Opt(8, FLD(reserved_for_word_align));
    io.Count(8, number_of_program_sequences, program_sequence, "program_sequence entries");
    io.Items(number_of_program_sequences, program_sequence, "program_sequence",
             ser::ListTexts{nullptr, nullptr, "Failed to read program_sequence!\n"});
}

template class ser::Described<CProgramInfo, ser::Length<32>>;
template class ser::Described<CProgramInfo_SS, ser::Length<32>, CProgramInfo>;
