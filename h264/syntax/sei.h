// sei_message(): the payload type, the payload bytes, and for the nesting messages the payload
// type of the first nested message.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;

// uuid_iso_iec_11578 of the disc-video user data (GSMP, OFMD, MDPM, GA94).
extern const uint8_t kDiscVideoUserDataUuid[16];

// The nesting messages: scalable (30), MVC (37) and MVCD (48) scalable nesting.
inline bool IsNestingType(uint32_t payloadType)
{
    return payloadType == 30 || payloadType == 37 || payloadType == 48;
}
// The header of a nesting message of that type, up to the sei_nesting_zero_bit run. The bit
// reads are not guarded: the caller catches BitstreamErr_t.
void SkipNestingHeader(uint32_t payloadType, H264BitReader& reader);

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
