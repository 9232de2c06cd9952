// MPEG-2 transport stream demultiplexing (ISO/IEC 13818-1): programs and streams from the PAT
// and PMT, PES headers stripped, the payload of one wanted video stream delivered onwards.
#pragma once

#include "platform/win32_file.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <utility>
#include <vector>

constexpr size_t kTsPacketSize     = 188;
constexpr size_t kTsM2tsPacketSize = 192;
// A PAT or PMT section is kept from its table_id: 3 header bytes and section_length more, at
// most 1021 for these tables. Other tables (up to 4093) are only counted past.
constexpr size_t kTsMaxSectionLength  = 1021;
constexpr size_t kTsSectionBufferSize = 3 + kTsMaxSectionLength;
// A PES header: 9 fixed bytes and at most 255 of header data.
constexpr size_t kTsPesHeaderSize = 9 + 255;

// The video stream types that can be delivered, one row each. A base view decodes on its own;
// a dependent view needs its base view beside it.
struct TsVideoType {
    uint8_t streamType;
    const char* what;
    bool baseView;
};
inline constexpr TsVideoType kTsVideoTypes[] = {
    {0x1B, "H.264 video", true},
    {0x20, "MVC dependent view", false},
};
constexpr size_t kTsVideoTypeCount = sizeof kTsVideoTypes / sizeof kTsVideoTypes[0];
// The row of a stream type in kTsVideoTypes, or -1.
int TsVideoTypeRow(uint8_t streamType);
// The stream type of the first base view (or dependent view) in the table.
uint8_t TsFirstVideoType(bool baseView);

// The wanted stream's payload. It goes straight into the space the reader offers (the target);
// what does not fit there waits in the chunk and is taken out first next time.
class PayloadSink
{
  public:
    PayloadSink()                              = default;
    PayloadSink(const PayloadSink&)            = delete;
    PayloadSink& operator=(const PayloadSink&) = delete;
    ~PayloadSink() { Close(); }

    // Sizes the chunk by the reader's rule, with room for one more packet's payload behind it.
    bool Allocate(size_t n);
    bool IsAllocated() const { return m_chunk != nullptr; }

    void SetTarget(uint8_t* dest, size_t capacity)
    {
        m_target     = dest;
        m_targetRoom = dest ? capacity : 0;
        m_targetUsed = 0;
    }
    size_t TargetUsed() const { return m_targetUsed; }
    bool TargetFull() const { return m_targetUsed == m_targetRoom; }

    // Appends; false when the chunk cannot take what the target leaves over.
    bool Write(const uint8_t* bytes, size_t n);
    // Write of a whole packet's payload, the usual case, as a copy of known size.
    bool WriteWhole(const uint8_t* bytes) { return Put(bytes, kTsPacketSize - 4); }

    size_t Held() const { return m_held - m_taken; }
    // More than a chunk's worth is waiting: the point where a chunk is handed over.
    bool ChunkFull() const { return Held() > m_chunkSize; }
    // Moves up to n waiting bytes, oldest first, to dest; returns how many.
    size_t Take(uint8_t* dest, size_t n);
    void Close();

  private:
    // Write's body, inline so that WriteWhole's copy has a size known at compile time.
    bool Put(const uint8_t* bytes, size_t n)
    {
        if (n <= m_targetRoom - m_targetUsed) {
            std::memcpy(m_target + m_targetUsed, bytes, n);
            m_targetUsed += n;
            return true;
        }
        return WriteSpill(bytes, n);
    }
    bool WriteSpill(const uint8_t* bytes, size_t n);

    uint8_t* m_chunk    = nullptr;
    size_t m_chunkSize  = 0; // the size the allocation rule gave; one packet more is allocated
    size_t m_held       = 0;
    size_t m_taken      = 0;
    uint8_t* m_target   = nullptr;
    size_t m_targetRoom = 0;
    size_t m_targetUsed = 0;
};

struct TsStreamRecord {
    TsStreamRecord()                                 = default;
    TsStreamRecord(const TsStreamRecord&)            = delete;
    TsStreamRecord& operator=(const TsStreamRecord&) = delete;

    // kSectionHeader: the 3 bytes up to section_length; kSection: a PAT or PMT into
    // m_section; kSkipping: another table, counted past without being kept.
    enum Collecting : uint8_t { kNothing, kSectionHeader, kSection, kSkipping, kPesHeader };

