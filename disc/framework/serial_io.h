// One description of a structure's fields drives all four operations: a Fields(IO&) member
// template is run with a policy that reads bits, writes bits, reads JSON or writes JSON. The four
// policies below offer the same methods, each a field or a group of fields of the formats, and a
// description uses nothing else: this is the whole vocabulary.
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
#include <initializer_list>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

// A member's name is its JSON key.
#define FLD(m) m, #m

namespace ser
{

enum class Op { kParse, kBuild, kReadJson, kWriteJson };
// A missing JSON member: a failure, silently nothing, or reported without failing.
enum Presence { kRequired, kOptional, kReported };
enum ChildMode { kStop, kKeepGoing };

// Options of character fields.
enum TextOption : unsigned {
    kPlainText    = 0,
    kCutAtZero    = 1, // JSON holds the text up to its first zero byte
    kEndIfMissing = 2, // JSON reading ends here, without storing it, once any required member
                       // so far was missing
    kOptionalText = 4, // JSON reading is silent when it is missing
    kSayMissing   = 8, // a missing text adds "failed to read <key>!" to the reader's line
};
constexpr TextOption operator|(TextOption a, TextOption b) { return TextOption(unsigned(a) | b); }

// Options of lists.
enum ListOption : unsigned {
    kOmitEmpty        = 1, // an empty list writes no JSON member
    kWhileFits        = 2, // Parse takes elements while whole ones fit the area, whatever the count
    kQuietAfterBudget = 4, // the parse text is not printed once the element budget ran out
    kTextOnBudget     = 8, // the parse text is also printed when the element budget runs out
};

// What a list prints when it fails, per operation. The parse and build texts may hold one %u for
// the element's index; read is printed when the JSON array fails, missing when the array is
// absent, which is then a failure (both may hold one %s for the key). nullptr prints nothing.
struct ListTexts {
    const char* parse   = nullptr;
    const char* build   = nullptr;
    const char* read    = nullptr;
    const char* missing = nullptr;
};

// What an owner prints when a child fails, per operation.
struct ChildTexts {
    const char* parse = nullptr;
    const char* build = nullptr;
    const char* read  = nullptr;
};

// Messages of a JSON array of numbers: not an array, and an element (%u) that is not a number.
struct NumberTexts {
    const char* notArray  = nullptr;
    const char* notNumber = nullptr;
};

// Messages of the JSON array of a multi-clip item's further clips: no array, an element that is
// not an object.
struct ClipTexts {
    const char* notArray  = nullptr;
    const char* notObject = nullptr;
};

// Messages of an array that several lists share: not an array or an element not an object, and
// an element no list takes (%d: what place reports about it).
struct SharedTexts {
    const char* badArray = nullptr;
    const char* noPlace  = nullptr;
};

// An argument that differs per element of a list: fn(index) gives it.
template <class F> struct PerIndex {
    F fn;
};
template <class F> PerIndex<F> ByIndex(F fn) { return PerIndex<F>{fn}; }
template <class A> decltype(auto) ArgFor(A& arg, uint32_t) { return arg; }
template <class F> auto ArgFor(PerIndex<F>& arg, uint32_t i) { return arg.fn(i); }

// A place in the file, in bits from the buffer's start.
using Mark = uint64_t;

class Parser;
template <class T, class... A> int ParseOf(T& t, CBitBuffer& bb, A&&... args);
template <class T, class... A> int ParseOf(T& t, Parser& io, A&&... args);
template <class T, class... A> int BuildOf(T& t, CBitBuffer& bb, A&&... args);
template <class T, class... A> int ReadOf(T& t, JDoc& doc, JValue& parent, A&&... args);
template <class T, class... A> void WriteOf(T& t, JWriter& w, A&&... args);

// Whether a type is described through Described (its operations then run without virtual
// calls); other element types are plain records with a Fields of their own.
template <class T, class = void> struct IsDescribed : std::false_type {
};
template <class T> struct IsDescribed<T, std::void_t<typename T::FramingType>> : std::true_type {
};

// The name a block's messages use: its JSON name, else its kBlockName.
template <class T, class = void> struct BlockName {
    static constexpr const char* kValue = nullptr;
};
template <class T> struct BlockName<T, std::void_t<decltype(T::kBlockName)>> {
    static constexpr const char* kValue = T::kBlockName;
};
template <class T, class = void> struct JsonName {
    static constexpr const char* kValue = nullptr;
};
template <class T> struct JsonName<T, std::void_t<decltype(T::kJsonName)>> {
    static constexpr const char* kValue = T::kJsonName;
};
template <class T> constexpr const char* NameOf()
{
    return JsonName<T>::kValue ? JsonName<T>::kValue : BlockName<T>::kValue;
}
// Whether a missing named member prints T's kMissingText instead of "failed to read <name>".
template <class T, class = void> struct MissingText {
    static constexpr bool kCustom = false;
};
template <class T> struct MissingText<T, std::void_t<decltype(T::kMissingText)>> {
    static constexpr bool kCustom = true;
};

class IOBase
{
  public:
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
    // Records a failure code and stops.
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
    // The outcome of a child: kStop ends the fields, kKeepGoing goes on.
    void Outcome(int r, ChildMode mode, const char* text)
    {
        if (!r)
            return;
        if (text)
            fputs(text, stderr);
        mode == kStop ? Stop(r) : Note(r);
    }
    void Complain(const char* format, va_list args, bool stop)
    {
        if (m_stopped)
            return;
        vfprintf(stderr, format, args);
        stop ? Stop(1) : Note(1);
    }
    static void Say(const char* text, unsigned index)
    {
        if (text)
            fprintf(stderr, text, index);
    }

