// Sequence and picture parameter sets, the SPS extension and the subset SPS: what is read, and
// that Write gives back the same bytes. Units made by x264 and by hand (bits in the strings).
#include "h264/nal_parser.h"
#include "tests/h264/h264_units.h"

#include <gtest/gtest.h>

using h264_test::Bits;
using h264_test::Parse;
using h264_test::Rbsp;
using h264_test::Rewrite;
using h264_test::UE;
using h264_test::Unit;
using testing_support::Hex;

TEST(ParameterSets, X264UnitsRoundTrip)
{
    // SPS and PPS pairs of 64x48 streams by x264 (via ffmpeg): High with NAL HRD and
    // pic_struct, High 4:4:4 with custom 4x4 and 8x8 matrices in its PPS, High 10, constrained
    // Baseline, MBAFF, High with custom matrices in the PPS.
    struct Pair {
        const char *sps, *pps;
    } pairs[] = {
        {"67 64 00 14 ac d9 44 7b 01 10 00 00 03 00 10 00 00 03 03 06 04 00 0f 42 40 01 e8 4a "
         "4c 30 0f 8a 14 cb",
         "68 ef bc b0"},
        {"67 f4 00 0a 91 9b 28 8f 60 22 00 00 03 00 02 00 00 03 00 60 1e 24 4b 2c",
         "68 ef 8f 19 39 51 84 1c e8 c6 32 39 c4 19 10 80 21 21 00 43 08 0e 63 12 1c db 18 92 "
         "43 9b 6d 8c 49 24 87 36 db 6c 70 18 d2 49 0c 6d b6 39 24 86 36 c7 24 31 8e 01 90"},
        {"67 6e 00 0a a6 cd 94 47 b0 11 00 00 03 00 01 00 00 03 00 30 0f 12 25 96", "68 ef 8f cb"},
        {"67 42 c0 0a da 11 ec 04 40 00 00 03 00 40 00 00 0c 03 c4 89 a8", "68 ce 0f c8"},
        {"67 64 00 15 ac d9 44 4f cb 80 88 00 00 03 00 08 00 00 03 01 80 f8 a1 4c b0",
         "68 fe 8f cb"},
        {"67 64 00 0a ac d9 44 7b 01 10 00 00 03 00 10 00 00 03 03 00 f1 22 59 60",
         "68 ef 8f ce 54 61 07 3a 31 8c 8e 71 06 44 20 08 49 50 e0 80 f1 e8 70 e1 c1 01 e3 c7 "
         "8f 43 87 0e 1c 04 30 80 f0 21 0f 1e 3c 7a 1c 38 70 e0 21 8e 1c 87 8f 02 10 f1 e3 c2 "
         "03 87 01 0c 70 e4 3c 78 10 87 84 00 86 38 72 1e 3c 20 39 42 00 87"},
    };
    for (const Pair& pair : pairs) {
        H264NalParser p;
        auto sps = h264_test::Cat(Hex("00 00 00 01"), Hex(pair.sps));
        auto pps = h264_test::Cat(Hex("00 00 00 01"), Hex(pair.pps));
        ASSERT_EQ(Parse(p, sps), 0) << pair.sps;
        EXPECT_EQ(Rewrite(p), sps) << pair.sps;
        ASSERT_EQ(Parse(p, pps), 0) << pair.pps;
        EXPECT_EQ(Rewrite(p), pps) << pair.pps;
    }

    // Values as ffmpeg's trace_headers reads them.
    H264NalParser p;
    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[0].sps)));
    const CH264SeqParameterSetData& hrd = p.CurrentSps();
    EXPECT_EQ(hrd.profile_idc, 100u);
    EXPECT_EQ(hrd.level_idc, 20u);
    EXPECT_EQ(hrd.log2_max_pic_order_cnt_lsb_minus4, 2u);
    EXPECT_EQ(hrd.max_num_ref_frames, 4u);
    EXPECT_EQ(hrd.pic_width_in_mbs_minus1, 3u);
    EXPECT_EQ(hrd.pic_height_in_map_units_minus1, 2u);
    const CH264VuiParameters& vui = hrd.vui_parameters;
    EXPECT_EQ(vui.time_scale, 48u);
    ASSERT_EQ(vui.nal_hrd_parameters_present_flag, 1u);
    EXPECT_EQ(vui.nal_hrd_parameters.cpb_size_scale, 2u);
    ASSERT_EQ(vui.nal_hrd_parameters.bit_rate_value_minus1.size(), 1u);
    EXPECT_EQ(vui.nal_hrd_parameters.bit_rate_value_minus1[0], 15624u);
    EXPECT_EQ(vui.nal_hrd_parameters.cpb_size_value_minus1[0], 15624u);
    EXPECT_EQ(vui.nal_hrd_parameters.initial_cpb_removal_delay_length_minus1, 18u);
    EXPECT_EQ(vui.nal_hrd_parameters.cpb_removal_delay_length_minus1, 12u);
    EXPECT_EQ(vui.vcl_hrd_parameters_present_flag, 0u);
    EXPECT_EQ(vui.pic_struct_present_flag, 1u);
    EXPECT_EQ(vui.log2_max_mv_length_vertical, 9u);
    EXPECT_EQ(vui.max_num_reorder_frames, 2u);
    EXPECT_EQ(vui.max_dec_frame_buffering, 4u);

    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[1].sps)));
    EXPECT_EQ(p.CurrentSps().chroma_format_idc, 3u);
    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[1].pps)));
    EXPECT_EQ(p.CurrentPps().transform_8x8_mode_flag, 1u);
    EXPECT_EQ(p.CurrentPps().pic_scaling_list_present_flag.size(), 12u) << "4:4:4: six 8x8 lists";

    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[2].sps)));
    EXPECT_EQ(p.CurrentSps().bit_depth_luma_minus8, 2u);
    EXPECT_EQ(p.CurrentSps().bit_depth_chroma_minus8, 2u);

    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[3].sps)));
    EXPECT_EQ(p.CurrentSps().profile_idc, 66u);
    EXPECT_EQ(p.CurrentSps().chroma_format_idc, 1u) << "inferred outside the high profiles";

    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[4].sps)));
    EXPECT_EQ(p.CurrentSps().frame_mbs_only_flag, 0u);
    EXPECT_EQ(p.CurrentSps().mb_adaptive_frame_field_flag, 1u);

    Parse(p, h264_test::Cat(Hex("00 00 00 01"), Hex(pairs[5].pps)));
    EXPECT_EQ(p.CurrentPps().pic_scaling_list_present_flag.size(), 8u) << "4:2:0: two 8x8 lists";
}

