// The Win32 file calls over POSIX descriptors, with the Win32 error numbers mapped.
#include "platform/win32_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

static unsigned MapErrno(int err)
{
    switch (err) {
    case ENOENT:
    case ENOTDIR:
        return kErrorFileNotFound;
    case EPIPE:
        return kErrorBrokenPipe;
    default:
        return kErrorOther;
    }
}

FileHandle CreateFileForRead(const char* name, unsigned* lastError)
{
    int fd = OpenRetrying(name, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (lastError)
            *lastError = MapErrno(errno);
        return kInvalidFileHandle;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        if (lastError)
            *lastError = kErrorOther;
        return kInvalidFileHandle;
    }
    return fd;
}

bool ReadFileSome(FileHandle h, void* buffer, size_t size, size_t* got, unsigned* lastError)
{
    long n = ReadRetrying(h, buffer, size);
    if (n < 0) {
        *got = 0;
        if (lastError)
            *lastError = MapErrno(errno);
        return false;
    }
    *got = static_cast<size_t>(n);
    return true;
}

bool FileEndPosition(FileHandle h, uint64_t* position)
{
    off_t end = ::lseek(h, 0, SEEK_END);
    if (end < 0)
        return false;
    *position = static_cast<uint64_t>(end);
    return true;
}

bool WriteFileAll(FileHandle h, const void* buffer, size_t size)
{
    return WriteAllRetrying(h, buffer, size) == 0;
}

int OpenRetrying(const char* name, int flags, unsigned mode)
{
    int fd;
    do
        fd = ::open(name, flags, static_cast<mode_t>(mode));
    while (fd < 0 && errno == EINTR);
    return fd;
}

long ReadRetrying(FileHandle h, void* buffer, size_t size, int64_t offset)
{
    ssize_t n;
    do
        n = offset < 0 ? ::read(h, buffer, size) : ::pread(h, buffer, size, off_t(offset));
    while (n < 0 && errno == EINTR);
    return static_cast<long>(n);
}

int WriteAllRetrying(FileHandle h, const void* buffer, size_t size, int64_t offset)
{
    const char* p = static_cast<const char*>(buffer);
    while (size > 0) {
        ssize_t n = offset < 0 ? ::write(h, p, size) : ::pwrite(h, p, size, off_t(offset));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : ENOSPC;
        p += n;
        size -= static_cast<size_t>(n);
        if (offset >= 0)
            offset += n;
    }
    return 0;
}

void CloseFileHandle(FileHandle h)
{
    if (h != kInvalidFileHandle)
        ::close(h);
}

bool CloseFileHandleChecked(FileHandle h)
{
    // EINTR from close leaves the descriptor closed on Linux: do not retry.
    return h == kInvalidFileHandle || ::close(h) == 0 || errno == EINTR;
}

void SleepMilliseconds(unsigned ms)
{
    struct timespec ts;
    ts.tv_sec  = ms / 1000;
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    while (::nanosleep(&ts, &ts) != 0 && errno == EINTR) {
    }
}

bool WaitNamedPipeFor(const char*, unsigned) { return false; }
