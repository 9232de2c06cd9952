// Test-side playlist writer: lays out .mpls files from plain descriptions with FieldWriter,
// independently of the code under test. Each piece (stream, STN table, PlayItem, SubPath,
// marks, ExtensionData) has its own Write function so tests can build one block alone or a
// whole file, and extension-block tests can pass their own data blocks as raw entries.
#pragma once

#include "tests/support/field_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace mpls_writer
{

using testing_support::FieldWriter;

inline std::vector<uint8_t> Fixed(const std::string& text, size_t n)
{
    std::vector<uint8_t> out(text.begin(), text.end());
    out.resize(n, 0);
    return out;
}

// One stream of an STN table: stream_entry, stream_attributes and the id lists.
struct Stream {
    uint32_t type = 1, subpath_id = 0, subclip_id = 0, pid = 0x1011;
    uint32_t coding = 0x1B;
    std::vector<uint8_t> attrs;         // the attribute bytes after the coding type
    std::vector<uint8_t> refs, pipRefs; // stream_id_ref lists (secondary streams only)
    size_t entrySurplus = 0, attrSurplus = 0;
};

// A stream of the given coding type whose attributes are the fields given.
inline Stream Coded(uint32_t coding, uint32_t pid, const FieldWriter& attrs)
{
    Stream s;
    s.coding = coding, s.pid = pid, s.attrs = attrs.Data();
    return s;
}

// A video stream; uhd is the byte of HEVC's dynamic range and colour fields.
inline Stream Video(uint32_t coding, uint32_t format, uint32_t rate, uint32_t pid, uint32_t uhd = 0)
{
    return Coded(coding, pid, FieldWriter().Fields({{4, format}, {4, rate}, {8, uhd}, {16, 0}}));
}

inline Stream Audio(uint32_t coding, uint32_t presentation, uint32_t frequency,
                    const std::string& lang, uint32_t pid)
{
    return Coded(coding, pid,
                 FieldWriter().Fields({{4, presentation}, {4, frequency}}).Bytes(Fixed(lang, 3)));
}

inline Stream Graphics(uint32_t coding, const std::string& lang, uint32_t pid,
                       uint32_t reserved01 = 0)
{
    return Coded(coding, pid, FieldWriter().Bytes(Fixed(lang, 3)).U8(reserved01));
}

inline Stream Text(uint32_t charCode, const std::string& lang, uint32_t pid)
{
    return Coded(0x92, pid, FieldWriter().U8(charCode).Bytes(Fixed(lang, 3)));
}

// Stream entry of a SubPath (types 2 and 4 carry a subclip id, type 3 not).
inline Stream FromSubPath(Stream s, uint32_t type, uint32_t subpath, uint32_t subclip)
{
    s.type = type, s.subpath_id = subpath, s.subclip_id = subclip;
    return s;
}

inline void WriteStreamEntry(FieldWriter& w, const Stream& s)
{
    w.Begin(8);
    w.U8(s.type);
    if (s.type == 1)
        w.U16(s.pid).Zeros(6);
    else if (s.type == 2 || s.type == 4)
        w.U8(s.subpath_id).U8(s.subclip_id).U16(s.pid).Zeros(4);
    else if (s.type == 3)
        w.U8(s.subpath_id).U16(s.pid).Zeros(5);
    w.Zeros(s.entrySurplus).End();
}

inline void WriteIdList(FieldWriter& w, const std::vector<uint8_t>& ids)
{
    w.U8(ids.size()).U8(0).Bytes(ids);
    if (ids.size() & 1)
        w.U8(0);
}

// refLists: 0 primary streams, 1 secondary audio, 2 secondary video.
inline void WriteStream(FieldWriter& w, const Stream& s, int refLists)
{
    WriteStreamEntry(w, s);
    w.Begin(8);
    w.U8(s.coding).Bytes(s.attrs).Zeros(s.attrSurplus).End();
    if (refLists >= 1)
        WriteIdList(w, s.refs);
    if (refLists == 2)
        WriteIdList(w, s.pipRefs);
}

struct STN {
    uint32_t reserved01 = 0, pipPlus = 0;
    std::vector<Stream> video, audio, pg, ig, secAudio, secVideo; // pg ends with the PiP entries
    std::vector<uint8_t> reserved = std::vector<uint8_t>(5, 0);
    size_t surplus                = 0;
};

inline void WriteSTN(FieldWriter& w, const STN& t)
{
    w.Begin(16);
    w.U16(t.reserved01);
    w.U8(t.video.size()).U8(t.audio.size()).U8(t.pg.size() - t.pipPlus).U8(t.ig.size());
    w.U8(t.secAudio.size()).U8(t.secVideo.size()).U8(t.pipPlus).Bytes(t.reserved);
    for (const auto* list : {&t.video, &t.audio, &t.pg, &t.ig})
        for (const Stream& s : *list)
            WriteStream(w, s, 0);
    for (const Stream& s : t.secAudio)
        WriteStream(w, s, 1);
    for (const Stream& s : t.secVideo)
        WriteStream(w, s, 2);
    w.Zeros(t.surplus).End();
}

struct Clip {
    std::string name = "00001", codec = "M2TS";
    uint32_t stc = 0;
};

struct PlayItem {
    Clip clip;
    uint32_t reserved01 = 0, connection = 1, in = 0, out = 0;
    uint64_t uo     = 0;
    uint32_t random = 0, reserved02 = 0, stillMode = 0, stillTime = 0;
    bool multiAngle          = false;
    int numberOfAngles       = -1; // -1: angles.size() + 1
    uint32_t differentAudios = 0, seamless = 0;
    std::vector<Clip> angles;
    STN stn;
    size_t surplus = 0;
};

inline void WriteClip(FieldWriter& w, const Clip& c)
{
    w.Bytes(Fixed(c.name, 5)).Bytes(Fixed(c.codec, 4));
}

inline void WritePlayItem(FieldWriter& w, const PlayItem& p)
{
    w.Begin(16);
    WriteClip(w, p.clip);
    w.Fields({{11, p.reserved01}, {1, p.multiAngle}, {4, p.connection}, {8, p.clip.stc}});
    w.U32(p.in).U32(p.out).Bits(64, p.uo);
    w.Fields({{1, p.random}, {7, p.reserved02}, {8, p.stillMode}, {16, p.stillTime}});
    if (p.multiAngle) {
        int n = p.numberOfAngles < 0 ? int(p.angles.size()) + 1 : p.numberOfAngles;
        w.Fields({{8, uint64_t(n)}, {6, 0}, {1, p.differentAudios}, {1, p.seamless}});
        for (const Clip& a : p.angles) {
            WriteClip(w, a);
            w.U8(a.stc);
        }
    }
    WriteSTN(w, p.stn);
    w.Zeros(p.surplus).End();
}

struct SubPlayItem {
    Clip clip;
    uint32_t reserved01 = 0, connection = 1, multi = 0, in = 0, out = 0, syncItem = 0, syncPts = 0;
    int numberOfClips = -1; // -1: clips.size() + 1
    std::vector<Clip> clips;
    size_t surplus = 0;
};

inline void WriteSubPlayItem(FieldWriter& w, const SubPlayItem& s)
{
    w.Begin(16);
    WriteClip(w, s.clip);
    w.Fields({{27, s.reserved01}, {4, s.connection}, {1, s.multi}, {8, s.clip.stc}});
    w.U32(s.in).U32(s.out).U16(s.syncItem).U32(s.syncPts);
    if (s.multi) {
        int n = s.numberOfClips < 0 ? int(s.clips.size()) + 1 : s.numberOfClips;
        w.U8(uint64_t(n)).U8(0);
        for (const Clip& c : s.clips) {
            WriteClip(w, c);
            w.U8(c.stc);
        }
    }
    w.Zeros(s.surplus).End();
}

struct SubPath {
    uint32_t reserved01 = 0, type = 3, reserved02 = 0, repeat = 0, reserved03 = 0;
    std::vector<SubPlayItem> items;
    size_t surplus = 0;
};

inline void WriteSubPath(FieldWriter& w, const SubPath& s)
{
    w.Begin(32);
    w.U8(s.reserved01).U8(s.type).Fields({{15, s.reserved02}, {1, s.repeat}});
    w.U8(s.reserved03).U8(s.items.size());
    for (const SubPlayItem& i : s.items)
        WriteSubPlayItem(w, i);
    w.Zeros(s.surplus).End();
}

inline void WritePlayListSection(FieldWriter& w, const std::vector<PlayItem>& items,
                                 const std::vector<SubPath>& subPaths, uint32_t reserved01 = 0)
{
    w.Begin(32);
    w.U16(reserved01).U16(items.size()).U16(subPaths.size());
    for (const PlayItem& p : items)
        WritePlayItem(w, p);
    for (const SubPath& s : subPaths)
        WriteSubPath(w, s);
    w.End();
}

struct Mark {
    uint32_t reserved01 = 0, type = 1, item = 0, time = 0, pid = 0xFFFF, duration = 0;
};

inline void WriteMarks(FieldWriter& w, const std::vector<Mark>& marks)
{
    w.Begin(32);
    w.U16(marks.size());
    for (const Mark& m : marks)
        w.U8(m.reserved01).U8(m.type).U16(m.item).U32(m.time).U16(m.pid).U32(m.duration);
    w.End();
}

// An ExtensionData entry with its data block as raw bytes.
struct ExtEntry {
    uint32_t id1 = 0, id2 = 0;
    std::vector<uint8_t> data;
};

// ExtensionData laid out as the converter lays it out: blocks at multiples of 4 from the
// length field, the whole block of even length.
inline void WriteExtensionData(FieldWriter& w, const std::vector<ExtEntry>& entries)
{
    size_t start = w.Size();
    w.Begin(32);
    if (entries.empty()) {
        w.End();
        return;
    }
    std::vector<uint32_t> at;
    size_t pos = 12 + 12 * entries.size();
    for (const ExtEntry& e : entries) {
        pos = (pos + 3) / 4 * 4;
        at.push_back(uint32_t(pos));
        pos += e.data.size();
    }
    w.U32(at[0]).Bits(24, 0).U8(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        w.U16(entries[i].id1).U16(entries[i].id2).U32(at[i]).U32(entries[i].data.size());
    for (size_t i = 0; i < entries.size(); ++i) {
        while (w.Size() - start < at[i])
            w.U8(0);
        w.Bytes(entries[i].data);
    }
    if ((w.Size() - start) % 2)
        w.U8(0);
    w.End();
}

struct Playlist {
    std::string version                 = "0200";
    std::vector<uint8_t> reservedHeader = std::vector<uint8_t>(20, 0);
    uint32_t appReserved01 = 0, playbackType = 1, playbackCount = 0;
    uint64_t uo                 = 0;
    uint32_t flags              = 0; // the four flags, most significant first
    uint32_t appReserved02      = 0;
    size_t appSurplus           = 0;
    uint32_t playListReserved01 = 0;
    std::vector<PlayItem> items;
    std::vector<SubPath> subPaths;
    std::vector<Mark> marks;
    std::vector<ExtEntry> ext;
    size_t padding = 0; // section alignment in bytes, 0 for none
};

inline std::vector<uint8_t> PlaylistFile(const Playlist& p)
{
    FieldWriter w;
    w.Text("MPLS").Bytes(Fixed(p.version, 4)).U32(0).U32(0).U32(0).Bytes(p.reservedHeader);
    w.Begin(32);
    w.U8(p.appReserved01).U8(p.playbackType).U16(p.playbackCount).Bits(64, p.uo);
    w.Fields({{4, p.flags}, {12, p.appReserved02}}).Zeros(p.appSurplus).End();
    w.AlignTo(p.padding);
    w.Patch(64, 32, w.Size());
    WritePlayListSection(w, p.items, p.subPaths, p.playListReserved01);
    w.AlignTo(p.padding);
    w.Patch(96, 32, w.Size());
    WriteMarks(w, p.marks);
    w.AlignTo(p.padding);
    if (!p.ext.empty()) {
        w.Patch(128, 32, w.Size());
        WriteExtensionData(w, p.ext);
        w.AlignTo(p.padding);
    }
    return w.Data();
}

} // namespace mpls_writer
