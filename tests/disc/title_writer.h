// Test-side writer for index.bdmv and MovieObject.bdmv, laid out from field lists with
// FieldWriter (ExtensionData as the playlist writer lays it out).
#pragma once

#include "tests/disc/mpls/mpls_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace title_writer
{

using mpls_writer::ExtEntry;
using mpls_writer::Fixed;
using testing_support::FieldWriter;

// One twelve-byte entry of the title table (also first playback and top menu).
struct Title {
    uint32_t objectType = 1, access = 0, reserved01 = 0, playback = 0, reserved02 = 0;
    uint32_t id = 0;         // mobj_id_ref (object type 1)
    std::string name;        // bdjo_file_name (object type 2)
    uint32_t reserved03 = 0; // 32 bits for type 1, 8 for type 2
    uint64_t tail       = 0; // the last 48 bits of any other object type
};

inline void WriteTitle(FieldWriter& w, const Title& t)
{
    w.Fields({{2, t.objectType},
              {2, t.access},
              {28, t.reserved01},
              {2, t.playback},
              {14, t.reserved02}});
    if (t.objectType == 1)
        w.U16(t.id).U32(t.reserved03);
    else if (t.objectType == 2)
        w.Bytes(Fixed(t.name, 5)).U8(t.reserved03);
    else
        w.Bits(48, t.tail);
}

struct Index {
    std::vector<uint8_t> reservedHeader = std::vector<uint8_t>(24, 0);
    uint32_t outputMode = 0, ss = 0, appReserved02 = 0, format = 6, rate = 1;
    std::vector<uint8_t> userData = std::vector<uint8_t>(32, 0);
    size_t appSurplus             = 0; // bytes after the known AppInfoBDMV fields
    Title first, top;
    std::vector<Title> titles;
    std::vector<ExtEntry> ext;
    size_t padding = 0;
};

inline std::vector<uint8_t> IndexFile(const Index& x)
{
    FieldWriter w;
    w.Text("INDX0200").U32(0).U32(0).Bytes(x.reservedHeader);
    w.Begin(32);
    w.Fields(
        {{1, 0}, {1, x.outputMode}, {1, x.ss}, {5, x.appReserved02}, {4, x.format}, {4, x.rate}});
    w.Bytes(x.userData).Zeros(x.appSurplus).End();
    w.AlignTo(x.padding);
    w.Patch(64, 32, w.Size()); // Indexes start address
    w.Begin(32);
    WriteTitle(w, x.first);
    WriteTitle(w, x.top);
    w.U16(x.titles.size());
    for (const Title& t : x.titles)
        WriteTitle(w, t);
    w.End();
    w.AlignTo(x.padding);
    if (!x.ext.empty()) {
        w.Patch(96, 32, w.Size()); // ExtensionData start address
        mpls_writer::WriteExtensionData(w, x.ext);
        w.AlignTo(x.padding);
    }
    return w.Data();
}

struct Command {
    uint32_t op = 0, operand1 = 0, operand2 = 0;
};

// The command word from operand count, group, sub-group, the immediate flags of the two
// operands and the group's option field (branch, compare or set option).
inline uint32_t Op(uint32_t count, uint32_t group, uint32_t sub, uint32_t imm1, uint32_t imm2,
                   uint32_t option)
{
    uint32_t shift = group == 0 ? 16 : group == 1 ? 8 : 0;
    return count << 29 | group << 27 | sub << 24 | imm1 << 23 | imm2 << 22 | option << shift;
}

struct MovieObject {
    uint32_t resume = 0, menuMask = 0, titleMask = 0, reserved01 = 0;
    std::vector<Command> commands;
};

struct MovieObjects {
    std::vector<uint8_t> reservedHeader = std::vector<uint8_t>(28, 0);
    uint32_t reserved                   = 0;
    std::vector<MovieObject> objects;
    std::vector<ExtEntry> ext;
    size_t padding = 0;
};

inline std::vector<uint8_t> MovieObjectFile(const MovieObjects& m)
{
    FieldWriter w;
    w.Text("MOBJ0200").U32(0).Bytes(m.reservedHeader);
    w.Begin(32);
    w.U32(m.reserved).U16(m.objects.size());
    for (const MovieObject& o : m.objects) {
        w.Fields({{1, o.resume}, {1, o.menuMask}, {1, o.titleMask}, {13, o.reserved01}});
        w.U16(o.commands.size());
        for (const Command& c : o.commands)
            w.U32(c.op).U32(c.operand1).U32(c.operand2);
    }
    w.End();
    w.AlignTo(m.padding);
    if (!m.ext.empty()) {
        w.Patch(64, 32, w.Size()); // ExtensionData start address
        mpls_writer::WriteExtensionData(w, m.ext);
        w.AlignTo(m.padding);
    }
    return w.Data();
}

} // namespace title_writer
