// Hand-made NAL units that together reach every branch of the printed syntax: three SPS
// (interlaced High with scaling lists and a full VUI, Main with a picture order count cycle,
// 4:4:4 with separate colour planes), PPS with scaling lists, slice groups and without the
// extension, slices of every type, subset SPS, and SEI messages of the types the standard's
// tools know. Values stay inside the ranges that other readers check, so that they can read
// them too.
#pragma once

#include "tests/h264/syntax/unit_builder.h"

namespace crafted
{

inline const std::vector<uint8_t> kForeignUuid = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77,
                                                  0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff};
inline const std::vector<uint8_t> kDiscUuid    = {0x17, 0xee, 0x8c, 0x60, 0xf8, 0x4d, 0x11, 0xd9,
                                                  0x8c, 0xd6, 0x08, 0x00, 0x20, 0x0c, 0x9a, 0x66};

inline void Deltas(Rbsp& r, const std::vector<int32_t>& deltas)
{
    for (int32_t d : deltas)
        r.se(d);
}

// SPS 0: High, interlaced 1920x1088 (MBAFF), scaling lists 0 (sixteen +1 steps), 2 (ended
// by its third delta) and 6 (ended by its first), cropping, and every VUI group, with NAL
// and VCL HRD.
inline std::vector<uint8_t> SpsHighInterlaced()
{
    return Unit(7, 3, [](Rbsp& r) {
        r.u(8, 100).u(1, 0).u(1, 1).u(1, 0).u(1, 0).u(1, 1).u(1, 0).u(2, 0).u(8, 40);
        r.ue(0);                     // seq_parameter_set_id
        r.ue(1).ue(0).ue(0).u(1, 0); // chroma_format_idc, bit depths, bypass
        r.u(1, 1);                   // seq_scaling_matrix_present_flag
        r.u(1, 1);                   // list 0
        Deltas(r, std::vector<int32_t>(16, 1));
        r.u(1, 0).u(1, 1); // list 1 absent, list 2
        Deltas(r, {4, -2, -10});
        r.u(1, 0).u(1, 0).u(1, 0).u(1, 1); // lists 3 to 5 absent, list 6
        Deltas(r, {-8});
        r.u(1, 0);                      // list 7
        r.ue(2).ue(0).ue(3);            // log2_max_frame_num_minus4, poc type 0, lsb_minus4
        r.ue(3).u(1, 0).ue(119).ue(33); // refs, gaps, width, height
        r.u(1, 0).u(1, 1).u(1, 1);      // frame_mbs_only, mbaff, direct_8x8
        r.u(1, 1).ue(0).ue(0).ue(0).ue(4);
        r.u(1, 1);                             // vui_parameters_present_flag
        r.u(1, 1).u(8, 255).u(16, 4).u(16, 3); // aspect ratio
        r.u(1, 1).u(1, 1);                     // overscan
        r.u(1, 1).u(3, 5).u(1, 0).u(1, 1).u(8, 1).u(8, 1).u(8, 1);
        r.u(1, 1).ue(0).ue(1); // chroma location
        r.u(1, 1).u(32, 1001).u(32, 60000).u(1, 1);
        r.u(1, 1).ue(1).u(4, 4).u(4, 5); // NAL HRD, two CPBs
        r.ue(2999).ue(4999).u(1, 0).ue(1499).ue(999).u(1, 1);
        r.u(5, 23).u(5, 15).u(5, 9).u(5, 12);
        r.u(1, 1).ue(0).u(4, 2).u(4, 3); // VCL HRD, one CPB
        r.ue(99).ue(199).u(1, 1);
        r.u(5, 11).u(5, 7).u(5, 5).u(5, 0);
        r.u(1, 0).u(1, 1); // low_delay_hrd_flag, pic_struct_present_flag
        r.u(1, 1).u(1, 1).ue(2).ue(1).ue(15).ue(14).ue(2).ue(3);
    });
}

