// CIBDSerial, the base of every disc structure, the framing helpers, and ser::Described, which
// derives a structure's operations from its description.
#pragma once

#include "disc/framework/bit_buffer.h"
#include "disc/framework/json_helpers.h"

#include <cstdint>

// The six operations every disc structure offers. It carries no data: a structure's framing
// state lives where it is used. WriteJSON adds the structure's members to the JSON object being
// written; it cannot fail, since what is written cannot be taken back.
class CIBDSerial
{
  public:
    virtual ~CIBDSerial() = default; // an ExtensionData entry owns its block through this base
    virtual void Clear() {}
    virtual int ReadJSON(JDoc&, JValue&) { return 0; }
    virtual int Parse(CBitBuffer&) { return 0; }
    virtual void WriteJSON(JWriter&) {}
    virtual int Build(CBitBuffer&) { return 0; }
    virtual void Print(int) {}
};

// Ends a length-prefixed block whose length field of bits starts at lengthPos: pads it to a
// multiple of modulus bytes (length field included) and back-patches the length. A length the
// field cannot hold is refused (message naming the block, or "block"; result 1).
int EndLength(CBitBuffer& writer, uint64_t lengthPos, unsigned bits, uint32_t modulus,
              const char* name);

// Appends zero bytes until the distance from start is a multiple of modulus bytes (0: none).
void PadToModulus(CBitBuffer& writer, uint64_t start, uint32_t modulus);

// The cursor's byte offset from fileStart as a 32-bit start address; an offset beyond 32 bits
// is refused (message naming the file kind, result 1) instead of written cut.
int SectionAddress(const CBitBuffer& writer, uint64_t fileStart, uint32_t& address,
                   const char* fileKind);

// Build refuses a list that its count field cannot hold: message naming the list, result 1.
int CheckListSize(uint64_t size, uint64_t limit, const char* what);

namespace ser
{

class Parser;
class JsonReader;

// How a structure stands in the file: its fields alone, or after a length field of LengthBits
// that counts them, padded to a multiple of Modulus bytes.
struct Plain {
    static constexpr unsigned kLengthBits = 0;
    static constexpr uint32_t kModulus    = 0;
};
template <unsigned LengthBits, uint32_t Modulus = 0> struct Length {
    static constexpr unsigned kLengthBits = LengthBits;
    static constexpr uint32_t kModulus    = Modulus;
};

// The operations of a structure whose Fields template describes it, in its framing. Its JSON
// stands as an object under T::kJsonName when T has one, else flat in the object its owner gives.
// Base is CIBDSerial, or the structure a variant shares its fields with.
//
// The file that defines T's Fields instantiates it once (template class ser::Described<T, ...>);
// T's header declares that instantiation extern.
template <class T, class Framing = Plain, class Base = CIBDSerial> class Described : public Base
{
  public:
    using FramingType = Framing;
    void Clear() override;
    int ReadJSON(JDoc& doc, JValue& parent) override;
    int Parse(CBitBuffer& bb) override;
    void WriteJSON(JWriter& w) override;
    int Build(CBitBuffer& bb) override;

    // The operations for an owner that describes a T as its child or element: parsing goes on
    // with the limits of the owner's policy.
    static int ParseWith(T& t, Parser& owner);
    static int BuildWith(T& t, CBitBuffer& bb);
    static int ReadWith(T& t, JDoc& doc, JValue& parent);
    static int ReadWith(T& t, JsonReader& owner);
    static void WriteWith(T& t, JWriter& w);
};

} // namespace ser
