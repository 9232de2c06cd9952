// Field helpers shared by the clip information records: fixed-width character fields whose
// JSON text ends at the first zero byte, and strings that end a record's JSON reading.
#pragma once

#include "disc/framework/serial_io.h"

#include <cstring>

namespace clpi
{

// A character field written to JSON up to its first zero byte; otherwise as Chars.
template <class IO> void Text(IO& io, char* buf, size_t n, const char* key)
{
    if constexpr (IO::kOp == ser::Op::kWriteJson) {
        if (io.Ok())
            AddJsonString(io.doc, io.obj, key, buf, strnlen(buf, n));
    } else
        io.Chars(buf, n, key);
}

// A required character field of a record that stops reading JSON at its first string looked
// up after any missing member: that string is then not stored. cutAtZero writes the text up to
// its first zero byte. missingText, when given, follows the reader's own line for this key.
template <class IO>
void RecordText(IO& io, char* buf, size_t n, const char* key, bool cutAtZero,
                const char* missingText = nullptr)
{
    if constexpr (IO::kOp == ser::Op::kReadJson) {
        if (!io.Ok())
            return;
        size_t length    = 0;
        const char* text = ReadJsonString(key, io.obj, &io.m_flags, &length);
        if (!text && missingText)
            fputs(missingText, stderr);
        if (io.m_flags & 1) {
            io.Stop(1);
            return;
        }
        memset(buf, 0, n);
        memcpy(buf, text, length < n ? length : n);
    } else if (cutAtZero)
        Text(io, buf, n, key);
    else
        io.Chars(buf, n, key);
}

} // namespace clpi
