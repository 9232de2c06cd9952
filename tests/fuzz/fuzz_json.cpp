// Arbitrary bytes as a JSON file through the loading path, then build and write back.
#include "disc/bdmv.h"
#include "disc/framework/json_text.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

static std::string ScratchDir()
{
    static std::string dir;
    if (dir.empty()) {
        // Under TMPDIR when it is set, so the caller can remove it with its own folders.
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/fuzz_json.XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        dir = mkdtemp(buf.data()) ? std::string(buf.data()) + "/" : std::string("/tmp/");
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
    JsonText(bdmv);
    return 0;
}
