// NAL unit headers with their extensions, raw payloads, and the start code every reading skips.
#include "h264/syntax/nal_header.h"

#include "h264/syntax/syntax_io.h"
#include "h264/text/print_lines.h"

namespace
{

const char* const kNalUnitTypeNames[24] = {
    "Unspecified",
    "Coded slice of non-IDR picture",
    "Coded slice data partition A",
    "Coded slice data partition B",
    "Coded slice data partition C",
    "Coded slice of an IDR picture",
    "SEI",
    "Sequence parameter set",
    "Picture parameter set",
    "Access unit delimiter",
    "End of Sequence",
    "End of stream",
    "Filler data",
    "Sequence parameter set extension",
    "Prefix NAL unit",
    "Subset sequence parameter set",
    "Reserved",
    "Reserved",
    "Reserved",
    "Coded slice of an auxiliary coded",
    "Coded slice extension",
    "Coded slice extension for depth view components",
    "Reserved",
    "Reserved",
};

} // namespace

const char* NalUnitTypeName(uint32_t nalUnitType)
{
    return nalUnitType < 24 ? kNalUnitTypeNames[nalUnitType] : "Reserved";
}

void SkipStartCode(H264BitReader& reader)
{
    if (reader.ReadBits(24) == 0)
        reader.ReadBits(8);
}

uint32_t ReadNalUnitType(const uint8_t* unit, size_t size)
{
    H264BitReader reader;
    reader.InitView(unit, size);
    RemoveEmulationPrevention(reader);
    try {
        SkipStartCode(reader);
        return reader.ReadBits(8) & 0x1Fu;
    } catch (BitstreamErr_t) {
        return 0;
    }
}

unsigned CeilLog2(uint64_t n)
{
    unsigned i = 0;
    while (i < 32 && (uint64_t(1) << i) < n)
        ++i;
    return i;
}

bool HasMoreRbspData(H264BitReader& reader)
{
    uint64_t left = reader.BitsLeft();
    if (left == 0)
        return false;
    if (left > 8)
        return true;
    return reader.PeekBits(unsigned(left)) != 1u << (left - 1);
}

// G.7.3.1.1 nal_unit_header_svc_extension()
template <class RW> int CH264NALHeaderSVCExtension::Syntax(RW& rw)
{
    rw.flag(idr_flag);
    rw.u(6, priority_id);
    rw.flag(no_inter_layer_pred_flag);
    rw.u(3, dependency_id);
    rw.u(4, quality_id);
    rw.u(3, temporal_id);
    rw.flag(use_ref_base_pic_flag);
    rw.flag(discardable_flag);
    rw.flag(output_flag);
    rw.u(2, reserved_three_2bits);
    return 0;
}

int CH264NALHeaderSVCExtension::Clear(H264NalParser&)
{
    *this = CH264NALHeaderSVCExtension();
    return 0;
}

int CH264NALHeaderSVCExtension::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264NALHeaderSVCExtension::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

int CH264NALHeaderSVCExtension::Print(H264NalParser&, FILE* stream, int level)
{
    PrintLine(stream, level, "idr_flag: %u\n", idr_flag);
    PrintLine(stream, level, "priority_id: %u\n", priority_id);
    PrintLine(stream, level, "no_inter_layer_pred_flag: %u\n", no_inter_layer_pred_flag);
    PrintLine(stream, level, "dependency_id: %u\n", dependency_id);
    PrintLine(stream, level, "quality_id: %u\n", quality_id);
    PrintLine(stream, level, "temporal_id: %u\n", temporal_id);
    PrintLine(stream, level, "use_ref_base_pic_flag: %u\n", use_ref_base_pic_flag);
    PrintLine(stream, level, "discardable_flag: %u\n", discardable_flag);
    PrintLine(stream, level, "output_flag: %u\n", output_flag);
    PrintLine(stream, level, "reserved_three_2bits: %u\n", reserved_three_2bits);
    return 0;
}

// J.7.3.1.1 nal_unit_header_3davc_extension()
template <class RW> int CH264NALHeaderAVC3DExtension::Syntax(RW& rw)
{
    rw.u(8, view_idx);
    rw.flag(depth_flag);
    rw.flag(non_idr_flag);
    rw.u(3, temporal_id);
    rw.flag(anchor_pic_flag);
    rw.flag(inter_view_flag);
    return 0;
}

int CH264NALHeaderAVC3DExtension::Clear(H264NalParser&)
{
    *this = CH264NALHeaderAVC3DExtension();
    return 0;
}

int CH264NALHeaderAVC3DExtension::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264NALHeaderAVC3DExtension::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

