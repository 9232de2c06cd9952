// The OFMD user data payload (3D plane offsets per frame) and the SEI message coding around it:
// a user_data_unregistered message nested in an mvc_scalable_nesting() body.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The largest payload the layout can describe: 30 bytes of fields, then 63 sequences of 255
// frames. Nothing beyond it is ever read.
constexpr size_t kOfmdMaxPayloadSize = 30 + 63 * 255;

// Offsets sit sequence by sequence: the value of sequence s at frame f is offsets[f + s * frames].
// Values outside -127..127 are written as the nearest of the two.
int WriteOffsetMetadata(H264BitWriter& writer, uint32_t frameRate, uint64_t pts, uint32_t sequences,
                        uint32_t frames, const std::vector<int32_t>& offsets);
// 1 when the UUID or "OFMD" does not match; marker and reserved bits are not checked.
int ReadOffsetMetadata(H264BitReader& reader, uint32_t& frameRate, uint64_t& pts,
                       uint32_t& sequences, uint32_t& frames, std::vector<int32_t>& offsets);

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

struct OffsetMetadata {
    uint32_t frameRate = 0;
    uint64_t pts       = 0;
    uint32_t sequences = 0;
    uint32_t frames    = 0;
    std::vector<int32_t> offsets;
};

// True when a nesting body (the payload of an SEI message of type 30, 37 or 48) carries an
// OFMD payload as its first nested message; a body too short for its layout carries none.
bool ReadNestedOffsetMetadata(const uint8_t* body, size_t size, OffsetMetadata& ofmd);
