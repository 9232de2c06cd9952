// Output files that replace their target only once they are complete. A regular file is written
// to a temporary file in the target's directory and renamed over the target after every write
// and the close succeeded, so a full disk or a file-size limit leaves the previous file as it
// was. Where the directory takes no new file, the output is staged elsewhere and copied over the
// target once complete, once the file-size limit allows its whole length and once the target has
// room for it. Outputs that are not regular files (FIFOs, devices, standard output) are written
// directly. The caller ignores SIGXFSZ, so that a file-size limit fails a write instead of
// killing the process.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>
#include <vector>

// The file a chain of symbolic links ends at (the name itself when it is no link). A dangling
// link gives the path the last link names, so writing creates the file it points to. False,
// with errno's value in error, when a link cannot be read or the chain does not end.
bool ResolveLinks(const std::string& name, std::string& target, int& error);

class SafeOutput
{
  public:
    enum Kind {
        kAnyFile,         // links are followed and their target replaced; what is neither a
                          // regular file nor a directory (a pipe, a FIFO, a device) is
                          // written directly, through the name given
        kRegularFileOnly, // a symbolic link or anything else that is not a regular file is
                          // refused
    };

    SafeOutput() = default;
    // An output that was not committed is abandoned.
    ~SafeOutput();
    SafeOutput(const SafeOutput&)            = delete;
    SafeOutput& operator=(const SafeOutput&) = delete;

    // Opens name for writing; false (with the reason kept) when it cannot be created. Where the
    // directory cannot take a temporary file the target itself is overwritten at the commit, and
    // an existing target keeps its permission bits either way.
    bool Open(const char* name, Kind kind = kAnyFile);
    // Writes to standard output (pending stdio output is flushed first).
    void OpenStandardOutput();

    bool Write(const void* data, size_t size);
    // Overwrites bytes already written, such as a header whose sizes are known at the end.
    bool WriteAt(uint64_t offset, const void* data, size_t size);
    // Closes the output and puts it in place of the target: false when any step failed, and
    // then the target is as it was before Open (where it is overwritten, unless the overwrite
    // itself meets an I/O error, or the disk fills where it could not be reserved).
    bool Commit();
    // Closes the output and removes the temporary file; an overwritten target is left as it was.
    void Abandon();

    bool Failed() const { return m_failed; }
    // One line naming the path tried and the system's reason, for example
    // Cannot create "out/a.json": No such file or directory
    void PrintReason(FILE* stream) const;

  private:
    bool Fail(const char* action, int error);
    bool Fail(const char* action, const char* reason);
    // A failure of the staging file: the message names its directory, not the target.
    bool FailStaging(int error);
    bool OpenAsItIs(const std::string& path);
    bool OpenTemporary(const std::string& target, bool exists, mode_t mode);
    bool OpenInPlace(const std::string& target, Kind kind);
    // An unlinked temporary file in $TMPDIR or /tmp as m_fd; none (-1) stages in memory.
    void OpenStaging();
    // The staging file cannot take more: what it holds moves to memory, where the rest goes.
    bool StageInMemory();
    bool InMemory() const { return m_targetFd >= 0 && m_fd < 0; }
    bool CommitInPlace();
    bool Overwrite(const struct stat& target, uint64_t size);
    bool CopyStaged(uint64_t from, uint64_t to);

    int m_fd         = -1;
    bool m_isStdout  = false;
    bool m_failed    = false;
    bool m_committed = false;
    std::string m_name;   // as the caller gave it; messages name it
    std::string m_target; // the file that is replaced, links resolved
    std::string m_temp;   // empty when the target itself is written
    // Where the directory takes no new file: the target, overwritten at the commit by what was
    // staged in an unlinked temporary file (m_fd) or, where none can be made, in memory.
    int m_targetFd = -1;
    std::string m_stagingDir;
    uint64_t m_appended = 0; // where Write puts the next bytes of a staged output
    std::vector<char> m_memory;
    const char* m_action = "";
    std::string m_failedPath; // what the message names when it is not the target
    std::string m_reason;
};
