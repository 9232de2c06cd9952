// One description of a structure's fields drives all four operations: a Fields(IO&) member
// template is run with a policy that reads bits, writes bits, reads JSON or writes JSON.
//
// Errors are sticky: after a stopping failure every later call is a no-op. Result() is the
// first failure code, else bit 0 of the required-member flags (JSON reading).
#pragma once

#include "disc/framework/code_names.h"
#include "disc/framework/serial.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// A member's name is its JSON key.
#define FLD(m) m, #m

namespace ser
{

enum class Op { kParse, kBuild, kReadJson, kWriteJson };
enum Presence { kRequired, kOptional };
enum ChildMode { kStop, kKeepGoing };

// Messages a list prints for a failing element, one per operation; each may hold one %u for
// the element's index. nullptr prints nothing.
struct ListTexts {
    const char* parse = nullptr;
    const char* build = nullptr;
    const char* read  = nullptr;
    const char* save  = nullptr;
};

// Messages an owner prints when a child fails, one per operation (no arguments).
struct ChildTexts {
    const char* parse = nullptr;
    const char* build = nullptr;
    const char* read  = nullptr;
    const char* save  = nullptr;
};

class IOBase
{
  public:
    int m_result     = 0;
    bool m_stopped   = false;
    uint32_t m_flags = 0;

    bool Ok() const { return !m_stopped; }
    int Result() const { return m_result ? m_result : int(m_flags & 1); }

    // Prints the message, records failure 1 and stops the remaining fields.
    void Fail(const char* format, ...) __attribute__((format(printf, 2, 3)))
    {
        if (m_stopped)
            return;
        va_list args;
        va_start(args, format);
        vfprintf(stderr, format, args);
        va_end(args);
        Stop(1);
    }
    // Records a failure code without a message and stops.
    void Stop(int code)
    {
        if (!m_result)
            m_result = code;
        m_stopped = true;
    }
    // Records a failure code and goes on with the next fields.
    void Note(int code)
    {
        if (code && !m_result)
            m_result = code;
    }

  protected:
    static void Say(const char* text, unsigned index)
    {
        if (text)
            fprintf(stderr, text, index);
    }
};

// ---- Parse: read bits ------------------------------------------------------------------
class Parser : public IOBase
{
  public:
    static constexpr Op kOp     = Op::kParse;
    static constexpr bool kFile = true, kJson = false;
    CBitBuffer& bb;
    explicit Parser(CBitBuffer& b) : bb(b) {}

    void U(unsigned n, uint32_t& v, const char*, Presence = kRequired)
    {
        if (Ok())
            v = bb.ReadBits(n);
    }
    void Opt(unsigned n, uint32_t& v, const char* key) { U(n, v, key); }
    void Bit(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Flag(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Zero(uint64_t n)
    {
        if (Ok())
            bb.SkipBits(n);
    }
    void Code(unsigned n, uint32_t& v, const char* key, const CodeNameTable*,
              uint32_t (*)(const char*), Presence = kRequired)
    {
        U(n, v, key);
    }
    void Chars(char* buf, size_t n, const char*, Presence = kRequired)
    {
        if (Ok())
            bb.ReadBytes(buf, n);
    }
    void Area(uint8_t* buf, size_t n, const char*)
    {
        if (Ok())
            bb.ReadBytes(buf, n);
    }
    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        Outcome(c.Parse(bb), mode, t.parse);
    }
    // A count field in the file; n receives it.
    template <class V> void Count(unsigned bits, uint32_t& n, V&, const char*)
    {
        if (Ok())
            n = bb.ReadBits(bits);
    }
    // n elements parsed in order, each spending one unit of the element budget.
    template <class V>
    void Items(uint32_t n, V& list, const char*, const ListTexts& t = {}, Presence = kOptional)
    {
        for (uint32_t i = 0; i < n && Ok(); ++i) {
            if (!bb.TakeElement()) {
                Stop(1);
                return;
            }
            typename V::value_type item;
            int r = item.Parse(bb);
            if (r) {
                Say(t.parse, i);
                Stop(r);
                return;
            }
            list.push_back(std::move(item));
        }
    }

  private:
    void Outcome(int r, ChildMode mode, const char* text)
    {
        if (!r)
            return;
        if (text)
            fputs(text, stderr);
        mode == kStop ? Stop(r) : Note(r);
    }
};

// ---- Build: write bits -----------------------------------------------------------------
class Builder : public IOBase
{
  public:
    static constexpr Op kOp     = Op::kBuild;
    static constexpr bool kFile = true, kJson = false;
    CBitBuffer& bb;
    explicit Builder(CBitBuffer& b) : bb(b) {}

