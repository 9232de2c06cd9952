// SequenceInfo of clip information: ATC sequences and the STC sequences inside them.
#pragma once

#include "disc/framework/serial.h"

#include <vector>

class CSTC_sequence : public CIBDSerial
{
  public:
    uint32_t PCR_PID = 0, SPN_STC_start = 0, presentation_start_time = 0, presentation_end_time = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CATC_sequence : public CIBDSerial
{
  public:
    uint32_t SPN_ATC_start = 0, number_of_STC_sequences = 0, offset_STC_id = 0;
    std::vector<CSTC_sequence> STC_sequence;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};

class CSequenceInfo : public CIBDSerial
{
  public:
    uint32_t reserved_for_word_align = 0, number_of_ATC_sequences = 0;
    std::vector<CATC_sequence> ATC_sequence;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};
