// id.bdmv ("BDID"): the organisation and disc identifiers.
#pragma once

#include "disc/framework/serial.h"

#include <string>
#include <vector>

class CBDIDData : public CIBDSerial
{
  public:
    std::vector<uint8_t> Disc_Organization_ID; // 4 bytes
    std::vector<uint8_t> Disc_ID;              // 16 bytes
    std::vector<uint8_t> reserved_block;       // 44 bytes

    CBDIDData() { m_jsonName = "ID_Data"; }
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
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

// "0x" and two upper-case hex digits per byte.
std::string FormatDiscIdHex(const std::vector<uint8_t>& bytes);
// The bytes of a hex text; 1 (and no message) when it is not one.
int ParseDiscIdHex(const std::string& text, std::vector<uint8_t>& bytes);
