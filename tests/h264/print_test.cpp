// The text form of the syntax structures and SEI messages: labels, levels and derived values,
// on units built field by field and parsed by the parse context.
#include "h264/nal_parser.h"
#include "h264/sei_print.h"
#include "tests/h264/crafted_units.h"
#include "tests/h264/printed.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>
#include <string>

namespace
{

// A context that has parsed the units; each must parse without failure.
void Feed(H264NalParser& ctx, const std::vector<std::vector<uint8_t>>& units)
{
    for (const auto& u : units)
        ASSERT_EQ(ParseUnit(ctx, u), 0);
}

// The lines of text from the one that equals first up to, not including, the one that
// equals end ("" for the end of the text).
std::string Between(const std::string& text, const std::string& first, const std::string& end)
{
    size_t a = text.find(first);
    if (a == std::string::npos)
        return "(no line " + first + ")";
    size_t b = end.empty() ? text.size() : text.find(end, a + first.size());
    return text.substr(a, b == std::string::npos ? std::string::npos : b - a);
}

std::string Repeat(const std::string& format, int from, int to, unsigned value)
{
    std::string out;
    char line[128];
    for (int j = from; j <= to; ++j) {
        snprintf(line, sizeof line, format.c_str(), j, value);
        out += line;
    }
    return out;
}

std::string PrintSei(H264NalParser& ctx, uint32_t type, const std::vector<uint8_t>& payload,
                     int level = 0)
{
    CH264SeiMessage m;
    m.payloadType = type;
    m.payloadData = payload;
    return Printed([&](FILE* f) { m.Print(ctx, f, level); });
}

} // namespace

TEST(H264Print, NalUnitHeaders)
{
    H264NalParser ctx;
    ParseUnit(ctx, testing_support::Hex("00 00 01 65 88"));
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_nalHeader.Print(ctx, f, 0); }),
              "nal_unit_type:  5 \"Coded slice of an IDR picture\"\n"
              "  nal_ref_idc: 3\n");

    // Prefix unit, svc_extension_flag 0: the MVC extension header.
    ParseUnit(ctx, Unit(14, 3, [](Rbsp& r) {
                  r.u(1, 0).u(1, 1).u(6, 5).u(10, 1).u(3, 2).u(1, 1).u(1, 0).u(1, 1);
              }));
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_nalHeader.Print(ctx, f, 1); }),
              "  nal_unit_type: 14 \"Prefix NAL unit\"\n"
              "    nal_ref_idc: 3\n"
              "    svc_extension_flag: 0\n"
              "    avc_3d_extension_flag: 0\n"
              "      non_idr_flag: 1\n"
              "      priority_id: 5\n"
              "      view_id: 1\n"
              "      temporal_id: 2\n"
              "      anchor_pic_flag: 1\n"
              "      inter_view_flag: 0\n"
              "      reserved_one_bit: 1\n");

    // Coded slice extension with svc_extension_flag 1: the SVC extension header.
    ParseUnit(ctx, Unit(20, 2, [](Rbsp& r) {
                  r.u(1, 1).u(1, 1).u(6, 3).u(1, 0).u(3, 2).u(4, 1).u(3, 4).u(1, 0).u(1, 1);
                  r.u(1, 1).u(2, 3);
              }));
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_nalHeader.Print(ctx, f, 0); }),
              "nal_unit_type: 20 \"Coded slice extension\"\n"
              "  nal_ref_idc: 2\n"
              "  svc_extension_flag: 1\n"
              "  avc_3d_extension_flag: 0\n"
              "    idr_flag: 1\n"
              "    priority_id: 3\n"
              "    no_inter_layer_pred_flag: 0\n"
              "    dependency_id: 2\n"
              "    quality_id: 1\n"
              "    temporal_id: 4\n"
              "    use_ref_base_pic_flag: 0\n"
              "    discardable_flag: 1\n"
              "    output_flag: 1\n"
              "    reserved_three_2bits: 3\n");

    // Depth view slice with avc_3d_extension_flag 1: the 3D-AVC extension header.
    ParseUnit(ctx, Unit(21, 1, [](Rbsp& r) {
                  r.u(1, 1).u(8, 7).u(1, 1).u(1, 0).u(3, 1).u(1, 1).u(1, 0);
              }));
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_nalHeader.Print(ctx, f, 0); }),
              "nal_unit_type: 21 \"Coded slice extension for depth view components\"\n"
              "  nal_ref_idc: 1\n"
              "  svc_extension_flag: 0\n"
              "  avc_3d_extension_flag: 1\n"
              "    view_idx: 7\n"
              "    depth_flag: 1\n"
              "    non_idr_flag: 0\n"
              "    temporal_id: 1\n"
              "    anchor_pic_flag: 1\n"
              "    inter_view_flag: 0\n");

    EXPECT_STREQ(NalUnitTypeName(19), "Coded slice of an auxiliary coded");
    EXPECT_STREQ(NalUnitTypeName(23), "Reserved");
    EXPECT_STREQ(NalUnitTypeName(24), "Reserved");
    EXPECT_STREQ(NalUnitTypeName(31), "Reserved");
}

TEST(H264Print, RawRestOfAUnit)
{
    H264NalParser ctx;
    std::vector<uint8_t> unit = testing_support::Hex("00 00 00 01 18");
    for (int i = 0; i < 17; ++i)
        unit.push_back(uint8_t(0x10 + i));
    ParseUnit(ctx, unit);
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_rbsp.Print(ctx, f, 1); }),
              "  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F\n"
              "  20\n");
    CH264EmptyUnit empty;
    EXPECT_EQ(Printed([&](FILE* f) { empty.Print(ctx, f, 1); }), "");
}

