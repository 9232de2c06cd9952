#include "disc/id/bdid.h"

#include <cstring>

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

// Keeps the last n bytes, with zero bytes in front when there are fewer.
static void AlignToLast(std::vector<uint8_t>& bytes, size_t n)
{
    if (bytes.size() > n)
        bytes.erase(bytes.begin(), bytes.end() - ptrdiff_t(n));
    else
        bytes.insert(bytes.begin(), n - bytes.size(), 0);
}

// ---- CBDIDData --------------------------------------------------------------------------

void CBDIDData::Clear()
{
    Disc_Organization_ID.clear();
    Disc_ID.clear();
    reserved_block.clear();
}

int CBDIDData::Parse(CBitBuffer& bb)
{
    Clear();
    Disc_Organization_ID.resize(4);
    Disc_ID.resize(16);
    reserved_block.resize(44);
    bb.ReadBytes(Disc_Organization_ID.data(), 4);
    bb.ReadBytes(Disc_ID.data(), 16);
    bb.ReadBytes(reserved_block.data(), 44);
    return 0;
}

int CBDIDData::Build(CBitBuffer& bb)
{
    bb.WriteBytes(Disc_Organization_ID.data(), Disc_Organization_ID.size());
    bb.WriteBytes(Disc_ID.data(), Disc_ID.size());
    bb.WriteBytes(reserved_block.data(), reserved_block.size());
    return 0;
}

int CBDIDData::ReadJSON(JDoc&, JValue& parent)
{
    Clear();
    JValue* object = FindOwnMember(parent);
    if (!object || !object->IsObject()) {
        fprintf(stderr, "failed to read %s\n", "ID_Data");
        return 1;
    }
    uint32_t flags  = 0;
    size_t length   = 0;
    const char* org = ReadJsonString("Disc_Organization_ID", *object, &flags, &length);
    if (!org || ParseDiscIdHex(std::string(org, length), Disc_Organization_ID))
        return 1;
    AlignToLast(Disc_Organization_ID, 4);
    const char* id = ReadJsonString("Disc_ID", *object, &flags, &length);
    if (!id || ParseDiscIdHex(std::string(id, length), Disc_ID))
        return 1;
    AlignToLast(Disc_ID, 16);
    reserved_block.resize(44);
    ReadJsonArea(*object, "reserved_block", reserved_block.data(), 44);
    return 0;
}

int CBDIDData::WriteJSON(JDoc& doc, JValue& parent)
{
    JValue object(rapidjson::kObjectType);
    std::string org = FormatDiscIdHex(Disc_Organization_ID), id = FormatDiscIdHex(Disc_ID);
    AddJsonString(doc, object, "Disc_Organization_ID", org.data(), org.size());
    AddJsonString(doc, object, "Disc_ID", id.data(), id.size());
    // The identifier as characters: zero bytes at both ends dropped, those inside kept.
    size_t end = Disc_ID.size(), begin = 0;
    while (end > 1 && Disc_ID[end - 1] == 0)
        --end;
    while (begin < end && Disc_ID[begin] == 0)
        ++begin;
    AddJsonString(doc, object, "Disc_ID (as string)",
                  reinterpret_cast<const char*>(Disc_ID.data()) + begin, end - begin);
    WriteJsonArea(doc, object, "reserved_block", reserved_block.data(), reserved_block.size());
    parent.AddMember(rapidjson::StringRef(m_jsonName), object, doc.GetAllocator());
    return 0;
}

// ---- CBDID ------------------------------------------------------------------------------

void CBDID::Clear()
{
    memset(version_number, 0, sizeof version_number);
    memset(reserved_header, 0, sizeof reserved_header);
    ID_Data.Clear();
}

int CBDID::Parse(CBitBuffer& bb)
{
    Clear();
    if (ParseVersion(bb, version_number))
        return 1;
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    return ID_Data.Parse(bb);
}

int CBDID::Build(CBitBuffer& bb)
{
    BuildVersion(bb, version_number);
    bb.WriteBytes(reserved_header, sizeof reserved_header);
    return ID_Data.Build(bb);
}

int CBDID::ReadJSON(JDoc& doc, JValue& parent)
{
    Clear();
    if (ReadJsonVersion(parent, version_number))
        return 1;
    ReadJsonArea(parent, "reserved_header", reserved_header, sizeof reserved_header);
    return ID_Data.ReadJSON(doc, parent);
}

int CBDID::WriteJSON(JDoc& doc, JValue& parent)
{
    WriteJsonVersion(doc, parent, version_number);
    WriteJsonArea(doc, parent, "reserved_header", reserved_header, sizeof reserved_header);
    return ID_Data.WriteJSON(doc, parent);
}
