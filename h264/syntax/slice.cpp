// Slice headers and their sub-structures, read from one description, and their text form.
#include "h264/syntax/slice.h"

#include "h264/syntax/nal_header.h"
#include "h264/syntax/nal_parser.h"
#include "h264/syntax/syntax_io.h"
#include "h264/text/print_lines.h"

const char* SliceTypeName(uint32_t sliceType)
{
    static const char* const kNames[10] = {"P", "B", "I", "SP", "SI", "P", "B", "I", "SP", "SI"};
    return sliceType < 10 ? kNames[sliceType] : "invalid";
}

namespace
{

// One list of ref_pic_list_modification() or its MVC form; the loop ends after idc 3, or when
// the unit does.
void ModificationList(H264Read& rw, bool mvc, uint32_t& flag,
                      std::vector<RefPicListModificationEntry>& list)
{
    rw.flag(flag);
    if (!flag)
        return;
    for (;;) {
        RefPicListModificationEntry e;
        rw.ue(e.modification_of_pic_nums_idc);
        uint32_t idc = e.modification_of_pic_nums_idc;
        if (idc == 0 || idc == 1)
            rw.ue(e.abs_diff_pic_num_minus1);
        else if (idc == 2)
            rw.ue(e.long_term_pic_num);
        else if (mvc && (idc == 4 || idc == 5))
            rw.ue(e.abs_diff_view_idx_minus1);
        // The loop runs until its end code, which a hostile unit can put off for its length.
        rw.spend<RefPicListModificationEntry>(1);
        list.push_back(e);
        if (idc == 3)
            return;
    }
}

} // namespace

int CH264RefPicListModification::Clear(H264NalParser&)
{
    ref_pic_list_modification_flag_l0 = ref_pic_list_modification_flag_l1 = 0;
    modification_l0.clear();
    modification_l1.clear();
    return 0;
}

// 7.3.3.1 ref_pic_list_modification() and H.7.3.3.1.1 ref_pic_list_mvc_modification()
int CH264RefPicListModification::Syntax(H264Read& rw, const CH264SliceHeader& sh)
{
    if (!sh.IsI() && !sh.IsSI())
        ModificationList(rw, m_mvc, ref_pic_list_modification_flag_l0, modification_l0);
    if (sh.IsB())
        ModificationList(rw, m_mvc, ref_pic_list_modification_flag_l1, modification_l1);
    return 0;
}

int CH264RefPicListModification::Parse(H264NalParser& ctx, H264BitReader& reader,
                                       CH264SliceHeader& sh)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, sh);
}

namespace
{

// One list of the modification; the value lines sit one level deeper in the plain form than
// in the MVC form.
void PrintModificationList(FILE* stream, int level, bool mvc, const char* flagLine, uint32_t flag,
                           const std::vector<RefPicListModificationEntry>& list)
{
    PrintLine(stream, level, flagLine, flag);
    if (!flag)
        return;
    int valueLevel = mvc ? level + 1 : level + 2;
    for (const RefPicListModificationEntry& e : list) {
        uint32_t idc = e.modification_of_pic_nums_idc;
        PrintLine(stream, level + 1, "modification_of_pic_nums_idc: %u\n", idc);
        if (idc == 0 || idc == 1)
            PrintLine(stream, valueLevel, "abs_diff_pic_num_minus1: %u\n",
                      e.abs_diff_pic_num_minus1);
        else if (idc == 2)
            PrintLine(stream, valueLevel, "long_term_pic_num: %u\n", e.long_term_pic_num);
        else if (mvc && (idc == 4 || idc == 5))
            PrintLine(stream, valueLevel, "abs_diff_view_idx_minus1: %u\n",
                      e.abs_diff_view_idx_minus1);
    }
}

} // namespace

