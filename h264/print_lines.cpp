#include "h264/print_lines.h"

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
