#include "disc/clpi/sequence_info.h"

#include "disc/framework/serial_io.h"

// ---- CSTC_sequence ---------------------------------------------------------------------------

template <class IO> void CSTC_sequence::Fields(IO& io)
{
    io.U(16, FLD(PCR_PID));
    io.U(32, FLD(SPN_STC_start));
    io.U(32, FLD(presentation_start_time));
    io.U(32, FLD(presentation_end_time));
}

template class ser::Described<CSTC_sequence>;

// ---- CATC_sequence ---------------------------------------------------------------------------

template <class IO> void CATC_sequence::Fields(IO& io)
{
    io.U(32, FLD(SPN_ATC_start));
    io.Count(8, number_of_STC_sequences, STC_sequence, "STC_sequence entries");
    io.U(8, FLD(offset_STC_id));
    io.Items(number_of_STC_sequences, STC_sequence, "STC_sequence",
             ser::ListTexts{nullptr, nullptr, "Failed to read STC_sequence!\n"});
}

template class ser::Described<CATC_sequence>;

// ---- CSequenceInfo ---------------------------------------------------------------------------

template <class IO> void CSequenceInfo::Fields(IO& io)
{
    io.Opt(8, FLD(reserved_for_word_align));
    io.Count(8, number_of_ATC_sequences, ATC_sequence, "ATC_sequence entries");
    io.Items(number_of_ATC_sequences, ATC_sequence, "ATC_sequence",
             ser::ListTexts{nullptr, nullptr, "Failed to read ATC_sequence!\n"});
}

template class ser::Described<CSequenceInfo, ser::Length<32>>;
