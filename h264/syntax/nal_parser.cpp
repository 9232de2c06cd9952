// Parsing one unit by its type into the context, picture counting, and rebuilding SEI units.
#include "h264/syntax/nal_parser.h"

#include <utility>

namespace
{

template <class T> const T& Lookup(const std::map<uint32_t, T>& map, uint32_t id)
{
    static const T kEmpty;
    auto it = map.find(id);
    return it == map.end() ? kEmpty : it->second;
}

// A parameter set is stored under its id, and made current, only when it parsed.
template <class T>
int ParseStored(H264NalParser& ctx, H264BitReader& reader, std::map<uint32_t, T>& map,
                uint32_t T::*id, int32_t& currentId)
{
    T set;
    int r = set.Parse(ctx, reader);
    if (r == 0) {
        currentId    = int32_t(set.*id);
        map[set.*id] = std::move(set);
    }
    reader.SkipToByteAlign();
    ctx.CountPicture();
    return r;
}

} // namespace

bool IsSliceType(uint32_t t) { return t == 1 || t == 2 || t == 5 || t == 20 || t == 21; }

H264NalParser::H264NalParser() { Clear(); }

void H264NalParser::Clear()
{
    m_nalHeader.Clear(*this);
    m_sliceHeader.Clear(*this);
    m_prevSliceHeader = H264SliceHeaderValues();
    m_sliceData.Clear(*this);
    m_partitionA.Clear(*this);
    m_partitionBC.Clear(*this);
    m_emptyUnit.Clear(*this);
    m_currentPpsId = -1;
    m_currentSpsId = -1;
    m_ppsMap.clear();
    m_spsMap.clear();
    m_subsetSpsMap.clear();
    m_spsExtensionMap.clear();
    m_seiMessages.clear();
    m_pictureCounted = false;
    m_pictureCount   = 0xFFFFFFFF;
}

const CH264SeqParameterSetData& H264NalParser::Sps(uint32_t id) const
{
    return Lookup(m_spsMap, id);
}

const CH264PicParameterSet& H264NalParser::Pps(uint32_t id) const { return Lookup(m_ppsMap, id); }

const CH264SubsetSeqParameterSetData& H264NalParser::SubsetSps(uint32_t id) const
{
    return Lookup(m_subsetSpsMap, id);
}

void H264NalParser::SelectPps(uint32_t ppsId)
{
    m_currentPpsId = int32_t(ppsId);
    m_currentSpsId = int32_t(Pps(ppsId).seq_parameter_set_id);
}

int H264NalParser::ParseNalPayload(H264BitReader& reader)
{
    try {
        return ParseUnit(reader);
    } catch (BitstreamErr_t e) {
        uint32_t type = m_nalHeader.nal_unit_type;
        if (IsSliceType(type)) {
            SliceEpilogue(reader);
        } else if (type == 3 || type == 4) {
            m_newPicture     = false;
            m_pictureCounted = false;
        }
        return -int(e);
    }
}

int H264NalParser::ParseNalUnit(H264BitReader& reader, const uint8_t* unit, size_t size)
{
    reader.InitView(unit, size);
    RemoveEmulationPrevention(reader);
    return ParseNalPayload(reader);
}