// High profile, chroma 1, two scaling lists (the first ends early), pic_order_cnt_type 1 with
// two cycle offsets, 1920x1088 MBAFF with cropping, a VUI with every group: extended SAR, video
// signal with colour description, chroma location, timing, VCL HRD with two CPBs, bitstream
// restriction. ffmpeg's trace_headers reads the same values.
static const char* kFullSps =
    "01100100 000000 00 00011110 010 010 1 1 0 1 "
    "1 00100 011 000010011  0 0 0 0 0  1 000010001  0 " // present lists 0 and 6
    "1 010 0 00101 010 011 00110 00111 00101 0 0000001111000 00000100010 0 1 1 "
    "1 1 1 1 00101 1 "
    "1 11111111 0000000000000100 0000000000000011 0 1 101 0 1 00000001 00000001 00000001 "
    "1 1 011 1 00000000000000000000001111101001 00000000000000001110101001100000 1 0 "
    "1 010 0001 0011 1 010 1 011 00100 0 10111 10111 10111 11000 "
    "0 1 1 1 011 010 000010001 000010001 011 00101";

TEST(ParameterSets, SequenceParameterSetWithEveryPartRoundTrips)
{
    H264NalParser p;
    auto unit = Rbsp("67", kFullSps);
    ASSERT_EQ(Parse(p, unit), 0);
    EXPECT_EQ(p.m_currentSpsId, 1);
    const CH264SeqParameterSetData& sps = p.Sps(1);
    EXPECT_EQ(sps.seq_scaling_list_present_flag, (std::vector<uint32_t>{1, 0, 0, 0, 0, 0, 1, 0}));
    ASSERT_EQ(sps.delta_scale.size(), 8u);
    EXPECT_EQ(sps.delta_scale[0], (std::vector<int32_t>{2, -1, -9})) << "nextScale 0 ends it";
    EXPECT_EQ(sps.delta_scale[6], (std::vector<int32_t>{-8}));
    EXPECT_TRUE(sps.delta_scale[1].empty());
    EXPECT_EQ(sps.offset_for_non_ref_pic, -2);
    EXPECT_EQ(sps.offset_for_top_to_bottom_field, 1);
    EXPECT_EQ(sps.offset_for_ref_frame, (std::vector<int32_t>{3, -3}));
    EXPECT_EQ(sps.pic_width_in_mbs_minus1, 119u);
    EXPECT_EQ(sps.pic_height_in_map_units_minus1, 33u);
    EXPECT_EQ(sps.frame_crop_bottom_offset, 4u);
    const CH264VuiParameters& vui = sps.vui_parameters;
    EXPECT_EQ(vui.sar_width, 4u);
    EXPECT_EQ(vui.sar_height, 3u);
    EXPECT_EQ(vui.video_format, 5u);
    EXPECT_EQ(vui.chroma_sample_loc_type_bottom_field, 2u);
    EXPECT_EQ(vui.num_units_in_tick, 1001u);
    EXPECT_EQ(vui.time_scale, 60000u);
    const HrdParameters& hrd = vui.vcl_hrd_parameters;
    EXPECT_EQ(hrd.cpb_cnt_minus1, 1u);
    EXPECT_EQ(hrd.bit_rate_value_minus1, (std::vector<uint32_t>{0, 2}));
    EXPECT_EQ(hrd.cpb_size_value_minus1, (std::vector<uint32_t>{1, 3}));
    EXPECT_EQ(hrd.cbr_flag, (std::vector<uint32_t>{1, 0}));
    EXPECT_EQ(hrd.time_offset_length, 24u);
    EXPECT_EQ(vui.low_delay_hrd_flag, 0u);
    EXPECT_EQ(vui.max_dec_frame_buffering, 4u);
    EXPECT_EQ(Rewrite(p), unit);

    // The structure alone, without the context's trailing bits.
    CH264SeqParameterSetData copy = sps;
    H264BitWriter w;
    EXPECT_EQ(copy.Write(p, w), 0);
    EXPECT_EQ(w.BitCount(), 363u);
}

