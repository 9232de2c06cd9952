// Named-pipe-aware opening, chunked reading and byte-wise file comparison.
#pragma once

#include "platform/win32_file.h"

#include <cstdint>
#include <cstdio>

constexpr size_t kCompareChunkSize = 1048576;

// True for names of the form \\server\pipe\name (separators '\\' or '/').
bool IsNamedPipePath(const char* name);

// Opens a file for reading; a pipe name is retried for about a minute until it exists.
FileHandle OpenForRead(const char* name);

// One read, as a pipe delivers it: 1 with *got bytes, 0 at the end of the data (a pipe whose
// writer has gone included), -1 on a read error; *got is 0 unless 1.
int ReadSome(FileHandle h, uint8_t* buffer, size_t size, size_t* got);

// Reads until size bytes are in or the data ends; 0 or 105 (read error).
int ReadChunk(FileHandle h, uint8_t* buffer, size_t size, size_t* count);

// -1, 0 or 1 (sign of the first difference, B minus A), or 101, 105 or 200.
int CompareFiles(const char* a, const char* b, uint64_t* sizeA, uint64_t* sizeB,
                 uint64_t* position);

// Compares the two files and prints one line about them.
void ReportComparison(FILE* stream, const char* a, const char* b);
