// The SubPath extension block (ExtensionData (2, 2)): a second list of SubPaths.
#pragma once

#include "disc/framework/serial.h"
#include "disc/mpls/subpath.h"

#include <vector>

class CSubPath_entries_extension : public CIBDSerial
{
  public:
    std::vector<CSubPath_extension> m_subPaths;

    void Clear() override { m_subPaths.clear(); }
    int ReadJSON(JDoc& doc, JValue& entry) override;
    int Parse(CBitBuffer& bb) override;
    int WriteJSON(JDoc& doc, JValue& entry) override;
    int Build(CBitBuffer& bb) override;
    void Print(int indent) override;
};