TEST(H264Print, SpsSizesAndScalingLists)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsHighInterlaced()});
    std::string out = Printed([&](FILE* f) { ctx.m_spsMap[0].Print(ctx, f, 1); });
    EXPECT_EQ(Between(out, "  pic_width", "  direct_8x8"),
              "  pic_width_in_mbs_minus1: 119 (1920)\n"
              "  pic_height_in_map_units_minus1: 33 (544)\n"
              "  frame_mbs_only_flag: 0\n"
              "    (derived height: 1088)\n"
              "    mb_adaptive_frame_field_flag: 1\n");
    // The third delta ends list 2: its value holds from position 1 on.
    EXPECT_EQ(
        Between(out, "  seq_scaling_list_present_flag[2]", "  seq_scaling_list_present_flag[3]"),
        "  seq_scaling_list_present_flag[2]: 1\n"
        "    delta: 4\n"
        "    scaling list[2][0]: 12\n"
        "    delta: -2\n"
        "    scaling list[2][1]: 10\n"
        "    delta: -10\n" +
            Repeat("    scaling list[2][%d]: %u\n", 2, 15, 10));
    // A first delta that ends the list prints 8 everywhere: no default matrix.
    EXPECT_EQ(
        Between(out, "  seq_scaling_list_present_flag[6]", "  seq_scaling_list_present_flag[7]"),
        "  seq_scaling_list_present_flag[6]: 1\n"
        "    delta: -8\n" +
            Repeat("    scaling list[6][%d]: %u\n", 0, 63, 8));
    EXPECT_EQ(Between(out, "    scaling list[0][14]", "  seq_scaling_list_present_flag[1]"),
              "    scaling list[0][14]: 23\n"
              "    delta: 1\n"
              "    scaling list[0][15]: 24\n");

    // Present flags at the VUI's level, what they guard deeper; the bitstream restriction
    // values stay at the level of their flag.
    EXPECT_EQ(Between(out, "  vui_parameters_present_flag", ""),
              "  vui_parameters_present_flag: 1\n"
              "    aspect_ratio_info_present_flag: 1\n"
              "      aspect_ratio_idc: 255\n"
              "        sar_width: 4\n"
              "        sar_height: 3\n"
              "    overscan_info_present_flag: 1\n"
              "      overscan_appropriate_flag: 1\n"
              "    video_signal_info_present_flag: 1\n"
              "      video_format: 5\n"
              "      video_full_range_flag: 0\n"
              "      colour_description_present_flag: 1\n"
              "        colour_primaries: 1\n"
              "        transfer_characteristics: 1\n"
              "        matrix_coefficients: 1\n"
              "    chroma_loc_info_present_flag: 1\n"
              "      chroma_sample_loc_type_top_field: 0\n"
              "      chroma_sample_loc_type_bottom_field: 1\n"
              "    timing_info_present_flag: 1\n"
              "      num_units_in_tick: 1001\n"
              "      time_scale: 60000\n"
              "      fixed_frame_scale: 1\n"
              "    nal_hrd_parameters_present_flag: 1\n"
              "      cpb_cnt_minus1: 1\n"
              "      bit_rate_scale: 4\n"
              "      cpb_size_scale: 5\n"
              "        bit_rate_value_minus1[0]: 2999\n"
              "        cpb_size_value_minus1[0]: 4999\n"
              "        cbr_flag[0]: 0\n"
              "        bit_rate_value_minus1[1]: 1499\n"
              "        cpb_size_value_minus1[1]: 999\n"
              "        cbr_flag[1]: 1\n"
              "      initial_cpb_removal_delay_length_minus1: 23\n"
              "      cpb_removal_delay_length_minus1: 15\n"
              "      dpb_output_delay_length_minus1: 9\n"
              "      time_offset_length: 12\n"
              "    vcl_hrd_parameters_present_flag: 1\n"
              "      cpb_cnt_minus1: 0\n"
              "      bit_rate_scale: 2\n"
              "      cpb_size_scale: 3\n"
              "        bit_rate_value_minus1[0]: 99\n"
              "        cpb_size_value_minus1[0]: 199\n"
              "        cbr_flag[0]: 1\n"
              "      initial_cpb_removal_delay_length_minus1: 11\n"
              "      cpb_removal_delay_length_minus1: 7\n"
              "      dpb_output_delay_length_minus1: 5\n"
              "      time_offset_length: 0\n"
              "    low_delay_hrd_flag: 0\n"
              "    pic_struct_present_flag: 1\n"
              "    bitstream_restriction_flag: 1\n"
              "    motion_vectors_over_pic_boundaries_flag: 1\n"
              "    max_bytes_per_pic_denom: 2\n"
              "    max_bits_per_mb_denom: 1\n"
              "    log2_max_mv_length_horizontal: 15\n"
              "    log2_max_mv_length_vertical: 14\n"
              "    num_reorder_frames: 2\n"
              "    max_dec_frame_buffering: 3\n");
}

TEST(H264Print, SpsWithoutHighFieldsAndTheExtension)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsMainPocCycle(), crafted::SpsExtensionAlpha()});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_spsMap[1].Print(ctx, f, 0); }),
              "profile: 77\n"
              "constraint_set0_flag: 0\n"
              "constraint_set1_flag: 1\n"
              "constraint_set2_flag: 0\n"
              "constraint_set3_flag: 0\n"
              "constraint_set4_flag: 0\n"
              "constraint_set5_flag: 0\n"
              "level_idc: 30\n"
              "seq_parameter_set_id: 1\n"
              "log2_max_frame_num_minus4: 0\n"
              "pic_order_cnt_type: 1\n"
              "  delta_pic_order_always_zero_flag: 0\n"
              "  offset_for_non_ref_pic: -1\n"
              "  offset_for_top_to_bottom_field: 2\n"
              "  num_ref_frames_in_pic_order_cnt_cycle: 2\n"
              "    offset_for_ref_frame[0]: 3\n"
              "    offset_for_ref_frame[1]: -1\n"
              "max_num_ref_frames: 2\n"
              "gaps_in_frame_num_value_allowed_flag: 1\n"
              "pic_width_in_mbs_minus1: 1 (32)\n"
              "pic_height_in_map_units_minus1: 2 (48)\n"
              "frame_mbs_only_flag: 1\n"
              "  (derived height: 48)\n"
              "direct_8x8_inference_flag: 1\n"
              "frame_cropping_flag: 0\n"
              "vui_parameters_present_flag: 0\n");
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_spsExtensionMap[0].Print(ctx, f, 0); }),
              "seq_parameter_set_id: 0\n"
              "aux_format_idc: 1\n"
              "  bit_depth_aux_minus8: 0\n"
              "  alpha_incr_flag: 0\n"
              "  alpha_opaque_value: 300 (9 bits)\n"
              "  alpha_transparent_value: 0 (9 bits)\n"
              "additional_extension_flag: 0\n");
}

