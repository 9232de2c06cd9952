// Sources of stream bytes for the NAL walker: a plain file (or FIFO), and the base for the
// transport-stream demultiplexer.
//
// How a feeder works with the NAL stream buffer:
// - The buffer calls Read with the free space of its own memory as the destination, so a
//   feeder that can produce bytes in place (a file read, a demultiplexer appending payload)
//   writes them straight there: one copy from the source into the NAL buffer. What a feeder
//   produces beyond the request stays in its own buffer (m_buffer, m_size, m_position) and is
//   handed over by the next Read.
// - Read delivering 0 bytes means the data has ended. When it ended because reading or
//   demultiplexing failed, Error() says 105 (otherwise 0). The NAL buffer then hands out every
//   unit that a start code completed before the failure, but not the unit the failure cut, and
//   the walk ends with 105. A failure before any byte was delivered makes the walker's Open
//   fail with 101, as does a Start (Open) that returns 0.
// - Bytes delivered before the failure are kept: a feeder sets the error, delivers what it
//   still has, then delivers 0.
#pragma once

#include "platform/critical_section.h"
#include "platform/win32_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CDataFeeder
{
  public:
    CDataFeeder();
    virtual ~CDataFeeder();
    CDataFeeder(const CDataFeeder&)            = delete;
    CDataFeeder& operator=(const CDataFeeder&) = delete;

    // Opens the source; non-zero when data can be read.
    virtual int Start();
    // Closes the source and empties the buffer; Close's result.
    virtual int Clear();
    // Copies up to count bytes (or skips them when destination is null), refilling through
    // Fill while more is wanted and the last fill gave data. *delivered is the count handed
    // over. Returns 0 when the data had already ended at the call, else 1.
    virtual int Read(uint8_t* destination, size_t count, size_t* delivered);
    virtual void ReleaseName() {}
    virtual int Open() { return 0; }
    // Makes the next block of data the buffer; 0 on a failure (which also sets the error).
    virtual int Fill() { return 0; }
    virtual int Close() { return 0; }

    // 0, or 105 once reading or demultiplexing failed: the data delivered so far ends early.
    int Error() const { return m_error; }

  protected:
    // Under the lock: the buffer becomes data (not copied), position 0.
    void SetBuffer(const uint8_t* data, size_t size);
    // Under the lock: bytes left in the buffer.
    size_t Buffered();
    // Under the lock: copies (or skips) up to count buffered bytes; the number taken.
    size_t TakeBuffered(uint8_t* destination, size_t count);

    const uint8_t* m_buffer = nullptr;
    size_t m_size           = 0;
    size_t m_position       = 0;
    CRITICAL_SECTION m_lock;
    int m_error = 0;
};

// A file or FIFO, opened through the named-pipe-aware opening.
class CFileFeeder : public CDataFeeder
{
  public:
    CFileFeeder();
    ~CFileFeeder() override;

    // Large requests are read from the file straight into the destination.
    int Read(uint8_t* destination, size_t count, size_t* delivered) override;
    void ReleaseName() override;
    // Without a name 0; allocates the read buffer, opens the file (0 on failure) and returns
    // the first Fill's result.
    int Open() override;
    // One read into the read buffer, which becomes the feeder's buffer; 1 also at the end
    // (size 0), 0 on a read error.
    int Fill() override;
    int Close() override;
    virtual void SetFileName(const char* name);

  protected:
    // Reads the file into destination until size bytes are in or the data ends; a read error
    // sets the error. The bytes read.
    size_t ReadFile(uint8_t* destination, size_t size);

    std::string m_fileName;
    bool m_hasName         = false;
    size_t m_requestedSize = 0;
    FileHandle m_file      = kInvalidFileHandle;
    std::vector<uint8_t> m_readBuffer;
    bool m_ended = false; // the file has delivered its last byte
};
