// The walk: opening the input, outputs and logs, handing units out, closing everything.
#include "h264/stream/nal_walker.h"

#include "common/file_errors.h"
#include "common/file_identity.h"
#include "h264/stream/ts_feeder.h"

#include <cstdarg>
#include <new>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

bool IsStandardStream(FILE* f) { return f == stdin || f == stdout || f == stderr; }

// A directory opens for reading on Linux and then fails every read: it is no .ofmd input.
bool IsDirectory(FILE* f)
{
    struct stat st;
    return fstat(fileno(f), &st) == 0 && S_ISDIR(st.st_mode);
}

// A text stream over a newly created file; only regular files are truncated, and none of the
// avoided files is touched. Null when it cannot be opened or is one of them.
FILE* CreateTextFile(const char* name, const FileIdentity* avoid, int avoidCount)
{
    FileHandle h = OpenOutputFile(name, avoid, avoidCount);
    if (h == kInvalidFileHandle)
        return nullptr;
    FILE* f = fdopen(h, "w");
    if (!f)
        CloseFileHandle(h);
    return f;
}

// A pipe or socket whose reading end has closed.
bool ReaderGone(int fd)
{
    struct pollfd p = {fd, POLLOUT, 0};
    return poll(&p, 1, 0) == 1 && (p.revents & (POLLERR | POLLHUP)) != 0;
}

// A failed walk's output goes when the name is the regular file the walk opened and its only
// name. Removing a symbolic link (/dev/stdout is one) or one of several hard links would leave
// the partial stream behind another name, and a FIFO or device is not the walk's to remove.
// True when the output stays and its reader may still take it for complete.
bool KeepsIncomplete(const char* name, const FileIdentity& made, bool readerGone)
{
    if (!made.valid)
        return false;
    FileIdentity named = IdentifyEntry(name);
    if (named.regular && named.links == 1 && SameFile(made, named) && unlink(name) == 0)
        return false;
    return !readerGone;
}

} // namespace

CH264NALWalker::~CH264NALWalker() { Close(); }

int CH264NALWalker::Walk(const char* input, const char* ofmdInput, const char* output,
                         const char* textOutput)
{
    int r = Open(input, ofmdInput, output, textOutput);
    if (r == 0) {
        m_nalCount = ~uint64_t(0);
        m_unit     = nullptr;
        m_unitPos  = 0;
        m_unitSize = 0;
        r          = OnStart();
        while (r == 0) {
            int failure = 0;
            if (!NextNALUnit(&failure)) {
                r = failure ? failure : OnEnd();
                break;
            }
            r = OnNALUnit();
        }
        int closed = Close();
        if (r == 0)
            r = closed;
    }
    // Whatever failed, what was written is not the whole result.
    m_incompleteOutputKept = r != 0 && KeepsIncomplete(output, m_outputMade, m_outputReaderGone);
    m_incompleteTextKept   = r != 0 && m_removeIncompleteText &&
                           KeepsIncomplete(textOutput, m_textMade, m_textReaderGone);
    return r;
}

int CH264NALWalker::Open(const char* input, const char* ofmdInput, const char* output,
                         const char* textOutput)
{
    Close();
    m_outputMade       = FileIdentity();
    m_textMade         = FileIdentity();
    m_outputReaderGone = false;
    m_textReaderGone   = false;
    if (m_isTS) {
        m_feeder.reset(NewTransportStreamFeeder(input, m_baseViewOnly, m_preferMVC));
    } else {
        CFileFeeder* file = new (std::nothrow) CFileFeeder;
        if (file)
            file->SetFileName(input);
        m_feeder.reset(file);
    }
    if (!m_feeder) {
        Close();
        return kCannotOpenFile;
    }

    m_buffer.reset(new (std::nothrow) NalStreamBuffer(m_feeder.get()));
    // A read failure before the first byte arrived is a file that cannot be opened.
    if (!m_buffer || !m_feeder->Start() || m_buffer->Refill(false) != 0 ||
        (m_buffer->Failure() && m_buffer->Received() == 0)) {
        Close();
        return kCannotOpenFile;
    }

    // The files written must not be the files read: Linux would let the output truncate them.
    FileIdentity avoid[4];
    int avoidCount      = 0;
    avoid[avoidCount++] = IdentifyFile(input);
    if (ofmdInput)
        avoid[avoidCount++] = *ofmdInput ? IdentifyFile(ofmdInput) : IdentifyHandle(STDIN_FILENO);

    if (output) {
        m_output = OpenOutputFile(output, avoid, avoidCount);
        if (m_output == kInvalidFileHandle) {
            Close();
            return kCannotCreateFile;
        }
        m_outputMade        = IdentifyHandle(m_output);
        avoid[avoidCount++] = m_outputMade;
    }
    if (ofmdInput) {
        m_ofmdIn = *ofmdInput ? fopen(ofmdInput, "r") : stdin;
        if (!m_ofmdIn || IsDirectory(m_ofmdIn)) {
            Close();
            return kCannotOpenOfmd;
        }
    }
    if (textOutput) {
        m_textOut = *textOutput ? CreateTextFile(textOutput, avoid, avoidCount) : stdout;
        if (!m_textOut) {
            Close();
            return kCannotCreateText;
        }
        if (m_textOut != stdout) {
            m_textMade          = IdentifyHandle(fileno(m_textOut));
            avoid[avoidCount++] = m_textMade;
        }
    }
    if (m_logName) {
        // A log that cannot be created, or would overwrite a file of the walk, is left out.
        m_log = m_logName->empty() ? stdout : CreateTextFile(m_logName->c_str(), avoid, avoidCount);
    }
    return 0;
}

