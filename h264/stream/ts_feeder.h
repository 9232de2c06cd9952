// The video of a transport stream (188-byte packets, or 192 with a 4-byte header) as the NAL
// walker's input: one stream demultiplexed and handed over as an elementary stream.
#pragma once

#include "h264/stream/feeders.h"
#include "h264/stream/ts_demux.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

class CTSDemuxFeeder : public CFileFeeder
{
  public:
    CTSDemuxFeeder();
    ~CTSDemuxFeeder() override;

    // Payload goes from the packets straight into the destination.
    int Read(uint8_t* destination, size_t count, size_t* delivered) override;
    // Without a name 0; sets up the demultiplexer, opens the file (0 on failure), gives the
    // reader its buffer (0 when it cannot) and returns the first Fill's result.
    int Open() override;
    // Demultiplexes until a chunk of payload is in (or the data ends, or a probe is done) and
    // makes it the buffer: 1 with data or at the end, 0 when no packet size is found or a failure
    // comes before any payload. A failure after some payload sets the error and gives 1.
    int Fill() override;
    int Close() override;
    // The file and the stream type wanted from it (TsDemultiplexer::SetWantedType).
    virtual void SetSource(const char* name, uint8_t streamType);
    virtual void SetData(const uint8_t* bytes, size_t n);
    // How the stream is chosen is the demultiplexer's; it lives as long as the feeder.
    TsDemultiplexer& Demux() { return m_demux; }
    uint8_t StreamType() const { return m_demux.StreamType(); }

  private:
    // The next packet, or nullptr at the end of the data (a cut last packet included) or on a
    // failure, which sets the error. The first packet decides the packet size.
    const uint8_t* NextPacket();
    // The reader has no whole packet left: the data has ended, or failed.
    void EndOfPackets();
    // One packet through the demultiplexer; false once the data has ended or failed.
    bool ProcessNext();
    // A packet handed to the demultiplexer; false (with the error set) when it is refused.
    bool Demultiplex(const uint8_t* packet);
    // Packets through the demultiplexer until the sink's target is full, or the data has
    // ended or failed.
    void FillTarget();

    TsDemultiplexer m_demux;
    bool m_open = false; // since Open, until Close
    TsBufferedReader m_reader;
    uint8_t m_packet[kTsM2tsPacketSize] = {};
    size_t m_packetSize                 = 0;
    std::vector<uint8_t> m_data; // what SetData was given
};

// The feeder for a transport stream, its stream type chosen as the walker's Open does it: the
// base view with baseViewOnly, else TsDemultiplexer::ChosenType. A regular file is probed in a
// first pass, which stops once the choice is settled; other inputs (FIFOs, standard input)
// cannot be read twice, so the choice is made at the main pass's first complete PMT. nullptr
// when the feeder cannot be allocated.
CTSDemuxFeeder* NewTransportStreamFeeder(const char* name, bool baseViewOnly, bool preferMvc);