    int m_result     = 0;
    bool m_stopped   = false;
    uint32_t m_flags = 0; // bit 0: a required JSON member was missing
};

// What the file policies share: the bit buffer, the limits of the areas being read, and the
// fields that are other fields in the file (D is the policy).
template <class D> class FileIO : public IOBase
{
  public:
    static constexpr bool kFile = true, kJson = false;
    explicit FileIO(CBitBuffer& b) : m_bb(b) {}

    void Opt(unsigned n, uint32_t& v, const char* key) { Self().U(n, v, key); }
    void Flag(uint32_t& v, const char* key, Presence p = kRequired) { Self().Bit(v, key, p); }
    // A field only the file carries.
    void Hidden(unsigned n, uint32_t& v, const char* key) { Self().U(n, v, key); }
    void Hidden(uint8_t* buf, size_t n, const char* key) { Self().Area(buf, n, key); }
    // A zero byte when bytes is odd.
    void PadToEven(uint64_t bytes)
    {
        if (bytes % 2)
            Self().Zero(8);
    }
    void Code(unsigned n, uint32_t& v, const char* key, const CodeNameTable*,
              uint32_t (*)(const char*), Presence = kRequired)
    {
        Self().U(n, v, key);
    }
    // A child that stands flat in JSON the first time and under its role after: the file has it
    // in place.
    template <class C> void FlatOrNested(C& c, const char*, bool&, const ChildTexts& t)
    {
        Self().Child(c, kStop, t);
    }
    // A list of 8-bit stream ids: count, reserved byte, ids, and a byte that keeps it even; what
    // names the ids when they are too many for the count.
    void IdList(std::vector<uint32_t>& list, const char* key, const char* what,
                const NumberTexts& = {})
    {
        uint32_t n = 0;
        Self().Count(8, n, list, what);
        Self().Zero(8);
        Self().Numbers(n, 8, list, key);
        PadToEven(n);
    }

    // JSON only.
    void String(std::string&, const char*, Presence = kRequired) {}
    void Strings(std::vector<std::string>&, const char*, size_t = 0, unsigned = 0) {}
    template <class F> void Object(const char*, F&& fields, bool = false)
    {
        if (Ok())
            fields();
    }
    template <class V, class Place>
    void Shared(const char*, std::initializer_list<V*>, Place&&, const SharedTexts&, unsigned = 0)
    {
    }
    void EndIfMissing(const char* = nullptr) {}
    void Ignored(const char*) {}

    Mark Here() const { return m_bb.m_cursor; }
    // Where the innermost block's length field starts.
    Mark BlockStart() const { return m_blockStart; }

  protected:
    CBitBuffer& m_bb;
    Mark m_blockStart = 0;

  private:
    D& Self() { return static_cast<D&>(*this); }
};

// ---- Parse: read bits ------------------------------------------------------------------
class Parser : public FileIO<Parser>
{
  public:
    static constexpr Op kOp = Op::kParse;
    explicit Parser(CBitBuffer& b) : FileIO(b) {}

