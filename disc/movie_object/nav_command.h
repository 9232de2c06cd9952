// One navigation command of a movie object: the three numbers and their readable text.
#pragma once

#include "disc/framework/serial.h"

#include <cstdint>
#include <string>

class CNavigationCommand : public ser::Described<CNavigationCommand>
{
  public:
    uint32_t operation_code = 0;
    uint32_t operand_1      = 0;
    uint32_t operand_2      = 0;
    std::string command     = "Nop"; // for reading only: JSON carries it, nothing reads it back

    // Rebuilds command from the three numbers.
    virtual void FormatNavigationCommand();

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in nav_command.cpp.
extern template class ser::Described<CNavigationCommand>;
