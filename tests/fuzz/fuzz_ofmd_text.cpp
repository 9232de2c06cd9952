// Arbitrary bytes as an .ofmd file: the first line in free mode, then GOPs of sizes taken from
// the input's own bytes, as replace and insert read them. The reading must end, stay within the
// file and give GOP matrices of the declared size with values in -127..127.
#include "tools/offsets/ofmd_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FILE* f = fmemopen(const_cast<uint8_t*>(data), size, "r");
    if (!f)
        return 0;
    COfmdReader reader(f);
    reader.ReadOfmdLine(reader.m_frame, reader.m_values, true);
    if (reader.m_values.size() > 32)
        abort();
    uint32_t first = 0;
    for (size_t i = 0; i < 64; ++i) {
        uint32_t count     = size ? data[i % size] : 1;
        uint32_t sequences = 0, frames = 0;
        std::vector<int32_t> offsets;
        reader.ReadGopOffsets(first, count, sequences, frames, offsets);
        if (frames != count || offsets.size() != size_t(sequences) * frames)
            abort();
        for (int32_t v : offsets) {
            if (v < -127 || v > 127)
                abort();
        }
        first += count;
    }
    fclose(f);
    return 0;
}
