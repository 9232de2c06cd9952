// sound.bdmv files ("BCLK").
#pragma once

#include <string>

#include "disc/serial.h"

class CBCLK : public CIBDSerial {
public:
    std::string m_directory;        // where the sample files are written and read
    bool m_writeSampleFiles = true; // off for programs that only print

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& parent) override;
    int Build(CBitBuffer& bb) override;
};
