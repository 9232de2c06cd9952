// Slice headers read against the stored parameter sets: conditional fields, reference list
// modifications, prediction weights, reference marking, MVC slices, and what an unknown or
// hostile value does.
#include "h264/nal_parser.h"
#include "tests/h264/h264_units.h"

#include <gtest/gtest.h>

using h264_test::Parse;
using h264_test::Rbsp;
using h264_test::SE;
using h264_test::U;
using h264_test::UE;

namespace
{

class SliceHeader : public testing::Test
{
  protected:
    void SetUp() override
    {
        // Main profile, id 0: 4-bit frame_num, poc type 0 with a 4-bit lsb, 11x9 macroblocks.
        ASSERT_EQ(Parse(p, Rbsp("67", "01001101 00000000 00011110 " + UE(0) + UE(0) + UE(0) +
                                          UE(0) + UE(2) + "0 " + UE(10) + UE(8) + "1 1 0 0")),
                  0);
        // PPS 0: CAVLC, no weights, deblocking control present.
        ASSERT_EQ(Parse(p, Rbsp("68", UE(0) + UE(0) + "0 0 " + UE(0) + UE(0) + UE(0) + "0 00 " +
                                          SE(0) + SE(0) + SE(0) + "1 0 0")),
                  0);
        // PPS 1: list-0 default 2 (three entries), weighted_pred_flag.
        ASSERT_EQ(Parse(p, Rbsp("68", UE(1) + UE(0) + "0 0 " + UE(0) + UE(2) + UE(0) + "1 00 " +
                                          SE(0) + SE(0) + SE(0) + "0 0 0")),
                  0);
        // PPS 2: list-1 default 1, weighted_bipred_idc 1, CABAC.
        ASSERT_EQ(Parse(p, Rbsp("68", UE(2) + UE(0) + "1 0 " + UE(0) + UE(0) + UE(1) + "0 01 " +
                                          SE(0) + SE(0) + SE(0) + "0 0 0")),
                  0);
    }

    H264NalParser p;
};

} // namespace

TEST_F(SliceHeader, PredictionWeightsFromThePpsDefaultCount)
{
    // P slice (5), PPS 1, no override: three list-0 weight entries.
    std::string bits = UE(0) + UE(5) + UE(1) + U(4, 1) + U(4, 2) + "0 " + "0 " + // no mod.
                       UE(6) + UE(5) +                                           // denominators
                       "1 " + SE(-3) + SE(2) + "0 " +                            // entry 0
                       "0 1 " + SE(1) + SE(-1) + SE(0) + SE(0) +                 // entry 1
                       "0 0 " +                                                  // entry 2
                       "0 " + SE(-4) + "1010 1010";                              // marking, qp
    ASSERT_EQ(Parse(p, Rbsp("41", bits)), 0);
    const CH264SliceHeader& sh = p.m_sliceHeader;
    EXPECT_TRUE(sh.IsP());
    EXPECT_EQ(sh.num_ref_idx_active_override_flag, 0u);
    EXPECT_EQ(sh.num_ref_idx_l0_active_minus1, 2u) << "the PPS default";
    const CH264PredWeightTable& w = sh.pred_weight_table;
    EXPECT_EQ(w.luma_log2_weight_denom, 6u);
    EXPECT_EQ(w.chroma_log2_weight_denom, 5u);
    ASSERT_EQ(w.weights_l0.size(), 3u);
    EXPECT_EQ(w.weights_l0[0].luma_weight, -3);
    EXPECT_EQ(w.weights_l0[0].luma_offset, 2);
    EXPECT_EQ(w.weights_l0[1].luma_weight, 0);
    EXPECT_EQ(w.weights_l0[1].chroma_weight[0], 1);
    EXPECT_EQ(w.weights_l0[1].chroma_offset[0], -1);
    EXPECT_EQ(w.weights_l0[2].chroma_weight_flag, 0u);
    EXPECT_TRUE(w.weights_l1.empty());
    EXPECT_EQ(sh.slice_qp_delta, -4);
    EXPECT_EQ(p.m_currentPpsId, 1);
    EXPECT_EQ(p.m_currentSpsId, 0);

    // The same slice with override and a hostile count: refused before the table is sized.
    std::string hostile = UE(0) + UE(5) + UE(1) + U(4, 1) + U(4, 2) + "1 " + UE(0xFFFFFFFEu) +
                          "0 " + UE(6) + UE(5) + "1 " + SE(-3) + SE(2) + "0";
    EXPECT_EQ(Parse(p, Rbsp("41", hostile)), -3);
    EXPECT_TRUE(p.m_sliceHeader.pred_weight_table.weights_l0.empty());
}

