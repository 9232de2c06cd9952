// Playlist files ("MPLS"): the header, the four sections and the playlist timeline.
#pragma once

#include "disc/extension_kinds.h"
#include "disc/framework/root.h"
#include "disc/mpls/mark.h"
#include "disc/mpls/playlist.h"

#include <cstdint>

class CMPLS : public ser::Root<CMPLS>
{
  public:
    char version_number[4]               = {0, 0, 0, 0};
    uint32_t PlayList_start_address      = 0;
    uint32_t PlayListMark_start_address  = 0;
    uint32_t ExtensionData_start_address = 0;
    uint8_t reserved_header[20]          = {};
    CAppInfoPlayList AppInfoPlayList;
    CPlayList PlayList;
    CPlayListMark PlayListMark;
    CExtensionData ExtensionData{kExtensionBlocks};
    uint64_t total_duration = 0; // 45 kHz ticks, the sum of the PlayItem durations

    void Clear() override;
    // The timeline is laid out after a successful parse.
    int Parse(CBitBuffer& bb) override;
    void Print(int indent) override;
    // Lays the PlayItems end to end and gives every mark its time on that timeline.
    virtual void UpdateTimes();

    ser::Layout Layout();
};