int H264NalParser::ParseUnit(H264BitReader& reader)
{
    SkipStartCode(reader);
    int r = m_nalHeader.Parse(*this, reader);
    switch (m_nalHeader.nal_unit_type) {
    case 1:
    case 2:
    case 5:
        if (int sr = m_sliceHeader.Parse(*this, reader))
            return sr;
        // Partition A carries slice_id after the header (which a counting parse leaves unread).
        if (int pr = m_nalHeader.nal_unit_type == 2 && !m_countingOnly
                         ? m_partitionA.Parse(*this, reader)
                         : 0)
            return pr;
        m_sliceData.Clear(*this);
        SkipSliceData(reader);
        return SliceEpilogue(reader);
    case 3:
    case 4:
        if (int pr = m_partitionBC.Parse(*this, reader))
            return pr;
        m_sliceData.Clear(*this);
        SkipSliceData(reader);
        m_newPicture     = false;
        m_pictureCounted = false;
        return 0;
    case 6:
        m_seiMessages.clear();
        // Messages up to the stop bit; trailing zero bytes after it are left unread. With more
        // than 15 bits left a unit whose last byte is not zero always has more data, so such a
        // unit reads its messages exactly as far as the bit count alone would take it.
        while (reader.BitsLeft() > 15 && reader.MoreRbspData()) {
            // Two bytes make an empty message, which costs far more in memory.
            reader.SpendListBytes(sizeof(CH264SeiMessage));
            CH264SeiMessage msg;
            r |= msg.Parse(*this, reader);
            if (r == 0)
                m_seiMessages.push_back(std::move(msg));
        }
        reader.SkipToByteAlign();
        CountPicture();
        return r;
    case 7:
        return ParseStored(*this, reader, m_spsMap, &CH264SeqParameterSetData::seq_parameter_set_id,
                           m_currentSpsId);
    case 8:
        return ParseStored(*this, reader, m_ppsMap, &CH264PicParameterSet::pic_parameter_set_id,
                           m_currentPpsId);
    case 9:
        primary_pic_type = reader.ReadBits(3);
        reader.SkipToByteAlign();
        CountPicture();
        return 0;
    case 10:
    case 11:
        return m_emptyUnit.Parse(*this, reader);
    case 13:
        return ParseStored(*this, reader, m_spsExtensionMap,
                           &CH264SeqParameterSetExtension::seq_parameter_set_id, m_currentSpsId);
    case 14:
        CountPicture();
        return m_nalHeader.svc_extension_flag ? 1 : r;
    case 15: {
        CH264SeqParameterSetData sps;
        if (int pr = sps.Parse(*this, reader))
            return pr;
        // The SPS part replaces a plain SPS of the same id.
        uint32_t id    = sps.seq_parameter_set_id;
        m_currentSpsId = int32_t(id);
        m_spsMap[id]   = std::move(sps);
        CH264SubsetSeqParameterSetData subset;
        if (int pr = subset.Parse(*this, reader))
            return pr;
        m_subsetSpsMap[id] = std::move(subset);
        reader.SkipToByteAlign();
        CountPicture();
        return 0;
    }
    case 20:
    case 21:
        if (!m_nalHeader.svc_extension_flag && !m_nalHeader.avc_3d_extension_flag) {
            if (int sr = m_sliceHeader.Parse(*this, reader))
                return sr;
            m_sliceData.Clear(*this);
        }
        SkipSliceData(reader);
        return SliceEpilogue(reader);
    case 24:
        m_rbsp.Parse(*this, reader);
        CountPicture();
        return r;
    default:
        if (m_countingOnly) {
            m_rbsp.Clear(*this);
            reader.SkipRest();
        } else {
            m_rbsp.Parse(*this, reader);
        }
        return 100;
    }
}

int H264NalParser::SliceEpilogue(H264BitReader&)
{
    CheckNewPicture();
    if (m_newPicture)
        CountPicture();
    m_pictureCounted = false;
    return 0;
}

void H264NalParser::CountPicture()
{
    if (!m_pictureCounted) {
        ++m_pictureCount;
        m_pictureCounted = true;
    }
}

