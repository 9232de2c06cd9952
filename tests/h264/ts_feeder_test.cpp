// Transport-stream feeder on files built here: packet sizes, reads of every size, the end and
// the failures, and the stream-type choice for files and FIFOs.
#include "h264/nal_stream_buffer.h"
#include "h264/ts_feeder.h"
#include "tests/h264/ts_writer.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <map>
#include <sys/stat.h>
#include <thread>

using namespace ts_writer;
using testing_support::TempDir;

namespace
{

Bytes Data(size_t n, uint8_t seed)
{
    Bytes d(n);
    for (size_t i = 0; i < n; ++i)
        d[i] = uint8_t(seed + i * 13);
    return d;
}

struct Stream {
    std::vector<Bytes> packets;
    Bytes es;                    // the wanted stream's payload
    std::map<uint16_t, int> pes; // PES packets by PID

    Stream& Add(const std::vector<Bytes>& list)
    {
        packets.insert(packets.end(), list.begin(), list.end());
        return *this;
    }
    Stream& Header(const std::vector<PmtStream>& streams)
    {
        Add(Psi(0, Pat({{1, 0x100}})));
        return Add(Psi(0x100, Pmt(1, streams)));
    }
    Stream& Video(uint16_t pid, size_t n, uint8_t seed, bool wanted = true)
    {
        Bytes d = Data(n, seed);
        if (wanted)
            es.insert(es.end(), d.begin(), d.end());
        ++pes[pid];
        return Add(Pes(pid, d));
    }
    // The packets, each behind a 4-byte header when m2ts.
    Bytes File(bool m2ts = false) const
    {
        Bytes out;
        uint32_t ats = 0x01020304;
        for (const Bytes& p : packets) {
            if (m2ts)
                out.insert(out.end(), {uint8_t(ats >> 24), uint8_t(ats >> 16), uint8_t(ats >> 8),
                                       uint8_t(ats)});
            out.insert(out.end(), p.begin(), p.end());
            ats += 1000;
        }
        return out;
    }
};

// Everything the feeder delivers, in reads of the given size; *error is its Error() after.
Bytes ReadAll(CTSDemuxFeeder& feeder, size_t block, int* error = nullptr)
{
    Bytes out, buf(block);
    size_t got = 0;
    while (feeder.Read(buf.data(), block, &got) && got > 0)
        out.insert(out.end(), buf.begin(), buf.begin() + got);
    if (error)
        *error = feeder.Error();
    return out;
}

Stream TwoProgramsOfVideo()
{
    Stream s;
    s.Header({{0x0F, 0x1100}, {0x1B, 0x1011}});
    for (int i = 0; i < 40; ++i) {
        s.Video(0x1011, 100 + 97 * i, uint8_t(i));
        s.Video(0x1100, 50, 0, false);
    }
    return s;
}

} // namespace

TEST(CTSDemuxFeeder, DeliversThePayloadInReadsOfAnySize)
{
    TempDir dir;
    Stream s = TwoProgramsOfVideo();
    for (bool m2ts : {false, true}) {
        testing_support::WriteFile(dir.File("x"), s.File(m2ts));
        for (size_t block : {1, 7, 184, 185, 4096, 65536}) {
            CTSDemuxFeeder feeder;
            feeder.SetSource(dir.File("x").c_str(), kStreamTypeH264);
            ASSERT_EQ(feeder.Start(), 1);
            int error = -1;
            EXPECT_EQ(ReadAll(feeder, block, &error), s.es) << m2ts << " " << block;
            EXPECT_EQ(error, 0);
            size_t got = 1;
            EXPECT_EQ(feeder.Read(nullptr, 10, &got), 0);
            EXPECT_EQ(got, 0u);
            EXPECT_EQ(feeder.Clear(), 1);
            EXPECT_EQ(feeder.Close(), 0);
        }
    }
    // Skipping without a destination.
    testing_support::WriteFile(dir.File("x"), s.File());
    CTSDemuxFeeder feeder;
    feeder.SetSource(dir.File("x").c_str(), kStreamTypeH264);
    ASSERT_EQ(feeder.Start(), 1);
    size_t got = 0;
    EXPECT_EQ(feeder.Read(nullptr, 5000, &got), 1);
    EXPECT_EQ(got, 5000u);
    EXPECT_EQ(ReadAll(feeder, 333), Bytes(s.es.begin() + 5000, s.es.end()));
}

