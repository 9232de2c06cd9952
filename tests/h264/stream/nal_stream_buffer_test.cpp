// The NAL stream buffer over bytes handed out in blocks: where units begin and end whatever
// the block and memory sizes, growth up to the unit limit, and the end of a failing input.
#include "h264/stream/nal_stream_buffer.h"
#include "tests/h264/stream/memory_feeder.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <string>

using testing_support::Hex;

namespace
{

struct Walk {
    std::string units;     // "position:size " each
    int end           = 0; // NextUnit's last result, or 101 when the first read fails
    uint64_t received = 0;
};

Walk Split(const std::vector<uint8_t>& data, size_t block, size_t capacity = 65536,
           size_t limit = NalStreamBuffer::kUnitLimit, size_t failAfter = SIZE_MAX)
{
    MemoryFeeder feeder(data, block, failAfter);
    NalStreamBuffer buffer(&feeder, capacity);
    buffer.SetUnitLimit(limit);
    Walk w;
    if (!feeder.Start() || buffer.Refill(false) != 0) {
        w.end = 101;
        return w;
    }
    uint64_t pos     = 0;
    const uint8_t* p = nullptr;
    size_t size      = 0;
    while ((w.end = buffer.NextUnit(&pos, &p, &size)) == 0) {
        w.units += std::to_string(pos) + ":" + std::to_string(size) + " ";
        buffer.Advance(size);
    }
    w.received = buffer.Received();
    return w;
}

std::vector<uint8_t> Cat(std::initializer_list<std::vector<uint8_t>> parts)
{
    std::vector<uint8_t> all;
    for (const auto& p : parts)
        all.insert(all.end(), p.begin(), p.end());
    return all;
}

} // namespace

TEST(NalStreamBuffer, UnitBoundariesWhateverTheBlockAndMemorySizes)
{
    const struct {
        const char* hex;
        const char* units;
    } cases[] = {
        // 3- and 4-byte start codes each open their unit; the end of the data closes the last.
        {"00 00 00 01 09 10  00 00 01 67 64 00 1e  00 00 00 01 68 ee 3c 80  00 00 01 65 88 84",
         "0:6 6:7 13:8 21:6 "},
        // Zeros before 00 00 01 stay with the unit before but the last, which makes a 4-byte
        // start code; the zeros at the end of the data stay too.
        {"00 00 01 06 05 01 aa 80 00 00 00 00 01 09 10 00 00", "0:9 9:8 "},
        // Up to three stray leading bytes and units of three bytes are dropped; four are kept.
        {"ff 12 34  00 00 00 01 09 10  00 00 01  00 00 01 09 30", "3:6 12:5 "},
        {"de ad be ef  00 00 01 09 10", "0:4 4:5 "},
        {"00 00 01 09  00 00 01  00 00 00 01 09 10", "0:4 7:6 "},
        {"", ""},
        {"00 00 01", ""},
        {"00 00 00", ""},
        {"ff 00 00 01", ""},
    };
    for (const auto& c : cases) {
        for (size_t block : {1, 2, 3, 5, 4096}) {
            for (size_t capacity : {16, 64, 65536}) {
                Walk w = Split(Hex(c.hex), block, capacity);
                EXPECT_EQ(w.units, c.units) << c.hex << " block " << block << " in " << capacity;
                EXPECT_EQ(w.end, 1);
            }
        }
    }
}

TEST(NalStreamBuffer, UnitsGrowTheMemoryUpToTheLimit)
{
    // Without start codes the input is one unit.
    for (uint8_t fill : {0x00, 0xff})
        EXPECT_EQ(Split(std::vector<uint8_t>(300000, fill), 65536).units, "0:300000 ");
    // 2 MiB and a bit: the memory doubles from 64 KiB, and the unit arrives whole.
    const auto head = Hex("00 00 00 01 65 88"), tail = Hex("00 00 00 01 09 10");
    std::vector<uint8_t> body((size_t(2) << 20) + 17, 0x5a);
    for (size_t block : {1000, 65536})
        EXPECT_EQ(Split(Cat({head, body, tail}), block).units, "0:2097175 2097175:6 ");

    // A unit of exactly the limit passes, in the middle and at the end of the data.
    const size_t limit = 1000;
    body.assign(limit - head.size(), 0x5a);
    Walk fits = Split(Cat({head, body, tail, head, body}), 64, 64, limit);
    EXPECT_EQ(fits.units, "0:1000 1000:6 1006:1000 ");
    EXPECT_EQ(fits.end, 1);
    // One byte more ends the walk with -1 after the units before it.
    body.push_back(0x5a);
    for (const auto& data : {Cat({tail, head, body, tail}), Cat({tail, head, body})}) {
        Walk over = Split(data, 64, 64, limit);
        EXPECT_EQ(over.units, "0:6 ");
        EXPECT_EQ(over.end, -1);
    }
    // Without any start code the unit is cut off at the limit, not read to the end.
    Walk endless = Split(std::vector<uint8_t>(100000, 0x5a), 64, 64, limit);
    EXPECT_EQ(endless.end, -1);
    EXPECT_LT(endless.received, 2 * limit);
}

TEST(NalStreamBuffer, AFailingInputHandsOutOnlyTheCompletedUnits)
{
    auto data = Hex("00 00 00 01 09 10  00 00 01 06 05 02 aa bb 80  00 00 00 01 65 88 84 21");
    // Failing just after the slice's start code or inside the slice: the two units before it.
    for (size_t failAfter : {19, 21}) {
        for (size_t block : {1, 4, 4096}) {
            Walk w = Split(data, block, 65536, NalStreamBuffer::kUnitLimit, failAfter);
            EXPECT_EQ(w.units, "0:6 6:9 ") << failAfter << " block " << block;
            EXPECT_EQ(w.end, 105);
        }
    }
    EXPECT_EQ(Split(data, 4096, 65536, NalStreamBuffer::kUnitLimit, 0).end, 101);
}