    // Starts collecting what (wanted bytes of it, at most the buffer) afresh.
    void StartCollecting(Collecting what, uint16_t wanted = 0)
    {
        m_collecting = what;
        m_wanted     = wanted;
        m_held       = 0;
    }
    // Moves what is still wanted (n bytes at most) from p into buffer, past p; without a
    // buffer the bytes are only counted.
    void Collect(uint8_t* buffer, const uint8_t*& p, size_t& n)
    {
        size_t take = n < size_t(m_wanted - m_held) ? n : size_t(m_wanted - m_held);
        if (buffer)
            std::memcpy(buffer + m_held, p, take);
        m_held = uint16_t(m_held + take);
        p += take;
        n -= take;
    }
    bool InSection() const
    {
        return m_collecting == kSectionHeader || m_collecting == kSection ||
               m_collecting == kSkipping;
    }

    uint16_t program_number = 0xFFFF;
    uint8_t m_trackIndex    = 0;
    uint8_t stream_type     = 0xFF;
    // Named by the PAT: the PID carries sections (as PID 0 does), whatever its stream_type.
    bool m_isPmt = false;
    uint8_t m_pesHeader[kTsPesHeaderSize];
    // kTsSectionBufferSize bytes, allocated at the first section of a PSI PID only.
    std::unique_ptr<uint8_t[]> m_section;
    uint16_t m_wanted       = 0;
    uint16_t m_held         = 0;
    Collecting m_collecting = kNothing;
    uint8_t stream_id       = 0;
    uint64_t m_pesCount     = 0;
    PayloadSink* m_sink     = nullptr;
};

class TsDemultiplexer
{
  public:
    TsDemultiplexer();
    TsDemultiplexer(const TsDemultiplexer&)            = delete;
    TsDemultiplexer& operator=(const TsDemultiplexer&) = delete;

    // One packet (behind its 4-byte header when m_fourByteHeader is set); 0 or a negative
    // code: -1 no sync byte, a sink failure or no memory for a section; -2 transport error;
    // -3 adaptation field too long; -4 pointer_field at or past the payload's end; -6
    // reserved bits of section_length; -7 PAT or PMT section_length above 1021; -8
    // continuation without a section; -10 PAT too short; -11 PAT loop length; -12 PAT
    // reserved bits; -13 PMT too short; -14 program info too long; -15 stray PMT bytes; -16
    // PMT reserved bits; -18 descriptors too long; -19 PES start code. (-5, -9 and -17 are
    // not used.)
    int ProcessPacket(const uint8_t* packet)
    {
        const uint8_t* p = m_fourByteHeader ? packet + 4 : packet;
        // Most packets only carry more payload of the wanted stream: no unit start, a PES
        // header already complete, perhaps an adaptation field (the last of a PES packet).
        // They are written here, after the tests the long way makes.
        const unsigned pid        = ((p[1] & 0x1F) << 8) | p[2];
        const TsStreamRecord* rec = m_index[pid];
        if (p[0] == 0x47 && (p[1] & 0xC0) == 0 && (p[3] & 0x10) && rec && rec->m_sink && pid != 0 &&
            pid != 0x1FFF && !rec->m_isPmt && rec->program_number != 0xFFFF &&
            rec->m_collecting != TsStreamRecord::kPesHeader && rec->m_pesCount != 0) {
            if (!(p[3] & 0x20))
                return rec->m_sink->WriteWhole(p + 4) ? 0 : -1;
            const size_t start = 5 + size_t(p[4]);
            if (start < kTsPacketSize)
                return rec->m_sink->Write(p + start, kTsPacketSize - start) ? 0 : -1;
        }
        return ProcessOther(p);
    }
    bool HasStreamType(uint8_t type) const;

    // The choice of the video stream, made in one of three ways:
    // - given: the first stream of the wanted type in PMT order is delivered (and when the
    //   tables stop listing it, the first of that type listed after that, from its first PES
    //   header);
    // - at the first complete PMT, by ChosenType over the streams it lists (for inputs that
    //   cannot be read twice);
    // - by a probe, a pass of its own before the real one: it delivers the first dependent
    //   view (so its reader can stop once that payload flows) and is done as soon as
    //   ChosenType can no longer change (ProbeDone), and its ChosenType is then given to the
    //   real pass.
    void SetWantedType(uint8_t type);
    void ChooseTypeAtFirstPmt(bool preferMvc);
    void Probe(bool preferMvc);
    // The first of the known video types in the order of preference: the dependent views
    // first when preferMvc is set, else the base views, each kind in the table's order. The
    // first base view when none is known.
    uint8_t ChosenType() const;
    // A probe has seen the most preferred type listed: a later listing cannot change the
    // choice (a later PMT version or PAT that re-types that stream is not waited for).
    bool ProbeDone() const { return m_probeDone; }
    // The type being delivered; 0 while it is still to be chosen at the first PMT.
    uint8_t StreamType() const { return m_streamType; }
    // Forgets the streams, the sink and the packet format, but not how the type is chosen.
    void Reset();
    PayloadSink& Sink() { return m_sink; }

