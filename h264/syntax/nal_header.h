// The NAL unit layer: nal_unit_header() with its SVC, 3D-AVC and MVC extensions, the raw rest
// of units without a parser, and the helpers several syntax structures share.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;

// The name of a nal_unit_type, "Reserved" above 23.
const char* NalUnitTypeName(uint32_t nalUnitType);

// The start code that begins a unit, as every reading of a unit skips it: 24 bits, and 8 more
// when those are zero. The bytes are not checked (the first unit of a stream may begin with
// stray bytes), so the next byte read is the NAL unit header, whatever came before.
void SkipStartCode(H264BitReader& reader);
// nal_unit_type of a unit (start code included, emulation prevention not yet removed), read
// from the byte that parsing the unit reads as its header; 0 when the unit ends before it.
uint32_t ReadNalUnitType(const uint8_t* unit, size_t size);

// The smallest i with 2^i >= n; the search stops at 32.
unsigned CeilLog2(uint64_t n);

// The more-data test the PPS and the subset SPS use: with more than 8 bits left there is always
// more data (so trailing zero bytes after the stop bit count as data); with 1 to 8 bits left
// there is none only when they are a 1 followed by zeros.
bool HasMoreRbspData(H264BitReader& reader);

class CH264NALHeaderSVCExtension
{
  public:
    uint32_t idr_flag = 0, priority_id = 0, no_inter_layer_pred_flag = 0, dependency_id = 0;
    uint32_t quality_id = 0, temporal_id = 0, use_ref_base_pic_flag = 0, discardable_flag = 0;
    uint32_t output_flag = 0, reserved_three_2bits = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

class CH264NALHeaderAVC3DExtension
{
  public:
    uint32_t view_idx = 0, depth_flag = 0, non_idr_flag = 0, temporal_id = 0;
    uint32_t anchor_pic_flag = 0, inter_view_flag = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

class CH264NALHeaderMVCExtension
{
  public:
    uint32_t non_idr_flag = 0, priority_id = 0, view_id = 0, temporal_id = 0;
    uint32_t anchor_pic_flag = 0, inter_view_flag = 0, reserved_one_bit = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

class CH264NALUnitHeader
{
  public:
    uint32_t nal_unit_type = 0, nal_ref_idc = 0;
    uint32_t svc_extension_flag = 0, avc_3d_extension_flag = 0;
    CH264NALHeaderSVCExtension nal_unit_header_svc_extension;
    CH264NALHeaderAVC3DExtension nal_unit_header_3davc_extension;
    CH264NALHeaderMVCExtension nal_unit_header_mvc_extension;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

// Whatever follows the header of a unit the library does not parse, kept bit for bit.
class CH264RBSP
{
  public:
    uint64_t m_bitCount = 0;
    // A final piece of fewer than 8 bits sits right-aligned in its byte.
    std::vector<uint8_t> m_data;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);
};

// End of sequence and end of stream: no payload.
class CH264EmptyUnit
{
  public:
    virtual int Clear(H264NalParser&) { return 0; }
    virtual int Parse(H264NalParser& ctx, H264BitReader&) { return Clear(ctx); }
    virtual int Write(H264NalParser&, H264BitWriter&) { return 0; }
    virtual int Print(H264NalParser&, FILE*, int) { return 0; }
};
