// CPI of clip information (and CPI_SS of its ExtensionData): the EP map with one coarse and
// one fine table of entry points per stream.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CEP_coarse : public CIBDSerial
{
  public:
    uint32_t ref_to_EP_fine_id = 0, PTS_EP_coarse = 0, SPN_EP_coarse = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CEP_fine : public CIBDSerial
{
  public:
    uint32_t is_angle_change_point = 0, I_end_position_offset = 0, PTS_EP_fine = 0, SPN_EP_fine = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

// One 12-byte header entry of the EP map; it has no JSON form of its own.
class CEP_map_for_one_stream_HDR : public CIBDSerial
{
  public:
    uint32_t stream_PID                              = 0;
    uint32_t reserved01                              = 0;
    uint32_t EP_stream_type                          = 0;
    uint32_t number_of_EP_coarse_entries             = 0;
    uint32_t number_of_EP_fine_entries               = 0;
    uint32_t EP_map_for_one_stream_PID_start_address = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

// A stream's header entry and its table: the coarse entries, then the fine entries.
class CEP_map_for_one_stream_PID : public CEP_map_for_one_stream_HDR
{
  public:
    uint32_t EP_fine_table_start_address = 0;
    std::vector<CEP_coarse> EP_coarse;
    std::vector<CEP_fine> EP_fine;

    // Empties the table; the header fields stay.
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    // Parses the table at the cursor (the map reads the header entry).
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    // Builds the table at the cursor (the map writes the header entry).
    int Build(CBitBuffer& bb) override;

    // Where the table must end (bits) and how many bytes of tables the map still holds; the
    // map sets both before Parse, which refuses tables outside them.
    uint64_t m_limit = 0, m_bytesLeft = 0;

    template <class IO> void Fields(IO& io); // JSON only
};

class CEP_map : public CIBDSerial
{
  public:
    uint32_t reserved                     = 0;
    uint32_t number_of_stream_PID_entries = 0;
    std::vector<CEP_map_for_one_stream_PID> EP_map_for_one_stream_PID;

    // Where the tables must end, in bits from the buffer start: the CPI block's end, set by
    // the CPI before Parse.
    uint64_t m_limit = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& cpi) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& cpi) override;
    int Build(CBitBuffer& bb) override;
};

class CCPI : public CIBDSerial
{
  public:
    uint32_t reserved01 = 0, CPI_type = 0;
    CEP_map EP_map; // flat in the CPI object

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

// The same block for the dependent view; only its JSON name differs.
class CCPI_SS : public CCPI
{
};