TEST(ParameterSets, ScalingListsKeepTheirCodedDeltas)
{
    // 16 positions: +2 -1 +3 then 0 thirteen times; a list of 64 whose first delta gives 0.
    auto bytes = Bits("00100 011 00110" + std::string(13, '1') + " 000010001 00000");
    H264BitReader r;
    r.Init(bytes.data(), bytes.size() * 8);
    std::vector<int32_t> a, b;
    ScalingList::Parse(a, 16, r);
    ScalingList::Parse(b, 64, r);
    EXPECT_EQ(a.size(), 16u);
    EXPECT_EQ(std::vector<int32_t>(a.begin(), a.begin() + 4), (std::vector<int32_t>{2, -1, 3, 0}));
    EXPECT_EQ(b, (std::vector<int32_t>{-8}));
    EXPECT_EQ(r.BitsLeft(), 5u);
    H264BitWriter w;
    ScalingList::Write(a, 16, w);
    ScalingList::Write(b, 64, w);
    w.WriteBits(5, 0);
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Size()), bytes);
}

TEST(ParameterSets, SpsExtensionWithAlphaValues)
{
    H264NalParser p;
    // id 0, aux_format_idc 1, bit_depth_aux_minus8 0, alpha_incr 1, two 9-bit values,
    // additional_extension_flag 0
    auto unit = Unit("6D", "1 010 1 1 111111111 000000001 0 1 000000");
    ASSERT_EQ(Parse(p, unit), 0);
    const CH264SeqParameterSetExtension& ext = p.CurrentSpsExtension();
    EXPECT_EQ(ext.aux_format_idc, 1u);
    EXPECT_EQ(ext.alpha_incr_flag, 1u);
    EXPECT_EQ(ext.alpha_opaque_value, 511u);
    EXPECT_EQ(ext.alpha_transparent_value, 1u);
    EXPECT_EQ(p.m_pictureCount, 0u);
    EXPECT_EQ(Rewrite(p), unit);
    // A width beyond 32 bits is refused by the reader.
    EXPECT_EQ(Parse(p, Unit("6D", "1 010 000011001 1 00")), -2);
}

