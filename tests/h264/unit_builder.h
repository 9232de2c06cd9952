// Builds NAL units for the tests: start code, header byte, an RBSP written field by field,
// rbsp_trailing_bits, then emulation prevention; and runs them through a parse context.
#pragma once

#include "h264/bit_reader.h"
#include "h264/bit_writer.h"
#include "h264/nal_parser.h"

#include <cstdint>
#include <functional>
#include <vector>

// The RBSP fields of one unit, in the standard's descriptors.
class Rbsp
{
  public:
    Rbsp& u(unsigned n, uint32_t v)
    {
        m_w.WriteBits(n, v);
        return *this;
    }
    Rbsp& ue(uint32_t v)
    {
        m_w.WriteUE(v);
        return *this;
    }
    Rbsp& se(int32_t v)
    {
        m_w.WriteSE(v);
        return *this;
    }
    Rbsp& bytes(const std::vector<uint8_t>& b)
    {
        for (uint8_t x : b)
            m_w.WriteBits(8, x);
        return *this;
    }
    bool Aligned() const { return m_w.IsByteAligned(); }
    std::vector<uint8_t> Bytes() const
    {
        std::vector<uint8_t> b(m_w.Size());
        for (size_t i = 0; i < b.size(); ++i)
            b[i] = m_w.Data()[i];
        return b;
    }

  private:
    H264BitWriter m_w;
};

// Appends the bytes with emulation prevention.
inline void Escape(const std::vector<uint8_t>& rbsp, std::vector<uint8_t>& out)
{
    int zeros = 0;
    for (uint8_t b : rbsp) {
        if (zeros >= 2 && b <= 3) {
            out.push_back(3);
            zeros = 0;
        }
        out.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
}

// 00 00 00 01, the header byte (and headerExtra bytes for types 14, 20, 21), the fields,
// then the trailing bits unless told otherwise.
inline std::vector<uint8_t> Unit(uint32_t type, uint32_t refIdc,
                                 const std::function<void(Rbsp&)>& fields, bool trailing = true)
{
    Rbsp r;
    r.u(8, (refIdc << 5) | type);
    fields(r);
    if (trailing) {
        r.u(1, 1);
        while (!r.Aligned())
            r.u(1, 0);
    }
    std::vector<uint8_t> rbsp = r.Bytes();
    std::vector<uint8_t> unit(4, 0);
    unit[3] = 1;
    Escape(rbsp, unit);
    return unit;
}

// An SEI unit of already framed messages.
inline std::vector<uint8_t> SeiUnit(const std::vector<std::vector<uint8_t>>& messages)
{
    return Unit(6, 0, [&](Rbsp& r) {
        for (const auto& m : messages)
            r.bytes(m);
    });
}

// sei_message(): type and size in the 0xFF-run coding, then the payload.
inline std::vector<uint8_t> SeiMessage(uint32_t type, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> m;
    for (uint32_t t = type;; t -= 255) {
        m.push_back(uint8_t(t > 254 ? 0xFF : t));
        if (t <= 254)
            break;
    }
    for (size_t s = payload.size();; s -= 255) {
        m.push_back(uint8_t(s > 254 ? 0xFF : s));
        if (s <= 254)
            break;
    }
    m.insert(m.end(), payload.begin(), payload.end());
    return m;
}

// A payload from its fields; an unaligned end gets bit_equal_to_one and zero bits.
inline std::vector<uint8_t> Payload(const std::function<void(Rbsp&)>& fields)
{
    Rbsp r;
    fields(r);
    if (!r.Aligned())
        r.u(1, 1);
    while (!r.Aligned())
        r.u(1, 0);
    return r.Bytes();
}

inline int ParseUnit(H264NalParser& ctx, const std::vector<uint8_t>& unit)
{
    H264BitReader reader;
    reader.InitView(unit.data(), unit.size());
    RemoveEmulationPrevention(reader);
    return ctx.ParseNalPayload(reader);
}

inline std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& units)
{
    std::vector<uint8_t> out;
    for (const auto& u : units)
        out.insert(out.end(), u.begin(), u.end());
    return out;
}
