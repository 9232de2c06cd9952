// id.bdmv ("BDID"): the organisation and disc identifiers.
#pragma once

#include "disc/framework/serial.h"

#include <string>
#include <vector>

class CBDIDData : public ser::Described<CBDIDData>
{
  public:
    static constexpr const char* kJsonName = "ID_Data";

    std::vector<uint8_t> Disc_Organization_ID; // 4 bytes
    std::vector<uint8_t> Disc_ID;              // 16 bytes
    std::vector<uint8_t> reserved_block;       // 44 bytes

    template <class IO> void Fields(IO& io);
};

class CBDID : public CIBDSerial
{
  public:
    char version_number[4]      = {0, 0, 0, 0};
    uint8_t reserved_header[32] = {};
    CBDIDData ID_Data;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
};

// The descriptions are instantiated in bdid.cpp.
extern template class ser::Described<CBDIDData>;
