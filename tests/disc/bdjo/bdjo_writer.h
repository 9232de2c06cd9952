// Test-side writer for BD-J object files, laid out from field lists with FieldWriter,
// independent of the code under test.
#pragma once

#include "tests/disc/mpls/mpls_writer.h"
#include "tests/support/field_writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace bdjo_writer
{

using mpls_writer::Fixed;
using testing_support::FieldWriter;

struct Profile {
    uint32_t profile = 1, major = 1, minor = 0, micro = 0;
};

struct Name {
    std::string lang, text;
};

struct App {
    uint32_t control = 1, type = 1, org = 1, id = 0x4000;
    uint32_t tag = 0, reserved01 = 0;
    std::vector<Profile> profiles;
    uint32_t priority = 1, binding = 0, visibility = 0;
    std::vector<Name> names;
    std::string icon;
    uint32_t iconFlags = 0;
    std::string base, classpath, initial;
    std::vector<std::string> params;
    int namesSize = -1, paramsSize = -1; // stored area sizes; -1: the sizes of the entries
};

struct CacheEntry {
    uint32_t type = 1;
    std::string ref, lang, reserved;
};

struct Bdjo {
    std::vector<uint8_t> reservedHeader = std::vector<uint8_t>(16, 0);
    std::string font                    = "00000";
    uint32_t havi = 1, menuMask = 0, titleMask = 0, mouse = 0, mouseInterest = 0;
    uint32_t outputMode = 0, frameRate = 0, terminalReserved = 0;
    uint32_t cacheReserved = 0;
    std::vector<CacheEntry> cache;
    uint32_t accessAll = 0, autostart = 0, playlistsReserved = 0;
    std::vector<std::string> playlists;
    std::vector<App> apps;
    uint32_t keys    = 0; // the 32 bits of the KeyInterestTable
    std::string path = ".";
    size_t padding   = 0;
};

// A length byte, the bytes and, when the two are an odd number of bytes, a zero byte.
inline void PaddedString(FieldWriter& w, const std::string& s)
{
    w.U8(s.size()).Text(s);
    if (s.size() % 2 == 0)
        w.U8(0);
}

inline void WriteDescriptor(FieldWriter& w, const App& a)
{
    w.U8(a.tag).U8(0);
    w.Begin(32);
    w.U32(a.reserved01).Fields({{4, a.profiles.size()}, {12, 0}});
    for (const Profile& p : a.profiles)
        w.U16(p.profile).U8(p.major).U8(p.minor).U8(p.micro).U8(0);
    w.U8(a.priority).Fields({{2, a.binding}, {2, a.visibility}, {4, 0}});
    size_t names = 0;
    for (const Name& n : a.names)
        names += 4 + n.text.size();
    w.U16(a.namesSize < 0 ? names : size_t(a.namesSize));
    for (const Name& n : a.names)
        w.Bytes(Fixed(n.lang, 3)).U8(n.text.size()).Text(n.text);
    if (names % 2)
        w.U8(0);
    PaddedString(w, a.icon);
    w.U16(a.iconFlags);
    PaddedString(w, a.base);
    PaddedString(w, a.classpath);
    PaddedString(w, a.initial);
    size_t params = 0;
    for (const std::string& p : a.params)
        params += 1 + p.size();
    w.U8(a.paramsSize < 0 ? params : size_t(a.paramsSize));
    for (const std::string& p : a.params)
        w.U8(p.size()).Text(p);
    if (params % 2 == 0)
        w.U8(0);
    w.End();
}

inline std::vector<uint8_t> BdjoFile(const Bdjo& b)
{
    FieldWriter w;
    w.Text("BDJO0200").Zeros(24).Bytes(b.reservedHeader);
    auto section = [&](int index) { w.Patch(64 + 32 * index, 32, w.Size()); };
    section(0);
    w.Begin(32);
    w.Bytes(Fixed(b.font, 5));
    w.Fields({{4, b.havi},
              {1, b.menuMask},
              {1, b.titleMask},
              {1, b.mouse},
              {1, b.mouseInterest},
              {2, b.outputMode},
              {4, b.frameRate},
              {26, b.terminalReserved}});
    w.End();
    w.AlignTo(b.padding);
    section(1);
    w.Begin(32);
    w.U8(b.cache.size()).U8(b.cacheReserved);
    for (const CacheEntry& e : b.cache)
        w.U8(e.type).Bytes(Fixed(e.ref, 5)).Bytes(Fixed(e.lang, 3)).Bytes(Fixed(e.reserved, 3));
    w.End();
    w.AlignTo(b.padding);
    section(2);
    w.Begin(32);
    w.Fields(
        {{11, b.playlists.size()}, {1, b.accessAll}, {1, b.autostart}, {19, b.playlistsReserved}});
    for (const std::string& p : b.playlists)
        w.Bytes(Fixed(p, 5)).U8(0);
    w.End();
    w.AlignTo(b.padding);
    section(3);
    w.Begin(32);
    w.U8(b.apps.size()).U8(0);
    for (const App& a : b.apps) {
        w.U8(a.control).Fields({{4, a.type}, {4, 0}}).U32(a.org).U16(a.id);
        WriteDescriptor(w, a);
    }
    w.End();
    w.AlignTo(b.padding);
    section(4);
    w.U32(b.keys);
    w.AlignTo(b.padding);
    section(5);
    w.U16(b.path.size()).Text(b.path);
    if (b.path.size() % 2)
        w.U8(0);
    w.AlignTo(b.padding);
    return w.Data();
}

} // namespace bdjo_writer
