// The subset SPS with its MVC extension and MVC VUI: one description for reading and writing,
// and the text form.
#include "h264/syntax/subset_sps.h"

#include "h264/syntax/nal_header.h"
#include "h264/syntax/nal_parser.h"
#include "h264/syntax/syntax_io.h"
#include "h264/text/print_lines.h"

namespace
{

// A count, then that many ue(v) entries appended to a flat list at pos.
template <class RW> void RefList(RW& rw, uint32_t& count, std::vector<uint32_t>& list, size_t& pos)
{
    rw.ue(count);
    rw.extend(list, pos, count);
    for (size_t end = pos + count; pos < end; ++pos)
        rw.ue(list[pos]);
}

// One HRD block of a list that holds only the present ones.
template <class RW> void HrdBlock(RW& rw, std::vector<HrdParameters>& list, size_t& pos)
{
    rw.extend(list, pos, 1);
    list[pos++].Syntax(rw);
}

} // namespace

// H.7.3.2.1.4 seq_parameter_set_mvc_extension()
template <class RW>
int CH264SeqParameterSetMVCExtension::Syntax(RW& rw, const CH264SeqParameterSetData& sps)
{
    rw.ue(num_views_minus1);
    uint64_t views = uint64_t(num_views_minus1) + 1;
    rw.size(view_id, views);
    for (uint32_t& id : view_id)
        rw.ue(id);
    // Views 1 on carry two anchor and two non-anchor counts each.
    uint64_t refBits = 4 * (views - 1);
    rw.size(num_anchor_refs_l0, views, refBits);
    rw.size(num_anchor_refs_l1, views, refBits);
    rw.size(num_non_anchor_refs_l0, views, refBits);
    rw.size(num_non_anchor_refs_l1, views, refBits);
    size_t a0 = 0, a1 = 0, n0 = 0, n1 = 0;
    if constexpr (RW::kRead) {
        anchor_ref_l0.clear();
        anchor_ref_l1.clear();
        non_anchor_ref_l0.clear();
        non_anchor_ref_l1.clear();
    }
    for (size_t i = 1; i < views; ++i) {
        RefList(rw, num_anchor_refs_l0[i], anchor_ref_l0, a0);
        RefList(rw, num_anchor_refs_l1[i], anchor_ref_l1, a1);
    }
    for (size_t i = 1; i < views; ++i) {
        RefList(rw, num_non_anchor_refs_l0[i], non_anchor_ref_l0, n0);
        RefList(rw, num_non_anchor_refs_l1[i], non_anchor_ref_l1, n1);
    }
    rw.ue(num_level_values_signalled_minus1);
    uint64_t levels = uint64_t(num_level_values_signalled_minus1) + 1;
    // level_idc, the operation point count and at least one operation point (6 bits).
    rw.size(level_idc, levels, 15 * levels);
    rw.size(num_applicable_ops_minus1, levels, 15 * levels);
    if constexpr (RW::kRead) {
        applicable_op_temporal_id.clear();
        applicable_op_num_target_views_minus1.clear();
        applicable_op_num_views_minus1.clear();
        applicable_op_target_view_id.clear();
    }
    size_t op = 0, target = 0;
    for (size_t i = 0; i < levels; ++i) {
        rw.u(8, level_idc[i]);
        rw.ue(num_applicable_ops_minus1[i]);
        uint64_t ops = uint64_t(num_applicable_ops_minus1[i]) + 1;
        rw.extend(applicable_op_temporal_id, op, ops);
        rw.extend(applicable_op_num_target_views_minus1, op, ops);
        rw.extend(applicable_op_num_views_minus1, op, ops);
        for (size_t end = op + ops; op < end; ++op) {
            rw.u(3, applicable_op_temporal_id[op]);
            uint32_t& targetsMinus1 = applicable_op_num_target_views_minus1[op];
            rw.ue(targetsMinus1);
            uint64_t targets = uint64_t(targetsMinus1) + 1;
            rw.extend(applicable_op_target_view_id, target, targets);
            for (size_t stop = target + targets; target < stop; ++target)
                rw.ue(applicable_op_target_view_id[target]);
            rw.ue(applicable_op_num_views_minus1[op]);
        }
    }
    if (sps.profile_idc == 134) {
        rw.u(6, mfc_format_idc);
        if (mfc_format_idc == 0 || mfc_format_idc == 1) {
            rw.flag(default_grid_position_flag);
            if (!default_grid_position_flag) {
                rw.u(4, view0_grid_position_x);
                rw.u(4, view0_grid_position_y);
                rw.u(4, view1_grid_position_x);
                rw.u(4, view1_grid_position_y);
            }
        }
        rw.flag(rpu_filter_enabled_flag);
        if (!sps.frame_mbs_only_flag)
            rw.flag(rpu_field_processing_flag);
    }
    return 0;
}

