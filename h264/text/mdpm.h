// What the library knows about the MDPM recording information that camcorders store as
// user_data_unregistered SEI: the tag names and the text form of tag values.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

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

// Lists the payload that follows the type indicator "MDPM": the tag count, then one line per
// tag. A short payload makes the reader throw.
void PrintMdpm(FILE* stream, int level, H264BitReader& reader);
