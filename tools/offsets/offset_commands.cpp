// GOP scan, extract, delete, replace and insert over the walker.
#include "tools/offsets/offset_commands.h"

#include "common/file_errors.h"

#include <algorithm>
#include <cstdarg>

namespace
{

constexpr uint32_t kNone = 0xFFFFFFFF;

bool IsVcl(uint32_t type)
{
    return (type >= 1 && type <= 5) || type == 14 || type == 20 || type == 21;
}

// A type-37 message with the plain nesting header around a new OFMD payload, as replace and
// insert write it.
CH264SeiMessage OfmdMessage(uint32_t frameRate, uint64_t pts, uint32_t sequences, uint32_t frames,
                            const std::vector<int32_t>& offsets)
{
    H264BitWriter payload;
    WriteOffsetMetadata(payload, frameRate, pts, sequences, frames, offsets);
    H264BitWriter body;
    WriteNestedSeiMessage(body, payload.Data(), payload.Size());
    CH264SeiMessage message;
    message.payloadType = 37;
    message.payloadData.assign(body.Data(), body.Data() + body.Size());
    message.nestedPayloadType = 5;
    return message;
}

} // namespace

void PrintTallisBanner(FILE* stream)
{
    fprintf(stream, "Tallis - version %s (build: %s)\n\n", "1.01", __DATE__);
}

// ---------------------------------------------------------------------------------------------
// GOP map

int CGOPMap::OnStart()
{
    // The slice types and access unit delimiters are all that is looked at.
    m_parser.m_countingOnly = true;
    m_gops.clear();
    m_gopStart = kNone;
    m_frame    = kNone;
    return 0;
}

int CGOPMap::OnNALUnit()
{
    H264BitReader reader;
    ParseCurrentUnit(reader);
    uint32_t type = m_parser.m_nalHeader.nal_unit_type;
    if (IsSliceType(type)) {
        const CH264SliceHeader& slice = m_parser.m_sliceHeader;
        if ((slice.IsI() || slice.IsSI()) && m_gopStart != m_frame) {
            if (m_gopStart != kNone)
                m_gops.push_back({m_gopStart, m_frame - m_gopStart});
            m_gopStart = m_frame;
        }
    } else if (type == 9) {
        ++m_frame;
    }
    return 0;
}

