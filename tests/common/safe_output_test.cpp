#include "common/safe_output.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace testing_support;

namespace
{

ino_t Inode(const std::string& path)
{
    struct stat st;
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

std::string Reason(const SafeOutput& out)
{
    CaptureOutput cap;
    out.PrintReason(stderr);
    return cap.Err();
}

} // namespace

TEST(SafeOutput, ReplacesOnlyWhenCommitted)
{
    TempDir d;
    const std::string target = d.File("out");
    WriteFile(target, std::string("old"));
    ino_t before = Inode(target);
    {
        SafeOutput out;
        ASSERT_TRUE(out.Open(target.c_str()));
        ASSERT_TRUE(out.Write("new data", 8));
        ASSERT_TRUE(out.WriteAt(0, "N", 1));
        EXPECT_EQ(ReadFile(target), "old") << "nothing shows before the commit";
        EXPECT_NE(HiddenEntries(d.Path()), "");
    } // abandoned
    EXPECT_EQ(ReadFile(target), "old");
    EXPECT_EQ(HiddenEntries(d.Path()), "");
    SafeOutput out;
    ASSERT_TRUE(out.Open(target.c_str()));
    ASSERT_TRUE(out.Write("new", 3));
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_NE(Inode(target), before) << "replaced by the temporary file";
    EXPECT_EQ(HiddenEntries(d.Path()), "");
}

TEST(SafeOutput, WritesInPlaceWhereNoTemporaryFileFits)
{
    // A name too long for the temporary name beside it: the file itself is written.
    TempDir d;
    const std::string target = d.File(std::string(250, 'n'));
    WriteFile(target, std::string("old contents"));
    ino_t before = Inode(target);
    SafeOutput out;
    ASSERT_TRUE(out.Open(target.c_str()));
    ASSERT_TRUE(out.Write("new", 3));
    ASSERT_TRUE(out.Commit());
    EXPECT_EQ(ReadFile(target), "new");
    EXPECT_EQ(Inode(target), before);
}

TEST(SafeOutput, RegularFilesOnlyRefusesLinksAndFifos)
{
    TempDir d;
    WriteFile(d.File("victim"), std::string("keep"));
    ASSERT_EQ(symlink("victim", d.File("link").c_str()), 0);
    ASSERT_EQ(mkfifo(d.File("fifo").c_str(), 0600), 0);
    for (const char* name : {"link", "fifo"}) {
        SafeOutput out;
        EXPECT_FALSE(out.Open(d.File(name).c_str(), SafeOutput::kRegularFileOnly));
        EXPECT_EQ(Reason(out), "Cannot create \"" + d.File(name) + "\": not a regular file\n");
    }
    EXPECT_EQ(ReadFile(d.File("victim")), "keep");
    SafeOutput directory;
    EXPECT_FALSE(directory.Open(d.Path().c_str()));
    EXPECT_EQ(Reason(directory), "Cannot create \"" + d.Path() + "\": Is a directory\n");
}
