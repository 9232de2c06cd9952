#include "disc/mpls/clip_entry.h"

#include "disc/framework/code_names.h"

void PrintClipItem(int indent, const char name[5], const char codec[4], uint32_t in, uint32_t out,
                   bool several, const char* countText, const char* entryText, uint32_t number,
                   const std::vector<CAngleEntry>& list)
{
    uint32_t d = out - in; // wraps when OUT lies before IN
    PrintIndented(indent, "%.5s.%.4s -- Duration: %4lu:%02lu", name, codec,
                  (unsigned long)(d / 2700000), (unsigned long)(d / 45000 % 60));
    if (!several)
        return;
    PrintIndented(indent + 1, countText, number);
    for (uint32_t i = 1; i < number && i <= list.size(); ++i)
        PrintIndented(indent + 1, entryText, int(i), list[i - 1].Clip_Information_file_name,
                      list[i - 1].Clip_codec_identifier);
}
