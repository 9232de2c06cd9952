// One unit's heading, header and parsed contents as h264dump prints them.
#include "tools/dump/nal_dump.h"

#include "h264/bits/bit_reader.h"
#include "h264/text/print_lines.h"

#include <cinttypes>

namespace
{

// Prints what the parse of one unit left in the context, at the given level.
void PrintPayload(H264NalParser& ctx, FILE* out, int level, int result)
{
    const CH264NALUnitHeader& header = ctx.m_nalHeader;
    // A failed parameter set is not stored: there is nothing of it to show.
    bool parsed = result == 0 || result == 1 || result == 100;
    switch (header.nal_unit_type) {
    case 1:
    case 5:
        if (parsed)
            ctx.m_sliceHeader.Print(ctx, out, level);
        break;
    case 2:
        if (parsed) {
            ctx.m_sliceHeader.Print(ctx, out, level);
            ctx.m_partitionA.Print(ctx, out, level);
        }
        break;
    case 3:
    case 4:
        if (parsed)
            ctx.m_partitionBC.Print(ctx, out, level);
        break;
    case 6: // the messages read before a failure are kept
        for (CH264SeiMessage& message : ctx.m_seiMessages)
            message.Print(ctx, out, level);
        break;
    case 7:
        if (parsed)
            ctx.m_spsMap[uint32_t(ctx.m_currentSpsId)].Print(ctx, out, level);
        break;
    case 8:
        if (parsed)
            ctx.m_ppsMap[uint32_t(ctx.m_currentPpsId)].Print(ctx, out, level);
        break;
    case 9:
        PrintLine(out, level, "primary_pic_type: %u\n", ctx.primary_pic_type);
        break;
    case 13:
        if (parsed)
            ctx.m_spsExtensionMap[uint32_t(ctx.m_currentSpsId)].Print(ctx, out, level);
        break;
    case 15:
        if (parsed) {
            ctx.m_spsMap[uint32_t(ctx.m_currentSpsId)].Print(ctx, out, level);
            ctx.m_subsetSpsMap[uint32_t(ctx.m_currentSpsId)].Print(ctx, out, level);
        }
        break;
    case 20:
    case 21:
        if (parsed && !header.svc_extension_flag && !header.avc_3d_extension_flag)
            ctx.m_sliceHeader.Print(ctx, out, level);
        break;
    case 10:
    case 11:
    case 14:
        break;
    default: // 24 and the types without a parser: the rest of the unit as it was
        ctx.m_rbsp.Print(ctx, out, level);
        break;
    }
}

} // namespace

void DumpNalUnit(H264NalParser& ctx, FILE* out, uint64_t index, uint64_t offset,
                 const uint8_t* unit, size_t size)
{
    H264BitReader reader;
    int result = ctx.ParseNalUnit(reader, unit, size);
    fprintf(out, "NAL unit %" PRIu64 " at offset %" PRIu64 " (%zu bytes)\n", index, offset, size);
    ctx.m_nalHeader.Print(ctx, out, 1);
    PrintPayload(ctx, out, 2, result);
    // 1 (an SVC prefix unit) and 100 (no parser for the type) are not failures.
    if (result != 0 && result != 1 && result != 100)
        PrintBitstreamError(out, result);
}
