// MDPM value formatters and the payload printer, on values whose bytes are given most
// significant first as they stand in the stream.
#include "h264/bit_reader.h"
#include "h264/mdpm.h"
#include "tests/h264/printed.h"
#include "tests/support/test_support.h"

#include <gtest/gtest.h>

using testing_support::Hex;

TEST(MdpmFormat, DateZoneAndDayTime)
{
    EXPECT_EQ(FormatMdpmDateZone(0x02201708), "timezone +01:00, 2017-08-");
    EXPECT_EQ(FormatMdpmDateZone(0x03201708), "timezone +01:30, 2017-08-");
    EXPECT_EQ(FormatMdpmDateZone(0x22201708), "timezone -01:00, 2017-08-");
    EXPECT_EQ(FormatMdpmDateZone(0x42201708), "timezone +01:00 DST, 2017-08-");
    EXPECT_EQ(FormatMdpmDateZone(0x18199912), "timezone +12:00, 1999-12-");
    EXPECT_EQ(FormatMdpmDayTime(0x24134510), "24 13:45:10");
    EXPECT_EQ(FormatMdpmBytes(0x24134510), "[24 13 45 10]");
}

TEST(MdpmFormat, Camera1)
{
    // Aperture 0x18, gain code 4, program AE, white balance Hold, manual focus 0x0C / 400.
    EXPECT_EQ(FormatMdpmCamera1(0x1804208C),
              "ApertureSetting = 8.0 (0x18), Gain = 9 dB, ExposureProgram = Program AE, "
              "WhiteBalance = Hold (0x20), Focus = Manual. 0.03 (0x8C)");
    // The aperture exponent is a real quotient; gain code 0 is -3 dB, signed.
    EXPECT_EQ(FormatMdpmCamera1(0x1940E0FF),
              "ApertureSetting = 8.7 (0x19), Gain = -3 dB, ExposureProgram = Manual, "
              "WhiteBalance = undefined (0xE0), Focus = undefined");
    // Focus with bit 0 set divides by 40; white balance 0x80 has no name.
    EXPECT_EQ(FormatMdpmCamera1(0xFF5F8015),
              "ApertureSetting = Auto, Gain = Out of range, ExposureProgram = 0x50, "
              "WhiteBalance =  (0x80), Focus = Auto. 0.5 (0x15)");
    EXPECT_EQ(FormatMdpmCamera1(0xFEF06000),
              "ApertureSetting = Closed, Gain = -3 dB, ExposureProgram = undefined, "
              "WhiteBalance = Daylight (0x60), Focus = Auto. 0 (0x00)");
}

TEST(MdpmFormat, Camera2ExposureMakerRecordingMode)
{
    EXPECT_EQ(FormatMdpmCamera2(0x00000000), "ImageStabilization = Off");
    EXPECT_EQ(FormatMdpmCamera2(0x3F000000), "ImageStabilization = On  (0x3f)");
    EXPECT_EQ(FormatMdpmCamera2(0xBF000000), "ImageStabilization = Off (0xBF)");
    EXPECT_EQ(FormatMdpmCamera2(0xFFFFFFFF), "ImageStabilization = N/A");
    EXPECT_EQ(FormatMdpmCamera2(0x10000000), "ImageStabilization = On  (0x10)");
    EXPECT_EQ(FormatMdpmCamera2(0x2F000000), "ImageStabilization = Off (0x2F)");

    EXPECT_EQ(FormatMdpmExposureTime(0x00007FFF), "ExposureTime = undefined");
    EXPECT_EQ(FormatMdpmExposureTime(0x0000FFFF), "ExposureTime = undefined");
    EXPECT_EQ(FormatMdpmExposureTime(28125), "ExposureTime = 1 (0x6DDD)");
    EXPECT_EQ(FormatMdpmExposureTime(0x00008465), "ExposureTime = 0.04 (0x8465)");

    EXPECT_EQ(FormatMdpmMaker(0x01080123), "Sony 0x0123");
    EXPECT_EQ(FormatMdpmMaker(0x01030001), "Panasonic 0x0001");
    EXPECT_EQ(FormatMdpmMaker(0x10113000), "Canon 0x3000");
    EXPECT_EQ(FormatMdpmMaker(0x11040002), "JVC 0x0002");
    EXPECT_EQ(FormatMdpmMaker(0xABCD00EF), "??? (ABCD) 0x00EF");

    EXPECT_EQ(FormatMdpmRecordingMode(0x02000000), "XP+ 12 Mbps");
    EXPECT_EQ(FormatMdpmRecordingMode(0x04000000), "SP   7 Mbps");
    EXPECT_EQ(FormatMdpmRecordingMode(0x05000000), "LP   5 Mbps");
    EXPECT_EQ(FormatMdpmRecordingMode(0x06FFFFFF), "FXP 17 Mbps");
    EXPECT_EQ(FormatMdpmRecordingMode(0x07000000), "MXP 24 Mbps");
    EXPECT_EQ(FormatMdpmRecordingMode(0x03000000), "???");
    EXPECT_EQ(FormatMdpmEmptyValue(0x12345678), "");
}

TEST(MdpmPrint, OneLinePerTag)
{
    std::vector<uint8_t> payload = Hex("09"
                                       "13 12345678"
                                       "18 02201708"
                                       "19 24134510"
                                       "42 00000001"
                                       "72 00000002"
                                       "70 1800ff8c"
                                       "E0 10113000"
                                       "E1 06ffffff"
                                       "EE 00000000");
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

    std::vector<uint8_t> none = Hex("00");
    r.Init(none.data(), 8);
    EXPECT_EQ(Printed([&](FILE* f) { PrintMdpm(f, 0, r); }), "tag_count: 0\n");
}
