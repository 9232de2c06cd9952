// sei_message(): the payload type, the payload bytes, and for the nesting messages the payload
// type of the first nested message.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;

// The nesting messages: scalable (30), MVC (37) and MVCD (48) scalable nesting.
inline bool IsNestingType(uint32_t payloadType)
{
    return payloadType == 30 || payloadType == 37 || payloadType == 48;
}

// The nesting headers, each up to its nested messages: the layers or views those apply to,
// then sei_nesting_zero_bit up to the byte boundary. The bit reads throw when the payload ends
// first. Parse keeps the lists' memory.

// scalable_nesting() of Annex G (30).
struct ScalableNestingHeader {
    struct Layer {
        uint32_t sei_dependency_id = 0;
        uint32_t sei_quality_id    = 0;
    };
    uint32_t all_layer_representations_in_au_flag = 0;
    uint32_t num_layer_representations_minus1     = 0;
    std::vector<Layer> layers;
    uint32_t sei_temporal_id = 0;

    void Parse(H264BitReader& reader);
    void Write(H264BitWriter& writer);
    template <class RW> void Syntax(RW& rw);
};

// mvc_scalable_nesting() of Annex H (37).
struct MvcNestingHeader {
    uint32_t operation_point_flag          = 0;
    uint32_t num_view_components_op_minus1 = 0;
    std::vector<uint32_t> sei_op_view_id;
    uint32_t sei_op_temporal_id             = 0;
    uint32_t all_view_components_in_au_flag = 0;
    uint32_t num_view_components_minus1     = 0;
    std::vector<uint32_t> sei_view_id;

    void Parse(H264BitReader& reader);
    void Write(H264BitWriter& writer);
    template <class RW> void Syntax(RW& rw);
};

// mvcd_scalable_nesting() of Annex I (48).
struct MvcdNestingHeader {
    struct OpView {
        uint32_t sei_op_view_id = 0;
        // These two are absent with sei_op_texture_only_flag.
        uint32_t sei_op_depth_flag   = 0;
        uint32_t sei_op_texture_flag = 0;
    };
    struct View {
        uint32_t sei_view_id                 = 0;
        uint32_t sei_view_applicability_flag = 0;
    };
    uint32_t operation_point_flag          = 0;
    uint32_t sei_op_texture_only_flag      = 0;
    uint32_t num_view_components_op_minus1 = 0;
    std::vector<OpView> op_views;
    uint32_t sei_op_temporal_id             = 0;
    uint32_t all_view_components_in_au_flag = 0;
    uint32_t num_view_components_minus1     = 0;
    std::vector<View> views;

    void Parse(H264BitReader& reader);
    void Write(H264BitWriter& writer);
    template <class RW> void Syntax(RW& rw);
};

// One header of each kind, where the message parse reads the header of each nesting message
// and drops it: the lists keep their memory from one message to the next.
struct SeiNestingHeaders {
    ScalableNestingHeader scalable;
    MvcNestingHeader mvc;
    MvcdNestingHeader mvcd;

    // The header of a message of payload type 30, 37 or 48.
    void Parse(uint32_t payloadType, H264BitReader& reader);
};

// sei_message() up to its payload bytes: the payload type and the payload size.
struct SeiMessageHeader {
    uint64_t payloadType = 0;
    uint64_t payloadSize = 0;

    // A header that the data cuts short throws.
    void Parse(H264BitReader& reader);
    // As Parse, except that a header cut inside its payload size returns false with the
    // payload type read whole, for a reader that needs only the type.
    bool ParseType(H264BitReader& reader);
    void Write(H264BitWriter& writer);
    template <class RW> void Syntax(RW& rw);
};

class CH264SeiMessage
{
  public:
    uint32_t payloadType = 0xFFFFFFFF;
    std::vector<uint8_t> payloadData; // its length is the payload size
    // Set for scalable_nesting (30), mvc_scalable_nesting (37) and mvcd_scalable_nesting (48).
    uint32_t nestedPayloadType = 0xFFFFFFFF;

    virtual int Clear(H264NalParser& ctx);
    // A message cut short, in its header or its payload, throws "read past NAL end".
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    // Every reading of a sei_message() goes through ReadMessage: the header, then the payload
    // bytes the data holds, so a size alone makes nothing. True when the payload is whole; a
    // header cut short throws. Each caller decides what a cut payload means.
    static bool ReadMessage(H264BitReader& reader, SeiMessageHeader& header,
                            std::vector<uint8_t>& payload);
    // Every writing goes through WriteMessage.
    static void WriteMessage(H264BitWriter& writer, uint64_t payloadType, const uint8_t* payload,
                             size_t length);
};