// Close to 7.4.1.2.4: whether the current slice begins a new primary picture. The nal_ref_idc
// test is narrower than the standard's: only a non-zero current value that differs counts.
void H264NalParser::CheckNewPicture()
{
    const H264SliceHeaderValues& cur  = m_sliceHeader;
    const H264SliceHeaderValues& prev = m_prevSliceHeader;
    uint32_t nalRefIdc                = m_nalHeader.nal_ref_idc;
    bool idr                          = m_nalHeader.nal_unit_type == 5;

    m_newPicture = false;
    if (m_pictureCount == 0xFFFFFFFF) {
        m_prevSliceHeader = cur;
        m_prevNalRefIdc   = nalRefIdc;
        m_prevIdr         = idr;
    }
    if (cur.frame_num != prev.frame_num || cur.pic_parameter_set_id != prev.pic_parameter_set_id) {
        m_newPicture = true;
    } else if (cur.field_pic_flag != prev.field_pic_flag ||
               (cur.field_pic_flag == 1 && cur.bottom_field_flag != prev.bottom_field_flag)) {
        m_newPicture = true;
    } else if (nalRefIdc != 0 && nalRefIdc != m_prevNalRefIdc) {
        m_newPicture = true;
    } else {
        uint32_t pocType = CurrentSps().pic_order_cnt_type;
        if (pocType == 0 && (cur.pic_order_cnt_lsb != prev.pic_order_cnt_lsb ||
                             cur.delta_pic_order_cnt_bottom != prev.delta_pic_order_cnt_bottom))
            m_newPicture = true;
        else if (pocType == 1 && (cur.delta_pic_order_cnt[0] != prev.delta_pic_order_cnt[0] ||
                                  cur.delta_pic_order_cnt[1] != prev.delta_pic_order_cnt[1]))
            m_newPicture = true;
        else if (idr != m_prevIdr || (idr && cur.idr_pic_id != prev.idr_pic_id))
            m_newPicture = true;
    }
    m_prevSliceHeader = cur;
    m_prevNalRefIdc   = nalRefIdc;
    m_prevIdr         = idr;
}

// The slice data is dropped unread: nothing looks at it, and a big slice is then never even
// unescaped. With nothing at all after the header the alignment read would fail, and still does.
int H264NalParser::SkipSliceData(H264BitReader& reader)
{
    if (reader.BitsLeftBound() == 0)
        throw kBitstreamReadPastEnd;
    reader.SkipRest();
    return 0;
}

namespace
{

// Writes the stored set of an id, or an empty one when there is none.
template <class T>
int WriteStored(H264NalParser& ctx, std::map<uint32_t, T>& map, int32_t id, H264BitWriter& writer)
{
    auto it = map.find(uint32_t(id));
    if (it != map.end())
        return it->second.Write(ctx, writer);
    T empty;
    return empty.Write(ctx, writer);
}

} // namespace

int H264NalParser::WriteNalUnit(H264BitWriter& writer)
{
    uint32_t type = m_nalHeader.nal_unit_type;
    if (type == 6 && m_seiMessages.empty())
        return 0;
    writer.WriteBits(32, 1);
    int r = m_nalHeader.Write(*this, writer);
    switch (type) {
    case 6:
        for (CH264SeiMessage& msg : m_seiMessages)
            r |= msg.Write(*this, writer);
        writer.WriteTrailingBits();
        return r;
    case 7:
    case 8:
    case 13: {
        int wr = type == 7   ? WriteStored(*this, m_spsMap, m_currentSpsId, writer)
                 : type == 8 ? WriteStored(*this, m_ppsMap, m_currentPpsId, writer)
                             : WriteStored(*this, m_spsExtensionMap, m_currentSpsId, writer);
        writer.WriteTrailingBits();
        return wr;
    }
    case 15: {
        int wr = WriteStored(*this, m_spsMap, m_currentSpsId, writer);
        if (wr == 0)
            wr = WriteStored(*this, m_subsetSpsMap, m_currentSpsId, writer);
        if (wr == 0)
            writer.WriteTrailingBits();
        return wr;
    }
    case 9:
        writer.WriteBits(3, primary_pic_type);
        writer.WriteTrailingBits();
        return 0;
    case 10:
    case 11:
        m_emptyUnit.Write(*this, writer);
        return r;
    case 14:
        return m_nalHeader.svc_extension_flag ? 1 : r;
    case 24:
        m_rbsp.Write(*this, writer);
        return r;
    default: // slices and the types without a parser
        return 1;
    }
}

void PrintBitstreamError(FILE* stream, int result)
{
    if (result < 0) {
        fprintf(stream, "\n");
        fprintf(stream, "ERROR reading bitstream: %s\n\n",
                result == -3 ? "read past NAL end" : "too many bits requested");
    } else {
        fprintf(stream, "ERROR parsing message: %d\n\n", result);
    }
    fflush(stream);
}
