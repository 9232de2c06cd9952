// Sequence parameter set with its VUI, HRD parameters and scaling lists, and the SPS extension.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;

// scaling_list(), kept as the coded delta_scale values (between 1 and the list size of them).
struct ScalingList {
    static void Parse(std::vector<int32_t>& deltas, unsigned listSize, H264BitReader& reader);
    static void Write(std::vector<int32_t>& deltas, unsigned listSize, H264BitWriter& writer);
    // The coded deltas and the value of every position, list index i, at one level.
    static void Print(const std::vector<int32_t>& deltas, unsigned i, unsigned listSize,
                      FILE* stream, int level);

    template <class RW> static void Syntax(RW& rw, std::vector<int32_t>& deltas, unsigned listSize);

    // The lists of a scaling matrix: lists 0 to 5 of 16 positions, the others of 64; each
    // present flag is followed by its list when set. The flags print at flagLevel, named
    // after prefix ("seq", "pic"), the lists at listLevel.
    template <class RW>
    static void Matrix(RW& rw, std::vector<uint32_t>& present,
                       std::vector<std::vector<int32_t>>& deltas, unsigned lists);
    static void PrintMatrix(const char* prefix, const std::vector<uint32_t>& present,
                            const std::vector<std::vector<int32_t>>& deltas, FILE* stream,
                            int flagLevel, int listLevel);
};

struct HrdParameters {
    uint32_t cpb_cnt_minus1 = 0, bit_rate_scale = 0, cpb_size_scale = 0;
    std::vector<uint32_t> bit_rate_value_minus1, cpb_size_value_minus1, cbr_flag;
    uint32_t initial_cpb_removal_delay_length_minus1 = 0, cpb_removal_delay_length_minus1 = 0;
    uint32_t dpb_output_delay_length_minus1 = 0, time_offset_length = 0;

    int Parse(H264BitReader& reader);
    int Write(H264BitWriter& writer);
    int Print(FILE* stream, int level) const;

    template <class RW> int Syntax(RW& rw);
};

class CH264VuiParameters
{
  public:
    uint32_t aspect_ratio_info_present_flag = 0, aspect_ratio_idc = 0;
    uint32_t sar_width = 0, sar_height = 0;
    uint32_t overscan_info_present_flag = 0, overscan_appropriate_flag = 0;
    uint32_t video_signal_type_present_flag = 0, video_format = 0, video_full_range_flag = 0;
    uint32_t colour_description_present_flag = 0, colour_primaries = 0;
    uint32_t transfer_characteristics = 0, matrix_coefficients = 0;
    uint32_t chroma_loc_info_present_flag = 0, chroma_sample_loc_type_top_field = 0;
    uint32_t chroma_sample_loc_type_bottom_field = 0;
    uint32_t timing_info_present_flag = 0, num_units_in_tick = 0, time_scale = 0;
    uint32_t fixed_frame_rate_flag           = 0;
    uint32_t nal_hrd_parameters_present_flag = 0;
    HrdParameters nal_hrd_parameters;
    uint32_t vcl_hrd_parameters_present_flag = 0;
    HrdParameters vcl_hrd_parameters;
    uint32_t low_delay_hrd_flag = 0, pic_struct_present_flag = 0;
    uint32_t bitstream_restriction_flag = 0, motion_vectors_over_pic_boundaries_flag = 0;
    uint32_t max_bytes_per_pic_denom = 0, max_bits_per_mb_denom = 0;
    uint32_t log2_max_mv_length_horizontal = 0, log2_max_mv_length_vertical = 0;
    uint32_t max_num_reorder_frames = 0, max_dec_frame_buffering = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

class CH264SeqParameterSetData
{
  public:
    uint32_t profile_idc          = 0;
    uint32_t constraint_set0_flag = 0, constraint_set1_flag = 0, constraint_set2_flag = 0;
    uint32_t constraint_set3_flag = 0, constraint_set4_flag = 0, constraint_set5_flag = 0;
    uint32_t level_idc = 0, seq_parameter_set_id = 0;
    uint32_t chroma_format_idc = 0, separate_colour_plane_flag = 0;
    uint32_t bit_depth_luma_minus8 = 0, bit_depth_chroma_minus8 = 0;
    uint32_t qpprime_y_zero_transform_bypass_flag = 0, seq_scaling_matrix_present_flag = 0;
    // 8 or 12 entries when the matrix is present; delta_scale[i] holds list i's coded deltas.
    std::vector<uint32_t> seq_scaling_list_present_flag;
    std::vector<std::vector<int32_t>> delta_scale;
    uint32_t log2_max_frame_num_minus4 = 0, pic_order_cnt_type = 0;
    uint32_t log2_max_pic_order_cnt_lsb_minus4 = 0, delta_pic_order_always_zero_flag = 0;
    int32_t offset_for_non_ref_pic = 0, offset_for_top_to_bottom_field = 0;
    uint32_t num_ref_frames_in_pic_order_cnt_cycle = 0;
    std::vector<int32_t> offset_for_ref_frame;
    uint32_t max_num_ref_frames = 0, gaps_in_frame_num_value_allowed_flag = 0;
    uint32_t pic_width_in_mbs_minus1 = 0, pic_height_in_map_units_minus1 = 0;
    uint32_t frame_mbs_only_flag = 0, mb_adaptive_frame_field_flag = 0;
    uint32_t direct_8x8_inference_flag = 0, frame_cropping_flag = 0;
    uint32_t frame_crop_left_offset = 0, frame_crop_right_offset = 0;
    uint32_t frame_crop_top_offset = 0, frame_crop_bottom_offset = 0;
    uint32_t vui_parameters_present_flag = 0;
    CH264VuiParameters vui_parameters;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

// The profiles whose SPS carries chroma_format_idc, the bit depths and the scaling matrix.
bool IsHighProfileSps(uint32_t profile_idc);

class CH264SeqParameterSetExtension
{
  public:
    uint32_t seq_parameter_set_id = 0, aux_format_idc = 0, bit_depth_aux_minus8 = 0;
    uint32_t alpha_incr_flag = 0, alpha_opaque_value = 0, alpha_transparent_value = 0;
    uint32_t additional_extension_flag = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};
