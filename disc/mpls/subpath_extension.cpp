#include "disc/mpls/subpath_extension.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

template <class IO> void CSubPath_entries_extension::Fields(IO& io)
{
    io.Count(16, number_of_SubPath_extensions, m_subPaths, "SubPath extensions");
    io.Items(number_of_SubPath_extensions, m_subPaths, "SubPath_extension",
             ser::ListTexts{
                 "Error parsing SubPath_extension[%u]\n", "Error building SubPath_extension[%u]\n",
                 "Failed to read SubPath_extension!\n", "failed to read SubPath_extension\n"});
}

template class ser::Described<CSubPath_entries_extension, ser::Length<32, 4>>;

void CSubPath_entries_extension::Print(int indent)
{
    for (size_t i = 0; i < m_subPaths.size(); ++i) {
        PrintIndented(indent, "(extension)");
        PrintIndented(indent, "SubPath[%u] (%s):", unsigned(i),
                      ShortSubPathTypeName(m_subPaths[i].SubPath_type, indent).c_str());
        m_subPaths[i].Print(indent);
        printf("\n");
    }
}
