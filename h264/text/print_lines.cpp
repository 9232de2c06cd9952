// Indented lines of the H.264 print side.
#include "h264/text/print_lines.h"

#include <cstdarg>

void PrintIndent(FILE* stream, int n)
{
    for (int i = 0; i < n; ++i)
        fputs("  ", stream);
}

void PrintLine(FILE* stream, int n, const char* format, ...)
{
    PrintIndent(stream, n);
    va_list args;
    va_start(args, format);
    vfprintf(stream, format, args);
    va_end(args);
}

void PrintHexLines(FILE* stream, int n, const uint8_t* bytes, size_t length, const char* prefix)
{
    for (size_t i = 0; i < length; ++i) {
        if (i % 16 == 0)
            PrintIndent(stream, n);
        else
            fputs(" ", stream);
        fprintf(stream, "%s%02X", prefix, bytes[i]);
        if (i % 16 == 15 || i + 1 == length)
            fputs("\n", stream);
    }
}
