// Quenby's arguments, its walker and the rows it prints.
#include "tools/recinfo/quenby.h"

#include "common/file_errors.h"
#include "h264/syntax/disc_user_data.h"
#include "h264/text/mdpm.h"
#include "platform/crt_compat.h"

#include <cstdarg>
#include <cstring>

namespace
{

const char kVersion[] = "2.00";

struct ModelName {
    uint16_t maker;
    uint16_t model;
    const char* name;
};

const ModelName kModelNames[] = {
    {0x1011, 0x2001, "HG 20"},     {0x1011, 0x3001, "HF 100"},    {0x1011, 0x3002, "HF 200"},
    {0x1011, 0x3003, "HF S100"},   {0x1011, 0x3100, "HF R16"},    {0x1011, 0x3101, "HF M31"},
    {0x1011, 0x3102, "HF S20"},    {0x1011, 0x3203, "XA 10"},     {0x1011, 0x4101, "EOS C100"},
    {0x0103, 0x0300, "HDC-SD1"},   {0x0103, 0x0311, "HDC-SD9"},   {0x0103, 0x0315, "HDC-TM300"},
    {0x0103, 0x0330, "HDC-SD600"}, {0x0103, 0x0331, "HDC-TM700"}, {0x0103, 0x0332, "HDC-HS700"},
    {0x0103, 0x0333, "HDC-SD60"},  {0x0103, 0x0335, "HDC-HS60"},  {0x0103, 0x0336, "HDC-SDT750"},
    {0x0103, 0x033A, "HDC-SD909"}, {0x0103, 0x033B, "HDC-SD90"},  {0x0103, 0x0340, "HDC-Z10000"},
    {0x0103, 0x0411, "AG-HMC41"},  {0x0103, 0x0415, "AG-AC160"},
};

const char* ModelNameOf(uint32_t maker, uint32_t model)
{
    for (const ModelName& m : kModelNames)
        if (m.maker == maker && m.model == model)
            return m.name;
    return "";
}

// Rows can come every few access units: their texts are put together without formatted
// printing or growing strings. Each writer puts its text at out, which has room for it, and
// returns the end of what it wrote.

// digits (at most 8) upper-case hex digits of value, as "%0*X" writes them.
char* PutHex(char* out, uint32_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i, value >>= 4)
        out[i] = "0123456789ABCDEF"[value & 0xF];
    return out + digits;
}

// value in decimal with at least digits (at most 10) digits, as "%0*u" writes it.
char* PutDecimal(char* out, uint32_t value, int digits)
{
    char dec[10];
    int n = 0;
    do {
        dec[9 - n++] = char('0' + value % 10);
        value /= 10;
    } while (value);
    while (n < digits)
        dec[9 - n++] = '0';
    memcpy(out, dec + 10 - n, size_t(n));
    return out + n;
}

char* PutText(char* out, const std::string& text)
{
    memcpy(out, text.data(), text.size());
    return out + text.size();
}

char* PutText(char* out, const char* text, size_t size)
{
    memcpy(out, text, size);
    return out + size;
}

void PrintBanner(FILE* stream)
{
    fprintf(stream, "Quenby - version %s (build: %s)\n\n", kVersion, __DATE__);
}

// The banner, then the usage.
void PrintUsage(FILE* stream, const char* program)
{
    PrintBanner(stream);
    fprintf(stream, "Usage: %s [options] infile.mts [outfile.txt]\n", program);
    fprintf(stream, "\n");
    fprintf(stream, "Options:\n");
    fprintf(stream, "-tab                  list in table format\n");
    fprintf(stream, "-noheader             suppress header printing (with -tab)\n");
    fprintf(stream, "-hexdata              show hexadecimal info-data\n");
    fprintf(stream, "-es                   use elementary stream (.h264, .264, .avc) on input\n");
    fprintf(stream, "\n");
    fprintf(stream, "Displays recording information stored in AVCHD files.\n");
    fprintf(stream, "Output is written to standard output or into specified text file.\n");
    fprintf(stream, "\n");
}

} // namespace

const char* GetErrorText(int code, char* buffer)
{
    const char* text = FileErrorText(code);
    if (!text)
        return nullptr;
    snprintf(buffer, 256, "%s", text);
    return buffer;
}

int ReadMdpmTags(H264BitReader& reader, MdpmTagList& tags)
{
    // The reader must not run past the payload: a payload too short for its header and the
    // count is not MDPM, and a list cut short keeps the entries that are complete.
    DiscUserDataHeader header;
    if (reader.BitsLeft() < DiscUserDataHeader::kBits ||
        header.Parse(reader) != DiscUserData::kMdpm)
        return 1;
    ReadMdpmTagList(reader, tags);
    return tags.hasCount ? 0 : 1;
}