    void U(unsigned n, uint32_t& v, const char*, Presence = kRequired)
    {
        if (Ok())
            v = m_bb.ReadBits(n);
    }
    void Bit(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Zero(uint64_t n)
    {
        if (Ok())
            m_bb.SkipBits(n);
    }
    void Chars(char* buf, size_t n, const char*, TextOption = kPlainText)
    {
        if (Ok())
            m_bb.ReadBytes(buf, n);
    }
    void Area(uint8_t* buf, size_t n, const char*, bool = false)
    {
        if (Ok())
            m_bb.ReadBytes(buf, n);
    }
    // A text of at most width characters: width bytes in the file, the text up to the first zero
    // byte in memory.
    void Text(std::string& s, size_t width, const char*)
    {
        if (!Ok())
            return;
        std::string bytes(width, '\0');
        m_bb.ReadBytes(bytes.data(), width);
        s = bytes.c_str();
    }
    // n bytes held in a vector: a reserved area in JSON, or with hex the text "0x" and two hex
    // digits per byte, read back into the last n bytes (a text that is not such fails).
    void Bytes(std::vector<uint8_t>& v, size_t n, const char*, bool = false)
    {
        if (!Ok())
            return;
        v.resize(n);
        m_bb.ReadBytes(v.data(), n);
    }
    // A string of any bytes after its length field; padToEven adds a zero byte when the length
    // field and the bytes take an odd number of bytes. Build refuses one its field cannot count.
    void ByteString(std::string& s, const char*, unsigned lengthBits, bool padToEven,
                    const char* = nullptr)
    {
        if (!Ok())
            return;
        uint32_t n = m_bb.ReadBits(lengthBits);
        s.resize(n);
        m_bb.ReadBytes(s.data(), n);
        if (padToEven)
            PadToEven(lengthBits / 8 + uint64_t(n));
    }
    // Parse: a failed check prints its message and fails the structure once all of it is read.
    void ParseCheck(bool ok, const char* format, ...) __attribute__((format(printf, 3, 4)))
    {
        if (ok)
            return;
        va_list args;
        va_start(args, format);
        Complain(format, args, false);
        va_end(args);
    }
    // Build: a failed check prints its message and refuses the structure.
    void BuildCheck(bool, const char*, ...) __attribute__((format(printf, 3, 4))) {}
    // Build refuses a size its field cannot hold, before anything of it is written.
    void Refuse(uint64_t, uint64_t, const char*) {}

    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        if constexpr (IsDescribed<C>::value)
            Outcome(C::ParseWith(c, *this), mode, t.parse);
        else
            Outcome(c.Parse(m_bb), mode, t.parse);
    }
    // A count field in the file; n receives it.
    template <class V> void Count(unsigned bits, uint32_t& n, V&, const char*, uint32_t = 0)
    {
        if (Ok())
            n = m_bb.ReadBits(bits);
    }
    // n elements parsed in order, each spending one unit of the element budget (kWhileFits:
    // whole elements while they fit the area). The arguments go to each element's Fields. A list
    // without a key stands only in the file.
    template <class V, class... A>
    void Items(uint32_t n, V& list, const char*, const ListTexts& t = {}, unsigned options = 0,
               A&&... args)
    {
        for (uint32_t i = 0; Ok() && ((options & kWhileFits) || i < n); ++i) {
            typename V::value_type item;
            if (options & kWhileFits) {
                if (!Fits([&] { Element(item, ArgFor(args, i)...); }))
                    return;
            } else {
                int r = m_bb.TakeElement() ? Element(item, ArgFor(args, i)...) : -1;
                if (r) {
                    if (r > 0 || (options & kTextOnBudget))
                        if (!(options & kQuietAfterBudget) || !m_bb.m_budgetReported)
                            Say(t.parse, i);
                    return Stop(r > 0 ? r : 1);
                }
            }
            list.push_back(std::move(item));
        }
    }
    // File side of a list whose JSON form is written apart: n elements (kWhileFits: whole ones
    // while they fit the area), each described by element(item).
    template <class V, class F> void Each(uint32_t n, V& list, F&& element, unsigned options = 0)
    {
        for (uint32_t i = 0; Ok() && ((options & kWhileFits) || i < n); ++i) {
            typename V::value_type item{};
            if (options & kWhileFits) {
                if (!Fits([&] { element(item); }))
                    return;
            } else {
                if (!m_bb.TakeElement())
                    return Stop(1);
                element(item);
            }
            list.push_back(std::move(item));
        }
    }
    // The further clips of a multi-clip item: number counts the item's own clip too.
    template <class V> void ClipEntries(uint32_t& number, V& list, const char*, const ClipTexts&)
    {
        for (uint32_t i = 1; i < number && Ok(); ++i) {
            if (!m_bb.TakeElement())
                return Stop(1);
            typename V::value_type entry;
            entry.Fields(*this);
            list.push_back(entry);
        }
    }
    // n numbers of bits each.
    void Numbers(uint32_t n, unsigned bits, std::vector<uint32_t>& list, const char*,
                 const NumberTexts& = {}, unsigned = 0)
    {
        for (uint32_t i = 0; i < n && Ok(); ++i) {
            if (!m_bb.TakeElement())
                return Stop(1);
            list.push_back(m_bb.ReadBits(bits));
        }
    }
    // Elements whose heads stand in a row and whose bodies stand at the addresses their heads
    // hold (address(element)), counted in bytes from origin; body(element) describes a body, each
    // body starting at a multiple of align bytes from origin on Build. In JSON each element is
    // one object, its Fields.
    template <class V, class Address, class Body>
    void Split(uint32_t n, V& list, const char*, const ListTexts& t, Mark origin, Address&& address,
               Body&& body, unsigned = 1, unsigned options = 0)
    {
        for (uint32_t i = 0; i < n && Ok(); ++i) {
            if (!m_bb.TakeElement())
                return Stop(1);
            typename V::value_type item;
            Element(item);
            list.push_back(std::move(item));
        }
        for (size_t i = 0; i < list.size() && Ok(); ++i) {
            m_bb.m_cursor = origin + 8ull * address(list[i]);
            body(list[i]);
            if (!Ok() && (!(options & kQuietAfterBudget) || !m_bb.m_budgetReported))
                Say(t.parse, unsigned(i));
        }
    }
    // A length field of bits and the area it counts: the fields inside must lie within it, and
    // the cursor leaves at its end; with evenAfter a zero byte follows when the length field
    // and the area take an odd number of bytes. Build back-patches the length.
    template <class F>
    void Sized(unsigned bits, const char*, F&& fields, uint32_t = 0, bool evenAfter = false)
    {
        if (!Ok())
            return;
        const Mark start      = m_bb.m_cursor;
        const uint32_t length = m_bb.ReadBits(bits);
        const Mark end        = m_bb.m_cursor + 8ull * length;
        const Mark outer = m_limit, outerStart = m_blockStart;
        const uint32_t outerLength = m_length;
        m_limit                    = end < m_limit ? end : m_limit;
        m_length                   = length;
        m_blockStart               = start;
        fields();
        m_limit      = outer;
        m_length     = outerLength;
        m_blockStart = outerStart;
        if (!Ok())
            return;
        m_bb.m_cursor = end;
        if (evenAfter)
            PadToEven(bits / 8 + uint64_t(length));
    }
    // Parse of a block that has length 0.
    bool BlockIsEmpty() const { return m_length == 0; }
    // Fails (silently) unless bits more from the cursor lie within the area.
    void Within(uint64_t bits)
    {
        if (Ok() && m_bb.m_cursor + bits > m_limit)
            Stop(1);
    }
    // The bytes from origin to the end of the area.
    uint64_t BytesFrom(Mark origin) const { return m_limit > origin ? (m_limit - origin) / 8 : 0; }
    // Spends bytes of a budget; fails (silently) when it does not hold them.
    void Spend(uint64_t& budget, uint64_t bytes)
    {
        if (!Ok())
            return;
        if (bytes > budget)
            return Stop(1);
        budget -= bytes;
    }
    // A field of bits holding the address, in bytes from an origin, of what Follow reaches
    // later: Parse reads it and goes there, Build writes it once it is known.
    Mark Link(unsigned bits, uint32_t& address, const char* key)
    {
        U(bits, address, key);
        return 0;
    }
    void Follow(Mark, unsigned, Mark origin, uint32_t& address)
    {
        if (Ok())
            m_bb.m_cursor = origin + 8ull * address;
    }

    void SetLimit(Mark limit) { m_limit = limit; }

  private:
    // One element of a list that takes whole elements while they fit the area: false, the cursor
    // back where it started, once one does not. A size that disagrees with its elements cannot
    // carry the loop on past them.
    template <class F> bool Fits(F&& element)
    {
        const Mark at = m_bb.m_cursor;
        element();
        if (m_bb.m_cursor > m_limit || m_bb.m_cursor == at) {
            m_bb.m_cursor = at;
            return false;
        }
        if (!m_bb.TakeElement()) {
            Stop(1);
            return false;
        }
        return true;
    }
    // A list element starts afresh: only its own blocks limit it. An element with inputs is
    // described in its owner's file.
    template <class T, class... A> int Element(T& item, A&&... args)
    {
        Parser sub(m_bb);
        sub.m_limit = m_bb.SizeBits();
        if constexpr (IsDescribed<T>::value && sizeof...(A) == 0)
            return T::ParseWith(item, sub);
        else if constexpr (IsDescribed<T>::value)
            return ParseOf(item, sub, std::forward<A>(args)...);
        else if constexpr (std::is_base_of<CIBDSerial, T>::value)
            return item.Parse(m_bb);
        else {
            item.Fields(sub, std::forward<A>(args)...);
            return sub.Result();
        }
    }

    template <class T, class F, class B> friend class Described;

    Mark m_limit      = ~Mark(0); // the end of the innermost block or area, at most the file's
    uint32_t m_length = 1;        // the length of the innermost block
};

// ---- Build: write bits -----------------------------------------------------------------
class Builder : public FileIO<Builder>
{
  public:
    static constexpr Op kOp = Op::kBuild;
    explicit Builder(CBitBuffer& b) : FileIO(b) {}

