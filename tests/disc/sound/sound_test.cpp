// sound.bdmv with its sample files, through varnel and in process.
#include "tests/disc/sound/sound_writer.h"
#include "tests/support/json_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace sound_writer;
using namespace testing_support;

namespace
{

// A mono sound of 5 bytes and a stereo sound of 8 bytes, laid out as a build lays them out.
SoundFile TwoSounds()
{
    SoundFile f;
    f.sounds  = {{1, 1, 1, 0, 5}, {3, 1, 1, 8, 8}};
    f.samples = Hex("0102 0304 0500 0000  1112 1314 1516 1718");
    return f;
}

std::string Str(const std::vector<uint8_t>& b) { return ToString(b); }

} // namespace

TEST(Sound, SamplesGoToWaveFilesAndComeBack)
{
    TempDir d;
    ASSERT_EQ(mkdir(d.File("out").c_str(), 0755), 0);
    std::vector<uint8_t> bytes = SoundBdmv(TwoSounds());
    WriteFile(d.File("sound.bdmv"), bytes);
    RunResult r = RunVarnel({"sound.bdmv", "out/sound.json"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    // The odd data chunk takes a pad byte.
    EXPECT_EQ(ReadFile(d.File("out/sound_000.wav")), Str(Wave(1, Hex("0102030405"))));
    EXPECT_EQ(ReadFile(d.File("out/sound_001.wav")), Str(Wave(2, Hex("1112131415161718"))));
    JDoc doc;
    ASSERT_TRUE(ParseJsonText(ReadFile(d.File("out/sound.json")), doc));
    const std::string json = CompactText(doc);
    EXPECT_EQ(json, R"({"BCLK":{"version_number":"0200","reserved_header":[0],"SoundIndex":{)"
                    R"("reserved":0,"sound_attributes":[{"channel_configuration":1,)"
                    R"("sampling_frequency":1,"bits_per_sample":1,"filename":"sound_000.wav"},)"
                    R"({"channel_configuration":3,"sampling_frequency":1,"bits_per_sample":1,)"
                    R"("filename":"sound_001.wav"}]}}})");

    // The reverse route reads the samples from beside the JSON.
    r = RunVarnel({"-reverse", "out/sound.json", "rebuilt.bdmv"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(d.File("rebuilt.bdmv")), Str(bytes));

    // The sample area and ExtensionData start at multiples of the padding.
    r = RunVarnel({"-reverse", "out/sound.json", "-padding", "16", "padded.bdmv"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    SoundFile expected = TwoSounds();
    expected.padding   = 16;
    EXPECT_EQ(ReadFile(d.File("padded.bdmv")), Str(SoundBdmv(expected)));

    // A sound without "filename" reads no file and builds with start and length 0.
    WriteFile(d.File("out/noname.json"), Replaced(json, R"(,"filename":"sound_000.wav")", ""));
    r = RunVarnel({"-reverse", "out/noname.json", "noname.bdmv"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    expected.sounds  = {{1, 1, 1, 0, 0}, {3, 1, 1, 0, 8}};
    expected.samples = Hex("1112 1314 1516 1718");
    expected.padding = 0;
    EXPECT_EQ(ReadFile(d.File("noname.bdmv")), Str(SoundBdmv(expected)));
}

TEST(Sound, WaveFormatRefusals)
{
    TempDir d;
    SoundFile f;
    f.sounds  = {{1, 1, 1, 0, 4}};
    f.samples = Hex("01020304");
    WriteFile(d.File("s.bdmv"), SoundBdmv(f));
    ASSERT_EQ(RunVarnel({"s.bdmv", "s.json"}, "", d.Path()).status, 0);
    std::vector<uint8_t> data;
    Chunk(data, "data", Hex("02010403"));
    auto attempt = [&](const std::vector<uint8_t>& wave) {
        WriteFile(d.File("sound_000.wav"), wave);
        RunResult r = RunVarnel({"-reverse", "s.json", "out.bdmv"}, "", d.Path());
        EXPECT_EQ(r.status, 1);
        return r.err;
    };
    auto withFmt = [&](const std::vector<uint8_t>& fmt) {
        std::vector<uint8_t> chunks;
        Chunk(chunks, "fmt ", fmt);
        chunks.insert(chunks.end(), data.begin(), data.end());
        return Riff(chunks);
    };
    const std::string improper = "Improper wave file format", failed = "!\nSave failed: out.bdmv\n";
    EXPECT_EQ(attempt(withFmt(FmtBody(3, 1, 48000, 16))), improper + failed);
    EXPECT_EQ(attempt(withFmt(FmtBody(1, 2, 48000, 16))),
              improper + " - only mono or stereo is supported" + failed);
    EXPECT_EQ(attempt(withFmt(FmtBody(1, 1, 44100, 16))),
              improper + " - only 48kHz is supported" + failed);
    EXPECT_EQ(attempt(withFmt(FmtBody(1, 1, 48000, 24))),
              improper + " - only 16-bit is supported" + failed);
    // No fmt chunk, no data chunk, no WAVE form, a fmt chunk that claims more than the file
    // holds, an empty file.
    std::vector<uint8_t> fmtOnly, shortFmt = Riff({});
    Chunk(fmtOnly, "fmt ", FmtBody(1, 1, 48000, 16));
    shortFmt.insert(shortFmt.end(), {'f', 'm', 't', ' ', 0xFF, 0xFF, 0xFF, 0x7F, 1, 0});
    for (const auto& wave : {Riff(data), Riff(fmtOnly), Riff(fmtOnly, "AVI "), shortFmt, {}})
        EXPECT_EQ(attempt(wave), "Cannot read wave file sound_000.wav" + failed);
    unlink(d.File("sound_000.wav").c_str());
    RunResult r = RunVarnel({"-reverse", "s.json", "out.bdmv"}, "", d.Path());
    EXPECT_EQ(r.err, "Cannot open file sound_000.wav" + failed);

    // A sampling_frequency other than 48 kHz fails even with a 48000 Hz file.
    std::string json = ReadFile(d.File("s.json"));
    json.replace(json.find("\"sampling_frequency\": 1"), 23, "\"sampling_frequency\": 2");
    WriteFile(d.File("f2.json"), json);
    WriteFile(d.File("sound_000.wav"), withFmt(FmtBody(1, 1, 48000, 16)));
    r = RunVarnel({"-reverse", "f2.json", "out.bdmv"}, "", d.Path());
    EXPECT_EQ(r.err, improper + " - only 48kHz is supported" + failed);

    // Extensible and chunk-rich files read: the record's first 18 bytes are used, other chunks
    // are skipped.
    std::vector<uint8_t> rich;
    Chunk(rich, "LIST", Hex("494e464f"));
    Chunk(rich, "fmt ", FmtBody(1, 1, 48000, 16, 24));
    Chunk(rich, "junk", Hex("01"));
    rich.insert(rich.end(), data.begin(), data.end());
    WriteFile(d.File("sound_000.wav"), Riff(rich));
    r = RunVarnel({"-reverse", "s.json", "ok.bdmv"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(ReadFile(d.File("ok.bdmv")), Str(SoundBdmv(f)));
}

TEST(Sound, HostileFilesAndNames)
{
    TempDir d;
    // A sound reaching 4 GiB past the end of a small file: refused before any file is made.
    SoundFile f;
    f.sounds  = {{1, 1, 1, 0, 0xFFFFFFF0u}};
    f.samples = Hex("01020304");
    WriteFile(d.File("big.bdmv"), SoundBdmv(f));
    RunResult r = RunVarnel({"big.bdmv", "big.json"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Samples of sound_000.wav lie outside the file!\nParse failed: big.bdmv\n");
    EXPECT_FALSE(FileExists(d.File("sound_000.wav")));
    ExpectBoundedFailure(SoundBdmv(f), "huge.bdmv");

    // A planted symbolic link is not followed.
    WriteFile(d.File("victim"), std::string("keep"));
    ASSERT_EQ(symlink("victim", d.File("sound_000.wav").c_str()), 0);
    WriteFile(d.File("s.bdmv"), SoundBdmv(TwoSounds()));
    r = RunVarnel({"s.bdmv", "s.json"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot create file sound_000.wav!\n"
                     "Cannot create \"sound_000.wav\": not a regular file\n"
                     "Parse failed: s.bdmv\n");
    EXPECT_EQ(ReadFile(d.File("victim")), "keep");
    unlink(d.File("sound_000.wav").c_str());

    // Names from JSON must be plain file names.
    ASSERT_EQ(RunVarnel({"s.bdmv", "s.json"}, "", d.Path()).status, 0);
    std::string json = ReadFile(d.File("s.json"));
    for (const char* bad : {"../sound_000.wav", "/etc/passwd", "a\\\\b.wav", "..", "."}) {
        std::string edited = json;
        edited.replace(edited.find("sound_001.wav"), 13, bad);
        WriteFile(d.File("bad.json"), edited);
        r = RunVarnel({"-reverse", "bad.json", "out.bdmv"}, "", d.Path());
        EXPECT_EQ(r.status, 1) << bad;
        EXPECT_EQ(r.err.substr(0, 26), "Improper sample file name ") << r.err;
    }

    // A write that fails (file size limit) fails the parse instead of leaving a cut file.
    SoundFile large;
    large.sounds  = {{1, 1, 1, 0, 4000}};
    large.samples = std::vector<uint8_t>(4000, 7);
    WriteFile(d.File("large.bdmv"), SoundBdmv(large));
    const std::string before = ReadFile(d.File("sound_000.wav"));
    r                        = testing_support::Run(
                               "/bin/sh",
                               {"-c", std::string("ulimit -f 2; exec ") + VARNEL_EXE + " large.bdmv large.json"}, "",
                               d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot write file sound_000.wav!\n"
                     "Cannot write \"sound_000.wav\": File too large\n"
                     "Parse failed: large.bdmv\n");
    // The previous sample file stays as it was, and no temporary file is left.
    EXPECT_EQ(ReadFile(d.File("sound_000.wav")), before);
    EXPECT_EQ(HiddenEntries(d.Path()), "");

    // Sample files are regular files of the JSON's directory: a link out of it is not read,
    // and a FIFO under a sample name is neither written nor read (nothing waits on it).
    WriteFile(d.File("elsewhere.wav"), ReadFile(d.File("sound_000.wav")));
    unlink(d.File("sound_000.wav").c_str());
    ASSERT_EQ(symlink("elsewhere.wav", d.File("sound_000.wav").c_str()), 0);
    r = RunVarnel({"-reverse", "s.json", "out.bdmv"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Cannot open file sound_000.wav!\nSave failed: out.bdmv\n");
    unlink(d.File("sound_000.wav").c_str());
    ASSERT_EQ(mkfifo(d.File("sound_000.wav").c_str(), 0644), 0);
    r = RunVarnel({"-reverse", "s.json", "out.bdmv"}, "", d.Path());
    EXPECT_EQ(r.err, "Cannot open file sound_000.wav!\nSave failed: out.bdmv\n");
    r = RunVarnel({"s.bdmv", "s2.json"}, "", d.Path());
    EXPECT_EQ(r.err, "Cannot create file sound_000.wav!\n"
                     "Cannot create \"sound_000.wav\": not a regular file\n"
                     "Parse failed: s.bdmv\n");
}

TEST(Sound, WhatIsNotWritten)
{
    TempDir d;
    // No sample area: no files, and the sounds get no file names.
    SoundFile f   = TwoSounds();
    f.withSamples = false;
    WriteFile(d.File("n.bdmv"), SoundBdmv(f));
    RunResult r = RunVarnel({"n.bdmv", "n.json"}, "", d.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_FALSE(FileExists(d.File("sound_000.wav")));
    EXPECT_NE(ReadFile(d.File("n.json")).find("\"filename\": \"\""), std::string::npos);

    // corbit only prints.
    WriteFile(d.File("s.bdmv"), SoundBdmv(TwoSounds()));
    r = RunCorbit({"s.bdmv"}, d.Path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "s.bdmv\n");
    EXPECT_FALSE(FileExists(d.File("sound_000.wav")));

    // A JSON without SoundIndex would build a file with every sound lost.
    WriteFile(d.File("x.json"), std::string(R"({"BCLK":{"version_number":"0200"}})"));
    r = RunVarnel({"-reverse", "x.json", "x.bdmv"}, "", d.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Failed to read SoundIndex!\nParse failed: x.json\n");
    EXPECT_FALSE(FileExists(d.File("x.bdmv")));
    WriteFile(d.File("x.json"),
              std::string(R"({"BCLK":{"version_number":"0200","SoundIndex":5}})"));
    r = RunVarnel({"-reverse", "x.json", "x.bdmv"}, "", d.Path());
    EXPECT_EQ(r.err, "Failed to read SoundIndex!\nParse failed: x.json\n");

    // Without file names a build reads no stale sample file lying beside the JSON.
    WriteFile(d.File("sound_000.wav"), std::string("stale"));
    r = RunVarnel({"-reverse", "n.json", "n2.bdmv"}, "", d.Path());
    EXPECT_EQ(r.status, 0) << r.err;
}

TEST(Sound, BuildRefusesMoreSoundsThanTheCountHolds)
{
    CBDMV bdmv;
    memcpy(bdmv.m_typeCode, "BCLK", 4);
    bdmv.m_sound.SoundIndex.m_sounds.resize(256);
    for (CSoundAttributes& s : bdmv.m_sound.SoundIndex.m_sounds)
        s.filename.clear();
    EXPECT_EQ(Built(bdmv).err, "Too many sounds: 256 do not fit, at most 255!\n");
}