void FillInfoRow(InfoRow& row, const std::vector<MdpmTagEntry>& entries, bool table)
{
    // "#" and the count, then each tag and value; in list format each on a line of its own.
    std::string& hex = row.HexaData;
    hex.resize(3 + entries.size() * 10 + (table ? 0 : 1 + entries.size() * 2));
    char* out = &hex[0];
    *out++    = '#';
    out       = PutHex(out, uint32_t(entries.size()), 2);
    if (!table)
        *out++ = '\n';
    for (const MdpmTagEntry& e : entries) {
        if (!table)
            *out++ = '#';
        out = PutHex(out, e.tag, 2);
        out = PutHex(out, e.value, 8);
        if (!table)
            *out++ = '\n';
    }

    bool haveDate = false, haveTime = false;
    unsigned zone = 0, year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    for (const MdpmTagEntry& e : entries) {
        uint32_t b3 = e.value >> 24, b2 = (e.value >> 16) & 0xFF, b1 = (e.value >> 8) & 0xFF,
                 b0 = e.value & 0xFF;
        switch (e.tag) {
        case 0x13:
            row.TimeCode = FormatMdpmTimeCode(e.value);
            break;
        case 0x18:
            haveDate = true;
            zone     = b3;
            year     = MdpmBcd(b2) * 100 + MdpmBcd(b1);
            month    = MdpmBcd(b0);
            break;
        case 0x19:
            haveTime = true;
            day      = MdpmBcd(b3);
            hour     = MdpmBcd(b2);
            minute   = MdpmBcd(b1);
            second   = MdpmBcd(b0);
            break;
        case 0xE0: {
            uint32_t maker = e.value >> 16, model = e.value & 0xFFFF;
            char text[32];
            if (const char* name = MdpmMakerName(maker)) {
                row.Company = name;
            } else {
                char* end = PutHex(PutText(text, "unknown (0x", 11), maker, 4);
                *end++    = ')';
                row.Company.assign(text, end);
            }
            row.CompanyModel.assign(text, PutHex(PutText(text, "0x", 2), model, 4));
            row.CompanyModelName = ModelNameOf(maker, model);
            break;
        }
        default:
            break;
        }
    }
    if (haveDate && haveTime) {
        // "%04u-%02u-%02u %02u:%02u:%02u, timezone %s%.2u:%s%s"; a BCD byte reads at most 165.
        char text[64];
        char* at = PutDecimal(text, year, 4);
        *at++    = '-';
        at       = PutDecimal(at, month, 2);
        *at++    = '-';
        at       = PutDecimal(at, day, 2);
        *at++    = ' ';
        at       = PutDecimal(at, hour, 2);
        *at++    = ':';
        at       = PutDecimal(at, minute, 2);
        *at++    = ':';
        at       = PutDecimal(at, second, 2);
        at       = PutText(at, ", timezone ", 11);
        *at++    = zone & 0x20 ? '-' : '+';
        at       = PutDecimal(at, (zone >> 1) & 0xF, 2);
        at       = PutText(at, zone & 0x01 ? ":30" : ":00", 3);
        if (zone & 0x40)
            at = PutText(at, " DST", 4);
        row.DateTimeOriginal.assign(text, at);
    }
}

void InfoRow::Clear()
{
    for (std::string* column : {&AccessUnitNum, &HexaData, &TimeCode, &DateTimeOriginal, &Company,
                                &CompanyModel, &CompanyModelName})
        column->clear();
}

void InfoRow::Print(FILE* stream, bool table, bool hexData) const
{
    static const char* const kTimeCodeName = MdpmTagName(0x13);
    const std::string* columns[]           = {&TimeCode, &DateTimeOriginal, &Company, &CompanyModel,
                                              &CompanyModelName};
    const char* names[] = {kTimeCodeName, "DateTimeOriginal", "Company", "CompanyModel",
                           "CompanyModelName"};
    // One write per row; the caller checks the stream.
    size_t size = AccessUnitNum.size() + HexaData.size() + 32;
    for (int i = 0; i < 5; ++i)
        size += strlen(names[i]) + columns[i]->size() + 2;
    char small[1024];
    std::string large;
    char* text = small;
    if (size > sizeof small) {
        large.resize(size);
        text = &large[0];
    }
    char* out = text;
    if (table) {
        out = PutText(out, AccessUnitNum);
        if (hexData) {
            *out++ = '\t';
            out    = PutText(out, HexaData);
        }
        for (const std::string* column : columns) {
            *out++ = '\t';
            out    = PutText(out, *column);
        }
        *out++ = '\n';
    } else {
        out    = PutText(PutText(out, ";AccessUnitNum=", 15), AccessUnitNum);
        *out++ = '\n';
        if (hexData)
            out = PutText(out, HexaData);
        for (int i = 0; i < 5; ++i) {
            if (columns[i]->empty())
                continue;
            out    = PutText(out, names[i], strlen(names[i]));
            *out++ = '=';
            out    = PutText(out, *columns[i]);
            *out++ = '\n';
        }
        *out++ = '\n';
    }
    fwrite(text, 1, size_t(out - text), stream);
}

