// The 3D offset metadata of the disc-video world: a user_data_unregistered payload with the
// disc-video UUID and the type indicator "OFMD", giving a plane offset per offset sequence and
// displayed frame of one GOP.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// The largest payload the layout can describe: 30 bytes of fields, then 63 sequences of 255
// frames.
constexpr size_t kOfmdMaxPayloadSize = 30 + 63 * 255;

struct OfmdPayload {
    uint32_t frame_rate                        = 0;
    uint64_t pts                               = 0; // 33 bits
    uint32_t number_of_offset_sequences        = 0;
    uint32_t number_of_displayed_frames_in_GOP = 0;
    // Sequence by sequence: sequence s at frame f is plane_offset[f + s * frames].
    std::vector<int32_t> plane_offset;

    // The whole payload. 1 when it does not begin with the UUID and "OFMD"; marker and
    // reserved bits are not checked.
    int Parse(H264BitReader& reader);
    int Write(H264BitWriter& writer);
    // What follows the type indicator, for a reader that has read it already.
    int ParseFields(H264BitReader& reader);

    template <class RW> int Syntax(RW& rw);
    template <class RW> int Fields(RW& rw);
};
