// SEI messages as text: the payload printers, the raw listing, nesting, cut payloads, and the
// MDPM recording information with its value formatters.
#include "h264/text/mdpm.h"
#include "h264/text/sei_print.h"
#include "tests/h264/syntax/crafted_units.h"

#include <gtest/gtest.h>

namespace
{

std::string PrintSei(H264NalParser& ctx, uint32_t type, const std::vector<uint8_t>& payload,
                     int level = 0)
{
    CH264SeiMessage m;
    m.payloadType = type;
    m.payloadData = payload;
    return Printed([&](FILE* f) { m.Print(ctx, f, level); });
}

std::vector<uint8_t> OfmdPayload(uint64_t pts, const std::vector<std::vector<int>>& sequences)
{
    std::vector<uint8_t> body = Payload([&](Rbsp& r) {
        r.u(1, 1).u(3, 0).u(4, 1).u(5, 0).u(3, uint32_t(pts >> 30) & 7).u(1, 1);
        r.u(15, uint32_t(pts >> 15) & 0x7FFF).u(1, 1).u(15, uint32_t(pts) & 0x7FFF).u(1, 1);
        r.u(1, 0).u(6, uint32_t(sequences.size())).u(8, uint32_t(sequences[0].size()));
        r.u(1, 1).u(15, 0);
        for (const auto& seq : sequences)
            for (int v : seq)
                r.u(1, v <= 0).u(7, uint32_t(v < 0 ? -v : v));
    });
    return PayloadOf(crafted::DiscUserData("OFMD", body));
}

// mvc_scalable_nesting() around one message: all view components, then the message.
std::vector<uint8_t> Nesting(const std::vector<uint8_t>& message)
{
    return Concat({{0x40}, message}); // operation_point_flag 0, all views 1, zero bits
}

} // namespace

TEST(SeiPrint, NamesAndRawListings)
{
    EXPECT_STREQ(SeiPayloadTypeName(54), "reserved_sei_message");
    EXPECT_STREQ(SeiPayloadTypeName(55), "reserved_sei_message");

    H264NalParser ctx;
    EXPECT_EQ(
        PrintSei(ctx, 100, Hex("41 42 00 7E 7F 20 FF 30 31 32 33 34 35 36 37 38 5A"), 1),
        "  payload_type: 100 \"reserved_sei_message\"\n"
        "  payload_size: 17\n"
        "    0x41 0x42 0x00 0x7E 0x7F 0x20 0xFF 0x30 0x31 0x32 0x33 0x34 0x35 0x36 0x37 0x38\n"
        "    0x5A\n"
        "    string: \"AB.~. .012345678Z\"\n");
    // The nesting messages of SVC and MVCD are listed, not decoded.
    EXPECT_EQ(PrintSei(ctx, 30, {0x80, 0x05}), "payload_type: 30 \"scalable_nesting\"\n"
                                               "payload_size: 2\n"
                                               "  0x80 0x05\n"
                                               "  string: \"..\"\n");
    EXPECT_EQ(Between(PrintSei(ctx, 48, {0x40}), "payload_type", "payload_size"),
              "payload_type: 48 \"mvcd_scalable_nesting\"\n");
    // No payload bytes: no listing at all.
    EXPECT_EQ(PrintSei(ctx, 5, {}), "payload_type: 5 \"user_data_unregistered\"\n"
                                    "payload_size: 0\n");
    // A foreign UUID: the rest as bytes; "GA94": the bytes after the type indicator.
    EXPECT_EQ(PrintSei(ctx, 5, Concat({crafted::kForeignUuid, {1, 2, 3, 4}})),
              "payload_type: 5 \"user_data_unregistered\"\n"
              "payload_size: 20\n"
              "  uuid_iso_iec_11578: 00112233445566778899aabbccddeeff\n"
              "  0x01 0x02 0x03 0x04\n"
              "  string: \"....\"\n");
    EXPECT_EQ(Between(PrintSei(ctx, 5, PayloadOf(crafted::DiscUserData("GA94", {0x47, 0x00}))),
                      "  type_indicator", ""),
              "  type_indicator: GA94\n"
              "  0x47 0x00\n"
              "  string: \"G.\"\n");
}

