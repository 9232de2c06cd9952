// BD-J object files ("BDJO").
#pragma once

#include "disc/serial.h"

#include <string>

class CBDJO : public CIBDSerial
{
  public:
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
};
