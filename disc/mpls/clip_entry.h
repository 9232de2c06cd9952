// The other clips of a multi-angle PlayItem or a multi-clip SubPlayItem: name, codec and STC id.
#pragma once

#include "disc/framework/bit_buffer.h"
#include "disc/framework/json_helpers.h"

#include <cstdint>
#include <vector>

struct CAngleEntry {
    char Clip_Information_file_name[5] = {0, 0, 0, 0, 0};
    char Clip_codec_identifier[4]      = {0, 0, 0, 0};
    uint32_t ref_to_STC_id             = 0;
};

// A SubPlayItem's subClip entries have the same layout.
using CSubClipEntry = CAngleEntry;

// The records 1 to number - 1 (the first clip is the item's own); 1 when the parse's element
// budget is spent.
int ParseClipEntries(CBitBuffer& bb, uint32_t number, std::vector<CAngleEntry>& list);
// Records 1 to number - 1, as far as the list holds them.
void BuildClipEntries(CBitBuffer& bb, uint32_t number, const std::vector<CAngleEntry>& list);
void WriteClipEntries(JDoc& doc, JValue& array, uint32_t number, std::vector<CAngleEntry>& list);
// Appends the records of a JSON array. The three members are required and add to failed,
// which may already hold the item's earlier failures. Returns 1 when reading stops early: at
// an element that is not an object (notObject printed, failed set), or after a name read while
// failed is set.
int ReadClipEntries(JDoc& doc, JValue& array, std::vector<CAngleEntry>& list, int& failed,
                    const char* notObject);

// The listing lines of a PlayItem or SubPlayItem: its clip and duration, then, when it has
// several clips, their number and the further clips. countText holds one %u, entryText one %d.
void PrintClipItem(int indent, const char name[5], const char codec[4], uint32_t in, uint32_t out,
                   bool several, const char* countText, const char* entryText, uint32_t number,
                   const std::vector<CAngleEntry>& list);