int CH264RefPicListModification::Print(H264NalParser&, FILE* stream, int level,
                                       const CH264SliceHeader& sh)
{
    if (!sh.IsI() && !sh.IsSI())
        PrintModificationList(stream, level, m_mvc, "ref_pic_list_modification_flag_l0: %u\n",
                              ref_pic_list_modification_flag_l0, modification_l0);
    if (sh.IsB())
        PrintModificationList(stream, level, m_mvc, "ref_pic_list_modification_flag_l1: %u\n",
                              ref_pic_list_modification_flag_l1, modification_l1);
    return 0;
}

int CH264PredWeightTable::Clear(H264NalParser&)
{
    luma_log2_weight_denom = chroma_log2_weight_denom = 0;
    weights_l0.clear();
    weights_l1.clear();
    return 0;
}

namespace
{

void WeightList(H264Read& rw, bool chroma, uint32_t activeMinus1,
                std::vector<PredWeightEntry>& list)
{
    // Each entry takes at least its flags.
    uint64_t count = uint64_t(activeMinus1) + 1;
    rw.size(list, count, count * (chroma ? 2 : 1));
    for (PredWeightEntry& e : list) {
        rw.flag(e.luma_weight_flag);
        if (e.luma_weight_flag) {
            rw.se(e.luma_weight);
            rw.se(e.luma_offset);
        }
        if (chroma) {
            rw.flag(e.chroma_weight_flag);
            if (e.chroma_weight_flag) {
                for (int j = 0; j < 2; ++j) {
                    rw.se(e.chroma_weight[j]);
                    rw.se(e.chroma_offset[j]);
                }
            }
        }
    }
}

} // namespace

// 7.3.3.2 pred_weight_table()
int CH264PredWeightTable::Syntax(H264Read& rw, H264NalParser& ctx, const CH264SliceHeader& sh)
{
    const CH264SeqParameterSetData& sps = ctx.CurrentSps();
    bool chroma = sps.separate_colour_plane_flag == 0 && sps.chroma_format_idc != 0;
    rw.ue(luma_log2_weight_denom);
    if (chroma)
        rw.ue(chroma_log2_weight_denom);
    WeightList(rw, chroma, sh.num_ref_idx_l0_active_minus1, weights_l0);
    if (sh.IsB())
        WeightList(rw, chroma, sh.num_ref_idx_l1_active_minus1, weights_l1);
    return 0;
}

int CH264PredWeightTable::Parse(H264NalParser& ctx, H264BitReader& reader, CH264SliceHeader& sh)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx, sh);
}

namespace
{

// The entries of list 0 or 1: flags at the given level, values one deeper.
void PrintWeightList(FILE* stream, int level, unsigned list, bool chroma,
                     const std::vector<PredWeightEntry>& entries)
{
    for (size_t i = 0; i < entries.size(); ++i) {
        const PredWeightEntry& e = entries[i];
        unsigned r               = unsigned(i);
        PrintLine(stream, level, "luma_weight_l%u_flag: %u\n", list, e.luma_weight_flag);
        if (e.luma_weight_flag) {
            PrintLine(stream, level + 1, "luma_weight_l%u[%u]: %d\n", list, r, e.luma_weight);
            PrintLine(stream, level + 1, "luma_offset_l%u[%u]: %d\n", list, r, e.luma_offset);
        }
        if (!chroma)
            continue;
        PrintLine(stream, level, "chroma_weight_l%u_flag: %u\n", list, e.chroma_weight_flag);
        if (!e.chroma_weight_flag)
            continue;
        for (unsigned j = 0; j < 2; ++j) {
            PrintLine(stream, level + 1, "chroma_weight_l%u[%u][%u]: %d\n", list, r, j,
                      e.chroma_weight[j]);
            PrintLine(stream, level + 1, "chroma_offset_l%u[%u][%u]: %d\n", list, r, j,
                      e.chroma_offset[j]);
        }
    }
}

} // namespace

