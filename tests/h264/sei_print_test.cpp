// SEI payload printers that need no parameter set, on payloads built bit by bit.
#include "h264/bit_reader.h"
#include "h264/bit_writer.h"
#include "h264/sei_print.h"
#include "tests/h264/printed.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using testing_support::Hex;

namespace
{

std::vector<uint8_t> Bytes(const H264BitWriter& w)
{
    return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
}

H264BitReader Over(const std::vector<uint8_t>& bytes)
{
    H264BitReader r;
    r.Init(bytes.data(), bytes.size() * 8);
    return r;
}

std::vector<uint8_t> DiscVideoHeader(const char* type)
{
    std::vector<uint8_t> b(20);
    for (int i = 0; i < 20; ++i)
        b[i] = i < 16 ? kDiscVideoUserDataUuid[i] : uint8_t(type[i - 16]);
    return b;
}

// OFMD body after the type indicator: frame rate, PTS, then the offsets sequence by sequence.
std::vector<uint8_t> OfmdBody(uint32_t frameRate, uint64_t pts,
                              const std::vector<std::vector<int>>& sequences)
{
    H264BitWriter w;
    w.WriteBits(1, 1);
    w.WriteBits(3, 0);
    w.WriteBits(4, frameRate);
    w.WriteBits(5, 0);
    w.WriteBits(3, uint32_t(pts >> 30) & 7);
    w.WriteBits(1, 1);
    w.WriteBits(15, uint32_t(pts >> 15) & 0x7FFF);
    w.WriteBits(1, 1);
    w.WriteBits(15, uint32_t(pts) & 0x7FFF);
    w.WriteBits(1, 1);
    w.WriteBits(1, 0);
    w.WriteBits(6, uint32_t(sequences.size()));
    w.WriteBits(8, sequences.empty() ? 0 : uint32_t(sequences[0].size()));
    w.WriteBits(1, 1);
    w.WriteBits(15, 0);
    for (const auto& seq : sequences) {
        for (int v : seq) {
            w.WriteBits(1, v <= 0);
            w.WriteBits(7, uint32_t(v < 0 ? -v : v));
        }
    }
    return Bytes(w);
}

} // namespace

TEST(SeiPrint, PayloadTypeNames)
{
    EXPECT_STREQ(SeiPayloadTypeName(0), "buffering_period");
    EXPECT_STREQ(SeiPayloadTypeName(5), "user_data_unregistered");
    EXPECT_STREQ(SeiPayloadTypeName(37), "mvc_scalable_nesting");
    EXPECT_STREQ(SeiPayloadTypeName(45), "frame_packing_arrangement");
    EXPECT_STREQ(SeiPayloadTypeName(53), "depth_sampling_info");
    EXPECT_STREQ(SeiPayloadTypeName(54), "reserved_sei_message");
    EXPECT_STREQ(SeiPayloadTypeName(55), "reserved_sei_message");
    EXPECT_STREQ(SeiPayloadTypeName(56), "green_metadata");
    EXPECT_STREQ(SeiPayloadTypeName(100), "reserved_sei_message");
    EXPECT_STREQ(SeiPayloadTypeName(137), "mastering_display_colour_volume");
    EXPECT_STREQ(SeiPayloadTypeName(181), "alternative_depth_info");
    EXPECT_STREQ(SeiPayloadTypeName(261), "reserved_sei_message");
    EXPECT_STREQ(SeiPayloadTypeName(0xFFFFFFFF), "reserved_sei_message");
}

TEST(SeiPrint, RawListingSixteenToALineThenTheString)
{
    std::vector<uint8_t> bytes = Hex("41 42 00 7E 7F 20 FF 30 31 32 33 34 35 36 37 38 5A");
    EXPECT_EQ(Printed([&](FILE* f) { PrintSeiPayloadRaw(f, 1, bytes.data(), bytes.size()); }),
              "  0x41 0x42 0x00 0x7E 0x7F 0x20 0xFF 0x30 0x31 0x32 0x33 0x34 0x35 0x36 0x37 0x38\n"
              "  0x5A\n"
              "  string: \"AB.~. .012345678Z\"\n");
    std::vector<uint8_t> sixteen(16, 0x61);
    EXPECT_EQ(Printed([&](FILE* f) { PrintSeiPayloadRaw(f, 0, sixteen.data(), 16); }),
              "0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61 0x61\n"
              "string: \"aaaaaaaaaaaaaaaa\"\n");
    EXPECT_EQ(Printed([&](FILE* f) { PrintSeiPayloadRaw(f, 2, nullptr, 0); }),
              "    string: \"\"\n");
}

TEST(SeiPrint, GopStructureMapEntriesOfEightBits)
{
    std::vector<uint8_t> payload = DiscVideoHeader("GSMP");
    for (uint8_t b : Hex("00 03 0A 8C FF"))
        payload.push_back(b);
    H264BitReader r = Over(payload);
    int offset      = -1;
    std::string out = Printed([&](FILE* f) { offset = PrintUserDataUnregistered(f, 0, r); });
    EXPECT_EQ(offset, 0);
    // 0x8C: skipped bit 1, structure 1, type 4 (no name); 0xFF: structure 15, type 7.
    EXPECT_EQ(out, "uuid_iso_iec_11578: 17ee8c60f84d11d98cd60800200c9a66\n"
                   "type_indicator: GSMP\n"
                   "  number_of_pictures_in_GOP: 3\n"
                   "    picture_structure: (01) frame\n"
                   "    picture_type: (02) B non-reference\n"
                   "    picture_structure: (01) frame\n"
                   "    picture_type: (04) \n"
                   "    picture_structure: (0F) \n"
                   "    picture_type: (07) \n");
}

