// The parse context across units: picture counting, SEI units and their rebuilding, units
// without a parser, start codes, unknown and hostile values, error texts.
#include "h264/syntax/nal_parser.h"
#include "tests/h264/syntax/unit_builder.h"

#include <functional>
#include <gtest/gtest.h>
#include <sys/resource.h>

namespace
{

// Main profile, 4-bit frame_num and poc lsb, 11x9 macroblocks: SPS 0 frame coded, SPS 1 field
// coded; PPS 0 and 1 for them.
std::vector<uint8_t> Sps(uint32_t id)
{
    return Unit(7, 3, [=](Rbsp& r) {
        r.u(8, 77).u(8, 0).u(8, 30).ue(id).ue(0).ue(0).ue(0).ue(2).u(1, 0).ue(10).ue(8);
        r.u(1, id == 0);
        if (id)
            r.u(1, 0); // mb_adaptive_frame_field_flag
        r.u(1, 1).u(1, 0).u(1, 0);
    });
}

std::vector<uint8_t> Pps(uint32_t id, uint32_t spsId)
{
    return Unit(8, 3, [=](Rbsp& r) {
        r.ue(id).ue(spsId).u(1, 0).u(1, 0).ue(0).ue(0).ue(0).u(1, 0).u(2, 0).se(0).se(0).se(0);
        r.u(1, 0).u(1, 0).u(1, 0);
    });
}

const std::vector<uint8_t> kAud = Hex("00 00 00 01 09 10");

// A slice of PPS 0 (frame coding) or PPS 1 (field coding, bottomField 0 or 1): I, P or B by
// type; IDR when idrPicId is not negative. nal_ref_idc 0 for B, else 2 (3 for IDR).
std::vector<uint8_t> Slice(char type, unsigned frameNum, unsigned poc, int idrPicId = -1,
                           unsigned firstMb = 0, int bottomField = -1)
{
    bool idr = idrPicId >= 0, ref = type != 'B';
    uint32_t refIdc = idr ? 3 : ref ? 2 : 0;
    return Unit(idr ? 5 : 1, refIdc, [=](Rbsp& r) {
        r.ue(firstMb).ue(type == 'P' ? 5 : type == 'B' ? 6 : 7).ue(bottomField >= 0);
        r.u(4, frameNum);
        if (bottomField >= 0)
            r.u(1, 1).u(1, uint32_t(bottomField));
        if (idr)
            r.ue(uint32_t(idrPicId));
        r.u(4, poc);
        if (type == 'B')
            r.u(1, 1); // direct_spatial_mv_pred_flag
        if (type != 'I')
            r.u(1, 0).u(1, 0); // no override, no list 0 modification
        if (type == 'B')
            r.u(1, 0);
        if (ref)
            r.u(idr ? 2 : 1, 0); // dec_ref_pic_marking
        r.se(0).u(12, 0xAAF);    // slice_qp_delta, then some slice data
    });
}

} // namespace

TEST(PictureCounter, DelimitersParameterSetsAndSeiStartAccessUnits)
{
    H264NalParser p;
    EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);
    std::vector<std::pair<std::vector<uint8_t>, uint32_t>> stream = {
        {kAud, 0},
        {Sps(0), 0},
        {Pps(0, 0), 0},
        {Pps(2, 0), 0},
        {Slice('I', 0, 0, 0), 0},
        {Slice('I', 0, 0, 0, 40), 0}, // second slice of the picture
        {kAud, 1},
        {Slice('P', 1, 4), 1},
        {Slice('P', 1, 4, -1, 50), 1},
        {Slice('P', 2, 8), 2},                  // no delimiter: the slice starts the picture
        {Hex("00 00 00 01 06 05 01 AA 80"), 3}, // SEI after a slice starts the next one
        {Slice('B', 3, 6), 3},                  // and the slice does not count again
        {Slice('B', 3, 6, -1, 9), 3},
        {Hex("00 00 00 01 0A"), 3}, // end of sequence: not counted
        {Slice('I', 0, 0, 1), 4},
        {Slice('I', 0, 0, 2), 5}, // IDR after IDR: idr_pic_id differs
        {Slice('P', 1, 4), 6},
        {Slice('P', 1, 5), 7}, // the poc lsb alone
        {Unit(1, 2, [](Rbsp& r) { r.ue(0).ue(5).ue(2).u(8, 0x15).u(3, 0).se(0); }), 8}, // PPS id
    };
    for (size_t i = 0; i < stream.size(); ++i) {
        ASSERT_EQ(ParseUnit(p, stream[i].first), 0) << i;
        EXPECT_EQ(p.m_pictureCount, stream[i].second) << i;
    }
}

