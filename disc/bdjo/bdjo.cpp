#include "disc/bdjo/bdjo.h"

#include "disc/framework/serial_io.h"

#include <cstdio>
#include <cstring>

// ---- CTerminalInfo --------------------------------------------------------------------------

template <class IO> void CTerminalInfo::Fields(IO& io)
{
    io.Chars(default_font_file_name, sizeof default_font_file_name, "default_font_file_name",
             ser::kEndIfMissing);
    // Numbers stay as JSON gives them; the file keeps their low bits, flags included.
    io.U(4, FLD(initial_HAVi_configuration_id));
    io.U(1, FLD(menu_call_mask));
    io.U(1, FLD(Title_search_mask));
    io.U(1, FLD(mouse_supported));
    io.U(1, FLD(mouse_interest));
    io.U(2, FLD(initial_output_mode));
    io.U(4, FLD(initial_frame_rate));
    io.Opt(26, FLD(reserved01));
}

template class ser::Described<CTerminalInfo, ser::Length<32>>;

// ---- CAppCacheEntry -------------------------------------------------------------------------

// JSON holds each text up to its first zero byte.
template <class IO> void CAppCacheEntry::Fields(IO& io)
{
    io.U(8, FLD(entry_type));
    io.Chars(ref_to_name, sizeof ref_to_name, "ref_to_name", ser::kCutAtZero | ser::kEndIfMissing);
    io.Chars(language_code, sizeof language_code, "language_code",
             ser::kCutAtZero | ser::kEndIfMissing);
    io.Chars(reserved, sizeof reserved, "reserved", ser::kCutAtZero | ser::kOptionalText);
}

template class ser::Described<CAppCacheEntry>;

// ---- CAppCacheInfo --------------------------------------------------------------------------

// In JSON only the list stands, as the owner's member "AppCacheInfo".
template <class IO> void CAppCacheInfo::Fields(IO& io)
{
    io.Count(8, number_of_entries, m_entries, "AppCacheInfo entries");
    io.Hidden(8, FLD(reserved));
    io.Items(number_of_entries, m_entries, "AppCacheInfo",
             ser::ListTexts{nullptr, nullptr, "Failed to read AppCacheInfo!\n"});
}

template class ser::Described<CAppCacheInfo, ser::Length<32>>;

// ---- CTableOfAccessiblePlayLists ------------------------------------------------------------

// Each name is five bytes and a zero byte on the disc, text of at most five characters in memory
// and JSON.
template <class IO> void CTableOfAccessiblePlayLists::Fields(IO& io)
{
    io.Count(11, number_of_PlayLists, AccessiblePlayLists, "AccessiblePlayLists entries");
    io.Flag(FLD(access_to_all_flag));
    io.Flag(FLD(autostart_first_PlayList_flag));
    io.Opt(19, FLD(reserved));
    io.Each(number_of_PlayLists, AccessiblePlayLists, [&](std::string& name) {
        io.Text(name, 5, "AccessiblePlayLists");
        io.Zero(8);
    });
    io.Strings(AccessiblePlayLists, "AccessiblePlayLists", 5, ser::kOmitEmpty);
}

template class ser::Described<CTableOfAccessiblePlayLists, ser::Length<32>>;

// ---- CKeyInterestTable ----------------------------------------------------------------------

template <class IO> void CKeyInterestTable::Fields(IO& io)
{
    io.Flag(FLD(VK_PLAY));
    io.Flag(FLD(VK_STOP));
    io.Flag(FLD(VK_FAST_FWD));
    io.Flag(FLD(VK_REWIND));
    io.Flag(FLD(VK_TRACK_NEXT));
    io.Flag(FLD(VK_TRACK_PREV));
    io.Flag(FLD(VK_PAUSE));
    io.Flag(FLD(VK_STILL_OFF));
    io.Flag(FLD(VK_SECONDARY_AUDIO_ENABLE_DISABLE));
    io.Flag(FLD(VK_SECONDARY_VIDEO_ENABLE_DISABLE));
    io.Flag(FLD(VK_PG_TEXTST_ENABLE_DISABLE));
    io.Opt(21, FLD(reserved));
}

