// Stand-ins for the few C runtime helpers the tools use that POSIX spells differently.
#pragma once

#include <string>

// Case-insensitive comparison of whole strings (ASCII), as the Windows runtime's _stricmp.
int _stricmp(const char* a, const char* b);
// Case-insensitive comparison of at most n characters.
int _strnicmp(const char* a, const char* b, size_t n);

// Drive and directory of a path, joined: on POSIX there is no drive, so this is the prefix
// up to and including the last '/' (empty when there is none).
std::string PathDirectory(const std::string& path);

// The program name shown in usage texts: the text after the last '/' or '\\' of argv[0].
std::string ProgramName(const char* argv0);
