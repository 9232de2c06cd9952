// Packets, PAT and PMT sections, PES headers and the wanted stream's payload sink.
#include "h264/stream/ts_demux.h"

#include "common/file_utils.h"

#include <algorithm>
#include <cstring>
#include <new>

// The allocation rule of the reader and the sink's chunk: halve the request while it fails.
static uint8_t* AllocateHalving(size_t n, size_t extra, size_t* got)
{
    size_t size = std::max<size_t>(n, 4096);
    for (;;) {
        uint8_t* p = new (std::nothrow) uint8_t[size + extra];
        if (p) {
            *got = size;
            return p;
        }
        if (size / 2 <= 1024)
            return nullptr;
        size /= 2;
    }
}

bool PayloadSink::Allocate(size_t n)
{
    Close();
    m_chunk = AllocateHalving(n, kTsPacketSize, &m_chunkSize);
    return m_chunk != nullptr;
}

bool PayloadSink::Write(const uint8_t* bytes, size_t n) { return Put(bytes, n); }

bool PayloadSink::WriteSpill(const uint8_t* bytes, size_t n)
{
    size_t room = m_targetRoom - m_targetUsed;
    if (room) {
        std::memcpy(m_target + m_targetUsed, bytes, room);
        m_targetUsed += room;
        bytes += room;
        n -= room;
    }
    if (m_taken == m_held)
        m_taken = m_held = 0;
    const size_t capacity = m_chunkSize + kTsPacketSize;
    if (n > capacity - m_held) {
        if (n > capacity - Held())
            return false;
        std::memmove(m_chunk, m_chunk + m_taken, Held());
        m_held -= m_taken;
        m_taken = 0;
    }
    std::memcpy(m_chunk + m_held, bytes, n);
    m_held += n;
    return true;
}

size_t PayloadSink::Take(uint8_t* dest, size_t n)
{
    n = std::min(n, Held());
    if (n) {
        std::memcpy(dest, m_chunk + m_taken, n);
        m_taken += n;
    }
    return n;
}

void PayloadSink::Close()
{
    delete[] m_chunk;
    m_chunk     = nullptr;
    m_chunkSize = m_held = m_taken = 0;
    SetTarget(nullptr, 0);
}

int TsVideoTypeRow(uint8_t streamType)
{
    for (size_t row = 0; row < kTsVideoTypeCount; ++row)
        if (kTsVideoTypes[row].streamType == streamType)
            return int(row);
    return -1;
}

uint8_t TsFirstVideoType(bool baseView)
{
    for (const TsVideoType& t : kTsVideoTypes)
        if (t.baseView == baseView)
            return t.streamType;
    return 0;
}

TsDemultiplexer::TsDemultiplexer() {}

void TsDemultiplexer::Reset()
{
    m_streams.clear();
    std::fill(std::begin(m_index), std::end(m_index), nullptr);
    m_sink.Close();
    m_fourByteHeader = false;
    m_delivered      = Listing();
    m_ending         = false;
    m_successor      = Listing();
    m_patPrograms.clear();
    m_streamType = m_wantedType;
    m_probeDone  = false;
}

void TsDemultiplexer::SetWantedType(uint8_t type)
{
    m_wantedType = m_streamType = type;
    m_probe                     = false;
}

void TsDemultiplexer::ChooseTypeAtFirstPmt(bool preferMvc)
{
    SetWantedType(0);
    m_preferMvc = preferMvc;
}

void TsDemultiplexer::Probe(bool preferMvc)
{
    SetWantedType(TsFirstVideoType(false));
    m_probe     = true;
    m_preferMvc = preferMvc;
}

TsStreamRecord& TsDemultiplexer::Record(uint16_t pid)
{
    TsStreamRecord* rec = m_index[pid];
    if (!rec) {
        rec          = &m_streams[pid];
        m_index[pid] = rec;
    }
    return *rec;
}

bool TsDemultiplexer::HasStreamType(uint8_t type) const
{
    for (const auto& entry : m_streams)
        if (entry.second.stream_type == type)
            return true;
    return false;
}

uint8_t TsDemultiplexer::Choose(size_t* place) const
{
    *place = 0;
    for (bool preferred : {true, false}) {
        for (const TsVideoType& t : kTsVideoTypes) {
            if ((t.baseView != m_preferMvc) != preferred)
                continue;
            if (HasStreamType(t.streamType))
                return t.streamType;
            ++*place;
        }
    }
    return TsFirstVideoType(true);
}

uint8_t TsDemultiplexer::ChosenType() const
{
    size_t place = 0;
    return Choose(&place);
}

