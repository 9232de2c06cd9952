// Arbitrary bytes as the body of a nesting SEI message: the OFMD examination must never read
// outside the body or allocate by a coded size; what it accepts must write back and read again
// to the same values.
#include "tools/offsets/ofmd_payload.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OffsetMetadata m;
    if (!ReadNestedOffsetMetadata(data, size, m))
        return 0;
    if (m.offsets.size() != size_t(m.sequences) * m.frames)
        abort();
    H264BitWriter payload;
    WriteOffsetMetadata(payload, m.frameRate, m.pts, m.sequences, m.frames, m.offsets);
    H264BitWriter body;
    WriteNestedSeiMessage(body, payload.Data(), payload.Size());
    OffsetMetadata again;
    if (!ReadNestedOffsetMetadata(body.Data(), body.Size(), again))
        abort();
    // Read values lie in -127..127, so they survive the writer unchanged.
    if (again.frameRate != m.frameRate || again.pts != m.pts || again.offsets != m.offsets)
        abort();
    return 0;
}
