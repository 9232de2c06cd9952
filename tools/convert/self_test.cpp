// The self-test: four files written from one input and four pairs compared.
#include "tools/convert/self_test.h"

#include "common/file_identity.h"
#include "common/file_utils.h"
#include "disc/bdmv.h"

#include <cstdio>

// Position of the extension's '.', or npos when the name has none.
static size_t ExtensionDot(const std::string& name)
{
    size_t dot = name.rfind('.');
    if (dot == std::string::npos || name.find_first_of("\\/", dot) != std::string::npos)
        return std::string::npos;
    return dot;
}

void ReplaceExtension(std::string& name, const char* suffix)
{
    size_t dot = ExtensionDot(name);
    if (dot != std::string::npos)
        name.erase(dot);
    name += suffix;
}

int SelfTest(const char* testFile, uint32_t padding)
{
    const std::string t = testFile;
    size_t dot          = ExtensionDot(t);
    std::string ext     = dot == std::string::npos ? std::string() : t.substr(dot);

    std::string j = t, b = t, r = t, d = t;
    ReplaceExtension(j, ".json");
    ReplaceExtension(b, (".from_" + (ext.empty() ? ext : ext.substr(1)) + ext).c_str());
    ReplaceExtension(r, (".from_json" + ext).c_str());
    ReplaceExtension(d, ".from_json.json");
    // None of the four outputs may be the test file itself, under its own name or through a
    // hard or symbolic link: the first pass would write over the file it is testing.
    const FileIdentity tested = IdentifyFile(t.c_str());
    for (const std::string* out : {&j, &b, &r, &d}) {
        if (*out == t || SameFile(IdentifyFile(out->c_str()), tested)) {
            fprintf(stderr, "Cannot self-test %s: writing %s would overwrite it!\n", testFile,
                    out->c_str());
            return 1;
        }
    }

    {
        CBDMV bdmv;
        bdmv.m_padding = padding;
        int rc         = bdmv.LoadBinary(t.c_str());
        if (rc) {
            fprintf(stderr, "Parse failed: %s\n", t.c_str());
            return rc;
        }
        if ((rc = bdmv.SaveJson(j.c_str())) != 0) {
            fprintf(stderr, "Save failed: %s\n", j.c_str());
            return rc;
        }
        if ((rc = bdmv.SaveBinary(b.c_str())) != 0) {
            fprintf(stderr, "Save failed: %s\n", b.c_str());
            return rc;
        }
    }
    {
        CBDMV bdmv;
        bdmv.m_padding = padding;
        int rc         = bdmv.LoadJson(j.c_str());
        if (rc) {
            fprintf(stderr, "Parse failed: %s\n", j.c_str());
            return rc;
        }
        if ((rc = bdmv.SaveBinary(r.c_str())) != 0) {
            fprintf(stderr, "Save failed: %s\n", r.c_str());
            return rc;
        }
        if ((rc = bdmv.SaveJson(d.c_str())) != 0) {
            fprintf(stderr, "Save failed: %s\n", d.c_str());
            return rc;
        }
    }

    printf("\n");
    ReportComparison(stdout, j.c_str(), d.c_str());
    printf("\n");
    ReportComparison(stdout, t.c_str(), b.c_str());
    ReportComparison(stdout, t.c_str(), r.c_str());
    printf("\n");
    ReportComparison(stdout, b.c_str(), r.c_str());
    printf("\n");
    return 0;
}
