// SequenceInfo of clip information: ATC sequences and the STC sequences inside them.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CSTC_sequence : public ser::Described<CSTC_sequence>
{
  public:
    uint32_t PCR_PID = 0, SPN_STC_start = 0, presentation_start_time = 0, presentation_end_time = 0;

    template <class IO> void Fields(IO& io);
};

class CATC_sequence : public ser::Described<CATC_sequence>
{
  public:
    uint32_t SPN_ATC_start = 0, number_of_STC_sequences = 0, offset_STC_id = 0;
    std::vector<CSTC_sequence> STC_sequence;

    template <class IO> void Fields(IO& io);
};

class CSequenceInfo : public ser::Described<CSequenceInfo, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "SequenceInfo";

    uint32_t reserved_for_word_align = 0, number_of_ATC_sequences = 0;
    std::vector<CATC_sequence> ATC_sequence;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in sequence_info.cpp.
extern template class ser::Described<CSTC_sequence>;
extern template class ser::Described<CATC_sequence>;
extern template class ser::Described<CSequenceInfo, ser::Length<32>>;