TEST_F(SliceHeader, BSliceListsAndWeights)
{
    // B slice (1), PPS 2, override 2 + 1 references; list 0 modified (idc 0, then 3); weights
    // for both lists, list 1 one entry with chroma only; CABAC: cabac_init_idc.
    std::string bits = UE(0) + UE(1) + UE(2) + U(4, 2) + U(4, 4) + "1 " + "1 " + UE(1) + UE(0) +
                       "1 " + UE(0) + UE(2) + UE(3) + "0 " +      // list 0: idc 0, 3
                       UE(0) + UE(0) +                            // denominators
                       "1 " + SE(1) + SE(0) + "0 " + "0 0 " +     // list 0
                       "0 1 " + SE(1) + SE(-1) + SE(2) + SE(-2) + // list 1
                       UE(2) + SE(0);                             // cabac_init_idc, qp
    ASSERT_EQ(Parse(p, Rbsp("01", bits)), 0);
    const CH264SliceHeader& sh = p.m_sliceHeader;
    EXPECT_EQ(sh.direct_spatial_mv_pred_flag, 1u);
    EXPECT_EQ(sh.num_ref_idx_l0_active_minus1, 1u);
    EXPECT_EQ(sh.num_ref_idx_l1_active_minus1, 0u);
    const CH264RefPicListModification& m = sh.ref_pic_list_modification;
    ASSERT_EQ(m.modification_l0.size(), 2u) << "the final idc 3 is kept";
    EXPECT_EQ(m.modification_l0[0].abs_diff_pic_num_minus1, 2u);
    EXPECT_EQ(m.modification_l0[1].modification_of_pic_nums_idc, 3u);
    EXPECT_EQ(m.ref_pic_list_modification_flag_l1, 0u);
    ASSERT_EQ(sh.pred_weight_table.weights_l0.size(), 2u);
    ASSERT_EQ(sh.pred_weight_table.weights_l1.size(), 1u);
    EXPECT_EQ(sh.pred_weight_table.weights_l1[0].chroma_weight[1], 2);
    EXPECT_EQ(sh.pred_weight_table.weights_l1[0].chroma_offset[1], -2);
    EXPECT_EQ(sh.cabac_init_idc, 2u);
    EXPECT_TRUE(sh.dec_ref_pic_marking.operations.empty()) << "nal_ref_idc 0: no marking";
}

