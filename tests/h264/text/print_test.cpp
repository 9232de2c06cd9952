// The text form of the syntax structures: labels, levels and derived values, on units built
// field by field and parsed by the parse context. The values themselves are compared with
// ffmpeg's reading in the h264dump tests.
#include "h264/syntax/nal_parser.h"
#include "tests/h264/syntax/crafted_units.h"

#include <algorithm>
#include <gtest/gtest.h>

namespace
{

// A context that has parsed the units; each must parse without failure.
void Feed(H264NalParser& ctx, const std::vector<std::vector<uint8_t>>& units)
{
    for (const auto& u : units)
        ASSERT_EQ(ParseUnit(ctx, u), 0);
}

template <class T> std::string PrintOf(H264NalParser& ctx, T& structure, int level)
{
    return Printed([&](FILE* f) { structure.Print(ctx, f, level); });
}

std::string Repeat(const char* format, int from, int to, unsigned value)
{
    std::string out;
    char line[128];
    for (int j = from; j <= to; ++j) {
        snprintf(line, sizeof line, format, j, value);
        out += line;
    }
    return out;
}

} // namespace

TEST(H264Print, NalUnitHeadersAndRawPayloads)
{
    H264NalParser ctx;
    ParseUnit(ctx, Hex("00 00 01 65 88"));
    EXPECT_EQ(PrintOf(ctx, ctx.m_nalHeader, 0),
              "nal_unit_type:  5 \"Coded slice of an IDR picture\"\n"
              "  nal_ref_idc: 3\n");
    // Extension headers one level below the flags; each header is also written back alone,
    // without the unit's trailing byte.
    const std::pair<std::vector<uint8_t>, std::vector<std::string>> cases[] = {
        // Prefix unit, svc_extension_flag 0: the MVC extension header.
        {Unit(14, 3, [](Rbsp& r) { r.u(2, 1).u(6, 5).u(10, 1).u(3, 2).u(1, 1).u(1, 0).u(1, 1); }),
         {"nal_unit_type: 14 \"Prefix NAL unit\"", "  nal_ref_idc: 3", "  svc_extension_flag: 0",
          "  avc_3d_extension_flag: 0", "    non_idr_flag: 1", "    priority_id: 5",
          "    view_id: 1", "    temporal_id: 2", "    anchor_pic_flag: 1",
          "    inter_view_flag: 0", "    reserved_one_bit: 1"}},
        // Coded slice extension with svc_extension_flag 1: the SVC extension header.
        {Unit(20, 2,
              [](Rbsp& r) {
                  r.u(2, 3).u(6, 3).u(1, 0).u(3, 2).u(4, 1).u(3, 4).u(1, 0).u(1, 1).u(1, 1);
                  r.u(2, 3);
              }),
         {"nal_unit_type: 20 \"Coded slice extension\"", "  nal_ref_idc: 2",
          "  svc_extension_flag: 1", "  avc_3d_extension_flag: 0", "    idr_flag: 1",
          "    priority_id: 3", "    no_inter_layer_pred_flag: 0", "    dependency_id: 2",
          "    quality_id: 1", "    temporal_id: 4", "    use_ref_base_pic_flag: 0",
          "    discardable_flag: 1", "    output_flag: 1", "    reserved_three_2bits: 3"}},
        // Depth view slice with avc_3d_extension_flag 1: the 3D-AVC extension header.
        {Unit(21, 1, [](Rbsp& r) { r.u(1, 1).u(8, 7).u(1, 1).u(1, 0).u(3, 1).u(1, 1).u(1, 0); }),
         {"nal_unit_type: 21 \"Coded slice extension for depth view components\"",
          "  nal_ref_idc: 1", "  svc_extension_flag: 0", "  avc_3d_extension_flag: 1",
          "    view_idx: 7", "    depth_flag: 1", "    non_idr_flag: 0", "    temporal_id: 1",
          "    anchor_pic_flag: 1", "    inter_view_flag: 0"}},
    };
    for (const auto& [unit, lines] : cases) {
        ParseUnit(ctx, unit);
        std::string text = PrintOf(ctx, ctx.m_nalHeader, 0);
        ExpectLines(text, lines);
        EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::ptrdiff_t(lines.size()));
        EXPECT_EQ(Rewrite(ctx), std::vector<uint8_t>(unit.begin(), unit.end() - 1));
    }
    EXPECT_STREQ(NalUnitTypeName(24), "Reserved");

    // The rest of a type-24 unit: sixteen bytes to a line.
    ParseUnit(ctx, Hex("00 00 00 01 18 10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F 20"));
    EXPECT_EQ(PrintOf(ctx, ctx.m_rbsp, 1), "  10 11 12 13 14 15 16 17 18 19 1A 1B 1C 1D 1E 1F\n"
                                           "  20\n");
}

