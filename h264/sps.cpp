#include "h264/sps.h"

#include "h264/syntax_io.h"

// 7.3.2.1.1.1 scaling_list()
template <class RW>
void ScalingList::Syntax(RW& rw, std::vector<int32_t>& deltas, unsigned listSize)
{
    if constexpr (RW::kRead)
        deltas.clear();
    uint32_t lastScale = 8, nextScale = 8;
    size_t k = 0;
    for (unsigned j = 0; j < listSize; ++j) {
        if (nextScale != 0) {
            if constexpr (RW::kRead)
                deltas.emplace_back();
            else if (k >= deltas.size())
                break;
            int32_t& delta_scale = deltas[k++];
            rw.se(delta_scale);
            nextScale = (lastScale + uint32_t(delta_scale)) & 0xFF;
        }
        if (nextScale != 0)
            lastScale = nextScale;
    }
}

void ScalingList::Parse(std::vector<int32_t>& deltas, unsigned listSize, H264BitReader& reader)
{
    H264Read rw{reader};
    Syntax(rw, deltas, listSize);
}

void ScalingList::Write(std::vector<int32_t>& deltas, unsigned listSize, H264BitWriter& writer)
{
    H264Write rw{writer};
    Syntax(rw, deltas, listSize);
}

// E.1.2 hrd_parameters()
template <class RW> int HrdParameters::Syntax(RW& rw)
{
    rw.ue(cpb_cnt_minus1);
    rw.u(4, bit_rate_scale);
    rw.u(4, cpb_size_scale);
    // Each entry takes at least two ue(v) bits and its flag.
    uint64_t count = uint64_t(cpb_cnt_minus1) + 1;
    rw.size(bit_rate_value_minus1, count, 3 * count);
    rw.size(cpb_size_value_minus1, count, 3 * count);
    rw.size(cbr_flag, count, 3 * count);
    for (size_t i = 0; i < count; ++i) {
        rw.ue(bit_rate_value_minus1[i]);
        rw.ue(cpb_size_value_minus1[i]);
        rw.flag(cbr_flag[i]);
    }
    rw.u(5, initial_cpb_removal_delay_length_minus1);
    rw.u(5, cpb_removal_delay_length_minus1);
    rw.u(5, dpb_output_delay_length_minus1);
    rw.u(5, time_offset_length);
    return 0;
}

int HrdParameters::Parse(H264BitReader& reader)
{
    *this = HrdParameters();
    H264Read rw{reader};
    return Syntax(rw);
}

