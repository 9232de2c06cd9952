#include "disc/clpi/cpi.h"

#include "disc/framework/serial_io.h"

// ---- CEP_coarse, CEP_fine -------------------------------------------------------------------

template <class IO> void CEP_coarse::Fields(IO& io)
{
    io.U(18, FLD(ref_to_EP_fine_id));
    io.U(14, FLD(PTS_EP_coarse));
    io.U(32, FLD(SPN_EP_coarse));
}

template class ser::Described<CEP_coarse>;

template <class IO> void CEP_fine::Fields(IO& io)
{
    io.Bit(FLD(is_angle_change_point));
    io.U(3, FLD(I_end_position_offset));
    io.U(11, FLD(PTS_EP_fine));
    io.U(17, FLD(SPN_EP_fine));
}

template class ser::Described<CEP_fine>;

// ---- CEP_map_for_one_stream_HDR -------------------------------------------------------------

template <class IO> void CEP_map_for_one_stream_HDR::Fields(IO& io)
{
    io.Hidden(16, FLD(stream_PID));
    io.Hidden(10, FLD(reserved01));
    io.Hidden(4, FLD(EP_stream_type));
    io.Hidden(16, FLD(number_of_EP_coarse_entries));
    io.Hidden(18, FLD(number_of_EP_fine_entries));
    io.Hidden(32, FLD(EP_map_for_one_stream_PID_start_address));
}

template class ser::Described<CEP_map_for_one_stream_HDR>;

// ---- CEP_map_for_one_stream_PID -------------------------------------------------------------

// The header entry; Build counts the lists and writes the address the map last gave the table.
template <class IO> void CEP_map_for_one_stream_PID::Fields(IO& io)
{
    io.U(16, FLD(stream_PID));
    io.Opt(10, FLD(reserved01));
    io.Code(4, FLD(EP_stream_type), kEPStreamTypeNames, ParseEPStreamType);
    io.Count(16, number_of_EP_coarse_entries, EP_coarse, "EP_coarse entries");
    io.Count(18, number_of_EP_fine_entries, EP_fine, "EP_fine entries");
    io.Hidden(32, FLD(EP_map_for_one_stream_PID_start_address));
    if constexpr (IO::kJson) {
        uint64_t unused = 0;
        Table(io, unused);
    }
}

// The fine table's address, the coarse entries, then the fine entries at that address. The
// counts come from the header entry: both tables must lie inside the CPI block and fit what
// the map has left before anything is allocated for them, so streams that share one table
// cannot multiply it.
template <class IO> void CEP_map_for_one_stream_PID::Table(IO& io, uint64_t& bytesLeft)
{
    const uint64_t coarse = number_of_EP_coarse_entries, fine = number_of_EP_fine_entries;
    io.Within(32 + 64 * coarse);
    io.Spend(bytesLeft, 4 + 8 * coarse + 4 * fine);
    const ser::Mark table = io.Here();
    const ser::Mark link  = io.Link(32, EP_fine_table_start_address, "EP_fine_table_start_address");
    io.Items(number_of_EP_coarse_entries, EP_coarse, "EP_coarse",
             ser::ListTexts{nullptr, "failed to save EP_coarse\n", "Failed to read EP_coarse!\n"},
             ser::kOmitEmpty);
    io.Follow(link, 32, table, EP_fine_table_start_address);
    io.Within(32 * fine);
    io.Items(number_of_EP_fine_entries, EP_fine, "EP_fine",
             ser::ListTexts{nullptr, "failed to save EP_fine\n", "Failed to read EP_fine!\n"},
             ser::kOmitEmpty);
}

template class ser::Described<CEP_map_for_one_stream_PID, ser::Plain, CEP_map_for_one_stream_HDR>;

// ---- CEP_map --------------------------------------------------------------------------------

// The header entries first, then each stream's table at the address its entry gives, counted
// from the map's first byte; Build writes the tables back to back.
template <class IO> void CEP_map::Fields(IO& io)
{
    const ser::Mark start = io.Here();
    io.Hidden(8, FLD(reserved));
    io.Count(8, number_of_stream_PID_entries, EP_map_for_one_stream_PID,
             "EP_map_for_one_stream_PID entries");
    uint64_t bytesLeft = io.BytesFrom(start);
    io.Split(
        number_of_stream_PID_entries, EP_map_for_one_stream_PID, "EP_map_for_one_stream_PID",
        ser::ListTexts{"Failed to read EP_map_for_one_stream_PID!\n", nullptr,
                       "Failed to read EP_map_for_one_stream_PID!\n"},
        start,
        [](CEP_map_for_one_stream_PID& s) -> uint32_t& {
            return s.EP_map_for_one_stream_PID_start_address;
        },
        [&](CEP_map_for_one_stream_PID& s) { s.Table(io, bytesLeft); }, 1, ser::kOmitEmpty);
}

template class ser::Described<CEP_map>;

// ---- CCPI -----------------------------------------------------------------------------------

template <class IO> void CCPI::Fields(IO& io)
{
    // A block of length 0 holds nothing; it is rebuilt with its fields and an empty map.
    if (io.BlockIsEmpty())
        return;
    io.U(12, FLD(reserved01), ser::kOptional);
    io.U(4, FLD(CPI_type));
    io.Child(EP_map, ser::kStop,
             ser::ChildTexts{"failed to read EP_map\n", "Failed to save EP_map!\n",
                             "Failed to read EP_map!\n"});
}

template class ser::Described<CCPI, ser::Length<32>>;
template class ser::Described<CCPI_SS, ser::Length<32>, CCPI>;