TEST(PictureCounter, StreamStartingWithASlice)
{
    H264NalParser p;
    ParseUnit(p, Sps(0));
    ParseUnit(p, Pps(0, 0));
    p.m_pictureCount   = 0xFFFFFFFF;
    p.m_pictureCounted = false;
    // While the counter says "no picture", each slice is compared with itself.
    for (auto& slice : {Slice('I', 0, 0, 0), Slice('I', 0, 0, 0, 20), Slice('P', 1, 2)}) {
        ASSERT_EQ(ParseUnit(p, slice), 0);
        EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);
        EXPECT_FALSE(p.m_newPicture);
    }
    // The next access unit gets 0.
    ASSERT_EQ(ParseUnit(p, kAud), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    ASSERT_EQ(ParseUnit(p, Slice('P', 2, 4)), 0);
    ASSERT_EQ(ParseUnit(p, Slice('P', 3, 6)), 0);
    EXPECT_EQ(p.m_pictureCount, 1u);
}

TEST(PictureCounter, FieldsTheNarrowNalRefIdcTestAndCutSlices)
{
    H264NalParser p;
    ParseUnit(p, Sps(1));
    ParseUnit(p, Pps(1, 1));
    // A field pair: two pictures by bottom_field_flag.
    ASSERT_EQ(ParseUnit(p, Slice('I', 0, 0, 0, 0, 0)), 0);
    ASSERT_EQ(ParseUnit(p, Slice('I', 0, 0, 0, 0, 1)), 0);
    EXPECT_EQ(p.m_pictureCount, 1u);
    // A reference slice, then a non-reference one with the same frame_num and poc: the
    // current nal_ref_idc is 0, so this is not a new picture here. The other way round it is.
    ASSERT_EQ(ParseUnit(p, Slice('P', 1, 4, -1, 0, 0)), 0);
    auto nonRef = Unit(1, 0, [](Rbsp& r) {
        r.ue(0).ue(5).ue(1).u(4, 1).u(1, 1).u(1, 0).u(4, 4).u(1, 0).u(1, 0).se(0);
    });
    ASSERT_EQ(ParseUnit(p, nonRef), 0);
    EXPECT_EQ(p.m_pictureCount, 2u);
    ASSERT_EQ(ParseUnit(p, Slice('P', 1, 4, -1, 0, 0)), 0);
    EXPECT_EQ(p.m_pictureCount, 3u);

    // A slice cut after its poc fails, yet its new picture is counted; so is one whose header
    // ends exactly at the end of the unit, which leaves nothing for the slice data.
    H264NalParser q;
    for (const auto& unit : {Sps(0), Pps(0, 0), Slice('I', 0, 0, 0)})
        ASSERT_EQ(ParseUnit(q, unit), 0);
    auto cut = Unit(
        1, 2, [](Rbsp& r) { r.ue(0).ue(5).ue(0).u(4, 2).u(4, 4).u(8, 0); }, false);
    EXPECT_EQ(ParseUnit(q, cut), -3);
    EXPECT_EQ(q.m_pictureCount, 1u);
    EXPECT_TRUE(q.m_newPicture);
    auto exact = Unit(
        1, 0, [](Rbsp& r) { r.ue(0).ue(5).ue(0).u(4, 3).u(4, 6).u(2, 0).se(4); }, false);
    EXPECT_EQ(ParseUnit(q, exact), -3);
    EXPECT_EQ(q.m_pictureCount, 2u);
}

