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

// Every block is written, empty ones too. TerminalInfo is written directly after the header and
// read there whatever its address says.
ser::Layout CBDJO::Layout()
{
    return {version_number,
            {&TerminalInfo_start_address, &AppCacheInfo_start_address,
             &TableOfAccessiblePlayLists_start_address, &ApplicationManagementTable_start_address,
             &KeyInterestTable_start_address, &FileAccessInfo_start_address},
            reserved_header,
            sizeof reserved_header,
            {ser::InPlaceAt(TerminalInfo, TerminalInfo_start_address),
             ser::At(AppCacheInfo, AppCacheInfo_start_address),
             ser::At(TableOfAccessiblePlayLists, TableOfAccessiblePlayLists_start_address),
             ser::At(ApplicationManagementTable, ApplicationManagementTable_start_address),
             ser::At(KeyInterestTable, KeyInterestTable_start_address),
             ser::At(FileAccessInfo, FileAccessInfo_start_address)},
            "BD-J object file"};
}