    void U(unsigned n, uint32_t& v, const char*, Presence = kRequired)
    {
        if (Ok())
            m_bb.WriteBits(n, v);
    }
    void Bit(uint32_t& v, const char*, Presence = kRequired)
    {
        if (Ok())
            m_bb.WriteBits(1, v != 0);
    }
    void Zero(uint64_t n)
    {
        if (Ok())
            m_bb.WriteZeroBits(n);
    }
    void Chars(char* buf, size_t n, const char*, TextOption = kPlainText)
    {
        if (Ok())
            m_bb.WriteBytes(buf, n);
    }
    void Area(uint8_t* buf, size_t n, const char*, bool = false)
    {
        if (Ok())
            m_bb.WriteBytes(buf, n);
    }
    void Bytes(std::vector<uint8_t>& v, size_t, const char*, bool = false)
    {
        if (Ok())
            m_bb.WriteBytes(v.data(), v.size());
    }
    void Text(std::string& s, size_t width, const char*)
    {
        if (!Ok())
            return;
        std::string bytes = s.substr(0, width);
        bytes.resize(width, '\0');
        m_bb.WriteBytes(bytes.data(), width);
    }
    // what names the string when it is refused.
    void ByteString(std::string& s, const char*, unsigned lengthBits, bool padToEven,
                    const char* what = nullptr)
    {
        if (!Ok())
            return;
        if (CheckListSize(s.size(), (1ull << lengthBits) - 1, what))
            return Stop(1);
        m_bb.WriteBits(lengthBits, uint32_t(s.size()));
        m_bb.WriteBytes(s.data(), s.size());
        if (padToEven)
            PadToEven(lengthBits / 8 + uint64_t(s.size()));
    }
    void ParseCheck(bool, const char*, ...) __attribute__((format(printf, 3, 4))) {}
    void BuildCheck(bool ok, const char* format, ...) __attribute__((format(printf, 3, 4)))
    {
        if (ok)
            return;
        va_list args;
        va_start(args, format);
        Complain(format, args, true);
        va_end(args);
    }
    void Refuse(uint64_t size, uint64_t limit, const char* what)
    {
        if (Ok() && CheckListSize(size, limit, what))
            Stop(1);
    }

    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        if constexpr (IsDescribed<C>::value)
            Outcome(C::BuildWith(c, m_bb), mode, t.build);
        else
            Outcome(c.Build(m_bb), mode, t.build);
    }
    // Writes the list's size less less, refusing one the field cannot hold.
    template <class V>
    void Count(unsigned bits, uint32_t& n, V& list, const char* what, uint32_t less = 0)
    {
        if (!Ok())
            return;
        uint64_t limit = bits >= 32 ? 0xFFFFFFFFull : (1ull << bits) - 1;
        if (CheckListSize(list.size() - less, limit, what))
            return Stop(1);
        n = uint32_t(list.size() - less);
        m_bb.WriteBits(bits, n);
    }
    template <class V, class... A>
    void Items(uint32_t, V& list, const char*, const ListTexts& t = {}, unsigned = 0, A&&... args)
    {
        for (size_t i = 0; i < list.size() && Ok(); ++i) {
            int r = Element(list[i], ArgFor(args, uint32_t(i))...);
            if (r) {
                Say(t.build, unsigned(i));
                Stop(r);
            }
        }
    }
    template <class V, class F> void Each(uint32_t, V& list, F&& element, unsigned = 0)
    {
        for (size_t i = 0; i < list.size() && Ok(); ++i)
            element(list[i]);
    }
    // The clips 1 to number - 1, as far as the list holds them.
    template <class V> void ClipEntries(uint32_t& number, V& list, const char*, const ClipTexts&)
    {
        for (uint32_t i = 1; i < number && i <= list.size() && Ok(); ++i)
            list[i - 1].Fields(*this);
    }
    void Numbers(uint32_t, unsigned bits, std::vector<uint32_t>& list, const char*,
                 const NumberTexts& = {}, unsigned = 0)
    {
        for (size_t i = 0; i < list.size() && Ok(); ++i)
            m_bb.WriteBits(bits, list[i]);
    }
    // Heads with the addresses they held, the bodies, then the heads again with the bodies'
    // addresses.
    template <class V, class Address, class Body>
    void Split(uint32_t, V& list, const char*, const ListTexts& t, Mark origin, Address&& address,
               Body&& body, unsigned align = 1, unsigned = 0)
    {
        const Mark heads = m_bb.m_cursor;
        Heads(list, t);
        for (size_t i = 0; i < list.size() && Ok(); ++i) {
            Align(origin, align);
            const uint64_t offset = (m_bb.m_cursor - origin) / 8;
            if (CheckListSize(offset, 0xFFFFFFFF, "bytes before a block's address"))
                return Stop(1);
            address(list[i]) = uint32_t(offset);
            body(list[i]);
            if (!Ok())
                Say(t.build, unsigned(i));
        }
        Align(origin, align);
        if (!Ok())
            return;
        const Mark end = m_bb.m_cursor;
        m_bb.m_cursor  = heads;
        Heads(list, t);
        m_bb.m_cursor = end;
    }
    // The length is back-patched once the fields are written, padded inside to a multiple of
    // modulus bytes (length field included); a length the field cannot hold is refused, the
    // message naming the area.
    template <class F>
    void Sized(unsigned bits, const char* name, F&& fields, uint32_t modulus = 0,
               bool evenAfter = false)
    {
        if (!Ok())
            return;
        const Mark at = m_bb.m_cursor, outerStart = m_blockStart;
        m_blockStart = at;
        m_bb.WriteBits(bits, 0);
        fields();
        m_blockStart = outerStart;
        if (!Ok() || m_result) // a failed area is not finished, even when its fields went on
            return;
        if (EndLength(m_bb, at, bits, modulus, name))
            return Stop(1);
        if (evenAfter)
            PadToEven((m_bb.m_cursor - at) / 8);
    }
    bool BlockIsEmpty() const { return false; }
    void Within(uint64_t) {}
    uint64_t BytesFrom(Mark) const { return 0; }
    void Spend(uint64_t&, uint64_t) {}
    Mark Link(unsigned bits, uint32_t&, const char*)
    {
        const Mark at = m_bb.m_cursor;
        Zero(bits);
        return at;
    }
    void Follow(Mark link, unsigned bits, Mark origin, uint32_t& address)
    {
        if (!Ok())
            return;
        const uint64_t offset = (m_bb.m_cursor - origin) / 8;
        if (CheckListSize(offset, 0xFFFFFFFF, "bytes before a block's address"))
            return Stop(1);
        address        = uint32_t(offset);
        const Mark end = m_bb.m_cursor;
        m_bb.m_cursor  = link;
        m_bb.WriteBits(bits, address);
        m_bb.m_cursor = end;
    }

