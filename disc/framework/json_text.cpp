#include "disc/framework/json_text.h"

#include "disc/framework/serial.h"
#include "platform/safe_output.h"

#include <cstring>
#include <memory>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

size_t Utf8SequenceLength(const uint8_t* s, size_t size)
{
    if (size == 0)
        return 0;
    uint8_t c = s[0];
    if (c < 0x80)
        return 1;
    size_t n;
    uint8_t lo = 0x80, hi = 0xBF; // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF)
        n = 2;
    else if (c >= 0xE0 && c <= 0xEF) {
        n  = 3;
        lo = c == 0xE0 ? 0xA0 : 0x80; // no overlong forms
        hi = c == 0xED ? 0x9F : 0xBF; // no surrogates
    } else if (c >= 0xF0 && c <= 0xF4) {
        n  = 4;
        lo = c == 0xF0 ? 0x90 : 0x80;
        hi = c == 0xF4 ? 0x8F : 0xBF; // nothing beyond U+10FFFF
    } else
        return 0;
    if (size < n || s[1] < lo || s[1] > hi)
        return 0;
    for (size_t i = 2; i < n; ++i)
        if (s[i] < 0x80 || s[i] > 0xBF)
            return 0;
    return n;
}

static bool ValidUtf8(const char* text, size_t length)
{
    const uint8_t* s = reinterpret_cast<const uint8_t*>(text);
    for (size_t i = 0; i < length;) {
        if (s[i] < 0x80) {
            ++i;
            continue;
        }
        size_t n = Utf8SequenceLength(s + i, length - i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

std::string EscapedJsonString(const char* text, size_t length)
{
    static const char kHex[]      = "0123456789ABCDEF";
    static const char kLowerHex[] = "0123456789abcdef";
    const uint8_t* s              = reinterpret_cast<const uint8_t*>(text);
    std::string out               = "\"";
    for (size_t i = 0; i < length;) {
        uint8_t c = s[i];
        if (c >= 0x80) {
            size_t n = Utf8SequenceLength(s + i, length - i);
            if (n) {
                out.append(text + i, n);
                i += n;
            } else {
                out += "\\udc";
                out += kLowerHex[c >> 4];
                out += kLowerHex[c & 15];
                ++i;
            }
            continue;
        }
        ++i;
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4];
                out += kHex[c & 15];
            } else
                out += char(c);
        }
    }
    out += '"';
    return out;
}

bool DecodeSurrogateEscapes(std::string& text)
{
    size_t at = text.find('\xED');
    if (at == std::string::npos)
        return false;
    bool changed = false;
    size_t out   = at;
    for (size_t i = at; i < text.size();) {
        uint8_t b1 = uint8_t(text[i]);
        if (b1 == 0xED && i + 2 < text.size() && (uint8_t(text[i + 1]) & 0xFE) == 0xB2 &&
            uint8_t(text[i + 2]) >= 0x80 && uint8_t(text[i + 2]) <= 0xBF) {
            // U+DC80 + k is ED B2 80 + k for k below 64, then ED B3 80 onwards.
            text[out++] =
                char(0x80 + ((uint8_t(text[i + 1]) & 1) << 6) + (uint8_t(text[i + 2]) & 0x3F));
            i += 3;
            changed = true;
        } else
            text[out++] = text[i++];
    }
    text.resize(out);
    return changed;
}

namespace
{

// The sink of JSON text written into a SafeOutput.
class SafeOutputSink : public JsonSink
{
  public:
    explicit SafeOutputSink(SafeOutput& out) : m_out(out) {}
    void Write(const char* data, size_t size) override { m_out.Write(data, size); }

  private:
    SafeOutput& m_out;
};

// Passes the parser's events to the document, string values with their surrogate escapes
// turned back into bytes.
class DecodingHandler
{
  public:
    explicit DecodingHandler(JDoc& doc) : m_doc(doc) {}
    bool Null() { return m_doc.Null(); }
    bool Bool(bool b) { return m_doc.Bool(b); }
    bool Int(int i) { return m_doc.Int(i); }
    bool Uint(unsigned u) { return m_doc.Uint(u); }
    bool Int64(int64_t i) { return m_doc.Int64(i); }
    bool Uint64(uint64_t u) { return m_doc.Uint64(u); }
    bool Double(double d) { return m_doc.Double(d); }
    bool RawNumber(const char* s, rapidjson::SizeType n, bool copy)
    {
        return m_doc.RawNumber(s, n, copy);
    }
    bool String(const char* s, rapidjson::SizeType n, bool copy)
    {
        if (!memchr(s, '\xED', n))
            return m_doc.String(s, n, copy);
        std::string bytes(s, n);
        DecodeSurrogateEscapes(bytes);
        return m_doc.String(bytes.data(), rapidjson::SizeType(bytes.size()), true);
    }
    bool StartObject() { return m_doc.StartObject(); }
    bool Key(const char* s, rapidjson::SizeType n, bool copy) { return m_doc.Key(s, n, copy); }
    bool EndObject(rapidjson::SizeType n) { return m_doc.EndObject(n); }
    bool StartArray() { return m_doc.StartArray(); }
    bool EndArray(rapidjson::SizeType n) { return m_doc.EndArray(n); }

