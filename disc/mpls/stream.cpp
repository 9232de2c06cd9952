#include "disc/mpls/stream.h"

#include "disc/framework/serial_io.h"

#include <cstdio>

// ---- CStreamEntry ---------------------------------------------------------------------------

template <class IO> void CStreamEntry::Fields(IO& io)
{
    io.U(8, FLD(type));
    switch (type) {
    case 1:
        io.U(16, FLD(pid));
        io.Zero(48);
        break;
    case 2:
    case 4:
        io.U(8, FLD(subpath_id));
        io.U(8, FLD(subclip_id));
        io.U(16, FLD(pid));
        io.Zero(32);
        break;
    case 3:
        io.U(8, FLD(subpath_id));
        io.U(16, FLD(pid));
        io.Zero(40);
        break;
    default: // Build and WriteJSON keep just the type byte
        if constexpr (IO::kOp == ser::Op::kParse)
            io.Fail("unrecognized type %02x\n", type);
        if constexpr (IO::kOp == ser::Op::kReadJson)
            io.Fail("failed to read stream_entry\n");
    }
}

void CStreamEntry::Clear() { ser::Reset(*this); }
int CStreamEntry::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 8); }
int CStreamEntry::Build(CBitBuffer& bb) { return ser::BuildBlock(*this, bb, 8, 0, "stream_entry"); }
int CStreamEntry::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CStreamEntry::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

void CStreamEntry::Print(int indent)
{
    switch (type) {
    case 1:
        PrintIndented(indent, "PID: 0x%04X", pid);
        break;
    case 2:
    case 4:
        PrintIndented(indent, "SubPath Id: 0x%02X", subpath_id);
        PrintIndented(indent, "SubClip Id: 0x%02X", subclip_id);
        PrintIndented(indent, "PID: 0x%04X", pid);
        break;
    case 3:
        PrintIndented(indent, "SubPath Id: 0x%02X", subpath_id);
        PrintIndented(indent, "PID: 0x%04X", pid);
        break;
    default:
        fprintf(stderr, "unrecognized type 0x%02X\n", type);
    }
}

// ---- CStreamAttributes ----------------------------------------------------------------------

namespace
{

enum class CodingGroup { kVideo, kHevc, kAudio, kGraphics, kText, kUnknown };

// Playlists know MVC and DRA only by name: their attributes are of unknown layout here.
CodingGroup GroupOf(uint32_t codingType)
{
    switch (StreamCodingFamily(codingType)) {
    case CodingFamily::kVideo:
        return CodingGroup::kVideo;
    case CodingFamily::kHevc:
        return CodingGroup::kHevc;
    case CodingFamily::kAudio:
        return CodingGroup::kAudio;
    case CodingFamily::kGraphics:
        return CodingGroup::kGraphics;
    case CodingFamily::kText:
        return CodingGroup::kText;
    default:
        return CodingGroup::kUnknown;
    }
}

} // namespace

template <class IO> void CStreamAttributes::Fields(IO& io)
{
    io.Code(8, FLD(stream_coding_type), kStreamCodingTypeNames, ParseStreamCodingType);
    const CodingGroup group = GroupOf(stream_coding_type);
    switch (group) {
    case CodingGroup::kVideo:
    case CodingGroup::kHevc:
        io.Code(4, FLD(video_format), kVideoFormatNames, ParseVideoFormat);
        io.Code(4, FLD(frame_rate), kFrameRateNames, ParseFrameRate);
        // Reading JSON treats all video alike; only HEVC has the field in the file.
        if (group == CodingGroup::kHevc || IO::kOp == ser::Op::kReadJson)
            io.U(8, FLD(reserved_uhd), ser::kOptional);
        io.U(group == CodingGroup::kHevc ? 16 : 24, FLD(reserved01), ser::kOptional);
        break;
    case CodingGroup::kAudio:
        io.Code(4, FLD(audio_presentation_type), kAudioPresentationTypeNames,
                ParseAudioPresentationType);
        io.Code(4, FLD(sampling_frequency), kSamplingFrequencyNames, ParseSamplingFrequency);
        io.Chars(language_code, 3, "language_code");
        break;
    case CodingGroup::kGraphics:
        io.Chars(language_code, 3, "language_code");
        io.Opt(8, FLD(reserved01));
        break;
    case CodingGroup::kText:
        io.U(8, FLD(char_code));
        io.Chars(language_code, 3, "language_code");
        break;
    case CodingGroup::kUnknown:
        // The file keeps 4 bytes and skips the rest of the block; JSON has only the name.
        if constexpr (IO::kOp == ser::Op::kParse) {
            fprintf(stderr, "Unrecognized stream coding type %02x!\n", stream_coding_type);
            io.U(32, FLD(reserved01));
        }
        if constexpr (IO::kOp == ser::Op::kBuild)
            io.U(32, FLD(reserved01));
        if constexpr (IO::kOp == ser::Op::kReadJson)
            io.Fail("Failed to read stream_attributes!\n");
        break;
    }
}

