// The two sides of an H.264 syntax description: each structure names its fields once, in a
// Syntax(rw) template, and these policies read or write them with the standard's descriptors.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstddef>
#include <cstdint>
#include <vector>

struct H264Read {
    static constexpr bool kRead = true;
    H264BitReader& r;

    // u(n); a width computed from coded values may exceed 32, which the reader refuses with 2.
    void u(uint64_t n, uint32_t& v) { v = r.ReadBits(n > 32 ? 33 : unsigned(n)); }
    void flag(uint32_t& v) { v = r.ReadBits(1); }
    void ue(uint32_t& v) { v = r.ReadUE(); }
    void se(int32_t& v) { v = r.ReadSE(); }
    // A value the stream leaves out: the reader sets it, the writer writes nothing.
    template <class T, class V> void infer(T& v, V value) { v = T(value); }
    // Bits of a set value (marker bits, reserved zeros): written as the value, read unchecked.
    void fixed(unsigned n, uint32_t) { r.ReadBits(n); }
    // Zero bits up to the byte boundary (sei_nesting_zero_bit): read unchecked.
    void align_zero()
    {
        while (!r.IsByteAligned())
            r.ReadBits(1);
    }
    // n bytes (a UUID, a type code).
    void bytes(uint8_t* v, size_t n) { r.ReadBytes(v, n); }
    // A sign bit (1 negative) and a magnitude of n (at most 31) bits. zeroSign is the sign bit
    // that the writer gives 0.
    void sign_magnitude(unsigned n, int32_t& v, uint32_t)
    {
        uint32_t negative  = r.ReadBits(1);
        uint32_t magnitude = r.ReadBits(n);
        v                  = negative ? -int32_t(magnitude) : int32_t(magnitude);
    }
    // n entries that together take at least minBits more bits of the unit. A count that
    // cannot fit in what is left can only end in "read past NAL end": fail before allocating.
    // The bound counts escape bytes too, so a big slice is never unescaped just to check.
    template <class Vec> void size(Vec& vec, uint64_t n, uint64_t minBits)
    {
        if (minBits > r.BitsLeftBound())
            throw kBitstreamReadPastEnd;
        spend<typename Vec::value_type>(n);
        vec.assign(size_t(n), typename Vec::value_type());
    }
    template <class Vec> void size(Vec& vec, uint64_t n) { size(vec, n, n); }
    // n more entries of a list that holds several coded lists one after another, from pos on
    // (the end of what was read so far); each takes at least one bit.
    template <class Vec> void extend(Vec& vec, size_t pos, uint64_t n)
    {
        if (n > r.BitsLeftBound())
            throw kBitstreamReadPastEnd;
        spend<typename Vec::value_type>(n);
        vec.resize(pos + size_t(n));
    }
    // n entries of a list, against the unit's list budget.
    template <class T> void spend(uint64_t n) { r.SpendListBytes(n * sizeof(T)); }
    // A payload type or size of sei_message(): 255 for every 0xFF byte, then the first other
    // byte.
    void ff_coded(uint64_t& v)
    {
        uint32_t byte;
        for (v = 0; (byte = r.ReadBits(8)) == 0xFF;)
            v += 255;
        v += byte;
    }
    void rbsp_trailing_bits() { r.SkipToByteAlign(); }
};

struct H264Write {
    static constexpr bool kRead = false;
    H264BitWriter& w;

    void u(uint64_t n, uint32_t v) { w.WriteBits(n > 32 ? 33 : unsigned(n), v); }
    void flag(uint32_t v) { w.WriteBits(1, v); }
    void ue(uint32_t v) { w.WriteUE(v); }
    void se(int32_t v) { w.WriteSE(v); }
    template <class T, class V> void infer(T&, V) {}
    void fixed(unsigned n, uint32_t v) { w.WriteBits(n, v); }
    void align_zero()
    {
        while (!w.IsByteAligned())
            w.WriteBits(1, 0);
    }
    void bytes(const uint8_t* v, size_t n) { w.WriteBytes(v, n); }
    // The magnitude keeps its low n bits.
    void sign_magnitude(unsigned n, int32_t v, uint32_t zeroSign)
    {
        w.WriteBits(1, v < 0 ? 1 : v > 0 ? 0 : zeroSign);
        w.WriteBits(n, v < 0 ? 0 - uint32_t(v) : uint32_t(v));
    }
    template <class Vec> void size(Vec& vec, uint64_t n, uint64_t) { vec.resize(size_t(n)); }
    template <class Vec> void size(Vec& vec, uint64_t n) { vec.resize(size_t(n)); }
    // The entries are there already, unless the lists were edited out of step with the counts.
    template <class Vec> void extend(Vec& vec, size_t pos, uint64_t n)
    {
        if (vec.size() < pos + n)
            vec.resize(pos + size_t(n));
    }
    void ff_coded(uint64_t v)
    {
        for (; v > 254; v -= 255)
            w.WriteBits(8, 0xFF);
        w.WriteBits(8, uint32_t(v));
    }
    void rbsp_trailing_bits() { w.WriteTrailingBits(); }
};
