// ProgramInfo of clip information (and ProgramInfo_SS of its ExtensionData): program
// sequences, their streams and each stream's StreamCodingInfo with its ISRC.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CISRC : public ser::Described<CISRC>
{
  public:
    static constexpr const char* kJsonName = "ISRC";

    char country_code[2]     = {};
    char copyright_holder[3] = {};
    char recording_year[2]   = {};
    char recording_number[5] = {};

    template <class IO> void Fields(IO& io);
};

class CStreamCodingInfo : public ser::Described<CStreamCodingInfo, ser::Length<8>>
{
  public:
    static constexpr const char* kBlockName = "StreamCodingInfo";

    uint32_t stream_coding_type = 0;
    uint32_t video_format       = 0;
    uint32_t frame_rate         = 0;
    uint32_t aspect_ratio       = 0;
    uint32_t reserved01         = 0;
    uint32_t cc_flag            = 0;
    uint32_t reserved02         = 0;
    CISRC ISRC;
    uint32_t reserved03              = 0;
    uint32_t audio_presentation_type = 0;
    uint32_t sampling_frequency      = 0;
    char language_code[3]            = {};
    uint32_t char_code               = 0;

    template <class IO> void Fields(IO& io);
};

class Cstream_in_ps : public ser::Described<Cstream_in_ps>
{
  public:
    uint32_t stream_PID = 0;
    CStreamCodingInfo StreamCodingInfo;

    template <class IO> void Fields(IO& io);
};

class Cprogram_sequence : public ser::Described<Cprogram_sequence>
{
  public:
    uint32_t SPN_program_sequence_start = 0;
    uint32_t program_map_PID            = 0;
    uint32_t number_of_streams_in_ps    = 0;
    uint32_t reserved01                 = 0;
    std::vector<Cstream_in_ps> stream_in_ps;

    template <class IO> void Fields(IO& io);
};

class CProgramInfo : public ser::Described<CProgramInfo, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "ProgramInfo";

    uint32_t reserved_for_word_align     = 0;
    uint32_t number_of_program_sequences = 0;
    std::vector<Cprogram_sequence> program_sequence;

    template <class IO> void Fields(IO& io);
};

// The same block for the dependent view; only its JSON name differs.
class CProgramInfo_SS : public ser::Described<CProgramInfo_SS, ser::Length<32>, CProgramInfo>
{
  public:
    static constexpr const char* kJsonName = "ProgramInfo_SS";
};

// The descriptions are instantiated in program_info.cpp.
extern template class ser::Described<CISRC>;
extern template class ser::Described<CStreamCodingInfo, ser::Length<8>>;
extern template class ser::Described<Cstream_in_ps>;
extern template class ser::Described<Cprogram_sequence>;
extern template class ser::Described<CProgramInfo, ser::Length<32>>;
extern template class ser::Described<CProgramInfo_SS, ser::Length<32>, CProgramInfo>;
