#include "disc/extension_kinds.h"

#include "disc/clpi/cpi.h"
#include "disc/clpi/extension_blocks.h"
#include "disc/clpi/program_info.h"
#include "disc/mpls/active_video_window.h"
#include "disc/mpls/pip_metadata.h"
#include "disc/mpls/stn_table_ss.h"
#include "disc/mpls/subpath_extension.h"

// STN_table_SS has no counts of its own: it is parsed beside the playlist it extends.
static int ParseBesidePlaylist(CIBDSerial& block, CBitBuffer& bb, CPlayList* playlist)
{
    return static_cast<CSTNTableSS&>(block).ParseWithContext(bb, playlist);
}

const ExtBlockKind kExtensionBlocks[] = {
    {1, 1, "pip_metadata", nullptr, MakeExtBlock<CPIPMetaData>, nullptr},
    // An LPCM down-mix block without coefficients still has its stuffing byte.
    {1, 2, "HDMV_LPCM_down_mix_coefficient", "HDMV_LPCM_down_mix_coefficient_stuffing_byte",
     MakeExtBlock<CLPCMDownMix>, nullptr},
    {2, 1, "STN_Table_SS", nullptr, MakeExtBlock<CSTNTableSS>, ParseBesidePlaylist},
    {2, 2, "SubPath_extension", nullptr, MakeExtBlock<CSubPath_entries_extension>, nullptr},
    {2, 3, "active_video_window", nullptr, MakeExtBlock<CActiveVideoWindow>, nullptr},
    {2, 4, "Extent_Start_Point", nullptr, MakeExtBlock<CExtent_Start_Point>, nullptr},
    {2, 5, "ProgramInfo_SS", nullptr, MakeExtBlock<CProgramInfo_SS>, nullptr},
    {2, 6, "CPI_SS", nullptr, MakeExtBlock<CCPI_SS>, nullptr},
    {0, 0, nullptr, nullptr, nullptr, nullptr},
};