TEST_F(SliceHeader, ReferencePictureMarking)
{
    // IDR I slice, nal_ref_idc 3: idr_pic_id and the two IDR flags; deblocking idc 1 reads no
    // offsets.
    std::string idr = UE(0) + UE(7) + UE(0) + U(4, 0) + UE(3) + U(4, 0) + "1 0 " + SE(0) + UE(1);
    ASSERT_EQ(Parse(p, Rbsp("65", idr)), 0);
    const CH264SliceHeader& sh = p.m_sliceHeader;
    EXPECT_EQ(sh.idr_pic_id, 3u);
    EXPECT_EQ(sh.dec_ref_pic_marking.no_output_of_prior_pics_flag, 1u);
    EXPECT_EQ(sh.disable_deblocking_filter_idc, 1u);

    // Non-IDR reference P slice with adaptive marking: operations 1, 3, 4, then 0; deblocking
    // idc 0 with both offsets.
    std::string ref = UE(0) + UE(0) + UE(0) + U(4, 3) + U(4, 6) + "0 0 " + "1 " + UE(1) + UE(0) +
                      UE(3) + UE(1) + UE(2) + UE(4) + UE(5) + UE(0) + SE(0) + UE(0) + SE(1) +
                      SE(-1);
    ASSERT_EQ(Parse(p, Rbsp("21", ref)), 0);
    const CH264DecRefPicMarking& mark = sh.dec_ref_pic_marking;
    EXPECT_EQ(mark.no_output_of_prior_pics_flag, 0u) << "cleared for the next slice";
    ASSERT_EQ(mark.operations.size(), 4u);
    EXPECT_EQ(mark.operations[1].difference_of_pic_nums_minus1, 1u);
    EXPECT_EQ(mark.operations[1].long_term_frame_idx, 2u);
    EXPECT_EQ(mark.operations[2].max_long_term_frame_idx_plus1, 5u);
    EXPECT_EQ(mark.operations[3].memory_management_control_operation, 0u);
    EXPECT_EQ(sh.slice_alpha_c0_offset_div2, 1);
    EXPECT_EQ(sh.slice_beta_offset_div2, -1);
    H264BitWriter w;
    EXPECT_EQ(p.m_sliceHeader.dec_ref_pic_marking.Write(p, w), 1);
    EXPECT_EQ(p.m_sliceHeader.Write(p, w), 1);
    EXPECT_EQ(w.BitCount(), 0u) << "slice headers are not written";

    // A marking loop that never meets operation 0 ends at the end of the unit.
    std::string endless = UE(0) + UE(0) + UE(0) + U(4, 3) + U(4, 6) + "0 0 1 " + UE(5) + UE(5);
    EXPECT_EQ(Parse(p, Rbsp("21", endless)), -3);
}

TEST_F(SliceHeader, MvcSliceReadsTheMvcListModification)
{
    // Type 20, svc_extension_flag 0, MVC header of view 1; list 0: idc 4, 5, then 3.
    std::string bits = UE(0) + UE(0) + UE(0) + U(4, 0) + U(4, 0) + "0 " + "1 " + UE(4) + UE(0) +
                       UE(5) + UE(1) + UE(3) + "0 " + SE(0) + UE(1);
    ASSERT_EQ(Parse(p, Rbsp("74 40 00 4B", bits)), 0);
    EXPECT_EQ(p.m_nalHeader.nal_unit_header_mvc_extension.view_id, 1u);
    const CH264RefPicListMVCModification& m = p.m_sliceHeader.ref_pic_list_mvc_modification;
    ASSERT_EQ(m.modification_l0.size(), 3u);
    EXPECT_EQ(m.modification_l0[0].abs_diff_view_idx_minus1, 0u);
    EXPECT_EQ(m.modification_l0[1].modification_of_pic_nums_idc, 5u);
    EXPECT_EQ(m.modification_l0[1].abs_diff_view_idx_minus1, 1u);
    EXPECT_TRUE(p.m_sliceHeader.ref_pic_list_modification.modification_l0.empty());

    // The plain form reads nothing for idc 4 and goes on.
    std::string plain = UE(0) + UE(0) + UE(0) + U(4, 0) + U(4, 0) + "0 " + "1 " + UE(4) + UE(3) +
                        "0 " + SE(0) + UE(1);
    ASSERT_EQ(Parse(p, Rbsp("21", plain)), 0);
    ASSERT_EQ(p.m_sliceHeader.ref_pic_list_modification.modification_l0.size(), 2u);
    EXPECT_EQ(p.m_sliceHeader.disable_deblocking_filter_idc, 1u);

    // An SVC slice (svc_extension_flag 1) reads no slice header.
    ASSERT_EQ(Parse(p, Rbsp("74 80 00 00", "0101")), 0);
    EXPECT_EQ(p.m_sliceHeader.disable_deblocking_filter_idc, 1u) << "still the last header";
}

