// The OFMD payload as the editor writes and reads it, and the SEI message coding around it.
#include "tools/offsets/ofmd_payload.h"

#include "h264/syntax/sei.h"

#include <algorithm>

int WriteOffsetMetadata(H264BitWriter& writer, uint32_t frameRate, uint64_t pts, uint32_t sequences,
                        uint32_t frames, const std::vector<int32_t>& offsets)
{
    // The counts are 6 and 8 bits wide: write only what they can declare, so the payload
    // always describes itself. The matrix given keeps its own stride.
    OfmdPayload ofmd;
    ofmd.frame_rate                        = frameRate;
    ofmd.pts                               = pts;
    ofmd.number_of_offset_sequences        = std::min<uint32_t>(sequences, 63);
    ofmd.number_of_displayed_frames_in_GOP = std::min<uint32_t>(frames, 255);
    uint32_t frameCount                    = ofmd.number_of_displayed_frames_in_GOP;
    ofmd.plane_offset.resize(size_t(ofmd.number_of_offset_sequences) * frameCount);
    for (uint32_t s = 0; s < ofmd.number_of_offset_sequences; ++s) {
        for (uint32_t f = 0; f < frameCount; ++f) {
            size_t at = size_t(f) + size_t(s) * frames;
            ofmd.plane_offset[f + size_t(s) * frameCount] =
                std::clamp(at < offsets.size() ? offsets[at] : 0, -127, 127);
        }
    }
    return ofmd.Write(writer);
}

int ReadOffsetMetadata(H264BitReader& reader, OfmdPayload& ofmd) { return ofmd.Parse(reader); }

int WriteSeiMessage(H264BitWriter& writer, uint32_t payloadType, const uint8_t* payload,
                    size_t length)
{
    CH264SeiMessage::WriteMessage(writer, payloadType, payload, length);
    if (!writer.IsByteAligned()) {
        writer.WriteBits(1, 1);
        while (!writer.IsByteAligned())
            writer.WriteBits(1, 0);
    }
    return 0;
}

int ReadSeiMessage(H264BitReader& reader, uint32_t& payloadType, SeiPayload& payload)
{
    SeiMessageHeader header;
    // A payload cut short keeps the bytes present and the size it declares.
    CH264SeiMessage::ReadMessage(reader, header, payload.bytes);
    // A type past 32 bits stays at the largest.
    payloadType  = uint32_t(std::min<uint64_t>(header.payloadType, 0xFFFFFFFF));
    payload.size = header.payloadSize;
    return 0;
}

int WriteNestedSeiMessage(H264BitWriter& writer, const uint8_t* payload, size_t length)
{
    MvcNestingHeader header;
    header.all_view_components_in_au_flag = 1;
    header.Write(writer);
    return WriteSeiMessage(writer, 5, payload, length);
}

int ReadNestedSeiMessage(H264BitReader& reader, uint32_t& payloadType, SeiPayload& payload)
{
    // Whatever the outer type, the header is read as mvc_scalable_nesting().
    MvcNestingHeader header;
    header.Parse(reader);
    return ReadSeiMessage(reader, payloadType, payload);
}

bool ReadNestedOffsetMetadata(const uint8_t* body, size_t size, OfmdPayload& ofmd)
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
        return ReadOffsetMetadata(payload, ofmd) == 0;
    } catch (BitstreamErr_t) {
        return false;
    }
}
