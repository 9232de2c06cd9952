#include "disc/framework/json_helpers.h"

#include <cmath>
#include <cstring>
#include <new>
#include <rapidjson/pointer.h>
#include <string>

void* JsonHeapAllocator::Malloc(size_t size)
{
    if (size == 0)
        return nullptr;
    void* p = std::malloc(size);
    if (!p)
        throw std::bad_alloc();
    return p;
}

void* JsonHeapAllocator::Realloc(void* original, size_t, size_t newSize)
{
    if (newSize == 0) {
        std::free(original);
        return nullptr;
    }
    void* p = std::realloc(original, newSize);
    if (!p)
        throw std::bad_alloc();
    return p;
}

JValue* GetJsonMember(const char* name, JValue& value)
{
    // Member names are plain constants: "/name" addresses exactly the object member of that
    // name, so look it up directly; anything a pointer would read differently goes through one.
    if (value.IsObject() && name[0] && !strpbrk(name, "/~")) {
        JValue::MemberIterator it = value.FindMember(name);
        return it == value.MemberEnd() ? nullptr : &it->value;
    }
    std::string path = std::string("/") + name;
    rapidjson::GenericPointer<JValue> pointer(path.c_str());
    return pointer.IsValid() ? pointer.Get(value) : nullptr;
}

uint32_t JsonLowBits(const JValue& v)
{
    if (v.IsUint64())
        return uint32_t(v.GetUint64());
    if (v.IsInt64())
        return uint32_t(uint64_t(v.GetInt64()));
    // A fraction or exponent: its integer part, when that is representable at all.
    double d = v.GetDouble();
    if (!std::isfinite(d) || d >= 9.2e18 || d <= -9.2e18)
        return 0;
    return uint32_t(uint64_t(int64_t(d)));
}

uint32_t ReadJsonUint(const char* name, JValue& value, uint32_t* flags)
{
    return JsonUintOf(name, GetJsonMember(name, value), flags);
}

uint32_t JsonUintOf(const char* name, const JValue* member, uint32_t* flags)
{
    if (member && member->IsNumber())
        return JsonLowBits(*member);
    if (flags) {
        fprintf(stderr, "failed to read %s\n", name);
        *flags |= 1;
    }
    return 0;
}

const char* ReadJsonString(const char* name, JValue& value, uint32_t* flags, size_t* length)
{
    return JsonStringOf(name, GetJsonMember(name, value), flags, length);
}

const char* JsonStringOf(const char* name, const JValue* member, uint32_t* flags, size_t* length)
{
    if (member && member->IsString()) {
        if (length)
            *length = member->GetStringLength();
        return member->GetString();
    }
    if (flags) {
        fprintf(stderr, "failed to read %s\n", name);
        *flags |= 1;
    }
    if (length)
        *length = 0;
    return nullptr;
}

void WriteJsonArea(JWriter& w, const char* key, const uint8_t* area, size_t length)
{
    size_t used = length;
    while (used > 1 && area[used - 1] == 0)
        --used;
    w.Key(key);
    w.StartArray();
    if (used == 0)
        w.Uint(0);
    for (size_t i = 0; i < used; ++i)
        w.Uint(area[i]);
    w.EndArray();
}

void ReadJsonArea(JValue& object, const char* key, uint8_t* area, size_t length)
{
    JsonAreaOf(GetJsonMember(key, object), area, length);
}

void JsonAreaOf(const JValue* member, uint8_t* area, size_t length)
{
    memset(area, 0, length);
    if (!member || !member->IsArray())
        return;
    size_t k = 0;
    for (const JValue& element : member->GetArray()) {
        if (k >= length)
            break;
        area[k++] = element.IsNumber() ? uint8_t(JsonLowBits(element)) : 0;
    }
}

std::string FormatDiscIdHex(const std::vector<uint8_t>& bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string text           = "0x";
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

static int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int ParseDiscIdHex(const std::string& text, std::vector<uint8_t>& bytes)
{
    // The whole JSON string counts: a zero byte inside is not a digit either.
    if (text.compare(0, 2, "0x") != 0)
        return 1;
    std::string digits = text.substr(2);
    if (digits.size() % 2)
        digits.insert(digits.begin(), '0');
    // Digit by digit: a sign, a blank or a second "0x" is not a digit.
    bytes.assign(digits.size() / 2, 0);
    for (size_t i = 0; i < bytes.size(); ++i) {
        int hi = HexDigit(digits[2 * i]), lo = HexDigit(digits[2 * i + 1]);
        if (hi < 0 || lo < 0)
            return 1;
        bytes[i] = uint8_t(hi << 4 | lo);
    }
    return 0;
}
