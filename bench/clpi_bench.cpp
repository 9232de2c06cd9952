// Benchmark of clip information conversion with a long EP map, each direction beside a
// reference that does the same work with RapidJSON alone: forward (clip -> JSON) beside the
// library's streaming copy of the same JSON text (reader into pretty writer), reverse (JSON ->
// clip) beside its parse of the text into a document. Every program runs in its own process, so
// that its peak memory can be read; the runs of a pair alternate, and each figure is the minimum
// and the median of the rounds. Then every file of the corpus is converted both ways, beside
// starting the converter with nothing to do: most of a real file's time is process start-up.
//
// Usage: clpi_bench [-entries N] [-runs R] [-dir D] [-varnel PATH] [-corpus DIR] [-keep 1]
//        (-keep 1 leaves the clip and its JSON in D, for profiling)
//        clpi_bench -copy in.json out.json | -parse in.json   (the references, run by itself)
#include "disc/bdmv.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <rapidjson/document.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/filewritestream.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/reader.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

// The forward reference: RapidJSON's reader straight into its pretty writer.
int Copy(const char* in, const char* out)
{
    FILE* f = fopen(in, "r");
    FILE* g = fopen(out, "w");
    if (!f || !g)
        return 1;
    static char readBuffer[65536], writeBuffer[65536];
    rapidjson::FileReadStream input(f, readBuffer, sizeof readBuffer);
    rapidjson::FileWriteStream output(g, writeBuffer, sizeof writeBuffer);
    rapidjson::PrettyWriter<rapidjson::FileWriteStream> writer(output);
    writer.SetIndent(' ', 4);
    rapidjson::Reader reader;
    bool ok = !reader.Parse<rapidjson::kParseIterativeFlag>(input, writer).IsError();
    output.Flush();
    fclose(f);
    return fclose(g) == 0 && ok ? 0 : 1;
}

// The reverse reference: RapidJSON's parse of the text into a document.
int ParseOnly(const char* in)
{
    FILE* f = fopen(in, "r");
    if (!f)
        return 1;
    static char buffer[65536];
    rapidjson::FileReadStream input(f, buffer, sizeof buffer);
    rapidjson::Document doc;
    doc.ParseStream<rapidjson::kParseIterativeFlag>(input);
    fclose(f);
    return doc.HasParseError() || !doc.IsObject();
}

// A clip of video and audio streams whose EP map has `fine` entries in all.
int MakeClip(const std::string& path, uint32_t fine)
{
    CBDMV bdmv;
    memcpy(bdmv.m_typeCode, "HDMV", 4);
    CCLPI& clip = bdmv.m_clpi;
    memcpy(clip.version_number, "0200", 4);
    clip.ClipInfo.Clip_stream_type                  = 1;
    clip.ClipInfo.application_type                  = 1;
    clip.ClipInfo.TS_recording_rate                 = 6000000;
    clip.ClipInfo.number_of_source_packets          = 40000000;
    clip.ClipInfo.TS_type_info_block.Validity_flags = 0x80;
    memcpy(clip.ClipInfo.TS_type_info_block.Format_identifier, "HDMV", 4);

    CATC_sequence atc;
    CSTC_sequence stc;
    stc.PCR_PID = 0x1001, stc.presentation_start_time = 27000000,
    stc.presentation_end_time = 27000000 + 45000u * 2 * 3600;
    atc.STC_sequence.push_back(stc);
    clip.SequenceInfo.ATC_sequence.push_back(atc);

    Cprogram_sequence program;
    program.program_map_PID = 0x100;
    const uint32_t codes[]  = {0x1B, 0x83, 0x81};
    for (uint32_t i = 0; i < 3; ++i) {
        Cstream_in_ps stream;
        stream.stream_PID                               = i ? 0x1100 + i - 1 : 0x1011;
        stream.StreamCodingInfo.stream_coding_type      = codes[i];
        stream.StreamCodingInfo.video_format            = 6;
        stream.StreamCodingInfo.frame_rate              = 1;
        stream.StreamCodingInfo.aspect_ratio            = 3;
        stream.StreamCodingInfo.audio_presentation_type = 6;
        stream.StreamCodingInfo.sampling_frequency      = 1;
        memcpy(stream.StreamCodingInfo.language_code, "eng", 3);
        program.stream_in_ps.push_back(stream);
    }
    clip.ProgramInfo.program_sequence.push_back(program);

    // A stream's table holds at most 262143 fine entries: spread them over video streams
    // (a base and dependent views) of at most 250,000 each.
    clip.CPI.CPI_type = 1;
    std::mt19937 random(5);
    for (uint32_t done = 0, n = 0; done < fine; done += n) {
        n = fine - done < 250000 ? fine - done : 250000;
        CEP_map_for_one_stream_PID video;
        video.stream_PID     = 0x1011 + uint32_t(clip.CPI.EP_map.EP_map_for_one_stream_PID.size());
        video.EP_stream_type = 1;
        uint64_t spn = 0, pts = 0;
        for (uint32_t i = 0; i < n; ++i) {
            CEP_fine entry;
            spn += 20 + random() % 400;
            pts += 45045;
            if (i % 64 == 0) {
                CEP_coarse coarse;
                coarse.ref_to_EP_fine_id = i;
                coarse.PTS_EP_coarse     = uint32_t(pts >> 19) & 0x3FFF;
                coarse.SPN_EP_coarse     = uint32_t(spn);
                video.EP_coarse.push_back(coarse);
            }
            entry.is_angle_change_point = random() % 2;
            entry.I_end_position_offset = 1 + random() % 7;
            entry.PTS_EP_fine           = uint32_t(pts >> 9) & 0x7FF;
            entry.SPN_EP_fine           = uint32_t(spn) & 0x1FFFF;
            video.EP_fine.push_back(entry);
        }
        clip.CPI.EP_map.EP_map_for_one_stream_PID.push_back(video);
    }
    return bdmv.SaveBinary(path.c_str());
}

