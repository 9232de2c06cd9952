#include "disc/clpi/extension_blocks.h"

#include "disc/framework/serial_io.h"

// ---- CDownMixCoeff --------------------------------------------------------------------------

namespace
{

#define CHANNEL_KEYS(prefix, suffix)                                                               \
    {                                                                                              \
        prefix "1" suffix, prefix "2" suffix, prefix "3" suffix, prefix "4" suffix,                \
            prefix "5" suffix, prefix "6" suffix, prefix "7" suffix, prefix "8" suffix             \
    }

const char* const kPhaseLeft[8]        = CHANNEL_KEYS("mixing_phase_for_ch", "_to_left");
const char* const kPhaseRight[8]       = CHANNEL_KEYS("mixing_phase_for_ch", "_to_right");
const char* const kCoefficientLeft[8]  = CHANNEL_KEYS("down_mix_coefficient_for_ch", "_to_left");
const char* const kCoefficientRight[8] = CHANNEL_KEYS("down_mix_coefficient_for_ch", "_to_right");

#undef CHANNEL_KEYS

} // namespace

template <class IO> void CDownMixCoeff::Fields(IO& io)
{
    io.U(8, FLD(ref_to_stream_index));
    // Channel 1 is the first bit or byte of each group; a phase keeps its lowest bit.
    for (int ch = 0; ch < 8; ++ch)
        io.U(1, mixing_phase_for_ch_to_left[ch], kPhaseLeft[ch]);
    for (int ch = 0; ch < 8; ++ch)
        io.U(1, mixing_phase_for_ch_to_right[ch], kPhaseRight[ch]);
    for (int ch = 0; ch < 8; ++ch)
        io.U(8, down_mix_coefficient_for_ch_to_left[ch], kCoefficientLeft[ch]);
    for (int ch = 0; ch < 8; ++ch)
        io.U(8, down_mix_coefficient_for_ch_to_right[ch], kCoefficientRight[ch]);
}

template class ser::Described<CDownMixCoeff>;

// ---- CLPCMDownMix ---------------------------------------------------------------------------

template <class IO> void CLPCMDownMix::Fields(IO& io)
{
    io.Count(16, number_of_entries, HDMV_LPCM_down_mix_coefficient,
             "HDMV_LPCM_down_mix_coefficient entries");
    io.Items(number_of_entries, HDMV_LPCM_down_mix_coefficient, "HDMV_LPCM_down_mix_coefficient",
             ser::ListTexts{"failed to read DownMixCoeff\n", "failed to save DownMixCoeff\n",
                            "Failed to read HDMV_LPCM_down_mix_coefficient!\n"},
             ser::kOmitEmpty);
    // The stuffing byte keeps the block even; JSON always has it.
    if (IO::kJson || number_of_entries % 2 == 1)
        io.U(8, stuffing_byte, "HDMV_LPCM_down_mix_coefficient_stuffing_byte", ser::kOptional);
}

template class ser::Described<CLPCMDownMix, ser::Length<32>>;

// ---- CExtent_Start_Point --------------------------------------------------------------------

template <class IO> void CExtent_Start_Point::Fields(IO& io)
{
    io.U(16, FLD(reserved01), ser::kOptional);
    io.Count(16, number_of_extent_start_points, SPN_extent_start, "SPN_extent_start values");
    io.Numbers(number_of_extent_start_points, 32, SPN_extent_start, "SPN_extent_start",
               ser::NumberTexts{"failed to read SPN_extent_start\n",
                                "JSON array SPN_extent_start[%u] is not an number!\n"});
}

template class ser::Described<CExtent_Start_Point, ser::Length<32>>;