// SPS 1: Main, 2x3 macroblocks, picture order count type 1 with a cycle of two.
inline std::vector<uint8_t> SpsMainPocCycle()
{
    return Unit(7, 3, [](Rbsp& r) {
        r.u(8, 77).u(1, 0).u(1, 1).u(4, 0).u(2, 0).u(8, 30).ue(1);
        r.ue(0).ue(1); // log2_max_frame_num_minus4, poc type 1
        r.u(1, 0).se(-1).se(2).ue(2).se(3).se(-1);
        r.ue(2).u(1, 1).ue(1).ue(2);       // refs, gaps, width, height
        r.u(1, 1).u(1, 1).u(1, 0).u(1, 0); // frame_mbs_only, direct, cropping, vui
    });
}

// SPS 2: High 4:4:4 with separate colour planes, 10 bits, list 8 of 12 present.
inline std::vector<uint8_t> Sps444Planes()
{
    return Unit(7, 3, [](Rbsp& r) {
        r.u(8, 244).u(8, 0).u(8, 31).ue(2);
        r.ue(3).u(1, 1).ue(2).ue(2).u(1, 1); // chroma 3, separate planes, depths, bypass
        r.u(1, 1);
        for (int i = 0; i < 12; ++i) {
            r.u(1, i == 8);
            if (i == 8)
                Deltas(r, {-8});
        }
        r.ue(0).ue(2); // log2_max_frame_num_minus4, poc type 2
        r.ue(1).u(1, 0).ue(3).ue(3);
        r.u(1, 1).u(1, 1).u(1, 0).u(1, 0);
    });
}

// SPS extension of SPS 0: an alpha plane of 9 bits.
inline std::vector<uint8_t> SpsExtensionAlpha()
{
    return Unit(13, 3, [](Rbsp& r) { r.ue(0).ue(1).ue(0).u(1, 0).u(9, 300).u(9, 0).u(1, 0); });
}

// PPS 0 for SPS 0: CABAC, weighted prediction, redundant_pic_cnt, the extension with lists 0
// (ended by its second delta) and 6.
inline std::vector<uint8_t> PpsHighWeighted()
{
    return Unit(8, 3, [](Rbsp& r) {
        r.ue(0).ue(0).u(1, 1).u(1, 1).ue(0); // ids, CABAC, bottom field poc, no groups
        r.ue(2).ue(1).u(1, 1).u(2, 1).se(-3).se(2).se(-2);
        r.u(1, 1).u(1, 0).u(1, 1);
        r.u(1, 1).u(1, 1); // transform_8x8_mode_flag, pic_scaling_matrix_present_flag
        for (int i = 0; i < 8; ++i) {
            r.u(1, i == 0 || i == 6);
            if (i == 0)
                Deltas(r, {3, -11});
            if (i == 6)
                Deltas(r, {-8});
        }
        r.se(3);
    });
}

// PPS with slice groups and without the extension.
inline std::vector<uint8_t> PpsGroups(uint32_t ppsId, uint32_t spsId, uint32_t groupsMinus1,
                                      uint32_t mapType)
{
    return Unit(8, 3, [=](Rbsp& r) {
        r.ue(ppsId).ue(spsId).u(1, 0).u(1, 1).ue(groupsMinus1);
        if (groupsMinus1) {
            r.ue(mapType);
            if (mapType == 0)
                for (uint32_t i = 0; i <= groupsMinus1; ++i)
                    r.ue(i + 1);
            if (mapType == 2)
                for (uint32_t i = 0; i < groupsMinus1; ++i)
                    r.ue(5 * i).ue(5 * i + 10);
            if (mapType >= 3 && mapType <= 5)
                r.u(1, 1).ue(2);
            if (mapType == 6) {
                r.ue(5); // six map units, 2 bits each for four groups
                for (uint32_t i = 0; i < 6; ++i)
                    r.u(2, i % 4);
            }
        }
        r.ue(0).ue(0).u(1, 0).u(2, 0).se(0).se(0).se(0);
        r.u(1, 0).u(1, 1).u(1, 0);
    });
}

// PPS 6 for SPS 2: the extension without scaling lists.
inline std::vector<uint8_t> PpsPlanes()
{
    return Unit(8, 3, [](Rbsp& r) {
        r.ue(6).ue(2).u(1, 0).u(1, 0).ue(0).ue(0).ue(0).u(1, 0).u(2, 0).se(0).se(0).se(0);
        r.u(1, 0).u(1, 0).u(1, 0);
        r.u(1, 0).u(1, 0).se(-1);
    });
}

