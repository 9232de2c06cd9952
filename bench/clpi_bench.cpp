// Benchmark of clip information conversion with a long EP map: Varnel forward (clip -> JSON)
// and reverse (JSON -> clip) against RapidJSON alone parsing and pretty-writing the same
// JSON, each in its own process so that its peak memory can be read.
//
// Usage: clpi_bench [-entries N] [-runs R] [-dir D]
//        clpi_bench -reference in.json out.json   (the reference, run by the benchmark)
#include "disc/bdmv.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <rapidjson/document.h>
#include <rapidjson/filereadstream.h>
#include <rapidjson/filewritestream.h>
#include <rapidjson/prettywriter.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace
{

// What RapidJSON alone does with the document: the same reading and writing as Varnel's.
int Reference(const char* in, const char* out)
{
    FILE* f = fopen(in, "r");
    if (!f)
        return 1;
    char buffer[65536];
    rapidjson::FileReadStream input(f, buffer, sizeof buffer);
    rapidjson::Document doc;
    doc.ParseStream<rapidjson::kParseIterativeFlag>(input);
    fclose(f);
    if (doc.HasParseError())
        return 1;
    FILE* g = fopen(out, "w");
    if (!g)
        return 1;
    rapidjson::FileWriteStream output(g, buffer, sizeof buffer);
    rapidjson::PrettyWriter<rapidjson::FileWriteStream> writer(output);
    writer.SetIndent(' ', 4);
    doc.Accept(writer);
    output.Flush();
    return fclose(g) != 0;
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

// Runs a program with its output thrown away; wall time and the child's peak resident size.
Measure Run(const std::vector<std::string>& args)
{
    Measure m;
    auto start = std::chrono::steady_clock::now();
    pid_t pid  = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        freopen("/dev/null", "w", stdout);
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

// The fastest of several runs (and its peak memory).
Measure Best(const std::vector<std::string>& args, int runs)
{
    Measure best;
    for (int i = 0; i < runs; ++i) {
        Measure m = Run(args);
        if (m.status)
            return m;
        if (i == 0 || m.seconds < best.seconds)
            best = m;
    }
    return best;
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

} // namespace

int main(int argc, char** argv)
{
    if (argc == 4 && strcmp(argv[1], "-reference") == 0)
        return Reference(argv[2], argv[3]);
    uint32_t entries = 500000;
    int runs         = 3;
    std::string dir  = "/tmp";
    for (int i = 1; i + 1 < argc; i += 2) {
        if (strcmp(argv[i], "-entries") == 0)
            entries = uint32_t(strtoul(argv[i + 1], nullptr, 10));
        else if (strcmp(argv[i], "-runs") == 0)
            runs = atoi(argv[i + 1]);
        else if (strcmp(argv[i], "-dir") == 0)
            dir = argv[i + 1];
    }
    const std::string clip = dir + "/bench.clpi", json = dir + "/bench.json",
                      back = dir + "/bench.back.clpi", ref = dir + "/bench.ref.json";
    const std::string self = argv[0];
    if (MakeClip(clip, entries)) {
        fprintf(stderr, "could not write %s\n", clip.c_str());
        return 1;
    }
    Measure forward   = Best({VARNEL_EXE, clip, json}, runs);
    Measure reverse   = Best({VARNEL_EXE, "-reverse", json, back}, runs);
    Measure reference = Best({self, "-reference", json, ref}, runs);
    if (forward.status || reverse.status || reference.status) {
        fprintf(stderr, "a run failed: forward %d, reverse %d, reference %d\n", forward.status,
                reverse.status, reference.status);
        return 1;
    }
    const double jsonMiB = FileSize(json) / 1048576.0;
    printf("EP_fine entries        %u\n", entries);
    printf("clip file              %.1f MiB\n", FileSize(clip) / 1048576.0);
    printf("JSON text              %.1f MiB\n", jsonMiB);
    printf("round trip identical   %s\n", SameFiles(clip, back) ? "yes" : "NO");
    printf("reference output same  %s\n", SameFiles(json, ref) ? "yes" : "NO");
    printf("%-24s %8s %8s %10s %8s\n", "", "seconds", "x ref", "peak MiB", "x JSON");
    const struct {
        const char* name;
        Measure m;
    } rows[] = {{"RapidJSON parse+write", reference},
                {"forward (clip->JSON)", forward},
                {"reverse (JSON->clip)", reverse}};
    for (const auto& row : rows)
        printf("%-24s %8.3f %8.2f %10.1f %8.2f\n", row.name, row.m.seconds,
               row.m.seconds / reference.seconds, row.m.peakKiB / 1024.0,
               row.m.peakKiB / 1024.0 / jsonMiB);
    for (const std::string& file : {clip, json, back, ref})
        unlink(file.c_str());
    return 0;
}
