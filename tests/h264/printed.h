// What a print function writes to its FILE*, as a string.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>

template <class F> std::string Printed(F&& print)
{
    char* buffer = nullptr;
    size_t size  = 0;
    FILE* stream = open_memstream(&buffer, &size);
    print(stream);
    fclose(stream);
    std::string text(buffer, size);
    free(buffer);
    return text;
}
