// Indented text lines of the H.264 print side: two blanks per level.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

// Writes the unit "  " n times.
void PrintIndent(FILE* stream, int n);

// One indented line: the indentation of level n, then the formatted text.
void PrintLine(FILE* stream, int n, const char* format, ...) __attribute__((format(printf, 3, 4)));

// Bytes as prefix and two hex digits each, sixteen to a line at level n.
void PrintHexLines(FILE* stream, int n, const uint8_t* bytes, size_t length, const char* prefix);
