// Packet size detection, the probe for the stream type, and the demultiplexed payload handed to
// the walker.
#include "h264/stream/ts_feeder.h"

#include "common/file_errors.h"
#include "common/file_identity.h"
#include "common/file_utils.h"

#include <algorithm>
#include <cstring>
#include <new>

// Packets are read in blocks this large and used where they lie.
constexpr size_t kTsReadBlock = size_t(1) << 20;

CTSDemuxFeeder::CTSDemuxFeeder() = default;

CTSDemuxFeeder::~CTSDemuxFeeder() { CTSDemuxFeeder::Close(); }

void CTSDemuxFeeder::SetSource(const char* name, uint8_t streamType)
{
    SetFileName(name);
    m_demux.SetWantedType(streamType);
}

void CTSDemuxFeeder::SetData(const uint8_t* bytes, size_t n)
{
    CriticalSectionLock lock(&m_lock);
    m_data.assign(std::max<size_t>(n, 1), 0);
    if (bytes && n)
        std::memcpy(m_data.data(), bytes, n);
    SetBuffer(m_data.data(), n);
}

int CTSDemuxFeeder::Open()
{
    if (!m_hasName)
        return 0;
    Close();
    m_error = 0;
    m_open  = true;
    m_demux.Reset();
    m_demux.m_bufferSize = m_requestedSize;
    m_packetSize         = 0;
    m_reader.m_handle    = OpenForRead(m_fileName.c_str());
    if (m_reader.m_handle == kInvalidFileHandle)
        return 0;
    if (!m_reader.Allocate(std::max(m_requestedSize, kTsReadBlock)))
        return 0;
    return Fill();
}

const uint8_t* CTSDemuxFeeder::NextPacket()
{
    const uint8_t* p = nullptr;
    if (m_packetSize != 0) {
        p = m_reader.Next(m_packetSize);
    } else if (m_reader.Read(m_packet, kTsPacketSize) == kTsPacketSize) {
        // The first packet tells the size: the sync byte at 0, or behind a 4-byte header.
        bool at0 = m_packet[0] == 0x47, at4 = m_packet[4] == 0x47;
        if (at0 && !at4) {
            m_packetSize = kTsPacketSize;
            p            = m_packet;
        } else if (at4 && !at0) {
            if (m_reader.Read(m_packet + kTsPacketSize, 4) == 4) {
                m_packetSize             = kTsM2tsPacketSize;
                m_demux.m_fourByteHeader = true;
                p                        = m_packet;
            }
        } else {
            m_error = kFileReadError;
            return nullptr;
        }
    }
    if (!p)
        EndOfPackets();
    return p;
}

void CTSDemuxFeeder::EndOfPackets()
{
    // A file cut inside its last packet ends normally.
    if (m_reader.Failed())
        m_error = kFileReadError;
    else
        m_ended = true;
}

bool CTSDemuxFeeder::ProcessNext()
{
    if (m_ended || m_error)
        return false;
    const uint8_t* p = NextPacket();
    return p && Demultiplex(p);
}

bool CTSDemuxFeeder::Demultiplex(const uint8_t* packet)
{
    // A packet the demultiplexer refuses ends the data; what came before it stays valid.
    if (m_demux.ProcessPacket(packet) == 0)
        return true;
    m_error = kFileReadError;
    return false;
}

void CTSDemuxFeeder::FillTarget()
{
    const PayloadSink& sink = m_demux.Sink();
    while (!sink.TargetFull() && !m_ended && !m_error) {
        if (m_packetSize == 0) {
            ProcessNext();
            continue;
        }
        // The packets held are taken in one run.
        size_t count     = 0;
        const uint8_t* p = m_reader.Peek(m_packetSize, &count);
        if (!p) {
            EndOfPackets();
            return;
        }
        size_t done = 0;
        while (done < count && !sink.TargetFull() && Demultiplex(p + done++ * m_packetSize)) {
        }
        m_reader.Skip(done * m_packetSize);
    }
}

int CTSDemuxFeeder::Fill()
{
    if (!m_open)
        return 0;
    SetBuffer(nullptr, 0);
    PayloadSink& sink = m_demux.Sink();
    sink.SetTarget(nullptr, 0);
    while (!sink.ChunkFull() && !m_demux.ProbeDone() && ProcessNext()) {
    }
    size_t n = sink.Held();
    if (n == 0)
        return m_error ? 0 : 1;
    std::vector<uint8_t> chunk(n);
    sink.Take(chunk.data(), n);
    SetData(chunk.data(), n);
    return 1;
}

int CTSDemuxFeeder::Read(uint8_t* destination, size_t count, size_t* delivered)
{
    if (!destination) {
        // Skipping: the same through a scratch block.
        uint8_t scratch[16384];
        size_t total = 0, got = 0;
        int result = 1;
        while (total < count) {
            int r = Read(scratch, std::min(count - total, sizeof scratch), &got);
            if (total == 0)
                result = r;
            total += got;
            if (got == 0)
                break;
        }
        if (delivered)
            *delivered = total;
        return result;
    }
    size_t total = TakeBuffered(destination, count);
    int result   = 1;
    if (m_open) {
        PayloadSink& sink = m_demux.Sink();
        total += sink.Take(destination + total, count - total);
        if (total == 0 && (m_ended || m_error))
            result = 0;
        if (total < count && !m_ended && !m_error) {
            sink.SetTarget(destination + total, count - total);
            FillTarget();
            total += sink.TargetUsed();
            sink.SetTarget(nullptr, 0);
        }
    } else if (total == 0) {
        result = 0;
    }
    if (delivered)
        *delivered = total;
    return result;
}

int CTSDemuxFeeder::Close()
{
    if (!m_open)
        return 0;
    m_open = false;
    m_reader.Close();
    m_demux.Reset();
    CFileFeeder::Close();
    CriticalSectionLock lock(&m_lock);
    std::vector<uint8_t>().swap(m_data);
    return 1;
}

CTSDemuxFeeder* NewTransportStreamFeeder(const char* name, bool baseViewOnly, bool preferMvc)
{
    CTSDemuxFeeder* feeder = new (std::nothrow) CTSDemuxFeeder;
    if (!feeder)
        return nullptr;
    feeder->SetSource(name, TsFirstVideoType(true));
    if (!baseViewOnly && name) {
        if (IdentifyFile(name).regular) {
            CTSDemuxFeeder* probe = new (std::nothrow) CTSDemuxFeeder;
            if (!probe) {
                delete feeder;
                return nullptr;
            }
            probe->SetFileName(name);
            probe->Demux().Probe(preferMvc);
            probe->Start();
            feeder->Demux().SetWantedType(probe->Demux().ChosenType());
            probe->Clear();
            delete probe;
        } else {
            feeder->Demux().ChooseTypeAtFirstPmt(preferMvc);
        }
    }
    return feeder;
}
