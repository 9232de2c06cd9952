// Varnel's command line: argument scan, route choice, texts, exit statuses and the self-test.
#include "tests/disc/bdjo/bdjo_writer.h"
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/disc/sound/sound_writer.h"
#include "tests/disc/title_writer.h"
#include "tests/support/test_support.h"
#include "tools/convert/self_test.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

const char* const kUsage =
    "Usage:\n"
    "  varnel          infile.mpls   [outfile.json]\n"
    "  or\n"
    "  varnel -reverse infile.json|- [-padding n] outfile.mpls\n"
    "  or\n"
    "  varnel -selftest [-padding n] testfile.mpls\n"
    "\n"
    "where - (dash)    means use of standard input for .json file/stream input\n"
    "      -padding n  inserts padding zeros between .mpls sections\n"
    "                  for alignment modulo n bytes\n"
    "      -selftest   validates conversion process and creates files:\n"
    "                   testfile.json\n"
    "                   testfile.from_mpls.mpls\n"
    "                   testfile.from_json.mpls\n"
    "                   testfile.from_json.json\n"
    "\n"
    "Program converts files xxxxx.mpls, xxxxx.clpi, xxxxx.bdjo,\n"
    "                       MovieObject.bdmv, index.bdmv and sound.bdmv\n"
    "\n";

} // namespace

TEST(VarnelCli, BannerAndUsage)
{
    RunResult r = RunVarnel({});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(IsBanner("Varnel", r.err)) << r.err;
    EXPECT_EQ(r.out, kUsage);

    // Incomplete arguments: the same texts and status 1.
    for (std::vector<std::string> args :
         std::vector<std::vector<std::string>>{{"-reverse"},
                                               {"-reverse", "in.json"},
                                               {"-selftest"},
                                               {"-selftest", "-reverse", "x.mpls"},
                                               {"-padding", "4"},
                                               {"-bogus"}}) {
        RunResult u = RunVarnel(args);
        EXPECT_EQ(u.status, 1) << args[0];
        EXPECT_TRUE(IsBanner("Varnel", u.err)) << u.err;
        EXPECT_EQ(u.out, kUsage);
    }
}

