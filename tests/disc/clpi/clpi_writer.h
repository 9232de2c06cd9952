// Test-side clip information writer: lays out .clpi files from plain descriptions with
// FieldWriter, independently of the code under test. Each block has its own Write function so
// tests can build one block alone (also as an ExtensionData data block) or a whole file.
#pragma once

#include "tests/disc/mpls/mpls_writer.h"
#include "tests/support/field_writer.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace clpi_writer
{

using mpls_writer::ExtEntry;
using mpls_writer::Fixed;
using testing_support::FieldWriter;

// ---- ProgramInfo ----------------------------------------------------------------------------

// One stream_in_ps: its PID and StreamCodingInfo (the 4 bytes after the coding type given).
struct Stream {
    uint32_t pid = 0x1011, coding = 0x1B;
    std::vector<uint8_t> fields = std::vector<uint8_t>(4, 0);
    std::string isrc            = std::string(12, '\0'); // country, holder, year, number
    uint32_t reserved03         = 0;
    size_t surplus              = 0; // bytes after reserved03 inside the block
};

inline Stream Video(uint32_t coding, uint32_t format, uint32_t rate, uint32_t aspect, uint32_t cc,
                    uint32_t pid, uint32_t reserved01 = 0, uint32_t reserved02 = 0)
{
    Stream s;
    s.coding = coding, s.pid = pid;
    s.fields =
        FieldWriter()
            .Fields(
                {{4, format}, {4, rate}, {4, aspect}, {2, reserved01}, {1, cc}, {17, reserved02}})
            .Data();
    return s;
}

// Audio, graphics and text streams: the attribute bytes of a playlist's stream.
inline Stream FromPlaylist(const mpls_writer::Stream& m)
{
    Stream s;
    s.coding = m.coding, s.pid = m.pid, s.fields = m.attrs;
    return s;
}

inline Stream Audio(uint32_t coding, uint32_t presentation, uint32_t frequency,
                    const std::string& lang, uint32_t pid)
{
    return FromPlaylist(mpls_writer::Audio(coding, presentation, frequency, lang, pid));
}

inline Stream Graphics(uint32_t coding, const std::string& lang, uint32_t pid,
                       uint32_t reserved01 = 0)
{
    return FromPlaylist(mpls_writer::Graphics(coding, lang, pid, reserved01));
}

inline Stream TextSubtitle(uint32_t charCode, const std::string& lang, uint32_t pid)
{
    return FromPlaylist(mpls_writer::Text(charCode, lang, pid));
}

struct ProgramSequence {
    uint32_t spn = 0, pmtPid = 0x100, reserved01 = 0;
    std::vector<Stream> streams;
};

struct Program {
    uint32_t reserved = 0;
    std::vector<ProgramSequence> sequences;
    size_t surplus = 0;
};

inline void WriteProgramInfo(FieldWriter& w, const Program& p)
{
    w.Begin(32);
    w.U8(p.reserved).U8(p.sequences.size());
    for (const ProgramSequence& q : p.sequences) {
        w.U32(q.spn).U16(q.pmtPid).U8(q.streams.size()).U8(q.reserved01);
        for (const Stream& s : q.streams) {
            w.U16(s.pid);
            w.Begin(8);
            w.U8(s.coding).Bytes(s.fields).Text(s.isrc).U32(s.reserved03).Zeros(s.surplus);
            w.End();
        }
    }
    w.Zeros(p.surplus).End();
}

// ---- SequenceInfo ---------------------------------------------------------------------------

struct Stc {
    uint32_t pcrPid = 0x1001, spn = 0, start = 0, end = 0;
};

struct Atc {
    uint32_t spn = 0, offsetStcId = 0;
    std::vector<Stc> stc;
};

struct Sequences {
    uint32_t reserved = 0;
    std::vector<Atc> atc;
    size_t surplus = 0;
};

inline void WriteSequenceInfo(FieldWriter& w, const Sequences& s)
{
    w.Begin(32);
    w.U8(s.reserved).U8(s.atc.size());
    for (const Atc& a : s.atc) {
        w.U32(a.spn).U8(a.stc.size()).U8(a.offsetStcId);
        for (const Stc& c : a.stc)
            w.U16(c.pcrPid).U32(c.spn).U32(c.start).U32(c.end);
    }
    w.Zeros(s.surplus).End();
}

// ---- CPI ------------------------------------------------------------------------------------

struct EpStream {
    uint32_t pid = 0x1011, reserved01 = 0, type = 1;
    std::vector<std::array<uint32_t, 3>> coarse; // ref_to_EP_fine_id, PTS_EP_coarse, SPN_EP_coarse
    std::vector<std::array<uint32_t, 4>> fine;   // angle change, I_end offset, PTS, SPN
    size_t fineGap = 0;                          // bytes between the coarse and the fine table
};

struct Cpi {
    bool empty          = false; // a block of length 0
    uint32_t reserved01 = 0, type = 1, mapReserved = 0;
    std::vector<EpStream> streams;
    bool reverseTables = false; // tables stored last stream first
    size_t tableGap    = 0;     // bytes before each table
};

inline size_t TableSize(const EpStream& s)
{
    return 4 + 8 * s.coarse.size() + s.fineGap + 4 * s.fine.size();
}

inline void WriteCPI(FieldWriter& w, const Cpi& c)
{
    w.Begin(32);
    if (c.empty) {
        w.End();
        return;
    }
    w.Fields({{12, c.reserved01}, {4, c.type}});
    // EP_map(): addresses count from its first byte.
    std::vector<size_t> at(c.streams.size());
    size_t pos = 2 + 12 * c.streams.size();
    for (size_t k = 0; k < c.streams.size(); ++k) {
        size_t i = c.reverseTables ? c.streams.size() - 1 - k : k;
        at[i]    = pos + c.tableGap;
        pos      = at[i] + TableSize(c.streams[i]);
    }
    w.U8(c.mapReserved).U8(c.streams.size());
    for (size_t i = 0; i < c.streams.size(); ++i) {
        const EpStream& s = c.streams[i];
        w.Fields({{16, s.pid},
                  {10, s.reserved01},
                  {4, s.type},
                  {16, s.coarse.size()},
                  {18, s.fine.size()},
                  {32, at[i]}});
    }
    for (size_t k = 0; k < c.streams.size(); ++k) {
        size_t i          = c.reverseTables ? c.streams.size() - 1 - k : k;
        const EpStream& s = c.streams[i];
        w.Zeros(c.tableGap);
        w.U32(4 + 8 * s.coarse.size() + s.fineGap);
        for (const auto& e : s.coarse)
            w.Fields({{18, e[0]}, {14, e[1]}, {32, e[2]}});
        w.Zeros(s.fineGap);
        for (const auto& e : s.fine)
            w.Fields({{1, e[0]}, {3, e[1]}, {11, e[2]}, {17, e[3]}});
    }
    w.End();
}

// ---- ExtensionData blocks -------------------------------------------------------------------

struct DownMix {
    uint32_t streamIndex = 0;
    uint32_t phaseLeft = 0, phaseRight = 0; // channel 1 in the most significant bit
    std::array<uint32_t, 8> left{}, right{};
};

inline std::vector<uint8_t> DownMixBlock(const std::vector<DownMix>& entries, uint32_t stuffing = 0)
{
    FieldWriter w;
    w.Begin(32);
    w.U16(entries.size());
    for (const DownMix& e : entries) {
        w.U8(e.streamIndex).U8(e.phaseLeft).U8(e.phaseRight);
        for (uint32_t c : e.left)
            w.U8(c);
        for (uint32_t c : e.right)
            w.U8(c);
    }
    if (entries.size() % 2)
        w.U8(stuffing);
    w.End();
    return w.Data();
}

inline std::vector<uint8_t> ExtentBlock(const std::vector<uint32_t>& spns, uint32_t reserved01 = 0,
                                        size_t surplus = 0)
{
    FieldWriter w;
    w.Begin(32);
    w.U16(reserved01).U16(spns.size());
    for (uint32_t s : spns)
        w.U32(s);
    w.Zeros(surplus).End();
    return w.Data();
}

inline std::vector<uint8_t> ProgramBlock(const Program& p)
{
    FieldWriter w;
    WriteProgramInfo(w, p);
    return w.Data();
}

inline std::vector<uint8_t> CpiBlock(const Cpi& c)
{
    FieldWriter w;
    WriteCPI(w, c);
    return w.Data();
}

// ---- The whole file -------------------------------------------------------------------------

struct AtcDelta {
    uint32_t delta   = 0;
    std::string name = "00002", codec = "M2TS";
    uint32_t reserved01 = 0;
};

struct Font {
    std::string name    = "00000";
    uint32_t reserved01 = 0;
};

struct ClipInfo {
    uint32_t reserved01 = 0, streamType = 1, applicationType = 1, reserved02 = 0, isAtcDelta = 0;
    uint32_t rate = 6000000, packets = 1000;
    std::vector<uint8_t> reservedBlock = std::vector<uint8_t>(128, 0);
    uint32_t validity                  = 0x80;
    std::string format                 = "HDMV", network, formatName;
    size_t tsSurplus                   = 0;
    uint32_t reserved04 = 0, reserved05 = 0;
    std::vector<AtcDelta> atcDeltas;
    std::vector<Font> fonts;
    size_t surplus = 0;
};

inline void WriteClipInfo(FieldWriter& w, const ClipInfo& c)
{
    w.Begin(32);
    w.U16(c.reserved01).U8(c.streamType).U8(c.applicationType);
    w.Fields({{31, c.reserved02}, {1, c.isAtcDelta}}).U32(c.rate).U32(c.packets);
    w.Bytes(c.reservedBlock);
    w.Begin(16);
    w.U8(c.validity).Bytes(Fixed(c.format, 4)).Bytes(Fixed(c.network, 9));
    w.Bytes(Fixed(c.formatName, 16)).Zeros(c.tsSurplus).End();
    if (c.isAtcDelta) {
        w.U8(c.reserved04).U8(c.atcDeltas.size());
        for (const AtcDelta& a : c.atcDeltas)
            w.U32(a.delta).Bytes(Fixed(a.name, 5)).Bytes(Fixed(a.codec, 4)).U8(a.reserved01);
    }
    if (c.applicationType == 6) {
        w.U8(c.reserved05).U8(c.fonts.size());
        for (const Font& f : c.fonts)
            w.Bytes(Fixed(f.name, 5)).U8(f.reserved01);
    }
    w.Zeros(c.surplus).End();
}

struct Clip {
    std::string version                 = "0200";
    std::vector<uint8_t> reservedHeader = std::vector<uint8_t>(12, 0);
    ClipInfo info;
    Sequences sequences;
    Program program;
    Cpi cpi;
    std::vector<uint8_t> clipMark; // the mark block's contents (dropped by the converter)
    std::vector<ExtEntry> ext;
    // Blocks whose address is 0 in the file (absent): SequenceInfo, ProgramInfo, CPI, ClipMark.
    std::array<bool, 4> absent{};
    size_t padding = 0; // block alignment in bytes, 0 for none
};

inline std::vector<uint8_t> ClipFile(const Clip& c)
{
    FieldWriter w;
    w.Text("HDMV").Bytes(Fixed(c.version, 4)).Zeros(20).Bytes(c.reservedHeader);
    WriteClipInfo(w, c.info);
    for (int block = 0; block < 4; ++block) {
        if (c.absent[block])
            continue;
        w.AlignTo(c.padding).Patch(64 + 32 * block, 32, w.Size());
        if (block == 0)
            WriteSequenceInfo(w, c.sequences);
        else if (block == 1)
            WriteProgramInfo(w, c.program);
        else if (block == 2)
            WriteCPI(w, c.cpi);
        else {
            w.Begin(32);
            w.Bytes(c.clipMark).End();
        }
    }
    w.AlignTo(c.padding);
    if (!c.ext.empty()) {
        w.Patch(64 + 32 * 4, 32, w.Size());
        mpls_writer::WriteExtensionData(w, c.ext);
        w.AlignTo(c.padding);
    }
    return w.Data();
}

// A clip with a stream of every coding group, an ATC_delta, two ATC sequences, two EP map
// streams and the four clip ExtensionData blocks beside an unknown one.
inline Clip SampleClip()
{
    Clip c;
    c.info.isAtcDelta = 1;
    c.info.atcDeltas  = {AtcDelta{17652147, "00007", "M2TS", 0}};
    c.sequences.atc = {Atc{0, 0, {Stc{0x1001, 0, 27000000, 27900000}, Stc{0x1001, 800, 100, 200}}},
                       Atc{900, 2, {Stc{0x1002, 900, 300, 400}}}};
    Stream video    = Video(0x1B, 6, 1, 3, 1, 0x1011);
    video.isrc      = std::string("JPABC1234567", 12);
    Stream text     = TextSubtitle(1, "fra", 0x1800);
    c.program.sequences = {
        ProgramSequence{0,
                        0x100,
                        0,
                        {video, Audio(0x80, 3, 1, "jpn", 0x1100), Audio(0x86, 6, 12, "eng", 0x1101),
                         Graphics(0x90, "eng", 0x1200), Graphics(0x91, "jpn", 0x1400), text,
                         Video(0x24, 8, 6, 3, 0, 0x1015)}}};
    EpStream v;
    v.coarse = {{{0, 1, 1000}}, {{3, 2, 50000}}};
    v.fine   = {{{1, 1, 10, 1000}},
                {{0, 2, 20, 2000}},
                {{0, 3, 30, 3000}},
                {{1, 4, 40, 4000}},
                {{0, 7, 2047, 131071}}};
    EpStream a;
    a.pid = 0x1100, a.type = 3;
    a.fine        = {{{0, 0, 5, 60}}, {{0, 0, 6, 70}}};
    c.cpi.streams = {v, a};

    DownMix mix;
    mix.streamIndex = 1, mix.phaseLeft = 0x81, mix.phaseRight = 0x40;
    mix.left  = {{255, 128, 0, 1, 2, 3, 4, 5}};
    mix.right = {{6, 7, 8, 9, 10, 11, 12, 13}};
    Program dependent;
    dependent.sequences = {ProgramSequence{0, 0x100, 0, {Video(0x20, 6, 1, 3, 0, 0x1012)}}};
    Cpi dependentCpi;
    EpStream d;
    d.pid = 0x1012, d.coarse = {{{0, 1, 900}}}, d.fine = {{{0, 1, 10, 900}}};
    dependentCpi.streams = {d};
    c.ext = {ExtEntry{1, 2, DownMixBlock({mix})}, ExtEntry{2, 4, ExtentBlock({100, 200, 300})},
             ExtEntry{2, 5, ProgramBlock(dependent)}, ExtEntry{2, 6, CpiBlock(dependentCpi)},
             ExtEntry{3, 7, {1, 2, 3, 4, 5}}};
    return c;
}

} // namespace clpi_writer
