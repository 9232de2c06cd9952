// JSON of disc structures in tests: the text the programs write, parsed back or made compact.
#pragma once

#include "disc/framework/json_text.h"
#include "disc/framework/serial.h"

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>

namespace testing_support
{

// A value as compact JSON text.
inline std::string CompactText(const JValue& v)
{
    rapidjson::StringBuffer sb;
    rapidjson::Writer<rapidjson::StringBuffer> w(sb);
    v.Accept(w);
    return std::string(sb.GetString(), sb.GetSize());
}

// The object of the members a structure writes, parsed back as the programs parse.
inline void WrittenJson(CIBDSerial& s, JDoc& doc) { ParseJsonText(JsonText(s), doc); }

inline std::string CompactJson(CIBDSerial& s)
{
    JDoc doc;
    WrittenJson(s, doc);
    return CompactText(doc);
}

} // namespace testing_support
