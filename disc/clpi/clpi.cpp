#include "disc/clpi/clpi.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CTS_type_info_block --------------------------------------------------------------------

// Each text ends the reading of JSON once anything before it was missing.
template <class IO> void CTS_type_info_block::Fields(IO& io)
{
    io.U(8, FLD(Validity_flags));
    io.Chars(Format_identifier, 4, "Format_identifier", ser::kEndIfMissing);
    io.Chars(Network_information, 9, "Network_information", ser::kEndIfMissing | ser::kCutAtZero);
    io.Chars(Stream_format_name, 16, "Stream_format_name", ser::kEndIfMissing | ser::kCutAtZero);
}

template class ser::Described<CTS_type_info_block, ser::Length<16>>;

// ---- CATC_delta, Cfont_file -----------------------------------------------------------------

template <class IO> void CATC_delta::Fields(IO& io)
{
    io.U(32, FLD(ATC_delta));
    io.Chars(following_Clip_Information_file_name, 5, "following_Clip_Information_file_name",
             ser::kEndIfMissing);
    io.Chars(Clip_codec_identifier, 4, "Clip_codec_identifier", ser::kEndIfMissing);
    io.Opt(8, FLD(reserved01));
}

template class ser::Described<CATC_delta>;

template <class IO> void Cfont_file::Fields(IO& io)
{
    io.Chars(font_file_name, 5, "font_file_name", ser::kEndIfMissing);
    io.Opt(8, FLD(reserved01));
}

template class ser::Described<Cfont_file>;

// ---- CClipInfo ------------------------------------------------------------------------------

template <class IO> void CClipInfo::Fields(IO& io)
{
    io.Opt(16, FLD(reserved01));
    io.U(8, FLD(Clip_stream_type));
    io.U(8, FLD(application_type));
    io.U(31, FLD(reserved02), ser::kOptional);
    io.Flag(FLD(is_ATC_delta));
    io.U(32, FLD(TS_recording_rate));
    io.U(32, FLD(number_of_source_packets));
    io.Area(reserved_block, sizeof reserved_block, "reserved_block");
    // A TS_type_info_block that cannot be read fails ClipInfo once its lists are read.
    io.Child(TS_type_info_block, ser::kKeepGoing);
    if (is_ATC_delta) {
        io.Opt(8, FLD(reserved04));
        io.Count(8, number_of_ATC_delta_entries, ATC_delta, "ATC_delta entries");
        io.Items(number_of_ATC_delta_entries, ATC_delta, "ATC_delta",
                 ser::ListTexts{nullptr, nullptr, "Failed to read ATC_delta!\n"});
    }
    if (application_type == 6) {
        io.Opt(8, FLD(reserved05));
        io.Count(8, number_of_fonts, font_file, "font_file entries");
        io.Items(number_of_fonts, font_file, "font_file",
                 ser::ListTexts{nullptr, nullptr, "Failed to read font_file!\n"});
    }
}

template class ser::Described<CClipInfo, ser::Length<32>>;

// ---- CClipMark ------------------------------------------------------------------------------

// The marks are not kept; JSON has no form of them, and whatever object stands under the name
// is accepted and ignored.
template <class IO> void CClipMark::Fields(IO& io) { io.Ignored("ClipMark"); }

template class ser::Described<CClipMark, ser::Length<32>>;

// ---- CCLPI ----------------------------------------------------------------------------------

CCLPI::CCLPI() { ExtensionData.m_jsonName = "ExtensionData"; }

void CCLPI::Clear()
{
    memset(version_number, 0, sizeof version_number);
    SequenceInfo_start_address = ProgramInfo_start_address = CPI_start_address = 0;
    ClipMark_start_address = ExtensionData_start_address = 0;
    memset(reserved_header, 0, sizeof reserved_header);
    ClipInfo.Clear();
    SequenceInfo.Clear();
    ProgramInfo.Clear();
    CPI.Clear();
    ClipMark.Clear();
    ExtensionData.Clear();
}

