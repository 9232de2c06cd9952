// Binding of disc structures to RapidJSON values: member lookup, numbers, strings, arrays of
// structures and reserved byte areas.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <rapidjson/document.h>
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

// Adds members. Keys are string constants and are not copied; string values are.
void AddJsonUint(JDoc& doc, JValue& object, const char* key, uint32_t value);
void AddJsonString(JDoc& doc, JValue& object, const char* key, const char* text, size_t length);
void AddJsonConstString(JDoc& doc, JValue& object, const char* key, const char* text);

// Reserved byte areas: written as an array of byte values without trailing zeros (at least
// one element); read into an area of fixed length, zero-filled, extra elements ignored.
void WriteJsonArea(JDoc& doc, JValue& object, const char* key, const uint8_t* area, size_t length);
void ReadJsonArea(JValue& object, const char* key, uint8_t* area, size_t length);

// Byte strings as JSON text: "0x" and two upper-case hex digits per byte.
std::string FormatDiscIdHex(const std::vector<uint8_t>& bytes);
// The bytes of such a text (an odd digit count has a 0 in front); 1 (and no message) when it is
// not one.
int ParseDiscIdHex(const std::string& text, std::vector<uint8_t>& bytes);

// Turns a JSON array into a vector of structures through each element's ReadJSON; each element
// starts as a copy of prototype.
template <class T>
int ReadJSONArray(JDoc& doc, JValue* value, std::vector<T>& list, const T& prototype = T())
{
    if (!value) {
        fprintf(stderr, "JSON element is NULL!\n");
        return 1;
    }
    if (!value->IsArray()) {
        fprintf(stderr, "JSON element is not an array!\n");
        return 1;
    }
    unsigned i = 0;
    for (JValue& element : value->GetArray()) {
        if (!element.IsObject()) {
            fprintf(stderr, "JSON array element[%u] is not an object!\n", i);
            return 1;
        }
        T item = prototype;
        int r  = item.ReadJSON(doc, element);
        if (r) {
            fprintf(stderr, "Failed to read JSON array element[%u]!\n", i);
            return r;
        }
        list.push_back(std::move(item));
        ++i;
    }
    return 0;
}

// Turns a vector of structures into the elements of a JSON array through their WriteJSON.
template <class T> int WriteJSONArray(JDoc& doc, JValue* value, std::vector<T>& list)
{
    if (!value) {
        fprintf(stderr, "JSON element is NULL!\n");
        return 1;
    }
    if (!value->IsArray()) {
        fprintf(stderr, "JSON element is not an array!\n");
        return 1;
    }
    value->Reserve(rapidjson::SizeType(list.size()), doc.GetAllocator());
    for (size_t i = 0; i < list.size(); ++i) {
        JValue object(rapidjson::kObjectType);
        int r = list[i].WriteJSON(doc, object);
        if (r) {
            fprintf(stderr, "Failed to save JSON array element[%u]!\n", unsigned(i));
            return r;
        }
        value->PushBack(object, doc.GetAllocator());
    }
    return 0;
}