  private:
    template <class T, class... A> int Element(T& item, A&&... args)
    {
        if constexpr (IsDescribed<T>::value && sizeof...(A) == 0)
            return T::BuildWith(item, m_bb);
        else if constexpr (IsDescribed<T>::value)
            return BuildOf(item, m_bb, std::forward<A>(args)...);
        else if constexpr (std::is_base_of<CIBDSerial, T>::value)
            return item.Build(m_bb);
        else {
            Builder sub(m_bb);
            item.Fields(sub, std::forward<A>(args)...);
            return sub.Result();
        }
    }
    template <class V> void Heads(V& list, const ListTexts& t)
    {
        for (size_t i = 0; i < list.size() && Ok(); ++i) {
            int r = Element(list[i]);
            if (r) {
                Say(t.build, unsigned(i));
                Stop(r);
            }
        }
    }
    void Align(Mark origin, unsigned align)
    {
        while (Ok() && align > 1 && ((m_bb.m_cursor - origin) / 8) % align != 0)
            m_bb.WriteBits(8, 0);
    }
};

// What the JSON policies share: the object being read or written.
class JsonIO : public IOBase
{
  public:
    static constexpr bool kFile = false, kJson = true;

    void Zero(uint64_t) {}
    void Hidden(unsigned, uint32_t&, const char*) {}
    void Hidden(uint8_t*, size_t, const char*) {}
    void PadToEven(uint64_t) {}
    void ParseCheck(bool, const char*, ...) __attribute__((format(printf, 3, 4))) {}
    void BuildCheck(bool, const char*, ...) __attribute__((format(printf, 3, 4))) {}
    void Refuse(uint64_t, uint64_t, const char*) {}
    template <class V> void Count(unsigned, uint32_t&, V&, const char*, uint32_t = 0) {}
    template <class V, class F> void Each(uint32_t, V&, F&&, unsigned = 0) {}
    void Text(std::string&, size_t, const char*) {}
    template <class F> void Sized(unsigned, const char*, F&& fields, uint32_t = 0, bool = false)
    {
        if (Ok())
            fields();
    }
    bool BlockIsEmpty() const { return false; }
    void Within(uint64_t) {}
    uint64_t BytesFrom(Mark) const { return 0; }
    void Spend(uint64_t&, uint64_t) {}
    Mark Here() const { return 0; }
    Mark BlockStart() const { return 0; }
    Mark Link(unsigned, uint32_t&, const char*) { return 0; }
    void Follow(Mark, unsigned, Mark, uint32_t&) {}
};

// ---- ReadJSON: fields from the object the structure stands in ---------------------------

// The object being read, and where its next member is expected. A description reads each key of
// an object at most once, in the order the JSON it writes has them: while the members read so
// far are the ones in front of the hint, the member at the hint, when it has the key, is its
// first occurrence, and no member is scanned twice. Any other order falls back to the lookup of
// the first member with the key.
struct JsonScope {
    JValue* obj;
    uint32_t hint = 0;
    bool inOrder  = true;
};

class JsonReader : public JsonIO
{
  public:
    static constexpr Op kOp = Op::kReadJson;
    JsonReader(JDoc& d, JValue& o) : m_doc(d), m_scope{&o} {}
    JsonReader(JDoc& d, const JsonScope& scope) : m_doc(d), m_scope(scope) {}

    void U(unsigned, uint32_t& v, const char* key, Presence p = kRequired)
    {
        if (Ok())
            v = JsonUintOf(key, Find(key), FlagsFor(p));
    }
    void Opt(unsigned n, uint32_t& v, const char* key) { U(n, v, key, kOptional); }
    void Bit(uint32_t& v, const char* key, Presence p = kRequired) { U(1, v, key, p); }
    // Stored as 0 or 1 whatever number JSON holds.
    void Flag(uint32_t& v, const char* key, Presence p = kRequired)
    {
        U(1, v, key, p);
        v = v != 0;
    }
    void Code(unsigned, uint32_t& v, const char* key, const CodeNameTable*,
              uint32_t (*parser)(const char*), Presence p = kRequired)
    {
        if (!Ok())
            return;
        const char* name = JsonStringOf(key, Find(key), FlagsFor(p));
        v                = name ? parser(name) : 0;
    }
    // Fixed-width characters: the string's bytes, cut to n, the rest zero.
    void Chars(char* buf, size_t n, const char* key, TextOption options = kPlainText)
    {
        if (!Ok())
            return;
        size_t len       = 0;
        const char* text = JsonStringOf(key, Find(key), FlagsFor(options), &len);
        if (!text && (options & kSayMissing))
            fprintf(stderr, "failed to read %s!\n", key);
        if ((options & kEndIfMissing) && (m_flags & 1))
            return Stop(1);
        memset(buf, 0, n);
        if (text)
            memcpy(buf, text, len < n ? len : n);
    }
    // Bytes of a reserved area (allBytes: an area written whole).
    void Area(uint8_t* buf, size_t n, const char* key, bool = false)
    {
        if (Ok())
            JsonAreaOf(Find(key), buf, n);
    }
    // Every byte of the JSON string, zero bytes included.
    void ByteString(std::string& s, const char* key, unsigned, bool, const char* = nullptr)
    {
        String(s, key);
    }
    void Bytes(std::vector<uint8_t>& v, size_t n, const char* key, bool hex = false)
    {
        if (!Ok())
            return;
        if (!hex) {
            v.resize(n);
            return JsonAreaOf(Find(key), v.data(), n);
        }
        size_t length    = 0;
        const char* text = JsonStringOf(key, Find(key), &m_flags, &length);
        if (!text || ParseDiscIdHex(std::string(text, length), v))
            return Stop(1);
        // The last n bytes, with zero bytes in front when there are fewer.
        if (v.size() > n)
            v.erase(v.begin(), v.end() - ptrdiff_t(n));
        else
            v.insert(v.begin(), n - v.size(), 0);
    }
    // A member with no JSON form: whatever object stands under key is accepted and ignored,
    // anything else fails.
    void Ignored(const char* key)
    {
        JValue* member = Find(key);
        if (Ok() && member && !member->IsObject())
            Fail("failed to read %s\n", key);
    }
    // A text only JSON carries.
    void String(std::string& s, const char* key, Presence p = kRequired)
    {
        if (!Ok())
            return;
        size_t length    = 0;
        const char* text = JsonStringOf(key, Find(key), FlagsFor(p), &length);
        s                = text ? std::string(text, length) : std::string();
    }
    // A JSON array of strings, each cut to maxLength bytes. Missing: an empty list.
    void Strings(std::vector<std::string>& out, const char* key,
                 size_t maxLength = std::string::npos, unsigned = 0)
    {
        if (!Ok())
            return;
        JValue* list = Find(key);
        if (!list)
            return;
        if (!list->IsArray())
            return Fail("%s is not an array!\n", key);
        unsigned i = 0;
        for (JValue& element : list->GetArray()) {
            if (!element.IsString())
                return Fail("JSON array element[%u] is not a string!\n", i);
            size_t length = element.GetStringLength();
            out.emplace_back(element.GetString(), length < maxLength ? length : maxLength);
            ++i;
        }
    }
    // Reading ends here once a required member was missing or a child failed; text, when
    // given, is printed then.
    void EndIfMissing(const char* text = nullptr)
    {
        if (!Ok() || (!m_result && !(m_flags & 1)))
            return;
        if (text)
            fputs(text, stderr);
        Stop(0);
    }