bool CH264NALWalker::NextNALUnit(int* result)
{
    *result = 0;
    if (!m_buffer) {
        *result = kCannotOpenFile;
        return false;
    }
    if (++m_nalCount != 0)
        m_buffer->Advance(m_unitSize);
    int r = m_buffer->NextUnit(&m_unitPos, &m_unit, &m_unitSize);
    if (r == 0)
        return true;
    if (r == 1)
        return false;
    if (r == -1)
        NalStreamBuffer::PrintUnitTooLong(m_unitPos);
    *result = r;
    return false;
}

int CH264NALWalker::Close()
{
    int result = 0;
    if (m_log) {
        if (IsStandardStream(m_log))
            fflush(m_log);
        else
            fclose(m_log); // a failing log stays silent, like its failed open
        m_log = nullptr;
    }
    if (m_textOut) {
        bool failed      = fflush(m_textOut) != 0 || ferror(m_textOut) != 0;
        m_textReaderGone = ReaderGone(fileno(m_textOut));
        if (!IsStandardStream(m_textOut) && fclose(m_textOut) != 0)
            failed = true;
        if (failed)
            result = kFileWriteError;
        m_textOut = nullptr;
    }
    if (m_ofmdIn) {
        if (!IsStandardStream(m_ofmdIn))
            fclose(m_ofmdIn);
        m_ofmdIn = nullptr;
    }
    if (m_output != kInvalidFileHandle) {
        if (FlushOutput() != 0)
            result = kFileWriteError;
        m_outputReaderGone = ReaderGone(m_output);
        if (!CloseFileHandleChecked(m_output))
            result = kFileWriteError;
        m_output = kInvalidFileHandle;
    }
    if (m_feeder)
        m_feeder->Clear();
    m_buffer.reset();
    m_feeder.reset();
    m_unit = nullptr;
    return result;
}

int CH264NALWalker::WriteOutput(const void* data, size_t size)
{
    if (m_output == kInvalidFileHandle)
        return 0;
    // Units are gathered into large writes; a big one goes out as it is.
    constexpr size_t kGather = size_t(1) << 20;
    if (m_outputPending.size() + size > kGather) {
        if (int r = FlushOutput())
            return r;
    }
    if (size >= kGather)
        return WriteFileAll(m_output, data, size) ? 0 : kFileWriteError;
    if (m_outputPending.capacity() < kGather)
        m_outputPending.reserve(kGather);
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_outputPending.insert(m_outputPending.end(), bytes, bytes + size);
    return 0;
}

int CH264NALWalker::FlushOutput()
{
    if (m_outputPending.empty())
        return 0;
    bool ok = m_output == kInvalidFileHandle ||
              WriteFileAll(m_output, m_outputPending.data(), m_outputPending.size());
    m_outputPending.clear();
    return ok ? 0 : kFileWriteError;
}

int CH264NALWalker::WriteText(const void* data, size_t size)
{
    if (!m_textOut || size == 0)
        return 0;
    return fwrite(data, 1, size, m_textOut) == size ? 0 : kFileWriteError;
}

int CH264NALWalker::PrintText(const char* format, ...)
{
    if (!m_textOut)
        return 0;
    va_list args;
    va_start(args, format);
    int n = vfprintf(m_textOut, format, args);
    va_end(args);
    return n < 0 ? kFileWriteError : 0;
}

int CH264NALWalker::FlushText()
{
    if (!m_textOut)
        return 0;
    return fflush(m_textOut) != 0 || ferror(m_textOut) ? kFileWriteError : 0;
}
