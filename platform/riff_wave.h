// RIFF WAVE sample files: the small part of the Windows multimedia file functions that the
// sound.bdmv samples need (create a RIFF "WAVE" with a "fmt " and a "data" chunk; find them
// again on reading), written directly over POSIX files.
#pragma once

#include "platform/safe_output.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// The PCM format record of a "fmt " chunk, with the 16-bit extra size that follows it in the
// extended form. All fields are little-endian in the file.
struct WaveFormat {
    uint16_t formatTag      = 0;
    uint16_t channels       = 0;
    uint32_t samplesPerSec  = 0;
    uint32_t avgBytesPerSec = 0;
    uint16_t blockAlign     = 0;
    uint16_t bitsPerSample  = 0;
    uint16_t extraSize      = 0;
};

class CWaveWriter
{
  public:
    // Creates the file: written beside an existing one, which it replaces once it is complete.
    // Only a regular file is written: a symbolic link or a FIFO under the name is refused.
    bool Create(const std::string& path);
    // The RIFF "WAVE" header, the 16-byte "fmt " chunk and the "data" chunk header.
    bool Begin(const WaveFormat& format);
    bool Write(const void* data, size_t size);
    // Pads an odd "data" chunk, fixes both chunk sizes and puts the file in place.
    bool Finish();
    // The path tried and the system's reason for a failure, on one line.
    void PrintReason(FILE* stream) const { m_out.PrintReason(stream); }

  private:
    bool WriteAt(uint64_t offset, uint32_t value);
    SafeOutput m_out;
    uint64_t m_dataSize = 0;
};

class CWaveReader
{
  public:
    ~CWaveReader();
    bool Open(const std::string& path);
    // Finds the RIFF "WAVE" chunk, then its "fmt " chunk, and reads at most the 18 bytes of
    // the record (the rest of a longer chunk is skipped; a shorter one leaves fields 0).
    // False when a chunk is missing or shorter than it claims.
    bool ReadFormat(WaveFormat& format);
    // Finds the "data" chunk after the "fmt " chunk, skipping other chunks.
    bool FindData();
    // Up to size bytes of the "data" chunk: the count, 0 at its end, -1 on a read error.
    long Read(void* buffer, size_t size);

  private:
    bool ReadExact(void* buffer, size_t size);
    // Moves the read position; chunk walks move through a buffer, not the file.
    void Seek(uint64_t offset) { m_pos = offset; }
    // Finds the chunk with this id between the position and limit; leaves the position after
    // its header.
    bool FindChunk(const char id[4], uint64_t limit, uint32_t* size);
    // Up to size bytes at the position, through the buffer; -1 on a read error.
    long ReadSome(void* buffer, size_t size);
    // Fills the buffer with the file's bytes from at on; false on a read error.
    bool Fill(uint64_t at);
    int m_fd            = -1;
    uint64_t m_fileSize = 0;
    uint64_t m_pos      = 0;
    uint64_t m_riffEnd  = 0;
    uint64_t m_dataLeft = 0;
    std::vector<uint8_t> m_buffer; // m_bufferLength bytes of the file from m_bufferStart on
    uint64_t m_bufferStart = 0;
    size_t m_bufferLength  = 0;
};
