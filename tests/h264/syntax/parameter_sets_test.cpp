// Sequence and picture parameter sets, the SPS extension and the subset SPS: Write gives back
// the bytes that were read, for units made by x264 and by hand; the quirks of what is read.
#include "h264/syntax/nal_parser.h"
#include "tests/h264/syntax/crafted_units.h"

#include <gtest/gtest.h>

TEST(ParameterSets, X264UnitsRoundTrip)
{
    // SPS and PPS pairs of 64x48 streams by x264 (via ffmpeg): High with NAL HRD and
    // pic_struct, High 4:4:4 with custom 4x4 and 8x8 matrices in its PPS, High 10, constrained
    // Baseline, MBAFF, High with custom matrices in the PPS.
    const char* const units[] = {
        "67 64 00 14 ac d9 44 7b 01 10 00 00 03 00 10 00 00 03 03 06 04 00 0f 42 40 01 e8 4a "
        "4c 30 0f 8a 14 cb",
        "68 ef bc b0",
        "67 f4 00 0a 91 9b 28 8f 60 22 00 00 03 00 02 00 00 03 00 60 1e 24 4b 2c",
        "68 ef 8f 19 39 51 84 1c e8 c6 32 39 c4 19 10 80 21 21 00 43 08 0e 63 12 1c db 18 92 "
        "43 9b 6d 8c 49 24 87 36 db 6c 70 18 d2 49 0c 6d b6 39 24 86 36 c7 24 31 8e 01 90",
        "67 6e 00 0a a6 cd 94 47 b0 11 00 00 03 00 01 00 00 03 00 30 0f 12 25 96",
        "68 ef 8f cb",
        "67 42 c0 0a da 11 ec 04 40 00 00 03 00 40 00 00 0c 03 c4 89 a8",
        "68 ce 0f c8",
        "67 64 00 15 ac d9 44 4f cb 80 88 00 00 03 00 08 00 00 03 01 80 f8 a1 4c b0",
        "68 fe 8f cb",
        "67 64 00 0a ac d9 44 7b 01 10 00 00 03 00 10 00 00 03 03 00 f1 22 59 60",
        "68 ef 8f ce 54 61 07 3a 31 8c 8e 71 06 44 20 08 49 50 e0 80 f1 e8 70 e1 c1 01 e3 c7 "
        "8f 43 87 0e 1c 04 30 80 f0 21 0f 1e 3c 7a 1c 38 70 e0 21 8e 1c 87 8f 02 10 f1 e3 c2 "
        "03 87 01 0c 70 e4 3c 78 10 87 84 00 86 38 72 1e 3c 20 39 42 00 87",
    };
    H264NalParser p;
    for (const char* hex : units) {
        auto unit = Concat({Hex("00 00 00 01"), Hex(hex)});
        ASSERT_EQ(ParseUnit(p, unit), 0) << hex;
        EXPECT_EQ(Rewrite(p), unit) << hex;
        // The 4:4:4 PPS has six 8x8 lists, the 4:2:0 ones two: the count follows the SPS.
        if (p.m_nalHeader.nal_unit_type == 8 && p.CurrentPps().pic_scaling_matrix_present_flag) {
            EXPECT_EQ(p.CurrentPps().pic_scaling_list_present_flag.size(),
                      p.CurrentSps().chroma_format_idc == 3 ? 12u : 8u);
        }
    }
    EXPECT_EQ(p.CurrentSps().profile_idc, 100u);
}

TEST(ParameterSets, CraftedUnitsRoundTrip)
{
    // Scaling lists ended early, a full VUI with two HRDs, a poc cycle, separate colour planes,
    // an alpha extension, PPS of every slice group map, subset SPS of the MVC, MFC and SVC
    // profiles: each written back right after it is read, as its SPS is current then.
    H264NalParser p;
    for (const auto& unit :
         {crafted::SpsMainPocCycle(), crafted::PpsGroups(2, 1, 1, 4),
          crafted::PpsGroups(5, 1, 3, 6), crafted::Sps444Planes(), crafted::PpsPlanes(),
          crafted::SpsHighInterlaced(), crafted::SpsExtensionAlpha(), crafted::PpsHighWeighted(),
          crafted::PpsGroups(3, 0, 1, 0), crafted::PpsGroups(4, 0, 2, 2),
          crafted::PpsGroups(7, 0, 1, 1), crafted::SubsetSpsTwoViews(),
          crafted::SubsetSpsThreeViews(), crafted::SubsetSpsMfc(), crafted::SubsetSpsSvc()}) {
        ASSERT_EQ(ParseUnit(p, unit), 0);
        EXPECT_EQ(Rewrite(p), unit) << "type " << p.m_nalHeader.nal_unit_type;
    }
    // Slice group lists that a map type does not read are not allocated.
    const CH264PicParameterSet& type6 = p.Pps(5);
    EXPECT_EQ(type6.slice_group_id.size(), 6u);
    EXPECT_TRUE(type6.run_length_minus1.empty() && type6.top_left.empty());
    // A subset SPS replaces the SPS of its id.
    EXPECT_EQ(p.Sps(2).profile_idc, 83u);
    EXPECT_EQ(p.SubsetSps(2).svc_vui_parameters_present_flag, 1u);
}

