#include "disc/mpls/subpath_extension.h"

#include "disc/framework/code_names.h"

#include <cstdio>

int CSubPath_entries_extension::Parse(CBitBuffer& bb)
{
    Clear();
    ReadLength(bb, 32);
    uint32_t count = bb.ReadBits(16);
    for (uint32_t i = 0; i < count; ++i) {
        if (!bb.TakeElement())
            return 1;
        CSubPath_extension sp;
        int r = sp.Parse(bb);
        if (r) {
            fprintf(stderr, "Error parsing SubPath_extension[%u]\n", i);
            return r;
        }
        m_subPaths.push_back(std::move(sp));
    }
    SkipToBlockEnd(bb);
    return 0;
}

int CSubPath_entries_extension::Build(CBitBuffer& bb)
{
    BeginSection(bb, 32);
    if (CheckListSize(m_subPaths.size(), 0xFFFF, "SubPath extensions"))
        return 1;
    bb.WriteBits(16, uint32_t(m_subPaths.size()));
    for (size_t i = 0; i < m_subPaths.size(); ++i) {
        int r = m_subPaths[i].Build(bb);
        if (r) {
            fprintf(stderr, "Error building SubPath_extension[%u]\n", unsigned(i));
            return r;
        }
    }
    return EndSection(bb, 4, "SubPath_extension");
}

int CSubPath_entries_extension::ReadJSON(JDoc& doc, JValue& entry)
{
    Clear();
    JValue* array = GetJsonMember("SubPath_extension", entry);
    if (!array) {
        fprintf(stderr, "failed to read SubPath_extension\n");
        return 1;
    }
    int r = ReadJSONArray(doc, array, m_subPaths);
    if (r)
        fprintf(stderr, "Failed to read SubPath_extension!\n");
    return r;
}

int CSubPath_entries_extension::WriteJSON(JDoc& doc, JValue& entry)
{
    JValue array(rapidjson::kArrayType);
    int r = WriteJSONArray(doc, &array, m_subPaths);
    if (r) {
        fprintf(stderr, "Failed to save SubPath_extension!\n");
        return r;
    }
    entry.AddMember("SubPath_extension", array, doc.GetAllocator());
    return 0;
}

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
