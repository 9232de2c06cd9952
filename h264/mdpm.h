// What the library knows about the MDPM recording information that camcorders store as
// user_data_unregistered SEI: the tag names and the text form of tag values.
#pragma once

#include <cstdint>
#include <string>

// The name of an MDPM tag, or "" for a code without one.
const char* MdpmTagName(uint32_t tag);

// Tag 0x13: "hh:mm:ss:ff" from the BCD pairs of bytes 0, 1, 2 and 3 (least significant first).
std::string FormatMdpmTimeCode(uint32_t value);

// A byte read as two BCD digits (high nibble x 10 + low nibble); the nibbles are not checked.
inline unsigned MdpmBcd(uint32_t byte) { return ((byte >> 4) & 0xF) * 10 + (byte & 0xF); }