TEST(SeiPrint, TimingFromTheCurrentSps)
{
    H264NalParser ctx;
    for (const auto& unit : {crafted::SpsMainPocCycle(), crafted::SpsHighInterlaced()})
        ASSERT_EQ(ParseUnit(ctx, unit), 0);
    // pic_struct 5: three timestamps, the third with every flag, each group one level deeper;
    // time_offset read unsigned and printed with %d.
    ExpectLines(PrintSei(ctx, 1, PayloadOf(crafted::PicTimingStruct5(4000))),
                {"  cpb_removal_delay: 2 (16 bits)", "  dpb_output_delay: 4 (10 bits)",
                 "  pict_struct: 5 (NumClockTS: 3)", "  clock_timestamp_flag[2]: 1",
                 "    nuit_field_base_flag: 1", "      seconds_flag: 1", "        minutes_flag: 1",
                 "          hours_flag: 1", "            hours_value: 23",
                 "    time_offset: 4000 (12 bits)"});
    // The buffering period takes the HRDs of the current SPS (0), whatever id it names.
    std::vector<uint8_t> otherId =
        Payload([](Rbsp& r) { r.ue(1).u(24, 7).u(24, 8).u(24, 9).u(24, 10).u(12, 11).u(12, 12); });
    EXPECT_EQ(Between(PrintSei(ctx, 0, otherId), "  seq", ""),
              "  seq_parameter_set_id: 1\n"
              "  initial_cpb_removal_delay[0]: 7\n"
              "  initial_cpb_removal_delay_offset[0]: 8\n"
              "  initial_cpb_removal_delay[1]: 9\n"
              "  initial_cpb_removal_delay_offset[1]: 10\n"
              "  initial_cpb_removal_delay[0]: 11\n"
              "  initial_cpb_removal_delay_offset[0]: 12\n");

    // Without any HRD a clock timestamp still carries a 24-bit time_offset. The SPS has a VUI
    // with only pic_struct_present_flag.
    ASSERT_EQ(ParseUnit(ctx, Unit(7, 3,
                                  [](Rbsp& r) {
                                      r.u(8, 77).u(16, 30).ue(3).ue(0).ue(2).ue(1).u(1, 0).ue(1).ue(
                                          1);
                                      r.u(4, 13).u(5, 0).u(4, 2);
                                  })),
              0);
    std::vector<uint8_t> plain = Payload([](Rbsp& r) {
        r.u(4, 0).u(1, 1).u(2, 0).u(1, 0).u(5, 0).u(1, 1).u(1, 0).u(1, 0).u(8, 0);
        r.u(6, 1).u(6, 2).u(5, 3).u(24, 0xABCDEF);
    });
    EXPECT_EQ(Between(PrintSei(ctx, 1, plain), "    time_offset", ""),
              "    time_offset: 11259375 (24 bits)\n");
}

TEST(SeiPrint, NestingWithOffsetMetadataAndItsDepthLimit)
{
    H264NalParser ctx;
    auto ofmd = SeiMessage(5, OfmdPayload((uint64_t(1) << 32) + 5, {{3, 5, 0}, {-2, -7, 127}}));
    ExpectLines(
        PrintSei(ctx, 37, Nesting(ofmd)),
        {"payload_size: 39", "    all_view_components_in_au_flag: 1",
         "  payload_type: 5 \"user_data_unregistered\"", "    type_indicator: OFMD",
         "      frame_rate: 1", "      PTS: 4294967301", "      number_of_offset_sequences: 2",
         "      number_of_displayed_frames_in_GOP: 3", "        Plane_offset[*][  0]: (   3,  -2)",
         "        Plane_offset[*][  2]: (   0, 127)"});

    // An operation point with two views.
    auto op = Concat({Payload([](Rbsp& r) { r.u(1, 1).ue(1).u(10, 3).u(10, 1000).u(3, 2); }),
                      crafted::RecoveryPoint()});
    EXPECT_EQ(Between(PrintSei(ctx, 37, op), "  operation_point_flag", "  payload_size"),
              "  operation_point_flag: 1\n"
              "    num_view_components_op_minus1: 1\n"
              "      sei_op_view_id[0]: 3\n"
              "      sei_op_view_id[1]: 1000\n"
              "    sei_op_temporal_id: 2\n"
              "  payload_type: 6 \"recovery_point\"\n");
    // Past eight levels the rest is listed as bytes, so that a unit full of nesting cannot
    // exhaust the stack.
    std::vector<uint8_t> message = crafted::RecoveryPoint();
    for (int i = 0; i < 50; ++i)
        message = SeiMessage(37, Nesting(message));
    std::string out = PrintSei(ctx, 37, PayloadOf(message));
    size_t decoded  = 0;
    for (size_t at = 0; (at = out.find("all_view_components_in_au_flag: 1", at)) != out.npos; ++at)
        ++decoded;
    EXPECT_EQ(decoded, 8u);
    EXPECT_NE(out.find("string: \""), std::string::npos);
    EXPECT_EQ(out.find("recovery_frame_cnt"), std::string::npos);
}