// cabac_alignment_one_bit up to the byte boundary, then a stand-in for the slice data.
inline void SliceData(Rbsp& r)
{
    while (!r.Aligned())
        r.u(1, 1);
    r.u(8, 0xA5);
}

// IDR I field (bottom) of PPS 0.
inline std::vector<uint8_t> SliceIdrField()
{
    return Unit(5, 3, [](Rbsp& r) {
        r.ue(0).ue(7).ue(0).u(6, 0).u(1, 1).u(1, 1).ue(3).u(7, 0).ue(0);
        r.u(1, 1).u(1, 0); // no_output_of_prior_pics_flag, long_term_reference_flag
        r.se(-11).ue(0).se(0).se(0);
        SliceData(r);
    });
}

// P frame of PPS 0: overridden count, list modification, weights, every marking operation.
inline std::vector<uint8_t> SliceP()
{
    return Unit(1, 2, [](Rbsp& r) {
        r.ue(0).ue(0).ue(0).u(6, 1).u(1, 0).u(7, 4).se(-1).ue(0);
        r.u(1, 1).ue(1);                         // override, l0 count 2
        r.u(1, 1).ue(0).ue(2).ue(2).ue(1).ue(3); // modification l0
        r.ue(5).ue(3);                           // weight denominators
        r.u(1, 1).se(3).se(-2).u(1, 1).se(1).se(-1).se(2).se(0);
        r.u(1, 0).u(1, 0);
        r.u(1, 1); // adaptive_ref_pic_marking_mode_flag
        r.ue(1).ue(4).ue(2).ue(0).ue(3).ue(1).ue(2).ue(4).ue(3).ue(6).ue(1).ue(5).ue(0);
        r.ue(2).se(3).ue(1); // cabac_init_idc, slice_qp_delta, deblocking off
        SliceData(r);
    });
}

// B field of PPS 0, not a reference: default counts, list 1 modified, both weight lists.
inline std::vector<uint8_t> SliceB()
{
    return Unit(1, 0, [](Rbsp& r) {
        r.ue(10).ue(6).ue(0).u(6, 2).u(1, 1).u(1, 0).u(7, 2).ue(1);
        r.u(1, 1).u(1, 0);                   // direct_spatial_mv_pred_flag, no override
        r.u(1, 0).u(1, 1).ue(1).ue(0).ue(3); // modification l1
        r.ue(0).ue(1);
        r.u(1, 0).u(1, 0);
        r.u(1, 1).se(1).se(1).u(1, 0);
        r.u(1, 0).u(1, 1).se(1).se(0).se(-1).se(2);
        r.u(1, 1).se(-2).se(4).u(1, 1).se(3).se(-3).se(0).se(1);
        r.u(1, 0).u(1, 0);
        r.ue(0).se(-2).ue(2).se(-1).se(1);
        SliceData(r);
    });
}

// SP and SI frames of PPS 0.
inline std::vector<uint8_t> SliceSP()
{
    return Unit(1, 2, [](Rbsp& r) {
        r.ue(20).ue(3).ue(0).u(6, 3).u(1, 0).u(7, 6).se(0).ue(0);
        r.u(1, 1).ue(0).u(1, 0);                   // override, l0 count 1, no modification
        r.ue(1).ue(2).u(1, 1).se(0).se(0).u(1, 0); // weights
        r.u(1, 0).ue(1).se(0).u(1, 1).se(-2).ue(0).se(2).se(-2);
        SliceData(r);
    });
}

inline std::vector<uint8_t> SliceSI()
{
    return Unit(1, 2, [](Rbsp& r) {
        r.ue(30).ue(9).ue(0).u(6, 4).u(1, 0).u(7, 8).se(1).ue(0);
        r.u(1, 0).se(1).se(3).ue(1);
        SliceData(r);
    });
}

