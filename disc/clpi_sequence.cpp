#include "disc/clpi_sequence.h"

#include "disc/serial_io.h"

// ---- CSTC_sequence ---------------------------------------------------------------------------

template <class IO> void CSTC_sequence::Fields(IO& io)
{
    io.U(16, FLD(PCR_PID));
    io.U(32, FLD(SPN_STC_start));
    io.U(32, FLD(presentation_start_time));
    io.U(32, FLD(presentation_end_time));
}

void CSTC_sequence::Clear() { ser::Reset(*this); }
int CSTC_sequence::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }
int CSTC_sequence::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }
int CSTC_sequence::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CSTC_sequence::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

// ---- CATC_sequence ---------------------------------------------------------------------------

template <class IO> void CATC_sequence::Fields(IO& io)
{
    io.U(32, FLD(SPN_ATC_start));
    io.Count(8, number_of_STC_sequences, STC_sequence, "STC_sequence entries");
    io.U(8, FLD(offset_STC_id));
    io.Items(number_of_STC_sequences, STC_sequence, "STC_sequence",
             ser::ListTexts{nullptr, nullptr, "Failed to read STC_sequence!\n",
                            "Failed to save STC_sequence!\n"});
}

void CATC_sequence::Clear() { ser::Reset(*this); }
int CATC_sequence::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }
int CATC_sequence::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }
int CATC_sequence::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CATC_sequence::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

// ---- CSequenceInfo ---------------------------------------------------------------------------

template <class IO> void CSequenceInfo::Fields(IO& io)
{
    io.Opt(8, FLD(reserved_for_word_align));
    io.Count(8, number_of_ATC_sequences, ATC_sequence, "ATC_sequence entries");
    io.Items(number_of_ATC_sequences, ATC_sequence, "ATC_sequence",
             ser::ListTexts{nullptr, nullptr, "Failed to read ATC_sequence!\n",
                            "Failed to save ATC_sequence!\n"});
}

void CSequenceInfo::Clear() { ser::Reset(*this); }
int CSequenceInfo::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CSequenceInfo::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0); }
int CSequenceInfo::ReadJSON(JDoc& d, JValue& p)
{
    return ser::ReadObject(*this, d, p, ser::kRequired);
}
int CSequenceInfo::WriteJSON(JDoc& d, JValue& p) { return ser::WriteObject(*this, d, p); }
