#include "platform/crt_compat.h"

#include <gtest/gtest.h>

TEST(CrtCompat, CaseInsensitiveCompareAndPaths)
{
    EXPECT_EQ(_stricmp("-REVERSE", "-reverse"), 0);
    EXPECT_NE(_stricmp("-reverse2", "-reverse"), 0);
    EXPECT_EQ(_strnicmp("PIPE\\x", "pipe/", 4), 0);
    EXPECT_EQ(PathDirectory("out/dir/x.json"), "out/dir/");
    EXPECT_EQ(PathDirectory("x.json"), "");
    EXPECT_EQ(PathDirectory("/x"), "/");
    EXPECT_EQ(ProgramName("/usr/bin/varnel"), "varnel");
    EXPECT_EQ(ProgramName("C:\\tools\\varnel.exe"), "varnel.exe");
    EXPECT_EQ(ProgramName("varnel"), "varnel");
}