    std::map<uint16_t, TsStreamRecord> m_streams;
    bool m_fourByteHeader    = false;
    uint16_t m_programFilter = 0;
    size_t m_bufferSize      = 0;

  private:
    TsStreamRecord& Record(uint16_t pid);
    // ProcessPacket behind the 4-byte header, for every packet but plain payload.
    int ProcessOther(const uint8_t* p);
    int ProcessElementary(TsStreamRecord& rec, const uint8_t* p, size_t n, bool unitStart);
    int ProcessSection(uint16_t pid, TsStreamRecord& rec, const uint8_t* p, size_t n,
                       bool unitStart);
    int ContinueSection(uint16_t pid, TsStreamRecord& rec, const uint8_t*& p, size_t& n);
    int ProcessPat(const uint8_t* s, unsigned sectionLength);
    int ProcessPmt(uint16_t pmtPid, TsStreamRecord& pmt, const uint8_t* s, unsigned sectionLength);
    // A stream listed for delivery by a PMT in force: where the tables list it.
    struct Listing {
        TsStreamRecord* rec = nullptr;
        // The PMT's program_number and PID, and the program the PAT gives that PID: the PMT's
        // own, unless the PMT carries a program_number the PAT does not give its PID.
        uint16_t program    = 0;
        uint16_t pmtPid     = 0;
        uint16_t patProgram = 0;
    };
    // The stream a PMT in force lists for delivery: it goes on when it is the delivered one,
    // else it is delivered at once when nothing was before, or waits as the successor.
    int List(TsStreamRecord& rec, uint16_t program, uint16_t pmtPid, uint16_t patProgram);
    // A PES packet begins on rec: the ending stream's packet in flight is over, or the
    // successor takes the sink over.
    void PesStart(TsStreamRecord& rec);
    // Whether the last current PAT section gives the PMT PID to the program.
    bool PatLists(uint16_t program, uint16_t pmtPid) const;
    // ChosenType, and its place in the order of preference (kTsVideoTypeCount: none known).
    uint8_t Choose(size_t* place) const;

    // Kept over Reset: the type given (0: chosen at the first PMT), whether this is a probe,
    // and the preference.
    uint8_t m_wantedType = 0;
    bool m_probe         = false;
    bool m_preferMvc     = false;
    // The type delivered (0 until the first PMT chooses it) and whether a probe is done.
    uint8_t m_streamType = 0;
    bool m_probeDone     = false;
    // The stream with the sink. Ending: the tables in force no longer list it, but the PES
    // packet in flight is still delivered whole, up to the stream's next PES header or the
    // successor's first, whichever comes first.
    Listing m_delivered;
    bool m_ending = false;
    // Listed while the delivered stream was ending or gone: it takes the sink at its first PES
    // header.
    Listing m_successor;
    // The programs and PMT PIDs of the last current PAT section.
    std::vector<std::pair<uint16_t, uint16_t>> m_patPrograms;
    PayloadSink m_sink;
    // The map's records by PID, so a packet costs no tree search.
    TsStreamRecord* m_index[0x2000] = {};
};

// Reads the packet file in large blocks; packets are used in place where they lie.
class TsBufferedReader
{
  public:
    TsBufferedReader()                                   = default;
    TsBufferedReader(const TsBufferedReader&)            = delete;
    TsBufferedReader& operator=(const TsBufferedReader&) = delete;
    ~TsBufferedReader() { Close(); }

    // max(n, 4096) bytes, halved while the allocation fails and half is still above 1024.
    bool Allocate(size_t n);
    // Copies n bytes out; fewer at the end of the data or on a read error.
    size_t Read(uint8_t* dest, size_t n);
    // The next n bytes where they lie in the buffer (valid until the next call), or nullptr
    // when fewer than n are left before the end of the data or a read error.
    const uint8_t* Next(size_t n);
    // As Next, but without moving on: the bytes held from there hold *count >= 1 pieces of n
    // bytes; Skip moves on.
    const uint8_t* Peek(size_t n, size_t* count);
    void Skip(size_t n) { m_pos += n; }
    // A read failed (as opposed to the data having ended).
    bool Failed() const { return m_failed; }
    // Closes the handle and frees the buffer.
    void Close();

    FileHandle m_handle = kInvalidFileHandle;

  private:
    bool ReadMore();

    uint8_t* m_buffer = nullptr;
    size_t m_size     = 0;
    size_t m_held     = 0;
    size_t m_pos      = 0;
    bool m_failed     = false;
    bool m_ended      = false;
};
