// sei_message() framing and the nesting headers.
#include "h264/syntax/sei.h"

#include "h264/syntax/nal_parser.h"
#include "h264/syntax/syntax_io.h"
#include "h264/text/sei_print.h"

template <class RW> void SeiMessageHeader::Syntax(RW& rw)
{
    rw.ff_coded(payloadType);
    rw.ff_coded(payloadSize);
}

void SeiMessageHeader::Parse(H264BitReader& reader)
{
    H264Read rw{reader};
    Syntax(rw);
}

void SeiMessageHeader::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    Syntax(rw);
}

namespace
{

void SkipBits(H264BitReader& reader, unsigned n, uint64_t times)
{
    for (uint64_t i = 0; i < times; ++i)
        reader.ReadBits(n);
}

// The headers of scalable_nesting() (30) and mvcd_scalable_nesting() (48), which only this
// parse reads, up to the sei_nesting_zero_bit run. The bit reads are not guarded.
void SkipNestingHeader(uint32_t payloadType, H264BitReader& r)
{
    if (payloadType == 30) {                            // scalable_nesting() of Annex G
        if (r.ReadBits(1) == 0) {                       // all_layer_representations_in_au_flag
            uint64_t layers = uint64_t(r.ReadUE()) + 1; // num_layer_representations_minus1
            SkipBits(r, 7, layers);                     // sei_dependency_id, sei_quality_id
            r.ReadBits(3);                              // sei_temporal_id
        }
    } else {                                             // 48, mvcd_scalable_nesting() of Annex I
        if (r.ReadBits(1)) {                             // operation_point_flag
            bool textureOnly = r.ReadBits(1) != 0;       // sei_op_texture_only_flag
            uint64_t views   = uint64_t(r.ReadUE()) + 1; // num_view_components_op_minus1
            // sei_op_view_id, then sei_op_depth_flag and sei_op_texture_flag
            SkipBits(r, textureOnly ? 10 : 12, views);
            r.ReadBits(3);                             // sei_op_temporal_id
        } else if (r.ReadBits(1) == 0) {               // all_view_components_in_au_flag
            uint64_t views = uint64_t(r.ReadUE()) + 1; // num_view_components_minus1
            SkipBits(r, 11, views);                    // sei_view_id, sei_view_applicability_flag
        }
    }
}

} // namespace

template <class RW> void MvcNestingHeader::Syntax(RW& rw)
{
    rw.flag(operation_point_flag);
    if (operation_point_flag) {
        rw.ue(num_view_components_op_minus1);
        uint64_t views = uint64_t(num_view_components_op_minus1) + 1;
        rw.size(sei_op_view_id, views, 10 * views);
        for (uint32_t& id : sei_op_view_id)
            rw.u(10, id);
        rw.u(3, sei_op_temporal_id);
    } else {
        rw.flag(all_view_components_in_au_flag);
        if (!all_view_components_in_au_flag) {
            rw.ue(num_view_components_minus1);
            uint64_t views = uint64_t(num_view_components_minus1) + 1;
            rw.size(sei_view_id, views, 10 * views);
            for (uint32_t& id : sei_view_id)
                rw.u(10, id);
        }
    }
    rw.align_zero(); // sei_nesting_zero_bit
}

void MvcNestingHeader::Parse(H264BitReader& reader)
{
    sei_op_view_id.clear();
    sei_view_id.clear();
    num_view_components_op_minus1 = sei_op_temporal_id = 0;
    all_view_components_in_au_flag = num_view_components_minus1 = 0;
    H264Read rw{reader};
    Syntax(rw);
}

void MvcNestingHeader::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    Syntax(rw);
}

int CH264SeiMessage::Clear(H264NalParser&)
{
    payloadType = 0xFFFFFFFF;
    payloadData.clear();
    nestedPayloadType = 0xFFFFFFFF;
    return 0;
}

// 7.3.2.3.1 sei_message()
int CH264SeiMessage::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    SeiMessageHeader header;
    header.Parse(reader);
    payloadType = uint32_t(header.payloadType);
    // A payload larger than what is left cannot be read: fail before allocating it.
    if (header.payloadSize > reader.BitsLeftBound() / 8)
        throw kBitstreamReadPastEnd;
    payloadData.resize(size_t(header.payloadSize));
    reader.ReadBytes(payloadData.data(), payloadData.size());
    while (!reader.IsByteAligned())
        reader.ReadBits(1);
    if (IsNestingType(payloadType)) {
        H264BitReader nested;
        nested.InitView(payloadData.data(), payloadData.size());
        H264Read rw{nested};
        if (payloadType == 37) {
            ctx.m_mvcNestingHeader.Parse(nested);
        } else {
            SkipNestingHeader(payloadType, nested);
            rw.align_zero(); // sei_nesting_zero_bit
        }
        uint64_t type; // the nested message's header begins with its payload type
        rw.ff_coded(type);
        nestedPayloadType = uint32_t(type);
    }
    return 0;
}

int CH264SeiMessage::Write(H264NalParser&, H264BitWriter& writer)
{
    SeiMessageHeader{payloadType, payloadData.size()}.Write(writer);
    writer.WriteBytes(payloadData.data(), payloadData.size());
    return 0;
}

int CH264SeiMessage::Print(H264NalParser& ctx, FILE* stream, int level)
{
    PrintLine(stream, level, "payload_type: %u \"%s\"\n", payloadType,
              SeiPayloadTypeName(payloadType));
    PrintLine(stream, level, "payload_size: %u\n", unsigned(payloadData.size()));
    if (!payloadData.empty())
        PrintSeiPayload(ctx, stream, level + 1, payloadType, payloadData.data(),
                        payloadData.size());
    return 0;
}