  private:
    JDoc& m_doc;
};

// The JSON text of a file, read in pieces as the library's file stream reads it; the runs of
// blanks that pretty-printed text indents with are skipped a word at a time.
class FileInput
{
  public:
    typedef char Ch;
    explicit FileInput(FILE* f) : m_file(f) { Read(); }

    Ch Peek() const { return *m_current; }
    Ch Take()
    {
        Ch c = *m_current;
        Read();
        return c;
    }
    size_t Tell() const { return m_count + size_t(m_current - m_buffer); }
    // Never written to.
    void Put(Ch) {}
    void Flush() {}
    Ch* PutBegin() { return nullptr; }
    size_t PutEnd(Ch*) { return 0; }

    friend void SkipWhitespace(FileInput& in)
    {
        for (;;) {
            const char* p    = in.m_current;
            const char* last = in.m_last; // at the end of the text, the zero byte after it
            uint64_t word;
            while (p + 8 <= last && (memcpy(&word, p, 8), word == 0x2020202020202020ull))
                p += 8;
            while (p <= last && (*p == ' ' || *p == '\n' || *p == '\r' || *p == '\t'))
                ++p;
            if (p <= last) {
                in.m_current = const_cast<char*>(p);
                return;
            }
            in.m_current = in.m_last;
            in.Read();
        }
    }

  private:
    // As the library's file stream: one character on, or the next piece when this one is spent;
    // after the end of the text a zero byte is read for ever.
    void Read()
    {
        if (m_current < m_last)
            ++m_current;
        else if (!m_eof) {
            m_count += m_read;
            m_read    = fread(m_buffer, 1, sizeof m_buffer - 1, m_file);
            m_last    = m_buffer + m_read - 1;
            m_current = m_buffer;
            if (m_read < sizeof m_buffer - 1) {
                m_buffer[m_read] = '\0';
                ++m_last;
                m_eof = true;
            }
        }
    }

    FILE* m_file;
    char m_buffer[65536 + 1]; // whole blocks, read past the stdio buffer, and the zero byte
    char* m_last    = nullptr;
    char* m_current = m_buffer;
    size_t m_read = 0, m_count = 0;
    bool m_eof = false;
};

template <class Stream> struct StreamParse {
    Stream& stream;
    bool ok = false;
    bool operator()(JDoc& doc)
    {
        DecodingHandler handler(doc);
        rapidjson::GenericReader<rapidjson::UTF8<>, rapidjson::UTF8<>, JsonHeapAllocator> reader;
        // Iterative parsing: deeply nested input cannot exhaust the stack.
        ok = !reader.Parse<rapidjson::kParseIterativeFlag>(stream, handler).IsError();
        return ok;
    }
};

template <class Stream> bool ParseInto(Stream& stream, JDoc& doc)
{
    JDoc parsed;
    StreamParse<Stream> parse{stream};
    parsed.Populate(parse);
    if (!parse.ok)
        return false;
    doc.Swap(parsed);
    return true;
}

} // namespace

bool ParseJsonStream(FILE* f, JDoc& doc)
{
    std::unique_ptr<FileInput> stream(new FileInput(f));
    return ParseInto(*stream, doc);
}

bool ParseJsonText(const std::string& text, JDoc& doc)
{
    rapidjson::MemoryStream stream(text.data(), text.size());
    return ParseInto(stream, doc);
}

std::string JsonText(CIBDSerial& root)
{
    JsonStringSink sink;
    {
        JWriter w(sink);
        w.StartObject();
        root.WriteJSON(w);
        w.EndObject();
    }
    return sink.m_text;
}

bool WriteJsonText(CIBDSerial& root, SafeOutput& out)
{
    SafeOutputSink sink(out);
    JWriter w(sink);
    w.StartObject();
    root.WriteJSON(w);
    w.EndObject();
    w.Flush();
    return !out.Failed();
}

void JWriter::String(const char* text, size_t length)
{
    if (ValidUtf8(text, length)) {
        m_writer.String(text, rapidjson::SizeType(length), true);
        return;
    }
    // The writer itself would copy the bytes unchecked.
    std::string escaped = EscapedJsonString(text, length);
    m_writer.RawValue(escaped.data(), escaped.size(), rapidjson::kStringType);
}
