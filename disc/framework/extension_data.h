// The ExtensionData block shared by playlists, clip information, index.bdmv,
// MovieObject.bdmv and sound.bdmv.
#pragma once

#include "disc/clpi/extension_blocks.h"
#include "disc/framework/serial.h"
#include "disc/mpls/extension_blocks.h"

#include <vector>

class CPlayList;

class CExtDataEntry : public CIBDSerial
{
  public:
    uint32_t ID1                      = 0;
    uint32_t ID2                      = 0;
    uint32_t data_block_start_address = 0;
    uint32_t data_block_length        = 0;
    uint32_t m_unknownKind            = 0;
    std::vector<uint8_t> m_data; // the raw data block, kept for every entry

    CPIPMetaData pip_metadata;
    CLPCMDownMix HDMV_LPCM_down_mix_coefficient;
    CSTNTableSS STN_Table_SS;
    CSubPath_entries_extension SubPath_extension;
    CActiveVideoWindow active_video_window;
    CExtent_Start_Point Extent_Start_Point;
    CProgramInfo_SS ProgramInfo_SS;
    CCPI_SS CPI_SS;

    CExtDataEntry();
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& entry) override;
    int Parse(CBitBuffer&) override { return 1; } // CExtensionData parses the blocks
    int WriteJSON(JDoc& doc, JValue& entry) override;
    int Build(CBitBuffer&) override { return 1; } // CExtensionData builds the blocks
    void Print(int indent) override;

    // The block object the (ID1, ID2) pair selects, or nullptr for a pair of unknown kind.
    CIBDSerial* Block();
    // Its JSON key, or nullptr.
    const char* BlockKey() const;
};

class CExtensionData : public CIBDSerial
{
  public:
    std::vector<CExtDataEntry> m_entries;

    CExtensionData() { m_jsonName = "ExtensionData"; }
    void Clear() override { m_entries.clear(); }
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;
    // The context is the playlist's PlayList for playlists, else nullptr.
    virtual int ParseWithContext(CBitBuffer& bb, CPlayList* context);

    // A root's trailing section: parsed only where its start address is not 0, and built
    // only when it has entries (its address stays 0 otherwise), then padded by the root.
    int ParseAt(CBitBuffer& bb, uint64_t fileStart, uint32_t address, CPlayList* context);
    int BuildSection(CIBDSerial& root, CBitBuffer& bb, uint64_t fileStart, uint32_t& address,
                     const char* fileKind);
};
