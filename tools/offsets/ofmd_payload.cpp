// The OFMD payload and the SEI message coding around it, written and read.
#include "tools/offsets/ofmd_payload.h"

#include "h264/syntax/sei.h"

#include <algorithm>
#include <cstring>

namespace
{

const uint8_t kOfmdType[4] = {'O', 'F', 'M', 'D'};

} // namespace

int WriteOffsetMetadata(H264BitWriter& writer, uint32_t frameRate, uint64_t pts, uint32_t sequences,
                        uint32_t frames, const std::vector<int32_t>& offsets)
{
    // The counts are 6 and 8 bits wide: write only what they can declare, so the payload
    // always describes itself.
    uint32_t seqCount   = std::min<uint32_t>(sequences, 63);
    uint32_t frameCount = std::min<uint32_t>(frames, 255);

    for (uint8_t b : kDiscVideoUserDataUuid)
        writer.WriteBits(8, b);
    for (uint8_t b : kOfmdType)
        writer.WriteBits(8, b);
    writer.WriteBits(1, 1);
    writer.WriteBits(3, 0);
    writer.WriteBits(4, frameRate);
    writer.WriteBits(5, 0);
    writer.WriteBits(3, uint32_t(pts >> 30) & 7);
    writer.WriteBits(1, 1);
    writer.WriteBits(15, uint32_t(pts >> 15) & 0x7FFF);
    writer.WriteBits(1, 1);
    writer.WriteBits(15, uint32_t(pts) & 0x7FFF);
    writer.WriteBits(1, 1);
    writer.WriteBits(1, 0);
    writer.WriteBits(6, seqCount);
    writer.WriteBits(8, frameCount);
    writer.WriteBits(1, 1);
    writer.WriteBits(15, 0);
    for (uint32_t s = 0; s < seqCount; ++s) {
        for (uint32_t f = 0; f < frameCount; ++f) {
            size_t at     = size_t(f) + size_t(s) * frames;
            int32_t value = at < offsets.size() ? offsets[at] : 0;
            value         = std::clamp(value, -127, 127);
            writer.WriteBits(1, value <= 0 ? 1 : 0);
            writer.WriteBits(7, uint32_t(value < 0 ? -value : value));
        }
    }
    return 0;
}

int ReadOffsetMetadata(H264BitReader& reader, uint32_t& frameRate, uint64_t& pts,
                       uint32_t& sequences, uint32_t& frames, std::vector<int32_t>& offsets)
{
    for (int i = 0; i < 16; i += 4) {
        uint32_t expected = uint32_t(kDiscVideoUserDataUuid[i]) << 24 |
                            uint32_t(kDiscVideoUserDataUuid[i + 1]) << 16 |
                            uint32_t(kDiscVideoUserDataUuid[i + 2]) << 8 |
                            kDiscVideoUserDataUuid[i + 3];
        if (reader.ReadBits(32) != expected)
            return 1;
    }
    if (reader.ReadBits(32) != 0x4F464D44) // "OFMD"
        return 1;
    reader.ReadBits(1);
    reader.ReadBits(3);
    frameRate = reader.ReadBits(4);
    reader.ReadBits(5);
    uint64_t high = reader.ReadBits(3);
    reader.ReadBits(1);
    uint64_t mid = reader.ReadBits(15);
    reader.ReadBits(1);
    uint64_t low = reader.ReadBits(15);
    reader.ReadBits(1);
    pts = high << 30 | mid << 15 | low;
    reader.ReadBits(1);
    sequences = reader.ReadBits(6);
    frames    = reader.ReadBits(8);
    reader.ReadBits(1);
    reader.ReadBits(15);
    offsets.assign(size_t(frames) * sequences, 0);
    for (uint32_t s = 0; s < sequences; ++s) {
        for (uint32_t f = 0; f < frames; ++f) {
            uint32_t negative               = reader.ReadBits(1);
            int32_t magnitude               = int32_t(reader.ReadBits(7));
            offsets[f + size_t(s) * frames] = negative ? -magnitude : magnitude;
        }
    }
    return 0;
}

int WriteSeiMessage(H264BitWriter& writer, uint32_t payloadType, const uint8_t* payload,
                    size_t length)
{
    WriteFFCoded(writer, payloadType);
    WriteFFCoded(writer, length);
    writer.WriteBytes(payload, length);
    if (!writer.IsByteAligned()) {
        writer.WriteBits(1, 1);
        while (!writer.IsByteAligned())
            writer.WriteBits(1, 0);
    }
    return 0;
}

int ReadSeiMessage(H264BitReader& reader, uint32_t& payloadType, SeiPayload& payload)
{
    // A type past 32 bits stays at the largest.
    uint64_t type = ReadFFCoded(reader);
    payloadType   = type > 0xFFFFFFFF ? 0xFFFFFFFF : uint32_t(type);
    payload.size  = ReadFFCoded(reader);
    // Bytes past the data read as zero: keep the ones present, remember the size.
    uint64_t present = std::min<uint64_t>(payload.size, reader.BitsLeft() / 8);
    payload.bytes.resize(size_t(present));
    reader.ReadBytes(payload.bytes.data(), payload.bytes.size());
    return 0;
}

int WriteNestedSeiMessage(H264BitWriter& writer, const uint8_t* payload, size_t length)
{
    writer.WriteBits(1, 0); // operation_point_flag
    writer.WriteBits(1, 1); // all_view_components_in_au_flag
    while (!writer.IsByteAligned())
        writer.WriteBits(1, 0); // sei_nesting_zero_bit
    return WriteSeiMessage(writer, 5, payload, length);
}

int ReadNestedSeiMessage(H264BitReader& reader, uint32_t& payloadType, SeiPayload& payload)
{
    // Whatever the outer type, the header is read as mvc_scalable_nesting().
    SkipNestingHeader(37, reader);
    while (!reader.IsByteAligned())
        reader.ReadBits(1);
    return ReadSeiMessage(reader, payloadType, payload);
}

bool ReadNestedOffsetMetadata(const uint8_t* body, size_t size, OffsetMetadata& ofmd)
{
    if (size == 0)
        return false;
    try {
        H264BitReader reader;
        reader.InitView(body, size);
        uint32_t nestedType = 0;
        SeiPayload nested;
        ReadNestedSeiMessage(reader, nestedType, nested);
        if (nestedType != 5 || nested.size == 0)
            return false;
        // Zero-fill a cut payload only as far as the layout can reach.
        uint64_t readable = std::min<uint64_t>(nested.size, kOfmdMaxPayloadSize);
        if (nested.bytes.size() < readable)
            nested.bytes.resize(size_t(readable), 0);
        H264BitReader payload;
        payload.InitView(nested.bytes.data(), size_t(readable));
        return ReadOffsetMetadata(payload, ofmd.frameRate, ofmd.pts, ofmd.sequences, ofmd.frames,
                                  ofmd.offsets) == 0;
    } catch (BitstreamErr_t) {
        return false;
    }
}
