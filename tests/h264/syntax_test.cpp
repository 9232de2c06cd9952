// NAL unit headers with their extensions, raw payloads, the width and more-data helpers, and
// SEI message framing with the nesting headers.
#include "h264/nal_header.h"
#include "h264/nal_parser.h"
#include "h264/sei.h"
#include "tests/h264/h264_units.h"

#include <gtest/gtest.h>

using h264_test::Bits;
using h264_test::Parse;
using h264_test::Rewrite;
using h264_test::Unit;
using testing_support::Hex;

namespace
{

std::vector<uint8_t> Written(const H264BitWriter& w)
{
    return std::vector<uint8_t>(w.Data(), w.Data() + w.Size());
}

// Parses a header from its bits, checks that all were read, and writes it back.
std::vector<uint8_t> HeaderRoundTrip(CH264NALUnitHeader& h, const std::vector<uint8_t>& bytes)
{
    H264NalParser ctx;
    H264BitReader r;
    r.Init(bytes.data(), bytes.size() * 8);
    EXPECT_EQ(h.Parse(ctx, r), 0);
    EXPECT_EQ(r.BitsLeft(), 0u);
    H264BitWriter w;
    EXPECT_EQ(h.Write(ctx, w), 0);
    return Written(w);
}

} // namespace

TEST(NalUnitHeader, ExtensionChosenByTypeAndFlag)
{
    CH264NALUnitHeader h;
    // Prefix unit, svc_extension_flag 0: the MVC extension.
    // 0 11 01110 | 0 | non_idr 1, priority 000101, view_id 0000000011, temporal 010, anchor 1,
    // inter_view 0, reserved_one_bit 1
    auto mvc = Bits("0 11 01110  0 1 000101 0000000011 010 1 0 1");
    EXPECT_EQ(HeaderRoundTrip(h, mvc), mvc);
    EXPECT_EQ(h.nal_unit_type, 14u);
    EXPECT_EQ(h.nal_ref_idc, 3u);
    EXPECT_EQ(h.svc_extension_flag, 0u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.non_idr_flag, 1u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.priority_id, 5u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.view_id, 3u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.temporal_id, 2u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.anchor_pic_flag, 1u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.reserved_one_bit, 1u);

    // Type 20 with svc_extension_flag 1: the SVC extension. The earlier MVC values are gone.
    // idr 1, priority 000011, no_inter_layer_pred 1, dependency 101, quality 0110, temporal 001,
    // use_ref_base 0, discardable 1, output 1, reserved_three_2bits 11
    auto svc = Bits("0 01 10100  1 1 000011 1 101 0110 001 0 1 1 11");
    EXPECT_EQ(HeaderRoundTrip(h, svc), svc);
    EXPECT_EQ(h.nal_unit_type, 20u);
    EXPECT_EQ(h.svc_extension_flag, 1u);
    EXPECT_EQ(h.nal_unit_header_svc_extension.priority_id, 3u);
    EXPECT_EQ(h.nal_unit_header_svc_extension.dependency_id, 5u);
    EXPECT_EQ(h.nal_unit_header_svc_extension.quality_id, 6u);
    EXPECT_EQ(h.nal_unit_header_svc_extension.temporal_id, 1u);
    EXPECT_EQ(h.nal_unit_header_svc_extension.reserved_three_2bits, 3u);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.view_id, 0u);

    // Type 21 with avc_3d_extension_flag 1: two bytes of 3D-AVC extension.
    // view_idx 00000111, depth 1, non_idr 0, temporal 011, anchor 1, inter_view 1
    auto avc3d = Bits("0 11 10101  1 00000111 1 0 011 1 1");
    EXPECT_EQ(HeaderRoundTrip(h, avc3d), avc3d);
    EXPECT_EQ(h.avc_3d_extension_flag, 1u);
    EXPECT_EQ(h.svc_extension_flag, 0u);
    EXPECT_EQ(h.nal_unit_header_3davc_extension.view_idx, 7u);
    EXPECT_EQ(h.nal_unit_header_3davc_extension.depth_flag, 1u);
    EXPECT_EQ(h.nal_unit_header_3davc_extension.temporal_id, 3u);
    EXPECT_EQ(h.nal_unit_header_3davc_extension.inter_view_flag, 1u);

    // Type 21 with the flag 0: the MVC extension again.
    auto mvc21 = Bits("0 11 10101  0 0 000000 1111111111 111 0 1 1");
    EXPECT_EQ(HeaderRoundTrip(h, mvc21), mvc21);
    EXPECT_EQ(h.nal_unit_header_mvc_extension.view_id, 1023u);

    // Any other type ends after its byte; forbidden_zero_bit is dropped and written as 0.
    auto idr = Hex("E5");
    H264NalParser ctx;
    H264BitReader r;
    r.Init(idr.data(), 8);
    h.Parse(ctx, r);
    EXPECT_EQ(h.nal_unit_type, 5u);
    EXPECT_EQ(h.nal_ref_idc, 3u);
    H264BitWriter w;
    h.Write(ctx, w);
    EXPECT_EQ(Written(w), Hex("65"));
}

