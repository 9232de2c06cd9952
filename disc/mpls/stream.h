// Stream entries and stream attributes of the STN tables, and the composite stream records.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

// stream_entry(): where a stream comes from.
class CStreamEntry : public CIBDSerial
{
  public:
    uint32_t type = 0, subpath_id = 0, subclip_id = 0, pid = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// stream_attributes(): how a stream is coded, by coding-type group.
class CStreamAttributes : public CIBDSerial
{
  public:
    uint32_t stream_coding_type      = 0;
    uint32_t video_format            = 0;
    uint32_t frame_rate              = 0;
    uint32_t reserved_uhd            = 0;
    uint32_t reserved01              = 0;
    uint32_t audio_presentation_type = 0;
    uint32_t sampling_frequency      = 0;
    uint32_t char_code               = 0;
    char language_code[3]            = {0, 0, 0};

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// stream_attributes_SS() of an MVC dependent-view video stream.
class CStreamAttributesSS : public CIBDSerial
{
  public:
    uint32_t stream_coding_type = 0, video_format = 0, frame_rate = 0, reserved01 = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

// One stream of an STN table: entry, attributes and, for secondary streams, the lists of
// stream ids it refers to.
class CSingleStream : public CIBDSerial
{
  public:
    CStreamEntry stream_entry;
    CStreamAttributes stream_attributes;
    uint32_t ref_list_count =
        0; // set by the owning table: 0 primary, 1 secondary audio, 2 secondary video
    std::vector<uint32_t> stream_id_ref;
    std::vector<uint32_t> PiP_PG_textST_stream_id_ref;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;
};

// One MVC dependent-view video stream of STN_table_SS.
class CMVCDependentStream : public CIBDSerial
{
  public:
    CStreamEntry stream_entry;
    CStreamAttributesSS stream_attributes_SS;
    uint32_t reserved02 = 0, number_of_offset_sequences = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};
