// The offset editor's side of the OFMD payload (its layout is the library's OfmdPayload) and
// the SEI message coding around it: a user_data_unregistered message nested in an
// mvc_scalable_nesting() body.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"
#include "h264/syntax/ofmd.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Offsets sit sequence by sequence: the value of sequence s at frame f is offsets[f + s * frames].
// Values outside -127..127 are written as the nearest of the two, and only as many sequences
// and frames as the counts can declare (63 and 255).
int WriteOffsetMetadata(H264BitWriter& writer, uint32_t frameRate, uint64_t pts, uint32_t sequences,
                        uint32_t frames, const std::vector<int32_t>& offsets);
// 1 when the UUID or "OFMD" does not match; a payload shorter than its layout makes the reader
// throw.
int ReadOffsetMetadata(H264BitReader& reader, OfmdPayload& ofmd);

// A sei_message() payload as a body holds it: the bytes present and the size it declares.
// A payload cut by the end of the body reads as zeros up to that size; the zeros are made only
// when something reads them (see ReadNestedOffsetMetadata).
struct SeiPayload {
    std::vector<uint8_t> bytes;
    uint64_t size = 0;
};

int WriteSeiMessage(H264BitWriter& writer, uint32_t payloadType, const uint8_t* payload,
                    size_t length);
// The reader must be byte aligned and hold RBSP bytes.
int ReadSeiMessage(H264BitReader& reader, uint32_t& payloadType, SeiPayload& payload);

// mvc_scalable_nesting() with operation_point_flag 0 and all_view_components_in_au_flag 1,
// around one payload of type 5.
int WriteNestedSeiMessage(H264BitWriter& writer, const uint8_t* payload, size_t length);
// Reads the nesting header and the first nested message. The bit reads are not guarded: the
// caller catches BitstreamErr_t.
int ReadNestedSeiMessage(H264BitReader& reader, uint32_t& payloadType, SeiPayload& payload);

// True when a nesting body (the payload of an SEI message of type 30, 37 or 48) carries an
// OFMD payload as its first nested message; a body too short for its layout carries none.
bool ReadNestedOffsetMetadata(const uint8_t* body, size_t size, OfmdPayload& ofmd);