// P frame of PPS 2 (SPS 1): both picture order count deltas and a slice group change cycle
// of 2 bits (six map units, rate 3).
inline std::vector<uint8_t> SliceGroupsPocCycle()
{
    return Unit(1, 1, [](Rbsp& r) {
        r.ue(0).ue(5).ue(2).u(4, 1).se(2).se(-1);
        r.u(1, 1).ue(0).u(1, 0).u(1, 0).se(0).u(2, 1);
        SliceData(r);
    });
}

// IDR of PPS 6 (SPS 2): colour_plane_id.
inline std::vector<uint8_t> SliceColourPlane()
{
    return Unit(5, 3, [](Rbsp& r) {
        r.ue(0).ue(7).ue(6).u(2, 2).u(4, 0).ue(0).u(1, 0).u(1, 1).se(0);
        SliceData(r);
    });
}

inline std::vector<uint8_t> BufferingPeriod()
{
    return SeiMessage(0, Payload([](Rbsp& r) {
                          r.ue(0).u(24, 90000).u(24, 1000).u(24, 45000).u(24, 0);
                          r.u(12, 4000).u(12, 10);
                      }));
}

// pic_struct 5: three clock timestamps, a full one, none, and one with every flag.
inline std::vector<uint8_t> PicTimingStruct5(uint32_t lastOffset = 1029)
{
    return SeiMessage(1, Payload([=](Rbsp& r) {
                          r.u(16, 2).u(10, 4).u(4, 5);
                          r.u(1, 1).u(2, 1).u(1, 1).u(5, 4).u(1, 1).u(1, 0).u(1, 1).u(8, 12);
                          r.u(6, 30).u(6, 15).u(5, 2).u(12, 5);
                          r.u(1, 0);
                          r.u(1, 1).u(2, 0).u(1, 0).u(5, 0).u(1, 0).u(1, 1).u(1, 0).u(8, 3);
                          r.u(1, 1).u(6, 59).u(1, 1).u(6, 7).u(1, 1).u(5, 23).u(12, lastOffset);
                      }));
}

inline std::vector<uint8_t> PanScanRect()
{
    return SeiMessage(2, Payload([](Rbsp& r) {
                          r.ue(1).u(1, 0).ue(1).se(-4).se(4).se(0).se(-1);
                          r.se(2).se(-2).se(8).se(-8).ue(1);
                      }));
}

inline std::vector<uint8_t> RecoveryPoint()
{
    return SeiMessage(6, Payload([](Rbsp& r) { r.ue(4).u(1, 1).u(1, 0).u(2, 0); }));
}

inline std::vector<uint8_t> FramePacking()
{
    return SeiMessage(45, Payload([](Rbsp& r) {
                          r.ue(2).u(1, 0).u(7, 4).u(1, 0).u(6, 1).u(1, 0).u(1, 0).u(1, 0);
                          r.u(1, 1).u(1, 0).u(1, 1).u(4, 1).u(4, 2).u(4, 3).u(4, 4);
                          r.u(8, 0).ue(1).u(1, 0);
                      }));
}

inline std::vector<uint8_t> UserDataForeign()
{
    std::vector<uint8_t> payload = kForeignUuid;
    for (char c : std::string("print side"))
        payload.push_back(uint8_t(c));
    return SeiMessage(5, payload);
}

inline std::vector<uint8_t> DiscUserData(const char* type, const std::vector<uint8_t>& body)
{
    std::vector<uint8_t> payload = kDiscUuid;
    payload.insert(payload.end(), type, type + 4);
    payload.insert(payload.end(), body.begin(), body.end());
    return SeiMessage(5, payload);
}

inline std::vector<uint8_t> Mdpm()
{
    return DiscUserData("MDPM", {2, 0x18, 0x02, 0x20, 0x17, 0x08, 0x19, 0x24, 0x13, 0x45, 0x10});
}

// Subset SPS 0, Stereo High: two views, one anchor reference each way for view 1, one
// non-anchor reference in list 0, one level value with one operation point, and an MVC VUI
// with timing and NAL HRD.
inline std::vector<uint8_t> SubsetSpsTwoViews()
{
    return Unit(15, 3, [](Rbsp& r) {
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
        r.u(1, 1).ue(0).u(4, 1).u(4, 2).ue(9).ue(19).u(1, 0);
        r.u(5, 23).u(5, 23).u(5, 23).u(5, 24);
        r.u(1, 0).u(1, 0).u(1, 1); // no VCL HRD, low delay, pic_struct
        r.u(1, 0);                 // additional_extension2_flag
    });
}

