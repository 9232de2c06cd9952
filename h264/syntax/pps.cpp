// The picture parameter set's syntax, read and written from one description, and its text form.
#include "h264/syntax/pps.h"

#include "h264/syntax/nal_header.h"
#include "h264/syntax/nal_parser.h"
#include "h264/syntax/sps.h"
#include "h264/syntax/syntax_io.h"
#include "h264/text/print_lines.h"

unsigned CH264PicParameterSet::ScalingListCount(const CH264SeqParameterSetData& sps,
                                                uint32_t transform8x8)
{
    // chroma_format_idc itself, as in the SPS: separate colour planes still carry 4:4:4 lists.
    return 6 + (sps.chroma_format_idc == 3 ? 6 : 2) * (transform8x8 ? 1 : 0);
}

// 7.3.2.2 pic_parameter_set_rbsp() without its trailing bits
template <class RW> int CH264PicParameterSet::Syntax(RW& rw, const CH264SeqParameterSetData& sps)
{
    rw.ue(pic_parameter_set_id);
    rw.ue(seq_parameter_set_id);
    rw.flag(entropy_coding_mode_flag);
    rw.flag(bottom_field_pic_order_in_frame_present_flag);
    rw.ue(num_slice_groups_minus1);
    if (num_slice_groups_minus1 > 0) {
        rw.ue(slice_group_map_type);
        uint64_t groups = uint64_t(num_slice_groups_minus1) + 1;
        if (slice_group_map_type == 0) {
            rw.size(run_length_minus1, groups);
            for (uint32_t& run : run_length_minus1)
                rw.ue(run);
        } else if (slice_group_map_type == 2) {
            // Pairs for every group but the last, the background.
            rw.size(top_left, groups, 2 * (groups - 1));
            rw.size(bottom_right, groups, 2 * (groups - 1));
            for (size_t i = 0; i + 1 < groups; ++i) {
                rw.ue(top_left[i]);
                rw.ue(bottom_right[i]);
            }
        } else if (slice_group_map_type >= 3 && slice_group_map_type <= 5) {
            rw.flag(slice_group_change_direction_flag);
            rw.ue(slice_group_change_rate_minus1);
        } else if (slice_group_map_type == 6) {
            rw.ue(pic_size_in_map_units_minus1);
            unsigned bits  = CeilLog2(groups);
            uint64_t units = uint64_t(pic_size_in_map_units_minus1) + 1;
            rw.size(slice_group_id, units, units * bits);
            for (uint32_t& id : slice_group_id)
                rw.u(bits, id);
        }
    }
    rw.ue(num_ref_idx_l0_default_active_minus1);
    rw.ue(num_ref_idx_l1_default_active_minus1);
    rw.flag(weighted_pred_flag);
    rw.u(2, weighted_bipred_idc);
    rw.se(pic_init_qp_minus26);
    rw.se(pic_init_qs_minus26);
    rw.se(chroma_qp_index_offset);
    rw.flag(deblocking_filter_control_present_flag);
    rw.flag(constrained_intra_pred_flag);
    rw.flag(redundant_pic_cnt_present_flag);
    if constexpr (RW::kRead)
        m_extensionPresent = HasMoreRbspData(rw.r);
    if (m_extensionPresent) {
        rw.flag(transform_8x8_mode_flag);
        rw.flag(pic_scaling_matrix_present_flag);
        if (pic_scaling_matrix_present_flag)
            ScalingList::Matrix(rw, pic_scaling_list_present_flag, delta_scale,
                                ScalingListCount(sps, transform_8x8_mode_flag));
        rw.se(second_chroma_qp_index_offset);
    }
    return 0;
}

int CH264PicParameterSet::Clear(H264NalParser&)
{
    *this = CH264PicParameterSet();
    return 0;
}

// The scaling-list count comes from the context's current SPS, not from the SPS this PPS names.
int CH264PicParameterSet::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx.CurrentSps());
}

int CH264PicParameterSet::Write(H264NalParser& ctx, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw, ctx.CurrentSps());
}

