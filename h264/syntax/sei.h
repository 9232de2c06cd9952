// sei_message(): the payload type, the payload bytes, and for the nesting messages the payload
// type of the first nested message.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;

// The nesting messages: scalable (30), MVC (37) and MVCD (48) scalable nesting.
inline bool IsNestingType(uint32_t payloadType)
{
    return payloadType == 30 || payloadType == 37 || payloadType == 48;
}

// mvc_scalable_nesting() of Annex H up to its nested messages: the view components they apply
// to, then sei_nesting_zero_bit up to the byte boundary.
struct MvcNestingHeader {
    uint32_t operation_point_flag          = 0;
    uint32_t num_view_components_op_minus1 = 0;
    std::vector<uint32_t> sei_op_view_id;
    uint32_t sei_op_temporal_id             = 0;
    uint32_t all_view_components_in_au_flag = 0;
    uint32_t num_view_components_minus1     = 0;
    std::vector<uint32_t> sei_view_id;

    // The bit reads throw when the payload ends first. The lists keep their memory.
    void Parse(H264BitReader& reader);
    void Write(H264BitWriter& writer);
    template <class RW> void Syntax(RW& rw);
};

// sei_message() up to its payload bytes: the payload type and the payload size.
struct SeiMessageHeader {
    uint64_t payloadType = 0;
    uint64_t payloadSize = 0;

    void Parse(H264BitReader& reader);
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
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);
};