int CH264SeqParameterSetMVCExtension::Clear(H264NalParser&)
{
    *this = CH264SeqParameterSetMVCExtension();
    return 0;
}

int CH264SeqParameterSetMVCExtension::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx.CurrentSps());
}

int CH264SeqParameterSetMVCExtension::Write(H264NalParser& ctx, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw, ctx.CurrentSps());
}

namespace
{

// One count line and the references it counts, taken in turn from a flat list; a list that
// holds fewer than its counts (never after a parse) ends the lines early.
void PrintRefList(FILE* stream, int level, const char* countLine, const char* refLine,
                  unsigned view, uint32_t count, const std::vector<uint32_t>& refs, size_t& next)
{
    PrintLine(stream, level, countLine, view, count);
    for (uint32_t j = 0; j < count && next < refs.size(); ++j)
        PrintLine(stream, level + 1, refLine, view, j, refs[next++]);
}

} // namespace

int CH264SeqParameterSetMVCExtension::Print(H264NalParser& ctx, FILE* stream, int level)
{
    int n = level;
    PrintLine(stream, n, "num_views_minus1: %u\n", num_views_minus1);
    for (size_t i = 0; i < view_id.size(); ++i)
        PrintLine(stream, n + 1, "view_id[%u]: %u\n", unsigned(i), view_id[i]);
    // View 0 has no reference lists.
    size_t a0 = 0, a1 = 0, n0 = 0, n1 = 0;
    for (size_t i = 1; i < num_anchor_refs_l0.size() && i < num_anchor_refs_l1.size(); ++i) {
        PrintRefList(stream, n + 1, "num_anchor_refs_l0[%u]: %u\n", "anchor_ref_l0[%u][%u]: %u\n",
                     unsigned(i), num_anchor_refs_l0[i], anchor_ref_l0, a0);
        PrintRefList(stream, n + 1, "num_anchor_refs_l1[%u]: %u\n", "anchor_ref_l1[%u][%u]: %u\n",
                     unsigned(i), num_anchor_refs_l1[i], anchor_ref_l1, a1);
    }
    for (size_t i = 1; i < num_non_anchor_refs_l0.size() && i < num_non_anchor_refs_l1.size();
         ++i) {
        PrintRefList(stream, n + 1, "num_non_anchor_refs_l0[%u]: %u\n",
                     "non_anchor_ref_l0[%u][%u]: %u\n", unsigned(i), num_non_anchor_refs_l0[i],
                     non_anchor_ref_l0, n0);
        PrintRefList(stream, n + 1, "num_non_anchor_refs_l1[%u]: %u\n",
                     "non_anchor_ref_l1[%u][%u]: %u\n", unsigned(i), num_non_anchor_refs_l1[i],
                     non_anchor_ref_l1, n1);
    }
    PrintLine(stream, n, "num_level_values_signalled_minus1: %u\n",
              num_level_values_signalled_minus1);
    size_t op = 0, target = 0;
    for (size_t i = 0; i < level_idc.size() && i < num_applicable_ops_minus1.size(); ++i) {
        unsigned l = unsigned(i);
        PrintLine(stream, n + 1, "level_idc[%u]: %u\n", l, level_idc[i]);
        PrintLine(stream, n + 1, "num_applicable_ops_minus1[%u]: %u\n", l,
                  num_applicable_ops_minus1[i]);
        // Operation points of this level value, from the flat lists.
        for (uint64_t j = 0;
             j <= num_applicable_ops_minus1[i] && op < applicable_op_temporal_id.size() &&
             op < applicable_op_num_target_views_minus1.size() &&
             op < applicable_op_num_views_minus1.size();
             ++j, ++op) {
            unsigned o = unsigned(j);
            PrintLine(stream, n + 2, "applicable_op_temporal_id[%u][%u]: %u\n", l, o,
                      applicable_op_temporal_id[op]);
            uint32_t targetsMinus1 = applicable_op_num_target_views_minus1[op];
            PrintLine(stream, n + 2, "applicable_op_num_target_views_minus1[%u][%u]: %u\n", l, o,
                      targetsMinus1);
            for (uint64_t k = 0; k <= targetsMinus1 && target < applicable_op_target_view_id.size();
                 ++k)
                PrintLine(stream, n + 2, "applicable_op_target_view_id[%u][%u][%u]: %u\n", l, o,
                          unsigned(k), applicable_op_target_view_id[target++]);
            PrintLine(stream, n + 2, "applicable_op_num_views_minus1[%u][%u]: %u\n", l, o,
                      applicable_op_num_views_minus1[op]);
        }
    }
    const CH264SeqParameterSetData& sps = ctx.CurrentSps();
    if (sps.profile_idc == 134) {
        PrintLine(stream, n, "mfc_format_idc: %u\n", mfc_format_idc);
        if (mfc_format_idc == 0 || mfc_format_idc == 1) {
            PrintLine(stream, n, "default_grid_position_flag: %u\n", default_grid_position_flag);
            if (!default_grid_position_flag) {
                PrintLine(stream, n + 1, "view0_grid_position_x: %u\n", view0_grid_position_x);
                PrintLine(stream, n + 1, "view0_grid_position_y: %u\n", view0_grid_position_y);
                PrintLine(stream, n + 1, "view1_grid_position_x: %u\n", view1_grid_position_x);
                PrintLine(stream, n + 1, "view1_grid_position_y: %u\n", view1_grid_position_y);
            }
        }
        PrintLine(stream, n, "rpu_filter_enabled_flag: %u\n", rpu_filter_enabled_flag);
        if (!sps.frame_mbs_only_flag)
            PrintLine(stream, n, "rpu_field_processing_flag: %u\n", rpu_field_processing_flag);
    }
    return 0;
}

