// STN_table(): the streams one PlayItem may present.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/stream.h"

#include <vector>

class CSTNTable : public CIBDSerial
{
  public:
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

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& playItem) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& playItem) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;
};
