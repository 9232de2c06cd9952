// Arbitrary bytes as a disc file: parse, to JSON, back from JSON, build.
#include "disc/bdmv.h"
#include "disc/framework/json_text.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

static std::string ScratchDir()
{
    static std::string dir;
    if (dir.empty()) {
        // Under TMPDIR when it is set, so the caller can remove it with its own folders.
        const char* base = getenv("TMPDIR");
        std::string tmpl = std::string(base && *base ? base : "/tmp") + "/fuzz_parse.XXXXXX";
        std::vector<char> buf(tmpl.begin(), tmpl.end());
        buf.push_back('\0');
        dir = mkdtemp(buf.data()) ? std::string(buf.data()) + "/" : std::string("/tmp/");
    }
    return dir;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CBitBuffer bb;
    bb.m_bytes.assign(data, data + size);
    CBDMV first;
    first.m_directory = ScratchDir(); // sound.bdmv sample files go to a scratch directory
    if (first.Parse(bb) != 0)
        return 0;
    JDoc doc;
    if (!ParseJsonText(JsonText(first), doc))
        return 0;
    CBDMV second;
    second.m_directory = ScratchDir();
    if (second.ReadJSON(doc, doc) != 0)
        return 0;
    CBitBuffer out;
    second.Build(out);
    return 0;
}
