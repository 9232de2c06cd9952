// Outputs written beside their target and renamed over it once complete, or staged and copied
// over it where its directory takes no new file.
#include "platform/safe_output.h"

#include "platform/crt_compat.h"
#include "platform/win32_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// Creates a new file from a mkostemp pattern; path becomes its name. -1 when none can be made.
int MakeTemporary(std::string& path)
{
    std::vector<char> name(path.begin(), path.end());
    name.push_back('\0');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    path   = name.data();
    return fd;
}

} // namespace

bool ResolveLinks(const std::string& name, std::string& target, int& error)
{
    target = name;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        // st_size is only a hint: the links of /proc/self/fd give 64 whatever they hold.
        std::vector<char> buffer(size_t(st.st_size > 0 ? st.st_size : 0) + 1);
        ssize_t n;
        while ((n = ::readlink(target.c_str(), buffer.data(), buffer.size())) >= 0 &&
               size_t(n) >= buffer.size() && buffer.size() <= PATH_MAX)
            buffer.resize(buffer.size() * 2);
        if (n < 0 || size_t(n) >= buffer.size()) {
            error = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        std::string link(buffer.data(), size_t(n));
        target = link[0] == '/' ? link : PathDirectory(target) + link;
    }
    error = ELOOP;
    return false;
}

SafeOutput::~SafeOutput()
{
    if (!m_committed)
        Abandon();
}

bool SafeOutput::Fail(const char* action, int error)
{
    return Fail(action, strerror(error ? error : EIO));
}

bool SafeOutput::Fail(const char* action, const char* reason)
{
    if (!m_failed) {
        m_failed = true;
        m_action = action;
        m_reason = reason;
    }
    return false;
}

bool SafeOutput::FailStaging(int error)
{
    if (!m_failed)
        m_failedPath = m_stagingDir;
    return Fail("stage the output in", error);
}

void SafeOutput::PrintReason(FILE* stream) const
{
    if (!m_failed)
        return;
    if (m_isStdout)
        fprintf(stream, "Cannot %s standard output: %s\n", m_action, m_reason.c_str());
    else
        fprintf(stream, "Cannot %s \"%s\": %s\n", m_action,
                (m_failedPath.empty() ? m_name : m_failedPath).c_str(), m_reason.c_str());
}

void SafeOutput::OpenStandardOutput()
{
    fflush(stdout);
    m_name     = "";
    m_isStdout = true;
    m_fd       = STDOUT_FILENO;
}