TEST(PictureCounter, CountingParseCountsAsTheFullOne)
{
    auto compare = [](const std::string& name, const std::vector<std::vector<uint8_t>>& units) {
        H264NalParser full, counting;
        counting.m_countingOnly = true;
        for (size_t i = 0; i < units.size(); ++i) {
            int r = ParseUnit(full, units[i]), c = ParseUnit(counting, units[i]);
            uint32_t type  = full.m_nalHeader.nal_unit_type;
            std::string at = name + " unit " + std::to_string(i);
            ASSERT_EQ(counting.m_pictureCount, full.m_pictureCount) << at;
            ASSERT_EQ(counting.m_newPicture, full.m_newPicture) << at;
            ASSERT_EQ(counting.m_currentPpsId, full.m_currentPpsId) << at;
            ASSERT_EQ(counting.m_sliceHeader.slice_type, full.m_sliceHeader.slice_type) << at;
            ASSERT_TRUE(IsSliceType(type) || c == r) << at;
            if (type == 12) { // the bytes after the header are kept only by the full parse
                EXPECT_EQ(full.m_rbsp.m_data.size(), units[i].size() - (units[i][2] ? 4 : 5));
                EXPECT_TRUE(counting.m_rbsp.m_data.empty()) << at;
            }
        }
    };
    // Units the counting parse reads less of: filler data, a partition A (its slice_id is left
    // unread), a slice cut after its poc, and a slice with nothing after the header.
    compare("crafted",
            {Sps(0), Pps(0, 0), Hex("00 00 00 01 0C FF FF 80"), Slice('I', 0, 0, 0), kAud,
             Unit(2, 2, [](Rbsp& r) { r.ue(0).ue(5).ue(0).u(8, 0x12).u(3, 0).se(0).ue(7); }),
             Hex("00 00 01 0C FF FF FF 80 00"), Slice('P', 2, 4),
             Unit(
                 1, 2, [](Rbsp& r) { r.ue(0).ue(5).ue(0).u(4, 3).u(4, 6).u(1, 1); }, false),
             Unit(
                 1, 0, [](Rbsp& r) { r.ue(0).ue(5).ue(0).u(8, 0x38).u(2, 0).se(4); }, false),
             Hex("00 00 00 01 06 05 01 AA 80"), Slice('B', 4, 6)});
    for (const char* name : {"base", "cavlc", "mbaff", "slices4", "hrd", "noaud", "yuv444"}) {
        std::string data =
            testing_support::ReadFile(std::string(TEST_DATA_DIR) + "/h264/" + name + ".h264");
        // From start code to start code, a zero before 00 00 01 being part of it.
        std::vector<std::vector<uint8_t>> units;
        for (size_t i = 0, from = 0; i != std::string::npos; from = i) {
            i          = data.find(std::string("\0\0\1", 3), from + 3);
            size_t end = i == std::string::npos ? data.size() : i - (data[i - 1] == 0);
            units.emplace_back(data.begin() + long(from), data.begin() + long(end));
            i = i == std::string::npos ? i : end;
        }
        compare(name, units);
    }
}

