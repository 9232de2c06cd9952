// The .ofmd text file: one block per OFMD payload, one line per frame with the offset of each
// sequence.
#pragma once

#include <cstdint>
#include <cstdio>
#include <vector>

// One block: the PTS and frame-count comments, then a line per frame from firstFrame on.
// offsets[f + s * frames] is the value of sequence s at frame f. 0, or -1 when a write fails.
int WriteOfmdGop(FILE* out, uint32_t firstFrame, uint64_t pts, uint32_t sequences, uint32_t frames,
                 const std::vector<int32_t>& offsets);

// The reading side: the frame line read last, read forward only.
class COfmdReader
{
  public:
    explicit COfmdReader(FILE* in = nullptr) : m_in(in) {}
    void SetInput(FILE* in)
    {
        m_in     = in;
        m_ended  = false;
        m_failed = false;
    }

    // Reads the next frame line into frame and values. Fixed mode takes values.size() values
    // (0 where a line has fewer); free mode takes as many as the line has, up to 32.
    // 1 at the end of the file (or without input), -1 once reading has failed, else 0.
    int ReadOfmdLine(uint32_t& frame, std::vector<int32_t>& values, bool freeMode);

    // The offsets of frames first .. first + count - 1, counted in 32 bits as the frame
    // numbers are written (ascending lines; a frame without a line gets 0). Values beyond
    // -127..127 are clamped; the first such one is kept below.
    void ReadGopOffsets(uint32_t first, uint32_t count, uint32_t& sequences, uint32_t& frames,
                        std::vector<int32_t>& offsets);

    // A read error is not the end of the file: the offsets after it are unknown.
    bool Failed() const { return m_failed; }

    uint32_t m_frame = 0;
    std::vector<int32_t> m_values;

    // The first clamped value, its frame and the value written; m_clampPending until taken.
    bool m_clampPending    = false;
    bool m_clampReported   = false;
    int32_t m_clampValue   = 0;
    uint32_t m_clampFrame  = 0;
    int32_t m_clampWritten = 0;

  private:
    FILE* m_in    = nullptr;
    bool m_ended  = false;
    bool m_failed = false;
};
