// The plain file feeder: reads the input through the pipe-aware opening into the feeder's
// buffer, under its critical section.
#include "h264/stream/feeders.h"

#include "common/file_errors.h"
#include "common/file_utils.h"

#include <algorithm>
#include <cstring>
#include <new>

CDataFeeder::CDataFeeder() { InitializeCriticalSection(&m_lock); }

CDataFeeder::~CDataFeeder() { DeleteCriticalSection(&m_lock); }

int CDataFeeder::Start() { return Open(); }

int CDataFeeder::Clear()
{
    int r = Close();
    SetBuffer(nullptr, 0);
    return r;
}

void CDataFeeder::SetBuffer(const uint8_t* data, size_t size)
{
    CriticalSectionLock lock(&m_lock);
    m_buffer   = data;
    m_size     = size;
    m_position = 0;
}

size_t CDataFeeder::Buffered()
{
    CriticalSectionLock lock(&m_lock);
    return m_size - m_position;
}

size_t CDataFeeder::TakeBuffered(uint8_t* destination, size_t count)
{
    CriticalSectionLock lock(&m_lock);
    size_t n = std::min(count, m_size - m_position);
    if (destination && n)
        memcpy(destination, m_buffer + m_position, n);
    m_position += n;
    return n;
}

int CDataFeeder::Read(uint8_t* destination, size_t count, size_t* delivered)
{
    size_t total = 0;
    int result   = 1;
    {
        CriticalSectionLock lock(&m_lock);
        if (m_size == 0)
            result = 0; // the last fill gave nothing: the data has ended
    }
    while (result && total < count) {
        total += TakeBuffered(destination ? destination + total : nullptr, count - total);
        if (total == count || !Fill() || Buffered() == 0)
            break;
    }
    if (delivered)
        *delivered = total;
    return result;
}

CFileFeeder::CFileFeeder() = default;

CFileFeeder::~CFileFeeder() { CFileFeeder::Close(); }

void CFileFeeder::SetFileName(const char* name)
{
    ReleaseName();
    if (name) {
        m_fileName = name;
        m_hasName  = true;
    }
}

void CFileFeeder::ReleaseName()
{
    m_fileName.clear();
    m_hasName = false;
}

int CFileFeeder::Open()
{
    if (!m_hasName)
        return 0;
    m_error = 0;
    m_ended = false;
    try {
        m_readBuffer.assign(std::max<size_t>(m_requestedSize, 4096), 0);
    } catch (const std::bad_alloc&) {
        return 0;
    }
    m_file = OpenForRead(m_fileName.c_str());
    if (m_file == kInvalidFileHandle)
        return 0;
    return Fill();
}

size_t CFileFeeder::ReadFile(uint8_t* destination, size_t size)
{
    size_t n = 0;
    if (ReadChunk(m_file, destination, size, &n) != 0)
        m_error = kFileReadError;
    else if (n < size)
        m_ended = true;
    return n;
}

int CFileFeeder::Fill()
{
    if (m_file == kInvalidFileHandle)
        return 0;
    size_t n = 0;
    if (!m_ended && !m_error) {
        int r = ReadSome(m_file, m_readBuffer.data(), m_readBuffer.size(), &n);
        if (r < 0)
            m_error = kFileReadError;
        else if (r == 0)
            m_ended = true;
    }
    SetBuffer(m_readBuffer.data(), n);
    return m_error ? 0 : 1;
}

int CFileFeeder::Read(uint8_t* destination, size_t count, size_t* delivered)
{
    size_t total = 0;
    int result   = 1;
    if (Buffered() == 0 && (m_ended || m_error || m_file == kInvalidFileHandle))
        result = 0;
    while (result && total < count) {
        total += TakeBuffered(destination ? destination + total : nullptr, count - total);
        size_t want = count - total;
        if (want == 0 || m_ended || m_error || m_file == kInvalidFileHandle)
            break;
        if (destination && want >= m_readBuffer.size()) {
            total += ReadFile(destination + total, want);
            break; // all wanted bytes are in, or the data has ended
        }
        if (!Fill() || Buffered() == 0)
            break;
    }
    if (delivered)
        *delivered = total;
    return result;
}

int CFileFeeder::Close()
{
    CloseFileHandle(m_file);
    m_file = kInvalidFileHandle;
    std::vector<uint8_t>().swap(m_readBuffer);
    SetBuffer(nullptr, 0);
    return 1;
}
