// Outputs written beside their target and renamed over it once complete.
#include "platform/safe_output.h"

#include "platform/win32_file.h"

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
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
    // Without O_TRUNC: a regular-only output must not empty what it then refuses.
    int flags = O_WRONLY | O_CREAT | O_CLOEXEC;
    if (kind == kRegularFileOnly)
        flags |= O_NOFOLLOW | O_NONBLOCK;
    m_fd = OpenRetrying(target.c_str(), flags, 0666);
    if (m_fd < 0)
        return Fail("create", errno);
    struct stat st;
    if (::fstat(m_fd, &st) != 0 || (kind == kRegularFileOnly && !S_ISREG(st.st_mode))) {
        ::close(m_fd);
        m_fd = -1;
        return Fail("create", "not a regular file");
    }
    if (S_ISREG(st.st_mode) && ::ftruncate(m_fd, 0) != 0) {
        int error = errno;
        ::close(m_fd);
        m_fd = -1;
        return Fail("create", error);
    }
    return true;
}

bool SafeOutput::Write(const void* data, size_t size)
{
    if (m_failed || m_fd < 0)
        return false;
    int error = WriteAllRetrying(m_fd, data, size);
    return error == 0 || Fail("write", error);
}

bool SafeOutput::WriteAt(uint64_t offset, const void* data, size_t size)
{
    if (m_failed || m_fd < 0)
        return false;
    int error = WriteAllRetrying(m_fd, data, size, int64_t(offset));
    return error == 0 || Fail("write", error);
}

bool SafeOutput::Commit()
{
    if (m_fd < 0)
        return false;
    m_committed = true;
    if (m_isStdout) {
        m_fd = -1;
        return !m_failed;
    }
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

void SafeOutput::Abandon()
{
    if (m_fd >= 0 && !m_isStdout)
        ::close(m_fd);
    m_fd = -1;
    if (!m_temp.empty())
        ::unlink(m_temp.c_str());
    m_temp.clear();
}
