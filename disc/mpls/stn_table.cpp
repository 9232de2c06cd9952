#include "disc/mpls/stn_table.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

namespace
{

// The six lists in file order, with what each list's elements carry and print.
struct ListInfo {
    std::vector<CSingleStream> CSTNTable::*list;
    uint32_t CSTNTable::*count;
    uint32_t refLists; // the id lists each element has in the file
    const char* parseError;
    const char* buildError;
    const char* printHeader;
    const char* what; // for the refusal of a list too long for its count
};

const ListInfo kLists[] = {
    {&CSTNTable::m_primaryVideo, &CSTNTable::number_of_primary_video_stream_entries, 0,
     "Error parsing video entry[%u]!\n", "Error saving video entry[%u]!\n",
     "Video Stream %u:", "primary video streams"},
    {&CSTNTable::m_primaryAudio, &CSTNTable::number_of_primary_audio_stream_entries, 0,
     "Error parsing audio entry[%u]!\n", "Error saving audio entry[%u]!\n",
     "Audio Stream %u:", "primary audio streams"},
    {&CSTNTable::m_PGTextST, &CSTNTable::number_of_PG_textST_stream_entries, 0,
     "Error parsing PG entry[%u]!\n", "Error saving PG entry[%u]!\n",
     "PG Stream %u:", "PG/textST streams"},
    {&CSTNTable::m_IG, &CSTNTable::number_of_IG_stream_entries, 0, "Error parsing IG entry[%u]!\n",
     "Error saving IG entry[%u]!\n", "IG Stream %u:", "IG streams"},
    {&CSTNTable::m_secondaryAudio, &CSTNTable::number_of_secondary_audio_stream_entries, 1,
     "Error parsing secondary_audio entry[%u]\n", "Error saving secondary audio entry[%u]!\n",
     "Secondary Audio Stream %u:", "secondary audio streams"},
    {&CSTNTable::m_secondaryVideo, &CSTNTable::number_of_secondary_video_stream_entries, 2,
     "Error parsing secondary_video entry[%u]!\n", "Error saving secondary video entry[%u]!\n",
     "Secondary Video Stream %u:", "secondary video streams"},
};

bool IsVideo(uint32_t c) { return c == 0x01 || c == 0x02 || c == 0x1B || c == 0x24 || c == 0xEA; }
bool IsPrimaryAudio(uint32_t c) { return c == 0x03 || c == 0x04 || (c >= 0x80 && c <= 0x86); }
bool IsSecondaryAudio(uint32_t c) { return c == 0xA1 || c == 0xA2; }
bool IsPG(uint32_t c) { return c == 0x90 || c == 0x92; }
bool IsIG(uint32_t c) { return c == 0x91; }

} // namespace

// ---- CSingleStream --------------------------------------------------------------------------

template <class IO> void CSingleStream::Fields(IO& io, uint32_t refLists)
{
    io.Child(stream_entry);
    io.Child(stream_attributes);
    // JSON has a list whenever it is not empty, the file where the table's list has it.
    if (IO::kJson || refLists >= 1)
        io.IdList(stream_id_ref, "stream_id_ref", "stream_id_ref entries",
                  ser::NumberTexts{"stream_id_ref is not an array!\n",
                                   "stream_id_ref[%u] is not a number!\n"});
    if (IO::kJson || refLists == 2)
        io.IdList(PiP_PG_textST_stream_id_ref, "PiP_PG_textST_stream_id_ref",
                  "PiP_PG_textST_stream_id_ref entries",
                  ser::NumberTexts{"PiP_PG_textST_stream_id_ref is not an array!\n",
                                   "PiP_PG_textST_stream_id_ref[%u] is not a number!\n"});
}

template class ser::Described<CSingleStream>;

void CSingleStream::Print(int indent)
{
    stream_entry.Print(indent);
    stream_attributes.Print(indent);
}

// ---- CSTNTable ------------------------------------------------------------------------------

// The list a stream read from JSON joins, by its coding type and the array it stood in;
// nullptr for a coding type no list takes.
static std::vector<CSingleStream>* ListFor(CSTNTable& t, const CSingleStream& s, bool secondary,
                                           int& code)
{
    const uint32_t c = s.stream_attributes.stream_coding_type;
    code             = int(c);
    if (IsVideo(c))
        return secondary ? &t.m_secondaryVideo : &t.m_primaryVideo;
    if (IsPrimaryAudio(c))
        return secondary ? &t.m_secondaryAudio : &t.m_primaryAudio;
    if (IsSecondaryAudio(c))
        return &t.m_secondaryAudio;
    if (IsPG(c))
        return &t.m_PGTextST;
    if (IsIG(c))
        return &t.m_IG;
    return nullptr;
}

// The file counts each list before all lists; the PiP PG/textST streams close the PG list and
// are counted apart. JSON holds the streams in two arrays, the secondary audio and video streams
// in the second, and places each stream read by its coding type.
template <class IO> void CSTNTable::Fields(IO& io)
{
    uint32_t& pipPlus = number_of_PiP_PG_textST_stream_entries_plus;
    io.Opt(16, FLD(reserved01));
    if constexpr (IO::kJson)
        io.Opt(8, FLD(number_of_PiP_PG_textST_stream_entries_plus));
    io.BuildCheck(pipPlus <= 255,
                  "number_of_PiP_PG_textST_stream_entries_plus %u does not fit, at most 255!\n",
                  pipPlus);
    io.BuildCheck(m_PGTextST.size() >= pipPlus,
                  "PG list holds %u streams, fewer than "
                  "number_of_PiP_PG_textST_stream_entries_plus %u!\n",
                  unsigned(m_PGTextST.size()), pipPlus);
    for (const ListInfo& l : kLists)
        io.Count(8, this->*l.count, this->*l.list, l.what,
                 l.list == &CSTNTable::m_PGTextST ? pipPlus : 0);
    io.Hidden(8, FLD(number_of_PiP_PG_textST_stream_entries_plus));
    io.Hidden(reserved, sizeof reserved, "reserved");
    for (const ListInfo& l : kLists)
        io.Items((this->*l.count) + (l.list == &CSTNTable::m_PGTextST ? pipPlus : 0), this->*l.list,
                 nullptr, ser::ListTexts{l.parseError, l.buildError}, 0, l.refLists);
    io.Shared(
        "stream", {&m_primaryVideo, &m_primaryAudio, &m_PGTextST, &m_IG},
        [&](CSingleStream& s, int& code) { return ListFor(*this, s, false, code); },
        ser::SharedTexts{"failed to read stream\n",
                         "failed to read Stream - unknown coding_type %d\n"});
    io.Shared(
        "secondary_stream", {&m_secondaryAudio, &m_secondaryVideo},
        [&](CSingleStream& s, int& code) { return ListFor(*this, s, true, code); },
        ser::SharedTexts{"failed to read secondary_stream\n",
                         "failed to read secondary_stream - unknown coding_type %d\n"},
        ser::kOmitEmpty);
}

template class ser::Described<CSTNTable, ser::Length<16>>;

void CSTNTable::Print(int indent)
{
    for (const ListInfo& l : kLists) {
        std::vector<CSingleStream>& list = this->*l.list;
        for (size_t i = 0; i < list.size(); ++i) {
            PrintIndented(indent, l.printHeader, unsigned(i));
            list[i].Print(indent + 1);
        }
    }
}
