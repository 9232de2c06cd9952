// Corbit: prints the structure of a playlist, or only the times of its marks.
#include "common/file_errors.h"
#include "disc/bdmv.h"
#include "disc/framework/code_names.h"
#include "platform/crt_compat.h"

#include <cstdio>
#include <new>
#include <stdexcept>
#include <string>

static void PrintBannerAndUsage(const char* program)
{
    fprintf(stderr, "Corbit - version %s (build: %s)\n\n", "2.20", __DATE__);
    fflush(stderr);
    printf("Usage:  %s [-playmarks] file.mpls\n", program);
    printf("\n");
    printf("where -playmarks displays only PlayListMark list\n");
    printf("       otherwise structure of used M2TS files\n");
    printf("\n");
}

static int RunCorbit(int argc, char** argv)
{
    std::string program = ProgramName(argv[0]);
    if (argc == 1) {
        PrintBannerAndUsage(program.c_str());
        return 0;
    }

    const char* fileName = nullptr;
    bool marksOnly       = false;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            if (!fileName)
                fileName = arg;
        } else if (_stricmp(arg, "-playmarks") == 0)
            marksOnly = true;
    }
    if (!fileName) {
        PrintBannerAndUsage(program.c_str());
        return 1;
    }

    CBDMV bdmv;
    bdmv.m_writeSampleFiles = false; // printing only: no sound.bdmv sample files
    int r                   = bdmv.LoadBinary(fileName);
    if (r) {
        fprintf(stderr, "Parse failed: %s\n", fileName);
        return r;
    }
    if (marksOnly)
        bdmv.m_mpls.PlayListMark.PrintTimes();
    else {
        PrintIndented(0, "%s", fileName);
        bdmv.Print(1);
    }
    return 0;
}

int main(int argc, char** argv)
{
    try {
        return RunCorbit(argc, argv);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    fprintf(stderr, "%s\n", FileErrorText(kMemoryError));
    return kMemoryError;
}
