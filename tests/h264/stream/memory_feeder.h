// A feeder over bytes in memory for the walker tests and the fuzz target: it hands the bytes
// out in blocks of a chosen size and can fail after a chosen number of them.
#pragma once

#include "common/file_errors.h"
#include "h264/stream/feeders.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

class MemoryFeeder : public CDataFeeder
{
  public:
    // failAfter: the bytes delivered before reading fails (SIZE_MAX: never).
    MemoryFeeder(std::vector<uint8_t> bytes, size_t block, size_t failAfter = SIZE_MAX)
        : m_bytes(std::move(bytes)), m_block(block ? block : 1), m_failAfter(failAfter)
    {
    }
    ~MemoryFeeder() override { SetBuffer(nullptr, 0); }

    int Open() override
    {
        m_next = 0;
        return Fill();
    }
    int Fill() override
    {
        size_t end = std::min(m_bytes.size(), m_failAfter);
        size_t n   = std::min(end - std::min(m_next, end), m_block);
        SetBuffer(m_bytes.data() + m_next, n);
        m_next += n;
        if (n == 0 && m_failAfter < m_bytes.size()) {
            m_error = kFileReadError;
            return 0;
        }
        return 1;
    }

  private:
    std::vector<uint8_t> m_bytes;
    size_t m_block, m_failAfter, m_next = 0;
};
