// MovieObject.bdmv files ("MOBJ").
#pragma once

#include <string>

#include "disc/serial.h"

class CMovieObjectBDMV : public CIBDSerial {
public:
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
};
