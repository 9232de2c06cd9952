#include "disc/mpls/stn_table_ss.h"

#include "disc/framework/serial_io.h"
#include "disc/mpls/playlist.h"

// ---- CPGStreamSS, CIGStreamSS ---------------------------------------------------------------

// Each group of stream entries stands under its flag, followed by a dropped byte and an
// offset-sequence reference. In JSON the first entry present stands flat in the element's
// object, as a single entry always did; every further one has an object of its own under its
// role, so that no key repeats.
template <class IO> void CPGStreamSS::Fields(IO& io)
{
    io.U(8, FLD(PG_textST_offset_sequence_id_ref));
    io.Opt(4, FLD(reserved01));
    io.Bit(FLD(dialog_region_offset_valid_flag));
    io.Bit(FLD(is_SS_PG));
    io.Bit(FLD(is_top_AS_PG_textST));
    io.Bit(FLD(is_bottom_AS_PG_textST));
    io.EndIfMissing("Failed to read PG_textST_stream_entry!\n");
    bool flatUsed = false;
    if (is_SS_PG) {
        io.FlatOrNested(SS_PG_L, "PG_textST_stream_entry_SS_PG_L", flatUsed,
                        ser::ChildTexts{"Failed to read PG_textST_stream_entry_SS_PG_L!\n",
                                        "Failed to save PG_textST_stream_entry_SS_PG_L!\n",
                                        "Failed to read PG_textST_stream_entry_SS_PG_L!\n"});
        io.FlatOrNested(SS_PG_R, "PG_textST_stream_entry_SS_PG_R", flatUsed,
                        ser::ChildTexts{"Failed to read PG_textST_stream_entry_SS_PG_R!\n",
                                        "Failed to save PG_textST_stream_entry_SS_PG_R!\n",
                                        "Failed to read PG_textST_stream_entry_SS_PG_R!\n"});
        io.Zero(8);
        io.U(8, FLD(SS_PG_offset_sequence_id_ref));
    }
    if (is_top_AS_PG_textST) {
        io.FlatOrNested(top_AS_PG, "PG_textST_stream_entry_top_AS_PG", flatUsed,
                        ser::ChildTexts{"Failed to read PG_textST_stream_entry_top_AS_PG!\n",
                                        "Failed to save PG_textST_stream_entry_top_AS_PG!\n",
                                        "Failed to read PG_textST_stream_entry_top_AS_PG!\n"});
        io.Zero(8);
        io.U(8, FLD(top_AS_PG_textST_offset_sequence_id_ref));
    }
    if (is_bottom_AS_PG_textST) {
        io.FlatOrNested(bottom_AS_PG, "PG_textST_stream_entry_bottom_AS_PG", flatUsed,
                        ser::ChildTexts{"Failed to read PG_textST_stream_entry_bottom_AS_PG!\n",
                                        "Failed to save PG_textST_stream_entry_bottom_AS_PG!\n",
                                        "Failed to read PG_textST_stream_entry_bottom_AS_PG!\n"});
        io.Zero(8);
        io.U(8, FLD(bottom_AS_PG_textST_offset_sequence_id_ref));
    }
}

template class ser::Described<CPGStreamSS>;

template <class IO> void CIGStreamSS::Fields(IO& io)
{
    io.U(8, FLD(IG_offset_sequence_id_ref));
    io.Bit(FLD(IG_Plane_offset_direction_during_BB_video_flag));
    io.U(7, FLD(IG_Plane_offset_value_during_BB_video));
    io.Opt(8, FLD(reserved01));
    io.Opt(7, FLD(reserved02));
    io.Bit(FLD(is_SS_IG));
    bool flatUsed = false;
    if (is_SS_IG) {
        io.FlatOrNested(SS_IG_L, "IG_stream_entry_SS_PG_L", flatUsed,
                        ser::ChildTexts{"Failed to read IG_stream_entry_SS_PG_L!\n",
                                        "Failed to save IG_stream_entry_SS_PG_L!\n",
                                        "Failed to load IG_stream_entry_SS_PG_L!\n"});
        io.FlatOrNested(SS_IG_R, "IG_stream_entry_SS_PG_R", flatUsed,
                        ser::ChildTexts{"Failed to read IG_stream_entry_SS_PG_R!\n",
                                        "Failed to save IG_stream_entry_SS_PG_R!\n",
                                        "Failed to load IG_stream_entry_SS_PG_R!\n"});
        io.Zero(8);
        io.U(8, FLD(SS_IG_offset_sequence_id_ref));
    }
}