    void U(unsigned n, uint32_t& v, const char*, Presence = kRequired)
    {
        if (Ok())
            bb.WriteBits(n, v);
    }
    void Opt(unsigned n, uint32_t& v, const char* key) { U(n, v, key); }
    void Bit(uint32_t& v, const char*, Presence = kRequired)
    {
        if (Ok())
            bb.WriteBit(v != 0);
    }
    void Flag(uint32_t& v, const char* key, Presence p = kRequired) { Bit(v, key, p); }
    void Zero(uint64_t n)
    {
        if (Ok())
            bb.WriteZeroBits(n);
    }
    void Code(unsigned n, uint32_t& v, const char* key, const CodeNameTable*,
              uint32_t (*)(const char*), Presence = kRequired)
    {
        U(n, v, key);
    }
    void Chars(char* buf, size_t n, const char*, Presence = kRequired)
    {
        if (Ok())
            bb.WriteBytes(buf, n);
    }
    void Area(uint8_t* buf, size_t n, const char*)
    {
        if (Ok())
            bb.WriteBytes(buf, n);
    }
    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        int r = c.Build(bb);
        if (!r)
            return;
        if (t.build)
            fputs(t.build, stderr);
        mode == kStop ? Stop(r) : Note(r);
    }
    // Writes the list's size, refusing one the field cannot hold.
    template <class V> void Count(unsigned bits, uint32_t& n, V& list, const char* what)
    {
        if (!Ok())
            return;
        uint64_t limit = bits >= 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
        if (CheckListSize(list.size(), limit, what)) {
            Stop(1);
            return;
        }
        n = uint32_t(list.size());
        bb.WriteBits(bits, n);
    }
    template <class V>
    void Items(uint32_t, V& list, const char*, const ListTexts& t = {}, Presence = kOptional)
    {
        for (size_t i = 0; i < list.size() && Ok(); ++i) {
            int r = list[i].Build(bb);
            if (r) {
                Say(t.build, unsigned(i));
                Stop(r);
            }
        }
    }
};

// ---- ReadJSON: fields from the object the structure stands in ---------------------------
class JsonReader : public IOBase
{
  public:
    static constexpr Op kOp     = Op::kReadJson;
    static constexpr bool kFile = false, kJson = true;
    JDoc& doc;
    JValue& obj;
    JsonReader(JDoc& d, JValue& o) : doc(d), obj(o) {}

    uint32_t* FlagsFor(Presence p) { return p == kRequired ? &m_flags : nullptr; }

