// Test-side transport stream writer: builds 188-byte packets, PSI sections with their CRC_32
// and PES packets from plain descriptions, independently of the demultiplexer.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace ts_writer
{

using Bytes = std::vector<uint8_t>;

inline uint32_t Crc32(const Bytes& data)
{
    uint32_t c = 0xFFFFFFFF;
    for (uint8_t b : data) {
        c ^= uint32_t(b) << 24;
        for (int i = 0; i < 8; ++i)
            c = (c & 0x80000000) ? (c << 1) ^ 0x04C11DB7 : c << 1;
    }
    return c;
}

// A section with the syntax indicator set: table_id, length, extension, version 0, 0 of 0.
inline Bytes Section(uint8_t tableId, uint16_t extension, const Bytes& body)
{
    size_t length = 5 + body.size() + 4;
    Bytes s       = {tableId,
                     uint8_t(0xB0 | (length >> 8)),
                     uint8_t(length),
                     uint8_t(extension >> 8),
                     uint8_t(extension),
                     0xC1,
                     0,
                     0};
    s.insert(s.end(), body.begin(), body.end());
    uint32_t crc = Crc32(s);
    for (int k = 3; k >= 0; --k)
        s.push_back(uint8_t(crc >> (8 * k)));
    return s;
}

inline Bytes Pat(const std::vector<std::pair<uint16_t, uint16_t>>& programs)
{
    Bytes body;
    for (auto& [number, pid] : programs)
        body.insert(body.end(), {uint8_t(number >> 8), uint8_t(number), uint8_t(0xE0 | pid >> 8),
                                 uint8_t(pid)});
    return Section(0x00, 1, body);
}

struct PmtStream {
    uint8_t type;
    uint16_t pid;
    Bytes esInfo = {};
};

// programInfoPad: bytes of stuffing descriptors (tag 0x42) in the program_info loop, so the
// section reaches a chosen length.
inline Bytes Pmt(uint16_t program, const std::vector<PmtStream>& streams, size_t programInfoPad = 0)
{
    Bytes info;
    while (programInfoPad > 0) {
        size_t take =
            programInfoPad <= 257 ? programInfoPad : (programInfoPad - 257 == 1 ? 256 : 257);
        info.push_back(0x42);
        info.push_back(uint8_t(take - 2));
        info.insert(info.end(), take - 2, 0xFF);
        programInfoPad -= take;
    }
    Bytes body = {0xE1, 0x00, uint8_t(0xF0 | info.size() >> 8), uint8_t(info.size())};
    body.insert(body.end(), info.begin(), info.end());
    for (auto& s : streams) {
        body.insert(body.end(), {s.type, uint8_t(0xE0 | s.pid >> 8), uint8_t(s.pid),
                                 uint8_t(0xF0 | s.esInfo.size() >> 8), uint8_t(s.esInfo.size())});
        body.insert(body.end(), s.esInfo.begin(), s.esInfo.end());
    }
    return Section(0x02, program, body);
}

struct Packet {
    uint16_t pid     = 0;
    bool unitStart   = false;
    bool error       = false;
    Bytes adaptation = {}; // the field behind its length byte; stuffing is added to fill
    bool hasField    = false;
    Bytes payload    = {};
    bool hasPayload  = true;
};

// One 188-byte packet: whatever the payload leaves free becomes adaptation-field stuffing.
inline Bytes Build(const Packet& p)
{
    size_t room   = 184 - p.payload.size();
    bool hasField = p.hasField || room > 0;
    Bytes out     = {0x47, uint8_t((p.error ? 0x80 : 0) | (p.unitStart ? 0x40 : 0) | (p.pid >> 8)),
                     uint8_t(p.pid), uint8_t(((hasField ? 2 : 0) | (p.hasPayload ? 1 : 0)) << 4)};
    if (hasField) {
        Bytes field = p.adaptation;
        if (room > 1 && field.empty())
            field.push_back(0x00);
        field.resize(room - 1, 0xFF);
        out.push_back(uint8_t(field.size()));
        out.insert(out.end(), field.begin(), field.end());
    }
    out.insert(out.end(), p.payload.begin(), p.payload.end());
    out.resize(188, 0xFF);
    return out;
}

// A section behind a pointer_field of 0, over as many packets as it needs.
inline std::vector<Bytes> Psi(uint16_t pid, const Bytes& section)
{
    Bytes data = {0x00};
    data.insert(data.end(), section.begin(), section.end());
    std::vector<Bytes> out;
    for (size_t pos = 0; pos < data.size(); pos += 184) {
        Packet p;
        p.pid       = pid;
        p.unitStart = pos == 0;
        p.payload.assign(data.begin() + pos, data.begin() + std::min(data.size(), pos + 184));
        p.payload.resize(184, 0xFF);
        out.push_back(Build(p));
    }
    return out;
}

// A video PES header with a PTS and extraHeader more header bytes (stuffing).
inline Bytes PesHeader(size_t extraHeader = 0)
{
    Bytes h = {0x00, 0x00, 0x01, 0xE0, 0x00, 0x00, 0x80, 0x80, uint8_t(5 + extraHeader),
               0x21, 0x00, 0x01, 0x00, 0x01};
    h.insert(h.end(), extraHeader, 0xFF);
    return h;
}

// The PES (header and data) over packets; the first packet holds firstBytes of it at most.
inline std::vector<Bytes> Pes(uint16_t pid, const Bytes& data, size_t firstBytes = 184,
                              size_t extraHeader = 0)
{
    Bytes all = PesHeader(extraHeader);
    all.insert(all.end(), data.begin(), data.end());
    std::vector<Bytes> out;
    size_t pos = 0;
    while (pos < all.size()) {
        size_t n = std::min(all.size() - pos, pos == 0 ? firstBytes : size_t(184));
        Packet p;
        p.pid       = pid;
        p.unitStart = pos == 0;
        p.payload.assign(all.begin() + pos, all.begin() + pos + n);
        out.push_back(Build(p));
        pos += n;
    }
    return out;
}

} // namespace ts_writer
