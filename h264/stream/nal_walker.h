// One pass over an H.264 byte stream: the walker opens the input through a feeder and the
// optional output files, cuts the stream into NAL units and hands each to the derived class.
#pragma once

#include "common/file_identity.h"
#include "h264/stream/feeders.h"
#include "h264/stream/nal_stream_buffer.h"
#include "h264/syntax/nal_parser.h"
#include "platform/win32_file.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

// Open's results for the .ofmd input and the text output, beside the file-error codes.
constexpr int kCannotOpenOfmd   = 1001;
constexpr int kCannotCreateText = 1002;

class CH264NALWalker
{
  public:
    CH264NALWalker() = default;
    virtual ~CH264NALWalker();
    CH264NALWalker(const CH264NALWalker&)            = delete;
    CH264NALWalker& operator=(const CH264NALWalker&) = delete;

    // Opens, calls OnStart, hands every unit to OnNALUnit, calls OnEnd when the stream ended
    // with every result 0, and closes. The first non-zero result is the walk's result; a
    // failed close of an output (106) is the result of an otherwise successful walk.
    // A walk that fails once the output exists (also at a later step of Open) removes the
    // output when its name is the regular file the walk created or truncated and has no other
    // link; any other output stays, and m_incompleteOutputKept says so, unless it is a pipe
    // whose reader has gone. With m_removeIncompleteText the text output is treated alike.
    // Each name may be null (none); an empty .ofmd input is standard input, an empty text
    // output standard output (never removed).
    int Walk(const char* input, const char* ofmdInput, const char* output, const char* textOutput);
    // 0, 101 (input), 102 (output), 1001 (.ofmd input, also one that is a directory) or 1002
    // (text output); on a failure everything opened before is closed. An output or text
    // output that is the same file as the input or the .ofmd input (or, for the text output,
    // the output) is refused and left as it is; a log on any of these gets no log.
    int Open(const char* input, const char* ofmdInput, const char* output, const char* textOutput);
    // True when a unit is current (m_unit, m_unitPos, m_unitSize). False at the end with
    // *result 0, or on a failure with its code: -1 a unit too big for memory (after the
    // start-code message on standard error), 105 the input failed.
    bool NextNALUnit(int* result);
    // Releases whatever Open acquired; safe to call again. 0, or 106 when writing the pending
    // output or closing the output or text output failed.
    int Close();

    // Parses the current unit with the walker's parse context (H264NalParser::ParseNalUnit).
    int ParseCurrentUnit(H264BitReader& reader)
    {
        return m_parser.ParseNalUnit(reader, m_unit, m_unitSize);
    }

    virtual int OnStart() { return 0; }
    virtual int OnNALUnit() { return 0; }
    virtual int OnEnd() { return 0; }

    // Checked writes for the derived classes: 0, or 106 (file write error).
    // Output is gathered and written in large pieces; Close writes what is pending.
    int WriteOutput(const void* data, size_t size);
    int FlushOutput();
    int WriteText(const void* data, size_t size);
    int PrintText(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Pushes the text output to its file, so rows appear as they are found.
    int FlushText();

    bool m_isTS         = false;
    bool m_baseViewOnly = false;
    bool m_preferMVC    = false;
    // None: no log; empty: standard output.
    std::optional<std::string> m_logName;
    // The text output is a product that a failed walk must not leave looking complete, not a
    // listing whose rows so far are worth keeping.
    bool m_removeIncompleteText = false;
    // Set by a failed walk that left its output (or text output) in place.
    bool m_incompleteOutputKept = false;
    bool m_incompleteTextKept   = false;

    H264NalParser m_parser;

    // The current unit, start code included, as a view into the stream buffer.
    const uint8_t* m_unit = nullptr;
    uint64_t m_unitPos    = 0;
    size_t m_unitSize     = 0;
    uint64_t m_nalCount   = ~uint64_t(0);

    std::unique_ptr<NalStreamBuffer> m_buffer;
    std::unique_ptr<CDataFeeder> m_feeder;

    FileHandle m_output = kInvalidFileHandle;
    FILE* m_ofmdIn      = nullptr;
    FILE* m_textOut     = nullptr;
    FILE* m_log         = nullptr;

    std::vector<uint8_t> m_outputPending; // output not yet written

    // What Open created, and whether Close found the reader of a pipe gone.
    FileIdentity m_outputMade, m_textMade;
    bool m_outputReaderGone = false;
    bool m_textReaderGone   = false;
};
