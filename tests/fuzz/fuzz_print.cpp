// Arbitrary bytes as an H.264 byte stream: every unit parsed and printed through one context,
// as h264dump does, into a stream that discards the text.
#include "tools/dump/nal_dump.h"

#include <cstdint>
#include <cstdio>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static FILE* sink = fopen("/dev/null", "w");
    if (!sink)
        return 0;
    // Units from start code to start code; bytes before the first one make a unit too.
    std::vector<size_t> starts{0};
    for (size_t i = 1; i + 2 < size; ++i)
        if (data[i] == 0 && data[i + 1] == 0 && data[i + 2] == 1)
            starts.push_back(i);
    starts.push_back(size);
    H264NalParser ctx;
    for (size_t u = 0; u + 1 < starts.size(); ++u)
        DumpNalUnit(ctx, sink, u, starts[u], data + starts[u], starts[u + 1] - starts[u]);
    return 0;
}