int HrdParameters::Write(H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

// E.1.1 vui_parameters()
template <class RW> int CH264VuiParameters::Syntax(RW& rw)
{
    rw.flag(aspect_ratio_info_present_flag);
    if (aspect_ratio_info_present_flag) {
        rw.u(8, aspect_ratio_idc);
        if (aspect_ratio_idc == 255) { // Extended_SAR
            rw.u(16, sar_width);
            rw.u(16, sar_height);
        }
    }
    rw.flag(overscan_info_present_flag);
    if (overscan_info_present_flag)
        rw.flag(overscan_appropriate_flag);
    rw.flag(video_signal_type_present_flag);
    if (video_signal_type_present_flag) {
        rw.u(3, video_format);
        rw.flag(video_full_range_flag);
        rw.flag(colour_description_present_flag);
        if (colour_description_present_flag) {
            rw.u(8, colour_primaries);
            rw.u(8, transfer_characteristics);
            rw.u(8, matrix_coefficients);
        }
    }
    rw.flag(chroma_loc_info_present_flag);
    if (chroma_loc_info_present_flag) {
        rw.ue(chroma_sample_loc_type_top_field);
        rw.ue(chroma_sample_loc_type_bottom_field);
    }
    rw.flag(timing_info_present_flag);
    if (timing_info_present_flag) {
        rw.u(32, num_units_in_tick);
        rw.u(32, time_scale);
        rw.flag(fixed_frame_rate_flag);
    }
    rw.flag(nal_hrd_parameters_present_flag);
    if (nal_hrd_parameters_present_flag)
        nal_hrd_parameters.Syntax(rw);
    rw.flag(vcl_hrd_parameters_present_flag);
    if (vcl_hrd_parameters_present_flag)
        vcl_hrd_parameters.Syntax(rw);
    if (nal_hrd_parameters_present_flag || vcl_hrd_parameters_present_flag)
        rw.flag(low_delay_hrd_flag);
    rw.flag(pic_struct_present_flag);
    rw.flag(bitstream_restriction_flag);
    if (bitstream_restriction_flag) {
        rw.flag(motion_vectors_over_pic_boundaries_flag);
        rw.ue(max_bytes_per_pic_denom);
        rw.ue(max_bits_per_mb_denom);
        rw.ue(log2_max_mv_length_horizontal);
        rw.ue(log2_max_mv_length_vertical);
        rw.ue(max_num_reorder_frames);
        rw.ue(max_dec_frame_buffering);
    }
    return 0;
}

int CH264VuiParameters::Clear(H264NalParser&)
{
    *this = CH264VuiParameters();
    return 0;
}

int CH264VuiParameters::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264VuiParameters::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

bool IsHighProfileSps(uint32_t profile_idc)
{
    switch (profile_idc) {
    case 44:
    case 83:
    case 86:
    case 100:
    case 110:
    case 118:
    case 122:
    case 128:
    case 138:
    case 244:
        return true;
    default:
        return false;
    }
}

// 7.3.2.1.1 seq_parameter_set_data()
template <class RW> int CH264SeqParameterSetData::Syntax(RW& rw)
{
    uint32_t reserved_zero_2bits = 0;
    rw.u(8, profile_idc);
    rw.flag(constraint_set0_flag);
    rw.flag(constraint_set1_flag);
    rw.flag(constraint_set2_flag);
    rw.flag(constraint_set3_flag);
    rw.flag(constraint_set4_flag);
    rw.flag(constraint_set5_flag);
    rw.u(2, reserved_zero_2bits);
    rw.u(8, level_idc);
    rw.ue(seq_parameter_set_id);
    if (IsHighProfileSps(profile_idc)) {
        rw.ue(chroma_format_idc);
        if (chroma_format_idc == 3)
            rw.flag(separate_colour_plane_flag);
        rw.ue(bit_depth_luma_minus8);
        rw.ue(bit_depth_chroma_minus8);
        rw.flag(qpprime_y_zero_transform_bypass_flag);
        rw.flag(seq_scaling_matrix_present_flag);
        if (seq_scaling_matrix_present_flag) {
            unsigned lists = chroma_format_idc != 3 ? 8 : 12;
            rw.size(seq_scaling_list_present_flag, lists);
            rw.size(delta_scale, lists);
            for (unsigned i = 0; i < lists; ++i) {
                rw.flag(seq_scaling_list_present_flag[i]);
                if (seq_scaling_list_present_flag[i])
                    ScalingList::Syntax(rw, delta_scale[i], i < 6 ? 16 : 64);
            }
        }
    } else {
        rw.infer(chroma_format_idc, 1);
    }
    rw.ue(log2_max_frame_num_minus4);
    rw.ue(pic_order_cnt_type);
    if (pic_order_cnt_type == 0) {
        rw.ue(log2_max_pic_order_cnt_lsb_minus4);
    } else if (pic_order_cnt_type == 1) {
        rw.flag(delta_pic_order_always_zero_flag);
        rw.se(offset_for_non_ref_pic);
        rw.se(offset_for_top_to_bottom_field);
        rw.ue(num_ref_frames_in_pic_order_cnt_cycle);
        rw.size(offset_for_ref_frame, num_ref_frames_in_pic_order_cnt_cycle);
        for (int32_t& offset : offset_for_ref_frame)
            rw.se(offset);
    }
    rw.ue(max_num_ref_frames);
    rw.flag(gaps_in_frame_num_value_allowed_flag);
    rw.ue(pic_width_in_mbs_minus1);
    rw.ue(pic_height_in_map_units_minus1);
    rw.flag(frame_mbs_only_flag);
    if (!frame_mbs_only_flag)
        rw.flag(mb_adaptive_frame_field_flag);
    rw.flag(direct_8x8_inference_flag);
    rw.flag(frame_cropping_flag);
    if (frame_cropping_flag) {
        rw.ue(frame_crop_left_offset);
        rw.ue(frame_crop_right_offset);
        rw.ue(frame_crop_top_offset);
        rw.ue(frame_crop_bottom_offset);
    }
    rw.flag(vui_parameters_present_flag);
    if (vui_parameters_present_flag)
        vui_parameters.Syntax(rw);
    return 0;
}

int CH264SeqParameterSetData::Clear(H264NalParser&)
{
    *this = CH264SeqParameterSetData();
    return 0;
}

int CH264SeqParameterSetData::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264SeqParameterSetData::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

// 7.3.2.1.2 seq_parameter_set_extension_rbsp() without its trailing bits
template <class RW> int CH264SeqParameterSetExtension::Syntax(RW& rw)
{
    rw.ue(seq_parameter_set_id);
    rw.ue(aux_format_idc);
    if (aux_format_idc != 0) {
        rw.ue(bit_depth_aux_minus8);
        rw.flag(alpha_incr_flag);
        uint64_t bits = uint64_t(bit_depth_aux_minus8) + 9;
        rw.u(bits, alpha_opaque_value);
        rw.u(bits, alpha_transparent_value);
    }
    rw.flag(additional_extension_flag);
    return 0;
}

int CH264SeqParameterSetExtension::Clear(H264NalParser&)
{
    *this = CH264SeqParameterSetExtension();
    return 0;
}

int CH264SeqParameterSetExtension::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264SeqParameterSetExtension::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

// The PPS and the MVC VUI extension describe their scaling lists and HRD blocks with these.
template void ScalingList::Syntax(H264Read&, std::vector<int32_t>&, unsigned);
template void ScalingList::Syntax(H264Write&, std::vector<int32_t>&, unsigned);
template int HrdParameters::Syntax(H264Read&);
template int HrdParameters::Syntax(H264Write&);
