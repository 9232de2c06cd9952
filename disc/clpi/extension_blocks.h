// Clip information ExtensionData blocks: LPCM down-mix coefficients (1, 2),
// Extent_Start_Point (2, 4), ProgramInfo_SS (2, 5) and CPI_SS (2, 6).
#pragma once

#include "disc/clpi/cpi.h"
#include "disc/clpi/program_info.h"
#include "disc/framework/serial.h"

#include <vector>

// How one LPCM stream's eight channels mix into the left and right outputs.
class CDownMixCoeff : public ser::Described<CDownMixCoeff>
{
  public:
    uint32_t ref_to_stream_index                     = 0;
    uint32_t mixing_phase_for_ch_to_left[8]          = {};
    uint32_t mixing_phase_for_ch_to_right[8]         = {};
    uint32_t down_mix_coefficient_for_ch_to_left[8]  = {};
    uint32_t down_mix_coefficient_for_ch_to_right[8] = {};

    template <class IO> void Fields(IO& io);
};

// Its members stand flat in the ExtensionData entry's object.
class CLPCMDownMix : public ser::Described<CLPCMDownMix, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "HDMV_LPCM_down_mix_coefficient";

    uint32_t number_of_entries = 0;
    std::vector<CDownMixCoeff> HDMV_LPCM_down_mix_coefficient;
    uint32_t stuffing_byte = 0; // in the file only after an odd number of entries

    template <class IO> void Fields(IO& io);
};

// Where the extents of an interleaved stereoscopic clip start.
class CExtent_Start_Point : public ser::Described<CExtent_Start_Point, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "Extent_Start_Point";

    uint32_t reserved01                    = 0;
    uint32_t number_of_extent_start_points = 0;
    std::vector<uint32_t> SPN_extent_start;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in extension_blocks.cpp.
extern template class ser::Described<CDownMixCoeff>;
extern template class ser::Described<CLPCMDownMix, ser::Length<32>>;
extern template class ser::Described<CExtent_Start_Point, ser::Length<32>>;
