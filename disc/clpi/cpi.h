// CPI of clip information (and CPI_SS of its ExtensionData): the EP map with one coarse and
// one fine table of entry points per stream.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CEP_coarse : public ser::Described<CEP_coarse>
{
  public:
    uint32_t ref_to_EP_fine_id = 0, PTS_EP_coarse = 0, SPN_EP_coarse = 0;

    template <class IO> void Fields(IO& io);
};

class CEP_fine : public ser::Described<CEP_fine>
{
  public:
    uint32_t is_angle_change_point = 0, I_end_position_offset = 0, PTS_EP_fine = 0, SPN_EP_fine = 0;

    template <class IO> void Fields(IO& io);
};

// One 12-byte header entry of the EP map; it has no JSON form of its own.
class CEP_map_for_one_stream_HDR : public ser::Described<CEP_map_for_one_stream_HDR>
{
  public:
    uint32_t stream_PID                              = 0;
    uint32_t reserved01                              = 0;
    uint32_t EP_stream_type                          = 0;
    uint32_t number_of_EP_coarse_entries             = 0;
    uint32_t number_of_EP_fine_entries               = 0;
    uint32_t EP_map_for_one_stream_PID_start_address = 0;

    template <class IO> void Fields(IO& io);
};

// A stream's header entry and its table, the coarse entries and then the fine entries, which
// the map reads at the address the header entry gives (Table). Parse and Build handle the
// header entry, as the base's do; JSON has the stream whole.
class CEP_map_for_one_stream_PID
    : public ser::Described<CEP_map_for_one_stream_PID, ser::Plain, CEP_map_for_one_stream_HDR>
{
  public:
    uint32_t EP_fine_table_start_address = 0;
    std::vector<CEP_coarse> EP_coarse;
    std::vector<CEP_fine> EP_fine;

    template <class IO> void Fields(IO& io);
    // bytesLeft: the bytes of tables the map still holds, which this table spends.
    template <class IO> void Table(IO& io, uint64_t& bytesLeft);
};

// In JSON the map's streams stand flat in the CPI object.
class CEP_map : public ser::Described<CEP_map>
{
  public:
    uint32_t reserved                     = 0;
    uint32_t number_of_stream_PID_entries = 0;
    std::vector<CEP_map_for_one_stream_PID> EP_map_for_one_stream_PID;

    template <class IO> void Fields(IO& io);
};

class CCPI : public ser::Described<CCPI, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "CPI";

    uint32_t reserved01 = 0, CPI_type = 0;
    CEP_map EP_map; // flat in the CPI object

    template <class IO> void Fields(IO& io);
};

// The same block for the dependent view; only its JSON name differs.
class CCPI_SS : public ser::Described<CCPI_SS, ser::Length<32>, CCPI>
{
  public:
    static constexpr const char* kJsonName = "CPI_SS";
};

// The descriptions are instantiated in cpi.cpp.
extern template class ser::Described<CEP_coarse>;
extern template class ser::Described<CEP_fine>;
extern template class ser::Described<CEP_map_for_one_stream_HDR>;
extern template class ser::Described<CEP_map_for_one_stream_PID, ser::Plain,
                                     CEP_map_for_one_stream_HDR>;
extern template class ser::Described<CEP_map>;
extern template class ser::Described<CCPI, ser::Length<32>>;
extern template class ser::Described<CCPI_SS, ser::Length<32>, CCPI>;
