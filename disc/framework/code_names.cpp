#include "disc/framework/code_names.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>

const CodeNameTable kEPStreamTypeNames[] = {{0, "0"},
                                            {1, "video type1"},
                                            {2, "2"},
                                            {3, "Primary audio"},
                                            {4, "Secondary audio"},
                                            {5, "5"},
                                            {6, "Presentation Graphics"},
                                            {7, "Interactive Graphics"},
                                            {8, "8"},
                                            {9, "9"},
                                            {10, "10"},
                                            {11, "11"},
                                            {12, "12"},
                                            {13, "13"},
                                            {14, "14"},
                                            {15, "15"},
                                            {0, nullptr}};

const CodeNameTable kSamplingFrequencyNames[] = {
    {0, "0"},       {1, "48 kHz"},      {2, "Reserved-2"}, {3, "Reserved-3"}, {4, "96 kHz"},
    {5, "192 kHz"}, {12, "48/192 kHz"}, {14, "48/96 kHz"}, {0, nullptr}};

const CodeNameTable kStreamCodingTypeNames[] = {{0x01, "MPEG-1 Video"},
                                                {0x02, "MPEG-2 Video"},
                                                {0x03, "MPEG-1 Audio"},
                                                {0x04, "MPEG-2 Audio"},
                                                {0x80, "LPCM"},
                                                {0x81, "AC-3"},
                                                {0x82, "DTS"},
                                                {0x83, "TrueHD"},
                                                {0x84, "AC-3 Plus"},
                                                {0x85, "DTS-HD"},
                                                {0x86, "DTS-HD MA"},
                                                {0x87, "DRA"},
                                                {0x88, "DRA Extension"},
                                                {0x1B, "H.264"},
                                                {0x20, "MVC"},
                                                {0x24, "H.265"},
                                                {0x90, "PGS"},
                                                {0x91, "IGS"},
                                                {0x92, "Text Subtitle"},
                                                {0xA1, "AC-3 Plus Secondary"},
                                                {0xA2, "DTS-HD Secondary"},
                                                {0xEA, "VC-1"},
                                                {0, nullptr}};

const CodeNameTable kAudioPresentationTypeNames[] = {
    {0, "0"},          {1, "Mono"},          {2, "Reserved-2"}, {3, "Stereo"}, {4, "Reserved-4"},
    {5, "Reserved-5"}, {6, "Multi Channel"}, {12, "Combo"},     {0, nullptr}};

const CodeNameTable kAspectRatioNames[] = {
    {0, "0"}, {1, "Reserved-1"}, {2, "4:3"}, {3, "16:9"}, {0, nullptr}};

const CodeNameTable kFrameRateNames[] = {{0, "0"},  {1, "23.976"}, {2, "24"},
                                         {3, "25"}, {4, "29.97"},  {5, "Reserved-5"},
                                         {6, "50"}, {7, "59.94"},  {0, nullptr}};

const CodeNameTable kVideoFormatNames[] = {{0, "0"},     {1, "480i"},  {2, "576i"},  {3, "480p"},
                                           {4, "1080i"}, {5, "720p"},  {6, "1080p"}, {7, "576p"},
                                           {8, "2160p"}, {9, "2160i"}, {0, nullptr}};

CodingFamily StreamCodingFamily(uint32_t codingType)
{
    switch (codingType) {
    case 0x01:
    case 0x02:
    case 0x1B:
    case 0xEA:
        return CodingFamily::kVideo;
    case 0x24:
        return CodingFamily::kHevc;
    case 0x20:
        return CodingFamily::kMvc;
    case 0x03:
    case 0x04:
    case 0x80:
    case 0x81:
    case 0x82:
    case 0x83:
    case 0x84:
    case 0x85:
    case 0x86:
    case 0xA1:
    case 0xA2:
        return CodingFamily::kAudio;
    case 0x87:
    case 0x88:
        return CodingFamily::kDra;
    case 0x90:
    case 0x91:
        return CodingFamily::kGraphics;
    case 0x92:
        return CodingFamily::kText;
    default:
        return CodingFamily::kUnknown;
    }
}

const char* CodeName(const CodeNameTable* table, uint32_t code)
{
    for (; table && table->name; ++table)
        if (table->code == code)
            return table->name;
    return "?";
}

const char* CodeJsonName(const CodeNameTable* table, uint32_t code, char number[16])
{
    const char* name = CodeName(table, code);
    if (table == kStreamCodingTypeNames || strcmp(name, "?") != 0)
        return name;
    snprintf(number, 16, "0x%X", unsigned(code));
    return number;
}

void NormalizeName(char destination[256], const char* name)
{
    size_t n = 0;
    for (; name && *name && n < 255; ++name) {
        unsigned char c = static_cast<unsigned char>(*name);
        if (!isspace(c))
            destination[n++] = char(toupper(c));
    }
    destination[n] = '\0';
}

