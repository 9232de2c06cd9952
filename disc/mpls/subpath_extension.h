// The SubPath extension block (ExtensionData (2, 2)): a second list of SubPaths.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/subpath.h"

#include <vector>

// In JSON the block is the array "SubPath_extension" itself, in its entry's object.
class CSubPath_entries_extension
    : public ser::Described<CSubPath_entries_extension, ser::Length<32, 4>>
{
  public:
    static constexpr const char* kBlockName = "SubPath_extension";

    uint32_t number_of_SubPath_extensions = 0;
    std::vector<CSubPath_extension> m_subPaths;

    void Print(int indent) override;

    template <class IO> void Fields(IO& io);
};

// The descriptions are instantiated in subpath_extension.cpp.
extern template class ser::Described<CSubPath_entries_extension, ser::Length<32, 4>>;