// List 1 prints one level shallower than list 0.
int CH264PredWeightTable::Print(H264NalParser& ctx, FILE* stream, int level,
                                const CH264SliceHeader& sh)
{
    const CH264SeqParameterSetData& sps = ctx.CurrentSps();
    bool chroma = sps.separate_colour_plane_flag == 0 && sps.chroma_format_idc != 0;
    PrintLine(stream, level, "luma_log2_weight_denom: %u\n", luma_log2_weight_denom);
    if (chroma)
        PrintLine(stream, level, "chroma_log2_weight_denom: %u\n", chroma_log2_weight_denom);
    PrintWeightList(stream, level + 1, 0, chroma, weights_l0);
    if (sh.IsB())
        PrintWeightList(stream, level, 1, chroma, weights_l1);
    return 0;
}

int CH264DecRefPicMarking::Clear(H264NalParser&)
{
    no_output_of_prior_pics_flag = long_term_reference_flag = 0;
    adaptive_ref_pic_marking_mode_flag                      = 0;
    operations.clear();
    return 0;
}

// 7.3.3.3 dec_ref_pic_marking()
int CH264DecRefPicMarking::Syntax(H264Read& rw, H264NalParser& ctx)
{
    if (ctx.m_nalHeader.nal_unit_type == 5) {
        rw.flag(no_output_of_prior_pics_flag);
        rw.flag(long_term_reference_flag);
        return 0;
    }
    rw.flag(adaptive_ref_pic_marking_mode_flag);
    if (!adaptive_ref_pic_marking_mode_flag)
        return 0;
    for (;;) {
        MemoryManagementOperation op;
        rw.ue(op.memory_management_control_operation);
        uint32_t mmco = op.memory_management_control_operation;
        if (mmco == 1 || mmco == 3)
            rw.ue(op.difference_of_pic_nums_minus1);
        if (mmco == 2)
            rw.ue(op.long_term_pic_num);
        if (mmco == 3 || mmco == 6)
            rw.ue(op.long_term_frame_idx);
        if (mmco == 4)
            rw.ue(op.max_long_term_frame_idx_plus1);
        rw.spend<MemoryManagementOperation>(1);
        operations.push_back(op);
        if (mmco == 0)
            return 0;
    }
}

int CH264DecRefPicMarking::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx);
}

int CH264DecRefPicMarking::Write(H264NalParser&, H264BitWriter&) { return 1; }

int CH264DecRefPicMarking::Print(H264NalParser& ctx, FILE* stream, int level)
{
    if (ctx.m_nalHeader.nal_unit_type == 5) {
        PrintLine(stream, level, "no_output_of_prior_pics_flag: %u\n",
                  no_output_of_prior_pics_flag);
        PrintLine(stream, level, "long_term_reference_flag: %u\n", long_term_reference_flag);
        return 0;
    }
    PrintLine(stream, level, "adaptive_ref_pic_marking_mode_flag: %u\n",
              adaptive_ref_pic_marking_mode_flag);
    if (!adaptive_ref_pic_marking_mode_flag)
        return 0;
    for (const MemoryManagementOperation& op : operations) {
        uint32_t mmco = op.memory_management_control_operation;
        PrintLine(stream, level + 1, "memory_management_control_operation: %u\n", mmco);
        if (mmco == 1 || mmco == 3)
            PrintLine(stream, level + 2, "difference_of_pic_nums_minus1: %u\n",
                      op.difference_of_pic_nums_minus1);
        if (mmco == 2)
            PrintLine(stream, level + 2, "long_term_pic_num: %u\n", op.long_term_pic_num);
        if (mmco == 3 || mmco == 6)
            PrintLine(stream, level + 2, "long_term_frame_idx: %u\n", op.long_term_frame_idx);
        if (mmco == 4)
            PrintLine(stream, level + 2, "max_long_term_frame_idx_plus1: %u\n",
                      op.max_long_term_frame_idx_plus1);
    }
    return 0;
}