TEST(VarnelCli, RouteChoiceAndMessages)
{
    TempDir d;
    // Unknown options are ignored, a third positional is ignored; the forward route runs.
    WriteFile(d.File("in.bin"), std::string("ABCDxx"));
    RunResult r = RunVarnel({"-whatever", "in.bin", "out.json", "third"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "failed signature match:\nfound    \"ABCD\"\nexpected \"MPLS\"\n"
                     "      or \"HDMV\"\n      or \"BDJO\"\n      or \"MOBJ\"\n      or \"INDX\"\n"
                     "      or \"BCLK\"\n      or \"BDID\"\nParse failed: in.bin\n");
    EXPECT_FALSE(FileExists(d.File("out.json")));

    // A file shorter than a type code shows only the bytes that exist.
    WriteFile(d.File("short"), std::string("AB"));
    r = RunVarnel({"short"}, "", d.Path());
    EXPECT_NE(r.err.find("found    \"AB\"\n"), std::string::npos) << r.err;

    // "-" as forward input names no file.
    r = RunVarnel({"-"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to open \nParse failed: \n");

    r = RunVarnel({"missing.mpls"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to open missing.mpls\nParse failed: missing.mpls\n");
    r = RunVarnel({"."}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to open .\nParse failed: .\n") << "a directory is refused";

    // "-padding" consumes the next argument even when it is an option.
    r = RunVarnel({"-padding", "-reverse", "missing.mpls"}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to open missing.mpls\nParse failed: missing.mpls\n");
    // Options match in any case; "-padding" as the last argument takes nothing.
    r = RunVarnel({"-REVERSE", "missing.json", "out.mpls", "-Padding"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to open missing.json\nParse failed: missing.json\n");
}

TEST(VarnelCli, ReverseRouteJsonFrame)
{
    TempDir d;
    auto reverse = [&](const std::string& json) {
        return RunVarnel({"-reverse", "-", "out.bin"}, json.empty() ? std::string(" ") : json,
                         d.Path());
    };
    const std::string noSig = "No valid signature was found!\nParse failed: \n";
    EXPECT_EQ(reverse("{\"mpls\":{}}").err, noSig) << "type codes are case-sensitive";
    EXPECT_EQ(reverse("{\"MPLS\":").err, noSig) << "broken JSON";
    EXPECT_EQ(reverse("[1,2]").err, noSig);
    // Deep nesting is parsed without recursion.
    std::string deep = std::string(200000, '[') + std::string(200000, ']');
    RunResult r      = reverse(deep);
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, noSig);
    EXPECT_FALSE(FileExists(d.File("out.bin")));

    WriteFile(d.File("in.json"), std::string("{}"));
    r = RunVarnel({"-reverse", "in.json", "out.bin"}, "", d.Path());
    EXPECT_EQ(r.err, "No valid signature was found!\nParse failed: in.json\n");
}

TEST(VarnelCli, SelfTestNames)
{
    auto names = [](std::string t, const char* suffix) {
        ReplaceExtension(t, suffix);
        return t;
    };
    EXPECT_EQ(names("testfile.mpls", ".json"), "testfile.json");
    EXPECT_EQ(names("dir.v2/testfile", ".json"), "dir.v2/testfile.json");
    EXPECT_EQ(names("a.b\\name", ".json"), "a.b\\name.json");
    EXPECT_EQ(names("x.y.clpi", ".from_json.clpi"), "x.y.from_json.clpi");

    TempDir d;
    // A test file whose JSON name is itself is refused and left untouched.
    WriteFile(d.File("x.json"), std::string("{\"MPLS\":{}}"));
    RunResult r = RunVarnel({"-selftest", "x.json"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot self-test x.json: writing x.json would overwrite it!\n");
    EXPECT_EQ(ReadFile(d.File("x.json")), "{\"MPLS\":{}}");
}

TEST(VarnelCli, SelfTestOfEveryKindFindsEveryPairIdentical)
{
    TempDir d;
    bdjo_writer::Bdjo bdjo;
    bdjo.apps = {bdjo_writer::App()};
    title_writer::MovieObjects objects;
    objects.objects = {{1, 0, 0, 0, {{title_writer::Op(1, 0, 1, 0, 0, 1), 2, 0}}}};
    sound_writer::SoundFile sound;
    sound.sounds  = {{1, 1, 1, 0, 4}};
    sound.samples = Hex("01020304");
    const struct {
        std::string base, ext;
        std::vector<uint8_t> bytes;
    } files[] = {
        {"s", "mpls", mpls_writer::PlaylistFile(mpls_writer::SamplePlaylist())},
        {"c", "clpi", clpi_writer::ClipFile(clpi_writer::SampleClip())},
        {"00000", "bdjo", bdjo_writer::BdjoFile(bdjo)},
        {"index", "bdmv", title_writer::IndexFile(title_writer::Index())},
        {"MovieObject", "bdmv", title_writer::MovieObjectFile(objects)},
        {"sound", "bdmv", sound_writer::SoundBdmv(sound)},
        {"id", "bdmv", FieldWriter().Text("BDID0200").Zeros(96).Data()},
    };
    for (const auto& f : files) {
        const std::string b = f.base, e = f.ext, n = std::to_string(f.bytes.size());
        WriteFile(d.File(b + "." + e), f.bytes);
        RunResult r = RunVarnel({"-selftest", b + "." + e}, "", d.Path());
        EXPECT_EQ(r.status, 0) << b;
        EXPECT_EQ(r.err, "") << b;
        const std::string j = std::to_string(ReadFile(d.File(b + ".json")).size());
        EXPECT_EQ(r.out, "\n" + b + ".json (" + j + ") and " + b + ".from_json.json (" + j +
                             ") are identical.\n\n" + b + "." + e + " (" + n + ") and " + b +
                             ".from_" + e + "." + e + " (" + n + ") are identical.\n" + b + "." +
                             e + " (" + n + ") and " + b + ".from_json." + e + " (" + n +
                             ") are identical.\n\n" + b + ".from_" + e + "." + e + " (" + n +
                             ") and " + b + ".from_json." + e + " (" + n + ") are identical.\n\n");
    }
    // The sound's samples are written beside the JSON.
    EXPECT_EQ(ReadFile(d.File("sound_000.wav")), ToString(sound_writer::Wave(1, sound.samples)));
}

TEST(VarnelCli, PipesAndDirectoriesAsInput)
{
    TempDir d;
    RunResult r = RunVarnel({"-reverse", ".", "out.bin"}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to open .\nParse failed: .\n");

    // A FIFO is read to its end, on both routes.
    ASSERT_EQ(mkfifo(d.File("json.fifo").c_str(), 0600), 0);
    std::thread writer([&] { WriteFile(d.File("json.fifo"), std::string("{\"none\": 1}")); });
    r = RunVarnel({"-reverse", "json.fifo", "out.bin"}, "", d.Path());
    writer.join();
    EXPECT_EQ(r.err, "No valid signature was found!\nParse failed: json.fifo\n");

    ASSERT_EQ(mkfifo(d.File("bin.fifo").c_str(), 0600), 0);
    std::string bytes(100000, 'x');
    std::thread writer2([&] { WriteFile(d.File("bin.fifo"), bytes); });
    r = RunVarnel({"bin.fifo"}, "", d.Path());
    writer2.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("found    \"xxxx\"\n"), std::string::npos) << r.err;
}

TEST(VarnelCli, OutputsThatArePipesBehindAPath)
{
    TempDir d;
    const std::vector<uint8_t> mpls = mpls_writer::PlaylistFile(mpls_writer::SamplePlaylist());
    WriteFile(d.File("s.mpls"), mpls);
    const std::string json = RunVarnel({"s.mpls"}, "", d.Path()).out;
    ASSERT_NE(json, "");
    WriteFile(d.File("s.json"), json);
    auto shell = [&](const std::string& command) {
        return testing_support::Run("/bin/bash", {"-c", command}, "", d.Path());
    };
    // /dev/stdout is a link to /proc/self/fd/1, whose own link text is "pipe:[N]".
    RunResult r = shell(VARNEL_EXE " s.mpls /dev/stdout | cat");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == json) << r.out.size() << " bytes";
    r = shell(VARNEL_EXE " -reverse s.json /dev/stdout | cat");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == ToString(mpls)) << r.out.size() << " bytes";
    r = shell(VARNEL_EXE " s.mpls >(cat >copy.json); wait $!");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(ReadFile(d.File("copy.json")) == json);
    EXPECT_EQ(HiddenEntries(d.Path()), "");
    // Through /proc/self/fd/1 to a regular file whose path is longer than the 64 bytes that
    // /proc gives as the size of its links.
    const std::string deep = std::string(70, 'd');
    ASSERT_EQ(mkdir(d.File(deep).c_str(), 0755), 0);
    r = shell(VARNEL_EXE " s.mpls /dev/stdout >" + deep + "/deep.json");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(ReadFile(d.File(deep + "/deep.json")) == json);
    // A directory is still refused.
    r = RunVarnel({"s.mpls", "."}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to create .\nCannot create \".\": Is a directory\nSave failed: .\n");
}

TEST(VarnelCli, SampleFilesBesideTheFileTheJsonNameLeadsTo)
{
    // Each run has a folder of the test mounted over /dev in a mount namespace of its own, so a
    // sample file that goes astray lands there and never in the real /dev.
    if (geteuid() != 0)
        GTEST_SKIP() << "needs root for a private mount namespace";
    TempDir d;
    const std::string dev = d.File("dev");
    ASSERT_EQ(mkdir(dev.c_str(), 0755), 0);
    for (const char* link : {"fd:", "stdin:/0", "stdout:/1", "stderr:/2"}) {
        const std::string entry = link;
        const size_t colon      = entry.find(':');
        ASSERT_EQ(symlink(("/proc/self/fd" + entry.substr(colon + 1)).c_str(),
                          (dev + "/" + entry.substr(0, colon)).c_str()),
                  0);
    }
    WriteFile(dev + "/null", std::string()); // where the real /dev/null is mounted
    auto inPrivateDev = [&](const std::string& cwd, const std::string& script) {
        return testing_support::Run(
            "/usr/bin/unshare",
            {"-m", "--propagation", "private", "/bin/sh", "-c",
             "mount --bind /dev/null \"$0/null\" && mount --rbind \"$0\" /dev && "
             "exec /bin/bash -c \"$1\"",
             dev, "v() { '" VARNEL_EXE "' \"$@\"; }; " + script},
            "", cwd);
    };
    RunResult probe = inPrivateDev(
        d.Path(), "test \"$(ls -A /dev | tr '\\n' ' ')\" = 'fd null stderr stdin stdout '");
    if (probe.status != 0)
        GTEST_SKIP() << "cannot mount a private /dev here: " << probe.err;

    sound_writer::SoundFile sound;
    sound.sounds           = {{1, 1, 1, 0, 4}};
    sound.samples          = Hex("01020304");
    const std::string bdmv = ToString(sound_writer::SoundBdmv(sound));
    const std::string wave = ToString(sound_writer::Wave(1, sound.samples));
    WriteFile(d.File("sound.bdmv"), bdmv);
    const std::string json = RunVarnel({"sound.bdmv"}, "", d.Path()).out;
    ASSERT_NE(json, "");
    char* real = realpath(d.Path().c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string realD = real;
    free(real);

    // Run in c/run; the JSON ends up in c/out/s.json, the rebuilt file in c/run/back.bdmv.
    // A missing sample is looked for at tried (after the real path of c when it begins with /).
    const struct {
        std::string forward, reverse, samples, tried, files;
    } cases[] = {
        {"v ../../sound.bdmv /dev/stdout >../out/s.json",
         "v -reverse /dev/stdin back.bdmv <../out/s.json", "out", "/out//sound_000.wav",
         "out/s.json out/sound_000.wav run/back.bdmv "},
        {"v ../../sound.bdmv /dev/fd/3 3>../out/s.json",
         "v -reverse /dev/fd/3 back.bdmv 3<../out/s.json", "out", "/out//sound_000.wav",
         "out/s.json out/sound_000.wav run/back.bdmv "},
        {"v ../../sound.bdmv /proc/self/fd/1 >../out/s.json",
         "v -reverse /proc/self/fd/0 back.bdmv <../out/s.json", "out", "/out//sound_000.wav",
         "out/s.json out/sound_000.wav run/back.bdmv "},
        {"ln -s ../out/s.json ../la/l.json && v ../../sound.bdmv ../la/l.json",
         "v -reverse ../la/l.json back.bdmv", "out", "../la/../out//sound_000.wav",
         "la/l.json out/s.json out/sound_000.wav run/back.bdmv "},
        // No directory of their own (pipes, FIFOs, standard output, a file that was deleted):
        // the current one.
        {"v ../../sound.bdmv /dev/stdout | cat >../out/s.json",
         "cat ../out/s.json | v -reverse /dev/stdin back.bdmv", "run", "sound_000.wav",
         "out/s.json run/back.bdmv run/sound_000.wav "},
        {"mkfifo ../j.fifo && { cat ../j.fifo >../out/s.json & v ../../sound.bdmv ../j.fifo; "
         "r=$?; wait; exit $r; }",
         "cat ../out/s.json >../j.fifo & v -reverse ../j.fifo back.bdmv; r=$?; wait; exit $r",
         "run", "sound_000.wav", "j.fifo out/s.json run/back.bdmv run/sound_000.wav "},
        {"v ../../sound.bdmv - >../out/s.json", "v -reverse - back.bdmv <../out/s.json", "run",
         "sound_000.wav", "out/s.json run/back.bdmv run/sound_000.wav "},
        {"v ../../sound.bdmv - >../out/s.json",
         "cp ../out/s.json ../t.json && exec <../t.json && rm ../t.json && "
         "v -reverse /dev/stdin back.bdmv",
         "run", "sound_000.wav", "out/s.json run/back.bdmv run/sound_000.wav "},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
        const auto& c         = cases[i];
        const std::string dir = d.File("c" + std::to_string(i)), run = dir + "/run";
        for (const char* sub : {"", "/run", "/out", "/la"})
            ASSERT_EQ(mkdir((dir + sub).c_str(), 0755), 0);
        RunResult r = inPrivateDev(run, c.forward);
        EXPECT_EQ(r.status, 0) << c.forward;
        EXPECT_EQ(r.err, "") << c.forward;
        EXPECT_TRUE(ReadFile(dir + "/out/s.json") == json) << c.forward;
        EXPECT_EQ(ReadFile(dir + "/" + c.samples + "/sound_000.wav"), wave) << c.forward;
        r = inPrivateDev(run, c.reverse);
        EXPECT_EQ(r.status, 0) << c.reverse;
        EXPECT_EQ(r.err, "") << c.reverse;
        EXPECT_TRUE(ReadFile(run + "/back.bdmv") == bdmv) << c.reverse;
        EXPECT_EQ(testing_support::Run("/bin/sh", {"-c", "find * ! -type d | sort | tr '\\n' ' '"},
                                       "", dir)
                      .out,
                  c.files)
            << c.forward;

        EXPECT_EQ(unlink((dir + "/" + c.samples + "/sound_000.wav").c_str()), 0) << c.forward;
        const std::string at =
            c.tried[0] == '/' ? realD + "/c" + std::to_string(i) + c.tried : c.tried;
        r = inPrivateDev(run, c.reverse);
        EXPECT_EQ(r.status, 1) << c.reverse;
        EXPECT_EQ(r.err, "Cannot open file " + at + "!\nSave failed: back.bdmv\n");
    }
    EXPECT_EQ(testing_support::Run("/bin/ls", {"-A", dev}).out,
              "fd\nnull\nstderr\nstdin\nstdout\n");
}
