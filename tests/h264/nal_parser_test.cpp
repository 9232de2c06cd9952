// The parse context across units: picture counting, SEI units and their rebuilding, units
// without a parser, start codes, hostile counts, error texts; and the counter against ffprobe
// on streams made by x264.
#include "h264/nal_parser.h"
#include "tests/h264/h264_units.h"

#include <cstdio>
#include <gtest/gtest.h>
#include <sys/resource.h>

using h264_test::Bits;
using h264_test::Parse;
using h264_test::Rbsp;
using h264_test::Rewrite;
using h264_test::SE;
using h264_test::U;
using h264_test::UE;
using h264_test::Unit;
using testing_support::Hex;

namespace
{

class PictureCounter : public testing::Test
{
  protected:
    void SetUp() override
    {
        ASSERT_EQ(Parse(p, sps), 0);
        ASSERT_EQ(Parse(p, pps), 0);
        ASSERT_EQ(Parse(p, spsFields), 0);
        ASSERT_EQ(Parse(p, ppsFields), 0);
        p.Clear();
    }

    // A slice of PPS 0 (frame coding) or PPS 1 (field coding): I, P or B by type; IDR when
    // idrPicId is not negative. nal_ref_idc 0 for B, else 2.
    static std::vector<uint8_t> Slice(char type, unsigned frameNum, unsigned poc, int idrPicId = -1,
                                      unsigned firstMb = 0, int bottomField = -1)
    {
        bool idr         = idrPicId >= 0;
        bool ref         = type != 'B';
        unsigned ppsId   = bottomField >= 0 ? 1 : 0;
        std::string bits = UE(firstMb) + UE(type == 'P' ? 5 : type == 'B' ? 6 : 7) + UE(ppsId);
        bits += U(4, frameNum);
        if (bottomField >= 0)
            bits += "1 " + U(1, unsigned(bottomField));
        if (idr)
            bits += UE(unsigned(idrPicId));
        bits += U(4, poc);
        if (type == 'B')
            bits += "1 "; // direct_spatial_mv_pred_flag
        if (type != 'I')
            bits += "0 "; // num_ref_idx_active_override_flag
        if (type != 'I')
            bits += "0 "; // ref_pic_list_modification_flag_l0
        if (type == 'B')
            bits += "0 "; // ref_pic_list_modification_flag_l1
        if (ref)
            bits += idr ? "0 0 " : "0 ";  // dec_ref_pic_marking
        bits += SE(0) + "1010 1010 1111"; // slice_qp_delta, then some slice data
        return Rbsp(idr ? "65" : ref ? "41" : "01", bits);
    }

    // Main profile, 4-bit frame_num and poc lsb; SPS 1 field coding; PPS 0 and 1 for them.
    std::vector<uint8_t> sps = Rbsp("67", "01001101 00000000 00011110 " + UE(0) + UE(0) + UE(0) +
                                              UE(0) + UE(2) + "0 " + UE(10) + UE(8) + "1 1 0 0");
    std::vector<uint8_t> pps = Rbsp("68", UE(0) + UE(0) + "0 0 " + UE(0) + UE(0) + UE(0) + "0 00 " +
                                              SE(0) + SE(0) + SE(0) + "0 0 0");
    std::vector<uint8_t> spsFields =
        Rbsp("67", "01001101 00000000 00011110 " + UE(1) + UE(0) + UE(0) + UE(0) + UE(2) + "0 " +
                       UE(10) + UE(3) + "0 0 1 0 0");
    std::vector<uint8_t> ppsFields = Rbsp("68", UE(1) + UE(1) + "0 0 " + UE(0) + UE(0) + UE(0) +
                                                    "0 00 " + SE(0) + SE(0) + SE(0) + "0 0 0");
    std::vector<uint8_t> aud       = Hex("00 00 00 01 09 10");
    H264NalParser p;
};

} // namespace

