#include "h264/feeders.h"
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using testing_support::TempDir;

namespace
{

std::vector<uint8_t> Pattern(size_t n)
{
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i)
        bytes[i] = uint8_t(i * 7 + i / 251);
    return bytes;
}

// Reads a feeder to its end with the given request sizes, in turn.
std::vector<uint8_t> Drain(CDataFeeder& feeder, std::vector<size_t> requests)
{
    std::vector<uint8_t> all;
    for (size_t i = 0;; ++i) {
        size_t want = requests[i % requests.size()];
        std::vector<uint8_t> block(want);
        size_t got = 0;
        feeder.Read(block.data(), want, &got);
        all.insert(all.end(), block.begin(), block.begin() + long(got));
        if (got < want)
            return all;
    }
}

} // namespace

TEST(FileFeeder, SmallAndLargeRequestsDeliverTheFileInOrder)
{
    TempDir dir;
    auto bytes = Pattern(3 * 1048576 + 123);
    testing_support::WriteFile(dir.File("a.h264"), bytes);
    for (std::vector<size_t> requests :
         {std::vector<size_t>{1}, {4096}, {100, 70000, 3, 1 << 20}, {8 << 20}}) {
        CFileFeeder feeder;
        feeder.SetFileName(dir.File("a.h264").c_str());
        ASSERT_TRUE(feeder.Start());
        EXPECT_TRUE(Drain(feeder, requests) == bytes) << requests[0];
        EXPECT_EQ(feeder.Error(), 0);
        size_t got = 1;
        EXPECT_EQ(feeder.Read(nullptr, 10, &got), 0); // ended before the call
        EXPECT_EQ(got, 0u);
        feeder.Clear();
    }
}

TEST(FileFeeder, OpenFailsWithoutAReadableFile)
{
    TempDir dir;
    CFileFeeder none;
    EXPECT_EQ(none.Start(), 0); // no name
    CFileFeeder missing;
    missing.SetFileName(dir.File("missing.h264").c_str());
    EXPECT_EQ(missing.Start(), 0);
    CFileFeeder directory;
    directory.SetFileName(dir.Path().c_str());
    EXPECT_EQ(directory.Start(), 0);
    // Reading the memory of the process at address 0 fails: a read error at the first read.
    CFileFeeder failing;
    failing.SetFileName("/proc/self/mem");
    EXPECT_EQ(failing.Start(), 0);
    EXPECT_EQ(failing.Error(), 105);
}

TEST(FileFeeder, AFifoIsReadToItsEnd)
{
    TempDir dir;
    std::string fifo = dir.File("feed");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    auto bytes = Pattern(1 << 20);
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        // Small pieces, so reads come back short.
        for (size_t at = 0; at < bytes.size(); at += 5000) {
            size_t n = std::min<size_t>(5000, bytes.size() - at);
            if (write(fd, bytes.data() + at, n) != ssize_t(n))
                break;
        }
        close(fd);
    });
    CFileFeeder feeder;
    feeder.SetFileName(fifo.c_str());
    ASSERT_TRUE(feeder.Start());
    auto got = Drain(feeder, {65536});
    writer.join();
    EXPECT_TRUE(got == bytes);
    EXPECT_EQ(feeder.Error(), 0);
}