    void U(unsigned, uint32_t& v, const char* key, Presence p = kRequired)
    {
        if (Ok())
            v = ReadJsonUint(key, obj, FlagsFor(p));
    }
    void Opt(unsigned n, uint32_t& v, const char* key) { U(n, v, key, kOptional); }
    void Bit(uint32_t& v, const char* key, Presence p = kRequired) { U(1, v, key, p); }
    // Stored as 0 or 1 whatever number JSON holds.
    void Flag(uint32_t& v, const char* key, Presence p = kRequired)
    {
        U(1, v, key, p);
        v = v != 0;
    }
    void Zero(uint64_t) {}
    void Code(unsigned, uint32_t& v, const char* key, const CodeNameTable*,
              uint32_t (*parser)(const char*), Presence p = kRequired)
    {
        if (!Ok())
            return;
        const char* name = ReadJsonString(key, obj, FlagsFor(p));
        v                = name ? parser(name) : 0;
    }
    // Fixed-width characters: the string's bytes, cut to n, the rest zero.
    void Chars(char* buf, size_t n, const char* key, Presence p = kRequired)
    {
        if (!Ok())
            return;
        memset(buf, 0, n);
        size_t len       = 0;
        const char* text = ReadJsonString(key, obj, FlagsFor(p), &len);
        if (text)
            memcpy(buf, text, len < n ? len : n);
    }
    void Area(uint8_t* buf, size_t n, const char* key)
    {
        if (Ok())
            ReadJsonArea(obj, key, buf, n);
    }
    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        int r = c.ReadJSON(doc, obj);
        if (!r)
            return;
        if (t.read)
            fputs(t.read, stderr);
        mode == kStop ? Stop(r) : Note(r);
    }
    template <class V> void Count(unsigned, uint32_t&, V&, const char*) {}
    // The array under key, element by element. Missing: an empty list, or with kRequired a
    // "failed to read" line and failure.
    template <class V>
    void Items(uint32_t, V& list, const char* key, const ListTexts& t = {}, Presence p = kOptional)
    {
        if (!Ok())
            return;
        JValue* array = GetJsonMember(key, obj);
        if (!array) {
            if (p == kRequired) {
                fprintf(stderr, "failed to read %s\n", key);
                Stop(1);
            }
            return;
        }
        int r = ReadJSONArray(doc, array, list);
        if (r) {
            Say(t.read, unsigned(list.size()));
            Stop(r);
        }
    }
};

// ---- WriteJSON: fields into a new object -------------------------------------------------
class JsonWriter : public IOBase
{
  public:
    static constexpr Op kOp     = Op::kWriteJson;
    static constexpr bool kFile = false, kJson = true;
    JDoc& doc;
    JValue& obj;
    JsonWriter(JDoc& d, JValue& o) : doc(d), obj(o) {}

