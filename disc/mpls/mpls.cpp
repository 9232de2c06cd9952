#include "disc/mpls/mpls.h"

#include "disc/framework/code_names.h"

#include <cstdio>
#include <cstring>

ser::Layout CMPLS::Layout()
{
    return {version_number,
            {&PlayList_start_address, &PlayListMark_start_address, &ExtensionData_start_address},
            reserved_header,
            sizeof reserved_header,
            {ser::InPlace(AppInfoPlayList), ser::At(PlayList, PlayList_start_address),
             ser::At(PlayListMark, PlayListMark_start_address),
             ser::Extension(ExtensionData, ExtensionData_start_address)},
            "Playlist",
            &PlayList};
}

void CMPLS::Clear()
{
    Root::Clear();
    total_duration = 0;
}

int CMPLS::Parse(CBitBuffer& bb)
{
    int r = Root::Parse(bb);
    if (!r)
        UpdateTimes();
    return r;
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
