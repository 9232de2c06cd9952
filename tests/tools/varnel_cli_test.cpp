// Varnel's command line: argument scan, route choice, texts, exit statuses and the self-test.
#include "tests/disc/bdjo/bdjo_writer.h"
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/disc/sound/sound_writer.h"
#include "tests/disc/title_writer.h"
#include "tests/support/test_support.h"
#include "tools/convert/self_test.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>

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
    // A directory is still refused.
    r = RunVarnel({"s.mpls", "."}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to create .\nCannot create \".\": Is a directory\nSave failed: .\n");
}

TEST(VarnelCli, SampleFilesOfAJsonThatIsAPipe)
{
    // A JSON that is a pipe, FIFO or device has its sample files in the current directory, as
    // with "-", both ways; never in /dev or /dev/fd.
    if (FileExists("/dev/sound_000.wav"))
        GTEST_SKIP() << "/dev/sound_000.wav exists already";
    TempDir d;
    sound_writer::SoundFile sound;
    sound.sounds           = {{1, 1, 1, 0, 4}};
    sound.samples          = Hex("01020304");
    const std::string bdmv = ToString(sound_writer::SoundBdmv(sound));
    const std::string wave = ToString(sound_writer::Wave(1, sound.samples));
    WriteFile(d.File("sound.bdmv"), bdmv);
    ASSERT_EQ(RunVarnel({"sound.bdmv", "s.json"}, "", d.Path()).status, 0);
    const std::string json = ReadFile(d.File("s.json"));

    auto shell = [&](const std::string& cwd, const std::string& command) {
        mkdir(d.File(cwd).c_str(), 0755);
        return testing_support::Run("/bin/bash",
                                    {"-c", "varnel() { '" VARNEL_EXE "' \"$@\"; }; " + command}, "",
                                    d.File(cwd));
    };
    RunResult r = shell("out", "varnel ../sound.bdmv /dev/stdout | cat");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(r.out == json);
    r = shell("fifo", "mkfifo ../j.fifo && { cat ../j.fifo >s.json & varnel ../sound.bdmv "
                      "../j.fifo; wait; rm ../j.fifo; }");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(ReadFile(d.File("fifo/s.json")) == json);
    for (const char* cwd : {"out", "fifo"})
        EXPECT_EQ(ReadFile(d.File(cwd) + "/sound_000.wav"), wave) << cwd;
    EXPECT_FALSE(FileExists("/dev/sound_000.wav"));
    // Back from standard input by name, with the samples in the current directory only.
    r = shell("out", "cat ../s.json | varnel -reverse /dev/stdin back.bdmv");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(ReadFile(d.File("out/back.bdmv")) == bdmv);
}