    void U(unsigned, uint32_t& v, const char* key, Presence = kRequired)
    {
        if (Ok())
            AddJsonUint(doc, obj, key, v);
    }
    void Opt(unsigned n, uint32_t& v, const char* key) { U(n, v, key); }
    void Bit(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Flag(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Zero(uint64_t) {}
    void Code(unsigned, uint32_t& v, const char* key, const CodeNameTable* table,
              uint32_t (*)(const char*), Presence = kRequired)
    {
        if (!Ok())
            return;
        char number[16];
        const char* name = CodeJsonName(table, v, number);
        if (name == number)
            AddJsonString(doc, obj, key, number, strlen(number));
        else
            AddJsonConstString(doc, obj, key, name);
    }
    void Chars(char* buf, size_t n, const char* key, Presence = kRequired)
    {
        if (Ok())
            AddJsonString(doc, obj, key, buf, n);
    }
    void Area(uint8_t* buf, size_t n, const char* key)
    {
        if (Ok())
            WriteJsonArea(doc, obj, key, buf, n);
    }
    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        int r = c.WriteJSON(doc, obj);
        if (!r)
            return;
        if (t.save)
            fputs(t.save, stderr);
        mode == kStop ? Stop(r) : Note(r);
    }
    template <class V> void Count(unsigned, uint32_t&, V&, const char*) {}
    template <class V>
    void Items(uint32_t, V& list, const char* key, const ListTexts& t = {}, Presence = kOptional)
    {
        if (!Ok())
            return;
        JValue array(rapidjson::kArrayType);
        int r = WriteJSONArray(doc, &array, list);
        obj.AddMember(rapidjson::StringRef(key), array, doc.GetAllocator());
        if (r) {
            Say(t.save, unsigned(list.size()));
            Stop(r);
        }
    }
};

// ---- Framing --------------------------------------------------------------------------

// Clear for free: the object is reset to a default-constructed one, keeping its base data
// (JSON name and padding modulus survive).
template <class T> void Reset(T& t)
{
    CIBDSerial base             = t;
    t                           = T();
    static_cast<CIBDSerial&>(t) = base;
}

// Parse of a block without a length field.
template <class T> int ParseFields(T& t, CBitBuffer& bb)
{
    t.Clear();
    Parser io(bb);
    t.Fields(io);
    return io.Result();
}

// Build of a block without a length field.
template <class T> int BuildFields(T& t, CBitBuffer& bb)
{
    Builder io(bb);
    t.Fields(io);
    return io.Result();
}

// Parse of a length-prefixed block: on success the cursor moves to the block's end, so bytes
// beyond the known fields are skipped.
template <class T> int ParseBlock(T& t, CBitBuffer& bb, uint32_t lengthBits)
{
    t.Clear();
    t.ReadLength(bb, lengthBits);
    Parser io(bb);
    t.Fields(io);
    if (io.Result() == 0)
        t.SkipToBlockEnd(bb);
    return io.Result();
}

// Build of a length-prefixed block: placeholder, fields, padding and back-patched length.
template <class T>
int BuildBlock(T& t, CBitBuffer& bb, uint32_t lengthBits, uint32_t modulus,
               const char* blockName = nullptr)
{
    t.BeginSection(bb, lengthBits);
    Builder io(bb);
    t.Fields(io);
    if (io.Result())
        return io.Result();
    return t.EndSection(bb, modulus, blockName);
}

// ReadJSON of a structure standing under key in its owner's object ("" reads the owner's
// object itself). A missing or non-object member is no failure unless required, then it
// prints missingText (with the key for its %s) and fails.
template <class T>
int ReadObject(T& t, JDoc& doc, JValue& parent, Presence p, const char* key,
               const char* missingText = "failed to read %s\n")
{
    t.Clear();
    JValue* object = *key ? GetJsonMember(key, parent) : &parent;
    if (!object || !object->IsObject()) {
        if (p == kOptional)
            return 0;
        fprintf(stderr, missingText, key);
        return 1;
    }
    JsonReader io(doc, *object);
    t.Fields(io);
    return io.Result();
}
template <class T> int ReadObject(T& t, JDoc& doc, JValue& parent, Presence p)
{
    return ReadObject(t, doc, parent, p, t.m_jsonName);
}

// WriteJSON of a structure: a new object added under key ("" writes into the owner's object).
template <class T> int WriteObject(T& t, JDoc& doc, JValue& parent, const char* key)
{
    if (!*key) {
        JsonWriter io(doc, parent);
        t.Fields(io);
        return io.Result();
    }
    JValue object(rapidjson::kObjectType);
    JsonWriter io(doc, object);
    t.Fields(io);
    parent.AddMember(rapidjson::StringRef(key), object, doc.GetAllocator());
    return io.Result();
}
template <class T> int WriteObject(T& t, JDoc& doc, JValue& parent)
{
    return WriteObject(t, doc, parent, t.m_jsonName);
}

} // namespace ser

// The five operations of a structure that its Fields template describes completely. An element
// of a list lives in the JSON object its owner hands over; a member has its own member of the
// owner's object, named by m_jsonName; a block is such a member with a 32-bit length.
#define BDMV_ELEMENT_OPERATIONS(T)                                                                 \
    void T::Clear() { ser::Reset(*this); }                                                         \
    int T::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }                           \
    int T::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }                           \
    int T::ReadJSON(JDoc& d, JValue& o)                                                            \
    {                                                                                              \
        return ser::ReadObject(*this, d, o, ser::kRequired, "");                                   \
    }                                                                                              \
    int T::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

#define BDMV_BLOCK_OPERATIONS(T)                                                                   \
    void T::Clear() { ser::Reset(*this); }                                                         \
    int T::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }                        \
    int T::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 32, 0); }                     \
    int T::ReadJSON(JDoc& d, JValue& p) { return ser::ReadObject(*this, d, p, ser::kRequired); }   \
    int T::WriteJSON(JDoc& d, JValue& p) { return ser::WriteObject(*this, d, p); }

#define BDMV_MEMBER_OPERATIONS(T)                                                                  \
    void T::Clear() { ser::Reset(*this); }                                                         \
    int T::Parse(CBitBuffer& bb) { return ser::ParseFields(*this, bb); }                           \
    int T::Build(CBitBuffer& bb) { return ser::BuildFields(*this, bb); }                           \
    int T::ReadJSON(JDoc& d, JValue& p) { return ser::ReadObject(*this, d, p, ser::kRequired); }   \
    int T::WriteJSON(JDoc& d, JValue& p) { return ser::WriteObject(*this, d, p); }
