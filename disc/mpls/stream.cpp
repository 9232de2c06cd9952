#include "disc/mpls/stream.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

// ---- CStreamEntry ---------------------------------------------------------------------------

template <class IO> void CStreamEntry::Fields(IO& io)
{
    io.U(8, FLD(type));
    switch (type) {
    case 1:
        io.U(16, FLD(pid));
        io.Zero(48);
        break;
    case 2:
    case 4:
        io.U(8, FLD(subpath_id));
        io.U(8, FLD(subclip_id));
        io.U(16, FLD(pid));
        io.Zero(32);
        break;
    case 3:
        io.U(8, FLD(subpath_id));
        io.U(16, FLD(pid));
        io.Zero(40);
        break;
    default: // Build and WriteJSON keep just the type byte
        if constexpr (IO::kOp == ser::Op::kParse)
            io.Fail("unrecognized type %02x\n", type);
        if constexpr (IO::kOp == ser::Op::kReadJson)
            io.Fail("failed to read stream_entry\n");
    }
}

template class ser::Described<CStreamEntry, ser::Length<8>>;

void CStreamEntry::Print(int indent)
{
    switch (type) {
    case 1:
        PrintIndented(indent, "PID: 0x%04X", pid);
        break;
    case 2:
    case 4:
        PrintIndented(indent, "SubPath Id: 0x%02X", subpath_id);
        PrintIndented(indent, "SubClip Id: 0x%02X", subclip_id);
        PrintIndented(indent, "PID: 0x%04X", pid);
        break;
    case 3:
        PrintIndented(indent, "SubPath Id: 0x%02X", subpath_id);
        PrintIndented(indent, "PID: 0x%04X", pid);
        break;
    default:
        fprintf(stderr, "unrecognized type 0x%02X\n", type);
    }
}

// ---- CStreamAttributes ----------------------------------------------------------------------

template <class IO> void CStreamAttributes::Fields(IO& io)
{
    io.Code(8, FLD(stream_coding_type), kStreamCodingTypeNames, ParseStreamCodingType);
    const CodingFamily family = StreamCodingFamily(stream_coding_type);
    switch (family) {
    case CodingFamily::kVideo:
    case CodingFamily::kHevc:
        io.Code(4, FLD(video_format), kVideoFormatNames, ParseVideoFormat);
        io.Code(4, FLD(frame_rate), kFrameRateNames, ParseFrameRate);
        // Reading JSON treats all video alike; only HEVC has the field in the file.
        if (family == CodingFamily::kHevc || IO::kOp == ser::Op::kReadJson)
            io.U(8, FLD(reserved_uhd), ser::kOptional);
        io.U(family == CodingFamily::kHevc ? 16 : 24, FLD(reserved01), ser::kOptional);
        break;
    case CodingFamily::kAudio:
        io.Code(4, FLD(audio_presentation_type), kAudioPresentationTypeNames,
                ParseAudioPresentationType);
        io.Code(4, FLD(sampling_frequency), kSamplingFrequencyNames, ParseSamplingFrequency);
        io.Chars(language_code, 3, "language_code");
        break;
    case CodingFamily::kGraphics:
        io.Chars(language_code, 3, "language_code");
        io.Opt(8, FLD(reserved01));
        break;
    case CodingFamily::kText:
        io.U(8, FLD(char_code));
        io.Chars(language_code, 3, "language_code");
        break;
    default:
        // Playlists know MVC and DRA only by name: their attributes are of unknown layout here.
        // The file keeps 4 bytes and skips the rest of the block; JSON has only the name.
        if constexpr (IO::kOp == ser::Op::kParse)
            fprintf(stderr, "Unrecognized stream coding type %02x!\n", stream_coding_type);
        io.Hidden(32, FLD(reserved01));
        if constexpr (IO::kOp == ser::Op::kReadJson)
            io.Fail("Failed to read stream_attributes!\n");
        break;
    }
}

template class ser::Described<CStreamAttributes, ser::Length<8>>;

void CStreamAttributes::Print(int indent)
{
    PrintIndented(indent, "CODEC (0x%02X): %s", stream_coding_type,
                  CodeName(kStreamCodingTypeNames, stream_coding_type));
    switch (StreamCodingFamily(stream_coding_type)) {
    case CodingFamily::kVideo:
    case CodingFamily::kHevc:
        PrintIndented(indent, "Format 0x%02X: %s", video_format,
                      CodeName(kVideoFormatNames, video_format));
        PrintIndented(indent, "Rate   0x%02X: %s", frame_rate,
                      CodeName(kFrameRateNames, frame_rate));
        break;
    case CodingFamily::kAudio:
        PrintIndented(indent, "Format 0x%02X: %s", audio_presentation_type,
                      CodeName(kAudioPresentationTypeNames, audio_presentation_type));
        PrintIndented(indent, "Rate   0x%02X: %s", sampling_frequency,
                      CodeName(kSamplingFrequencyNames, sampling_frequency));
        PrintIndented(indent, "Language: %.3s", language_code);
        break;
    case CodingFamily::kGraphics:
        PrintIndented(indent, "Language: %.3s", language_code);
        break;
    case CodingFamily::kText:
        PrintIndented(indent, "Char Code: 0x%02X", char_code);
        PrintIndented(indent, "Language: %.3s", language_code);
        break;
    default:
        fprintf(stderr, "Unrecognized coding type 0x%02X!\n", stream_coding_type);
        break;
    }
}

// ---- CStreamAttributesSS --------------------------------------------------------------------

template <class IO> void CStreamAttributesSS::Fields(IO& io)
{
    io.Code(8, FLD(stream_coding_type), kStreamCodingTypeNames, ParseStreamCodingType);
    // The file side takes the fields whatever the code; JSON knows only MVC.
    if constexpr (IO::kOp == ser::Op::kReadJson)
        if (stream_coding_type != 0x20)
            io.Fail("Failed to read stream_attributes_SS!\n");
    if (IO::kFile || stream_coding_type == 0x20) {
        io.Code(4, FLD(video_format), kVideoFormatNames, ParseVideoFormat);
        io.Code(4, FLD(frame_rate), kFrameRateNames, ParseFrameRate);
    }
    io.U(24, FLD(reserved01));
}

template class ser::Described<CStreamAttributesSS, ser::Length<8>>;

// ---- CMVCDependentStream --------------------------------------------------------------------

template <class IO> void CMVCDependentStream::Fields(IO& io)
{
    io.Child(stream_entry, ser::kStop,
             ser::ChildTexts{"Failed to read CMVCDependentStream.stream_entry!\n",
                             "Failed to save CMVCDependentStream.stream_entry!\n",
                             "Failed to read CMVCDependentStream.stream_entry!\n"});
    io.Child(stream_attributes_SS, ser::kStop,
             ser::ChildTexts{"Failed to read CMVCDependentStream.stream_attributes_SS!\n",
                             "Failed to save CMVCDependentStream.stream_attributes_SS!\n",
                             "Failed to read CMVCDependentStream.stream_attributes_SS!\n"});
    io.Opt(10, FLD(reserved02));
    io.U(6, FLD(number_of_offset_sequences));
}

template class ser::Described<CMVCDependentStream>;
