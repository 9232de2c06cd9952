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
    // Demultiplexes until a chunk of payload is in (or the data ends) and makes it the
    // buffer: 1 with data or at the end, 0 when no packet size is found or a failure comes
    // before any payload. A failure after some payload sets the error and gives 1.
    int Fill() override;
    int Close() override;
    virtual void SetSource(const char* name, uint8_t streamType);
    virtual void SetData(const uint8_t* bytes, size_t n);
    // The type the streams known so far make the choice (TsDemultiplexer::ChosenType).
    uint8_t ChosenType(bool preferMvc) const;

    // The stream type is chosen at the first complete PMT rather than given (see
    // TsDemultiplexer::ChooseTypeAtFirstPmt): for inputs that cannot be read twice.
    void ChooseTypeAtFirstPmt(bool preferMvc)
    {
        m_chooseAtPmt = true;
        m_preferMvc   = preferMvc;
    }
    // The type being delivered (0 while it is still to be chosen).
    uint8_t StreamType() const;

  private:
    // The next packet, or nullptr at the end of the data (a cut last packet included) or on a
    // failure, which sets the error. The first packet decides the packet size.
    const uint8_t* NextPacket();
    // One packet through the demultiplexer; false once the data has ended or failed.
    bool ProcessNext();

    uint8_t m_wantedType = kStreamTypeH264;
    std::unique_ptr<TsDemultiplexer> m_demux;
    TsBufferedReader m_reader;
    uint8_t m_packet[kTsM2tsPacketSize] = {};
    size_t m_packetSize                 = 0;
    bool m_chooseAtPmt                  = false;
    bool m_preferMvc                    = false;
    std::vector<uint8_t> m_data; // what SetData was given
};

// The feeder for a transport stream, its stream type chosen as the walker's Open does it:
// H.264 (0x1B), unless baseViewOnly is clear and the input has MVC video (0x20) and no H.264
// video or preferMvc is set. A regular file is probed in a first pass; other inputs (FIFOs,
// standard input) cannot be read twice, so the choice is made at the main pass's first
// complete PMT. nullptr when the feeder cannot be allocated.
CTSDemuxFeeder* NewTransportStreamFeeder(const char* name, bool baseViewOnly, bool preferMvc);