TEST(H264Print, PpsEdgeCases)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsHighInterlaced(), crafted::SpsMainPocCycle(),
               crafted::PpsGroups(5, 1, 3, 6)});
    // Map type 6: the width of slice_group_id, then the ids; no extension, so its three
    // fields print as 0.
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_ppsMap[5].Print(ctx, f, 0); }),
              "pic_parameter_set_id: 5\n"
              "seq_parameter_set_id: 1\n"
              "entropy_coding_mode_flag: 0\n"
              "bottom_field_pic_order_in_frame_present_flag: 1\n"
              "num_slice_groups_minus1: 3\n"
              "  slice_group_map_type: 6\n"
              "  pic_size_in_map_units_minus1: 5\n"
              "  bits - 2\n"
              "    slice_group_id[0]: 0\n"
              "    slice_group_id[1]: 1\n"
              "    slice_group_id[2]: 2\n"
              "    slice_group_id[3]: 3\n"
              "    slice_group_id[4]: 0\n"
              "    slice_group_id[5]: 1\n"
              "num_ref_idx_l0_default_active_minus1: 0\n"
              "num_ref_idx_l1_default_active_minus1: 0\n"
              "weighted_pred_flag: 0\n"
              "weighted_bipred_idc: 0\n"
              "pic_init_qp_minus26: 0\n"
              "pic_init_qs_minus26: 0\n"
              "chroma_qp_index_offset: 0\n"
              "deblocking_filter_control_present_flag: 0\n"
              "constrained_intra_pred_flag: 1\n"
              "redundant_pic_cnt_present_flag: 0\n"
              "transform_8x8_mode_flag: 0\n"
              "pic_scaling_matrix_present_flag: 0\n"
              "second_chroma_qp_index_offset: 0\n");

    // Map type 1 reads nothing more; types 0, 2 and 4 their own fields.
    Feed(ctx, {crafted::PpsGroups(7, 0, 1, 1), crafted::PpsGroups(3, 0, 1, 0),
               crafted::PpsGroups(4, 0, 2, 2), crafted::PpsGroups(2, 1, 1, 4)});
    auto groups = [&](uint32_t id) {
        return Between(Printed([&](FILE* f) { ctx.m_ppsMap[id].Print(ctx, f, 0); }),
                       "num_slice_groups_minus1", "num_ref_idx_l0");
    };
    EXPECT_EQ(groups(7), "num_slice_groups_minus1: 1\n"
                         "  slice_group_map_type: 1\n");
    EXPECT_EQ(groups(3), "num_slice_groups_minus1: 1\n"
                         "  slice_group_map_type: 0\n"
                         "    run_length_minus1[0]: 1\n"
                         "    run_length_minus1[1]: 2\n");
    EXPECT_EQ(groups(4), "num_slice_groups_minus1: 2\n"
                         "  slice_group_map_type: 2\n"
                         "    top_left[0]: 0\n"
                         "    bottom_right[0]: 10\n"
                         "    top_left[1]: 5\n"
                         "    bottom_right[1]: 15\n");
    EXPECT_EQ(groups(2), "num_slice_groups_minus1: 1\n"
                         "  slice_group_map_type: 4\n"
                         "  slice_group_change_direction_flag: 1\n"
                         "  slice_group_change_rate_minus1: 1\n");

    // The extension with scaling lists: flags one level deeper, lists at the same level.
    Feed(ctx, {crafted::SpsHighInterlaced(), crafted::PpsHighWeighted()});
    std::string out = Printed([&](FILE* f) { ctx.m_ppsMap[0].Print(ctx, f, 0); });
    EXPECT_EQ(Between(out, "redundant_pic_cnt_present_flag", "  pic_scaling_list_present_flag[1]"),
              "redundant_pic_cnt_present_flag: 1\n"
              "transform_8x8_mode_flag: 1\n"
              "pic_scaling_matrix_present_flag: 1\n"
              "  pic_scaling_list_present_flag[0]: 1\n"
              "  delta: 3\n"
              "  scaling list[0][0]: 11\n"
              "  delta: -11\n" +
                  Repeat("  scaling list[0][%d]: %u\n", 1, 15, 11));
    EXPECT_EQ(Between(out, "  pic_scaling_list_present_flag[7]", ""),
              "  pic_scaling_list_present_flag[7]: 0\n"
              "second_chroma_qp_index_offset: 3\n");
}

TEST(H264Print, PpsWithTrailingZeroBytesReadsTheExtension)
{
    // After redundant_pic_cnt_present_flag: the stop bit, then two zero bytes. More than 8
    // bits are left, so the extension is read: the stop bit becomes transform_8x8_mode_flag,
    // and second_chroma_qp_index_offset runs into the zeros.
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsMainPocCycle()});
    std::vector<uint8_t> pps = crafted::PpsGroups(1, 1, 0, 0);
    pps.push_back(0);
    pps.push_back(0);
    EXPECT_EQ(ParseUnit(ctx, pps), -3);
    EXPECT_EQ(ctx.m_ppsMap.count(1), 0u);

    std::vector<uint8_t> stopOnly = crafted::PpsGroups(1, 1, 0, 0);
    ASSERT_EQ(ParseUnit(ctx, stopOnly), 0);
    EXPECT_FALSE(ctx.m_ppsMap[1].m_extensionPresent);
}