TEST(SeiPrint, CutPayloadUnderEveryPrinter)
{
    H264NalParser ctx;
    ASSERT_EQ(ParseUnit(ctx, crafted::SpsHighInterlaced()), 0);
    struct Case {
        uint32_t type;
        std::vector<uint8_t> payload;
        size_t needed; // bytes the printer reads: the whole payload, or a foreign UUID
    };
    std::vector<Case> cases = {
        {0, PayloadOf(crafted::BufferingPeriod()), 16},
        {1, PayloadOf(crafted::PicTimingStruct5()), 17},
        {2, PayloadOf(crafted::PanScanRect()), 7},
        {5, PayloadOf(crafted::UserDataForeign()), 16},
        {5, PayloadOf(crafted::Mdpm()), 31},
        {5, PayloadOf(crafted::DiscUserData("GSMP", {0x00, 0x02, 0x0A, 0x8C})), 24},
        {5, OfmdPayload(5, {{1, 2, 3}, {-1, -2, -3}}), 36},
        {6, PayloadOf(crafted::RecoveryPoint()), 2},
        {37, Nesting(crafted::RecoveryPoint()), 5},
        {45, PayloadOf(crafted::FramePacking()), 7},
    };
    const std::string tail = "  (payload cut short)\n";
    for (const Case& c : cases) {
        for (size_t k = 1; k <= c.payload.size(); ++k) {
            std::vector<uint8_t> cut(c.payload.begin(), c.payload.begin() + std::ptrdiff_t(k));
            std::string out = PrintSei(ctx, c.type, cut);
            bool endsCut    = out.size() > tail.size() &&
                           out.compare(out.size() - tail.size(), tail.size(), tail) == 0;
            EXPECT_EQ(endsCut, k < c.needed) << "type " << c.type << " cut to " << k << ":\n"
                                             << out;
        }
    }

    // What was read is shown, then the one line.
    auto mdpm = PayloadOf(crafted::DiscUserData("MDPM", {3, 0x13, 0x12, 0x34, 0x56, 0x78}));
    EXPECT_EQ(Between(PrintSei(ctx, 5, mdpm), "    tag_count", ""),
              "    tag_count: 3\n"
              "      tag 0x13 [12 34 56 78] (TimeCode): 78:56:34:12\n"
              "  (payload cut short)\n");
    // A payload cut inside its type indicator shows the UUID before the cut.
    std::vector<uint8_t> indicatorCut = PayloadOf(crafted::Mdpm());
    indicatorCut.resize(18);
    EXPECT_EQ(Between(PrintSei(ctx, 5, indicatorCut), "payload_size", ""),
              "payload_size: 18\n"
              "  uuid_iso_iec_11578: 17ee8c60f84d11d98cd60800200c9a66\n"
              "  (payload cut short)\n");
    // A nested message cut short ends inside the nesting: its own line, one level deeper.
    std::vector<uint8_t> nested = Nesting(SeiMessage(6, {0x00}));
    EXPECT_EQ(Between(PrintSei(ctx, 37, nested), "  payload_type: 6", ""),
              "  payload_type: 6 \"recovery_point\"\n"
              "  payload_size: 1\n"
              "    (payload cut short)\n");
    EXPECT_EQ(Between(PrintSei(ctx, 6, {0, 0, 0, 0, 0, 1}), "payload_size", ""),
              "payload_size: 6\n"
              "  (payload holds a code longer than 32 bits)\n");
}

TEST(SeiPrint, GopStructureMapPanScanAndFramePacking)
{
    H264NalParser ctx;
    // Entries of 8 bits: 0x8C is a skipped bit 1, structure 1, type 4 (no name); 0xFF is
    // structure 15, type 7.
    EXPECT_EQ(
        Between(PrintSei(ctx, 5, PayloadOf(crafted::DiscUserData("GSMP", Hex("00 03 0A 8C FF")))),
                "  type_indicator", ""),
        "  type_indicator: GSMP\n"
        "    number_of_pictures_in_GOP: 3\n"
        "      picture_structure: (01) frame\n"
        "      picture_type: (02) B non-reference\n"
        "      picture_structure: (01) frame\n"
        "      picture_type: (04) \n"
        "      picture_structure: (0F) \n"
        "      picture_type: (07) \n");
    EXPECT_EQ(Between(PrintSei(ctx, 2, PayloadOf(crafted::PanScanRect())), "  pan_scan_rect_cancel",
                      "        pan_scan_rect_right_offset[0]"),
              "  pan_scan_rect_cancel_flag: 0\n"
              "      pan_scan_cnd_minus1: 1\n"
              "        pan_scan_rect_left_offset[0]: -4\n");
    // Type 5 reads no grid positions.
    auto packing = Payload(
        [](Rbsp& r) { r.ue(0).u(1, 0).u(7, 5).u(1, 0).u(6, 1).u(6, 0x21).u(8, 0).ue(1).u(1, 0); });
    EXPECT_EQ(Between(PrintSei(ctx, 45, packing), "    frame1_self", ""),
              "    frame1_self_contained_flag: 1\n"
              "    frame_packing_arrangement_reserved_byte: 0\n"
              "    frame_packing_arrangement_repetition_period: 1\n"
              "  frame_packing_arrangement_extension_flag: 0\n");
}

