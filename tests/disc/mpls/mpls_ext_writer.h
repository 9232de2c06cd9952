// Test-side writers for the data blocks of playlist ExtensionData entries: STN_table_SS,
// SubPath extensions, the active video window and picture-in-picture metadata.
#pragma once

#include "tests/disc/mpls/mpls_writer.h"

namespace mpls_writer
{

// A stream entry of the STN_table_SS elements (type 1: PID in the main clip).
inline Stream Pid(uint32_t pid)
{
    Stream s;
    s.pid = pid;
    return s;
}

struct MvcStream {
    Stream entry    = FromSubPath(Pid(0x1012), 2, 0, 0);
    uint32_t coding = 0x20, format = 6, rate = 1, reserved = 0, offsets = 3;
};

struct PGStreamSS {
    uint32_t ref = 0, reserved01 = 0, dialog = 0;
    bool ss = false, top = false, bottom = false;
    Stream left, right, topEntry, bottomEntry;
    uint32_t ssRef = 0, topRef = 0, bottomRef = 0;
    uint8_t droppedByte = 0; // the reserved byte before each reference
};

struct IGStreamSS {
    uint32_t ref = 0, direction = 0, value = 0, reserved01 = 0, reserved02 = 0;
    bool ss = false;
    Stream left, right;
    uint32_t ssRef = 0;
};

struct STNSSItem {
    uint32_t fixed = 0, reserved01 = 0;
    std::vector<MvcStream> mvc;
    std::vector<PGStreamSS> pg;
    std::vector<IGStreamSS> ig;
};

inline std::vector<uint8_t> STNTableSSBlock(const std::vector<STNSSItem>& items)
{
    FieldWriter w;
    for (const STNSSItem& item : items) {
        size_t start = w.Size();
        w.Begin(16);
        w.Fields({{1, item.fixed}, {15, item.reserved01}});
        for (const MvcStream& m : item.mvc) {
            WriteStreamEntry(w, m.entry);
            w.Begin(8);
            w.Fields({{8, m.coding}, {4, m.format}, {4, m.rate}, {24, 0}}).End();
            w.Fields({{10, m.reserved}, {6, m.offsets}});
        }
        for (const PGStreamSS& p : item.pg) {
            w.Fields({{8, p.ref},
                      {4, p.reserved01},
                      {1, p.dialog},
                      {1, p.ss},
                      {1, p.top},
                      {1, p.bottom}});
            if (p.ss) {
                WriteStreamEntry(w, p.left);
                WriteStreamEntry(w, p.right);
                w.U8(p.droppedByte).U8(p.ssRef);
            }
            if (p.top) {
                WriteStreamEntry(w, p.topEntry);
                w.U8(p.droppedByte).U8(p.topRef);
            }
            if (p.bottom) {
                WriteStreamEntry(w, p.bottomEntry);
                w.U8(p.droppedByte).U8(p.bottomRef);
            }
        }
        for (const IGStreamSS& g : item.ig) {
            w.Fields({{8, g.ref},
                      {1, g.direction},
                      {7, g.value},
                      {8, g.reserved01},
                      {7, g.reserved02},
                      {1, g.ss}});
            if (g.ss) {
                WriteStreamEntry(w, g.left);
                WriteStreamEntry(w, g.right);
                w.U8(0).U8(g.ssRef);
            }
        }
        while ((w.Size() - start) % 4)
            w.U8(0);
        w.End();
    }
    return w.Data();
}

// SubPath_entries_extension: count, SubPaths, padding to a multiple of 4.
inline std::vector<uint8_t> SubPathExtensionBlock(const std::vector<SubPath>& subPaths)
{
    FieldWriter w;
    w.Begin(32);
    w.U16(subPaths.size());
    for (const SubPath& s : subPaths)
        WriteSubPath(w, s);
    w.AlignTo(4).End();
    return w.Data();
}

inline std::vector<uint8_t> ActiveVideoWindowBlock(uint32_t top, uint32_t bottom, uint32_t topAlign,
                                                   uint32_t bottomAlign, uint32_t reserved)
{
    FieldWriter w;
    w.U8(top).U8(bottom).U8(topAlign).U8(bottomAlign).U32(reserved);
    return w.Data();
}

struct PipEntry {
    uint32_t time = 0, x = 0, y = 0, scale = 0, reserved = 0;
};

struct PipBlock {
    uint32_t item = 0, secondary = 0, reserved01 = 0, timeline = 0, luma = 0, trick = 0;
    uint32_t reserved02 = 0, reserved03 = 0, upper = 0, reserved04 = 0;
    std::vector<PipEntry> entries;
};

// pip_metadata with the data blocks packed in order after the headers.
inline std::vector<uint8_t> PipBlockData(const std::vector<PipBlock>& blocks)
{
    FieldWriter w;
    w.Begin(32);
    w.U16(blocks.size());
    uint32_t at = uint32_t(6 + 14 * blocks.size());
    for (const PipBlock& b : blocks) {
        w.U16(b.item).U8(b.secondary).U8(b.reserved01);
        w.Fields({{4, b.timeline}, {1, b.luma}, {1, b.trick}, {10, b.reserved02}});
        w.U8(b.reserved03).U8(b.upper).U16(b.reserved04).U32(at);
        at += uint32_t(2 + 8 * b.entries.size());
    }
    for (const PipBlock& b : blocks) {
        w.U16(b.entries.size());
        for (const PipEntry& e : b.entries)
            w.U32(e.time).Fields({{12, e.x}, {12, e.y}, {4, e.scale}, {4, e.reserved}});
    }
    w.End();
    return w.Data();
}

} // namespace mpls_writer