TEST_F(PictureCounter, DelimitersAndParameterSetsStartAccessUnits)
{
    EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);
    std::vector<std::pair<std::vector<uint8_t>, uint32_t>> stream = {
        {aud, 0},
        {sps, 0},
        {pps, 0},
        {Slice('I', 0, 0, 0), 0},
        {Slice('I', 0, 0, 0, 40), 0}, // second slice of the picture
        {aud, 1},
        {Slice('P', 1, 4), 1},
        {Slice('P', 1, 4, -1, 50), 1},
        {Slice('P', 2, 8), 2},                  // no delimiter: the slice starts the picture
        {Hex("00 00 00 01 06 05 01 AA 80"), 3}, // SEI after a slice starts the next one
        {Slice('B', 3, 6), 3},                  // and the slice does not count again
        {Slice('B', 3, 6, -1, 9), 3},
        {Hex("00 00 00 01 0A"), 3}, // end of sequence: not counted
        {Slice('I', 0, 0, 1), 4},
        {Slice('I', 0, 0, 2), 5}, // IDR after IDR: idr_pic_id differs
    };
    for (size_t i = 0; i < stream.size(); ++i) {
        ASSERT_EQ(Parse(p, stream[i].first), 0) << i;
        EXPECT_EQ(p.m_pictureCount, stream[i].second) << i;
    }
}

TEST_F(PictureCounter, StreamStartingWithASlice)
{
    // The parameter sets are known, but no unit has been counted yet.
    Parse(p, sps);
    Parse(p, pps);
    p.m_pictureCount   = 0xFFFFFFFF;
    p.m_pictureCounted = false;
    // While the counter says "no picture", each slice is compared with itself.
    for (auto& slice : {Slice('I', 0, 0, 0), Slice('I', 0, 0, 0, 20), Slice('P', 1, 2)}) {
        ASSERT_EQ(Parse(p, slice), 0);
        EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);
        EXPECT_FALSE(p.m_newPicture);
    }
    // The next access unit gets 0.
    ASSERT_EQ(Parse(p, aud), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    ASSERT_EQ(Parse(p, Slice('P', 2, 4)), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    ASSERT_EQ(Parse(p, Slice('P', 3, 6)), 0);
    EXPECT_EQ(p.m_pictureCount, 1u);
}

TEST_F(PictureCounter, FieldsAndTheNarrowNalRefIdcTest)
{
    Parse(p, spsFields);
    Parse(p, ppsFields);
    // A field pair: two pictures by bottom_field_flag.
    ASSERT_EQ(Parse(p, Slice('I', 0, 0, 0, 0, 0)), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    ASSERT_EQ(Parse(p, Slice('I', 0, 0, 0, 0, 1)), 0);
    EXPECT_EQ(p.m_pictureCount, 1u);
    // A reference slice, then a non-reference one with the same frame_num and poc: the
    // current nal_ref_idc is 0, so this is not a new picture here.
    ASSERT_EQ(Parse(p, Slice('P', 1, 4, -1, 0, 0)), 0);
    EXPECT_EQ(p.m_pictureCount, 2u);
    auto nonRef = Rbsp("01", UE(0) + UE(5) + UE(1) + U(4, 1) + "1 0 " + U(4, 4) + "0 0 " + SE(0));
    ASSERT_EQ(Parse(p, nonRef), 0);
    EXPECT_EQ(p.m_pictureCount, 2u);
    // The other way round it is.
    ASSERT_EQ(Parse(p, Slice('P', 1, 4, -1, 0, 0)), 0);
    EXPECT_EQ(p.m_pictureCount, 3u);
    // Only the IDR test names type 5: different poc lsb in frame coding is new too.
    Parse(p, sps);
    Parse(p, pps);
    ASSERT_EQ(Parse(p, Slice('P', 1, 4)), 0);
    ASSERT_EQ(Parse(p, Slice('P', 1, 5)), 0);
    EXPECT_EQ(p.m_pictureCount, 5u);
}

TEST_F(PictureCounter, CutSlicesStillCount)
{
    ASSERT_EQ(Parse(p, sps), 0);
    ASSERT_EQ(Parse(p, pps), 0);
    ASSERT_EQ(Parse(p, Slice('I', 0, 0, 0)), 0);
    ASSERT_EQ(Parse(p, Slice('P', 1, 2)), 0);
    EXPECT_EQ(p.m_pictureCount, 1u);
    // A P slice of frame 2 cut after its poc: -3, yet the new picture is counted.
    auto cut = Unit("41", UE(0) + UE(5) + UE(0) + U(4, 2) + U(4, 4) + "0000 0000 0");
    EXPECT_EQ(Parse(p, cut), -3);
    EXPECT_EQ(p.m_pictureCount, 2u);
    EXPECT_TRUE(p.m_newPicture);
    // A header that ends exactly at the end of the unit fails too: nothing is left for the
    // slice data.
    auto exact = Unit("01", UE(0) + UE(5) + UE(0) + U(4, 3) + U(4, 6) + "0 0 " + SE(4));
    EXPECT_EQ(Parse(p, exact), -3);
    EXPECT_EQ(p.m_pictureCount, 3u);
}

TEST(NalParser, SeiUnits)
{
    H264NalParser p;
    // Two messages, the second cut short: -3, the first kept.
    auto cut = Hex("00 00 00 01 06 05 02 AA BB 05 10 CC");
    EXPECT_EQ(Parse(p, cut), -3);
    ASSERT_EQ(p.m_seiMessages.size(), 1u);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, Hex("AA BB"));
    EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);

    // Eight bits left that are no stop byte end the loop as the bit count alone would.
    EXPECT_EQ(Parse(p, Hex("00 00 00 01 06 05 01 AA 05")), 0);
    EXPECT_EQ(p.m_seiMessages.size(), 1u);
    EXPECT_EQ(p.m_pictureCount, 0u);

    // A unit that ends right after its message has no stop bit to read.
    EXPECT_EQ(Parse(p, Hex("00 00 00 01 06 05 01 AA")), -3);

    // Trailing zero bytes after the stop bit are not a message; they stay unread, so a
    // rebuilt unit copies them back.
    auto trailing = Hex("00 00 00 01 06 05 03 00 00 03 01 04 01 01 80 00 00");
    H264BitReader r;
    r.InitView(trailing.data(), trailing.size());
    RemoveEmulationPrevention(r);
    ASSERT_EQ(p.ParseNalPayload(r), 0);
    ASSERT_EQ(p.m_seiMessages.size(), 2u);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, Hex("00 00 01"));
    EXPECT_EQ(p.m_seiMessages[1].payloadType, 4u);
    EXPECT_EQ(r.BitsLeft(), 16u);
    H264BitWriter w;
    EXPECT_EQ(p.WriteNalUnit(w), 0);
    CopyRemainingBits(r, w);
    InsertEmulationPrevention(w);
    // The payload's escape comes back; the final zeros get one too, as insertion also looks
    // at the zero byte the writer keeps after its last byte.
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Size()),
              Hex("00 00 00 01 06 05 03 00 00 03 01 04 01 01 80 00 00 03"));

    // With every message removed nothing is written, not even the start code.
    p.m_seiMessages.clear();
    int result = -1;
    EXPECT_TRUE(Rewrite(p, &result).empty());
    EXPECT_EQ(result, 0);
}

