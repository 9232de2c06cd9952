// SEI messages as indented text: the payload type names, the payload printers of ITU-T H.264
// Annex D and of the disc-video user data (GSMP, OFMD, MDPM), and the raw byte listing.
#pragma once

#include "h264/text/print_lines.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

class H264BitReader;
class H264NalParser;

// The Annex D name of a payload type, "reserved_sei_message" for the others.
const char* SeiPayloadTypeName(uint32_t payloadType);

// Names of a GSMP picture entry's fields; "" for values without one.
const char* GsmpPictureStructureName(uint32_t pictureStructure);
const char* GsmpPictureTypeName(uint32_t pictureType);

// The bytes as "0x%02X", sixteen to a line, then the line string: "..." with every byte that
// is not printable shown as '.'.
void PrintSeiPayloadRaw(FILE* stream, int level, const uint8_t* bytes, size_t length);

// Payload printers: each reads its payload from the reader and prints one line per field.
// They throw the reader's BitstreamErr_t when the payload is shorter than its syntax;
// PrintSeiPayload catches it.
void PrintBufferingPeriod(H264NalParser& ctx, FILE* stream, int level, H264BitReader& reader);
void PrintPicTiming(H264NalParser& ctx, FILE* stream, int level, H264BitReader& reader);
void PrintPanScanRect(FILE* stream, int level, H264BitReader& reader);
// Returns the offset (16 or 20) from which the caller lists the rest of the payload as bytes,
// or 0 when the whole payload was printed.
int PrintUserDataUnregistered(FILE* stream, int level, H264BitReader& reader);
void PrintRecoveryPoint(FILE* stream, int level, H264BitReader& reader);
void PrintMvcScalableNesting(H264NalParser& ctx, FILE* stream, int level, H264BitReader& reader);
void PrintFramePackingArrangement(FILE* stream, int level, H264BitReader& reader);
void PrintGopStructureMap(FILE* stream, int level, H264BitReader& reader);
void PrintOffsetMetadata(FILE* stream, int level, H264BitReader& reader);

// Prints one payload by its type at the given level: through its printer, or as bytes. A
// payload cut short shows what was read, then one line saying so.
void PrintSeiPayload(H264NalParser& ctx, FILE* stream, int level, uint32_t payloadType,
                     const uint8_t* bytes, size_t length);
