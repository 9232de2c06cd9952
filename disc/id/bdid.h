// id.bdmv ("BDID"): the organisation and disc identifiers.
#pragma once

#include "disc/framework/root.h"

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

// A fixed 104 bytes: no section addresses and no padding.
class CBDID : public ser::Root<CBDID>
{
  public:
    char version_number[4]      = {0, 0, 0, 0};
    uint8_t reserved_header[32] = {};
    CBDIDData ID_Data;

    ser::Layout Layout();
};

// The descriptions are instantiated in bdid.cpp.
extern template class ser::Described<CBDIDData>;
