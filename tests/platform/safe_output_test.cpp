#include "platform/safe_output.h"
#include "tests/support/test_support.h"

#include <cstdlib>
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
    // A name too long for the temporary name beside it: the output is staged in $TMPDIR, or in
    // memory where that fails, and copied over the file itself (in pieces of 1 MiB) once
    // complete.
    TempDir d;
    const std::string target = d.File(std::string(250, 'n'));
    const char* saved        = getenv("TMPDIR");
    const std::string tmpdir = saved ? saved : "";
    std::string big(3 << 19, 'b');
    big[0] = 'B';
    for (const char* staging : {d.Path().c_str(), "/nonexistent"}) {
        WriteFile(target, std::string("old contents"));
        ino_t before = Inode(target);
        setenv("TMPDIR", staging, 1);
        SafeOutput out;
        ASSERT_TRUE(out.Open(target.c_str()));
        ASSERT_TRUE(out.Write("xew", 3));
        ASSERT_TRUE(out.WriteAt(0, "n", 1));
        EXPECT_EQ(ReadFile(target), "old contents") << "nothing shows before the commit";
        ASSERT_TRUE(out.Commit());
        EXPECT_EQ(ReadFile(target), "new") << staging;
        SafeOutput large;
        ASSERT_TRUE(large.Open(target.c_str()));
        ASSERT_TRUE(large.Write("x", 1) && large.Write(big.data() + 1, big.size() - 1));
        ASSERT_TRUE(large.WriteAt(0, "B", 1));
        ASSERT_TRUE(large.Commit());
        EXPECT_TRUE(ReadFile(target) == big) << staging;
        EXPECT_EQ(Inode(target), before);
    }
    if (saved)
        setenv("TMPDIR", tmpdir.c_str(), 1);
    else
        unsetenv("TMPDIR");
}