TEST_F(SliceHeader, SliceGroupChangeCycleWidth)
{
    // PPS 3: two slice groups, map type 4, change rate 1. 99 macroblocks: CeilLog2(100) = 7.
    ASSERT_EQ(Parse(p, Rbsp("68", UE(3) + UE(0) + "0 0 " + UE(1) + UE(4) + "0 " + UE(0) + UE(0) +
                                      UE(0) + "0 00 " + SE(0) + SE(0) + SE(0) + "0 0 0")),
              0);
    ASSERT_EQ(Parse(p, Rbsp("01", UE(0) + UE(2) + UE(3) + U(4, 0) + U(4, 0) + SE(0) + "1010101 1")),
              0);
    EXPECT_EQ(p.m_sliceHeader.slice_group_change_cycle, 85u);
}

TEST_F(SliceHeader, UnknownParameterSetsReadAsEmptyWithoutBeingStored)
{
    size_t ppsCount = p.m_ppsMap.size(), spsCount = p.m_spsMap.size();
    // PPS 77 was never seen: an empty PPS naming SPS 0. Its frame_num has 4 bits.
    ASSERT_EQ(Parse(p, Rbsp("01", UE(0) + UE(2) + UE(77) + U(4, 9) + U(4, 5) + SE(0))), 0);
    EXPECT_EQ(p.m_currentPpsId, 77);
    EXPECT_EQ(p.m_currentSpsId, 0);
    EXPECT_EQ(p.m_sliceHeader.frame_num, 9u);
    EXPECT_EQ(p.m_ppsMap.size(), ppsCount);
    // A PPS naming SPS 5, which does not exist: every SPS condition reads as 0, so frame_num
    // and pic_order_cnt_lsb have 4 bits and field_pic_flag is read (frame_mbs_only_flag 0).
    ASSERT_EQ(Parse(p, Rbsp("68", UE(9) + UE(5) + "0 0 " + UE(0) + UE(0) + UE(0) + "0 00 " + SE(0) +
                                      SE(0) + SE(0) + "0 0 0")),
              0);
    ASSERT_EQ(Parse(p, Rbsp("01", UE(0) + UE(2) + UE(9) + U(4, 3) + "1 1 " + U(4, 7) + SE(0))), 0);
    EXPECT_EQ(p.m_currentSpsId, 5);
    EXPECT_EQ(p.CurrentSps().profile_idc, 0u);
    EXPECT_EQ(p.m_sliceHeader.field_pic_flag, 1u);
    EXPECT_EQ(p.m_sliceHeader.bottom_field_flag, 1u);
    EXPECT_EQ(p.m_sliceHeader.pic_order_cnt_lsb, 7u);
    EXPECT_EQ(p.m_spsMap.size(), spsCount);
    EXPECT_EQ(p.m_ppsMap.size(), ppsCount + 1);
}

TEST_F(SliceHeader, DataPartitions)
{
    // Partition A: the slice header, then slice_id; B and C: slice_id alone (PPS 0 has no
    // redundant_pic_cnt, the SPS no colour planes).
    std::string header = UE(0) + UE(0) + UE(0) + U(4, 1) + U(4, 2) + "0 0 " + SE(0) + UE(1);
    ASSERT_EQ(Parse(p, Rbsp("02", header + UE(6))), 0);
    EXPECT_EQ(p.m_partitionA.slice_id, 6u);
    ASSERT_EQ(Parse(p, Rbsp("03", UE(6) + "1111")), 0);
    EXPECT_EQ(p.m_partitionBC.slice_id, 6u);
    EXPECT_FALSE(p.m_newPicture);
    auto c = Rbsp("04", UE(7));
    ASSERT_EQ(Parse(p, c), 0);
    EXPECT_EQ(p.m_partitionBC.slice_id, 7u);
    H264BitWriter w;
    EXPECT_EQ(p.m_partitionBC.Write(p, w), 0);
    EXPECT_EQ(w.BitCount(), 7u);
}
