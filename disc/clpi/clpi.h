// Clip information files ("HDMV"): the root, ClipInfo with its TS_type_info_block, ATC_delta
// and font file entries, and the ClipMark block.
#pragma once

#include "disc/clpi/cpi.h"
#include "disc/clpi/program_info.h"
#include "disc/clpi/sequence_info.h"
#include "disc/extension_kinds.h"
#include "disc/framework/root.h"
#include "disc/framework/serial.h"

#include <cstdint>
#include <vector>

class CTS_type_info_block : public ser::Described<CTS_type_info_block, ser::Length<16>>
{
  public:
    static constexpr const char* kJsonName = "TS_type_info_block";

    uint32_t Validity_flags     = 0;
    char Format_identifier[4]   = {};
    char Network_information[9] = {};
    char Stream_format_name[16] = {};

    template <class IO> void Fields(IO& io);
};

class CATC_delta : public ser::Described<CATC_delta>
{
  public:
    uint32_t ATC_delta                           = 0;
    char following_Clip_Information_file_name[5] = {};
    char Clip_codec_identifier[4]                = {};
    uint32_t reserved01                          = 0;

    template <class IO> void Fields(IO& io);
};

class Cfont_file : public ser::Described<Cfont_file>
{
  public:
    char font_file_name[5] = {};
    uint32_t reserved01    = 0;

    template <class IO> void Fields(IO& io);
};

class CClipInfo : public ser::Described<CClipInfo, ser::Length<32>>
{
  public:
    static constexpr const char* kJsonName = "ClipInfo";

    uint32_t reserved01               = 0;
    uint32_t Clip_stream_type         = 0;
    uint32_t application_type         = 0;
    uint32_t reserved02               = 0;
    uint32_t is_ATC_delta             = 0;
    uint32_t TS_recording_rate        = 0;
    uint32_t number_of_source_packets = 0;
    uint8_t reserved_block[128]       = {};
    CTS_type_info_block TS_type_info_block;
    uint32_t reserved04                  = 0;
    uint32_t number_of_ATC_delta_entries = 0;
    std::vector<CATC_delta> ATC_delta;
    uint32_t reserved05      = 0;
    uint32_t number_of_fonts = 0;
    std::vector<Cfont_file> font_file;

    template <class IO> void Fields(IO& io);
};

// Carried as an empty block: its contents are skipped and it is rebuilt with length 0.
class CClipMark : public ser::Described<CClipMark, ser::Length<32>>
{
  public:
    static constexpr const char* kBlockName = "ClipMark";

    template <class IO> void Fields(IO& io);
};

class CCLPI : public ser::Root<CCLPI>
{
  public:
    char version_number[4]               = {};
    uint32_t SequenceInfo_start_address  = 0;
    uint32_t ProgramInfo_start_address   = 0;
    uint32_t CPI_start_address           = 0;
    uint32_t ClipMark_start_address      = 0;
    uint32_t ExtensionData_start_address = 0;
    uint8_t reserved_header[12]          = {};
    CClipInfo ClipInfo;
    CSequenceInfo SequenceInfo;
    CProgramInfo ProgramInfo;
    CCPI CPI;
    CClipMark ClipMark;
    CExtensionData ExtensionData{kExtensionBlocks};

    ser::Layout Layout();
};

// The descriptions are instantiated in clpi.cpp.
extern template class ser::Described<CTS_type_info_block, ser::Length<16>>;
extern template class ser::Described<CATC_delta>;
extern template class ser::Described<Cfont_file>;
extern template class ser::Described<CClipInfo, ser::Length<32>>;
extern template class ser::Described<CClipMark, ser::Length<32>>;