// The 4-byte header's arrival time stamp is not used.
int TsDemultiplexer::ProcessOther(const uint8_t* p)
{
    if (p[0] != 0x47)
        return -1;
    if (p[1] & 0x80)
        return -2;
    const uint16_t pid   = uint16_t(((p[1] & 0x1F) << 8) | p[2]);
    const bool unitStart = (p[1] & 0x40) != 0;
    const unsigned afc   = (p[3] >> 4) & 3;
    if (pid == 0x1FFF || !(afc & 1))
        return 0;
    size_t start = 4;
    if (afc & 2) {
        start = 5 + size_t(p[4]);
        if (start >= kTsPacketSize)
            return -3;
    }
    // The index is read in place: Record is a call, and this runs for every packet.
    TsStreamRecord* rec = m_index[pid];
    if (!rec)
        rec = &Record(pid);
    if (pid == 0 || rec->m_isPmt)
        return ProcessSection(pid, *rec, p + start, kTsPacketSize - start, unitStart);
    // A PID no PMT has named is not looked at.
    if (rec->program_number == 0xFFFF)
        return 0;
    return ProcessElementary(*rec, p + start, kTsPacketSize - start, unitStart);
}

int TsDemultiplexer::ProcessElementary(TsStreamRecord& rec, const uint8_t* p, size_t n,
                                       bool unitStart)
{
    if (unitStart) {
        rec.StartCollecting(TsStreamRecord::kPesHeader, 9);
        if (&rec == m_successor.rec || (m_ending && &rec == m_delivered.rec))
            PesStart(rec);
    }
    if (rec.m_collecting == TsStreamRecord::kPesHeader) {
        const uint8_t* h = rec.m_pesHeader;
        if (unitStart && n >= 9 && n >= 9 + size_t(p[8])) {
            // The whole header is in this packet, as it usually is: it is read where it lies.
            h = p;
            p += 9 + size_t(p[8]);
            n -= 9 + size_t(h[8]);
        } else {
            rec.Collect(rec.m_pesHeader, p, n);
            if (rec.m_held == 9 && rec.m_wanted == 9 && h[8] != 0) {
                // The fixed 9 bytes are in: now the header data they announce.
                rec.m_wanted = uint16_t(9 + h[8]);
                rec.Collect(rec.m_pesHeader, p, n);
            }
            if (rec.m_held < rec.m_wanted)
                return 0;
        }
        if (h[0] != 0 || h[1] != 0 || h[2] != 1)
            return -19;
        rec.stream_id = h[3];
        ++rec.m_pesCount;
        rec.StartCollecting(TsStreamRecord::kNothing);
    }
    // Payload of a stream joined in the middle has no header to belong to.
    if (rec.m_pesCount == 0 || !rec.m_sink || n == 0)
        return 0;
    return rec.m_sink->Write(p, n) ? 0 : -1;
}

int TsDemultiplexer::ProcessSection(uint16_t pid, TsStreamRecord& rec, const uint8_t* p, size_t n,
                                    bool unitStart)
{
    if (!rec.m_section) {
        rec.m_section.reset(new (std::nothrow) uint8_t[kTsSectionBufferSize]);
        if (!rec.m_section)
            return -1;
    }
    if (unitStart) {
        // The pointer_field's bytes end a section begun in an earlier packet; what it does
        // not need is stuffing, and a section still incomplete behind them is lost.
        const size_t pointer = p[0];
        if (1 + pointer >= n)
            return -4;
        const uint8_t* tail = p + 1;
        size_t left         = pointer;
        if (rec.InSection())
            if (int r = ContinueSection(pid, rec, tail, left))
                return r;
        rec.StartCollecting(TsStreamRecord::kNothing);
        p += 1 + pointer;
        n -= 1 + pointer;
    } else if (!rec.InSection()) {
        return -8;
    }
    // Sections follow one another up to the packet's end or stuffing.
    while (n > 0) {
        if (!rec.InSection()) {
            if (p[0] == 0xFF)
                return 0;
            rec.StartCollecting(TsStreamRecord::kSectionHeader, 3);
        }
        if (int r = ContinueSection(pid, rec, p, n))
            return r;
    }
    return 0;
}

