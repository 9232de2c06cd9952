// Tallis: extracts, deletes, replaces and inserts the 3D plane offsets (OFMD) of an H.264/MVC
// stream, and lists its groups of pictures.
#include "common/file_errors.h"
#include "common/file_identity.h"
#include "platform/crt_compat.h"
#include "tools/offsets/offset_commands.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

namespace
{

enum Command { kNoCommand, kExtract, kDelete, kReplace, kInsert, kGop };

void PrintUsage(FILE* f, const char* name)
{
    fprintf(f, "Usage:\n");
    fprintf(f, "    %s -extract infile.h264 outfile.ofmd\n", name);
    fprintf(f, "    %s -extract infile.mvc  outfile.ofmd\n", name);
    fprintf(f, "or\n");
    fprintf(f, "    %s -delete  infile.h264 outfile.h264\n", name);
    fprintf(f, "    %s -delete  infile.mvc  outfile.mvc\n", name);
    fprintf(f, "or\n");
    fprintf(f, "    %s -replace infile.h264 infile.ofmd outfile.h264\n", name);
    fprintf(f, "    %s -replace infile.mvc  infile.ofmd outfile.mvc\n", name);
    fprintf(f, "or\n");
    fprintf(f, "    %s -insert  infile.h264            infile.ofmd outfile.h264\n", name);
    fprintf(f, "    %s -insert  infile.avc  infile.mvc infile.ofmd outfile.mvc\n", name);
    fprintf(f, "or\n");
    fprintf(f, "    %s -gop     infile.h264\n", name);
    fprintf(f, "\n\n");
    fprintf(f, "Other options:\n\n");
    fprintf(f, "-ts                   - use transport stream (.ts, .m2ts, .mts) on input\n");
    fprintf(f, "-log [logfile.txt]    - show applied changes\n");
    fprintf(f, "\n");
}

void Error(const char* format, const std::string& name, const std::string& file)
{
    PrintTallisBanner(stderr);
    fprintf(stderr, format, name.c_str(), file.c_str());
}

// The GOP list on standard output; 0, or 106 when it cannot be written.
int PrintGops(const std::vector<CGOPMap::GopEntry>& gops)
{
    bool ok = true;
    for (const CGOPMap::GopEntry& g : gops)
        ok = printf("%u\t%u\n", g.firstFrame, g.frameCount) >= 0 && ok;
    ok = fflush(stdout) == 0 && !ferror(stdout) && ok;
    return ok ? 0 : kFileWriteError;
}

} // namespace