TEST(H264Print, SliceHeaders)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsHighInterlaced(), crafted::PpsHighWeighted(), crafted::SliceP()});
    std::string p = Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 0); });
    EXPECT_EQ(Between(p, "first_mb_in_slice", "num_ref_idx_active_override_flag"),
              "first_mb_in_slice: 0\n"
              "slice_type: 0 (P)\n"
              "pic_parameter_set_id: 0\n"
              "frame_num: 1 (6 bits)\n"
              "field_pic_flag: 0\n"
              "pic_order_cnt_lsb: 4 (7 bits)\n"
              "  delta_pic_order_cnt_bottom: -1\n"
              "redundant_pic_cnt: 0\n");
    // The plain list modification: value lines two levels below the flag.
    EXPECT_EQ(Between(p, "ref_pic_list_modification_flag_l0", "  luma_log2"),
              "ref_pic_list_modification_flag_l0: 1\n"
              "  modification_of_pic_nums_idc: 0\n"
              "    abs_diff_pic_num_minus1: 2\n"
              "  modification_of_pic_nums_idc: 2\n"
              "    long_term_pic_num: 1\n"
              "  modification_of_pic_nums_idc: 3\n");
    EXPECT_EQ(Between(p, "adaptive_ref_pic_marking_mode_flag", "cabac_init_idc"),
              "adaptive_ref_pic_marking_mode_flag: 1\n"
              "  memory_management_control_operation: 1\n"
              "    difference_of_pic_nums_minus1: 4\n"
              "  memory_management_control_operation: 2\n"
              "    long_term_pic_num: 0\n"
              "  memory_management_control_operation: 3\n"
              "    difference_of_pic_nums_minus1: 1\n"
              "    long_term_frame_idx: 2\n"
              "  memory_management_control_operation: 4\n"
              "    max_long_term_frame_idx_plus1: 3\n"
              "  memory_management_control_operation: 6\n"
              "    long_term_frame_idx: 1\n"
              "  memory_management_control_operation: 5\n"
              "  memory_management_control_operation: 0\n");

    // List 1 weights one level shallower than list 0.
    Feed(ctx, {crafted::SliceB()});
    std::string b = Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 0); });
    EXPECT_EQ(Between(b, "    luma_weight_l0_flag: 1", "cabac_init_idc"),
              "    luma_weight_l0_flag: 1\n"
              "      luma_weight_l0[1]: 1\n"
              "      luma_offset_l0[1]: 1\n"
              "    chroma_weight_l0_flag: 0\n"
              "    luma_weight_l0_flag: 0\n"
              "    chroma_weight_l0_flag: 1\n"
              "      chroma_weight_l0[2][0]: 1\n"
              "      chroma_offset_l0[2][0]: 0\n"
              "      chroma_weight_l0[2][1]: -1\n"
              "      chroma_offset_l0[2][1]: 2\n"
              "  luma_weight_l1_flag: 1\n"
              "    luma_weight_l1[0]: -2\n"
              "    luma_offset_l1[0]: 4\n"
              "  chroma_weight_l1_flag: 1\n"
              "    chroma_weight_l1[0][0]: 3\n"
              "    chroma_offset_l1[0][0]: -3\n"
              "    chroma_weight_l1[0][1]: 0\n"
              "    chroma_offset_l1[0][1]: 1\n"
              "  luma_weight_l1_flag: 0\n"
              "  chroma_weight_l1_flag: 0\n");

    Feed(ctx, {crafted::SliceIdrField()});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 1); }),
              "  first_mb_in_slice: 0\n"
              "  slice_type: 7 (I)\n"
              "  pic_parameter_set_id: 0\n"
              "  frame_num: 0 (6 bits)\n"
              "  field_pic_flag: 1\n"
              "    bottom_field_flag: 1\n"
              "  idr_pic_id: 3\n"
              "  pic_order_cnt_lsb: 0 (7 bits)\n"
              "  redundant_pic_cnt: 0\n"
              "  no_output_of_prior_pics_flag: 1\n"
              "  long_term_reference_flag: 0\n"
              "  slice_qp_delta: -11\n"
              "  disable_deblocking_filter_idc: 0\n"
              "    slice_alpha_c0_offset_div2: 0\n"
              "    slice_beta_offset_div2: 0\n");

    Feed(ctx, {crafted::SliceSP()});
    EXPECT_EQ(Between(Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 0); }),
                      "cabac_init_idc", "disable"),
              "cabac_init_idc: 1\n"
              "slice_qp_delta: 0\n"
              "sp_for_switch_flag: 1\n"
              "slice_qs_delta: -2\n");

    // Picture order count type 1 and a slice group change cycle of 2 bits.
    Feed(ctx, {crafted::SpsMainPocCycle(), crafted::PpsGroups(2, 1, 1, 4),
               crafted::SliceGroupsPocCycle()});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 0); }),
              "first_mb_in_slice: 0\n"
              "slice_type: 5 (P)\n"
              "pic_parameter_set_id: 2\n"
              "frame_num: 1 (4 bits)\n"
              "delta_pic_order_cnt[0]: 2\n"
              "delta_pic_order_cnt[1]: -1\n"
              "num_ref_idx_active_override_flag: 1\n"
              "  num_ref_idx_l0_active_minus1: 0\n"
              "ref_pic_list_modification_flag_l0: 0\n"
              "adaptive_ref_pic_marking_mode_flag: 0\n"
              "slice_qp_delta: 0\n"
              "slice_group_change_cycle: 1 (2 bits)\n");

    // A slice type above 9 belongs to no class: no reference fields at all.
    Feed(ctx, {Unit(1, 0, [](Rbsp& r) {
             r.ue(0).ue(12).ue(2).u(4, 0).se(0).se(0).u(1, 0).se(0).u(2, 0);
         })});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 0); }),
              "first_mb_in_slice: 0\n"
              "slice_type: 12 (invalid)\n"
              "pic_parameter_set_id: 2\n"
              "frame_num: 0 (4 bits)\n"
              "delta_pic_order_cnt[0]: 0\n"
              "delta_pic_order_cnt[1]: 0\n"
              "ref_pic_list_modification_flag_l0: 0\n"
              "slice_qp_delta: 0\n"
              "slice_group_change_cycle: 0 (2 bits)\n");
    EXPECT_STREQ(SliceTypeName(4), "SI");
    EXPECT_STREQ(SliceTypeName(8), "SP");
    EXPECT_STREQ(SliceTypeName(10), "invalid");
}

TEST(H264Print, MvcSliceModificationAndPartitions)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsMainPocCycle(), crafted::PpsGroups(1, 1, 0, 0)});
    // An MVC P slice: idc 4 and 5 carry abs_diff_view_idx_minus1, values one level below idc.
    Feed(ctx, {Unit(20, 2, [](Rbsp& r) {
             r.u(1, 0).u(1, 1).u(6, 0).u(10, 1).u(3, 0).u(1, 0).u(1, 1).u(1, 1);
             r.ue(0).ue(0).ue(1).u(4, 2).se(0).se(0).u(1, 0);
             r.u(1, 1).ue(4).ue(0).ue(5).ue(1).ue(0).ue(6).ue(3);
             r.u(1, 0).se(0);
         })});
    EXPECT_EQ(Between(Printed([&](FILE* f) { ctx.m_sliceHeader.Print(ctx, f, 0); }),
                      "ref_pic_list_modification_flag_l0", "adaptive"),
              "ref_pic_list_modification_flag_l0: 1\n"
              "  modification_of_pic_nums_idc: 4\n"
              "  abs_diff_view_idx_minus1: 0\n"
              "  modification_of_pic_nums_idc: 5\n"
              "  abs_diff_view_idx_minus1: 1\n"
              "  modification_of_pic_nums_idc: 0\n"
              "  abs_diff_pic_num_minus1: 6\n"
              "  modification_of_pic_nums_idc: 3\n");

    // Partitions of a picture with colour planes and redundant_pic_cnt.
    Feed(ctx, {crafted::Sps444Planes(), Unit(8, 3, [](Rbsp& r) {
                   r.ue(9).ue(2).u(1, 0).u(1, 0).ue(0).ue(0).ue(0).u(1, 0).u(2, 0);
                   r.se(0).se(0).se(0).u(1, 0).u(1, 0).u(1, 1);
               })});
    Feed(ctx, {Unit(2, 3, [](Rbsp& r) {
             r.ue(0).ue(7).ue(9).u(2, 1).u(4, 0).ue(0).u(1, 0).se(0); // slice header
             r.ue(4).u(2, 1).ue(2);                                   // slice_id and the rest
         })});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_partitionA.Print(ctx, f, 1); }),
              "  slice_id: 4\n"
              "  colour_plane_id: 1\n"
              "  edundant_pic_cnt: 2\n");
    Feed(ctx, {Unit(3, 3, [](Rbsp& r) { r.ue(5).u(2, 2).ue(1); })});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_partitionBC.Print(ctx, f, 0); }),
              "slice_id: 5\n"
              "colour_plane_id: 2\n"
              "edundant_pic_cnt: 1\n");
}

