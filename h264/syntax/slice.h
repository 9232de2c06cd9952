// The slice layer: slice header with its reference list modifications, prediction weight
// table and reference picture marking; the header of data partitions B and C; and the
// placeholder for slice data, which is never decoded. The slice header is read, not written.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"

#include <cstdint>
#include <cstdio>
#include <vector>

class H264NalParser;
class CH264SliceHeader;

// "P", "B", "I", "SP", "SI" for slice_type 0 to 9, "invalid" above.
const char* SliceTypeName(uint32_t sliceType);
struct H264Read;

struct RefPicListModificationEntry {
    uint32_t modification_of_pic_nums_idc = 0, abs_diff_pic_num_minus1 = 0;
    uint32_t long_term_pic_num        = 0;
    uint32_t abs_diff_view_idx_minus1 = 0; // the MVC form only
};

// ref_pic_list_modification(), and through the class below ref_pic_list_mvc_modification(),
// in which idc 4 and 5 add abs_diff_view_idx_minus1.
class CH264RefPicListModification
{
  public:
    uint32_t ref_pic_list_modification_flag_l0 = 0, ref_pic_list_modification_flag_l1 = 0;
    // The entries of each list, the final one (idc 3) included.
    std::vector<RefPicListModificationEntry> modification_l0, modification_l1;

    CH264RefPicListModification() = default;
    virtual int Clear(H264NalParser& ctx);
    int Parse(H264NalParser& ctx, H264BitReader& reader, CH264SliceHeader& sh);

    int Syntax(H264Read& rw, const CH264SliceHeader& sh);
    int Print(H264NalParser& ctx, FILE* stream, int level, const CH264SliceHeader& sh);

  protected:
    explicit CH264RefPicListModification(bool mvc) : m_mvc(mvc) {}

  private:
    bool m_mvc = false;
};

class CH264RefPicListMVCModification : public CH264RefPicListModification
{
  public:
    CH264RefPicListMVCModification() : CH264RefPicListModification(true) {}
};

// One reference index of a weight table; values whose flag is 0 stay 0.
struct PredWeightEntry {
    uint32_t luma_weight_flag = 0;
    int32_t luma_weight = 0, luma_offset = 0;
    uint32_t chroma_weight_flag = 0;
    int32_t chroma_weight[2] = {0, 0}, chroma_offset[2] = {0, 0};
};

class CH264PredWeightTable
{
  public:
    uint32_t luma_log2_weight_denom = 0, chroma_log2_weight_denom = 0;
    std::vector<PredWeightEntry> weights_l0, weights_l1;

    virtual int Clear(H264NalParser& ctx);
    int Parse(H264NalParser& ctx, H264BitReader& reader, CH264SliceHeader& sh);

    int Syntax(H264Read& rw, H264NalParser& ctx, const CH264SliceHeader& sh);
    int Print(H264NalParser& ctx, FILE* stream, int level, const CH264SliceHeader& sh);
};

struct MemoryManagementOperation {
    uint32_t memory_management_control_operation = 0, difference_of_pic_nums_minus1 = 0;
    uint32_t long_term_pic_num = 0, long_term_frame_idx = 0, max_long_term_frame_idx_plus1 = 0;
};

class CH264DecRefPicMarking
{
  public:
    uint32_t no_output_of_prior_pics_flag = 0, long_term_reference_flag = 0;
    uint32_t adaptive_ref_pic_marking_mode_flag = 0;
    // The final operation 0 included.
    std::vector<MemoryManagementOperation> operations;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    // Not written: returns 1.
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    int Syntax(H264Read& rw, H264NalParser& ctx);
};

// The slice header's own values, apart from its member structures, so that Clear resets them
// in one step while the members' lists keep their storage from slice to slice, and the
// new-picture test keeps those of the previous slice without its lists.
struct H264SliceHeaderValues {
    uint32_t first_mb_in_slice = 0, slice_type = 0, pic_parameter_set_id = 0;
    uint32_t colour_plane_id = 0, frame_num = 0, field_pic_flag = 0, bottom_field_flag = 0;
    uint32_t idr_pic_id = 0, pic_order_cnt_lsb = 0;
    int32_t delta_pic_order_cnt_bottom = 0;
    int32_t delta_pic_order_cnt[2]     = {0, 0};
    uint32_t redundant_pic_cnt = 0, direct_spatial_mv_pred_flag = 0;
    uint32_t num_ref_idx_active_override_flag = 0;
    uint32_t num_ref_idx_l0_active_minus1 = 0, num_ref_idx_l1_active_minus1 = 0;
    uint32_t cabac_init_idc                = 0;
    int32_t slice_qp_delta                 = 0;
    uint32_t sp_for_switch_flag            = 0;
    int32_t slice_qs_delta                 = 0;
    uint32_t disable_deblocking_filter_idc = 0;
    int32_t slice_alpha_c0_offset_div2 = 0, slice_beta_offset_div2 = 0;
    uint32_t slice_group_change_cycle = 0;
};

class CH264SliceHeader : public H264SliceHeaderValues
{
  public:
    CH264RefPicListModification ref_pic_list_modification;
    CH264RefPicListMVCModification ref_pic_list_mvc_modification;
    CH264PredWeightTable pred_weight_table;
    CH264DecRefPicMarking dec_ref_pic_marking;

    // Slice type classes: P 0/5, B 1/6, I 2/7, SP 3/8, SI 4/9; nothing above 9.
    bool IsP() const { return slice_type == 0 || slice_type == 5; }
    bool IsB() const { return slice_type == 1 || slice_type == 6; }
    bool IsI() const { return slice_type == 2 || slice_type == 7; }
    bool IsSP() const { return slice_type == 3 || slice_type == 8; }
    bool IsSI() const { return slice_type == 4 || slice_type == 9; }

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    // Makes the header's PPS and its SPS current, writes nothing and returns 1.
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    int Syntax(H264Read& rw, H264NalParser& ctx);
};

// slice_data_partition_b_layer_rbsp() and _c_: the fields before the slice data.
class CH264SliceDataPartitionBC
{
  public:
    uint32_t slice_id = 0, colour_plane_id = 0, redundant_pic_cnt = 0;

    virtual int Clear(H264NalParser& ctx);
    virtual int Parse(H264NalParser& ctx, H264BitReader& reader);
    virtual int Write(H264NalParser& ctx, H264BitWriter& writer);
    virtual int Print(H264NalParser& ctx, FILE* stream, int level);

    template <class RW> int Syntax(RW& rw, H264NalParser& ctx);
};

// slice_data(): never decoded.
class CH264SliceData
{
  public:
    virtual int Clear(H264NalParser&) { return 0; }
};