template class ser::Described<CIGStreamSS>;

// ---- CSTNTableSSPlayItem -------------------------------------------------------------------

// The file holds the flag before the reserved bits, JSON after them; JSON reports a missing
// flag without failing for it.
template <class IO> void CSTNTableSSPlayItem::Fields(IO& io, const CSTNTable* stn)
{
    if constexpr (IO::kJson)
        io.Opt(15, FLD(reserved01));
    io.Bit(FLD(Fixed_offset_during_PopUp_flag), ser::kReported);
    if constexpr (IO::kFile)
        io.U(15, FLD(reserved01));
    io.Items(stn ? stn->number_of_primary_video_stream_entries : 0, m_mvcStreams,
             "MVC_Dependent_view_video_stream",
             ser::ListTexts{"Error parsing MVC_Dependent_view_video_stream[%u]\n",
                            "Error saving MVC_Dependent_view_video_stream[%u]\n",
                            "Failed to read MVC_Dependent_view_video_stream!\n",
                            "Failed to read MVC_Dependent_view_video_stream!\n"},
             ser::kTextOnBudget);
    io.Items(stn ? stn->number_of_PG_textST_stream_entries : 0, m_pgStreams, "PG_stream",
             ser::ListTexts{"Error parsing PG_stream[%u]\n", "Error saving PG_stream[%u]\n",
                            "Failed to load PG_stream!\n", "Failed to read PG_stream!\n"},
             ser::kTextOnBudget);
    io.Items(stn ? stn->number_of_IG_stream_entries : 0, m_igStreams, "IG_stream",
             ser::ListTexts{"Error parsing IG_stream[%u]\n", "Error saving IG_stream[%u]\n",
                            "Failed to read IG_stream!\n", "Failed to read IG_stream!\n"},
             ser::kTextOnBudget);
}

template class ser::Described<CSTNTableSSPlayItem, ser::Length<16, 4>>;

int CSTNTableSSPlayItem::ParseWithContext(CBitBuffer& bb, const CPlayItem& item)
{
    return ser::ParseOf(*this, bb, &item.STN_table);
}

// ---- CSTNTableSS ---------------------------------------------------------------------------

// One block per PlayItem held in memory, whatever count the file claims; without the playlist
// there is none.
template <class IO> void CSTNTableSS::Fields(IO& io, const CPlayList* playlist)
{
    const std::vector<CPlayItem>* items = playlist ? &playlist->m_playItems : nullptr;
    io.Items(items ? uint32_t(items->size()) : 0, m_playItems, "STN_table_SS_for_PlayItem",
             ser::ListTexts{"Error parsing STN_table_SS_for_PlayItem[%u]\n",
                            "Error saving STN_table_SS_for_PlayItem[%u]!\n",
                            "Failed to read STN_table_SS_for_PlayItem!\n",
                            "Failed to read STN_table_SS_for_PlayItem!\n"},
             ser::kTextOnBudget, ser::ByIndex([&](uint32_t i) -> const CSTNTable* {
                 return items && i < items->size() ? &(*items)[i].STN_table : nullptr;
             }));
}

template class ser::Described<CSTNTableSS>;

int CSTNTableSS::ParseWithContext(CBitBuffer& bb, CPlayList* context)
{
    return ser::ParseOf(*this, bb, context);
}