bool SafeOutput::Open(const char* name, Kind kind)
{
    m_name = name ? name : "";
    if (m_name.empty())
        return Fail("create", ENOENT);
    struct stat st;
    // What the name refers to decides, before any link is read: /dev/stdout leads to a pipe
    // through a link that reads "pipe:[N]", a name no path reaches.
    if (kind == kAnyFile && ::stat(m_name.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        if (S_ISDIR(st.st_mode))
            return Fail("create", EISDIR);
        return OpenAsItIs(m_name);
    }
    int error;
    if (kind == kAnyFile) {
        if (!ResolveLinks(m_name, m_target, error))
            return Fail("create", error);
    } else
        m_target = m_name;

    bool exists = ::lstat(m_target.c_str(), &st) == 0;
    if (exists && S_ISDIR(st.st_mode))
        return Fail("create", EISDIR);
    if (exists && !S_ISREG(st.st_mode)) {
        if (kind == kRegularFileOnly)
            return Fail("create", "not a regular file");
        return OpenAsItIs(m_target); // it changed since the name was looked at
    }
    // A file the user may not write is not replaced behind its back either.
    if (exists && ::access(m_target.c_str(), W_OK) != 0)
        return Fail("create", errno);
    mode_t mode = exists ? (st.st_mode & 07777) : (0666 & ~CurrentUmask());
    if (OpenTemporary(m_target, exists, mode))
        return true;
    return OpenInPlace(m_target, kind);
}

bool SafeOutput::OpenAsItIs(const std::string& path)
{
    // Pipes, FIFOs and devices are written as they are, never truncated or replaced.
    m_fd = OpenRetrying(path.c_str(), O_WRONLY | O_CLOEXEC);
    return m_fd >= 0 || Fail("create", errno);
}

bool SafeOutput::OpenTemporary(const std::string& target, bool exists, mode_t mode)
{
    // A short name, so that it fits beside a target whose own name takes the whole length.
    std::string path = PathDirectory(target) + ".tmp-XXXXXX";
    int fd           = MakeTemporary(path);
    if (fd < 0)
        return false;
    // mkstemp creates the file with mode 0600: give it what the target has or would get.
    if (::fchmod(fd, mode) != 0 && exists) {
        ::close(fd);
        ::unlink(path.c_str());
        return false;
    }
    m_fd   = fd;
    m_temp = path;
    return true;
}

bool SafeOutput::OpenInPlace(const std::string& target, Kind kind)
{
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (kind == kRegularFileOnly)
        flags |= O_NOFOLLOW | O_NONBLOCK;
    int fd = OpenRetrying(target.c_str(), flags, 0666);
    if (fd < 0)
        return Fail("create", errno);
    struct stat st;
    if (::fstat(fd, &st) != 0 || (kind == kRegularFileOnly && !S_ISREG(st.st_mode))) {
        ::close(fd);
        return Fail("create", "not a regular file");
    }
    if (!S_ISREG(st.st_mode)) {
        m_fd = fd; // it changed since the name was looked at: written as it is
        return true;
    }
    m_targetFd = fd;
    OpenStaging();
    return true;
}

void SafeOutput::OpenStaging()
{
    const char* dir  = getenv("TMPDIR");
    m_stagingDir     = dir && *dir ? dir : "/tmp";
    std::string path = m_stagingDir + "/staged.XXXXXX";
    m_fd             = MakeTemporary(path);
    if (m_fd >= 0)
        ::unlink(path.c_str());
}

bool SafeOutput::StageInMemory()
{
    struct stat st;
    if (::fstat(m_fd, &st) != 0)
        return FailStaging(errno);
    try {
        m_memory.resize(size_t(st.st_size));
    } catch (const std::exception&) {
        return Fail("write", ENOMEM);
    }
    for (size_t done = 0; done < m_memory.size();) {
        long got =
            ReadRetrying(m_fd, m_memory.data() + done, m_memory.size() - done, int64_t(done));
        if (got <= 0)
            return FailStaging(got < 0 ? errno : EIO);
        done += size_t(got);
    }
    ::close(m_fd);
    m_fd = -1;
    return true;
}

bool SafeOutput::Write(const void* data, size_t size)
{
    if (m_targetFd >= 0) {
        if (!WriteAt(m_appended, data, size))
            return false;
        m_appended += size;
        return true;
    }
    if (m_failed || m_fd < 0)
        return false;
    int error = WriteAllRetrying(m_fd, data, size);
    return error == 0 || Fail("write", error);
}

bool SafeOutput::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (m_failed || (m_fd < 0 && !InMemory()))
        return false;
    if (!InMemory()) {
        int error = WriteAllRetrying(m_fd, data, size, int64_t(offset));
        if (error == 0)
            return true;
        // A staging file on a full disk, or past the file-size limit, hands over to memory: the
        // target itself may still take the output.
        if (m_targetFd < 0)
            return Fail("write", error);
        if (!StageInMemory())
            return false;
    }
    try {
        if (offset + size > m_memory.size())
            m_memory.resize(size_t(offset + size));
    } catch (const std::exception&) { // bad_alloc, or length_error past the vector's size
        return Fail("write", ENOMEM);
    }
    memcpy(m_memory.data() + offset, data, size);
    return true;
}