TEST(CTSDemuxFeeder, EndsAndFailures)
{
    TempDir dir;
    std::string name = dir.File("x");
    auto open        = [&](const Bytes& file, CTSDemuxFeeder& feeder) {
        testing_support::WriteFile(name, file);
        feeder.SetSource(name.c_str(), kStreamTypeH264);
        return feeder.Start();
    };
    Stream s   = TwoProgramsOfVideo();
    Bytes file = s.File(true);
    {
        // A file cut inside its last packet (of video: the audio packet behind it goes too)
        // ends normally, without that packet's payload.
        CTSDemuxFeeder feeder;
        ASSERT_EQ(open(Bytes(file.begin(), file.end() - 192 - 100), feeder), 1);
        int error = -1;
        Bytes got = ReadAll(feeder, 4096, &error);
        EXPECT_EQ(error, 0);
        EXPECT_LT(got.size(), s.es.size());
        EXPECT_EQ(got, Bytes(s.es.begin(), s.es.begin() + got.size()));
    }
    {
        // A failure in the middle: what the packets before it carried, then the error.
        Stream bad = s;
        size_t at  = bad.packets.size() / 2;
        bad.packets[at][1] |= 0x80;
        Stream before;
        before.packets.assign(s.packets.begin(), s.packets.begin() + at);
        CTSDemuxFeeder feeder, reference;
        ASSERT_EQ(open(before.File(), reference), 1);
        Bytes want = ReadAll(reference, 4096);
        ASSERT_EQ(open(bad.File(), feeder), 1);
        int error = 0;
        EXPECT_EQ(ReadAll(feeder, 1000, &error), want);
        EXPECT_EQ(error, 105);
        size_t got = 1;
        EXPECT_EQ(feeder.Read(want.data(), 10, &got), 0);
        EXPECT_EQ(got, 0u);
    }
    {
        // Before any payload: the feeder does not open.
        Stream bad        = s;
        bad.packets[2][0] = 0x46;
        CTSDemuxFeeder feeder;
        EXPECT_EQ(open(bad.File(), feeder), 0);
        EXPECT_EQ(feeder.Error(), 105);
    }
    for (Bytes start : {Bytes{0x47, 0, 0, 0, 0x47}, Bytes{0, 0, 0, 1, 0x09}}) {
        // No packet size: 0x47 at both bytes 0 and 4, or at neither.
        start.resize(400, 0x47);
        CTSDemuxFeeder feeder;
        EXPECT_EQ(open(start, feeder), 0);
    }
    for (size_t n : {0, 100, 187}) {
        // Less than a packet: no data, no error.
        CTSDemuxFeeder feeder;
        ASSERT_EQ(open(Bytes(file.begin(), file.begin() + n), feeder), 1);
        int error = -1;
        EXPECT_TRUE(ReadAll(feeder, 100, &error).empty());
        EXPECT_EQ(error, 0);
    }
    CTSDemuxFeeder unnamed;
    EXPECT_EQ(unnamed.Start(), 0);
    unnamed.SetSource(dir.File("missing").c_str(), kStreamTypeH264);
    EXPECT_EQ(unnamed.Start(), 0);
}

TEST(CTSDemuxFeeder, StreamTypeOfFilesAndFifos)
{
    TempDir dir;
    Stream both, mvcOnly, late;
    both.Header({{0x1B, 0x1011}, {0x20, 0x1012}});
    mvcOnly.Header({{0x20, 0x1012}});
    // A dependent view that only a later PMT of another program lists.
    late.Add(Psi(0, Pat({{1, 0x100}, {2, 0x200}}))).Add(Psi(0x100, Pmt(1, {{0x1B, 0x1011}})));
    for (int i = 0; i < 60; ++i) {
        both.Video(0x1011, 300, 1, false).Video(0x1012, 300, 2, false);
        mvcOnly.Video(0x1012, 300, 2, false);
        late.Video(0x1011, 300, 1, false).Video(0x1012, 300, 2, false);
        if (i == 30)
            late.Add(Psi(0x200, Pmt(2, {{0x20, 0x1012}})));
    }
    struct Case {
        const Stream& stream;
        bool baseViewOnly, preferMvc;
        uint8_t file, fifo;
    } cases[] = {
        {both, false, false, 0x1B, 0x1B},   {both, false, true, 0x20, 0x20},
        {both, true, true, 0x1B, 0x1B},     {mvcOnly, false, false, 0x20, 0x20},
        {mvcOnly, true, false, 0x1B, 0x1B}, {late, false, true, 0x20, 0x1B},
    };
    for (const Case& c : cases) {
        std::string file = dir.File("x");
        Bytes bytes      = c.stream.File(true);
        testing_support::WriteFile(file, bytes);
        std::unique_ptr<CTSDemuxFeeder> f(
            NewTransportStreamFeeder(file.c_str(), c.baseViewOnly, c.preferMvc));
        ASSERT_TRUE(f);
        EXPECT_EQ(f->StreamType(), c.file);
        ASSERT_EQ(f->Start(), 1);
        EXPECT_EQ(f->StreamType(), c.file);

        std::string fifo = dir.File("fifo");
        unlink(fifo.c_str());
        ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
        std::thread writer([&] { testing_support::WriteFile(fifo, bytes); });
        std::unique_ptr<CTSDemuxFeeder> g(
            NewTransportStreamFeeder(fifo.c_str(), c.baseViewOnly, c.preferMvc));
        ASSERT_TRUE(g);
        ASSERT_EQ(g->Start(), 1);
        EXPECT_EQ(g->StreamType(), c.fifo);
        // Everything of the chosen stream arrives: nothing was taken by a first pass.
        Bytes want;
        for (int i = c.stream.pes.count(c.fifo == 0x20 ? 0x1012 : 0x1011)
                         ? c.stream.pes.at(c.fifo == 0x20 ? 0x1012 : 0x1011)
                         : 0;
             i > 0; --i) {
            Bytes d = Data(300, c.fifo == 0x20 ? 2 : 1);
            want.insert(want.end(), d.begin(), d.end());
        }
        EXPECT_EQ(ReadAll(*g, 65536), want);
        writer.join();
    }
}
