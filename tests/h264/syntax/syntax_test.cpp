// Raw payloads, the width and more-data helpers, and SEI message framing with the nesting
// headers.
#include "h264/syntax/nal_header.h"
#include "h264/syntax/nal_parser.h"
#include "tests/h264/syntax/unit_builder.h"

#include <gtest/gtest.h>

TEST(RawPayload, KeepsTheBitsExactly)
{
    H264NalParser ctx;
    CH264RBSP raw;
    // 70 bits from an odd position: read a byte at a time, the last 6 right-aligned.
    auto many = Hex("81 02 03 04 05 06 07 08 3F");
    H264BitReader r;
    r.Init(many.data(), 72);
    r.ReadBits(2);
    raw.Parse(ctx, r);
    EXPECT_EQ(raw.m_bitCount, 70u);
    EXPECT_EQ(raw.m_data, Hex("04 08 0C 10 14 18 1C 20 3F"));
    H264BitWriter w;
    w.WriteBits(2, 2);
    raw.Write(ctx, w);
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Size()), many);

    // Through the parse context: a type without a parser keeps its unescaped rest, returns 100,
    // is not counted and not written back.
    EXPECT_EQ(ParseUnit(ctx, Hex("00 00 00 01 0C FF 00 00 03 01 80")), 100);
    EXPECT_EQ(ctx.m_rbsp.m_data, Hex("FF 00 00 01 80"));
    EXPECT_EQ(ctx.m_pictureCount, 0xFFFFFFFFu);
    int result = 0;
    EXPECT_EQ(Rewrite(ctx, &result), Hex("00 00 00 01 0C"));
    EXPECT_EQ(result, 1);
    // Type 24 is kept the same way, counted, and written back.
    auto t24 = Hex("00 00 00 01 18 AA 00 00 03 03");
    EXPECT_EQ(ParseUnit(ctx, t24), 0);
    EXPECT_EQ(ctx.m_pictureCount, 0u);
    EXPECT_EQ(Rewrite(ctx, &result), t24);
    EXPECT_EQ(result, 0);
}

TEST(SyntaxHelpers, CeilLog2AndTheMoreDataTest)
{
    const std::pair<uint64_t, unsigned> logs[] = {
        {0, 0}, {1, 0}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {9, 4}, {0xFFFFFFFF, 32}, {1ull << 40, 32}};
    for (auto [n, log] : logs)
        EXPECT_EQ(CeilLog2(n), log) << n;

    // More than 8 bits left is always data, so trailing zero bytes count; within the last
    // byte only a 1 followed by zeros is none.
    struct Case {
        const char* hex;
        unsigned skip;
        bool more;
    } cases[] = {{"80", 0, false}, {"81", 0, true}, {"80 00", 0, true}, {"B4", 5, false},
                 {"B5", 5, true},  {"B0", 5, true}, {"B5", 8, false}};
    for (const Case& c : cases) {
        auto bytes      = Hex(c.hex);
        H264BitReader r = H264BitReader().Init(bytes.data(), bytes.size() * 8);
        r.ReadBits(c.skip);
        EXPECT_EQ(HasMoreRbspData(r), c.more) << c.hex << " " << c.skip;
    }
    // The standard's test, which the SEI loop uses, stops at the last 1 bit instead.
    auto bytes = Hex("80 00");
    EXPECT_FALSE(H264BitReader().Init(bytes.data(), 16).MoreRbspData());
}

TEST(SeiMessage, PayloadTypeAndSizeBeyond255)
{
    H264NalParser p;
    auto unit = SeiUnit({SeiMessage(300, Hex("AB CD"))});
    EXPECT_EQ(unit, Hex("00 00 00 01 06 FF 2D 02 AB CD 80"));
    ASSERT_EQ(ParseUnit(p, unit), 0);
    ASSERT_EQ(p.m_seiMessages.size(), 1u);
    EXPECT_EQ(p.m_seiMessages[0].payloadType, 300u);
    EXPECT_EQ(p.m_seiMessages[0].payloadData, Hex("AB CD"));
    EXPECT_EQ(p.m_seiMessages[0].nestedPayloadType, 0xFFFFFFFFu);
    EXPECT_EQ(Rewrite(p), unit);

    // A payload of 255 bytes needs an FF and a 00 for its size.
    std::vector<uint8_t> big(255, 0x11);
    p.m_seiMessages[0].payloadType = 254;
    p.m_seiMessages[0].payloadData = big;
    EXPECT_EQ(Rewrite(p), SeiUnit({SeiMessage(254, big)}));
}

