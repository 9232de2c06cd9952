// The active video window block (ExtensionData (2, 3)).
#pragma once

#include "disc/framework/serial.h"

class CActiveVideoWindow : public CIBDSerial
{
  public:
    uint32_t top_offset = 0, bottom_offset = 0, top_align_offset = 0, bottom_align_offset = 0;
    uint32_t reserved01 = 0;

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& entry) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& entry) override;
    int Build(CBitBuffer& bb) override;

    template <class IO> void Fields(IO& io);
};
