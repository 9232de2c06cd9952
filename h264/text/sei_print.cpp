// SEI payload printers: Annex D messages, the disc-video user data, nesting and raw bytes.
#include "h264/text/sei_print.h"

#include "h264/bits/bit_reader.h"
#include "h264/syntax/disc_user_data.h"
#include "h264/syntax/nal_parser.h"
#include "h264/syntax/ofmd.h"
#include "h264/text/mdpm.h"

#include <cinttypes>

namespace
{

const char* const kPayloadTypeNames[54] = {
    "buffering_period",
    "pic_timing",
    "pan_scan_rect",
    "filler_payload",
    "user_data_registered_itu_t_t35",
    "user_data_unregistered",
    "recovery_point",
    "dec_ref_pic_marking_repetition",
    "spare_pic",
    "scene_info",
    "sub_seq_info",
    "sub_seq_layer_characteristics",
    "sub_seq_characteristics",
    "full_frame_freeze",
    "full_frame_freeze_release",
    "full_frame_snapshot",
    "progressive_refinement_segment_start",
    "progressive_refinement_segment_end",
    "motion_constrained_slice_group_set",
    "film_grain_characteristics",
    "deblocking_filter_display_preference",
    "stereo_video_info",
    "post_filter_hint",
    "tone_mapping_info",
    "scalability_info",
    "sub_pic_scalable_layer",
    "non_required_layer_rep",
    "priority_layer_info",
    "layers_not_present",
    "layer_dependency_change",
    "scalable_nesting",
    "base_layer_temporal_hrd",
    "quality_layer_integrity_check",
    "redundant_pic_property",
    "tl0_dep_rep_index",
    "tl_switching_point",
    "parallel_decoding_info",
    "mvc_scalable_nesting",
    "view_scalability_info",
    "multiview_scene_info",
    "multiview_acquisition_info",
    "non_required_view_component",
    "view_dependency_change",
    "operation_points_not_present",
    "base_view_temporal_hrd",
    "frame_packing_arrangement",
    "multiview_view_position",
    "display_orientation",
    "mvcd_scalable_nesting",
    "mvcd_view_scalability_info",
    "depth_representation_info",
    "three_dimensional_reference_displays_info",
    "depth_timing",
    "depth_sampling_info",
};

bool IsPrintable(uint8_t c) { return c >= 0x20 && c < 0x7F; }

// How deep nesting messages are decoded: each level costs a few payload bytes, so a crafted
// unit could otherwise nest deep enough to exhaust the stack. Deeper ones are listed as bytes.
constexpr int kMaxNestingDepth = 8;
int g_nestingDepth             = 0;

struct NestingLevel {
    NestingLevel() { ++g_nestingDepth; }
    ~NestingLevel() { --g_nestingDepth; }
};

// initial_cpb_removal_delay and its offset for each CPB of one HRD.
void PrintInitialDelays(FILE* stream, int level, H264BitReader& reader, const HrdParameters& hrd)
{
    unsigned bits = hrd.initial_cpb_removal_delay_length_minus1 + 1;
    for (uint64_t i = 0; i <= hrd.cpb_cnt_minus1; ++i) {
        PrintLine(stream, level, "initial_cpb_removal_delay[%u]: %u\n", unsigned(i),
                  reader.ReadBits(bits));
        PrintLine(stream, level, "initial_cpb_removal_delay_offset[%u]: %u\n", unsigned(i),
                  reader.ReadBits(bits));
    }
}

unsigned NumClockTs(uint32_t picStruct)
{
    static const unsigned kCounts[9] = {1, 1, 1, 2, 2, 3, 3, 2, 3};
    return picStruct < 9 ? kCounts[picStruct] : 0;
}

} // namespace

