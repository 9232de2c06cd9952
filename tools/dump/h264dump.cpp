// h264dump: prints every NAL unit of an H.264 elementary stream, and every SEI message in it,
// as indented text on standard output.
#include "h264/stream/nal_stream_buffer.h"
#include "tools/dump/nal_dump.h"

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

constexpr size_t kChunkSize = 1 << 20;
// The tools' limit: a longer unit, or as many bytes before the first start code, is not held.
constexpr uint64_t kUnitLimit = NalStreamBuffer::kUnitLimit;

// The bytes of the unit being collected. realloc, unlike a vector, can grow a large block in
// place, so a unit near the limit is not held twice.
class Bytes
{
  public:
    ~Bytes() { free(m_data); }
    uint8_t* data() const { return m_data; }
    size_t size() const { return m_size; }
    uint8_t operator[](size_t i) const { return m_data[i]; }
    // Room for count more bytes after the held ones; null when there is no memory.
    uint8_t* Extend(size_t count)
    {
        if (m_capacity - m_size < count) {
            size_t capacity = m_capacity * 2 > m_size + count ? m_capacity * 2 : m_size + count;
            void* bigger    = realloc(m_data, capacity);
            if (!bigger)
                return nullptr;
            m_data     = static_cast<uint8_t*>(bigger);
            m_capacity = capacity;
        }
        return m_data + m_size;
    }
    void Grow(size_t count) { m_size += count; }
    void DropFront(size_t count)
    {
        memmove(m_data, m_data + count, m_size - count);
        m_size -= count;
    }

  private:
    uint8_t* m_data   = nullptr;
    size_t m_size     = 0;
    size_t m_capacity = 0;
};

// What the walker of the tools prints when a unit does not fit, with the offset of the last
// unit found.
int UnitTooLong(uint64_t lastUnit)
{
    NalStreamBuffer::PrintUnitTooLong(lastUnit);
    return -1;
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
    Bytes buffer;
    uint64_t bufferOffset = 0; // file offset of buffer[0]
    size_t unitStart      = SIZE_MAX;
    uint64_t unitOffset   = 0; // file offset of the unit being collected, 0 before the first
    uint64_t lastUnit     = 0; // file offset of the last unit printed
    size_t scan           = 0;
    uint64_t index        = 0;
    bool end              = false;
    while (!end) {
        uint8_t* room = buffer.Extend(kChunkSize);
        if (!room) {
            fclose(in);
            return UnitTooLong(lastUnit);
        }
        size_t got = fread(room, 1, kChunkSize, in);
        buffer.Grow(got);
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
            if (bufferOffset + start - unitOffset > kUnitLimit) {
                fclose(in);
                return UnitTooLong(lastUnit);
            }
            if (unitStart != SIZE_MAX) {
                DumpNalUnit(ctx, stdout, index++, unitOffset, buffer.data() + unitStart,
                            start - unitStart);
                lastUnit = unitOffset;
            }
            unitStart  = start;
            unitOffset = bufferOffset + start;
            scan += 2;
        }
        // Every start code that could end the unit within the limit would have been found.
        uint64_t held = bufferOffset + buffer.size() - unitOffset;
        if (held > kUnitLimit + 3 || (end && held > kUnitLimit)) {
            fclose(in);
            return UnitTooLong(lastUnit);
        }
        // Keep only the unit being collected; before the first one, only the byte that may
        // begin a 4-byte start code.
        size_t keep = unitStart != SIZE_MAX ? unitStart : (scan > 1 ? scan - 1 : 0);
        if (keep > 0) {
            buffer.DropFront(keep);
            bufferOffset += keep;
            scan -= keep;
            if (unitStart != SIZE_MAX)
                unitStart = 0;
        }
    }
    if (unitStart != SIZE_MAX)
        DumpNalUnit(ctx, stdout, index, unitOffset, buffer.data() + unitStart,
                    buffer.size() - unitStart);
    fclose(in);
    return 0;
}
