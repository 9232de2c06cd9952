// What the library knows about the MDPM recording information that camcorders store as
// user_data_unregistered SEI: the tag names and the text form of tag values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

class H264BitReader;

// The name of an MDPM tag, or "" for a code without one.
const char* MdpmTagName(uint32_t tag);

// Tag 0x13: "hh:mm:ss:ff" from the BCD pairs of bytes 0, 1, 2 and 3 (least significant first).
std::string FormatMdpmTimeCode(uint32_t value);

// A byte read as two BCD digits (high nibble x 10 + low nibble); the nibbles are not checked.
inline unsigned MdpmBcd(uint32_t byte) { return ((byte >> 4) & 0xF) * 10 + (byte & 0xF); }

// Each takes the 32-bit value of one tag, most significant byte first in the stream.
std::string FormatMdpmBytes(uint32_t value);
std::string FormatMdpmDateZone(uint32_t value);     // tag 0x18
std::string FormatMdpmDayTime(uint32_t value);      // tag 0x19
std::string FormatMdpmCamera1(uint32_t value);      // tag 0x70
std::string FormatMdpmCamera2(uint32_t value);      // tag 0x71, from its second byte
std::string FormatMdpmExposureTime(uint32_t value); // tag 0x7F, its last two bytes swapped
// The maker of a tag 0xE0 code (its high 16 bits); null for an unknown one.
const char* MdpmMakerName(uint32_t maker);
std::string FormatMdpmMaker(uint32_t value);         // tag 0xE0
std::string FormatMdpmRecordingMode(uint32_t value); // tag 0xE1
std::string FormatMdpmEmptyValue(uint32_t value);    // tag 0xEE

struct MdpmTagEntry {
    uint8_t tag    = 0;
    uint32_t value = 0; // most significant byte first in the stream
};

// The entry list that follows the type indicator "MDPM": tag_count, then as many entries of an
// 8-bit tag and a 32-bit value.
struct MdpmTagList {
    bool hasCount     = false; // the payload reaches tag_count
    uint32_t tagCount = 0;
    std::vector<MdpmTagEntry> entries; // the complete ones
    // The payload ends before tag_count, or before as many complete entries.
    bool Cut() const { return !hasCount || entries.size() < tagCount; }
};

// Reads the list as far as the payload holds it, never past its end.
void ReadMdpmTagList(H264BitReader& reader, MdpmTagList& list);

// Lists the payload that follows the type indicator "MDPM": the tag count, then one line per
// tag. A list cut short prints its complete entries, then throws the reader's "read past end"
// as any payload printer does.
void PrintMdpm(FILE* stream, int level, H264BitReader& reader);
