#include "disc/clpi/extension_blocks.h"

#include "disc/framework/serial_io.h"

// ---- CDownMixCoeff --------------------------------------------------------------------------

namespace
{

#define CHANNEL_KEYS(prefix, suffix)                                                               \
    {                                                                                              \
        prefix "1" suffix, prefix "2" suffix, prefix "3" suffix, prefix "4" suffix,                \
            prefix "5" suffix, prefix "6" suffix, prefix "7" suffix, prefix "8" suffix             \
    }

const char* const kPhaseLeft[8]        = CHANNEL_KEYS("mixing_phase_for_ch", "_to_left");
const char* const kPhaseRight[8]       = CHANNEL_KEYS("mixing_phase_for_ch", "_to_right");
const char* const kCoefficientLeft[8]  = CHANNEL_KEYS("down_mix_coefficient_for_ch", "_to_left");
const char* const kCoefficientRight[8] = CHANNEL_KEYS("down_mix_coefficient_for_ch", "_to_right");

#undef CHANNEL_KEYS

} // namespace

template <class IO> void CDownMixCoeff::Fields(IO& io)
{
    io.U(8, FLD(ref_to_stream_index));
    // Channel 1 is the first bit or byte of each group; a phase keeps its lowest bit.
    for (int ch = 0; ch < 8; ++ch)
        io.U(1, mixing_phase_for_ch_to_left[ch], kPhaseLeft[ch]);
    for (int ch = 0; ch < 8; ++ch)
        io.U(1, mixing_phase_for_ch_to_right[ch], kPhaseRight[ch]);
    for (int ch = 0; ch < 8; ++ch)
        io.U(8, down_mix_coefficient_for_ch_to_left[ch], kCoefficientLeft[ch]);
    for (int ch = 0; ch < 8; ++ch)
        io.U(8, down_mix_coefficient_for_ch_to_right[ch], kCoefficientRight[ch]);
}

BDMV_ELEMENT_OPERATIONS(CDownMixCoeff)

// ---- CLPCMDownMix ---------------------------------------------------------------------------

template <class IO> void CLPCMDownMix::Fields(IO& io)
{
    io.Count(16, number_of_entries, HDMV_LPCM_down_mix_coefficient,
             "HDMV_LPCM_down_mix_coefficient entries");
    if (IO::kOp != ser::Op::kWriteJson || !HDMV_LPCM_down_mix_coefficient.empty())
        io.Items(number_of_entries, HDMV_LPCM_down_mix_coefficient,
                 "HDMV_LPCM_down_mix_coefficient",
                 ser::ListTexts{"failed to read DownMixCoeff\n", "failed to save DownMixCoeff\n",
                                "Failed to read HDMV_LPCM_down_mix_coefficient!\n",
                                "Failed to save HDMV_LPCM_down_mix_coefficient!\n"});
    // The stuffing byte keeps the block even; JSON always has it.
    if (IO::kJson || number_of_entries % 2 == 1)
        io.U(8, stuffing_byte, "HDMV_LPCM_down_mix_coefficient_stuffing_byte", ser::kOptional);
}

void CLPCMDownMix::Clear() { ser::Reset(*this); }
int CLPCMDownMix::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 32); }
int CLPCMDownMix::Build(CBitBuffer& bb)
{
    return ser::BuildBlock(*this, bb, 32, 0, "HDMV_LPCM_down_mix_coefficient");
}
int CLPCMDownMix::ReadJSON(JDoc& d, JValue& e)
{
    return ser::ReadObject(*this, d, e, ser::kOptional, "");
}
int CLPCMDownMix::WriteJSON(JDoc& d, JValue& e) { return ser::WriteObject(*this, d, e, ""); }

// ---- CExtent_Start_Point --------------------------------------------------------------------

void CExtent_Start_Point::Clear()
{
    reserved01 = number_of_extent_start_points = 0;
    SPN_extent_start.clear();
}

int CExtent_Start_Point::Parse(CBitBuffer& bb)
{
    Clear();
    ReadLength(bb, 32);
    reserved01                    = bb.ReadBits(16);
    number_of_extent_start_points = bb.ReadBits(16);
    for (uint32_t i = 0; i < number_of_extent_start_points; ++i) {
        if (!bb.TakeElement())
            return 1;
        SPN_extent_start.push_back(bb.ReadBits(32));
    }
    SkipToBlockEnd(bb);
    return 0;
}

int CExtent_Start_Point::Build(CBitBuffer& bb)
{
    if (CheckListSize(SPN_extent_start.size(), 0xFFFF, "SPN_extent_start values"))
        return 1;
    BeginSection(bb, 32);
    number_of_extent_start_points = uint32_t(SPN_extent_start.size());
    bb.WriteBits(16, reserved01);
    bb.WriteBits(16, number_of_extent_start_points);
    for (uint32_t spn : SPN_extent_start)
        bb.WriteBits(32, spn);
    return EndSection(bb, 0);
}

int CExtent_Start_Point::ReadJSON(JDoc&, JValue& parent)
{
    Clear();
    JValue* object = FindOwnMember(parent);
    if (!object || !object->IsObject()) {
        fprintf(stderr, "failed to read %s\n", m_jsonName);
        return 1;
    }
    reserved01   = ReadJsonUint("reserved01", *object);
    JValue* list = GetJsonMember("SPN_extent_start", *object);
    if (!list)
        return 0;
    if (!list->IsArray()) {
        fprintf(stderr, "failed to read SPN_extent_start\n");
        return 1;
    }
    unsigned i = 0;
    for (JValue& spn : list->GetArray()) {
        if (!spn.IsNumber()) {
            fprintf(stderr, "JSON array SPN_extent_start[%u] is not an number!\n", i);
            return 1;
        }
        SPN_extent_start.push_back(JsonLowBits(spn));
        ++i;
    }
    return 0;
}

int CExtent_Start_Point::WriteJSON(JDoc& doc, JValue& parent)
{
    JValue object(rapidjson::kObjectType);
    AddJsonUint(doc, object, "reserved01", reserved01);
    JValue list(rapidjson::kArrayType);
    list.Reserve(rapidjson::SizeType(SPN_extent_start.size()), doc.GetAllocator());
    for (uint32_t spn : SPN_extent_start)
        list.PushBack(spn, doc.GetAllocator());
    object.AddMember("SPN_extent_start", list, doc.GetAllocator());
    parent.AddMember(rapidjson::StringRef(m_jsonName), object, doc.GetAllocator());
    return 0;
}
