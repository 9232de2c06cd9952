// Disc files in process: the container run over bytes and JSON text as the programs run it, with
// what it prints to standard error, and the JSON it writes made compact.
#pragma once

#include "disc/bdmv.h"
#include "disc/framework/json_text.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <string>
#include <vector>

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

// The members a structure writes, parsed back as the programs parse, as compact text.
inline std::string CompactJson(CIBDSerial& s)
{
    JDoc doc;
    ParseJsonText(JsonText(s), doc);
    return CompactText(doc);
}

// One step of the container: its result, the compact JSON of a parse or the bytes of a build,
// and what it printed to standard error.
struct Outcome {
    int rc = 0;
    std::string json;
    std::vector<uint8_t> bytes;
    std::string err;
};

inline Outcome Parsed(CBDMV& bdmv, const std::vector<uint8_t>& bytes)
{
    Outcome o;
    CaptureOutput capture;
    CBitBuffer bb;
    bb.m_bytes = bytes;
    o.rc       = bdmv.Parse(bb);
    if (o.rc == 0)
        o.json = CompactJson(bdmv);
    o.err = capture.Err();
    return o;
}

inline Outcome Built(CIBDSerial& s)
{
    Outcome o;
    CaptureOutput capture;
    CBitBuffer bb;
    o.rc    = s.Build(bb);
    o.bytes = bb.m_bytes;
    o.err   = capture.Err();
    return o;
}

// Reads JSON text into a structure (rc -1 for text that is not JSON).
inline Outcome Read(CIBDSerial& s, const std::string& json)
{
    Outcome o;
    CaptureOutput capture;
    JDoc doc;
    o.rc  = ParseJsonText(json, doc) ? s.ReadJSON(doc, doc) : -1;
    o.err = capture.Err();
    return o;
}

inline Outcome FileToJson(const std::vector<uint8_t>& bytes)
{
    CBDMV bdmv;
    return Parsed(bdmv, bytes);
}

// Reads JSON text and, when that passes, builds the file with the given padding.
inline Outcome JsonToFile(const std::string& json, uint32_t padding = 0)
{
    CBDMV bdmv;
    bdmv.m_padding = padding;
    Outcome o      = Read(bdmv, json);
    if (o.rc == 0) {
        Outcome b = Built(bdmv);
        o.rc = b.rc, o.bytes = b.bytes, o.err += b.err;
    }
    return o;
}

// Bytes -> JSON -> bytes; every step must pass.
inline std::vector<uint8_t> ThroughJson(const std::vector<uint8_t>& bytes)
{
    Outcome json = FileToJson(bytes);
    EXPECT_EQ(json.rc, 0) << json.err;
    Outcome file = JsonToFile(json.json);
    EXPECT_EQ(file.rc, 0) << file.err;
    return file.bytes;
}

// The text with its first `from` replaced by `to`; a failure when there is none.
inline std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

} // namespace testing_support