template class ser::Described<CKeyInterestTable>;

// ---- CFileAccessInfo ------------------------------------------------------------------------

template <class IO> void CFileAccessInfo::Fields(IO& io)
{
    io.ByteString(directory_path, "directory_path", 16, true, "bytes in directory_path");
}

template class ser::Described<CFileAccessInfo>;

// ---- CBDJO ----------------------------------------------------------------------------------

CBDJO::CBDJO() {}

std::vector<CBDJO::Section> CBDJO::Sections()
{
    return {{TerminalInfo_start_address, TerminalInfo},
            {AppCacheInfo_start_address, AppCacheInfo},
            {TableOfAccessiblePlayLists_start_address, TableOfAccessiblePlayLists},
            {ApplicationManagementTable_start_address, ApplicationManagementTable},
            {KeyInterestTable_start_address, KeyInterestTable},
            {FileAccessInfo_start_address, FileAccessInfo}};
}

void CBDJO::Clear()
{
    memset(version_number, 0, sizeof version_number);
    memset(reserved_header, 0, sizeof reserved_header);
    for (Section& s : Sections()) {
        s.address = 0;
        s.block.Clear();
    }
}

int CBDJO::Parse(CBitBuffer& bb)
{
    Clear();
    const uint64_t fileStart = bb.m_cursor - 32; // the type code
    int r                    = ParseVersion(bb, version_number);
    if (r)
        return r;
    std::vector<Section> sections = Sections();
    for (Section& s : sections)
        s.address = bb.ReadBits(32);
    bb.ReadBytes(reserved_header, sizeof reserved_header);
    // A block whose address is 0 is absent and stays cleared. TerminalInfo is read where the
    // header ends, whatever its address says.
    for (size_t i = 0; i < sections.size(); ++i) {
        if (!sections[i].address)
            continue;
        if (i > 0)
            bb.m_cursor = fileStart + 8ull * sections[i].address;
        if ((r = sections[i].block.Parse(bb)) != 0)
            return r;
    }
    return 0;
}

int CBDJO::Build(CBitBuffer& bb)
{
    const uint64_t fileStart = bb.m_cursor - 32; // the type code CBDMV has written
    m_startPos               = fileStart;
    BuildVersion(bb, version_number);
    const uint64_t addresses      = bb.m_cursor;
    std::vector<Section> sections = Sections();
    for (Section& s : sections)
        bb.WriteBits(32, s.address); // placeholders
    bb.WriteBytes(reserved_header, sizeof reserved_header);
    // Every block is written, empty ones too; TerminalInfo directly after the header.
    for (Section& s : sections) {
        int r = SectionAddress(bb, fileStart, s.address, "BD-J object file");
        if (r || (r = s.block.Build(bb)) != 0)
            return r;
        PadToModulus(bb);
    }
    bb.m_cursor = addresses;
    for (Section& s : sections)
        bb.WriteBits(32, s.address);
    return 0;
}

int CBDJO::ReadJSON(JDoc& doc, JValue& bdjo)
{
    Clear();
    int r = ReadJsonVersion(bdjo, version_number);
    if (r)
        return r;
    ReadJsonArea(bdjo, "reserved_header", reserved_header, sizeof reserved_header);
    for (Section& s : Sections())
        if ((r = s.block.ReadJSON(doc, bdjo)) != 0)
            return r;
    return 0;
}

int CBDJO::WriteJSON(JDoc& doc, JValue& bdjo)
{
    WriteJsonVersion(doc, bdjo, version_number);
    WriteJsonArea(doc, bdjo, "reserved_header", reserved_header, sizeof reserved_header);
    for (Section& s : Sections()) {
        int r = s.block.WriteJSON(doc, bdjo);
        if (r)
            return r;
    }
    return 0;
}