CQuenby::CQuenby(bool noHeader, bool table, bool hexData, bool transportStream)
    : m_noHeader(noHeader), m_table(table), m_hexData(hexData)
{
    m_isTS = transportStream;
    // Of the units that are not SEI only the picture count is used.
    m_parser.m_countingOnly = true;
}

int CQuenby::OnStart()
{
    if (!m_table || m_noHeader)
        return 0;
    InfoRow header;
    header.AccessUnitNum    = "AccessUnitNum";
    header.HexaData         = "HexaData";
    header.TimeCode         = MdpmTagName(0x13);
    header.DateTimeOriginal = "DateTimeOriginal";
    header.Company          = "Company";
    header.CompanyModel     = "CompanyModel";
    header.CompanyModelName = "CompanyModelName";
    header.Print(m_textOut, true, m_hexData);
    return FlushText();
}

int CQuenby::OnNALUnit()
{
    int r = ParseCurrentUnit(m_unitReader);
    if (m_parser.m_nalHeader.nal_unit_type != 6)
        return 0;
    if (r != 0) {
        PrintBitstreamError(stderr, r);
        return r;
    }
    for (const CH264SeiMessage& message : m_parser.m_seiMessages) {
        if (message.payloadType != 5 || message.payloadData.empty())
            continue;
        // Read where the parse put it: the message is not touched before the next unit.
        H264BitReader payload;
        payload.InitView(message.payloadData.data(), message.payloadData.size());
        if (ReadMdpmTags(payload, m_tags) != 0)
            continue;
        // One row object for all rows: its texts keep their memory.
        m_row.Clear();
        char number[10];
        m_row.AccessUnitNum.assign(number, PutDecimal(number, m_parser.m_pictureCount, 1));
        FillInfoRow(m_row, m_tags.entries, m_table);
        m_row.Print(m_textOut, m_table, m_hexData);
        if (int w = FlushText())
            return w;
    }
    return 0;
}

int QuenbyMain(int argc, char** argv)
{
    std::string program = ProgramName(argc > 0 ? argv[0] : "quenby");
    if (argc < 2) {
        PrintUsage(stderr, program.c_str());
        return 0;
    }
    bool noHeader = false, table = false, hexData = false, transportStream = true;
    const char* input  = nullptr;
    const char* output = nullptr;
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        if (arg[0] != '-') {
            if (!input)
                input = arg;
            else if (!output)
                output = arg;
            continue;
        }
        // The help words must match exactly; every other option in any case.
        if (strcmp(arg, "-h") == 0 || strcmp(arg, "-help") == 0 || strcmp(arg, "-?") == 0) {
            PrintUsage(stdout, program.c_str());
            return 0;
        }
        if (_stricmp(arg, "-ts") == 0)
            transportStream = true;
        else if (_stricmp(arg, "-es") == 0)
            transportStream = false;
        else if (_stricmp(arg, "-tab") == 0)
            table = true;
        else if (_stricmp(arg, "-noheader") == 0)
            noHeader = true;
        else if (_stricmp(arg, "-hexdata") == 0)
            hexData = true;
        else {
            PrintBanner(stderr);
            fprintf(stderr, "WARNING: %s - unknown option -%s specified, ignoring...\n",
                    program.c_str(), arg + 1);
        }
    }
    if (!input) {
        PrintUsage(stderr, program.c_str());
        return 1;
    }

    int r;
    {
        CQuenby quenby(noHeader, table, hexData, transportStream);
        r = quenby.Walk(input, nullptr, nullptr, output ? output : "");
    }
    if (r == kCannotOpenOfmd)
        r = kCannotOpenFile;
    else if (r == kCannotCreateText)
        r = kCannotCreateFile;
    if (r != 0) {
        char buffer[256];
        const char* text = GetErrorText(r, buffer);
        fprintf(stderr, "ERROR: %s\n\n", text ? text : "Unexpected error!");
    }
    return r;
}
