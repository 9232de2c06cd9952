// Field helpers shared by the BD-J object classes.
#pragma once

#include "disc/framework/serial_io.h"

#include <string>
#include <vector>

namespace bdjo
{

// JSON reading: a required member that is missing ends the object's reading with the flags
// collected so far; the members after it keep their cleared values.
template <class IO> void EndIfMissing(IO& io)
{
    if constexpr (IO::kOp == ser::Op::kReadJson)
        if (io.Ok() && (io.m_flags & 1))
            io.Stop(0);
}

// File side of a zero byte that evens out a field of `bytes` bytes.
template <class IO> void PadToEven(IO& io, uint64_t bytes)
{
    if constexpr (IO::kFile)
        if (io.Ok() && bytes % 2)
            io.Zero(8);
}

// A string of any bytes, zero included, after its length field of lengthBits. With padToEven a
// zero byte follows when the length field and the bytes take an odd number of bytes. JSON holds
// every byte and is read back with its full length. Build refuses a string the field cannot
// count.
template <class IO>
void ByteString(IO& io, std::string& s, const char* key, unsigned lengthBits, bool padToEven)
{
    if (!io.Ok())
        return;
    if constexpr (IO::kOp == ser::Op::kParse) {
        uint32_t n = io.bb.ReadBits(lengthBits);
        s.resize(n);
        io.bb.ReadBytes(s.data(), n);
    } else if constexpr (IO::kOp == ser::Op::kBuild) {
        std::string what = std::string("bytes in ") + key;
        if (CheckListSize(s.size(), (1ull << lengthBits) - 1, what.c_str())) {
            io.Stop(1);
            return;
        }
        io.bb.WriteBits(lengthBits, uint32_t(s.size()));
        io.bb.WriteBytes(s.data(), s.size());
    } else if constexpr (IO::kOp == ser::Op::kReadJson) {
        size_t length    = 0;
        const char* text = ReadJsonString(key, io.obj, &io.m_flags, &length);
        s                = text ? std::string(text, length) : std::string();
    } else
        AddJsonString(io.doc, io.obj, key, s.data(), s.size());
    if (padToEven)
        PadToEven(io, lengthBits / 8 + s.size());
}

// JSON side of an array of strings, each kept at its full length or cut to maxLength bytes. A
// missing array is empty; a value that is not an array, or an element that is not a string,
// fails with its message.
template <class IO>
void ReadStrings(IO& io, const char* key, std::vector<std::string>& out,
                 size_t maxLength = std::string::npos)
{
    JValue* list = GetJsonMember(key, io.obj);
    if (!list)
        return;
    if (!list->IsArray()) {
        io.Fail("%s is not an array!\n", key);
        return;
    }
    unsigned i = 0;
    for (JValue& element : list->GetArray()) {
        if (!element.IsString()) {
            io.Fail("JSON array element[%u] is not a string!\n", i);
            return;
        }
        size_t length = element.GetStringLength();
        out.emplace_back(element.GetString(), length < maxLength ? length : maxLength);
        ++i;
    }
}

template <class IO> void WriteStrings(IO& io, const char* key, const std::vector<std::string>& list)
{
    JValue array(rapidjson::kArrayType);
    for (const std::string& s : list)
        array.PushBack(JValue(s.data(), rapidjson::SizeType(s.size()), io.doc.GetAllocator()),
                       io.doc.GetAllocator());
    io.obj.AddMember(rapidjson::StringRef(key), array, io.doc.GetAllocator());
}

} // namespace bdjo