TEST(H264Print, SpsSizesScalingListsAndLevels)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsHighInterlaced(), crafted::SpsExtensionAlpha()});
    std::string out = PrintOf(ctx, ctx.m_spsMap[0], 1);
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
    // VUI groups one level deeper than their flags, HRD entries deeper still, but the
    // bitstream restriction values at the level of their flag.
    ExpectLines(out, {"    timing_info_present_flag: 1", "      fixed_frame_scale: 1",
                      "      cpb_cnt_minus1: 1", "        cbr_flag[1]: 1",
                      "    bitstream_restriction_flag: 1", "    max_dec_frame_buffering: 3"});
    ExpectLines(PrintOf(ctx, ctx.m_spsExtensionMap[0], 0),
                {"  alpha_opaque_value: 300 (9 bits)", "  alpha_transparent_value: 0 (9 bits)"});
}

TEST(H264Print, PpsEdgeCases)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsMainPocCycle(), crafted::PpsGroups(5, 1, 3, 6)});
    // Map type 6: the width of slice_group_id, then the ids; no extension, so its three
    // fields print as 0.
    std::string six = PrintOf(ctx, ctx.m_ppsMap[5], 0);
    EXPECT_EQ(Between(six, "num_slice_groups_minus1", "    slice_group_id[1]"),
              "num_slice_groups_minus1: 3\n"
              "  slice_group_map_type: 6\n"
              "  pic_size_in_map_units_minus1: 5\n"
              "  bits - 2\n"
              "    slice_group_id[0]: 0\n");
    EXPECT_EQ(Between(six, "transform_8x8_mode_flag", ""), "transform_8x8_mode_flag: 0\n"
                                                           "pic_scaling_matrix_present_flag: 0\n"
                                                           "second_chroma_qp_index_offset: 0\n");
    // The extension with scaling lists: flags one level deeper, lists at the same level.
    Feed(ctx, {crafted::SpsHighInterlaced(), crafted::PpsHighWeighted()});
    ExpectLines(PrintOf(ctx, ctx.m_ppsMap[0], 0),
                {"  pic_scaling_list_present_flag[0]: 1", "  delta: 3", "  scaling list[0][0]: 11",
                 "  pic_scaling_list_present_flag[7]: 0"});
}

TEST(H264Print, SliceHeaders)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SpsHighInterlaced(), crafted::PpsHighWeighted(), crafted::SliceIdrField()});
    EXPECT_EQ(Between(PrintOf(ctx, ctx.m_sliceHeader, 1), "  slice_type", "  redundant"),
              "  slice_type: 7 (I)\n"
              "  pic_parameter_set_id: 0\n"
              "  frame_num: 0 (6 bits)\n"
              "  field_pic_flag: 1\n"
              "    bottom_field_flag: 1\n"
              "  idr_pic_id: 3\n"
              "  pic_order_cnt_lsb: 0 (7 bits)\n");
    // Plain list modification values two levels below the flag; list 1 weights one level
    // shallower than list 0.
    Feed(ctx, {crafted::SliceP()});
    ExpectLines(PrintOf(ctx, ctx.m_sliceHeader, 0),
                {"ref_pic_list_modification_flag_l0: 1", "    abs_diff_pic_num_minus1: 2"});
    Feed(ctx, {crafted::SliceB()});
    ExpectLines(PrintOf(ctx, ctx.m_sliceHeader, 0),
                {"    luma_weight_l0_flag: 1", "      luma_weight_l0[1]: 1",
                 "  luma_weight_l1_flag: 1", "    luma_weight_l1[0]: -2"});

    // A slice type above 9 belongs to no class: no reference fields at all; a slice group
    // change cycle of 2 bits.
    Feed(ctx, {crafted::SpsMainPocCycle(), crafted::PpsGroups(2, 1, 1, 4), Unit(1, 0, [](Rbsp& r) {
                   r.ue(0).ue(12).ue(2).u(4, 0).se(0).se(0).u(1, 0).se(0).u(2, 0);
               })});
    EXPECT_EQ(PrintOf(ctx, ctx.m_sliceHeader, 0), "first_mb_in_slice: 0\n"
                                                  "slice_type: 12 (invalid)\n"
                                                  "pic_parameter_set_id: 2\n"
                                                  "frame_num: 0 (4 bits)\n"
                                                  "delta_pic_order_cnt[0]: 0\n"
                                                  "delta_pic_order_cnt[1]: 0\n"
                                                  "ref_pic_list_modification_flag_l0: 0\n"
                                                  "slice_qp_delta: 0\n"
                                                  "slice_group_change_cycle: 0 (2 bits)\n");

    // An MVC P slice: idc 4 and 5 carry abs_diff_view_idx_minus1; the values stand at the
    // level of their idc, one below the flag.
    Feed(ctx, {Unit(20, 2, [](Rbsp& r) {
             r.u(1, 0).u(1, 1).u(6, 0).u(10, 1).u(3, 0).u(1, 0).u(1, 1).u(1, 1);
             r.ue(0).ue(0).ue(2).u(4, 2).se(0).se(0).u(1, 0);
             r.u(1, 1).ue(4).ue(0).ue(5).ue(1).ue(0).ue(6).ue(3);
             r.u(1, 0).se(0).u(2, 0); // no marking, slice_qp_delta, change cycle
         })});
    EXPECT_EQ(Between(PrintOf(ctx, ctx.m_sliceHeader, 0), "  modification", "adaptive"),
              "  modification_of_pic_nums_idc: 4\n"
              "  abs_diff_view_idx_minus1: 0\n"
              "  modification_of_pic_nums_idc: 5\n"
              "  abs_diff_view_idx_minus1: 1\n"
              "  modification_of_pic_nums_idc: 0\n"
              "  abs_diff_pic_num_minus1: 6\n"
              "  modification_of_pic_nums_idc: 3\n");

    // A partition of a picture with colour planes and redundant_pic_cnt.
    Feed(ctx, {crafted::Sps444Planes(), Unit(8, 3, [](Rbsp& r) {
                   r.ue(9).ue(2).u(1, 0).u(1, 0).ue(0).ue(0).ue(0).u(1, 0).u(2, 0);
                   r.se(0).se(0).se(0).u(1, 0).u(1, 0).u(1, 1);
               })});
    Feed(ctx, {Unit(3, 3, [](Rbsp& r) { r.ue(5).u(2, 2).ue(1); })});
    EXPECT_EQ(PrintOf(ctx, ctx.m_partitionBC, 0), "slice_id: 5\n"
                                                  "colour_plane_id: 2\n"
                                                  "edundant_pic_cnt: 1\n");
}

