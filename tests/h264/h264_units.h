// Building NAL units bit by bit for the syntax tests, and running them through a parse context.
#pragma once

#include "h264/bit_reader.h"
#include "h264/bit_writer.h"
#include "h264/nal_parser.h"
#include "tests/support/test_support.h"

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace h264_test
{

// "0110 0111 ..." to bytes: 0 and 1 are bits, everything else is ignored; whole bytes only.
inline std::vector<uint8_t> Bits(const std::string& text)
{
    std::vector<uint8_t> out;
    unsigned n = 0, acc = 0;
    for (char c : text) {
        if (c != '0' && c != '1')
            continue;
        acc = (acc << 1) | unsigned(c - '0');
        if (++n == 8) {
            out.push_back(uint8_t(acc));
            n = acc = 0;
        }
    }
    if (n != 0)
        throw std::invalid_argument("bit string is not whole bytes: " + text);
    return out;
}

// Codes as bit strings: u(n), ue(v), se(v).
inline std::string U(unsigned n, uint64_t v)
{
    std::string s;
    for (unsigned i = n; i-- > 0;)
        s += char('0' + ((v >> i) & 1));
    return s + " ";
}

inline std::string UE(uint64_t v)
{
    unsigned len = 0;
    for (uint64_t x = v + 1; x; x >>= 1)
        ++len;
    return std::string(len - 1, '0') + U(len, v + 1);
}

inline std::string SE(int64_t v) { return UE(v > 0 ? uint64_t(2 * v - 1) : uint64_t(-2 * v)); }

inline std::vector<uint8_t> Cat(std::vector<uint8_t> a, const std::vector<uint8_t>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A unit: the 4-byte start code, the header bytes in hex, then the payload bits as RBSP bits,
// escaped as a stream carries them.
inline std::vector<uint8_t> Unit(const std::string& headerHex, const std::string& payloadBits)
{
    H264BitWriter w;
    w.WriteBits(32, 1);
    for (uint8_t b : testing_support::Hex(headerHex))
        w.WriteBits(8, b);
    for (uint8_t b : Bits(payloadBits))
        w.WriteBits(8, b);
    InsertEmulationPrevention(w);
    return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
}

// The same with rbsp_trailing_bits() appended: the stop bit and zeros to the byte boundary.
inline std::vector<uint8_t> Rbsp(const std::string& headerHex, const std::string& payloadBits)
{
    size_t n = 0;
    for (char c : payloadBits)
        n += c == '0' || c == '1';
    std::string bits = payloadBits + " 1";
    for (++n; n % 8; ++n)
        bits += '0';
    return Unit(headerHex, bits);
}

// As the stream tools do: a reader over the unit in place, escapes removed as it reads.
inline int Parse(H264NalParser& p, const std::vector<uint8_t>& unit)
{
    H264BitReader r;
    r.InitView(unit.data(), unit.size());
    RemoveEmulationPrevention(r);
    return p.ParseNalPayload(r);
}

// The current unit written back and escaped.
inline std::vector<uint8_t> Rewrite(H264NalParser& p, int* result = nullptr)
{
    H264BitWriter w;
    int r = p.WriteNalUnit(w);
    if (result)
        *result = r;
    InsertEmulationPrevention(w);
    return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
}

} // namespace h264_test