namespace
{

// The normalised name and substring tests on it.
struct Name {
    char text[256];
    explicit Name(const char* name) { NormalizeName(text, name); }
    // The number form of a code without a name: "0x" and hexadecimal digits (no name of the
    // tables reads so).
    bool Number(uint32_t* code) const
    {
        if (text[0] != '0' || text[1] != 'X' || !text[2] || strlen(text + 2) > 8 ||
            strspn(text + 2, "0123456789ABCDEF") != strlen(text + 2))
            return false;
        *code = uint32_t(strtoul(text + 2, nullptr, 16));
        return true;
    }
    bool Has(const char* word) const { return strstr(text, word) != nullptr; }
    bool Any(std::initializer_list<const char*> words) const
    {
        for (const char* w : words)
            if (Has(w))
                return true;
        return false;
    }
};

// A word a name holds for a code; with also, a second word it must hold as well.
struct Word {
    uint32_t code;
    const char* has;
    const char* also = nullptr;
};

// The number form, then for each reserved code in turn "RESERVED-<code>" or "RESERVED<code>",
// any other "RESERVED" being 0 (for a field with reserved codes), then the code of the first word
// the name holds; 0 for none.
uint32_t ParseByWords(const char* name, std::initializer_list<uint32_t> reserved,
                      std::initializer_list<Word> words)
{
    Name n(name);
    uint32_t code;
    if (n.Number(&code))
        return code;
    for (uint32_t r : reserved) {
        char dashed[16], plain[16];
        snprintf(dashed, sizeof dashed, "RESERVED-%u", unsigned(r));
        snprintf(plain, sizeof plain, "RESERVED%u", unsigned(r));
        if (n.Any({dashed, plain}))
            return r;
    }
    if (reserved.size() && n.Has("RESERVED"))
        return 0;
    for (const Word& w : words)
        if (n.Has(w.has) && (!w.also || n.Has(w.also)))
            return w.code;
    return 0;
}

} // namespace

uint32_t ParseStreamCodingType(const char* name)
{
    Name n(name);
    if (n.Any({"MPEG-1", "MPEG1", "MPG-1", "MPG1"}))
        return n.Has("VIDEO") ? 0x01 : n.Has("AUDIO") ? 0x03 : 0;
    if (n.Any({"MPEG-2", "MPEG2", "MPG-2", "MPG2"}))
        return n.Has("VIDEO") ? 0x02 : n.Has("AUDIO") ? 0x04 : 0;
    if (n.Any({"VC-1", "VC1"}))
        return 0xEA;
    if (n.Has("MVC"))
        return 0x20;
    if (n.Any({"H.264", "H264", "AVC", "264"}))
        return 0x1B;
    if (n.Any({"H.265", "H265", "HEVC", "265"}))
        return 0x24;
    if (n.Has("LPCM"))
        return 0x80;
    if (n.Has("TRUEHD"))
        return 0x83;
    if (n.Any({"AC3", "AC-3"}))
        return n.Has("SEC") ? 0xA1 : n.Has("PLUS") ? 0x84 : 0x81;
    if (n.Has("DTS")) {
        if (n.Has("SEC"))
            return 0xA2;
        if (n.Any({"MA", "MASTER"}))
            return 0x86;
        return n.Has("HD") ? 0x85 : 0x82;
    }
    if (n.Has("DRA"))
        return n.Has("EXT") ? 0x88 : 0x87;
    if (n.Has("PGS"))
        return 0x90;
    if (n.Has("IGS"))
        return 0x91;
    if (n.Any({"TXT", "TEXT"}))
        return 0x92;
    return 0;
}

uint32_t ParseVideoFormat(const char* name)
{
    return ParseByWords(name, {},
                        {{1, "480I"},
                         {2, "576I"},
                         {3, "480P"},
                         {4, "1080I"},
                         {5, "720P"},
                         {6, "1080P"},
                         {7, "576P"},
                         {8, "2160P"},
                         {9, "2160I"}});
}

uint32_t ParseAudioPresentationType(const char* name)
{
    return ParseByWords(name, {5, 4, 2}, {{1, "MONO"}, {3, "STEREO"}, {6, "MULTI"}, {12, "COMB"}});
}

uint32_t ParseFrameRate(const char* name)
{
    return ParseByWords(name, {5},
                        {{1, "23.9"}, {2, "24"}, {3, "25"}, {4, "29.9"}, {6, "50"}, {7, "59.9"}});
}

uint32_t ParseSamplingFrequency(const char* name)
{
    // "48/192 kHz" holds "48" and "192": the pairs come first.
    return ParseByWords(name, {3, 2},
                        {{12, "48", "192"}, {14, "48", "96"}, {1, "48"}, {4, "96"}, {5, "192"}});
}

uint32_t ParseAspectRatio(const char* name)
{
    return ParseByWords(name, {1}, {{2, "4:3"}, {3, "16:9"}});
}

uint32_t ParseEPStreamType(const char* name)
{
    Name n(name);
    uint32_t code;
    if (n.Number(&code))
        return code;
    if (n.Has("VIDEO"))
        return 1;
    if (n.Has("AUDIO"))
        return n.Has("SECONDARY") ? 4 : 3;
    if (n.Has("GRAPHICS"))
        return n.Has("INTERACTIVE") ? 7 : 6;
    // atoi rules, then the signed remainder of division by 16.
    long v = strtol(n.text, nullptr, 10);
    return uint32_t(int32_t(v % 16));
}

void PrintIndented(int level, const char* format, ...)
{
    for (int i = 0; i < level; ++i)
        fputs("    ", stdout);
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fputc('\n', stdout);
}