TEST(H264Print, SubsetSpsWithTwoViews)
{
    H264NalParser ctx;
    // Stereo High: two views, one anchor reference each way for view 1, one non-anchor
    // reference in list 0, one level value with one operation point, and an MVC VUI.
    Feed(ctx, {Unit(15, 3, [](Rbsp& r) {
             r.u(8, 128).u(8, 0).u(8, 40).ue(0).ue(1).ue(0).ue(0).u(1, 0).u(1, 0);
             r.ue(0).ue(0).ue(2).ue(1).u(1, 0).ue(11).ue(7).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
             r.u(1, 1);                 // bit_equal_to_one
             r.ue(1).ue(0).ue(1);       // two views
             r.ue(1).ue(0).ue(1).ue(0); // anchor lists of view 1
             r.ue(1).ue(0).ue(0);       // non-anchor lists of view 1
             r.ue(0).u(8, 40).ue(0).u(3, 0).ue(1).ue(0).ue(1).ue(1);
             r.u(1, 1);                   // mvc_vui_parameters_present_flag
             r.ue(0).u(3, 1).ue(0).ue(1); // one operation point, view 1
             r.u(1, 1).u(32, 1001).u(32, 48000).u(1, 1);
             r.u(1, 1).ue(0).u(4, 1).u(4, 2).ue(9).ue(19).u(1, 0).u(5, 23).u(5, 23).u(5, 23).u(5,
                                                                                               24);
             r.u(1, 0).u(1, 0).u(1, 1); // no VCL HRD, low delay, pic_struct
             r.u(1, 0);                 // additional_extension2_flag
         })});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_subsetSpsMap[0].Print(ctx, f, 1); }),
              "  num_views_minus1: 1\n"
              "    view_id[0]: 0\n"
              "    view_id[1]: 1\n"
              "    num_anchor_refs_l0[1]: 1\n"
              "      anchor_ref_l0[1][0]: 0\n"
              "    num_anchor_refs_l1[1]: 1\n"
              "      anchor_ref_l1[1][0]: 0\n"
              "    num_non_anchor_refs_l0[1]: 1\n"
              "      non_anchor_ref_l0[1][0]: 0\n"
              "    num_non_anchor_refs_l1[1]: 0\n"
              "  num_level_values_signalled_minus1: 0\n"
              "    level_idc[0]: 40\n"
              "    num_applicable_ops_minus1[0]: 0\n"
              "      applicable_op_temporal_id[0][0]: 0\n"
              "      applicable_op_num_target_views_minus1[0][0]: 1\n"
              "      applicable_op_target_view_id[0][0][0]: 0\n"
              "      applicable_op_target_view_id[0][0][1]: 1\n"
              "      applicable_op_num_views_minus1[0][0]: 1\n"
              "  mvc_vui_parameters_present_flag: 1\n"
              "  vui_mvc_num_ops_minus1: 0\n"
              "    vui_mvc_temporal_id[0]: 1\n"
              "    vui_mvc_num_target_output_views_minus1[0]: 0\n"
              "      vui_mvc_view_id[0][0]: 1\n"
              "    vui_mvc_timing_info_present_flag[0]: 1\n"
              "      vui_mvc_num_units_in_tick[0]: 1001\n"
              "      vui_mvc_time_scale[0]: 48000\n"
              "      vui_mvc_fixed_frame_rate_flag[0]: 1\n"
              "    vui_mvc_nal_hrd_parameters_present_flag[0]: 1\n"
              "    vui_mvc_nal_hrd_parameters[0]:\n"
              "      cpb_cnt_minus1: 0\n"
              "      bit_rate_scale: 1\n"
              "      cpb_size_scale: 2\n"
              "        bit_rate_value_minus1[0]: 9\n"
              "        cpb_size_value_minus1[0]: 19\n"
              "        cbr_flag[0]: 0\n"
              "      initial_cpb_removal_delay_length_minus1: 23\n"
              "      cpb_removal_delay_length_minus1: 23\n"
              "      dpb_output_delay_length_minus1: 23\n"
              "      time_offset_length: 24\n"
              "    vui_mvc_vcl_hrd_parameters_present_flag[0]: 0\n"
              "    vui_mvc_low_delay_hrd_flag[0]: 0\n"
              "    vui_mvc_pic_struct_present_flag[0]: 1\n"
              "  additional_extension2_flag: 0\n");

    // Profile 134: the frame-compatible fields; an SVC profile: its one flag.
    Feed(ctx, {Unit(15, 3, [](Rbsp& r) {
             r.u(8, 134).u(8, 0).u(8, 40).ue(1).ue(0).ue(2).ue(1).u(1, 0).ue(0).ue(0);
             r.u(1, 0).u(1, 0).u(1, 1).u(1, 0).u(1, 0);
             r.u(1, 1).ue(0).ue(0).ue(0).u(8, 30).ue(0).u(3, 0).ue(0).ue(0).ue(0);
             r.u(6, 1).u(1, 0).u(4, 1).u(4, 2).u(4, 3).u(4, 4).u(1, 1).u(1, 0);
             r.u(1, 0).u(1, 0);
         })});
    EXPECT_EQ(Between(Printed([&](FILE* f) { ctx.m_subsetSpsMap[1].Print(ctx, f, 0); }),
                      "mfc_format_idc", ""),
              "mfc_format_idc: 1\n"
              "default_grid_position_flag: 0\n"
              "  view0_grid_position_x: 1\n"
              "  view0_grid_position_y: 2\n"
              "  view1_grid_position_x: 3\n"
              "  view1_grid_position_y: 4\n"
              "rpu_filter_enabled_flag: 1\n"
              "rpu_field_processing_flag: 0\n"
              "mvc_vui_parameters_present_flag: 0\n"
              "additional_extension2_flag: 0\n");
    Feed(ctx, {Unit(15, 3, [](Rbsp& r) {
             r.u(8, 83).u(8, 0).u(8, 30).ue(2).ue(1).ue(0).ue(0).u(1, 0).u(1, 0);
             r.ue(0).ue(2).ue(1).u(1, 0).ue(0).ue(0).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
             r.u(1, 1).u(1, 0);
         })});
    EXPECT_EQ(Printed([&](FILE* f) { ctx.m_subsetSpsMap[2].Print(ctx, f, 0); }),
              "svc_vui_parameters_present_flag: 1\n"
              "additional_extension2_flag: 0\n");
}