TEST(RawPayload, KeepsTheBitsExactly)
{
    H264NalParser ctx;
    CH264RBSP raw;
    // 13 bits: the last 5 sit right-aligned in the second byte.
    auto thirteen   = Hex("B3 15");
    H264BitReader r = H264BitReader().Init(thirteen.data(), 13);
    raw.Parse(ctx, r);
    EXPECT_EQ(raw.m_bitCount, 13u);
    EXPECT_EQ(raw.m_data, Hex("B3 15"));
    H264BitWriter w;
    raw.Write(ctx, w);
    EXPECT_EQ(w.BitCount(), 13u);
    EXPECT_EQ(Written(w), Hex("B3 A8")); // 10110011 10101(000)

    // Past the word-sized reads: 70 bits from an odd position.
    auto many = Hex("81 02 03 04 05 06 07 08 3F");
    r.Init(many.data(), 72);
    r.ReadBits(2);
    raw.Parse(ctx, r);
    EXPECT_EQ(raw.m_bitCount, 70u);
    ASSERT_EQ(raw.m_data.size(), 9u);
    // 000000 10|00000 100| ... the bytes shifted by two bits, the last 6 right-aligned.
    EXPECT_EQ(raw.m_data, Hex("04 08 0C 10 14 18 1C 20 3F"));
    H264BitWriter w2;
    w2.WriteBits(2, 2);
    raw.Write(ctx, w2);
    EXPECT_EQ(Written(w2), many);

    // Through the parse context: a type without a parser keeps its unescaped rest, returns 100
    // and is not written back.
    H264NalParser p;
    auto filler = Unit("0C", "11111111 00000000 00000000 00000001 10000000");
    EXPECT_EQ(filler, Hex("00 00 00 01 0C FF 00 00 03 01 80"));
    EXPECT_EQ(Parse(p, filler), 100);
    EXPECT_EQ(p.m_rbsp.m_data, Hex("FF 00 00 01 80"));
    EXPECT_EQ(p.m_rbsp.m_bitCount, 40u);
    EXPECT_EQ(p.m_pictureCount, 0xFFFFFFFFu) << "no counting for types without a parser";
    int wr = 0;
    EXPECT_EQ(Rewrite(p, &wr), Hex("00 00 00 01 0C"));
    EXPECT_EQ(wr, 1);

    // Type 24 is kept the same way, counted, and written back.
    auto t24 = Unit("18", "10101010 00000000 00000000 00000011");
    EXPECT_EQ(Parse(p, t24), 0);
    EXPECT_EQ(p.m_pictureCount, 0u);
    EXPECT_EQ(Rewrite(p, &wr), t24);
    EXPECT_EQ(wr, 0);
}

TEST(SyntaxHelpers, CeilLog2)
{
    EXPECT_EQ(CeilLog2(0), 0u);
    EXPECT_EQ(CeilLog2(1), 0u);
    EXPECT_EQ(CeilLog2(2), 1u);
    EXPECT_EQ(CeilLog2(3), 2u);
    EXPECT_EQ(CeilLog2(4), 2u);
    EXPECT_EQ(CeilLog2(5), 3u);
    EXPECT_EQ(CeilLog2(8), 3u);
    EXPECT_EQ(CeilLog2(9), 4u);
    EXPECT_EQ(CeilLog2(0xFFFFFFFFull), 32u);
    EXPECT_EQ(CeilLog2(1ull << 40), 32u) << "the search stops at 32";
}

TEST(SyntaxHelpers, MoreDataTestCountsTrailingZerosAsData)
{
    auto check = [](const std::string& bits, unsigned skip) {
        auto bytes      = Bits(bits);
        H264BitReader r = H264BitReader().Init(bytes.data(), bytes.size() * 8);
        r.ReadBits(skip);
        return HasMoreRbspData(r);
    };
    EXPECT_FALSE(check("1000 0000", 0));
    EXPECT_TRUE(check("1000 0001", 0));
    EXPECT_TRUE(check("1000 0000 0000 0000", 0)) << "more than 8 bits left is always data";
    EXPECT_TRUE(check("0000 0000 0000 0000", 0));
    EXPECT_FALSE(check("10110 100", 5));
    EXPECT_TRUE(check("10110 101", 5));
    EXPECT_TRUE(check("10110 000", 5));
    EXPECT_FALSE(check("1011 0101", 8)) << "nothing left";
    // The standard's test, which the SEI loop uses, stops at the last 1 bit instead.
    auto bytes      = Bits("1000 0000 0000 0000");
    H264BitReader r = H264BitReader().Init(bytes.data(), 16);
    EXPECT_FALSE(r.MoreRbspData());
}

