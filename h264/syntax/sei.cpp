// sei_message() framing and the nesting headers.
#include "h264/syntax/sei.h"

#include "h264/syntax/nal_parser.h"
#include "h264/syntax/syntax_io.h"
#include "h264/text/sei_print.h"

#include <algorithm>

namespace
{

// Reads as H264Read does and counts the values read whole, so that a header cut short can
// tell which of its values it holds.
struct CountingRead : H264Read {
    unsigned whole = 0;
    void ff_coded(uint64_t& v)
    {
        H264Read::ff_coded(v);
        ++whole;
    }
};

} // namespace

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

bool SeiMessageHeader::ParseType(H264BitReader& reader)
{
    CountingRead rw{{reader}};
    try {
        Syntax(rw);
    } catch (BitstreamErr_t) {
        if (rw.whole == 0)
            throw;
        return false;
    }
    return true;
}

void SeiMessageHeader::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    Syntax(rw);
}

template <class RW> void ScalableNestingHeader::Syntax(RW& rw)
{
    rw.flag(all_layer_representations_in_au_flag);
    if (!all_layer_representations_in_au_flag) {
        rw.ue(num_layer_representations_minus1);
        uint64_t count = uint64_t(num_layer_representations_minus1) + 1;
        rw.size(layers, count, 7 * count);
        for (Layer& layer : layers) {
            rw.u(3, layer.sei_dependency_id);
            rw.u(4, layer.sei_quality_id);
        }
        rw.u(3, sei_temporal_id);
    }
    rw.align_zero(); // sei_nesting_zero_bit
}

void ScalableNestingHeader::Parse(H264BitReader& reader)
{
    layers.clear();
    num_layer_representations_minus1 = sei_temporal_id = 0;
    H264Read rw{reader};
    Syntax(rw);
}

void ScalableNestingHeader::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    Syntax(rw);
}

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

template <class RW> void MvcdNestingHeader::Syntax(RW& rw)
{
    rw.flag(operation_point_flag);
    if (operation_point_flag) {
        rw.flag(sei_op_texture_only_flag);
        rw.ue(num_view_components_op_minus1);
        uint64_t count = uint64_t(num_view_components_op_minus1) + 1;
        rw.size(op_views, count, (sei_op_texture_only_flag ? 10 : 12) * count);
        for (OpView& view : op_views) {
            rw.u(10, view.sei_op_view_id);
            if (!sei_op_texture_only_flag) {
                rw.flag(view.sei_op_depth_flag);
                rw.flag(view.sei_op_texture_flag);
            }
        }
        rw.u(3, sei_op_temporal_id);
    } else {
        rw.flag(all_view_components_in_au_flag);
        if (!all_view_components_in_au_flag) {
            rw.ue(num_view_components_minus1);
            uint64_t count = uint64_t(num_view_components_minus1) + 1;
            rw.size(views, count, 11 * count);
            for (View& view : views) {
                rw.u(10, view.sei_view_id);
                rw.flag(view.sei_view_applicability_flag);
            }
        }
    }
    rw.align_zero(); // sei_nesting_zero_bit
}

void MvcdNestingHeader::Parse(H264BitReader& reader)
{
    op_views.clear();
    views.clear();
    sei_op_texture_only_flag = num_view_components_op_minus1 = sei_op_temporal_id = 0;
    all_view_components_in_au_flag = num_view_components_minus1 = 0;
    H264Read rw{reader};
    Syntax(rw);
}

void MvcdNestingHeader::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    Syntax(rw);
}

void SeiNestingHeaders::Parse(uint32_t payloadType, H264BitReader& reader)
{
    if (payloadType == 30)
        scalable.Parse(reader);
    else if (payloadType == 37)
        mvc.Parse(reader);
    else
        mvcd.Parse(reader);
}

namespace
{

// CH264SeiMessage::ReadMessage, inline in the parse of every message.
inline bool ReadOneMessage(H264BitReader& reader, SeiMessageHeader& header,
                           std::vector<uint8_t>& payload)
{
    header.Parse(reader);
    uint64_t present = std::min<uint64_t>(header.payloadSize, reader.BitsLeft() / 8);
    payload.resize(size_t(present));
    reader.ReadBytes(payload.data(), payload.size());
    return present == header.payloadSize;
}

} // namespace

bool CH264SeiMessage::ReadMessage(H264BitReader& reader, SeiMessageHeader& header,
                                  std::vector<uint8_t>& payload)
{
    return ReadOneMessage(reader, header, payload);
}

void CH264SeiMessage::WriteMessage(H264BitWriter& writer, uint64_t payloadType,
                                   const uint8_t* payload, size_t length)
{
    SeiMessageHeader{payloadType, length}.Write(writer);
    writer.WriteBytes(payload, length);
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
    bool whole  = ReadOneMessage(reader, header, payloadData);
    payloadType = uint32_t(header.payloadType);
    if (!whole)
        throw kBitstreamReadPastEnd;
    while (!reader.IsByteAligned())
        reader.ReadBits(1);
    if (IsNestingType(payloadType)) {
        H264BitReader body;
        body.InitView(payloadData.data(), payloadData.size());
        ctx.m_nestingHeaders.Parse(payloadType, body);
        // Only the first nested message's type is kept: a body that ends inside its size
        // still names it.
        SeiMessageHeader nested;
        nested.ParseType(body);
        nestedPayloadType = uint32_t(nested.payloadType);
    }
    return 0;
}

int CH264SeiMessage::Write(H264NalParser&, H264BitWriter& writer)
{
    WriteMessage(writer, payloadType, payloadData.data(), payloadData.size());
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