TEST(NalParser, SeiUnits)
{
    H264NalParser p;
    // Two messages, the second cut short: -3, the first kept, no count.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01 06 05 02 AA BB 05 10 CC")), -3);
    ASSERT_EQ(p.m_seiMessages.size(), 1u);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, Hex("AA BB"));
    EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu);
    // Eight bits left that are no stop byte end the loop as the bit count alone would.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01 06 05 01 AA 05")), 0);
    EXPECT_EQ(p.m_seiMessages.size(), 1u);
    // A unit that ends right after its message has no stop bit to read.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01 06 05 01 AA")), -3);

    // Trailing zero bytes after the stop bit are not a message; they stay unread, so a
    // rebuilt unit copies them back.
    auto trailing = Hex("00 00 00 01 06 05 03 00 00 03 01 04 01 01 80 00 00");
    H264BitReader r;
    ASSERT_EQ(p.ParseNalUnit(r, trailing.data(), trailing.size()), 0);
    ASSERT_EQ(p.m_seiMessages.size(), 2u);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, Hex("00 00 01"));
    EXPECT_EQ(p.m_seiMessages[1].payloadType, 4u);
    EXPECT_EQ(r.BitsLeft(), 16u);
    H264BitWriter w;
    EXPECT_EQ(p.WriteNalUnit(w), 0);
    CopyRemainingBits(r, w);
    InsertEmulationPrevention(w);
    // The final zeros get an escape too, as insertion also looks at the zero byte the writer
    // keeps after its last byte.
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Size()), Concat({trailing, Hex("03")}));

    // With every message removed nothing is written, not even the start code.
    p.m_seiMessages.clear();
    int result = -1;
    EXPECT_TRUE(Rewrite(p, &result).empty());
    EXPECT_EQ(result, 0);
}

TEST(NalParser, UnitsWithoutAPayloadParserAndStartCodes)
{
    H264NalParser p;
    int result = -1;
    // Prefix units: svc_extension_flag 1 gives 1, 0 gives the header's result; both count.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01 6E 80 00 00")), 1);
    EXPECT_EQ(p.m_pictureCount, 0u);
    auto mvcPrefix = Hex("00 00 00 01 6E 40 00 47");
    EXPECT_EQ(ParseUnit(p, mvcPrefix), 0);
    EXPECT_EQ(Rewrite(p, &result), mvcPrefix) << "the header alone";
    EXPECT_EQ(result, 0);
    // An SVC slice extension reads no slice header; slices are not written.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01 74 80 00 00 58")), 0);
    Rewrite(p, &result);
    EXPECT_EQ(result, 1);
    // End of stream: 0, nothing more read, no counting.
    p.m_pictureCounted = false;
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01 0B")), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    EXPECT_EQ(Rewrite(p), Hex("00 00 00 01 0B"));
    // Types without a parser give 100 and keep their bytes.
    for (uint8_t type : {0, 12, 19, 23, 31}) {
        EXPECT_EQ(ParseUnit(p, {0, 0, 1, type, 0x12, 0x34}), 100) << int(type);
        EXPECT_EQ(p.m_rbsp.m_data, Hex("12 34"));
    }
    // A 3-byte start code reads like a 4-byte one; units are written with four bytes.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 01 09 F0")), 0);
    EXPECT_EQ(p.primary_pic_type, 7u);
    EXPECT_EQ(Rewrite(p), Hex("00 00 00 01 09 F0"));
    // Nothing after the start code at all.
    EXPECT_EQ(ParseUnit(p, Hex("00 00 00 01")), -3);
}

TEST(NalParser, UnknownParameterSetsReadAsEmptyWithoutBeingStored)
{
    H264NalParser p;
    ParseUnit(p, Sps(0));
    // PPS 77 was never seen: an empty PPS naming SPS 0. Its frame_num has 4 bits.
    ASSERT_EQ(ParseUnit(p, Unit(1, 0, [](Rbsp& r) { r.ue(0).ue(2).ue(77).u(4, 9).u(4, 5).se(0); })),
              0);
    EXPECT_EQ(p.m_currentPpsId, 77);
    EXPECT_EQ(p.m_currentSpsId, 0);
    EXPECT_EQ(p.m_sliceHeader.frame_num, 9u);
    // A PPS naming SPS 5, which does not exist: every SPS condition reads as 0, so frame_num
    // and pic_order_cnt_lsb have 4 bits and field_pic_flag is read (frame_mbs_only_flag 0).
    ASSERT_EQ(ParseUnit(p, Pps(9, 5)), 0);
    ASSERT_EQ(ParseUnit(p, Unit(1, 0,
                                [](Rbsp& r) {
                                    r.ue(0).ue(2).ue(9).u(4, 3).u(1, 1).u(1, 1).u(4, 7).se(0);
                                })),
              0);
    EXPECT_EQ(p.m_currentSpsId, 5);
    EXPECT_EQ(p.m_sliceHeader.bottom_field_flag, 1u);
    EXPECT_EQ(p.m_sliceHeader.pic_order_cnt_lsb, 7u);
    EXPECT_EQ(p.m_spsMap.size(), 1u);
    EXPECT_EQ(p.m_ppsMap.size(), 1u);
}