// Takes from p what the current section still needs, up to its end; a complete PAT or PMT is
// handled (its CRC_32 is not checked).
int TsDemultiplexer::ContinueSection(uint16_t pid, TsStreamRecord& rec, const uint8_t*& p,
                                     size_t& n)
{
    uint8_t* s = rec.m_section.get();
    if (rec.m_collecting == TsStreamRecord::kSectionHeader) {
        rec.Collect(s, p, n);
        if (rec.m_held < 3)
            return 0;
        const unsigned sectionLength = ((s[1] & 0x0F) << 8) | s[2];
        const uint16_t wanted        = uint16_t(3 + sectionLength);
        // PID 0 carries its PAT and a PMT PID its PMT among other tables, passed over.
        if (s[0] != (pid == 0 ? 0 : 2)) {
            rec.m_collecting = TsStreamRecord::kSkipping;
        } else {
            if ((s[1] & 0x30) != 0x30)
                return -6;
            if (sectionLength > kTsMaxSectionLength)
                return -7;
            rec.m_collecting = TsStreamRecord::kSection;
        }
        rec.m_wanted = wanted;
    }
    rec.Collect(rec.m_collecting == TsStreamRecord::kSection ? s : nullptr, p, n);
    if (rec.m_held < rec.m_wanted)
        return 0;
    const bool handled           = rec.m_collecting == TsStreamRecord::kSection;
    const unsigned sectionLength = rec.m_wanted - 3u;
    rec.StartCollecting(TsStreamRecord::kNothing);
    if (!handled)
        return 0;
    if (pid == 0)
        return ProcessPat(s, sectionLength);
    return ProcessPmt(pid, rec, s, sectionLength);
}

int TsDemultiplexer::ProcessPat(const uint8_t* s, unsigned sectionLength)
{
    // transport_stream_id, version, section_number and last_section_number come first.
    if (sectionLength <= 5)
        return -10;
    if (sectionLength < 9 || (sectionLength - 9) % 4 != 0)
        return -11;
    const uint8_t* entry = s + 8;
    const uint8_t* end   = entry + (sectionLength - 9);
    const bool current   = (s[5] & 1) != 0;
    if (current)
        m_patPrograms.clear();
    for (; entry < end; entry += 4) {
        uint16_t program = uint16_t((entry[0] << 8) | entry[1]);
        if (entry[2] < 0xE0)
            return -12;
        uint16_t pid = uint16_t(((entry[2] & 0x1F) << 8) | entry[3]);
        if (current)
            m_patPrograms.emplace_back(program, pid);
        if (m_programFilter != 0 && m_programFilter != program)
            continue;
        // Program 0 names the network PID; its tables are passed over by their table_id.
        TsStreamRecord& rec = Record(pid);
        rec.program_number  = program;
        rec.stream_type     = 0xFF;
        rec.m_isPmt         = true;
    }
    // Only a whole current table tells that a program has gone: a section of the next one
    // (current_next_indicator 0), or one section of several, need not list it.
    if (current && s[7] == 0) {
        if (m_delivered.rec && !PatLists(m_delivered.patProgram, m_delivered.pmtPid))
            m_ending = true;
        if (m_successor.rec && !PatLists(m_successor.patProgram, m_successor.pmtPid))
            m_successor = Listing();
    }
    return 0;
}

bool TsDemultiplexer::PatLists(uint16_t program, uint16_t pmtPid) const
{
    return std::find(m_patPrograms.begin(), m_patPrograms.end(), std::make_pair(program, pmtPid)) !=
           m_patPrograms.end();
}

int TsDemultiplexer::List(TsStreamRecord& rec, uint16_t program, uint16_t pmtPid,
                          uint16_t patProgram)
{
    const Listing listing = {&rec, program, pmtPid, patProgram};
    if (&rec == m_delivered.rec) {
        // Listed again (under another PMT PID, program or version) before its PES packet in
        // flight was over: it simply goes on.
        m_delivered = listing;
        m_ending    = false;
        m_successor = Listing();
    } else if (m_sink.IsAllocated()) {
        m_successor = listing;
    } else {
        // The first delivery: payload flows from the stream's first PES header.
        if (!m_sink.Allocate(m_bufferSize))
            return -1;
        m_delivered = listing;
        rec.m_sink  = &m_sink;
    }
    return 0;
}

void TsDemultiplexer::PesStart(TsStreamRecord& rec)
{
    if (m_delivered.rec)
        m_delivered.rec->m_sink = nullptr;
    m_delivered = Listing();
    m_ending    = false;
    if (&rec == m_successor.rec) {
        m_delivered = m_successor;
        m_successor = Listing();
        rec.m_sink  = &m_sink;
    }
}

