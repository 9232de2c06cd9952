// Names of the coded attribute fields, the parsers that turn names back into codes, and the
// indented line printer behind every Print.
#pragma once

#include <cstdint>

struct CodeNameTable {
    uint32_t code;
    const char* name; // nullptr ends the table
};

extern const CodeNameTable kEPStreamTypeNames[];
extern const CodeNameTable kSamplingFrequencyNames[];
extern const CodeNameTable kStreamCodingTypeNames[];
extern const CodeNameTable kAudioPresentationTypeNames[];
extern const CodeNameTable kAspectRatioNames[];
extern const CodeNameTable kFrameRateNames[];
extern const CodeNameTable kVideoFormatNames[];

// The coding families of stream coding types, as the stream attribute blocks group them.
enum class CodingFamily { kVideo, kHevc, kMvc, kAudio, kDra, kGraphics, kText, kUnknown };
CodingFamily StreamCodingFamily(uint32_t codingType);

// The name of code in table, or "?".
const char* CodeName(const CodeNameTable* table, uint32_t code);
// The JSON form of a code: its name, or for a code the table lacks its number as "0x%X" in
// number, which the name parsers read back (stream coding types keep "?": the fields after
// them are laid out by type, so an unknown type cannot be read back anyway).
const char* CodeJsonName(const CodeNameTable* table, uint32_t code, char number[16]);

// Copies name without white space and in upper case, at most 255 characters, NUL-terminated.
void NormalizeName(char destination[256], const char* name);

// The parsers below it first read the number form that CodeJsonName writes.
uint32_t ParseStreamCodingType(const char* name);
uint32_t ParseVideoFormat(const char* name);
uint32_t ParseAudioPresentationType(const char* name);
uint32_t ParseFrameRate(const char* name);
uint32_t ParseSamplingFrequency(const char* name);
uint32_t ParseAspectRatio(const char* name);
// May be negative as a signed value ("-3"); the field's width keeps the low bits.
uint32_t ParseEPStreamType(const char* name);

// Four spaces per level, the formatted text and a newline, to standard output.
void PrintIndented(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