TEST(NalParser, HostileCountsFailWithoutAllocatingOrLooping)
{
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    H264NalParser p;
    // SPS 0, PPS 0 and PPS 2 with weighted prediction for the slices, which come first: a
    // subset SPS replaces SPS 0 even when its own part fails.
    ParseUnit(p, Sps(0));
    ParseUnit(p, Pps(0, 0));
    ASSERT_EQ(ParseUnit(p, Unit(8, 3,
                                [](Rbsp& r) {
                                    r.ue(2).ue(0).u(2, 0).ue(0).ue(0).ue(0).u(1, 1).u(2, 0).se(0);
                                    r.se(0).se(0).u(3, 0);
                                })),
              0);
    using Fields = std::function<void(Rbsp&)>;
    auto slice   = [](const Fields& rest) {
        return Unit(
              1, 2,
              [&](Rbsp& r) {
                r.ue(0).ue(5);
                rest(r);
            },
              false);
    };
    auto sps = [](const Fields& rest) {
        return Unit(7, 3, [&](Rbsp& r) {
            r.u(8, 77).u(16, 30).ue(0).ue(0);
            rest(r);
        });
    };
    auto subset = [](const Fields& rest) {
        return Unit(15, 3, [&](Rbsp& r) {
            r.u(8, 128).u(16, 40).ue(0).ue(1).ue(0).ue(0).u(2, 0).ue(0).ue(2).ue(1).u(1, 0);
            r.ue(3).ue(3).u(4, 12).u(1, 1);
            rest(r);
        });
    };
    // Counts of about 50 million entries: 200 MB and more if they were allocated.
    const uint32_t n                                                = 0x02FFFFFF;
    std::vector<std::pair<const char*, std::vector<uint8_t>>> units = {
        {"num_ref_idx_l0_active_minus1", slice([](Rbsp& r) {
             r.ue(2).u(8, 0x12).u(1, 1).ue(0xFFFFFFFE).u(1, 0).ue(6).ue(5).u(8, 0xFF);
         })},
        // A marking loop that never meets operation 0 ends at the end of the unit.
        {"memory_management_control_operation",
         slice([](Rbsp& r) { r.ue(0).u(8, 0x36).u(2, 0).u(1, 1).ue(5).ue(5); })},
        {"num_ref_frames_in_pic_order_cnt_cycle",
         sps([=](Rbsp& r) { r.ue(1).u(1, 0).se(0).se(0).ue(n).u(3, 7); })},
        {"cpb_cnt_minus1", sps([=](Rbsp& r) {
             r.ue(0).ue(0).ue(1).u(1, 0).ue(1).ue(1).u(10, 0x341).ue(n).u(11, 7);
         })},
        {"slice_group_id", Unit(8, 3, [=](Rbsp& r) { r.ue(0).ue(0).u(2, 0).ue(1).ue(6).ue(n); })},
        {"num_views_minus1", subset([=](Rbsp& r) { r.ue(n).u(3, 7); })},
        {"num_level_values_signalled_minus1", subset([=](Rbsp& r) { r.ue(0).ue(0).ue(n); })},
        {"num_applicable_ops_minus1", subset([=](Rbsp& r) { r.u(3, 7).u(8, 40).ue(n); })},
        {"applicable_op_num_target_views_minus1",
         subset([=](Rbsp& r) { r.u(3, 7).u(8, 40).ue(0).u(3, 0).ue(n); })},
        {"vui_mvc_num_ops_minus1",
         subset([=](Rbsp& r) { r.u(3, 7).u(8, 40).ue(0).u(3, 0).u(3, 7).u(1, 1).ue(n); })},
    };
    // An SEI payload size of 100 million in a unit of 400 KB.
    std::vector<uint8_t> sei = Hex("00 00 00 01 06 05");
    sei.insert(sei.end(), 400000, 0xFF);
    sei.push_back(0x00);
    sei.push_back(0x80);
    units.emplace_back("payloadSize", std::move(sei));
    for (const auto& [name, unit] : units)
        EXPECT_EQ(ParseUnit(p, unit), -3) << name;
    EXPECT_TRUE(p.m_seiMessages.empty());

    // Loops that end with their end code, but only after entries that cost more memory than
    // the unit's list budget: read while they fit, refused past it.
    auto modifications = [&](uint32_t entries) {
        return slice([=](Rbsp& r) {
            r.ue(0).u(8, 0x36).u(1, 0).u(1, 1);
            for (uint32_t i = 1; i < entries; ++i)
                r.ue(0).ue(0);
            r.ue(3).u(1, 0).se(0).u(12, 0xAAF);
        });
    };
    auto markings = [&](uint32_t entries) {
        return slice([=](Rbsp& r) {
            r.ue(0).u(8, 0x36).u(2, 0).u(1, 1);
            for (uint32_t i = 1; i < entries; ++i)
                r.ue(5);
            r.ue(0).se(0).u(12, 0xAAF);
        });
    };
    auto messages = [](uint32_t count) {
        return Unit(6, 0, [=](Rbsp& r) {
            for (uint32_t i = 0; i < count; ++i)
                r.u(8, 5).u(8, 0);
        });
    };
    auto past = [](size_t entrySize) {
        return uint32_t(H264BitReader::kListBudget / entrySize + 1);
    };
    // The subset SPS units above replaced SPS 0.
    ASSERT_EQ(ParseUnit(p, Sps(0)), 0);
    EXPECT_EQ(ParseUnit(p, modifications(1024)), 0);
    EXPECT_EQ(p.m_sliceHeader.ref_pic_list_modification.modification_l0.size(), 1024u);
    EXPECT_EQ(ParseUnit(p, modifications(past(sizeof(RefPicListModificationEntry)))), -3);
    EXPECT_EQ(ParseUnit(p, markings(1024)), 0);
    EXPECT_EQ(p.m_sliceHeader.dec_ref_pic_marking.operations.size(), 1024u);
    EXPECT_EQ(ParseUnit(p, markings(past(sizeof(MemoryManagementOperation)))), -3);
    EXPECT_EQ(ParseUnit(p, messages(4096)), 0);
    EXPECT_EQ(p.m_seiMessages.size(), 4096u);
    EXPECT_EQ(ParseUnit(p, messages(past(sizeof(CH264SeiMessage)))), -3);
    EXPECT_TRUE(p.m_subsetSpsMap.empty()) << "only the SPS part of a subset SPS is stored";
    EXPECT_EQ(p.m_ppsMap.size(), 2u);
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024) << "KiB";
}

TEST(NalParser, BitstreamErrorTexts)
{
    const std::pair<int, const char*> cases[] = {
        {-3, "\nERROR reading bitstream: read past NAL end\n\n"},
        {-2, "\nERROR reading bitstream: too many bits requested\n\n"},
        {100, "ERROR parsing message: 100\n\n"},
    };
    for (auto [result, text] : cases)
        EXPECT_EQ(Printed([&](FILE* f) { PrintBitstreamError(f, result); }), text);
}
