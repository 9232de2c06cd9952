// Device and inode of names and handles, compared before any output is truncated.
#include "common/file_identity.h"

#include "platform/crt_compat.h"
#include "platform/safe_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

static FileIdentity FromStat(const struct stat& st)
{
    FileIdentity id;
    id.valid   = true;
    id.dev     = static_cast<uint64_t>(st.st_dev);
    id.ino     = static_cast<uint64_t>(st.st_ino);
    id.regular = S_ISREG(st.st_mode);
    id.links   = static_cast<uint64_t>(st.st_nlink);
    return id;
}

FileIdentity IdentifyFile(const char* name)
{
    struct stat st;
    if (!name || ::stat(name, &st) != 0)
        return FileIdentity();
    return FromStat(st);
}

FileIdentity IdentifyEntry(const char* name)
{
    struct stat st;
    if (!name || ::lstat(name, &st) != 0)
        return FileIdentity();
    return FromStat(st);
}

FileIdentity IdentifyHandle(FileHandle h)
{
    struct stat st;
    if (h == kInvalidFileHandle || ::fstat(h, &st) != 0)
        return FileIdentity();
    return FromStat(st);
}

bool SameFile(const FileIdentity& a, const FileIdentity& b)
{
    return a.valid && b.valid && a.dev == b.dev && a.ino == b.ino;
}

bool SameFile(const char* a, const char* b) { return SameFile(IdentifyFile(a), IdentifyFile(b)); }

std::string ResolvedDirectory(const char* name)
{
    struct stat st;
    if (!name || (::stat(name, &st) == 0 && !S_ISDIR(st.st_mode) &&
                  (!S_ISREG(st.st_mode) || st.st_nlink == 0)))
        return std::string();
    // Links are followed as an output that replaces its target follows them: the links of
    // /proc/self/fd read as the open file's path, and a dangling link names the file that
    // writing through it creates, relative to the link's own directory.
    std::string path;
    int error = 0;
    ResolveLinks(name, path, error); // where a link cannot be read, the last one read
    return PathDirectory(path);
}

FileHandle OpenOutputFile(const char* name, const FileIdentity* avoid, int avoidCount,
                          bool* isAvoided)
{
    if (isAvoided)
        *isAvoided = false;
    if (!name)
        return kInvalidFileHandle;
    // No O_TRUNC here: the identity is compared first, and only a regular file is emptied
    // (Windows refused to open the file being read; truncating it would destroy the input).
    int fd = OpenRetrying(name, O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0)
        return kInvalidFileHandle;
    FileIdentity out = IdentifyHandle(fd);
    for (int i = 0; i < avoidCount; ++i) {
        if (SameFile(out, avoid[i])) {
            ::close(fd);
            if (isAvoided)
                *isAvoided = true;
            return kInvalidFileHandle;
        }
    }
    // An empty file is left alone: truncating it changes nothing, but ext4 then takes the file
    // for a rewritten one and flushes it to disk at the close.
    struct stat st;
    if (out.regular && (::fstat(fd, &st) != 0 || st.st_size != 0) && ::ftruncate(fd, 0) != 0) {
        ::close(fd);
        return kInvalidFileHandle;
    }
    return fd;
}