const char* SeiPayloadTypeName(uint32_t payloadType)
{
    if (payloadType < 54)
        return kPayloadTypeNames[payloadType];
    switch (payloadType) {
    case 56:
        return "green_metadata";
    case 137:
        return "mastering_display_colour_volume";
    case 181:
        return "alternative_depth_info";
    default:
        return "reserved_sei_message";
    }
}

const char* GsmpPictureStructureName(uint32_t pictureStructure)
{
    switch (pictureStructure) {
    case 0:
        return "field";
    case 1:
        return "frame";
    case 3:
        return "frame.pic_struct=5 or 6";
    case 5:
        return "frame.pic_struct=7";
    case 7:
        return "frame.pic_struct=8";
    default:
        return "";
    }
}

const char* GsmpPictureTypeName(uint32_t pictureType)
{
    switch (pictureType) {
    case 2:
        return "B non-reference";
    case 8:
        return "I";
    case 9:
        return "P";
    case 10:
        return "B reference";
    case 11:
        return "I/P";
    case 15:
        return "AP-P";
    default:
        return "";
    }
}

void PrintSeiPayloadRaw(FILE* stream, int level, const uint8_t* bytes, size_t length)
{
    PrintHexLines(stream, level, bytes, length, "0x");
    PrintIndent(stream, level);
    fputs("string: \"", stream);
    for (size_t i = 0; i < length; ++i)
        fputc(IsPrintable(bytes[i]) ? bytes[i] : '.', stream);
    fputs("\"\n", stream);
}

void PrintPanScanRect(FILE* stream, int level, H264BitReader& reader)
{
    PrintLine(stream, level, "pan_scan_rect_id: %u\n", reader.ReadUE());
    uint32_t cancel = reader.ReadBits(1);
    PrintLine(stream, level, "pan_scan_rect_cancel_flag: %u\n", cancel);
    if (cancel)
        return;
    uint32_t count = reader.ReadUE();
    PrintLine(stream, level + 2, "pan_scan_cnd_minus1: %u\n", count);
    // 64-bit bound: a count of 0xFFFFFFFF must still end, at the end of the payload.
    for (uint64_t i = 0; i <= count; ++i) {
        unsigned n = unsigned(i);
        PrintLine(stream, level + 3, "pan_scan_rect_left_offset[%u]: %d\n", n, reader.ReadSE());
        PrintLine(stream, level + 3, "pan_scan_rect_right_offset[%u]: %d\n", n, reader.ReadSE());
        PrintLine(stream, level + 3, "pan_scan_rect_top_offset[%u]: %d\n", n, reader.ReadSE());
        PrintLine(stream, level + 3, "pan_scan_rect_bottom_offset[%u]: %d\n", n, reader.ReadSE());
    }
    PrintLine(stream, level + 2, "pan_scan_rect_repetition_period: %u\n", reader.ReadUE());
}

int PrintUserDataUnregistered(FILE* stream, int level, H264BitReader& reader)
{
    DiscUserDataHeader header;
    auto printUuid = [&] {
        PrintIndent(stream, level);
        fputs("uuid_iso_iec_11578: ", stream);
        for (uint8_t b : header.uuid_iso_iec_11578)
            fprintf(stream, "%02x", b);
        fputs("\n", stream);
    };
    try {
        header.Parse(reader);
    } catch (BitstreamErr_t) {
        // A payload cut inside the type indicator still shows the UUID before it.
        if (header.IsDiscVideo())
            printUuid();
        throw;
    }
    printUuid();
    DiscUserData kind = header.Kind();
    if (kind == DiscUserData::kForeign)
        return 16;
    PrintLine(stream, level, "type_indicator: %.4s\n",
              reinterpret_cast<const char*>(header.type_indicator));
    switch (kind) {
    case DiscUserData::kGsmp:
        PrintGopStructureMap(stream, level + 1, reader);
        return 0;
    case DiscUserData::kOfmd:
        PrintOffsetMetadata(stream, level + 1, reader);
        return 0;
    case DiscUserData::kMdpm:
        PrintMdpm(stream, level + 1, reader);
        return 0;
    default: // "GA94" and any other indicator: the rest as bytes
        return 20;
    }
}

