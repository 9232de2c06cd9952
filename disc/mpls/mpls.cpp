#include "disc/mpls/mpls.h"

#include "disc/framework/code_names.h"

#include <cstdio>
#include <cstring>

CMPLS::CMPLS()
{
    AppInfoPlayList.m_jsonName = "AppInfoPlayList";
    PlayList.m_jsonName        = "PlayList";
    PlayListMark.m_jsonName    = "PlayListMark";
    ExtensionData.m_jsonName   = "ExtensionData";
}

void CMPLS::Clear()
{
    memset(version_number, 0, sizeof version_number);
    PlayList_start_address = PlayListMark_start_address = ExtensionData_start_address = 0;
    memset(reserved_header, 0, sizeof reserved_header);
    AppInfoPlayList.Clear();
    PlayList.Clear();
    PlayListMark.Clear();
    ExtensionData.Clear();
    total_duration = 0;
}

int CMPLS::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t fileStart = bb.m_cursor - 32; // the type code
    int r                    = ParseVersion(bb, version_number);
    if (r)
        return r;
    PlayList_start_address      = bb.ReadBits(32);
    PlayListMark_start_address  = bb.ReadBits(32);
    ExtensionData_start_address = bb.ReadBits(32);
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    r = AppInfoPlayList.Parse(bb);
    if (r)
        return r;
    // A section whose address is 0 is absent and stays cleared.
    if (PlayList_start_address) {
        bb.m_cursor = fileStart + 8ull * PlayList_start_address;
        if ((r = PlayList.Parse(bb)) != 0)
            return r;
    }
    if (PlayListMark_start_address) {
        bb.m_cursor = fileStart + 8ull * PlayListMark_start_address;
        if ((r = PlayListMark.Parse(bb)) != 0)
            return r;
    }
    if ((r = ExtensionData.ParseAt(bb, fileStart, ExtensionData_start_address, &PlayList)) != 0)
        return r;
    UpdateTimes();
    return 0;
}

int CMPLS::Build(CBitBuffer& bb)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code CBDMV has written
    m_startPos               = fileStart;
    BuildVersion(bb, version_number);
    bb.WriteBits(32, PlayList_start_address);
    bb.WriteBits(32, PlayListMark_start_address);
    bb.WriteBits(32, ExtensionData_start_address);
    bb.WriteBytes(reserved_header, sizeof reserved_header);

    int r = AppInfoPlayList.Build(bb);
    if (r)
        return r;
    PadToModulus(bb);
    if ((r = SectionAddress(bb, fileStart, PlayList_start_address, "Playlist")) != 0 ||
        (r = PlayList.Build(bb)) != 0)
        return r;
    PadToModulus(bb);
    if ((r = SectionAddress(bb, fileStart, PlayListMark_start_address, "Playlist")) != 0 ||
        (r = PlayListMark.Build(bb)) != 0)
        return r;
    PadToModulus(bb);
    if ((r = ExtensionData.BuildSection(*this, bb, fileStart, ExtensionData_start_address,
                                        "Playlist")) != 0)
        return r;
    bb.m_cursor = fileStart + 64; // just after version_number
    bb.WriteBits(32, PlayList_start_address);
    bb.WriteBits(32, PlayListMark_start_address);
    bb.WriteBits(32, ExtensionData_start_address);
    return 0;
}

int CMPLS::ReadJSON(JDoc& doc, JValue& mpls)
{
    Clear();
    int r = ReadJsonVersion(mpls, version_number);
    if (r)
        return r;
    ReadJsonArea(mpls, "reserved_header", reserved_header, sizeof reserved_header);
    CIBDSerial* members[] = {&AppInfoPlayList, &PlayList, &PlayListMark, &ExtensionData};
    for (CIBDSerial* member : members)
        if ((r = member->ReadJSON(doc, mpls)) != 0)
            return r;
    return 0;
}

int CMPLS::WriteJSON(JDoc& doc, JValue& mpls)
{
    WriteJsonVersion(doc, mpls, version_number);
    WriteJsonArea(doc, mpls, "reserved_header", reserved_header, sizeof reserved_header);
    CIBDSerial* members[] = {&AppInfoPlayList, &PlayList, &PlayListMark, &ExtensionData};
    for (CIBDSerial* member : members) {
        int r = member->WriteJSON(doc, mpls);
        if (r)
            return r;
    }
    return 0;
}

void CMPLS::UpdateTimes()
{
    // All in 45 kHz ticks; differences of the 32-bit clip times wrap as the format's do.
    std::vector<CPlayItem>& items = PlayList.m_playItems;
    uint64_t sum                  = 0;
    for (CPlayItem& item : items) {
        item.playlist_start_time = sum;
        sum += uint32_t(item.OUT_time - item.IN_time);
        item.playlist_end_time = sum;
    }
    total_duration = sum;
    for (CPL_mark& mark : PlayListMark.m_marks) {
        if (mark.ref_to_PlayItem_id < items.size()) {
            const CPlayItem& item = items[mark.ref_to_PlayItem_id];
            int64_t offset        = int64_t(mark.mark_time_stamp) - int64_t(item.IN_time);
            mark.playlist_time    = item.playlist_start_time + uint64_t(offset);
        } else
            mark.playlist_time = 0;
    }
}

void CMPLS::Print(int indent)
{
    PrintIndented(indent, "Num Clips: %3d -- Duration: %4lu:%02lu",
                  int(PlayList.m_playItems.size()),
                  (unsigned long)uint32_t(total_duration / 2700000),
                  (unsigned long)(total_duration / 45000 % 60));
    PlayList.Print(indent);
    ExtensionData.Print(indent);
}
