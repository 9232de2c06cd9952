// A small POSIX layer standing in for the Win32 file calls the file utilities were written
// against: handles are descriptors, error numbers are the Win32 ones the callers test for.
#pragma once

#include <cstddef>
#include <cstdint>

typedef int FileHandle;
constexpr FileHandle kInvalidFileHandle = -1;

// The Win32 error numbers the callers distinguish.
constexpr unsigned kErrorFileNotFound = 2;
constexpr unsigned kErrorBrokenPipe   = 109;
constexpr unsigned kErrorPipeBusy     = 231;
constexpr unsigned kErrorOther        = 0xFFFF;

// Opens an existing file for reading (CreateFileA, GENERIC_READ, OPEN_EXISTING). A directory
// is refused. Opening a FIFO waits for its writer, as a named-pipe client waits for a server.
FileHandle CreateFileForRead(const char* name, unsigned* lastError);

// ReadFile: reads up to size bytes, retrying interrupted calls. On failure *lastError is set;
// a FIFO whose writer closed simply reads 0 bytes.
bool ReadFileSome(FileHandle h, void* buffer, size_t size, size_t* got, unsigned* lastError);

// SetFilePointer to the end: the size of a seekable file; false for pipes.
bool FileEndPosition(FileHandle h, uint64_t* position);

// WriteFile: writes all size bytes, looping over partial writes and retrying interrupted
// calls; false when any write fails.
bool WriteFileAll(FileHandle h, const void* buffer, size_t size);

// The POSIX calls under these, retrying interrupted calls. An offset that is not negative
// reads or writes there (pread/pwrite) instead of at the file position.
// open: the descriptor, or -1 with errno set.
int OpenRetrying(const char* name, int flags, unsigned mode = 0);
// One read: the count (0 at the end), or -1 with errno set.
long ReadRetrying(FileHandle h, void* buffer, size_t size, int64_t offset = -1);
// Writes all size bytes: 0, or the errno of the write that failed (ENOSPC for a write that
// made no progress).
int WriteAllRetrying(FileHandle h, const void* buffer, size_t size, int64_t offset = -1);

void CloseFileHandle(FileHandle h);
// CloseHandle with its result: false when the close reports an error (a delayed write error).
bool CloseFileHandleChecked(FileHandle h);

// Sleep (milliseconds).
void SleepMilliseconds(unsigned ms);

// WaitNamedPipeA: a FIFO has no "busy" state, so there is nothing to wait for.
bool WaitNamedPipeFor(const char* name, unsigned timeoutMs);