TEST(ParameterSets, PpsExtensionFollowsTheCurrentSpsAndTrailingZeros)
{
    H264NalParser p;
    auto pps = [](const std::vector<int>& present) {
        return Unit(8, 3, [&](Rbsp& r) {
            r.ue(0).ue(0).u(1, 0).u(1, 0).ue(0).ue(0).ue(0).u(1, 0).u(2, 0).se(0).se(0).se(0);
            r.u(1, 0).u(1, 0).u(1, 0);
            r.u(1, 1).u(1, 1); // transform_8x8_mode_flag, pic_scaling_matrix_present_flag
            for (int flag : present) {
                r.u(1, uint32_t(flag));
                if (flag)
                    r.se(-8);
            }
            r.se(1);
        });
    };
    // With a 4:4:4 SPS current there are 12 list flags, whatever SPS the PPS names, also with
    // separate colour planes (only the weight table counts their chroma format as 0).
    ASSERT_EQ(ParseUnit(p, crafted::SpsMainPocCycle()), 0);
    auto eight = pps({1, 0, 0, 0, 0, 0, 0, 1});
    ASSERT_EQ(ParseUnit(p, eight), 0);
    EXPECT_EQ(p.Pps(0).delta_scale[7], std::vector<int32_t>{-8});
    EXPECT_EQ(Rewrite(p), eight);
    ASSERT_EQ(ParseUnit(p, Unit(7, 3,
                                [](Rbsp& r) {
                                    r.u(8, 244).u(8, 0).u(8, 10).ue(3).ue(3).u(1, 0).ue(0).ue(0);
                                    r.u(1, 0).u(1, 0).ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(3).u(1, 1);
                                    r.u(1, 1).u(1, 0).u(1, 0);
                                })),
              0);
    auto twelve = pps({1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1});
    ASSERT_EQ(ParseUnit(p, twelve), 0);
    EXPECT_EQ(p.Pps(0).delta_scale[11], std::vector<int32_t>{-8});
    EXPECT_EQ(Rewrite(p), twelve);
    ASSERT_EQ(ParseUnit(p, crafted::Sps444Planes()), 0);
    ASSERT_EQ(ParseUnit(p, twelve), 0);
    EXPECT_EQ(p.Pps(0).delta_scale[11], std::vector<int32_t>{-8});
    EXPECT_EQ(p.Pps(0).second_chroma_qp_index_offset, 1);
    EXPECT_EQ(Rewrite(p), twelve);

    // A PPS without the extension followed by trailing zero bytes: more than 8 bits left read
    // as the extension, whose stop bit becomes transform_8x8_mode_flag and whose zeros run out
    // in the se(v) value. Without the zeros it has no extension.
    std::vector<uint8_t> plain = crafted::PpsGroups(1, 1, 0, 0);
    EXPECT_EQ(ParseUnit(p, Concat({plain, Hex("00 00")})), -3);
    EXPECT_EQ(p.m_ppsMap.count(1), 0u);
    ASSERT_EQ(ParseUnit(p, plain), 0);
    EXPECT_FALSE(p.Pps(1).m_extensionPresent);
}

TEST(ParameterSets, SubsetSpsAndExtensionEdges)
{
    H264NalParser p;
    // additional_extension2_flag 1, then data flags 0 and 1 kept in the same field: it ends as
    // the last one read.
    for (uint32_t last : {0u, 1u}) {
        ASSERT_EQ(ParseUnit(p, Unit(15, 3,
                                    [&](Rbsp& r) {
                                        r.u(8, 138).u(8, 0).u(8, 40).ue(0).ue(1).ue(0).ue(0).u(1,
                                                                                               0);
                                        r.u(1, 0).ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(3).u(1, 1);
                                        r.u(1, 1).u(1, 0).u(1, 0);
                                        r.u(1, 1).u(1, 1).u(1, 1 - last).u(1, last);
                                    })),
                  0);
        EXPECT_EQ(p.SubsetSps(0).additional_extension2_flag, last);
    }
    // An SPS extension whose alpha values would be wider than 32 bits: refused by the reader.
    EXPECT_EQ(ParseUnit(p, Unit(13, 3, [](Rbsp& r) { r.ue(0).ue(1).ue(24).u(1, 1); })), -2);
}