struct Measure {
    double seconds = 0;
    long peakKiB   = 0;
    int status     = 0;
};

// Runs a program (in cwd when given) with its standard output thrown away; wall time and the
// child's peak resident size.
Measure Run(const std::vector<std::string>& args, const std::string& cwd = "")
{
    Measure m;
    fflush(nullptr); // the child must not write out what this process has buffered
    auto start = std::chrono::steady_clock::now();
    pid_t pid  = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr) ||
            (!cwd.empty() && chdir(cwd.c_str()) != 0))
            _exit(126);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    struct rusage usage;
    wait4(pid, &status, 0, &usage);
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = usage.ru_maxrss;
    m.status  = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return m;
}

// The figures of several rounds of one program.
struct Series {
    std::vector<Measure> runs;
    double Min() const
    {
        double m = runs.front().seconds;
        for (const Measure& r : runs)
            m = std::min(m, r.seconds);
        return m;
    }
    double Median() const
    {
        std::vector<double> s;
        for (const Measure& r : runs)
            s.push_back(r.seconds);
        std::sort(s.begin(), s.end());
        return s.size() % 2 ? s[s.size() / 2] : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
    }
    long PeakKiB() const
    {
        long m = 0;
        for (const Measure& r : runs)
            m = std::max(m, r.peakKiB);
        return m;
    }
    int Status() const
    {
        for (const Measure& r : runs)
            if (r.status)
                return r.status;
        return 0;
    }
};

// Rounds of a program and its reference, alternating, the reference first in even rounds.
void Alternate(const std::vector<std::string>& a, const std::vector<std::string>& b, int rounds,
               Series& sa, Series& sb)
{
    for (int i = 0; i < rounds; ++i) {
        if (i % 2) {
            sa.runs.push_back(Run(a));
            sb.runs.push_back(Run(b));
        } else {
            sb.runs.push_back(Run(b));
            sa.runs.push_back(Run(a));
        }
    }
}

long FileSize(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? long(st.st_size) : -1;
}

bool SameFiles(const std::string& a, const std::string& b)
{
    FILE* f   = fopen(a.c_str(), "rb");
    FILE* g   = fopen(b.c_str(), "rb");
    bool same = f && g;
    while (same) {
        int x = fgetc(f), y = fgetc(g);
        same = x == y;
        if (x == EOF || y == EOF)
            break;
    }
    if (f)
        fclose(f);
    if (g)
        fclose(g);
    return same;
}

