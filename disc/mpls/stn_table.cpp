#include "disc/mpls/stn_table.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

namespace
{

// The six lists in file order, with what each list's elements carry and print.
struct ListInfo {
    std::vector<CSingleStream> CSTNTable::*list;
    uint32_t CSTNTable::*count;
    uint32_t refListCount;
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

} // namespace

void CSTNTable::Clear() { ser::Reset(*this); }

int CSTNTable::Parse(CBitBuffer& bb)
{
    Clear();
    ReadLength(bb, 16);
    reserved01 = bb.ReadBits(16);
    for (const ListInfo& l : kLists)
        this->*l.count = bb.ReadBits(8);
    number_of_PiP_PG_textST_stream_entries_plus = bb.ReadBits(8);
    bb.ReadBytes(reserved, sizeof reserved);

    for (const ListInfo& l : kLists) {
        uint32_t n = this->*l.count;
        if (l.list == &CSTNTable::m_PGTextST)
            n += number_of_PiP_PG_textST_stream_entries_plus;
        for (uint32_t i = 0; i < n; ++i) {
            if (!bb.TakeElement())
                return 1;
            CSingleStream stream;
            stream.ref_list_count = l.refListCount;
            int r                 = stream.Parse(bb);
            if (r) {
                fprintf(stderr, l.parseError, i);
                return r;
            }
            (this->*l.list).push_back(std::move(stream));
        }
    }
    SkipToBlockEnd(bb);
    return 0;
}

int CSTNTable::Build(CBitBuffer& bb)
{
    // Every count is 8 bits; the PG count leaves out the PiP entries at the list's end.
    const uint32_t pipPlus = number_of_PiP_PG_textST_stream_entries_plus;
    if (pipPlus > 255) {
        fprintf(stderr,
                "number_of_PiP_PG_textST_stream_entries_plus %u does not fit, at most 255!\n",
                pipPlus);
        return 1;
    }
    if (m_PGTextST.size() < pipPlus) {
        fprintf(stderr,
                "PG list holds %u streams, fewer than number_of_PiP_PG_textST_stream_entries_plus "
                "%u!\n",
                unsigned(m_PGTextST.size()), pipPlus);
        return 1;
    }
    for (const ListInfo& l : kLists) {
        size_t size = (this->*l.list).size();
        if (l.list == &CSTNTable::m_PGTextST)
            size -= pipPlus;
        if (CheckListSize(size, 255, l.what))
            return 1;
    }

    BeginSection(bb, 16);
    bb.WriteBits(16, reserved01);
    for (const ListInfo& l : kLists) {
        size_t size = (this->*l.list).size();
        if (l.list == &CSTNTable::m_PGTextST)
            size -= pipPlus;
        bb.WriteBits(8, uint32_t(size));
    }
    bb.WriteBits(8, pipPlus);
    bb.WriteBytes(reserved, sizeof reserved);
    for (const ListInfo& l : kLists) {
        std::vector<CSingleStream>& list = this->*l.list;
        for (size_t i = 0; i < list.size(); ++i) {
            list[i].ref_list_count = l.refListCount;
            int r                  = list[i].Build(bb);
            if (r) {
                fprintf(stderr, l.buildError, unsigned(i));
                return r;
            }
        }
    }
    return EndSection(bb, 0, "STN_table");
}

namespace
{

bool IsVideo(uint32_t c) { return c == 0x01 || c == 0x02 || c == 0x1B || c == 0x24 || c == 0xEA; }
bool IsPrimaryAudio(uint32_t c) { return c == 0x03 || c == 0x04 || (c >= 0x80 && c <= 0x86); }
bool IsSecondaryAudio(uint32_t c) { return c == 0xA1 || c == 0xA2; }
bool IsPG(uint32_t c) { return c == 0x90 || c == 0x92; }
bool IsIG(uint32_t c) { return c == 0x91; }

} // namespace

// The list a stream read from JSON joins, by its coding type and the array it stood in;
// nullptr for a coding type no list takes.
static std::vector<CSingleStream>* ListFor(CSTNTable& t, uint32_t code, bool secondary)
{
    if (IsVideo(code))
        return secondary ? &t.m_secondaryVideo : &t.m_primaryVideo;
    if (IsPrimaryAudio(code))
        return secondary ? &t.m_secondaryAudio : &t.m_primaryAudio;
    if (IsSecondaryAudio(code))
        return &t.m_secondaryAudio;
    if (IsPG(code))
        return &t.m_PGTextST;
    if (IsIG(code))
        return &t.m_IG;
    return nullptr;
}

static uint32_t RefListCountOf(CSTNTable& t, const std::vector<CSingleStream>* list)
{
    for (const ListInfo& l : kLists)
        if (&(t.*l.list) == list)
            return l.refListCount;
    return 0;
}

// One of the two JSON arrays. An element is read first, then placed by its coding type; the
// element's own failure is returned only once it has a place.
static int ReadStreams(CSTNTable& t, JDoc& doc, JValue& table, const char* key, bool secondary,
                       const char* badArray, const char* unknownCode)
{
    JValue* streams = GetJsonMember(key, table);
    if (!streams)
        return 0;
    if (!streams->IsArray()) {
        fputs(badArray, stderr);
        return 1;
    }
    for (JValue& element : streams->GetArray()) {
        if (!element.IsObject()) {
            fputs(badArray, stderr);
            return 1;
        }
        CSingleStream stream;
        int r                            = stream.ReadJSON(doc, element);
        uint32_t code                    = stream.stream_attributes.stream_coding_type;
        std::vector<CSingleStream>* list = ListFor(t, code, secondary);
        if (!list) {
            fprintf(stderr, unknownCode, int(code));
            return 1;
        }
        if (r)
            return r;
        stream.ref_list_count = RefListCountOf(t, list);
        list->push_back(std::move(stream));
    }
    return 0;
}

int CSTNTable::ReadJSON(JDoc& doc, JValue& playItem)
{
    Clear();
    JValue* table = GetJsonMember("STN_table", playItem);
    if (!table || !table->IsObject()) {
        fprintf(stderr, "failed to read STN_table\n");
        return 1;
    }
    reserved01 = ReadJsonUint("reserved01", *table);
    number_of_PiP_PG_textST_stream_entries_plus =
        ReadJsonUint("number_of_PiP_PG_textST_stream_entries_plus", *table);
    int r = ReadStreams(*this, doc, *table, "stream", false, "failed to read stream\n",
                        "failed to read Stream - unknown coding_type %d\n");
    if (r)
        return r;
    return ReadStreams(*this, doc, *table, "secondary_stream", true,
                       "failed to read secondary_stream\n",
                       "failed to read secondary_stream - unknown coding_type %d\n");
}

static int WriteStreams(JDoc& doc, JValue& array, std::vector<CSingleStream>& list)
{
    int result = 0;
    for (CSingleStream& s : list) {
        JValue object(rapidjson::kObjectType);
        result |= s.WriteJSON(doc, object);
        array.PushBack(object, doc.GetAllocator());
    }
    return result;
}

int CSTNTable::WriteJSON(JDoc& doc, JValue& playItem)
{
    JValue table(rapidjson::kObjectType);
    AddJsonUint(doc, table, "reserved01", reserved01);
    AddJsonUint(doc, table, "number_of_PiP_PG_textST_stream_entries_plus",
                number_of_PiP_PG_textST_stream_entries_plus);
    int result = 0;
    JValue streams(rapidjson::kArrayType);
    result |= WriteStreams(doc, streams, m_primaryVideo);
    result |= WriteStreams(doc, streams, m_primaryAudio);
    result |= WriteStreams(doc, streams, m_PGTextST);
    result |= WriteStreams(doc, streams, m_IG);
    table.AddMember("stream", streams, doc.GetAllocator());
    if (!m_secondaryAudio.empty() || !m_secondaryVideo.empty()) {
        JValue secondary(rapidjson::kArrayType);
        result |= WriteStreams(doc, secondary, m_secondaryAudio);
        result |= WriteStreams(doc, secondary, m_secondaryVideo);
        table.AddMember("secondary_stream", secondary, doc.GetAllocator());
    }
    playItem.AddMember("STN_table", table, doc.GetAllocator());
    return result;
}

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
