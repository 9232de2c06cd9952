// Varnel's arguments and its three routes: binary to JSON, JSON to binary, self-test.
#include "tools/convert/routes.h"

#include "common/file_errors.h"
#include "common/file_identity.h"
#include "disc/bdmv.h"
#include "platform/crt_compat.h"
#include "tools/convert/self_test.h"

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <new>
#include <stdexcept>
#include <string>

void PrintBanner() { fprintf(stderr, "Varnel - version %s (build: %s)\n\n", "2.20", __DATE__); }

void PrintUsage(const char* name)
{
    printf("Usage:\n");
    printf("  %s          infile.mpls   [outfile.json]\n", name);
    printf("  or\n");
    printf("  %s -reverse infile.json|- [-padding n] outfile.mpls\n", name);
    printf("  or\n");
    printf("  %s -selftest [-padding n] testfile.mpls\n", name);
    printf("\n");
    printf("where - (dash)    means use of standard input for .json file/stream input\n");
    printf("      -padding n  inserts padding zeros between .mpls sections\n");
    printf("                  for alignment modulo n bytes\n");
    printf("      -selftest   validates conversion process and creates files:\n");
    printf("                   testfile.json\n");
    printf("                   testfile.from_mpls.mpls\n");
    printf("                   testfile.from_json.mpls\n");
    printf("                   testfile.from_json.json\n");
    printf("\n");
    printf("Program converts files xxxxx.mpls, xxxxx.clpi, xxxxx.bdjo,\n");
    printf("                       MovieObject.bdmv, index.bdmv and sound.bdmv\n");
    printf("\n");
}

// Sample files go beside the file that the JSON is, after every link: /dev/stdout of a regular
// file puts them in that file's directory, and a link in that of its target. A JSON that is a
// pipe, FIFO, socket or device has none: they go to the current directory, as with "-". The
// output's directory is taken before the samples are written, while the output, replaced only
// once complete, is still the file the name leads to.
int ConvertToJson(const char* input, const char* output)
{
    CBDMV bdmv;
    if (output && *output)
        bdmv.m_directory = ResolvedDirectory(output);
    int r = bdmv.LoadBinary(input);
    if (r) {
        fprintf(stderr, "Parse failed: %s\n", input);
        return r;
    }
    r = bdmv.SaveJson(output);
    if (r)
        fprintf(stderr, "Save failed: %s\n", output ? output : "");
    return r;
}

int ConvertToBinary(const char* input, const char* output, uint32_t padding)
{
    CBDMV bdmv;
    bdmv.m_padding = padding;
    if (input && *input)
        bdmv.m_directory = ResolvedDirectory(input);
    int r = bdmv.LoadJson(input);
    if (r) {
        fprintf(stderr, "Parse failed: %s\n", input ? input : "");
        return r;
    }
    r = bdmv.SaveBinary(output);
    if (r)
        fprintf(stderr, "Save failed: %s\n", output);
    return r;
}

static void UsageExit(const char* program)
{
    PrintBanner();
    PrintUsage(program);
    fflush(stdout);
    exit(1);
}

static int RunVarnel(int argc, char** argv)
{
    std::string program = ProgramName(argv[0]);
    if (argc <= 1) {
        PrintBanner();
        PrintUsage(program.c_str());
        return 0;
    }

    const char* positional[2] = {nullptr, nullptr};
    int positionals           = 0;
    bool selftest = false, reverse = false;
    long padding = 0;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] == '-' && arg[1] == '\0')
            arg = "";
        else if (arg[0] == '-') {
            if (_stricmp(arg, "-selftest") == 0)
                selftest = true;
            else if (_stricmp(arg, "-reverse") == 0)
                reverse = true;
            else if (_stricmp(arg, "-padding") == 0 && i + 1 < argc) {
                // atoi rules: leading digits (with an optional sign), 0 without them;
                // out-of-range values saturate as an int would.
                padding = strtol(argv[++i], nullptr, 10);
                padding = padding > INT_MAX ? INT_MAX : padding < INT_MIN ? INT_MIN : padding;
            }
            continue;
        }
        if (positionals < 2)
            positional[positionals] = arg;
        ++positionals;
    }

    const char* input  = positional[0];
    const char* output = positional[1];
    if (!input || (reverse && !output))
        UsageExit(program.c_str());
    // A negative value becomes a very large modulus, which the build refuses with its reason.
    uint32_t modulus = uint32_t(padding);
    if (selftest)
        return SelfTest(input, modulus);
    if (reverse)
        return ConvertToBinary(*input ? input : nullptr, output, modulus);
    return ConvertToJson(input, output && *output ? output : nullptr);
}

int VarnelMain(int argc, char** argv)
{
    // Past a file-size limit a write fails (and the output is abandoned) instead of the
    // process being killed half-way.
    signal(SIGXFSZ, SIG_IGN);
    try {
        return RunVarnel(argc, argv);
    } catch (const std::bad_alloc&) {
    } catch (const std::length_error&) {
    }
    fprintf(stderr, "%s\n", FileErrorText(kMemoryError));
    return kMemoryError;
}
