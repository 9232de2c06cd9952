// The parse context of one H.264 byte stream: the parameter sets seen so far, the SEI messages
// of the current SEI unit, the current and previous slice headers, and the picture counter.
#pragma once

#include "h264/bits/bit_reader.h"
#include "h264/bits/bit_writer.h"
#include "h264/syntax/nal_header.h"
#include "h264/syntax/pps.h"
#include "h264/syntax/sei.h"
#include "h264/syntax/slice.h"
#include "h264/syntax/sps.h"
#include "h264/syntax/subset_sps.h"

#include <cstdint>
#include <cstdio>
#include <map>
#include <vector>

// The NAL unit types that carry a slice: 1, 2 (partition A), 5, 20 and 21.
bool IsSliceType(uint32_t nalUnitType);

class H264NalParser
{
  public:
    H264NalParser();

    void Clear();
    // Parses one NAL unit, start code included (00 00 01 or 00 00 00 01), from a reader whose
    // emulation prevention is already removed. 0 success; a positive code from a syntax class,
    // 1 for an SVC prefix unit, 100 for a type without a parser; -2 or -3 when the reader threw.
    int ParseNalPayload(H264BitReader& reader);
    // Parses a unit as it lies in the stream: the reader is set over its bytes (start code
    // included), emulation prevention is removed, then ParseNalPayload. The reader stays on
    // the unit for what follows (the bytes behind a rebuilt SEI unit's trailing bits).
    int ParseNalUnit(H264BitReader& reader, const uint8_t* unit, size_t size);
    // Writes the current unit from 00 00 00 01 on; 1 when its type cannot be written. An SEI
    // unit whose messages were all removed writes nothing.
    int WriteNalUnit(H264BitWriter& writer);

    // Steps of ParseNalPayload.
    void CountPicture();
    void CheckNewPicture();
    int SkipSliceData(H264BitReader& reader);

    // Parameter sets by id, looked up without inserting: an id never stored reads an empty set.
    const CH264SeqParameterSetData& Sps(uint32_t id) const;
    const CH264PicParameterSet& Pps(uint32_t id) const;
    const CH264SubsetSeqParameterSetData& SubsetSps(uint32_t id) const;
    // Those of the current ids (-1 reads an empty set too).
    const CH264SeqParameterSetData& CurrentSps() const { return Sps(uint32_t(m_currentSpsId)); }
    const CH264PicParameterSet& CurrentPps() const { return Pps(uint32_t(m_currentPpsId)); }
    // Makes a PPS current, and the SPS it names (an unknown PPS names SPS 0).
    void SelectPps(uint32_t ppsId);

    // Set by a tool that looks at SEI messages, slice types and the picture count alone:
    // slice headers are read only as far as the new-picture test needs, and the bytes of
    // units without a parser (filler data) are passed over unread, m_rbsp left empty. The
    // picture count is the same either way.
    bool m_countingOnly = false;

    uint32_t m_pictureCount = 0xFFFFFFFF; // 0xFFFFFFFF: no picture yet
    bool m_newPicture       = false;      // the last slice started a new picture
    CH264NALUnitHeader m_nalHeader;
    // The ids hold the coded values; -1 when none (no ue(v) value reads as 0xFFFFFFFF).
    int32_t m_currentPpsId = -1;
    std::map<uint32_t, CH264PicParameterSet> m_ppsMap;
    int32_t m_currentSpsId = -1;
    std::map<uint32_t, CH264SeqParameterSetData> m_spsMap;
    std::map<uint32_t, CH264SubsetSeqParameterSetData> m_subsetSpsMap;
    std::map<uint32_t, CH264SeqParameterSetExtension> m_spsExtensionMap;
    std::vector<CH264SeiMessage> m_seiMessages; // of the last SEI unit
    // Where the parse of each nesting message reads its header.
    SeiNestingHeaders m_nestingHeaders;
    uint32_t primary_pic_type = 0; // of the last access unit delimiter
    CH264SliceHeader m_sliceHeader;
    CH264SliceData m_sliceData;
    CH264SliceDataPartitionBC m_partitionA;  // after the slice header of partition A
    CH264SliceDataPartitionBC m_partitionBC; // partitions B and C
    CH264EmptyUnit m_emptyUnit;
    CH264RBSP m_rbsp; // the rest of the last unit kept raw
    // The values of the last slice header that went through the new-picture test.
    H264SliceHeaderValues m_prevSliceHeader;
    bool m_pictureCounted    = false;
    uint32_t m_prevNalRefIdc = 0;
    bool m_prevIdr           = false;

  private:
    int ParseUnit(H264BitReader& reader);
    int SliceEpilogue(H264BitReader& reader);
};

// Prints a failed ParseNalPayload result: "ERROR reading bitstream: ..." for a negative one,
// "ERROR parsing message: %d" otherwise.
void PrintBitstreamError(FILE* stream, int result);
