// JSON text in and out: streamed parsing and pretty printing. Text fields hold bytes of the disc
// file, which need not be UTF-8: a byte XX that starts no valid UTF-8 sequence is written as the
// escape \udcXX (the surrogate-escape convention), so the JSON stays valid, and reading turns
// what such an escape decodes to back into the byte, so the round trip stays byte-exact.
#pragma once

#include "disc/framework/json_helpers.h"

#include <cstdio>
#include <string>

class SafeOutput;
class CIBDSerial;

// Parses the JSON text of a stream into doc, without reading the text whole first; false on a
// syntax error (doc is then left as it was).
bool ParseJsonStream(FILE* stream, JDoc& doc);

// The same for JSON text in memory.
bool ParseJsonText(const std::string& text, JDoc& doc);

// The JSON text of a structure as WriteJsonText writes it, in memory.
std::string JsonText(CIBDSerial& root);

// Writes the JSON text of a structure, an object with the members its WriteJSON writes,
// pretty-printed with four-space indentation; false when a write failed.
bool WriteJsonText(CIBDSerial& root, SafeOutput& out);

// The length (1 to 4) of the valid UTF-8 sequence at the start of s, or 0 when none starts
// there (a stray continuation byte, an overlong form, a surrogate, beyond U+10FFFF, cut short).
size_t Utf8SequenceLength(const uint8_t* s, size_t size);

// A string value as JSON text, quotes included, escaped as the JSON library escapes and with
// each byte XX outside valid UTF-8 as \udcXX.
std::string EscapedJsonString(const char* text, size_t length);

// Turns each ED B2 80..ED B3 BF (U+DC80..U+DCFF, what \udc80..\udcff decode to) back into the
// byte 80..FF; false when text holds none and was left as it was.
bool DecodeSurrogateEscapes(std::string& text);
