// Transport-stream demultiplexer on packets built here: PSI collection and its refusals, PES
// headers, the wanted stream's payload, the stream-type choice, the sink and the reader.
#include "h264/ts_demux.h"
#include "tests/h264/ts_writer.h"
#include "tests/support/test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <thread>
#include <unistd.h>

using namespace ts_writer;

namespace
{

constexpr uint16_t kPmtPid = 0x100;

// Feeds packets and collects what reaches the sink, through a target of a chosen size.
struct Demux {
    TsDemultiplexer demux;
    Bytes out;
    int result     = 0;
    size_t packets = 0;

    explicit Demux(uint8_t wanted = kStreamTypeH264) { demux.m_wantedType = wanted; }

    // Processes the packets until one fails; returns that packet's result.
    int Feed(const std::vector<Bytes>& list)
    {
        for (const Bytes& p : list) {
            uint8_t room[512];
            demux.Sink().SetTarget(room, sizeof room);
            result = demux.ProcessPacket(p.data());
            out.insert(out.end(), room, room + demux.Sink().TargetUsed());
            Bytes spill(demux.Sink().Held());
            demux.Sink().Take(spill.data(), spill.size());
            out.insert(out.end(), spill.begin(), spill.end());
            if (result != 0)
                return result;
            ++packets;
        }
        return 0;
    }
    int Feed(const Bytes& p) { return Feed(std::vector<Bytes>{p}); }
};

std::vector<Bytes> Cat(std::initializer_list<std::vector<Bytes>> parts)
{
    std::vector<Bytes> out;
    for (auto& part : parts)
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

Bytes Data(size_t n, uint8_t seed)
{
    Bytes d(n);
    for (size_t i = 0; i < n; ++i)
        d[i] = uint8_t(seed + i * 7);
    return d;
}

std::vector<Bytes> Header(const std::vector<PmtStream>& streams, size_t pad = 0)
{
    return Cat({Psi(0, Pat({{1, kPmtPid}})), Psi(kPmtPid, Pmt(1, streams, pad))});
}

// A PSI packet whose section bytes are given raw (behind a pointer_field of 0).
Bytes RawSection(uint16_t pid, const Bytes& section)
{
    Packet p;
    p.pid       = pid;
    p.unitStart = true;
    p.payload   = {0x00};
    p.payload.insert(p.payload.end(), section.begin(), section.end());
    p.payload.resize(184, 0xFF);
    return Build(p);
}

Bytes Patched(Bytes section, size_t at, uint8_t value)
{
    section[at] = value;
    return section;
}

} // namespace

TEST(TsDemultiplexer, DeliversTheWantedStreamBehindItsPesHeaders)
{
    Bytes a = Data(1000, 1), b = Data(37, 2), c = Data(184 * 2 - 14, 3);
    Demux run;
    ASSERT_EQ(run.Feed(Cat({Header({{0x0F, 0x1100}, {0x1B, 0x1011}}), Pes(0x1011, a),
                            Pes(0x1100, Data(300, 9)), Pes(0x1011, b), Pes(0x1011, c, 184, 20)})),
              0);
    Bytes want = a;
    want.insert(want.end(), b.begin(), b.end());
    want.insert(want.end(), c.begin(), c.end());
    EXPECT_EQ(run.out, want);

    const TsStreamRecord& video = run.demux.m_streams.at(0x1011);
    EXPECT_EQ(video.program_number, 1);
    EXPECT_EQ(video.stream_type, 0x1B);
    EXPECT_EQ(video.m_trackIndex, 2);
    EXPECT_EQ(video.stream_id, 0xE0);
    EXPECT_EQ(video.m_pesCount, 3u);
    EXPECT_EQ(run.demux.m_streams.at(0x1100).m_trackIndex, 1);
    EXPECT_EQ(run.demux.m_streams.at(0x1100).m_pesCount, 1u);
    EXPECT_EQ(run.demux.m_streams.at(kPmtPid).stream_type, 0xFF);
    EXPECT_TRUE(run.demux.HasStreamType(0x0F));
    EXPECT_FALSE(run.demux.HasStreamType(0x20));
    EXPECT_TRUE(run.demux.m_sinkAssigned);
}

TEST(TsDemultiplexer, PacketsThatCarryNothing)
{
    Bytes a = Data(400, 5);
    // Before the PAT the PIDs are unknown; null packets, adaptation-only packets and payload
    // ahead of the PID's first PES header carry nothing.
    Packet early;
    early.pid     = 0x1011;
    early.payload = Data(184, 8);
    Packet null;
    null.pid     = 0x1FFF;
    null.payload = Data(184, 0);
    Packet fieldOnly;
    fieldOnly.pid        = 0x1011;
    fieldOnly.hasPayload = false;
    Bytes stray          = {0x00, 0x00, 0x00, 0x01, 0x06, 0x05, 0x01, 0x80};
    Packet strayPayload;
    strayPayload.pid       = 0x1011;
    strayPayload.payload   = stray;
    std::vector<Bytes> pes = Pes(0x1011, a, 10);
    Demux run;
    ASSERT_EQ(run.Feed(Cat({{Build(early)},
                            Header({{0x1B, 0x1011}}),
                            {Build(strayPayload), Build(null), Build(fieldOnly)},
                            {pes[0], Build(null), Build(fieldOnly)},
                            {pes.begin() + 1, pes.end()}})),
              0);
    EXPECT_EQ(run.out, a);
    EXPECT_EQ(run.demux.m_streams.count(0x1FFF), 0u);
}

TEST(TsDemultiplexer, PesHeaderSplitAcrossPackets)
{
    Bytes a = Data(500, 4);
    for (size_t first : {1, 3, 8, 9, 10, 13, 30}) {
        Demux run;
        ASSERT_EQ(run.Feed(Cat({Header({{0x1B, 0x1011}}), Pes(0x1011, a, first, 20)})), 0) << first;
        EXPECT_EQ(run.out, a) << first;
        EXPECT_EQ(run.demux.m_streams.at(0x1011).m_pesCount, 1u);
    }
    // A new unit start abandons a header still being collected.
    Demux run;
    std::vector<Bytes> cut = Pes(0x1011, a, 5);
    ASSERT_EQ(run.Feed(Cat({Header({{0x1B, 0x1011}}), {cut[0]}, Pes(0x1011, a)})), 0);
    EXPECT_EQ(run.out, a);
}

TEST(TsDemultiplexer, OnlyTheFirstStreamOfTheWantedTypeInPmtOrder)
{
    Bytes a = Data(300, 1), b = Data(300, 2);
    Demux run;
    ASSERT_EQ(
        run.Feed(Cat({Header({{0x1B, 0x1012}, {0x1B, 0x1011}}), Pes(0x1011, a), Pes(0x1012, b)})),
        0);
    EXPECT_EQ(run.out, b);

    Demux mvc(kStreamTypeMvc);
    ASSERT_EQ(
        mvc.Feed(Cat({Header({{0x1B, 0x1011}, {0x20, 0x1012}}), Pes(0x1011, a), Pes(0x1012, b)})),
        0);
    EXPECT_EQ(mvc.out, b);

    // A repeated PMT changes nothing; a changed entry counts as a new track.
    Demux again;
    ASSERT_EQ(again.Feed(Cat(
                  {Header({{0x1B, 0x1011}}), Header({{0x1B, 0x1011}}), Header({{0x0F, 0x1011}})})),
              0);
    EXPECT_EQ(again.demux.m_streams.at(0x1011).m_trackIndex, 2);
}

TEST(TsDemultiplexer, StreamTypeChosenAtTheFirstPmt)
{
    Bytes a = Data(300, 1), b = Data(300, 2);
    struct Case {
        std::vector<PmtStream> streams;
        bool preferMvc;
        uint8_t chosen;
        Bytes want;
    } cases[] = {
        {{{0x1B, 0x1011}, {0x20, 0x1012}}, false, 0x1B, a},
        {{{0x1B, 0x1011}, {0x20, 0x1012}}, true, 0x20, b},
        {{{0x20, 0x1012}, {0x1B, 0x1011}}, false, 0x1B, a},
        {{{0x20, 0x1012}}, false, 0x20, b},
        {{{0x0F, 0x1100}}, true, 0x1B, {}},
    };
    for (const Case& c : cases) {
        Demux run(0);
        run.demux.ChooseTypeAtFirstPmt(c.preferMvc);
        EXPECT_FALSE(run.demux.TypeChosen());
        ASSERT_EQ(run.Feed(Cat({Header(c.streams), Pes(0x1011, a), Pes(0x1012, b)})), 0);
        EXPECT_TRUE(run.demux.TypeChosen());
        EXPECT_EQ(run.demux.m_wantedType, c.chosen);
        EXPECT_EQ(run.out, c.want);
    }
    // A first PMT without video leaves H.264 to a later program's PMT.
    Demux run(0);
    run.demux.ChooseTypeAtFirstPmt(true);
    ASSERT_EQ(
        run.Feed(Cat({Psi(0, Pat({{1, 0x100}, {2, 0x200}})), Psi(0x100, Pmt(1, {{0x0F, 0x1100}})),
                      Psi(0x200, Pmt(2, {{0x20, 0x1012}, {0x1B, 0x1011}})), Pes(0x1012, b),
                      Pes(0x1011, a)})),
        0);
    EXPECT_EQ(run.out, a);
}

TEST(TsDemultiplexer, LongPmtsOverSeveralPackets)
{
    Bytes a = Data(200, 3);
    // section_length = 9 + pad + 5 + 4: 18 bytes without padding.
    for (size_t length : {181, 182, 300, 365, 366, 367, 368, 400, 512}) {
        Bytes pmt = Pmt(1, {{0x1B, 0x1011}}, length - 18);
        ASSERT_EQ(pmt.size(), 3 + length);
        std::vector<Bytes> psi = Psi(kPmtPid, pmt);
        EXPECT_EQ(psi.size(), length <= 180 ? 1u : length <= 364 ? 2u : 3u);
        Demux run;
        ASSERT_EQ(run.Feed(Cat({Psi(0, Pat({{1, kPmtPid}})), psi, Pes(0x1011, a)})), 0) << length;
        EXPECT_EQ(run.out, a) << length;
    }
    // Longer than the section buffer.
    Demux run;
    EXPECT_EQ(run.Feed(Cat(
                  {Psi(0, Pat({{1, kPmtPid}})), Psi(kPmtPid, Pmt(1, {{0x1B, 0x1011}}, 513 - 18))})),
              -7);
    // The stream's PID is unknown until the PMT's last packet has arrived.
    std::vector<Bytes> psi = Psi(kPmtPid, Pmt(1, {{0x1B, 0x1011}}, 400 - 18));
    Demux early;
    ASSERT_EQ(early.Feed(Cat({Psi(0, Pat({{1, kPmtPid}})),
                              {psi[0], psi[1]},
                              Pes(0x1011, a),
                              {psi[2]},
                              Pes(0x1011, a)})),
              0);
    EXPECT_EQ(early.out, a);
}

TEST(TsDemultiplexer, OtherTablesArePassedOver)
{
    Bytes a = Data(200, 3);
    // A network information table over two packets on the network PID, a private section on
    // the PMT PID.
    Bytes nit = Section(0x40, 1, Bytes(250, 0x55));
    Demux run;
    ASSERT_EQ(run.Feed(Cat({Psi(0, Pat({{0, 0x10}, {1, kPmtPid}})), Psi(0x10, nit),
                            Psi(kPmtPid, Section(0x80, 1, Bytes(300, 0x66))),
                            Psi(kPmtPid, Pmt(1, {{0x1B, 0x1011}})), Pes(0x1011, a)})),
              0);
    EXPECT_EQ(run.out, a);
}

TEST(TsDemultiplexer, PacketRefusals)
{
    Packet plain;
    plain.pid     = 0x1011;
    plain.payload = Data(184, 0);
    Bytes good    = Build(plain);
    Bytes bad     = good;
    bad[0]        = 0x48;
    EXPECT_EQ(Demux().Feed(bad), -1);
    Packet errored;
    errored.error = true;
    errored.pid   = 0x1FFF;
    EXPECT_EQ(Demux().Feed(Build(errored)), -2);
    // adaptation_field_length 183 leaves no room for the payload the control bits announce.
    Bytes longField = good;
    longField[3]    = 0x30;
    longField[4]    = 183;
    EXPECT_EQ(Demux().Feed(longField), -3);
    longField[4] = 182;
    EXPECT_EQ(Demux().Feed(longField), 0);

    // A PES packet that does not begin with 00 00 01 stops the stream where it stands.
    Bytes a                   = Data(100, 1);
    std::vector<Bytes> pes    = Pes(0x1011, a);
    pes[0][5 + pes[0][4] + 2] = 0x02;
    Demux run;
    EXPECT_EQ(run.Feed(Cat({Header({{0x1B, 0x1011}}), Pes(0x1011, a), pes, Pes(0x1011, a)})), -19);
    EXPECT_EQ(run.out, a);
    EXPECT_EQ(run.packets, 3u);
}

TEST(TsDemultiplexer, SectionRefusals)
{
    Bytes pat    = Pat({{1, kPmtPid}});
    Bytes pmt    = Pmt(1, {{0x1B, 0x1011}});
    auto withPat = [&](const Bytes& pmtPacket) {
        return Demux().Feed(Cat({Psi(0, pat), {pmtPacket}}));
    };
    // Unit start with too little room for the section header.
    Packet tight;
    tight.unitStart = true;
    tight.payload   = {0x00, 0x00};
    EXPECT_EQ(Demux().Feed(Build(tight)), -4);
    tight.payload = {0x00, 0x00, 0xB0};
    EXPECT_EQ(Demux().Feed(Build(tight)), -5);
    EXPECT_EQ(Demux().Feed(RawSection(0, Patched(pat, 1, 0x80))), -6);
    Packet continuation;
    continuation.payload = Data(184, 0);
    EXPECT_EQ(Demux().Feed(Build(continuation)), -8);
    // PAT: too short, a loop that is no multiple of 4, reserved bits.
    EXPECT_EQ(Demux().Feed(RawSection(0, {0x00, 0xB0, 0x05, 0, 1, 0xC1, 0, 0})), -10);
    EXPECT_EQ(Demux().Feed(RawSection(0, Patched(pat, 2, 0x0E))), -11);
    EXPECT_EQ(Demux().Feed(RawSection(0, {0x00, 0xB0, 0x08, 0, 1, 0xC1, 0, 0, 0, 0, 0})), -11);
    EXPECT_EQ(Demux().Feed(RawSection(0, Patched(pat, 10, 0xC1))), -12);
    // PMT: too short, program info past the CRC, stray bytes, reserved bits, descriptors past
    // the loop.
    EXPECT_EQ(withPat(RawSection(kPmtPid, {0x02, 0xB0, 0x07, 0, 1, 0xC1, 0, 0, 0xE1, 0})), -13);
    EXPECT_EQ(withPat(RawSection(kPmtPid, Patched(pmt, 11, 6))), -14);
    EXPECT_EQ(withPat(RawSection(kPmtPid, Patched(pmt, 2, 0x0A))), -14);
    EXPECT_EQ(withPat(RawSection(kPmtPid, Patched(pmt, 2, 0x13))), -15);
    EXPECT_EQ(withPat(RawSection(kPmtPid, Patched(pmt, 2, 0x11))), -15);
    EXPECT_EQ(withPat(RawSection(kPmtPid, Patched(pmt, 13, 0x10))), -16);
    EXPECT_EQ(withPat(RawSection(kPmtPid, Patched(pmt, 16, 1))), -18);
    // A PMT without streams is fine.
    EXPECT_EQ(withPat(RawSection(kPmtPid, Pmt(1, {}))), 0);
}

TEST(TsDemultiplexer, FourByteHeaders)
{
    Bytes a                 = Data(300, 6);
    std::vector<Bytes> list = Cat({Header({{0x1B, 0x1011}}), Pes(0x1011, a)});
    for (Bytes& p : list)
        p.insert(p.begin(), {0x47, 0x47, 0x47, 0x47});
    Demux run;
    run.demux.m_fourByteHeader = true;
    ASSERT_EQ(run.Feed(list), 0);
    EXPECT_EQ(run.out, a);
}

TEST(PayloadSink, TargetFirstThenTheChunkInOrder)
{
    PayloadSink sink;
    ASSERT_TRUE(sink.Allocate(0));
    Bytes a = Data(184, 1), b = Data(184, 2);
    uint8_t target[100];
    sink.SetTarget(target, sizeof target);
    ASSERT_TRUE(sink.Write(a.data(), 60));
    ASSERT_TRUE(sink.Write(a.data() + 60, 124));
    EXPECT_TRUE(sink.TargetFull());
    EXPECT_EQ(Bytes(target, target + 100), Bytes(a.begin(), a.begin() + 100));
    EXPECT_EQ(sink.Held(), 84u);
    uint8_t out[200];
    EXPECT_EQ(sink.Take(out, 50), 50u);
    EXPECT_EQ(Bytes(out, out + 50), Bytes(a.begin() + 100, a.begin() + 150));

    // Without a target everything waits; more than a chunk's worth is the hand-over point.
    sink.SetTarget(nullptr, 0);
    size_t written = 34;
    while (!sink.ChunkFull()) {
        ASSERT_TRUE(sink.Write(b.data(), b.size()));
        written += b.size();
    }
    EXPECT_EQ(sink.Held(), written);
    EXPECT_GT(written, 4096u);
    EXPECT_LE(written, 4096u + 184);
    EXPECT_EQ(sink.Take(out, 34), 34u);
    EXPECT_EQ(Bytes(out, out + 34), Bytes(a.begin() + 150, a.end()));
    // The chunk never takes more than a chunk and one packet's payload.
    while (sink.Write(b.data(), b.size())) {
    }
    EXPECT_LE(sink.Held(), 4096u + 188);
    sink.Close();
    EXPECT_EQ(sink.Held(), 0u);
    EXPECT_FALSE(sink.Write(b.data(), 1));
}

TEST(TsBufferedReader, ReadsAndPacketsInPlace)
{
    testing_support::TempDir dir;
    Bytes data = Data(20000, 9);
    testing_support::WriteFile(dir.File("x"), data);

    TsBufferedReader reader;
    ASSERT_TRUE(reader.Allocate(100));
    EXPECT_EQ(reader.Size(), 4096u);
    reader.m_handle = CreateFileForRead(dir.File("x").c_str(), nullptr);
    uint8_t first[5];
    EXPECT_EQ(reader.Read(first, 5), 5u);
    EXPECT_EQ(Bytes(first, first + 5), Bytes(data.begin(), data.begin() + 5));
    size_t pos = 5;
    while (const uint8_t* p = reader.Next(192)) {
        ASSERT_EQ(Bytes(p, p + 192), Bytes(data.begin() + pos, data.begin() + pos + 192));
        pos += 192;
    }
    EXPECT_EQ(pos, 5 + (20000 - 5) / 192 * 192);
    EXPECT_FALSE(reader.Failed());
    reader.Close();

    // A pipe that delivers a packet in pieces.
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    std::thread writer([&] {
        for (size_t i = 0; i < 600; i += 7) {
            ASSERT_EQ(write(fds[1], data.data() + i, std::min<size_t>(7, 600 - i)),
                      ssize_t(std::min<size_t>(7, 600 - i)));
            usleep(100);
        }
        close(fds[1]);
    });
    ASSERT_TRUE(reader.Allocate(1 << 20));
    reader.m_handle = fds[0];
    std::vector<Bytes> got;
    while (const uint8_t* p = reader.Next(188))
        got.emplace_back(p, p + 188);
    writer.join();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[2], Bytes(data.begin() + 376, data.begin() + 564));
    EXPECT_FALSE(reader.Failed());

    // A read that fails is told apart from the end of the data.
    reader.Close();
    ASSERT_TRUE(reader.Allocate(0));
    reader.m_handle = open(dir.Path().c_str(), O_RDONLY | O_DIRECTORY);
    EXPECT_EQ(reader.Next(188), nullptr);
    EXPECT_TRUE(reader.Failed());
}