TEST(ParameterSets, PictureParameterSetSliceGroupMaps)
{
    H264NalParser p;
    // Map type 6, four groups: six slice_group_id values of CeilLog2(4) = 2 bits.
    auto six = Rbsp("68", "1 1 0 0 00100 00111 00110 00 01 10 11 01 10 1 1 0 00 1 1 1 1 0 0");
    ASSERT_EQ(Parse(p, six), 0);
    const CH264PicParameterSet* pps = &p.Pps(0);
    EXPECT_EQ(pps->slice_group_map_type, 6u);
    EXPECT_EQ(pps->slice_group_id, (std::vector<uint32_t>{0, 1, 2, 3, 1, 2}));
    EXPECT_TRUE(pps->run_length_minus1.empty()) << "lists another map type reads stay empty";
    EXPECT_TRUE(pps->top_left.empty());
    EXPECT_EQ(pps->deblocking_filter_control_present_flag, 1u);
    EXPECT_FALSE(pps->m_extensionPresent);
    EXPECT_EQ(Rewrite(p), six);

    // Map type 0: a run length per group (checked with ffmpeg's trace_headers).
    auto zero = Rbsp("68", "010 1 0 1 011 1 00101 1 0001010 010 011 1 01 00111 00100 011 0 1 1");
    ASSERT_EQ(Parse(p, zero), 0);
    pps = &p.Pps(1);
    EXPECT_EQ(pps->run_length_minus1, (std::vector<uint32_t>{4, 0, 9}));
    EXPECT_EQ(pps->num_ref_idx_l1_default_active_minus1, 2u);
    EXPECT_EQ(pps->pic_init_qp_minus26, -3);
    EXPECT_EQ(pps->pic_init_qs_minus26, 2);
    EXPECT_EQ(pps->chroma_qp_index_offset, -1);
    EXPECT_TRUE(pps->slice_group_id.empty());
    EXPECT_EQ(Rewrite(p), zero);

    // Map type 2: a pair for every group but the last.
    auto two = Rbsp("68", "011 1 1 0 011 011 1 00110 0001000 0001010 1 1 0 00 1 1 1 1 0 0");
    ASSERT_EQ(Parse(p, two), 0);
    pps = &p.Pps(2);
    EXPECT_EQ(pps->top_left, (std::vector<uint32_t>{0, 7, 0}));
    EXPECT_EQ(pps->bottom_right, (std::vector<uint32_t>{5, 9, 0}));
    EXPECT_EQ(Rewrite(p), two);

    // Map type 4: direction and rate.
    auto four = Rbsp("68", "00100 1 1 0 010 00101 1 011 1 1 0 00 1 1 1 1 0 0");
    ASSERT_EQ(Parse(p, four), 0);
    pps = &p.Pps(3);
    EXPECT_EQ(pps->slice_group_change_direction_flag, 1u);
    EXPECT_EQ(pps->slice_group_change_rate_minus1, 2u);
    EXPECT_EQ(Rewrite(p), four);

    // Map type 1 reads nothing after the map type.
    auto one = Rbsp("68", "00101 1 0 0 010 010 1 1 0 00 1 1 1 1 0 0");
    ASSERT_EQ(Parse(p, one), 0);
    pps = &p.Pps(4);
    EXPECT_EQ(pps->slice_group_map_type, 1u);
    EXPECT_EQ(pps->deblocking_filter_control_present_flag, 1u);
    EXPECT_EQ(Rewrite(p), one);

    // Huge counts are refused before anything is allocated: 2^32 - 1 run lengths, and
    // 2^32 - 1 slice_group_id values in a few bytes.
    std::string huge = std::string(31, '0') + std::string(32, '1');
    EXPECT_EQ(Parse(p, Rbsp("68", "1 1 0 0 " + huge + " 1")), -3);
    EXPECT_EQ(Parse(p, Rbsp("68", "1 1 0 0 00100 00111 " + huge + " 00 01")), -3);
    EXPECT_EQ(p.m_ppsMap.size(), 5u);
}