    template <class C> void Child(C& c, ChildMode mode = kStop, const ChildTexts& t = {})
    {
        if (!Ok())
            return;
        if constexpr (IsDescribed<C>::value)
            Outcome(C::ReadWith(c, *this), mode, t.read);
        else
            Outcome(c.ReadJSON(m_doc, *m_scope.obj), mode, t.read);
    }
    // The first child that stands flat reads the object itself; later ones their own object
    // under role, or the flat keys again when they have none.
    template <class C>
    void FlatOrNested(C& c, const char* role, bool& flatUsed, const ChildTexts& t)
    {
        if (!Ok())
            return;
        if (!flatUsed) {
            flatUsed = true;
            return Child(c, kStop, t);
        }
        JValue* own = Find(role);
        if (own && own->IsObject())
            return InObject(JsonScope{own}, [&] { Child(c, kStop, t); });
        m_scope.inOrder = false; // its keys are read a second time
        Child(c, kStop, t);
    }
    // The fields of the object under key. Missing (or, without anyValue, not an object):
    // "failed to read <key>" and failure; with anyValue whatever value stands there is read.
    template <class F> void Object(const char* key, F&& fields, bool anyValue = false)
    {
        if (!Ok())
            return;
        JValue* object = Find(key);
        if (!object || (!anyValue && !object->IsObject())) {
            fprintf(stderr, "failed to read %s\n", key);
            return Stop(1);
        }
        InObject(JsonScope{object}, fields);
    }
    // The array under key, element by element (ReadJSONArray). Missing: an empty list, or with a
    // missing text that text and failure.
    template <class V, class... A>
    void Items(uint32_t, V& list, const char* key, const ListTexts& t = {}, unsigned = 0,
               A&&... args)
    {
        if (!Ok() || !key)
            return;
        JValue* array = Find(key);
        if (!array) {
            if (t.missing) {
                fprintf(stderr, t.missing, key);
                Stop(1);
            }
            return;
        }
        int r = Elements(array, list, args...);
        if (r) {
            if (t.read)
                fprintf(stderr, t.read, key);
            Stop(r);
        }
    }
    // The further clips of a multi-clip item, read with the item's own failures: number becomes
    // their count with the item's own clip.
    template <class V>
    void ClipEntries(uint32_t& number, V& list, const char* key, const ClipTexts& t)
    {
        if (!Ok())
            return;
        JValue* array = Find(key);
        if (!array || !array->IsArray()) {
            fputs(t.notArray, stderr);
            return Stop(1);
        }
        for (JValue& element : array->GetArray()) {
            if (!element.IsObject()) {
                fputs(t.notObject, stderr);
                Stop(1);
                break;
            }
            typename V::value_type entry;
            InObject(JsonScope{&element}, [&] { entry.Fields(*this); });
            if (!Ok())
                break;
            list.push_back(entry);
        }
        number = uint32_t(list.size() + 1);
    }
    // An array of numbers, each taken as its low 32 bits. Missing: an empty list.
    void Numbers(uint32_t, unsigned, std::vector<uint32_t>& list, const char* key,
                 const NumberTexts& t = {}, unsigned = 0)
    {
        if (!Ok())
            return;
        JValue* array = Find(key);
        if (!array)
            return;
        if (!array->IsArray()) {
            if (t.notArray)
                fputs(t.notArray, stderr);
            return Stop(1);
        }
        unsigned index = 0;
        for (JValue& v : array->GetArray()) {
            if (!v.IsNumber()) {
                Say(t.notNumber, index);
                return Stop(1);
            }
            list.push_back(JsonLowBits(v));
            ++index;
        }
    }
    void IdList(std::vector<uint32_t>& list, const char* key, const char*,
                const NumberTexts& t = {})
    {
        Numbers(0, 8, list, key, t);
    }
    template <class V, class Address, class Body>
    void Split(uint32_t n, V& list, const char* key, const ListTexts& t, Mark, Address&&, Body&&,
               unsigned = 1, unsigned options = 0)
    {
        Items(n, list, key, t, options);
    }
    // One JSON array that several lists share: each element is read (a failure counts only once
    // it has a place) and joins the list place(element, code) names; nullptr fails with noPlace
    // and the code place reports.
    template <class V, class Place>
    void Shared(const char* key, std::initializer_list<V*>, Place&& place, const SharedTexts& t,
                unsigned = 0)
    {
        if (!Ok())
            return;
        JValue* array = Find(key);
        if (!array)
            return;
        if (!array->IsArray()) {
            fputs(t.badArray, stderr);
            return Stop(1);
        }
        for (JValue& element : array->GetArray()) {
            if (!element.IsObject()) {
                fputs(t.badArray, stderr);
                return Stop(1);
            }
            typename V::value_type item;
            int r     = V::value_type::ReadWith(item, m_doc, element);
            int code  = 0;
            V* target = place(item, code);
            if (!target) {
                fprintf(stderr, t.noPlace, code);
                return Stop(1);
            }
            if (r)
                return Stop(r);
            target->push_back(std::move(item));
        }
    }