TEST(SeiMessage, NestingHeadersGiveTheNestedPayloadType)
{
    struct Case {
        uint32_t type;
        const char* payload;
        int64_t nested; // or the parse result
    } cases[] = {
        // mvc_scalable_nesting: all view components; an operation point of two views; one view
        {37, "40 05 01 00", 5},
        {37, "A0 04 02 A0 06 00", 6},
        {37, "20 18 01 00", 1},
        // scalable_nesting: five layers, then type 255 + 1; all layer representations
        {30, "16 AD 5A B5 6A 80 FF 01 00", 256},
        {30, "80 04", 4},
        // mvcd_scalable_nesting: a view with depth and texture flags; texture only; views with
        // their applicability flags
        {48, "A0 3C 80 2D 00", 45},
        {48, "E0 3A 2D", 45},
        {48, "10 03 00 80 03", 3},
        // a header longer than its payload, or no whole nested type after it
        {37, "80", -3},
        {37, "40", -3},
        {30, "00", -3},
        {48, "C0", -3},
        {30, "80 FF", -3},
        // only the nested type is needed: a nested size cut short, or one past the body
        {37, "40 05 FF", 5},
        {48, "10 03 00 80 03 09 AA", 3},
    };
    for (const Case& c : cases) {
        H264NalParser p;
        int r = ParseUnit(p, SeiUnit({SeiMessage(c.type, Hex(c.payload))}));
        if (r == 0) {
            ASSERT_EQ(p.m_seiMessages.size(), 1u);
            EXPECT_EQ(p.m_seiMessages[0].nestedPayloadType, c.nested) << c.payload;
        } else {
            EXPECT_EQ(r, c.nested) << c.payload;
        }
    }
}

// Each header read from its bytes ends where the nested message begins and writes back the same
// bytes.
template <class Header> Header WrittenAsRead(const char* hex)
{
    std::vector<uint8_t> bytes = Hex(hex);
    H264BitReader r;
    r.InitView(bytes.data(), bytes.size());
    Header header;
    header.Parse(r);
    EXPECT_EQ(r.BitsLeft(), 0u) << hex;
    H264BitWriter w;
    header.Write(w);
    EXPECT_EQ(std::vector<uint8_t>(w.Data(), w.Data() + w.Size()), bytes) << hex;
    return header;
}

TEST(SeiMessage, NestingHeadersWrittenAsRead)
{
    using V = std::vector<uint32_t>;
    // scalable_nesting: layers (1, 2) and (6, 9) of temporal id 5; all layer representations
    auto scalable = WrittenAsRead<ScalableNestingHeader>("22 5A 68");
    ASSERT_EQ(scalable.layers.size(), 2u);
    EXPECT_EQ(scalable.layers[1].sei_dependency_id, 6u);
    EXPECT_EQ(scalable.layers[1].sei_quality_id, 9u);
    EXPECT_EQ(scalable.sei_temporal_id, 5u);
    WrittenAsRead<ScalableNestingHeader>("80");

    // mvc_scalable_nesting: all view components; an operation point of two views; one view
    EXPECT_EQ(WrittenAsRead<MvcNestingHeader>("40").all_view_components_in_au_flag, 1u);
    EXPECT_EQ(WrittenAsRead<MvcNestingHeader>("A0 04 02 A0").sei_op_view_id, (V{1, 2}));
    EXPECT_EQ(WrittenAsRead<MvcNestingHeader>("20 18").sei_view_id, (V{3}));

    // mvcd_scalable_nesting: an operation point of views 5 (depth) and 9 (texture), temporal
    // id 3; texture only; views 1 and 2, the first applicable
    auto depth = WrittenAsRead<MvcdNestingHeader>("90 0B 01 2B");
    ASSERT_EQ(depth.op_views.size(), 2u);
    EXPECT_EQ(depth.op_views[0].sei_op_view_id, 5u);
    EXPECT_EQ(depth.op_views[0].sei_op_depth_flag, 1u);
    EXPECT_EQ(depth.op_views[1].sei_op_texture_flag, 1u);
    EXPECT_EQ(depth.sei_op_temporal_id, 3u);
    EXPECT_EQ(WrittenAsRead<MvcdNestingHeader>("E0 3A").op_views[0].sei_op_view_id, 7u);
    auto views = WrittenAsRead<MvcdNestingHeader>("10 03 00 80");
    ASSERT_EQ(views.views.size(), 2u);
    EXPECT_EQ(views.views[1].sei_view_id, 2u);
    EXPECT_EQ(views.views[0].sei_view_applicability_flag, 1u);
    EXPECT_EQ(views.views[1].sei_view_applicability_flag, 0u);
}
