// Varnel on inputs and outputs that go wrong: endless input, failed writes, codes without a
// name, text that is not UTF-8, a padding beyond the file's addresses, large sample files of
// zeros and self-test outputs that are the test file itself.
#include "tests/disc/bdjo/bdjo_writer.h"
#include "tests/disc/clpi/clpi_writer.h"
#include "tests/disc/mpls/mpls_sample.h"
#include "tests/disc/sound/sound_writer.h"
#include "tests/disc/title_writer.h"
#include "tests/support/json_support.h"

#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

const std::string kTooLarge = " is larger than 1 GiB: too large for a disc navigation file!\n";

std::string SamplePlaylistBytes()
{
    return ToString(mpls_writer::PlaylistFile(mpls_writer::SamplePlaylist()));
}

std::string TooLarge(const std::string& out)
{
    return "Failed to write " + out + "\nCannot write \"" + out +
           "\": File too large\nSave failed: " + out + "\n";
}

// Converts the file to JSON, checks the JSON holds every fragment, and rebuilds it: the
// rebuilt file must be the original byte for byte. Returns the JSON.
std::string ExpectRoundTrip(const TempDir& d, const std::string& name,
                            const std::vector<uint8_t>& bytes,
                            const std::vector<std::string>& fragments)
{
    WriteFile(d.File(name), bytes);
    RunResult r = RunVarnel({name, name + ".json"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    std::string json = ReadFile(d.File(name + ".json"));
    for (const std::string& f : fragments)
        EXPECT_NE(json.find(f), std::string::npos) << name << " lacks " << f;
    r = RunVarnel({"-reverse", name + ".json", name + ".back"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << name << ": " << r.err;
    EXPECT_EQ(ReadFile(d.File(name + ".back")), ToString(bytes)) << name;
    return json;
}

} // namespace

TEST(VarnelRobustness, EndlessInputIsRefusedInBoundedMemory)
{
    TempDir d;
    // The ceiling is read and then refused: about 1 GiB at the peak, and never the whole.
    const long peak = PeakLimitKiB() + 1024L * 1024;
    RunResult r     = RunVarnel({"/dev/zero", "out.json"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "/dev/zero" + kTooLarge + "Parse failed: /dev/zero\n");
    EXPECT_LT(r.peakKiB, peak);
    EXPECT_LT(r.seconds, 60.0);
    EXPECT_FALSE(FileExists(d.File("out.json")));
    r = RunCorbit({"/dev/zero"}, d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "/dev/zero" + kTooLarge + "Parse failed: /dev/zero\n");

    // A FIFO whose writer never stops.
    signal(SIGPIPE, SIG_IGN);
    ASSERT_EQ(mkfifo(d.File("endless").c_str(), 0600), 0);
    std::thread writer([&] {
        int fd = open(d.File("endless").c_str(), O_WRONLY);
        std::vector<char> zeros(1 << 20, 0);
        while (fd >= 0 && write(fd, zeros.data(), zeros.size()) > 0) {
        }
        close(fd);
    });
    r = RunVarnel({"-selftest", "endless"}, "", d.Path());
    writer.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "endless" + kTooLarge + "Parse failed: endless\n");
    EXPECT_LT(r.peakKiB, peak);

    // A regular file over the ceiling is refused by its size, without reading it.
    WriteFile(d.File("huge.mpls"), std::string("MPLS0200"));
    ASSERT_EQ(truncate(d.File("huge.mpls").c_str(), (1LL << 30) + 1), 0);
    r = RunVarnel({"huge.mpls"}, "", d.Path());
    EXPECT_EQ(r.err, "huge.mpls" + kTooLarge + "Parse failed: huge.mpls\n");
    EXPECT_LT(r.peakKiB, PeakLimitKiB());
}

#ifndef __SANITIZE_ADDRESS__ // the sanitizer needs far more address space than the limit
TEST(VarnelRobustness, FailedAllocationsAreMemoryErrors)
{
    // Under a 150 MB address-space limit: a 300 MB file, and a JSON string of 100 MB that
    // the JSON library fails to hold, end with file-error code 200 instead of an abort.
    TempDir d;
    WriteFile(d.File("big.mpls"), std::string("MPLS0200"));
    ASSERT_EQ(truncate(d.File("big.mpls").c_str(), 300 << 20), 0);
    WriteFile(d.File("big.json"), "{\"MPLS\": \"" + std::string(100 << 20, 'a') + "\"}");
    for (std::string args : {"big.mpls", "-reverse big.json out.mpls"}) {
        RunResult r = testing_support::Run(
            "/bin/sh", {"-c", "ulimit -v 150000; exec " VARNEL_EXE " " + args}, "", d.Path());
        EXPECT_EQ(r.status, 200) << args << ": " << r.err;
        EXPECT_EQ(r.err, "Memory error!\n") << args;
    }
    RunResult r = testing_support::Run(
        "/bin/sh", {"-c", "ulimit -v 150000; exec " CORBIT_EXE " big.mpls"}, "", d.Path());
    EXPECT_EQ(r.status, 200);
    EXPECT_EQ(r.err, "Memory error!\n");
}
#endif

TEST(VarnelRobustness, FailedWritesKeepThePreviousOutput)
{
    TempDir d;
    WriteFile(d.File("s.mpls"), SamplePlaylistBytes());
    ASSERT_EQ(RunVarnel({"s.mpls", "s.json"}, "", d.Path()).status, 0);
    const std::string json = ReadFile(d.File("s.json"));

    // A file-size limit (512 bytes) in the middle of the JSON, and of a rebuilt clip.
    const std::vector<uint8_t> clip = clpi_writer::ClipFile(clpi_writer::SampleClip());
    ASSERT_GT(clip.size(), 512u);
    WriteFile(d.File("c.clpi"), clip);
    ASSERT_EQ(RunVarnel({"c.clpi", "c.json"}, "", d.Path()).status, 0);
    WriteFile(d.File("out.json"), std::string("previous"));
    WriteFile(d.File("out.clpi"), std::string("previous"));
    for (std::string args : {"s.mpls out.json", "-reverse c.json out.clpi"}) {
        std::string out = args.substr(args.rfind(' ') + 1);
        RunResult r     = testing_support::Run(
                "/bin/sh", {"-c", "ulimit -f 1; exec " VARNEL_EXE " " + args}, "", d.Path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, TooLarge(out));
        EXPECT_EQ(ReadFile(d.File(out)), "previous");
    }
    // Names that leave no room for a longer temporary name beside them.
    for (size_t length : {248, 255}) {
        const std::string name = std::string(length, 'n');
        RunResult r            = testing_support::Run(
                       "/bin/sh", {"-c", "ulimit -f 1; exec " VARNEL_EXE " s.mpls " + name}, "", d.Path());
        EXPECT_EQ(r.err, TooLarge(name));
        EXPECT_FALSE(FileExists(d.File(name))) << length;
        EXPECT_EQ(RunVarnel({"s.mpls", name}, "", d.Path()).status, 0);
        EXPECT_TRUE(ReadFile(d.File(name)) == json) << length;
        ASSERT_EQ(unlink(d.File(name).c_str()), 0);
    }
    RunResult r = RunVarnel({"s.mpls", "/dev/full"}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to write /dev/full\nCannot write \"/dev/full\": No space left on "
                     "device\nSave failed: /dev/full\n");
    EXPECT_EQ(HiddenEntries(d.Path()), "") << "temporary files left behind";

    // A link is followed and its target replaced; the target keeps its permission bits.
    WriteFile(d.File("real.json"), std::string("previous"));
    ASSERT_EQ(chmod(d.File("real.json").c_str(), 0640), 0);
    ASSERT_EQ(symlink("real.json", d.File("link.json").c_str()), 0);
    r = RunVarnel({"s.mpls", "link.json"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    struct stat st;
    ASSERT_EQ(lstat(d.File("link.json").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(stat(d.File("real.json").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(ReadFile(d.File("real.json")), json);

    // The messages name the path tried and the system's reason.
    r = RunVarnel({"s.mpls", "no/dir/out.json"}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to create no/dir/out.json\nCannot create \"no/dir/out.json\": No "
                     "such file or directory\nSave failed: no/dir/out.json\n");
    r = RunVarnel({"-reverse", "s.json", "-"}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to write \nCannot create \"\": No such file or directory\n"
                     "Save failed: \n");
    sound_writer::SoundFile sound;
    sound.sounds  = {{1, 1, 1, 0, 4}};
    sound.samples = Hex("01020304");
    WriteFile(d.File("sound.bdmv"), sound_writer::SoundBdmv(sound));
    r = RunVarnel({"sound.bdmv", "no/dir/s.json"}, "", d.Path());
    EXPECT_EQ(r.err, "Cannot create file sound_000.wav!\nCannot create \"no/dir//sound_000.wav\": "
                     "No such file or directory\nParse failed: sound.bdmv\n");
}

namespace
{

// A user (65534) who may write dir/a.json but add no file to dir, so that no temporary file fits
// beside it (root may add files anywhere): the output is staged in $TMPDIR, or in memory where
// no file there takes it, and written over the target.
struct NoNewFileDirectory {
    TempDir d;
    std::string dir = d.File("dir"), json;
    // Outputs that grow, keep their length and shrink, as bytes no output holds.
    std::vector<std::string> olds;

    // Empty when ready, else why the setting cannot be made here.
    std::string Prepare()
    {
        if (geteuid() != 0)
            return "needs root to set up another user's directory";
        WriteFile(d.File("s.mpls"), SamplePlaylistBytes());
        EXPECT_EQ(RunVarnel({"s.mpls", "s.json"}, "", d.Path()).status, 0);
        json = ReadFile(d.File("s.json"));
        EXPECT_TRUE(json.size() > 1024 && json.size() < 30000) << json.size();
        for (size_t size : {size_t(17), json.size(), size_t(30000)}) {
            olds.emplace_back(size, '\0');
            for (size_t i = 0; i < size; ++i)
                olds.back()[i] = char(0x80 | i % 113);
        }
        EXPECT_EQ(testing_support::Run("/bin/cp", {VARNEL_EXE, d.File("varnel")}).status, 0);
        EXPECT_TRUE(chmod(d.Path().c_str(), 0755) == 0 && mkdir(dir.c_str(), 0755) == 0 &&
                    mkdir(d.File("tmp").c_str(), 0) == 0 &&
                    chmod(d.File("tmp").c_str(), 01777) == 0);
        RunResult probe = AsUser("test -x varnel -a -r s.mpls -a -w tmp && ! (: >dir/x) 2>&-");
        return probe.status == 0 ? "" : "user 65534 cannot run varnel here: " + probe.err;
    }
    // Runs the script as root in d, in a private mount namespace where it mounts; in it,
    // user "..." runs a script as user 65534.
    RunResult Run(const std::string& script, bool privateMounts = false) const
    {
        const std::string sh = "PATH=/usr/sbin:/sbin:$PATH\nuser() { setpriv --reuid=65534 "
                               "--regid=65534 --clear-groups /bin/sh -c \"$1\"; }\n" +
                               script;
        if (!privateMounts)
            return testing_support::Run("/bin/sh", {"-c", sh}, "", d.Path());
        return testing_support::Run("/usr/bin/unshare",
                                    {"-m", "--propagation", "private", "/bin/sh", "-c", sh}, "",
                                    d.Path());
    }
    RunResult AsUser(const std::string& script) const { return Run("user '" + script + "'"); }
};

} // namespace

TEST(VarnelRobustness, FailedWritesWhereTheDirectoryTakesNoNewFile)
{
    NoNewFileDirectory n;
    std::string why = n.Prepare();
    if (!why.empty())
        GTEST_SKIP() << why;
    const std::string target = n.dir + "/a.json";
    for (std::string tmp : {"tmp", "/nonexistent"})
        for (const std::string& old : n.olds) {
            // A file-size limit below the new length, whether the output grows, keeps its
            // length or shrinks.
            WriteFile(target, old);
            ASSERT_EQ(chown(target.c_str(), 65534, 65534), 0);
            const std::string run = "TMPDIR=" + tmp + " exec ./varnel s.mpls dir/a.json";
            RunResult r           = n.AsUser("ulimit -f 1; " + run);
            EXPECT_EQ(r.status, 1) << tmp;
            EXPECT_EQ(r.err, TooLarge("dir/a.json"));
            EXPECT_TRUE(ReadFile(target) == old) << tmp << " " << old.size();
            r = n.AsUser(run);
            EXPECT_EQ(r.status, 0) << tmp << r.err;
            EXPECT_TRUE(ReadFile(target) == n.json) << tmp << " " << old.size();
            EXPECT_EQ(testing_support::Run("/bin/ls", {"-A", n.dir, n.d.File("tmp")}).out,
                      n.dir + ":\na.json\n\n" + n.d.File("tmp") + ":\n");
        }
}

TEST(VarnelRobustness, InPlaceWritesWithAFullStagingDiskOrNoReservation)
{
    // $TMPDIR on a full filesystem (a 64 KiB tmpfs), and a target on a filesystem that cannot
    // reserve room (ext4 without extents) which the user may write but not read.
    NoNewFileDirectory n;
    std::string why = n.Prepare();
    if (!why.empty())
        GTEST_SKIP() << why;
    const std::string mount = "mount -t tmpfs -o size=64k,mode=1777 none full &&"
                              " mount -o loop ext.img ext || exit 99\n";
    WriteFile(n.d.File("ext.img"), std::string());
    ASSERT_TRUE(mkdir(n.d.File("full").c_str(), 0755) == 0 &&
                mkdir(n.d.File("ext").c_str(), 0755) == 0 &&
                truncate(n.d.File("ext.img").c_str(), 8 << 20) == 0);
    RunResult r =
        n.Run("mkfs.ext4 -q -F -O ^extents,^64bit ext.img && " + mount + "mkdir ext/dir", true);
    if (r.status != 0)
        GTEST_SKIP() << "cannot mount a tmpfs and an ext4 image here: " << r.err;
    const std::string fillExt  = "dd if=/dev/zero of=ext/fill bs=4k 2>&-; ";
    const std::string& grows   = n.olds[0];
    const std::string& shrinks = n.olds[2];
    struct Case {
        std::string target, old, setup, run, err;
    } cases[] = {
        // The staging file fills up: the output goes on in memory.
        {"dir/a.json", shrinks, "", "TMPDIR=full ", ""},
        {"dir/a.json", shrinks, "", "ulimit -f 1; TMPDIR=full ", TooLarge("dir/a.json")},
        // No reservation: only growth is checked for room.
        {"ext/dir/a.json", grows, fillExt, "TMPDIR=tmp ",
         "Failed to write ext/dir/a.json\nCannot write \"ext/dir/a.json\": No space left on "
         "device\nSave failed: ext/dir/a.json\n"},
        {"ext/dir/a.json", shrinks, "", "ulimit -f 1; TMPDIR=/nonexistent ",
         TooLarge("ext/dir/a.json")},
        {"ext/dir/a.json", n.olds[1], "", "TMPDIR=tmp ", ""},
        {"ext/dir/a.json", grows, "", "TMPDIR=full ", ""},
    };
    for (const Case& c : cases) {
        WriteFile(n.d.File("old"), c.old);
        r = n.Run(mount + "dd if=/dev/zero of=full/fill bs=4k 2>&-; rm -f ext/fill; cp old " +
                      c.target + " && chown 65534:65534 " + c.target + " && chmod 0200 " +
                      c.target + "; " + c.setup + "user '" + c.run + "exec ./varnel s.mpls " +
                      c.target + "'; s=$?; cp " + c.target + " result; stat -c %a " + c.target +
                      " >>result; exit $s",
                  true);
        std::string what = c.run + c.target + " " + std::to_string(c.old.size());
        EXPECT_EQ(r.status, c.err.empty() ? 0 : 1) << what;
        EXPECT_EQ(r.err, c.err) << what;
        EXPECT_TRUE(ReadFile(n.d.File("result")) == (c.err.empty() ? n.json : c.old) + "200\n")
            << what;
    }
}

TEST(VarnelRobustness, CodesWithoutANameRoundTrip)
{
    TempDir d;
    mpls_writer::Playlist p = mpls_writer::SamplePlaylist();
    p.items[0].stn.video    = {mpls_writer::Video(0x1B, 0xB, 0xF, 0x1011)};
    p.items[0].stn.audio    = {mpls_writer::Audio(0x81, 0x7, 0x8, "jpn", 0x1100),
                               mpls_writer::Audio(0x80, 0xF, 0xD, "eng", 0x1101)};
    std::string json =
        ExpectRoundTrip(d, "p.mpls", mpls_writer::PlaylistFile(p),
                        {R"("video_format": "0xB")", R"("frame_rate": "0xF")",
                         R"("audio_presentation_type": "0x7")", R"("sampling_frequency": "0x8")",
                         R"("audio_presentation_type": "0xF")", R"("sampling_frequency": "0xD")"});

    clpi_writer::Clip c            = clpi_writer::SampleClip();
    c.program.sequences[0].streams = {clpi_writer::Video(0x1B, 0xA, 0x8, 0x5, 1, 0x1011),
                                      clpi_writer::Audio(0x80, 0x9, 0x6, "jpn", 0x1100)};
    ExpectRoundTrip(d, "c.clpi", clpi_writer::ClipFile(c),
                    {R"("video_format": "0xA")", R"("frame_rate": "0x8")",
                     R"("aspect_ratio": "0x5")", R"("audio_presentation_type": "0x9")",
                     R"("sampling_frequency": "0x6")"});

    title_writer::Index x;
    x.format = 0xC, x.rate = 0x9;
    ExpectRoundTrip(d, "index.bdmv", title_writer::IndexFile(x),
                    {R"("video_format": "0xC")", R"("frame_rate": "0x9")"});

    // "?" in older JSON still reads as 0.
    WriteFile(d.File("old.json"),
              Replaced(json, R"("sampling_frequency": "0x8")", R"("sampling_frequency": "?")"));
    ASSERT_EQ(RunVarnel({"-reverse", "old.json", "old.mpls"}, "", d.Path()).status, 0);
    ASSERT_EQ(RunVarnel({"old.mpls", "old2.json"}, "", d.Path()).status, 0);
    EXPECT_NE(ReadFile(d.File("old2.json")).find(R"("sampling_frequency": "0")"),
              std::string::npos);
}

TEST(VarnelRobustness, TextThatIsNotUtf8IsEscapedAndRebuilt)
{
    TempDir d;
    // Fixed-width names and language codes of a playlist.
    mpls_writer::Playlist p = mpls_writer::SamplePlaylist();
    p.items[0].clip.name    = std::string("\xff\xfe\x80"
                                             "ab",
                                          5);
    p.items[0].stn.pg       = {mpls_writer::Graphics(0x90, "\xe2\x82x", 0x1200),
                               mpls_writer::Graphics(0x90, "\xc3\xa9n", 0x1201)}; // valid, kept
    ExpectRoundTrip(d, "p.mpls", mpls_writer::PlaylistFile(p),
                    {R"("\udcff\udcfe\udc80ab")", R"("\udce2\udc82x")", "\"\xc3\xa9n\""});
    // A clip's ISRC strings, cut at their first zero byte.
    clpi_writer::Clip c                    = clpi_writer::SampleClip();
    c.program.sequences[0].streams[0].isrc = std::string("\xc0\xaf"
                                                         "AB\xed\xa0\x80"
                                                         "4567",
                                                         12);
    ExpectRoundTrip(d, "c.clpi", clpi_writer::ClipFile(c),
                    {R"("country_code": "\udcc0\udcaf")", R"("recording_year": "\udca0\udc80")"});
    // The strings of a BD-J object and an index title's BD-J object name.
    bdjo_writer::Bdjo b;
    bdjo_writer::App a;
    a.names   = {{"eng", "\xf4\x90\x80\x80 name"}};
    a.base    = "\xed\xb2\x80";
    a.initial = "org.Main\xff";
    b.apps    = {a};
    ExpectRoundTrip(d, "b.bdjo", bdjo_writer::BdjoFile(b),
                    {R"("\udcf4\udc90\udc80\udc80 name")", R"("\udced\udcb2\udc80")"});
    title_writer::Index x;
    x.titles = {title_writer::Title{2, 0, 0, 0, 0, 0,
                                    "0\x80"
                                    "001",
                                    0, 0}};
    ExpectRoundTrip(d, "index.bdmv", title_writer::IndexFile(x), {R"("0\udc80001")"});

    RunResult r =
        testing_support::Run("/usr/bin/python3",
                             {"-c",
                              "import json, sys\n"
                              "for name in sys.argv[1:]:\n"
                              "    json.load(open(name, encoding='utf-8'))\n",
                              "p.mpls.json", "c.clpi.json", "b.bdjo.json", "index.bdmv.json"},
                             "", d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(VarnelRobustness, PaddingBeyondTheAddressesIsRefused)
{
    TempDir d;
    WriteFile(d.File("x.mpls"), SamplePlaylistBytes());
    ASSERT_EQ(RunVarnel({"x.mpls", "s.json"}, "", d.Path()).status, 0);
    for (std::string padding : {"2000000000", "-1"}) {
        std::string modulus = padding == "-1" ? "4294967295" : padding;
        std::string why     = "Padding " + modulus +
                          " would push a section beyond the 32-bit addresses of the file!\n";
        RunResult r =
            RunVarnel({"-reverse", "s.json", "-padding", padding, "out.mpls"}, "", d.Path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, why + "Save failed: out.mpls\n");
        EXPECT_LT(r.peakKiB, PeakLimitKiB());
        EXPECT_FALSE(FileExists(d.File("out.mpls")));
        r = RunVarnel({"-selftest", "-padding", padding, "x.mpls"}, "", d.Path());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.err, why + "Save failed: x.from_mpls.mpls\n");
    }
    // The forward route ignores the padding; one that fits is applied.
    EXPECT_EQ(RunVarnel({"-padding", "-1", "x.mpls", "f.json"}, "", d.Path()).status, 0);
    RunResult r =
        RunVarnel({"-reverse", "s.json", "-padding", "1000000", "out.mpls"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(d.File("out.mpls")).size() % 1000000, 0u);
}

TEST(VarnelRobustness, LargeSampleFilesOfZerosAreRefusedQuickly)
{
    TempDir d;
    sound_writer::SoundFile sound;
    sound.sounds  = {{1, 1, 1, 0, 4}};
    sound.samples = Hex("01020304");
    WriteFile(d.File("sound.bdmv"), sound_writer::SoundBdmv(sound));
    ASSERT_EQ(RunVarnel({"sound.bdmv", "s.json"}, "", d.Path()).status, 0);
    // A "fmt " chunk whose header straddles the reader's 256 KiB buffer still reads.
    std::vector<uint8_t> chunks;
    sound_writer::Chunk(chunks, "JUNK", std::vector<uint8_t>(262120, 1));
    sound_writer::Chunk(chunks, "fmt ", sound_writer::FmtBody(1, 1, 48000, 16));
    sound_writer::Chunk(chunks, "data", Hex("02010403"));
    WriteFile(d.File("sound_000.wav"), sound_writer::Riff(chunks));
    RunResult r = RunVarnel({"-reverse", "s.json", "out.bdmv"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(d.File("out.bdmv")), ReadFile(d.File("sound.bdmv")));
    // 200 MB of zeros, with and without a RIFF header, and a sparse 3 GiB file.
    const std::string wav = d.File("sound_000.wav");
    for (std::string head : {std::string(), std::string("RIFF\xff\xff\xff\xffWAVE", 12)}) {
        WriteFile(wav, head + std::string(200 << 20, '\0'));
        for (long long size : {200LL << 20, 3LL << 30}) {
            ASSERT_EQ(truncate(wav.c_str(), size), 0);
            r = RunVarnel({"-reverse", "s.json", "out.bdmv"}, "", d.Path());
            EXPECT_EQ(r.err, "Cannot read wave file sound_000.wav!\nSave failed: out.bdmv\n");
            EXPECT_LT(r.seconds, 5.0) << head.size() << " " << size;
        }
    }
}

TEST(VarnelRobustness, SelfTestOutputsThatAreTheTestFileAreRefused)
{
    const std::string bytes = SamplePlaylistBytes();
    for (const char* output :
         {"x.json", "x.from_mpls.mpls", "x.from_json.mpls", "x.from_json.json"})
        for (bool hard : {false, true}) {
            TempDir d;
            WriteFile(d.File("x.mpls"), bytes);
            std::string link = d.File(output);
            ASSERT_EQ(hard ? ::link(d.File("x.mpls").c_str(), link.c_str())
                           : symlink("x.mpls", link.c_str()),
                      0);
            RunResult r = RunVarnel({"-selftest", "x.mpls"}, "", d.Path());
            EXPECT_EQ(r.status, 1) << output;
            EXPECT_EQ(r.err, "Cannot self-test x.mpls: writing " + std::string(output) +
                                 " would overwrite it!\n");
            EXPECT_EQ(ReadFile(d.File("x.mpls")), bytes) << output << (hard ? " (hard)" : "");
        }
}
