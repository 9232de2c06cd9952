// Subset sequence parameter set: the part after seq_parameter_set_data(), with the MVC
// extension and the MVC VUI extension.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"
#include "h264/syntax/sps.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;

// Lists of lists are kept flat: the entries of all views (level values, operation points) follow
// one another in stream order, each counted by the count before them, so that a long list of
// short or empty lists costs no more memory than the bits that code it.
class CH264SeqParameterSetMVCExtension
{
  public:
    uint32_t num_views_minus1 = 0;
    std::vector<uint32_t> view_id;
    // Indexed by view; view 0 has no reference lists, so entry 0 stays 0.
    std::vector<uint32_t> num_anchor_refs_l0, num_anchor_refs_l1;
    std::vector<uint32_t> num_non_anchor_refs_l0, num_non_anchor_refs_l1;
    // The references of views 1, 2, ... one after another.
    std::vector<uint32_t> anchor_ref_l0, anchor_ref_l1, non_anchor_ref_l0, non_anchor_ref_l1;
    uint32_t num_level_values_signalled_minus1 = 0;
    // Indexed by level value.
    std::vector<uint32_t> level_idc, num_applicable_ops_minus1;
    // The operation points of all level values one after another.
    std::vector<uint32_t> applicable_op_temporal_id, applicable_op_num_target_views_minus1;
    std::vector<uint32_t> applicable_op_num_views_minus1;
    // The target views of all operation points one after another.
    std::vector<uint32_t> applicable_op_target_view_id;
    uint32_t mfc_format_idc = 0, default_grid_position_flag = 0;
    uint32_t view0_grid_position_x = 0, view0_grid_position_y = 0;
    uint32_t view1_grid_position_x = 0, view1_grid_position_y = 0;
    uint32_t rpu_filter_enabled_flag = 0, rpu_field_processing_flag = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw, const CH264SeqParameterSetData& sps);
};

class CH264MVCVuiParametersExtension
{
  public:
    uint32_t vui_mvc_num_ops_minus1 = 0;
    // Indexed by operation point.
    std::vector<uint32_t> vui_mvc_temporal_id, vui_mvc_num_target_output_views_minus1;
    std::vector<uint32_t> vui_mvc_timing_info_present_flag, vui_mvc_num_units_in_tick;
    std::vector<uint32_t> vui_mvc_time_scale, vui_mvc_fixed_frame_rate_flag;
    std::vector<uint32_t> vui_mvc_nal_hrd_parameters_present_flag;
    std::vector<uint32_t> vui_mvc_vcl_hrd_parameters_present_flag;
    std::vector<uint32_t> vui_mvc_low_delay_hrd_flag, vui_mvc_pic_struct_present_flag;
    // The view ids of all operation points one after another.
    std::vector<uint32_t> vui_mvc_view_id;
    // One block for each operation point whose present flag is set, in order.
    std::vector<HrdParameters> vui_mvc_nal_hrd_parameters, vui_mvc_vcl_hrd_parameters;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw);
};

class CH264SubsetSeqParameterSetData
{
  public:
    uint32_t svc_vui_parameters_present_flag = 0;
    CH264SeqParameterSetMVCExtension seq_parameter_set_mvc_extension;
    uint32_t mvc_vui_parameters_present_flag = 0;
    CH264MVCVuiParametersExtension mvc_vui_parameters_extension;
    uint32_t additional_extension2_flag = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw, const CH264SeqParameterSetData& sps);
};