TEST(H264Print, SubsetSps)
{
    H264NalParser ctx;
    Feed(ctx, {crafted::SubsetSpsTwoViews(), crafted::SubsetSpsMfc(), crafted::SubsetSpsSvc(),
               crafted::SubsetSpsThreeViews()});
    // Each prints against the current SPS, its own SPS part.
    ctx.m_currentSpsId = 0;
    std::string two    = PrintOf(ctx, ctx.m_subsetSpsMap[0], 1);
    ExpectLines(two, {"  num_views_minus1: 1", "    view_id[0]: 0", "    view_id[1]: 1",
                      "    num_anchor_refs_l0[1]: 1", "      anchor_ref_l0[1][0]: 0",
                      "    num_non_anchor_refs_l1[1]: 0", "  num_level_values_signalled_minus1: 0",
                      "    level_idc[0]: 40", "    num_applicable_ops_minus1[0]: 0",
                      "      applicable_op_temporal_id[0][0]: 0",
                      "      applicable_op_num_target_views_minus1[0][0]: 1",
                      "      applicable_op_target_view_id[0][0][0]: 0",
                      "      applicable_op_target_view_id[0][0][1]: 1",
                      "      applicable_op_num_views_minus1[0][0]: 1"});
    ExpectLines(two, {"      vui_mvc_view_id[0][0]: 1", "    vui_mvc_nal_hrd_parameters[0]:",
                      "      cpb_cnt_minus1: 0", "        bit_rate_value_minus1[0]: 9"});

    // Profile 134: the frame-compatible fields; an SVC profile: its one flag.
    ctx.m_currentSpsId = 1;
    ExpectLines(PrintOf(ctx, ctx.m_subsetSpsMap[1], 0),
                {"default_grid_position_flag: 0", "  view0_grid_position_x: 1",
                 "rpu_field_processing_flag: 0"});
    ctx.m_currentSpsId = 2;
    EXPECT_EQ(PrintOf(ctx, ctx.m_subsetSpsMap[2], 0), "svc_vui_parameters_present_flag: 1\n"
                                                      "additional_extension2_flag: 0\n");

    // Lists of several views and levels come out of the flat lists view by view.
    ctx.m_currentSpsId = 3;
    std::string three  = PrintOf(ctx, ctx.m_subsetSpsMap[3].seq_parameter_set_mvc_extension, 0);
    EXPECT_EQ(Between(three, "  num_anchor_refs_l0[2]", "  num_anchor_refs_l1[2]"),
              "  num_anchor_refs_l0[2]: 2\n"
              "    anchor_ref_l0[2][0]: 10\n"
              "    anchor_ref_l0[2][1]: 11\n");
    EXPECT_EQ(
        Between(three, "    applicable_op_target_view_id[0][1]", "  num_applicable_ops_minus1[1]"),
        "    applicable_op_target_view_id[0][1][0]: 10\n"
        "    applicable_op_target_view_id[0][1][1]: 11\n"
        "    applicable_op_num_views_minus1[0][1]: 1\n"
        "  level_idc[1]: 40\n");
}