int CH264NALHeaderAVC3DExtension::Print(H264NalParser&, FILE* stream, int level)
{
    PrintLine(stream, level, "view_idx: %u\n", view_idx);
    PrintLine(stream, level, "depth_flag: %u\n", depth_flag);
    PrintLine(stream, level, "non_idr_flag: %u\n", non_idr_flag);
    PrintLine(stream, level, "temporal_id: %u\n", temporal_id);
    PrintLine(stream, level, "anchor_pic_flag: %u\n", anchor_pic_flag);
    PrintLine(stream, level, "inter_view_flag: %u\n", inter_view_flag);
    return 0;
}

// H.7.3.1.1 nal_unit_header_mvc_extension()
template <class RW> int CH264NALHeaderMVCExtension::Syntax(RW& rw)
{
    rw.flag(non_idr_flag);
    rw.u(6, priority_id);
    rw.u(10, view_id);
    rw.u(3, temporal_id);
    rw.flag(anchor_pic_flag);
    rw.flag(inter_view_flag);
    rw.flag(reserved_one_bit);
    return 0;
}

int CH264NALHeaderMVCExtension::Clear(H264NalParser&)
{
    *this = CH264NALHeaderMVCExtension();
    return 0;
}

int CH264NALHeaderMVCExtension::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264NALHeaderMVCExtension::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

int CH264NALHeaderMVCExtension::Print(H264NalParser&, FILE* stream, int level)
{
    PrintLine(stream, level, "non_idr_flag: %u\n", non_idr_flag);
    PrintLine(stream, level, "priority_id: %u\n", priority_id);
    PrintLine(stream, level, "view_id: %u\n", view_id);
    PrintLine(stream, level, "temporal_id: %u\n", temporal_id);
    PrintLine(stream, level, "anchor_pic_flag: %u\n", anchor_pic_flag);
    PrintLine(stream, level, "inter_view_flag: %u\n", inter_view_flag);
    PrintLine(stream, level, "reserved_one_bit: %u\n", reserved_one_bit);
    return 0;
}

// 7.3.1 nal_unit() up to the extension headers
template <class RW> int CH264NALUnitHeader::Syntax(RW& rw)
{
    uint32_t forbidden_zero_bit = 0;
    rw.u(1, forbidden_zero_bit);
    rw.u(2, nal_ref_idc);
    rw.u(5, nal_unit_type);
    if (nal_unit_type == 14 || nal_unit_type == 20)
        rw.flag(svc_extension_flag);
    else if (nal_unit_type == 21)
        rw.flag(avc_3d_extension_flag);
    else
        return 0;
    if (svc_extension_flag)
        return nal_unit_header_svc_extension.Syntax(rw);
    if (avc_3d_extension_flag)
        return nal_unit_header_3davc_extension.Syntax(rw);
    return nal_unit_header_mvc_extension.Syntax(rw);
}

int CH264NALUnitHeader::Clear(H264NalParser&)
{
    *this = CH264NALUnitHeader();
    return 0;
}

int CH264NALUnitHeader::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264NALUnitHeader::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

int CH264NALUnitHeader::Print(H264NalParser& ctx, FILE* stream, int level)
{
    PrintLine(stream, level, "nal_unit_type: %2u \"%s\"\n", nal_unit_type,
              NalUnitTypeName(nal_unit_type));
    PrintLine(stream, level + 1, "nal_ref_idc: %u\n", nal_ref_idc);
    if (nal_unit_type != 14 && nal_unit_type != 20 && nal_unit_type != 21)
        return 0;
    PrintLine(stream, level + 1, "svc_extension_flag: %u\n", svc_extension_flag);
    PrintLine(stream, level + 1, "avc_3d_extension_flag: %u\n", avc_3d_extension_flag);
    if (svc_extension_flag)
        return nal_unit_header_svc_extension.Print(ctx, stream, level + 2);
    if (avc_3d_extension_flag)
        return nal_unit_header_3davc_extension.Print(ctx, stream, level + 2);
    return nal_unit_header_mvc_extension.Print(ctx, stream, level + 2);
}

int CH264RBSP::Clear(H264NalParser&)
{
    m_bitCount = 0;
    m_data.clear();
    return 0;
}

int CH264RBSP::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    m_bitCount = reader.BitsLeft();
    // Whole bytes copied in runs (filler data can be long), then a final short piece.
    m_data.resize(size_t(m_bitCount / 8));
    reader.ReadBytes(m_data.data(), m_data.size());
    if (unsigned rest = unsigned(m_bitCount % 8))
        m_data.push_back(uint8_t(reader.ReadBits(rest)));
    return 0;
}

int CH264RBSP::Write(H264NalParser&, H264BitWriter& writer)
{
    uint64_t left = m_bitCount;
    for (uint8_t b : m_data) {
        if (left == 0)
            break;
        unsigned n = left < 8 ? unsigned(left) : 8;
        writer.WriteBits(n, b);
        left -= n;
    }
    return 0;
}

int CH264RBSP::Print(H264NalParser&, FILE* stream, int level)
{
    PrintHexLines(stream, level, m_data.data(), m_data.size(), "");
    return 0;
}