bool SafeOutput::Commit()
{
    if (m_fd < 0 && !InMemory())
        return false;
    m_committed = true;
    if (m_isStdout) {
        m_fd = -1;
        return !m_failed;
    }
    if (m_targetFd >= 0)
        return CommitInPlace();
    int fd = m_fd;
    m_fd   = -1;
    // A delayed write error shows here.
    if (!CloseFileHandleChecked(fd))
        Fail("write", errno);
    if (m_temp.empty())
        return !m_failed;
    if (!m_failed && ::rename(m_temp.c_str(), m_target.c_str()) != 0)
        Fail("write", errno);
    if (m_failed)
        ::unlink(m_temp.c_str());
    m_temp.clear();
    return !m_failed;
}

bool SafeOutput::CopyStaged(uint64_t from, uint64_t to)
{
    const size_t piece = size_t(1) << 20;
    std::vector<char> buffer(InMemory() ? 0 : piece);
    while (from < to) {
        size_t n = to - from < piece ? size_t(to - from) : piece;
        const char* data;
        if (InMemory())
            data = m_memory.data() + from;
        else {
            long got = ReadRetrying(m_fd, buffer.data(), n, int64_t(from));
            if (got <= 0)
                return FailStaging(got < 0 ? errno : EIO);
            n    = size_t(got);
            data = buffer.data();
        }
        if (int error = WriteAllRetrying(m_targetFd, data, n, int64_t(from)))
            return Fail("write", error);
        from += n;
    }
    return true;
}

bool SafeOutput::CommitInPlace()
{
    struct stat target, staged;
    if (!m_failed && ::fstat(m_targetFd, &target) != 0)
        Fail("write", errno);
    if (!m_failed && !InMemory() && ::fstat(m_fd, &staged) != 0)
        FailStaging(errno);
    if (!m_failed)
        Overwrite(target, InMemory() ? m_memory.size() : uint64_t(staged.st_size));
    int fd     = m_targetFd;
    m_targetFd = -1;
    if (!CloseFileHandleChecked(fd))
        Fail("write", errno);
    Abandon();
    return !m_failed;
}

bool SafeOutput::Overwrite(const struct stat& target, uint64_t size)
{
    // The target changes only once every byte of the new length is known to fit. A file-size
    // limit applies to the end of each write, whatever the old length, so it is checked against
    // the whole new length, shrinking included.
    struct rlimit limit;
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        size > uint64_t(limit.rlim_cur))
        return Fail("write", EFBIG);
    // The disk: blocks for the whole new length, holes of the old file included, reserved past
    // the end without changing the length, so that an interruption before the copy leaves the
    // old file. Called directly: glibc's posix_fallocate emulates a missing fallocate by
    // reading the file, which a write-only target refuses. Overwriting blocks the file already
    // has needs no new ones, except on copy-on-write filesystems (btrfs, blocks shared by
    // reflinks or snapshots), where a full disk can still stop the copy part way.
    const uint64_t old = uint64_t(target.st_size);
    int error          = 0;
    if (size > 0 && ::fallocate(m_targetFd, FALLOC_FL_KEEP_SIZE, 0, off_t(size)) != 0)
        error = errno;
    // Where nothing can be reserved, the bytes past the old end are written first, so that
    // running out of room stops before an old byte changes; only growth is covered then.
    bool unreserved = error == EOPNOTSUPP || error == ENOSYS || error == EINVAL;
    uint64_t head   = unreserved && old < size ? old : size;
    if ((error && !unreserved) || (head < size && !CopyStaged(head, size))) {
        if (error)
            Fail("write", error);
        // Give back what a failed reservation or growth took.
        struct stat now;
        if (::fstat(m_targetFd, &now) == 0 &&
            (now.st_size != target.st_size || now.st_blocks > target.st_blocks) &&
            ::ftruncate(m_targetFd, target.st_size) != 0)
            Fail("write", errno);
        return false;
    }
    if (!CopyStaged(0, head))
        return false;
    if (::ftruncate(m_targetFd, off_t(size)) != 0)
        return Fail("write", errno);
    return true;
}

void SafeOutput::Abandon()
{
    if (m_fd >= 0 && !m_isStdout)
        ::close(m_fd);
    m_fd = -1;
    if (m_targetFd >= 0)
        ::close(m_targetFd);
    m_targetFd = -1;
    std::vector<char>().swap(m_memory);
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_temp.clear();
}
