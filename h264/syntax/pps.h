// Picture parameter set.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;
class CH264SeqParameterSetData;

class CH264PicParameterSet
{
  public:
    uint32_t pic_parameter_set_id = 0, seq_parameter_set_id = 0;
    uint32_t entropy_coding_mode_flag = 0, bottom_field_pic_order_in_frame_present_flag = 0;
    uint32_t num_slice_groups_minus1 = 0, slice_group_map_type = 0;
    // Sized num_slice_groups_minus1 + 1, and only for the map type that reads them.
    std::vector<uint32_t> run_length_minus1, top_left, bottom_right;
    uint32_t slice_group_change_direction_flag = 0, slice_group_change_rate_minus1 = 0;
    uint32_t pic_size_in_map_units_minus1 = 0;
    std::vector<uint32_t> slice_group_id;
    uint32_t num_ref_idx_l0_default_active_minus1 = 0, num_ref_idx_l1_default_active_minus1 = 0;
    uint32_t weighted_pred_flag = 0, weighted_bipred_idc = 0;
    int32_t pic_init_qp_minus26 = 0, pic_init_qs_minus26 = 0, chroma_qp_index_offset = 0;
    uint32_t deblocking_filter_control_present_flag = 0, constrained_intra_pred_flag = 0;
    uint32_t redundant_pic_cnt_present_flag = 0;
    // Whether the fields from transform_8x8_mode_flag on were present.
    bool m_extensionPresent          = false;
    uint32_t transform_8x8_mode_flag = 0, pic_scaling_matrix_present_flag = 0;
    std::vector<uint32_t> pic_scaling_list_present_flag;
    std::vector<std::vector<int32_t>> delta_scale;
    int32_t second_chroma_qp_index_offset = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    // The number of scaling lists, from the chroma format of the given SPS.
    static unsigned ScalingListCount(const CH264SeqParameterSetData& sps, uint32_t transform8x8);

    template <class RW> int Syntax(RW& rw, const CH264SeqParameterSetData& sps);
};