TEST(SeiMessage, PayloadTypeAndSizeBeyond255)
{
    H264NalParser p;
    // type 255 + 45 = 300, size 2, payload AB CD, stop bit
    auto unit = Unit("06", "11111111 00101101 00000010 10101011 11001101 10000000");
    ASSERT_EQ(Parse(p, unit), 0);
    ASSERT_EQ(p.m_seiMessages.size(), 1u);
    EXPECT_EQ(p.m_seiMessages[0].payloadType, 300u);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, Hex("AB CD"));
    EXPECT_EQ(p.m_seiMessages[0].nestedPayloadType, 0xFFFFFFFFu);
    EXPECT_EQ(Rewrite(p), unit);

    // A payload of 255 bytes needs an FF and a 00 for its size.
    std::vector<uint8_t> big(255, 0x11);
    p.m_seiMessages[0].payloadType = 254;
    p.m_seiMessages[0].payloadData = big;
    auto written                   = Rewrite(p);
    ASSERT_EQ(written.size(), 5u + 3u + 255u + 1u);
    EXPECT_EQ(std::vector<uint8_t>(written.begin() + 5, written.begin() + 8), Hex("FE FF 00"));
    EXPECT_EQ(Parse(p, written), 0);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, big);
}

TEST(SeiMessage, NestingHeadersGiveTheNestedPayloadType)
{
    auto nested = [](const std::string& type, const std::string& payloadBits) {
        H264NalParser p;
        auto payload     = Bits(payloadBits);
        std::string bits = type + " " + std::to_string(payload.size()) + " ";
        H264BitWriter w;
        for (uint8_t b : Bits(type))
            w.WriteBits(8, b);
        w.WriteBits(8, uint32_t(payload.size()));
        for (uint8_t b : payload)
            w.WriteBits(8, b);
        w.WriteTrailingBits();
        std::vector<uint8_t> unit = Hex("00 00 00 01 06");
        unit.insert(unit.end(), w.Data(), w.Data() + w.Size());
        int r = Parse(p, unit);
        if (r != 0)
            return int64_t(r);
        EXPECT_EQ(p.m_seiMessages.size(), 1u);
        return int64_t(p.m_seiMessages[0].nestedPayloadType);
    };
    // mvc_scalable_nesting: operation_point_flag 0, all_view_components_in_au_flag 1, six
    // zero bits, then the nested message starting with type 5.
    EXPECT_EQ(nested("00100101", "01 000000 00000101 00000001 00000000"), 5);
    // operation_point_flag 1: two view ids of 10 bits, a temporal id, zero bits, type 6.
    EXPECT_EQ(nested("00100101", "1 010 0000000001 0000000010 101 00000 00000110 00000000"), 6);
    // all_view_components_in_au_flag 0: num_view_components_minus1 0, one view id.
    EXPECT_EQ(nested("00100101", "0 0 1 0000000011 000 00000001 00000000"), 1);
    // scalable_nesting: all_layer_representations_in_au_flag 0, two layers of 3 + 4 bits and
    // sei_temporal_id, then type 255 + 1.
    EXPECT_EQ(nested("00011110", "0 010 001 0011 101 0110 101 000 11111111 00000001 00000000"),
              256);
    // all_layer_representations_in_au_flag 1: nothing more, seven zero bits.
    EXPECT_EQ(nested("00011110", "1 0000000 00000100"), 4);
    // mvcd_scalable_nesting: operation_point_flag 1, texture_only 0, one view with its two
    // flags, temporal id, then type 45.
    EXPECT_EQ(nested("00110000", "1 0 1 0000000111 1 0 010 000000 00101101 00000000"), 45);
    // texture_only 1: the view id alone.
    EXPECT_EQ(nested("00110000", "1 1 1 0000000111 010 00101101"), 45);
    // operation_point_flag 0, all_view_components_in_au_flag 0: views with applicability.
    EXPECT_EQ(nested("00110000", "0 0 010 0000000001 1 0000000010 0 00000 00000011"), 3);
    // A nesting header longer than its payload, or no nested type after it: read past the end.
    EXPECT_EQ(nested("00100101", "1 0000000"), -3);
    EXPECT_EQ(nested("00100101", "01 000000"), -3);
}

TEST(SeiMessage, PayloadLargerThanTheUnitIsRefusedBeforeAllocating)
{
    H264NalParser p;
    // type 5, size 4 * 255 + 16 with only a few bytes behind it.
    auto unit = Unit("06", "00000101 11111111 11111111 11111111 11111111 00010000 "
                           "00000001 00000010 10000000");
    EXPECT_EQ(Parse(p, unit), -3);
    EXPECT_TRUE(p.m_seiMessages.empty());
    // A size that would need terabytes: FF bytes worth 2^32 and more.
    std::vector<uint8_t> huge = Hex("00 00 00 01 06 05");
    huge.insert(huge.end(), 20000000, 0xFF);
    huge.push_back(0x10);
    huge.push_back(0x80);
    EXPECT_EQ(Parse(p, huge), -3);
    EXPECT_TRUE(p.m_seiMessages.empty());
}
