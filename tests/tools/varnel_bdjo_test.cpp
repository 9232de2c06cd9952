// Varnel and Corbit on BD-J object files end to end: self-test, listing, refusal.
#include "tests/disc/bdjo/bdjo_writer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using namespace bdjo_writer;
using namespace testing_support;

namespace
{

Bdjo OneApp()
{
    Bdjo b;
    b.cache     = {{1, "00000", "*.*", ""}};
    b.playlists = {"00001"};
    App a;
    a.profiles = {{1, 1, 0, 0}};
    a.names    = {{"eng", "Xlet"}};
    a.base = "00000", a.initial = "org.Main";
    a.params = {"-v"};
    b.apps   = {a};
    return b;
}

} // namespace

TEST(VarnelBdjo, SelfTestAndCorbit)
{
    TempDir dir;
    WriteFile(dir.File("00000.bdjo"), BdjoFile(OneApp()));
    RunResult r = RunVarnel({"-selftest", "00000.bdjo"}, "", dir.Path());
    ASSERT_EQ(r.status, 0) << r.err;
    size_t identical = 0;
    for (size_t at = r.out.find("are identical"); at != std::string::npos;
         at        = r.out.find("are identical", at + 1))
        ++identical;
    EXPECT_EQ(identical, 4u) << r.out;

    r = RunCorbit({"00000.bdjo"}, dir.Path());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "00000.bdjo\n");
}

TEST(VarnelBdjo, StringTooLongForItsLengthIsNotSaved)
{
    TempDir dir;
    WriteFile(dir.File("00000.bdjo"), BdjoFile(OneApp()));
    std::string json = RunVarnel({dir.File("00000.bdjo")}).out;
    size_t at        = json.find("\"base_directory\": \"00000\"");
    ASSERT_NE(at, std::string::npos);
    json.replace(at, 25, "\"base_directory\": \"" + std::string(256, 'd') + "\"");
    RunResult r = RunVarnel({"-reverse", "-", "out.bdjo"}, json, dir.Path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "Too many bytes in base_directory: 256 do not fit, at most 255!\n"
                     "Save failed: out.bdjo\n");
    EXPECT_FALSE(FileExists(dir.File("out.bdjo")));
}
