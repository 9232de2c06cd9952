// Case-insensitive comparisons and path splitting as the Windows runtime spells them.
#include "platform/crt_compat.h"

#include <cctype>
#include <cstring>

int _stricmp(const char* a, const char* b)
{
    for (;; ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
}

int _strnicmp(const char* a, const char* b, size_t n)
{
    for (; n > 0; --n, ++a, ++b) {
        int ca = std::tolower(static_cast<unsigned char>(*a));
        int cb = std::tolower(static_cast<unsigned char>(*b));
        if (ca != cb || ca == 0)
            return ca - cb;
    }
    return 0;
}

std::string PathDirectory(const std::string& path)
{
    size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string ProgramName(const char* argv0)
{
    if (!argv0)
        return std::string();
    const char* name = argv0;
    for (const char* p = argv0; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}
