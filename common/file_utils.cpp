// The pipe-aware opening, reads as a pipe delivers them, and the byte-wise file comparison.
#include "common/file_utils.h"

#include "common/file_errors.h"
#include "platform/crt_compat.h"

#include <inttypes.h>
#include <memory>
#include <new>

static bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsNamedPipePath(const char* name)
{
    if (!name || name[0] != '\\' || name[1] != '\\' || name[2] == '\\')
        return false;
    // Stepping byte by byte is what CharNextA does for the separators: in UTF-8 neither '/'
    // nor '\\' can occur inside a multibyte character.
    const char* p = name + 2;
    while (*p && !IsSeparator(*p))
        ++p;
    if (!*p)
        return false;
    while (IsSeparator(*p))
        ++p;
    return _strnicmp(p, "pipe", 4) == 0 && IsSeparator(p[4]);
}

FileHandle OpenForRead(const char* name)
{
    unsigned err = 0;
    if (!IsNamedPipePath(name))
        return CreateFileForRead(name, &err);
    // A pipe whose server is not up yet does not exist: try again every 100 ms.
    for (int attempt = 0; attempt < 600; ++attempt) {
        FileHandle h = CreateFileForRead(name, &err);
        if (h != kInvalidFileHandle)
            return h;
        if (err == kErrorFileNotFound)
            SleepMilliseconds(100);
        else if (err == kErrorPipeBusy) {
            if (!WaitNamedPipeFor(name, 20000))
                return kInvalidFileHandle;
        } else
            return kInvalidFileHandle;
    }
    return kInvalidFileHandle;
}

int ReadSome(FileHandle h, uint8_t* buffer, size_t size, size_t* got)
{
    unsigned err = 0;
    if (!ReadFileSome(h, buffer, size, got, &err))
        return err == kErrorBrokenPipe ? 0 : -1;
    return *got > 0 ? 1 : 0;
}

int ReadChunk(FileHandle h, uint8_t* buffer, size_t size, size_t* count)
{
    size_t total = 0;
    int result   = 0;
    while (total < size) {
        size_t got = 0;
        int r      = ReadSome(h, buffer + total, size - total, &got);
        if (r < 0)
            result = kFileReadError;
        if (r <= 0)
            break;
        total += got;
    }
    if (count)
        *count = total;
    return result;
}

// The size of an open file: its end position, or for a pipe the bytes already consumed
// plus whatever it still delivers.
static uint64_t SizeOf(FileHandle h, uint64_t consumed, uint8_t* scratch)
{
    uint64_t end = 0;
    if (FileEndPosition(h, &end))
        return end;
    size_t n = 0;
    while (ReadChunk(h, scratch, kCompareChunkSize, &n) == 0 && n > 0)
        consumed += n;
    return consumed;
}

int CompareFiles(const char* a, const char* b, uint64_t* sizeA, uint64_t* sizeB, uint64_t* position)
{
    std::unique_ptr<uint8_t[]> bufA(new (std::nothrow) uint8_t[kCompareChunkSize]);
    std::unique_ptr<uint8_t[]> bufB(new (std::nothrow) uint8_t[kCompareChunkSize]);
    if (!bufA || !bufB)
        return kMemoryError;

    FileHandle ha = OpenForRead(a);
    if (ha == kInvalidFileHandle)
        return kCannotOpenFile;
    FileHandle hb = OpenForRead(b);
    if (hb == kInvalidFileHandle) {
        CloseFileHandle(ha);
        return kCannotOpenFile;
    }

    uint64_t pos = 0, readA = 0, readB = 0;
    int64_t d = 0;
    size_t na = 0, nb = 0;
    int err = ReadChunk(ha, bufA.get(), kCompareChunkSize, &na);
    readA += na;
    while (err == 0) {
        err = ReadChunk(hb, bufB.get(), kCompareChunkSize, &nb);
        readB += nb;
        if (err)
            break;
        size_t common = na < nb ? na : nb;
        size_t i      = 0;
        while (i < common && bufA[i] == bufB[i])
            ++i;
        pos += i;
        if (i < common)
            d = int64_t(bufB[i]) - int64_t(bufA[i]);
        if (d != 0)
            break;
        d = int64_t(nb) - int64_t(na);
        if (d != 0 || (na == 0 && nb == 0))
            break;
        err = ReadChunk(ha, bufA.get(), kCompareChunkSize, &na);
        readA += na;
    }

    int result = err;
    if (!err) {
        if (position)
            *position = pos;
        if (sizeA)
            *sizeA = SizeOf(ha, readA, bufA.get());
        if (sizeB)
            *sizeB = SizeOf(hb, readB, bufB.get());
        result = d > 0 ? 1 : d < 0 ? -1 : 0;
    }
    CloseFileHandle(ha);
    CloseFileHandle(hb);
    return result;
}

void ReportComparison(FILE* stream, const char* a, const char* b)
{
    uint64_t sizeA = 0, sizeB = 0, pos = 0;
    int r = CompareFiles(a, b, &sizeA, &sizeB, &pos);
    if (r != 0 && r != 1 && r != -1) {
        // No sizes or position exist for a comparison that could not be made.
        const char* text = FileErrorText(r);
        fprintf(stream, "%s and %s could not be compared: %s\n", a, b, text ? text : "File error!");
        return;
    }
    if (sizeA == sizeB && r == 0)
        fprintf(stream, "%s (%" PRIu64 ") and %s (%" PRIu64 ") are identical.\n", a, sizeA, b,
                sizeB);
    else if (sizeA != sizeB && (pos == sizeA || pos == sizeB))
        fprintf(stream,
                "%s (%" PRIu64 ") and %s (%" PRIu64
                ") have different lengths with identical subset.\n",
                a, sizeA, b, sizeB);
    else
        fprintf(stream, "%s (%" PRIu64 ") and %s (%" PRIu64 ") differ at position %" PRIu64 ".\n",
                a, sizeA, b, sizeB, pos);
}