int CCLPI::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t fileStart = bb.m_cursor - 32; // the type code
    int r                    = ParseVersion(bb, version_number);
    if (r)
        return r;
    SequenceInfo_start_address  = bb.ReadBits(32);
    ProgramInfo_start_address   = bb.ReadBits(32);
    CPI_start_address           = bb.ReadBits(32);
    ClipMark_start_address      = bb.ReadBits(32);
    ExtensionData_start_address = bb.ReadBits(32);
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    if ((r = ClipInfo.Parse(bb)) != 0)
        return r;
    // A block whose address is 0 is absent and stays cleared.
    struct {
        uint32_t address;
        CIBDSerial* block;
    } blocks[] = {{SequenceInfo_start_address, &SequenceInfo},
                  {ProgramInfo_start_address, &ProgramInfo},
                  {CPI_start_address, &CPI},
                  {ClipMark_start_address, &ClipMark}};
    for (auto& b : blocks) {
        if (!b.address)
            continue;
        bb.m_cursor = fileStart + 8ull * b.address;
        if ((r = b.block->Parse(bb)) != 0)
            return r;
    }
    return ExtensionData.ParseAt(bb, fileStart, ExtensionData_start_address, nullptr);
}

int CCLPI::Build(CBitBuffer& bb)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code CBDMV has written
    m_startPos               = fileStart;
    BuildVersion(bb, version_number);
    const uint64_t addresses = bb.m_cursor;
    bb.WriteZeroBits(5 * 32); // the five start addresses, written at the end
    bb.WriteBytes(reserved_header, sizeof reserved_header);
    int r = ClipInfo.Build(bb);
    if (r)
        return r;
    // The four blocks before ExtensionData are always written, also when they were absent.
    struct {
        uint32_t& address;
        CIBDSerial* block;
    } blocks[] = {{SequenceInfo_start_address, &SequenceInfo},
                  {ProgramInfo_start_address, &ProgramInfo},
                  {CPI_start_address, &CPI},
                  {ClipMark_start_address, &ClipMark}};
    for (auto& b : blocks) {
        PadToModulus(bb);
        if ((r = SectionAddress(bb, fileStart, b.address, "Clip information")) != 0 ||
            (r = b.block->Build(bb)) != 0)
            return r;
    }
    PadToModulus(bb);
    if ((r = ExtensionData.BuildSection(*this, bb, fileStart, ExtensionData_start_address,
                                        "Clip information")) != 0)
        return r;
    const uint64_t end = bb.m_cursor;
    bb.m_cursor        = addresses;
    bb.WriteBits(32, SequenceInfo_start_address);
    bb.WriteBits(32, ProgramInfo_start_address);
    bb.WriteBits(32, CPI_start_address);
    bb.WriteBits(32, ClipMark_start_address);
    bb.WriteBits(32, ExtensionData_start_address);
    bb.m_cursor = end;
    return 0;
}

int CCLPI::ReadJSON(JDoc& doc, JValue& hdmv)
{
    Clear();
    int r = ReadJsonVersion(hdmv, version_number);
    if (r)
        return r;
    ReadJsonArea(hdmv, "reserved_header", reserved_header, sizeof reserved_header);
    CIBDSerial* members[] = {&ClipInfo, &SequenceInfo, &ProgramInfo,
                             &CPI,      &ClipMark,     &ExtensionData};
    for (CIBDSerial* member : members)
        if ((r = member->ReadJSON(doc, hdmv)) != 0)
            return r;
    return 0;
}

int CCLPI::WriteJSON(JDoc& doc, JValue& hdmv)
{
    WriteJsonVersion(doc, hdmv, version_number);
    WriteJsonArea(doc, hdmv, "reserved_header", reserved_header, sizeof reserved_header);
    // ClipMark adds nothing.
    CIBDSerial* members[] = {&ClipInfo, &SequenceInfo, &ProgramInfo,
                             &CPI,      &ClipMark,     &ExtensionData};
    for (CIBDSerial* member : members) {
        int r = member->WriteJSON(doc, hdmv);
        if (r)
            return r;
    }
    return 0;
}
