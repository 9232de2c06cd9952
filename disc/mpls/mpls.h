// Playlist files ("MPLS"): the header, the four sections and the playlist timeline.
#pragma once

#include "disc/framework/extension_data.h"
#include "disc/framework/serial.h"
#include "disc/mpls/mark.h"
#include "disc/mpls/playlist.h"

#include <cstdint>

class CMPLS : public CIBDSerial
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
    CExtensionData ExtensionData;
    uint64_t total_duration = 0; // 45 kHz ticks, the sum of the PlayItem durations

    CMPLS();
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& mpls) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& mpls) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;
    // Lays the PlayItems end to end and gives every mark its time on that timeline.
    virtual void UpdateTimes();
};
