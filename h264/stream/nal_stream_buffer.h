// Cuts the bytes of a feeder into NAL units at Annex B start codes. A unit is handed out as a
// view into the buffer (start code included), valid until the buffer is asked for the next.
#pragma once

#include <cstddef>
#include <cstdint>

class CDataFeeder;

class NalStreamBuffer
{
  public:
    static constexpr size_t kInitialCapacity = 65536;
    // The largest unit held in memory; a larger one ends the walk (NextUnit's -1).
    static constexpr size_t kUnitLimit = size_t(512) << 20;
    // What a walk prints on standard error when a unit does not fit (NextUnit's -1), with the
    // position of the last unit found.
    static void PrintUnitTooLong(uint64_t lastUnit);

    explicit NalStreamBuffer(CDataFeeder* feeder, size_t capacity = kInitialCapacity);
    ~NalStreamBuffer();
    NalStreamBuffer(const NalStreamBuffer&)            = delete;
    NalStreamBuffer& operator=(const NalStreamBuffer&) = delete;

    // Finds the unit at the current offset. 0: found; 1: the data has ended; -1: the unit does
    // not fit in memory (or is larger than the unit limit); 105: the input failed (every unit
    // completed before the failure has been handed out).
    int NextUnit(uint64_t* position, const uint8_t** unit, size_t* size);
    // Moves the current offset past the unit handed out last.
    void Advance(size_t size);
    // The distance from offset to the next start code within length bytes, after skipping a
    // start code at the offset itself; 0 when there is none. A 4-byte start code 00 00 00 01
    // belongs to the unit it opens; other zero bytes before 00 00 01 to the one before.
    size_t FindStartCode(size_t offset, size_t length) const;
    // Keeps the unbroken unit and reads more behind it, growing the memory first when asked.
    // At the end of the data an end marker closes the last unit. 0, or -1 when it cannot grow.
    int Refill(bool grow);

    // For tests: a lower unit limit.
    void SetUnitLimit(size_t limit) { m_unitLimit = limit; }
    // The bytes the feeder has delivered so far.
    uint64_t Received() const;
    // 0, or the feeder's error once its data ended by a failure.
    int Failure() const { return m_failure; }

  private:
    size_t SkipStartCode(size_t offset) const;
    // The next start code after the current offset, resuming where the last search stopped.
    size_t Search();

    uint8_t* m_data       = nullptr;
    size_t m_offset       = 0;
    size_t m_held         = 0;
    size_t m_capacity     = 0;
    uint64_t m_position   = 0; // stream position of m_data[0]
    CDataFeeder* m_feeder = nullptr;
    bool m_ended          = false;
    int m_failure         = 0;
    size_t m_scanned      = 0; // bytes after the offset already searched for a start code
    size_t m_unitLimit    = kUnitLimit;
};