TEST(NalParser, UnitsWithoutAPayloadParserAndStartCodes)
{
    H264NalParser p;
    // Prefix units: svc_extension_flag 1 gives 1, 0 gives the header's result; both count.
    EXPECT_EQ(Parse(p, Hex("00 00 00 01 6E 80 00 00")), 1);
    EXPECT_EQ(p.m_pictureCount, 0u);
    auto mvcPrefix = Hex("00 00 00 01 6E 40 00 47");
    EXPECT_EQ(Parse(p, mvcPrefix), 0);
    int result = -1;
    EXPECT_EQ(Rewrite(p, &result), mvcPrefix) << "the header alone";
    EXPECT_EQ(result, 0);
    // End of sequence and end of stream: 0, nothing more read, no counting.
    p.m_pictureCounted = false;
    EXPECT_EQ(Parse(p, Hex("00 00 00 01 0B")), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    EXPECT_EQ(Rewrite(p, &result), Hex("00 00 00 01 0B"));
    // Types without a parser give 100 and keep their bytes.
    for (uint8_t type : {0, 12, 16, 17, 18, 19, 22, 23, 25, 31}) {
        std::vector<uint8_t> unit = {0, 0, 1, type, 0x12, 0x34};
        EXPECT_EQ(Parse(p, unit), 100) << int(type);
        EXPECT_EQ(p.m_rbsp.m_data, Hex("12 34"));
    }
    // A 3-byte start code reads like a 4-byte one.
    EXPECT_EQ(Parse(p, Hex("00 00 01 09 F0")), 0);
    EXPECT_EQ(p.primary_pic_type, 7u);
    EXPECT_EQ(Rewrite(p), Hex("00 00 00 01 09 F0")) << "written with four bytes";
    EXPECT_EQ(Parse(p, Hex("00 00 01 06 05 01 AA 80")), 0);
    EXPECT_EQ(p.m_seiMessages.size(), 1u);
    // Nothing after the start code at all.
    EXPECT_EQ(Parse(p, Hex("00 00 00 01")), -3);
}

TEST(NalParser, HostileCountsAreRefusedWithoutAllocating)
{
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    H264NalParser p;
    // Counts of about 50 million entries: 200 MB and more if they were allocated.
    const uint64_t kCount = 0x02FFFFFF;
    std::string main      = "01001101 00000000 00011110 " + UE(0) + UE(0);
    // num_ref_frames_in_pic_order_cnt_cycle
    EXPECT_EQ(Parse(p, Rbsp("67", main + UE(1) + "0 " + SE(0) + SE(0) + UE(kCount) + "1 1 1")), -3);
    // cpb_cnt_minus1 of a VUI's NAL HRD
    std::string vuiHrd = main + UE(0) + UE(0) + UE(1) + "0 " + UE(1) + UE(1) + "1 1 0 1 " +
                         "0 0 0 0 0 1 " + UE(kCount) + "0000 0000 1 1 1";
    EXPECT_EQ(Parse(p, Rbsp("67", vuiHrd)), -3);
    // slice_group_id values
    EXPECT_EQ(Parse(p, Rbsp("68", UE(0) + UE(0) + "0 0 " + UE(1) + UE(6) + UE(kCount) + "1 0")),
              -3);
    // MVC views, and MVC VUI operation points, each of which holds two HRD blocks
    std::string subset = "10000000 00000000 00101000 1 010 1 1 0 0 1 011 011 0 00100 011 1 1 0 0 ";
    EXPECT_EQ(Parse(p, Rbsp("6F", subset + "1 " + UE(kCount) + "1 1 1")), -3);
    EXPECT_EQ(
        Parse(p, Rbsp("6F", subset + "1 1 1 1 00101000 1 000 1 1 1 1 " + UE(kCount) + "001 1 1")),
        -3);
    // An SEI payload size of 50 million in a unit of 200 KB.
    std::vector<uint8_t> sei = Hex("00 00 00 01 06 05");
    sei.insert(sei.end(), 200000, 0xFF);
    sei.push_back(0x00);
    sei.push_back(0x80);
    EXPECT_EQ(Parse(p, sei), -3);
    EXPECT_TRUE(p.m_subsetSpsMap.empty()) << "only the SPS part of a subset SPS is stored";
    EXPECT_TRUE(p.m_ppsMap.empty());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB";
}

TEST(NalParser, ClearForgetsEverything)
{
    H264NalParser p;
    Parse(p, Rbsp("67", "01001101 00000000 00011110 " + UE(3) + UE(0) + UE(0) + UE(0) + UE(2) +
                            "0 " + UE(10) + UE(8) + "1 1 0 0"));
    Parse(p, Hex("00 00 00 01 06 05 01 AA 80"));
    ASSERT_EQ(p.m_currentSpsId, 3);
    ASSERT_EQ(p.m_pictureCount, 0u);
    p.Clear();
    EXPECT_EQ(p.m_currentSpsId, -1);
    EXPECT_EQ(p.m_currentPpsId, -1);
    EXPECT_TRUE(p.m_spsMap.empty());
    EXPECT_TRUE(p.m_seiMessages.empty());
    EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);
    EXPECT_FALSE(p.m_pictureCounted);
    EXPECT_EQ(p.CurrentSps().profile_idc, 0u);
}

TEST(NalParser, BitstreamErrorTexts)
{
    auto printed = [](int result) {
        FILE* f = tmpfile();
        PrintBitstreamError(f, result);
        std::string text(size_t(ftell(f)), '\0');
        rewind(f);
        EXPECT_EQ(fread(&text[0], 1, text.size(), f), text.size());
        fclose(f);
        return text;
    };
    EXPECT_EQ(printed(-3), "\nERROR reading bitstream: read past NAL end\n\n");
    EXPECT_EQ(printed(-2), "\nERROR reading bitstream: too many bits requested\n\n");
    EXPECT_EQ(printed(-7), "\nERROR reading bitstream: too many bits requested\n\n");
    EXPECT_EQ(printed(100), "ERROR parsing message: 100\n\n");
    EXPECT_EQ(printed(0), "ERROR parsing message: 0\n\n");
}
