// The other clips of a multi-angle PlayItem or a multi-clip SubPlayItem: name, codec and STC id.
#pragma once

#include "disc/framework/serial_io.h"

#include <cstdint>
#include <vector>

// A plain record, described for the item that holds it (ClipEntries).
struct CAngleEntry {
    char Clip_Information_file_name[5] = {0, 0, 0, 0, 0};
    char Clip_codec_identifier[4]      = {0, 0, 0, 0};
    uint32_t ref_to_STC_id             = 0;

    // JSON reading ends at a name or codec once anything of the item was missing.
    template <class IO> void Fields(IO& io)
    {
        io.Chars(Clip_Information_file_name, 5, "Clip_Information_file_name", ser::kEndIfMissing);
        io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier", ser::kEndIfMissing);
        io.U(8, FLD(ref_to_STC_id));
    }
};

// A SubPlayItem's subClip entries have the same layout.
using CSubClipEntry = CAngleEntry;

// The listing lines of a PlayItem or SubPlayItem: its clip and duration, then, when it has
// several clips, their number and the further clips. countText holds one %u, entryText one %d.
void PrintClipItem(int indent, const char name[5], const char codec[4], uint32_t in, uint32_t out,
                   bool several, const char* countText, const char* entryText, uint32_t number,
                   const std::vector<CAngleEntry>& list);