// H.14.1 mvc_vui_parameters_extension()
template <class RW> int CH264MVCVuiParametersExtension::Syntax(RW& rw)
{
    rw.ue(vui_mvc_num_ops_minus1);
    uint64_t ops = uint64_t(vui_mvc_num_ops_minus1) + 1;
    // temporal id, the view count, one view id and four flags
    uint64_t opBits = 9 * ops;
    rw.size(vui_mvc_temporal_id, ops, opBits);
    rw.size(vui_mvc_num_target_output_views_minus1, ops, opBits);
    rw.size(vui_mvc_timing_info_present_flag, ops, opBits);
    rw.size(vui_mvc_num_units_in_tick, ops, opBits);
    rw.size(vui_mvc_time_scale, ops, opBits);
    rw.size(vui_mvc_fixed_frame_rate_flag, ops, opBits);
    rw.size(vui_mvc_nal_hrd_parameters_present_flag, ops, opBits);
    rw.size(vui_mvc_vcl_hrd_parameters_present_flag, ops, opBits);
    rw.size(vui_mvc_low_delay_hrd_flag, ops, opBits);
    rw.size(vui_mvc_pic_struct_present_flag, ops, opBits);
    if constexpr (RW::kRead) {
        vui_mvc_view_id.clear();
        vui_mvc_nal_hrd_parameters.clear();
        vui_mvc_vcl_hrd_parameters.clear();
    }
    size_t view = 0, nal = 0, vcl = 0;
    for (size_t i = 0; i < ops; ++i) {
        rw.u(3, vui_mvc_temporal_id[i]);
        rw.ue(vui_mvc_num_target_output_views_minus1[i]);
        uint64_t views = uint64_t(vui_mvc_num_target_output_views_minus1[i]) + 1;
        rw.extend(vui_mvc_view_id, view, views);
        for (size_t end = view + views; view < end; ++view)
            rw.ue(vui_mvc_view_id[view]);
        rw.flag(vui_mvc_timing_info_present_flag[i]);
        if (vui_mvc_timing_info_present_flag[i]) {
            rw.u(32, vui_mvc_num_units_in_tick[i]);
            rw.u(32, vui_mvc_time_scale[i]);
            rw.flag(vui_mvc_fixed_frame_rate_flag[i]);
        }
        rw.flag(vui_mvc_nal_hrd_parameters_present_flag[i]);
        if (vui_mvc_nal_hrd_parameters_present_flag[i])
            HrdBlock(rw, vui_mvc_nal_hrd_parameters, nal);
        rw.flag(vui_mvc_vcl_hrd_parameters_present_flag[i]);
        if (vui_mvc_vcl_hrd_parameters_present_flag[i])
            HrdBlock(rw, vui_mvc_vcl_hrd_parameters, vcl);
        if (vui_mvc_nal_hrd_parameters_present_flag[i] ||
            vui_mvc_vcl_hrd_parameters_present_flag[i])
            rw.flag(vui_mvc_low_delay_hrd_flag[i]);
        rw.flag(vui_mvc_pic_struct_present_flag[i]);
    }
    return 0;
}

