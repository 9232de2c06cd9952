// Writing and reading the RIFF WAVE sample files over POSIX files.
#include "platform/riff_wave.h"

#include "platform/win32_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static void PutLE16(uint8_t* p, uint16_t v)
{
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
}

static void PutLE32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

static uint32_t GetLE32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

static uint16_t GetLE16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }

// ---- writer -----------------------------------------------------------------------------

bool CWaveWriter::Create(const std::string& path)
{
    return m_out.Open(path.c_str(), SafeOutput::kRegularFileOnly);
}

bool CWaveWriter::Begin(const WaveFormat& f)
{
    uint8_t h[44];
    memcpy(h, "RIFF", 4);
    PutLE32(h + 4, 0); // fixed by Finish
    memcpy(h + 8, "WAVE", 4);
    memcpy(h + 12, "fmt ", 4);
    PutLE32(h + 16, 16);
    PutLE16(h + 20, f.formatTag);
    PutLE16(h + 22, f.channels);
    PutLE32(h + 24, f.samplesPerSec);
    PutLE32(h + 28, f.avgBytesPerSec);
    PutLE16(h + 32, f.blockAlign);
    PutLE16(h + 34, f.bitsPerSample);
    memcpy(h + 36, "data", 4);
    PutLE32(h + 40, 0); // fixed by Finish
    m_dataSize = 0;
    return m_out.Write(h, sizeof h);
}

bool CWaveWriter::Write(const void* data, size_t size)
{
    m_dataSize += size;
    return m_out.Write(data, size);
}

bool CWaveWriter::WriteAt(uint64_t offset, uint32_t value)
{
    uint8_t b[4];
    PutLE32(b, value);
    return m_out.WriteAt(offset, b, 4);
}

bool CWaveWriter::Finish()
{
    bool ok = true;
    if (m_dataSize & 1) {
        uint8_t pad = 0;
        ok          = m_out.Write(&pad, 1);
    }
    uint64_t riffSize = 4 + 8 + 16 + 8 + m_dataSize + (m_dataSize & 1);
    ok                = ok && riffSize <= 0xFFFFFFFFull && WriteAt(4, uint32_t(riffSize)) &&
         WriteAt(40, uint32_t(m_dataSize));
    if (!ok) {
        m_out.Abandon();
        return false;
    }
    return m_out.Commit();
}

// ---- reader -----------------------------------------------------------------------------

CWaveReader::~CWaveReader()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CWaveReader::Open(const std::string& path)
{
    // The same for reading: nothing outside the directory through a link, no FIFO to wait on.
    m_fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    struct stat st;
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0 || !S_ISREG(st.st_mode))
        return false;
    m_fileSize = uint64_t(st.st_size);
    m_pos      = 0;
    return true;
}

// Chunk headers are walked in memory: a file of zero bytes holds a chunk header every 8 bytes,
// and a read and a seek for each of them took minutes on a large file.
static const size_t kReadBuffer = 256 * 1024;

bool CWaveReader::Fill(uint64_t at)
{
    m_buffer.resize(kReadBuffer);
    long n         = ReadRetrying(m_fd, m_buffer.data(), kReadBuffer, int64_t(at));
    m_bufferStart  = at;
    m_bufferLength = n > 0 ? size_t(n) : 0;
    return n >= 0;
}

long CWaveReader::ReadSome(void* buffer, size_t size)
{
    if (size == 0)
        return 0;
    if (m_pos < m_bufferStart || m_pos >= m_bufferStart + m_bufferLength) {
        if (size >= kReadBuffer) {
            // Large reads go straight to the caller.
            long n = ReadRetrying(m_fd, buffer, size, int64_t(m_pos));
            if (n > 0)
                m_pos += uint64_t(n);
            return n;
        }
        if (!Fill(m_pos))
            return -1;
        if (m_bufferLength == 0)
            return 0;
    }
    uint64_t end = m_bufferStart + m_bufferLength;
    size_t take  = end - m_pos < size ? size_t(end - m_pos) : size;
    memcpy(buffer, m_buffer.data() + (m_pos - m_bufferStart), take);
    m_pos += take;
    return long(take);
}