// The regular files under dir, hidden names and what lies under them left out.
void ListFiles(const std::string& dir, std::vector<std::string>& out)
{
    namespace fs = std::filesystem;
    std::error_code ec;
    auto options = fs::directory_options::follow_directory_symlink |
                   fs::directory_options::skip_permission_denied;
    for (fs::recursive_directory_iterator it(dir, options, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (it->path().filename().string()[0] == '.')
            it.disable_recursion_pending();
        else if (std::error_code unreadable; it->is_regular_file(unreadable))
            out.push_back(it->path().string());
    }
}

void PrintRow(const char* name, const Series& s, const Series* ref, double jsonMiB)
{
    printf("%-26s %8.3f %8.3f", name, s.Min(), s.Median());
    if (ref)
        printf(" %8.2f %8.2f", s.Min() / ref->Min(), s.Median() / ref->Median());
    else
        printf(" %8s %8s", "", "");
    printf(" %9.1f %7.2f\n", s.PeakKiB() / 1024.0, s.PeakKiB() / 1024.0 / jsonMiB);
}

// Every corpus file to JSON and back, beside starting the converter with nothing to do.
void CorpusRun(const std::string& varnel, const std::string& corpus, const std::string& dir)
{
    std::vector<std::string> files;
    ListFiles(corpus + "/disc", files);
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        printf("\ncorpus run skipped: no corpus at %s\n", corpus.c_str());
        return;
    }
    const std::string work = dir + "/bench.corpus";
    mkdir(work.c_str(), 0755);
    double forward = 0, reverse = 0, idle = 0;
    long bytes = 0, peak = 0;
    int converted = 0;
    for (const std::string& file : files) {
        const std::string json = work + "/out.json", back = work + "/back.bin";
        Measure f = Run({varnel, file, json}, work);
        Measure i = Run({varnel}, work);
        idle += i.seconds;
        forward += f.seconds;
        peak = std::max(peak, f.peakKiB);
        bytes += FileSize(file);
        if (f.status == 0) {
            Measure r = Run({varnel, "-reverse", json, back}, work);
            reverse += r.seconds;
            peak = std::max(peak, r.peakKiB);
            ++converted;
        }
    }
    std::error_code ignored;
    std::filesystem::remove_all(work, ignored);
    const double n = double(files.size());
    printf("\ncorpus: %zu files (%.1f MiB), %d converted both ways\n", files.size(),
           bytes / 1048576.0, converted);
    printf("%-26s %8s %10s\n", "", "seconds", "ms a file");
    printf("%-26s %8.3f %10.2f\n", "start-up (usage only)", idle, 1000 * idle / n);
    printf("%-26s %8.3f %10.2f\n", "forward (file->JSON)", forward, 1000 * forward / n);
    printf("%-26s %8.3f %10.2f\n", "reverse (JSON->file)", reverse, 1000 * reverse / converted);
    printf("%-26s %8.1f MiB\n", "largest peak memory", peak / 1024.0);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "-copy") == 0)
        return Copy(argv[2], argv[3]);
    if (argc == 3 && strcmp(argv[1], "-parse") == 0)
        return ParseOnly(argv[2]);
    uint32_t entries   = 500000;
    int runs           = 7;
    std::string dir    = "/tmp";
    std::string varnel = VARNEL_EXE;
    std::string corpus = CORPUS_DIR;
    bool keep          = false;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "-entries") == 0)
            entries = uint32_t(strtoul(argv[i + 1], nullptr, 10));
        else if (strcmp(argv[i], "-runs") == 0)
            runs = std::max(1, atoi(argv[i + 1]));
        else if (strcmp(argv[i], "-dir") == 0)
            dir = argv[i + 1];
        else if (strcmp(argv[i], "-varnel") == 0)
            varnel = argv[i + 1];
        else if (strcmp(argv[i], "-corpus") == 0)
            corpus = argv[i + 1];
        else if (strcmp(argv[i], "-keep") == 0)
            keep = atoi(argv[i + 1]) != 0;
    }
    const std::string clip = dir + "/bench.clpi", json = dir + "/bench.json",
                      back = dir + "/bench.back.clpi", copy = dir + "/bench.copy.json";
    const std::string self = argv[0];
    if (MakeClip(clip, entries)) {
        fprintf(stderr, "could not write %s\n", clip.c_str());
        return 1;
    }
    // The JSON text both directions work on, and warm caches.
    Run({varnel, clip, json});
    Run({self, "-copy", json, copy});

    Series forward, copying, reverse, parsing;
    Alternate({varnel, clip, json}, {self, "-copy", json, copy}, runs, forward, copying);
    Alternate({varnel, "-reverse", json, back}, {self, "-parse", json}, runs, reverse, parsing);
    if (forward.Status() || copying.Status() || reverse.Status() || parsing.Status()) {
        fprintf(stderr, "a run failed: forward %d, copy %d, reverse %d, parse %d\n",
                forward.Status(), copying.Status(), reverse.Status(), parsing.Status());
        return 1;
    }
    const double jsonMiB = FileSize(json) / 1048576.0;
    printf("varnel                 %s\n", varnel.c_str());
    printf("EP_fine entries        %u\n", entries);
    printf("clip file              %.1f MiB\n", FileSize(clip) / 1048576.0);
    printf("JSON text              %.1f MiB\n", jsonMiB);
    printf("round trip identical   %s\n", SameFiles(clip, back) ? "yes" : "NO");
    printf("reference copy same    %s\n", SameFiles(json, copy) ? "yes" : "NO");
    printf("rounds                 %d, alternating with the reference\n", runs);
    printf("%-26s %8s %8s %8s %8s %9s %7s\n", "", "min s", "median s", "min x", "median x",
           "peak MiB", "x JSON");
    PrintRow("RapidJSON copy (ref)", copying, nullptr, jsonMiB);
    PrintRow("forward (clip->JSON)", forward, &copying, jsonMiB);
    PrintRow("RapidJSON parse (ref)", parsing, nullptr, jsonMiB);
    PrintRow("reverse (JSON->clip)", reverse, &parsing, jsonMiB);
    for (const std::string& file : {clip, json, back, copy})
        if (!keep || (file != clip && file != json))
            unlink(file.c_str());
    CorpusRun(varnel, corpus, dir);
    return 0;
}