int CH264SliceHeader::Clear(H264NalParser& ctx)
{
    static_cast<H264SliceHeaderValues&>(*this) = H264SliceHeaderValues();
    ref_pic_list_modification.Clear(ctx);
    ref_pic_list_mvc_modification.Clear(ctx);
    pred_weight_table.Clear(ctx);
    dec_ref_pic_marking.Clear(ctx);
    return 0;
}

// 7.3.3 slice_header(), with the H.7.3.3 list modification of MVC slices
int CH264SliceHeader::Syntax(H264Read& rw, H264NalParser& ctx)
{
    rw.ue(first_mb_in_slice);
    rw.ue(slice_type);
    rw.ue(pic_parameter_set_id);
    ctx.SelectPps(pic_parameter_set_id);
    const CH264PicParameterSet& pps     = ctx.CurrentPps();
    const CH264SeqParameterSetData& sps = ctx.CurrentSps();
    uint32_t nalType                    = ctx.m_nalHeader.nal_unit_type;

    if (sps.separate_colour_plane_flag)
        rw.u(2, colour_plane_id);
    rw.u(uint64_t(sps.log2_max_frame_num_minus4) + 4, frame_num);
    if (!sps.frame_mbs_only_flag) {
        rw.flag(field_pic_flag);
        if (field_pic_flag)
            rw.flag(bottom_field_flag);
    }
    if (nalType == 5)
        rw.ue(idr_pic_id);
    bool bottomPoc = pps.bottom_field_pic_order_in_frame_present_flag && !field_pic_flag;
    if (sps.pic_order_cnt_type == 0) {
        rw.u(uint64_t(sps.log2_max_pic_order_cnt_lsb_minus4) + 4, pic_order_cnt_lsb);
        if (bottomPoc)
            rw.se(delta_pic_order_cnt_bottom);
    }
    if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
        rw.se(delta_pic_order_cnt[0]);
        if (bottomPoc)
            rw.se(delta_pic_order_cnt[1]);
    }
    // The fields of the new-picture test are in.
    if (ctx.m_countingOnly)
        return 0;
    if (pps.redundant_pic_cnt_present_flag)
        rw.ue(redundant_pic_cnt);
    if (IsB())
        rw.flag(direct_spatial_mv_pred_flag);
    if (IsP() || IsSP() || IsB())
        rw.flag(num_ref_idx_active_override_flag);
    if (num_ref_idx_active_override_flag) {
        rw.ue(num_ref_idx_l0_active_minus1);
        if (IsB())
            rw.ue(num_ref_idx_l1_active_minus1);
        else
            rw.infer(num_ref_idx_l1_active_minus1, pps.num_ref_idx_l1_default_active_minus1);
    } else {
        rw.infer(num_ref_idx_l0_active_minus1, pps.num_ref_idx_l0_default_active_minus1);
        rw.infer(num_ref_idx_l1_active_minus1, pps.num_ref_idx_l1_default_active_minus1);
    }
    if (nalType == 20 || nalType == 21)
        ref_pic_list_mvc_modification.Syntax(rw, *this);
    else
        ref_pic_list_modification.Syntax(rw, *this);
    if ((pps.weighted_pred_flag && (IsP() || IsSP())) || (pps.weighted_bipred_idc == 1 && IsB()))
        pred_weight_table.Syntax(rw, ctx, *this);
    if (ctx.m_nalHeader.nal_ref_idc != 0)
        dec_ref_pic_marking.Syntax(rw, ctx);
    if (pps.entropy_coding_mode_flag && !IsI() && !IsSI())
        rw.ue(cabac_init_idc);
    rw.se(slice_qp_delta);
    if (IsSP() || IsSI()) {
        if (IsSP())
            rw.flag(sp_for_switch_flag);
        rw.se(slice_qs_delta);
    }
    if (pps.deblocking_filter_control_present_flag) {
        rw.ue(disable_deblocking_filter_idc);
        if (disable_deblocking_filter_idc != 1) {
            rw.se(slice_alpha_c0_offset_div2);
            rw.se(slice_beta_offset_div2);
        }
    }
    if (pps.num_slice_groups_minus1 > 0 && pps.slice_group_map_type >= 3 &&
        pps.slice_group_map_type <= 5) {
        // Below 2^64: both factors are at most 2^32 - 1.
        uint64_t mapUnits = (uint64_t(sps.pic_width_in_mbs_minus1) + 1) *
                            (uint64_t(sps.pic_height_in_map_units_minus1) + 1);
        uint64_t q = mapUnits / (uint64_t(pps.slice_group_change_rate_minus1) + 1);
        rw.u(CeilLog2(q + 1), slice_group_change_cycle);
    }
    return 0;
}

