// Quenby: lists the camcorder recording information (MDPM user data) of an H.264 stream.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/stream/nal_walker.h"
#include "h264/text/mdpm.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// One printed row: one MDPM message.
class InfoRow
{
  public:
    // Empties every column, keeping its memory.
    void Clear();
    void Print(FILE* stream, bool table, bool hexData) const;

    std::string AccessUnitNum;
    std::string HexaData;
    std::string TimeCode;
    std::string DateTimeOriginal;
    std::string Company;
    std::string CompanyModel;
    std::string CompanyModelName;
};

// The text of a file-error code copied into buffer (256 bytes), or null for another code.
const char* GetErrorText(int code, char* buffer);
// Reads an MDPM payload: 1 when it is not one (too short for the UUID, "MDPM" and the
// count, or another UUID or type indicator), else 0 with the complete entries present.
int ReadMdpmTags(H264BitReader& reader, MdpmTagList& tags);
void FillInfoRow(InfoRow& row, const std::vector<MdpmTagEntry>& entries, bool table);

class CQuenby : public CH264NALWalker
{
  public:
    CQuenby(bool noHeader, bool table, bool hexData, bool transportStream);

    int OnStart() override;
    int OnNALUnit() override;

    bool m_noHeader;
    bool m_table;
    bool m_hexData;

  private:
    H264BitReader m_unitReader;
    MdpmTagList m_tags;
    InfoRow m_row;
};

// The program: arguments, one walk, the error line; returns the exit status.
int QuenbyMain(int argc, char** argv);
