// STN_table(): the streams one PlayItem may present.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/stream.h"

#include <vector>

// One stream of an STN table: entry, attributes and, for secondary streams, the lists of
// stream ids it refers to.
class CSingleStream : public ser::Described<CSingleStream>
{
  public:
    CStreamEntry stream_entry;
    CStreamAttributes stream_attributes;
    std::vector<uint32_t> stream_id_ref;
    std::vector<uint32_t> PiP_PG_textST_stream_id_ref;

    void Print(int indent) override;

    // refLists, given by the owning table: how many id lists the file has after the
    // attributes (0 primary, 1 secondary audio, 2 secondary video).
    template <class IO> void Fields(IO& io, uint32_t refLists = 0);
};

class CSTNTable : public ser::Described<CSTNTable, ser::Length<16>>
{
  public:
    static constexpr const char* kJsonName = "STN_table";

    uint32_t reserved01 = 0;
    // The counts as parsed; STN_table_SS sizes its per-PlayItem lists from them. Build writes
    // the list sizes instead.
    uint32_t number_of_primary_video_stream_entries      = 0;
    uint32_t number_of_primary_audio_stream_entries      = 0;
    uint32_t number_of_PG_textST_stream_entries          = 0;
    uint32_t number_of_IG_stream_entries                 = 0;
    uint32_t number_of_secondary_audio_stream_entries    = 0;
    uint32_t number_of_secondary_video_stream_entries    = 0;
    uint32_t number_of_PiP_PG_textST_stream_entries_plus = 0;
    uint8_t reserved[5] = {0, 0, 0, 0, 0}; // kept from Parse to Build, not in JSON

    std::vector<CSingleStream> m_primaryVideo;
    std::vector<CSingleStream> m_primaryAudio;
    std::vector<CSingleStream> m_PGTextST; // the PiP PG/textST entries are the last ones
    std::vector<CSingleStream> m_IG;
    std::vector<CSingleStream> m_secondaryAudio;
    std::vector<CSingleStream> m_secondaryVideo;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in stn_table.cpp.
extern template class ser::Described<CSingleStream>;
extern template class ser::Described<CSTNTable, ser::Length<16>>;
