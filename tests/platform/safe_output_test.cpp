#include "platform/safe_output.h"
#include "tests/support/test_support.h"

#include <cstdlib>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
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

TEST(SafeOutput, WritesInPlaceWhereTheDirectoryTakesNoNewFile)
{
    // The target may be written but its directory takes no new file (for another user when
    // the test runs as root, who may add files anywhere): the output is staged in $TMPDIR, or
    // in memory where that fails, and copied over the file itself (in pieces of 1 MiB) once
    // complete. Checked in a child process that has that user's rights.
    TempDir d;
    const std::string dir = d.File("dir"), target = dir + "/out", staging = d.File("tmp");
    const uid_t user = geteuid() == 0 ? 65534 : geteuid();
    ASSERT_TRUE(chmod(d.Path().c_str(), 0755) == 0 && mkdir(dir.c_str(), 0755) == 0 &&
                mkdir(staging.c_str(), 0) == 0 && chmod(staging.c_str(), 01777) == 0);
    WriteFile(target, std::string());
    ASSERT_EQ(chown(target.c_str(), user, user), 0);
    ASSERT_EQ(chmod(dir.c_str(), 0555), 0);
    pid_t child = fork();
    if (child == 0) {
        if (user != geteuid() && (setgroups(0, nullptr) != 0 || setgid(user) != 0 ||
                                  setuid(user) != 0 || access(dir.c_str(), W_OK) == 0))
            _exit(2);
        std::string big(3 << 19, 'b');
        big[0] = 'B';
        for (const char* tmpdir : {staging.c_str(), "/nonexistent"}) {
            WriteFile(target, std::string("old contents"));
            ino_t before = Inode(target);
            setenv("TMPDIR", tmpdir, 1);
            SafeOutput out;
            EXPECT_TRUE(out.Open(target.c_str()));
            EXPECT_TRUE(out.Write("xew", 3) && out.WriteAt(0, "n", 1));
            EXPECT_EQ(ReadFile(target), "old contents") << "nothing shows before the commit";
            EXPECT_TRUE(out.Commit());
            EXPECT_EQ(ReadFile(target), "new") << tmpdir;
            SafeOutput large;
            EXPECT_TRUE(large.Open(target.c_str()));
            EXPECT_TRUE(large.Write("x", 1) && large.Write(big.data() + 1, big.size() - 1));
            EXPECT_TRUE(large.WriteAt(0, "B", 1) && large.Commit());
            EXPECT_TRUE(ReadFile(target) == big) << tmpdir;
            EXPECT_EQ(Inode(target), before);
        }
        _exit(testing::Test::HasFailure() ? 1 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child status " << status;
    EXPECT_EQ(HiddenEntries(dir), "");
    EXPECT_EQ(testing_support::Run("/bin/ls", {"-A", staging}).out, "");
    chmod(dir.c_str(), 0755);
}