TEST(ParameterSets, PictureParameterSetExtensionAndItsScalingLists)
{
    H264NalParser p;
    // Up to redundant_pic_cnt_present_flag, then exactly the stop bit and alignment: no
    // extension.
    std::string base = "1 1 0 0 1 1 1 0 00 1 1 1 0 0 0";
    auto plain       = Rbsp("68", base);
    ASSERT_EQ(Parse(p, plain), 0);
    EXPECT_FALSE(p.Pps(0).m_extensionPresent);
    EXPECT_EQ(p.Pps(0).transform_8x8_mode_flag, 0u);
    EXPECT_EQ(Rewrite(p), plain);

    // The same with trailing zero bytes: more than 8 bits left reads as the extension, whose
    // stop bit becomes transform_8x8_mode_flag and whose zeros run out in the se(v) value.
    auto trailing = h264_test::Cat(plain, Hex("00 00"));
    EXPECT_EQ(Parse(p, trailing), -3);

    // transform_8x8_mode_flag 1 and a matrix: 6 + 2 lists with a 4:2:0 SPS current.
    std::string ext = " 1 1  1 000010001  0 0 0 0 0  0 1 000010001  010";
    auto withLists  = Rbsp("68", base + ext);
    ASSERT_EQ(Parse(p, withLists), 0);
    const CH264PicParameterSet& pps = p.Pps(0);
    EXPECT_TRUE(pps.m_extensionPresent);
    EXPECT_EQ(pps.pic_scaling_list_present_flag, (std::vector<uint32_t>{1, 0, 0, 0, 0, 0, 0, 1}));
    EXPECT_EQ(pps.delta_scale[0], (std::vector<int32_t>{-8}));
    EXPECT_EQ(pps.delta_scale[7], (std::vector<int32_t>{-8}));
    EXPECT_EQ(pps.second_chroma_qp_index_offset, 1);
    EXPECT_EQ(Rewrite(p), withLists);

    // With a 4:4:4 SPS current there are 12 list flags, whatever SPS the PPS names.
    // profile 244, level 10, id 3, chroma 3, separate_colour_plane 0, ...
    auto sps444 =
        Rbsp("67", "11110100 00000000 00001010 00100 00100 0 1 1 0 0 1 1 1 1 0 1 1 1 1 0 0");
    ASSERT_EQ(Parse(p, sps444), 0);
    EXPECT_EQ(p.CurrentSps().chroma_format_idc, 3u);
    std::string twelve = " 1 1  1 000010001 " + std::string(10, '0') + " 1 000010001  1";
    auto lists12       = Rbsp("68", base + twelve);
    ASSERT_EQ(Parse(p, lists12), 0);
    EXPECT_EQ(p.Pps(0).pic_scaling_list_present_flag.size(), 12u);
    EXPECT_EQ(p.Pps(0).delta_scale[11], (std::vector<int32_t>{-8}));
    EXPECT_EQ(Rewrite(p), lists12);

    // separate_colour_plane_flag 1 counts as chroma 0: 8 lists again.
    auto spsPlanes =
        Rbsp("67", "11110100 00000000 00001010 00100 00100 1 1 1 0 0 1 1 1 1 0 1 1 1 1 0 0");
    ASSERT_EQ(Parse(p, spsPlanes), 0);
    ASSERT_EQ(Parse(p, withLists), 0);
    EXPECT_EQ(p.Pps(0).pic_scaling_list_present_flag.size(), 8u);
}

namespace
{
// seq_parameter_set_data() of a subset SPS: the profile, level 40, id 0 (for the high profiles
// chroma 1, 8-bit, no matrix), poc type 2, two reference frames, 4x3 macroblocks,
// frame_mbs_only as given.
std::string SpsPart(const std::string& profile, bool high = true, bool frameMbsOnly = true)
{
    return profile + " 00000000 00101000 1 " + (high ? "010 1 1 0 0 " : "") +
           "1 011 011 0 00100 011 " + (frameMbsOnly ? "1" : "0 0") + " 1 0 0 ";
}
} // namespace

