// The SPS with VUI, HRD and scaling lists, and the SPS extension: one description for reading
// and writing, and the text form.
#include "h264/syntax/sps.h"

#include "h264/syntax/syntax_io.h"
#include "h264/text/print_lines.h"

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

// The same walk as Syntax: the position values are the scaling list as decoded, without the
// default matrix that a first delta ending the list would select.
void ScalingList::Print(const std::vector<int32_t>& deltas, unsigned i, unsigned listSize,
                        FILE* stream, int level)
{
    uint32_t lastScale = 8, nextScale = 8;
    size_t k = 0;
    for (unsigned j = 0; j < listSize; ++j) {
        if (nextScale != 0) {
            if (k >= deltas.size())
                break;
            int32_t delta = deltas[k++];
            PrintLine(stream, level, "delta: %d\n", delta);
            nextScale = (lastScale + uint32_t(delta)) & 0xFF;
        }
        if (nextScale != 0)
            lastScale = nextScale;
        PrintLine(stream, level, "scaling list[%u][%u]: %u\n", i, j, lastScale);
    }
}

// The matrix part of 7.3.2.1.1 and 7.3.2.2
template <class RW>
void ScalingList::Matrix(RW& rw, std::vector<uint32_t>& present,
                         std::vector<std::vector<int32_t>>& deltas, unsigned lists)
{
    rw.size(present, lists);
    rw.size(deltas, lists);
    for (unsigned i = 0; i < lists; ++i) {
        rw.flag(present[i]);
        if (present[i])
            Syntax(rw, deltas[i], i < 6 ? 16 : 64);
    }
}