void PrintRecoveryPoint(FILE* stream, int level, H264BitReader& reader)
{
    PrintLine(stream, level, "recovery_frame_cnt: %u\n", reader.ReadUE());
    PrintLine(stream, level, "exact_match_flag: %u\n", reader.ReadBits(1));
    PrintLine(stream, level, "broken_link_flag: %u\n", reader.ReadBits(1));
    PrintLine(stream, level, "changing_slice_group_idc: %u\n", reader.ReadBits(2));
}

void PrintFramePackingArrangement(FILE* stream, int level, H264BitReader& reader)
{
    PrintLine(stream, level, "frame_packing_arrangement_id: %u\n", reader.ReadUE());
    uint32_t cancel = reader.ReadBits(1);
    PrintLine(stream, level, "frame_packing_arrangement_cancel_flag: %u\n", cancel);
    if (!cancel) {
        int n         = level + 1;
        uint32_t type = reader.ReadBits(7);
        PrintLine(stream, n, "frame_packing_arrangement_type: %u\n", type);
        uint32_t quincunx = reader.ReadBits(1);
        PrintLine(stream, n, "quincunx_sampling_flag: %u\n", quincunx);
        PrintLine(stream, n, "content_interpretation_type: %u\n", reader.ReadBits(6));
        PrintLine(stream, n, "spatial_flipping_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n, "frame0_flipped_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n, "field_views_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n, "current_frame_is_frame0_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n, "frame0_self_contained_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n, "frame1_self_contained_flag: %u\n", reader.ReadBits(1));
        if (!quincunx && type != 5) {
            PrintLine(stream, n, "frame0_grid_position_x: %u\n", reader.ReadBits(4));
            PrintLine(stream, n, "frame0_grid_position_y: %u\n", reader.ReadBits(4));
            PrintLine(stream, n, "frame1_grid_position_x: %u\n", reader.ReadBits(4));
            PrintLine(stream, n, "frame1_grid_position_y: %u\n", reader.ReadBits(4));
        }
        PrintLine(stream, n, "frame_packing_arrangement_reserved_byte: %u\n", reader.ReadBits(8));
        PrintLine(stream, n, "frame_packing_arrangement_repetition_period: %u\n", reader.ReadUE());
    }
    PrintLine(stream, level, "frame_packing_arrangement_extension_flag: %u\n", reader.ReadBits(1));
}

void PrintGopStructureMap(FILE* stream, int level, H264BitReader& reader)
{
    uint32_t count = reader.ReadBits(16);
    PrintLine(stream, level, "number_of_pictures_in_GOP: %u\n", count);
    for (uint32_t i = 0; i < count; ++i) {
        reader.ReadBits(1);
        uint32_t structure = reader.ReadBits(4);
        uint32_t type      = reader.ReadBits(3);
        PrintLine(stream, level + 1, "picture_structure: (%02X) %s\n", structure,
                  GsmpPictureStructureName(structure));
        PrintLine(stream, level + 1, "picture_type: (%02X) %s\n", type, GsmpPictureTypeName(type));
    }
}

void PrintOffsetMetadata(FILE* stream, int level, H264BitReader& reader)
{
    // Read whole before printing: a payload cut short shows none of its fields.
    OfmdPayload ofmd;
    ofmd.ParseFields(reader);
    uint32_t sequences = ofmd.number_of_offset_sequences;
    uint32_t frames    = ofmd.number_of_displayed_frames_in_GOP;
    PrintLine(stream, level, "frame_rate: %u\n", ofmd.frame_rate);
    PrintLine(stream, level, "PTS: %" PRIu64 "\n", ofmd.pts);
    PrintLine(stream, level, "number_of_offset_sequences: %u\n", sequences);
    PrintLine(stream, level, "number_of_displayed_frames_in_GOP: %u\n", frames);
    for (uint32_t f = 0; f < frames; ++f) {
        PrintLine(stream, level + 1, "Plane_offset[*][%3u]: (", f);
        for (uint32_t s = 0; s < sequences; ++s) {
            if (s)
                fputs(",", stream);
            fprintf(stream, "%4d", ofmd.plane_offset[f + size_t(s) * frames]);
        }
        fputs(")\n", stream);
    }
}

// The HRD lengths come from the current SPS, not from the id the payload names.
void PrintBufferingPeriod(H264NalParser& ctx, FILE* stream, int level, H264BitReader& reader)
{
    PrintLine(stream, level, "seq_parameter_set_id: %u\n", reader.ReadUE());
    const CH264VuiParameters& vui = ctx.CurrentSps().vui_parameters;
    if (vui.nal_hrd_parameters_present_flag)
        PrintInitialDelays(stream, level, reader, vui.nal_hrd_parameters);
    if (vui.vcl_hrd_parameters_present_flag)
        PrintInitialDelays(stream, level, reader, vui.vcl_hrd_parameters);
}

void PrintPicTiming(H264NalParser& ctx, FILE* stream, int level, H264BitReader& reader)
{
    const CH264VuiParameters& vui = ctx.CurrentSps().vui_parameters;
    const HrdParameters* hrd      = nullptr;
    if (vui.nal_hrd_parameters_present_flag)
        hrd = &vui.nal_hrd_parameters;
    else if (vui.vcl_hrd_parameters_present_flag)
        hrd = &vui.vcl_hrd_parameters;
    if (hrd) {
        unsigned bits = hrd->cpb_removal_delay_length_minus1 + 1;
        PrintLine(stream, level, "cpb_removal_delay: %u (%u bits)\n", reader.ReadBits(bits), bits);
        bits = hrd->dpb_output_delay_length_minus1 + 1;
        PrintLine(stream, level, "dpb_output_delay: %u (%u bits)\n", reader.ReadBits(bits), bits);
    }
    if (!vui.pic_struct_present_flag)
        return;
    uint32_t picStruct = reader.ReadBits(4);
    unsigned clocks    = NumClockTs(picStruct);
    PrintLine(stream, level, "pict_struct: %u (NumClockTS: %u)\n", picStruct, clocks);
    unsigned offsetBits = hrd ? hrd->time_offset_length : 24;
    for (unsigned i = 0; i < clocks; ++i) {
        uint32_t flag = reader.ReadBits(1);
        PrintLine(stream, level, "clock_timestamp_flag[%u]: %u\n", i, flag);
        if (!flag)
            continue;
        int n = level;
        PrintLine(stream, n + 1, "ct_type: %u\n", reader.ReadBits(2));
        PrintLine(stream, n + 1, "nuit_field_base_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n + 1, "counting_type: %u\n", reader.ReadBits(5));
        uint32_t full = reader.ReadBits(1);
        PrintLine(stream, n + 1, "full_timestamp_flag: %u\n", full);
        PrintLine(stream, n + 1, "discontinuity_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n + 1, "cnt_dropped_flag: %u\n", reader.ReadBits(1));
        PrintLine(stream, n + 1, "n_frames: %u\n", reader.ReadBits(8));
        if (full) {
            PrintLine(stream, n + 2, "seconds_value: %u\n", reader.ReadBits(6));
            PrintLine(stream, n + 2, "minutes_value: %u\n", reader.ReadBits(6));
            PrintLine(stream, n + 2, "hours_value: %u\n", reader.ReadBits(5));
        } else {
            uint32_t seconds = reader.ReadBits(1);
            PrintLine(stream, n + 2, "seconds_flag: %u\n", seconds);
            if (seconds) {
                PrintLine(stream, n + 3, "seconds_value: %u\n", reader.ReadBits(6));
                uint32_t minutes = reader.ReadBits(1);
                PrintLine(stream, n + 3, "minutes_flag: %u\n", minutes);
                if (minutes) {
                    PrintLine(stream, n + 4, "minutes_value: %u\n", reader.ReadBits(6));
                    uint32_t hours = reader.ReadBits(1);
                    PrintLine(stream, n + 4, "hours_flag: %u\n", hours);
                    if (hours)
                        PrintLine(stream, n + 5, "hours_value: %u\n", reader.ReadBits(5));
                }
            }
        }
        if (offsetBits != 0)
            PrintLine(stream, n + 1, "time_offset: %d (%u bits)\n",
                      int(reader.ReadBits(offsetBits)), offsetBits);
    }
}

void PrintMvcScalableNesting(H264NalParser& ctx, FILE* stream, int level, H264BitReader& reader)
{
    // Read whole, then printed: the message's own parse has read it, so it is never cut here.
    MvcNestingHeader header;
    header.Parse(reader);
    PrintLine(stream, level, "operation_point_flag: %u\n", header.operation_point_flag);
    if (header.operation_point_flag) {
        PrintLine(stream, level + 1, "num_view_components_op_minus1: %u\n",
                  header.num_view_components_op_minus1);
        for (size_t i = 0; i < header.sei_op_view_id.size(); ++i)
            PrintLine(stream, level + 2, "sei_op_view_id[%u]: %u\n", unsigned(i),
                      header.sei_op_view_id[i]);
        PrintLine(stream, level + 1, "sei_op_temporal_id: %u\n", header.sei_op_temporal_id);
    } else {
        PrintLine(stream, level + 1, "all_view_components_in_au_flag: %u\n",
                  header.all_view_components_in_au_flag);
        if (!header.all_view_components_in_au_flag) {
            PrintLine(stream, level + 2, "num_view_components_minus1: %u\n",
                      header.num_view_components_minus1);
            for (size_t i = 0; i < header.sei_view_id.size(); ++i)
                PrintLine(stream, level + 3, "sei_view_id[%u]: %u\n", unsigned(i),
                          header.sei_view_id[i]);
        }
    }
    CH264SeiMessage nested;
    nested.Parse(ctx, reader);
    nested.Print(ctx, stream, level);
}

void PrintSeiPayload(H264NalParser& ctx, FILE* stream, int level, uint32_t payloadType,
                     const uint8_t* bytes, size_t length)
{
    NestingLevel nesting;
    // The payload stays put while it prints: no copy of it.
    H264BitReader reader;
    reader.InitView(bytes, length);
    try {
        switch (payloadType) {
        case 0:
            PrintBufferingPeriod(ctx, stream, level, reader);
            break;
        case 1:
            PrintPicTiming(ctx, stream, level, reader);
            break;
        case 2:
            PrintPanScanRect(stream, level, reader);
            break;
        case 5: {
            int offset = PrintUserDataUnregistered(stream, level, reader);
            if (offset > 0)
                PrintSeiPayloadRaw(stream, level, bytes + offset, length - size_t(offset));
            break;
        }
        case 6:
            PrintRecoveryPoint(stream, level, reader);
            break;
        case 37:
            if (g_nestingDepth <= kMaxNestingDepth) {
                PrintMvcScalableNesting(ctx, stream, level, reader);
                break;
            }
            PrintSeiPayloadRaw(stream, level, bytes, length);
            break;
        case 45:
            PrintFramePackingArrangement(stream, level, reader);
            break;
        default:
            PrintSeiPayloadRaw(stream, level, bytes, length);
            break;
        }
    } catch (BitstreamErr_t e) {
        // What was read is printed; say why the rest is missing.
        if (e == kBitstreamReadPastEnd)
            PrintLine(stream, level, "(payload cut short)\n");
        else
            PrintLine(stream, level, "(payload holds a code longer than 32 bits)\n");
    }
}