int CH264PicParameterSet::Print(H264NalParser&, FILE* stream, int level)
{
    int n = level;
    PrintLine(stream, n, "pic_parameter_set_id: %u\n", pic_parameter_set_id);
    PrintLine(stream, n, "seq_parameter_set_id: %u\n", seq_parameter_set_id);
    PrintLine(stream, n, "entropy_coding_mode_flag: %u\n", entropy_coding_mode_flag);
    PrintLine(stream, n, "bottom_field_pic_order_in_frame_present_flag: %u\n",
              bottom_field_pic_order_in_frame_present_flag);
    PrintLine(stream, n, "num_slice_groups_minus1: %u\n", num_slice_groups_minus1);
    if (num_slice_groups_minus1 != 0) {
        PrintLine(stream, n + 1, "slice_group_map_type: %u\n", slice_group_map_type);
        if (slice_group_map_type == 0) {
            for (size_t i = 0; i < run_length_minus1.size(); ++i)
                PrintLine(stream, n + 2, "run_length_minus1[%u]: %u\n", unsigned(i),
                          run_length_minus1[i]);
        } else if (slice_group_map_type == 2) {
            for (size_t i = 0; i + 1 < top_left.size() && i + 1 < bottom_right.size(); ++i) {
                PrintLine(stream, n + 2, "top_left[%u]: %u\n", unsigned(i), top_left[i]);
                PrintLine(stream, n + 2, "bottom_right[%u]: %u\n", unsigned(i), bottom_right[i]);
            }
        } else if (slice_group_map_type >= 3 && slice_group_map_type <= 5) {
            PrintLine(stream, n + 1, "slice_group_change_direction_flag: %u\n",
                      slice_group_change_direction_flag);
            PrintLine(stream, n + 1, "slice_group_change_rate_minus1: %u\n",
                      slice_group_change_rate_minus1);
        } else if (slice_group_map_type == 6) {
            PrintLine(stream, n + 1, "pic_size_in_map_units_minus1: %u\n",
                      pic_size_in_map_units_minus1);
            PrintLine(stream, n + 1, "bits - %u\n",
                      CeilLog2(uint64_t(num_slice_groups_minus1) + 1));
            for (size_t i = 0; i < slice_group_id.size(); ++i)
                PrintLine(stream, n + 2, "slice_group_id[%u]: %u\n", unsigned(i),
                          slice_group_id[i]);
        }
    }
    PrintLine(stream, n, "num_ref_idx_l0_default_active_minus1: %u\n",
              num_ref_idx_l0_default_active_minus1);
    PrintLine(stream, n, "num_ref_idx_l1_default_active_minus1: %u\n",
              num_ref_idx_l1_default_active_minus1);
    PrintLine(stream, n, "weighted_pred_flag: %u\n", weighted_pred_flag);
    PrintLine(stream, n, "weighted_bipred_idc: %u\n", weighted_bipred_idc);
    PrintLine(stream, n, "pic_init_qp_minus26: %d\n", pic_init_qp_minus26);
    PrintLine(stream, n, "pic_init_qs_minus26: %d\n", pic_init_qs_minus26);
    PrintLine(stream, n, "chroma_qp_index_offset: %d\n", chroma_qp_index_offset);
    PrintLine(stream, n, "deblocking_filter_control_present_flag: %u\n",
              deblocking_filter_control_present_flag);
    PrintLine(stream, n, "constrained_intra_pred_flag: %u\n", constrained_intra_pred_flag);
    PrintLine(stream, n, "redundant_pic_cnt_present_flag: %u\n", redundant_pic_cnt_present_flag);
    // Also without the extension, as 0.
    PrintLine(stream, n, "transform_8x8_mode_flag: %u\n", transform_8x8_mode_flag);
    PrintLine(stream, n, "pic_scaling_matrix_present_flag: %u\n", pic_scaling_matrix_present_flag);
    if (pic_scaling_matrix_present_flag)
        ScalingList::PrintMatrix("pic", pic_scaling_list_present_flag, delta_scale, stream, n + 1,
                                 n + 1);
    PrintLine(stream, n, "second_chroma_qp_index_offset: %d\n", second_chroma_qp_index_offset);
    return 0;
}
