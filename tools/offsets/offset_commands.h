// The commands of the plane-offset editor: GOP scan, extract, delete, replace and insert of
// the OFMD metadata that the dependent view's SEI units carry.
#pragma once

#include "h264/stream/nal_walker.h"
#include "tools/offsets/ofmd_payload.h"
#include "tools/offsets/ofmd_text.h"

#include <cstdint>
#include <string>
#include <vector>

// A walk that ended at an SEI unit that could not be parsed: the bitstream error is printed,
// nothing more, and the program's exit status is -1.
constexpr int kSeiParseFailed = -1001;

// "Tallis - version ..." and a blank line.
void PrintTallisBanner(FILE* stream);

// The GOPs of the base view: a GOP starts at an access unit with an I or SI slice; only access
// unit delimiters (type 9) count frames.
class CGOPMap : public CH264NALWalker
{
  public:
    struct GopEntry {
        uint32_t firstFrame;
        uint32_t frameCount;
    };

    int OnStart() override;
    int OnNALUnit() override;
    int OnEnd() override;

    std::vector<GopEntry> m_gops;
    uint32_t m_gopStart = 0xFFFFFFFF;
    uint32_t m_frame    = 0xFFFFFFFF;
};

class COffsetMetadata : public CH264NALWalker
{
  public:
    COffsetMetadata();

    // Walks the input's base view with the embedded GOP map.
    int ScanBaseView(const char* input);
    int ReadOfmdLine(uint32_t& frame, std::vector<int32_t>& values, bool freeMode);
    void ReadGopOffsets(uint32_t first, uint32_t count, uint32_t& sequences, uint32_t& frames,
                        std::vector<int32_t>& offsets);
    // Writes one new SEI unit with the offsets of the GOP; 0, 106 when the write fails, or
    // 1001 when the .ofmd input cannot be read.
    int InsertOffsetSei(uint32_t first, uint32_t count);

    CGOPMap m_gopMap;
    COfmdReader m_ofmd;
    bool m_audKind         = false;
    bool m_type24Kind      = false;
    uint32_t m_frame       = 0xFFFFFFFF;
    uint32_t m_gopIndex    = 0;
    bool m_gopStart        = false;
    bool m_pictureSeen     = false;
    bool m_bufferingPeriod = false;
    bool m_inserted        = false;
    // The name in "WARNING: " lines.
    std::string m_programName;

  protected:
    // Steps shared by the commands. Parse parses the current unit into the parse context and
    // returns 0, or kSeiParseFailed for an SEI unit that cannot be parsed (after printing why).
    int Parse();
    // Counts a frame at a delimiter of the counting kind; true when one was counted.
    bool CountFrame();
    // Resets the counting state for a new walk.
    void ResetCounting();
    // The OFMD payload a message carries; false when it carries none.
    static bool CarriesOfmd(const CH264SeiMessage& message, OfmdPayload* ofmd);
    // Removes the OFMD-carrying messages of the current SEI unit, logging each; their count.
    int DeleteOfmdMessages();
    // Starts a replace or insert walk: the first .ofmd line fixes the number of sequences.
    // 0, or 1001 when the .ofmd input cannot be read.
    int StartOfmdInput();
    // 1001 once reading the .ofmd input has failed, else 0.
    int OfmdReadResult() const;
    // The current unit as it came, or rebuilt from the parse context (with the bytes that
    // followed its rbsp_trailing_bits copied unchanged). 0, or 106.
    int WriteUnit();
    int WriteRebuiltUnit();
    void Log(const char* what);
    void Warn(const char* format, ...);
    void TakeClampWarning();

    H264BitReader m_reader;
};

class COFMDExtract : public COffsetMetadata
{
  public:
    int OnStart() override;
    int OnNALUnit() override;
};

class COFMDDelete : public COffsetMetadata
{
  public:
    int OnStart() override;
    int OnNALUnit() override;
};

class COFMDReplace : public COffsetMetadata
{
  public:
    int OnStart() override;
    int OnNALUnit() override;
};

class COFMDInsert : public COffsetMetadata
{
  public:
    int OnStart() override;
    int OnNALUnit() override;
};
