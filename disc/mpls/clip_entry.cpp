#include "disc/mpls/clip_entry.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

int ParseClipEntries(CBitBuffer& bb, uint32_t number, std::vector<CAngleEntry>& list)
{
    for (uint32_t i = 1; i < number; ++i) {
        if (!bb.TakeElement())
            return 1;
        CAngleEntry e;
        bb.ReadBytes(e.Clip_Information_file_name, 5);
        bb.ReadBytes(e.Clip_codec_identifier, 4);
        e.ref_to_STC_id = bb.ReadBits(8);
        list.push_back(e);
    }
    return 0;
}

void BuildClipEntries(CBitBuffer& bb, uint32_t number, const std::vector<CAngleEntry>& list)
{
    for (uint32_t i = 1; i < number && i <= list.size(); ++i) {
        const CAngleEntry& e = list[i - 1];
        bb.WriteBytes(e.Clip_Information_file_name, 5);
        bb.WriteBytes(e.Clip_codec_identifier, 4);
        bb.WriteBits(8, e.ref_to_STC_id);
    }
}

void WriteClipEntries(JDoc& doc, JValue& array, uint32_t number, std::vector<CAngleEntry>& list)
{
    for (uint32_t i = 1; i < number && i <= list.size(); ++i) {
        CAngleEntry& e = list[i - 1];
        JValue element(rapidjson::kObjectType);
        ser::JsonWriter io(doc, element);
        io.Chars(e.Clip_Information_file_name, 5, "Clip_Information_file_name");
        io.Chars(e.Clip_codec_identifier, 4, "Clip_codec_identifier");
        io.U(8, e.ref_to_STC_id, "ref_to_STC_id");
        array.PushBack(element, doc.GetAllocator());
    }
}

int ReadClipEntries(JDoc& doc, JValue& array, std::vector<CAngleEntry>& list, int& failed,
                    const char* notObject)
{
    for (JValue& element : array.GetArray()) {
        if (!element.IsObject()) {
            fputs(notObject, stderr);
            failed = 1;
            return 1;
        }
        ser::JsonReader io(doc, element);
        CAngleEntry e;
        io.Chars(e.Clip_Information_file_name, 5, "Clip_Information_file_name");
        if ((failed |= int(io.m_flags)) != 0)
            return 1;
        io.Chars(e.Clip_codec_identifier, 4, "Clip_codec_identifier");
        if ((failed |= int(io.m_flags)) != 0)
            return 1;
        io.U(8, e.ref_to_STC_id, "ref_to_STC_id");
        failed |= int(io.m_flags);
        list.push_back(e);
    }
    return 0;
}

void PrintClipItem(int indent, const char name[5], const char codec[4], uint32_t in, uint32_t out,
                   bool several, const char* countText, const char* entryText, uint32_t number,
                   const std::vector<CAngleEntry>& list)
{
    uint32_t d = out - in; // wraps when OUT lies before IN
    PrintIndented(indent, "%.5s.%.4s -- Duration: %4lu:%02lu", name, codec,
                  (unsigned long)(d / 2700000), (unsigned long)(d / 45000 % 60));
    if (!several)
        return;
    PrintIndented(indent + 1, countText, number);
    for (uint32_t i = 1; i < number && i <= list.size(); ++i)
        PrintIndented(indent + 1, entryText, int(i), list[i - 1].Clip_Information_file_name,
                      list[i - 1].Clip_codec_identifier);
}