int CH264SliceHeader::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx);
}

int CH264SliceHeader::Write(H264NalParser& ctx, H264BitWriter&)
{
    ctx.SelectPps(pic_parameter_set_id);
    return 1;
}

int CH264SliceHeader::Print(H264NalParser& ctx, FILE* stream, int level)
{
    ctx.SelectPps(pic_parameter_set_id);
    const CH264PicParameterSet& pps     = ctx.CurrentPps();
    const CH264SeqParameterSetData& sps = ctx.CurrentSps();
    uint32_t nalType                    = ctx.m_nalHeader.nal_unit_type;
    int n                               = level;

    PrintLine(stream, n, "first_mb_in_slice: %u\n", first_mb_in_slice);
    PrintLine(stream, n, "slice_type: %u (%s)\n", slice_type, SliceTypeName(slice_type));
    PrintLine(stream, n, "pic_parameter_set_id: %u\n", pic_parameter_set_id);
    if (sps.separate_colour_plane_flag)
        PrintLine(stream, n + 1, "colour_plane_id: %u\n", colour_plane_id);
    PrintLine(stream, n, "frame_num: %u (%u bits)\n", frame_num, sps.log2_max_frame_num_minus4 + 4);
    if (!sps.frame_mbs_only_flag) {
        PrintLine(stream, n, "field_pic_flag: %u\n", field_pic_flag);
        if (field_pic_flag)
            PrintLine(stream, n + 1, "bottom_field_flag: %u\n", bottom_field_flag);
    }
    if (nalType == 5)
        PrintLine(stream, n, "idr_pic_id: %u\n", idr_pic_id);
    bool bottomPoc = pps.bottom_field_pic_order_in_frame_present_flag && !field_pic_flag;
    if (sps.pic_order_cnt_type == 0) {
        PrintLine(stream, n, "pic_order_cnt_lsb: %u (%u bits)\n", pic_order_cnt_lsb,
                  sps.log2_max_pic_order_cnt_lsb_minus4 + 4);
        if (bottomPoc)
            PrintLine(stream, n + 1, "delta_pic_order_cnt_bottom: %d\n",
                      delta_pic_order_cnt_bottom);
    }
    if (sps.pic_order_cnt_type == 1 && !sps.delta_pic_order_always_zero_flag) {
        PrintLine(stream, n, "delta_pic_order_cnt[0]: %d\n", delta_pic_order_cnt[0]);
        if (bottomPoc)
            PrintLine(stream, n, "delta_pic_order_cnt[1]: %d\n", delta_pic_order_cnt[1]);
    }
    if (pps.redundant_pic_cnt_present_flag)
        PrintLine(stream, n, "redundant_pic_cnt: %u\n", redundant_pic_cnt);
    if (IsB())
        PrintLine(stream, n, "direct_spatial_mv_pred_flag: %u\n", direct_spatial_mv_pred_flag);
    if (IsP() || IsSP() || IsB()) {
        PrintLine(stream, n, "num_ref_idx_active_override_flag: %u\n",
                  num_ref_idx_active_override_flag);
        if (num_ref_idx_active_override_flag) {
            PrintLine(stream, n + 1, "num_ref_idx_l0_active_minus1: %u\n",
                      num_ref_idx_l0_active_minus1);
            if (IsB())
                PrintLine(stream, n + 1, "num_ref_idx_l1_active_minus1: %u\n",
                          num_ref_idx_l1_active_minus1);
        }
    }
    if (nalType == 20 || nalType == 21)
        ref_pic_list_mvc_modification.Print(ctx, stream, n, *this);
    else
        ref_pic_list_modification.Print(ctx, stream, n, *this);
    if ((pps.weighted_pred_flag && (IsP() || IsSP())) || (pps.weighted_bipred_idc == 1 && IsB()))
        pred_weight_table.Print(ctx, stream, n + 1, *this);
    if (ctx.m_nalHeader.nal_ref_idc != 0)
        dec_ref_pic_marking.Print(ctx, stream, n);
    if (pps.entropy_coding_mode_flag && !IsI() && !IsSI())
        PrintLine(stream, n, "cabac_init_idc: %u\n", cabac_init_idc);
    PrintLine(stream, n, "slice_qp_delta: %d\n", slice_qp_delta);
    if (IsSP())
        PrintLine(stream, n, "sp_for_switch_flag: %u\n", sp_for_switch_flag);
    if (IsSP() || IsSI())
        PrintLine(stream, n, "slice_qs_delta: %d\n", slice_qs_delta);
    if (pps.deblocking_filter_control_present_flag) {
        PrintLine(stream, n, "disable_deblocking_filter_idc: %u\n", disable_deblocking_filter_idc);
        if (disable_deblocking_filter_idc != 1) {
            PrintLine(stream, n + 1, "slice_alpha_c0_offset_div2: %d\n",
                      slice_alpha_c0_offset_div2);
            PrintLine(stream, n + 1, "slice_beta_offset_div2: %d\n", slice_beta_offset_div2);
        }
    }
    if (pps.num_slice_groups_minus1 > 0 && pps.slice_group_map_type >= 3 &&
        pps.slice_group_map_type <= 5) {
        uint64_t mapUnits = (uint64_t(sps.pic_width_in_mbs_minus1) + 1) *
                            (uint64_t(sps.pic_height_in_map_units_minus1) + 1);
        uint64_t q = mapUnits / (uint64_t(pps.slice_group_change_rate_minus1) + 1);
        PrintLine(stream, n, "slice_group_change_cycle: %u (%u bits)\n", slice_group_change_cycle,
                  CeilLog2(q + 1));
    }
    return 0;
}

