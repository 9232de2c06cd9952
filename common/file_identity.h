// Which file a name or an open handle is, so a tool never writes over the file it reads.
#pragma once

#include "platform/win32_file.h"

#include <cstdint>
#include <string>

struct FileIdentity {
    bool valid     = false;
    uint64_t dev   = 0;
    uint64_t ino   = 0;
    bool regular   = false;
    uint64_t links = 0; // names the file has
};

// The file a name leads to, links followed; invalid when it does not exist.
FileIdentity IdentifyFile(const char* name);
// The name itself: a symbolic link is not followed (it is not regular).
FileIdentity IdentifyEntry(const char* name);
// The file behind an open handle.
FileIdentity IdentifyHandle(FileHandle h);
// True when both are valid and name one file.
bool SameFile(const FileIdentity& a, const FileIdentity& b);
bool SameFile(const char* a, const char* b);

// The directory of the file name leads to once every symbolic link is followed, ending in '/'
// ("" for the current one), for files that belong beside it. A name that leads to no file yet
// (a new file, a dangling link) gives the directory of the file that writing it creates. A pipe,
// FIFO, socket or device, and a file no longer in any directory, have none: "".
std::string ResolvedDirectory(const char* name);

// Opens name for writing, creating it when absent. Returns the invalid handle when it cannot be
// opened, or when it is one of the files in avoid (then *isAvoided is set and the file is left
// as it was). Only a regular file is truncated: devices and FIFOs are written as they are.
FileHandle OpenOutputFile(const char* name, const FileIdentity* avoid, int avoidCount,
                          bool* isAvoided = nullptr);