TEST(SeiPrint, OffsetMetadataFramesAcrossSequences)
{
    std::vector<uint8_t> body = OfmdBody(1, (uint64_t(1) << 32) + 5, {{3, 5, 0}, {-2, -7, 127}});
    H264BitReader r           = Over(body);
    EXPECT_EQ(Printed([&](FILE* f) { PrintOffsetMetadata(f, 1, r); }),
              "  frame_rate: 1\n"
              "  PTS: 4294967301\n"
              "  number_of_offset_sequences: 2\n"
              "  number_of_displayed_frames_in_GOP: 3\n"
              "    Plane_offset[*][  0]: (   3,  -2)\n"
              "    Plane_offset[*][  1]: (   5,  -7)\n"
              "    Plane_offset[*][  2]: (   0, 127)\n");
    EXPECT_EQ(r.BitsLeft(), 0u);
}

TEST(SeiPrint, PanScanRectLevels)
{
    H264BitWriter w;
    w.WriteUE(2); // id
    w.WriteBits(1, 0);
    w.WriteUE(0); // one rectangle
    w.WriteSE(-4);
    w.WriteSE(4);
    w.WriteSE(0);
    w.WriteSE(-1);
    w.WriteUE(1);
    std::vector<uint8_t> b = Bytes(w);
    H264BitReader r        = Over(b);
    EXPECT_EQ(Printed([&](FILE* f) { PrintPanScanRect(f, 0, r); }),
              "pan_scan_rect_id: 2\n"
              "pan_scan_rect_cancel_flag: 0\n"
              "    pan_scan_cnd_minus1: 0\n"
              "      pan_scan_rect_left_offset[0]: -4\n"
              "      pan_scan_rect_right_offset[0]: 4\n"
              "      pan_scan_rect_top_offset[0]: 0\n"
              "      pan_scan_rect_bottom_offset[0]: -1\n"
              "    pan_scan_rect_repetition_period: 1\n");

    std::vector<uint8_t> cancel = Hex("C0"); // id 0, cancel 1
    H264BitReader r2            = Over(cancel);
    EXPECT_EQ(Printed([&](FILE* f) { PrintPanScanRect(f, 0, r2); }),
              "pan_scan_rect_id: 0\n"
              "pan_scan_rect_cancel_flag: 1\n");
}

TEST(SeiPrint, RecoveryPointAndFramePacking)
{
    // recovery_frame_cnt 3 (00100), exact 1, broken 0, idc 2 (10): 0010 0101 0
    std::vector<uint8_t> rp = Hex("25 00");
    H264BitReader r         = Over(rp);
    EXPECT_EQ(Printed([&](FILE* f) { PrintRecoveryPoint(f, 0, r); }),
              "recovery_frame_cnt: 3\n"
              "exact_match_flag: 1\n"
              "broken_link_flag: 0\n"
              "changing_slice_group_idc: 2\n");

    for (uint32_t type : {3u, 5u}) {
        H264BitWriter w;
        w.WriteUE(0);
        w.WriteBits(1, 0);
        w.WriteBits(7, type);
        w.WriteBits(1, 0);    // quincunx
        w.WriteBits(6, 1);    // content_interpretation_type
        w.WriteBits(6, 0x21); // spatial_flipping .. frame1_self_contained
        if (type != 5)
            w.WriteBits(16, 0x1234);
        w.WriteBits(8, 0);
        w.WriteUE(1);
        w.WriteBits(1, 0);
        std::vector<uint8_t> b = Bytes(w);
        H264BitReader rf       = Over(b);
        std::string grid       = type == 5 ? ""
                                           : "  frame0_grid_position_x: 1\n"
                                             "  frame0_grid_position_y: 2\n"
                                             "  frame1_grid_position_x: 3\n"
                                             "  frame1_grid_position_y: 4\n";
        EXPECT_EQ(Printed([&](FILE* f) { PrintFramePackingArrangement(f, 0, rf); }),
                  "frame_packing_arrangement_id: 0\n"
                  "frame_packing_arrangement_cancel_flag: 0\n"
                  "  frame_packing_arrangement_type: " +
                      std::to_string(type) +
                      "\n"
                      "  quincunx_sampling_flag: 0\n"
                      "  content_interpretation_type: 1\n"
                      "  spatial_flipping_flag: 1\n"
                      "  frame0_flipped_flag: 0\n"
                      "  field_views_flag: 0\n"
                      "  current_frame_is_frame0_flag: 0\n"
                      "  frame0_self_contained_flag: 0\n"
                      "  frame1_self_contained_flag: 1\n" +
                      grid +
                      "  frame_packing_arrangement_reserved_byte: 0\n"
                      "  frame_packing_arrangement_repetition_period: 1\n"
                      "frame_packing_arrangement_extension_flag: 0\n");
    }
}