int CH264MVCVuiParametersExtension::Clear(H264NalParser&)
{
    *this = CH264MVCVuiParametersExtension();
    return 0;
}

int CH264MVCVuiParametersExtension::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw);
}

int CH264MVCVuiParametersExtension::Write(H264NalParser&, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw);
}

int CH264MVCVuiParametersExtension::Print(H264NalParser&, FILE* stream, int level)
{
    int n = level;
    PrintLine(stream, n, "vui_mvc_num_ops_minus1: %u\n", vui_mvc_num_ops_minus1);
    // The vectors indexed by operation point all have the same size after a parse.
    size_t ops = vui_mvc_temporal_id.size();
    for (const std::vector<uint32_t>* v :
         {&vui_mvc_num_target_output_views_minus1, &vui_mvc_timing_info_present_flag,
          &vui_mvc_num_units_in_tick, &vui_mvc_time_scale, &vui_mvc_fixed_frame_rate_flag,
          &vui_mvc_nal_hrd_parameters_present_flag, &vui_mvc_vcl_hrd_parameters_present_flag,
          &vui_mvc_low_delay_hrd_flag, &vui_mvc_pic_struct_present_flag})
        ops = v->size() < ops ? v->size() : ops;
    size_t view = 0, nal = 0, vcl = 0;
    for (size_t i = 0; i < ops; ++i) {
        unsigned o = unsigned(i);
        PrintLine(stream, n + 1, "vui_mvc_temporal_id[%u]: %u\n", o, vui_mvc_temporal_id[i]);
        uint32_t viewsMinus1 = vui_mvc_num_target_output_views_minus1[i];
        PrintLine(stream, n + 1, "vui_mvc_num_target_output_views_minus1[%u]: %u\n", o,
                  viewsMinus1);
        for (uint64_t j = 0; j <= viewsMinus1 && view < vui_mvc_view_id.size(); ++j)
            PrintLine(stream, n + 2, "vui_mvc_view_id[%u][%u]: %u\n", o, unsigned(j),
                      vui_mvc_view_id[view++]);
        PrintLine(stream, n + 1, "vui_mvc_timing_info_present_flag[%u]: %u\n", o,
                  vui_mvc_timing_info_present_flag[i]);
        if (vui_mvc_timing_info_present_flag[i]) {
            PrintLine(stream, n + 2, "vui_mvc_num_units_in_tick[%u]: %u\n", o,
                      vui_mvc_num_units_in_tick[i]);
            PrintLine(stream, n + 2, "vui_mvc_time_scale[%u]: %u\n", o, vui_mvc_time_scale[i]);
            PrintLine(stream, n + 2, "vui_mvc_fixed_frame_rate_flag[%u]: %u\n", o,
                      vui_mvc_fixed_frame_rate_flag[i]);
        }
        PrintLine(stream, n + 1, "vui_mvc_nal_hrd_parameters_present_flag[%u]: %u\n", o,
                  vui_mvc_nal_hrd_parameters_present_flag[i]);
        if (vui_mvc_nal_hrd_parameters_present_flag[i]) {
            PrintLine(stream, n + 1, "vui_mvc_nal_hrd_parameters[%u]:\n", o);
            if (nal < vui_mvc_nal_hrd_parameters.size())
                vui_mvc_nal_hrd_parameters[nal++].Print(stream, n + 2);
        }
        PrintLine(stream, n + 1, "vui_mvc_vcl_hrd_parameters_present_flag[%u]: %u\n", o,
                  vui_mvc_vcl_hrd_parameters_present_flag[i]);
        if (vui_mvc_vcl_hrd_parameters_present_flag[i]) {
            PrintLine(stream, n + 1, "vui_mvc_vcl_hrd_parameters[%u]:\n", o);
            if (vcl < vui_mvc_vcl_hrd_parameters.size())
                vui_mvc_vcl_hrd_parameters[vcl++].Print(stream, n + 2);
        }
        if (vui_mvc_nal_hrd_parameters_present_flag[i] ||
            vui_mvc_vcl_hrd_parameters_present_flag[i])
            PrintLine(stream, n + 1, "vui_mvc_low_delay_hrd_flag[%u]: %u\n", o,
                      vui_mvc_low_delay_hrd_flag[i]);
        PrintLine(stream, n + 1, "vui_mvc_pic_struct_present_flag[%u]: %u\n", o,
                  vui_mvc_pic_struct_present_flag[i]);
    }
    return 0;
}