void CStreamAttributes::Clear() { ser::Reset(*this); }
int CStreamAttributes::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 8); }
int CStreamAttributes::Build(CBitBuffer& bb)
{
    return ser::BuildBlock(*this, bb, 8, 0, "stream_attributes");
}
int CStreamAttributes::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CStreamAttributes::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

void CStreamAttributes::Print(int indent)
{
    PrintIndented(indent, "CODEC (0x%02X): %s", stream_coding_type,
                  CodeName(kStreamCodingTypeNames, stream_coding_type));
    switch (GroupOf(stream_coding_type)) {
    case CodingGroup::kVideo:
    case CodingGroup::kHevc:
        PrintIndented(indent, "Format 0x%02X: %s", video_format,
                      CodeName(kVideoFormatNames, video_format));
        PrintIndented(indent, "Rate   0x%02X: %s", frame_rate,
                      CodeName(kFrameRateNames, frame_rate));
        break;
    case CodingGroup::kAudio:
        PrintIndented(indent, "Format 0x%02X: %s", audio_presentation_type,
                      CodeName(kAudioPresentationTypeNames, audio_presentation_type));
        PrintIndented(indent, "Rate   0x%02X: %s", sampling_frequency,
                      CodeName(kSamplingFrequencyNames, sampling_frequency));
        PrintIndented(indent, "Language: %.3s", language_code);
        break;
    case CodingGroup::kGraphics:
        PrintIndented(indent, "Language: %.3s", language_code);
        break;
    case CodingGroup::kText:
        PrintIndented(indent, "Char Code: 0x%02X", char_code);
        PrintIndented(indent, "Language: %.3s", language_code);
        break;
    case CodingGroup::kUnknown:
        fprintf(stderr, "Unrecognized coding type 0x%02X!\n", stream_coding_type);
        break;
    }
}

// ---- CStreamAttributesSS --------------------------------------------------------------------

template <class IO> void CStreamAttributesSS::Fields(IO& io)
{
    io.Code(8, FLD(stream_coding_type), kStreamCodingTypeNames, ParseStreamCodingType);
    // The file side takes the fields whatever the code; JSON knows only MVC.
    if constexpr (IO::kOp == ser::Op::kReadJson)
        if (stream_coding_type != 0x20)
            io.Fail("Failed to read stream_attributes_SS!\n");
    if (IO::kFile || stream_coding_type == 0x20) {
        io.Code(4, FLD(video_format), kVideoFormatNames, ParseVideoFormat);
        io.Code(4, FLD(frame_rate), kFrameRateNames, ParseFrameRate);
    }
    io.U(24, FLD(reserved01));
}

void CStreamAttributesSS::Clear() { ser::Reset(*this); }
int CStreamAttributesSS::Parse(CBitBuffer& bb) { return ser::ParseBlock(*this, bb, 8); }
int CStreamAttributesSS::Build(CBitBuffer& bb)
{
    return ser::BuildBlock(*this, bb, 8, 0, "stream_attributes_SS");
}
int CStreamAttributesSS::ReadJSON(JDoc& d, JValue& o)
{
    return ser::ReadObject(*this, d, o, ser::kRequired, "");
}
int CStreamAttributesSS::WriteJSON(JDoc& d, JValue& o) { return ser::WriteObject(*this, d, o, ""); }

// ---- CSingleStream --------------------------------------------------------------------------

void CSingleStream::Clear()
{
    uint32_t keep = ref_list_count;
    ser::Reset(*this);
    ref_list_count = keep;
}

// A list of 8-bit stream ids: count, reserved byte, ids, and a byte that keeps it word-aligned.
static int ParseIdList(CBitBuffer& bb, std::vector<uint32_t>& list)
{
    uint32_t count = bb.ReadBits(8);
    bb.SkipBits(8);
    for (uint32_t i = 0; i < count; ++i) {
        if (!bb.TakeElement())
            return 1;
        list.push_back(bb.ReadBits(8));
    }
    if (count & 1)
        bb.SkipBits(8);
    return 0;
}

static int BuildIdList(CBitBuffer& bb, const std::vector<uint32_t>& list, const char* what)
{
    if (CheckListSize(list.size(), 255, what))
        return 1;
    bb.WriteBits(8, uint32_t(list.size()));
    bb.WriteBits(8, 0);
    for (uint32_t id : list)
        bb.WriteBits(8, id);
    if (list.size() & 1)
        bb.WriteBits(8, 0);
    return 0;
}

