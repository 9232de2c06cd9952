// RIFF WAVE sample files: the small part of the Windows multimedia file functions that the
// sound.bdmv samples need (create a RIFF "WAVE" with a "fmt " and a "data" chunk; find them
// again on reading), written directly over POSIX files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

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

class CWaveWriter {
public:
    ~CWaveWriter();
    // Creates (or truncates) the file; a symbolic link in its place is not followed.
    bool Create(const std::string& path);
    // The RIFF "WAVE" header, the 16-byte "fmt " chunk and the "data" chunk header.
    bool Begin(const WaveFormat& format);
    bool Write(const void* data, size_t size);
    // Pads an odd "data" chunk, fixes both chunk sizes and closes the file.
    bool Finish();

private:
    bool WriteAll(const void* data, size_t size);
    bool WriteAt(uint64_t offset, uint32_t value);
    int m_fd           = -1;
    uint64_t m_dataSize = 0;
};

class CWaveReader {
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
    bool Seek(uint64_t offset);
    // Finds the chunk with this id between the cursor and limit; leaves the cursor after its
    // header and sets m_chunkEnd.
    bool FindChunk(const char id[4], uint64_t limit, uint32_t* size);
    int m_fd              = -1;
    uint64_t m_fileSize   = 0;
    uint64_t m_pos        = 0;
    uint64_t m_riffEnd    = 0;
    uint64_t m_dataLeft   = 0;
};
