// One navigation command of a movie object: the three numbers and their readable text.
#pragma once

#include "disc/framework/serial.h"

#include <cstdint>
#include <string>

class CNavigationCommand : public CIBDSerial
{
  public:
    uint32_t operation_code = 0;
    uint32_t operand_1      = 0;
    uint32_t operand_2      = 0;
    std::string command; // for reading only: JSON carries it, nothing reads it back

    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& object) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& object) override;
    int Build(CBitBuffer& bb) override;
    // Rebuilds command from the three numbers.
    virtual void FormatNavigationCommand();

    template <class IO> void Fields(IO& io);
};
