// The transport-stream demultiplexer on packets built here: what it refuses and the tables it
// passes over; the feeder's choice of stream type for files (probed) and FIFOs (not).
#include "h264/stream/ts_demux.h"
#include "h264/stream/ts_feeder.h"
#include "tests/support/stream_support.h"

#include <gtest/gtest.h>
#include <memory>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

using namespace testing_support;

namespace
{

using Bytes   = std::vector<uint8_t>;
using Packets = std::vector<Bytes>;

// Sections of program 1 (PMT on PID 0x100, H.264 on 0x1011); CRC_32 is not checked.
const char kPat[] = "00 b0 0d 00 01 c1 00 00  00 01 e1 00  00 00 00 00";
const char kPmt[] = "02 b0 12 00 01 c1 00 00  e1 00 f0 00  1b f0 11 f0 00  00 00 00 00";

// One packet; a payload shorter than 184 bytes is preceded by adaptation-field stuffing.
Bytes Packet(uint16_t pid, bool unitStart, const Bytes& payload)
{
    Bytes p = {0x47, uint8_t((unitStart ? 0x40 : 0) | pid >> 8), uint8_t(pid), 0x10};
    if (payload.size() < 184) {
        p[3] = 0x30;
        p.push_back(uint8_t(183 - payload.size()));
        if (payload.size() < 183)
            p.push_back(0x00);
        p.resize(188 - payload.size(), 0xFF);
    }
    p.insert(p.end(), payload.begin(), payload.end());
    return p;
}

// A section behind a pointer_field, over as many packets as it needs, stuffed with FF.
Packets Psi(uint16_t pid, const Bytes& section)
{
    Bytes data = {0x00};
    data.insert(data.end(), section.begin(), section.end());
    data.resize((data.size() + 183) / 184 * 184, 0xFF);
    Packets out;
    for (size_t pos = 0; pos < data.size(); pos += 184)
        out.push_back(
            Packet(pid, pos == 0, Bytes(data.begin() + long(pos), data.begin() + long(pos) + 184)));
    return out;
}

Packets Cat(std::initializer_list<Packets> parts)
{
    Packets out;
    for (const Packets& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes Set(Bytes b, size_t at, uint8_t value)
{
    b[at] = value;
    return b;
}

// Packets through a demultiplexer that wants H.264 until one fails: that result, else 0. The
// payload delivered goes to *out.
int Feed(const Packets& packets, Bytes* out = nullptr)
{
    TsDemultiplexer demux;
    demux.SetWantedType(0x1B);
    for (const Bytes& p : packets) {
        if (int r = demux.ProcessPacket(p.data()))
            return r;
        if (size_t n = out ? demux.Sink().Held() : 0) {
            out->resize(out->size() + n);
            demux.Sink().Take(out->data() + out->size() - n, n);
        }
    }
    return 0;
}

} // namespace

TEST(TsDemultiplexer, RefusedPacketsAndSections)
{
    // (A lost sync byte, transport_error_indicator and a bad PES start code: see quenby.)
    const Bytes pat = Hex(kPat), pmt = Hex(kPmt), video = Packet(0x1011, false, Bytes(184, 0));
    const struct {
        Packets packets;
        int result;
    } cases[] = {
        {{Set(Set(video, 3, 0x30), 4, 183)}, -3},    // no room for the payload announced
        {{Set(Set(video, 3, 0x30), 4, 182)}, 0},     // one byte of it
        {{Packet(0, true, {0x00})}, -4},             // a pointer_field and nothing behind it
        {{Packet(0, true, {0x02, 0x00, 0xb0})}, -4}, // pointing at the payload's end
        {Psi(0, Set(pat, 1, 0x80)), -6},             // section_syntax_indicator clear
        {Cat({Psi(0, pat), Psi(0x100, Set(Set(pmt, 1, 0xb3), 2, 0xfe))}), -7}, // 1022 bytes
        {{Packet(0, false, Bytes(184, 0))}, -8},                               // continuing nothing
        {Psi(0, Hex("00 b0 05 00 01 c1 00 00")), -10},                         // too short
        {Psi(0, Set(pat, 2, 0x0e)), -11},  // not of 4-byte entries
        {Psi(0, Set(pat, 10, 0xc1)), -12}, // reserved bits of program_map_PID
        {Cat({Psi(0, pat), Psi(0x100, Hex("02 b0 07 00 01 c1 00 00 e1 00"))}), -13},
        {Cat({Psi(0, pat), Psi(0x100, Set(pmt, 11, 6))}), -14},    // program info past the CRC_32
        {Cat({Psi(0, pat), Psi(0x100, Set(pmt, 2, 0x13))}), -15},  // a stray byte before it
        {Cat({Psi(0, pat), Psi(0x100, Set(pmt, 13, 0x10))}), -16}, // reserved bits of the PID
        {Cat({Psi(0, pat), Psi(0x100, Set(pmt, 16, 1))}), -18},    // ES info past the loop
        {Cat({Psi(0, pat), Psi(0x100, Hex("02 b0 0d 00 01 c1 00 00 e1 00 f0 00 00 00 00 00"))}), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Feed(c.packets), c.result) << "case " << &c - cases;
}

TEST(TsDemultiplexer, PacketsBehindAPesHeader)
{
    // The PAT, the PMT, a PES packet starting with 100 bytes of 77 on 0x1011, then these.
    auto pesOf = [](uint8_t b) {
        Bytes p = Hex("00 00 01 e0 00 00 80 00 00");
        p.insert(p.end(), 100, b);
        return p;
    };
    const Bytes pes = pesOf(0x77), es(100, 0x77);
    const Packets head =
        Cat({Psi(0, Hex(kPat)), Psi(0x100, Hex(kPmt)), {Packet(0x1011, true, pes)}});
    const Bytes plain = Packet(0x1011, false, Bytes(184, 0x88));
    auto esAnd        = [&](size_t n, uint8_t b = 0x88) {
        Bytes out = es;
        out.insert(out.end(), n, b);
        return out;
    };
    // A second H.264 stream on 0x1012 listed behind the video, one of its PES packets begun;
    // the tables given, while the video's PES packet is in flight; then the packets given.
    auto moved = [&](const Packets& tables, const Packets& then) {
        return Cat({head,
                    Psi(0x100, Hex("02 b0 17 00 01 c1 00 00 e1 00 f0 00 1b f0 11 f0 00 1b f0 12 "
                                   "f0 00 00 00 00 00")),
                    {Packet(0x1012, true, pes)},
                    tables,
                    then});
    };
    // Mostly then: more of both (88 and 99), another PES packet on 0x1012, more video.
    const Packets tail = {plain, Packet(0x1012, false, Bytes(184, 0x99)), Packet(0x1012, true, pes),
                          plain};
    // Version 1 of the PMT, listing 0x1012 only, or nothing; a PAT of program 2 alone (PMT PID
    // 0x200).
    const Bytes only = Hex("02 b0 12 00 01 c3 00 00 e1 00 f0 00 1b f0 12 f0 00 00 00 00 00"),
                none = Hex("02 b0 0d 00 01 c3 00 00 e1 00 f0 00 00 00 00 00"),
                pat2 = Hex("00 b0 0d 00 01 c3 00 00 00 02 e2 00 00 00 00 00");
    // The video's payload, 0x1012's PES packet behind it.
    Bytes handedOver = esAnd(184);
    handedOver.insert(handedOver.end(), es.begin(), es.end());
    const struct {
        Packets packets;
        int result;
        Bytes out;
    } cases[] = {
        {Cat({head, {plain, plain}}), 0, esAnd(368)},
        {Cat({head, {Packet(0x1011, false, {0x88})}}), 0, esAnd(1)}, // behind 182 bytes of stuffing
        {Cat({head, {Set(Set(plain, 3, 0x30), 4, 183)}}), -3, es},
        {Cat({head, {Set(plain, 1, 0x90)}}), -2, es}, // transport_error_indicator
        {Cat({head, {Set(plain, 3, 0x20)}}), 0, es},  // an adaptation field and no payload
        // A PAT that names the PID as a program's PMT PID: no section was begun on it.
        {Cat({head, Psi(0, Hex("00 b0 0d 00 01 c1 00 00 00 02 f0 11 00 00 00 00")), {plain}}), -8,
         es},
        // Tables that no longer list the video: its PES packet in flight goes on up to 0x1012's
        // next PES header, or up to its own when that comes first.
        {moved(Psi(0x100, only), tail), 0, handedOver},
        {moved(Cat({Psi(0, pat2), Psi(0x200, Set(only, 4, 2))}), tail), 0, handedOver},
        {moved(Psi(0x100, only), {Packet(0x1011, true, pesOf(0x66)), plain, tail[2]}), 0,
         esAnd(100, 0x77)},
        // A section of the next PMT, or of a PAT in two; the video re-typed: it stays.
        {moved(Psi(0x100, Set(only, 5, 0xc2)), tail), 0, esAnd(368)},
        {moved(Cat({Psi(0, Set(pat2, 7, 1)), Psi(0x200, Set(only, 4, 2))}), tail), 0, esAnd(368)},
        {moved(Psi(0x100, Hex("02 b0 17 00 01 c3 00 00 e1 00 f0 00 1b f0 12 f0 00 20 f0 11 f0 00 "
                              "00 00 00 00")),
               tail),
         0, esAnd(368)},
        // Nothing listed: the next PMT's section, not in force, does not start 0x1012.
        {moved(Cat({Psi(0x100, none), Psi(0x100, Set(only, 5, 0xc4))}), tail), 0, esAnd(368)},
    };
    for (const auto& c : cases) {
        Bytes out;
        EXPECT_EQ(Feed(c.packets, &out), c.result) << "case " << &c - cases;
        EXPECT_EQ(out, c.out) << "case " << &c - cases;
    }
}

TEST(TsDemultiplexer, OtherTablesArePassedOver)
{
    // A network information table on the network PID (program 0) and a private section on the
    // PMT's PID, each over two packets; then the PMT and the video.
    Bytes nit = {0x40, 0xb0, 0xfa}, priv = {0x80, 0xb1, 0x2c}, es(100, 0x77);
    nit.resize(3 + 250, 0x55);
    priv.resize(3 + 300, 0x66);
    Bytes pes = Hex("00 00 01 e0 00 00 80 00 00");
    pes.insert(pes.end(), es.begin(), es.end());
    Bytes out;
    EXPECT_EQ(Feed(Cat({Psi(0, Hex("00 b0 11 00 01 c1 00 00 00 00 e0 10 00 01 e1 00 00 00 00 00")),
                        Psi(0x10, nit),
                        Psi(0x100, priv),
                        Psi(0x100, Hex(kPmt)),
                        {Packet(0x1011, true, pes)}}),
                   &out),
              0);
    EXPECT_EQ(out, es);
}

TEST(TsDemultiplexer, PointerFieldEndsTheSectionBefore)
{
    // A PMT of section_length 300: 183 bytes in one packet; its last 120 bytes, or fewer,
    // behind the next packet's pointer_field of the given length (filled up with FF), then a
    // private section; then the video.
    Bytes pmt = Hex(kPmt), es(100, 0x77), pes = Hex("00 00 01 e0 00 00 80 00 00");
    pmt.insert(pmt.begin() + 12, 300 - 0x12, 0x55);
    pmt[1] = 0xb1, pmt[2] = 0x2c, pmt[10] = 0xf1, pmt[11] = 0x1a; // 300 and 282 of program info
    pes.insert(pes.end(), es.begin(), es.end());
    const struct {
        size_t pointer, rest;
        bool listed;
    } cases[] = {{120, 120, true}, {130, 120, true}, {119, 119, false}, {0, 0, false}};
    for (const auto& c : cases) {
        Bytes first = {0x00}, second = {uint8_t(c.pointer)};
        first.insert(first.end(), pmt.begin(), pmt.begin() + 183);
        second.insert(second.end(), pmt.begin() + 183, pmt.begin() + 183 + long(c.rest));
        second.resize(1 + c.pointer, 0xFF);
        for (uint8_t b : Hex("80 b0 05 00 00 c1 00 00"))
            second.push_back(b);
        second.resize(184, 0xFF);
        Bytes out;
        EXPECT_EQ(Feed(Cat({Psi(0, Hex(kPat)),
                            {Packet(0x100, true, first), Packet(0x100, true, second)},
                            {Packet(0x1011, true, pes)}}),
                       &out),
                  0)
            << c.pointer;
        EXPECT_EQ(out, c.listed ? es : Bytes()) << c.pointer;
    }
}

TEST(CTSDemuxFeeder, StreamTypeOfFilesAndFifos)
{
    TempDir dir;
    // 60 rounds of a PES packet of 300 bytes 11 on PID 0x1011 and of 12 on 0x1012.
    Generate(R"(
import ts
def write(name, programs, late=(), retyped=None):
    """programs: PMT PID -> (program_number, [(stream_type, PID)]); the PMTs on the late PIDs
    come only after 30 rounds, and a PMT of retyped's streams for the first program then."""
    with open(name, 'wb') as out:
        m = ts.Muxer(out, 192)
        m.psi(0, ts.pat([(n, pid) for pid, (n, _) in programs.items()]))
        for i in range(60):
            for pid, (n, streams) in programs.items():
                if i == (30 if pid in late else 0):
                    m.psi(pid, ts.pmt(n, 0x1011, streams))
                if i == 30 and retyped and pid == 0x100:
                    m.psi(pid, ts.pmt(n, 0x1011, retyped))
            for pid in (0x1011, 0x1012):
                m.pes(pid, bytes([pid & 0xFF]) * 300, 90000 + 3750 * i)
        m.flush()
write('both', {0x100: (1, [(0x1B, 0x1011), (0x20, 0x1012)])})
write('mvc', {0x100: (1, [(0x20, 0x1012)])})
write('late', {0x100: (1, [(0x1B, 0x1011)]), 0x200: (2, [(0x20, 0x1012)])}, late=[0x200])
write('novideo', {0x100: (1, [(0x0F, 0x1100)]), 0x200: (2, [(0x20, 0x1012), (0x1B, 0x1011)])})
write('retyped', {0x100: (1, [(0x1B, 0x1011)])}, retyped=[(0x20, 0x1011)])
)",
             dir.Path());
    // The type chosen, and the payload delivered: so many rounds of a PID's bytes.
    struct Delivered {
        uint8_t type;
        char byte;
        size_t rounds;
    };
    const struct {
        const char* name;
        bool baseViewOnly, preferMvc;
        Delivered file, fifo;
    } cases[] = {
        {"both", false, false, {0x1B, 0x11, 60}, {0x1B, 0x11, 60}},
        {"both", false, true, {0x20, 0x12, 60}, {0x20, 0x12, 60}},
        {"both", true, true, {0x1B, 0x11, 60}, {0x1B, 0x11, 60}},
        {"mvc", false, false, {0x20, 0x12, 60}, {0x20, 0x12, 60}},
        {"mvc", true, false, {0x1B, 0, 0}, {0x1B, 0, 0}},
        {"late", false, true, {0x20, 0x12, 30}, {0x1B, 0x11, 60}},
        {"novideo", false, true, {0x20, 0x12, 60}, {0x1B, 0x11, 60}},
        // The first listing of the deciding type decides: H.264 without preferMvc, MVC with.
        {"retyped", false, false, {0x1B, 0x11, 60}, {0x1B, 0x11, 60}},
        {"retyped", false, true, {0x20, 0x11, 30}, {0x1B, 0x11, 60}},
    };
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    // The payload the feeder delivers after its Start.
    auto payload = [](CTSDemuxFeeder* f) {
        std::string got, block(65536, 0);
        size_t n = 0;
        EXPECT_EQ(f->Start(), 1);
        while (f->Read(reinterpret_cast<uint8_t*>(&block[0]), block.size(), &n) && n > 0)
            got.append(block, 0, n);
        return got;
    };
    for (const auto& c : cases) {
        const std::string file = dir.File(c.name), what = file + (c.preferMvc ? " prefer" : "");
        std::unique_ptr<CTSDemuxFeeder> f(
            NewTransportStreamFeeder(file.c_str(), c.baseViewOnly, c.preferMvc));
        EXPECT_EQ(f->StreamType(), c.file.type) << what;
        EXPECT_TRUE(payload(f.get()) == std::string(c.file.rounds * 300, c.file.byte)) << what;

        // A FIFO is read once: the type is chosen at the first PMT, and nothing is lost.
        std::thread writer([&] { WriteFile(fifo, ReadFile(file)); });
        std::unique_ptr<CTSDemuxFeeder> g(
            NewTransportStreamFeeder(fifo.c_str(), c.baseViewOnly, c.preferMvc));
        const std::string got = payload(g.get());
        EXPECT_EQ(g->StreamType(), c.fifo.type) << what;
        writer.join();
        EXPECT_TRUE(got == std::string(c.fifo.rounds * 300, c.fifo.byte)) << what;
    }
}