// 7.3.2.9.2 and 7.3.2.9.3: slice_id and what follows it, before the slice data
template <class RW> int CH264SliceDataPartitionBC::Syntax(RW& rw, H264NalParser& ctx)
{
    rw.ue(slice_id);
    if (ctx.CurrentSps().separate_colour_plane_flag)
        rw.u(2, colour_plane_id);
    if (ctx.CurrentPps().redundant_pic_cnt_present_flag)
        rw.ue(redundant_pic_cnt);
    return 0;
}

int CH264SliceDataPartitionBC::Clear(H264NalParser&)
{
    *this = CH264SliceDataPartitionBC();
    return 0;
}

int CH264SliceDataPartitionBC::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx);
}

int CH264SliceDataPartitionBC::Write(H264NalParser& ctx, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw, ctx);
}

int CH264SliceDataPartitionBC::Print(H264NalParser& ctx, FILE* stream, int level)
{
    PrintLine(stream, level, "slice_id: %u\n", slice_id);
    if (ctx.CurrentSps().separate_colour_plane_flag)
        PrintLine(stream, level, "colour_plane_id: %u\n", colour_plane_id);
    if (ctx.CurrentPps().redundant_pic_cnt_present_flag)
        PrintLine(stream, level, "edundant_pic_cnt: %u\n", redundant_pic_cnt);
    return 0;
}
