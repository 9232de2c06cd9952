// Stream entries and stream attributes of the STN tables, and the composite stream records.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

// stream_entry(): where a stream comes from.
class CStreamEntry : public ser::Described<CStreamEntry, ser::Length<8>>
{
  public:
    static constexpr const char* kBlockName = "stream_entry";

    uint32_t type = 0, subpath_id = 0, subclip_id = 0, pid = 0;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// stream_attributes(): how a stream is coded, by coding-type group.
class CStreamAttributes : public ser::Described<CStreamAttributes, ser::Length<8>>
{
  public:
    static constexpr const char* kBlockName = "stream_attributes";

    uint32_t stream_coding_type      = 0;
    uint32_t video_format            = 0;
    uint32_t frame_rate              = 0;
    uint32_t reserved_uhd            = 0;
    uint32_t reserved01              = 0;
    uint32_t audio_presentation_type = 0;
    uint32_t sampling_frequency      = 0;
    uint32_t char_code               = 0;
    char language_code[3]            = {0, 0, 0};

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// stream_attributes_SS() of an MVC dependent-view video stream.
class CStreamAttributesSS : public ser::Described<CStreamAttributesSS, ser::Length<8>>
{
  public:
    static constexpr const char* kBlockName = "stream_attributes_SS";

    uint32_t stream_coding_type = 0, video_format = 0, frame_rate = 0, reserved01 = 0;

    template <class IO> void Fields(IO& io);
};

// One MVC dependent-view video stream of STN_table_SS.
class CMVCDependentStream : public ser::Described<CMVCDependentStream>
{
  public:
    CStreamEntry stream_entry;
    CStreamAttributesSS stream_attributes_SS;
    uint32_t reserved02 = 0, number_of_offset_sequences = 0;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in stream.cpp.
extern template class ser::Described<CStreamEntry, ser::Length<8>>;
extern template class ser::Described<CStreamAttributes, ser::Length<8>>;
extern template class ser::Described<CStreamAttributesSS, ser::Length<8>>;
extern template class ser::Described<CMVCDependentStream>;
