// Binding of disc structures to RapidJSON values: member lookup, numbers, strings, arrays of
// structures and reserved byte areas.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <rapidjson/document.h>
#include <rapidjson/prettywriter.h>
#include <string>
#include <vector>

// RapidJSON's heap allocations, with a failure thrown as std::bad_alloc: the library itself
// would go on with the null pointer, and the programs report a memory error instead.
class JsonHeapAllocator
{
  public:
    static const bool kNeedFree = true;
    void* Malloc(size_t size);
    void* Realloc(void* original, size_t originalSize, size_t newSize);
    static void Free(void* p) { std::free(p); }
};

typedef rapidjson::MemoryPoolAllocator<JsonHeapAllocator> JAllocator;
typedef rapidjson::GenericDocument<rapidjson::UTF8<>, JAllocator, JsonHeapAllocator> JDoc;
typedef JDoc::ValueType JValue;

// ---- Writing: JSON text as it is made, with no document in between. ---------------------
// The pretty writer (four spaces per level) of every structure's WriteJSON. Text fields hold
// bytes of the disc file, which need not be UTF-8: a byte that starts no valid UTF-8 sequence
// is written as the escape \udcXX.

// Where the text goes, in pieces.
class JsonSink
{
  public:
    virtual void Write(const char* data, size_t size) = 0;

  protected:
    ~JsonSink() = default;
};

// A sink that keeps the text.
class JsonStringSink : public JsonSink
{
  public:
    std::string m_text;
    void Write(const char* data, size_t size) override { m_text.append(data, size); }
};

class JWriter
{
  public:
    explicit JWriter(JsonSink& sink) : m_stream(sink), m_writer(m_stream)
    {
        m_writer.SetIndent(' ', 4);
    }
    JWriter(const JWriter&)            = delete;
    JWriter& operator=(const JWriter&) = delete;
    ~JWriter() { Flush(); }

    // Keys are constants of the program, which need no escape.
    void Key(const char* key) { m_writer.PlainKey(key, strlen(key)); }
    void Uint(uint32_t value) { m_writer.Uint(value); }
    // A string of any bytes, escaped where they are not UTF-8.
    void String(const char* text, size_t length);
    // A constant of the program (a code name).
    void ConstString(const char* text) { m_writer.String(text, rapidjson::SizeType(strlen(text))); }
    void StartObject() { m_writer.StartObject(); }
    void EndObject() { m_writer.EndObject(); }
    void StartArray() { m_writer.StartArray(); }
    void EndArray() { m_writer.EndArray(); }
    // Hands what is written so far to the sink.
    void Flush() { m_stream.Flush(); }

  private:
    // The writer's output in pieces; the writer reserves room before it puts characters, and
    // indents with runs of one character.
    class Stream
    {
      public:
        typedef char Ch;
        explicit Stream(JsonSink& sink) : m_sink(sink), m_buffer(65536) {}
        void Put(char c)
        {
            if (m_used == m_buffer.size())
                Flush();
            m_buffer[m_used++] = c;
        }
        void Flush()
        {
            if (m_used)
                m_sink.Write(m_buffer.data(), m_used);
            m_used = 0;
        }
        friend void PutReserve(Stream& s, size_t count)
        {
            if (s.m_used + count <= s.m_buffer.size())
                return;
            s.Flush();
            if (count > s.m_buffer.size())
                s.m_buffer.resize(count);
        }
        friend void PutUnsafe(Stream& s, char c) { s.m_buffer[s.m_used++] = c; }
        friend void PutN(Stream& s, char c, size_t n)
        {
            PutReserve(s, n);
            memset(s.m_buffer.data() + s.m_used, c, n);
            s.m_used += n;
        }
        void PutRaw(const char* text, size_t n)
        {
            PutReserve(*this, n);
            memcpy(m_buffer.data() + m_used, text, n);
            m_used += n;
        }

      private:
        JsonSink& m_sink;
        std::vector<char> m_buffer;
        size_t m_used = 0;
    };