namespace
{

std::vector<uint8_t> OfmdPayload(uint64_t pts, const std::vector<std::vector<int>>& sequences)
{
    std::vector<uint8_t> body    = Payload([&](Rbsp& r) {
        r.u(1, 1).u(3, 0).u(4, 1).u(5, 0).u(3, uint32_t(pts >> 30) & 7).u(1, 1);
        r.u(15, uint32_t(pts >> 15) & 0x7FFF).u(1, 1).u(15, uint32_t(pts) & 0x7FFF).u(1, 1);
        r.u(1, 0).u(6, uint32_t(sequences.size())).u(8, uint32_t(sequences[0].size()));
        r.u(1, 1).u(15, 0);
        for (const auto& seq : sequences)
            for (int v : seq)
                r.u(1, v <= 0).u(7, uint32_t(v < 0 ? -v : v));
    });
    std::vector<uint8_t> payload = crafted::kDiscUuid;
    for (char c : std::string("OFMD"))
        payload.push_back(uint8_t(c));
    payload.insert(payload.end(), body.begin(), body.end());
    return payload;
}

// mvc_scalable_nesting() around one message: all view components, then the message.
std::vector<uint8_t> Nesting(const std::vector<uint8_t>& message)
{
    std::vector<uint8_t> payload = {0x40}; // operation_point_flag 0, all views 1, zero bits
    payload.insert(payload.end(), message.begin(), message.end());
    return payload;
}

// The payload without its type and size bytes.
std::vector<uint8_t> PayloadOf(const std::vector<uint8_t>& message)
{
    size_t i = 0;
    while (message[i] == 0xFF)
        ++i;
    ++i;
    while (message[i] == 0xFF)
        ++i;
    return std::vector<uint8_t>(message.begin() + std::ptrdiff_t(i + 1), message.end());
}

} // namespace

TEST(H264Print, SeiRawPayloads)
{
    H264NalParser ctx;
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 17; ++i)
        bytes.push_back(uint8_t(i == 3 ? 'x' : 0x30 + i));
    EXPECT_EQ(
        PrintSei(ctx, 100, bytes, 1),
        "  payload_type: 100 \"reserved_sei_message\"\n"
        "  payload_size: 17\n"
        "    0x30 0x31 0x32 0x78 0x34 0x35 0x36 0x37 0x38 0x39 0x3A 0x3B 0x3C 0x3D 0x3E 0x3F\n"
        "    0x40\n"
        "    string: \"012x456789:;<=>?@\"\n");
    EXPECT_EQ(PrintSei(ctx, 261, {0x01}), "payload_type: 261 \"reserved_sei_message\"\n"
                                          "payload_size: 1\n"
                                          "  0x01\n"
                                          "  string: \".\"\n");
    // The nesting messages of SVC and MVCD are listed, not decoded.
    EXPECT_EQ(PrintSei(ctx, 30, {0x80, 0x05}), "payload_type: 30 \"scalable_nesting\"\n"
                                               "payload_size: 2\n"
                                               "  0x80 0x05\n"
                                               "  string: \"..\"\n");
    EXPECT_EQ(PrintSei(ctx, 48, {0x40}), "payload_type: 48 \"mvcd_scalable_nesting\"\n"
                                         "payload_size: 1\n"
                                         "  0x40\n"
                                         "  string: \"@\"\n");
    // No payload bytes: no listing at all.
    EXPECT_EQ(PrintSei(ctx, 5, {}), "payload_type: 5 \"user_data_unregistered\"\n"
                                    "payload_size: 0\n");
    // A foreign UUID: the rest as bytes; "GA94": the bytes after the type indicator.
    std::vector<uint8_t> foreign = crafted::kForeignUuid;
    foreign.insert(foreign.end(), {1, 2, 3, 4});
    EXPECT_EQ(PrintSei(ctx, 5, foreign), "payload_type: 5 \"user_data_unregistered\"\n"
                                         "payload_size: 20\n"
                                         "  uuid_iso_iec_11578: 00112233445566778899aabbccddeeff\n"
                                         "  0x01 0x02 0x03 0x04\n"
                                         "  string: \"....\"\n");
    EXPECT_EQ(PrintSei(ctx, 5, PayloadOf(crafted::DiscUserData("GA94", {0x47, 0x00}))),
              "payload_type: 5 \"user_data_unregistered\"\n"
              "payload_size: 22\n"
              "  uuid_iso_iec_11578: 17ee8c60f84d11d98cd60800200c9a66\n"
              "  type_indicator: GA94\n"
              "  0x47 0x00\n"
              "  string: \"G.\"\n");
}