// Subset SPS 3: three views with 1 and 2 anchor references in list 0, none in list 1, then
// 0 and 1 non-anchor references; two level values with two and one operation points.
inline std::vector<uint8_t> SubsetSpsThreeViews()
{
    return Unit(15, 3, [](Rbsp& r) {
        r.u(8, 118).u(8, 0).u(8, 40).ue(3).ue(1).ue(0).ue(0).u(1, 0).u(1, 0);
        r.ue(0).ue(2).ue(1).u(1, 0).ue(3).ue(3).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
        r.u(1, 1).ue(2).ue(10).ue(11).ue(12);
        r.ue(1).ue(10).ue(0).ue(2).ue(10).ue(11).ue(0);
        r.ue(0).ue(0).ue(1).ue(12).ue(0);
        r.ue(1);
        r.u(8, 30).ue(1).u(3, 1).ue(0).ue(10).ue(0).u(3, 2).ue(1).ue(10).ue(11).ue(1);
        r.u(8, 40).ue(0).u(3, 3).ue(0).ue(12).ue(0);
        r.u(1, 0).u(1, 0);
    });
}

// Subset SPS 1, MFC High: the frame-compatible fields with grid positions, field coding.
inline std::vector<uint8_t> SubsetSpsMfc()
{
    return Unit(15, 3, [](Rbsp& r) {
        r.u(8, 134).u(8, 0).u(8, 40).ue(1).ue(0).ue(2).ue(1).u(1, 0).ue(0).ue(0);
        r.u(1, 0).u(1, 0).u(1, 1).u(1, 0).u(1, 0);
        r.u(1, 1).ue(0).ue(0).ue(0).u(8, 30).ue(0).u(3, 0).ue(0).ue(0).ue(0);
        r.u(6, 1).u(1, 0).u(4, 1).u(4, 2).u(4, 3).u(4, 4).u(1, 1).u(1, 0);
        r.u(1, 0).u(1, 0);
    });
}

// Subset SPS 2, Scalable Baseline: its one flag.
inline std::vector<uint8_t> SubsetSpsSvc()
{
    return Unit(15, 3, [](Rbsp& r) {
        r.u(8, 83).u(8, 0).u(8, 30).ue(2).ue(1).ue(0).ue(0).u(1, 0).u(1, 0);
        r.ue(0).ue(2).ue(1).u(1, 0).ue(0).ue(0).u(1, 1).u(1, 1).u(1, 0).u(1, 0);
        r.u(1, 1).u(1, 0);
    });
}

// Every unit above but the subset SPS (which other readers leave out) in an order that keeps each
// reader's idea of the current SPS right: the PPS with scaling lists follows its own SPS, the SEI
// follows a slice of SPS 0.
inline std::vector<uint8_t> HeadersStream()
{
    return Concat({
        Hex("00 00 00 01 09 F0"),
        SpsMainPocCycle(),
        Sps444Planes(),
        SpsHighInterlaced(),
        SpsExtensionAlpha(),
        PpsHighWeighted(),
        PpsGroups(2, 1, 1, 4),
        PpsGroups(3, 0, 1, 0),
        PpsGroups(4, 0, 2, 2),
        PpsGroups(5, 1, 3, 6),
        PpsPlanes(),
        SliceIdrField(),
        SeiUnit({BufferingPeriod(), PicTimingStruct5(), PanScanRect(), RecoveryPoint(),
                 FramePacking(), UserDataForeign(), Mdpm()}),
        SliceP(),
        SliceB(),
        SliceSP(),
        SliceSI(),
        SliceGroupsPocCycle(),
        SliceColourPlane(),
        Hex("00 00 00 01 0C FF FF FF 80 00 00 00 01 0A 00 00 00 01 0B"),
    });
}

} // namespace crafted
