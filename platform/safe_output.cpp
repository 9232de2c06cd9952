// Outputs written beside their target and renamed over it once complete, or staged and copied
// over it where its directory takes no new file.
#include "platform/safe_output.h"

#include "platform/win32_file.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace
{

std::string DirectoryOf(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a chain of symbolic links ends at (the name itself when it is no link). A dangling
// link gives the path the last link names, so writing creates the file it points to.
bool ResolveLinks(const std::string& name, std::string& target, int& error)
{
    target = name;
    for (int hop = 0; hop < 40; ++hop) {
        struct stat st;
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return true;
        std::vector<char> buffer(size_t(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
        ssize_t n = ::readlink(target.c_str(), buffer.data(), buffer.size());
        if (n < 0 || size_t(n) >= buffer.size()) {
            error = n < 0 ? errno : ENAMETOOLONG;
            return false;
        }
        std::string link(buffer.data(), size_t(n));
        target = link[0] == '/' ? link : DirectoryOf(target) + link;
    }
    error = ELOOP;
    return false;
}

mode_t CurrentUmask()
{
    mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

} // namespace

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

void SafeOutput::PrintReason(FILE* stream) const
{
    if (!m_failed)
        return;
    if (m_isStdout)
        fprintf(stream, "Cannot %s standard output: %s\n", m_action, m_reason.c_str());
    else
        fprintf(stream, "Cannot %s \"%s\": %s\n", m_action, m_name.c_str(), m_reason.c_str());
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
    size_t slash        = target.rfind('/');
    std::string base    = slash == std::string::npos ? target : target.substr(slash + 1);
    std::string pattern = DirectoryOf(target) + "." + base + ".XXXXXX";
    std::vector<char> tp(pattern.begin(), pattern.end());
    tp.push_back('\0');
    int fd = ::mkostemp(tp.data(), O_CLOEXEC);
    if (fd < 0)
        return false;
    // mkstemp creates the file with mode 0600: give it what the target has or would get.
    if (::fchmod(fd, mode) != 0 && exists) {
        ::close(fd);
        ::unlink(tp.data());
        return false;
    }
    m_fd   = fd;
    m_temp = tp.data();
    return true;
}

bool SafeOutput::OpenInPlace(const std::string& target, Kind kind)
{
    // Read as well where allowed: posix_fallocate's fallback for filesystems without it reads.
    int flags = O_CREAT | O_CLOEXEC;
    if (kind == kRegularFileOnly)
        flags |= O_NOFOLLOW | O_NONBLOCK;
    int fd = OpenRetrying(target.c_str(), flags | O_RDWR, 0666);
    if (fd < 0 && errno == EACCES)
        fd = OpenRetrying(target.c_str(), flags | O_WRONLY, 0666);
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
    const char* dir     = getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/staged.XXXXXX";
    std::vector<char> tp(pattern.begin(), pattern.end());
    tp.push_back('\0');
    m_fd = ::mkostemp(tp.data(), O_CLOEXEC);
    if (m_fd >= 0)
        ::unlink(tp.data());
}

bool SafeOutput::Write(const void* data, size_t size)
{
    if (InMemory())
        return WriteAt(m_memory.size(), data, size);
    if (m_failed || m_fd < 0)
        return false;
    int error = WriteAllRetrying(m_fd, data, size);
    return error == 0 || Fail("write", error);
}

bool SafeOutput::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (m_failed || (m_fd < 0 && !InMemory()))
        return false;
    if (InMemory()) {
        try {
            if (offset + size > m_memory.size())
                m_memory.resize(size_t(offset + size));
        } catch (const std::exception&) { // bad_alloc, or length_error past the vector's size
            return Fail("write", ENOMEM);
        }
        memcpy(m_memory.data() + offset, data, size);
        return true;
    }
    int error = WriteAllRetrying(m_fd, data, size, int64_t(offset));
    return error == 0 || Fail("write", error);
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

int SafeOutput::CopyStaged(uint64_t from, uint64_t to)
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
                return got < 0 ? errno : EIO;
            n    = size_t(got);
            data = buffer.data();
        }
        if (int error = WriteAllRetrying(m_targetFd, data, n, int64_t(from)))
            return error;
        from += n;
    }
    return 0;
}

bool SafeOutput::CommitInPlace()
{
    // The target changes only now: the whole output is staged, and the target must first have
    // room for all of it, so a full disk or a file-size limit fails with the old bytes intact.
    struct stat target, staged;
    if (!m_failed &&
        (::fstat(m_targetFd, &target) != 0 || (!InMemory() && ::fstat(m_fd, &staged) != 0)))
        Fail("write", errno);
    if (!m_failed) {
        uint64_t old  = uint64_t(target.st_size);
        uint64_t size = InMemory() ? m_memory.size() : uint64_t(staged.st_size);
        int error     = size > 0 ? ::posix_fallocate(m_targetFd, 0, off_t(size)) : 0;
        // Nearest safe behaviour where the filesystem reserves nothing: the bytes past the old
        // end are written first, so that running out of room stops before an old byte changes.
        bool unreserved = error == EOPNOTSUPP || error == EINVAL;
        uint64_t head   = unreserved && old < size ? old : size;
        if (unreserved)
            error = CopyStaged(head, size);
        if (error) {
            Fail("write", error);
            // A reservation that failed part way may have grown the file.
            struct stat now;
            if (::fstat(m_targetFd, &now) == 0 && uint64_t(now.st_size) != old &&
                ::ftruncate(m_targetFd, off_t(old)) != 0)
                Fail("write", errno);
        } else if ((error = CopyStaged(0, head)) != 0)
            Fail("write", error);
        else if (::ftruncate(m_targetFd, off_t(size)) != 0)
            Fail("write", errno);
    }
    int fd     = m_targetFd;
    m_targetFd = -1;
    if (!CloseFileHandleChecked(fd))
        Fail("write", errno);
    Abandon();
    return !m_failed;
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
