// Builds NAL units for the tests: start code, header byte, an RBSP written field by field,
// rbsp_trailing_bits, then emulation prevention; runs them through a parse context and
// captures what print functions write.
#pragma once

#include "h264/bits/bit_writer.h"
#include "h264/syntax/nal_parser.h"
#include "tests/support/test_support.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using testing_support::Hex;

// The RBSP fields of one unit, in the standard's descriptors.
class Rbsp
{
  public:
    Rbsp& u(unsigned n, uint32_t v) { return Did(m_w.WriteBits(n, v)); }
    Rbsp& ue(uint32_t v) { return Did(m_w.WriteUE(v)); }
    Rbsp& se(int32_t v) { return Did(m_w.WriteSE(v)); }
    Rbsp& bytes(const std::vector<uint8_t>& b) { return Did(m_w.WriteBytes(b.data(), b.size())); }
    bool Aligned() const { return m_w.IsByteAligned(); }
    std::vector<uint8_t> Bytes() const { return {m_w.Data(), m_w.Data() + m_w.Size()}; }

  private:
    Rbsp& Did(int) { return *this; }
    H264BitWriter m_w;
};

// 00 00 00 01, the header byte, the fields (extension header bits included), then the
// trailing bits unless told otherwise; escaped as a stream carries it.
inline std::vector<uint8_t> Unit(uint32_t type, uint32_t refIdc,
                                 const std::function<void(Rbsp&)>& fields, bool trailing = true)
{
    Rbsp r;
    r.u(8, (refIdc << 5) | type);
    fields(r);
    if (trailing)
        for (r.u(1, 1); !r.Aligned();)
            r.u(1, 0);
    std::vector<uint8_t> unit = {0, 0, 0, 1};
    int zeros                 = 0;
    for (uint8_t b : r.Bytes()) {
        if (zeros >= 2 && b <= 3) {
            unit.push_back(3);
            zeros = 0;
        }
        unit.push_back(b);
        zeros = b == 0 ? zeros + 1 : 0;
    }
    return unit;
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

// sei_message(): type and size in the 0xFF-run coding, then the payload.
inline std::vector<uint8_t> SeiMessage(uint32_t type, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> m(type / 255, 0xFF);
    m.push_back(uint8_t(type % 255));
    m.insert(m.end(), payload.size() / 255, 0xFF);
    m.push_back(uint8_t(payload.size() % 255));
    m.insert(m.end(), payload.begin(), payload.end());
    return m;
}

// The payload of a message without its type and size bytes.
inline std::vector<uint8_t> PayloadOf(const std::vector<uint8_t>& message)
{
    size_t i = 0;
    while (message[i++] == 0xFF) {
    }
    while (message[i++] == 0xFF) {
    }
    return {message.begin() + std::ptrdiff_t(i), message.end()};
}

// An SEI unit of framed messages.
inline std::vector<uint8_t> SeiUnit(const std::vector<std::vector<uint8_t>>& messages)
{
    return Unit(6, 0, [&](Rbsp& r) {
        for (const auto& m : messages)
            r.bytes(m);
    });
}

inline std::vector<uint8_t> Concat(const std::vector<std::vector<uint8_t>>& parts)
{
    std::vector<uint8_t> out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// As the stream tools do: a reader over the unit in place, escapes removed as it reads.
inline int ParseUnit(H264NalParser& ctx, const std::vector<uint8_t>& unit)
{
    H264BitReader reader;
    return ctx.ParseNalUnit(reader, unit.data(), unit.size());
}

// The current unit written back and escaped.
inline std::vector<uint8_t> Rewrite(H264NalParser& ctx, int* result = nullptr)
{
    H264BitWriter w;
    int r = ctx.WriteNalUnit(w);
    if (result)
        *result = r;
    InsertEmulationPrevention(w);
    return {w.Data(), w.Data() + w.Size()};
}

// What a print function writes to its FILE*.
template <class F> std::string Printed(F&& print)
{
    char* buffer = nullptr;
    size_t size  = 0;
    FILE* stream = open_memstream(&buffer, &size);
    print(stream);
    fclose(stream);
    std::string text(buffer, size);
    free(buffer);
    return text;
}

// Each line must stand in the text as a whole line, indentation included.
inline void ExpectLines(const std::string& text, const std::vector<std::string>& lines)
{
    for (const std::string& line : lines)
        EXPECT_NE(("\n" + text).find("\n" + line + "\n"), std::string::npos)
            << "no line \"" << line << "\" in\n"
            << text;
}

// The text from where first stands up to, not including, where end stands next ("" for the
// end of the text).
inline std::string Between(const std::string& text, const std::string& first,
                           const std::string& end)
{
    size_t a = text.find(first);
    if (a == std::string::npos)
        return "(no line " + first + ")";
    size_t b = end.empty() ? std::string::npos : text.find(end, a + first.size());
    return text.substr(a, b == std::string::npos ? std::string::npos : b - a);
}
