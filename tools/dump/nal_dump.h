// One NAL unit parsed and printed as h264dump shows it: a heading with its number, offset and
// size, the unit header, then what the parse left in the context.
#pragma once

#include "h264/syntax/nal_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

void DumpNalUnit(H264NalParser& ctx, FILE* out, uint64_t index, uint64_t offset,
                 const uint8_t* unit, size_t size);
