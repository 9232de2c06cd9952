// The NAL stream buffer on arbitrary bytes handed over in blocks of varied size, with every
// unit parsed and read for MDPM as quenby reads it.
#include "h264/stream/nal_stream_buffer.h"
#include "h264/syntax/nal_parser.h"
#include "tests/h264/stream/memory_feeder.h"
#include "tools/recinfo/quenby.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the block size, so refills land everywhere in the units.
    const size_t block = data[0] < 16 ? size_t(data[0]) + 1 : size_t(data[0] - 15) * 271;
    MemoryFeeder feeder(std::vector<uint8_t>(data + 1, data + size), block);
    if (!feeder.Start())
        return 0;
    NalStreamBuffer buffer(&feeder, 64);
    buffer.SetUnitLimit(1 << 16);
    if (buffer.Refill(false) != 0)
        return 0;

    H264NalParser parser;
    H264BitReader reader, payload;
    MdpmTagList tags;
    uint64_t position = 0, next = 0;
    const uint8_t* unit = nullptr;
    size_t unitSize     = 0;
    while (buffer.NextUnit(&position, &unit, &unitSize) == 0) {
        // Units are handed out in order, apart, and within the input.
        if (unitSize <= 3 || position < next || position + unitSize > size - 1)
            abort();
        next  = position + unitSize;
        int r = parser.ParseNalUnit(reader, unit, unitSize);
        if (parser.m_nalHeader.nal_unit_type == 6 && r == 0) {
            for (const CH264SeiMessage& m : parser.m_seiMessages) {
                if (m.payloadType != 5 || m.payloadData.empty())
                    continue;
                payload.InitView(m.payloadData.data(), m.payloadData.size());
                if (ReadMdpmTags(payload, tags) == 0) {
                    InfoRow row;
                    FillInfoRow(row, tags.entries, (data[0] & 1) != 0);
                }
            }
        }
        buffer.Advance(unitSize);
    }
    return 0;
}
