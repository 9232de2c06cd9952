// Arbitrary bytes as a JSON file through the loading path, then build and write back.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "disc/bdmv.h"

static std::string ScratchDir()
{
    static std::string dir;
    if (dir.empty()) {
        char tmpl[] = "/tmp/fuzz_json.XXXXXX";
        dir         = mkdtemp(tmpl) ? std::string(tmpl) + "/" : std::string("/tmp/");
    }
    return dir;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = ScratchDir() + "input.json";
    FILE* f                = fopen(path.c_str(), "wb");
    if (!f)
        return 0;
    fwrite(data, 1, size, f);
    fclose(f);

    CBDMV bdmv;
    bdmv.m_directory = ScratchDir(); // sound.bdmv sample files are looked up here
    if (bdmv.LoadJson(path.c_str()) != 0)
        return 0;
    CBitBuffer out;
    if (bdmv.Build(out) != 0)
        return 0;
    JDoc again;
    again.SetObject();
    bdmv.WriteJSON(again, again);
    return 0;
}