int main(int argc, char** argv)
{
    // Past a file-size limit, or with the reader of a pipe gone, a write fails and the run ends
    // with a write error instead of the process being killed half-way.
    signal(SIGXFSZ, SIG_IGN);
    signal(SIGPIPE, SIG_IGN);
    std::string name = ProgramName(argc > 0 ? argv[0] : "tallis");
    if (argc < 2) {
        PrintTallisBanner(stderr);
        PrintUsage(stderr, name.c_str());
        return 0;
    }

    Command command = kNoCommand;
    bool ts         = false;
    std::optional<std::string> logName;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            files.push_back(arg);
            continue;
        }
        if (!_stricmp(arg, "-h") || !_stricmp(arg, "-help") || !_stricmp(arg, "-?")) {
            PrintTallisBanner(stdout);
            PrintUsage(stdout, name.c_str());
            return 0;
        }
        if (!_stricmp(arg, "-extract"))
            command = kExtract;
        else if (!_stricmp(arg, "-delete"))
            command = kDelete;
        else if (!_stricmp(arg, "-replace"))
            command = kReplace;
        else if (!_stricmp(arg, "-insert"))
            command = kInsert;
        else if (!_stricmp(arg, "-gop"))
            command = kGop;
        else if (!_stricmp(arg, "-es"))
            ts = false;
        else if (!_stricmp(arg, "-ts"))
            ts = true;
        else if (!_stricmp(arg, "-log")) {
            logName = std::string();
            if (i + 1 < argc && argv[i + 1][0] != '-')
                logName = argv[++i];
        } else {
            PrintTallisBanner(stderr);
            fprintf(stderr, "WARNING: %s - unknown option -%s specified, ignoring...\n",
                    name.c_str(), arg + 1);
        }
    }

    if (command == kNoCommand) {
        PrintTallisBanner(stderr);
        fprintf(stderr, "ERROR: command not specified!\n");
        return 1;
    }
    size_t needed = command == kGop ? 1 : command == kExtract || command == kDelete ? 2 : 3;
    if (files.size() < needed) {
        PrintTallisBanner(stderr);
        fprintf(stderr, command == kGop ? "ERROR: input file must be specified!\n"
                                        : "ERROR: input/output file must be specified!\n");
        return 1;
    }

    // Which positional is which file of the walk.
    std::string input = files[0], ofmd, output, text;
    int result        = 0;
    // An incomplete output or .ofmd output that a failed run left in place.
    bool keptOutput = false, keptText = false;
    // Extract writes no log: it has no changes to report.
    auto prepare = [&](COffsetMetadata& cmd, bool logs) {
        cmd.m_isTS        = ts;
        cmd.m_programName = name;
        if (logs)
            cmd.m_logName = logName;
    };
    auto finish = [&](const COffsetMetadata& cmd) {
        keptOutput = cmd.m_incompleteOutputKept;
        keptText   = cmd.m_incompleteTextKept;
    };
    {
        switch (command) {
        case kExtract: {
            COFMDExtract cmd;
            prepare(cmd, false);
            // The .ofmd file is read back by replace and insert: a partial one would pass for
            // the whole.
            cmd.m_removeIncompleteText = true;
            text                       = files[1];
            result                     = cmd.Walk(input.c_str(), nullptr, nullptr, text.c_str());
            finish(cmd);
            break;
        }
        case kDelete: {
            COFMDDelete cmd;
            prepare(cmd, true);
            output = files[1];
            result = cmd.Walk(input.c_str(), nullptr, output.c_str(), nullptr);
            finish(cmd);
            break;
        }
        case kReplace: {
            COFMDReplace cmd;
            prepare(cmd, true);
            ofmd   = files[1];
            output = files[2];
            result = cmd.Walk(input.c_str(), ofmd.c_str(), output.c_str(), nullptr);
            finish(cmd);
            break;
        }
        case kInsert: {
            COFMDInsert cmd;
            prepare(cmd, true);
            bool four               = files.size() >= 4;
            const std::string& scan = files[0];
            input                   = four ? files[1] : files[0];
            ofmd                    = four ? files[2] : files[1];
            output                  = four ? files[3] : files[2];
            // The GOP scan's input is read before the output is created: it must not be the
            // output, nor get the log written over it.
            if (four && SameFile(scan.c_str(), output.c_str())) {
                result = kCannotCreateFile;
                break;
            }
            if (four && logName && !logName->empty() && SameFile(scan.c_str(), logName->c_str()))
                cmd.m_logName.reset();
            // The input is read twice (GOP scan, then the rewrite): a FIFO would block the
            // second open for ever.
            result = !four && !IdentifyFile(scan.c_str()).regular ? kCannotOpenFile
                                                                  : cmd.ScanBaseView(scan.c_str());
            if (result == kCannotOpenFile)
                input = scan; // the file the message names
            else if (result != kFileReadError && result != -1)
                result = cmd.m_gopMap.m_gops.empty()
                             ? 1
                             : cmd.Walk(input.c_str(), ofmd.c_str(), output.c_str(), nullptr);
            finish(cmd);
            break;
        }
        case kGop: {
            COffsetMetadata cmd;
            cmd.m_isTS = ts;
            result     = cmd.ScanBaseView(input.c_str());
            if (result == 0)
                result = PrintGops(cmd.m_gopMap.m_gops);
            break;
        }
        case kNoCommand:
            break;
        }
    }

    // After a failed SEI parse the bitstream error is all that is printed, but for a line on
    // an output left in place, which gets a banner of its own.
    const char* format      = nullptr;
    const std::string* file = &files[0];
    switch (result) {
    case 0:
    case kSeiParseFailed:
        break;
    case kCannotOpenFile:
        format = "ERROR: %s - cannot open file %s\n";
        file   = &input;
        break;
    case kCannotCreateFile:
        format = "ERROR: %s - cannot create file %s\n";
        file   = &output;
        break;
    case kCannotOpenOfmd:
        format = "ERROR: %s - cannot open file %s\n";
        file   = &ofmd;
        break;
    case kCannotCreateText:
        format = "ERROR: %s - cannot create file %s\n";
        file   = &text;
        break;
    default:
        format = "ERROR: %s - cannot copy bitstream %s\n";
        break;
    }
    if (format)
        Error(format, name, *file);
    else if (keptOutput || keptText)
        PrintTallisBanner(stderr);
    if (keptOutput)
        fprintf(stderr, "ERROR: %s - incomplete stream left in %s\n", name.c_str(), output.c_str());
    if (keptText)
        fprintf(stderr, "ERROR: %s - incomplete file left in %s\n", name.c_str(), text.c_str());
    if (format || keptOutput || keptText)
        fputs("\n", stderr);
    return result == kSeiParseFailed ? -1 : result;
}