    // The member under key of the object being read, or nullptr. Keys are plain names.
    JValue* Find(const char* key)
    {
        JValue& o = *m_scope.obj;
        if (!o.IsObject())
            return GetJsonMember(key, o);
        if (m_scope.inOrder && m_scope.hint < o.MemberCount()) {
            JValue::MemberIterator at = o.MemberBegin() + m_scope.hint;
            const size_t length       = strlen(key);
            if (at->name.GetStringLength() == length &&
                memcmp(at->name.GetString(), key, length) == 0) {
                ++m_scope.hint;
                return &at->value;
            }
        }
        JValue* found = GetJsonMember(key, o);
        if (found)
            m_scope.inOrder = false; // the members stand in another order than they are read
        return found;
    }

    JDoc& Doc() { return m_doc; }
    JsonScope& Scope() { return m_scope; }

  private:
    uint32_t* FlagsFor(Presence p)
    {
        if (p == kReported)
            return &m_reported;
        return p == kRequired ? &m_flags : nullptr;
    }
    uint32_t* FlagsFor(TextOption options) { return options & kOptionalText ? nullptr : &m_flags; }

    // The fields in another object; the reading goes on in this one afterwards.
    template <class F> void InObject(const JsonScope& scope, F&& fields)
    {
        JsonScope outer = m_scope;
        m_scope         = scope;
        fields();
        m_scope = outer;
    }

    // ReadJSONArray, with arguments for the elements.
    template <class V, class... A> int Elements(JValue* value, V& list, A&&... args)
    {
        using T = typename V::value_type;
        return ReadJSONArrayWith(value, list, T(), [&](T& item, JValue& element, unsigned i) {
            if constexpr (sizeof...(A) == 0 && IsDescribed<T>::value)
                return T::ReadWith(item, m_doc, element);
            else if constexpr (IsDescribed<T>::value)
                return ReadOf(item, m_doc, element, ArgFor(args, i)...);
            else if constexpr (std::is_base_of<CIBDSerial, T>::value)
                return item.ReadJSON(m_doc, element);
            else {
                JsonReader sub(m_doc, element);
                item.Fields(sub, ArgFor(args, i)...);
                return sub.Result();
            }
        });
    }

    JDoc& m_doc;
    JsonScope m_scope;
    uint32_t m_reported = 0; // the members reported missing that are no failure
};

// ---- WriteJSON: fields straight into the JSON text ---------------------------------------
class JsonWriter : public JsonIO
{
  public:
    static constexpr Op kOp = Op::kWriteJson;
    explicit JsonWriter(JWriter& w) : m_w(w) {}

