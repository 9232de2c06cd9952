// Arbitrary bytes as the body of a nesting SEI message: the OFMD examination must never read
// outside the body or allocate by a coded size; what it accepts must write back and read again
// to the same values.
#include "tools/offsets/ofmd_payload.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OfmdPayload m;
    if (!ReadNestedOffsetMetadata(data, size, m))
        return 0;
    if (m.plane_offset.size() !=
        size_t(m.number_of_offset_sequences) * m.number_of_displayed_frames_in_GOP)
        abort();
    H264BitWriter payload;
    WriteOffsetMetadata(payload, m.frame_rate, m.pts, m.number_of_offset_sequences,
                        m.number_of_displayed_frames_in_GOP, m.plane_offset);
    H264BitWriter body;
    WriteNestedSeiMessage(body, payload.Data(), payload.Size());
    OfmdPayload again;
    if (!ReadNestedOffsetMetadata(body.Data(), body.Size(), again))
        abort();
    // Read values lie in -127..127, so they survive the writer unchanged.
    if (again.frame_rate != m.frame_rate || again.pts != m.pts ||
        again.plane_offset != m.plane_offset)
        abort();
    return 0;
}
