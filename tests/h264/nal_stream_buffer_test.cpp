#include "h264/nal_stream_buffer.h"
#include "tests/h264/memory_feeder.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <string>

using testing_support::Hex;

namespace
{

struct Unit {
    uint64_t position;
    std::vector<uint8_t> bytes;
    bool operator==(const Unit& o) const { return position == o.position && bytes == o.bytes; }
};

struct Walk {
    std::vector<Unit> units;
    int end           = 0; // NextUnit's last result
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
    for (;;) {
        uint64_t pos     = 0;
        const uint8_t* p = nullptr;
        size_t size      = 0;
        w.end            = buffer.NextUnit(&pos, &p, &size);
        if (w.end != 0)
            break;
        w.units.push_back({pos, std::vector<uint8_t>(p, p + size)});
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

// Every block size from a byte at a time to all at once cuts the same units.
void ExpectSameForAllBlocks(const std::vector<uint8_t>& data, const Walk& expected)
{
    for (size_t block : {size_t(1), size_t(2), size_t(3), size_t(5), size_t(4096), data.size()}) {
        for (size_t capacity : {size_t(16), size_t(64), size_t(65536)}) {
            Walk w = Split(data, block, capacity);
            EXPECT_EQ(w.end, expected.end) << "block " << block << " capacity " << capacity;
            EXPECT_TRUE(w.units == expected.units) << "block " << block << " capacity " << capacity;
        }
    }
}

} // namespace

TEST(NalStreamBuffer, ThreeAndFourByteStartCodesEachOpenTheirUnit)
{
    auto data = Hex("00 00 00 01 09 10"       // AUD, 4-byte start code
                    "00 00 01 67 64 00 1e"    // 3-byte
                    "00 00 00 01 68 ee 3c 80" // 4-byte
                    "00 00 01 65 88 84");     // last unit, closed by the end of the data
    Walk expected;
    expected.end   = 1;
    expected.units = {{0, Hex("00 00 00 01 09 10")},
                      {6, Hex("00 00 01 67 64 00 1e")},
                      {13, Hex("00 00 00 01 68 ee 3c 80")},
                      {21, Hex("00 00 01 65 88 84")}};
    ExpectSameForAllBlocks(data, expected);
}

TEST(NalStreamBuffer, ZerosBeforeAStartCodeBelongToThePreviousUnitButFour)
{
    // 80 00 00 00 00 01: the last three zeros and 01 are the next unit's 4-byte start code.
    auto data = Hex("00 00 01 06 05 01 aa 80 00 00 00 00 01 09 10 00 00");
    Walk expected;
    expected.end   = 1;
    expected.units = {{0, Hex("00 00 01 06 05 01 aa 80 00")},
                      {9, Hex("00 00 00 01 09 10 00 00")}}; // trailing zeros of the file kept
    ExpectSameForAllBlocks(data, expected);
}

TEST(NalStreamBuffer, ShortUnitsAndUpToThreeStrayLeadingBytesAreDropped)
{
    Walk expected;
    expected.end   = 1;
    expected.units = {{3, Hex("00 00 00 01 09 10")}, {12, Hex("00 00 01 09 30")}};
    // Three stray bytes, the unit, a bare start code (3 bytes) and the next unit.
    ExpectSameForAllBlocks(Hex("ff 12 34 00 00 00 01 09 10 00 00 01 00 00 01 09 30"), expected);

    // Four stray bytes are a unit of their own, without a start code.
    Walk four = Split(Hex("de ad be ef 00 00 01 09 10"), 4096);
    ASSERT_EQ(four.units.size(), 2u);
    EXPECT_EQ(four.units[0].bytes, Hex("de ad be ef"));
    EXPECT_EQ(four.units[1].position, 4u);

    // A unit of four bytes, start code included, is handed out; one of three is not.
    Walk tiny = Split(Hex("00 00 01 09 00 00 01 00 00 00 01 09 10"), 4096);
    ASSERT_EQ(tiny.units.size(), 2u);
    EXPECT_EQ(tiny.units[0].bytes, Hex("00 00 01 09"));
    EXPECT_EQ(tiny.units[1].bytes, Hex("00 00 00 01 09 10"));
}

TEST(NalStreamBuffer, AnInputWithoutBytesOrUnitsEnds)
{
    for (const char* hex : {"", "00", "00 00 01", "00 00 00", "ff 00 00 01"}) {
        Walk w = Split(Hex(hex), 4096);
        EXPECT_EQ(w.end, 1) << hex;
        EXPECT_TRUE(w.units.empty()) << hex;
    }
}

TEST(NalStreamBuffer, InputsWithoutStartCodesAreOneUnit)
{
    for (uint8_t fill : {uint8_t(0x00), uint8_t(0xff)}) {
        std::vector<uint8_t> data(300000, fill);
        Walk w = Split(data, 65536);
        EXPECT_EQ(w.end, 1);
        ASSERT_EQ(w.units.size(), 1u);
        EXPECT_EQ(w.units[0].bytes, data);
    }
}

TEST(NalStreamBuffer, AUnitGrowsTheMemoryUpToTheLimit)
{
    auto head = Hex("00 00 00 01 65 88");
    auto tail = Hex("00 00 00 01 09 10");
    for (size_t block : {size_t(1000), size_t(65536)}) {
        // 2 MiB plus a bit: the memory doubles from 64 KiB, and the unit arrives intact.
        std::vector<uint8_t> body((size_t(2) << 20) + 17, 0x5a);
        auto data = Cat({head, body, tail});
        Walk w    = Split(data, block);
        ASSERT_EQ(w.units.size(), 2u);
        EXPECT_EQ(w.units[0].bytes.size(), head.size() + body.size());
        EXPECT_EQ(w.units[1].position, head.size() + body.size());
        EXPECT_EQ(w.end, 1);
    }

    // A unit of exactly the limit passes, in the middle and at the end of the data.
    const size_t limit = 1000;
    std::vector<uint8_t> body(limit - head.size(), 0x5a);
    Walk fits = Split(Cat({head, body, tail, head, body}), 64, 64, limit);
    EXPECT_EQ(fits.end, 1);
    ASSERT_EQ(fits.units.size(), 3u);
    EXPECT_EQ(fits.units[0].bytes.size(), limit);
    EXPECT_EQ(fits.units[2].bytes.size(), limit);

    // One byte more ends the walk with -1 after the units before it.
    body.push_back(0x5a);
    Walk middle = Split(Cat({tail, head, body, tail}), 64, 64, limit);
    EXPECT_EQ(middle.end, -1);
    ASSERT_EQ(middle.units.size(), 1u);
    Walk last = Split(Cat({tail, head, body}), 64, 64, limit);
    EXPECT_EQ(last.end, -1);
    EXPECT_EQ(last.units.size(), 1u);
    // Without any start code the unit is still cut off at the limit, not read to the end.
    std::vector<uint8_t> endless(100000, 0x5a);
    Walk cut = Split(endless, 64, 64, limit);
    EXPECT_EQ(cut.end, -1);
    EXPECT_LT(cut.received, 2 * limit);
}

TEST(NalStreamBuffer, AReadFailureHandsOutOnlyTheCompletedUnits)
{
    auto data = Hex("00 00 00 01 09 10 00 00 01 06 05 02 aa bb 80 00 00 00 01 65 88 84 21");
    // The failure cuts the slice: the two units before it come out, then 105.
    for (size_t block : {size_t(1), size_t(4), size_t(4096)}) {
        Walk w = Split(data, block, 65536, NalStreamBuffer::kUnitLimit, 21);
        EXPECT_EQ(w.end, 105) << block;
        ASSERT_EQ(w.units.size(), 2u) << block;
        EXPECT_EQ(w.units[1].bytes, Hex("00 00 01 06 05 02 aa bb 80"));
    }
    // A failure just after a start code: the unit it completed still comes out.
    Walk at = Split(data, 4096, 65536, NalStreamBuffer::kUnitLimit, 19);
    EXPECT_EQ(at.end, 105);
    EXPECT_EQ(at.units.size(), 2u);
    // A failure at the first read.
    EXPECT_EQ(Split(data, 4096, 65536, NalStreamBuffer::kUnitLimit, 0).end, 101);
}

TEST(NalStreamBuffer, FindStartCodeSkipsTheOneAtTheOffset)
{
    auto data = Hex("00 00 00 01 09 10 00 00 01 09 30 00 00 00 00 01 0c");
    MemoryFeeder feeder(data, data.size());
    NalStreamBuffer buffer(&feeder);
    ASSERT_TRUE(feeder.Start());
    ASSERT_EQ(buffer.Refill(false), 0);
    EXPECT_EQ(buffer.FindStartCode(0, data.size()), 6u);
    EXPECT_EQ(buffer.FindStartCode(6, data.size() - 6), 6u); // 09 30 00 | 00 00 00 01
    EXPECT_EQ(buffer.FindStartCode(12, data.size() - 12), 0u);
    EXPECT_EQ(buffer.FindStartCode(4, 4), 0u); // the start code is not wholly in the range
}
