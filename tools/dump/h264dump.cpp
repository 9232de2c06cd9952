// h264dump: prints every NAL unit of an H.264 elementary stream, and every SEI message in it,
// as indented text on standard output.
#include "h264/bit_reader.h"
#include "h264/nal_parser.h"
#include "h264/print_lines.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace
{

constexpr size_t kChunkSize = 1 << 20;

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

void DumpUnit(H264NalParser& ctx, FILE* out, uint64_t index, uint64_t offset, const uint8_t* unit,
              size_t size)
{
    H264BitReader reader;
    reader.InitView(unit, size);
    RemoveEmulationPrevention(reader);
    int result = ctx.ParseNalPayload(reader);
    fprintf(out, "NAL unit %" PRIu64 " at offset %" PRIu64 " (%zu bytes)\n", index, offset, size);
    ctx.m_nalHeader.Print(ctx, out, 1);
    PrintPayload(ctx, out, 2, result);
    // 1 (an SVC prefix unit) and 100 (no parser for the type) are not failures.
    if (result != 0 && result != 1 && result != 100)
        PrintBitstreamError(out, result);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: h264dump in.h264\n");
        return 1;
    }
    FILE* in = fopen(argv[1], "rb");
    if (!in) {
        fprintf(stderr, "h264dump: cannot open %s\n", argv[1]);
        return 1;
    }
    H264NalParser ctx;
    std::vector<uint8_t> buffer;
    uint64_t bufferOffset = 0; // file offset of buffer[0]
    size_t unitStart      = SIZE_MAX;
    size_t scan           = 0;
    uint64_t index        = 0;
    bool end              = false;
    while (!end) {
        size_t held = buffer.size();
        buffer.resize(held + kChunkSize);
        size_t got = fread(buffer.data() + held, 1, kChunkSize, in);
        buffer.resize(held + got);
        if (got < kChunkSize) {
            if (ferror(in)) {
                fprintf(stderr, "h264dump: cannot read %s\n", argv[1]);
                fclose(in);
                return 1;
            }
            end = true;
        }
        // Each unit runs from its start code to the next one; a zero byte before 00 00 01
        // makes a 4-byte start code of the unit that follows.
        for (; scan + 2 < buffer.size(); ++scan) {
            if (buffer[scan + 2] > 1) {
                scan += 2;
                continue;
            }
            if (buffer[scan] != 0 || buffer[scan + 1] != 0 || buffer[scan + 2] != 1)
                continue;
            size_t start = scan > 0 && buffer[scan - 1] == 0 ? scan - 1 : scan;
            if (unitStart != SIZE_MAX && start < unitStart)
                start = unitStart; // the previous unit's own start code
            if (unitStart != SIZE_MAX)
                DumpUnit(ctx, stdout, index++, bufferOffset + unitStart, buffer.data() + unitStart,
                         start - unitStart);
            unitStart = start;
            scan += 2;
        }
        // Keep only the unit being collected; before the first one, only the byte that may
        // begin a 4-byte start code.
        size_t keep = unitStart != SIZE_MAX ? unitStart : (scan > 1 ? scan - 1 : 0);
        if (keep > 0) {
            buffer.erase(buffer.begin(), buffer.begin() + std::ptrdiff_t(keep));
            bufferOffset += keep;
            scan -= keep;
            if (unitStart != SIZE_MAX)
                unitStart = 0;
        }
    }
    if (unitStart != SIZE_MAX)
        DumpUnit(ctx, stdout, index, bufferOffset + unitStart, buffer.data() + unitStart,
                 buffer.size() - unitStart);
    fclose(in);
    return 0;
}