TEST(Mdpm, TagLinesAndValueTexts)
{
    auto payload = Hex("09 13 12345678 18 02201708 19 24134510 42 00000001 72 00000002 "
                       "70 1800ff8c E0 10113000 E1 06ffffff EE 00000000");
    H264BitReader r;
    r.Init(payload.data(), payload.size() * 8);
    EXPECT_EQ(Printed([&](FILE* f) { PrintMdpm(f, 1, r); }),
              "  tag_count: 9\n"
              "    tag 0x13 [12 34 56 78] (TimeCode): 78:56:34:12\n"
              "    tag 0x18 [02 20 17 08] (YearMonthOriginal): timezone +01:00, 2017-08-\n"
              "    tag 0x19 [24 13 45 10] (DayTimeOriginal):   24 13:45:10\n"
              "    tag 0x42 [00 00 00 01] (ProgramRecDTime)\n"
              "    tag 0x72 [00 00 00 02] \n"
              "    tag 0x70 [18 00 FF 8C] (Camera1): ApertureSetting = 8.0 (0x18), Gain = -3 dB, "
              "ExposureProgram = Program AE, WhiteBalance = undefined (0xE0), Focus = Manual. "
              "0.03 (0x8C)\n"
              "    tag 0xE0 [10 11 30 00] (MakeModel): Canon 0x3000\n"
              "    tag 0xE1 [06 FF FF FF] (MakerOption): FXP 17 Mbps\n"
              "    tag 0xEE [00 00 00 00] (MakerOption): \n");

    const struct {
        std::string (*format)(uint32_t);
        uint32_t value;
        const char* text;
    } cases[] = {
        {FormatMdpmDateZone, 0x03201708, "timezone +01:30, 2017-08-"},
        {FormatMdpmDateZone, 0x62201708, "timezone -01:00 DST, 2017-08-"},
        // The aperture exponent is a real quotient.
        {FormatMdpmCamera1, 0x1940E0FF,
         "ApertureSetting = 8.7 (0x19), Gain = -3 dB, ExposureProgram = Manual, "
         "WhiteBalance = undefined (0xE0), Focus = undefined"},
        {FormatMdpmCamera1, 0xFF5F8015,
         "ApertureSetting = Auto, Gain = Out of range, ExposureProgram = 0x50, "
         "WhiteBalance =  (0x80), Focus = Auto. 0.5 (0x15)"},
        // Stabilisation from the second byte: a Sony, a Panasonic; bit 4 tells the others.
        {FormatMdpmCamera2, 0xDF3FFF10, "ImageStabilization = On  (0x3f)"},
        {FormatMdpmCamera2, 0xFF7FFFFF, "ImageStabilization = On  (0x7F)"},
        {FormatMdpmCamera2, 0x00BF0000, "ImageStabilization = Off (0xBF)"},
        {FormatMdpmCamera2, 0x3FEFFFFF, "ImageStabilization = Off (0xEF)"},
        {FormatMdpmCamera2, 0xFF00FFFF, "ImageStabilization = Off"},
        // The exposure word is little-endian: a Sony (50i) and a Panasonic, 1/50 s each.
        {FormatMdpmExposureTime, 0x00003282, "ExposureTime = 0.0199822 (0x8232)"},
        {FormatMdpmExposureTime, 0xFFFF3382, "ExposureTime = 0.0200178 (0x8233)"},
        {FormatMdpmExposureTime, 0x0000DD6D, "ExposureTime = 1 (0x6DDD)"},
        {FormatMdpmExposureTime, 0x0000FF7F, "ExposureTime = undefined"},
        {FormatMdpmExposureTime, 0x00007FFF, "ExposureTime = 1.1605 (0xFF7F)"},
        {FormatMdpmMaker, 0xABCD00EF, "??? (ABCD) 0x00EF"},
        {FormatMdpmRecordingMode, 0x04000000, "SP   7 Mbps"},
        {FormatMdpmRecordingMode, 0x03000000, "???"},
        // The time code's nibbles are not range-checked: 0A is 10, FF is 15 * 10 + 15.
        {FormatMdpmTimeCode, 0xFF0A0000, "00:00:10:165"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.format(c.value), c.text) << std::hex << c.value;

    // Names cover ranges of tags and leave the gaps between them empty.
    for (auto [tag, name] : {std::pair<uint32_t, const char*>{0x05, "ControlPR_StartPoint"},
                             {0xAF, "ExifOption"},
                             {0x21, ""},
                             {0xF0, ""},
                             {0x113, ""}})
        EXPECT_STREQ(MdpmTagName(tag), name) << tag;
}