    class Writer : public rapidjson::PrettyWriter<Stream, rapidjson::UTF8<>, rapidjson::UTF8<>,
                                                  JsonHeapAllocator>
    {
      public:
        explicit Writer(Stream& s) : PrettyWriter(s) {}
        void PlainKey(const char* key, size_t length)
        {
            PrettyPrefix(rapidjson::kStringType);
            PutReserve(*os_, length + 2);
            PutUnsafe(*os_, '"');
            os_->PutRaw(key, length);
            PutUnsafe(*os_, '"');
        }
    };

    Stream m_stream;
    Writer m_writer;
};

// ---- Reading: members of a parsed document. --------------------------------------------

// The member of value found through the JSON Pointer "/name", or nullptr.
JValue* GetJsonMember(const char* name, JValue& value);

// The low 32 bits of a JSON number (the integer part of a fraction; 0 when out of range).
uint32_t JsonLowBits(const JValue& number);

// The low 32 bits of a number member. Missing or not a number: 0, and when flags is given a
// "failed to read" line and bit 0 of *flags.
uint32_t ReadJsonUint(const char* name, JValue& value, uint32_t* flags = nullptr);

// The text of a string member, or nullptr (reported as ReadJsonUint does). When length is
// given it receives the string's full length, zero bytes included.
const char* ReadJsonString(const char* name, JValue& value, uint32_t* flags = nullptr,
                           size_t* length = nullptr);

// Reserved byte areas: written as an array of byte values without trailing zeros (at least
// one element); read into an area of fixed length, zero-filled, extra elements ignored.
void WriteJsonArea(JWriter& w, const char* key, const uint8_t* area, size_t length);
void ReadJsonArea(JValue& object, const char* key, uint8_t* area, size_t length);

// The same for a member already found (nullptr when missing); name is the member's name for the
// report.
uint32_t JsonUintOf(const char* name, const JValue* member, uint32_t* flags);
const char* JsonStringOf(const char* name, const JValue* member, uint32_t* flags,
                         size_t* length = nullptr);
void JsonAreaOf(const JValue* member, uint8_t* area, size_t length);

// Byte strings as JSON text: "0x" and two upper-case hex digits per byte.
std::string FormatDiscIdHex(const std::vector<uint8_t>& bytes);
// The bytes of such a text (an odd digit count has a 0 in front); 1 (and no message) when it is
// not one.
int ParseDiscIdHex(const std::string& text, std::vector<uint8_t>& bytes);

// Turns a JSON array into a vector of structures, each element read by read(item, element,
// index) into a copy of prototype; elements read before a failure stay.
template <class T, class Read>
int ReadJSONArrayWith(JValue* value, std::vector<T>& list, const T& prototype, Read&& read)
{
    if (!value) {
        fprintf(stderr, "JSON element is NULL!\n");
        return 1;
    }
    if (!value->IsArray()) {
        fprintf(stderr, "JSON element is not an array!\n");
        return 1;
    }
    // Room for the elements up front, within a bound: the count comes from the input.
    const size_t kMostReserved = size_t(16) << 20;
    list.reserve(list.size() + std::min<size_t>(value->Size(), kMostReserved / sizeof(T)));
    unsigned i = 0;
    for (JValue& element : value->GetArray()) {
        if (!element.IsObject()) {
            fprintf(stderr, "JSON array element[%u] is not an object!\n", i);
            return 1;
        }
        T item = prototype;
        int r  = read(item, element, i);
        if (r) {
            fprintf(stderr, "Failed to read JSON array element[%u]!\n", i);
            return r;
        }
        list.push_back(std::move(item));
        ++i;
    }
    return 0;
}

// The same through each element's ReadJSON.
template <class T>
int ReadJSONArray(JDoc& doc, JValue* value, std::vector<T>& list, const T& prototype = T())
{
    return ReadJSONArrayWith(value, list, prototype, [&](T& item, JValue& element, unsigned) {
        return item.ReadJSON(doc, element);
    });
}

// Writes a vector of structures as a JSON array, each element an object of its WriteJSON.
template <class T> void WriteJSONArray(JWriter& w, std::vector<T>& list)
{
    w.StartArray();
    for (T& item : list) {
        w.StartObject();
        item.WriteJSON(w);
        w.EndObject();
    }
    w.EndArray();
}