    void U(unsigned, uint32_t& v, const char* key, Presence = kRequired)
    {
        m_w.Key(key);
        m_w.Uint(v);
    }
    void Opt(unsigned n, uint32_t& v, const char* key) { U(n, v, key); }
    void Bit(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Flag(uint32_t& v, const char* key, Presence = kRequired) { U(1, v, key); }
    void Code(unsigned, uint32_t& v, const char* key, const CodeNameTable* table,
              uint32_t (*)(const char*), Presence = kRequired)
    {
        char number[16];
        m_w.Key(key);
        m_w.ConstString(CodeJsonName(table, v, number));
    }
    void Chars(char* buf, size_t n, const char* key, TextOption options = kPlainText)
    {
        m_w.Key(key);
        m_w.String(buf, options & kCutAtZero ? strnlen(buf, n) : n);
    }
    // A reserved area without its trailing zeros (allBytes: every byte).
    void Area(uint8_t* buf, size_t n, const char* key, bool allBytes = false)
    {
        if (!allBytes)
            return WriteJsonArea(m_w, key, buf, n);
        m_w.Key(key);
        m_w.StartArray();
        for (size_t i = 0; i < n; ++i)
            m_w.Uint(buf[i]);
        m_w.EndArray();
    }
    void ByteString(std::string& s, const char* key, unsigned, bool, const char* = nullptr)
    {
        String(s, key);
    }
    void String(std::string& s, const char* key, Presence = kRequired)
    {
        m_w.Key(key);
        m_w.String(s.data(), s.size());
    }
    void Bytes(std::vector<uint8_t>& v, size_t, const char* key, bool hex = false)
    {
        if (!hex)
            return WriteJsonArea(m_w, key, v.data(), v.size());
        std::string text = FormatDiscIdHex(v);
        String(text, key);
    }
    void Strings(std::vector<std::string>& list, const char* key, size_t = 0, unsigned options = 0)
    {
        if ((options & kOmitEmpty) && list.empty())
            return;
        m_w.Key(key);
        m_w.StartArray();
        for (const std::string& s : list)
            m_w.String(s.data(), s.size());
        m_w.EndArray();
    }
    void Ignored(const char*) {}
    void EndIfMissing(const char* = nullptr) {}

    template <class C> void Child(C& c, ChildMode = kStop, const ChildTexts& = {})
    {
        if constexpr (IsDescribed<C>::value)
            C::WriteWith(c, m_w);
        else
            c.WriteJSON(m_w);
    }
    template <class C> void FlatOrNested(C& c, const char* role, bool& flatUsed, const ChildTexts&)
    {
        if (!flatUsed) {
            flatUsed = true;
            return Child(c);
        }
        Object(role, [&] { Child(c); });
    }
    template <class F> void Object(const char* key, F&& fields, bool = false)
    {
        m_w.Key(key);
        m_w.StartObject();
        fields();
        m_w.EndObject();
    }
    template <class V, class... A>
    void Items(uint32_t, V& list, const char* key, const ListTexts& = {}, unsigned options = 0,
               A&&... args)
    {
        if (!key || ((options & kOmitEmpty) && list.empty()))
            return;
        m_w.Key(key);
        m_w.StartArray();
        for (uint32_t i = 0; i < list.size(); ++i)
            Element(list[i], ArgFor(args, i)...);
        m_w.EndArray();
    }
    template <class V>
    void ClipEntries(uint32_t& number, V& list, const char* key, const ClipTexts&)
    {
        m_w.Key(key);
        m_w.StartArray();
        for (uint32_t i = 1; i < number && i <= list.size(); ++i)
            Element(list[i - 1]);
        m_w.EndArray();
    }
    void Numbers(uint32_t, unsigned, std::vector<uint32_t>& list, const char* key,
                 const NumberTexts& = {}, unsigned options = 0)
    {
        if ((options & kOmitEmpty) && list.empty())
            return;
        m_w.Key(key);
        m_w.StartArray();
        for (uint32_t v : list)
            m_w.Uint(v);
        m_w.EndArray();
    }
    void IdList(std::vector<uint32_t>& list, const char* key, const char*, const NumberTexts& = {})
    {
        Numbers(0, 8, list, key, {}, kOmitEmpty);
    }
    template <class V, class Address, class Body>
    void Split(uint32_t n, V& list, const char* key, const ListTexts& t, Mark, Address&&, Body&&,
               unsigned = 1, unsigned options = 0)
    {
        Items(n, list, key, t, options);
    }
    template <class V, class Place>
    void Shared(const char* key, std::initializer_list<V*> lists, Place&&, const SharedTexts&,
                unsigned options = 0)
    {
        bool empty = true;
        for (V* list : lists)
            empty = empty && list->empty();
        if (empty && (options & kOmitEmpty))
            return;
        m_w.Key(key);
        m_w.StartArray();
        for (V* list : lists)
            for (auto& item : *list)
                Element(item);
        m_w.EndArray();
    }

  private:
    // One element: an object of its fields.
    template <class T, class... A> void Element(T& item, A&&... args)
    {
        m_w.StartObject();
        if constexpr (IsDescribed<T>::value && sizeof...(A) == 0)
            T::WriteWith(item, m_w);
        else if constexpr (IsDescribed<T>::value)
            WriteOf(item, m_w, std::forward<A>(args)...);
        else if constexpr (std::is_base_of<CIBDSerial, T>::value)
            item.WriteJSON(m_w);
        else
            item.Fields(*this, std::forward<A>(args)...);
        m_w.EndObject();
    }

    JWriter& m_w;
};

// ---- The operations of a described structure --------------------------------------------

// Clear for free: the object becomes a default-constructed one.
template <class T> void Reset(T& t) { t = T(); }

// The fields inside the structure's framing.
template <class IO, class T, class... A> void Framed(IO& io, T& t, A&&... args)
{
    using F = typename T::FramingType;
    if constexpr (F::kLengthBits == 0)
        t.Fields(io, std::forward<A>(args)...);
    else
        io.Sized(
            F::kLengthBits, NameOf<T>(), [&] { t.Fields(io, std::forward<A>(args)...); },
            F::kModulus);
}

template <class T, class... A> int ParseOf(T& t, Parser& io, A&&... args)
{
    Reset(t);
    Framed(io, t, std::forward<A>(args)...);
    return io.Result();
}
template <class T, class... A> int ParseOf(T& t, CBitBuffer& bb, A&&... args)
{
    Parser io(bb);
    io.SetLimit(bb.SizeBits());
    return ParseOf(t, io, std::forward<A>(args)...);
}
template <class T, class... A> int BuildOf(T& t, CBitBuffer& bb, A&&... args)
{
    Builder io(bb);
    Framed(io, t, std::forward<A>(args)...);
    return io.Result();
}
// The object a structure with a JSON name stands in (member, when it is one), else nullptr
// after the structure's message.
template <class T> JValue* NamedObject(JValue* member)
{
    if (member && member->IsObject())
        return member;
    if constexpr (MissingText<T>::kCustom)
        fputs(T::kMissingText, stderr);
    else
        fprintf(stderr, "failed to read %s\n", T::kJsonName);
    return nullptr;
}

// A structure with a JSON name stands as an object under it, required; one without stands
// flat in the object its owner gives.
template <class T, class... A> int ReadOf(T& t, JDoc& doc, JValue& parent, A&&... args)
{
    Reset(t);
    JValue* object = &parent;
    if constexpr (JsonName<T>::kValue != nullptr) {
        object = NamedObject<T>(GetJsonMember(T::kJsonName, parent));
        if (!object)
            return 1;
    }
    JsonReader io(doc, *object);
    t.Fields(io, std::forward<A>(args)...);
    return io.Result();
}
template <class T, class... A> void WriteOf(T& t, JWriter& w, A&&... args)
{
    JsonWriter io(w);
    if constexpr (JsonName<T>::kValue != nullptr)
        io.Object(T::kJsonName, [&] { t.Fields(io, std::forward<A>(args)...); });
    else
        t.Fields(io, std::forward<A>(args)...);
}

template <class T, class F, class B> void Described<T, F, B>::Clear()
{
    Reset(static_cast<T&>(*this));
}
template <class T, class F, class B> int Described<T, F, B>::Parse(CBitBuffer& bb)
{
    return ParseOf(static_cast<T&>(*this), bb);
}
template <class T, class F, class B> int Described<T, F, B>::Build(CBitBuffer& bb)
{
    return BuildOf(static_cast<T&>(*this), bb);
}
template <class T, class F, class B> int Described<T, F, B>::ReadJSON(JDoc& doc, JValue& parent)
{
    return ReadOf(static_cast<T&>(*this), doc, parent);
}
template <class T, class F, class B> void Described<T, F, B>::WriteJSON(JWriter& w)
{
    WriteOf(static_cast<T&>(*this), w);
}
template <class T, class F, class B> int Described<T, F, B>::ParseWith(T& t, Parser& owner)
{
    Parser io(owner.m_bb);
    io.m_limit = owner.m_limit;
    return ParseOf(t, io);
}
template <class T, class F, class B> int Described<T, F, B>::BuildWith(T& t, CBitBuffer& bb)
{
    return BuildOf(t, bb);
}
template <class T, class F, class B>
int Described<T, F, B>::ReadWith(T& t, JDoc& doc, JValue& parent)
{
    return ReadOf(t, doc, parent);
}
template <class T, class F, class B> int Described<T, F, B>::ReadWith(T& t, JsonReader& owner)
{
    Reset(t);
    if constexpr (JsonName<T>::kValue != nullptr) {
        JValue* object = NamedObject<T>(owner.Find(T::kJsonName));
        if (!object)
            return 1;
        JsonReader io(owner.Doc(), *object);
        t.Fields(io);
        return io.Result();
    } else {
        // Flat in the owner's object: its keys are read in turn with the owner's.
        JsonReader io(owner.Doc(), owner.Scope());
        t.Fields(io);
        owner.Scope() = io.Scope();
        return io.Result();
    }
}
template <class T, class F, class B> void Described<T, F, B>::WriteWith(T& t, JWriter& w)
{
    WriteOf(t, w);
}

} // namespace ser