int TsDemultiplexer::ProcessPmt(uint16_t pmtPid, TsStreamRecord& pmt, const uint8_t* s,
                                unsigned sectionLength)
{
    if (sectionLength <= 7)
        return -13;
    // The CRC_32 takes the last 4 bytes; with fewer than 9 bytes after section_length there is
    // not even a program_info_length before it.
    const unsigned crcStart = 3 + sectionLength - 4;
    if (sectionLength < 9)
        return -14;
    const uint16_t program = uint16_t((s[3] << 8) | s[4]);
    const unsigned infoLen = ((s[10] & 0x0F) << 8) | s[11];
    unsigned pos           = 12 + infoLen;
    if (pos > crcStart)
        return -14;
    // The first stream of each video type in this PMT; whether it lists the delivered stream
    // and the successor.
    TsStreamRecord* firstOfType[kTsVideoTypeCount] = {};
    bool listsDelivered = false, listsSuccessor = false;
    while (crcStart - pos >= 5) {
        const uint8_t* e = s + pos;
        if ((e[1] & 0xE0) != 0xE0)
            return -16;
        const uint8_t type   = e[0];
        const uint16_t pid   = uint16_t(((e[1] & 0x1F) << 8) | e[2]);
        const unsigned esLen = ((e[3] & 0x0F) << 8) | e[4];
        TsStreamRecord& rec  = Record(pid);
        listsDelivered |= &rec == m_delivered.rec;
        listsSuccessor |= &rec == m_successor.rec;
        if (rec.program_number != program || rec.stream_type != type || rec.m_isPmt) {
            rec.program_number = program;
            rec.stream_type    = type;
            rec.m_isPmt        = false;
            rec.m_trackIndex   = ++pmt.m_trackIndex;
        }
        const int row = TsVideoTypeRow(type);
        if (row >= 0 && !firstOfType[row])
            firstOfType[row] = &rec;
        pos += 5;
        if (esLen > crcStart - pos)
            return -18;
        pos += esLen;
    }
    if (pos != crcStart)
        return -15;
    // No payload has flowed yet when the first PMT chooses: it flows only once a PMT has
    // listed its stream.
    size_t place         = 0;
    const uint8_t chosen = Choose(&place);
    if (m_streamType == 0)
        m_streamType = chosen;
    if (m_probe)
        m_probeDone = place == 0;
    // Only a table in force starts or ends a delivery.
    if (!(s[5] & 1))
        return 0;
    // A stream stays while its program's PMT on its PID lists it, whatever its type. A
    // delivered stream this PMT lists again goes on.
    auto own = [&](const Listing& l) { return l.program == program && l.pmtPid == pmtPid; };
    if (m_delivered.rec && !m_ending && !listsDelivered && own(m_delivered))
        m_ending = true;
    if (m_successor.rec && !listsSuccessor && own(m_successor))
        m_successor = Listing();
    const uint16_t patProgram = PatLists(program, pmtPid) ? program : pmt.program_number;
    if (m_delivered.rec && m_ending && listsDelivered)
        return List(*m_delivered.rec, program, pmtPid, patProgram);
    const int row = TsVideoTypeRow(m_streamType);
    if ((!m_delivered.rec || m_ending) && !m_successor.rec && row >= 0 && firstOfType[row])
        return List(*firstOfType[row], program, pmtPid, patProgram);
    return 0;
}

bool TsBufferedReader::Allocate(size_t n)
{
    delete[] m_buffer;
    m_buffer = AllocateHalving(n, 0, &m_size);
    m_held = m_pos = 0;
    if (!m_buffer)
        m_size = 0;
    return m_buffer != nullptr;
}

bool TsBufferedReader::ReadMore()
{
    if (m_ended || m_failed || m_handle == kInvalidFileHandle)
        return false;
    size_t got = 0;
    int r      = ReadSome(m_handle, m_buffer + m_held, m_size - m_held, &got);
    if (r <= 0) {
        (r < 0 ? m_failed : m_ended) = true;
        return false;
    }
    m_held += got;
    return true;
}

size_t TsBufferedReader::Read(uint8_t* dest, size_t n)
{
    size_t done = 0;
    while (done < n) {
        if (m_pos == m_held) {
            m_pos = m_held = 0;
            if (!ReadMore())
                break;
        }
        size_t c = std::min(n - done, m_held - m_pos);
        std::memcpy(dest + done, m_buffer + m_pos, c);
        m_pos += c;
        done += c;
    }
    return done;
}

const uint8_t* TsBufferedReader::Peek(size_t n, size_t* count)
{
    if (m_held - m_pos < n) {
        if (!m_buffer || n > m_size)
            return nullptr;
        // Move the start of the packet to the front and read the rest behind it.
        std::memmove(m_buffer, m_buffer + m_pos, m_held - m_pos);
        m_held -= m_pos;
        m_pos = 0;
        while (m_held < n)
            if (!ReadMore())
                return nullptr;
    }
    *count = (m_held - m_pos) / n;
    return m_buffer + m_pos;
}

const uint8_t* TsBufferedReader::Next(size_t n)
{
    size_t count     = 0;
    const uint8_t* p = Peek(n, &count);
    if (p)
        Skip(n);
    return p;
}

void TsBufferedReader::Close()
{
    CloseFileHandle(m_handle);
    m_handle = kInvalidFileHandle;
    delete[] m_buffer;
    m_buffer = nullptr;
    m_size = m_held = m_pos = 0;
    m_failed = m_ended = false;
}
