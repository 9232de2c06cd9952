// Start-code search, growth up to the unit limit and refilling from the feeder.
#include "h264/stream/nal_stream_buffer.h"

#include "h264/stream/feeders.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace
{

// Closes the last unit of the data; its own start code is never handed out as a unit.
const uint8_t kEndMarker[]   = {0, 0, 0, 1, 0, 0, 0, 0};
constexpr size_t kMarkerSize = sizeof kEndMarker;
// Room behind the largest unit for the start code that ends it.
constexpr size_t kStartCodeRoom = 4;

// The first start code whose 01 byte lies at from or later (from >= 2), as its distance from
// p; 0 when there is none. *stop is where a later search over more bytes may resume.
size_t Scan(const uint8_t* p, size_t n, size_t from, size_t* stop)
{
    while (from < n) {
        const void* hit = memchr(p + from, 1, n - from);
        if (!hit)
            break;
        size_t j = size_t(static_cast<const uint8_t*>(hit) - p);
        if (p[j - 1] == 0 && p[j - 2] == 0) {
            *stop = j;
            return j >= 3 && p[j - 3] == 0 ? j - 3 : j - 2;
        }
        from = j + 1;
    }
    *stop = n;
    return 0;
}

} // namespace

void NalStreamBuffer::PrintUnitTooLong(uint64_t lastUnit)
{
    fprintf(stderr, "ERROR: Cannot find start code in buffer from 0 ");
    fprintf(stderr, "current file position 0x%08llX).\n",
            static_cast<unsigned long long>(lastUnit));
}

NalStreamBuffer::NalStreamBuffer(CDataFeeder* feeder, size_t capacity) : m_feeder(feeder)
{
    capacity = std::max<size_t>(capacity, 16);
    m_data   = static_cast<uint8_t*>(malloc(capacity + kMarkerSize));
    if (m_data)
        m_capacity = capacity;
}

NalStreamBuffer::~NalStreamBuffer() { free(m_data); }

size_t NalStreamBuffer::SkipStartCode(size_t offset) const
{
    const uint8_t* p = m_data + offset;
    size_t n         = m_held - offset;
    if (n >= 4 && p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 1)
        return 4;
    if (n >= 3 && p[0] == 0 && p[1] == 0 && p[2] == 1)
        return 3;
    return 0;
}

size_t NalStreamBuffer::FindStartCode(size_t offset, size_t length) const
{
    if (offset > m_held || length > m_held - offset)
        return 0;
    size_t stop = 0;
    return Scan(m_data + offset, length, SkipStartCode(offset) + 2, &stop);
}

size_t NalStreamBuffer::Search()
{
    // Bytes already searched hold no start code: only a start code whose 01 byte arrived
    // since can be new, so the search resumes there and never rescans a growing unit.
    size_t from     = std::max(m_scanned, SkipStartCode(m_offset) + 2);
    size_t stop     = 0;
    size_t distance = Scan(m_data + m_offset, m_held - m_offset, from, &stop);
    m_scanned       = stop;
    return distance;
}

uint64_t NalStreamBuffer::Received() const
{
    return m_position + m_held - (m_ended ? kMarkerSize : 0);
}

void NalStreamBuffer::Advance(size_t size)
{
    m_offset += std::min(size, m_held - m_offset);
    m_scanned = 0;
}

int NalStreamBuffer::NextUnit(uint64_t* position, const uint8_t** unit, size_t* size)
{
    for (;;) {
        size_t distance = m_data ? Search() : 0;
        if (distance > m_unitLimit)
            return -1;
        if (distance > 3) {
            *position = m_position + m_offset;
            *unit     = m_data + m_offset;
            *size     = distance;
            return 0;
        }
        if (distance > 0) {
            // A unit of 3 bytes or less (a stray start code, stray leading bytes) is dropped.
            Advance(distance);
            continue;
        }
        if (m_ended)
            return 1; // whatever the offset: an input without bytes leaves only the marker
        if (m_failure)
            return m_failure;
        // A unit that fills the whole memory needs more of it; otherwise read behind it.
        if (Refill(m_offset == 0 && m_held == m_capacity) != 0)
            return -1;
    }
}

int NalStreamBuffer::Refill(bool grow)
{
    if (m_ended || m_failure)
        return 0;
    if (!m_data)
        return -1;
    if (m_offset > 0) {
        memmove(m_data, m_data + m_offset, m_held - m_offset);
        m_held -= m_offset;
        m_position += m_offset;
        m_offset = 0;
    }
    if (grow) {
        // Doubling keeps a unit that needs many refills linear in its size.
        size_t most = m_unitLimit + kStartCodeRoom;
        if (m_capacity >= most)
            return -1;
        size_t capacity = m_capacity > most / 2 ? most : m_capacity * 2;
        void* bigger    = realloc(m_data, capacity + kMarkerSize);
        if (!bigger)
            return -1;
        m_data     = static_cast<uint8_t*>(bigger);
        m_capacity = capacity;
    }
    size_t got = 0;
    if (m_held < m_capacity)
        m_feeder->Read(m_data + m_held, m_capacity - m_held, &got);
    m_held += got;
    if (got == 0) {
        if (m_feeder->Error()) {
            m_failure = m_feeder->Error();
        } else {
            memcpy(m_data + m_held, kEndMarker, kMarkerSize);
            m_held += kMarkerSize;
            m_ended = true;
        }
    }
    return 0;
}