bool CWaveReader::ReadExact(void* buffer, size_t size)
{
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        long n = ReadSome(p, size);
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
}

// The number of zero bytes at the start of p.
static size_t ZeroPrefix(const uint8_t* p, size_t size)
{
    size_t i = 0;
    for (uint64_t word; i + 8 <= size; i += 8) {
        memcpy(&word, p + i, 8);
        if (word)
            break;
    }
    while (i < size && p[i] == 0)
        ++i;
    return i;
}

bool CWaveReader::FindChunk(const char id[4], uint64_t limit, uint32_t* size)
{
    while (m_pos + 8 <= limit) {
        if ((m_pos < m_bufferStart || m_pos + 8 > m_bufferStart + m_bufferLength) &&
            (!Fill(m_pos) || m_bufferLength < 8))
            return false;
        const uint8_t* h = m_buffer.data() + (m_pos - m_bufferStart);
        uint32_t n       = GetLE32(h + 4);
        if (memcmp(h, id, 4) == 0) {
            m_pos += 8;
            *size = n;
            return true;
        }
        size_t left = size_t(m_bufferStart + m_bufferLength - m_pos);
        if (n == 0 && ZeroPrefix(h, 8) == 8) {
            // A run of zero bytes is a run of empty chunks without a name: passed in one step,
            // and where it reaches a hole of a sparse file, up to the hole's end unread.
            uint64_t runEnd = m_pos + ZeroPrefix(h, left);
            if (runEnd == m_bufferStart + m_bufferLength && runEnd < m_fileSize) {
                off_t data = ::lseek(m_fd, off_t(runEnd), SEEK_DATA);
                if (data < 0 && errno == ENXIO)
                    runEnd = m_fileSize;
                else if (data > off_t(runEnd))
                    runEnd = uint64_t(data);
            }
            m_pos += (runEnd - m_pos) / 8 * 8;
            continue;
        }
        // Chunks are word-aligned: a chunk of odd size has a pad byte after it.
        m_pos += 8 + uint64_t(n) + (n & 1);
    }
    return false;
}

bool CWaveReader::ReadFormat(WaveFormat& format)
{
    format = WaveFormat();
    // The RIFF chunk of form type "WAVE" among the top-level chunks.
    for (;;) {
        uint32_t size = 0;
        if (!FindChunk("RIFF", m_fileSize, &size))
            return false;
        uint64_t body = m_pos;
        uint8_t form[4];
        if (size >= 4 && ReadExact(form, 4) && memcmp(form, "WAVE", 4) == 0) {
            m_riffEnd = body + size < m_fileSize ? body + size : m_fileSize;
            break;
        }
        Seek(body + size + (size & 1));
    }
    uint32_t size = 0;
    if (!FindChunk("fmt ", m_riffEnd, &size) || m_pos + size > m_riffEnd)
        return false;
    // At most the 18-byte record; anything further in the chunk is skipped.
    uint8_t record[18] = {};
    if (!ReadExact(record, size < 18 ? size : 18))
        return false;
    format.formatTag      = GetLE16(record);
    format.channels       = GetLE16(record + 2);
    format.samplesPerSec  = GetLE32(record + 4);
    format.avgBytesPerSec = GetLE32(record + 8);
    format.blockAlign     = GetLE16(record + 12);
    format.bitsPerSample  = GetLE16(record + 14);
    format.extraSize      = GetLE16(record + 16);
    uint64_t end          = m_pos - (size < 18 ? size : 18) + size;
    Seek(end + (size & 1));
    return true;
}

bool CWaveReader::FindData()
{
    uint32_t size = 0;
    if (!FindChunk("data", m_riffEnd, &size))
        return false;
    m_dataLeft = size;
    return true;
}

long CWaveReader::Read(void* buffer, size_t size)
{
    if (size > m_dataLeft)
        size = size_t(m_dataLeft);
    long n = ReadSome(buffer, size);
    if (n > 0)
        m_dataLeft -= uint64_t(n);
    return n;
}