void ScalingList::PrintMatrix(const char* prefix, const std::vector<uint32_t>& present,
                              const std::vector<std::vector<int32_t>>& deltas, FILE* stream,
                              int flagLevel, int listLevel)
{
    for (size_t i = 0; i < present.size(); ++i) {
        PrintLine(stream, flagLevel, "%s_scaling_list_present_flag[%u]: %u\n", prefix, unsigned(i),
                  present[i]);
        if (present[i] && i < deltas.size())
            Print(deltas[i], unsigned(i), i < 6 ? 16 : 64, stream, listLevel);
    }
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

int HrdParameters::Print(FILE* stream, int level) const
{
    PrintLine(stream, level, "cpb_cnt_minus1: %u\n", cpb_cnt_minus1);
    PrintLine(stream, level, "bit_rate_scale: %u\n", bit_rate_scale);
    PrintLine(stream, level, "cpb_size_scale: %u\n", cpb_size_scale);
    for (size_t i = 0; i < bit_rate_value_minus1.size() && i < cpb_size_value_minus1.size() &&
                       i < cbr_flag.size();
         ++i) {
        unsigned n = unsigned(i);
        PrintLine(stream, level + 1, "bit_rate_value_minus1[%u]: %u\n", n,
                  bit_rate_value_minus1[i]);
        PrintLine(stream, level + 1, "cpb_size_value_minus1[%u]: %u\n", n,
                  cpb_size_value_minus1[i]);
        PrintLine(stream, level + 1, "cbr_flag[%u]: %u\n", n, cbr_flag[i]);
    }
    PrintLine(stream, level, "initial_cpb_removal_delay_length_minus1: %u\n",
              initial_cpb_removal_delay_length_minus1);
    PrintLine(stream, level, "cpb_removal_delay_length_minus1: %u\n",
              cpb_removal_delay_length_minus1);
    PrintLine(stream, level, "dpb_output_delay_length_minus1: %u\n",
              dpb_output_delay_length_minus1);
    PrintLine(stream, level, "time_offset_length: %u\n", time_offset_length);
    return 0;
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

// Present flags at the given level and what they guard one deeper, except the bitstream
// restriction values, which stay at the level of their flag.
int CH264VuiParameters::Print(H264NalParser&, FILE* stream, int level)
{
    int n = level;
    PrintLine(stream, n, "aspect_ratio_info_present_flag: %u\n", aspect_ratio_info_present_flag);
    if (aspect_ratio_info_present_flag) {
        PrintLine(stream, n + 1, "aspect_ratio_idc: %u\n", aspect_ratio_idc);
        if (aspect_ratio_idc == 255) {
            PrintLine(stream, n + 2, "sar_width: %u\n", sar_width);
            PrintLine(stream, n + 2, "sar_height: %u\n", sar_height);
        }
    }
    PrintLine(stream, n, "overscan_info_present_flag: %u\n", overscan_info_present_flag);
    if (overscan_info_present_flag)
        PrintLine(stream, n + 1, "overscan_appropriate_flag: %u\n", overscan_appropriate_flag);
    PrintLine(stream, n, "video_signal_info_present_flag: %u\n", video_signal_type_present_flag);
    if (video_signal_type_present_flag) {
        PrintLine(stream, n + 1, "video_format: %u\n", video_format);
        PrintLine(stream, n + 1, "video_full_range_flag: %u\n", video_full_range_flag);
        PrintLine(stream, n + 1, "colour_description_present_flag: %u\n",
                  colour_description_present_flag);
        if (colour_description_present_flag) {
            PrintLine(stream, n + 2, "colour_primaries: %u\n", colour_primaries);
            PrintLine(stream, n + 2, "transfer_characteristics: %u\n", transfer_characteristics);
            PrintLine(stream, n + 2, "matrix_coefficients: %u\n", matrix_coefficients);
        }
    }
    PrintLine(stream, n, "chroma_loc_info_present_flag: %u\n", chroma_loc_info_present_flag);
    if (chroma_loc_info_present_flag) {
        PrintLine(stream, n + 1, "chroma_sample_loc_type_top_field: %u\n",
                  chroma_sample_loc_type_top_field);
        PrintLine(stream, n + 1, "chroma_sample_loc_type_bottom_field: %u\n",
                  chroma_sample_loc_type_bottom_field);
    }
    PrintLine(stream, n, "timing_info_present_flag: %u\n", timing_info_present_flag);
    if (timing_info_present_flag) {
        PrintLine(stream, n + 1, "num_units_in_tick: %u\n", num_units_in_tick);
        PrintLine(stream, n + 1, "time_scale: %u\n", time_scale);
        PrintLine(stream, n + 1, "fixed_frame_scale: %u\n", fixed_frame_rate_flag);
    }
    PrintLine(stream, n, "nal_hrd_parameters_present_flag: %u\n", nal_hrd_parameters_present_flag);
    if (nal_hrd_parameters_present_flag)
        nal_hrd_parameters.Print(stream, n + 1);
    PrintLine(stream, n, "vcl_hrd_parameters_present_flag: %u\n", vcl_hrd_parameters_present_flag);
    if (vcl_hrd_parameters_present_flag)
        vcl_hrd_parameters.Print(stream, n + 1);
    if (nal_hrd_parameters_present_flag || vcl_hrd_parameters_present_flag)
        PrintLine(stream, n, "low_delay_hrd_flag: %u\n", low_delay_hrd_flag);
    PrintLine(stream, n, "pic_struct_present_flag: %u\n", pic_struct_present_flag);
    PrintLine(stream, n, "bitstream_restriction_flag: %u\n", bitstream_restriction_flag);
    if (bitstream_restriction_flag) {
        PrintLine(stream, n, "motion_vectors_over_pic_boundaries_flag: %u\n",
                  motion_vectors_over_pic_boundaries_flag);
        PrintLine(stream, n, "max_bytes_per_pic_denom: %u\n", max_bytes_per_pic_denom);
        PrintLine(stream, n, "max_bits_per_mb_denom: %u\n", max_bits_per_mb_denom);
        PrintLine(stream, n, "log2_max_mv_length_horizontal: %u\n", log2_max_mv_length_horizontal);
        PrintLine(stream, n, "log2_max_mv_length_vertical: %u\n", log2_max_mv_length_vertical);
        PrintLine(stream, n, "num_reorder_frames: %u\n", max_num_reorder_frames);
        PrintLine(stream, n, "max_dec_frame_buffering: %u\n", max_dec_frame_buffering);
    }
    return 0;
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
        if (seq_scaling_matrix_present_flag)
            ScalingList::Matrix(rw, seq_scaling_list_present_flag, delta_scale,
                                chroma_format_idc != 3 ? 8 : 12);
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

int CH264SeqParameterSetData::Print(H264NalParser& ctx, FILE* stream, int level)
{
    int n = level;
    PrintLine(stream, n, "profile: %u\n", profile_idc);
    PrintLine(stream, n, "constraint_set0_flag: %d\n", int(constraint_set0_flag));
    PrintLine(stream, n, "constraint_set1_flag: %d\n", int(constraint_set1_flag));
    PrintLine(stream, n, "constraint_set2_flag: %d\n", int(constraint_set2_flag));
    PrintLine(stream, n, "constraint_set3_flag: %d\n", int(constraint_set3_flag));
    PrintLine(stream, n, "constraint_set4_flag: %d\n", int(constraint_set4_flag));
    PrintLine(stream, n, "constraint_set5_flag: %d\n", int(constraint_set5_flag));
    PrintLine(stream, n, "level_idc: %u\n", level_idc);
    PrintLine(stream, n, "seq_parameter_set_id: %u\n", seq_parameter_set_id);
    if (IsHighProfileSps(profile_idc)) {
        PrintLine(stream, n, "chroma_format_idc: %u\n", chroma_format_idc);
        if (chroma_format_idc == 3)
            PrintLine(stream, n + 1, "separate_colour_plane_flag: %u\n",
                      separate_colour_plane_flag);
        PrintLine(stream, n, "bit_depth_luma_minus8: %u\n", bit_depth_luma_minus8);
        PrintLine(stream, n, "bit_depth_chroma_minus8: %u\n", bit_depth_chroma_minus8);
        PrintLine(stream, n, "qpprime_y_zero_transform_bypass_flag: %u\n",
                  qpprime_y_zero_transform_bypass_flag);
        PrintLine(stream, n, "seq_scaling_matrix_present_flag: %u\n",
                  seq_scaling_matrix_present_flag);
        if (seq_scaling_matrix_present_flag)
            ScalingList::PrintMatrix("seq", seq_scaling_list_present_flag, delta_scale, stream, n,
                                     n + 1);
    }
    PrintLine(stream, n, "log2_max_frame_num_minus4: %u\n", log2_max_frame_num_minus4);
    PrintLine(stream, n, "pic_order_cnt_type: %u\n", pic_order_cnt_type);
    if (pic_order_cnt_type == 0) {
        PrintLine(stream, n + 1, "log2_max_pic_order_cnt_lsb_minus4: %u\n",
                  log2_max_pic_order_cnt_lsb_minus4);
    } else if (pic_order_cnt_type == 1) {
        PrintLine(stream, n + 1, "delta_pic_order_always_zero_flag: %u\n",
                  delta_pic_order_always_zero_flag);
        PrintLine(stream, n + 1, "offset_for_non_ref_pic: %d\n", offset_for_non_ref_pic);
        PrintLine(stream, n + 1, "offset_for_top_to_bottom_field: %d\n",
                  offset_for_top_to_bottom_field);
        PrintLine(stream, n + 1, "num_ref_frames_in_pic_order_cnt_cycle: %u\n",
                  num_ref_frames_in_pic_order_cnt_cycle);
        for (size_t i = 0; i < offset_for_ref_frame.size(); ++i)
            PrintLine(stream, n + 2, "offset_for_ref_frame[%u]: %d\n", unsigned(i),
                      offset_for_ref_frame[i]);
    }
    PrintLine(stream, n, "max_num_ref_frames: %u\n", max_num_ref_frames);
    PrintLine(stream, n, "gaps_in_frame_num_value_allowed_flag: %u\n",
              gaps_in_frame_num_value_allowed_flag);
    PrintLine(stream, n, "pic_width_in_mbs_minus1: %u (%u)\n", pic_width_in_mbs_minus1,
              (pic_width_in_mbs_minus1 + 1) * 16);
    PrintLine(stream, n, "pic_height_in_map_units_minus1: %u (%u)\n",
              pic_height_in_map_units_minus1, (pic_height_in_map_units_minus1 + 1) * 16);
    PrintLine(stream, n, "frame_mbs_only_flag: %u\n", frame_mbs_only_flag);
    PrintLine(stream, n + 1, "(derived height: %u)\n",
              (pic_height_in_map_units_minus1 + 1) * (2 - frame_mbs_only_flag) * 16);
    if (!frame_mbs_only_flag)
        PrintLine(stream, n + 1, "mb_adaptive_frame_field_flag: %u\n",
                  mb_adaptive_frame_field_flag);
    PrintLine(stream, n, "direct_8x8_inference_flag: %u\n", direct_8x8_inference_flag);
    PrintLine(stream, n, "frame_cropping_flag: %u\n", frame_cropping_flag);
    if (frame_cropping_flag) {
        PrintLine(stream, n + 1, "frame_crop_left_offset: %u\n", frame_crop_left_offset);
        PrintLine(stream, n + 1, "frame_crop_right_offset: %u\n", frame_crop_right_offset);
        PrintLine(stream, n + 1, "frame_crop_top_offset: %u\n", frame_crop_top_offset);
        PrintLine(stream, n + 1, "frame_crop_bottom_offset: %u\n", frame_crop_bottom_offset);
    }
    PrintLine(stream, n, "vui_parameters_present_flag: %u\n", vui_parameters_present_flag);
    if (vui_parameters_present_flag)
        vui_parameters.Print(ctx, stream, n + 1);
    return 0;
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

int CH264SeqParameterSetExtension::Print(H264NalParser&, FILE* stream, int level)
{
    PrintLine(stream, level, "seq_parameter_set_id: %u\n", seq_parameter_set_id);
    PrintLine(stream, level, "aux_format_idc: %u\n", aux_format_idc);
    if (aux_format_idc != 0) {
        unsigned bits = bit_depth_aux_minus8 + 9;
        PrintLine(stream, level + 1, "bit_depth_aux_minus8: %u\n", bit_depth_aux_minus8);
        PrintLine(stream, level + 1, "alpha_incr_flag: %u\n", alpha_incr_flag);
        PrintLine(stream, level + 1, "alpha_opaque_value: %u (%u bits)\n", alpha_opaque_value,
                  bits);
        PrintLine(stream, level + 1, "alpha_transparent_value: %u (%u bits)\n",
                  alpha_transparent_value, bits);
    }
    PrintLine(stream, level, "additional_extension_flag: %u\n", additional_extension_flag);
    return 0;
}

// The PPS and the MVC VUI extension describe their scaling matrix and HRD blocks with these.
template void ScalingList::Matrix(H264Read&, std::vector<uint32_t>&,
                                  std::vector<std::vector<int32_t>>&, unsigned);
template void ScalingList::Matrix(H264Write&, std::vector<uint32_t>&,
                                  std::vector<std::vector<int32_t>>&, unsigned);
template int HrdParameters::Syntax(H264Read&);
template int HrdParameters::Syntax(H264Write&);