int CSingleStream::Parse(CBitBuffer& bb)
{
    Clear();
    int r = stream_entry.Parse(bb);
    if (r)
        return r;
    r = stream_attributes.Parse(bb);
    if (r)
        return r;
    if (ref_list_count >= 1 && ParseIdList(bb, stream_id_ref))
        return 1;
    if (ref_list_count == 2 && ParseIdList(bb, PiP_PG_textST_stream_id_ref))
        return 1;
    return 0;
}

int CSingleStream::Build(CBitBuffer& bb)
{
    int r = stream_entry.Build(bb);
    if (r)
        return r;
    r = stream_attributes.Build(bb);
    if (r)
        return r;
    if (ref_list_count >= 1 && BuildIdList(bb, stream_id_ref, "stream_id_ref entries"))
        return 1;
    if (ref_list_count == 2 &&
        BuildIdList(bb, PiP_PG_textST_stream_id_ref, "PiP_PG_textST_stream_id_ref entries"))
        return 1;
    return 0;
}

static int ReadIdList(JValue& object, const char* key, std::vector<uint32_t>& list,
                      const char* notArray, const char* notNumber)
{
    JValue* array = GetJsonMember(key, object);
    if (!array)
        return 0;
    if (!array->IsArray()) {
        fputs(notArray, stderr);
        return 1;
    }
    unsigned index = 0;
    for (JValue& id : array->GetArray()) {
        if (!id.IsNumber()) {
            fprintf(stderr, notNumber, index);
            return 1;
        }
        list.push_back(JsonLowBits(id));
        ++index;
    }
    return 0;
}

int CSingleStream::ReadJSON(JDoc& doc, JValue& object)
{
    Clear();
    int r = stream_entry.ReadJSON(doc, object);
    if (r)
        return r;
    r = stream_attributes.ReadJSON(doc, object);
    if (r)
        return r;
    if (ReadIdList(object, "stream_id_ref", stream_id_ref, "stream_id_ref is not an array!\n",
                   "stream_id_ref[%u] is not a number!\n"))
        return 1;
    return ReadIdList(object, "PiP_PG_textST_stream_id_ref", PiP_PG_textST_stream_id_ref,
                      "PiP_PG_textST_stream_id_ref is not an array!\n",
                      "PiP_PG_textST_stream_id_ref[%u] is not a number!\n");
}

static void WriteIdList(JDoc& doc, JValue& object, const char* key,
                        const std::vector<uint32_t>& list)
{
    if (list.empty())
        return;
    JValue array(rapidjson::kArrayType);
    for (uint32_t id : list)
        array.PushBack(id, doc.GetAllocator());
    object.AddMember(rapidjson::StringRef(key), array, doc.GetAllocator());
}

int CSingleStream::WriteJSON(JDoc& doc, JValue& object)
{
    int r = stream_entry.WriteJSON(doc, object);
    if (r)
        return r;
    r = stream_attributes.WriteJSON(doc, object);
    if (r)
        return r;
    WriteIdList(doc, object, "stream_id_ref", stream_id_ref);
    WriteIdList(doc, object, "PiP_PG_textST_stream_id_ref", PiP_PG_textST_stream_id_ref);
    return 0;
}

void CSingleStream::Print(int indent)
{
    stream_entry.Print(indent);
    stream_attributes.Print(indent);
}

// ---- CMVCDependentStream --------------------------------------------------------------------

template <class IO> void CMVCDependentStream::Fields(IO& io)
{
    io.Child(stream_entry, ser::kStop,
             ser::ChildTexts{"Failed to read CMVCDependentStream.stream_entry!\n",
                             "Failed to save CMVCDependentStream.stream_entry!\n",
                             "Failed to read CMVCDependentStream.stream_entry!\n",
                             "Failed to save CMVCDependentStream.stream_entry!\n"});
    io.Child(stream_attributes_SS, ser::kStop,
             ser::ChildTexts{"Failed to read CMVCDependentStream.stream_attributes_SS!\n",
                             "Failed to save CMVCDependentStream.stream_attributes_SS!\n",
                             "Failed to read CMVCDependentStream.stream_attributes_SS!\n",
                             "Failed to save CMVCDependentStream.stream_attributes_SS!\n"});
    io.Opt(10, FLD(reserved02));
    io.U(6, FLD(number_of_offset_sequences));
}

BDMV_ELEMENT_OPERATIONS(CMVCDependentStream)
