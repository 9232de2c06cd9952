// A playlist that exercises most of the format: two PlayItems (the second multi-angle),
// streams of every coding group, an IG-menu SubPath with one SubPlayItem, marks and an
// ExtensionData entry of unknown kind.
#pragma once

#include "tests/disc/mpls/mpls_writer.h"

namespace mpls_writer
{

inline Playlist SamplePlaylist()
{
    Playlist p;
    p.uo    = 0x8000000000000001ull; // menu_call_mask and the low bit of reserved03
    p.flags = 0xA;                   // random access and lossless-may-bypass-mixer

    PlayItem first;
    first.clip.name    = "00001";
    first.in           = 90000;
    first.out          = 90000 + 45000 * 20; // 0:20
    first.uo           = 1ull << 56;         // stop_mask
    first.stn.video    = {Video(0x1B, 6, 1, 0x1011)};
    first.stn.audio    = {Audio(0x81, 6, 1, "jpn", 0x1100), Audio(0x80, 3, 4, "eng", 0x1101)};
    first.stn.pg       = {Graphics(0x90, "eng", 0x1200), Text(1, "fra", 0x1800)};
    first.stn.ig       = {Graphics(0x91, "jpn", 0x1400)};
    Stream secAudio    = Audio(0xA1, 3, 1, "jpn", 0x1A00);
    secAudio.refs      = {0, 1, 2};
    first.stn.secAudio = {secAudio};
    Stream pip         = FromSubPath(Video(0x1B, 4, 4, 0x1B00), 2, 0, 1);
    pip.refs           = {0};
    pip.pipRefs        = {1, 2};
    first.stn.secVideo = {pip};

    PlayItem second;
    second.clip       = {"00002", "M2TS", 1};
    second.connection = 5;
    second.in         = 0;
    second.out        = 45000u * 61 * 60; // 61:00
    second.multiAngle = true;
    second.seamless   = 1;
    second.angles     = {{"00003", "M2TS", 0}, {"00004", "M2TS", 2}};
    second.stn.video  = {Video(0x24, 8, 6, 0x1011, 0x5A)};

    SubPath menu;
    menu.type = 3;
    SubPlayItem pop;
    pop.clip   = {"00005", "M2TS", 0};
    pop.in     = 1000;
    pop.out    = 1000 + 2700000 + 45000 * 5; // 1:05
    menu.items = {pop};

    p.items    = {first, second};
    p.subPaths = {menu};
    p.marks    = {{0, 1, 0, 90000, 0xFFFF, 0},
                  {0, 1, 0, 90000 + 45000 * 15, 0xFFFF, 0},
                  {0, 2, 1, 45000 * 90, 0x1011, 45000}};
    p.ext      = {{3, 7, {1, 2, 3, 4, 5}}};
    return p;
}

} // namespace mpls_writer