int CGOPMap::OnEnd()
{
    // Only a GOP that was started is closed here: a stream without an I slice has none.
    if (m_frame != kNone && m_gopStart != kNone)
        m_gops.push_back({m_gopStart, m_frame - m_gopStart + 1});
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Shared steps

COffsetMetadata::COffsetMetadata() { m_preferMVC = true; }

int COffsetMetadata::ScanBaseView(const char* input)
{
    m_gopMap.m_isTS         = m_isTS;
    m_gopMap.m_baseViewOnly = true;
    return m_gopMap.Walk(input, nullptr, nullptr, nullptr);
}

int COffsetMetadata::ReadOfmdLine(uint32_t& frame, std::vector<int32_t>& values, bool freeMode)
{
    return m_ofmd.ReadOfmdLine(frame, values, freeMode);
}

void COffsetMetadata::ReadGopOffsets(uint32_t first, uint32_t count, uint32_t& sequences,
                                     uint32_t& frames, std::vector<int32_t>& offsets)
{
    m_ofmd.ReadGopOffsets(first, count, sequences, frames, offsets);
    TakeClampWarning();
}

void COffsetMetadata::TakeClampWarning()
{
    if (!m_ofmd.m_clampPending)
        return;
    m_ofmd.m_clampPending  = false;
    m_ofmd.m_clampReported = true;
    Warn("WARNING: %s - offset %d at frame %u clamped to %d\n", m_programName.c_str(),
         m_ofmd.m_clampValue, m_ofmd.m_clampFrame, m_ofmd.m_clampWritten);
}

void COffsetMetadata::Warn(const char* format, ...)
{
    PrintTallisBanner(stderr);
    va_list args;
    va_start(args, format);
    vfprintf(stderr, format, args);
    va_end(args);
}

void COffsetMetadata::Log(const char* what)
{
    if (m_log)
        fprintf(m_log, "%u\t%s\n", m_frame, what);
}

void COffsetMetadata::ResetCounting()
{
    m_audKind    = false;
    m_type24Kind = false;
    m_frame      = kNone;
}

int COffsetMetadata::StartOfmdInput()
{
    m_ofmd.SetInput(m_ofmdIn);
    m_ofmd.m_frame = 0;
    m_ofmd.m_values.clear();
    ReadOfmdLine(m_ofmd.m_frame, m_ofmd.m_values, true);
    m_gopIndex = 0;
    return OfmdReadResult();
}

int COffsetMetadata::OfmdReadResult() const { return m_ofmd.Failed() ? kCannotOpenOfmd : 0; }

int COffsetMetadata::Parse()
{
    // Only SEI units are parsed: of every other unit these commands look at the type alone,
    // and nothing the parse context keeps from them (parameter sets, picture count) is used.
    // The type comes from the byte a parse reads, also for stray bytes before the first start
    // code, so the units counted and parsed are the ones a full parse would see.
    uint32_t type = ReadNalUnitType(m_unit, m_unitSize);
    if (type != 6) {
        m_parser.m_nalHeader.nal_unit_type = type;
        return 0;
    }
    int r = ParseCurrentUnit(m_reader);
    if (r != 0) {
        PrintBitstreamError(stderr, r);
        return kSeiParseFailed;
    }
    return 0;
}

bool COffsetMetadata::CountFrame()
{
    uint32_t type = m_parser.m_nalHeader.nal_unit_type;
    if (type != 9 && type != 24)
        return false;
    if (m_frame == kNone && !m_audKind && !m_type24Kind) {
        m_audKind    = type == 9;
        m_type24Kind = type == 24;
    }
    if ((type == 9 && !m_audKind) || (type == 24 && !m_type24Kind))
        return false;
    ++m_frame;
    return true;
}

bool COffsetMetadata::CarriesOfmd(const CH264SeiMessage& message, OfmdPayload* ofmd)
{
    if (!IsNestingType(message.payloadType) || message.payloadData.empty())
        return false;
    OfmdPayload scratch;
    return ReadNestedOffsetMetadata(message.payloadData.data(), message.payloadData.size(),
                                    ofmd ? *ofmd : scratch);
}

int COffsetMetadata::DeleteOfmdMessages()
{
    std::vector<CH264SeiMessage>& messages = m_parser.m_seiMessages;
    auto kept = std::remove_if(messages.begin(), messages.end(), [this](const CH264SeiMessage& m) {
        if (!CarriesOfmd(m, nullptr))
            return false;
        Log("deleted");
        return true;
    });
    int removed = int(messages.end() - kept);
    messages.erase(kept, messages.end());
    return removed;
}

int COffsetMetadata::WriteUnit() { return WriteOutput(m_unit, m_unitSize); }

int COffsetMetadata::WriteRebuiltUnit()
{
    H264BitWriter writer;
    m_parser.WriteNalUnit(writer);
    InsertEmulationPrevention(writer);
    if (int r = WriteOutput(writer.Data(), writer.Size()))
        return r;
    // What followed the rbsp_trailing_bits (trailing zero bytes) goes out as it came.
    const uint8_t* rest = m_reader.RawPosition();
    return WriteOutput(rest, size_t(m_reader.RawEnd() - rest));
}

int COffsetMetadata::InsertOffsetSei(uint32_t first, uint32_t count)
{
    if (m_log)
        fprintf(m_log, "%u\tINSERTED\n", first);
    // The payload counts frames in 8 bits: a longer GOP gets the offsets of its first 255.
    uint32_t frames = count;
    if (count > 255) {
        Warn("WARNING: %s - GOP at frame %u has %u frames, offsets written for the first 255\n",
             m_programName.c_str(), first, count);
        frames = 255;
    }
    uint32_t sequences = 0;
    std::vector<int32_t> offsets;
    ReadGopOffsets(first, frames, sequences, frames, offsets);
    if (int r = OfmdReadResult())
        return r;

    H264NalParser unit;
    unit.m_nalHeader.nal_ref_idc   = 0;
    unit.m_nalHeader.nal_unit_type = 6;
    unit.m_seiMessages.push_back(OfmdMessage(1, 0, sequences, frames, offsets));
    H264BitWriter writer;
    unit.WriteNalUnit(writer);
    InsertEmulationPrevention(writer);
    return WriteOutput(writer.Data(), writer.Size());
}

// ---------------------------------------------------------------------------------------------
// Extract

int COFMDExtract::OnStart()
{
    ResetCounting();
    return 0;
}

int COFMDExtract::OnNALUnit()
{
    if (int r = Parse())
        return r;
    CountFrame();
    if (m_parser.m_nalHeader.nal_unit_type != 6)
        return 0;
    for (const CH264SeiMessage& message : m_parser.m_seiMessages) {
        OfmdPayload ofmd;
        if (!CarriesOfmd(message, &ofmd))
            continue;
        if (WriteOfmdGop(m_textOut, m_frame, ofmd.pts, ofmd.number_of_offset_sequences,
                         ofmd.number_of_displayed_frames_in_GOP, ofmd.plane_offset) != 0)
            return kFileWriteError;
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Delete

int COFMDDelete::OnStart()
{
    ResetCounting();
    return 0;
}

int COFMDDelete::OnNALUnit()
{
    if (int r = Parse())
        return r;
    CountFrame();
    if (m_parser.m_nalHeader.nal_unit_type == 6 && DeleteOfmdMessages() > 0)
        return WriteRebuiltUnit();
    return WriteUnit();
}

// ---------------------------------------------------------------------------------------------
// Replace

int COFMDReplace::OnStart()
{
    ResetCounting();
    return StartOfmdInput();
}

int COFMDReplace::OnNALUnit()
{
    if (int r = Parse())
        return r;
    CountFrame();
    if (m_parser.m_nalHeader.nal_unit_type != 6)
        return WriteUnit();
    bool changed = false;
    for (CH264SeiMessage& message : m_parser.m_seiMessages) {
        OfmdPayload old;
        if (!CarriesOfmd(message, &old))
            continue;
        Log("replaced");
        uint32_t sequences = 0, frames = 0;
        std::vector<int32_t> offsets;
        ReadGopOffsets(m_frame, old.number_of_displayed_frames_in_GOP, sequences, frames, offsets);
        if (int r = OfmdReadResult())
            return r;
        // The message keeps its place; outer types 30 and 48 become 37 with a plain header.
        message = OfmdMessage(old.frame_rate, old.pts, sequences, frames, offsets);
        changed = true;
    }
    return changed ? WriteRebuiltUnit() : WriteUnit();
}

// ---------------------------------------------------------------------------------------------
// Insert

int COFMDInsert::OnStart()
{
    ResetCounting();
    m_gopStart        = false;
    m_pictureSeen     = false;
    m_bufferingPeriod = false;
    m_inserted        = false;
    return StartOfmdInput();
}

int COFMDInsert::OnNALUnit()
{
    if (int r = Parse())
        return r;
    uint32_t type                              = m_parser.m_nalHeader.nal_unit_type;
    bool rebuild                               = false;
    const std::vector<CGOPMap::GopEntry>& gops = m_gopMap.m_gops;
    if (IsVcl(type)) {
        m_pictureSeen = true;
    } else if (type == 6) {
        rebuild = DeleteOfmdMessages() > 0;
        for (const CH264SeiMessage& message : m_parser.m_seiMessages) {
            if (IsNestingType(message.payloadType) && message.nestedPayloadType == 0)
                m_bufferingPeriod = true;
        }
    } else if (CountFrame()) {
        // Only GOPs that have ended are passed: frames before the first GOP (a stream that
        // begins inside one) must not carry the index past them all.
        while (m_gopIndex < gops.size() &&
               uint64_t(gops[m_gopIndex].firstFrame) + gops[m_gopIndex].frameCount <= m_frame)
            ++m_gopIndex;
        m_gopStart        = m_gopIndex < gops.size() && gops[m_gopIndex].firstFrame == m_frame;
        m_pictureSeen     = false;
        m_bufferingPeriod = false;
        m_inserted        = false;
    }

    if (m_gopStart && m_pictureSeen && !m_inserted) {
        m_inserted = true;
        if (int r = InsertOffsetSei(m_frame, gops[m_gopIndex].frameCount))
            return r;
    }
    if (int r = rebuild ? WriteRebuiltUnit() : WriteUnit())
        return r;
    if (m_gopStart && m_bufferingPeriod && !m_inserted) {
        m_inserted = true;
        if (int r = InsertOffsetSei(m_frame, gops[m_gopIndex].frameCount))
            return r;
    }
    return 0;
}
