// h264dump: prints every NAL unit of an H.264 elementary stream, and every SEI message in it,
// as indented text on standard output.
#include "tools/dump/nal_dump.h"

#include <cinttypes>
#include <cstdio>
#include <vector>

namespace
{

constexpr size_t kChunkSize = 1 << 20;

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
            if (unitStart != SIZE_MAX)
                DumpNalUnit(ctx, stdout, index++, bufferOffset + unitStart,
                            buffer.data() + unitStart, start - unitStart);
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
        DumpNalUnit(ctx, stdout, index, bufferOffset + unitStart, buffer.data() + unitStart,
                    buffer.size() - unitStart);
    fclose(in);
    return 0;
}
