#include "common/file_errors.h"
#include "common/file_utils.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

TEST(FileUtils, PipeNamesArePureStringLogic)
{
    EXPECT_TRUE(IsNamedPipePath("\\\\.\\pipe\\feed"));
    EXPECT_TRUE(IsNamedPipePath("\\\\server/PIPE/x"));
    EXPECT_TRUE(IsNamedPipePath("\\\\srv\\/\\Pipe\\"));
    EXPECT_FALSE(IsNamedPipePath(nullptr));
    EXPECT_FALSE(IsNamedPipePath("\\\\server"));
    EXPECT_FALSE(IsNamedPipePath("\\\\server\\share\\pipe\\x"));
    EXPECT_FALSE(IsNamedPipePath("\\\\\\pipe\\x")) << "a third backslash";
    EXPECT_FALSE(IsNamedPipePath("\\\\.\\pipes\\x"));
    EXPECT_FALSE(IsNamedPipePath("//./pipe/x")) << "must start with two backslashes";
    EXPECT_FALSE(IsNamedPipePath("\\\\.\\pipe"));
}

TEST(FileUtils, ErrorTexts)
{
    EXPECT_STREQ(FileErrorText(101), "Cannot open file!");
    EXPECT_STREQ(FileErrorText(105), "File read error!");
    EXPECT_STREQ(FileErrorText(200), "Memory error!");
    EXPECT_STREQ(FileErrorText(201), "null-pointer access!");
    EXPECT_EQ(FileErrorText(0), nullptr);
}

namespace
{

std::string Report(const std::string& a, const std::string& b)
{
    CaptureOutput cap;
    ReportComparison(stdout, a.c_str(), b.c_str());
    return cap.Out();
}

} // namespace

TEST(FileUtils, ComparisonLines)
{
    TempDir d;
    WriteFile(d.File("e1"), "");
    WriteFile(d.File("e2"), "");
    WriteFile(d.File("abc"), "abc");
    WriteFile(d.File("abd"), "abd");
    WriteFile(d.File("abcde"), "abcde");
    WriteFile(d.File("xbcde"), "xbcde0");
    std::string e1 = d.File("e1"), e2 = d.File("e2"), abc = d.File("abc"), abd = d.File("abd");
    std::string abcde = d.File("abcde"), xb = d.File("xbcde");

    EXPECT_EQ(Report(e1, e2), e1 + " (0) and " + e2 + " (0) are identical.\n");
    EXPECT_EQ(Report(abc, abd), abc + " (3) and " + abd + " (3) differ at position 2.\n");
    EXPECT_EQ(Report(abc, abcde),
              abc + " (3) and " + abcde + " (5) have different lengths with identical subset.\n");
    EXPECT_EQ(Report(abcde, abc),
              abcde + " (5) and " + abc + " (3) have different lengths with identical subset.\n");
    EXPECT_EQ(Report(abc, xb), abc + " (3) and " + xb + " (6) differ at position 0.\n");

    uint64_t sa = 9, sb = 9, pos = 9;
    EXPECT_EQ(CompareFiles(abc.c_str(), abd.c_str(), &sa, &sb, &pos), 1);
    EXPECT_EQ(CompareFiles(abd.c_str(), abc.c_str(), &sa, &sb, &pos), -1);
    EXPECT_EQ(CompareFiles(abc.c_str(), abcde.c_str(), &sa, &sb, &pos), 1);
    EXPECT_EQ(pos, 3u);
}

TEST(FileUtils, ComparisonThatCannotBeMadeSaysWhy)
{
    TempDir d;
    WriteFile(d.File("a"), "a");
    std::string a = d.File("a"), missing = d.File("missing");
    EXPECT_EQ(CompareFiles(a.c_str(), missing.c_str(), nullptr, nullptr, nullptr), 101);
    EXPECT_EQ(CompareFiles(missing.c_str(), a.c_str(), nullptr, nullptr, nullptr), 101);
    EXPECT_EQ(Report(a, missing),
              a + " and " + missing + " could not be compared: Cannot open file!\n");
    EXPECT_EQ(Report(d.Path(), a),
              d.Path() + " and " + a + " could not be compared: Cannot open file!\n");
}

TEST(FileUtils, MultiMegabyteFilesCompareInChunks)
{
    TempDir d;
    std::string big(3 * kCompareChunkSize, 'x');
    for (size_t i = 0; i < big.size(); i += 4093)
        big[i] = char(i);
    WriteFile(d.File("a"), big);
    WriteFile(d.File("b"), big);
    std::string a = d.File("a"), b = d.File("b");
    EXPECT_EQ(Report(a, b), a + " (3145728) and " + b + " (3145728) are identical.\n");
    big[2 * kCompareChunkSize + 5] ^= 1;
    WriteFile(d.File("b"), big);
    EXPECT_EQ(Report(a, b), a + " (3145728) and " + b + " (3145728) differ at position 2097157.\n");
    WriteFile(d.File("b"), big.substr(0, kCompareChunkSize * 2));
    big[2 * kCompareChunkSize + 5] ^= 1;
    EXPECT_EQ(Report(a, b), a + " (3145728) and " + b +
                                " (2097152) have different lengths with identical subset.\n");
}

TEST(FileUtils, FifoIsReadToItsEnd)
{
    TempDir d;
    std::string fifo = d.File("fifo"), file = d.File("file");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string data(300000, 'q');
    WriteFile(file, data);
    std::thread writer([&] { WriteFile(fifo, data); });
    uint64_t sa = 0, sb = 0, pos = 0;
    int r = CompareFiles(file.c_str(), fifo.c_str(), &sa, &sb, &pos);
    writer.join();
    EXPECT_EQ(r, 0);
    EXPECT_EQ(sa, data.size());
    EXPECT_EQ(sb, data.size()) << "a pipe's size is what it delivered";

    FileHandle h = kInvalidFileHandle;
    std::thread writer2([&] { WriteFile(fifo, "hello"); });
    h = OpenForRead(fifo.c_str());
    ASSERT_NE(h, kInvalidFileHandle);
    uint8_t buf[64];
    size_t n = 0;
    EXPECT_EQ(ReadChunk(h, buf, sizeof buf, &n), 0) << "a closed writer ends the data";
    writer2.join();
    EXPECT_EQ(n, 5u);
    CloseFileHandle(h);
}

TEST(FileUtils, PipeNameWaitsUntilItExists)
{
    TempDir d;
    const std::string name = "\\\\.\\pipe\\feed";
    ASSERT_TRUE(IsNamedPipePath(name.c_str()));
    std::string path = d.File(name);
    std::thread creator([&] {
        usleep(250000);
        WriteFile(path, "data");
    });
    ASSERT_EQ(chdir(d.Path().c_str()), 0);
    FileHandle h = OpenForRead(name.c_str());
    creator.join();
    ASSERT_EQ(chdir("/"), 0);
    ASSERT_NE(h, kInvalidFileHandle) << "retried until the name appeared";
    CloseFileHandle(h);
    EXPECT_EQ(OpenForRead(d.File("plain-missing").c_str()), kInvalidFileHandle);
}