TEST(H264Print, SeiTimingFromTheCurrentSps)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsMainPocCycle(), crafted::SpsHighInterlaced()});
    // pic_struct 5: three timestamps; time_offset read unsigned and printed with %d.
    EXPECT_EQ(PrintSei(ctx, 1, PayloadOf(crafted::PicTimingStruct5(4000))),
              "payload_type: 1 \"pic_timing\"\n"
              "payload_size: 17\n"
              "  cpb_removal_delay: 2 (16 bits)\n"
              "  dpb_output_delay: 4 (10 bits)\n"
              "  pict_struct: 5 (NumClockTS: 3)\n"
              "  clock_timestamp_flag[0]: 1\n"
              "    ct_type: 1\n"
              "    nuit_field_base_flag: 1\n"
              "    counting_type: 4\n"
              "    full_timestamp_flag: 1\n"
              "    discontinuity_flag: 0\n"
              "    cnt_dropped_flag: 1\n"
              "    n_frames: 12\n"
              "      seconds_value: 30\n"
              "      minutes_value: 15\n"
              "      hours_value: 2\n"
              "    time_offset: 5 (12 bits)\n"
              "  clock_timestamp_flag[1]: 0\n"
              "  clock_timestamp_flag[2]: 1\n"
              "    ct_type: 0\n"
              "    nuit_field_base_flag: 0\n"
              "    counting_type: 0\n"
              "    full_timestamp_flag: 0\n"
              "    discontinuity_flag: 1\n"
              "    cnt_dropped_flag: 0\n"
              "    n_frames: 3\n"
              "      seconds_flag: 1\n"
              "        seconds_value: 59\n"
              "        minutes_flag: 1\n"
              "          minutes_value: 7\n"
              "          hours_flag: 1\n"
              "            hours_value: 23\n"
              "    time_offset: 4000 (12 bits)\n");
    // The buffering period takes the HRD of the current SPS (0), whatever id it names.
    EXPECT_EQ(PrintSei(ctx, 0, PayloadOf(crafted::BufferingPeriod())),
              "payload_type: 0 \"buffering_period\"\n"
              "payload_size: 16\n"
              "  seq_parameter_set_id: 0\n"
              "  initial_cpb_removal_delay[0]: 90000\n"
              "  initial_cpb_removal_delay_offset[0]: 1000\n"
              "  initial_cpb_removal_delay[1]: 45000\n"
              "  initial_cpb_removal_delay_offset[1]: 0\n"
              "  initial_cpb_removal_delay[0]: 4000\n"
              "  initial_cpb_removal_delay_offset[0]: 10\n");
    std::vector<uint8_t> otherId =
        Payload([](Rbsp& r) { r.ue(1).u(24, 7).u(24, 8).u(24, 9).u(24, 10).u(12, 11).u(12, 12); });
    EXPECT_EQ(Between(PrintSei(ctx, 0, otherId), "  seq", "  initial_cpb_removal_delay[1]"),
              "  seq_parameter_set_id: 1\n"
              "  initial_cpb_removal_delay[0]: 7\n"
              "  initial_cpb_removal_delay_offset[0]: 8\n");

    // Without any HRD a clock timestamp still carries a 24-bit time_offset.
    Feed(ctx, {Unit(7, 3, [](Rbsp& r) {
             r.u(8, 77).u(8, 0).u(8, 30).ue(3).ue(0).ue(2).ue(1).u(1, 0).ue(1).ue(1);
             r.u(1, 1).u(1, 1).u(1, 0).u(1, 1);
             r.u(5, 0).u(1, 0).u(1, 0).u(1, 1).u(1, 0); // VUI: only pic_struct_present_flag
         })});
    std::vector<uint8_t> timing = Payload([](Rbsp& r) {
        r.u(4, 0).u(1, 1).u(2, 0).u(1, 0).u(5, 0).u(1, 1).u(1, 0).u(1, 0).u(8, 0);
        r.u(6, 1).u(6, 2).u(5, 3).u(24, 0xABCDEF);
    });
    EXPECT_EQ(Between(PrintSei(ctx, 1, timing), "  pict_struct", "    ct_type"),
              "  pict_struct: 0 (NumClockTS: 1)\n"
              "  clock_timestamp_flag[0]: 1\n");
    EXPECT_EQ(Between(PrintSei(ctx, 1, timing), "    time_offset", ""),
              "    time_offset: 11259375 (24 bits)\n");
    EXPECT_EQ(Between(PrintSei(ctx, 0, {0x80}), "payload_size", ""), "payload_size: 1\n"
                                                                     "  seq_parameter_set_id: 0\n");
}

TEST(H264Print, SeiNestingWithOffsetMetadata)
{
    H264NalParser ctx;
    std::vector<uint8_t> ofmd = SeiMessage(5, OfmdPayload(90000, {{3, 5}, {-2, 0}}));
    EXPECT_EQ(PrintSei(ctx, 37, Nesting(ofmd)),
              "payload_type: 37 \"mvc_scalable_nesting\"\n"
              "payload_size: 37\n"
              "  operation_point_flag: 0\n"
              "    all_view_components_in_au_flag: 1\n"
              "  payload_type: 5 \"user_data_unregistered\"\n"
              "  payload_size: 34\n"
              "    uuid_iso_iec_11578: 17ee8c60f84d11d98cd60800200c9a66\n"
              "    type_indicator: OFMD\n"
              "      frame_rate: 1\n"
              "      PTS: 90000\n"
              "      number_of_offset_sequences: 2\n"
              "      number_of_displayed_frames_in_GOP: 2\n"
              "        Plane_offset[*][  0]: (   3,  -2)\n"
              "        Plane_offset[*][  1]: (   5,   0)\n");

    // An operation point with two views; then a list of views.
    std::vector<uint8_t> op =
        Payload([](Rbsp& r) { r.u(1, 1).ue(1).u(10, 3).u(10, 1000).u(3, 2); });
    op.insert(op.end(), {0x06, 0x01, 0x80});
    EXPECT_EQ(PrintSei(ctx, 37, op), "payload_type: 37 \"mvc_scalable_nesting\"\n"
                                     "payload_size: 7\n"
                                     "  operation_point_flag: 1\n"
                                     "    num_view_components_op_minus1: 1\n"
                                     "      sei_op_view_id[0]: 3\n"
                                     "      sei_op_view_id[1]: 1000\n"
                                     "    sei_op_temporal_id: 2\n"
                                     "  payload_type: 6 \"recovery_point\"\n"
                                     "  payload_size: 1\n"
                                     "    recovery_frame_cnt: 0\n"
                                     "    exact_match_flag: 0\n"
                                     "    broken_link_flag: 0\n"
                                     "    changing_slice_group_idc: 0\n");
    std::vector<uint8_t> views = Payload([](Rbsp& r) { r.u(1, 0).u(1, 0).ue(0).u(10, 7); });
    views.insert(views.end(), {0x64, 0x00});
    EXPECT_EQ(Between(PrintSei(ctx, 37, views), "  operation_point_flag", "  payload_type"),
              "  operation_point_flag: 0\n"
              "    all_view_components_in_au_flag: 0\n"
              "      num_view_components_minus1: 0\n"
              "        sei_view_id[0]: 7\n");
}

TEST(H264Print, DeepNestingIsListedNotFollowed)
{
    // Each level costs two bytes of payload; past eight levels the rest is listed as bytes,
    // so a unit full of nesting cannot exhaust the stack.
    H264NalParser ctx;
    std::vector<uint8_t> message = crafted::RecoveryPoint();
    for (int i = 0; i < 50; ++i)
        message = SeiMessage(37, Nesting(message));
    std::string out = PrintSei(ctx, 37, PayloadOf(message));
    size_t decoded  = 0;
    for (size_t at = 0;
         (at = out.find("all_view_components_in_au_flag: 1", at)) != std::string::npos; ++at)
        ++decoded;
    EXPECT_EQ(decoded, 8u);
    EXPECT_NE(out.find("string: \""), std::string::npos);
    EXPECT_EQ(out.find("recovery_frame_cnt"), std::string::npos);
}