// 7.3.2.1.3 subset_seq_parameter_set_rbsp() after seq_parameter_set_data(), without the
// trailing bits. The SVC, MVCD and 3D-AVC extensions are not read.
template <class RW>
int CH264SubsetSeqParameterSetData::Syntax(RW& rw, const CH264SeqParameterSetData& sps)
{
    int result                = 0;
    uint32_t bit_equal_to_one = 1;
    switch (sps.profile_idc) {
    case 83:
    case 86:
        // Only the first bit of seq_parameter_set_svc_extension() is kept.
        rw.flag(svc_vui_parameters_present_flag);
        break;
    case 118:
    case 128:
    case 134:
        rw.u(1, bit_equal_to_one);
        result = seq_parameter_set_mvc_extension.Syntax(rw, sps);
        rw.flag(mvc_vui_parameters_present_flag);
        if (mvc_vui_parameters_present_flag)
            result |= mvc_vui_parameters_extension.Syntax(rw);
        break;
    case 135:
    case 138:
    case 139:
        rw.u(1, bit_equal_to_one);
        break;
    default:
        break;
    }
    rw.flag(additional_extension2_flag);
    if constexpr (RW::kRead) {
        // additional_extension2_data_flag, each kept in the same field.
        if (additional_extension2_flag == 1)
            while (HasMoreRbspData(rw.r))
                rw.flag(additional_extension2_flag);
    }
    return result;
}

int CH264SubsetSeqParameterSetData::Clear(H264NalParser&)
{
    *this = CH264SubsetSeqParameterSetData();
    return 0;
}

int CH264SubsetSeqParameterSetData::Parse(H264NalParser& ctx, H264BitReader& reader)
{
    Clear(ctx);
    H264Read rw{reader};
    return Syntax(rw, ctx.CurrentSps());
}

int CH264SubsetSeqParameterSetData::Write(H264NalParser& ctx, H264BitWriter& writer)
{
    H264Write rw{writer};
    return Syntax(rw, ctx.CurrentSps());
}

int CH264SubsetSeqParameterSetData::Print(H264NalParser& ctx, FILE* stream, int level)
{
    switch (ctx.CurrentSps().profile_idc) {
    case 83:
    case 86:
        PrintLine(stream, level, "svc_vui_parameters_present_flag: %u\n",
                  svc_vui_parameters_present_flag);
        break;
    case 118:
    case 128:
    case 134:
        seq_parameter_set_mvc_extension.Print(ctx, stream, level);
        PrintLine(stream, level, "mvc_vui_parameters_present_flag: %u\n",
                  mvc_vui_parameters_present_flag);
        if (mvc_vui_parameters_present_flag)
            mvc_vui_parameters_extension.Print(ctx, stream, level);
        break;
    default:
        break;
    }
    PrintLine(stream, level, "additional_extension2_flag: %u\n", additional_extension2_flag);
    return 0;
}
