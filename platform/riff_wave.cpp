#include "platform/riff_wave.h"

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

CWaveWriter::~CWaveWriter()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool CWaveWriter::Create(const std::string& path)
{
    // Only a regular file is written: a symbolic link planted under the name is not followed,
    // and a FIFO would block, so it is neither waited for nor truncated.
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644);
    struct stat st;
    return m_fd >= 0 && ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(m_fd, 0) == 0;
}

bool CWaveWriter::WriteAll(const void* data, size_t size)
{
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        ssize_t n = ::write(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
    }
    return true;
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
    return WriteAll(h, sizeof h);
}

bool CWaveWriter::Write(const void* data, size_t size)
{
    m_dataSize += size;
    return WriteAll(data, size);
}

bool CWaveWriter::WriteAt(uint64_t offset, uint32_t value)
{
    uint8_t b[4];
    PutLE32(b, value);
    return ::lseek(m_fd, off_t(offset), SEEK_SET) == off_t(offset) && WriteAll(b, 4);
}

bool CWaveWriter::Finish()
{
    bool ok = true;
    if (m_dataSize & 1) {
        uint8_t pad = 0;
        ok          = WriteAll(&pad, 1);
    }
    uint64_t riffSize = 4 + 8 + 16 + 8 + m_dataSize + (m_dataSize & 1);
    ok                = ok && riffSize <= 0xFFFFFFFFull && WriteAt(4, uint32_t(riffSize)) &&
         WriteAt(40, uint32_t(m_dataSize));
    int fd = m_fd;
    m_fd   = -1;
    return ::close(fd) == 0 && ok;
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

bool CWaveReader::ReadExact(void* buffer, size_t size)
{
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (size > 0) {
        ssize_t n = ::read(m_fd, p, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        p += n;
        size -= size_t(n);
        m_pos += uint64_t(n);
    }
    return true;
}

bool CWaveReader::Seek(uint64_t offset)
{
    if (::lseek(m_fd, off_t(offset), SEEK_SET) != off_t(offset))
        return false;
    m_pos = offset;
    return true;
}

bool CWaveReader::FindChunk(const char id[4], uint64_t limit, uint32_t* size)
{
    while (m_pos + 8 <= limit) {
        uint8_t h[8];
        if (!ReadExact(h, 8))
            return false;
        uint32_t n = GetLE32(h + 4);
        if (memcmp(h, id, 4) == 0) {
            *size = n;
            return true;
        }
        // Chunks are word-aligned: a chunk of odd size has a pad byte after it.
        if (!Seek(m_pos + n + (n & 1)))
            return false;
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
        if (!Seek(body + size + (size & 1)))
            return false;
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
    return Seek(end + (size & 1));
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
    if (size == 0)
        return 0;
    ssize_t n;
    do
        n = ::read(m_fd, buffer, size);
    while (n < 0 && errno == EINTR);
    if (n < 0)
        return -1;
    m_dataLeft -= uint64_t(n);
    m_pos += uint64_t(n);
    return long(n);
}