TEST(H264Print, CutPayloadUnderEveryPrinter)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsHighInterlaced()});
    std::vector<uint8_t> foreign = PayloadOf(crafted::UserDataForeign());
    struct Case {
        uint32_t type;
        std::vector<uint8_t> payload;
        size_t needed; // bytes the printer reads: the whole payload, or a foreign UUID
    };
    std::vector<Case> cases = {
        {0, PayloadOf(crafted::BufferingPeriod()), 16},
        {1, PayloadOf(crafted::PicTimingStruct5()), 17},
        {2, PayloadOf(crafted::PanScanRect()), 7},
        {5, foreign, 16},
        {5, PayloadOf(crafted::Mdpm()), 31},
        {5, PayloadOf(crafted::DiscUserData("GSMP", {0x00, 0x02, 0x0A, 0x8C})), 24},
        {5, OfmdPayload(5, {{1, 2, 3}, {-1, -2, -3}}), 36},
        {6, PayloadOf(crafted::RecoveryPoint()), 2},
        {37, Nesting(crafted::RecoveryPoint()), 5},
        {45, PayloadOf(crafted::FramePacking()), 7},
    };
    for (const Case& c : cases) {
        std::string whole = PrintSei(ctx, c.type, c.payload);
        EXPECT_EQ(whole.find("(payload"), std::string::npos) << whole;
        for (size_t k = 1; k < c.payload.size(); ++k) {
            std::vector<uint8_t> cut(c.payload.begin(), c.payload.begin() + std::ptrdiff_t(k));
            std::string out        = PrintSei(ctx, c.type, cut);
            const std::string tail = "  (payload cut short)\n";
            bool endsCut           = out.size() > tail.size() &&
                           out.compare(out.size() - tail.size(), tail.size(), tail) == 0;
            // A foreign UUID is all the printer reads; the rest is listed as bytes.
            EXPECT_EQ(endsCut, k < c.needed) << "type " << c.type << " cut to " << k << ":\n"
                                             << out;
        }
    }

    // What was read is shown, then the one line.
    std::vector<uint8_t> mdpm =
        PayloadOf(crafted::DiscUserData("MDPM", {3, 0x13, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(PrintSei(ctx, 5, mdpm), "payload_type: 5 \"user_data_unregistered\"\n"
                                      "payload_size: 26\n"
                                      "  uuid_iso_iec_11578: 17ee8c60f84d11d98cd60800200c9a66\n"
                                      "  type_indicator: MDPM\n"
                                      "    tag_count: 3\n"
                                      "      tag 0x13 [12 34 56 78] (TimeCode): 78:56:34:12\n"
                                      "  (payload cut short)\n");
    // A nested message cut short ends inside the nesting: its own line, one level deeper.
    std::vector<uint8_t> nested = Nesting(SeiMessage(6, {0x80}));
    nested.back()               = 0x00; // recovery_frame_cnt now runs past the nested payload
    EXPECT_EQ(Between(PrintSei(ctx, 37, nested), "  payload_type: 6", ""),
              "  payload_type: 6 \"recovery_point\"\n"
              "  payload_size: 1\n"
              "    (payload cut short)\n");
    // An Exp-Golomb code of more than 32 bits.
    EXPECT_EQ(PrintSei(ctx, 6, {0, 0, 0, 0, 0, 1}),
              "payload_type: 6 \"recovery_point\"\n"
              "payload_size: 6\n"
              "  (payload holds a code longer than 32 bits)\n");
}

TEST(H264Print, MvcExtensionListsOfSeveralViewsAndLevels)
{
    // Three views with 1 and 2 anchor references in list 0, none in list 1, then 0 and 1
    // non-anchor references; two level values with two and one operation points.
    H264NalParser ctx;
    Feed(ctx, {Unit(15, 3, [](Rbsp& r) {
             r.u(8, 118).u(8, 0).u(8, 40).ue(3).ue(1).ue(0).ue(0).u(1, 0).u(1, 0);
             r.ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(3).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
             r.u(1, 1).ue(2).ue(10).ue(11).ue(12);
             r.ue(1).ue(10).ue(0).ue(2).ue(10).ue(11).ue(0);
             r.ue(0).ue(0).ue(1).ue(12).ue(0);
             r.ue(1);
             r.u(8, 30).ue(1).u(3, 1).ue(0).ue(10).ue(0).u(3, 2).ue(1).ue(10).ue(11).ue(1);
             r.u(8, 40).ue(0).u(3, 3).ue(0).ue(12).ue(0);
             r.u(1, 0).u(1, 0);
         })});
    EXPECT_EQ(Printed([&](FILE* f) {
                  ctx.m_subsetSpsMap[3].seq_parameter_set_mvc_extension.Print(ctx, f, 0);
              }),
              "num_views_minus1: 2\n"
              "  view_id[0]: 10\n"
              "  view_id[1]: 11\n"
              "  view_id[2]: 12\n"
              "  num_anchor_refs_l0[1]: 1\n"
              "    anchor_ref_l0[1][0]: 10\n"
              "  num_anchor_refs_l1[1]: 0\n"
              "  num_anchor_refs_l0[2]: 2\n"
              "    anchor_ref_l0[2][0]: 10\n"
              "    anchor_ref_l0[2][1]: 11\n"
              "  num_anchor_refs_l1[2]: 0\n"
              "  num_non_anchor_refs_l0[1]: 0\n"
              "  num_non_anchor_refs_l1[1]: 0\n"
              "  num_non_anchor_refs_l0[2]: 1\n"
              "    non_anchor_ref_l0[2][0]: 12\n"
              "  num_non_anchor_refs_l1[2]: 0\n"
              "num_level_values_signalled_minus1: 1\n"
              "  level_idc[0]: 30\n"
              "  num_applicable_ops_minus1[0]: 1\n"
              "    applicable_op_temporal_id[0][0]: 1\n"
              "    applicable_op_num_target_views_minus1[0][0]: 0\n"
              "    applicable_op_target_view_id[0][0][0]: 10\n"
              "    applicable_op_num_views_minus1[0][0]: 0\n"
              "    applicable_op_temporal_id[0][1]: 2\n"
              "    applicable_op_num_target_views_minus1[0][1]: 1\n"
              "    applicable_op_target_view_id[0][1][0]: 10\n"
              "    applicable_op_target_view_id[0][1][1]: 11\n"
              "    applicable_op_num_views_minus1[0][1]: 1\n"
              "  level_idc[1]: 40\n"
              "  num_applicable_ops_minus1[1]: 0\n"
              "    applicable_op_temporal_id[1][0]: 3\n"
              "    applicable_op_num_target_views_minus1[1][0]: 0\n"
              "    applicable_op_target_view_id[1][0][0]: 12\n"
              "    applicable_op_num_views_minus1[1][0]: 0\n");
}