TEST(ParameterSets, SubsetSpsWithMvcExtensionAndMvcVui)
{
    H264NalParser p;
    // Stereo High: two views, one anchor reference each way and one non-anchor reference in
    // list 0 for view 1, one level value with one operation point of two target views; an MVC
    // VUI with one operation point carrying timing and NAL HRD.
    auto unit = Rbsp("6F", SpsPart("10000000") +
                               "1 010 1 010 010 1 010 1 010 1 1 1 00101000 1 000 010 1 010 010 "
                               "1 1 001 1 010 1 00000000000000000000000000000001 "
                               "00000000000000000000000000110000 1 1 1 0000 0000 1 1 0 "
                               "10111 10111 10111 11000 0 1 0 "
                               "0");
    ASSERT_EQ(Parse(p, unit), 0);
    EXPECT_EQ(p.Sps(0).profile_idc, 128u);
    const CH264SubsetSeqParameterSetData& subset = p.SubsetSps(0);
    const CH264SeqParameterSetMVCExtension& mvc  = subset.seq_parameter_set_mvc_extension;
    EXPECT_EQ(mvc.num_views_minus1, 1u);
    EXPECT_EQ(mvc.view_id, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(mvc.num_anchor_refs_l0, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(mvc.anchor_ref_l0, (std::vector<uint32_t>{0})) << "view 0 has no lists";
    EXPECT_EQ(mvc.anchor_ref_l1, (std::vector<uint32_t>{0}));
    EXPECT_EQ(mvc.non_anchor_ref_l0, (std::vector<uint32_t>{0}));
    EXPECT_EQ(mvc.num_non_anchor_refs_l1, (std::vector<uint32_t>{0, 0}));
    EXPECT_TRUE(mvc.non_anchor_ref_l1.empty());
    EXPECT_EQ(mvc.level_idc, (std::vector<uint32_t>{40}));
    EXPECT_EQ(mvc.applicable_op_target_view_id, (std::vector<uint32_t>{0, 1}));
    EXPECT_EQ(mvc.applicable_op_num_views_minus1, (std::vector<uint32_t>{1}));
    ASSERT_EQ(subset.mvc_vui_parameters_present_flag, 1u);
    const CH264MVCVuiParametersExtension& vui = subset.mvc_vui_parameters_extension;
    EXPECT_EQ(vui.vui_mvc_temporal_id, (std::vector<uint32_t>{1}));
    EXPECT_EQ(vui.vui_mvc_view_id, (std::vector<uint32_t>{1}));
    EXPECT_EQ(vui.vui_mvc_time_scale, (std::vector<uint32_t>{48}));
    ASSERT_EQ(vui.vui_mvc_nal_hrd_parameters.size(), 1u);
    EXPECT_TRUE(vui.vui_mvc_vcl_hrd_parameters.empty());
    EXPECT_EQ(vui.vui_mvc_nal_hrd_parameters[0].time_offset_length, 24u);
    EXPECT_EQ(vui.vui_mvc_low_delay_hrd_flag, (std::vector<uint32_t>{1}));
    EXPECT_EQ(subset.additional_extension2_flag, 0u);
    EXPECT_EQ(p.m_pictureCount, 0u);
    EXPECT_EQ(Rewrite(p), unit);

    // Three views with lists of different lengths, two level values with three operation
    // points in all, and an MVC VUI whose second operation point alone has both HRD blocks:
    // the flat lists hold the entries in stream order.
    std::string hrd  = "1 0001 0010 1 1 0 00000 00001 00010 00011 ";
    std::string bits = SpsPart("10000000") + "1 " + UE(2) + UE(0) + UE(1) + UE(2); // 3 views
    bits += UE(1) + UE(0) + UE(0);                  // view 1 anchors: l0 {0}, l1 {}
    bits += UE(2) + UE(0) + UE(1) + UE(1) + UE(1);  // view 2 anchors: l0 {0, 1}, l1 {1}
    bits += UE(1) + UE(0) + UE(0);                  // view 1 non-anchors: l0 {0}, l1 {}
    bits += UE(0) + UE(1) + UE(0);                  // view 2 non-anchors: l0 {}, l1 {0}
    bits += UE(1);                                  // two level values
    bits += "00101000 " + UE(1);                    // level 40, two operation points
    bits += "000 " + UE(0) + UE(0) + UE(0);         // targets {0}
    bits += "001 " + UE(1) + UE(0) + UE(1) + UE(1); // targets {0, 1}
    bits += "00110010 " + UE(0);                    // level 50, one operation point
    bits += "010 " + UE(0) + UE(2) + UE(0);         // targets {2}
    bits += "1 " + UE(1);                           // MVC VUI, two operation points
    bits += "000 " + UE(0) + UE(0) + "0 0 0 0 ";    // no timing, no HRD
    bits += "001 " + UE(1) + UE(1) + UE(2) + "0 1 " + hrd + "1 " + hrd + "1 1 ";
    bits += "0"; // additional_extension2_flag
    auto three = Rbsp("6F", bits);
    ASSERT_EQ(Parse(p, three), 0);
    {
        const CH264SubsetSeqParameterSetData& s3   = p.SubsetSps(0);
        const CH264SeqParameterSetMVCExtension& m3 = s3.seq_parameter_set_mvc_extension;
        EXPECT_EQ(m3.view_id, (std::vector<uint32_t>{0, 1, 2}));
        EXPECT_EQ(m3.num_anchor_refs_l0, (std::vector<uint32_t>{0, 1, 2}));
        EXPECT_EQ(m3.anchor_ref_l0, (std::vector<uint32_t>{0, 0, 1}));
        EXPECT_EQ(m3.num_anchor_refs_l1, (std::vector<uint32_t>{0, 0, 1}));
        EXPECT_EQ(m3.anchor_ref_l1, (std::vector<uint32_t>{1}));
        EXPECT_EQ(m3.non_anchor_ref_l0, (std::vector<uint32_t>{0}));
        EXPECT_EQ(m3.non_anchor_ref_l1, (std::vector<uint32_t>{0}));
        EXPECT_EQ(m3.level_idc, (std::vector<uint32_t>{40, 50}));
        EXPECT_EQ(m3.num_applicable_ops_minus1, (std::vector<uint32_t>{1, 0}));
        EXPECT_EQ(m3.applicable_op_temporal_id, (std::vector<uint32_t>{0, 1, 2}));
        EXPECT_EQ(m3.applicable_op_num_target_views_minus1, (std::vector<uint32_t>{0, 1, 0}));
        EXPECT_EQ(m3.applicable_op_target_view_id, (std::vector<uint32_t>{0, 0, 1, 2}));
        EXPECT_EQ(m3.applicable_op_num_views_minus1, (std::vector<uint32_t>{0, 1, 0}));
        const CH264MVCVuiParametersExtension& v3 = s3.mvc_vui_parameters_extension;
        EXPECT_EQ(v3.vui_mvc_view_id, (std::vector<uint32_t>{0, 1, 2}));
        EXPECT_EQ(v3.vui_mvc_nal_hrd_parameters_present_flag, (std::vector<uint32_t>{0, 1}));
        ASSERT_EQ(v3.vui_mvc_nal_hrd_parameters.size(), 1u);
        ASSERT_EQ(v3.vui_mvc_vcl_hrd_parameters.size(), 1u);
        EXPECT_EQ(v3.vui_mvc_vcl_hrd_parameters[0].cpb_size_scale, 2u);
        EXPECT_EQ(v3.vui_mvc_vcl_hrd_parameters[0].time_offset_length, 3u);
        EXPECT_EQ(v3.vui_mvc_low_delay_hrd_flag, (std::vector<uint32_t>{0, 1}));
        EXPECT_EQ(v3.vui_mvc_pic_struct_present_flag, (std::vector<uint32_t>{0, 1}));
    }
    EXPECT_EQ(Rewrite(p), three);

    // One view: no reference lists at all; no MVC VUI.
    auto single = Rbsp("6F", SpsPart("10000000") + "1 1 1  1 00101000 1 000 1 1 1  0 0");
    ASSERT_EQ(Parse(p, single), 0);
    EXPECT_EQ(p.SubsetSps(0).seq_parameter_set_mvc_extension.num_anchor_refs_l0.size(), 1u);
    EXPECT_EQ(Rewrite(p), single);

    // Hostile counts in a short unit fail with "read past NAL end" before allocating: views,
    // level values, operation points, target views, MVC VUI operation points.
    std::string huge = std::string(31, '0') + std::string(32, '1');
    for (const std::string& mvcBits :
         {"1 " + huge + " 1", "1 1 1 " + huge, "1 1 1 1 00101000 " + huge,
          "1 1 1 1 00101000 1 000 " + huge, "1 1 1 1 00101000 1 000 1 1 1 1 " + huge}) {
        EXPECT_EQ(Parse(p, Rbsp("6F", SpsPart("10000000") + mvcBits + " 0")), -3) << mvcBits;
    }
}

TEST(ParameterSets, SubsetSpsOtherProfiles)
{
    H264NalParser p;
    // A plain SPS with id 0, then a subset SPS with the same id replaces it.
    ASSERT_EQ(Parse(p, Rbsp("67", SpsPart("01100100"))), 0);
    EXPECT_EQ(p.Sps(0).profile_idc, 100u);

    // Scalable High (83): one bit, then additional_extension2_flag.
    auto svc = Rbsp("6F", SpsPart("01010011") + "1 0");
    ASSERT_EQ(Parse(p, svc), 0);
    EXPECT_EQ(p.Sps(0).profile_idc, 83u) << "the subset SPS replaces the SPS of its id";
    EXPECT_EQ(p.SubsetSps(0).svc_vui_parameters_present_flag, 1u);
    EXPECT_EQ(Rewrite(p), svc);

    // MFC High (134), outside the profiles whose SPS carries the chroma format and bit depths:
    // mfc_format_idc 2 reads no default_grid_position_flag
    // but rpu_filter_enabled_flag and, without frame_mbs_only_flag, rpu_field_processing_flag.
    auto mfc = Rbsp("6F", SpsPart("10000110", false, false) + "1 1 1 1 00101000 1 000 1 1 1 " +
                              "000010 1 0  0 0");
    ASSERT_EQ(Parse(p, mfc), 0);
    const CH264SeqParameterSetMVCExtension& ext = p.SubsetSps(0).seq_parameter_set_mvc_extension;
    EXPECT_EQ(ext.mfc_format_idc, 2u);
    EXPECT_EQ(ext.default_grid_position_flag, 0u);
    EXPECT_EQ(ext.rpu_filter_enabled_flag, 1u);
    EXPECT_EQ(ext.rpu_field_processing_flag, 0u);
    EXPECT_EQ(Rewrite(p), mfc);
    // mfc_format_idc 1 with default_grid_position_flag 0: the four grid positions.
    auto grid = Rbsp("6F", SpsPart("10000110", false) + "1 1 1 1 00101000 1 000 1 1 1 " +
                               "000001 0 0001 0010 0011 0100 1 0 0");
    ASSERT_EQ(Parse(p, grid), 0);
    EXPECT_EQ(p.SubsetSps(0).seq_parameter_set_mvc_extension.view1_grid_position_y, 4u);
    EXPECT_EQ(Rewrite(p), grid);

    // additional_extension2_flag 1 followed by 0, 1 and the stop bit: the field ends as 1.
    auto more = Unit("6F", SpsPart("10001010") + "1 1 0 1 1 0000000");
    ASSERT_EQ(Parse(p, more), 0);
    EXPECT_EQ(p.SubsetSps(0).additional_extension2_flag, 1u);
    auto moreZero = Unit("6F", SpsPart("10001010") + "1 1 1 0 1 0000000");
    ASSERT_EQ(Parse(p, moreZero), 0);
    EXPECT_EQ(p.SubsetSps(0).additional_extension2_flag, 0u);

    // Any other profile: only additional_extension2_flag.
    auto other = Rbsp("6F", "01000010 00000000 00101000 1 1 011 011 0 00100 011 1 1 0 0  0");
    ASSERT_EQ(Parse(p, other), 0);
    EXPECT_EQ(Rewrite(p), other);
}
